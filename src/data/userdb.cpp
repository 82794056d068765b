// SPDX-License-Identifier: MIT
#include "data/userdb.h"

#include "data/errors.h"
#include "data/linereader.h"
#include "data/textconv.h"

namespace vdm {
namespace {

constexpr qsizetype kStatusColumn = 12;   // 0-based: the 13th character
constexpr qsizetype kNoteLabelWidth = 10; // "   note = "

/** A text as one line: a stray line break would split its block and shift every block after it. */
void appendOneLine(QByteArray& out, const QByteArray& text)
{
    const qsizetype from = out.size();
    out.append(text);
    for (qsizetype i = from; i < out.size(); ++i)
        if (out[i] == '\n' || out[i] == '\r')
            out[i] = ' ';
}

} // namespace

std::size_t readUserData(const QByteArray& bytes, LocationList& locations)
{
    LineReader reader(bytes, LineReader::NoLimit);
    std::size_t k = 0;
    while (reader.skipToHeader("loc")) {
        if (k >= locations.size())
            throwListIndexError(qsizetype(k));
        Location& location = locations[k];

        reader.read(); // the name line, never compared
        const QByteArrayView status = reader.read().text;
        if (status.size() <= kStatusColumn)
            throwConvertError(status);
        location.Status = StrToInt(status.sliced(kStatusColumn, 1));

        const QByteArrayView note = reader.read().text;
        location.Note = note.size() > kNoteLabelWidth ? Trim(note.sliced(kNoteLabelWidth)).toByteArray() : QByteArray();

        reader.read(); // the end line, whatever it holds
        ++k;
    }
    return k;
}

QByteArray writeUserData(const LocationList& locations)
{
    QByteArray out;
    qsizetype size = 0;
    for (const Location& location : locations)
        size += 48 + location.Name.size() + location.Note.size();
    out.reserve(size);
    for (const Location& location : locations) {
        out.append("loc\r\n   nm = ");
        appendOneLine(out, location.Name);
        out.append("\r\n   status = ");
        out.append(location.Status >= 0 && location.Status <= 9 ? IntToStr(location.Status) : QByteArrayLiteral("0"));
        out.append("\r\n   note = ");
        appendOneLine(out, location.Note);
        out.append("\r\nend\r\n");
    }
    return out;
}

} // namespace vdm
