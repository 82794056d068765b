// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

#include <span>

namespace vdm {

/**
 * Where a hint's box goes so that it does not cover `keepClear` (a bar over the map):
 * `box` itself where it covers none of it; otherwise `box` moved straight below it, to
 * its left, above it or to its right, whichever keeps within `area` (the map panel) and
 * moves the box least; when none keeps within `area`, the least move of all. An empty
 * `keepClear` keeps nothing clear. All in one coordinate system.
 */
QRect hintClearOf(const QRect& box, const QRect& keepClear, const QRect& area);

/**
 * The same for several boxes to keep clear (a bar, then hints already up): a box moved
 * off one may land on another, so the moves are followed up to three deep and the least
 * move that clears them all wins, within `area` where one does. Where none clears them
 * all, the first (the bar) is kept clear before the others, then as few of them as can
 * be covered. Empty boxes keep nothing clear.
 */
QRect hintClearOf(const QRect& box, std::span<const QRect> keepClear, const QRect& area);

} // namespace vdm
