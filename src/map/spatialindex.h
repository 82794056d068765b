// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "map/viewport.h"

#include <QRect>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace vdm {

/** A box of map units, bounds included; empty when a low bound lies above its high bound. */
struct MapBox {
    std::int64_t xlo = 0, xhi = -1, ylo = 0, yhi = -1;
    bool contains(std::int64_t x, std::int64_t y) const { return x >= xlo && x <= xhi && y >= ylo && y <= yhi; }
    bool operator==(const MapBox&) const = default;
};

/** The map box that holds every map point the view puts inside `area` (panel pixels), and a little more. */
MapBox mapBoxOf(const Viewport& view, const QRect& area);

/**
 * Where the items of a world lie, so that painting and hit testing cost what the panel
 * shows instead of what the world holds: the locations and the markers in a grid of map
 * units for each set of detail levels a zoom shows, and every drawable route in a grid
 * by its bounding box.
 *
 * The index answers "which items may lie here" with a superset, always in list order;
 * the caller applies the exact rule (status toggles, the hit square, clipping) as the
 * full scan does, so results are those of the full scan. It is built from the lists and
 * must be rebuilt when they change (the world does this at load and on every marker
 * change); coversLocations() and coversMarkers() tell whether it still matches a list.
 */
class SpatialIndex {
public:
    /**
     * A route as the painter draws it: from location `from` to location `target`, of
     * `kind`, with both map points, so a paint reads the segments alone and not the
     * places' records.
     */
    struct Segment {
        std::int32_t from = 0, target = 0;
        std::uint8_t kind = 0;
        std::int32_t fromX = 0, fromY = 0, targetX = 0, targetY = 0; // map units
        // The bounding box in map units.
        std::int32_t xlo() const { return std::min(fromX, targetX); }
        std::int32_t xhi() const { return std::max(fromX, targetX); }
        std::int32_t ylo() const { return std::min(fromY, targetY); }
        std::int32_t yhi() const { return std::max(fromY, targetY); }
    };

    SpatialIndex() = default;
    SpatialIndex(const LocationList& locations, const LocationList& markers);

    /** Indexes the locations and their routes (routes to no location or of no network are left out). */
    void setLocations(const LocationList& locations);
    /**
     * Indexes the routes again, for locations whose routes alone have changed (read after
     * them). The index is made when routesIn() first asks for it, from the routes
     * `locations` hold then (they must live and keep their routes and points till then):
     * a start that shows no route network never waits for it.
     */
    void setRoutes(const LocationList& locations);
    /**
     * setLocations without the routes: the places' grids alone, made of what a reader of
     * routes, statuses or notes never changes (levels, points, the names' lengths), so they
     * may be made on one thread while another reads those into the same list.
     */
    void setPlaces(const LocationList& locations);
    /** Takes the places' grids that `other` made (setPlaces), keeping this index's routes and markers. */
    void takePlaces(SpatialIndex&& other);
    void setMarkers(const LocationList& markers);

    /**
     * Whether the index was built from this list (the same storage and size): callers
     * fall back to a full scan otherwise, so a stale index never gives a wrong answer.
     */
    bool coversLocations(const LocationList& locations) const;
    bool coversMarkers(const LocationList& markers) const;

    /** Locations whose level shows at the view's zoom and whose map point may lie in `box`, ascending. */
    std::vector<int> locationsIn(const Viewport& view, const MapBox& box) const;
    /** A location and its map point, as the index keeps them. */
    struct Placed {
        std::int32_t index, x, y;
    };
    /**
     * As locationsIn, with each location's map point: a caller that rejects most of them
     * by their points alone never reads their records.
     */
    void placedIn(const Viewport& view, const MapBox& box, std::vector<Placed>& out) const;
    /** Locations of every level whose map point may lie in `box`, ascending (what is near, at any zoom). */
    std::vector<int> locationsNear(const MapBox& box) const;
    /** Appends the same places to `out` in no particular order, for callers that need none (no sort, no allocation). */
    void collectLocationsNear(const MapBox& box, std::vector<int>& out) const;
    /** The same for markers. */
    std::vector<int> markersIn(const Viewport& view, const MapBox& box) const;
    /**
     * Routes whose bounding box meets `box`, in drawing order (by origin, then as listed).
     * The first call after setRoutes() makes their index, so calls from two threads at once
     * must not meet (the painter asks on its own thread).
     */
    std::vector<const Segment*> routesIn(const MapBox& box) const;
    /**
     * visit(segment) for each route routesIn(box) lists, in the same order, without
     * listing them: a view of most of a huge world meets hundreds of thousands. ahead(segment)
     * is told of each segment a few before it may be visited (whether or not it meets the
     * box), so what visiting it reads can be asked for early.
     */
    template <class AskAhead, class Visit> void forEachRouteIn(const MapBox& box, AskAhead ahead, Visit visit) const;

    /**
     * A number the routes the index holds go by, given to no other routes (another index's,
     * or this one's after setRoutes): what a painter keeps drawn of them is kept under it.
     */
    std::uint64_t routesStamp() const { return m_routesStamp; }
    /**
     * The same for the places (setPlaces, setLocations): what a painter keeps of each place
     * by its number (how wide its name is drawn) is kept under it, as the places' names
     * change only with a list the index is made again for.
     */
    std::uint64_t placesStamp() const { return m_placesStamp; }

    /** The longest location name and marker text, in bytes (how far a caption can reach). */
    int longestLocationName() const { return m_longestLocationName; }
    int longestMarkerName() const { return m_longestMarkerName; }

    /** Bytes the index holds. */
    std::int64_t bytes() const;

private:
    /**
     * Item indices bucketed by cell, each cell's indices ascending (compressed rows), with
     * each item's map point beside it, so a query reads no record. A point is kept as its
     * offset from its cell's lower-left corner, two bytes an axis, when every point of the
     * grid has one that fits (cells of at most 65 536 map units, points inside the map):
     * half the bytes of whole coordinates for most of a million places' grids.
     */
    struct Grid {
        double cell = 1;
        int columns = 0, rows = 0;
        std::vector<std::int32_t> start; // columns * rows + 1 offsets into items
        std::vector<std::int32_t> items;
        // The map point of each item in `items` order: as offsets (dx, dy) from the lower-left
        // corner of its cell, or whole (xs, ys) when some point's offsets do not fit.
        std::vector<std::uint16_t> dx, dy;
        std::vector<std::int32_t> xs, ys;

        /** An item's map point, copied out of the list once for all the grids of a build. */
        struct Point {
            std::int32_t x, y;
        };
        void build(const std::vector<Point>& points, const std::vector<int>& members, double cellSize);
        void collect(const MapBox& box, std::vector<int>& out) const;
        void collect(const MapBox& box, std::vector<Placed>& out) const;
        /** Calls `take(at, x, y)` for each slot of `items` whose map point (x, y) lies in `box`, cell by cell. */
        template <class Take> void forEachIn(const MapBox& box, Take take) const;
        int column(std::int64_t x) const;
        int row(std::int64_t y) const;
        /** The map x of column `c`'s left edge and the map y of row `r`'s bottom edge. */
        std::int64_t left(int c) const { return Viewport::MapLeft + std::int64_t(c * cell); }
        std::int64_t bottom(int r) const { return Viewport::MapBottom + std::int64_t(r * cell); }
        std::int64_t bytes() const;
    };
    /** One grid per set of detail levels a zoom shows (see levelSet). */
    using LevelGrids = std::array<Grid, 6>;

    static int levelSet(const Viewport& view);
    static void buildLevelGrids(LevelGrids& grids, const LocationList& list);

    LevelGrids m_locations, m_markers;
    const Location* m_locationData = nullptr;
    const Location* m_markerData = nullptr;
    std::size_t m_locationCount = 0, m_markerCount = 0;
    int m_longestLocationName = 0, m_longestMarkerName = 0;

    /** Makes the routes' index of the list setRoutes() named, if it is not made yet. */
    void indexRoutes() const;

    // The routes' index, made by the first routesIn() after setRoutes() (see there).
    mutable const Location* m_routeData = nullptr; // the list to index; null: made
    mutable std::size_t m_routeCount = 0;
    mutable std::vector<Segment> m_segments;        // every drawable route, in drawing order
    mutable Grid m_routeCells;                      // segment ordinals by the cells their boxes meet
    mutable std::vector<std::int32_t> m_longRoutes; // ordinals of segments too long to bucket
    std::uint64_t m_routesStamp = 0;                // see routesStamp()
    std::uint64_t m_placesStamp = 0;                // see placesStamp()

    /**
     * The ordinals of the segments in the cells `box` meets and the long ones, ascending
     * and each once; none when most of the map is in the box (`all` is then set: every
     * segment is to be looked at).
     */
    std::vector<std::int32_t> routeCandidates(const MapBox& box, bool& all) const;
};

template <class AskAhead, class Visit>
void SpatialIndex::forEachRouteIn(const MapBox& box, AskAhead ahead, Visit visit) const
{
    indexRoutes();
    const auto meets = [&](const Segment& s) {
        return s.xhi() >= box.xlo && s.xlo() <= box.xhi && s.yhi() >= box.ylo && s.ylo() <= box.yhi;
    };
    constexpr std::size_t Ahead = 8, SegmentsAhead = 16;
    bool all = false;
    const std::vector<std::int32_t> ordinals = routeCandidates(box, all);
    if (all) {
        const std::size_t n = m_segments.size();
        for (std::size_t k = 0; k < n; ++k) {
            if (k + Ahead < n)
                ahead(m_segments[k + Ahead]);
            if (meets(m_segments[k]))
                visit(m_segments[k]);
        }
        return;
    }
    // The segments lie far apart in the list: each is asked for well before it is read.
    const std::size_t n = ordinals.size();
    for (std::size_t j = 0; j < n; ++j) {
        if (j + SegmentsAhead < n)
            __builtin_prefetch(&m_segments[std::size_t(ordinals[j + SegmentsAhead])]);
        if (j + Ahead < n)
            ahead(m_segments[std::size_t(ordinals[j + Ahead])]);
        const Segment& s = m_segments[std::size_t(ordinals[j])];
        if (meets(s))
            visit(s);
    }
}

} // namespace vdm
