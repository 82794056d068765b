// SPDX-License-Identifier: MIT
#include "data/routesdb.h"

#include "data/databasefile.h"
#include "data/linereader.h"
#include "data/nameindex.h"
#include "data/releasebehind.h"
#include "data/textconv.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

namespace vdm {
namespace {

constexpr qsizetype kOriginLabelWidth = 5;

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
            // The origins lie far apart among the locations: the list each of them gets
            // is asked for a few blocks ahead, as the names were.
            if (b + kOriginsAhead < m_blocks.size() && m_blocks[b + kOriginsAhead].origin >= 0)
                prefetchRoutesOf(std::size_t(m_blocks[b + kOriginsAhead].origin));
            const std::size_t to = b + 1 < m_blocks.size() ? m_blocks[b + 1].first : m_targets.size();
            routes.clear();
            for (std::size_t k = block.first; k < to; ++k)
                if (m_targets[k].index >= 0)
                    routes.push_back(Route{m_targets[k].index, m_targets[k].kind});
            // A copy of exactly the block's size: one allocation per origin, not one per doubling.
            m_locations[std::size_t(block.origin)].Routes.assign(routes.data(), routes.data() + routes.size());
        }
        m_targets.clear();
        m_blocks.clear();
        return back;
    }

private:
    static constexpr std::size_t kRun = 4096;
    static constexpr std::size_t kOriginsAhead = 8;
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

    /** The list of routes of that location, on its way into the cache before it is written. */
    void prefetchRoutesOf(std::size_t origin) const { __builtin_prefetch(&m_locations[origin].Routes, 1); }

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
