// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QSize>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

namespace vdm {

/**
 * Which parts of the panel the captions of one paint have taken, in cells of Cell x Cell
 * panel pixels: a caption whose box meets a taken cell overlaps one drawn before it.
 * Coarse on purpose: a test costs a few cells, whatever the places' count, and with the
 * captions tried in file order the same view always shows the same captions. Kept a
 * column at a time, a bit a cell, so a column's few rows are tested at once. One thread
 * claims; another may ask what is taken meanwhile, and a cell it sees taken stays taken.
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
    bool blocksEveryWidth(QPoint topLeft, int height) const
    {
        // Any box at least one pixel wide meets the column of its left edge, where that
        // column lies on the grid; what lies further right depends on the width. Inline
        // and by shifts (a floor division by Cell): a crowded plan asks it of every place.
        static_assert(Cell == 8);
        const int column = topLeft.x() >> 3;
        if (height <= 0 || column < 0 || column >= m_columns)
            return false;
        const int y0 = std::max(0, topLeft.y() >> 3);
        const int y1 = std::min(m_rows - 1, int(((long long)topLeft.y() + height - 1) >> 3));
        return y0 <= y1 && anyTaken(column, y0, y1);
    }
    /**
     * Takes the cells of `box` (panel pixels) unless one of those on the panel is taken
     * already; true when it took them. A box wholly off the panel takes nothing and is free.
     */
    bool claim(const QRect& box);

private:
    /** The cells `box` meets, clipped to the grid; empty when it misses. */
    QRect cellsOf(const QRect& box) const;

    /** The bits of rows `lo`..`hi` (0..63, lo <= hi) of one word. */
    static std::uint64_t rowBits(int lo, int hi)
    {
        return (~std::uint64_t(0) >> (63 - hi)) & (~std::uint64_t(0) << lo);
    }

    /** Whether one of rows `y0`..`y1` (on the grid, y0 <= y1) of `column` is taken. */
    bool anyTaken(int column, int y0, int y1) const
    {
        // A caption's few rows mostly lie in one word: one load and one test, where a
        // test a cell at a time branched on each (and guessed wrong often).
        const std::size_t at = size_t(column) * size_t(m_words);
        const int first = y0 >> 6, last = y1 >> 6;
        if (first == last)
            return (word(at + size_t(first)) & rowBits(y0 & 63, y1 & 63)) != 0;
        if (word(at + size_t(first)) & rowBits(y0 & 63, 63))
            return true;
        for (int w = first + 1; w < last; ++w)
            if (word(at + size_t(w)))
                return true;
        return (word(at + size_t(last)) & rowBits(0, y1 & 63)) != 0;
    }

    /** Word `at` of m_bits, read whole: a claim on another thread may set bits in it meanwhile. */
    std::uint64_t word(std::size_t at) const
    {
        return std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(m_bits[at])).load(std::memory_order_relaxed);
    }

    int m_columns, m_rows;
    int m_words; // of each column: its rows, a bit each, top row lowest
    std::vector<std::uint64_t> m_bits;
};

} // namespace vdm
