// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

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
 * The same draw without the shortcuts some scales take (each source pixel written twice,
 * fixed half-step weights at twice the scale): every pixel from the general kernels. The
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
