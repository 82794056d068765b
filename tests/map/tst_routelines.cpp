// SPDX-License-Identifier: MIT
// The route lines of a paint through the index, whole or a few tile rows at a time, land
// on exactly the pixels the full scan's lines do: lines across the tiles' and the parts'
// edges, lines of one pixel, lines whose ends fall on one pixel, and lines of different
// colours drawn over one another in their order.
#include "map/mappainter.h"
#include "map/crowdworld.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <cmath>

using namespace vdm;
using namespace vdm::test;

namespace {

constexpr int Centre[2] = {25000, 45000}; // a map point near the middle of the picture

/**
 * Places in rings around the centre, from a few map units (one pixel or none at the
 * lowest levels) to far beyond the panel, each joined to its two neighbours in the list,
 * some both ways and in other networks, so lines of different colours overlap.
 */
LocationList starOfLines()
{
    QRandomGenerator rng(41);
    LocationList list;
    const int radii[] = {3, 20, 35, 70, 300, 3000, 30000, 300000};
    for (int i = 0; i < 480; ++i) {
        Location l;
        l.Name = "P" + QByteArray::number(i);
        l.Level = 0;
        l.Status = 1 + i % 3;
        const double angle = rng.generateDouble() * 6.283185307179586;
        const int r = radii[i % 8];
        l.X = Centre[0] + int(std::lround(r * std::cos(angle)));
        l.Y = Centre[1] + int(std::lround(r * std::sin(angle)));
        list.push_back(l);
    }
    const int count = int(list.size());
    for (int i = 0; i < count; ++i) {
        Location& l = list[size_t(i)];
        l.Routes.push_back({(i + 1) % count, std::uint8_t(1 + i % 3)});
        l.Routes.push_back({(i + 2) % count, std::uint8_t(1 + (i + 1) % 3)});
        if (i % 4 == 0) // back again in another colour, over the first
            list[size_t((i + 1) % count)].Routes.push_back({i, std::uint8_t(1 + (i + 2) % 3)});
        if (i % 5 == 0) // the same way again in another network
            l.Routes.push_back({(i + 1) % count, std::uint8_t(1 + (i + 1) % 3)});
    }
    return list;
}

} // namespace

TEST(RouteLines, ThroughTheIndexWholeAndInPartsEqualTheFullScan)
{
    const LocationList locations = starOfLines();
    const LocationList markers;
    const SpatialIndex index(locations, markers);
    const QImage& picture = bigCrowd().picture;
    const struct {
        const char* what;
        void (*change)(Settings&);
    } modes[] = {
        {"pixel mode, routes alone",
         [](Settings& s) {
             s.MapAA = false;
             s.ShowText = false;
             s.ShowUnvisited = s.ShowActive = s.ShowVisited = false;
         }},
        {"smooth, every overlay", [](Settings& s) { s.ZoomLevelAA = 0; }},
        {"two networks", [](Settings& s) { s.ShowShips = false; }},
    };
    for (const auto& mode : modes)
        for (const qreal ratio : {1.0, 2.0})
            for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
                SCOPED_TRACE(testing::Message() << mode.what << ", ratio " << ratio << ", zoom " << zoom);
                Settings s = everyOverlay();
                mode.change(s);
                const DrawingObjects o = DrawingObjects::fromSettings(s);
                Viewport v = Viewport::showing(picture.size(), 2, {600, 400}, zoom);
                v.centreOn(Centre[0], Centre[1]);
                GoHighlight h1, h2, h3;
                MapPainter full, whole, parted;
                parted.paintInPartsAbove(0);
                const QImage want = full.paint(MapScene{v, picture, locations, markers, s, o, h1}, ratio);
                EXPECT_TRUE(whole.paint(MapScene{v, picture, locations, markers, s, o, h2, &index}, ratio) == want);
                EXPECT_TRUE(parted.paint(MapScene{v, picture, locations, markers, s, o, h3, &index}, ratio) == want);
                // Not a vacuous comparison: the lines are there.
                Settings none = s;
                none.ShowSkarnels = none.ShowShips = none.ShowMagesGuild = false;
                GoHighlight h4;
                EXPECT_FALSE(full.paint(MapScene{v, picture, locations, markers, none, o, h4}, ratio) == want);
            }
}

TEST(RouteLines, AHugeWorldsLevelLayerServesEveryScrollAndFollowsWhatItWasDrawnFor)
{
    // A paint in parts draws a level's route lines once into a layer and lays it over
    // every paint of the level: every scroll, clipped paints, another ratio, the networks
    // shown, their pens, the routes themselves read again, and a view painted ahead at
    // another level between two paints all give what the full scan gives. The star's far
    // places lie off the map, so some lines reach beyond the layer's picture.
    LocationList locations = starOfLines();
    const LocationList markers;
    SpatialIndex index(locations, markers);
    const QImage& picture = bigCrowd().picture;
    Settings s = everyOverlay();
    s.ShowText = false; // the captions' cache aside, what the painter keeps is the layer
    MapPainter parted, plain;
    parted.paintInPartsAbove(0);
    plain.paintInPartsAbove(0);
    const auto expectSame = [&](const Viewport& v, const Settings& st, qreal ratio, const char* what) {
        SCOPED_TRACE(testing::Message() << what << ", zoom " << v.zoomIndex() << ", scroll " << v.scrollX() << ","
                                        << v.scrollY() << ", ratio " << ratio);
        const DrawingObjects o = DrawingObjects::fromSettings(st);
        GoHighlight h1, h2, h3;
        MapPainter full;
        const QImage want = full.paint(MapScene{v, picture, locations, markers, st, o, h1}, ratio);
        const MapScene scene{v, picture, locations, markers, st, o, h2, &index};
        ASSERT_TRUE(parted.paint(scene, ratio) == want);
        // A strip painted into a wiped copy.
        QImage copy = want.copy();
        const QRect strip(copy.width() / 3, 0, 9, copy.height());
        for (int y = 0; y < copy.height(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(copy.scanLine(y)) + strip.left(), strip.width(), 0xFFFF00FFu);
        parted.paint(copy, scene, QRegion(strip));
        ASSERT_TRUE(copy == want) << "strip";
        // With a layer over the map, composed a band at a time: the route layer before it.
        ComplementLayer top(MapTopLayer::Readiness::AnyThread);
        MapScene topped = scene;
        topped.top = &top;
        QImage toppedWant = want.copy();
        top.layOver(toppedWant, toppedWant.rect());
        ASSERT_TRUE(parted.paint(topped, ratio) == toppedWant) << "under a layer";
        // What it keeps beyond a painter that draws no routes: a layer where the level's
        // picture fits one (up to 50 % at the ratio 1 with this picture).
        Settings none = st;
        none.ShowSkarnels = none.ShowShips = none.ShowMagesGuild = false;
        plain.paint(MapScene{v, picture, locations, markers, none, o, h3, &index}, ratio);
        if (ratio == 1 && v.zoomIndex() <= 4) {
            EXPECT_GT(parted.cacheBytes(), plain.cacheBytes());
        }
    };
    for (const qreal ratio : {1.0, 2.0})
        for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
            const Viewport base = Viewport::showing(picture.size(), 2, {500, 340}, zoom);
            const QPoint m = base.scrollMaximum();
            for (const QPoint scroll : {m / 2, QPoint(0, 0), m, QPoint(m.x() / 3 + 1, m.y() * 2 / 3 + 3)})
                expectSame(Viewport::showing(picture.size(), 2, {500, 340}, zoom, scroll), s, ratio, "scrolled");
        }
    const Viewport base = Viewport::showing(picture.size(), 2, {500, 340}, 3);
    const Viewport v = Viewport::showing(picture.size(), 2, {500, 340}, 3, base.scrollMaximum() / 2);
    Settings two = s;
    two.ShowShips = false;
    expectSame(v, two, 1, "two networks");
    Settings pens = s;
    pens.ColorMagesGuild = pens.ColorSkarnels; // two networks of one colour, then apart again
    expectSame(v, pens, 1, "one pen for two networks");
    pens.ColorSkarnels = 0x00FF00;
    expectSame(v, pens, 1, "pens");
    // A view painted ahead at another level leaves the level's layer as it is.
    {
        const Viewport ahead = Viewport::showing(picture.size(), 2, {500, 340}, 4, base.scrollMaximum() / 2);
        const DrawingObjects o = DrawingObjects::fromSettings(s);
        GoHighlight h;
        QImage frame(ahead.panel(), QImage::Format_RGB32);
        parted.paintAhead(frame, MapScene{ahead, picture, locations, markers, s, o, h, &index}, QRegion(frame.rect()));
        MapPainter full;
        GoHighlight h2;
        EXPECT_TRUE(frame == full.paint(MapScene{ahead, picture, locations, markers, s, o, h2}, 1)) << "ahead";
    }
    expectSame(v, s, 1, "after a view ahead");
    // The routes read again: other routes, drawn anew.
    for (Location& l : locations) {
        std::vector<Route> routes(l.Routes.begin(), l.Routes.end());
        if (!routes.empty())
            routes.front().Kind = std::uint8_t(1 + routes.front().Kind % 3);
        l.Routes.assign(routes.data(), routes.data() + routes.size());
    }
    index.setRoutes(locations);
    expectSame(v, s, 1, "other routes");
}

TEST(RouteLines, AViewsNeighbourhoodLayerServesTheScrollsInsideItAndIsDrawnAgainBeyond)
{
    // Where a level's picture is larger than a layer (100 % and up here), a whole paint in
    // parts draws the lines of the panel and a margin around it into a layer cut at its
    // edges: the scrolls that stay inside lay it, a strip beyond it draws its own lines,
    // and a whole paint beyond it draws the layer again, each the full scan's pixels.
    const LocationList locations = starOfLines();
    const LocationList markers;
    const SpatialIndex index(locations, markers);
    const QImage& picture = bigCrowd().picture;
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    const QSize panel(500, 340);
    for (const qreal ratio : {1.0, 2.0})
        for (int zoom = 5; zoom < Viewport::LevelCount; ++zoom) {
            MapPainter parted, plain;
            parted.paintInPartsAbove(0);
            plain.paintInPartsAbove(0);
            Viewport v = Viewport::showing(picture.size(), 2, panel, zoom);
            v.centreOn(Centre[0], Centre[1]);
            const auto want = [&](const Viewport& at) {
                GoHighlight h;
                return MapPainter().paint(MapScene{at, picture, locations, markers, s, o, h}, ratio);
            };
            // Steps inside the margin (a quarter of the panel each way), then beyond it.
            const QPoint steps[] = {{0, 0}, {7, 5}, {7, 5}, {-90, 60}, {60, -70}, {400, 0}, {0, 300}};
            for (const QPoint step : steps) {
                v.scrollTo(v.scroll() + step);
                SCOPED_TRACE(testing::Message() << "ratio " << ratio << ", zoom " << zoom << ", scroll " << v.scrollX()
                                                << "," << v.scrollY());
                GoHighlight h;
                const MapScene scene{v, picture, locations, markers, s, o, h, &index};
                const QImage expected = want(v);
                // A strip first: beyond the layer it draws its own lines.
                QImage strip = expected.copy();
                const QRect band(0, strip.height() / 2, strip.width(), 11);
                strip.fill(Qt::magenta);
                parted.paint(strip, scene, QRegion(band));
                ASSERT_TRUE(strip.copy(band) == expected.copy(band)) << "strip";
                ASSERT_TRUE(parted.paint(scene, ratio) == expected);
                // The layer is held: the lines are not drawn through each paint.
                Settings none = s;
                none.ShowSkarnels = none.ShowShips = none.ShowMagesGuild = false;
                GoHighlight h2;
                plain.paint(MapScene{v, picture, locations, markers, none, o, h2, &index}, ratio);
                EXPECT_GT(parted.cacheBytes(), plain.cacheBytes());
            }
        }
}
