// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace vdm {

/** What the note editor accepts: at most this many characters, on one line. */
constexpr int NoteMaxLength = 255;

/**
 * Makes editor input storable: each line break (CR, LF or CR LF) becomes one blank and
 * characters the code page cannot hold are dropped, so what is shown is what is stored.
 */
QString sanitizeNoteInput(const QString& text);

/** The stored form of an editor text: encoded and trimmed of blanks and control characters. */
QByteArray storedNote(const QString& editorText);

} // namespace vdm
