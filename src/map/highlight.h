// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace vdm {

/**
 * The location Go has just centred. It shows (and can be hovered) whatever its status
 * toggle says, for the paint Go makes and the next one: a paint that passes the
 * highlighted location marks it pending, and reaching the location after it clears it.
 * Go sets it again right after its own paint, so the hover keeps finding it.
 */
class GoHighlight {
public:
    /** The highlighted location's index, -1 for none. */
    int index() const { return m_index; }
    /** A paint has passed the highlighted location; the next location visited clears it. */
    bool pending() const { return m_pending; }

    /** Highlights location `index` (-1: none); a pending clear still happens. */
    void set(int index) { m_index = index; }

    /**
     * A paint visits location `i` (in file order). True when `i` is the highlighted one.
     * Every location is visited, shown or not, so the clear lands on the location after.
     */
    bool visit(std::size_t i);
    /**
     * A paint visits locations 0 to count - 1, as that many calls of visit() would, at
     * once (a paint that looks only at what is on the panel). Returns the location that
     * is highlighted during the visit, -1 for none.
     */
    int visitAll(std::size_t count);

private:
    int m_index = -1;
    bool m_pending = false;
};

} // namespace vdm
