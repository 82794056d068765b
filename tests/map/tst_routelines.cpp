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
