// SPDX-License-Identifier: MIT
#include "map/captionrender.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vdm {
namespace {

/**
 * Cuts the mask down to the rows and columns that hold ink, moving its offset with it:
 * every paint blends each caption's whole mask, and the room kept around the ink (a
 * line's height, the overhang's margin) would otherwise be read pixel by pixel.
 */
void trimToInk(RenderedCaption& r)
{
    const QImage& m = r.mask;
    const int width = m.width(), height = m.height();
    int top = height, bottom = -1, left = width, right = -1;
    for (int y = 0; y < height; ++y) {
        const uchar* line = m.constScanLine(y);
        int x0 = 0;
        while (x0 < width && line[x0] == 0)
            ++x0;
        if (x0 == width)
            continue;
        int x1 = width - 1;
        while (line[x1] == 0)
            --x1;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, x0);
        right = std::max(right, x1);
    }
    if (bottom < 0) {
        r.mask = QImage(); // no ink: nothing to blend
        return;
    }
    if (top == 0 && left == 0 && bottom == height - 1 && right == width - 1)
        return;
    r.mask = m.copy(left, top, right - left + 1, bottom - top + 1);
    r.offset += QPoint(left, top);
}

/** How far a laid-out line reaches to the right, in whole panel pixels (no line: nowhere). */
int wholeAdvance(bool valid, qreal advance)
{
    return valid ? int(std::ceil(advance)) : 0;
}

/** A caption laid out: its glyphs, its advance and the box its mask covers, in device pixels. */
struct Shaped {
    int advance = 0;
    int devLeft = 0, devTop = 0, devWidth = 1, devHeight = 1;
    QPointF origin; // where the glyphs' positions count from, in panel pixels of the mask
    int devAscent = 0;
};

Shaped shape(const CaptionFont& f, const CaptionLine& line, qreal ratio)
{
    Shaped s;
    // Glyph positions count from the line's top; the caption's from its baseline.
    const qreal baseline = line.valid ? line.ascent : f.ascent;
    const QRectF& inkF = line.box;
    const QRect ink = inkF.isEmpty()
                          ? QRect()
                          : QRect(QPoint(int(std::floor(inkF.left())), int(std::floor(inkF.top() - baseline))),
                                  QPoint(int(std::ceil(inkF.right())), int(std::ceil(inkF.bottom() - baseline))));
    s.advance = wholeAdvance(line.valid, line.advance);
    // Room for the ink on every side of the advance box: some glyphs overhang it.
    const int left = std::min(0, ink.left()) - 1;
    const int right = std::max(s.advance, ink.right() + 1) + 1;
    const int top = std::min(-f.ascent, ink.top()) - 1;
    const int bottom = std::max(f.descent, ink.bottom() + 1) + 1;
    // The same box in device pixels, grown outwards to whole pixels.
    s.devLeft = int(std::floor(left * ratio));
    s.devTop = int(std::floor(top * ratio));
    s.devWidth = std::max(1, int(std::ceil(right * ratio)) - s.devLeft);
    s.devHeight = std::max(1, int(std::ceil(bottom * ratio)) - s.devTop);
    // The layout's glyphs sit below the line's top: its top goes one ascent above the
    // baseline. The baseline is kept to 1/64 pixel, as text drawn from a point is, so
    // at a ratio like 1.25 each glyph takes the same subpixel place.
    const auto sixtyFourths = [](qreal v) { return std::round(v * 64) / 64; };
    s.origin = QPointF(sixtyFourths(-s.devLeft / ratio), sixtyFourths(-s.devTop / ratio) - baseline);
    s.devAscent = ratio == 1 ? f.ascent : int(std::lround(f.ascent * ratio));
    return s;
}

/** The caption from its laid-out box and the coverage of that box (Format_Alpha8). */
RenderedCaption finish(const Shaped& s, QImage coverage)
{
    RenderedCaption r;
    r.offset = QPoint(s.devLeft, s.devAscent + s.devTop);
    r.mask = std::move(coverage);
    r.mask.setDevicePixelRatio(1);
    r.advance = s.advance;
    trimToInk(r);
    return r;
}

/** A painter set up as every caption is drawn: antialiased white glyphs on transparent. */
void prepareGlyphPainter(QPainter& p, const QFont& font)
{
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(font);
    p.setPen(Qt::white);
}

/** The caption laid out as `s` (its glyphs `runs`), its glyphs painted together as a painter draws text. */
RenderedCaption paintWhole(const CaptionFont& f, const Shaped& s, const QList<QGlyphRun>& runs, qreal ratio)
{
    QImage img(s.devWidth, s.devHeight, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        prepareGlyphPainter(p, f.font);
        for (const QGlyphRun& run : runs)
            p.drawGlyphRun(s.origin, run);
    }
    return finish(s, img.convertToFormat(QImage::Format_Alpha8));
}

long long floorDiv64(long long v)
{
    return v >= 0 ? v / 64 : -((-v + 63) / 64);
}

/**
 * std::llround(v) (halves away from zero) without a call to the library: a caption places
 * each of its glyphs with one. v less its truncation is exact, so the halves are found
 * exactly; for |v| beyond 2^52 v is whole already.
 */
inline long long roundToWhole(double v)
{
    long long whole = static_cast<long long>(v);
    const double rest = v - static_cast<double>(whole);
    if (rest >= 0.5)
        ++whole;
    else if (rest <= -0.5)
        --whole;
    return whole;
}

/** The caption with its mask packed, row by row. */
PackedCaption packed(const RenderedCaption& r)
{
    return {CaptionCache::Mask::of(r.mask), r.offset, r.advance};
}

} // namespace

CaptionFont::CaptionFont(const QFont& f) : font(f)
{
    const QFontMetrics fm(font);
    ascent = fm.ascent();
    descent = fm.descent();
    lineHeight = fm.height();
    maxCharWidth = std::max(1, fm.maxWidth());
}

RenderedCaption renderCaption(const CaptionFont& f, const QByteArray& text, qreal ratio)
{
    const CaptionLine line = layOutCaption(f.font, text);
    return paintWhole(f, shape(f, line, ratio), line.runs, ratio);
}

/** A glyph rasterised ahead: which one, where, and its record's fields. */
struct LearnedFont::Glyphs {
    struct Raster {
        quint32 index;
        int ratio, fx, fy;
        const uchar* coverage; // in `store`; null: no ink
        std::int16_t width, height, left, top;
    };
    std::vector<Raster> rasters;
    std::vector<std::unique_ptr<uchar[]>> store; // the rows the rasters point into
};

int LearnedFont::glyphCount() const
{
    return glyphs ? int(glyphs->rasters.size()) : 0;
}

namespace {

/** `ahead` when it was learned of `font`, else none. */
std::shared_ptr<const LearnedFont> aheadOf(const QFont& font, std::shared_ptr<const LearnedFont> ahead)
{
    return ahead && ahead->pairs && ahead->fontKey == font.key() ? std::move(ahead) : nullptr;
}

} // namespace

CaptionRenderer::CaptionRenderer(const CaptionFont& font, std::shared_ptr<CaptionShaper::Learned> learned,
                                 std::shared_ptr<const LearnedFont> ahead)
    : m_font(font), m_shaper(font.font, learned || !aheadOf(font.font, ahead) ? std::move(learned)
                                                                              : CaptionShaper::copyOf(*ahead->pairs)),
      m_ahead(aheadOf(font.font, std::move(ahead)))
{}

std::shared_ptr<const LearnedFont> CaptionRenderer::learnAhead(const QFont& font, qreal ratio,
                                                               const std::vector<QByteArray>& captions)
{
    // A font of its own: a font keeps the engines of the thread that used it.
    QFont own = font;
    own.setKerning(!own.kerning());
    own.setKerning(font.kerning());
    CaptionRenderer r{CaptionFont(own)};
    r.expectMany(true);
    for (const QByteArray& caption : captions)
        r.renderPacked(caption, ratio);
    auto learned = std::make_shared<LearnedFont>();
    learned->fontKey = font.key();
    learned->pairs = r.learned();
    auto glyphs = std::make_shared<LearnedFont::Glyphs>();
    // Only the glyphs of the font captions are put together in: a renderer finds those
    // by that font, whatever other fonts stood in for a character here.
    if (r.m_composes && r.m_shaper.rawFont().isValid()) {
        const int id = r.fontIdOf(r.m_shaper.rawFont());
        const auto keep = [&](const GlyphKey& k, const Glyph& g) {
            if (k.font == id && g.held())
                glyphs->rasters.push_back({k.index, k.ratio, k.fx, k.fy, g.coverage, g.width, g.height, g.left, g.top});
        };
        for (const Plane& p : r.m_planes)
            for (size_t at = 0; at < p.glyphs.size(); ++at)
                keep(GlyphKey{p.font, quint32(at / 64), p.ratio, int(at % 64), p.fy}, p.glyphs[at]);
        for (const auto& [key, glyph] : r.m_farGlyphs)
            keep(key, glyph);
        glyphs->store = std::move(r.m_store);
    }
    learned->glyphs = std::move(glyphs);
    return learned;
}

std::unique_ptr<CaptionsAhead> CaptionsAhead::render(const QFont& font, qreal ratio,
                                                     std::shared_ptr<const LearnedFont> learned,
                                                     std::vector<QByteArray> texts, const std::atomic<bool>* stop)
{
    auto ahead = std::make_unique<CaptionsAhead>();
    ahead->m_fontKey = font.key();
    ahead->m_ratio = ratio;
    // A font of its own, as learnAhead's: a font keeps the engines of the thread that used it.
    QFont own = font;
    own.setKerning(!own.kerning());
    own.setKerning(font.kerning());
    CaptionRenderer r(CaptionFont(own), nullptr, std::move(learned));
    r.expectMany(true);
    ahead->m_captions.reserve(texts.size());
    for (const QByteArray& text : texts) {
        if (stop && stop->load(std::memory_order_relaxed))
            break;
        ahead->m_captions.push_back(r.renderPacked(text, ratio));
    }
    texts.resize(ahead->m_captions.size());
    ahead->m_texts = std::move(texts);
    const std::size_t n = ahead->m_texts.size();
    ahead->m_taken.assign(n, false);
    ahead->m_hashes.resize(n);
    std::size_t size = 16;
    while (size < 2 * n)
        size *= 2;
    ahead->m_slots.assign(size, 0);
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t hash = CaptionCache::hashOf(ahead->m_texts[k], ratio);
        ahead->m_hashes[k] = hash;
        std::size_t i = hash & (size - 1);
        while (ahead->m_slots[i] != 0)
            i = (i + 1) & (size - 1);
        ahead->m_slots[i] = std::uint32_t(k + 1);
    }
    return ahead;
}

std::ptrdiff_t CaptionsAhead::find(const QByteArray& text, std::uint32_t hash) const
{
    if (m_slots.empty())
        return -1;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint32_t held = m_slots[i];
        if (held == 0)
            return -1;
        if (m_hashes[held - 1] == hash && m_texts[held - 1] == text)
            return m_taken[held - 1] ? -1 : std::ptrdiff_t(held - 1);
    }
}

PackedCaption CaptionsAhead::take(std::ptrdiff_t at)
{
    m_taken[std::size_t(at)] = true;
    return std::move(m_captions[std::size_t(at)]);
}

void CaptionRenderer::takeAheadGlyphs()
{
    m_aheadTaken = true;
    if (!m_ahead->glyphs)
        return;
    const int id = fontIdOf(m_shaper.rawFont());
    for (const LearnedFont::Glyphs::Raster& r : m_ahead->glyphs->rasters) {
        const GlyphKey key{id, r.index, r.ratio, r.fx, r.fy};
        Glyph& held = key.index < MaxTableGlyph ? slot(key) : m_farGlyphs[key];
        if (held.held())
            continue;
        held = Glyph{r.coverage, r.width, r.height, r.left, r.top};
        ++m_glyphCount;
    }
}

int CaptionRenderer::advance(const QByteArray& text)
{
    qreal advance = 0;
    const bool valid = m_shaper.advance(text, advance);
    return wholeAdvance(valid, advance);
}

bool CaptionRenderer::composes(qreal ratio) const
{
    // At whole ratios of 1 and 2 every glyph position and every shift of one is exact in
    // binary, so a glyph drawn alone lands on the subpixel place it takes in a caption.
    return m_composes && (ratio == 1 || ratio == 2);
}

int CaptionRenderer::fontIdOf(const QRawFont& font)
{
    for (size_t i = 0; i < m_fonts.size(); ++i)
        if (m_fonts[i] == font)
            return int(i);
    m_fonts.push_back(font);
    return int(m_fonts.size() - 1);
}

bool CaptionRenderer::readGlyph(const QImage& img, const QRect& cell, QPoint origin, const GlyphKey& key)
{
    int top = cell.bottom() + 1, bottom = -1, left = cell.right() + 1, right = -1;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QRgb p = line[x];
            if (p == 0)
                continue; // most of a cell: nothing drawn
            const int a = qAlpha(p);
            // White ink covers each channel alike; anything else (coverage per colour
            // channel, say) is not the one coverage composing blends: whole captions are
            // painted instead.
            if (qRed(p) != a || qGreen(p) != a || qBlue(p) != a)
                m_composes = false;
            if (a == 0)
                continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    // Ink on the cell's edge may go on beyond it (and into the next cell).
    if (bottom >= 0 && (top == cell.top() || bottom == cell.bottom() || left == cell.left() || right == cell.right()))
        return false;
    Glyph g;
    g.width = 0;
    if (bottom >= 0) {
        const int width = right - left + 1, height = bottom - top + 1;
        const QPoint offset = QPoint(left, top) - origin;
        const auto fits = [](int v) { return v >= INT16_MIN && v <= INT16_MAX; };
        if (!fits(width) || !fits(height) || !fits(offset.x()) || !fits(offset.y())) {
            m_composes = false; // no record holds it: whole captions are painted instead
            return true;
        }
        g.width = std::int16_t(width);
        g.height = std::int16_t(height);
        g.left = std::int16_t(offset.x());
        g.top = std::int16_t(offset.y());
        uchar* coverage = storeBytes(size_t(width) * size_t(height));
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(top + y)) + left;
            for (int x = 0; x < width; ++x)
                coverage[size_t(y) * size_t(width) + size_t(x)] = uchar(qAlpha(line[x]));
        }
        g.coverage = coverage;
    }
    Glyph& held = key.index < MaxTableGlyph ? slot(key) : m_farGlyphs[key];
    m_glyphCount += !held.held();
    held = g;
    return true;
}

uchar* CaptionRenderer::storeBytes(size_t bytes)
{
    if (bytes > m_storeLeft) {
        const size_t block = std::max(bytes, StoreBlock);
        m_store.push_back(std::unique_ptr<uchar[]>(new uchar[block]));
        m_storeNext = m_store.back().get();
        m_storeLeft = block;
    }
    uchar* at = m_storeNext;
    m_storeNext += bytes;
    m_storeLeft -= bytes;
    return at;
}

void CaptionRenderer::rasterise(const QRawFont& font, const std::vector<GlyphKey>& keys, int ratio, QSize cellSize,
                                QPoint origin)
{
    // Each glyph in a cell of its own, its origin at (ox + fx/64, oy + fy/64) device pixels
    // in the cell: all drawn by one painter, then read cell by cell.
    constexpr int Columns = 16;
    const int columns = std::min<int>(Columns, int(keys.size()));
    const int rows = int((keys.size() + Columns - 1) / Columns);
    const int cellWidth = cellSize.width(), cellHeight = cellSize.height();
    const int ox = origin.x(), oy = origin.y();
    QImage img(columns * cellWidth, rows * cellHeight, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    img.fill(Qt::transparent);
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(qsizetype(keys.size()));
    positions.reserve(qsizetype(keys.size()));
    for (size_t k = 0; k < keys.size(); ++k) {
        const int x = int(k % Columns) * cellWidth + ox, y = int(k / Columns) * cellHeight + oy;
        indexes.push_back(keys[k].index);
        positions.push_back(QPointF((x + keys[k].fx / 64.0) / ratio, (y + keys[k].fy / 64.0) / ratio));
    }
    {
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        QPainter p(&img);
        prepareGlyphPainter(p, m_font.font);
        p.drawGlyphRun(QPointF(0, 0), run);
    }
    img.setDevicePixelRatio(1);
    bool fits = true;
    for (size_t k = 0; k < keys.size() && fits; ++k) {
        const QPoint cell(int(k % Columns) * cellWidth, int(k / Columns) * cellHeight);
        fits = readGlyph(img, QRect(cell, QSize(cellWidth, cellHeight)), cell + QPoint(ox, oy), keys[k]);
    }
    if (fits)
        return;
    // A glyph reached beyond its cell, maybe into its neighbours': each again alone, in
    // cells three times as big with the old cell in the middle, until every one fits.
    if (cellWidth > 64 * (m_font.lineHeight + m_font.maxCharWidth) * ratio) {
        m_composes = false; // no room holds it: whole captions are painted instead
        return;
    }
    for (const GlyphKey& key : keys)
        rasterise(font, {key}, ratio, 3 * cellSize, origin + QPoint(cellWidth, cellHeight));
}

CaptionRenderer::Plane& CaptionRenderer::plane(const GlyphKey& key)
{
    // Only captions at the ratios 1 and 2 are composed; any other ratio is looked for.
    const bool tabled = (key.ratio == 1 || key.ratio == 2) && key.font >= 0 && key.fy >= 0 && key.fy < 64;
    const size_t at = tabled ? (size_t(key.font) * 2 + size_t(key.ratio - 1)) * 64 + size_t(key.fy) : 0;
    if (tabled && at < m_planeAt.size() && m_planeAt[at] >= 0)
        return m_planes[size_t(m_planeAt[at])];
    auto it = std::find_if(m_planes.begin(), m_planes.end(), [&](const Plane& p) {
        return p.font == key.font && p.ratio == key.ratio && p.fy == key.fy;
    });
    if (it == m_planes.end())
        it = m_planes.insert(m_planes.end(), Plane{key.font, key.ratio, key.fy, {}, {}});
    if (tabled) {
        if (m_planeAt.size() <= at)
            m_planeAt.resize(at + 1, -1);
        m_planeAt[at] = int(it - m_planes.begin());
    }
    return *it;
}

CaptionRenderer::Glyph& CaptionRenderer::slot(const GlyphKey& key)
{
    Plane& p = plane(key);
    const size_t at = size_t(key.index) * 64 + size_t(key.fx);
    if (p.glyphs.size() <= at)
        p.glyphs.resize(at + 64);
    return p.glyphs[at];
}

void CaptionRenderer::rasterisePending()
{
    // Cells as wide as the widest glyph drawn (its box, one pixel more for the subpixel
    // place), with a few pixels around for overhanging ink: reading them is most of the
    // cost. A glyph that reaches further is drawn again alone.
    constexpr int Pad = 3;
    while (!m_pending.empty()) {
        const GlyphKey first = m_pending.front();
        std::vector<GlyphKey> alike; // of one font and ratio
        for (const GlyphKey& k : m_pending)
            if (k.font == first.font && k.ratio == first.ratio)
                alike.push_back(k);
        m_pending.erase(
            std::remove_if(m_pending.begin(), m_pending.end(),
                           [&](const GlyphKey& k) { return k.font == first.font && k.ratio == first.ratio; }),
            m_pending.end());
        const int r = first.ratio;
        const QRawFont& font = m_fonts[size_t(first.font)];
        std::vector<quint32> indexes;
        for (const GlyphKey& k : alike)
            indexes.push_back(k.index);
        std::sort(indexes.begin(), indexes.end());
        indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
        qreal inkLeft = 0, inkRight = 0; // from the glyphs' origin, in panel pixels
        for (const quint32 index : indexes) {
            const QRectF box = font.boundingRect(index);
            inkLeft = std::min(inkLeft, std::floor(box.left()));
            inkRight = std::max(inkRight, std::ceil(box.right()));
        }
        const int left = Pad + int(-inkLeft), width = left + int(inkRight) + 1 + Pad;
        rasterise(font, alike, r, QSize(width, m_font.lineHeight + 2 * Pad) * r, QPoint(left, Pad + m_font.ascent) * r);
    }
}

bool CaptionRenderer::seenBefore(const GlyphKey& key)
{
    if (key.index >= MaxTableGlyph)
        return true; // beyond the table: rasterised at once
    Plane& p = plane(key);
    const size_t at = size_t(key.index) * 64 + size_t(key.fx);
    if (p.seen.size() <= at)
        p.seen.resize(at + 64, false);
    const bool seen = p.seen[at];
    p.seen[at] = true;
    return seen;
}

CaptionRenderer::Glyph CaptionRenderer::find(const GlyphKey& key)
{
    if (key.index >= MaxTableGlyph) {
        const auto it = m_farGlyphs.find(key);
        return it == m_farGlyphs.end() ? Glyph{} : it->second;
    }
    return slot(key);
}

bool CaptionRenderer::placeGlyph(int fontId, quint32 index, long long x64, long long y64, int r)
{
    const long long ix = floorDiv64(x64), iy = floorDiv64(y64);
    const GlyphKey key{fontId, index, r, int(x64 - ix * 64), int(y64 - iy * 64)};
    const Glyph held = find(key);
    m_placed.push_back({key, ix, iy, held});
    if (held.held())
        return true;
    const auto pending
        = [&](const GlyphKey& k) { return std::find(m_pending.begin(), m_pending.end(), k) != m_pending.end(); };
    if (m_many) {
        // Many captions follow: the glyph at every subpixel place at once.
        if (pending(key))
            return false;
        for (int fx = 0; fx < 64; ++fx) {
            GlyphKey k = key;
            k.fx = fx;
            if (!find(k).held() && (fx == key.fx || !pending(k)))
                m_pending.push_back(k);
        }
        return false;
    }
    // A glyph is rasterised once it was needed twice at a place, and only with
    // others: a painter for a few glyphs costs what painting the caption does, so
    // a sparse world's captions, whose glyphs seldom meet again, cost what they did.
    if (seenBefore(key) && !pending(key))
        m_pending.push_back(key);
    return false;
}

bool CaptionRenderer::placeGlyphs(const QPointF& origin, qreal ratio, const QList<QGlyphRun>& runs)
{
    bool complete = true;
    for (const QGlyphRun& run : runs) {
        const int fontId = fontIdOf(run.rawFont());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            const long long x64 = roundToWhole((origin.x() + positions[i].x()) * ratio * 64);
            const long long y64 = roundToWhole((origin.y() + positions[i].y()) * ratio * 64);
            complete = placeGlyph(fontId, indexes[i], x64, y64, int(ratio)) && complete;
        }
    }
    return complete;
}

RenderedCaption CaptionRenderer::render(const QByteArray& text, qreal ratio)
{
    if (!composes(ratio))
        return renderCaption(m_font, text, ratio);
    PackedCaption p = renderPacked(text, ratio);
    RenderedCaption r;
    r.offset = p.offset;
    r.advance = p.advance;
    if (!p.mask.pixels)
        return r;
    r.mask = QImage(p.mask.width, p.mask.height, QImage::Format_Alpha8);
    for (int y = 0; y < p.mask.height; ++y)
        std::memcpy(r.mask.scanLine(y), p.mask.pixels.get() + size_t(y) * size_t(p.mask.width), size_t(p.mask.width));
    return r;
}

namespace {

/**
 * Copies `n` bytes (a glyph's row, mostly under sixteen) with two moves that may overlap
 * instead of one a byte: a crowded paint composes a hundred million of them. Only the
 * bytes [0, n) are read and written.
 */
inline void copyFew(uchar* out, const uchar* in, long long n)
{
    if (n <= 0)
        return;
    if (n < 4) {
        out[0] = in[0];
        out[n / 2] = in[n / 2];
        out[n - 1] = in[n - 1];
    } else if (n <= 8) {
        std::uint32_t a, b;
        std::memcpy(&a, in, 4);
        std::memcpy(&b, in + n - 4, 4);
        std::memcpy(out, &a, 4);
        std::memcpy(out + n - 4, &b, 4);
    } else if (n <= 16) {
        std::uint64_t a, b;
        std::memcpy(&a, in, 8);
        std::memcpy(&b, in + n - 8, 8);
        std::memcpy(out, &a, 8);
        std::memcpy(out + n - 8, &b, 8);
    } else {
        std::memcpy(out, in, size_t(n));
    }
}

} // namespace

bool CaptionRenderer::placeInk(const QByteArray& text, qreal ratio, InkBox& box, PackedCaption& whole, int fromRow,
                               int toRow)
{
    if (!composes(ratio)) {
        whole = packed(renderCaption(m_font, text, ratio));
        return false;
    }
    const bool byPairs = m_shaper.layOut(text, m_line, m_pairGlyphs);
    if (m_ahead && !m_aheadTaken && m_shaper.rawFont().isValid())
        takeAheadGlyphs(); // the shaper knows its font once it laid a caption out
    const Shaped s = shape(m_font, m_line, ratio);
    const int r = int(ratio);
    // The ink lies inside the caption's box: one that misses the rows wanted has none there.
    m_placed.clear();
    if (s.devAscent + s.devTop + s.devHeight <= fromRow || s.devAscent + s.devTop >= toRow) {
        box = {0, 0, 0, 0, QPoint(s.devLeft, s.devAscent + s.devTop), s.advance};
        return true;
    }
    // Where the painter puts each glyph in the mask: a whole device pixel and a subpixel
    // place in 64ths of one. A caption put together from pairs places its glyphs with the
    // same arithmetic as one laid out whole, without a glyph run between.
    bool complete = true;
    if (byPairs) {
        if (m_pairFontId < 0)
            m_pairFontId = fontIdOf(m_shaper.rawFont());
        const qreal y = s.origin.y() + m_line.ascent;
        const long long y64 = roundToWhole(y * ratio * 64);
        // Every glyph of the caption lies in one plane (the same vertical place): found
        // once, each glyph held there is taken straight from its table.
        const long long iy = floorDiv64(y64);
        const int fy = int(y64 - iy * 64);
        const Plane& held = plane(GlyphKey{m_pairFontId, 0, r, 0, fy});
        for (size_t i = 0; i < m_pairGlyphs.indexes.size(); ++i) {
            const long long x64 = roundToWhole((s.origin.x() + qreal(m_pairGlyphs.x64[i]) / 64) * ratio * 64);
            const quint32 index = m_pairGlyphs.indexes[i];
            const long long ix = floorDiv64(x64);
            const int fx = int(x64 - ix * 64);
            const size_t at = size_t(index) * 64 + size_t(fx);
            if (index < MaxTableGlyph && at < held.glyphs.size() && held.glyphs[at].held()) {
                m_placed.push_back({GlyphKey{m_pairFontId, index, r, fx, fy}, ix, iy, held.glyphs[at]});
                continue;
            }
            complete = placeGlyph(m_pairFontId, index, x64, y64, r) && complete;
        }
    } else {
        complete = placeGlyphs(s.origin, ratio, m_line.runs);
    }
    if (!complete && (m_many ? !m_pending.empty() : int(m_pending.size()) >= PendingBatch)) {
        rasterisePending();
        complete = true;
        for (Placed& p : m_placed)
            complete = (p.glyph.held() || (p.glyph = find(p.key)).held()) && complete;
    }
    if (!complete || !m_composes) {
        if (byPairs)
            m_line.runs = {m_shaper.runOf(m_pairGlyphs)};
        whole = packed(paintWhole(m_font, s, m_line.runs, ratio));
        return false;
    }
    // The ink's box is the glyphs' boxes together (each holds only its ink, and blending
    // ink over ink leaves ink), within the caption's box.
    box = {s.devWidth, s.devHeight, 0, 0, QPoint(s.devLeft, s.devAscent + s.devTop), s.advance};
    for (const Placed& p : m_placed) {
        const Glyph& g = p.glyph;
        if (!g.coverage)
            continue;
        box.left = std::min(box.left, std::max(0LL, p.x + g.left));
        box.top = std::min(box.top, std::max(0LL, p.y + g.top));
        box.right = std::max(box.right, std::min<long long>(s.devWidth, p.x + g.left + g.width));
        box.bottom = std::max(box.bottom, std::min<long long>(s.devHeight, p.y + g.top + g.height));
    }
    return true;
}

void CaptionRenderer::composeInk(const InkBox& box, uchar* bits) const
{
    const long long left = box.left, top = box.top, right = box.right, bottom = box.bottom;
    const long long width = right - left;
    // Columns from `untouched` on hold no glyph yet in any row: the glyphs go left to
    // right, so most of each lands there and is copied; only where it meets the ones
    // before is it blended.
    long long untouched = left;
    for (const Placed& p : m_placed) {
        const Glyph& g = p.glyph;
        // Each glyph over what lies beneath as the painter blends white ink: its coverage
        // plus what it leaves of the coverage below, rounded as a byte product (no
        // coverage leaves a pixel as it is). Sixteen bits hold every step.
        const long long gx = p.x + g.left, gy = p.y + g.top;
        const long long x0 = std::max(left, gx), x1 = std::min(right, gx + g.width);
        const long long y0 = std::max(top, gy), y1 = std::min(bottom, gy + g.height);
        const long long blendEnd = std::min(x1, untouched), copyStart = std::max(x0, untouched);
        if (y0 < y1 && blendEnd <= x0) {
            // Nothing beneath it: its rows are copied, each with the same few moves.
            uchar* out = bits + (y0 - top) * width + (copyStart - left);
            const uchar* in = g.coverage + (y0 - gy) * g.width + (copyStart - gx);
            const long long n = x1 - copyStart;
            for (long long y = y0; y < y1; ++y, out += width, in += g.width)
                copyFew(out, in, n);
        } else {
            for (long long y = y0; y < y1; ++y) {
                uchar* out = bits + (y - top) * width - left;
                const uchar* in = g.coverage + (y - gy) * g.width - gx;
                for (long long x = x0; x < blendEnd; ++x) {
                    const std::uint16_t c = in[x];
                    std::uint16_t t = std::uint16_t(out[x] * (255 - c));
                    t = std::uint16_t((t + (t >> 8) + 0x80) >> 8);
                    out[x] = uchar(c + t);
                }
                copyFew(out + copyStart, in + copyStart, x1 - copyStart);
            }
        }
        if (y0 < y1)
            untouched = std::max(untouched, x1);
    }
}

PackedCaption CaptionRenderer::renderPacked(const QByteArray& text, qreal ratio)
{
    InkBox box;
    PackedCaption result;
    if (!placeInk(text, ratio, box, result))
        return result;
    result.offset = box.offset;
    result.advance = box.advance;
    if (box.left >= box.right || box.top >= box.bottom)
        return result; // no ink
    result.mask = m_masks.blank(int(box.right - box.left), int(box.bottom - box.top));
    composeInk(box, result.mask.pixels.get());
    result.offset += QPoint(int(box.left), int(box.top));
    return result;
}

CaptionInk CaptionRenderer::renderInto(const QByteArray& text, qreal ratio, std::vector<uchar>& rows, int fromRow,
                                       int toRow)
{
    InkBox box;
    PackedCaption whole;
    CaptionInk ink;
    if (!placeInk(text, ratio, box, whole, fromRow, toRow)) {
        // Painted whole (a glyph not held, another ratio): its mask copied into the rows.
        ink.offset = whole.offset;
        if (whole.mask.pixels && whole.offset.y() + whole.mask.height > fromRow && whole.offset.y() < toRow) {
            rows.assign(whole.mask.pixels.get(),
                        whole.mask.pixels.get() + std::size_t(whole.mask.width) * std::size_t(whole.mask.height));
            ink.bits = rows.data();
            ink.width = whole.mask.width;
            ink.height = whole.mask.height;
        }
        return ink;
    }
    ink.offset = box.offset;
    if (box.left >= box.right || box.top >= box.bottom)
        return ink; // no ink
    if (box.offset.y() + box.bottom <= fromRow || box.offset.y() + box.top >= toRow)
        return ink; // none where it is wanted
    ink.width = int(box.right - box.left);
    ink.height = int(box.bottom - box.top);
    const std::size_t bytes = std::size_t(ink.width) * std::size_t(ink.height);
    if (rows.size() < bytes)
        rows.resize(bytes);
    std::memset(rows.data(), 0, bytes);
    composeInk(box, rows.data());
    ink.bits = rows.data();
    ink.offset += QPoint(int(box.left), int(box.top));
    return ink;
}

} // namespace vdm
