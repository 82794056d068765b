// SPDX-License-Identifier: MIT
#include "data/locationsdb.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/linereader.h"
#include "data/mappedfile.h"
#include "data/releasebehind.h"
#include "data/textarena.h"
#include "data/textconv.h"

#include <QHashFunctions>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iterator>
#include <new>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace vdm {
namespace {

constexpr qsizetype kLabelWidth = 6;
constexpr int kRecordLines = 8;
constexpr std::size_t kSampleRecords = 64;
// From this size on a file's records are read by two readers at once (a million places
// are 136 MB); a smaller one is read in a few milliseconds by one.
constexpr qsizetype kTwoReadersFrom = qsizetype(4) << 20;

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
 * Regions and kinds repeat across thousands of records: a reader looks each distinct text
 * up in the process's table of them once (under its lock) and finds its number here after
 * that, without a lock, while a second reader reads the same file. This table stops growing
 * at a bound, after which a new text goes to the process's table directly.
 *
 * A million records look up two texts each, in no order, among some 16 000 regions, while
 * the reader streams past them: each look-up that reaches memory outside the processor's
 * cache waits for it. A slot therefore holds a short text's bytes itself (32 bytes, never
 * across two cache lines), so a look-up reads one slot; finding the bytes through the
 * process's table took three reads from places far apart, the greater part of the time a
 * record took. A longer text is compared with the process's copy of it.
 */
class SharedTexts {
public:
    SharedTexts() : m_slots(16) {}

    /**
     * Starts fetching the slot where `text` is looked for, so the reader reads on meanwhile
     * instead of waiting for it at the look-up; returns what get() takes with the text.
     */
    std::uint32_t expect(QByteArrayView text) const
    {
        const auto hash = std::uint32_t(qHash(text));
        __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
        return hash;
    }

    /** The text's number; `hash`: what expect() returned for it. */
    InternedText get(QByteArrayView text, std::uint32_t hash)
    {
        if (text.isEmpty())
            return {};
        const Key key = keyOf(text);
        Slot& slot = m_slots[slotOf(text, key, hash)];
        if (!slot.text.isEmpty())
            return slot.text;
        const InternedText interned(text);
        if (m_count >= kMaxTexts)
            return interned;
        slot = Slot{key, interned};
        if (++m_count * 2 > m_slots.size())
            grow();
        return interned;
    }

private:
    static constexpr std::size_t kMaxTexts = 65536;
    // The text's length, then its bytes and zeros after them. Length 0 stands for a text too
    // long to be held here (an empty text is never looked up).
    static constexpr qsizetype kHeld = 27;
    using Key = std::array<char, kHeld + 1>;
    // Open addressing, at most half full: a look-up mostly reads one slot, where a node-based
    // table chased a pointer per record (two texts a record, a million records).
    struct alignas(32) Slot {
        Key key{};
        InternedText text; // empty: a free slot
    };

    static Key keyOf(QByteArrayView text)
    {
        Key key{};
        if (text.size() <= kHeld) {
            key[0] = char(text.size());
            std::memcpy(key.data() + 1, text.data(), std::size_t(text.size()));
        }
        return key;
    }

    /** Compared word by word in place: a call for each slot looked at cost more than the comparing. */
    static bool sameKey(const Key& a, const Key& b)
    {
        static_assert(sizeof(Key) == 3 * 8 + 4);
        std::uint64_t wa[3], wb[3];
        std::uint32_t ta = 0, tb = 0;
        std::memcpy(wa, a.data(), sizeof wa);
        std::memcpy(wb, b.data(), sizeof wb);
        std::memcpy(&ta, a.data() + sizeof wa, sizeof ta);
        std::memcpy(&tb, b.data() + sizeof wb, sizeof tb);
        return ((wa[0] ^ wb[0]) | (wa[1] ^ wb[1]) | (wa[2] ^ wb[2]) | (ta ^ tb)) == 0;
    }

    /** The slot holding `text` (whose key is `key`), or the empty one where it would go. */
    std::size_t slotOf(QByteArrayView text, const Key& key, std::uint32_t hash) const
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = m_slots[at];
            if (slot.text.isEmpty())
                return at;
            if (key[0] != 0 ? sameKey(slot.key, key) : slot.key[0] == 0 && slot.text.view() == text)
                return at;
        }
    }

    void grow()
    {
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(m_slots.size() * 2));
        for (const Slot& slot : old) {
            if (slot.text.isEmpty())
                continue;
            const QByteArrayView text
                = slot.key[0] != 0 ? QByteArrayView(slot.key.data() + 1, slot.key[0]) : slot.text.view();
            m_slots[slotOf(text, slot.key, std::uint32_t(qHash(text)))] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

/**
 * Reads records one after another from the start of a line, as the classic reader does:
 * a header line holding "loc", then lines 1 to 7.
 */
class RecordReader {
public:
    RecordReader(const QByteArray& bytes, qsizetype from, ReleaseBehind* release)
        : m_reader(bytes, LineReader::ClassicLimit), m_release(release), m_from(from), m_size(bytes.size())
    {
        m_reader.rewind({from, 1});
    }

    /** Reads on to the next header; false when the data ends first. `at`: where its line begins. */
    bool findHeader(qsizetype& at)
    {
        while (true) {
            at = m_reader.position();
            const LineReader::Line header = m_reader.read();
            if (header.metEnd)
                return false;
            if (header.text.contains("loc"))
                break;
        }
        // The records before this one are made: their lines are no longer looked at.
        if (m_release)
            m_release->passed(m_reader.position() - m_from);
        return true;
    }

    /**
     * Reads the record whose header was just found into `out`: false when the data ends
     * inside it, which drops it whole, so that no location with made-up fields reaches the
     * lists. A field that is no number throws the conversion error.
     */
    bool readRecord(LocationList& out)
    {
        std::array<LineReader::Line, kRecordLines> lines;
        std::uint32_t regionHash = 0;
        std::uint32_t kindHash = 0;
        for (int i = 1; i < kRecordLines; ++i) {
            lines[i] = m_reader.read();
            if (isPastEnd(lines[i]))
                return false;
            // The region's slot is mostly outside the cache: it is fetched while the lines
            // after it are read.
            if (i == 2)
                regionHash = m_shared.expect(labelledValue(lines[2], kLabelWidth));
            else if (i == 3)
                kindHash = m_shared.expect(labelledValue(lines[3], kLabelWidth));
        }
        Location location;
        location.Name = m_arena.copy(labelledValue(lines[1], kLabelWidth));
        location.Region = m_shared.get(labelledValue(lines[2], kLabelWidth), regionHash);
        location.Kind = m_shared.get(labelledValue(lines[3], kLabelWidth), kindHash);
        location.Level = StrToInt(labelledValue(lines[4], kLabelWidth));
        const QByteArrayView position = labelledValue(lines[7], kLabelWidth);
        const qsizetype comma = position.lastIndexOf(',');
        if (comma < 0)
            throwConvertError(position);
        location.X = StrToInt(position.first(comma));
        location.Y = StrToInt(position.sliced(comma + 1));
        out.push_back(std::move(location));
        return true;
    }

    /** Makes room in `out` for the rest once `read` records of it were read from here. */
    void reserveAfter(LocationList& out, std::size_t read)
    {
        if (read == kSampleRecords)
            reserveForTheRest(out, m_reader.position() - m_from, m_size - m_reader.position(), kSampleRecords);
    }

private:
    LineReader m_reader;
    ReleaseBehind* m_release;
    qsizetype m_from;
    qsizetype m_size;
    // Names in shared blocks: no allocation per record.
    TextArena m_arena;
    SharedTexts m_shared;
};

/**
 * What a second reader made of the data from a line start on: the records, where each
 * record's header line begins, and how it ended. It read as the first reader will from
 * the first of those headers that the first reader also meets.
 */
struct LaterPart {
    LocationList records;
    std::vector<qsizetype> starts;  // one per record, and one more for a record that ended the data or threw
    std::exception_ptr error;       // what the record after the last one threw
    bool whole = false;             // it read to the end of the data or to a record's end of it
    std::atomic<bool> wanted{true}; // false: the first reader ended before the split, stop
};

void readLaterPart(const QByteArray& bytes, qsizetype from, ReleaseBehind* release, LaterPart& part)
{
    try {
        RecordReader reader(bytes, from, release);
        qsizetype at = 0;
        while (reader.findHeader(at)) {
            if (!part.wanted.load(std::memory_order_relaxed))
                return;
            part.starts.push_back(at);
            reader.reserveAfter(part.records, part.records.size());
            try {
                if (!reader.readRecord(part.records))
                    break;
            } catch (...) {
                part.error = std::current_exception();
                break;
            }
        }
        part.whole = true;
    } catch (...) {
        // No room to go on: the first reader reads this part too.
        part.records.clear();
        part.starts.clear();
    }
}

/**
 * The one reading of the records: by one reader, or by two when `split` (a line start)
 * is given, the second one from there on a thread of its own. The first reader reads on
 * until it meets a header the second one began a record at; from there on both read
 * alike, so the second one's records, and how it ended, are the rest of the reading. A
 * record of the first reader that reaches over the split is read by the first one and
 * the second one's records before it are dropped; in the worst case (no header met by
 * both) the first reader reads everything itself. `release` gives the pages behind each
 * reader back; only where they are read again from the file (mapped): the first reader
 * may read on behind the second one.
 */
void readRecords(const QByteArray& bytes, LocationList& out, qsizetype split, bool release)
{
    char* data = const_cast<char*>(bytes.constData());
    std::optional<ReleaseBehind> firstRelease;
    if (release)
        firstRelease.emplace(data);
    LaterPart later;
    std::thread second;
    const auto joined = qScopeGuard([&] {
        later.wanted = false; // an error before the split ends the reading: the rest is not wanted
        if (second.joinable())
            second.join();
    });
    if (split > 0 && split < bytes.size()) {
        second = std::thread([&bytes, &later, split, data, release] {
            std::optional<ReleaseBehind> behind;
            if (release)
                behind.emplace(data + split);
            readLaterPart(bytes, split, behind ? &*behind : nullptr, later);
        });
    }
    RecordReader reader(bytes, 0, firstRelease ? &*firstRelease : nullptr);
    const std::size_t first = out.size();
    qsizetype at = 0;
    while (reader.findHeader(at)) {
        if (split > 0 && at >= split) {
            if (second.joinable())
                second.join();
            const auto met = std::lower_bound(later.starts.begin(), later.starts.end(), at);
            if (later.whole && met != later.starts.end() && *met == at) {
                const auto k = std::size_t(met - later.starts.begin());
                if (k < later.records.size())
                    out.insert(out.end(), std::make_move_iterator(later.records.begin() + qsizetype(k)),
                               std::make_move_iterator(later.records.end()));
                later.records = {};
                if (later.error)
                    std::rethrow_exception(later.error);
                return;
            }
        }
        reader.reserveAfter(out, out.size() - first);
        if (!reader.readRecord(out))
            return;
    }
}

/** The start of the first line that begins at or after `at`; 0 for none. */
qsizetype lineStartFrom(const QByteArray& bytes, qsizetype at)
{
    if (at <= 0)
        return 0;
    const qsizetype lf = bytes.indexOf('\n', at - 1);
    return lf < 0 || lf + 1 >= bytes.size() ? 0 : lf + 1;
}

} // namespace

void readLocations(const QByteArray& bytes, LocationList& out)
{
    readRecords(bytes, out, 0, false);
}

void readLocations(const QByteArray& bytes, LocationList& out, qsizetype splitAt)
{
    readRecords(bytes, out, lineStartFrom(bytes, splitAt), false);
}

void readLocations(QByteArray&& bytes, LocationList& out)
{
    const QByteArray owned = std::move(bytes);
    // Pages given back only from a buffer that is the caller's alone, and read by one reader.
    readRecords(owned, out, 0, ReleaseBehind::mayRelease(owned));
}

void readLocationsFile(const QString& path, LocationList& out)
{
    const MappedFile file(path);
    const QByteArray& bytes = file.bytes();
    const std::size_t before = out.size();
    // Records read from a file cut short meanwhile may hold zeros: none of them stays.
    const auto whole = [&] {
        if (file.cutShort()) {
            out.erase(out.begin() + qsizetype(before), out.end());
            file.checkWhole();
        }
    };
    const bool twoReaders = file.mapped() && bytes.size() >= kTwoReadersFrom && std::thread::hardware_concurrency() > 1;
    try {
        readRecords(bytes, out, twoReaders ? lineStartFrom(bytes, bytes.size() / 2) : 0, file.mapped());
    } catch (...) {
        whole();
        throw;
    }
    whole();
}

} // namespace vdm
