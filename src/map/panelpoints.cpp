// SPDX-License-Identifier: MIT
#include "map/panelpoints.h"

#include <algorithm>

namespace vdm {

PanelPoints::PanelPoints(const Viewport& view, const MapBox& range, std::int64_t expected) : m_view(view)
{
    // Only the map's own coordinates get a table: a box reaching far beyond the map (a
    // wide panel at the lowest level) holds no places there.
    const std::int64_t x0 = std::max<std::int64_t>(range.xlo, Viewport::MapLeft);
    const std::int64_t x1 = std::min<std::int64_t>(range.xhi, Viewport::MapRight);
    const std::int64_t y0 = std::max<std::int64_t>(range.ylo, Viewport::MapBottom);
    const std::int64_t y1 = std::min<std::int64_t>(range.yhi, Viewport::MapTop);
    // A table costs its filling: it pays when the points come several times its length
    // (each axis is looked up once per point).
    const auto worth = [&](std::int64_t lo, std::int64_t hi) { return hi >= lo && expected >= (hi - lo + 1) / 4; };
    if (worth(x0, x1)) {
        m_x0 = x0;
        m_xs.assign(std::size_t(x1 - x0 + 1), Unknown);
    }
    if (worth(y0, y1)) {
        m_y0 = y0;
        m_ys.assign(std::size_t(y1 - y0 + 1), Unknown);
    }
}

} // namespace vdm
