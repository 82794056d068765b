// SPDX-License-Identifier: MIT
// What the note editor lets through, and what of it is stored.
#include "edit/notetext.h"

#include <gtest/gtest.h>

namespace vdm {
namespace {

QString u(const char16_t* text)
{
    return QString::fromUtf16(text);
}

TEST(NoteText, InputBecomesOneStorableLine)
{
    struct Row {
        const char* what;
        QString input;
        QString expected;
    };
    const Row rows[] = {
        {"plain text is kept", u(u"Old mill, 2nd floor"), u(u"Old mill, 2nd floor")},
        {"CR LF is one blank", u(u"a\r\nb"), u(u"a b")},
        {"lone LF", u(u"a\nb"), u(u"a b")},
        {"lone CR", u(u"a\rb"), u(u"a b")},
        {"LF CR is two breaks", u(u"a\n\rb"), u(u"a  b")},
        {"blank lines keep their count", u(u"a\r\n\r\nb"), u(u"a  b")},
        {"break at the ends", u(u"\r\na\r\n"), u(u" a ")},
        {"unicode line and paragraph separators", u(u"a\u2028b\u2029c"), u(u"a b c")},
        {"Cyrillic is dropped", u(u"Kiev \u041a\u0438\u0435\u0432!"), u(u"Kiev !")},
        {"emoji (a surrogate pair) is dropped whole", u(u"x\U0001F600y"), u(u"xy")},
        {"NEL has no byte and is dropped", u(u"a\u0085b"), u(u"ab")},
        {"code page letters and signs stay", u(u"\u00e9t\u00e9 \u20ac5 \u2026 \u0178"),
         u(u"\u00e9t\u00e9 \u20ac5 \u2026 \u0178")},
        {"undefined code page bytes round-trip as controls", u(u"a\u0081\u009db"), u(u"a\u0081\u009db")},
        {"tab stays inside the line", u(u"a\tb"), u(u"a\tb")},
        {"empty", QString(), QString()},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(sanitizeNoteInput(r.input), r.expected);
        EXPECT_FALSE(sanitizeNoteInput(r.input).contains(QLatin1Char('\n')));
        EXPECT_FALSE(sanitizeNoteInput(r.input).contains(QLatin1Char('\r')));
    }
}

TEST(NoteText, StoredNoteIsEncodedAndTrimmed)
{
    struct Row {
        const char* what;
        QString editor;
        QByteArray stored;
    };
    const Row rows[] = {
        {"only blanks store nothing", u(u"     "), QByteArray()},
        {"empty", QString(), QByteArray()},
        {"trailing blank is trimmed", u(u"ruins "), QByteArray("ruins")},
        {"leading blanks and tabs", u(u" \t ruins"), QByteArray("ruins")},
        {"inner blanks stay", u(u"  two  words  "), QByteArray("two  words")},
        {"control characters at the ends go", u(u"\u0001note\u001f"), QByteArray("note")},
        {"code page bytes", u(u"\u00e9\u20ac"), QByteArray("\xE9\x80")},
        // Non-breaking space (0xA0) sorts above 32 and is text, not a blank.
        {"non-breaking space is kept", u(u"\u00a0x\u00a0"), QByteArray("\xA0x\xA0")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(storedNote(r.editor), r.stored);
    }
}

TEST(NoteText, FullLengthNoteStoresWhole)
{
    QString text;
    for (int i = 0; i < NoteMaxLength; ++i)
        text += QChar(u"abc\u00e9 "[i % 5]);
    text[NoteMaxLength - 1] = QLatin1Char('z');
    const QByteArray stored = storedNote(sanitizeNoteInput(text));
    ASSERT_EQ(stored.size(), NoteMaxLength);
    EXPECT_EQ(stored.back(), 'z');
    EXPECT_EQ(stored[3], '\xE9');
}

} // namespace
} // namespace vdm
