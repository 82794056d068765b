// SPDX-License-Identifier: MIT
#include "journey/journeylayer.h"

#include "journey/journeypainter.h"
#include "map/cpufeatures.h"
#include "map/viewport.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VDM_LAYER_AVX2 1
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
 * Copies `n` opaque pixels: over the map each gives itself. Most runs are a few pixels
 * long, so the copy is inline; a run of four or more ends with four pixels that may
 * overlap the ones before (copying twice gives the same).
 */
inline void copyRun(std::uint32_t* target, const std::uint32_t* source, std::size_t n)
{
#ifdef __SSE2__
    if (n >= 4) {
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + i),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i)));
        if (i < n)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + n - 4),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + n - 4)));
        return;
    }
#endif
    for (std::size_t i = 0; i < n; ++i)
        target[i] = source[i];
}

/**
 * Lays `n` premultiplied pixels over `target`; an opaque source pixel blends to itself,
 * so one formula serves every pixel. `opaque` goes into every result's alpha (255 for an
 * image without alpha).
 */
inline void blendPixels(std::uint32_t* target, const std::uint32_t* source, std::size_t n, std::uint32_t opaque)
{
    std::size_t i = 0;
#ifdef __SSE2__
    // Four pixels at a time in 16-bit lanes, rounding exactly as byteMul does.
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi32(255), half = _mm_set1_epi16(0x80);
    const __m128i alpha = _mm_set1_epi32(int(opaque));
    for (; i + 4 <= n; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target + i));
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
    for (; i < n; ++i)
        target[i] = over(source[i], target[i]) | opaque;
}

/**
 * The columns [from, to) of a tile that a laying covers: a run's part inside them is
 * [a, b), none when a >= b. Most tiles lie wholly inside a band's columns.
 */
struct Columns {
    std::int32_t from, to;
    template <typename Run> bool cut(const Run& r, std::int32_t& a, std::int32_t& b) const
    {
        a = std::max<std::int32_t>(r.x, from);
        b = std::min<std::int32_t>(r.x + r.length, to);
        return a < b;
    }
};

/**
 * Blends the runs [run, end) of one row over `line`, their pixels in `pixels`. One call a
 * row, not a run: the runs of a row are a few pixels long, and a call and its setup per
 * run cost about what blending one group does.
 */
template <typename Run>
void blendRuns(std::uint32_t* line, const Run* run, const Run* end, const std::uint32_t* pixels, Columns columns,
               std::uint32_t opaque)
{
    for (; run != end; ++run) {
        std::int32_t a = 0, b = 0;
        if (columns.cut(*run, a, b))
            blendPixels(line + a, pixels + run->pixel + (a - run->x), std::size_t(b - a), opaque);
    }
}

#if defined(VDM_LAYER_AVX2)
/** blendRuns eight pixels at a time, rounding exactly as blendPixels does. */
template <typename Run>
__attribute__((target("avx2"))) void blendRunsAvx2(std::uint32_t* line, const Run* run, const Run* end,
                                                   const std::uint32_t* pixels, Columns columns, std::uint32_t opaque)
{
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi32(255), half = _mm256_set1_epi16(0x80);
    const __m256i alpha = _mm256_set1_epi32(int(opaque));
    for (; run != end; ++run) {
        std::int32_t a = 0, b = 0;
        if (!columns.cut(*run, a, b))
            continue;
        std::uint32_t* target = line + a;
        const std::uint32_t* source = pixels + run->pixel + (a - run->x);
        const auto n = std::size_t(b - a);
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i));
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(target + i));
            __m256i ia = _mm256_sub_epi32(full, _mm256_srli_epi32(s, 24));
            ia = _mm256_or_si256(ia, _mm256_slli_epi32(ia, 16));
            // The unpacks work within each 128-bit half, and the pack puts the halves back.
            __m256i lo = _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi32(ia, ia));
            __m256i hi = _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi32(ia, ia));
            lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(lo, _mm256_srli_epi16(lo, 8)), half), 8);
            hi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(hi, _mm256_srli_epi16(hi, 8)), half), 8);
            const __m256i out = _mm256_or_si256(_mm256_add_epi8(s, _mm256_packus_epi16(lo, hi)), alpha);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + i), out);
        }
        if (i < n)
            blendPixels(target + i, source + i, n - i, opaque);
    }
}
#endif

/** Copies the opaque runs [run, end) of one row over `line`: over the map each gives itself. */
template <typename Run>
inline void copyRuns(std::uint32_t* line, const Run* run, const Run* end, const std::uint32_t* pixels, Columns columns)
{
    for (; run != end; ++run) {
        std::int32_t a = 0, b = 0;
        if (columns.cut(*run, a, b))
            copyRun(line + a, pixels + run->pixel + (a - run->x), std::size_t(b - a));
    }
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

std::size_t JourneyLayer::bytes() const
{
    std::size_t total = 0;
    for (const auto& [key, t] : m_tiles)
        total += sizeof(Tile) + (t.runs.capacity() * sizeof(Run)) + (t.rowStart.capacity() * 2)
                 + (t.rowBlend.capacity() * 2) + (t.pixels.capacity() * 4);
    return total;
}

void JourneyLayer::clear()
{
    m_segments.clear();
    m_current = -1;
    m_numbered.clear();
    m_ratio = 0;
    m_tiles.clear();
}

bool JourneyLayer::aim(const Viewport& view, qreal ratio, const LocationList& locations, const Journey& journey,
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
    if (segments.empty()) {
        const bool same = m_segments.empty();
        clear();
        return same;
    }

    // An image's pixel (0, 0) is the picture's device pixel `m_at` (plus `fraction`, less
    // than one, at a ratio such as 1.25): the panel shows the picture from scroll less margin.
    const QPoint offset = view.scroll() - QPoint(view.marginX(), view.marginY());
    const double dx = double(offset.x()) * ratio, dy = double(offset.y()) * ratio;
    m_atX = std::int64_t(std::floor(dx));
    m_atY = std::int64_t(std::floor(dy));
    const QPointF fraction(dx - double(m_atX), dy - double(m_atY));
    const bool sameLegs = segments == m_segments && ratio == m_ratio && fraction == m_fraction;
    if (sameLegs && current == m_current)
        return true;
    if (sameLegs) {
        // Stepping to another leg changes only the two legs' looks, and the numbers of the
        // legs whose discs made way for the new current one's or take the old one's place:
        // the tiles none of them reaches stay as they are.
        std::vector<bool> numbered = JourneyPainter::numbered(m_segments, current);
        dropTilesReaching(m_current);
        dropTilesReaching(current);
        for (std::size_t k = 0; k < numbered.size(); ++k)
            if (numbered[k] != m_numbered[k])
                dropTilesReaching(int(k));
        m_numbered = std::move(numbered);
    } else {
        m_tiles.clear();
        m_segments = std::move(segments);
        m_ratio = ratio;
        m_fraction = fraction;
        m_numbered = JourneyPainter::numbered(m_segments, current);
    }
    m_current = current;
    return false;
}

void JourneyLayer::drawOver(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                            int current)
{
    aim(view, image.isNull() ? 1.0 : image.devicePixelRatio(), locations, journey, current);
    if (empty() || image.isNull())
        return;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    layOver(image, image.rect());
}

bool JourneyLayer::laysOn(const QImage& image) const
{
    return !empty() && image.devicePixelRatio() == m_ratio
           && (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied);
}

MapTopLayer::Readiness JourneyLayer::prepare(QImage& image, const QRect& area)
{
    const QRect clip = area & image.rect();
    if (!laysOn(image) || clip.isEmpty())
        return Readiness::Nothing;
    const std::int64_t x0 = m_atX + clip.left(), x1 = x0 + clip.width();
    const std::int64_t y0 = m_atY + clip.top(), y1 = y0 + clip.height();
    bool any = false;
    for (std::int64_t row = floorDiv(y0, TileSize); row <= floorDiv(y1 - 1, TileSize); ++row)
        for (std::int64_t column = floorDiv(x0, TileSize); column <= floorDiv(x1 - 1, TileSize); ++column)
            any = !tile(column, row).runs.empty() || any;
    m_prepared = image.bits(); // detached here, on the painting thread
    return any ? Readiness::AnyThread : Readiness::Nothing;
}

void JourneyLayer::layOver(QImage& image, const QRect& area)
{
    const QRect clip = area & image.rect();
    if (!laysOn(image) || clip.isEmpty())
        return;
    // The area in the picture's device pixels, right and bottom exclusive.
    const std::int64_t x0 = m_atX + clip.left(), x1 = x0 + clip.width();
    const std::int64_t y0 = m_atY + clip.top(), y1 = y0 + clip.height();
    // One detach, not one per row; none for an image prepared, which two threads may lay
    // at once (a detach counts in the image without a lock).
    uchar* const bits = image.constBits() == m_prepared && image.isDetached() ? m_prepared : image.bits();
    const qsizetype stride = image.bytesPerLine();
    // An opaque image keeps its alpha at 255 whatever the rounding of a blend.
    const std::uint32_t opaque = image.format() == QImage::Format_RGB32 ? 0xff000000u : 0;
    static const bool avx2 = useAvx2();
    for (std::int64_t row = floorDiv(y0, TileSize); row <= floorDiv(y1 - 1, TileSize); ++row) {
        const std::int64_t top = row * TileSize;
        const auto rowFrom = int(std::max<std::int64_t>(y0 - top, 0));
        const auto rowTo = int(std::min<std::int64_t>(y1 - top, TileSize));
        for (std::int64_t column = floorDiv(x0, TileSize); column <= floorDiv(x1 - 1, TileSize); ++column) {
            const Tile& t = tile(column, row);
            if (t.runs.empty())
                continue;
            const std::int64_t left = column * TileSize;
            // The tile's columns inside the area: most tiles lie wholly inside a band.
            const Columns columns{std::int32_t(std::max<std::int64_t>(x0 - left, 0)),
                                  std::int32_t(std::min<std::int64_t>(x1 - left, TileSize))};
            const Run* const runs = t.runs.data();
            const std::uint32_t* const pixels = t.pixels.data();
            for (int y = rowFrom; y < rowTo; ++y) {
                auto* line = reinterpret_cast<std::uint32_t*>(bits + ((top + y - m_atY) * stride)) + (left - m_atX);
                const Run* const first = runs + t.rowStart[std::size_t(y)];
                const Run* const blended = runs + t.rowBlend[std::size_t(y)];
                const Run* const end = runs + t.rowStart[std::size_t(y) + 1];
                copyRuns(line, first, blended, pixels, columns);
#if defined(VDM_LAYER_AVX2)
                if (avx2) {
                    blendRunsAvx2(line, blended, end, pixels, columns, opaque);
                    continue;
                }
#endif
                blendRuns(line, blended, end, pixels, columns, opaque);
            }
        }
    }
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
        JourneyPainter::draw(p, m_segments, m_current, m_numbered, area);
    }
    // Into runs, row by row. Most covered pixels are opaque: those are copied. The
    // antialiased edges are blended in whole groups of four pixels of the tile (so the
    // vector loop needs no tail), a group taking in whatever else it holds: a bare pixel
    // blends to the map beneath, an opaque one to itself. An opaque stretch too short to
    // be worth a copy of its own is blended with its groups.
    t.rowStart.reserve(TileSize + 1);
    t.rowBlend.reserve(TileSize);
    std::vector<std::uint32_t> pixels;
    std::vector<Run> copies, blends; // one row's
    for (int y = 0; y < TileSize; ++y) {
        t.rowStart.push_back(std::uint16_t(t.runs.size()));
        const auto* line = reinterpret_cast<const std::uint32_t*>(m_scratch.constScanLine(y));
        bool blended[TileSize / BlendGroup] = {};
        for (int x = 0; x < TileSize; ++x)
            if (line[x] != 0 && line[x] >> 24 != 255)
                blended[x / BlendGroup] = true;
        const auto copied = [&](int x) { return line[x] >> 24 == 255 && !blended[x / BlendGroup]; };
        for (int x = 0; x < TileSize;) {
            if (!copied(x)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < TileSize && copied(x))
                ++x;
            if (x - start < MinCopy)
                for (int k = start; k < x; ++k)
                    blended[k / BlendGroup] = true;
        }
        for (int x = 0; x < TileSize;) {
            const bool blend = blended[x / BlendGroup];
            if (!blend && !copied(x)) {
                ++x;
                continue;
            }
            const int start = x;
            if (blend) {
                while (x < TileSize && blended[x / BlendGroup])
                    x += BlendGroup;
            } else {
                while (x < TileSize && copied(x))
                    ++x;
            }
            (blend ? blends : copies)
                .push_back({std::uint16_t(start), std::uint16_t(x - start), std::uint32_t(pixels.size())});
            pixels.insert(pixels.end(), line + start, line + x);
        }
        t.runs.insert(t.runs.end(), copies.begin(), copies.end());
        t.rowBlend.push_back(std::uint16_t(t.runs.size()));
        t.runs.insert(t.runs.end(), blends.begin(), blends.end());
        copies.clear();
        blends.clear();
    }
    t.rowStart.push_back(std::uint16_t(t.runs.size()));
    if (t.runs.empty())
        return Tile{}; // nothing of the drawing landed here after all
    t.pixels = std::move(pixels);
    t.runs.shrink_to_fit();
    return t;
}

} // namespace vdm
