// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QSize>

#include <vector>

namespace vdm {

/**
 * Which parts of the panel the captions of one paint have taken, in cells of Cell x Cell
 * panel pixels: a caption whose box meets a taken cell overlaps one drawn before it.
 * Coarse on purpose: a test costs a few cells, whatever the places' count, and with the
 * captions tried in file order the same view always shows the same captions.
 */
class CaptionOccupancy {
public:
    static constexpr int Cell = 8;

    /** A free grid covering a panel of `panel` pixels. */
    explicit CaptionOccupancy(QSize panel);

    /** Whether the cell holding panel point `p` is taken (a point off the panel is free). */
    bool taken(QPoint p) const;
    /**
     * Whether a claim of any box `height` pixels tall with its top-left at `topLeft` fails,
     * however wide it is: the column of cells holding its left edge lies on the panel and
     * one of that column's cells the box meets is taken. False when its width decides.
     * A crowded view asks this of most of its places, so it costs what one column costs.
     */
    bool blocksEveryWidth(QPoint topLeft, int height) const;
    /**
     * Takes the cells of `box` (panel pixels) unless one of those on the panel is taken
     * already; true when it took them. A box wholly off the panel takes nothing and is free.
     */
    bool claim(const QRect& box);

private:
    /** The cells `box` meets, clipped to the grid; empty when it misses. */
    QRect cellsOf(const QRect& box) const;

    int m_columns, m_rows;
    std::vector<unsigned char> m_cells;
};

} // namespace vdm
