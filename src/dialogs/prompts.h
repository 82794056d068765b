// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace vdm {

/**
 * Every message box and chooser the program shows goes through this interface, so tests
 * replace it and no test ever blocks on a modal window. The application uses
 * WidgetPrompts, which shows the real boxes and choosers.
 */
class Prompts {
public:
    enum class Icon { Stop, Warning, Information };

    virtual ~Prompts() = default;
    /** The error box: the text, a stop icon, OK, captioned with the application title. */
    virtual void showError(QWidget* parent, const QString& text) = 0;
    /** A plain message box with one OK button. */
    virtual void showMessage(QWidget* parent, const QString& caption, const QString& text, Icon icon) = 0;
    /** Yes/No question with a warning icon; true for Yes. */
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    /** The font chooser; nullopt when cancelled, `initial` itself when accepted without a choice. */
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
    /** The colour chooser; nullopt when cancelled. */
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
    /** The folder chooser, opened at `start`; nullopt when cancelled. */
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& caption, const QString& start) = 0;
    /**
     * The file chooser for a file to write, opened at `start` (a folder or a proposed file),
     * showing the files `filter` names ("Text files (*.txt)"); nullopt when cancelled.
     */
    virtual std::optional<QString> chooseFileToSave(QWidget* parent, const QString& caption, const QString& start,
                                                    const QString& filter)
        = 0;
    /** The file chooser for an existing file to read; nullopt when cancelled. */
    virtual std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& caption, const QString& start,
                                                    const QString& filter)
        = 0;
    /**
     * A question answered by one of `choices` (the buttons, in order) or Cancel: the index
     * of the chosen button, nullopt for Cancel.
     */
    virtual std::optional<int> askChoice(QWidget* parent, const QString& caption, const QString& text,
                                         const QStringList& choices)
        = 0;
    /** One line of text, `label` above the field, `initial` in it; nullopt for Cancel. */
    virtual std::optional<QString> askText(QWidget* parent, const QString& caption, const QString& label,
                                           const QString& initial)
        = 0;
};

/** The real boxes and choosers. */
class WidgetPrompts : public Prompts {
public:
    void showError(QWidget* parent, const QString& text) override;
    void showMessage(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
    bool askYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& caption, const QString& start) override;
    std::optional<QString> chooseFileToSave(QWidget* parent, const QString& caption, const QString& start,
                                            const QString& filter) override;
    std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& caption, const QString& start,
                                            const QString& filter) override;
    std::optional<int> askChoice(QWidget* parent, const QString& caption, const QString& text,
                                 const QStringList& choices) override;
    std::optional<QString> askText(QWidget* parent, const QString& caption, const QString& label,
                                   const QString& initial) override;
};

/** The error box's text: "." appended when the last character sorts above ".". */
QString errorBoxText(const QString& message);

} // namespace vdm
