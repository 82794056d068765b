// SPDX-License-Identifier: MIT
#pragma once

#include "map/spatialindex.h"
#include "map/viewport.h"

#include <QPoint>

#include <climits>
#include <cstdint>
#include <vector>

namespace vdm {

/**
 * The panel points of many map points in one view, each exactly Viewport::mapToPanel's.
 * A panel x follows from the map x alone and a panel y from the map y alone, and the
 * places of a crowded view share few distinct coordinates next to how many points are
 * asked for (every route asks for both its ends): within `range` each distinct x and y is
 * converted once, then looked up, from tables small enough to stay in the processor's
 * cache. A point outside the range is converted as it comes. With fewer points expected
 * than the range would fill, there are no tables at all and every point is converted.
 */
class PanelPoints {
public:
    PanelPoints(const Viewport& view, const MapBox& range, std::int64_t expected);

    QPoint operator()(std::int32_t x, std::int32_t y)
    {
        return {lookUp(m_xs, m_x0, x, [this](std::int32_t v) { return m_view.mapToPanelX(v); }),
                lookUp(m_ys, m_y0, y, [this](std::int32_t v) { return m_view.mapToPanelY(v); })};
    }

private:
    /** INT_MIN: not converted yet (a coordinate that converts to INT_MIN is converted each time, to the same). */
    static constexpr int Unknown = INT_MIN;

    template <class Convert>
    static int lookUp(std::vector<int>& table, std::int64_t first, std::int32_t v, Convert convert)
    {
        const std::uint64_t at = std::uint64_t(std::int64_t(v) - first);
        if (at >= table.size())
            return convert(v);
        int& kept = table[std::size_t(at)];
        if (kept == Unknown)
            kept = convert(v);
        return kept;
    }

    const Viewport& m_view;
    std::int64_t m_x0 = 0, m_y0 = 0;
    std::vector<int> m_xs, m_ys;
};

} // namespace vdm
