// SPDX-License-Identifier: MIT
#include "map/captioncache.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace vdm {

std::int64_t CaptionCache::footprint(const QByteArray& text, const QImage& mask)
{
    // The entry, its record of use, its share of the table's slots and of its blocks,
    // rounded up (and kept as it was counted when each caption had a node of its own).
    constexpr std::int64_t Bookkeeping = 200;
    return std::int64_t(mask.sizeInBytes()) + 2 * std::int64_t(text.size()) + Bookkeeping;
}

std::int64_t CaptionCache::footprint(const QByteArray& text, const Mask& mask)
{
    // As the QImage of one byte a pixel it came from: its rows padded to four bytes.
    const std::int64_t row = (std::int64_t(mask.width) + 3) / 4 * 4;
    return footprint(text, QImage()) + row * mask.height;
}

namespace {

/**
 * Mask rows let go of, by size, for the next masks of the same size: a lock and a stack
 * instead of the allocator's trip between two threads' heaps. It holds at most Held
 * bytes; beyond that, and for masks larger than Largest, the rows go back to the heap.
 */
class MaskShelf {
public:
    static constexpr std::size_t Step = 64, Largest = 16384;
    static constexpr std::size_t Held = 8 * 1024 * 1024;

    /** What rows of `bytes` are given: a whole number of steps up to Largest. */
    static std::size_t capacityFor(std::size_t bytes)
    {
        return bytes > Largest ? bytes : std::max<std::size_t>(Step, (bytes + Step - 1) / Step * Step);
    }

    uchar* take(std::size_t capacity)
    {
        uchar* rows = nullptr;
        return takeSome(capacity, 1, &rows) == 1 ? rows : new uchar[capacity];
    }

    /**
     * Moves up to `most` rows of `capacity` into `into`, under one lock; how many. A size
     * the shelf holds none of is known without the lock: two threads rendering side by
     * side would otherwise meet on it for every caption.
     */
    std::size_t takeSome(std::size_t capacity, std::size_t most, uchar** into)
    {
        if (capacity > Largest || m_counts[capacity / Step - 1].load(std::memory_order_relaxed) == 0)
            return 0;
        const std::lock_guard<std::mutex> lock(m_lock);
        std::vector<uchar*>& stack = m_stacks[capacity / Step - 1];
        const std::size_t taken = std::min(most, stack.size());
        std::copy(stack.end() - std::ptrdiff_t(taken), stack.end(), into);
        stack.resize(stack.size() - taken);
        m_counts[capacity / Step - 1].store(std::uint32_t(stack.size()), std::memory_order_relaxed);
        m_held -= taken * capacity;
        return taken;
    }

    void give(uchar* rows, std::size_t capacity) noexcept
    {
        if (capacity >= Step && capacity <= Largest) {
            const std::lock_guard<std::mutex> lock(m_lock);
            if (m_held + capacity <= Held) {
                try {
                    std::vector<uchar*>& stack = m_stacks[capacity / Step - 1];
                    stack.push_back(rows);
                    m_counts[capacity / Step - 1].store(std::uint32_t(stack.size()), std::memory_order_relaxed);
                    m_held += capacity;
                    return;
                } catch (const std::bad_alloc&) {
                    // No room to shelve them: they go back to the heap.
                }
            }
        }
        delete[] rows;
    }

private:
    std::mutex m_lock;
    // Of each size, the rows shelved: only these pointers are read, never the rows
    // themselves, which have long left the processor's caches.
    std::array<std::vector<uchar*>, Largest / Step> m_stacks;
    // How many each stack holds, read without the lock (see takeSome).
    std::array<std::atomic<std::uint32_t>, Largest / Step> m_counts{};
    std::size_t m_held = 0;
};

/** One shelf for every cache and renderer; never destroyed, so a cache let go of at exit still gives back. */
MaskShelf& shelf()
{
    static MaskShelf* const s = new MaskShelf;
    return *s;
}

} // namespace

void CaptionCache::MaskRelease::operator()(uchar* rows) const noexcept
{
    shelf().give(rows, capacity);
}

CaptionCache::Mask CaptionCache::Mask::blank(int width, int height)
{
    Mask m;
    m.width = width;
    m.height = height;
    const std::size_t bytes = std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0));
    const std::size_t capacity = MaskShelf::capacityFor(bytes);
    m.pixels = MaskRows(shelf().take(capacity), MaskRelease{capacity});
    std::memset(m.pixels.get(), 0, bytes);
    return m;
}

CaptionCache::MaskStash::MaskStash() = default;

CaptionCache::MaskStash::~MaskStash()
{
    for (std::size_t k = 0; k < m_rows.size(); ++k)
        for (uchar* rows : m_rows[k])
            shelf().give(rows, (k + 1) * MaskShelf::Step);
}

CaptionCache::Mask CaptionCache::MaskStash::blank(int width, int height)
{
    const std::size_t bytes = std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0));
    const std::size_t capacity = MaskShelf::capacityFor(bytes);
    if (capacity > MaskShelf::Largest)
        return Mask::blank(width, height);
    const std::size_t at = capacity / MaskShelf::Step - 1;
    if (m_rows.size() <= at)
        m_rows.resize(at + 1);
    std::vector<uchar*>& held = m_rows[at];
    if (held.empty()) {
        // A few at a time, while the stash stays within its bytes.
        const std::size_t most = std::clamp<std::size_t>((Bytes - std::min(Bytes, m_bytes)) / capacity, 1, Batch);
        held.resize(most);
        held.resize(shelf().takeSome(capacity, most, held.data()));
        m_bytes += held.size() * capacity;
    }
    Mask m;
    m.width = width;
    m.height = height;
    uchar* rows = nullptr;
    if (held.empty()) {
        rows = new uchar[capacity];
    } else {
        rows = held.back();
        held.pop_back();
        m_bytes -= capacity;
    }
    m.pixels = MaskRows(rows, MaskRelease{capacity});
    std::memset(rows, 0, bytes);
    return m;
}

CaptionCache::Mask CaptionCache::Mask::of(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage alpha = image.format() == QImage::Format_Alpha8 ? image : image.convertToFormat(QImage::Format_Alpha8);
    Mask m = blank(alpha.width(), alpha.height());
    for (int y = 0; y < m.height; ++y)
        std::memcpy(m.pixels.get() + std::size_t(y) * std::size_t(m.width), alpha.constScanLine(y),
                    std::size_t(m.width));
    return m;
}

CaptionCache::CaptionCache(std::int64_t floor, std::int64_t cap) : m_floor(floor), m_cap(std::max(floor, cap))
{}

std::int64_t CaptionCache::budget() const
{
    return std::clamp(3 * *std::max_element(m_recent.begin(), m_recent.end()), std::min(m_floor, m_limit),
                      std::min(m_cap, m_limit));
}

void CaptionCache::beginPaint(int zoom, QPoint centre, QPoint half)
{
    m_half = half;
    ++m_pass;
    m_firstPass = m_pass;
    m_zoom = zoom;
    m_centre = centre;
    m_paintBytes = 0;
    m_heldOwn = 0;
}

void CaptionCache::endPaint(bool whole)
{
    if (whole) {
        m_recent[size_t(m_nextRecent)] = m_paintBytes;
        m_nextRecent = (m_nextRecent + 1) % RecentPaints;
    }
    const std::int64_t limit = budget();
    if (m_bytes > limit)
        evictDownTo(limit / 4 * 3);
}

void CaptionCache::beginPass()
{
    ++m_pass;
}

void CaptionCache::endPass(bool last)
{
    const std::int64_t limit = budget();
    if (m_bytes > limit)
        evictDownTo(limit, nullptr, last ? m_pass + 1 : m_pass);
}

void CaptionCache::makeRoom(std::int64_t incoming)
{
    const std::int64_t target = std::max<std::int64_t>(budget() - incoming, 0);
    if (m_bytes > target)
        evictDownTo(target);
}

std::uint32_t CaptionCache::hashOf(const QByteArray& text, qreal ratio)
{
    const size_t h = qHashMulti(0, text, ratio);
    return std::uint32_t(h ^ (std::uint64_t(h) >> 32));
}

std::int64_t CaptionCache::lookUp(const QByteArray& text, qreal ratio, std::uint32_t hash) const
{
    if (m_slots.empty())
        return -1;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = m_slots[i];
        if (slot == 0)
            return -1;
        if (std::uint32_t(slot >> 32) != hash)
            continue;
        const std::uint32_t index = std::uint32_t(slot) - 1;
        const Entry& e = entry(index);
        if (e.ratio == ratio && e.text == text)
            return index;
    }
}

void CaptionCache::rehash(std::size_t size)
{
    std::vector<std::uint64_t> old(size, 0);
    old.swap(m_slots);
    const std::size_t mask = size - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0)
            continue;
        std::size_t i = (slot >> 32) & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

void CaptionCache::reserve(int more)
{
    const std::size_t wanted = 2 * (std::size_t(m_count) + std::size_t(std::max(more, 0)));
    if (wanted <= m_slots.size())
        return;
    std::size_t size = std::max<std::size_t>(m_slots.size(), 64);
    while (size < wanted)
        size *= 2;
    rehash(size);
}

void CaptionCache::use(std::uint32_t index, QPoint where)
{
    Use& u = m_uses[index];
    if (!ownUse(u)) {
        m_paintBytes += u.bytes;
        m_heldOwn += u.bytes;
    }
    u.pass = m_pass;
    u.zoom = m_zoom;
    u.x = where.x();
    u.y = where.y();
}

void CaptionCache::reuse(const Entry& e, QPoint where)
{
    use(e.index, where);
}

const CaptionCache::Entry* CaptionCache::peek(const QByteArray& text, qreal ratio) const
{
    const std::int64_t index = lookUp(text, ratio, hashOf(text, ratio));
    return index < 0 ? nullptr : &entry(std::uint32_t(index));
}

const CaptionCache::Entry* CaptionCache::find(const QByteArray& text, qreal ratio, QPoint where)
{
    return find(text, ratio, where, hashOf(text, ratio));
}

void CaptionCache::prefetch(std::uint32_t hash, bool andEntry) const
{
    if (m_slots.empty())
        return;
    const std::uint64_t* slot = &m_slots[hash & (m_slots.size() - 1)];
    if (!andEntry) {
        __builtin_prefetch(slot);
        return;
    }
    // The first slot of the run is the one most look-ups end at.
    if (*slot != 0 && std::uint32_t(*slot >> 32) == hash)
        __builtin_prefetch(&entry(std::uint32_t(*slot) - 1));
}

void CaptionCache::prefetch(const Entry& e, bool andUse) const
{
    if (andUse) {
        __builtin_prefetch(&m_uses[e.index]); // reads the entry: it must have come by now
        return;
    }
    const char* const bytes = reinterpret_cast<const char*>(&e);
    for (std::size_t line = 0; line < sizeof(Entry) + 63; line += 64)
        __builtin_prefetch(bytes + std::min(line, sizeof(Entry) - 1));
}

const CaptionCache::Entry* CaptionCache::find(const QByteArray& text, qreal ratio, QPoint where, std::uint32_t hash)
{
    const std::int64_t index = lookUp(text, ratio, hash);
    if (index < 0)
        return nullptr;
    use(std::uint32_t(index), where);
    return &entry(std::uint32_t(index));
}

CaptionCache::Entry& CaptionCache::add(const QByteArray& text, Mask mask, std::int64_t bytes, QPoint offset,
                                       qreal ratio, QPoint where, int advance)
{
    const std::uint32_t hash = hashOf(text, ratio);
    std::int64_t found = lookUp(text, ratio, hash);
    std::uint32_t index;
    if (found >= 0) {
        // A caption rendered again takes its old entry's place, which is emptied and told
        // to whoever kept a pointer to it by the generation.
        index = std::uint32_t(found);
        Use& u = m_uses[index];
        m_bytes -= u.bytes;
        if (ownUse(u)) {
            m_paintBytes -= u.bytes;
            m_heldOwn -= u.bytes;
        }
        Entry& e = entry(index);
        e.text.clear();
        e.pixels.reset();
        e.ink = {};
        ++m_generation;
    } else {
        reserve(1);
        if (m_free != 0) {
            index = m_free - 1;
            m_free = m_uses[index].link;
        } else {
            index = std::uint32_t(m_uses.size());
            if (index % BlockEntries == 0)
                m_blocks.push_back(std::make_unique<Entry[]>(BlockEntries));
            m_uses.emplace_back();
        }
        entry(index).index = index;
        const std::size_t slotMask = m_slots.size() - 1;
        std::size_t i = hash & slotMask;
        while (m_slots[i] != 0)
            i = (i + 1) & slotMask;
        m_slots[i] = (std::uint64_t(hash) << 32) | (std::uint64_t(index) + 1);
        ++m_count;
    }
    Entry& e = entry(index);
    e.text = text;
    e.ratio = ratio;
    e.offset = offset;
    e.advance = advance;
    e.bytes = bytes;
    if (mask.pixels) {
        e.pixels = std::move(mask.pixels);
        e.ink = {e.pixels.get(), mask.width, mask.height, mask.width};
    }
    m_uses[index] = {0, bytes, m_zoom, where.x(), where.y(), hash};
    m_bytes += bytes;
    return e;
}

void CaptionCache::prefetchRemoval(std::uint32_t index, std::uint32_t hash) const
{
    __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
    __builtin_prefetch(&entry(index));
}

void CaptionCache::remove(std::uint32_t index)
{
    Entry& e = entry(index);
    // Its slot, then the slots after it in the same run moved back to where their probes
    // start looking, so no probe meets an empty slot before its own.
    const std::size_t mask = m_slots.size() - 1;
    std::size_t hole = m_uses[index].link & mask;
    while (std::uint32_t(m_slots[hole]) != index + 1)
        hole = (hole + 1) & mask;
    for (std::size_t i = (hole + 1) & mask; m_slots[i] != 0; i = (i + 1) & mask) {
        const std::size_t home = (m_slots[i] >> 32) & mask;
        // The slot may move back only when its home is not after the hole along its probe.
        if (((i - home) & mask) >= ((i - hole) & mask)) {
            m_slots[hole] = m_slots[i];
            hole = i;
        }
    }
    m_slots[hole] = 0;
    Use& u = m_uses[index];
    m_bytes -= u.bytes;
    if (ownUse(u)) {
        m_paintBytes -= u.bytes;
        m_heldOwn -= u.bytes;
    }
    e.text = QByteArray();
    e.pixels.reset();
    e.ink = {};
    u = Use{};
    u.link = m_free;
    m_free = index + 1;
    --m_count;
    ++m_generation;
}

const CaptionCache::Entry& CaptionCache::insert(const QByteArray& text, QImage mask, QPoint offset, qreal ratio,
                                                QPoint where, int advance)
{
    return insert(text, Mask::of(mask), offset, ratio, where, advance);
}

const CaptionCache::Entry& CaptionCache::insert(const QByteArray& text, Mask mask, QPoint offset, qreal ratio,
                                                QPoint where, int advance)
{
    const std::int64_t bytes = footprint(text, mask);
    Entry& e = add(text, std::move(mask), bytes, offset, ratio, where, advance);
    use(e.index, where);
    holdToLimit(e);
    return e;
}

const CaptionCache::Entry& CaptionCache::insertAhead(const QByteArray& text, QImage mask, QPoint offset, qreal ratio,
                                                     QPoint where, int advance, int zoom)
{
    const std::int64_t bytes = footprint(text, mask);
    return addAhead(text, Mask::of(mask), offset, ratio, where, advance, zoom, bytes);
}

const CaptionCache::Entry& CaptionCache::insertAhead(const QByteArray& text, Mask mask, QPoint offset, qreal ratio,
                                                     QPoint where, int advance, int zoom)
{
    const std::int64_t bytes = footprint(text, mask);
    return addAhead(text, std::move(mask), offset, ratio, where, advance, zoom, bytes);
}

const CaptionCache::Entry& CaptionCache::addAhead(const QByteArray& text, Mask mask, QPoint offset, qreal ratio,
                                                  QPoint where, int advance, int zoom, std::int64_t bytes)
{
    Entry& e = add(text, std::move(mask), bytes, offset, ratio, where, advance);
    m_uses[e.index].zoom = zoom;
    holdToLimit(e);
    return e;
}

void CaptionCache::holdToLimit(const Entry& keep)
{
    if (m_bytes > 2 * m_cap)
        evictDownTo(m_cap / 2 * 3, &keep);
}

void CaptionCache::evictDownTo(std::int64_t target, const Entry* keep, std::uint64_t usedFrom)
{
    // With every entry held used by this paint and none of its own to go, there is
    // nothing to look for (a paint in parts makes room before each of its parts).
    if (usedFrom != 0 || m_bytes > m_heldOwn)
        evictFurthest(target, usedFrom);
    if (m_bytes <= target || !keep)
        return;
    for (std::uint32_t index = 0; index < m_uses.size() && m_bytes > target; ++index)
        if (m_uses[index].bytes >= 0 && index != keep->index)
            remove(index);
}

void CaptionCache::evictFurthest(std::int64_t target, std::uint64_t usedFrom)
{
    // Furthest first: another zoom level before any of this one, then by the distance
    // (in map units, the larger of the two axes) of the point last captioned from the
    // view's centre, or from its edges (see beginPaint); of two as
    // far, the one used longer ago. Both are one number: the zoom distance above the
    // 33 bits a distance between two ints takes.
    const std::uint64_t kept = std::max(usedFrom, m_firstPass);
    std::vector<Candidate>& candidates = m_candidates;
    candidates.clear();
    std::int64_t candidateBytes = 0;
    for (std::uint32_t index = 0; index < m_uses.size(); ++index) {
        const Use& u = m_uses[index];
        if (u.bytes < 0 || u.pass >= kept)
            continue; // no entry, or drawn (or about to be) by the paint under way
        const std::uint64_t dx = std::uint64_t(std::llabs(std::int64_t(u.x) - m_centre.x()));
        const std::uint64_t dy = std::uint64_t(std::llabs(std::int64_t(u.y) - m_centre.y()));
        const std::uint64_t zoomDistance = std::min<std::uint64_t>(
            std::uint64_t(std::abs(std::int64_t(u.zoom) - m_zoom)), (std::uint64_t(1) << 31) - 1);
        // From the view's edges: how far outside the nearest, or inside the nearest.
        const std::uint64_t distance
            = m_half.isNull()
                  ? std::max(dx, dy)
                  : std::uint64_t(std::llabs(std::max(std::int64_t(dx) - m_half.x(), std::int64_t(dy) - m_half.y())));
        candidates.push_back({(zoomDistance << 33) | distance, u.pass, index, u.link});
        candidateBytes += u.bytes;
    }
    const auto further
        = [](const Candidate& a, const Candidate& b) { return a.far != b.far ? a.far > b.far : a.pass < b.pass; };
    // Only the furthest few go, often a small share of the candidates (a paint in parts
    // evicts at the end of every part): they are picked out, a few less than the bytes
    // over the target take at the mean size, so that usually all of them go and need no
    // order among themselves. Those that reach the target are ordered, so what goes is
    // exactly the furthest. The mean is first the candidates', then that of the furthest
    // just gone; after a few rounds the picks double, so even captions of very unequal
    // sizes take few rounds.
    std::int64_t mean
        = candidates.empty() ? 1 : std::max<std::int64_t>(1, candidateBytes / std::int64_t(candidates.size()));
    std::size_t from = 0, pick = 0;
    for (int round = 0; from < candidates.size() && m_bytes > target; ++round) {
        const std::size_t over = std::size_t((m_bytes - target) / mean);
        pick = std::max<std::size_t>({1, over - over / 8, round >= 3 ? 2 * pick : 0});
        pick = std::min(pick, candidates.size() - from);
        const auto first = candidates.begin() + std::ptrdiff_t(from);
        const auto end = first + std::ptrdiff_t(pick);
        if (end != candidates.end())
            std::nth_element(first, end - 1, candidates.end(), further);
        std::int64_t picked = 0;
        for (auto c = first; c != end; ++c)
            picked += m_uses[c->index].bytes;
        if (m_bytes - picked <= target)
            std::sort(first, end, further);
        // Each removal reads a slot and an entry that lie anywhere: those of a few
        // removals on are asked for ahead, so the trips to memory overlap.
        constexpr std::ptrdiff_t Ahead = 8;
        for (auto c = first; c != end && m_bytes > target; ++c) {
            if (end - c > Ahead)
                prefetchRemoval(c[Ahead].index, c[Ahead].hash);
            remove(c->index);
        }
        mean = std::max<std::int64_t>(1, picked / std::int64_t(pick));
        from += pick;
    }
}

void CaptionCache::clear()
{
    m_blocks.clear();
    m_uses.clear();
    m_free = 0;
    m_count = 0;
    m_slots.clear();
    m_candidates = {};
    ++m_generation;
    m_bytes = 0;
    m_paintBytes = 0;
    m_heldOwn = 0;
}

} // namespace vdm
