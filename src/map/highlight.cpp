// SPDX-License-Identifier: MIT
#include "map/highlight.h"

namespace vdm {

bool GoHighlight::visit(std::size_t i)
{
    if (m_pending) {
        m_index = -1;
        m_pending = false;
    }
    const bool highlighted = m_index >= 0 && i == std::size_t(m_index);
    if (highlighted)
        m_pending = true;
    return highlighted;
}

int GoHighlight::visitAll(std::size_t count)
{
    if (count == 0)
        return -1;
    visit(0); // the first location clears a pending highlight, or is the highlighted one
    const int highlighted = m_index;
    if (highlighted < 0 || std::size_t(highlighted) >= count)
        return -1;
    // The location after the highlighted one clears it; after the last one it stays pending.
    if (std::size_t(highlighted) + 1 < count) {
        m_index = -1;
        m_pending = false;
    } else {
        m_pending = true;
    }
    return highlighted;
}

} // namespace vdm
