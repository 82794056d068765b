// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>

#include <algorithm>
#include <cstdlib>

namespace vdm {

namespace detail {

inline long long floorDiv(long long a, long long b)
{
    const long long q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

/**
 * The minor offset of a line's step k, floor((2 k minor + n) / 2n), walked step by step:
 * from one step to the next its numerator grows by 2 minor, at most one denominator, so a
 * remainder carried along replaces a division per pixel and gives the same offsets.
 */
struct MinorOffset {
    long long den, twiceMinor;
    long long q, rem; // the offset, and the remainder in [0, den)

    MinorOffset(long long k, long long minor, long long n)
        : den(2 * n), twiceMinor(2 * minor), q(floorDiv(2 * k * minor + n, den)), rem(2 * k * minor + n - q * den)
    {}
    void next()
    {
        rem += twiceMinor;
        if (rem >= den) {
            rem -= den;
            ++q;
        } else if (rem < 0) {
            rem += den;
            --q;
        }
    }
};

} // namespace detail

/**
 * The pixels of a line from a towards b with b itself left out, one step per pixel of the
 * major axis, the minor offset of step k being floor((2 k minor + n) / 2n); a width of 2
 * adds the neighbour below (x-major) or to the right (y-major). Each step's pixels depend
 * on its k alone, so the line lands on the same pixels wherever it is cut, and moved by a
 * whole number of pixels it lands on its pixels moved by as much.
 *
 * Only the pixels inside `clip` are told, and only the steps that can land there are
 * walked (a line thousands of pixels long costs no more than the clip is wide):
 * column(x, y0, y1) for an x-major step's pixels [y0, y1) of column x, span(y, x0, x1)
 * for a y-major step's pixels [x0, x1) of row y, each range non-empty. The map canvas
 * writes the same walk out for its own pixels (its hottest loop); the route lines' tests
 * hold the two equal.
 */
template <class Column, class Span>
void walkLine(QPoint a, QPoint b, int width, const QRect& clip, Column column, Span span)
{
    const long long dx = (long long)b.x() - a.x(), dy = (long long)b.y() - a.y();
    if (dx == 0 && dy == 0)
        return;
    if (std::max(a.x(), b.x()) + width < clip.left() || std::min(a.x(), b.x()) - width > clip.right()
        || std::max(a.y(), b.y()) + width < clip.top() || std::min(a.y(), b.y()) - width > clip.bottom())
        return;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    if (std::min(a.x(), b.x()) >= clip.left() && std::min(a.y(), b.y()) >= clip.top()
        && std::max(a.x(), b.x()) + (long long)width <= clip.left() + (long long)clip.width()
        && std::max(a.y(), b.y()) + (long long)width <= clip.top() + (long long)clip.height()) {
        // Every pixel inside the clip (most of a crowded view's short lines, drawn a tile
        // at a time): the same steps and pixels, with nothing to clip. A step's pixels span
        // its minor offset and `width` - 1 beyond, both within the line's box grown by the
        // width, which the clip holds.
        const int n = int(xMajor ? std::llabs(dx) : std::llabs(dy));
        const int minor = int(xMajor ? dy : dx);
        const int step = (xMajor ? dx : dy) > 0 ? 1 : -1;
        detail::MinorOffset offset(0, minor, n);
        for (int k = 0; k < n; ++k) {
            const int q = int(offset.q);
            if (xMajor)
                column(a.x() + k * step, a.y() + q, a.y() + q + width);
            else
                span(a.y() + k * step, a.x() + q, a.x() + q + width);
            offset.next();
        }
        return;
    }
    const long long n = xMajor ? std::llabs(dx) : std::llabs(dy);
    const long long minor = xMajor ? dy : dx;
    const long long origin = xMajor ? a.x() : a.y();
    const long long originMinor = xMajor ? a.y() : a.x();
    const int step = (xMajor ? dx : dy) > 0 ? 1 : -1;
    // The steps whose major coordinate lies in [lo, hi); each step's pixel depends on k alone.
    const long long lo = xMajor ? clip.left() : clip.top();
    const long long hi = lo + (xMajor ? clip.width() : clip.height());
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
        const double lo2 = double(xMajor ? clip.top() : clip.left()) - width - originMinor;
        const double hi2 = double(xMajor ? clip.top() + clip.height() : clip.left() + clip.width()) - originMinor;
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
    const long long minorLo = xMajor ? clip.top() : clip.left();
    const long long minorHi = minorLo + (xMajor ? clip.height() : clip.width());
    for (long long k = kLo; k < kHi; ++k) {
        const long long major = origin + k * step;
        const long long m = originMinor + offset.q;
        const long long from = std::max(m, minorLo), to = std::min(m + width, minorHi);
        if (from < to) {
            if (xMajor)
                column(int(major), int(from), int(to));
            else
                span(int(major), int(from), int(to));
        }
        offset.next();
    }
}

} // namespace vdm
