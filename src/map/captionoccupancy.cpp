// SPDX-License-Identifier: MIT
#include "map/captionoccupancy.h"

#include <algorithm>
#include <climits>

namespace vdm {
namespace {

int cellOf(long long v)
{
    // Floor division: pixel -1 lies in cell -1, not 0.
    return int(v >= 0 ? v / CaptionOccupancy::Cell : -((-v + CaptionOccupancy::Cell - 1) / CaptionOccupancy::Cell));
}

} // namespace

CaptionOccupancy::CaptionOccupancy(QSize panel)
    : m_columns(std::max(0, (panel.width() + Cell - 1) / Cell)),
      m_rows(std::max(0, (panel.height() + Cell - 1) / Cell)), m_words((m_rows + 63) / 64),
      m_bits(size_t(m_columns) * size_t(m_words), 0)
{}

QRect CaptionOccupancy::cellsOf(const QRect& box) const
{
    if (box.isEmpty())
        return {};
    const int x0 = std::max(0, cellOf(box.left())), y0 = std::max(0, cellOf(box.top()));
    const int x1 = std::min(m_columns - 1, cellOf((long long)box.left() + box.width() - 1));
    const int y1 = std::min(m_rows - 1, cellOf((long long)box.top() + box.height() - 1));
    if (x0 > x1 || y0 > y1)
        return {};
    return QRect(QPoint(x0, y0), QPoint(x1, y1));
}

bool CaptionOccupancy::taken(QPoint p) const
{
    const int cx = cellOf(p.x()), cy = cellOf(p.y());
    return cx >= 0 && cy >= 0 && cx < m_columns && cy < m_rows && anyTaken(cx, cy, cy);
}

bool CaptionOccupancy::claim(const QRect& box)
{
    const QRect cells = cellsOf(box);
    if (cells.isEmpty())
        return true;
    for (int x = cells.left(); x <= cells.right(); ++x)
        if (anyTaken(x, cells.top(), cells.bottom()))
            return false;
    for (int x = cells.left(); x <= cells.right(); ++x) {
        std::uint64_t* words = m_bits.data() + size_t(x) * size_t(m_words);
        for (int y = cells.top(); y <= cells.bottom(); ++y) {
            // Whole: another thread may read the word meanwhile (this one alone writes).
            const std::atomic_ref<std::uint64_t> w(words[y >> 6]);
            w.store(w.load(std::memory_order_relaxed) | std::uint64_t(1) << (y & 63), std::memory_order_relaxed);
        }
    }
    return true;
}

} // namespace vdm
