// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <memory>
#include <vector>

namespace vdm {

/**
 * Scales a rectangle of one 32-bit picture onto a rectangle of another, in two modes:
 * Pixel drops or repeats whole source pixels (nearest, per-axis index tables); Smooth
 * averages the covered area when shrinking (every source pixel contributes, weighted by
 * how much of it a destination pixel covers) and interpolates bilinearly when enlarging.
 *
 * Coordinates: `from` is in source pixels and may be fractional or reach beyond the
 * source; `to` is in destination pixels and may reach beyond the destination. Output is
 * clipped to the destination, and a destination pixel whose centre maps outside the
 * source keeps its colour (the source beyond its edges contributes nothing).
 * Both images are Format_RGB32; the functions own nothing beyond their call.
 */
namespace Resampler {

enum class Mode { Pixel, Smooth };

/** Returns the destination pixels it wrote: every one of that rectangle, none outside it. */
QRect draw(QImage& dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode);
/**
 * The same draw, writing only the destination pixels inside `clip`: those are exactly
 * the pixels the whole draw gives there (each pixel's taps depend on its position in the
 * mapping alone), and every pixel outside keeps its colour. Returns the pixels it wrote.
 */
QRect draw(QImage& dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode, const QRect& clip);

/**
 * One draw prepared once and then drawn a band of rows at a time: a paint that lays
 * something over each band while its rows are still in the processor's cache. The taps
 * of both axes and the kernel's tables are made once, and each thread keeps the source
 * rows it interpolated from one band to the next (Rows), so the bands together cost what
 * one draw costs. Together they give exactly the pixels of draw(dst, to, src, from, mode,
 * clip), in whatever order and on whichever threads they are drawn.
 * The source must stay as it is while the drawing is used; a drawing is only read, so
 * two threads may draw bands of it at once, each with Rows of its own.
 */
class Drawing {
public:
    /** Prepares the draw of `from` of `src` onto `to` of a `dst`-sized image, inside `clip`. */
    Drawing(QSize dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode, const QRect& clip,
            bool shortcuts = true);
    /**
     * Prepares the Pixel-mode draw of `from` of the copy scaled(src, copy, Mode::Pixel)
     * would make, onto `to` of a `dst`-sized image, inside `clip`, read from `src` itself:
     * each pixel is the source pixel the copy's pixel holds, and the copy is not made (a
     * first paint of a shrinking level reads only the rows it shows).
     */
    Drawing(QSize dst, const QRect& to, const QImage& src, QSize copy, const QRectF& from, const QRect& clip);
    ~Drawing();
    Drawing(Drawing&&) noexcept;
    Drawing& operator=(Drawing&&) noexcept;

    /** The destination pixels the whole draw writes (empty: none). */
    QRect drawn() const;

    /** What one thread keeps between the bands it draws: source rows already interpolated. */
    class Rows {
    public:
        Rows();
        ~Rows();
        Rows(const Rows&) = delete;
        Rows& operator=(const Rows&) = delete;

    private:
        friend class Drawing;
        std::uint64_t m_drawing = 0; // the draw the rows belong to
        std::vector<std::uint32_t> m_pixels, m_sums;
        std::vector<std::uint16_t> m_filtered;
        std::vector<int> m_tags;
    };

    /**
     * Draws the destination rows [top, bottom) of the draw with the calling thread's
     * `rows` onto the destination whose pixels are `bits`, `bytesPerLine` apart (taken
     * once from the Format_RGB32 image of the size prepared for: QImage::bits() may copy
     * the image, so two threads must not call it); pixels outside the draw's clip keep
     * their colour. Bands drawn top to bottom with the same `rows` interpolate each source
     * row once.
     */
    void drawRows(uchar* bits, qsizetype bytesPerLine, int top, int bottom, Rows& rows) const;

    struct Plan;

private:
    std::unique_ptr<Plan> d;
};

/**
 * The same draw without the shortcuts some scales take (each source pixel written twice,
 * fixed half-step weights at twice the scale, every other source pixel or the even average
 * of 2 x 2 at half the scale): every pixel from the general kernels. The
 * shortcuts give exactly these pixels; this is what shows it.
 */
QRect drawWithoutShortcuts(QImage& dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode,
                           const QRect& clip);

/**
 * Whether the draw (toA, fromA) and the draw (toB, fromB), both onto a `dst`-sized
 * destination from a `src`-sized source in `mode`, agree pixel for pixel after a move:
 * every pixel p of A's result equals pixel p + shift of B's, wherever both lie in the
 * destination (drawn from the same source pixels with the same weights, or both left as
 * the destination held them). What a scrolled view needs to keep a shifted copy.
 */
bool samePixelsShifted(QSize dst, QSize src, Mode mode, const QRect& toA, const QRectF& fromA, const QRect& toB,
                       const QRectF& fromB, QPoint shift);

/**
 * A copy of the whole picture at `size`: in Smooth mode area-averaged (bilinear for a
 * larger size), in Pixel mode made of dropped or repeated pixels.
 */
QImage scaled(const QImage& src, QSize size, Mode mode = Mode::Smooth);

} // namespace Resampler

} // namespace vdm
