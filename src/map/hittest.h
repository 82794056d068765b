// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "map/placefilter.h"
#include "map/spatialindex.h"
#include "map/viewport.h"

#include <QPoint>

#include <cstdint>

namespace vdm {

/**
 * Which point the pointer hits: an item is under the pointer when its panel point lies
 * within HitRadius pixels of it on both axes (a 9 x 9 square). The hover, the clicks, the
 * double clicks and marker deletion all ask the same functions, so what shows a hint is
 * what a double click opens.
 */
inline constexpr int HitRadius = 4;

/** What decides whether a location is shown, beside its detail level. */
struct LocationFilter {
    bool ShowUnvisited = true;
    bool ShowActive = true;
    bool ShowVisited = true;
    /** The location Go has just centred: shown whatever its status toggle says (-1: none). */
    int HighlightIndex = -1;
    /** The kinds and regions the user chose to see; none: every place. */
    const PlaceFilter* Places = nullptr;

    /** Whether the status toggles show a location of this status (no status: always). */
    bool statusShown(std::int32_t status) const;
    /** Whether the status toggles and the place filter both let the location through (level aside). */
    bool lets(const Location& location) const
    {
        return statusShown(location.Status) && (!Places || Places->admits(location));
    }
};

/** Whether location `index` of `locations` is shown at the view's zoom. */
bool locationShown(const Viewport& view, const LocationList& locations, int index, const LocationFilter& filter);

/** Whether a marker is shown at the view's zoom (markers ignore the status toggles). */
bool markerShown(const Viewport& view, const Location& marker);

/** Whether any marker is shown at the view's zoom. */
bool anyMarkerShown(const Viewport& view, const LocationList& markers);

/** Whether an item's panel point lies in the hit square around the pointer (panel pixels). */
bool underPointer(const Viewport& view, const Location& item, QPoint pointer);

/**
 * The first shown location under the pointer in file order, or -1. With an `index` that
 * covers the lists only the locations it places near the pointer are looked at; the
 * answer is the same.
 */
int locationAt(const Viewport& view, const LocationList& locations, const LocationFilter& filter, QPoint pointer,
               const SpatialIndex* index = nullptr);

/** The first shown marker under the pointer in file order, or -1 (`index` as for locationAt). */
int markerAt(const Viewport& view, const LocationList& markers, QPoint pointer, const SpatialIndex* index = nullptr);

/**
 * The map-unit box of the items that can be under a panel point, so a scan compares two
 * integers per item and converts only the few items inside. The panel x of a map point
 * depends on its x alone and never falls as x grows; the panel y depends on its y alone
 * and never rises as y grows. Each bound is therefore found by bisecting the conversion
 * itself, and the box holds exactly the map points the conversion puts within HitRadius
 * of the pointer, whatever its rounding: contains() and underPointer() always agree.
 */
class ReachBox {
public:
    ReachBox(const Viewport& view, QPoint pointer);

    bool contains(const Location& item) const
    {
        return item.X >= m_xlo && item.X <= m_xhi && item.Y >= m_ylo && item.Y <= m_yhi;
    }
    MapBox box() const { return {m_xlo, m_xhi, m_ylo, m_yhi}; }

private:
    std::int64_t m_xlo, m_xhi, m_ylo, m_yhi; // inclusive; empty when lo > hi
};

} // namespace vdm
