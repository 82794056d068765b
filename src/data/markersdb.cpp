// SPDX-License-Identifier: MIT
#include "data/markersdb.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/linereader.h"
#include "data/textconv.h"

#include <charconv>
#include <cstring>

namespace vdm {
namespace {

constexpr qsizetype kTextLabelWidth = 10; // "   text = "
constexpr qsizetype kPosLabelWidth = 9;   // "   pos = "

} // namespace

void readMarkers(const QByteArray& bytes, LocationList& markers)
{
    LineReader reader(bytes, LineReader::NoLimit);
    while (reader.skipToHeader("marker")) {
        const QByteArrayView text = reader.read().text;
        const LineReader::Line posLine = reader.read();
        const QByteArrayView position = labelledValue(posLine, kPosLabelWidth);
        const qsizetype comma = position.lastIndexOf(',');
        if (comma < 0)
            throwConvertError(position);

        Location marker;
        marker.Name = text.size() > kTextLabelWidth ? text.sliced(kTextLabelWidth).toByteArray() : QByteArray();
        marker.Level = 1;
        marker.X = StrToInt(position.first(comma));
        marker.Y = StrToInt(position.sliced(comma + 1));
        marker.Status = Unvisited;
        markers.push_back(std::move(marker));

        reader.read(); // the end line, whatever it holds
    }
}

QByteArray writeMarkers(const LocationList& markers)
{
    static constexpr char kHeader[] = "marker\r\n   text = ";
    static constexpr char kPos[] = "\r\n   pos = ";
    static constexpr char kEnd[] = "\r\nend\r\n";
    constexpr qsizetype kIntChars = 11; // "-2147483648"
    constexpr qsizetype kFixed = sizeof kHeader + sizeof kPos + sizeof kEnd - 3 + 2 * kIntChars + 1;
    qsizetype most = 0;
    for (const Location& marker : markers)
        most += kFixed + marker.Name.size();
    QByteArray out(most, Qt::Uninitialized);
    char* p = out.data();
    const auto put = [&p](const char* s, std::size_t n) {
        std::memcpy(p, s, n);
        p += n;
    };
    for (const Location& marker : markers) {
        put(kHeader, sizeof kHeader - 1);
        // Only a line feed ends a line for the reader; a lone CR reads back as it was.
        const char* text = marker.Name.constData();
        for (qsizetype i = 0; i < marker.Name.size(); ++i)
            p[i] = text[i] == '\n' ? ' ' : text[i];
        p += marker.Name.size();
        put(kPos, sizeof kPos - 1);
        p = std::to_chars(p, p + kIntChars, marker.X).ptr;
        *p++ = ',';
        p = std::to_chars(p, p + kIntChars, marker.Y).ptr;
        put(kEnd, sizeof kEnd - 1);
    }
    out.truncate(p - out.constData());
    return out;
}

} // namespace vdm
