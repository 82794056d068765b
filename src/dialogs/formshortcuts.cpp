// SPDX-License-Identifier: MIT
#include "dialogs/formshortcuts.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vdm {

TFormShortcuts::TFormShortcuts(const QList<ShortcutEntry>& entries, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormShortcuts"));
    setWindowTitle(QStringLiteral("Keyboard shortcuts"));
    setAccessibleName(QStringLiteral("Keyboard shortcuts"));
    m_table = new QTableWidget(int(entries.size()), 2, this);
    m_table->setObjectName(QStringLiteral("TableShortcuts"));
    m_table->setAccessibleName(QStringLiteral("Keyboard shortcuts"));
    // A long list scrolls: its bars are named as the note's are.
    m_table->verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll the shortcuts up and down"));
    m_table->horizontalScrollBar()->setAccessibleName(QStringLiteral("Scroll the shortcuts left and right"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Command")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the Close button; the arrows move in it. (A table's Tab would
    // walk every cell, a hundred of them before the button is reached.)
    m_table->setTabKeyNavigation(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    for (int row = 0; row < int(entries.size()); ++row) {
        m_table->setItem(row, 0, new QTableWidgetItem(entries[row].keys));
        m_table->setItem(row, 1, new QTableWidgetItem(entries[row].what));
    }
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setAccessibleName(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    m_table->resizeColumnsToContents();
    m_table->resizeRowsToContents();
    resize(sizeHint());
}

QSize TFormShortcuts::sizeHint() const
{
    // The table whole (its columns and rows as the font measures them, its frame and
    // header), the buttons below it and the layout's margins; the screen caps it, and
    // the table scrolls what is left.
    const int frame = 2 * m_table->frameWidth();
    int width = frame + m_table->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < m_table->columnCount(); ++column)
        width += m_table->columnWidth(column);
    int height = frame + m_table->horizontalHeader()->sizeHint().height();
    for (int row = 0; row < m_table->rowCount(); ++row)
        height += m_table->rowHeight(row);
    const QLayout* box = layout();
    const QMargins margins = box->contentsMargins();
    const QWidget* buttons = box->itemAt(1)->widget();
    QSize wanted(std::max(width, buttons->sizeHint().width()) + margins.left() + margins.right(),
                 height + box->spacing() + buttons->sizeHint().height() + margins.top() + margins.bottom());
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        wanted = wanted.boundedTo(screen->availableGeometry().size() * 9 / 10);
    return wanted;
}

void TFormShortcuts::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_table->resizeColumnsToContents();
        m_table->resizeRowsToContents();
        resize(sizeHint());
    }
}

void TFormShortcuts::showFor(QWidget* window, const QList<ShortcutEntry>& entries)
{
    auto* dialog = window->findChild<TFormShortcuts*>(QStringLiteral("FormShortcuts"), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new TFormShortcuts(entries, window);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace vdm
