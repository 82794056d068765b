// SPDX-License-Identifier: MIT
#include "dialogs/formshortcuts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <iterator>

namespace vdm {
namespace {

/** What the dialog lists, in its order. */
const struct {
    const char* keys;
    const char* what;
} kShortcutRows[] = {
    {"Ctrl+F", "Find a place by its name, region, kind or note"},
    {"Ctrl+O", "Open another world"},
    {"Ctrl++  or  Ctrl+=", "Zoom in"},
    {"Ctrl+-", "Zoom out"},
    {"Ctrl+0", "Actual size"},
    {"Arrow keys", "Scroll the map a little"},
    {"Ctrl+Arrow keys", "Scroll the map by a quarter of its panel"},
    {"Page Up, Page Down", "Scroll the map by its panel"},
    {"Keypad + and -", "Zoom in and out"},
    {"F11", "Full screen"},
    {"Ctrl+C", "Copy map to clipboard"},
    {"F1", "About"},
    {"Ctrl+Q", "Close"},
};

} // namespace

TFormShortcuts::TFormShortcuts(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormShortcuts"));
    setWindowTitle(QStringLiteral("Keyboard shortcuts"));
    setAccessibleName(QStringLiteral("Keyboard shortcuts"));
    auto* table = new QTableWidget(int(std::size(kShortcutRows)), 2, this);
    table->setObjectName(QStringLiteral("TableShortcuts"));
    table->setAccessibleName(QStringLiteral("Keyboard shortcuts"));
    table->setHorizontalHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Command")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int row = 0; row < int(std::size(kShortcutRows)); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(QString::fromUtf8(kShortcutRows[row].keys)));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(kShortcutRows[row].what)));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setAccessibleName(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(420, 360);
}

void TFormShortcuts::showFor(QWidget* window)
{
    auto* dialog = window->findChild<TFormShortcuts*>(QStringLiteral("FormShortcuts"), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new TFormShortcuts(window);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace vdm
