// SPDX-License-Identifier: MIT
#include "journey/journeylayer.h"

#include "journey/journeypainter.h"
#include "map/viewport.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vdm {

namespace {

/** `x` times `a` / 255 in each of the four bytes at once, rounded as the raster engine rounds. */
inline std::uint32_t byteMul(std::uint32_t x, std::uint32_t a)
{
    std::uint32_t t = (x & 0xff00ffu) * a;
    t = ((t + ((t >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
    x = ((x >> 8) & 0xff00ffu) * a;
    x = (x + ((x >> 8) & 0xff00ffu) + 0x800080u) & 0xff00ff00u;
    return x | t;
}

/** Premultiplied `source` over `target`. */
inline std::uint32_t over(std::uint32_t source, std::uint32_t target)
{
    return source + byteMul(target, 255 - (source >> 24));
}

/**
 * Lays `n` premultiplied pixels over `target`, keeping what they cover in `beneath`; an
 * opaque source pixel blends to itself, so one formula serves every pixel. `opaque`
 * goes into every result's alpha (255 for an image without alpha).
 */
void layRun(std::uint32_t* target, const std::uint32_t* source, std::size_t n, std::uint32_t opaque,
            std::uint32_t* beneath)
{
    std::size_t i = 0;
#ifdef __SSE2__
    // Four pixels at a time in 16-bit lanes, rounding exactly as byteMul does.
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi32(255), half = _mm_set1_epi16(0x80);
    const __m128i alpha = _mm_set1_epi32(int(opaque));
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(beneath + i), d);
        __m128i ia = _mm_sub_epi32(full, _mm_srli_epi32(s, 24));
        ia = _mm_or_si128(ia, _mm_slli_epi32(ia, 16)); // each pixel's 255 - alpha twice
        const auto scale = [&](__m128i lanes, __m128i factors) {
            const __m128i t = _mm_mullo_epi16(lanes, factors);
            return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), half), 8);
        };
        const __m128i lo = scale(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi32(ia, ia));
        const __m128i hi = scale(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi32(ia, ia));
        const __m128i out = _mm_or_si128(_mm_add_epi8(s, _mm_packus_epi16(lo, hi)), alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i), out);
    }
#endif
    for (; i < n; ++i) {
        beneath[i] = target[i];
        target[i] = over(source[i], target[i]) | opaque;
    }
}

} // namespace

void JourneyLayer::layRuns(const std::vector<Lay>& lays, const std::vector<Run>& beneathRuns, std::uint32_t opaque,
                           std::uint32_t* beneath)
{
    // How many runs ahead the image's lines are asked for: enough to cover the wait for
    // one, few enough that they are still there when their run comes.
    constexpr std::size_t Ahead = 8;
    constexpr std::uint32_t Line = 16; // pixels to a cache line
    const std::size_t count = lays.size();
    const auto ask = [&](std::size_t k) {
        const Lay& l = lays[k];
        for (std::uint32_t x = 0; x < l.length; x += Line)
            __builtin_prefetch(l.target + x, 1);
        __builtin_prefetch(l.target + l.length - 1, 1);
    };
    for (std::size_t k = 0; k < std::min(count, Ahead); ++k)
        ask(k);
    for (std::size_t k = 0; k < count; ++k) {
        if (k + Ahead < count)
            ask(k + Ahead);
        const Lay& l = lays[k];
        layRun(l.target, l.source, l.length, opaque, beneath + beneathRuns[k].pixel);
    }
}

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

std::size_t JourneyLayer::bytes() const
{
    std::size_t total = (m_beneathRuns.capacity() * sizeof(Run)) + (m_beneath.capacity() * 4);
    for (const auto& [key, t] : m_tiles)
        total += sizeof(Tile) + (t.runs.capacity() * sizeof(Run)) + (t.pixels.capacity() * 4);
    return total;
}

void JourneyLayer::clear()
{
    m_segments.clear();
    m_current = -1;
    m_ratio = 0;
    m_tiles.clear();
    forgetBeneath();
}

void JourneyLayer::forgetBeneath()
{
    m_beneathRuns.clear();
    m_beneathSize = QSize();
}

void JourneyLayer::drawOver(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                            int current)
{
    std::vector<Segment> segments;
    segments.reserve(journey.legs.size());
    for (const JourneyLeg& leg : journey.legs) {
        if (leg.from < 0 || leg.to < 0 || std::size_t(leg.from) >= locations.size()
            || std::size_t(leg.to) >= locations.size()) {
            segments.clear(); // a journey of another world: nothing of it belongs on this map
            break;
        }
        const Location& a = locations[std::size_t(leg.from)];
        const Location& b = locations[std::size_t(leg.to)];
        segments.push_back({view.MapToScreen(a.X, a.Y), view.MapToScreen(b.X, b.Y), leg.mode});
    }
    if (segments.empty() || image.isNull()) {
        restoreUnder(image);
        return;
    }
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied) {
        forgetBeneath();
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    }

    // The image's pixel (0, 0) is the picture's device pixel `whole` (plus `fraction`, less
    // than one, at a ratio such as 1.25): the panel shows the picture from scroll less margin.
    const qreal ratio = image.devicePixelRatio();
    const QPoint offset = view.scroll() - QPoint(view.marginX(), view.marginY());
    const double dx = double(offset.x()) * ratio, dy = double(offset.y()) * ratio;
    const auto wholeX = std::int64_t(std::floor(dx)), wholeY = std::int64_t(std::floor(dy));
    const QPointF fraction(dx - double(wholeX), dy - double(wholeY));
    const bool sameLegs = segments == m_segments && ratio == m_ratio && fraction == m_fraction;
    const bool same = sameLegs && current == m_current;
    const QPoint at{int(wholeX), int(wholeY)};
    if (same && !m_beneathSize.isEmpty() && image.size() == m_beneathSize && ratio == m_beneathRatio
        && at == m_beneathAt)
        return; // it lies there already
    restoreUnder(image);
    if (sameLegs && !same) {
        // Stepping to another leg changes only the two legs' looks: the tiles neither
        // reaches stay as they are.
        dropTilesReaching(m_current);
        dropTilesReaching(current);
        m_current = current;
    } else if (!same) {
        m_tiles.clear();
        m_segments = std::move(segments);
        m_current = current;
        m_ratio = ratio;
        m_fraction = fraction;
    }

    const int W = image.width(), H = image.height();
    const std::int64_t left = floorDiv(wholeX, TileSize), right = floorDiv(wholeX + W - 1, TileSize);
    const std::int64_t top = floorDiv(wholeY, TileSize), bottom = floorDiv(wholeY + H - 1, TileSize);
    uchar* const bits = image.bits(); // one detach, not one per row
    const qsizetype stride = image.bytesPerLine();
    // An opaque image keeps its alpha at 255 whatever the rounding of a blend.
    const std::uint32_t opaque = image.format() == QImage::Format_RGB32 ? 0xff000000u : 0;
    // The tiles first, so the room for what they cover is made once (never shrunk, never
    // filled with zeros it does not need).
    struct Placed {
        const Tile* tile;
        std::int64_t x, y; // the tile's top-left corner in the image
    };
    std::vector<Placed> placed;
    std::size_t room = 0, runs = 0;
    for (std::int64_t row = top; row <= bottom; ++row)
        for (std::int64_t column = left; column <= right; ++column) {
            const Tile& t = tile(column, row);
            if (t.runs.empty())
                continue;
            placed.push_back({&t, column * TileSize - wholeX, row * TileSize - wholeY});
            room += t.pixels.size();
            runs += t.runs.size();
        }
    if (m_beneath.size() < room)
        m_beneath.resize(room);
    m_beneathRuns.reserve(runs);
    // Where each run goes, collected first so the laying can ask for the image's lines a
    // few runs ahead: the map was just painted through them, and a run reaches a line of
    // its own on every row, so waiting for each line in turn would take most of the time.
    m_lays.clear();
    m_lays.reserve(runs);
    std::uint32_t used = 0;
    for (const Placed& p : placed) {
        const bool inside = p.x >= 0 && p.y >= 0 && p.x + TileSize <= W && p.y + TileSize <= H;
        for (const Run& r : p.tile->runs) {
            std::int64_t y = p.y + r.y, x0 = p.x + r.x, x1 = x0 + r.length;
            if (!inside) {
                x0 = std::max<std::int64_t>(0, x0);
                x1 = std::min<std::int64_t>(W, x1);
                if (y < 0 || y >= H || x0 >= x1)
                    continue;
            }
            const auto n = std::uint32_t(x1 - x0);
            m_beneathRuns.push_back({std::int32_t(x0), std::int32_t(y), std::int32_t(n), used});
            m_lays.push_back({reinterpret_cast<std::uint32_t*>(bits + y * stride) + x0,
                              p.tile->pixels.data() + r.pixel + (x0 - (p.x + r.x)), n});
            used += n;
        }
    }
    layRuns(m_lays, m_beneathRuns, opaque, m_beneath.data());
    m_beneathSize = image.size();
    m_beneathRatio = ratio;
    m_beneathAt = at;
}

bool JourneyLayer::restoreUnder(QImage& image)
{
    const bool fits
        = !m_beneathRuns.empty() && image.size() == m_beneathSize && image.devicePixelRatio() == m_beneathRatio;
    if (fits) {
        uchar* const bits = image.bits();
        const qsizetype stride = image.bytesPerLine();
        for (const Run& r : m_beneathRuns)
            std::memcpy(reinterpret_cast<std::uint32_t*>(bits + r.y * stride) + r.x, m_beneath.data() + r.pixel,
                        std::size_t(r.length) * 4);
    }
    forgetBeneath();
    return fits;
}

QRectF JourneyLayer::tileArea(std::int64_t left, std::int64_t top) const
{
    return {(double(left) + m_fraction.x()) / m_ratio, (double(top) + m_fraction.y()) / m_ratio, TileSize / m_ratio,
            TileSize / m_ratio};
}

void JourneyLayer::dropTilesReaching(int leg)
{
    if (leg < 0 || std::size_t(leg) >= m_segments.size())
        return;
    const Segment& segment = m_segments[std::size_t(leg)];
    for (auto at = m_tiles.begin(); at != m_tiles.end();) {
        const auto column = std::int32_t(std::uint32_t(at->first >> 32)), row = std::int32_t(std::uint32_t(at->first));
        if (JourneyPainter::reaches(segment, tileArea(std::int64_t(column) * TileSize, std::int64_t(row) * TileSize)))
            at = m_tiles.erase(at);
        else
            ++at;
    }
}

const JourneyLayer::Tile& JourneyLayer::tile(std::int64_t column, std::int64_t row)
{
    const std::uint64_t key = (std::uint64_t(std::uint32_t(column)) << 32) | std::uint32_t(row);
    auto at = m_tiles.find(key);
    if (at == m_tiles.end())
        at = m_tiles.emplace(key, drawTile(column * TileSize, row * TileSize)).first;
    return at->second;
}

JourneyLayer::Tile JourneyLayer::drawTile(std::int64_t left, std::int64_t top)
{
    // The tile's device pixels, in the picture's logical points: what the legs must reach.
    const QRectF area = tileArea(left, top);
    Tile t;
    if (std::none_of(m_segments.begin(), m_segments.end(),
                     [&](const Segment& s) { return JourneyPainter::reaches(s, area); }))
        return t;
    ++m_tilesDrawn;
    if (m_scratch.isNull())
        m_scratch = QImage(TileSize, TileSize, QImage::Format_ARGB32_Premultiplied);
    m_scratch.fill(0);
    {
        QPainter p(&m_scratch);
        p.setTransform(
            QTransform(m_ratio, 0, 0, m_ratio, -(double(left) + m_fraction.x()), -(double(top) + m_fraction.y())));
        JourneyPainter::draw(p, m_segments, m_current, area);
    }
    // Into runs: each row's stretches of covered pixels, found two pixels at a time (most
    // of a tile is bare), counted first so the pixels are copied once into their place.
    std::vector<Run>& runs = m_scanned;
    runs.clear();
    std::size_t covered = 0;
    for (int y = 0; y < TileSize; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(m_scratch.constScanLine(y));
        const auto* pairs = reinterpret_cast<const std::uint64_t*>(line);
        int x = 0;
        while (x < TileSize) {
            if (x % 2 == 0 && pairs[x / 2] == 0) {
                x += 2;
                continue;
            }
            if (line[x] == 0) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < TileSize && line[x] != 0)
                ++x;
            runs.push_back({start, y, x - start, std::uint32_t(covered)});
            covered += std::size_t(x - start);
        }
    }
    t.runs = runs;
    t.pixels.resize(covered);
    for (const Run& r : t.runs)
        std::memcpy(t.pixels.data() + r.pixel,
                    reinterpret_cast<const std::uint32_t*>(m_scratch.constScanLine(r.y)) + r.x,
                    std::size_t(r.length) * 4);
    return t;
}

} // namespace vdm
