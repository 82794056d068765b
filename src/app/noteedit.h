// SPDX-License-Identifier: MIT
#pragma once

#include <QPlainTextEdit>

namespace vdm {

/**
 * The one-line note editor of the location box: at most 255 characters, no Enter, a
 * pasted line break becomes a blank, and only characters the code page can hold are
 * accepted, so what is shown is exactly what is stored.
 */
class TNoteEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TNoteEdit(QWidget* parent = nullptr);

    /** Sets the text as the program does (fires textChanged once). */
    void setNoteText(const QString& text);

signals:
    /** The focus went elsewhere: what was typed so far is one step of the history. */
    void focusLost();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void enforceLimits();
    bool m_enforcing = false;
};

} // namespace vdm
