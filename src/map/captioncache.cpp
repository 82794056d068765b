// SPDX-License-Identifier: MIT
#include "map/captioncache.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vdm {

std::int64_t CaptionCache::footprint(const QByteArray& text, const QImage& mask)
{
    constexpr std::int64_t Bookkeeping = 200; // the image header, the hash node, the links
    return std::int64_t(mask.sizeInBytes()) + 2 * std::int64_t(text.size()) + Bookkeeping;
}

std::int64_t CaptionCache::footprint(const QByteArray& text, const Mask& mask)
{
    // As the QImage of one byte a pixel it came from: its rows padded to four bytes.
    const std::int64_t row = (std::int64_t(mask.width) + 3) / 4 * 4;
    return footprint(text, QImage()) + row * mask.height;
}

CaptionCache::Mask CaptionCache::Mask::of(const QImage& image)
{
    Mask m;
    if (image.isNull())
        return m;
    const QImage alpha = image.format() == QImage::Format_Alpha8 ? image : image.convertToFormat(QImage::Format_Alpha8);
    m.width = alpha.width();
    m.height = alpha.height();
    m.pixels.reset(new uchar[std::size_t(m.width) * std::size_t(m.height)]);
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

void CaptionCache::beginPaint(int zoom, QPoint centre)
{
    ++m_paint;
    ++m_pass;
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

void CaptionCache::use(Entry& e, QPoint where)
{
    if (e.paint != m_paint) {
        m_paintBytes += e.bytes;
        m_heldOwn += e.bytes;
    }
    e.paint = m_paint;
    e.pass = m_pass;
    e.zoom = m_zoom;
    e.where = where;
}

void CaptionCache::reuse(const Entry& e, QPoint where)
{
    // Every entry lives in m_entries, which the cache owns and may change.
    use(const_cast<Entry&>(e), where);
}

const CaptionCache::Entry* CaptionCache::peek(const QByteArray& text, qreal ratio) const
{
    const auto it = m_entries.find(Key{text, ratio});
    return it == m_entries.end() ? nullptr : &it->second;
}

const CaptionCache::Entry* CaptionCache::find(const QByteArray& text, qreal ratio, QPoint where)
{
    const auto it = m_entries.find(Key{text, ratio});
    if (it == m_entries.end())
        return nullptr;
    use(it->second, where);
    return &it->second;
}

CaptionCache::Entry& CaptionCache::add(const QByteArray& text, Mask mask, std::int64_t bytes, QPoint offset,
                                       qreal ratio, QPoint where, int advance)
{
    // One look-up: a caption rendered again takes its old entry's node, which is emptied
    // and told to whoever kept a pointer to it by the generation.
    const auto [it, fresh] = m_entries.try_emplace(Key{text, ratio});
    Entry& e = it->second;
    if (!fresh) {
        m_bytes -= e.bytes;
        if (e.paint == m_paint) {
            m_paintBytes -= e.bytes;
            m_heldOwn -= e.bytes;
        }
        e = Entry{};
        ++m_generation;
    }
    e.text = text;
    e.ratio = ratio;
    e.offset = offset;
    e.advance = advance;
    e.bytes = bytes;
    e.zoom = m_zoom;
    e.where = where;
    if (mask.pixels) {
        e.pixels = std::move(mask.pixels);
        e.ink = {e.pixels.get(), mask.width, mask.height, mask.width};
    }
    m_bytes += bytes;
    return e;
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
    use(e, where);
    holdToLimit(e);
    return e;
}

const CaptionCache::Entry& CaptionCache::insertAhead(const QByteArray& text, QImage mask, QPoint offset, qreal ratio,
                                                     QPoint where, int advance, int zoom)
{
    const std::int64_t bytes = footprint(text, mask);
    Entry& e = add(text, Mask::of(mask), bytes, offset, ratio, where, advance);
    e.zoom = zoom;
    holdToLimit(e);
    return e;
}

const CaptionCache::Entry& CaptionCache::insertAhead(const QByteArray& text, Mask mask, QPoint offset, qreal ratio,
                                                     QPoint where, int advance, int zoom)
{
    const std::int64_t bytes = footprint(text, mask);
    Entry& e = add(text, std::move(mask), bytes, offset, ratio, where, advance);
    e.zoom = zoom;
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
    for (auto it = m_entries.begin(); it != m_entries.end() && m_bytes > target;) {
        if (&it->second == keep) {
            ++it;
            continue;
        }
        m_bytes -= it->second.bytes;
        m_paintBytes -= it->second.paint == m_paint ? it->second.bytes : 0;
        m_heldOwn -= it->second.paint == m_paint ? it->second.bytes : 0;
        it = m_entries.erase(it);
        ++m_generation;
    }
}

void CaptionCache::evictFurthest(std::int64_t target, std::uint64_t usedFrom)
{
    // Furthest first: another zoom level before any of this one, then by the distance
    // (in map units, the larger of the two axes) of the point last captioned.
    struct Candidate {
        int zoomDistance;
        std::int64_t distance;
        decltype(m_entries)::iterator it;
    };
    std::vector<Candidate> candidates;
    candidates.reserve(m_entries.size());
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        const Entry& e = it->second;
        if (e.paint == m_paint && e.pass >= usedFrom)
            continue; // drawn, or about to be, by the paint under way
        const std::int64_t dx = std::llabs(std::int64_t(e.where.x()) - m_centre.x());
        const std::int64_t dy = std::llabs(std::int64_t(e.where.y()) - m_centre.y());
        candidates.push_back({std::abs(e.zoom - m_zoom), std::max(dx, dy), it});
    }
    const auto further = [](const Candidate& a, const Candidate& b) {
        return a.zoomDistance != b.zoomDistance ? a.zoomDistance > b.zoomDistance : a.distance > b.distance;
    };
    // Only the furthest few go, often a small share of the candidates (a paint in parts
    // evicts at the end of every part): they are picked out, about as many as the bytes
    // over the target take at the candidates' mean size, and only those are ordered; more
    // are picked when they were not enough.
    std::int64_t candidateBytes = 0;
    for (const Candidate& c : candidates)
        candidateBytes += c.it->second.bytes;
    const std::int64_t mean
        = candidates.empty() ? 1 : std::max<std::int64_t>(1, candidateBytes / std::int64_t(candidates.size()));
    std::size_t from = 0, pick = 0;
    while (from < candidates.size() && m_bytes > target) {
        pick = std::max<std::size_t>(2 * pick, std::size_t((m_bytes - target) / mean) + 1);
        const auto first = candidates.begin() + std::ptrdiff_t(from);
        const auto end = candidates.begin() + std::ptrdiff_t(std::min(candidates.size(), from + pick));
        std::nth_element(first, end - 1, candidates.end(), further);
        std::sort(first, end, further);
        for (auto c = first; c != end && m_bytes > target; ++c) {
            m_bytes -= c->it->second.bytes;
            m_heldOwn -= c->it->second.paint == m_paint ? c->it->second.bytes : 0;
            m_entries.erase(c->it);
            ++m_generation;
        }
        from = std::size_t(end - candidates.begin());
    }
}

void CaptionCache::clear()
{
    m_entries.clear();
    ++m_generation;
    m_bytes = 0;
    m_paintBytes = 0;
}

} // namespace vdm
