// SPDX-License-Identifier: MIT
#include "data/locationsdb.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/linereader.h"
#include "data/releasebehind.h"
#include "data/textarena.h"
#include "data/textconv.h"

#include <QHashFunctions>

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace vdm {
namespace {

constexpr qsizetype kLabelWidth = 6;
constexpr int kRecordLines = 8;
constexpr std::size_t kSampleRecords = 64;

/**
 * Room for the records the rest of the data probably holds, judged by the bytes the
 * first records took: growing the list step by step would move every record several
 * times. Room reserved beyond the real count is never touched, so it costs no memory;
 * still, no more is asked for than the bytes could hold as the shortest records that
 * read without error (a header, labels and a digit or two), and a refusal is no error.
 */
void reserveForTheRest(LocationList& out, qsizetype bytesRead, qsizetype bytesLeft, std::size_t recordsRead)
{
    // "loc" and its line end, four empty lines, a label and line end, then a digit, then "0,0"
    constexpr qsizetype kShortestRecord = 4 + 4 + 7 + 8 + 10;
    if (recordsRead == 0 || bytesRead <= 0)
        return;
    const double perRecord = double(bytesRead) / double(recordsRead);
    const auto expected = std::min(std::size_t(double(bytesLeft) / perRecord * 1.125) + 16,
                                   std::size_t(bytesLeft / kShortestRecord) + 16);
    try {
        out.reserve(out.size() + expected);
    } catch (const std::bad_alloc&) {
        // The list grows as it goes instead.
    }
}

/**
 * Regions and kinds repeat across thousands of records: equal texts share one copy, so
 * a big file costs one copy per distinct text instead of one per record. The table stops
 * growing at a bound, after which a new text gets a copy of its own (in the arena, so
 * still no allocation of its own), so a file whose texts never repeat costs no more than
 * its names do.
 */
class SharedTexts {
public:
    explicit SharedTexts(TextArena& arena) : m_arena(arena), m_slots(16) {}
    QByteArray get(QByteArrayView text)
    {
        if (text.isEmpty())
            return {};
        const std::size_t hash = qHash(text);
        Slot& slot = m_slots[slotOf(text, hash)];
        if (!slot.text.isNull())
            return slot.text;
        QByteArray copy = m_arena.copy(text);
        if (m_count < kMaxTexts) {
            slot = Slot{hash, copy};
            if (++m_count * 2 > m_slots.size())
                grow();
        }
        return copy;
    }

private:
    static constexpr std::size_t kMaxTexts = 65536;
    // Open addressing, at most half full: a look-up mostly reads one slot, where a node-based
    // table chased a pointer per record (two texts a record, a million records).
    struct Slot {
        std::size_t hash = 0;
        QByteArray text; // null: empty
    };

    /** The slot holding `text`, or the empty one where it would go. */
    std::size_t slotOf(QByteArrayView text, std::size_t hash) const
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = m_slots[at];
            if (slot.text.isNull() || (slot.hash == hash && slot.text == text))
                return at;
        }
    }

    void grow()
    {
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(m_slots.size() * 2));
        for (Slot& slot : old)
            if (!slot.text.isNull())
                m_slots[slotOf(slot.text, slot.hash)] = std::move(slot);
    }

    TextArena& m_arena;
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

void readRecords(const QByteArray& bytes, LocationList& out, ReleaseBehind* release)
{
    LineReader reader(bytes, LineReader::ClassicLimit);
    const std::size_t first = out.size();
    // Names, regions and kinds in shared blocks: no allocation per record.
    TextArena arena;
    SharedTexts shared(arena);
    while (reader.skipToHeader("loc")) {
        // The records before this one are made: their lines are no longer looked at.
        if (release)
            release->passed(reader.position());
        if (out.size() - first == kSampleRecords)
            reserveForTheRest(out, reader.position(), bytes.size() - reader.position(), kSampleRecords);
        // Lines 1 to 7; a record the data ends inside of is dropped whole, so that no
        // location with made-up fields reaches the lists.
        std::array<LineReader::Line, kRecordLines> lines;
        for (int i = 1; i < kRecordLines; ++i) {
            lines[i] = reader.read();
            if (isPastEnd(lines[i]))
                return;
        }

        Location location;
        location.Name = arena.copy(labelledValue(lines[1], kLabelWidth));
        location.Region = shared.get(labelledValue(lines[2], kLabelWidth));
        location.Kind = shared.get(labelledValue(lines[3], kLabelWidth));
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

} // namespace

void readLocations(const QByteArray& bytes, LocationList& out)
{
    readRecords(bytes, out, nullptr);
}

void readLocations(QByteArray&& bytes, LocationList& out)
{
    ReleaseBehind::readTaken(std::move(bytes), [&out](const QByteArray& owned, ReleaseBehind* release) {
        readRecords(owned, out, release);
    });
}

} // namespace vdm
