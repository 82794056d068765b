// SPDX-License-Identifier: MIT
#include "data/markersdb.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/linereader.h"
#include "data/textconv.h"

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
    QByteArray out;
    qsizetype size = 0;
    for (const Location& marker : markers)
        size += 64 + marker.Name.size();
    out.reserve(size);
    for (const Location& marker : markers) {
        out.append("marker\r\n   text = ");
        const qsizetype from = out.size();
        out.append(marker.Name);
        // Only a line feed ends a line for the reader; a lone CR reads back as it was.
        for (qsizetype i = from; i < out.size(); ++i)
            if (out[i] == '\n')
                out[i] = ' ';
        out.append("\r\n   pos = ");
        out.append(IntToStr(marker.X));
        out.append(',');
        out.append(IntToStr(marker.Y));
        out.append("\r\nend\r\n");
    }
    return out;
}

} // namespace vdm
