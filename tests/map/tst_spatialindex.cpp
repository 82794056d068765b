// SPDX-License-Identifier: MIT
// The index changes what a paint or a hit test looks at, never what it finds: each case
// here runs the same question through the index and through the full scan.
#include "map/hittest.h"
#include "map/mappainter.h"
#include "map/spatialindex.h"
#include "map/crowdworld.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>
#include <unordered_set>
#include <vector>

using namespace vdm;
using namespace vdm::test;

namespace {

/** Scroll positions to look from at one zoom: the corners, the middle and a few others. */
std::vector<QPoint> lookouts(const Viewport& v, int random)
{
    const QPoint m = v.scrollMaximum();
    std::vector<QPoint> at{{0, 0}, {m.x() / 2, m.y() / 2}, m};
    QRandomGenerator rng(quint32(v.zoomIndex() + 100));
    for (int i = 0; i < random; ++i)
        at.push_back({int(rng.bounded(m.x() + 1)), int(rng.bounded(m.y() + 1))});
    return at;
}

/** One view painted by the full scan and through the index, each with its own highlight. */
struct TwoPaints {
    QImage full, indexed;
};

TwoPaints paintBothWays(MapPainter& painter, const Viewport& v, const QImage& picture, const LocationList& locations,
                        const LocationList& markers, const SpatialIndex& index, const Settings& s, GoHighlight& full,
                        GoHighlight& indexed)
{
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    return {painter.paint(MapScene{v, picture, locations, markers, s, o, full}),
            painter.paint(MapScene{v, picture, locations, markers, s, o, indexed, &index})};
}

TwoPaints paintBothWays(MapPainter& painter, const Viewport& v, const QImage& picture, const LocationList& locations,
                        const LocationList& markers, const SpatialIndex& index, const Settings& s)
{
    GoHighlight full, indexed;
    return paintBothWays(painter, v, picture, locations, markers, index, s, full, indexed);
}

} // namespace

TEST(SpatialIndex, APlacesStampFollowsTheListItWasMadeFrom)
{
    // A painter keeps what it measured of each place under the stamp: a list made again
    // gets another, an index that takes another's places takes its stamp, and a change
    // of routes or markers alone keeps it.
    const LocationList places = test::crowd(200, 7), marks = test::markersOf(20, 7);
    SpatialIndex a(places, marks), b(places, marks);
    const std::uint64_t first = a.placesStamp();
    EXPECT_NE(first, 0u);
    EXPECT_NE(b.placesStamp(), first);
    a.setRoutes(places);
    a.setMarkers(marks);
    EXPECT_EQ(a.placesStamp(), first);
    a.setPlaces(places);
    EXPECT_NE(a.placesStamp(), first);
    const std::uint64_t made = a.placesStamp();
    a.setLocations(places);
    EXPECT_NE(a.placesStamp(), made);
    const std::uint64_t bs = b.placesStamp();
    SpatialIndex c;
    c.takePlaces(std::move(b));
    EXPECT_EQ(c.placesStamp(), bs);
    EXPECT_EQ(SpatialIndex(c).placesStamp(), bs);
}

TEST(SpatialIndexPaint, EqualsTheFullScanPixelForPixelOnAHundredThousandPlacesAtEveryLevel)
{
    const Crowd& w = bigCrowd();
    MapPainter painter;
    const Settings s = everyOverlay();
    for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
        const Viewport base = Viewport::showing(w.picture.size(), 2, {640, 360}, zoom);
        for (const QPoint scroll : lookouts(base, 1)) {
            const Viewport v = Viewport::showing(w.picture.size(), 2, {640, 360}, zoom, scroll);
            const TwoPaints p = paintBothWays(painter, v, w.picture, w.locations, w.markers, w.index, s);
            EXPECT_TRUE(p.full == p.indexed) << "zoom " << zoom << " scroll " << scroll.x() << "," << scroll.y();
        }
    }
}

TEST(SpatialIndexPaint, EqualsTheFullScanAtDevicePixelRatios)
{
    const Crowd& w = bigCrowd();
    MapPainter painter;
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    for (const qreal ratio : {2.0, 1.5}) {
        for (const int zoom : {0, 3, 5, 7}) {
            const Viewport base = Viewport::showing(w.picture.size(), 2, {480, 270}, zoom);
            const Viewport v = Viewport::showing(w.picture.size(), 2, {480, 270}, zoom, lookouts(base, 1).back());
            GoHighlight full, indexed;
            const QImage a = painter.paint(MapScene{v, w.picture, w.locations, w.markers, s, o, full}, ratio);
            const QImage b
                = painter.paint(MapScene{v, w.picture, w.locations, w.markers, s, o, indexed, &w.index}, ratio);
            EXPECT_TRUE(a == b) << "ratio " << ratio << " zoom " << zoom;
        }
    }
}

TEST(SpatialIndexPaint, EqualsTheFullScanWithCutCaptionsTogglesOffAndNoText)
{
    const Crowd& w = bigCrowd();
    MapPainter painter;
    struct Case {
        const char* what;
        void (*change)(Settings&);
    } cases[] = {
        {"cut captions",
         [](Settings& s) {
             s.TextLength = 3;
             s.MarkerLength = 2;
         }},
        {"whole captions",
         [](Settings& s) {
             s.TextLength = 0;
             s.MarkerLength = 0;
         }},
        {"no text", [](Settings& s) { s.ShowText = false; }},
        {"visited hidden, ships only",
         [](Settings& s) {
             s.ShowVisited = false;
             s.ShowSkarnels = s.ShowMagesGuild = false;
         }},
        {"no routes", [](Settings& s) { s.ShowSkarnels = s.ShowShips = s.ShowMagesGuild = false; }},
    };
    for (const Case& c : cases) {
        Settings s = everyOverlay();
        c.change(s);
        for (const int zoom : {1, 5, 7}) {
            const Viewport base = Viewport::showing(w.picture.size(), 2, {500, 300}, zoom);
            const Viewport v = Viewport::showing(w.picture.size(), 2, {500, 300}, zoom, lookouts(base, 1).back());
            const TwoPaints p = paintBothWays(painter, v, w.picture, w.locations, w.markers, w.index, s);
            EXPECT_TRUE(p.full == p.indexed) << c.what << " zoom " << zoom;
        }
    }
}

TEST(SpatialIndexPaint, HighlightIsPaintedAndClearedAsByTheFullScan)
{
    // A small world where one view shows the highlighted place with its status hidden.
    LocationList locations = crowd(3000, 5);
    const LocationList markers = markersOf(50, 6);
    const QImage picture(660, 760, QImage::Format_RGB32);
    const Viewport v = Viewport::showing(picture.size(), 2, {400, 300}, 7, {9000, 9000});
    // The first place the view shows, made unknown-status: its caption takes the colour
    // of the framed place before it in the list, wherever that one lies.
    int onPanel = -1;
    for (int i = 100; i < int(locations.size()) && onPanel < 0; ++i)
        if (QRect(0, 0, 400, 300).contains(v.mapToPanel(locations[size_t(i)].X, locations[size_t(i)].Y)))
            onPanel = i;
    ASSERT_GE(onPanel, 0);
    locations[size_t(onPanel)].Status = 0;
    const SpatialIndex index(locations, markers);
    Settings s = everyOverlay();
    s.ShowVisited = false;
    const int last = int(locations.size()) - 1;
    MapPainter painter;
    for (const int h : {-1, 0, onPanel, 1500, last, last + 5, -7}) {
        SCOPED_TRACE(testing::Message() << "highlight " << h);
        GoHighlight full, indexed;
        full.set(h);
        indexed.set(h);
        // Go's repaint, Go setting the highlight again, and the paints after it.
        for (int round = 0; round < 3; ++round) {
            const TwoPaints p = paintBothWays(painter, v, picture, locations, markers, index, s, full, indexed);
            EXPECT_TRUE(p.full == p.indexed) << "round " << round;
            EXPECT_EQ(full.index(), indexed.index()) << "round " << round;
            EXPECT_EQ(full.pending(), indexed.pending()) << "round " << round;
            if (round == 0) {
                full.set(h);
                indexed.set(h);
            }
        }
    }
}

TEST(SpatialIndexPaint, AStaleIndexFallsBackToTheFullScan)
{
    LocationList locations = crowd(500, 9);
    LocationList markers = markersOf(20, 10);
    const SpatialIndex index(locations, markers);
    markers.push_back(markers.front());
    markers.back().X += 1000;
    locations.pop_back();
    EXPECT_FALSE(index.coversLocations(locations));
    EXPECT_FALSE(index.coversMarkers(markers));
    const QImage picture(660, 760, QImage::Format_RGB32);
    const Viewport v = Viewport::showing(picture.size(), 2, {800, 600}, 2, {400, 400});
    MapPainter painter;
    const TwoPaints p = paintBothWays(painter, v, picture, locations, markers, index, everyOverlay());
    EXPECT_TRUE(p.full == p.indexed);
    for (int y = 0; y < 600; y += 3)
        for (int x = 0; x < 800; x += 3)
            ASSERT_EQ(markerAt(v, markers, {x, y}, &index), markerAt(v, markers, {x, y})) << x << "," << y;
}

TEST(SpatialIndexHitTest, EqualsTheFullScanAtRandomPointsAndNextToEveryKindOfPlace)
{
    // 20 000 places: every full scan walks them all, and there are thousands of scans.
    const LocationList locations = crowd(20000, 21);
    const LocationList markers = markersOf(400, 22);
    const SpatialIndex index(locations, markers);
    QRandomGenerator rng(3);
    LocationFilter filters[3];
    filters[1].ShowVisited = false;
    filters[1].HighlightIndex = 12345;
    filters[2].ShowUnvisited = filters[2].ShowActive = false;
    filters[2].HighlightIndex = int(locations.size()) - 1;
    int hits = 0;
    for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
        for (const int scale : {10, 2}) {
            const QSize picture = scale == 10 ? QSize(3300, 3800) : QSize(660, 760);
            const Viewport base = Viewport::showing(picture, scale, {800, 600}, zoom);
            for (const QPoint scroll : lookouts(base, 0)) {
                const Viewport v = Viewport::showing(picture, scale, {800, 600}, zoom, scroll);
                std::vector<QPoint> points;
                for (int i = 0; i < 30; ++i)
                    points.push_back({int(rng.bounded(-20, 820)), int(rng.bounded(-20, 620))});
                // On places and markers the view shows, up to one pixel beyond their reach.
                const auto near = [&](const Location& l) {
                    return v.mapToPanel(l.X, l.Y) + QPoint(int(rng.bounded(-5, 6)), int(rng.bounded(-5, 6)));
                };
                const std::vector<int> shown = index.locationsIn(v, mapBoxOf(v, QRect(0, 0, 800, 600)));
                for (size_t k = 0; k < shown.size() && k < 60; ++k)
                    points.push_back(near(locations[size_t(shown[k * shown.size() / 60 % shown.size()])]));
                for (const int i : index.markersIn(v, mapBoxOf(v, QRect(0, 0, 800, 600))))
                    if (points.size() < 110)
                        points.push_back(near(markers[size_t(i)]));
                for (const int h : {12345, int(locations.size()) - 1})
                    points.push_back(near(locations[size_t(h)]));
                for (const LocationFilter& f : filters) {
                    for (const QPoint p : points) {
                        const int full = locationAt(v, locations, f, p);
                        ASSERT_EQ(locationAt(v, locations, f, p, &index), full)
                            << "zoom " << zoom << " scale " << scale << " at " << p.x() << "," << p.y();
                        hits += full >= 0;
                    }
                }
                for (const QPoint p : points)
                    ASSERT_EQ(markerAt(v, markers, p, &index), markerAt(v, markers, p))
                        << "zoom " << zoom << " at " << p.x() << "," << p.y();
            }
        }
    }
    EXPECT_GT(hits, 1000); // the points did land on places
}

TEST(SpatialIndexHitTest, HighlightedPlaceOfAHiddenLevelIsHitAndTheEarlierPlaceWins)
{
    Viewport v = Viewport::showing({660, 760}, 2, {330, 380}, 0);
    LocationList list(3);
    list[0].Level = 5; // hidden at 10 %, but highlighted
    list[1].Level = 0;
    list[2].Level = 0;
    for (Location& l : list) {
        l.X = 1000;
        l.Y = 2000;
    }
    const SpatialIndex index(list, {});
    const QPoint p = v.mapToPanel(1000, 2000);
    const struct {
        int highlight;
        int expected;
    } cases[] = {{-1, 1}, {0, 0}, {1, 1}, {2, 1}};
    for (const auto& c : cases) {
        LocationFilter f;
        f.HighlightIndex = c.highlight;
        EXPECT_EQ(locationAt(v, list, f, p, &index), c.expected) << c.highlight;
        EXPECT_EQ(locationAt(v, list, f, p), c.expected) << c.highlight;
    }
}

TEST(SpatialIndex, RoutesComeInDrawingOrderAndOnlyThoseOfANetwork)
{
    LocationList list(4);
    list[0].X = 0;
    list[1].X = 10000;
    list[2].X = 20000;
    list[3].X = 170000;
    list[0].Routes = {{1, Skarnel}, {9, Ship}, {2, 0}, {3, MagesGuild}};
    list[2].Routes = {{1, Ship}, {0, 7}};
    SpatialIndex index(list, {});
    const auto all = index.routesIn({INT_MIN, INT_MAX, INT_MIN, INT_MAX});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(std::pair(all[0]->from, all[0]->target), std::pair(0, 1));
    EXPECT_EQ(std::pair(all[1]->from, all[1]->target), std::pair(0, 3));
    EXPECT_EQ(std::pair(all[2]->from, all[2]->target), std::pair(2, 1));
    // A box near the far place meets only the long route to it.
    const auto far = index.routesIn({160000, 171000, -100, 100});
    ASSERT_EQ(far.size(), 1u);
    EXPECT_EQ(far[0]->target, 3);
    EXPECT_TRUE(index.routesIn({-50000, -40000, -100, 100}).empty());
    // Read again with one route left: only that one is found, and the routes' list gives
    // back the room it no longer needs.
    const std::int64_t before = index.bytes();
    list[0].Routes.clear();
    list[2].Routes = {{1, Ship}};
    index.setRoutes(list);
    const auto left = index.routesIn({INT_MIN, INT_MAX, INT_MIN, INT_MAX});
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(std::pair(left[0]->from, left[0]->target), std::pair(2, 1));
    EXPECT_LT(index.bytes(), before);
}

TEST(SpatialIndex, RoutesAreIndexedWhenFirstAskedFor)
{
    // A start that shows no route network never makes their index: the places' grids are
    // there at once, the routes' once a paint asks for them, and then as the list holds them.
    LocationList list(3);
    list[1].X = 10000;
    list[2].X = 20000;
    list[0].Routes = {{1, Skarnel}, {2, Ship}};
    SpatialIndex index;
    index.setPlaces(list);
    index.setRoutes(list);
    const std::int64_t unasked = index.bytes();
    EXPECT_EQ(index.routesIn({INT_MIN, INT_MAX, INT_MIN, INT_MAX}).size(), 2u);
    EXPECT_GT(index.bytes(), unasked);
    const std::int64_t made = index.bytes();
    EXPECT_EQ(index.routesIn({5000, 15000, -100, 100}).size(), 2u);
    EXPECT_EQ(index.bytes(), made) << "made once";
}

TEST(SpatialIndex, AnswersComeInListOrderHoweverManyTheyAre)
{
    // From a handful of items (sorted the plain way) to most of 100 000 places and their
    // routes (sorted in counting sweeps): exactly the items in the box, in list order.
    const Crowd& w = bigCrowd();
    const MapBox boxes[] = {
        {Viewport::MapLeft, Viewport::MapRight, Viewport::MapBottom, Viewport::MapTop},
        {-20000, 90000, 0, 150000},
        {10000, 14000, 20000, 23000},
        {INT_MIN, INT_MAX, INT_MIN, INT_MAX},
    };
    for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
        const Viewport v = Viewport::showing(w.picture.size(), 2, {640, 360}, zoom);
        for (const MapBox& box : boxes) {
            SCOPED_TRACE(testing::Message() << "zoom " << zoom << " box " << box.xlo << ".." << box.xhi);
            std::vector<int> want;
            for (int i = 0; i < int(w.locations.size()); ++i) {
                const Location& l = w.locations[size_t(i)];
                if (v.LevelVisible(l.Level) && box.contains(l.X, l.Y))
                    want.push_back(i);
            }
            EXPECT_EQ(w.index.locationsIn(v, box), want);
            std::vector<SpatialIndex::Placed> placed;
            w.index.placedIn(v, box, placed);
            std::vector<int> placedIndices;
            for (const SpatialIndex::Placed& p : placed) {
                placedIndices.push_back(p.index);
                EXPECT_EQ(QPoint(p.x, p.y), QPoint(w.locations[size_t(p.index)].X, w.locations[size_t(p.index)].Y));
            }
            EXPECT_EQ(placedIndices, want);
            if (zoom != 0)
                continue;
            std::vector<std::tuple<int, int, int>> wantRoutes, gotRoutes;
            for (int i = 0; i < int(w.locations.size()); ++i)
                for (const Route& r : w.locations[size_t(i)].Routes) {
                    if (r.Kind < Skarnel || r.Kind > MagesGuild || r.Target < 0
                        || size_t(r.Target) >= w.locations.size())
                        continue;
                    const Location &a = w.locations[size_t(i)], &b = w.locations[size_t(r.Target)];
                    if (std::max(a.X, b.X) >= box.xlo && std::min(a.X, b.X) <= box.xhi && std::max(a.Y, b.Y) >= box.ylo
                        && std::min(a.Y, b.Y) <= box.yhi)
                        wantRoutes.emplace_back(i, r.Target, r.Kind);
                }
            for (const SpatialIndex::Segment* s : w.index.routesIn(box))
                gotRoutes.emplace_back(s->from, s->target, s->kind);
            EXPECT_EQ(gotRoutes, wantRoutes);
            // Visited without a list, the same; and each segment told ahead of its visit
            // (but the first few), while the segments it is told of are still to come.
            std::unordered_set<const SpatialIndex::Segment*> told;
            std::vector<const SpatialIndex::Segment*> visited;
            std::size_t toldBeforeVisits = 0;
            w.index.forEachRouteIn(
                box, [&](const SpatialIndex::Segment& s) { told.insert(&s); },
                [&](const SpatialIndex::Segment& s) {
                    visited.push_back(&s);
                    toldBeforeVisits += told.count(&s);
                });
            EXPECT_EQ(visited, w.index.routesIn(box));
            if (visited.size() > 16) {
                EXPECT_GE(toldBeforeVisits, visited.size() - 16);
            }
        }
    }
}

TEST(SpatialIndex, PlacesAtTheEdgesOfCellsAndOfTheMapAreFoundWhereTheyLie)
{
    // A grid keeps its points as offsets within their cells when every point's fit, and
    // whole when one lies outside the map: both give back each point as it is, and find
    // exactly the places in the box, at the corners of the map and of the cells and a unit
    // either side of them.
    const std::int64_t xs[]
        = {Viewport::MapLeft,      Viewport::MapLeft + 1, Viewport::MapLeft + 3699, Viewport::MapLeft + 3700, 0,
           Viewport::MapRight - 1, Viewport::MapRight};
    const std::int64_t ys[]
        = {Viewport::MapBottom,  Viewport::MapBottom + 1, Viewport::MapBottom + 65535, Viewport::MapBottom + 65536, 0,
           Viewport::MapTop - 1, Viewport::MapTop};
    const struct {
        const char* name;
        std::vector<QPoint> beyond; // points outside the map, if any
    } cases[] = {
        {"inside the map", {}},
        {"one beyond its right", {{Viewport::MapRight + 70000, 0}}},
        {"at the ends of the range", {{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}, {-1, Viewport::MapBottom - 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocationList list;
        for (const std::int64_t x : xs)
            for (const std::int64_t y : ys)
                for (int level = 0; level <= 5; level += 5) {
                    Location l;
                    l.X = std::int32_t(x);
                    l.Y = std::int32_t(y);
                    l.Level = level;
                    list.push_back(l);
                }
        for (const QPoint p : c.beyond) {
            Location l;
            l.X = p.x();
            l.Y = p.y();
            l.Level = 1;
            list.push_back(l);
        }
        const SpatialIndex index(list, {});
        std::vector<MapBox> boxes = {{INT_MIN, INT_MAX, INT_MIN, INT_MAX}};
        for (const std::int64_t x : xs)
            for (const std::int64_t y : ys) {
                boxes.push_back({x, x, y, y});
                boxes.push_back({x - 1, x + 1, y - 1, y + 1});
                boxes.push_back({x + 1, x + 5000, y - 70000, y - 1});
            }
        for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
            const Viewport v = Viewport::showing({660, 760}, 2, {640, 360}, zoom);
            for (const MapBox& box : boxes) {
                std::vector<int> want, wantNear;
                for (int i = 0; i < int(list.size()); ++i) {
                    const Location& l = list[size_t(i)];
                    if (box.contains(l.X, l.Y)) {
                        wantNear.push_back(i);
                        if (v.LevelVisible(l.Level))
                            want.push_back(i);
                    }
                }
                std::vector<SpatialIndex::Placed> placed;
                index.placedIn(v, box, placed);
                std::vector<int> got;
                for (const SpatialIndex::Placed& p : placed) {
                    got.push_back(p.index);
                    ASSERT_EQ(QPoint(p.x, p.y), QPoint(list[size_t(p.index)].X, list[size_t(p.index)].Y));
                }
                ASSERT_EQ(got, want) << "zoom " << zoom << " box " << box.xlo << ".." << box.xhi << ", " << box.ylo
                                     << ".." << box.yhi;
                ASSERT_EQ(index.locationsNear(box), wantNear) << "box " << box.xlo << ", " << box.ylo;
            }
        }
    }
}
