// SPDX-License-Identifier: MIT
#include "map/panelpoints.h"

#include <algorithm>

namespace vdm {

PanelPoints::PanelPoints() : m_xs(Viewport::MapLeft, Viewport::MapRight), m_ys(Viewport::MapBottom, Viewport::MapTop)
{}

void PanelPoints::reset(const Viewport& view, bool tables)
{
    m_view = &view;
    const bool keep = tables && m_zoom == view.zoomIndex() && m_scale == view.mapScale();
    m_xs.reset(tables, keep);
    m_ys.reset(tables, keep);
    m_zoom = tables ? view.zoomIndex() : -1;
    m_scale = view.mapScale();
}

PanelPoints::Axis::Axis(std::int64_t first, std::int64_t last)
    : m_first(first), m_capacity(std::uint64_t(last - first + 1))
{}

void PanelPoints::Axis::reset(bool tables, bool keep)
{
    if (tables && !m_values) {
        // Left as allocated: a block is filled when first asked for, so the pages of a
        // sparse view's table are never touched.
        m_values.reset(new int[m_capacity]);
        m_ready.assign(std::size_t((m_capacity >> BlockBits) + 1), 0);
    }
    m_length = tables ? m_capacity : 0;
    if (!keep)
        std::fill(m_ready.begin(), m_ready.end(), 0);
}

void PanelPoints::Axis::prepare(std::size_t block)
{
    const std::uint64_t from = std::uint64_t(block) << BlockBits;
    const std::uint64_t to = std::min(m_length, from + (std::uint64_t(1) << BlockBits));
    // Two threads may ready the same block at once: a slot one of them filled meanwhile
    // may be made unknown again, and is converted again, to the same value.
    for (std::uint64_t at = from; at < to; ++at)
        std::atomic_ref<int>(m_values[std::size_t(at)]).store(Unknown, std::memory_order_relaxed);
    std::atomic_ref<char>(m_ready[block]).store(1, std::memory_order_release);
}

} // namespace vdm
