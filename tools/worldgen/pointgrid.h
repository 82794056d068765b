// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace vdm::worldgen {

/**
 * Indexed points of the map bucketed into square cells, so that "who is near" costs what
 * lies near rather than what exists: the planners ask it for the places within a reach
 * and for the nearest place. Answers are exactly those of a scan over every point in
 * index order (ties go to the lower index), only faster.
 */
class PointGrid {
public:
    /** Cells of `cell` map units over the map rectangle; a cell larger than the map makes one cell. */
    explicit PointGrid(double cell)
    {
        m_cell = std::max(1.0, std::min(cell, double(Right - Left) + 1.0));
        m_columns = int((Right - Left) / m_cell) + 1;
        m_rows = int((Top - Bottom) / m_cell) + 1;
        m_cells.resize(std::size_t(m_columns) * std::size_t(m_rows));
    }

    void add(int index, int x, int y) { m_cells[cellOf(column(x), row(y))].push_back({index, x, y}); }

    /** Calls fn(index, x, y) for every point whose cell touches the box of half side `reach` around (x, y). */
    template <typename Fn> void forEachNear(int x, int y, double reach, Fn fn) const
    {
        const int c0 = column(int(std::max<double>(Left, x - reach))),
                  c1 = column(int(std::min<double>(Right, x + reach)));
        const int r0 = row(int(std::max<double>(Bottom, y - reach))), r1 = row(int(std::min<double>(Top, y + reach)));
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                for (const Point& p : m_cells[cellOf(c, r)])
                    fn(p.index, p.x, p.y);
    }

    /** The index of the point nearest to (x, y) (the lowest index among equals), or -1 when empty. */
    int nearest(int x, int y) const
    {
        const int cx = column(x), cy = row(y);
        const int rings = std::max(m_columns, m_rows);
        int best = -1;
        double bestDistance = 0;
        for (int ring = 0; ring <= rings; ++ring) {
            // Every point of this ring or beyond is at least (ring - 1) cells away.
            if (best >= 0 && (ring - 1) * m_cell > bestDistance)
                break;
            for (int r = cy - ring; r <= cy + ring; ++r) {
                if (r < 0 || r >= m_rows)
                    continue;
                const bool edge = r == cy - ring || r == cy + ring;
                for (int c = cx - ring; c <= cx + ring; c += edge ? 1 : 2 * ring) {
                    if (c >= 0 && c < m_columns)
                        for (const Point& p : m_cells[cellOf(c, r)]) {
                            const double d = std::hypot(double(p.x - x), double(p.y - y));
                            if (best < 0 || d < bestDistance || (d == bestDistance && p.index < best)) {
                                best = p.index;
                                bestDistance = d;
                            }
                        }
                    if (ring == 0)
                        break;
                }
            }
        }
        return best;
    }

private:
    static constexpr int Left = -125000, Right = 175000, Bottom = -130000, Top = 220000;
    struct Point {
        int index, x, y;
    };
    int column(int x) const { return std::clamp(int((double(x) - Left) / m_cell), 0, m_columns - 1); }
    int row(int y) const { return std::clamp(int((double(y) - Bottom) / m_cell), 0, m_rows - 1); }
    std::size_t cellOf(int c, int r) const { return std::size_t(r) * std::size_t(m_columns) + std::size_t(c); }

    double m_cell = 1;
    int m_columns = 1, m_rows = 1;
    std::vector<std::vector<Point>> m_cells;
};

} // namespace vdm::worldgen
