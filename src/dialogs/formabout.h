// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/prompts.h"

#include <QDialog>
#include <QString>

#include <memory>

class QAbstractButton;

namespace Ui {
class TFormAbout;
}

namespace vdm {

/**
 * The modal about dialog: a read-me file of the program's directory in one of three
 * languages, shown in a read-only fixed-pitch box. Its controls come from
 * resources/formabout.ui (dialog client pixels). One object lives for the whole run;
 * the box keeps the last loaded text between showings.
 */
class TFormAbout : public QDialog {
    Q_OBJECT

public:
    /** `applicationDirectory` ends with '/'; the read-me files are looked up there. */
    TFormAbout(QString applicationDirectory, Prompts& prompts, QWidget* parent);
    ~TFormAbout() override;

    void FormShow();
    void SelectLang(QAbstractButton* sender);

    /**
     * The text a read-me file's bytes show: UTF-8 when they are valid UTF-8 beyond plain
     * ASCII, the code page otherwise (so every byte shows); line ends become '\n'.
     */
    static QString decodeReadme(const QByteArray& bytes);

protected:
    void showEvent(QShowEvent* event) override;

private:
    /**
     * Replaces the box's text by the file's, taken beside the program or, for an installed
     * program, from its data folder; throws "Cannot open file <full path>".
     */
    void loadFile(const QString& fileName);
    /** Names the read-me box after the language whose file it holds. */
    void nameReadme(const QString& language);

    QString m_appDir;
    Prompts& m_prompts;
    std::unique_ptr<Ui::TFormAbout> m_ui;
};

} // namespace vdm
