// SPDX-License-Identifier: MIT
#pragma once

#include "map/viewport.h"

#include <QPoint>

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

namespace vdm {

/**
 * The panel points of many map points in one view, each exactly Viewport::mapToPanel's.
 * A panel x follows from the map x alone and a panel y from the map y alone, and the
 * places of a crowded view share few distinct coordinates next to how many points are
 * asked for (every route asks for both its ends): each distinct x and y of the map is
 * converted once, then looked up. What is kept is the picture coordinate, which depends
 * on the zoom level and the picture's scale alone: the views that follow at the same
 * level (a repaint, every step of a drag) find what the ones before converted, and only
 * the scroll is added. The tables are filled a block at a time as their coordinates are
 * first asked for, so a sparse view pays for what it asks; a point outside the map is
 * converted as it comes. Two threads may look points up at once (each slot holds nothing
 * or its one value, whoever fills it); reset() only while no one looks up.
 */
class PanelPoints {
public:
    PanelPoints();

    /**
     * Readies the lookups for `view` (which must outlive them), keeping what was converted
     * for views of the same level and picture scale. Without `tables` (a world too small
     * for them to pay) every point is converted, and nothing is kept.
     */
    void reset(const Viewport& view, bool tables);

    QPoint operator()(std::int32_t x, std::int32_t y)
    {
        // The same sums as mapToPanelX and mapToPanelY, in the same order.
        return {m_xs.lookUp(x, [this](std::int32_t v) { return m_view->mapToScreenX(v); }) - m_view->scrollX()
                    + m_view->marginX(),
                m_ys.lookUp(y, [this](std::int32_t v) { return m_view->mapToScreenY(v); }) - m_view->scrollY()
                    + m_view->marginY()};
    }

    /** Asks for the table slots of (x, y) ahead of their lookup, so the trips to memory of many points overlap. */
    void prefetch(std::int32_t x, std::int32_t y) const
    {
        m_xs.prefetch(x);
        m_ys.prefetch(y);
    }

private:
    /** One axis: the converted coordinates of [first, first + length), filled a block at a time. */
    class Axis {
    public:
        Axis(std::int64_t first, std::int64_t last);
        /** With `keep`, what the table holds stays (the conversion is the same as before). */
        void reset(bool tables, bool keep);

        template <class Convert> int lookUp(std::int32_t v, Convert convert)
        {
            const std::uint64_t at = std::uint64_t(std::int64_t(v) - m_first);
            if (at >= m_length)
                return convert(v);
            const std::size_t block = std::size_t(at >> BlockBits);
            if (!std::atomic_ref<char>(m_ready[block]).load(std::memory_order_acquire))
                prepare(block);
            // Each slot whole: another thread may look up (and fill) the same one.
            const std::atomic_ref<int> kept(m_values[std::size_t(at)]);
            int value = kept.load(std::memory_order_relaxed);
            if (value == Unknown) {
                value = convert(v);
                kept.store(value, std::memory_order_relaxed);
            }
            return value;
        }

        void prefetch(std::int32_t v) const
        {
            const std::uint64_t at = std::uint64_t(std::int64_t(v) - m_first);
            if (at >= m_length)
                return;
#if defined(__x86_64__) && defined(__GNUC__)
            // Written out: inlined into the painter's loops, the compiler's own prefetch
            // of this slot was dropped (GCC 12), and the loops waited on every lookup.
            asm volatile("prefetcht0 %0" : : "m"(m_values[std::size_t(at)]));
#else
            __builtin_prefetch(m_values.get() + at);
#endif
        }

    private:
        static constexpr int BlockBits = 6;
        /** Not converted yet (a coordinate that converts to INT_MIN is converted each time, to the same). */
        static constexpr int Unknown = INT_MIN;
        void prepare(std::size_t block);

        std::int64_t m_first;
        std::uint64_t m_length = 0;      // 0: no table
        std::uint64_t m_capacity;        // the map's extent, what a table holds
        std::unique_ptr<int[]> m_values; // a block's values are Unknown or converted once it is ready
        std::vector<char> m_ready;
    };

    const Viewport* m_view = nullptr;
    Axis m_xs, m_ys;
    /** The level and picture scale the tables hold picture coordinates of (none: they hold nothing). */
    int m_zoom = -1, m_scale = 0;
};

} // namespace vdm
