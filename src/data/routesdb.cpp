// SPDX-License-Identifier: MIT
#include "data/routesdb.h"

#include "data/databasefile.h"
#include "data/linereader.h"
#include "data/textconv.h"

#include <string_view>
#include <unordered_map>

namespace vdm {
namespace {

constexpr qsizetype kOriginLabelWidth = 5;

/** First location of each name; the views point into the locations' own names. */
class NameIndex {
public:
    explicit NameIndex(const LocationList& locations)
    {
        m_first.reserve(locations.size());
        for (std::size_t i = 0; i < locations.size(); ++i) {
            const QByteArray& name = locations[i].Name;
            m_first.try_emplace(std::string_view(name.constData(), std::size_t(name.size())), std::int32_t(i));
        }
    }

    /** Index of the first location of that name, or -1. */
    std::int32_t find(QByteArrayView name) const
    {
        const auto it = m_first.find(std::string_view(name.data(), std::size_t(name.size())));
        return it == m_first.end() ? -1 : it->second;
    }

private:
    std::unordered_map<std::string_view, std::int32_t> m_first;
};

bool isEndLine(const LineReader::Line& line)
{
    // Compared before trimming: "end" must start in the first column and be followed
    // by its line end, or by the end of the data.
    return line.text == "end" && (line.lineEnd || line.metEnd);
}

QByteArrayView afterWidth(QByteArrayView text, qsizetype width)
{
    return text.size() > width ? text.sliced(width) : QByteArrayView();
}

} // namespace

void readRoutes(const QByteArray& bytes, LocationList& locations)
{
    const NameIndex names(locations);
    LineReader reader(bytes, LineReader::ClassicLimit);
    while (reader.skipToHeader("rout")) {
        const LineReader::Line originLine = reader.read();
        if (isPastEnd(originLine))
            return;
        const std::int32_t origin = names.find(afterWidth(Trim(originLine.text), kOriginLabelWidth));
        // An unknown origin abandons the block: its lines are then read as any others.
        if (origin < 0)
            continue;

        std::vector<Route> routes;
        while (true) {
            const LineReader::Line line = reader.read();
            if (isEndLine(line) || isPastEnd(line))
                break;
            const QByteArrayView text = Trim(line.text);
            const std::int32_t kind = StrToInt(text.first(text.isEmpty() ? 0 : 1));
            const std::int32_t target = names.find(afterWidth(text, 2));
            if (target >= 0)
                routes.push_back(Route{target, std::uint8_t(kind)});
            if (line.metEnd)
                break;
        }
        locations[std::size_t(origin)].Routes = std::move(routes);
    }
}

} // namespace vdm
