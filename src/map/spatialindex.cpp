// SPDX-License-Identifier: MIT
#include "map/spatialindex.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <span>
#include <utility>

namespace vdm {
namespace {

/** The next stamp of an index's places or routes, given to no other list (see placesStamp, routesStamp). */
std::uint64_t nextStamp()
{
    static std::atomic<std::uint64_t> stamps{0};
    return ++stamps;
}

constexpr std::int64_t Left = Viewport::MapLeft, Right = Viewport::MapRight;
constexpr std::int64_t Bottom = Viewport::MapBottom, Top = Viewport::MapTop;

/**
 * Cell sizes per set of detail levels, in map units: about a sixteenth of what a full-HD
 * panel spans at the closest zoom showing that set, so a panel meets some tens of cells.
 */
constexpr std::array<double, 6> LevelCells{110000, 33000, 22000, 11000, 5500, 3700};
/** Routes: one grid for all zooms; a route meeting more cells than this is kept apart. */
constexpr double RouteCell = 8000;
constexpr std::int64_t LongRouteCells = 64;

/** Whether an item of `level` belongs to level set `set` (the same rule as Viewport::LevelVisible). */
bool inLevelSet(int set, std::int32_t level)
{
    if (set == 0)
        return level == 0;
    if (set == 5)
        return true;
    return level <= set;
}

/**
 * Sorts items gathered cell by cell into list order, by their list index key(item): an
 * index is a small non-negative number, so a crowded view's hundreds of thousands take a
 * few counting sweeps of 11 bits each instead of a comparison sort. Few items are sorted
 * the plain way. The result is the same either way: items of one index are the same.
 */
template <class Item, class Key> void sortByIndex(std::vector<Item>& items, Key key)
{
    constexpr std::size_t FewItems = 4096;
    if (items.size() < FewItems) {
        std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) { return key(a) < key(b); });
        return;
    }
    constexpr int Bits = 11;
    constexpr std::uint32_t Digits = 1u << Bits;
    std::uint32_t highest = 0;
    for (const Item& item : items)
        highest = std::max(highest, std::uint32_t(key(item)));
    std::vector<Item> other(items.size());
    std::vector<std::uint32_t> start(Digits + 1);
    for (int shift = 0; shift < 32; shift += Bits) {
        std::fill(start.begin(), start.end(), 0);
        for (const Item& item : items)
            ++start[((std::uint32_t(key(item)) >> shift) & (Digits - 1)) + 1];
        for (std::uint32_t d = 0; d < Digits; ++d)
            start[d + 1] += start[d];
        for (const Item& item : items)
            other[start[(std::uint32_t(key(item)) >> shift) & (Digits - 1)]++] = item;
        items.swap(other);
        if ((highest >> shift) < Digits)
            break; // no higher digit is set
    }
}

} // namespace

MapBox mapBoxOf(const Viewport& view, const QRect& area)
{
    // Panel to picture, then picture to map; map x grows with panel x, map y falls as
    // panel y grows. The conversions truncate, so two pixels' worth of slack is added.
    const auto picture = [&](std::int64_t panel, std::int64_t scroll, std::int64_t margin) {
        return int(std::clamp<std::int64_t>(panel + scroll - margin, INT_MIN, INT_MAX));
    };
    const int px0 = picture(area.left(), view.scrollX(), view.marginX());
    const int px1 = picture(std::int64_t(area.left()) + area.width(), view.scrollX(), view.marginX());
    const int py0 = picture(area.top(), view.scrollY(), view.marginY());
    const int py1 = picture(std::int64_t(area.top()) + area.height(), view.scrollY(), view.marginY());
    const QPoint topLeft = view.ScreenToMap(px0, py0);
    const QPoint bottomRight = view.ScreenToMap(px1, py1);
    const std::int64_t slack = std::int64_t(std::ceil(2 * 300000.0 / (330.0 * view.factor()))) + 2;
    return {std::int64_t(topLeft.x()) - slack, std::int64_t(bottomRight.x()) + slack,
            std::int64_t(bottomRight.y()) - slack, std::int64_t(topLeft.y()) + slack};
}

// --- Grid ----------------------------------------------------------------------------

int SpatialIndex::Grid::column(std::int64_t x) const
{
    const double c = std::floor((double(x) - double(Left)) / cell);
    return int(std::clamp(c, 0.0, double(columns - 1)));
}

int SpatialIndex::Grid::row(std::int64_t y) const
{
    const double r = std::floor((double(y) - double(Bottom)) / cell);
    return int(std::clamp(r, 0.0, double(rows - 1)));
}

void SpatialIndex::Grid::build(const std::vector<Point>& points, const std::vector<int>& members, double cellSize)
{
    cell = cellSize;
    columns = int((Right - Left) / cell) + 1;
    rows = int((Top - Bottom) / cell) + 1;
    const std::size_t cells = std::size_t(columns) * std::size_t(rows);
    start.assign(cells + 1, 0);
    std::vector<std::int32_t> cellOf(members.size());
    bool narrow = true;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const Point& p = points[std::size_t(members[k])];
        const int c = column(p.x), r = row(p.y);
        cellOf[k] = std::int32_t(std::size_t(r) * std::size_t(columns) + std::size_t(c));
        ++start[std::size_t(cellOf[k]) + 1];
        const std::int64_t ox = p.x - left(c), oy = p.y - bottom(r);
        narrow = narrow && ox >= 0 && ox <= UINT16_MAX && oy >= 0 && oy <= UINT16_MAX;
    }
    for (std::size_t c = 0; c < cells; ++c)
        start[c + 1] += start[c];
    items.assign(members.size(), 0);
    dx.clear();
    dy.clear();
    xs.clear();
    ys.clear();
    if (narrow) {
        dx.assign(members.size(), 0);
        dy.assign(members.size(), 0);
    } else {
        xs.assign(members.size(), 0);
        ys.assign(members.size(), 0);
    }
    std::vector<std::int32_t> fill(start.begin(), start.end() - 1);
    // Members come ascending, so each cell's indices stay ascending.
    for (std::size_t k = 0; k < members.size(); ++k) {
        const std::size_t at = std::size_t(fill[std::size_t(cellOf[k])]++);
        const Point& p = points[std::size_t(members[k])];
        items[at] = members[k];
        if (narrow) {
            const std::size_t c = std::size_t(cellOf[k]);
            dx[at] = std::uint16_t(p.x - left(int(c % std::size_t(columns))));
            dy[at] = std::uint16_t(p.y - bottom(int(c / std::size_t(columns))));
        } else {
            xs[at] = p.x;
            ys[at] = p.y;
        }
    }
}

template <class Take> void SpatialIndex::Grid::forEachIn(const MapBox& box, Take take) const
{
    if (columns == 0 || box.xlo > box.xhi || box.ylo > box.yhi)
        return;
    const int c0 = column(box.xlo), c1 = column(box.xhi), r0 = row(box.ylo), r1 = row(box.yhi);
    const bool narrow = !dx.empty();
    for (int r = r0; r <= r1; ++r) {
        const std::size_t base = std::size_t(r) * std::size_t(columns);
        if (!narrow) {
            for (std::size_t at = std::size_t(start[base + std::size_t(c0)]);
                 at < std::size_t(start[base + std::size_t(c1) + 1]); ++at)
                if (box.contains(xs[at], ys[at]))
                    take(at, xs[at], ys[at]);
            continue;
        }
        // The box in offsets from each cell's corner: the same test on two bytes an axis.
        const std::int64_t y0 = bottom(r), ylo = box.ylo - y0, yhi = box.yhi - y0;
        for (int c = c0; c <= c1; ++c) {
            const std::int64_t x0 = left(c), xlo = box.xlo - x0, xhi = box.xhi - x0;
            const std::size_t end = std::size_t(start[base + std::size_t(c) + 1]);
            for (std::size_t at = std::size_t(start[base + std::size_t(c)]); at < end; ++at)
                if (dx[at] >= xlo && dx[at] <= xhi && dy[at] >= ylo && dy[at] <= yhi)
                    take(at, std::int32_t(x0 + dx[at]), std::int32_t(y0 + dy[at]));
        }
    }
}

void SpatialIndex::Grid::collect(const MapBox& box, std::vector<int>& out) const
{
    forEachIn(box, [&](std::size_t at, std::int32_t, std::int32_t) { out.push_back(items[at]); });
}

void SpatialIndex::Grid::collect(const MapBox& box, std::vector<Placed>& out) const
{
    forEachIn(box, [&](std::size_t at, std::int32_t x, std::int32_t y) { out.push_back({items[at], x, y}); });
}

std::int64_t SpatialIndex::Grid::bytes() const
{
    return std::int64_t((start.capacity() + items.capacity() + xs.capacity() + ys.capacity()) * sizeof(std::int32_t)
                        + (dx.capacity() + dy.capacity()) * sizeof(std::uint16_t));
}

// --- SpatialIndex --------------------------------------------------------------------

SpatialIndex::SpatialIndex(const LocationList& locations, const LocationList& markers)
{
    setLocations(locations);
    setMarkers(markers);
}

int SpatialIndex::levelSet(const Viewport& view)
{
    for (int set = 0; set < 5; ++set)
        if (!view.LevelVisible(set + 1))
            return set;
    return 5;
}

void SpatialIndex::buildLevelGrids(LevelGrids& grids, const LocationList& list)
{
    // Six grids read the same few fields of every item: copy them out of the (large)
    // records once, so the builds walk small arrays instead of the whole list six times.
    std::vector<Grid::Point> points(list.size());
    std::vector<std::int32_t> levels(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        points[i] = {list[i].X, list[i].Y};
        levels[i] = list[i].Level;
    }
    std::vector<int> members;
    members.reserve(list.size());
    for (int set = 0; set < int(grids.size()); ++set) {
        members.clear();
        for (std::size_t i = 0; i < levels.size(); ++i)
            if (inLevelSet(set, levels[i]))
                members.push_back(int(i));
        grids[std::size_t(set)].build(points, members, LevelCells[std::size_t(set)]);
    }
}

void SpatialIndex::setLocations(const LocationList& locations)
{
    setPlaces(locations);
    setRoutes(locations);
}

void SpatialIndex::setPlaces(const LocationList& locations)
{
    buildLevelGrids(m_locations, locations);
    m_locationData = locations.data();
    m_locationCount = locations.size();
    m_placesStamp = nextStamp();
    m_longestLocationName = 0;
    for (const Location& l : locations)
        m_longestLocationName = std::max(m_longestLocationName, int(l.Name.size()));
}

void SpatialIndex::takePlaces(SpatialIndex&& other)
{
    m_locations = std::move(other.m_locations);
    m_locationData = other.m_locationData;
    m_locationCount = other.m_locationCount;
    m_placesStamp = other.m_placesStamp;
    m_longestLocationName = other.m_longestLocationName;
}

void SpatialIndex::setRoutes(const LocationList& locations)
{
    // What an index of other routes held goes now; the new one is made when first asked for.
    m_segments = {};
    m_routeCells = Grid{};
    m_longRoutes = {};
    m_routeData = locations.data();
    m_routeCount = locations.size();
    m_routesStamp = nextStamp();
}

void SpatialIndex::indexRoutes() const
{
    if (!m_routeData)
        return;
    const std::span<const Location> locations(std::exchange(m_routeData, nullptr), m_routeCount);
    // Routes: every one the painter can draw, in its drawing order.
    const auto drawable = [&](const Route& r) {
        return r.Kind >= Skarnel && r.Kind <= MagesGuild && r.Target >= 0 && std::size_t(r.Target) < locations.size();
    };
    // Counted first, so the list is made at its size: grown step by step, a million places'
    // routes would fill fresh pages for every size on the way (twice the list's own pages,
    // each one zeroed by the system), and hold two lists at once while moving.
    std::size_t count = 0;
    for (const Location& a : locations)
        count += std::size_t(std::count_if(a.Routes.begin(), a.Routes.end(), drawable));
    m_segments.reserve(count);
    for (std::size_t i = 0; i < locations.size(); ++i) {
        const Location& a = locations[i];
        for (const Route& r : a.Routes) {
            if (!drawable(r))
                continue;
            const Location& b = locations[std::size_t(r.Target)];
            m_segments.push_back({std::int32_t(i), r.Target, r.Kind, a.X, a.Y, b.X, b.Y});
        }
    }
    Grid& g = m_routeCells;
    g.cell = RouteCell;
    g.columns = int((Right - Left) / g.cell) + 1;
    g.rows = int((Top - Bottom) / g.cell) + 1;
    const std::size_t cells = std::size_t(g.columns) * std::size_t(g.rows);
    g.start.assign(cells + 1, 0);
    m_longRoutes.clear();
    // Two passes over the boxes: count per cell, then fill; ordinals stay ascending per cell.
    const auto span = [&](const Segment& s, auto visit) {
        const int c0 = g.column(s.xlo()), c1 = g.column(s.xhi()), r0 = g.row(s.ylo()), r1 = g.row(s.yhi());
        if (std::int64_t(c1 - c0 + 1) * (r1 - r0 + 1) > LongRouteCells)
            return false;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                visit(std::size_t(r) * std::size_t(g.columns) + std::size_t(c));
        return true;
    };
    for (const Segment& s : m_segments)
        span(s, [&](std::size_t cell) { ++g.start[cell + 1]; });
    for (std::size_t c = 0; c < cells; ++c)
        g.start[c + 1] += g.start[c];
    g.items.assign(std::size_t(g.start[cells]), 0);
    std::vector<std::int32_t> fill(g.start.begin(), g.start.end() - 1);
    for (std::size_t k = 0; k < m_segments.size(); ++k)
        if (!span(m_segments[k], [&](std::size_t cell) { g.items[std::size_t(fill[cell]++)] = std::int32_t(k); }))
            m_longRoutes.push_back(std::int32_t(k));
    g.dx.clear();
    g.dy.clear();
    g.xs.clear();
    g.ys.clear();
}

void SpatialIndex::setMarkers(const LocationList& markers)
{
    buildLevelGrids(m_markers, markers);
    m_markerData = markers.data();
    m_markerCount = markers.size();
    m_longestMarkerName = 0;
    for (const Location& m : markers)
        m_longestMarkerName = std::max(m_longestMarkerName, int(m.Name.size()));
}

bool SpatialIndex::coversLocations(const LocationList& locations) const
{
    return locations.data() == m_locationData && locations.size() == m_locationCount;
}

bool SpatialIndex::coversMarkers(const LocationList& markers) const
{
    return markers.data() == m_markerData && markers.size() == m_markerCount;
}

std::vector<int> SpatialIndex::locationsIn(const Viewport& view, const MapBox& box) const
{
    std::vector<int> out;
    m_locations[std::size_t(levelSet(view))].collect(box, out);
    sortByIndex(out, [](int i) { return i; });
    return out;
}

void SpatialIndex::placedIn(const Viewport& view, const MapBox& box, std::vector<Placed>& out) const
{
    out.clear();
    m_locations[std::size_t(levelSet(view))].collect(box, out);
    sortByIndex(out, [](const Placed& p) { return p.index; });
}

std::vector<int> SpatialIndex::locationsNear(const MapBox& box) const
{
    std::vector<int> out;
    collectLocationsNear(box, out);
    sortByIndex(out, [](int i) { return i; });
    return out;
}

void SpatialIndex::collectLocationsNear(const MapBox& box, std::vector<int>& out) const
{
    // The last level set holds every level.
    m_locations.back().collect(box, out);
}

std::vector<int> SpatialIndex::markersIn(const Viewport& view, const MapBox& box) const
{
    std::vector<int> out;
    m_markers[std::size_t(levelSet(view))].collect(box, out);
    sortByIndex(out, [](int i) { return i; });
    return out;
}

std::vector<std::int32_t> SpatialIndex::routeCandidates(const MapBox& box, bool& all) const
{
    all = false;
    const Grid& g = m_routeCells;
    if (box.xlo > box.xhi || box.ylo > box.yhi || g.columns == 0)
        return {};
    const int c0 = g.column(box.xlo), c1 = g.column(box.xhi), r0 = g.row(box.ylo), r1 = g.row(box.yhi);
    const std::int64_t cellsMet = std::int64_t(c1 - c0 + 1) * (r1 - r0 + 1);
    if (cellsMet * 2 >= std::int64_t(g.columns) * g.rows) {
        // Most of the map is in the box: walking every route in order is cheaper.
        all = true;
        return {};
    }
    std::vector<std::int32_t> ordinals(m_longRoutes);
    for (int r = r0; r <= r1; ++r) {
        const std::size_t base = std::size_t(r) * std::size_t(g.columns);
        ordinals.insert(ordinals.end(), g.items.begin() + g.start[base + std::size_t(c0)],
                        g.items.begin() + g.start[base + std::size_t(c1) + 1]);
    }
    sortByIndex(ordinals, [](std::int32_t k) { return k; });
    ordinals.erase(std::unique(ordinals.begin(), ordinals.end()), ordinals.end());
    return ordinals;
}

std::vector<const SpatialIndex::Segment*> SpatialIndex::routesIn(const MapBox& box) const
{
    std::vector<const Segment*> out;
    forEachRouteIn(
        box, [](const Segment&) {}, [&](const Segment& s) { out.push_back(&s); });
    return out;
}

std::int64_t SpatialIndex::bytes() const
{
    std::int64_t total = std::int64_t(m_segments.capacity() * sizeof(Segment))
                         + std::int64_t(m_longRoutes.capacity() * sizeof(std::int32_t));
    for (const Grid& g : m_locations)
        total += g.bytes();
    for (const Grid& g : m_markers)
        total += g.bytes();
    return total + m_routeCells.bytes();
}

} // namespace vdm
