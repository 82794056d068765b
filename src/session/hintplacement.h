// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

namespace vdm {

/**
 * Where a hint's box goes so that it does not cover `keepClear` (a bar over the map):
 * `box` itself where it covers none of it; otherwise `box` moved straight below it, to
 * its left, above it or to its right, whichever keeps within `area` (the map panel) and
 * moves the box least; when none keeps within `area`, the least move of all. An empty
 * `keepClear` keeps nothing clear. All in one coordinate system.
 */
QRect hintClearOf(const QRect& box, const QRect& keepClear, const QRect& area);

} // namespace vdm
