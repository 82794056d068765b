// SPDX-License-Identifier: MIT
#include "session/hintplacement.h"

#include <array>
#include <cstdlib>

namespace vdm {

QRect hintClearOf(const QRect& box, const QRect& keepClear, const QRect& area)
{
    if (keepClear.isEmpty() || !box.intersects(keepClear))
        return box;
    const std::array<QRect, 4> ways{
        box.translated(0, keepClear.bottom() + 1 - box.top()), // below
        box.translated(keepClear.left() - 1 - box.right(), 0), // left
        box.translated(0, keepClear.top() - 1 - box.bottom()), // above
        box.translated(keepClear.right() + 1 - box.left(), 0), // right
    };
    const auto moved = [&](const QRect& r) { return std::abs(r.left() - box.left()) + std::abs(r.top() - box.top()); };
    const QRect* best = nullptr;
    bool bestFits = false;
    for (const QRect& r : ways) {
        const bool fits = area.contains(r);
        if (!best || (fits && !bestFits) || (fits == bestFits && moved(r) < moved(*best))) {
            best = &r;
            bestFits = fits;
        }
    }
    return *best;
}

} // namespace vdm
