// SPDX-License-Identifier: MIT
#include "data/routesdb.h"

#include "data/databasefile.h"
#include "data/linereader.h"
#include "data/textconv.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vdm {
namespace {

constexpr qsizetype kOriginLabelWidth = 5;

/**
 * First location of each name, in one open-addressed table: a hundred thousand names
 * cost one allocation instead of one node each, and a look-up mostly reads one slot and
 * the name it points at. The views point into the locations' own names.
 */
class NameIndex {
public:
    explicit NameIndex(const LocationList& locations)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * locations.size()) // at most half full: probe runs stay short
            capacity *= 2;
        m_mask = capacity - 1;
        m_slots.resize(capacity);
        for (std::size_t i = 0; i < locations.size(); ++i) {
            const QByteArray& name = locations[i].Name;
            // A line of the file holds far fewer characters: no route could name it.
            if (name.size() > kLongestName)
                continue;
            const QByteArrayView view(name.constData(), name.size());
            const std::uint64_t hash = hashOf(view);
            Slot& slot = m_slots[slotOf(view, hash)];
            if (slot.index < 0) // else an earlier location of that name keeps it
                slot = Slot{view.data(), std::int32_t(i), std::uint16_t(view.size()), std::uint16_t(hash >> 48)};
        }
    }

    /** Index of the first location of that name, or -1. */
    std::int32_t find(QByteArrayView name) const
    {
        return name.size() > kLongestName ? -1 : m_slots[slotOf(name, hashOf(name))].index;
    }

private:
    static constexpr qsizetype kLongestName = 0xFFFF;
    // Sixteen bytes: a million places' table is 32 MB, not 48, beside the file being read.
    struct Slot {
        const char* data = nullptr;
        std::int32_t index = -1; // -1: empty
        std::uint16_t size = 0;
        std::uint16_t tag = 0; // the hash's top bits, checked before the bytes
    };
    static_assert(sizeof(Slot) == 16);

    /** FNV-1a over the bytes: names are short, and this spreads them well enough. */
    static std::uint64_t hashOf(QByteArrayView name)
    {
        std::uint64_t hash = 14695981039346656037ull;
        for (const char c : name)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return hash;
    }

    /** The place of the slot holding that name, or of the empty slot where it would go. */
    std::size_t slotOf(QByteArrayView name, std::uint64_t hash) const
    {
        const auto tag = std::uint16_t(hash >> 48);
        for (std::size_t at = std::size_t(hash) & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.index < 0
                || (slot.tag == tag && slot.size == name.size() && std::equal(name.begin(), name.end(), slot.data)))
                return at;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
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
    std::vector<Route> routes; // the block being read
    while (reader.skipToHeader("rout")) {
        const LineReader::Line originLine = reader.read();
        if (isPastEnd(originLine))
            return;
        const std::int32_t origin = names.find(afterWidth(Trim(originLine.text), kOriginLabelWidth));
        // An unknown origin abandons the block: its lines are then read as any others.
        if (origin < 0)
            continue;

        routes.clear();
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
        // A copy of exactly the block's size: one allocation per origin, not one per doubling.
        locations[std::size_t(origin)].Routes.assign(routes.begin(), routes.end());
    }
}

} // namespace vdm
