// SPDX-License-Identifier: MIT
#include "data/routesdb.h"

#include "data/databasefile.h"
#include "data/linereader.h"
#include "data/releasebehind.h"
#include "data/textconv.h"
#include "data/zeroedpages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

namespace vdm {
namespace {

constexpr qsizetype kOriginLabelWidth = 5;

std::uint64_t load64(const char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint64_t load32(const char* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

/** The 128-bit product of two words, folded to 64 bits: every input bit reaches every output bit. */
std::uint64_t fold(std::uint64_t a, std::uint64_t b)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return std::uint64_t(product) ^ std::uint64_t(product >> 64);
}

/** Equal bytes, read a word at a time and never outside the `n` bytes of either side. */
bool sameBytes(const char* a, const char* b, std::size_t n)
{
    if (n >= 8) {
        for (std::size_t at = 0; at + 8 < n; at += 8)
            if (load64(a + at) != load64(b + at))
                return false;
        return load64(a + n - 8) == load64(b + n - 8); // the last word overlaps the one before
    }
    if (n >= 4)
        return load32(a) == load32(b) && load32(a + n - 4) == load32(b + n - 4);
    for (std::size_t at = 0; at < n; ++at)
        if (a[at] != b[at])
            return false;
    return true;
}

/**
 * First location of each name, in one open-addressed table: a hundred thousand names
 * cost one allocation instead of one node each, and a look-up mostly reads one slot and
 * the name it points at. The slots point into the locations' own names.
 *
 * At a million places the table and the names are far larger than the caches, so each
 * look-up waits for memory twice (the slot, then the name). Callers with many names to
 * find ask for them ahead (prefetchSlot as each name is read, prefetchName for a run of
 * them before they are looked up), so those waits overlap instead of adding up. The
 * table lies in zeroed pages asked for in large pages: a random slot then rarely costs a
 * walk of the page tables besides its own fetch.
 */
class NameIndex {
public:
    explicit NameIndex(const LocationList& locations)
        : m_slots(capacityFor(locations.size())), m_mask(m_slots.size() - 1)
    {
        // The hashes of a run of names first (their bytes lie one after the other), then
        // their slots, fetched ahead of the inserts that write them.
        constexpr std::size_t kRun = 64;
        std::uint64_t hashes[kRun];
        for (std::size_t first = 0; first < locations.size(); first += kRun) {
            const std::size_t n = std::min(kRun, locations.size() - first);
            for (std::size_t k = 0; k < n; ++k) {
                hashes[k] = hashOf(viewOf(locations[first + k].Name));
                __builtin_prefetch(&m_slots[std::size_t(hashes[k]) & m_mask], 1);
            }
            for (std::size_t k = 0; k < n; ++k) {
                const QByteArray& name = locations[first + k].Name;
                // A line of the file holds far fewer characters: no route could name it.
                if (name.size() > kLongestName)
                    continue;
                const QByteArrayView view = viewOf(name);
                Slot& slot = m_slots[slotOf(view, hashes[k])];
                if (slot.place == 0) // else an earlier location of that name keeps it
                    slot = Slot{view.data(), std::uint32_t(first + k + 1), std::uint16_t(view.size()),
                                std::uint16_t(hashes[k] >> 48)};
            }
        }
    }

    /**
     * A hash of the bytes, read eight at a time (the last word overlapping the one before
     * it, so nothing past the name is read): names are short, and a byte at a time made
     * hashing a large part of a look-up.
     */
    static std::uint64_t hashOf(QByteArrayView name)
    {
        constexpr std::uint64_t k0 = 0xa0761d6478bd642full, k1 = 0xe7037ed1a0b428dbull, k2 = 0x8ebc6af09c88c6e3ull;
        const char* p = name.data();
        const std::size_t n = std::size_t(name.size());
        std::uint64_t a = 0, b = 0, seed = k0 ^ n;
        if (n <= 16) {
            if (n >= 4) {
                const std::size_t middle = (n >> 3) << 2; // 0 below 8 bytes, else 4
                a = (load32(p) << 32) | load32(p + middle);
                b = (load32(p + n - 4) << 32) | load32(p + n - 4 - middle);
            } else if (n > 0) {
                a = (std::uint64_t(std::uint8_t(p[0])) << 16) | (std::uint64_t(std::uint8_t(p[n >> 1])) << 8)
                    | std::uint8_t(p[n - 1]);
            }
        } else {
            std::size_t left = n;
            for (; left > 16; left -= 16, p += 16)
                seed = fold(load64(p) ^ k1, load64(p + 8) ^ seed);
            a = load64(p + left - 16);
            b = load64(p + left - 8);
        }
        return fold(k2 ^ n, fold(a ^ k1, b ^ seed));
    }

    /** Index of the first location of that name, or -1. */
    std::int32_t find(QByteArrayView name) const { return find(name, hashOf(name)); }
    std::int32_t find(QByteArrayView name, std::uint64_t hash) const
    {
        return name.size() > kLongestName ? -1 : std::int32_t(m_slots[slotOf(name, hash)].place) - 1;
    }

    /** The first slot a name of that hash is looked for in, on its way into the cache. */
    void prefetchSlot(std::uint64_t hash) const { __builtin_prefetch(&m_slots[std::size_t(hash) & m_mask]); }
    /** The name that slot points at, once the slot itself has arrived. */
    void prefetchName(std::uint64_t hash) const
    {
        const Slot& slot = m_slots[std::size_t(hash) & m_mask];
        if (slot.place != 0)
            __builtin_prefetch(slot.data);
    }

private:
    static constexpr qsizetype kLongestName = 0xFFFF;
    // Sixteen bytes: a million places' table is 32 MB, not 48, beside the file being read.
    // All zeros is an empty slot, so fresh zeroed pages need no filling.
    struct Slot {
        const char* data;
        std::uint32_t place; // index + 1; 0: empty
        std::uint16_t size;
        std::uint16_t tag; // the hash's top bits, checked before the bytes
    };
    static_assert(sizeof(Slot) == 16);

    static std::size_t capacityFor(std::size_t names)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * names) // at most half full: probe runs stay short
            capacity *= 2;
        return capacity;
    }

    static QByteArrayView viewOf(const QByteArray& name) { return QByteArrayView(name.constData(), name.size()); }

    /** The place of the slot holding that name, or of the empty slot where it would go. */
    std::size_t slotOf(QByteArrayView name, std::uint64_t hash) const
    {
        const auto tag = std::uint16_t(hash >> 48);
        for (std::size_t at = std::size_t(hash) & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.place == 0
                || (slot.tag == tag && slot.size == name.size()
                    && sameBytes(name.data(), slot.data, std::size_t(name.size()))))
                return at;
        }
    }

    ZeroedPages<Slot> m_slots;
    std::size_t m_mask;
};

bool isEndLine(const LineReader::Line& line)
{
    // Compared before trimming: "end" must start in the first column and be followed
    // by its line end, or by the end of the data.
    return line.text.size() == 3 && std::memcmp(line.text.data(), "end", 3) == 0 && (line.lineEnd || line.metEnd);
}

/** The kind digit that starts a trimmed route line; anything else throws the conversion error. */
std::int32_t kindOf(QByteArrayView text)
{
    if (!text.isEmpty() && text[0] >= '0' && text[0] <= '9')
        return text[0] - '0';
    return StrToInt(text.first(text.isEmpty() ? 0 : 1)); // the error naming what stands there
}

QByteArrayView afterWidth(QByteArrayView text, qsizetype width)
{
    return text.size() > width ? text.sliced(width) : QByteArrayView();
}

/**
 * The blocks read but not yet given to their origins: their names are looked up together,
 * a run at a time, with the memory they need asked for ahead. A target never changes how
 * the file reads on (an unknown one is only left out). An origin does: an unknown one
 * abandons its block, whose lines are then read as any others. Blocks are read on as if
 * every origin were known, and the first whose origin turns out unknown is where the
 * reader goes back to; the blocks read after it are forgotten.
 */
class PendingBlocks {
public:
    explicit PendingBlocks(const NameIndex& names, LocationList& locations) : m_names(names), m_locations(locations)
    {
        m_targets.reserve(kRun + 64);
        m_blocks.reserve(kRun);
    }

    /** Enough names are waiting for a run of look-ups to pay. */
    bool full() const { return m_targets.size() + m_blocks.size() >= kRun; }

    /** A block of that origin begins; `after` is where its first route line begins. */
    void startBlock(QByteArrayView origin, const LineReader::Mark& after)
    {
        const std::uint64_t hash = NameIndex::hashOf(origin);
        m_names.prefetchSlot(hash);
        m_blocks.push_back({origin, hash, -1, m_targets.size(), after, true});
    }
    void addRoute(QByteArrayView target, std::int32_t kind)
    {
        const std::uint64_t hash = NameIndex::hashOf(target);
        m_names.prefetchSlot(hash);
        m_targets.push_back({target, hash, -1, std::uint8_t(kind)});
    }
    /** The block begun last never ended (an error inside it): it gives its origin nothing. */
    void lastBlockUnfinished()
    {
        if (!m_blocks.empty())
            m_blocks.back().finished = false;
    }

    /**
     * Looks the waiting names up and gives each block's routes to its origin, in file
     * order, up to the first block whose origin is unknown. Returns where the reader goes
     * back to then, after that block's origin line; nothing when every origin was known.
     */
    std::optional<LineReader::Mark> flush()
    {
        lookUp(
            m_blocks, [](const Block& b) { return b.hash; }, [](Block& b, std::int32_t i) { b.origin = i; },
            [](const Block& b) { return b.name; });
        lookUp(
            m_targets, [](const Target& t) { return t.hash; }, [](Target& t, std::int32_t i) { t.index = i; },
            [](const Target& t) { return t.name; });
        std::optional<LineReader::Mark> back;
        std::vector<Route> routes;
        for (std::size_t b = 0; b < m_blocks.size(); ++b) {
            const Block& block = m_blocks[b];
            if (block.origin < 0) {
                back = block.after;
                break;
            }
            if (!block.finished)
                break;
            const std::size_t to = b + 1 < m_blocks.size() ? m_blocks[b + 1].first : m_targets.size();
            routes.clear();
            for (std::size_t k = block.first; k < to; ++k)
                if (m_targets[k].index >= 0)
                    routes.push_back(Route{m_targets[k].index, m_targets[k].kind});
            // A copy of exactly the block's size: one allocation per origin, not one per doubling.
            m_locations[std::size_t(block.origin)].Routes.assign(routes.begin(), routes.end());
        }
        m_targets.clear();
        m_blocks.clear();
        return back;
    }

private:
    static constexpr std::size_t kRun = 4096;
    struct Target {
        QByteArrayView name;
        std::uint64_t hash;
        std::int32_t index;
        std::uint8_t kind;
    };
    struct Block {
        QByteArrayView name;
        std::uint64_t hash;
        std::int32_t origin;
        std::size_t first; // its first route line among the targets
        LineReader::Mark after;
        bool finished;
    };

    /**
     * Finds every name of `items`. Their slots were asked for as they were read, and have
     * arrived by now; the names the slots point at are asked for all at once before the
     * first is compared.
     */
    template <typename Items, typename Hash, typename Set, typename Name>
    void lookUp(Items& items, Hash hash, Set set, Name name) const
    {
        constexpr std::size_t kAhead = 32;
        const std::size_t n = items.size();
        for (std::size_t k = 0; k < std::min(n, kAhead); ++k)
            m_names.prefetchName(hash(items[k]));
        for (std::size_t k = 0; k < n; ++k) {
            if (k + kAhead < n)
                m_names.prefetchName(hash(items[k + kAhead]));
            set(items[k], m_names.find(name(items[k]), hash(items[k])));
        }
    }

    const NameIndex& m_names;
    LocationList& m_locations;
    std::vector<Target> m_targets;
    std::vector<Block> m_blocks;
};

void readBlocks(const QByteArray& bytes, LocationList& locations, ReleaseBehind* release)
{
    const NameIndex names(locations);
    PendingBlocks pending(names, locations);
    LineReader reader(bytes, LineReader::ClassicLimit);
    while (true) {
        std::exception_ptr error;
        try {
            while (reader.skipToHeader("rout")) {
                const qsizetype originAt = reader.position();
                const LineReader::Line originLine = reader.read();
                if (isPastEnd(originLine))
                    break;
                if (pending.full()) {
                    if (const auto back = pending.flush()) {
                        reader.rewind(*back);
                        continue;
                    }
                    // Nothing before this line is looked at again, not even after a rewind.
                    if (release)
                        release->passed(originAt);
                }
                pending.startBlock(afterWidth(Trim(originLine.text), kOriginLabelWidth), reader.mark());
                while (true) {
                    const LineReader::Line line = reader.read();
                    if (isEndLine(line) || isPastEnd(line))
                        break;
                    const QByteArrayView text = Trim(line.text);
                    const std::int32_t kind = kindOf(text);
                    pending.addRoute(afterWidth(text, 2), kind);
                    if (line.metEnd)
                        break;
                }
            }
        } catch (...) {
            // The block being read keeps nothing, as it never ended; the ones before it
            // keep their routes. Unless an origin up to it is unknown: then the error was
            // read in lines that are no block at all.
            pending.lastBlockUnfinished();
            error = std::current_exception();
        }
        const std::optional<LineReader::Mark> back = pending.flush();
        if (!back) {
            if (error)
                std::rethrow_exception(error);
            return;
        }
        reader.rewind(*back);
    }
}

} // namespace

void readRoutes(const QByteArray& bytes, LocationList& locations)
{
    readBlocks(bytes, locations, nullptr);
}

void readRoutes(QByteArray&& bytes, LocationList& locations)
{
    ReleaseBehind::readTaken(std::move(bytes), [&locations](const QByteArray& owned, ReleaseBehind* release) {
        readBlocks(owned, locations, release);
    });
}

} // namespace vdm
