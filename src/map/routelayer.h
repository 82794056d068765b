// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QRect>
#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace vdm {

/**
 * Route lines drawn once and laid over many paints: for each pixel of an area, which of
 * the three networks' pens the last line drawn there took (two bits a pixel; none where
 * no line lands). Lines go in in their drawing order, a later one over an earlier one, on
 * the pixels walkLine gives, so laying the layer over a map gives what drawing its lines
 * there one after another gives. A line moved by whole pixels lands on its pixels moved by
 * as much, so a layer drawn in a level's picture coordinates serves every scroll of it.
 * The few lines that reach beyond the area (to a place off the map) are kept as lines and
 * drawn there, where no other line lands; or, for a layer of one view's neighbourhood, cut
 * at the area's edges, and the layer is then laid only inside its area.
 */
class RouteLayer {
public:
    /** The most pixels a layer holds: a level's picture up to about 2 000 x 2 000 (1 MB). */
    static constexpr std::int64_t MaxPixels = std::int64_t(4) << 20;
    /** The most lines reaching beyond the area it keeps (each is drawn again by every layOver). */
    static constexpr std::size_t MaxBeyond = 4096;
    /** The most pixels a layer of lines cut at its edges holds (2 MB: a full HD panel and a margin around it). */
    static constexpr std::int64_t MaxCutPixels = std::int64_t(8) << 20;
    /** How far from the origin a line's ends may lie (any picture's pixels lie much nearer). */
    static constexpr int MaxReach = 1 << 28;

    /** What becomes of the pixels of a line beyond the area. */
    enum class Edges {
        Kept, // the line is kept and drawn there by layOver (a level's whole picture)
        Cut,  // none are drawn: the layer may be laid only inside its area (a view's neighbourhood)
    };

    /**
     * Empties the layer and makes it cover `area` (its own pixel coordinates); false, and
     * nothing held, when the area is empty or holds more than MaxPixels (MaxCutPixels for
     * a layer whose lines are cut at its edges).
     */
    bool reset(const QRect& area, Edges edges = Edges::Kept);
    /** Lets go of every pixel: the layer covers nothing. */
    void clear();

    /** The pixels the layer covers (empty: none). */
    const QRect& area() const { return m_area; }

    /**
     * Whether layOver(..., clip, offset, ...) gives the lines' pixels on all of `clip`: a
     * layer that keeps its lines beyond the area gives them everywhere, one that cuts
     * them only inside its area.
     */
    bool covers(const QRect& clip, QPoint offset) const
    {
        return !m_area.isEmpty() && (m_edges == Edges::Kept || m_area.contains(clip.translated(-offset)));
    }

    /**
     * Draws a line of the pen `pen` (1 to 3) from a towards b, `width` pixels wide, as
     * walkLine walks it: its pixels in the area, and the line itself is kept when it may
     * reach beyond (unless its edges are cut). False when the layer cannot stand for it (an
     * end beyond MaxReach, or more than MaxBeyond lines beyond the area): what it holds
     * then is not to be laid.
     */
    bool line(QPoint a, QPoint b, int width, int pen);

    /**
     * Lays the lines over `clip` (pixels of an image of 32-bit pixels, rows `bytesPerLine`
     * apart), the layer's origin at pixel `offset` of the image: each pixel whose layer
     * pixel holds pen p becomes pens[p], and beyond the area the lines kept there are
     * drawn in their order (with its edges cut, nothing is drawn there: see covers()).
     * Every other pixel keeps its colour.
     */
    void layOver(uchar* bits, qsizetype bytesPerLine, const QRect& clip, QPoint offset,
                 const std::uint32_t pens[4]) const;

    /** Bytes the layer holds. */
    std::int64_t bytes() const
    {
        return std::int64_t(m_words.capacity() * sizeof(std::uint64_t) + m_beyond.capacity() * sizeof(Beyond));
    }

private:
    void set(int x, int y, std::uint64_t pen);

    /** A line that may reach beyond the area, in the layer's coordinates. */
    struct Beyond {
        QPoint a, b;
        int width, pen;
    };
    std::vector<Beyond> m_beyond;

    QRect m_area;
    Edges m_edges = Edges::Kept;
    std::size_t m_stride = 0;           // words a row
    std::vector<std::uint64_t> m_words; // 32 pixels a word, two bits each, the leftmost lowest
};

} // namespace vdm
