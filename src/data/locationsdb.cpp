// SPDX-License-Identifier: MIT
#include "data/locationsdb.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/linereader.h"
#include "data/textconv.h"

#include <array>

namespace vdm {
namespace {

constexpr qsizetype kLabelWidth = 6;
constexpr int kRecordLines = 8;

} // namespace

void readLocations(const QByteArray& bytes, LocationList& out)
{
    LineReader reader(bytes, LineReader::ClassicLimit);
    while (reader.skipToHeader("loc")) {
        // Lines 1 to 7; a record the data ends inside of is dropped whole, so that no
        // location with made-up fields reaches the lists.
        std::array<LineReader::Line, kRecordLines> lines;
        for (int i = 1; i < kRecordLines; ++i) {
            lines[i] = reader.read();
            if (isPastEnd(lines[i]))
                return;
        }

        Location location;
        location.Name = labelledValue(lines[1], kLabelWidth).toByteArray();
        location.Region = labelledValue(lines[2], kLabelWidth).toByteArray();
        location.Kind = labelledValue(lines[3], kLabelWidth).toByteArray();
        location.Level = StrToInt(labelledValue(lines[4], kLabelWidth));
        const QByteArrayView position = labelledValue(lines[7], kLabelWidth);
        const qsizetype comma = position.lastIndexOf(',');
        if (comma < 0)
            throwConvertError(position);
        location.X = StrToInt(position.first(comma));
        location.Y = StrToInt(position.sliced(comma + 1));
        out.push_back(std::move(location));
    }
}

} // namespace vdm
