// SPDX-License-Identifier: MIT
#include "dialogs/prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace vdm {

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void WidgetPrompts::showError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QApplication::applicationName(), errorBoxText(text));
}

void WidgetPrompts::showMessage(QWidget* parent, const QString& caption, const QString& text, Icon icon)
{
    QMessageBox box(icon == Icon::Stop      ? QMessageBox::Critical
                    : icon == Icon::Warning ? QMessageBox::Warning
                                            : QMessageBox::Information,
                    caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool WidgetPrompts::askYesNo(QWidget* parent, const QString& caption, const QString& text)
{
    return QMessageBox::warning(parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

std::optional<QFont> WidgetPrompts::chooseFont(QWidget* parent, const QFont& initial)
{
    QFontDialog dialog(initial, parent);
    // A face that is not installed is offered as the one drawn in its place, and a size
    // the chooser cannot show as its own default: what it offers is not what was stored.
    const QFont offered = dialog.currentFont();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont chosen = dialog.selectedFont();
    // Ok on the offer unchanged picks nothing: the caller gets its own font back.
    return chosen == offered ? initial : chosen;
}

std::optional<QColor> WidgetPrompts::chooseColor(QWidget* parent, const QColor& initial)
{
    const QColor c = QColorDialog::getColor(initial, parent);
    return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
}

std::optional<QString> WidgetPrompts::chooseFolder(QWidget* parent, const QString& caption, const QString& start)
{
    const QString folder = QFileDialog::getExistingDirectory(parent, caption, start);
    return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
}

namespace {

std::optional<QString> chosenFile(const QString& file)
{
    return file.isEmpty() ? std::nullopt : std::optional<QString>(file);
}

} // namespace

std::optional<QString> WidgetPrompts::chooseFileToSave(QWidget* parent, const QString& caption, const QString& start,
                                                       const QString& filter)
{
    return chosenFile(QFileDialog::getSaveFileName(parent, caption, start, filter));
}

std::optional<QString> WidgetPrompts::chooseFileToOpen(QWidget* parent, const QString& caption, const QString& start,
                                                       const QString& filter)
{
    return chosenFile(QFileDialog::getOpenFileName(parent, caption, start, filter));
}

std::optional<int> WidgetPrompts::askChoice(QWidget* parent, const QString& caption, const QString& text,
                                            const QStringList& choices)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Cancel, parent);
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    if (!buttons.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return chosen < 0 ? std::nullopt : std::optional<int>(int(chosen));
}

std::optional<QString> WidgetPrompts::askText(QWidget* parent, const QString& caption, const QString& label,
                                              const QString& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, initial, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

} // namespace vdm
