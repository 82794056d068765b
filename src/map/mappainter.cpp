// SPDX-License-Identifier: MIT
#include "map/mappainter.h"

#include "map/captioncache.h"
#include "map/captionoccupancy.h"
#include "map/captionrender.h"
#include "map/coverageblend.h"
#include "map/linewalk.h"
#include "map/panelpoints.h"
#include "map/pixelfill.h"
#include "map/resampler.h"
#include "map/routelayer.h"
#include "map/workshare.h"

#include <QPainter>
#include <QScopeGuard>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <vector>

namespace vdm {

DrawingObjects DrawingObjects::fromSettings(const Settings& s)
{
    DrawingObjects o;
    o.MapFont.setFamily(s.MapFontName);
    o.MapFont.setPixelSize(qMax(1, s.MapFontSize));
    o.MapFont.setStyleStrategy(QFont::PreferAntialias);
    o.BrushVisited = packedToColor(s.ColorVisited);
    o.BrushActive = packedToColor(s.ColorActive);
    o.BrushUnvisited = packedToColor(s.ColorUnvisited);
    o.BrushBackground = packedToColor(BackgroundColor);
    o.PenSkarnels = packedToColor(s.ColorSkarnels);
    o.PenShips = packedToColor(s.ColorShips);
    o.PenMagesGuild = packedToColor(s.ColorMagesGuild);
    o.PenMarker = packedToColor(s.ColorMarker);
    return o;
}

namespace {

using Pixel = std::uint32_t;

Pixel pixelOf(const QColor& c)
{
    return 0xFF000000u | c.rgb();
}

/** The first `limit` characters and "...", or the whole text when it fits (limit 0: no limit). */
QByteArray cutCaption(const QByteArray& text, int limit)
{
    if (limit <= 0 || text.size() <= limit)
        return text;
    return text.left(limit) + "...";
}

/**
 * Whether the caption `name` makes (cut at `limit`) shows a pair, a first or a last
 * character not marked in `seen` yet; marks them. `seen` holds the pairs by first x 256 +
 * second, then the first characters, then the last ones.
 */
bool showsNew(const QByteArray& name, int limit, std::vector<bool>& seen)
{
    const auto* bytes = reinterpret_cast<const uchar*>(name.constData());
    const qsizetype cut = limit > 0 && name.size() > limit ? limit : name.size();
    if (name.isEmpty())
        return false;
    bool fresh = false;
    const auto mark = [&](size_t at) {
        fresh = fresh || !seen[at];
        seen[at] = true;
    };
    constexpr size_t Firsts = 256 * 256, Lasts = Firsts + 256;
    mark(Firsts + bytes[0]);
    for (qsizetype i = 0; i + 1 < cut; ++i)
        mark(size_t(bytes[i]) * 256 + bytes[i + 1]);
    if (cut < name.size()) { // "..." follows
        mark(size_t(bytes[cut - 1]) * 256 + '.');
        mark(size_t('.') * 256 + '.');
        mark(Lasts + '.');
    } else {
        mark(Lasts + bytes[cut - 1]);
    }
    return fresh;
}

int saturatedInt(long long v)
{
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

/**
 * A raster view of the back buffer that clips every write to one rectangle of it (the
 * whole buffer for a whole paint). The buffer holds the panel at its device pixel ratio:
 * positions and sizes come in panel (logical) pixels and land on device pixels scaled by
 * the ratio and rounded, so at the ratio 1 every pixel is the one the logical rule names.
 * Whatever is drawn through it lands on the same pixels as without the clip, so a clipped
 * paint is a piece of the whole one.
 */
class Canvas {
public:
    Canvas(QImage& img, QSize panel, const QRect& clip)
        : m_bits(img.bits()), m_bpl(img.bytesPerLine()), m_w(img.width()), m_h(img.height()), m_panel(panel),
          m_ratio(img.devicePixelRatio()), m_clip(clip & img.rect()), m_panelClip(panelCover(m_clip))
    {}
    /** The device pixels this canvas writes. */
    const QRect& clip() const { return m_clip; }
    /** The panel pixels that cover clip(). */
    const QRect& panelClip() const { return m_panelClip; }
    /** Device pixels. */
    int width() const { return m_w; }
    int height() const { return m_h; }
    /** Panel (logical) pixels, what the view's conversions give. */
    int panelWidth() const { return m_panel.width(); }
    int panelHeight() const { return m_panel.height(); }
    qreal ratio() const { return m_ratio; }
    Pixel* row(int y) const { return reinterpret_cast<Pixel*>(m_bits + y * m_bpl); }
    /** The buffer's pixels, taken once: two threads may write distinct parts through them. */
    uchar* bits() const { return m_bits; }
    qsizetype bytesPerLine() const { return m_bpl; }

    /** The device coordinate of a panel coordinate. */
    long long device(long long v) const { return m_ratio == 1 ? v : std::llround(double(v) * m_ratio); }
    QPoint device(QPoint p) const { return {saturatedInt(device(p.x())), saturatedInt(device(p.y()))}; }
    /** A width of `n` panel pixels in device pixels, never thinner than one. */
    int thickness(int n) const { return m_ratio == 1 ? n : std::max(1, int(std::lround(n * m_ratio))); }

    /**
     * The location frame: a hollow square from (q - half) to (q + half), right and bottom
     * exclusive, its border one panel pixel thick.
     */
    void squareFrame(QPoint q, int half, Pixel c) const
    {
        const long long x0 = device((long long)q.x() - half), x1 = device((long long)q.x() + half);
        const long long y0 = device((long long)q.y() - half), y1 = device((long long)q.y() + half);
        const int t = thickness(1);
        if (x1 <= 0 || y1 <= 0 || x0 >= m_w || y0 >= m_h)
            return;
        if (t == 1) {
            frame(int(x0), int(y0), int(x1 - x0), int(y1 - y0), c);
            return;
        }
        fill(x0, y0, x1, std::min(y1, y0 + t), c);
        fill(x0, std::max(y0, y1 - t), x1, y1, c);
        fill(x0, y0 + t, std::min(x1, x0 + t), y1 - t, c);
        fill(std::max(x0, x1 - t), y0 + t, x1, y1 - t, c);
    }

    /** A line between two panel points, `width` panel pixels wide (see line()). */
    void panelLine(QPoint a, QPoint b, Pixel c, int width) const { line(device(a), device(b), c, thickness(width)); }

    void put(long long x, long long y, Pixel c) const
    {
        if (x >= m_clip.left() && x <= m_clip.right() && y >= m_clip.top() && y <= m_clip.bottom())
            row(int(y))[x] = c;
    }

    /** Fills device pixels [x0, x1) x [y0, y1), clipped. */
    void fill(long long x0, long long y0, long long x1, long long y1, Pixel c) const
    {
        x0 = std::max<long long>(m_clip.left(), x0), y0 = std::max<long long>(m_clip.top(), y0);
        x1 = std::min<long long>(m_clip.right() + 1, x1), y1 = std::min<long long>(m_clip.bottom() + 1, y1);
        for (long long y = y0; y < y1 && x0 < x1; ++y)
            fillPixels(row(int(y)) + x0, size_t(x1 - x0), c);
    }

    /** A one-pixel border inside the rectangle [x, x + w) x [y, y + h). */
    void frame(int x, int y, int w, int h, Pixel c) const
    {
        if (w > 0 && h > 0 && x >= m_clip.left() && y >= m_clip.top()
            && (long long)x + w <= m_clip.left() + (long long)m_clip.width()
            && (long long)y + h <= m_clip.top() + (long long)m_clip.height()) {
            // Inside the clip (most frames of a view drawn a tile at a time): the same
            // pixels, written without a test each.
            std::fill_n(row(y) + x, w, c);
            std::fill_n(row(y + h - 1) + x, w, c);
            for (int j = 1; j < h - 1; ++j) {
                row(y + j)[x] = c;
                row(y + j)[x + w - 1] = c;
            }
            return;
        }
        for (int i = 0; i < w; ++i) {
            put(x + i, y, c);
            put(x + i, y + h - 1, c);
        }
        for (int j = 1; j < h - 1; ++j) {
            put(x, y + j, c);
            put(x + w - 1, y + j, c);
        }
    }

    /**
     * A line from a towards b with b itself left out, one pixel per step of the major
     * axis; a width of 2 adds the neighbour below (x-major) or to the right (y-major).
     * Only the steps that can land inside the panel are walked, so a line thousands of
     * pixels long at a high zoom costs no more than the panel is wide. The same walk as
     * walkLine's, written out for the canvas's pixels: the paint's hottest loop, which
     * the walk through callbacks made slower here (the tests hold the two equal).
     */
    void line(QPoint a, QPoint b, Pixel c, int width) const
    {
        const long long dx = (long long)b.x() - a.x(), dy = (long long)b.y() - a.y();
        if (dx == 0 && dy == 0)
            return;
        if (std::max(a.x(), b.x()) + width < m_clip.left() || std::min(a.x(), b.x()) - width > m_clip.right()
            || std::max(a.y(), b.y()) + width < m_clip.top() || std::min(a.y(), b.y()) - width > m_clip.bottom())
            return;
        if (std::min(a.x(), b.x()) >= m_clip.left() && std::min(a.y(), b.y()) >= m_clip.top()
            && std::max(a.x(), b.x()) + (long long)width <= m_clip.left() + (long long)m_clip.width()
            && std::max(a.y(), b.y()) + (long long)width <= m_clip.top() + (long long)m_clip.height()) {
            insideLine(a, int(dx), int(dy), c, width);
            return;
        }
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        const long long n = xMajor ? std::llabs(dx) : std::llabs(dy);
        const long long minor = xMajor ? dy : dx;
        const long long origin = xMajor ? a.x() : a.y();
        const long long originMinor = xMajor ? a.y() : a.x();
        const int step = (xMajor ? dx : dy) > 0 ? 1 : -1;
        // The steps whose major coordinate lies in [lo, hi); each step's pixel depends on k alone.
        const long long lo = xMajor ? m_clip.left() : m_clip.top();
        const long long hi = lo + (xMajor ? m_clip.width() : m_clip.height());
        long long kLo = 0, kHi = n;
        if (step > 0) {
            kLo = std::max(kLo, lo - origin);
            kHi = std::min(kHi, hi - origin);
        } else {
            kLo = std::max(kLo, origin - hi + 1);
            kHi = std::min(kHi, origin - lo + 1);
        }
        // The steps whose `width` minor pixels can meet the clip's minor range: the minor
        // offset moves by minor / n a step, so a step or two to spare on either side keeps
        // every step that lands a pixel (each is still clipped below).
        if (minor != 0) {
            const double lo2 = double(xMajor ? m_clip.top() : m_clip.left()) - width - originMinor;
            const double hi2
                = double(xMajor ? m_clip.top() + m_clip.height() : m_clip.left() + m_clip.width()) - originMinor;
            const double perStep = double(minor) / double(n);
            double k0 = lo2 / perStep, k1 = hi2 / perStep;
            if (k0 > k1)
                std::swap(k0, k1);
            if (k0 - 2 > double(kLo))
                kLo = std::min(kHi, (long long)(k0)-2);
            if (k1 + 3 < double(kHi))
                kHi = std::max(kLo, (long long)(k1) + 3);
        }
        if (kLo >= kHi)
            return;
        detail::MinorOffset offset(kLo, minor, n);
        // Each step's major coordinate lies in the clip; its `width` minor pixels are clipped here.
        const long long minorLo = xMajor ? m_clip.top() : m_clip.left();
        const long long minorHi = minorLo + (xMajor ? m_clip.height() : m_clip.width());
        for (long long k = kLo; k < kHi; ++k) {
            const long long major = origin + k * step;
            const long long m = originMinor + offset.q;
            const long long from = std::max(m, minorLo), to = std::min(m + width, minorHi);
            if (xMajor) {
                for (long long y = from; y < to; ++y)
                    row(int(y))[major] = c;
            } else if (from < to) {
                std::fill(row(int(major)) + from, row(int(major)) + to, c);
            }
            offset.next();
        }
    }

    /**
     * line() for a line whose every pixel lies inside the clip (most of a crowded view's
     * short lines, drawn a tile at a time): the same steps and pixels, with nothing to
     * clip. A step's pixels span its minor offset and `width` - 1 beyond, both within the
     * line's box grown by the width, which the clip holds.
     */
    void insideLine(QPoint a, int dx, int dy, Pixel c, int width) const
    {
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        const int n = xMajor ? std::abs(dx) : std::abs(dy);
        const int minor = xMajor ? dy : dx;
        const int step = (xMajor ? dx : dy) > 0 ? 1 : -1;
        detail::MinorOffset offset(0, minor, n);
        for (int k = 0; k < n; ++k) {
            const int q = int(offset.q);
            if (xMajor) {
                const int x = a.x() + k * step;
                for (int w = 0; w < width; ++w)
                    row(a.y() + q + w)[x] = c;
            } else {
                Pixel* p = row(a.y() + k * step) + (a.x() + q);
                for (int w = 0; w < width; ++w)
                    p[w] = c;
            }
            offset.next();
        }
    }

    /** Blends an 8-bit coverage mask of w x h (rows `bpl` bytes apart) in colour c with its top-left at (x, y). */
    void blend(const uchar* mask, qsizetype bpl, int w, int h, int x, int y, Pixel c) const
    {
        const int x0 = std::max(m_clip.left(), x), x1 = std::min(m_clip.left() + m_clip.width(), x + w);
        const int y0 = std::max(m_clip.top(), y), y1 = std::min(m_clip.top() + m_clip.height(), y + h);
        if (x0 < x1 && y0 < y1)
            blendCoverageRows(row(y0) + x0, m_bpl / qsizetype(sizeof(Pixel)), mask + (y0 - y) * bpl + (x0 - x), bpl,
                              x1 - x0, y1 - y0, c);
    }

    /** The same canvas writing only the device pixels of `r` inside its clip. */
    Canvas clippedTo(const QRect& r) const
    {
        Canvas c = *this;
        c.m_clip = r & m_clip;
        c.m_panelClip = c.panelCover(c.m_clip);
        return c;
    }

private:
    /** The panel pixels that cover device pixels `r`, for the cheap tests made in panel pixels. */
    QRect panelCover(const QRect& r) const
    {
        const double k = m_ratio;
        const int x0 = int(std::floor(r.left() / k)), y0 = int(std::floor(r.top() / k));
        const int x1 = int(std::ceil((r.left() + r.width()) / k));
        const int y1 = int(std::ceil((r.top() + r.height()) / k));
        return QRect(x0, y0, x1 - x0, y1 - y0);
    }

    uchar* m_bits;
    qsizetype m_bpl;
    int m_w, m_h;
    QSize m_panel;
    qreal m_ratio;
    QRect m_clip, m_panelClip;
};

/**
 * The frames, diamonds, captions and route lines of one paint, gathered in drawing order
 * and then drawn a tile of the buffer at a time. A tile's pixels stay in the processor's
 * cache while everything that lands on them is drawn, in the order it was gathered, so
 * every pixel comes out as drawing them one after another gives: each drawing lands on the
 * same pixels through a clip as without it. Drawn one after another, the captions of a
 * crowded view, scattered over the panel, miss the cache at nearly every row they blend.
 */
class TiledOverlay {
public:
    static constexpr int TileWidth = 256, TileHeight = 64;
    /** A line whose box meets more tiles than this is drawn at once (after what came before it). */
    static constexpr long long LongLineTiles = 16;

    /**
     * With this many caption pixels or more to blend (a crowded view, not a drag's strip
     * nor a sparse world) a flush shares the tiles with the second core: below it, waking
     * the helper and waiting for its last row cost more than it saves.
     */
    static constexpr std::int64_t SharedInk = 1 << 20;

    /** The caption pixels gathered since the last resetGathered(). */
    std::int64_t gathered() const { return m_gathered; }
    void resetGathered() { m_gathered = 0; }

    /** Draws with the help of `share` (none: alone). */
    explicit TiledOverlay(WorkShare* share = nullptr) : m_share(share) {}

    /**
     * While `on`, draws alone whatever it draws: the second core is busy with a part of
     * a job of the paint's own (a flush, when a caption's insertion makes room, would
     * otherwise start a job inside that one).
     */
    void drawAlone(bool on) { m_alone = on; }

    /**
     * What comes beneath the gathered drawings and what over them, when a paint composes
     * its clip a band of tile rows at a time: `picture` fills a band's device pixels
     * before anything is drawn there, `top` lays over a band once everything is. Each is
     * told the band and which thread runs it (see WorkShare::run); with `shared` false
     * they run on this thread alone.
     */
    struct Layers {
        std::function<void(const QRect&, int)> picture, top;
        bool shared = false;
    };

    /**
     * Starts gathering for `canvas`, drawing whatever was gathered for another first.
     * With `layers`, nothing of the canvas is filled yet: each band gets its picture just
     * before the first drawing lands there (at the latest at finish()), so a band's rows
     * are still in the cache while its drawings and its top layer follow.
     */
    void begin(const Canvas& canvas, const Layers* layers = nullptr)
    {
        flush();
        m_canvas.emplace(canvas);
        m_layers = layers;
        m_pictured.assign(layers ? std::size_t(rowCount()) : 0, 0);
        m_direct = false;
    }

    /**
     * Starts drawing onto `canvas` as the drawings come, each in its turn: where the
     * canvas's clip stays in the processor's cache whole (a part of a paint in parts) and
     * few captions land on it, sorting hundreds of thousands of frames by tile costs more
     * than it saves. The pixels are the same.
     */
    void beginDirect(const Canvas& canvas)
    {
        begin(canvas);
        m_direct = true;
    }

    /** Draws everything gathered, then (with layers) fills and tops each band in turn. */
    void finish()
    {
        if (!m_canvas)
            return;
        if (!m_layers) {
            flush();
            return;
        }
        drawGathered(true);
        m_layers = nullptr;
        m_pictured.clear();
    }

    /** The location frame around panel point q (see Canvas::squareFrame). */
    void frame(QPoint q, Pixel c)
    {
        const Canvas& cv = *m_canvas;
        add({Item::Frame, c, q.x(), q.y(), 0, 0, nullptr, 0},
            {cv.device((long long)q.x() - 3), cv.device((long long)q.y() - 3), cv.device((long long)q.x() + 3),
             cv.device((long long)q.y() + 3)});
    }

    /** The marker's hollow diamond around panel point q. */
    void diamond(QPoint q, Pixel c)
    {
        const Canvas& cv = *m_canvas;
        const int t = cv.thickness(1);
        add({Item::Diamond, c, q.x(), q.y(), 0, 0, nullptr, 0},
            {cv.device((long long)q.x() - 4) - 1, cv.device((long long)q.y() - 4) - 1,
             cv.device((long long)q.x() + 4) + t + 1, cv.device((long long)q.y() + 4) + t + 1});
    }

    /** A caption's mask (it must stay as it is until the next flush) with its top-left at device point (x, y). */
    void caption(const CaptionCache::Entry::Ink& mask, int x, int y, Pixel c)
    {
        if (!mask.bits)
            return;
        m_ink += std::int64_t(mask.width) * mask.height;
        m_gathered += std::int64_t(mask.width) * mask.height;
        add({Item::Caption, c, x, y, mask.width, mask.height, mask.bits, mask.bytesPerLine},
            {x, y, (long long)x + mask.width, (long long)y + mask.height});
    }

    /** A line between two panel points, `width` panel pixels wide (see Canvas::panelLine). */
    void line(QPoint a, QPoint b, Pixel c, int width)
    {
        const Canvas& cv = *m_canvas;
        deviceLine(cv.device(a), cv.device(b), c, cv.thickness(width));
    }

    /** Device pixels [x0, x1) x [y0, y1) that hold whatever an item draws. */
    struct Box {
        long long x0, y0, x1, y1;
    };
    /** The box of a line from da to db, `t` device pixels wide (a pixel to spare around it). */
    static Box lineBox(QPoint da, QPoint db, int t)
    {
        return {std::min(da.x(), db.x()) - 1LL, std::min(da.y(), db.y()) - 1LL, std::max(da.x(), db.x()) + t + 1LL,
                std::max(da.y(), db.y()) + t + 1LL};
    }

    /** The same line in device pixels, `t` of them wide (see Canvas::line). */
    void deviceLine(QPoint da, QPoint db, Pixel c, int t);

    /** Lines made ready for the canvas gathered for, in their order (see ready()). */
    struct ReadyLines;
    /**
     * Works out what deviceLine(da, db, c, t) does for the canvas gathered for and adds
     * it to `lines`, without doing it: any thread may ask while the canvas, and whether it
     * is composed in bands, stay as they are (a crowded paint readies its route lines on
     * the second core while this thread gathers its places).
     */
    void ready(QPoint da, QPoint db, Pixel c, int t, ReadyLines& lines) const;
    /** Does what deviceLine does with each of `lines`, in their order. */
    void take(const ReadyLines& lines);

    /** Draws everything gathered, tile by tile, and forgets it. */
    void flush() { drawGathered(false); }

    /**
     * The route lines of one part of a paint in parts (a band of a few tile rows), drawn
     * over everything gathered, in their order. Unless the gathered drawing is shared with
     * the second core or composed in bands, they go straight through the canvas's clip
     * once the rest is drawn: each lands on the pixels it lands on through the tiles, and
     * a band's pixels stay in the processor's cache without sorting hundreds of thousands
     * of lines by tile first.
     */
    template <class Lines> void linesOver(const Lines& lines, int t)
    {
        if (m_layers || (m_share && m_ink >= SharedInk)) {
            for (const auto& l : lines)
                deviceLine(l.a, l.b, l.colour, t);
            return;
        }
        flush();
        for (const auto& l : lines)
            m_canvas->line(l.a, l.b, l.colour, t);
    }

    /**
     * The route lines of `layer` over everything gathered (see RouteLayer::layOver, with
     * `offset` and `pens`). A paint composed in bands gathers it, to come before each
     * band's top layer; otherwise it goes over the canvas's clip once the rest is drawn.
     * The layer and the pens must stay as they are until then.
     */
    void layerOver(const RouteLayer& layer, QPoint offset, const Pixel* pens)
    {
        m_routeLayer = {&layer, offset, pens};
        if (m_layers) {
            const QRect& clip = m_canvas->clip();
            add({Item::Layer, 0, 0, 0, 0, 0, nullptr, 0},
                {clip.left(), clip.top(), (long long)clip.left() + clip.width(),
                 (long long)clip.top() + clip.height()});
            return;
        }
        flush();
        layer.layOver(m_canvas->bits(), m_canvas->bytesPerLine(), m_canvas->clip(), offset, pens);
    }

private:
    int rowCount() const { return (m_canvas->clip().height() + TileHeight - 1) / TileHeight; }
    /** The device pixels of tile row `r`. */
    QRect band(int r) const
    {
        const QRect& clip = m_canvas->clip();
        return {clip.left(), clip.top() + r * TileHeight, clip.width(),
                std::min(TileHeight, clip.height() - r * TileHeight)};
    }
    /** Fills tile row `r` with its picture on `thread`, unless that was done. */
    void picture(int r, int thread)
    {
        if (r < int(m_pictured.size()) && !m_pictured[std::size_t(r)]) {
            m_pictured[std::size_t(r)] = 1;
            m_layers->picture(band(r), thread);
        }
    }

    /**
     * Draws everything gathered, tile by tile, and forgets it; at the end of a paint
     * composed in bands (`last`), every band gets its picture and top layer too.
     */
    void drawGathered(bool last)
    {
        if (!m_canvas || (m_items.empty() && !last)) {
            m_items.clear();
            m_ink = 0;
            return;
        }
        const Canvas& cv = *m_canvas;
        const QRect& clip = cv.clip();
        const int columns = (clip.width() + TileWidth - 1) / TileWidth,
                  rows = (clip.height() + TileHeight - 1) / TileHeight;
        // Each tile's items in drawing order, as compressed rows: counted, then placed.
        m_start.assign(size_t(columns) * size_t(rows) + 1, 0);
        forEachTile([&](size_t, size_t tile) { ++m_start[tile + 1]; });
        for (size_t t = 0; t + 1 < m_start.size(); ++t)
            m_start[t + 1] += m_start[t];
        // Copied in tile order: each tile then reads its items in one sweep, not scattered
        // over the whole paint's.
        m_sorted.resize(m_start.back());
        m_fill.assign(m_start.begin(), m_start.end() - 1);
        forEachTile([&](size_t item, size_t tile) { m_sorted[m_fill[tile]++] = m_items[item].item; });
        // A row of tiles is a part of the work: the tiles share no pixel, so the second
        // core may draw some rows while this thread draws others, with the same result.
        const auto drawRow = [&](int r, int thread) {
            if (m_layers && (last || m_start[size_t(r) * size_t(columns)] != m_start[size_t(r + 1) * size_t(columns)]))
                picture(r, thread);
            for (int c = 0; c < columns; ++c) {
                const size_t tile = size_t(r) * size_t(columns) + size_t(c);
                if (m_start[tile] == m_start[tile + 1])
                    continue;
                const Canvas piece = cv.clippedTo(
                    QRect(clip.left() + c * TileWidth, clip.top() + r * TileHeight, TileWidth, TileHeight));
                for (size_t k = m_start[tile]; k < m_start[tile + 1]; ++k)
                    draw(piece, m_sorted[k]);
            }
            if (last && m_layers->top)
                m_layers->top(band(r), thread);
        };
        if (m_share && !m_alone && m_ink >= SharedInk && (!m_layers || m_layers->shared)) {
            m_share->run(rows, drawRow);
        } else {
            for (int r = 0; r < rows; ++r)
                drawRow(r, 0);
        }
        m_items.clear();
        m_ink = 0;
    }

    struct Item {
        enum Kind : std::uint8_t { Frame, Diamond, Caption, Line, Layer } kind;
        Pixel colour;
        int x, y;          // frame, diamond: the panel point; caption: the mask's top-left; line: from (device)
        int w, h;          // caption: the mask's size; line: to (device)
        const uchar* bits; // caption: the mask's rows
        qsizetype bpl;     // caption: bytes per mask row; line: its width in device pixels
    };
    struct Placed {
        Item item;
        int tx0, ty0, tx1, ty1; // the tiles its box meets, inclusive
    };

public:
    struct ReadyLines {
        std::vector<Placed> gathered;
        /** Those drawn at once, each after how many of `gathered` come before it. */
        std::vector<std::pair<std::size_t, Item>> atOnce;
    };

private:
    /** What deviceLine does with a line. */
    enum class LineFate { Nothing, AtOnce, Gathered };
    /** The fate of the line deviceLine(da, db, c, t) draws, with its item (and tiles, when gathered) in `p`. */
    LineFate fateOf(QPoint da, QPoint db, Pixel c, int t, Placed& p) const;
    /** The item with its tiles where `box` lies in the canvas's clip (none: it draws nothing here). */
    std::optional<Placed> placed(const Item& item, const Box& box) const
    {
        const QRect& clip = m_canvas->clip();
        const long long x0 = std::max<long long>(box.x0, clip.left()),
                        x1 = std::min<long long>(box.x1, clip.right() + 1);
        const long long y0 = std::max<long long>(box.y0, clip.top()),
                        y1 = std::min<long long>(box.y1, clip.bottom() + 1);
        if (x0 >= x1 || y0 >= y1)
            return std::nullopt;
        return Placed{item, int((x0 - clip.left()) / TileWidth), int((y0 - clip.top()) / TileHeight),
                      int((x1 - 1 - clip.left()) / TileWidth), int((y1 - 1 - clip.top()) / TileHeight)};
    }

    void add(const Item& item, const Box& box)
    {
        if (const std::optional<Placed> p = placed(item, box))
            gather(*p);
    }
    void gather(const Placed& p)
    {
        if (m_direct)
            draw(*m_canvas, p.item);
        else
            m_items.push_back(p);
    }

    template <typename Visit> void forEachTile(Visit visit) const
    {
        const size_t columns = size_t((m_canvas->clip().width() + TileWidth - 1) / TileWidth);
        for (size_t i = 0; i < m_items.size(); ++i) {
            const Placed& p = m_items[i];
            for (int r = p.ty0; r <= p.ty1; ++r)
                for (int c = p.tx0; c <= p.tx1; ++c)
                    visit(i, size_t(r) * columns + size_t(c));
        }
    }

    /** The corners of the marker's diamond around panel point q, the first again at the end: its four lines. */
    static std::array<QPoint, 5> diamondCorners(QPoint q)
    {
        return {{{q.x() - 4, q.y()}, {q.x(), q.y() + 4}, {q.x() + 4, q.y()}, {q.x(), q.y() - 4}, {q.x() - 4, q.y()}}};
    }

    /** The pixels of the diamond's lines one pixel wide around the point (0, 0), as walkLine walks them. */
    static const std::vector<QPoint>& diamondPixels()
    {
        static const std::vector<QPoint> pixels = [] {
            std::vector<QPoint> out;
            const auto corners = diamondCorners(QPoint(0, 0));
            for (std::size_t c = 0; c < 4; ++c)
                walkLine(
                    corners[c], corners[c + 1], 1, QRect(-8, -8, 17, 17),
                    [&](int x, int y0, int y1) {
                        for (int y = y0; y < y1; ++y)
                            out.push_back({x, y});
                    },
                    [&](int y, int x0, int x1) {
                        for (int x = x0; x < x1; ++x)
                            out.push_back({x, y});
                    });
            return out;
        }();
        return pixels;
    }

    void draw(const Canvas& canvas, const Item& it) const
    {
        switch (it.kind) {
        case Item::Frame:
            canvas.squareFrame(QPoint(it.x, it.y), 3, it.colour);
            break;
        case Item::Diamond: {
            const QPoint q(it.x, it.y);
            if (canvas.ratio() == 1) {
                // Its pixels around the point, walked once: twenty thousand markers in
                // view are twenty thousand diamonds, each of four lines to walk.
                const QRect& clip = canvas.clip();
                const int x0 = clip.left(), x1 = clip.right(), y0 = clip.top(), y1 = clip.bottom();
                if (q.x() + 4 >= x0 && q.x() - 4 <= x1 && q.y() + 4 >= y0 && q.y() - 4 <= y1) {
                    for (const QPoint d : diamondPixels()) {
                        const int x = q.x() + d.x(), y = q.y() + d.y();
                        if (x >= x0 && x <= x1 && y >= y0 && y <= y1)
                            canvas.row(y)[x] = it.colour;
                    }
                }
                break;
            }
            const auto corners = diamondCorners(q);
            for (int c = 0; c < 4; ++c)
                canvas.panelLine(corners[std::size_t(c)], corners[std::size_t(c) + 1], it.colour, 1);
            break;
        }
        case Item::Caption:
            canvas.blend(it.bits, it.bpl, it.w, it.h, it.x, it.y, it.colour);
            break;
        case Item::Line:
            canvas.line(QPoint(it.x, it.y), QPoint(it.w, it.h), it.colour, int(it.bpl));
            break;
        case Item::Layer:
            m_routeLayer.layer->layOver(canvas.bits(), canvas.bytesPerLine(), canvas.clip(), m_routeLayer.offset,
                                        m_routeLayer.pens);
            break;
        }
    }

    WorkShare* m_share = nullptr;
    bool m_alone = false; // see drawAlone
    /** What a gathered Layer item lays (see layerOver). */
    struct {
        const RouteLayer* layer = nullptr;
        QPoint offset;
        const Pixel* pens = nullptr;
    } m_routeLayer;
    std::int64_t m_ink = 0;      // the caption pixels gathered since the last flush
    std::int64_t m_gathered = 0; // and since resetGathered()
    std::optional<Canvas> m_canvas;
    const Layers* m_layers = nullptr;
    bool m_direct = false;        // drawn as they come (see beginDirect)
    std::vector<char> m_pictured; // with layers: which tile rows hold their picture
    std::vector<Placed> m_items;
    std::vector<Item> m_sorted;
    std::vector<std::uint32_t> m_start, m_fill;
};

TiledOverlay::LineFate TiledOverlay::fateOf(QPoint da, QPoint db, Pixel c, int t, Placed& p) const
{
    const Canvas& cv = *m_canvas;
    const Box box = lineBox(da, db, t);
    const QRect& clip = cv.clip();
    const long long tilesX = std::min<long long>(box.x1, clip.right() + 1) - std::max<long long>(box.x0, clip.left());
    const long long tilesY = std::min<long long>(box.y1, clip.bottom() + 1) - std::max<long long>(box.y0, clip.top());
    p = {{Item::Line, c, da.x(), da.y(), db.x(), db.y(), nullptr, t}, 0, 0, 0, 0};
    // A paint composed in bands gathers it too: drawn at once, it would need the picture
    // of every band first.
    if (!m_layers && tilesX > 0 && tilesY > 0
        && (m_direct || (tilesX / TileWidth + 1) * (tilesY / TileHeight + 1) > LongLineTiles))
        return LineFate::AtOnce;
    const std::optional<Placed> in = placed(p.item, box);
    if (!in)
        return LineFate::Nothing;
    p = *in;
    return LineFate::Gathered;
}

void TiledOverlay::deviceLine(QPoint da, QPoint db, Pixel c, int t)
{
    Placed p;
    switch (fateOf(da, db, c, t, p)) {
    case LineFate::AtOnce:
        flush(); // what lies beneath it first
        m_canvas->line(da, db, c, t);
        break;
    case LineFate::Gathered:
        gather(p);
        break;
    case LineFate::Nothing:
        break;
    }
}

void TiledOverlay::ready(QPoint da, QPoint db, Pixel c, int t, ReadyLines& lines) const
{
    Placed p;
    switch (fateOf(da, db, c, t, p)) {
    case LineFate::AtOnce:
        lines.atOnce.push_back({lines.gathered.size(), p.item});
        break;
    case LineFate::Gathered:
        lines.gathered.push_back(p);
        break;
    case LineFate::Nothing:
        break;
    }
}

void TiledOverlay::take(const ReadyLines& lines)
{
    // The gathered ones between two drawn at once go in together.
    const auto gatherRange = [&](std::size_t from, std::size_t to) {
        if (m_direct) {
            for (std::size_t k = from; k < to; ++k)
                draw(*m_canvas, lines.gathered[k].item);
        } else {
            m_items.insert(m_items.end(), lines.gathered.begin() + std::ptrdiff_t(from),
                           lines.gathered.begin() + std::ptrdiff_t(to));
        }
    };
    std::size_t from = 0;
    for (const auto& [before, it] : lines.atOnce) {
        gatherRange(from, before);
        from = before;
        flush(); // what lies beneath it first
        m_canvas->line(QPoint(it.x, it.y), QPoint(it.w, it.h), it.colour, int(it.bpl));
    }
    gatherRange(from, lines.gathered.size());
}

/** Makes the back buffer the panel's size at its own device pixel ratio (the picture step fills it). */
void prepareBackBuffer(QImage& backBuffer, const MapScene& scene)
{
    fitBackBuffer(backBuffer, scene.view.panel(), backBuffer.isNull() ? 1.0 : backBuffer.devicePixelRatio());
}

bool routesShown(const Settings& st)
{
    return st.ShowSkarnels || st.ShowShips || st.ShowMagesGuild;
}

/** How a location of one status shows: whether its toggle is on, and its frame colour (none for an unknown status). */
struct StatusStyle {
    bool shown = false;
    const QColor* colour = nullptr;
};

StatusStyle styleOf(int status, const Settings& st, const DrawingObjects& o)
{
    switch (status) {
    case Unvisited:
        return {st.ShowUnvisited, &o.BrushUnvisited};
    case Active:
        return {st.ShowActive, &o.BrushActive};
    case Visited:
        return {st.ShowVisited, &o.BrushVisited};
    default:
        return {};
    }
}

/** The style of a location in this scene: a place the place filter keeps out is hidden as its status toggle would hide
 * it. */
StatusStyle styleOf(const Location& l, const MapScene& scene)
{
    StatusStyle style = styleOf(l.Status, scene.settings, scene.objects);
    if (style.shown && scene.places && !scene.places->admits(l))
        style.shown = false;
    return style;
}

/**
 * What a place draws in one paint, in a byte (see StatusStyles::lookOf), so the parts of a
 * crowded view's paint read a byte for each of its places instead of its record.
 */
namespace PlaceLook {
constexpr std::uint8_t Status = 0x3;   // the status's place among the three, when Coloured
constexpr std::uint8_t Coloured = 0x4; // a frame in its status's colour
constexpr std::uint8_t Caption = 0x8;  // its caption shows
constexpr std::uint8_t Nothing = 0xFF; // draws nothing: not shared out to any part
} // namespace PlaceLook

/**
 * A caption's width as the overlap plan keeps it from one paint to the next: the advance
 * (1 to Mask; a wider caption is measured each time) and, above it, a mark of the name it
 * was measured for, so a place renamed in place is measured again. 0: nothing kept.
 */
struct KeptWidth {
    static constexpr int Bits = 12;
    static constexpr std::uint32_t Mask = (std::uint32_t(1) << Bits) - 1;

    /** The mark of a name: 20 bits of a hash of its bytes and its length, eight bytes a step. */
    static std::uint32_t markOf(const char* data, qsizetype size)
    {
        std::uint64_t h = 0x9e3779b97f4a7c15u ^ std::uint64_t(size);
        qsizetype k = 0;
        for (; k + 8 <= size; k += 8) {
            std::uint64_t w;
            std::memcpy(&w, data + k, 8);
            h = (h ^ w) * 0xff51afd7ed558ccdu;
            h ^= h >> 32;
        }
        std::uint64_t tail = 0;
        for (int shift = 0; k < size; ++k, shift += 8)
            tail |= std::uint64_t(std::uint8_t(data[k])) << shift;
        h = (h ^ tail) * 0xc4ceb9fe1a85ec53u;
        return std::uint32_t(h >> (64 - (32 - Bits)));
    }
    static std::uint32_t entry(std::uint32_t mark, int width) { return mark << Bits | std::uint32_t(width); }
    /** The width `entry` keeps for a name of mark `mark`; 0 when it keeps none for it. */
    static int widthIn(std::uint32_t entry, std::uint32_t mark)
    {
        return entry >> Bits == mark ? int(entry & Mask) : 0;
    }
};

/**
 * styleOf(L, scene) for the many places of one paint: the three statuses' styles, with
 * their frames' pixels, made once instead of for each place (a crowded view of a huge
 * world frames hundreds of thousands).
 */
class StatusStyles {
public:
    explicit StatusStyles(const MapScene& scene) : m_scene(&scene)
    {
        for (int status = Unvisited; status <= Visited; ++status) {
            const std::size_t k = std::size_t(status - Unvisited);
            m_styles[k] = styleOf(status, scene.settings, scene.objects);
            m_pixels[k] = pixelOf(*m_styles[k].colour);
        }
    }
    /**
     * What location `i`, `L`, draws in a paint at `view` whose highlighted location is
     * `highlight`: nothing (PlaceLook::Nothing), or its frame in the colour of its status
     * (PlaceLook::Coloured and the status's place in colourOf) or, highlighted with a
     * status of no colour, in the colour left by the place before it. Whether its caption
     * shows the plan decides.
     */
    std::uint8_t lookOf(const Location& L, int i, int highlight, const Viewport& view) const
    {
        Pixel frame = 0;
        const StatusStyle style = of(L, frame);
        if (!view.LevelVisible(L.Level) || !(style.shown || i == highlight))
            return PlaceLook::Nothing;
        return style.colour ? std::uint8_t(PlaceLook::Coloured | (L.Status - Unvisited)) : 0;
    }
    /** The frame's pixel of a look that is PlaceLook::Coloured. */
    Pixel colourOf(std::uint8_t look) const { return m_pixels[look & PlaceLook::Status]; }

    /** What styleOf(L, scene) gives; `pixel` is its colour's pixel when it has a colour. */
    StatusStyle of(const Location& L, Pixel& pixel) const
    {
        const std::uint32_t k = std::uint32_t(L.Status) - std::uint32_t(Unvisited);
        if (k >= m_styles.size())
            return {}; // an unknown status
        StatusStyle style = m_styles[k];
        pixel = m_pixels[k];
        if (style.shown && m_scene->places && !m_scene->places->admits(L))
            style.shown = false;
        return style;
    }

private:
    const MapScene* m_scene;
    std::array<StatusStyle, 3> m_styles;
    std::array<Pixel, 3> m_pixels;
};

/** The panel pixels a route's line can touch from end points inside `panelClip`: a 2-pixel line reaches one pixel
 * beyond their box; a few more to spare. */
QRect routeReach(const QRect& panelClip)
{
    return panelClip.adjusted(-4, -4, 4, 4);
}

/** A route's line in device pixels, as the overlay draws it: from a towards b (b left out). */
struct RouteLine {
    QPoint a, b;
    Pixel colour;
};

/** The pens of the route networks in one paint, and which of the networks show. */
struct RoutePens {
    Pixel pens[4];
    bool shown[4];

    explicit RoutePens(const MapScene& scene)
        : pens{0, pixelOf(scene.objects.PenSkarnels), pixelOf(scene.objects.PenShips),
               pixelOf(scene.objects.PenMagesGuild)},
          shown{false, scene.settings.ShowSkarnels, scene.settings.ShowShips, scene.settings.ShowMagesGuild}
    {}

    /**
     * take(line) for the route `r`, in device pixels of `canvas`, unless its network is
     * hidden. Each end's panel point is endPoint(place, map x, map y), from the index's
     * segment, so no place's record is read. A line whose ends fall on one device pixel
     * draws nothing and is left out.
     */
    template <class EndPoint, class Take>
    void line(const Canvas& canvas, const SpatialIndex::Segment& r, EndPoint& endPoint, Take& take) const
    {
        if (!shown[r.kind])
            return;
        const QPoint a = canvas.device(endPoint(r.from, r.fromX, r.fromY));
        const QPoint b = canvas.device(endPoint(r.target, r.targetX, r.targetY));
        if (a != b)
            take(RouteLine{a, b, pens[r.kind]});
    }
};

/**
 * take(line) for each of `routes` (as the index gives them, in drawing order), in the
 * same order (see RoutePens::line); ahead(segment) is told of each segment a few before
 * its ends are asked for.
 */
template <class EndPoint, class AskAhead, class Take>
void forEachRouteLine(const MapScene& scene, const Canvas& canvas,
                      const std::vector<const SpatialIndex::Segment*>& routes, EndPoint endPoint, AskAhead ahead,
                      Take take)
{
    const RoutePens pens(scene);
    // The segments lie far apart in the index's list: each is asked for well before it is
    // read, so the trips to memory overlap instead of coming one after another; its ends'
    // panel points once the segment itself has come.
    constexpr std::size_t Ahead = 16, EndsAhead = 8;
    for (std::size_t k = 0; k < routes.size(); ++k) {
        if (k + Ahead < routes.size())
            __builtin_prefetch(routes[k + Ahead]);
        if (k + EndsAhead < routes.size())
            ahead(*routes[k + EndsAhead]);
        pens.line(canvas, *routes[k], endPoint, take);
    }
}

/**
 * take(line) for the routes the index places near the canvas's clip, in the same order
 * as drawRoutes draws them. When most of the map shows, places meet several routes each:
 * each place's panel point is then converted once and kept in `kept` (by place) for the
 * paint's other rectangles. Reads only the scene and `kept`, so it may run beside what
 * draws the places.
 */
template <class Take>
void forEachIndexedRoute(const MapScene& scene, const Canvas& canvas, std::vector<QPoint>& kept, Take take)
{
    const Viewport& v = scene.view;
    const auto routes = scene.index->routesIn(mapBoxOf(v, routeReach(canvas.panelClip())));
    const bool remember = !kept.empty() || routes.size() > scene.locations.size() / 2;
    if (remember && kept.empty())
        kept.assign(scene.locations.size(), QPoint(INT_MIN, INT_MIN));
    const auto endPoint = [&](std::int32_t i, std::int32_t x, std::int32_t y) {
        if (!remember)
            return v.mapToPanel(x, y);
        QPoint& p = kept[std::size_t(i)];
        if (p.x() == INT_MIN)
            p = v.mapToPanel(x, y);
        return p;
    };
    const auto ahead = [&](const SpatialIndex::Segment& s) {
        if (remember) {
            __builtin_prefetch(&kept[std::size_t(s.from)]);
            __builtin_prefetch(&kept[std::size_t(s.target)]);
        }
    };
    forEachRouteLine(scene, canvas, routes, endPoint, ahead, take);
}

/** Routes over everything: those the index places near the canvas's clip (see forEachIndexedRoute). */
void drawIndexedRoutes(const MapScene& scene, const Canvas& canvas, std::vector<QPoint>& kept, TiledOverlay& overlay)
{
    const int t = canvas.thickness(2);
    forEachIndexedRoute(scene, canvas, kept, [&](const RouteLine& l) { overlay.deviceLine(l.a, l.b, l.colour, t); });
}

/** Routes over everything; a connection listed both ways is simply drawn twice. */
void drawRoutes(const MapScene& scene, const std::vector<QPoint>& panelPoints, TiledOverlay& overlay)
{
    const Settings& st = scene.settings;
    const DrawingObjects& o = scene.objects;
    const LocationList& locs = scene.locations;
    const Pixel pens[4] = {0, pixelOf(o.PenSkarnels), pixelOf(o.PenShips), pixelOf(o.PenMagesGuild)};
    const bool shown[4] = {false, st.ShowSkarnels, st.ShowShips, st.ShowMagesGuild};
    for (size_t i = 0; i < locs.size(); ++i) {
        for (const Route& r : locs[i].Routes) {
            if (r.Kind > 3 || !shown[r.Kind] || r.Target < 0 || size_t(r.Target) >= locs.size())
                continue;
            overlay.line(panelPoints[i], panelPoints[size_t(r.Target)], pens[r.Kind], 2);
        }
    }
}

/**
 * The panel rectangle `to` and the picture rectangle `from` it shows, moved to device
 * pixels: `to` scaled by the ratio and grown to whole pixels, `from` by as much as
 * keeps the picture's scale and place, so a picture pixel lands where the panel's
 * geometry puts it, and the picture reaches the buffer's edges.
 */
void toDevicePixels(QRect& to, QRectF& from, qreal ratio)
{
    if (to.width() <= 0 || to.height() <= 0)
        return;
    const double x0 = to.x() * ratio, x1 = (double(to.x()) + to.width()) * ratio;
    const double y0 = to.y() * ratio, y1 = (double(to.y()) + to.height()) * ratio;
    const double X0 = std::floor(x0), X1 = std::ceil(x1), Y0 = std::floor(y0), Y1 = std::ceil(y1);
    const double perX = from.width() / (x1 - x0), perY = from.height() / (y1 - y0);
    from = QRectF(from.x() + (X0 - x0) * perX, from.y() + (Y0 - y0) * perY, (X1 - X0) * perX, (Y1 - Y0) * perY);
    to = QRect(int(X0), int(Y0), int(X1 - X0), int(Y1 - Y0));
}

/**
 * How the picture step draws a view: the picture at scale f / s, its bitmap pixel
 * (sx, sy) at the panel point (MarginX, MarginY), smooth or pixel mode by the zoom level,
 * in device pixels. It depends on the view, the picture's size, the two smoothing
 * settings and the ratio only, so two paints can tell from their plans alone whether
 * their pictures agree.
 */
struct PicturePlan {
    enum Kind {
        Background, // no picture: the background alone
        Rows,       // one to one: rows copied as they are (a pixel-mode draw with the same mapping)
        Shrunken,   // drawn from a copy of the whole picture at this level's scale
        Direct,     // resampled from the picture itself
    };
    Kind kind = Background;
    QRect to;                                          // device pixels
    QRectF from;                                       // in the picture, or in the shrunken copy
    Resampler::Mode mode = Resampler::Mode::Pixel;     // of the draw onto the buffer
    QSize copySize;                                    // Shrunken: the copy's size
    Resampler::Mode copyMode = Resampler::Mode::Pixel; // Shrunken: how the copy is made

    /** The size of the image the draw reads. */
    QSize source(QSize picture) const { return kind == Shrunken ? copySize : picture; }
};

PicturePlan planPicture(const Viewport& v, const Settings& st, QSize picture, qreal ratio)
{
    PicturePlan plan;
    const int W = v.panel().width(), H = v.panel().height();
    const int PW = picture.width(), PH = picture.height();
    if (picture.isEmpty() || W <= 0 || H <= 0)
        return plan;
    const long double f = v.factor();
    const long double s = v.mapScale();
    const int sx = truncToInt(v.scrollX() / f * s);
    const int sy = truncToInt(v.scrollY() / f * s);
    const int sw = truncToInt((W - 330) / f * s + PW / f);
    const int sh = truncToInt((H - 380) / f * s + PH / f);
    if (v.mapCoversPanel()) {
        plan.to = QRect(0, 0, W, H);
        plan.from = QRectF(sx, sy, sw, sh);
    } else {
        plan.to = QRect(v.marginX(), v.marginY(), truncToInt(PW * f / s), truncToInt(PH * f / s));
        plan.from = (sw < PW && sh < PH) ? QRectF(sx, sy, sw, sh) : QRectF(sx, sy, PW, PH);
    }
    const Resampler::Mode mode
        = (st.MapAA && v.zoomIndex() >= st.ZoomLevelAA) ? Resampler::Mode::Smooth : Resampler::Mode::Pixel;
    if (ratio != 1)
        toDevicePixels(plan.to, plan.from, ratio);
    // Device pixels per picture pixel.
    const double k = double(f / s) * ratio;
    const QRectF from = plan.from;
    if (k == 1.0 && from.width() == plan.to.width() && from.height() == plan.to.height()
        && from.x() == std::floor(from.x()) && from.y() == std::floor(from.y())) {
        plan.kind = PicturePlan::Rows;
        return plan;
    }
    if (k < 1.0 && PW > 1 && PH > 1) {
        // Shrinking: a copy of the whole picture at this level's scale, made once (averaged
        // over every source pixel in smooth mode), then copied one to one, instead of
        // reading a source area several times the panel's size per paint.
        plan.kind = PicturePlan::Shrunken;
        plan.copySize = QSize(std::max(1, int(std::lround(PW * k))), std::max(1, int(std::lround(PH * k))));
        plan.copyMode = mode;
        const double cx = double(plan.copySize.width()) / PW, cy = double(plan.copySize.height()) / PH;
        plan.from = QRectF(from.x() * cx, from.y() * cy, from.width() * cx, from.height() * cy);
        const bool oneToOne = plan.to.width() > 0 && plan.to.height() > 0
                              && std::abs(plan.from.width() / plan.to.width() - 1.0) < 0.01
                              && std::abs(plan.from.height() / plan.to.height() - 1.0) < 0.01;
        plan.mode = oneToOne ? Resampler::Mode::Pixel : mode;
        return plan;
    }
    plan.kind = PicturePlan::Direct;
    plan.mode = mode;
    return plan;
}

} // namespace

struct MapPainter::Private {
    Private() = default;
    explicit Private(std::int64_t captionBudget) : captions(captionBudget, captionBudget) {}

    /** The whole picture at one shrinking level's scale, averaged or made of dropped pixels. */
    struct LevelCopy {
        QSize size;
        Resampler::Mode mode;
        int zoom; // the level it was made for
        QImage image;
    };
    qint64 pictureKey = 0;
    std::vector<LevelCopy> levels;
    /** A level's copy its first paint did without, for the window's idle time to make (see makeSkippedCopies). */
    struct SkippedCopy {
        qint64 pictureKey;
        QSize size;
        Resampler::Mode mode;
        int zoom;
    };
    std::vector<SkippedCopy> skippedCopies;

    /**
     * Whether a level's first paint of `picture` at `zoom` may do without its copy: once
     * per level until the idle time comes (zoom steps back and forth before it make the
     * copies as before, instead of reading the picture at every step).
     */
    bool skipsCopy(const QImage& picture, const PicturePlan& plan, int zoom)
    {
        const auto same = [&](const SkippedCopy& c) {
            return c.pictureKey == picture.cacheKey() && c.size == plan.copySize && c.mode == plan.copyMode;
        };
        if (std::any_of(skippedCopies.begin(), skippedCopies.end(), same))
            return false;
        skippedCopies.push_back({picture.cacheKey(), plan.copySize, plan.copyMode, zoom});
        return true;
    }

    /** Makes the copies first paints did without, of levels near the one shown while their picture is `picture`. */
    void makeSkippedCopies(const QImage& picture)
    {
        std::vector<SkippedCopy> skipped;
        skipped.swap(skippedCopies);
        for (const SkippedCopy& c : skipped) {
            const int shown = lastWhole ? lastWhole->zoom : c.zoom;
            if (picture.cacheKey() == c.pictureKey && std::abs(c.zoom - shown) <= 1)
                levelCopy(picture, c.size, c.mode, c.zoom);
        }
    }

    QString fontKey;
    CaptionFont captionFont;
    /** What was learned of a font ahead: the renderers made for that font start from it (see startFontFrom). */
    std::shared_ptr<const LearnedFont> fontAhead;
    /** Captions rendered ahead, until the end of the first whole paint of a world's places (see takeCaptionsAhead). */
    std::unique_ptr<CaptionsAhead> captionsAhead;
    int takenAhead = 0; // by the last paint
    /** The captions rendered ahead a paint at `ratio` may take: rendered with its font at that ratio (null: none). */
    CaptionsAhead* aheadFor(qreal ratio) const
    {
        return captionsAhead && captionsAhead->ratio() == ratio && captionsAhead->fontKey() == fontKey
                   ? captionsAhead.get()
                   : nullptr;
    }
    /** Renders the captions, each glyph of the caption font rasterised once. */
    std::optional<CaptionRenderer> captionRenderer;
    /** The second core's renderer, with glyphs of its own (see renderMissing). */
    std::optional<CaptionRenderer> helperRenderer;
    /** The view and ratio of the last paint of the whole panel (none: since the font changed). */
    struct WholeView {
        int zoom;
        QPoint scroll;
        qreal ratio;
    };
    std::optional<WholeView> lastWhole;
    std::int64_t lastInk = 0;
    /**
     * A paint of a view the panel does not show yet is under way (paintAhead): the view
     * shown stays the one the next paint is compared with, and its level's copies of the
     * picture stay.
     */
    bool paintingAhead = false;

    /** Whether a paint of the whole panel at `v` may miss many captions: another level, ratio or place than the last.
     */
    bool mayMissMany(const Viewport& v, qreal ratio) const
    {
        if (!lastWhole || lastWhole->zoom != v.zoomIndex() || lastWhole->ratio != ratio)
            return true;
        const QPoint moved = v.scroll() - lastWhole->scroll;
        return std::abs(moved.x()) >= v.panel().width() / 2 || std::abs(moved.y()) >= v.panel().height() / 2;
    }
    int lineHeight = 0, maxCharWidth = 1;
    CaptionCache captions;
    /** The second core, drawing a share of a crowded paint's tiles. */
    std::unique_ptr<WorkShare> share = std::make_unique<WorkShare>();
    /** What the paint draws over the picture, gathered and drawn a tile at a time. */
    TiledOverlay overlay{share.get()};
    /** A paint of a world of more places than this is made in parts (see paintInPartsAbove). */
    std::size_t partedAbove = HugeWorldAbove;
    /**
     * Whether `scene`'s world is one painted in parts: its memory goes to the places, so
     * the idle time paints whole frames ahead instead of making the copies of levels.
     */
    bool partedWorld(const MapScene& scene) const { return scene.locations.size() > partedAbove; }
    /** How many tile rows (at the ratio 1) one part of such a paint takes. */
    static constexpr int PartRows = 2;
    /**
     * The panel points of the places and route ends a paint through the index converts:
     * in a paint in parts, each distinct coordinate once for all the paints of a level.
     * A smaller world's view shares too few coordinates for the tables to pay over
     * converting each place once: there each point is converted as it comes.
     */
    PanelPoints conversions;
    /** With "Hide overlapping captions": the captions this paint draws (see planCaptions). */
    bool hiding = false;
    std::vector<bool> shownLocations, shownMarkers;
    std::vector<SpatialIndex::Placed> placed; // the plan's places, reused by the next plan
    std::vector<QPoint> placedAt;             // the panel point of each of them
    std::vector<std::uint8_t> placedLooks;    // what each of them draws (see PlaceLook), read off a record once
    std::vector<std::uint8_t> placedShown;    // whether the plan shows each one's caption
    bool placedLooksRead = true; // false: placedLooks is yet to be read, for a paint whose highlight is placedLooksFor
    int placedLooksFor = -1;
    std::optional<MapBox> plannedBox; // where this paint's plan found them (none: no plan asked the index)
    class PictureAside;

    /**
     * Where rendering ahead for a level stopped, and for which view of it: the next slice
     * for the same view goes on from there instead of looking at every place before it
     * again (at a million places that look alone took several times a slice's time).
     */
    struct AheadCursor {
        QPoint scroll;
        QSize panel;
        qreal ratio = 0;
        const Location* locations = nullptr;
        std::size_t places = 0, markers = 0;
        std::size_t visited = 0; // places and markers looked at by the slices so far
        bool ordered = false;
        std::vector<int> order; // the places the pass looks at, found once for all its slices
        void reset(const MapScene& scene, qreal r)
        {
            *this = AheadCursor{};
            scroll = scene.view.scroll();
            panel = scene.view.panel();
            ratio = r;
            locations = scene.locations.data();
            places = scene.locations.size();
            markers = scene.markers.size();
        }
        bool sameView(const MapScene& scene, qreal r) const
        {
            return scroll == scene.view.scroll() && panel == scene.view.panel() && ratio == r
                   && locations == scene.locations.data() && places == scene.locations.size()
                   && markers == scene.markers.size();
        }
    };
    std::vector<AheadCursor> aheadCursors = std::vector<AheadCursor>(Viewport::HighestZoom + 1);

    /** The copy of `picture` at `size` made in `mode`, if one is kept (null: none). */
    const QImage* keptLevelCopy(const QImage& picture, QSize size, Resampler::Mode mode)
    {
        if (picture.cacheKey() != pictureKey) {
            levels.clear();
            pictureKey = picture.cacheKey();
        }
        for (const LevelCopy& l : levels)
            if (l.size == size && l.mode == mode)
                return &l.image;
        return nullptr;
    }

    const QImage& levelCopy(const QImage& picture, QSize size, Resampler::Mode mode, int zoom)
    {
        if (const QImage* kept = keptLevelCopy(picture, size, mode))
            return *kept;
        levels.push_back({size, mode, zoom, scaledOnBothCores(picture, size, mode)});
        return levels.back().image;
    }

    /**
     * A copy of the whole picture as Resampler::scaled makes it, made a band of rows at a
     * time on whichever thread runs each band (each band is filled and drawn while its
     * rows are in the processor's cache). Made on the calling thread, then only its bands
     * are run.
     */
    struct CopyBands {
        static constexpr int BandRows = 64;
        QImage image;
        std::optional<Resampler::Drawing> drawing;
        uchar* bits = nullptr;
        qsizetype bytesPerLine = 0;
        Resampler::Drawing::Rows rows[2];

        CopyBands(const QImage& picture, QSize size, Resampler::Mode mode) : image(size, QImage::Format_RGB32)
        {
            if (image.isNull())
                return;
            const QRect all(QPoint(0, 0), size);
            drawing.emplace(size, all, picture, QRectF(0, 0, picture.width(), picture.height()), mode, all);
            bits = image.bits();
            bytesPerLine = image.bytesPerLine();
        }
        int count() const { return image.isNull() ? 0 : (image.height() + BandRows - 1) / BandRows; }
        /** Band `band` on `thread` (0 or 1, see WorkShare::run). */
        void band(int band, int thread)
        {
            const int top = band * BandRows, bottom = std::min(image.height(), top + BandRows);
            // Only what the drawing leaves gets the black scaled() starts from: it writes
            // every pixel of the rectangle it draws (mostly the whole copy).
            const QRect drawn = drawing->drawn();
            for (int y = top; y < bottom; ++y) {
                Pixel* line = reinterpret_cast<Pixel*>(bits + y * bytesPerLine);
                if (y < drawn.top() || y > drawn.bottom()) {
                    std::fill_n(line, image.width(), Pixel(0xFF000000u));
                    continue;
                }
                std::fill_n(line, drawn.left(), Pixel(0xFF000000u));
                std::fill_n(line + drawn.left() + drawn.width(), image.width() - drawn.left() - drawn.width(),
                            Pixel(0xFF000000u));
            }
            drawing->drawRows(bits, bytesPerLine, top, bottom, rows[thread]);
        }
    };

    /**
     * What Resampler::scaled gives, its bands of rows drawn on both threads: a first
     * visit of a shrinking level makes its copy of the whole picture (millions of pixels
     * at 50 %) before anything is drawn.
     */
    QImage scaledOnBothCores(const QImage& picture, QSize size, Resampler::Mode mode)
    {
        if (!share->helps() || size.height() < 2 * CopyBands::BandRows)
            return Resampler::scaled(picture, size, mode);
        CopyBands copy(picture, size, mode);
        share->run(copy.count(), [&](int band, int thread) { copy.band(band, thread); });
        return std::move(copy.image);
    }

    /**
     * Lets the copies of levels more than a zoom step from `zoom` go: a zoom step finds
     * its copy, and a big picture's copies of every shrinking level (a quarter of the
     * picture's own bytes at 50 %) are not all held at once.
     */
    void forgetFarCopies(int zoom)
    {
        std::erase_if(levels, [zoom](const LevelCopy& l) { return std::abs(l.zoom - zoom) > 1; });
    }

    void useFont(const QFont& f)
    {
        const QString key = f.key();
        if (key == fontKey)
            return;
        fontKey = key;
        captionFont = CaptionFont(f);
        captionRenderer.emplace(captionFont, nullptr, fontAhead);
        // The helper's renderer gets a font that shares nothing with this one: a font
        // keeps the engines of the thread that used it, so two threads must not share one.
        // What their shapers learn they share: each pair is laid out whole once, not twice.
        CaptionFont own = captionFont;
        own.font.setKerning(!own.font.kerning()); // a change makes the copy its own
        own.font.setKerning(captionFont.font.kerning());
        helperRenderer.emplace(own, captionRenderer->learned(), fontAhead);
        lastWhole.reset();
        captions.clear();
        nameWidths.clear();
        markerWidths.clear();
        lineHeight = captionFont.lineHeight;
        maxCharWidth = captionFont.maxCharWidth;
    }

    /** The rendered caption of `text` at the device pixel ratio, used by this paint for map point `where`. */
    const CaptionCache::Entry& caption(const QByteArray& text, qreal ratio, QPoint where)
    {
        if (const CaptionCache::Entry* hit = captions.find(text, ratio, where))
            return *hit;
        PackedCaption r;
        const std::ptrdiff_t ahead
            = aheadFor(ratio) ? captionsAhead->find(text, CaptionCache::hashOf(text, ratio)) : std::ptrdiff_t(-1);
        if (ahead >= 0) {
            r = captionsAhead->take(ahead);
            ++takenAhead;
        } else
            r = captionRenderer->renderPacked(text, ratio);
        // Making room may take captions this paint gathered and has not drawn yet.
        if (captions.insertEvicts(CaptionCache::footprint(text, r.mask)))
            overlay.flush();
        return captions.insert(text, std::move(r.mask), r.offset, ratio, where, r.advance);
    }

    /**
     * The caption each location and each marker used last, by its index in its list, so
     * a crowded paint finds most captions without hashing a text: an entry is kept only
     * while the cache removes nothing (its generation stays) at the same ratio, and is
     * used only when its text is still the item's caption.
     */
    using CaptionSlots = std::vector<const CaptionCache::Entry*>;
    CaptionSlots locationSlots, markerSlots;
    std::uint64_t slotGeneration = 0;
    qreal slotRatio = 0;

    /**
     * One item's slot: its list's slots, its index and the list's size (0: no slot, in a
     * paint in parts, whose cache lets go of captions after every part: the slots would be
     * forgotten as often, and at a million places they take 8 MB).
     */
    struct Slot {
        CaptionSlots& held;
        std::size_t index, count;
    };

    /**
     * With overlapping captions hidden, the slots of the items whose captions the plan
     * shows, in a paint in parts: a few thousand of them, where a slot for every place
     * would take 8 MB, so each caption is looked up once and not again by the next part
     * or the next paint while the cache removes nothing. A plan carries over the slots of
     * the items both it and the plan before show.
     */
    struct ShownSlots {
        std::vector<int> order; // the items shown, ascending
        CaptionSlots held;      // by position in `order`

        /** Follows a plan that shows `shown` (ascending; taken). */
        void follow(std::vector<int>& shown)
        {
            CaptionSlots kept(shown.size(), nullptr);
            std::size_t k = 0;
            for (std::size_t j = 0; j < shown.size(); ++j) {
                while (k < order.size() && order[k] < shown[j])
                    ++k;
                if (k < order.size() && order[k] == shown[j])
                    kept[j] = held[k];
            }
            order.swap(shown);
            held.swap(kept);
        }
        /** The slot of item `i`, which the plan shows. */
        Slot of(int i)
        {
            const auto at = std::lower_bound(order.begin(), order.end(), i);
            return {held, std::size_t(at - order.begin()), held.size()};
        }
    };
    ShownSlots shownLocationSlots, shownMarkerSlots;

    void forgetStaleSlots(qreal ratio)
    {
        if (captions.generation() == slotGeneration && ratio == slotRatio)
            return;
        std::fill(locationSlots.begin(), locationSlots.end(), nullptr);
        std::fill(markerSlots.begin(), markerSlots.end(), nullptr);
        std::fill(shownLocationSlots.held.begin(), shownLocationSlots.held.end(), nullptr);
        std::fill(shownMarkerSlots.held.begin(), shownMarkerSlots.held.end(), nullptr);
        slotGeneration = captions.generation();
        slotRatio = ratio;
    }

    /** Whether `caption` is what cutCaption(name, limit) gives, without making that. */
    static bool isCaptionOf(const QByteArray& caption, const QByteArray& name, int limit)
    {
        // A caption kept for a name mostly shares its bytes: they need not be read then.
        if (limit <= 0 || name.size() <= limit)
            return caption.size() == name.size() && (caption.constData() == name.constData() || caption == name);
        return caption.size() == limit + 3 && std::memcmp(caption.constData(), name.constData(), size_t(limit)) == 0
               && std::memcmp(caption.constData() + limit, "...", 3) == 0;
    }

    /**
     * In a paint in parts showing every caption: the captions of the places of the part
     * under way, by their position in its list, as its gathering found or added them (see
     * renderMissing), each still held while the cache's generation is partGeneration.
     * Making room for the captions a part lacks takes none the part has used, so only a
     * removal after that forgets them.
     */
    CaptionSlots partSlots;
    std::uint64_t partGeneration = 0;
    /** In a paint in parts: the position in the part's list of the place being visited (see forEachPlaceIn). */
    mutable std::size_t placeAt = 0;

    /** Readies partSlots for the part under way: none held yet. */
    void beginPartSlots()
    {
        partSlots.assign(hiding ? 0 : partItems->places.size(), nullptr);
        partGeneration = captions.generation();
    }

    /** The rendered caption of an item's `name` cut at `limit`, found through its slot where it can be. */
    const CaptionCache::Entry& caption(const QByteArray& name, int limit, qreal ratio, QPoint where, Slot slot)
    {
        if (slot.count == 0)
            return caption(cutCaption(name, limit), ratio, where);
        if (&slot.held == &partSlots) {
            if (const CaptionCache::Entry* kept = partSlots[slot.index];
                kept && captions.generation() == partGeneration && isCaptionOf(kept->text, name, limit)) {
                captions.reuse(*kept, where);
                return *kept;
            }
            return caption(cutCaption(name, limit), ratio, where);
        }
        forgetStaleSlots(ratio);
        if (slot.held.size() != slot.count)
            slot.held.assign(slot.count, nullptr);
        if (const CaptionCache::Entry* kept = slot.held[slot.index]; kept && isCaptionOf(kept->text, name, limit)) {
            captions.reuse(*kept, where);
            return *kept;
        }
        const CaptionCache::Entry& e = caption(cutCaption(name, limit), ratio, where);
        keepInSlot(slot, e, ratio); // rendering it may have made room
        return e;
    }

    /** Keeps `e`, held now at `ratio`, in `slot` (none in a paint in parts). */
    void keepInSlot(Slot slot, const CaptionCache::Entry& e, qreal ratio)
    {
        if (slot.count == 0)
            return;
        forgetStaleSlots(ratio); // what the slots held before may have gone
        if (slot.held.size() != slot.count)
            slot.held.assign(slot.count, nullptr);
        slot.held[slot.index] = &e;
    }

    Slot locationSlot(const MapScene& scene, int i)
    {
        if (partItems && hiding && shownLocations[size_t(i)])
            return shownLocationSlots.of(i);
        // Showing every caption, a part's places have slots by their position in its list.
        if (partItems && placeAt < partSlots.size() && partItems->places[placeAt] == i)
            return {partSlots, placeAt, partSlots.size()};
        return {locationSlots, size_t(i), partItems ? 0 : scene.locations.size()};
    }
    Slot markerSlot(const MapScene& scene, int i)
    {
        if (partItems && hiding && shownMarkers[size_t(i)])
            return shownMarkerSlots.of(i);
        return {markerSlots, size_t(i), partItems ? 0 : scene.markers.size()};
    }

    /** Whether a caption of `chars` characters with its top-left at `at` can reach the panel. */
    bool mayReachPanel(QSize panel, QPoint at, long long chars) const
    {
        return !((long long)at.y() - 2 >= panel.height() || (long long)at.y() + lineHeight + 2 < 0
                 || (long long)at.x() - 2 >= panel.width() || (long long)at.x() + (chars + 1) * maxCharWidth + 2 < 0);
    }

    /**
     * Whether a caption of `chars` characters with its top-left at `at` can reach `clip`
     * (panel pixels): a clipped paint leaves out captions far from its clip. mayReachPanel
     * decides what a caption may draw, the blend clips it, and this bound is wider than
     * any ink.
     */
    bool mayReachClip(const QRect& clip, QPoint at, long long chars) const
    {
        return !((long long)at.y() - lineHeight - 2 > clip.bottom()
                 || (long long)at.y() + 2 * lineHeight + 2 < clip.top()
                 || (long long)at.x() - maxCharWidth - 2 > clip.right()
                 || (long long)at.x() + (chars + 2) * maxCharWidth + 2 < clip.left());
    }

    static long long shownChars(const QByteArray& name, int limit) { return shownChars(name.size(), limit); }
    /** The same for a name of `size` bytes. */
    static long long shownChars(qsizetype size, int limit) { return (limit > 0 && size > limit) ? limit + 3 : size; }

    /**
     * Caption top-left at `at` (its baseline one ascent lower), captioning map point
     * `where`; skipped when it cannot show.
     */
    void drawCaption(const Canvas& canvas, const QByteArray& name, int limit, QPoint at, Pixel colour, QPoint where,
                     Slot slot)
    {
        if (const CaptionCache::Entry* e = captionFor(canvas, name, limit, at, where, slot))
            blendCaption(overlay, canvas, *e, at, colour);
    }

    /** The caption drawCaption draws, looked up (or rendered) as it looks it up; null when it draws none. */
    const CaptionCache::Entry* captionFor(const Canvas& canvas, const QByteArray& name, int limit, QPoint at,
                                          QPoint where, Slot slot)
    {
        if (name.isEmpty())
            return nullptr;
        // Cheap bounds first, so far-off captions never touch the cache.
        const long long chars = shownChars(name, limit);
        if (!mayReachPanel(QSize(canvas.panelWidth(), canvas.panelHeight()), at, chars))
            return nullptr;
        if (!mayReachClip(canvas.panelClip(), at, chars))
            return nullptr;
        return &caption(name, limit, canvas.ratio(), where, slot);
    }

    /** Caption `e` with its top-left at panel point `at`, onto `to`. */
    static void blendCaption(TiledOverlay& to, const Canvas& canvas, const CaptionCache::Entry& e, QPoint at,
                             Pixel colour)
    {
        const QPoint origin = canvas.device(at);
        to.caption(e.ink, origin.x() + e.offset.x(), origin.y() + e.offset.y(), colour);
    }

    /** The map box of the places whose frame or caption can reach `panelArea` (panel pixels). */
    MapBox placesBox(const MapScene& scene, const QRect& panelArea) const
    {
        return mapBoxOf(scene.view,
                        reachArea(panelArea, scene.settings.TextLength, scene.index->longestLocationName()));
    }

    /**
     * What one part of a paint in parts draws over, found once for all the parts of its
     * rectangle: a look at the index per part costs nearly as much as one for the whole.
     */
    struct PartItems {
        std::vector<int> places;    // as locationsIn gives them for the part's placesBox (or fewer, see itemsOfParts)
        std::vector<QPoint> points; // their panel points, when the plan found them (else empty)
        std::vector<std::uint8_t> looks; // what they draw, when the plan found them (see PlaceLook)
        std::vector<RouteLine> routes;   // those whose box meets the part, in drawing order
        // Of the places whose caption the plan shows, in their order: each one's slot in
        // shownLocationSlots, when the plan found them.
        std::vector<std::uint32_t> shownSlots;
    };
    /** While a part is drawn: its items (none: the index is asked). */
    const PartItems* partItems = nullptr;

    /** visit(i) for each place whose frame or caption can reach `panelArea`, ascending (with an index covering them).
     */
    template <typename Visit> void forEachPlaceIn(const MapScene& scene, const QRect& panelArea, Visit visit) const
    {
        // The places of a crowded view lie scattered over a huge list: each record is
        // asked for a few places before it is visited, so the trips to memory overlap.
        const auto visitAll = [&](const std::vector<int>& places) {
            constexpr std::size_t Ahead = 16, PointAhead = 8;
            const Location* records = scene.locations.data();
            for (std::size_t k = 0; k < places.size(); ++k) {
                if (k + Ahead < places.size()) {
                    // A record may straddle two cache lines: the level and the status both.
                    const Location& L = records[places[k + Ahead]];
                    __builtin_prefetch(&L.Level);
                    __builtin_prefetch(&L.Status);
                }
                if (partItems && k + PointAhead < places.size()) {
                    // Its point's conversions, once its record has come (a view's places
                    // lie scattered over the tables too; a paint in parts has them).
                    const Location& L = records[places[k + PointAhead]];
                    conversions.prefetch(L.X, L.Y);
                }
                // The captions the part's gathering found for them, if any (see partSlots).
                if (k + PointAhead < partSlots.size() && partSlots[k + PointAhead])
                    captions.prefetch(*partSlots[k + PointAhead], false);
                if (k + PointAhead / 2 < partSlots.size() && partSlots[k + PointAhead / 2])
                    captions.prefetch(*partSlots[k + PointAhead / 2], true);
                placeAt = k;
                visit(places[k]);
            }
        };
        if (partItems)
            visitAll(partItems->places);
        else
            visitAll(scene.index->locationsIn(scene.view, placesBox(scene, panelArea)));
    }

    /**
     * The places of each of `parts` (panel pixels: one rectangle's, top to bottom, within
     * `whole`), in the order the index gives them for each part alone. A map box falls in
     * map units as the panel's rows go down, so the parts holding an item's point are a
     * run of them, found by bisection. True when they are the places the plan found, with
     * its points and what each draws (see sharePlanned).
     */
    bool itemsOfParts(const MapScene& scene, const QRect& whole, const std::vector<QRect>& parts,
                      std::vector<PartItems>& out)
    {
        const Viewport& v = scene.view;
        out.assign(parts.size(), {});
        std::vector<MapBox> boxes(parts.size());
        const auto runOf = [&](std::int64_t ylo, std::int64_t yhi, auto take) {
            // The first part whose box reaches down to yhi, then on while its box reaches up to ylo.
            auto k = std::partition_point(boxes.begin(), boxes.end(), [&](const MapBox& b) { return b.ylo > yhi; });
            for (; k != boxes.end() && k->yhi >= ylo; ++k)
                take(std::size_t(k - boxes.begin()), *k);
        };
        for (std::size_t k = 0; k < parts.size(); ++k)
            boxes[k] = placesBox(scene, parts[k]);
        // A paint of the whole panel with overlapping captions hidden has asked the index
        // for the same box already, for its plan.
        const MapBox box = placesBox(scene, whole);
        if (plannedBox == box) {
            sharePlanned(scene, parts, out);
            return true;
        }
        std::vector<SpatialIndex::Placed> own;
        scene.index->placedIn(v, box, own);
        for (const SpatialIndex::Placed& p : own)
            runOf(p.y, p.y, [&](std::size_t k, const MapBox& b) {
                if (b.contains(p.x, p.y))
                    out[k].places.push_back(p.index);
            });
        return false;
    }

    /** How far a frame's pixels lie from its point (device pixels at most three apart, and one to spare). */
    static constexpr int FrameReach = 4;

    /**
     * itemsOfParts for the places the plan found, with the panel points it converted:
     * each goes to the parts its drawing can touch. Whether its caption shows is decided:
     * one that shows reaches as far as reachArea allows, one that does not leaves the
     * place its frame's few pixels about its point, so most places of a crowded view go
     * to one part instead of the two or three a caption's reach meets. A place whose point
     * lies beyond a part's reach draws nothing there, and a place that draws nothing goes
     * to none.
     */
    void sharePlanned(const MapScene& scene, const std::vector<QRect>& parts, std::vector<PartItems>& out)
    {
        if (parts.empty())
            return;
        if (!placedLooksRead) {
            const StatusStyles styles(scene);
            for (std::size_t at = 0; at < placed.size(); ++at) {
                const int i = placed[at].index;
                placedLooks[at] = styles.lookOf(scene.locations[size_t(i)], i, placedLooksFor, scene.view);
            }
            placedLooksRead = true;
        }
        std::vector<QRect> captionReach(parts.size()), frameReach(parts.size());
        for (std::size_t k = 0; k < parts.size(); ++k) {
            captionReach[k] = reachArea(parts[k], scene.settings.TextLength, scene.index->longestLocationName());
            frameReach[k] = parts[k].adjusted(-FrameReach, -FrameReach, FrameReach, FrameReach);
        }
        // The parts run top to bottom and each reach grows its part alike: those holding a
        // point are a run, from the first whose reach goes down to it.
        const auto shareOut
            = [&](const std::vector<QRect>& reach, std::size_t at, std::uint8_t look, std::uint32_t slot) {
                  const QPoint q = placedAt[at];
                  for (std::size_t k = firstReaching(reach, q.y()); k < reach.size() && reach[k].top() <= q.y(); ++k) {
                      if (q.x() >= reach[k].left() && q.x() <= reach[k].right()) {
                          PartItems& items = out[k];
                          items.places.push_back(placed[at].index);
                          items.points.push_back(q);
                          items.looks.push_back(look);
                          if (look & PlaceLook::Caption)
                              items.shownSlots.push_back(slot);
                      }
                  }
              };
        // Most places go to one part: room for them all at once, not grown a doubling at a time.
        const std::size_t room = placed.size() / parts.size() + placed.size() / 16;
        for (PartItems& items : out) {
            items.places.reserve(room);
            items.points.reserve(room);
            items.looks.reserve(room);
        }
        // The places shown are those of shownLocationSlots, in the same order: the n-th
        // has its n-th slot.
        std::uint32_t shown = 0;
        for (std::size_t at = 0; at < placed.size(); ++at) {
            const std::uint8_t look = placedLooks[at];
            if (look == PlaceLook::Nothing)
                continue;
            if (placedShown[at])
                shareOut(captionReach, at, look | PlaceLook::Caption, shown++);
            else
                shareOut(frameReach, at, look, 0);
        }
    }

    /**
     * The first of `reach` (rectangles top to bottom, each as tall as the first but the
     * last, which may be shorter) whose bottom lies at or below panel row `y`, as a search
     * would find it: guessed by division, then stepped to where a search would stop (a
     * search among the parts for each of a crowded view's places guessed its way wrong
     * often).
     */
    static std::size_t firstReaching(const std::vector<QRect>& reach, int y)
    {
        const std::size_t n = reach.size();
        if (n == 0)
            return 0;
        const long long step = n > 1 ? std::max(1, reach[1].bottom() - reach[0].bottom()) : 1;
        const long long below = (long long)y - reach[0].bottom();
        std::size_t k = below <= 0 ? 0 : std::size_t(std::min<long long>((below + step - 1) / step, (long long)n));
        while (k > 0 && reach[k - 1].bottom() >= y)
            --k;
        while (k < n && reach[k].bottom() < y)
            ++k;
        return k;
    }

    /**
     * The route lines of a rectangle painted in parts (`rectangle`'s clip; `parts`, its
     * device rectangles top to bottom, each as tall as the first but the last, which may
     * be shorter, as many as `out` holds), converted once for all of them: each part holds
     * those whose box meets it, in drawing order (a copy each, so a part reads its own in
     * one sweep). A line drawn through a part's clip lands where it lands in the whole
     * paint.
     */
    void linesOfParts(const MapScene& scene, const Canvas& rectangle, const std::vector<QRect>& parts,
                      std::vector<PartItems>& out)
    {
        const RoutePens pens(scene);
        const int t = rectangle.thickness(2);
        const QRect& clip = rectangle.clip();
        auto endPoint = [&](std::int32_t, std::int32_t x, std::int32_t y) { return conversions(x, y); };
        const auto ahead = [&](const SpatialIndex::Segment& s) { prefetchEnds(s); };
        // The parts a line's rows meet follow from its box by division: a search among
        // the parts for each of hundreds of thousands of lines guessed its way wrong often.
        const long long top = parts.front().top(), bottom = parts.back().bottom(), rows = parts.front().height();
        auto take = [&](const RouteLine& l) {
            const TiledOverlay::Box box = TiledOverlay::lineBox(l.a, l.b, t);
            if (box.x1 <= clip.left() || box.x0 > clip.right() || box.y1 <= top || box.y0 > bottom)
                return;
            const std::size_t first = box.y0 <= top ? 0 : std::size_t((box.y0 - top) / rows);
            const std::size_t last = std::size_t((std::min(box.y1 - 1, bottom) - top) / rows);
            for (std::size_t k = first; k <= last && k < parts.size(); ++k)
                out[k].routes.push_back(l);
        };
        // Visited as the index finds them, not listed first: with most of a huge world in
        // view they are hundreds of thousands, and reading them twice cost as much again.
        scene.index->forEachRouteIn(mapBoxOf(scene.view, routeReach(rectangle.panelClip())), ahead,
                                    [&](const SpatialIndex::Segment& r) { pens.line(rectangle, r, endPoint, take); });
    }

    /** Asks for the conversions of a route's ends ahead of their lookup (see PanelPoints::prefetch). */
    void prefetchEnds(const SpatialIndex::Segment& s) const
    {
        conversions.prefetch(s.fromX, s.fromY);
        conversions.prefetch(s.targetX, s.targetY);
    }

    /** What a route layer was drawn for: the routes, the level and its scale, the ratio, the networks and their pens.
     */
    struct RouteLayerKey {
        std::uint64_t routes = 0;
        int zoom = -1, mapScale = 0;
        qreal ratio = 0;
        std::array<bool, 4> shown{};
        std::array<Pixel, 4> pens{};
        bool operator==(const RouteLayerKey&) const = default;
    };
    /**
     * The route lines of the level of a huge world's paints in parts, drawn once over the
     * level's whole picture for every paint and scroll of it (see RouteLayer): with most of
     * the world in view a paint met hundreds of thousands of segments each time.
     */
    RouteLayer routeLayer;
    std::optional<RouteLayerKey> routeLayerKey; // what routeLayer was drawn for, or could not hold

    /**
     * The route layer of a paint of `scene` into `buffer` (its whole canvas), drawn first
     * if need be, and in `offset` the buffer pixel of its origin. Where the level's picture
     * fits a layer, the layer holds the lines of the whole level; where it is larger (100 %
     * and up), of the view's neighbourhood, the panel and a margin around it, drawn again
     * only when a paint of the whole panel (`whole`) finds its view beyond it, so a warm
     * paint, a repaint of a strip and the steps of a drag lay what is drawn. None where the
     * layer cannot stand for the lines (see RouteLayer::line), where a neighbourhood would
     * hold more than a layer may, or (without one drawn) for a view painted ahead: the
     * layer of the level shown stays.
     */
    const RouteLayer* routeLayerFor(const MapScene& scene, const Canvas& buffer, QPoint& offset, bool whole)
    {
        const Viewport& v = scene.view;
        const RoutePens pens(scene);
        const RouteLayerKey key{scene.index->routesStamp(),
                                v.zoomIndex(),
                                v.mapScale(),
                                buffer.ratio(),
                                {false, pens.shown[1], pens.shown[2], pens.shown[3]},
                                {0, pens.pens[1], pens.pens[2], pens.pens[3]}};
        // Panel point p is picture point p - margin + scroll: the layer holds picture pixels.
        offset = QPoint(int(buffer.device((long long)v.marginX() - v.scrollX())),
                        int(buffer.device((long long)v.marginY() - v.scrollY())));
        if (routeLayerKey == key) {
            if (routeLayer.covers(buffer.clip(), offset))
                return &routeLayer;
            // Nothing held: the level could not be held at all. A neighbourhood the view
            // has left is drawn again only by a paint of the whole panel.
            if (routeLayer.area().isEmpty() || !whole)
                return nullptr;
        }
        if (paintingAhead)
            return nullptr;
        // The picture of the map's whole extent at this level, and a line's width around it.
        const int t = buffer.thickness(2);
        const long long x0 = buffer.device(v.mapToScreenX(Viewport::MapLeft)),
                        x1 = buffer.device(v.mapToScreenX(Viewport::MapRight));
        const long long y0 = buffer.device(v.mapToScreenY(Viewport::MapTop)),
                        y1 = buffer.device(v.mapToScreenY(Viewport::MapBottom));
        const long long g = t + 2;
        const long long left = std::min(x0, x1) - g, top = std::min(y0, y1) - g;
        const long long width = std::llabs(x1 - x0) + 2 * g, height = std::llabs(y1 - y0) + 2 * g;
        MapBox box{INT_MIN, INT_MAX, INT_MIN, INT_MAX}; // the routes to draw: every one for the whole level
        if (width * height <= RouteLayer::MaxPixels) {
            routeLayerKey = key;
            if (!routeLayer.reset(QRect(int(left), int(top), int(width), int(height)))) {
                routeLayer.clear();
                return nullptr;
            }
        } else {
            const std::optional<QRect> around = neighbourhood(buffer.clip());
            if (!whole || !around)
                return nullptr; // the layer held stays for the paints it covers
            routeLayerKey = key;
            if (!routeLayer.reset(around->translated(-offset), RouteLayer::Edges::Cut)) {
                routeLayer.clear();
                return nullptr;
            }
            box = mapBoxOf(v, routeReach(panelCover(*around, buffer.ratio())));
        }
        bool fits = true;
        auto endPoint = [&](std::int32_t, std::int32_t x, std::int32_t y) { return conversions(x, y); };
        auto take = [&](const RouteLine& l) {
            const int pen = l.colour == pens.pens[1] ? 1 : l.colour == pens.pens[2] ? 2 : 3;
            fits = fits && routeLayer.line(l.a - offset, l.b - offset, t, pen);
        };
        scene.index->forEachRouteIn(
            box, [&](const SpatialIndex::Segment& s) { prefetchEnds(s); },
            [&](const SpatialIndex::Segment& r) {
                if (fits)
                    pens.line(buffer, r, endPoint, take);
            });
        if (!fits)
            routeLayer.clear();
        return fits ? &routeLayer : nullptr;
    }

    /**
     * The device pixels a layer of the neighbourhood of a view whose buffer is `panel`
     * covers: the panel and half as much again each way, as far as a layer may hold (none
     * where the panel alone holds more). A drag or a scroll of a few hundred pixels then
     * stays inside it.
     */
    static std::optional<QRect> neighbourhood(const QRect& panel)
    {
        const double pixels = double(panel.width()) * panel.height();
        if (panel.isEmpty() || pixels > double(RouteLayer::MaxCutPixels))
            return std::nullopt;
        const double grow = std::min(1.5, std::sqrt(double(RouteLayer::MaxCutPixels) / pixels));
        const int mx = int((grow - 1) / 2 * panel.width()), my = int((grow - 1) / 2 * panel.height());
        return panel.adjusted(-mx, -my, mx, my);
    }

    /** The panel pixels that cover device pixels `r` at a whole ratio, wherever they lie. */
    static QRect panelCover(const QRect& r, qreal ratio)
    {
        const int k = std::max(1, int(ratio));
        const auto down = [k](int v) { return int(detail::floorDiv(v, k)); };
        const auto up = [k](long long v) { return int(-detail::floorDiv(-v, k)); };
        const int x0 = down(r.left()), y0 = down(r.top());
        return QRect(x0, y0, up((long long)r.left() + r.width()) - x0, up((long long)r.top() + r.height()) - y0);
    }

    /**
     * The locations a paint visits: with an index covering them, those whose frame or
     * caption can reach `panelArea` (panel pixels), else every one; in file order.
     */
    template <typename Visit> void forEachLocation(const MapScene& scene, const QRect& panelArea, Visit visit) const
    {
        const LocationList& locs = scene.locations;
        if (scene.index && scene.index->coversLocations(locs)) {
            forEachPlaceIn(scene, panelArea, [&](int i) { visit(i, locs[size_t(i)]); });
            return;
        }
        for (size_t i = 0; i < locs.size(); ++i)
            visit(int(i), locs[i]);
    }

    /** As forEachLocation, for the markers. */
    template <typename Visit> void forEachMarker(const MapScene& scene, const QRect& panelArea, Visit visit) const
    {
        const LocationList& marks = scene.markers;
        if (scene.index && scene.index->coversMarkers(marks)) {
            const QRect area = reachArea(panelArea, scene.settings.MarkerLength, scene.index->longestMarkerName());
            for (const int i : scene.index->markersIn(scene.view, mapBoxOf(scene.view, area)))
                visit(i, marks[size_t(i)]);
            return;
        }
        for (size_t i = 0; i < marks.size(); ++i)
            visit(int(i), marks[i]);
    }

    /**
     * With "Hide overlapping captions": decides which captions the paint draws. The
     * captions that can reach the panel are tried in file order, the locations' and then
     * the markers' (the order they are drawn in); one whose box (its advance by a line)
     * meets a cell an earlier one took is left out. Decided for the whole panel, so a
     * clipped paint shows what the whole one does.
     *
     * Where the plan asks the index, what each place it found draws (placedLooks) is read
     * off its record on the second core while the plan goes on, and so is the picture
     * step of `picture` (its first parts) when one is given: neither needs the plan.
     */
    void planCaptions(const MapScene& scene, int highlight, PictureAside* picture)
    {
        const int pictureParts = picture ? picture->firstParts() : 0;
        const auto pictureStep = [&](int part, int thread) { picture->first(part, thread); };
        const Viewport& v = scene.view;
        const Settings& st = scene.settings;
        const QRect panel(QPoint(0, 0), v.panel());
        CaptionOccupancy grid(v.panel());
        // Most places of a crowded view lie where captions were placed before them: those
        // are left out before their caption's width is measured. The width comes from the
        // shaper, as rendering would give it: only the captions drawn are rendered (a
        // crowded view tries tens of thousands and shows a few thousand).
        // A caption's width is measured once for the paints that follow: `width` is what
        // a paint before measured (0: none), and what this one measured when it measured it.
        // The name is asked of `nameOf` only to be measured: the rest needs its length alone.
        const auto claim = [&](qsizetype size, const auto& nameOf, int limit, QPoint at, int& width) {
            if (size == 0 || !mayReachPanel(v.panel(), at, shownChars(size, limit))
                || grid.blocksEveryWidth(at, std::max(1, lineHeight)))
                return false;
            if (width == 0) {
                const QByteArray& name = nameOf();
                // Most names are not cut: measured as they are, without a copy of the text.
                const bool whole = limit <= 0 || name.size() <= limit;
                width = std::max(1, whole ? captionRenderer->advance(name)
                                          : captionRenderer->advance(cutCaption(name, limit)));
            }
            return grid.claim(QRect(at.x(), at.y(), width, std::max(1, lineHeight)));
        };
        const bool indexed = scene.index && scene.index->coversLocations(scene.locations);
        if (indexed)
            keepWidthsOf(scene);
        // Place i's caption at `at`, its name `size` bytes long, of mark `mark` and kept width `kept` (0: none).
        const auto claimPlace = [&](int i, qsizetype size, QPoint at, std::uint32_t mark, int kept) {
            int width = kept;
            const auto name = [&]() -> const QByteArray& { return scene.locations[size_t(i)].Name; };
            const bool shown = claim(size, name, st.TextLength, at, width);
            if (kept == 0 && width != 0 && std::uint32_t(width) <= KeptWidth::Mask)
                std::atomic_ref<std::uint32_t>(nameWidths[size_t(i)])
                    .store(KeptWidth::entry(mark, width), std::memory_order_relaxed);
            return shown;
        };
        // The width kept for place i, named `name`, and that name's mark.
        const auto keptFor = [&](int i, const char* name, qsizetype size) {
            const std::uint32_t mark = KeptWidth::markOf(name, size);
            const std::uint32_t entry
                = std::atomic_ref<std::uint32_t>(nameWidths[size_t(i)]).load(std::memory_order_relaxed);
            return KeptWidth::entry(mark, KeptWidth::widthIn(entry, mark));
        };
        shownLocations.assign(scene.locations.size(), false);
        shownMarkers.assign(scene.markers.size(), false);
        std::vector<int> shownPlaces, shownMarks; // ascending, as they are tried
        const auto tryLocation = [&](int i, const Location& L, QPoint q) {
            const StatusStyle style = styleOf(L, scene);
            if (!v.LevelVisible(L.Level) || !(style.shown || i == highlight))
                return false;
            const QPoint at(q.x() + 4, q.y() + 1);
            if (indexed) {
                const std::uint32_t kept = keptFor(i, L.Name.constData(), L.Name.size());
                shownLocations[size_t(i)]
                    = claimPlace(i, L.Name.size(), at, kept >> KeptWidth::Bits, int(kept & KeptWidth::Mask));
            } else {
                int width = 0;
                shownLocations[size_t(i)] = claim(
                    L.Name.size(), [&]() -> const QByteArray& { return L.Name; }, st.TextLength, at, width);
            }
            if (shownLocations[size_t(i)])
                shownPlaces.push_back(i);
            return bool(shownLocations[size_t(i)]);
        };
        if (indexed) {
            // The index's points first: a place whose caption would start in a full column
            // is left out there, its record (a trip to memory each) never read. Every
            // condition of a claim must hold, so the order they are asked in changes nothing.
            const QRect area = reachArea(panel, st.TextLength, scene.index->longestLocationName());
            plannedBox = mapBoxOf(v, area);
            scene.index->placedIn(v, *plannedBox, placed);
            // A place whose column is free a few places ahead will most likely still be
            // free at its turn: its record is asked for then, and its name's bytes once the
            // record has come, so the trips to memory of the places tried overlap.
            constexpr std::size_t PointAhead = 24, RecordAhead = 12, NameAhead = 4;
            const int height = std::max(1, lineHeight);
            const std::size_t n = placed.size();
            placedAt.resize(n);
            placedLooks.resize(n);
            placedShown.assign(n, 0);
            placedLooksRead = true;
            // On the second core, while the walk goes on, a run of places at a time: what
            // each draws and its panel point, and of those the walk will try, their kept
            // widths and their names' lengths, read off the records and the tables. The
            // walk reads them there once their run is done instead of each record and
            // table (the trips to memory then overlap the walk), and off the record before
            // that.
            const StatusStyles styles(scene);
            const std::size_t lookParts = (n + LooksPerPart - 1) / LooksPerPart;
            // Each run is read by the thread that takes it first: the second core, ahead of
            // the walk, or the walk itself when it comes to a run no one has taken (the
            // second core held by another process, or behind), never both.
            enum : std::uint8_t { Free, Taken, Read };
            const std::unique_ptr<std::atomic<std::uint8_t>[]> runs(new std::atomic<std::uint8_t>[lookParts]);
            for (std::size_t part = 0; part < lookParts; ++part)
                runs[part].store(Free, std::memory_order_relaxed);
            // Of each run read: the places whose column was free then (placedFree, from the
            // run's first place on), the only ones its walk tries.
            std::vector<std::size_t> freeIn(lookParts, 0);
            placedFree.resize(n);
            const auto take = [&](std::size_t part) {
                std::uint8_t free = Free;
                return runs[part].compare_exchange_strong(free, Taken, std::memory_order_acq_rel);
            };
            const auto lookPart = [&](std::size_t part) {
                if (!take(part))
                    return;
                const std::size_t from = part * LooksPerPart, to = std::min(n, from + LooksPerPart);
                std::size_t free = 0;
                constexpr std::size_t Ahead = 16;
                for (std::size_t k = from; k < to; ++k) {
                    if (k + Ahead < to) {
                        const SpatialIndex::Placed& a = placed[k + Ahead];
                        const Location& L = scene.locations[size_t(a.index)];
                        __builtin_prefetch(&L.Level);
                        __builtin_prefetch(&L.Kind);
                        __builtin_prefetch(&nameWidths[size_t(a.index)]);
                        conversions.prefetch(a.x, a.y);
                    }
                    if (k + Ahead / 2 < to) // its record has come by now
                        __builtin_prefetch(scene.locations[size_t(placed[k + Ahead / 2].index)].Name.constData());
                    const SpatialIndex::Placed& p = placed[k];
                    const Location& L = scene.locations[size_t(p.index)];
                    placedLooks[k] = styles.lookOf(L, p.index, highlight, v);
                    const QPoint q = conversions(p.x, p.y);
                    placedAt[k] = q;
                    if (placedLooks[k] == PlaceLook::Nothing)
                        continue;
                    // Cells are only ever taken: a column full now is full at the walk's turn,
                    // and its width is never asked for.
                    if (!grid.blocksEveryWidth(QPoint(q.x() + 4, q.y() + 1), height)) {
                        placedFree[from + free++]
                            = {std::uint32_t(k), keptFor(p.index, L.Name.constData(), L.Name.size()),
                               std::uint32_t(L.Name.size())};
                    }
                }
                freeIn[part] = free;
                runs[part].store(Read, std::memory_order_release);
            };
            // A place its run listed, at panel point q, tried as tryLocation tries it, from what its run read.
            const auto tryFree = [&](const FreePlace& f, QPoint q) {
                const int i = placed[f.at].index;
                const bool shown = claimPlace(i, f.nameSize, QPoint(q.x() + 4, q.y() + 1), f.width >> KeptWidth::Bits,
                                              int(f.width & KeptWidth::Mask));
                shownLocations[size_t(i)] = shown;
                if (shown)
                    shownPlaces.push_back(i);
                return shown;
            };
            // A run not read when the walk comes to it (a small plan's, or one the second
            // core is reading): its places one by one, their records asked for ahead.
            // Rings of the places between: each one's panel point, and whether its record
            // (or name) was asked for.
            std::array<QPoint, RecordAhead + 1> points{};
            std::array<bool, RecordAhead + 1> asked{};
            // Without the runs read beside it, the walk keeps the points it converts.
            bool keepsPoints = false;
            const auto walkPlaces = [&](std::size_t from, std::size_t to) {
                const auto look = [&](std::size_t k) {
                    const SpatialIndex::Placed& p = placed[k];
                    const QPoint q = conversions(p.x, p.y);
                    if (keepsPoints)
                        placedAt[k] = q;
                    points[k % points.size()] = q;
                    bool& a = asked[k % asked.size()];
                    a = !grid.blocksEveryWidth(QPoint(q.x() + 4, q.y() + 1), height);
                    if (a) {
                        const Location& L = scene.locations[size_t(p.index)];
                        __builtin_prefetch(&L.Level);
                        __builtin_prefetch(&L.Status);
                        __builtin_prefetch(&nameWidths[size_t(p.index)]);
                    }
                };
                for (std::size_t k = from; k < std::min(to, from + RecordAhead); ++k)
                    look(k);
                for (std::size_t k = from; k < to; ++k) {
                    if (const std::size_t j = k + PointAhead; j < to)
                        conversions.prefetch(placed[j].x, placed[j].y);
                    if (k + RecordAhead < to)
                        look(k + RecordAhead);
                    // A name is read off the record to be told apart from the one its kept
                    // width was measured for.
                    if (const std::size_t j = k + NameAhead; j < to && asked[j % asked.size()])
                        __builtin_prefetch(scene.locations[size_t(placed[j].index)].Name.constData());
                    const SpatialIndex::Placed& p = placed[k];
                    const QPoint q = points[k % points.size()];
                    // Cells are only ever taken: a column full when the place was looked at
                    // ahead is full still.
                    if (asked[k % asked.size()] && !grid.blocksEveryWidth(QPoint(q.x() + 4, q.y() + 1), height))
                        placedShown[k] = tryLocation(p.index, scene.locations[size_t(p.index)], q);
                }
            };
            // A run read: only the places whose column was free when it was read.
            const auto walkRead = [&](std::size_t part) {
                const FreePlace* free = placedFree.data() + part * LooksPerPart;
                const std::size_t count = freeIn[part];
                const auto unmeasured = [&](std::size_t j) { return (free[j].width & KeptWidth::Mask) == 0; };
                for (std::size_t j = 0; j < count; ++j) {
                    // A name is read only to be measured (most were, in a paint before): its
                    // record is asked for, then its bytes.
                    if (j + RecordAhead < count && unmeasured(j + RecordAhead))
                        __builtin_prefetch(&scene.locations[size_t(placed[free[j + RecordAhead].at].index)].Name);
                    if (j + NameAhead < count && unmeasured(j + NameAhead))
                        __builtin_prefetch(
                            scene.locations[size_t(placed[free[j + NameAhead].at].index)].Name.constData());
                    const FreePlace& f = free[j];
                    const QPoint q = placedAt[f.at];
                    if (!grid.blocksEveryWidth(QPoint(q.x() + 4, q.y() + 1), height))
                        placedShown[f.at] = tryFree(f, q);
                }
            };
            // Run after run: one no one has taken, the walk reads itself (with the current
            // grid, so the fewest places are tried).
            bool stealsRuns = false;
            const auto walk = [&] {
                for (std::size_t part = 0; part < lookParts; ++part) {
                    if (stealsRuns)
                        lookPart(part);
                    // While the second core reads this run, the walk reads one no one has
                    // taken further on instead of waiting: the reading is then shared.
                    for (std::size_t ahead = part + 1;
                         stealsRuns && ahead < lookParts && runs[part].load(std::memory_order_acquire) == Taken;
                         ++ahead)
                        lookPart(ahead);
                    // A run the second core is reading is nearly read: waited for a while,
                    // but not for as long as another process may hold that core.
                    for (int spins = 0; spins < RunWaits && runs[part].load(std::memory_order_acquire) == Taken;
                         ++spins)
                        pauseSpin();
                    if (runs[part].load(std::memory_order_acquire) == Read)
                        walkRead(part);
                    else
                        walkPlaces(part * LooksPerPart, std::min(n, (part + 1) * LooksPerPart));
                }
            };
            // The runs of looks beside the walk, ahead of it; the picture's parts after them.
            // Without the second core the walk reads each run as it comes to it. With a run
            // or two of places (not worth waking it) the walk reads the records, and the
            // looks are read only if a paint in parts shares the places out (see
            // sharePlanned).
            if (!share->helps()) {
                stealsRuns = true;
                walk();
                share->run(pictureParts, pictureStep);
            } else if (lookParts < 3 && pictureParts == 0) {
                keepsPoints = true;
                walk();
                placedLooksFor = highlight;
                placedLooksRead = false;
            } else {
                stealsRuns = true;
                share->runBeside(
                    int(lookParts) + pictureParts,
                    [&](int part, int thread) {
                        if (std::size_t(part) < lookParts)
                            lookPart(std::size_t(part));
                        else
                            pictureStep(part - int(lookParts), thread);
                    },
                    walk);
            }
        } else {
            share->run(pictureParts, pictureStep);
            forEachLocation(scene, panel, [&](int i, const Location& L) { tryLocation(i, L, v.mapToPanel(L.X, L.Y)); });
        }
        // The markers that can reach the panel, with their panel points, kept for the parts
        // of the paint (see drawPartsOnBothCores).
        plannedMarkers.clear();
        if (markerWidthsLimit != st.MarkerLength)
            markerWidths.clear();
        markerWidthsLimit = st.MarkerLength;
        markerWidths.resize(scene.markers.size());
        forEachMarkerOf(panel, scene, [&](int i, const Location& M, QPoint q) {
            plannedMarkers.push_back({i, q});
            // A text measured before is held, so one at the same address is the same text.
            KeptMarkerWidth& kept = markerWidths[size_t(i)];
            const bool same = kept.name.constData() == M.Name.constData() && kept.name.size() == M.Name.size();
            int width = same ? kept.width : 0;
            shownMarkers[size_t(i)] = claim(
                M.Name.size(), [&]() -> const QByteArray& { return M.Name; }, st.MarkerLength,
                QPoint(q.x() + 3, q.y() + 3), width);
            if (!same && width != 0)
                kept = {M.Name, width};
            if (shownMarkers[size_t(i)])
                shownMarks.push_back(i);
        });
        shownLocationSlots.follow(shownPlaces);
        shownMarkerSlots.follow(shownMarks);
    }

    /**
     * How wide the plan claims each place's caption, by the place's number (a KeptWidth
     * entry: its advance and its name's mark; 0 when not measured yet). A crowded plan
     * measures tens of thousands of names a paint, most of them the same as the paint
     * before. What is kept holds for the places of one index (its placesStamp: their
     * names change only with a list the index is made again for), one font (useFont
     * drops it) and one limit of the characters shown; the mark tells a place renamed in
     * a list kept as it was. Four bytes a place. The plan's walk writes it and the
     * second core reads it beside the walk, each entry whole (see lookPart).
     */
    std::vector<std::uint32_t> nameWidths;
    std::uint64_t nameWidthsStamp = 0;
    int nameWidthsLimit = 0;
    /** A place of the plan its walk tries: its position in the plan, its nameWidths entry and its name's length. */
    struct FreePlace {
        std::uint32_t at, width, nameSize;
    };
    std::vector<FreePlace>
        placedFree; // of each run of the plan's places, from its first on: those it tries (see lookPart)

    /** Readies nameWidths for the places of `scene` (its index covering them), keeping what still holds. */
    void keepWidthsOf(const MapScene& scene)
    {
        const std::uint64_t stamp = scene.index->placesStamp();
        const int limit = scene.settings.TextLength;
        if (stamp == nameWidthsStamp && limit == nameWidthsLimit && nameWidths.size() == scene.locations.size())
            return;
        nameWidths.assign(scene.locations.size(), 0);
        nameWidthsStamp = stamp;
        nameWidthsLimit = limit;
    }

    /**
     * How wide the plan claims each marker's caption, by the marker's number, with the
     * text it measured: a marker's text changes as the user edits it, and a text held
     * here keeps its bytes where they are (a marker's text owns them, or is a literal),
     * so a marker whose text lies at the same address has the same text. For one font
     * (useFont drops them) and one limit.
     */
    struct KeptMarkerWidth {
        QByteArray name;
        int width = 0;
    };
    std::vector<KeptMarkerWidth> markerWidths;
    int markerWidthsLimit = 0;

    /** A marker the plan visited and its panel point, in the order visited. */
    struct PlannedMarker {
        int index;
        QPoint q;
    };
    std::vector<PlannedMarker> plannedMarkers;

    /** How many of the plan's places one part of reading what they draw takes. */
    static constexpr std::size_t LooksPerPart = 4096;
    /** How many pauses the plan's walk waits at most for a run the second core is reading (some tens of us). */
    static constexpr int RunWaits = 2048;

    /** A pause of a thread that waits for another, without giving its core up. */
    static void pauseSpin()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    bool locationCaptionShown(int i) const
    {
        return !hiding || shownLocations[size_t(i)];
    }
    bool markerCaptionShown(int i) const
    {
        return !hiding || shownMarkers[size_t(i)];
    }

    /**
     * Renders, without painting, the captions a paint of `scene` would draw at `ratio`
     * that the cache lacks, as long as the cache stays within its budget and the clock
     * before `deadline`. True when nothing is left to do: none left to render, or the
     * budget reached.
     */
    bool renderAhead(const MapScene& scene, qreal ratio, std::chrono::steady_clock::time_point deadline)
    {
        const Viewport& v = scene.view;
        const Settings& st = scene.settings;
        if (!st.ShowText)
            return true;
        const QRect panel(QPoint(0, 0), v.panel());
        AheadCursor& cursor = aheadCursors[std::size_t(v.zoomIndex())];
        if (!cursor.sameView(scene, ratio))
            cursor.reset(scene, ratio);
        // The window renders ahead a step either side of the level it shows: a pass of a
        // level further off than those is left and its places let go.
        for (std::size_t level = 0; level < aheadCursors.size(); ++level)
            if (std::abs(int(level) - v.zoomIndex()) > 2)
                aheadCursors[level] = AheadCursor{};
        const std::size_t from = cursor.visited;
        std::size_t visited = 0;
        bool done = true, full = false;
        int lookedAt = 0, rendered = 0;
        // The clock is read every few places looked at and every few captions rendered
        // (each costs some microseconds); out of time, the slice ends before that place.
        const auto outOfTime = [&](int& count, int every) {
            if (++count % every != 0 || std::chrono::steady_clock::now() < deadline)
                return false;
            done = false;
            return true;
        };
        // Each caption rendered or found is kept in its item's slot as well: the visit's
        // paint then finds it there instead of looking it up.
        const auto ahead = [&](const QByteArray& name, int limit, QPoint at, QPoint where, Slot slot) {
            if (name.isEmpty() || !mayReachPanel(v.panel(), at, shownChars(name, limit)))
                return;
            const QByteArray text = cutCaption(name, limit);
            if (const CaptionCache::Entry* held = captions.peek(text, ratio)) {
                keepInSlot(slot, *held, ratio);
                return;
            }
            // A full cache ends the work: more would only push out what was rendered
            // ahead before, and the window would come back for it all through its idle
            // time.
            if (captions.bytes() >= captions.budget()) {
                full = true;
                return;
            }
            if (outOfTime(rendered, 8))
                return;
            PackedCaption r = captionRenderer->renderPacked(text, ratio);
            keepInSlot(slot,
                       captions.insertAhead(text, std::move(r.mask), r.offset, ratio, where, r.advance, v.zoomIndex()),
                       ratio);
        };
        // Each place or marker in turn: those the slices before passed are only counted
        // (the places are not even that: the pass's list goes on from the first not passed).
        const auto visit = [&](auto look) {
            if (!done || full)
                return;
            if (visited < from) {
                ++visited;
                return;
            }
            if (outOfTime(lookedAt, 64))
                return;
            look();
            if (done)
                ++visited;
        };
        if (!cursor.ordered) {
            forEachLocation(scene, panel, [&](int i, const Location&) { cursor.order.push_back(i); });
            cursor.ordered = true;
        }
        visited = std::min(from, cursor.order.size());
        for (std::size_t k = visited; k < cursor.order.size() && done && !full; ++k) {
            const Location& L = scene.locations[std::size_t(cursor.order[k])];
            visit([&] {
                const StatusStyle style = styleOf(L, scene);
                if (v.LevelVisible(L.Level) && style.shown) {
                    const QPoint q = v.mapToPanel(L.X, L.Y);
                    ahead(L.Name, st.TextLength, QPoint(q.x() + 4, q.y() + 1), QPoint(L.X, L.Y),
                          locationSlot(scene, cursor.order[k]));
                }
            });
        }
        forEachMarker(scene, panel, [&](int i, const Location& M) {
            visit([&] {
                if (v.LevelVisible(M.Level)) {
                    const QPoint q = v.mapToPanel(M.X, M.Y);
                    ahead(M.Name, st.MarkerLength, QPoint(q.x() + 3, q.y() + 3), QPoint(M.X, M.Y),
                          markerSlot(scene, i));
                }
            });
        });
        // A slice that ran out of time goes on from the place it stopped at; a finished
        // pass starts afresh next time, for what a paint has pushed out of the cache since.
        if (done)
            cursor = AheadCursor{};
        else
            cursor.visited = visited;
        return done;
    }

    /**
     * The captions of the places and markers a paint of `area` (panel pixels) shows (the
     * highlighted place aside), in drawing order: visit(name, limit, top-left, map point,
     * slot) for each.
     */
    template <typename Visit> void forEachCaption(const MapScene& scene, const QRect& area, Visit visit)
    {
        const Viewport& v = scene.view;
        const Settings& st = scene.settings;
        forEachLocation(scene, area, [&](int i, const Location& L) {
            if (v.LevelVisible(L.Level) && styleOf(L, scene).shown) {
                const QPoint q = v.mapToPanel(L.X, L.Y);
                visit(L.Name, st.TextLength, QPoint(q.x() + 4, q.y() + 1), QPoint(L.X, L.Y), locationSlot(scene, i));
            }
        });
        forEachMarker(scene, area, [&](int i, const Location& M) {
            if (v.LevelVisible(M.Level)) {
                const QPoint q = v.mapToPanel(M.X, M.Y);
                visit(M.Name, st.MarkerLength, QPoint(q.x() + 3, q.y() + 3), QPoint(M.X, M.Y), markerSlot(scene, i));
            }
        });
    }

    /** Fewer captions missing than this are rendered by the paint as it meets them. */
    static constexpr size_t SharedRenders = 128;
    /** From how many captions lacking the renderers rasterise each new glyph at every subpixel place. */
    static constexpr size_t ManyRenders = ManyCaptionsFrom;
    /** How many captions one part of the shared rendering takes. */
    static constexpr int RendersPerPart = 16;

    /**
     * Before a paint of `area` (panel pixels) that may miss many captions (the whole panel
     * at another level, ratio or place than the last: a zoom, a first visit, a jump; or a
     * band of a crowded view of a huge world): renders the captions it will draw that the
     * cache lacks on both threads, each with a renderer of its own, so the paint finds them
     * all. A caption is the same whichever renderer made it. Captions already held are
     * found once here and kept in their items' slots, so the paint does not look them up
     * again.
     */
    void renderMissing(const MapScene& scene, qreal ratio, const QRect& area)
    {
        if (!share->helps() || !scene.settings.ShowText)
            return;
        Missing missing;
        gatherMissing(scene, ratio, area, missing);
        renderGathered(missing, ratio);
        addRendered(missing, scene, ratio);
    }

    /** Each caption's mask packed as the cache keeps it, on the thread that rendered it. */
    struct Rendered {
        CaptionCache::Mask mask;
        QPoint offset;
        int advance = 0;
    };
    /** The captions a paint will draw that the cache lacks, and the items' slots waiting for them. */
    struct Missing {
        /**
         * Each text once, in the order found. A deque: a text stays where it is while
         * more are added, so the second core may render those found while the gathering
         * goes on (see RenderFeed).
         */
        std::deque<QByteArray> texts;
        std::vector<QPoint> wheres;
        /** The slots of the items whose captions are rendered, with their texts' indexes. */
        struct Waiting {
            CaptionSlots* held;
            std::size_t index, text;
        };
        std::vector<Waiting> waiting;
        std::vector<Rendered> rendered; // by text, once rendered
        /** The texts to render, by index: all but those rendered ahead. */
        std::vector<std::size_t> toRender;
        /** The texts whose captions were rendered ahead: their index, and where the captions ahead hold them. */
        std::vector<std::pair<std::size_t, std::ptrdiff_t>> ahead;
        /** Whether there are enough to render them beforehand, on both threads (else the paint renders them). */
        bool many() const { return texts.size() >= SharedRenders; }
    };

    /**
     * Which texts a gathering holds, by their hashes: an open table of indexes into the
     * texts, grown by doubling. A crowded first visit gathers some sixteen thousand, and a
     * hash table of nodes spent about half the gathering's time making and moving them.
     */
    class TextIndex {
    public:
        /** The index of `text` in `texts`, or texts.size() when it is not there (it is then counted as added there). */
        std::size_t findOrAdd(const std::deque<QByteArray>& texts, const QByteArray& text)
        {
            if ((texts.size() + 1) * 2 > m_slots.size())
                grow(texts.size());
            const std::size_t hash = qHash(text);
            for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
                const std::uint32_t held = m_slots[i];
                if (held == 0) {
                    m_slots[i] = std::uint32_t(texts.size() + 1);
                    m_hashes.push_back(hash);
                    return texts.size();
                }
                if (m_hashes[held - 1] == hash && texts[held - 1] == text)
                    return held - 1;
            }
        }

    private:
        void grow(std::size_t count)
        {
            const std::size_t size = std::max<std::size_t>(1024, m_slots.size() * 2);
            m_slots.assign(size, 0);
            m_mask = size - 1;
            for (std::size_t k = 0; k < count; ++k) {
                std::size_t i = m_hashes[k] & m_mask;
                while (m_slots[i] != 0)
                    i = (i + 1) & m_mask;
                m_slots[i] = std::uint32_t(k + 1);
            }
        }
        std::vector<std::uint32_t> m_slots; // index + 1 of a text, 0: none
        std::vector<std::size_t> m_hashes;  // of each text, by index
        std::size_t m_mask = 0;
    };

    /**
     * The texts a crowded first visit gathers, handed to the second core while the
     * gathering goes on, so it renders them instead of waiting for the gathering to end
     * (where it has nothing else to do then: no copy of the picture to make). The first
     * hand-over waits for ManyRenders texts, so what it renders is rendered as the shared
     * rendering would have (each new glyph at every subpixel place); then every
     * RendersPerPart. The second core takes them in order, so what it rendered is the
     * first texts, and it stops once the gathering ends: both threads then share the rest.
     */
    class RenderFeed {
    public:
        /** On the calling thread, the gathering: `m` now holds this many texts to render (they only grow). */
        void found(const Missing& m)
        {
            const std::size_t count = m.toRender.size();
            if (count < ManyRenders || count - m_handed < std::size_t(RendersPerPart))
                return;
            bool wake = false;
            {
                const std::lock_guard<std::mutex> held(m_lock);
                for (; m_handed < count; ++m_handed)
                    m_texts.push_back(&m.texts[m.toRender[m_handed]]);
                wake = m_waiting;
            }
            if (wake)
                m_wake.notify_one();
        }
        /** On the calling thread: the gathering is over. */
        void close()
        {
            {
                const std::lock_guard<std::mutex> held(m_lock);
                m_closed = true;
            }
            m_wake.notify_one();
        }
        /**
         * On the second core: renders the texts handed over with `renderer` until the
         * gathering ends, a part of RendersPerPart at a time.
         */
        void render(CaptionRenderer& renderer, qreal ratio)
        {
            renderer.expectMany(true);
            const auto asBefore = qScopeGuard([&] { renderer.expectMany(false); });
            std::array<const QByteArray*, RendersPerPart> part{};
            for (;;) {
                std::size_t first = 0;
                {
                    std::unique_lock<std::mutex> held(m_lock);
                    m_waiting = true;
                    m_wake.wait(held, [&] { return m_closed || m_texts.size() - m_taken >= part.size(); });
                    m_waiting = false;
                    if (m_closed)
                        return;
                    first = m_taken;
                    std::copy_n(m_texts.begin() + std::ptrdiff_t(first), part.size(), part.begin());
                    m_taken += part.size();
                }
                m_rendered.resize(first + part.size());
                for (std::size_t k = 0; k < part.size(); ++k) {
                    PackedCaption r = renderer.renderPacked(*part[k], ratio);
                    m_rendered[first + k] = {std::move(r.mask), r.offset, r.advance};
                }
            }
        }
        /** Once both threads are done: the first texts' captions to render, rendered (by their place there). */
        std::vector<Rendered> takeRendered() { return std::move(m_rendered); }

    private:
        std::mutex m_lock;
        std::condition_variable m_wake;
        std::vector<const QByteArray*> m_texts; // handed over, by their place among those to render
        std::size_t m_handed = 0;               // how many of the texts were handed over
        std::size_t m_taken = 0;                // how many the second core took
        bool m_closed = false, m_waiting = false;
        std::vector<Rendered> m_rendered; // the second core's
    };

    /**
     * The first step of renderMissing, on the calling thread: the captions of `area`
     * (panel pixels) the cache lacks, each text once, into `m`; with `feed`, handed to
     * the second core as they are found. Those held are kept in their items' slots on
     * the way.
     */
    void gatherMissing(const MapScene& scene, qreal ratio, const QRect& area, Missing& m, RenderFeed* feed = nullptr)
    {
        if (!partItems)
            forgetStaleSlots(ratio);
        TextIndex seen;
        const CaptionsAhead* ahead = aheadFor(ratio);
        // Each caption is looked up a few captions after its look-up was asked for (see
        // CaptionCache::prefetch): a crowded view's captions lie anywhere in the cache, and
        // one trip to memory after another took most of the gathering's time. They are
        // settled in the order they come, as one look-up after another would be.
        struct Asked {
            QByteArray text;
            QPoint where;
            CaptionSlots* held; // its item's slots, null: none
            std::size_t index;
            std::uint32_t hash;
        };
        constexpr std::size_t Ahead = 16;
        std::array<Asked, Ahead> asked;
        std::size_t first = 0, count = 0;
        const auto settle = [&](Asked& a) {
            if (const CaptionCache::Entry* held = captions.find(a.text, ratio, a.where, a.hash)) {
                if (a.held)
                    (*a.held)[a.index] = held;
                return;
            }
            const std::size_t index = seen.findOrAdd(m.texts, a.text);
            if (index == m.texts.size()) {
                m.texts.push_back(a.text);
                m.wheres.push_back(a.where);
                // A caption rendered ahead is not rendered again: it is taken once the
                // gathering is done (the hash it is found by is the cache's).
                if (const std::ptrdiff_t at = ahead ? ahead->find(a.text, a.hash) : -1; at >= 0) {
                    m.ahead.push_back({index, at});
                } else {
                    m.toRender.push_back(index);
                    if (feed)
                        feed->found(m);
                }
            }
            // The paint then finds it in the item's slot as it finds those held, instead
            // of hashing each.
            if (a.held)
                m.waiting.push_back({a.held, a.index, index});
        };
        forEachCaption(scene, area, [&](const QByteArray& name, int limit, QPoint at, QPoint where, Slot slot) {
            const long long chars = shownChars(name, limit);
            if (name.isEmpty() || !mayReachPanel(scene.view.panel(), at, chars) || !mayReachClip(area, at, chars))
                return;
            if (slot.count != 0) {
                if (slot.held.size() != slot.count)
                    slot.held.assign(slot.count, nullptr);
                if (const CaptionCache::Entry* kept = slot.held[slot.index];
                    kept && isCaptionOf(kept->text, name, limit))
                    return;
            }
            Asked& a = asked[(first + count) % Ahead];
            a = {cutCaption(name, limit), where, slot.count != 0 ? &slot.held : nullptr, slot.index, 0};
            a.hash = CaptionCache::hashOf(a.text, ratio);
            captions.prefetch(a.hash, false);
            if (count >= Ahead / 2)
                captions.prefetch(asked[(first + count - Ahead / 2) % Ahead].hash, true);
            if (++count == Ahead) {
                settle(asked[first]);
                first = (first + 1) % Ahead;
                --count;
            }
        });
        for (; count > 0; --count, first = (first + 1) % Ahead)
            settle(asked[first]);
        if (feed)
            feed->close();
    }

    /**
     * The second step: renders what was gathered, when there are many, on both threads
     * (the first of them may be rendered already: m.rendered holds those), and takes
     * those rendered ahead; m.rendered then holds every text's.
     */
    void renderGathered(Missing& m, qreal ratio)
    {
        if (!m.many())
            return;
        const std::deque<QByteArray>& texts = m.texts;
        const std::vector<std::size_t>& toRender = m.toRender;
        // By place among those to render (the texts' own places when none was rendered ahead).
        std::vector<Rendered> rendered = std::move(m.rendered);
        const std::size_t from = rendered.size();
        rendered.resize(toRender.size());
        const int parts = int((toRender.size() - from + RendersPerPart - 1) / RendersPerPart);
        // Rasterising a glyph at all its subpixel places costs about what painting a few
        // captions whole does: worth it when each thread renders hundreds.
        const bool many = toRender.size() >= ManyRenders;
        captionRenderer->expectMany(many);
        helperRenderer->expectMany(many);
        share->run(parts, [&](int part, int thread) {
            CaptionRenderer& renderer = thread == 0 ? *captionRenderer : *helperRenderer;
            const size_t end = std::min(toRender.size(), from + size_t(part + 1) * RendersPerPart);
            for (size_t i = from + size_t(part) * RendersPerPart; i < end; ++i) {
                PackedCaption r = renderer.renderPacked(texts[toRender[i]], ratio);
                rendered[i] = {std::move(r.mask), r.offset, r.advance};
            }
        });
        captionRenderer->expectMany(false);
        helperRenderer->expectMany(false);
        if (m.ahead.empty()) {
            m.rendered = std::move(rendered);
            return;
        }
        m.rendered.resize(texts.size());
        for (std::size_t i = 0; i < toRender.size(); ++i)
            m.rendered[toRender[i]] = std::move(rendered[i]);
        for (const auto& [text, at] : m.ahead) {
            PackedCaption r = captionsAhead->take(at);
            m.rendered[text] = {std::move(r.mask), r.offset, r.advance};
        }
        takenAhead += int(m.ahead.size());
    }

    /** The last step, on the calling thread: adds what was rendered to the cache and to the waiting slots. */
    void addRendered(Missing& m, const MapScene& scene, qreal ratio)
    {
        if (!m.many())
            return;
        const std::deque<QByteArray>& texts = m.texts;
        std::int64_t incoming = 0;
        for (size_t i = 0; i < texts.size(); ++i)
            incoming += CaptionCache::footprint(texts[i], m.rendered[i].mask);
        captions.makeRoom(incoming);
        captions.reserve(int(texts.size()));
        std::vector<const CaptionCache::Entry*> added(texts.size());
        const std::uint64_t generation = captions.generation();
        for (size_t i = 0; i < texts.size(); ++i) {
            Rendered& r = m.rendered[i];
            added[i] = &captions.insertAhead(texts[i], std::move(r.mask), r.offset, ratio, m.wheres[i], r.advance,
                                             scene.view.zoomIndex());
        }
        // Only while nothing went as they were added is every one still held.
        if (captions.generation() != generation)
            return;
        forgetStaleSlots(ratio); // what making room took may have been in a slot
        for (const Missing::Waiting& w : m.waiting)
            (*w.held)[w.index] = added[w.text];
        // Making room took nothing the part found (it had used them): its slots hold.
        if (partItems)
            partGeneration = captions.generation();
    }

    /**
     * What the picture step of `plan` reads: the shrunken copy of the scene's level (made
     * once, see PicturePlan::Shrunken) or the picture itself. The copies of levels far
     * from this one go first.
     */
    const QImage& pictureSource(const MapScene& scene, const PicturePlan& plan)
    {
        const int zoom = scene.view.zoomIndex();
        // A view painted ahead lies a step from the one shown: the copies near the shown
        // level stay, so neither the next frame ahead nor the next strip makes one again.
        forgetFarCopies(paintingAhead && lastWhole ? lastWhole->zoom : zoom);
        if (plan.kind != PicturePlan::Shrunken)
            return scene.picture;
        return levelCopy(scene.picture, plan.copySize, plan.copyMode, zoom);
    }

    /**
     * The picture step inside the canvas's clip: the picture as planned, and the
     * background wherever the picture does not reach (filled around the picture, not
     * under it: at a ratio of 2 the buffer is 33 MB).
     */
    void blitPicture(QImage& backBuffer, const Canvas& canvas, const MapScene& scene)
    {
        const QRect& clip = canvas.clip();
        if (backBuffer.isNull() || clip.isEmpty())
            return;
        const Pixel background = pixelOf(scene.objects.BrushBackground);
        const qreal ratio = backBuffer.devicePixelRatio();
        const PicturePlan plan = planPicture(scene.view, scene.settings, scene.picture.size(), ratio);
        const QImage& source = pictureSource(scene, plan);
        drawPicture(backBuffer, canvas, plan, source, background);
        if (ratio != 1 && clip == backBuffer.rect())
            fillPartialEdges(backBuffer, scene.view.panel(), ratio);
    }

    /** The picture as planned inside the canvas's clip of `target`, the background around it. */
    static void drawPicture(QImage& target, const Canvas& canvas, const PicturePlan& plan, const QImage& source,
                            Pixel background)
    {
        const QRect& clip = canvas.clip();
        if (plan.kind == PicturePlan::Rows) {
            copyRows(canvas, plan.to, source, plan.from, background);
            return;
        }
        QRect drawn;
        if (plan.kind != PicturePlan::Background)
            drawn = Resampler::draw(target, plan.to, source, plan.from, plan.mode, clip);
        fillAround(canvas, drawn, background);
    }

    /**
     * At a ratio like 1.25 the buffer's last column (or row) lies only partly on the panel;
     * its centre is beyond the panel's edge, so resampling leaves it out. It repeats its
     * neighbour, or the screen would show a seam of background along the panel's edge.
     */
    static void fillPartialEdges(QImage& backBuffer, QSize panel, qreal ratio)
    {
        const int W = backBuffer.width(), H = backBuffer.height();
        if (W >= 2 && panel.width() * ratio < W) {
            for (int y = 0; y < H; ++y) {
                Pixel* line = reinterpret_cast<Pixel*>(backBuffer.scanLine(y));
                line[W - 1] = line[W - 2];
            }
        }
        if (H >= 2 && panel.height() * ratio < H)
            std::memcpy(backBuffer.scanLine(H - 1), backBuffer.constScanLine(H - 2), size_t(W) * sizeof(Pixel));
    }

    /**
     * The level that shows the picture at its own size: each destination pixel is exactly
     * one source pixel in either mode, so rows are copied as they are, and only the rest
     * of the clip gets the background (as resampling leaves it there).
     */
    static void copyRows(const Canvas& canvas, const QRect& to, const QImage& pic, const QRectF& from, Pixel background)
    {
        const QRect& clip = canvas.clip();
        const long long dx = (long long)from.x() - to.x(), dy = (long long)from.y() - to.y();
        const long long cx0 = clip.left(), cx1 = (long long)clip.left() + clip.width();
        // Destination columns and rows inside the clip, the target rectangle and the picture.
        const long long x0 = std::max({cx0, (long long)to.x(), -dx});
        const long long x1 = std::min({cx1, (long long)to.x() + to.width(), pic.width() - dx});
        const long long y0 = std::max({(long long)clip.top(), (long long)to.y(), -dy});
        const long long y1
            = std::min({(long long)clip.top() + clip.height(), (long long)to.y() + to.height(), pic.height() - dy});
        for (int y = clip.top(); y <= clip.bottom(); ++y) {
            Pixel* out = canvas.row(y);
            if (y < y0 || y >= y1 || x0 >= x1) {
                fillPixels(out + cx0, size_t(cx1 - cx0), background);
                continue;
            }
            fillPixels(out + cx0, size_t(x0 - cx0), background);
            std::memcpy(out + x0, reinterpret_cast<const Pixel*>(pic.constScanLine(int(y + dy))) + (x0 + dx),
                        size_t(x1 - x0) * sizeof(Pixel));
            fillPixels(out + x1, size_t(cx1 - x1), background);
        }
    }

    /** Fills every pixel of the canvas's clip outside `drawn` (which may be empty) with `colour`. */
    static void fillAround(const Canvas& canvas, const QRect& drawn, Pixel colour)
    {
        const QRect& clip = canvas.clip();
        const QRect inside = drawn & clip;
        if (inside.isEmpty()) {
            canvas.fill(clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1, colour);
            return;
        }
        canvas.fill(clip.left(), clip.top(), clip.right() + 1, inside.top(), colour);
        canvas.fill(clip.left(), inside.bottom() + 1, clip.right() + 1, clip.bottom() + 1, colour);
        canvas.fill(clip.left(), inside.top(), inside.left(), inside.bottom() + 1, colour);
        canvas.fill(inside.right() + 1, inside.top(), clip.right() + 1, inside.bottom() + 1, colour);
    }

    /**
     * The picture step of one rectangle composed in bands (see paintArea): planned and
     * prepared once, then drawn a band at a time, each thread keeping the source rows it
     * interpolated from one band to the next. Together the bands get what blitPicture
     * gives the whole rectangle.
     */
    class BandedPicture {
    public:
        BandedPicture(Private& d, const QImage& backBuffer, const QRect& clip, const MapScene& scene)
            : m_plan(planPicture(scene.view, scene.settings, scene.picture.size(), backBuffer.devicePixelRatio())),
              m_source(&d.pictureSource(scene, m_plan)), m_background(pixelOf(scene.objects.BrushBackground))
        {
            if (m_plan.kind == PicturePlan::Shrunken || m_plan.kind == PicturePlan::Direct)
                m_drawing.emplace(backBuffer.size(), m_plan.to, *m_source, m_plan.from, m_plan.mode, clip);
        }
        /**
         * The same picture step of a shrinking level whose copy is made of dropped pixels,
         * read from the picture itself (see readsPictureFor): that copy is not made.
         */
        struct ThroughCopy {};
        BandedPicture(ThroughCopy, const QImage& backBuffer, const QRect& clip, const MapScene& scene)
            : m_plan(planPicture(scene.view, scene.settings, scene.picture.size(), backBuffer.devicePixelRatio())),
              m_source(&scene.picture), m_background(pixelOf(scene.objects.BrushBackground))
        {
            m_drawing.emplace(backBuffer.size(), m_plan.to, scene.picture, m_plan.copySize, m_plan.from, clip);
        }
        /**
         * Whether `plan`'s picture step may read the picture itself instead of the level's
         * copy: a copy of dropped pixels, drawn one to one, holds only pixels of the picture.
         */
        static bool readsPictureFor(const PicturePlan& plan)
        {
            return plan.kind == PicturePlan::Shrunken && plan.copyMode == Resampler::Mode::Pixel
                   && plan.mode == Resampler::Mode::Pixel;
        }
        /** Draws the picture of `band`'s clip on `thread` (0 or 1, see WorkShare::run). */
        void draw(const Canvas& band, int thread)
        {
            const QRect& clip = band.clip();
            if (m_plan.kind == PicturePlan::Rows) {
                copyRows(band, m_plan.to, *m_source, m_plan.from, m_background);
                return;
            }
            QRect drawn;
            if (m_drawing) {
                m_drawing->drawRows(band.bits(), band.bytesPerLine(), clip.top(), clip.top() + clip.height(),
                                    m_rows[thread]);
                drawn = m_drawing->drawn();
            }
            fillAround(band, drawn, m_background);
        }

    private:
        PicturePlan m_plan;
        const QImage* m_source;
        Pixel m_background;
        std::optional<Resampler::Drawing> m_drawing;
        Resampler::Drawing::Rows m_rows[2];
    };

    /**
     * The picture step of a whole paint at a whole ratio with nothing laid over it, in
     * parts the second core runs while the calling thread gathers and adds the captions
     * the paint lacks (the steps of renderMissing only it can do): first the level's copy
     * of the picture when none is kept yet, then the picture drawn onto the buffer, a band
     * of rows at a time. The pixels are those blitPicture gives.
     */
    class PictureAside {
    public:
        /** With `readsPicture`, a shrinking level's first paint may leave its copy for later (see above). */
        PictureAside(Private& d, QImage& backBuffer, const MapScene& scene, bool readsPicture = false)
            : m_d(d), m_backBuffer(backBuffer), m_scene(scene),
              m_canvas(backBuffer, scene.view.panel(), backBuffer.rect())
        {
            const PicturePlan plan
                = planPicture(scene.view, scene.settings, scene.picture.size(), backBuffer.devicePixelRatio());
            if (plan.kind == PicturePlan::Shrunken) {
                // As pictureSource does: the copies far from this level go before another is made.
                d.forgetFarCopies(scene.view.zoomIndex());
                if (!d.keptLevelCopy(scene.picture, plan.copySize, plan.copyMode) && readsPicture
                    && BandedPicture::readsPictureFor(plan)
                    && d.skipsCopy(scene.picture, plan, scene.view.zoomIndex())) {
                    // A level's first paint reads the rows it shows from the picture (the
                    // copy's pixels, a fraction of its rows at 50 %); the copy is left to the
                    // window's idle time (see makeSkippedCopies), so the first frame makes none.
                    m_picture.emplace(BandedPicture::ThroughCopy{}, backBuffer, m_canvas.clip(), scene);
                    return;
                }
                if (!d.keptLevelCopy(scene.picture, plan.copySize, plan.copyMode)
                    && plan.copySize.height() >= 2 * CopyBands::BandRows) {
                    m_copy.emplace(scene.picture, plan.copySize, plan.copyMode);
                    m_copyPlan = plan;
                    return;
                }
            }
            m_picture.emplace(d, backBuffer, m_canvas.clip(), scene);
        }
        /** The parts beside the gathering: the copy's bands, or (with a copy kept) the picture's. */
        int firstParts() const { return m_copy ? m_copy->count() : bands(); }
        void first(int part, int thread)
        {
            if (m_copy)
                m_copy->band(part, thread);
            else
                draw(part, thread);
        }
        /** Between the two, on the calling thread: keeps the copy made and readies the picture's drawing from it. */
        void between()
        {
            if (!m_copy)
                return;
            m_d.levels.push_back(
                {m_copyPlan.copySize, m_copyPlan.copyMode, m_scene.view.zoomIndex(), std::move(m_copy->image)});
            m_copy.reset();
            m_picture.emplace(m_d, m_backBuffer, m_canvas.clip(), m_scene);
            m_drawLater = true;
        }
        /** The parts beside the adding: the picture's bands, when the copy was made first. */
        int secondParts() const { return m_drawLater ? bands() : 0; }
        void second(int part, int thread) { draw(part, thread); }

    private:
        static constexpr int BandRows = CopyBands::BandRows;
        int bands() const { return (m_canvas.clip().height() + BandRows - 1) / BandRows; }
        void draw(int part, int thread)
        {
            const QRect& c = m_canvas.clip();
            m_picture->draw(m_canvas.clippedTo(QRect(c.left(), c.top() + part * BandRows, c.width(), BandRows) & c),
                            thread);
        }

        Private& m_d;
        QImage& m_backBuffer;
        const MapScene& m_scene;
        const Canvas m_canvas;
        std::optional<CopyBands> m_copy;
        PicturePlan m_copyPlan;
        std::optional<BandedPicture> m_picture;
        bool m_drawLater = false;
    };

    /**
     * renderMissing for a whole paint whose picture step goes to the second core beside
     * the calling thread's gathering and adding (see PictureAside): the picture is then
     * drawn, and the paint does not draw it again.
     */
    void renderMissingBeside(PictureAside& picture, const MapScene& scene, qreal ratio, const QRect& area)
    {
        Missing missing;
        // Once the picture's parts are taken, the second core renders what the gathering
        // has found until it ends (the last part).
        RenderFeed feed;
        const int pictureParts = picture.firstParts();
        share->runBeside(
            pictureParts + 1,
            [&](int part, int thread) {
                if (part < pictureParts)
                    picture.first(part, thread);
                else if (thread == 1)
                    feed.render(*helperRenderer, ratio);
            },
            [&] { gatherMissing(scene, ratio, area, missing, &feed); });
        missing.rendered = feed.takeRendered();
        picture.between();
        renderGathered(missing, ratio);
        share->runBeside(
            picture.secondParts(), [&](int part, int thread) { picture.second(part, thread); },
            [&] { addRendered(missing, scene, ratio); });
    }

    /**
     * Location frames and captions, `highlight` being the location the paint's visit
     * found highlighted. Every location is gone through, even off-panel ones, for the
     * text colour each one leaves behind. With `panelPoints` (routes shown) each
     * location's panel point is kept there.
     */
    void drawLocations(const Canvas& canvas, const MapScene& scene, int highlight, std::vector<QPoint>* panelPoints)
    {
        const Viewport& v = scene.view;
        const Settings& st = scene.settings;
        const LocationList& locs = scene.locations;
        Pixel textColour = 0xFF000000u; // a fresh drawing context writes black
        for (size_t i = 0; i < locs.size(); ++i) {
            const Location& L = locs[i];
            if (panelPoints)
                (*panelPoints)[i] = v.mapToPanel(L.X, L.Y);
            const StatusStyle style = styleOf(L, scene);
            const bool highlighted = int(i) == highlight;
            if (!v.LevelVisible(L.Level) || !(style.shown || highlighted))
                continue;
            const QPoint q = panelPoints ? (*panelPoints)[i] : v.mapToPanel(L.X, L.Y);
            if (style.colour) {
                textColour = pixelOf(*style.colour);
                overlay.frame(q, textColour);
            }
            if (st.ShowText && locationCaptionShown(int(i)))
                drawCaption(canvas, L.Name, st.TextLength, QPoint(q.x() + 4, q.y() + 1), textColour, QPoint(L.X, L.Y),
                            locationSlot(scene, int(i)));
        }
    }

    /**
     * The canvas's clip in panel pixels, grown by how far a frame, diamond or caption
     * drawn around a point can reach (as far as drawCaption looks), whose points are worth
     * visiting: anything further out draws nothing there.
     */
    QRect reachArea(const QRect& panelClip, int limit, int longestName) const
    {
        const long long chars = (limit > 0 && longestName > limit) ? limit + 3 : longestName;
        const long long left = std::min<long long>(INT_MAX / 4, 16 + (chars + 2) * maxCharWidth);
        const int top = 2 * lineHeight + 16, right = maxCharWidth + 16, bottom = lineHeight + 16;
        const QRect& c = panelClip;
        return QRect(int(c.left() - left), c.top() - top, int(c.width() + left + right), c.height() + top + bottom);
    }

    /**
     * The pixels of a panel of `panel` that a frame and a caption of `chars` characters
     * drawn for panel point `q` can touch: the box reachArea grows a clip by, turned about
     * the point, so a place whose box misses a clip is one reachArea leaves out of it.
     */
    QRect placeReach(QPoint q, long long chars, QSize panel) const
    {
        const long long right = 16 + (chars + 2) * (long long)maxCharWidth;
        const long long left = maxCharWidth + 16LL, top = lineHeight + 16LL, bottom = 2LL * lineHeight + 16;
        const long long x0 = std::max<long long>(0, q.x() - left), y0 = std::max<long long>(0, q.y() - top);
        const long long x1 = std::min<long long>(panel.width() - 1LL, q.x() + right);
        const long long y1 = std::min<long long>(panel.height() - 1LL, q.y() + bottom);
        if (x0 > x1 || y0 > y1)
            return {};
        return QRect(QPoint(int(x0), int(y0)), QPoint(int(x1), int(y1)));
    }

    /**
     * What one part of a paint in parts with overlapping captions hidden draws, looked up
     * on the calling thread before the parts are drawn: the captions of its places (by
     * their position in its list) and its markers, in drawing order.
     */
    struct PartDrawing {
        struct Shown {
            std::size_t at; // in the part's list of places
            const CaptionCache::Entry* caption;
        };
        std::vector<Shown> captions;
        struct Marker {
            QPoint q;
            const CaptionCache::Entry* caption; // null: none drawn
            QPoint at;                          // its caption's top-left
        };
        std::vector<Marker> markers;
    };
    std::vector<PartDrawing> partDrawings;
    std::vector<std::size_t> shownAt; // of the part under way: where its captions shown lie in its list
    /** The second core's overlay for the parts it draws (see drawPartsOnBothCores). */
    TiledOverlay helperOverlay;

    /**
     * The parts `canvases` (one rectangle's, top to bottom, each drawn as its drawings
     * come: see TiledOverlay::beginDirect) of a paint in parts with overlapping captions
     * hidden, whose picture is drawn, with `items` from the plan, drawn on both cores:
     * first, on this thread and part by part as the paint draws them one after the other,
     * each part's captions are looked up (or rendered) and its markers found, so the
     * cache sees what it sees then; then the parts are drawn, each by whichever thread
     * takes it, with the pixels of the paint one part after the other. Only while the
     * cache removes nothing (its generation stays) do the captions looked up stay where
     * they are: false, drawing nothing, when it removed any (the parts are then drawn one
     * after the other, as without a second core). `route` lays a part's route lines.
     */
    template <class Routes>
    bool drawPartsOnBothCores(const MapScene& scene, const std::vector<Canvas>& canvases,
                              const std::vector<PartItems>& items, int highlight, Routes route)
    {
        const Settings& st = scene.settings;
        const std::uint64_t generation = captions.generation();
        partDrawings.resize(canvases.size());
        for (std::size_t p = 0; p < canvases.size(); ++p) {
            const Canvas& canvas = canvases[p];
            PartDrawing& out = partDrawings[p];
            out.captions.clear();
            out.markers.clear();
            partItems = &items[p];
            beginPartSlots();
            captions.beginPass();
            const PartItems& part = items[p];
            // The captions shown lie scattered over the places' records: each record is
            // asked for a few captions before it is read.
            shownAt.clear();
            for (std::size_t k = 0; k < part.places.size() && st.ShowText; ++k)
                if (part.looks[k] & PlaceLook::Caption)
                    shownAt.push_back(k);
            // Their slots come from the plan (the j-th shown has part.shownSlots[j]), and
            // the captions the slots hold are asked for a few ahead too, while the slots
            // still hold what the cache holds.
            constexpr std::size_t Ahead = 8;
            CaptionSlots& held = shownLocationSlots.held;
            const auto slotOf = [&](std::size_t j) { return Slot{held, part.shownSlots[j], held.size()}; };
            const auto heldAhead = [&](std::size_t j) {
                return j < shownAt.size() && captions.generation() == slotGeneration && canvas.ratio() == slotRatio
                           ? held[part.shownSlots[j]]
                           : nullptr;
            };
            for (std::size_t j = 0; j < shownAt.size(); ++j) {
                if (j + Ahead < shownAt.size()) {
                    const Location& L = scene.locations[size_t(part.places[shownAt[j + Ahead]])];
                    __builtin_prefetch(&L.Name);
                    __builtin_prefetch(&L.Y);
                }
                if (const CaptionCache::Entry* e = heldAhead(j + Ahead))
                    captions.prefetch(*e, false);
                if (const CaptionCache::Entry* e = heldAhead(j + Ahead / 2))
                    captions.prefetch(*e, true);
                const std::size_t k = shownAt[j];
                const int i = part.places[k];
                const Location& L = scene.locations[size_t(i)];
                const QPoint q = part.points[k];
                if (const CaptionCache::Entry* e = captionFor(
                        canvas, L.Name, st.TextLength, QPoint(q.x() + 4, q.y() + 1), QPoint(L.X, L.Y), slotOf(j)))
                    out.captions.push_back({k, e});
            }
            // The markers the plan visited, in its order, that can reach the part: the
            // index's answer for the part holds them and others whose drawings all miss it
            // (captionFor leaves those before it asks the cache), so the same pixels and
            // the same captions asked for. Without an index holding the markers, all.
            const QRect reach = scene.index->coversMarkers(scene.markers)
                                    ? reachArea(canvas.panelClip(), st.MarkerLength, scene.index->longestMarkerName())
                                    : QRect(QPoint(INT_MIN / 2, INT_MIN / 2), QPoint(INT_MAX / 2, INT_MAX / 2));
            for (const PlannedMarker& m : plannedMarkers) {
                if (!reach.contains(m.q))
                    continue;
                const QPoint at(m.q.x() + 3, m.q.y() + 3);
                const CaptionCache::Entry* e = nullptr;
                if (st.ShowText && markerCaptionShown(m.index)) {
                    const Location& M = scene.markers[size_t(m.index)];
                    e = captionFor(canvas, M.Name, st.MarkerLength, at, QPoint(M.X, M.Y), markerSlot(scene, m.index));
                }
                out.markers.push_back({m.q, e, at});
            }
            partItems = nullptr;
            captions.endPass(p + 1 == canvases.size());
        }
        if (captions.generation() != generation)
            return false;
        const StatusStyles styles(scene);
        const Pixel marker = pixelOf(scene.objects.PenMarker);
        share->run(int(canvases.size()), [&](int p, int thread) {
            const Canvas& canvas = canvases[size_t(p)];
            const PartItems& part = items[size_t(p)];
            const PartDrawing& drawing = partDrawings[size_t(p)];
            TiledOverlay& to = thread == 0 ? overlay : helperOverlay;
            to.beginDirect(canvas);
            auto shown = drawing.captions.begin();
            for (std::size_t k = 0; k < part.places.size(); ++k) {
                const QPoint q = part.points[k];
                const Pixel textColour = frameOfLook(to, scene, styles, part.looks[k], q, part.places[k]);
                if (shown != drawing.captions.end() && shown->at == k) {
                    blendCaption(to, canvas, *shown->caption, QPoint(q.x() + 4, q.y() + 1), textColour);
                    ++shown;
                }
            }
            for (const PartDrawing::Marker& m : drawing.markers) {
                to.diamond(m.q, marker);
                if (m.caption)
                    blendCaption(to, canvas, *m.caption, m.at, marker);
            }
            route(to, canvas, p);
            to.finish();
        });
        return true;
    }

    /**
     * A caption's footprint in the cache, at the least (a short name's mask and text with
     * the bookkeeping): a view whose places' captions would take more than the cache keeps
     * is drawn with its captions blended as they are composed (see drawPartsFused).
     */
    static constexpr std::int64_t LeastCaptionBytes = 512;

    /** Whether a whole paint in parts whose parts hold `places` places (counted in each part) composes its captions as
     * it blends them. */
    bool composesAsBlended(std::size_t places) const
    {
        return std::int64_t(places) * LeastCaptionBytes > captions.budget();
    }

    /** How many parts of a paint in parts are joined into one where its captions are composed as blended. */
    static constexpr std::size_t JoinedParts = 2;

    /**
     * Joins each `by` parts in a row of `deviceParts` (one rectangle's, top to bottom) and
     * of their `items` into one: the places of each, ascending, are joined once each (a
     * part's places are those whose drawing may reach it, so the joined part's are those
     * of the parts joined). Their route lines are dropped.
     */
    static void joinParts(std::vector<QRect>& deviceParts, std::vector<PartItems>& items, std::size_t by)
    {
        std::vector<QRect> joinedParts;
        std::vector<PartItems> joined;
        for (std::size_t k = 0; k < deviceParts.size(); k += by) {
            QRect r = deviceParts[k];
            PartItems out;
            out.places = std::move(items[k].places);
            for (std::size_t j = k + 1; j < std::min(deviceParts.size(), k + by); ++j) {
                r |= deviceParts[j];
                std::vector<int> both;
                both.reserve(out.places.size() + items[j].places.size());
                std::set_union(out.places.begin(), out.places.end(), items[j].places.begin(), items[j].places.end(),
                               std::back_inserter(both));
                out.places = std::move(both);
            }
            joinedParts.push_back(r);
            joined.push_back(std::move(out));
        }
        deviceParts = std::move(joinedParts);
        items = std::move(joined);
    }

    /** Each thread's rows for the caption it composes and blends at once (see drawPartsFused). */
    std::array<std::vector<uchar>, 2> blendedRows;

    /**
     * The parts `canvases` (one rectangle's, top to bottom) of a whole paint in parts
     * showing every caption, with `items` (each part's places and route lines), drawn on
     * both cores: each part by whichever thread takes it, its picture first, then its
     * drawings as they come, each caption composed by that thread's renderer into rows of
     * its own and blended at once. A crowded view of a huge world holds several times the
     * captions the cache may keep, so nearly all were rendered again at every paint anyway;
     * rendering them here costs no look-up, allocation, insertion or eviction, and the
     * mask is still in the processor's cache when it is blended. The cache is neither
     * asked nor changed. The pixels are those of the parts painted one after another: a
     * caption's mask is the one the cache would hold, each part is a clipped paint, and
     * its drawings land in their order. `route` lays a part's route lines.
     */
    template <class Routes>
    void drawPartsFused(QImage& backBuffer, const MapScene& scene, const std::vector<Canvas>& canvases,
                        const std::vector<PartItems>& items, int highlight, Routes route)
    {
        const Viewport& v = scene.view;
        const Settings& st = scene.settings;
        const LocationList& locs = scene.locations;
        const StatusStyles styles(scene);
        const Pixel marker = pixelOf(scene.objects.PenMarker);
        const Pixel background = pixelOf(scene.objects.BrushBackground);
        const qreal ratio = backBuffer.devicePixelRatio();
        const PicturePlan plan = planPicture(v, st, scene.picture.size(), ratio);
        const QImage& source = pictureSource(scene, plan); // the level's copy made here, once
        const QSize panel = v.panel();
        captionRenderer->expectMany(true);
        helperRenderer->expectMany(true);
        const auto asBefore = qScopeGuard([&] {
            captionRenderer->expectMany(false);
            helperRenderer->expectMany(false);
        });
        share->run(int(canvases.size()), [&](int p, int thread) {
            const Canvas& canvas = canvases[size_t(p)];
            CaptionRenderer& renderer = thread == 0 ? *captionRenderer : *helperRenderer;
            std::vector<uchar>& rows = blendedRows[size_t(thread)];
            TiledOverlay& to = thread == 0 ? overlay : helperOverlay;
            drawPicture(backBuffer, canvas, plan, source, background);
            to.beginDirect(canvas);
            const QRect clip = canvas.panelClip();
            const auto caption = [&](const QByteArray& name, int limit, QPoint at, Pixel colour) {
                const long long chars = shownChars(name, limit);
                if (name.isEmpty() || !mayReachPanel(panel, at, chars) || !mayReachClip(clip, at, chars))
                    return;
                // A caption reaching the part from above or below is often rendered for the
                // part beside it too: only one whose ink meets the part's rows is composed.
                const QPoint origin = canvas.device(at);
                // Most names are shown whole: taken as they are, not copied (a copy's count
                // of its users goes up and down again for every caption).
                QByteArray cut;
                const QByteArray& text = limit > 0 && name.size() > limit ? (cut = cutCaption(name, limit)) : name;
                const CaptionInk ink = renderer.renderInto(text, ratio, rows, canvas.clip().top() - origin.y(),
                                                           canvas.clip().bottom() + 1 - origin.y());
                to.caption({ink.bits, ink.width, ink.height, ink.width}, origin.x() + ink.offset.x(),
                           origin.y() + ink.offset.y(), colour);
            };
            // The places lie scattered over a huge list: each record is asked for a few
            // places before it is read, and its point's conversions a few after that.
            const std::vector<int>& places = items[size_t(p)].places;
            constexpr std::size_t Ahead = 16, PointAhead = 8;
            for (std::size_t k = 0; k < places.size(); ++k) {
                if (k + Ahead < places.size()) {
                    const Location& L = locs[size_t(places[k + Ahead])];
                    __builtin_prefetch(&L.Level);
                    __builtin_prefetch(&L.Status);
                }
                if (k + PointAhead < places.size()) {
                    const Location& L = locs[size_t(places[k + PointAhead])];
                    conversions.prefetch(L.X, L.Y);
                    __builtin_prefetch(L.Name.constData());
                }
                const int i = places[k];
                const Location& L = locs[size_t(i)];
                Pixel frame = 0;
                const StatusStyle style = styles.of(L, frame);
                if (!v.LevelVisible(L.Level) || !(style.shown || i == highlight))
                    continue;
                const QPoint q = conversions(L.X, L.Y);
                Pixel textColour = frame;
                if (style.colour)
                    to.frame(q, textColour);
                else
                    textColour = colourBefore(scene, i); // only the highlighted location gets here
                if (st.ShowText)
                    caption(L.Name, st.TextLength, QPoint(q.x() + 4, q.y() + 1), textColour);
            }
            forEachMarkerOf(canvas, scene, [&](int, const Location& M, QPoint q) {
                to.diamond(q, marker);
                if (st.ShowText)
                    caption(M.Name, st.MarkerLength, QPoint(q.x() + 3, q.y() + 3), marker);
            });
            route(to, canvas, p);
            to.finish();
        });
    }

    /** visit(i, marker, panel point) for each marker drawIndexedMarkers draws on `canvas`, in order. */
    template <class Visit> void forEachMarkerOf(const Canvas& canvas, const MapScene& scene, Visit visit)
    {
        forEachMarkerOf(canvas.panelClip(), scene, visit);
    }
    /** The same for a clip of `panelClip` (panel pixels). */
    template <class Visit> void forEachMarkerOf(const QRect& panelClip, const MapScene& scene, Visit visit)
    {
        const Viewport& v = scene.view;
        if (!scene.index || !scene.index->coversMarkers(scene.markers)) {
            for (size_t i = 0; i < scene.markers.size(); ++i)
                if (v.LevelVisible(scene.markers[i].Level))
                    visit(int(i), scene.markers[i], v.mapToPanel(scene.markers[i].X, scene.markers[i].Y));
            return;
        }
        const QRect area = reachArea(panelClip, scene.settings.MarkerLength, scene.index->longestMarkerName());
        const std::vector<int> found = scene.index->markersIn(v, mapBoxOf(v, area));
        // Thousands of markers lie scattered over their list: each record is asked for a
        // few markers before it is read.
        constexpr std::size_t Ahead = 8;
        for (std::size_t k = 0; k < found.size(); ++k) {
            if (k + Ahead < found.size())
                __builtin_prefetch(&scene.markers[size_t(found[k + Ahead])].Level);
            const int i = found[k];
            const Location& M = scene.markers[size_t(i)];
            if (v.LevelVisible(M.Level))
                visit(i, M, conversions(M.X, M.Y));
        }
    }

    /** As drawLocations, visiting only the locations the index places near the clip, in the same order. */
    void drawIndexedLocations(const Canvas& canvas, const MapScene& scene, int highlight)
    {
        const Viewport& v = scene.view;
        const Settings& st = scene.settings;
        const LocationList& locs = scene.locations;
        const StatusStyles styles(scene);
        const auto draw = [&](int i, const Location& L, auto pointOf) {
            Pixel frame = 0;
            const StatusStyle style = styles.of(L, frame);
            if (!v.LevelVisible(L.Level) || !(style.shown || i == highlight))
                return;
            const QPoint q = pointOf();
            Pixel textColour;
            if (style.colour) {
                textColour = frame;
                overlay.frame(q, textColour);
            } else {
                textColour = colourBefore(scene, i); // only the highlighted location gets here
            }
            if (st.ShowText && locationCaptionShown(int(i)))
                drawCaption(canvas, L.Name, st.TextLength, QPoint(q.x() + 4, q.y() + 1), textColour, QPoint(L.X, L.Y),
                            locationSlot(scene, int(i)));
        };
        if (partItems && !partItems->looks.empty()) {
            // The plan's places, points and looks: a record is read only for a caption
            // shown (its name and map point), asked for a few captions before its turn.
            const std::vector<int>& places = partItems->places;
            const std::vector<std::uint8_t>& looks = partItems->looks;
            constexpr std::size_t Ahead = 8;
            for (std::size_t k = 0; k < places.size(); ++k) {
                if (k + Ahead < places.size() && (looks[k + Ahead] & PlaceLook::Caption)) {
                    const Location& L = locs[size_t(places[k + Ahead])];
                    __builtin_prefetch(&L.Name);
                    __builtin_prefetch(&L.Y);
                }
                const int i = places[k];
                const QPoint q = partItems->points[k];
                const Pixel textColour = frameOfLook(overlay, scene, styles, looks[k], q, i);
                if (st.ShowText && (looks[k] & PlaceLook::Caption)) {
                    const Location& L = locs[size_t(i)];
                    drawCaption(canvas, L.Name, st.TextLength, QPoint(q.x() + 4, q.y() + 1), textColour,
                                QPoint(L.X, L.Y), locationSlot(scene, i));
                }
            }
            return;
        }
        forEachPlaceIn(scene, canvas.panelClip(), [&](int i) {
            const Location& L = locs[size_t(i)];
            draw(i, L, [&] { return conversions(L.X, L.Y); });
        });
    }

    /**
     * The text colour the full visit holds when it reaches location `i`: that of the last
     * location before it drawn with a frame (black, a fresh context's, when none was).
     */
    /**
     * The frame a place of look `look` (see PlaceLook) draws at `q` onto `to`, as
     * drawIndexedLocations draws it; the colour its caption takes. `i` is the place.
     */
    static Pixel frameOfLook(TiledOverlay& to, const MapScene& scene, const StatusStyles& styles, std::uint8_t look,
                             QPoint q, int i)
    {
        if (!(look & PlaceLook::Coloured))
            return colourBefore(scene, i); // only the highlighted location gets here
        const Pixel colour = styles.colourOf(look);
        to.frame(q, colour);
        return colour;
    }

    static Pixel colourBefore(const MapScene& scene, int i)
    {
        for (int j = i - 1; j >= 0; --j) {
            const Location& L = scene.locations[size_t(j)];
            const StatusStyle style = styleOf(L, scene);
            if (style.colour && style.shown && scene.view.LevelVisible(L.Level))
                return pixelOf(*style.colour);
        }
        return 0xFF000000u;
    }

    /** Marker `i`, `M`, at its panel point q. */
    void drawMarker(const Canvas& canvas, const MapScene& scene, int i, const Location& M, QPoint q, Pixel marker)
    {
        overlay.diamond(q, marker);
        if (scene.settings.ShowText && markerCaptionShown(i))
            drawCaption(canvas, M.Name, scene.settings.MarkerLength, QPoint(q.x() + 3, q.y() + 3), marker,
                        QPoint(M.X, M.Y), markerSlot(scene, i));
    }

    /** As drawMarkers, visiting only the markers the index places near the panel when it holds them. */
    void drawIndexedMarkers(const Canvas& canvas, const MapScene& scene)
    {
        const Pixel marker = pixelOf(scene.objects.PenMarker);
        forEachMarkerOf(canvas, scene,
                        [&](int i, const Location& M, QPoint q) { drawMarker(canvas, scene, i, M, q, marker); });
    }

    /** Markers: hollow diamonds, not filtered by the status toggles. */
    void drawMarkers(const Canvas& canvas, const MapScene& scene)
    {
        const Pixel marker = pixelOf(scene.objects.PenMarker);
        for (size_t i = 0; i < scene.markers.size(); ++i)
            if (scene.view.LevelVisible(scene.markers[i].Level))
                drawMarker(canvas, scene, int(i), scene.markers[i],
                           scene.view.mapToPanel(scene.markers[i].X, scene.markers[i].Y), marker);
    }
};

std::vector<QByteArray> captionsToLearn(const LocationList& places, int limit, std::size_t most)
{
    std::vector<bool> seen(256 * 256 + 2 * 256);
    std::vector<QByteArray> captions;
    const std::size_t n = std::min(places.size(), most);
    for (std::size_t i = 0; i < n; ++i)
        if (showsNew(places[i].Name, limit, seen))
            captions.push_back(cutCaption(places[i].Name, limit));
    return captions;
}

namespace {

/** A view of the design-size picture at `view`'s level, scroll and panel (the picture is not decoded yet). */
Viewport firstViewport(const FirstView& view)
{
    constexpr int scale = 10;
    return Viewport::showing(QSize(Viewport::DesignWidth * scale, Viewport::DesignHeight * scale), scale, view.panel,
                             view.zoom, view.scroll);
}

/** How far left of the panel a place may lie and its caption still reach it, at most (font widths unknown). */
constexpr int NearLeft = 1024;
/** How far above it, the same. */
constexpr int NearAbove = 128;

} // namespace

PlacesNearView placesNearView(const LocationList& places, const FirstView& view, int limit)
{
    PlacesNearView near{view, limit, {}, {}};
    if (view.panel.isEmpty())
        return near;
    const Viewport v = firstViewport(view);
    // The map rectangle under the panel and what lies near enough for a caption to reach
    // it, a few pixels wider for the conversions' truncation: compared as map units, so
    // the look at each place converts nothing.
    const QPoint a = v.panelToPicture(QPoint(-NearLeft - 2, -NearAbove - 2));
    const QPoint b = v.panelToPicture(QPoint(view.panel.width() + 2, view.panel.height() + 2));
    const QPoint ma = v.ScreenToMap(a.x(), a.y()), mb = v.ScreenToMap(b.x(), b.y());
    const int x0 = std::min(ma.x(), mb.x()), x1 = std::max(ma.x(), mb.x());
    const int y0 = std::min(ma.y(), mb.y()), y1 = std::max(ma.y(), mb.y());
    for (const Location& L : places)
        if (L.X >= x0 && L.X <= x1 && L.Y >= y0 && L.Y <= y1 && !L.Name.isEmpty() && v.LevelVisible(L.Level)) {
            near.names.push_back(L.Name);
            near.points.push_back(QPoint(L.X, L.Y));
        }
    return near;
}

std::vector<QByteArray> captionsNearView(const PlacesNearView& near, int lineHeight, int maxCharWidth)
{
    std::vector<QByteArray> captions;
    if (near.names.empty())
        return captions;
    const Viewport v = firstViewport(near.view);
    const QSize panel = v.panel();
    QSet<QByteArray> seen;
    for (std::size_t k = 0; k < near.names.size(); ++k) {
        const QByteArray& name = near.names[k];
        const QPoint q = v.mapToPanel(near.points[k].x(), near.points[k].y());
        // As a paint's gathering asks (see Private::mayReachPanel).
        const long long x = q.x() + 4, y = q.y() + 1;
        const long long chars = (near.limit > 0 && name.size() > near.limit) ? near.limit + 3 : name.size();
        if (y - 2 >= panel.height() || y + lineHeight + 2 < 0 || x - 2 >= panel.width()
            || x + (chars + 1) * maxCharWidth + 2 < 0)
            continue;
        QByteArray text = cutCaption(name, near.limit);
        if (seen.contains(text))
            continue;
        seen.insert(text);
        captions.push_back(std::move(text));
    }
    return captions;
}

std::int64_t captionLimit(std::size_t places)
{
    if (places <= HugeWorldAbove)
        return CaptionCache::MaxBudget;
    return std::int64_t(std::uint64_t(CaptionCache::MaxBudget) * HugeWorldAbove / places);
}

MapPainter::MapPainter() : d(std::make_unique<Private>())
{}

MapPainter::MapPainter(std::int64_t captionBudget) : d(std::make_unique<Private>(captionBudget))
{}
MapPainter::~MapPainter() = default;

void MapPainter::paint(QImage& backBuffer, const MapScene& scene)
{
    prepareBackBuffer(backBuffer, scene);
    paintArea(backBuffer, scene, QRegion(backBuffer.rect()));
}

void MapPainter::paint(QImage& backBuffer, const MapScene& scene, const QRegion& area)
{
    const qreal ratio = backBuffer.isNull() ? 1.0 : backBuffer.devicePixelRatio();
    // A ratio like 1.25 leaves a partly covered last column and row that repeat their
    // neighbours: only a whole paint gets those right.
    if (backBuffer.size() != backBufferSize(scene.view.panel(), ratio) || backBuffer.format() != QImage::Format_RGB32
        || ratio != std::floor(ratio)) {
        paint(backBuffer, scene);
        return;
    }
    paintArea(backBuffer, scene, area);
}

/**
 * From how many device pixels (a quarter of a full HD panel) and places a rectangle's
 * route lines are found on the second core beside the drawing of its places: a drag's
 * strips, a status edit's box and a small world hold too few to pay for waking it.
 */
constexpr std::int64_t RoutesAside = 1920 * 1080 / 4;
constexpr std::size_t RoutesAsideFrom = 10000;

/** The most device pixels of a part drawn as its drawings come (2 MB, the second-level cache of a core). */
constexpr std::int64_t DirectPixels = std::int64_t(1) << 19;

void MapPainter::paintArea(QImage& backBuffer, const MapScene& scene, const QRegion& area)
{
    d->overlay.resetGathered();
    d->helperOverlay.resetGathered();
    d->takenAhead = 0;
    // One paint, one visit of the locations for the highlight, however many rectangles.
    const int highlight = scene.highlight.visitAll(scene.locations.size());
    d->useFont(scene.objects.MapFont);
    const qreal ratio = backBuffer.isNull() ? 1.0 : backBuffer.devicePixelRatio();
    const Viewport& v = scene.view;
    const QPoint centre = v.panelToPicture(QPoint(v.panel().width() / 2, v.panel().height() / 2));
    d->captions.setLimit(captionLimit(scene.locations.size()));
    // A huge world's crowded view holds more captions than the cache may keep: those
    // along its edges, which a drag's strips need, stay before the inner ones.
    const QPoint mapCentre = v.ScreenToMap(centre.x(), centre.y());
    const QPoint corner = v.panelToPicture(QPoint(0, 0));
    const QPoint mapCorner = v.ScreenToMap(corner.x(), corner.y());
    const QPoint half(std::abs(mapCentre.x() - mapCorner.x()), std::abs(mapCentre.y() - mapCorner.y()));
    d->captions.beginPaint(v.zoomIndex(), mapCentre, scene.locations.size() > HugeWorldAbove ? half : QPoint());
    const bool whole = !d->paintingAhead && QRegion(backBuffer.rect()).subtracted(area).isEmpty();
    d->hiding = decidesForWholePanel(scene.settings);
    const bool indexed = scene.index && scene.index->coversLocations(scene.locations);
    // With a layer over the map, each rectangle is composed a band at a time (the picture,
    // what lands on it, the layer), while the band is in the cache. At a ratio like 1.25 the
    // partly covered edges repeat their neighbours once the whole picture is there (see
    // fillPartialEdges), so the layer then follows the whole rectangle. A layer that has
    // nothing to lay on a rectangle leaves it painted as without one, at any ratio.
    const bool bandable = ratio == std::floor(ratio);
    // A crowded view of a huge world holds more drawings and captions than the memory aimed
    // at allows: its rectangles are painted a few tile rows at a time, each part gathered,
    // drawn and let go (with the captions no later part needs) before the next. Each part
    // is a clipped paint, a piece of the whole one, so the pixels are the same.
    const bool inParts = indexed && bandable && d->partedWorld(scene);
    d->conversions.reset(v, inParts);
    bool pictured = false; // the picture step is done already
    if (whole) {
        // With overlapping captions hidden, a crowded view shows a few of the captions of
        // its places: rendering all it lacks beforehand would cost many times what the
        // plan renders, and fill the cache with captions never shown. A paint in parts
        // renders what each part lacks before it.
        // With nothing laid over the map, the second core draws the picture meanwhile.
        if (!d->hiding && !inParts && d->mayMissMany(v, ratio)) {
            const QRect panel(QPoint(0, 0), v.panel());
            if (bandable && !scene.top && scene.settings.ShowText && d->share->helps() && !backBuffer.isNull()) {
                // A world whose frames are painted ahead has no idle time to make the copy in.
                Private::PictureAside picture(*d, backBuffer, scene, !d->partedWorld(scene));
                d->renderMissingBeside(picture, scene, ratio, panel);
                pictured = true;
            } else {
                d->renderMissing(scene, ratio, panel);
            }
        }
        d->lastWhole = Private::WholeView{v.zoomIndex(), v.scroll(), ratio};
    }
    d->plannedBox.reset();
    if (d->hiding) {
        // The plan of a whole paint in parts leaves the second core free: it draws the
        // picture meanwhile, as the gathering of a paint showing every caption has it do.
        std::optional<Private::PictureAside> picture;
        if (whole && inParts && !pictured && !scene.top && d->share->helps() && !backBuffer.isNull())
            picture.emplace(*d, backBuffer, scene);
        d->planCaptions(scene, highlight, picture ? &*picture : nullptr);
        if (picture) {
            picture->between();
            d->share->run(picture->secondParts(), [&](int part, int thread) { picture->second(part, thread); });
            pictured = true;
        }
    }
    const bool anyRoutes = routesShown(scene.settings);
    std::vector<QPoint> panelPoints;
    std::vector<QPoint> routePoints; // the places' panel points, for the routes of every rectangle
    std::vector<QRect> parts;
    std::vector<std::size_t> firstOf; // of each part: the first part of its rectangle
    // A paint ahead is a band of a view painted ahead or shown in steps: of thinner parts,
    // so that a band a few parts tall gives each core one (see FramesAhead::BandRows).
    const int partRows = d->paintingAhead ? MapPainter::PartHeight : TiledOverlay::TileHeight * Private::PartRows;
    for (const QRect& rect : area) {
        const QRect clip = rect & backBuffer.rect();
        const int height = inParts ? partRows * int(ratio) : std::max(1, clip.height());
        const std::size_t first = parts.size();
        for (int top = clip.top(); top <= clip.bottom(); top += height) {
            parts.push_back(QRect(clip.left(), top, clip.width(), std::min(height, clip.bottom() + 1 - top)));
            firstOf.push_back(first);
        }
    }
    const auto panelClipOf = [&](const QRect& device) { return Canvas(backBuffer, v.panel(), device).panelClip(); };
    // A paint in parts lays the level's route layer over each part where it has one.
    QPoint layerOffset;
    const RouteLayer* routeLayer
        = inParts && anyRoutes
              ? d->routeLayerFor(scene, Canvas(backBuffer, v.panel(), backBuffer.rect()), layerOffset, whole)
              : nullptr;
    const RoutePens pens(scene);
    std::vector<Private::PartItems> items; // of the parts of the rectangle under way
    for (std::size_t part = 0; part < parts.size(); ++part) {
        const Canvas canvas(backBuffer, scene.view.panel(), parts[part]);
        if (canvas.clip().isEmpty())
            continue;
        const bool last = part + 1 == parts.size();
        if (inParts) {
            const std::size_t first = firstOf[part];
            if (part == first) {
                std::vector<QRect> panelParts, deviceParts;
                for (std::size_t k = first; k < parts.size() && firstOf[k] == first; ++k) {
                    panelParts.push_back(panelClipOf(parts[k]));
                    deviceParts.push_back(parts[k]);
                }
                const QRect rectangle = panelParts.front() | panelParts.back();
                const bool planned = d->itemsOfParts(scene, rectangle, panelParts, items);
                if (anyRoutes && !routeLayer)
                    d->linesOfParts(scene, Canvas(backBuffer, v.panel(), deviceParts.front() | deviceParts.back()),
                                    deviceParts, items);
                // A whole paint with overlapping captions hidden, its picture drawn and
                // nothing laid over it, whose parts are drawn as their drawings come: the
                // second core takes some of its parts.
                if (planned && pictured && d->hiding && !scene.top && d->share->helps()
                    && deviceParts.size() == parts.size()) {
                    std::vector<Canvas> canvases;
                    for (const QRect& r : deviceParts) {
                        canvases.emplace_back(backBuffer, v.panel(), r);
                        const QRect& c = canvases.back().clip();
                        if (c.isEmpty() || std::int64_t(c.width()) * c.height() > DirectPixels)
                            canvases.clear();
                        if (canvases.empty())
                            break;
                    }
                    const auto route = [&](TiledOverlay& to, const Canvas& c, int k) {
                        if (routeLayer)
                            to.layerOver(*routeLayer, layerOffset, pens.pens);
                        else if (anyRoutes)
                            to.linesOver(items[size_t(k)].routes, c.thickness(2));
                    };
                    if (canvases.size() == deviceParts.size()
                        && d->drawPartsOnBothCores(scene, canvases, items, highlight, route))
                        break; // every part is drawn
                }
                // A whole paint showing every caption of a view more crowded than the
                // cache keeps, nothing laid over it: its parts on both cores, each caption
                // composed as it is blended. So is a band of rows of a view painted ahead
                // or shown in steps whose whole paint would be: its places counted as the
                // panel's would be.
                if ((whole || d->paintingAhead) && !d->hiding && !scene.top && deviceParts.size() == parts.size()
                    && !backBuffer.isNull()) {
                    std::size_t places = 0;
                    for (const Private::PartItems& p : items)
                        places += p.places.size();
                    const int rows = deviceParts.back().bottom() + 1 - deviceParts.front().top();
                    if (!whole && rows > 0)
                        places = std::size_t(std::uint64_t(places) * std::uint64_t(backBuffer.height()) / rows);
                    if (d->composesAsBlended(places)) {
                        // A caption reaching two parts is composed for each: taller parts
                        // meet fewer such. Those whose route lines come from a layer are
                        // joined (a part's own lines would have to be joined in order).
                        // A band's few parts stay apart: each core takes one.
                        if (whole && (routeLayer || !anyRoutes))
                            Private::joinParts(deviceParts, items, Private::JoinedParts);
                        std::vector<Canvas> canvases;
                        for (const QRect& r : deviceParts)
                            canvases.emplace_back(backBuffer, v.panel(), r);
                        d->drawPartsFused(backBuffer, scene, canvases, items, highlight,
                                          [&](TiledOverlay& to, const Canvas& c, int k) {
                                              if (routeLayer)
                                                  to.layerOver(*routeLayer, layerOffset, pens.pens);
                                              else if (anyRoutes)
                                                  to.linesOver(items[size_t(k)].routes, c.thickness(2));
                                          });
                        break; // every part is drawn
                    }
                }
            }
            d->partItems = &items[part - first];
            d->beginPartSlots();
            d->captions.beginPass();
            if (!d->hiding)
                d->renderMissing(scene, ratio, canvas.panelClip());
        }
        const MapTopLayer::Readiness ready
            = scene.top ? scene.top->prepare(backBuffer, canvas.clip()) : MapTopLayer::Readiness::Nothing;
        const bool laid = ready != MapTopLayer::Readiness::Nothing, banded = laid && bandable;
        std::optional<Private::BandedPicture> picture;
        if (banded)
            picture.emplace(*d, backBuffer, canvas.clip(), scene);
        const TiledOverlay::Layers layers{
            [&](const QRect& band, int thread) { picture->draw(canvas.clippedTo(band), thread); },
            [&](const QRect& band, int) { scene.top->layOver(backBuffer, band); },
            ready == MapTopLayer::Readiness::AnyThread};
        if (!banded && !pictured)
            d->blitPicture(backBuffer, canvas, scene);
        // With overlapping captions hidden, a part of a crowded view holds a few hundred
        // captions beside tens of thousands of frames, and its rows stay in the cache.
        if (inParts && d->hiding && !banded
            && std::int64_t(canvas.clip().width()) * canvas.clip().height() <= DirectPixels)
            d->overlay.beginDirect(canvas);
        else
            d->overlay.begin(canvas, banded ? &layers : nullptr);
        if (indexed) {
            const auto drawPlaces = [&] {
                d->drawIndexedLocations(canvas, scene, highlight);
                d->drawIndexedMarkers(canvas, scene);
            };
            // A crowded rectangle's route lines are found and converted on the second
            // core while this thread draws the places; they are then gathered in their
            // order, after the places, as drawn one after another.
            const bool routesAside = anyRoutes && !routeLayer && !inParts && d->share->helps()
                                     && scene.locations.size() >= RoutesAsideFrom
                                     && std::int64_t(canvas.clip().width()) * canvas.clip().height() >= RoutesAside;
            TiledOverlay::ReadyLines lines;
            if (routesAside) {
                const int t = canvas.thickness(2);
                d->share->runBeside(
                    1,
                    [&](int) {
                        forEachIndexedRoute(scene, canvas, routePoints, [&](const RouteLine& l) {
                            d->overlay.ready(l.a, l.b, l.colour, t, lines);
                        });
                    },
                    [&] {
                        d->overlay.drawAlone(true);
                        const auto shareAgain = qScopeGuard([&] { d->overlay.drawAlone(false); });
                        drawPlaces();
                    });
            } else {
                drawPlaces();
            }
            if (routesAside) {
                d->overlay.take(lines);
            } else if (routeLayer) {
                d->overlay.layerOver(*routeLayer, layerOffset, pens.pens);
            } else if (anyRoutes && inParts) {
                d->overlay.linesOver(d->partItems->routes, canvas.thickness(2));
            } else if (anyRoutes) {
                drawIndexedRoutes(scene, canvas, routePoints, d->overlay);
            }
        } else {
            // The routes join the locations' panel points, gathered while the locations are drawn.
            if (anyRoutes)
                panelPoints.resize(scene.locations.size());
            d->drawLocations(canvas, scene, highlight, anyRoutes ? &panelPoints : nullptr);
            d->drawMarkers(canvas, scene);
            if (anyRoutes)
                drawRoutes(scene, panelPoints, d->overlay);
        }
        d->overlay.finish();
        if (laid && !banded)
            scene.top->layOver(backBuffer, canvas.clip());
        if (inParts) {
            d->partItems = nullptr;
            d->captions.endPass(last);
        }
    }
    // Only a paint of the whole panel tells what a view needs: a drag's strips hold few captions.
    d->captions.endPaint(whole);
    // The captions rendered ahead were for the first view: what its paint left is let go.
    if (whole && !scene.locations.empty())
        d->captionsAhead.reset();
    d->lastInk = d->overlay.gathered() + d->helperOverlay.gathered();
}

bool MapPainter::decidesForWholePanel(const Settings& settings)
{
    return settings.ShowText && settings.HideOverlappingCaptions;
}

void MapPainter::paintAhead(QImage& frame, const MapScene& scene, const QRegion& area)
{
    d->paintingAhead = true;
    const auto after = qScopeGuard([this] { d->paintingAhead = false; });
    paint(frame, scene, area);
}

void MapPainter::paintPicture(QImage& backBuffer, const MapScene& scene, const QRect& area)
{
    prepareBackBuffer(backBuffer, scene);
    d->blitPicture(backBuffer, Canvas(backBuffer, scene.view.panel(), area), scene);
}

void MapPainter::tookAhead(const MapScene& scene, qreal ratio)
{
    scene.highlight.visitAll(scene.locations.size());
    d->lastWhole = Private::WholeView{scene.view.zoomIndex(), scene.view.scroll(), ratio};
}

bool MapPainter::renderCaptionsAhead(const MapScene& scene, qreal ratio, std::chrono::steady_clock::time_point deadline)
{
    // Beyond the size painted in parts the memory goes to the places, not to the copies of
    // levels not shown yet.
    if (!d->partedWorld(scene)) {
        // The shown level's copy first: its next paint needs it before a zoom step's does.
        d->makeSkippedCopies(scene.picture);
        const PicturePlan plan = planPicture(scene.view, scene.settings, scene.picture.size(), ratio);
        if (plan.kind == PicturePlan::Shrunken)
            d->levelCopy(scene.picture, plan.copySize, plan.copyMode, scene.view.zoomIndex());
    }
    d->useFont(scene.objects.MapFont);
    d->captions.setLimit(captionLimit(scene.locations.size()));
    return d->renderAhead(scene, ratio, deadline);
}

void MapPainter::paintInPartsAbove(std::size_t places)
{
    d->partedAbove = places;
}

void MapPainter::startFontFrom(std::shared_ptr<const LearnedFont> learned)
{
    d->fontAhead = std::move(learned);
}

void MapPainter::takeCaptionsAhead(std::unique_ptr<CaptionsAhead> captions)
{
    d->captionsAhead = std::move(captions);
}

int MapPainter::lastTakenAhead() const
{
    return d->takenAhead;
}

void MapPainter::useSecondCore(bool on)
{
    if (on == d->share->helps())
        return;
    d->overlay = TiledOverlay(); // gathers nothing between paints: none of it is lost
    d->share = std::make_unique<WorkShare>(on);
    d->overlay = TiledOverlay(d->share.get());
}

bool MapPainter::usesSecondCore() const
{
    return d->share->helps();
}

std::optional<QRect> MapPainter::statusReach(const MapScene& scene, int index)
{
    if (index < 0 || std::size_t(index) >= scene.locations.size())
        return std::nullopt;
    if (decidesForWholePanel(scene.settings))
        return std::nullopt;
    GoHighlight next = scene.highlight; // a copy: the prediction must not advance it
    if (next.visitAll(scene.locations.size()) >= 0)
        return std::nullopt;
    const Location& L = scene.locations[std::size_t(index)];
    const Viewport& v = scene.view;
    if (!v.LevelVisible(L.Level))
        return QRect();
    d->useFont(scene.objects.MapFont);
    return d->placeReach(v.mapToPanel(L.X, L.Y), Private::shownChars(L.Name, scene.settings.TextLength), v.panel());
}

std::int64_t MapPainter::lastInk() const
{
    return d->lastInk;
}

int MapPainter::cachedCaptions() const
{
    return d->captions.size();
}

bool MapPainter::pictureMovesWith(const Viewport& before, const Viewport& after, QPoint shift, QSize picture,
                                  const Settings& settings, qreal ratio)
{
    if (before.panel() != after.panel())
        return false;
    const PicturePlan a = planPicture(before, settings, picture, ratio);
    const PicturePlan b = planPicture(after, settings, picture, ratio);
    if (a.kind != b.kind || a.copySize != b.copySize || a.copyMode != b.copyMode || a.mode != b.mode)
        return false;
    if (a.kind == PicturePlan::Background)
        return true;
    return Resampler::samePixelsShifted(backBufferSize(after.panel(), ratio), a.source(picture), a.mode, a.to, a.from,
                                        b.to, b.from, shift);
}

QImage MapPainter::paint(const MapScene& scene, qreal ratio)
{
    QImage img(backBufferSize(scene.view.panel(), ratio), QImage::Format_RGB32);
    setDeviceResolution(img, ratio);
    paint(img, scene);
    return img;
}

void fitBackBuffer(QImage& backBuffer, QSize panel, qreal ratio)
{
    const QSize size = backBufferSize(panel, ratio);
    if (backBuffer.size() != size || backBuffer.format() != QImage::Format_RGB32
        || backBuffer.devicePixelRatio() != ratio) {
        backBuffer = QImage(size, QImage::Format_RGB32);
        setDeviceResolution(backBuffer, ratio);
    }
}

void setDeviceResolution(QImage& image, qreal ratio)
{
    image.setDevicePixelRatio(ratio);
    if (ratio == 1)
        return;
    // A fresh image holds the screen's logical resolution; its pixels are `ratio` times as dense.
    QImage plain(1, 1, QImage::Format_RGB32);
    image.setDotsPerMeterX(int(std::lround(plain.dotsPerMeterX() * ratio)));
    image.setDotsPerMeterY(int(std::lround(plain.dotsPerMeterY() * ratio)));
}

QSize backBufferSize(QSize panel, qreal ratio)
{
    if (ratio == 1)
        return panel;
    // Rounded up: a buffer a fraction of a pixel short would leave a gap at the panel's edge.
    return {int(std::ceil(std::max(0, panel.width()) * ratio)), int(std::ceil(std::max(0, panel.height()) * ratio))};
}

qint64 MapPainter::cacheBytes() const
{
    qint64 total = d->captions.bytes() + d->routeLayer.bytes();
    for (const Private::LevelCopy& l : d->levels)
        total += l.image.sizeInBytes();
    return total;
}

} // namespace vdm
