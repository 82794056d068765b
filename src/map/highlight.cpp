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

} // namespace vdm
