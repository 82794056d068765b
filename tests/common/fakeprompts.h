// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/prompts.h"

#include <QStringList>
#include <deque>
#include <functional>

namespace vdm::test {

/** Records every box instead of showing it; answers questions and choosers from queues. */
class FakePrompts : public Prompts {
public:
    void showError(QWidget*, const QString& text) override
    {
        errors << text;
        boxes << QStringLiteral("error|") + text;
        if (whileShowingError)
            whileShowingError();
    }
    void showMessage(QWidget*, const QString& caption, const QString& text, Icon) override
    {
        messages << caption + QLatin1Char('|') + text;
        boxes << messages.back();
    }
    bool askYesNo(QWidget*, const QString& caption, const QString& text) override;
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial) override;
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial) override;
    std::optional<QString> chooseFolder(QWidget*, const QString& caption, const QString& start) override;
    std::optional<QString> chooseFileToSave(QWidget*, const QString& caption, const QString& start,
                                            const QString& filter) override;
    std::optional<QString> chooseFileToOpen(QWidget*, const QString& caption, const QString& start,
                                            const QString& filter) override;
    std::optional<int> askChoice(QWidget*, const QString& caption, const QString& text,
                                 const QStringList& choices) override;
    std::optional<QString> askText(QWidget*, const QString& caption, const QString& label,
                                   const QString& initial) override;

    QStringList errors;
    QStringList messages;
    QStringList boxes; // errors ("error|text") and messages ("caption|text") in the order shown
    QStringList questions;
    std::deque<bool> answers;                       // default: No
    std::deque<std::optional<QFont>> fonts;         // default: cancelled
    std::deque<std::optional<QColor>> colors;       // default: cancelled
    std::deque<std::optional<QString>> folders;     // default: cancelled
    QStringList folderStarts;                       // where each folder chooser opened
    std::function<void()> whileChoosingFolder;      // what happens while a folder chooser is open
    std::function<void()> whileShowingError;        // what happens while an error box is open
    std::deque<std::optional<QString>> filesToSave; // default: cancelled
    std::deque<std::optional<QString>> filesToOpen; // default: cancelled
    QStringList fileStarts;                         // where each file chooser opened
    std::deque<std::optional<int>> choices;         // default: cancelled; questions records each
    std::deque<std::optional<QString>> texts;       // default: cancelled; questions records each
    QList<QFont> fontPresets;
    QList<QColor> colorPresets;
};

} // namespace vdm::test
