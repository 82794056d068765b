// SPDX-License-Identifier: MIT
#include "app/noteedit.h"

#include "edit/notetext.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextCursor>

namespace vdm {

TNoteEdit::TNoteEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll the note"));
    horizontalScrollBar()->setAccessibleName(QStringLiteral("Scroll the note sideways"));
    // Typed characters outside the code page, or past the limit, are taken back before
    // anyone sees the change.
    connect(this, &QPlainTextEdit::textChanged, this, &TNoteEdit::enforceLimits, Qt::DirectConnection);
}

void TNoteEdit::setNoteText(const QString& text)
{
    setPlainText(sanitizeNoteInput(text).left(NoteMaxLength));
}

void TNoteEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore(); // the editor takes no Enter
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text[0].isPrint()) {
        if (sanitizeNoteInput(text).size() != text.size())
            return;
        const int selected = textCursor().selectedText().size();
        if (toPlainText().size() - selected + text.size() > NoteMaxLength)
            return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TNoteEdit::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    emit focusLost();
}

void TNoteEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText())
        return;
    const int room = NoteMaxLength - (toPlainText().size() - textCursor().selectedText().size());
    insertPlainText(sanitizeNoteInput(source->text()).left(qMax(0, room)));
}

void TNoteEdit::enforceLimits()
{
    if (m_enforcing)
        return;
    const QString text = toPlainText();
    const QString clean = sanitizeNoteInput(text).left(NoteMaxLength);
    if (clean == text)
        return;
    m_enforcing = true;
    const QSignalBlocker blocker(this);
    setPlainText(clean);
    moveCursor(QTextCursor::End);
    m_enforcing = false;
}

} // namespace vdm
