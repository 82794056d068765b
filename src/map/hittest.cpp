// SPDX-License-Identifier: MIT
#include "map/hittest.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace vdm {
namespace {

/** The first value in lo..hi for which `pred` holds (false up to it, true from it on); hi + 1 if none. */
template <typename Pred> std::int64_t firstWhere(std::int64_t lo, std::int64_t hi, Pred pred)
{
    std::int64_t first = hi + 1;
    while (lo <= hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            first = mid;
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return first;
}

/**
 * As firstWhere over all of int, but bisecting only 2^16 either side of `guess` when the
 * answer is known to lie there (false just below the window, true at its top); otherwise
 * over everything. The answer is the same either way.
 */
template <typename Pred> std::int64_t firstWhereNear(std::int64_t guess, Pred pred)
{
    constexpr std::int64_t window = std::int64_t(1) << 16;
    const std::int64_t lo = std::max<std::int64_t>(INT_MIN, guess - window);
    const std::int64_t hi = std::min<std::int64_t>(INT_MAX, guess + window);
    if (lo > INT_MIN && hi < INT_MAX && !pred(lo) && pred(hi))
        return firstWhere(lo + 1, hi, pred);
    return firstWhere(INT_MIN, INT_MAX, pred);
}

} // namespace

bool LocationFilter::statusShown(std::int32_t status) const
{
    switch (status) {
    case Unvisited:
        return ShowUnvisited;
    case Active:
        return ShowActive;
    case Visited:
        return ShowVisited;
    default:
        return true;
    }
}

bool locationShown(const Viewport& view, const LocationList& locations, int index, const LocationFilter& filter)
{
    if (index == filter.HighlightIndex)
        return true;
    const Location& l = locations[size_t(index)];
    return view.LevelVisible(l.Level) && filter.lets(l);
}

bool markerShown(const Viewport& view, const Location& marker)
{
    return view.LevelVisible(marker.Level);
}

bool anyMarkerShown(const Viewport& view, const LocationList& markers)
{
    return std::any_of(markers.begin(), markers.end(), [&](const Location& m) { return markerShown(view, m); });
}

bool underPointer(const Viewport& view, const Location& item, QPoint pointer)
{
    const QPoint q = view.mapToPanel(item.X, item.Y);
    return std::abs(std::int64_t(q.x()) - pointer.x()) <= HitRadius
           && std::abs(std::int64_t(q.y()) - pointer.y()) <= HitRadius;
}

int locationAt(const Viewport& view, const LocationList& locations, const LocationFilter& filter, QPoint pointer,
               const SpatialIndex* index)
{
    // The box settles cheaply who can be in reach; the exact rule has the last word.
    const ReachBox reach(view, pointer);
    if (index && index->coversLocations(locations)) {
        // The index knows the locations whose level shows; the highlighted one counts as
        // shown whatever its level, so it is tried too, and the earlier of the two wins.
        int first = -1;
        for (const int i : index->locationsIn(view, reach.box())) {
            if (locationShown(view, locations, i, filter) && underPointer(view, locations[size_t(i)], pointer)) {
                first = i;
                break;
            }
        }
        const int h = filter.HighlightIndex;
        if (h >= 0 && h < int(locations.size()) && (first < 0 || h < first)
            && underPointer(view, locations[size_t(h)], pointer))
            first = h;
        return first;
    }
    for (int i = 0; i < int(locations.size()); ++i) {
        const Location& l = locations[size_t(i)];
        if (reach.contains(l) && locationShown(view, locations, i, filter) && underPointer(view, l, pointer))
            return i;
    }
    return -1;
}

int markerAt(const Viewport& view, const LocationList& markers, QPoint pointer, const SpatialIndex* index)
{
    const ReachBox reach(view, pointer);
    if (index && index->coversMarkers(markers)) {
        for (const int i : index->markersIn(view, reach.box()))
            if (markerShown(view, markers[size_t(i)]) && underPointer(view, markers[size_t(i)], pointer))
                return i;
        return -1;
    }
    for (int i = 0; i < int(markers.size()); ++i) {
        const Location& m = markers[size_t(i)];
        if (reach.contains(m) && markerShown(view, m) && underPointer(view, m, pointer))
            return i;
    }
    return -1;
}

ReachBox::ReachBox(const Viewport& view, QPoint pointer)
{
    // The picture point under the pointer, and the map point there as a first guess.
    const std::int64_t ax = std::int64_t(pointer.x()) + view.scrollX() - view.marginX();
    const std::int64_t ay = std::int64_t(pointer.y()) + view.scrollY() - view.marginY();
    const QPoint guess = view.ScreenToMap(int(std::clamp<std::int64_t>(ax, INT_MIN, INT_MAX)),
                                          int(std::clamp<std::int64_t>(ay, INT_MIN, INT_MAX)));
    const auto px = [&](std::int64_t x) { return std::int64_t(view.MapToScreen(int(x), 0).x()); };
    const auto py = [&](std::int64_t y) { return std::int64_t(view.MapToScreen(0, int(y)).y()); };
    m_xlo = firstWhereNear(guess.x(), [&](std::int64_t x) { return px(x) >= ax - HitRadius; });
    m_xhi = firstWhereNear(guess.x(), [&](std::int64_t x) { return px(x) > ax + HitRadius; }) - 1;
    m_ylo = firstWhereNear(guess.y(), [&](std::int64_t y) { return py(y) <= ay + HitRadius; });
    m_yhi = firstWhereNear(guess.y(), [&](std::int64_t y) { return py(y) < ay - HitRadius; }) - 1;
}

} // namespace vdm
