// SPDX-License-Identifier: MIT
#include "map/hittest.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <climits>

namespace vdm {
namespace {

Viewport viewAt(int zoomIndex, int mapScale = 10, QPoint scroll = {}, QSize panel = {330, 380})
{
    return Viewport::showing(mapScale == 10 ? QSize(3300, 3800) : QSize(660, 760), mapScale, panel, zoomIndex, scroll);
}

Location item(int level, int x, int y, std::int32_t status = Unvisited)
{
    Location l;
    l.Name = "L";
    l.Level = level;
    l.X = x;
    l.Y = y;
    l.Status = status;
    return l;
}

TEST(HitTestTest, HitSquareIsNineByNine)
{
    const Viewport v = viewAt(5, 10, {1000, 1500});
    const Location l = item(0, 1000, 2000);
    const QPoint q = v.mapToPanel(l.X, l.Y);
    const struct {
        int dx, dy;
        bool hit;
    } cases[] = {
        {0, 0, true},
        {HitRadius, HitRadius, true},
        {-HitRadius, -HitRadius, true},
        {4, -4, true},
        {-4, 4, true},
        {5, 0, false},
        {0, 5, false},
        {-5, 0, false},
        {0, -5, false},
        {5, 5, false},
        {4, 5, false},
        {5, 4, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(underPointer(v, l, q + QPoint(c.dx, c.dy)), c.hit) << c.dx << "," << c.dy;
}

TEST(HitTestTest, ShownFollowsLevelStatusTogglesAndTheHighlight)
{
    const LocationList locations
        = {item(0, 0, 0, Unvisited), item(0, 0, 0, Active), item(0, 0, 0, Visited), item(0, 0, 0, 0), item(3, 0, 0, 7)};
    const struct {
        const char* what;
        int zoom;
        LocationFilter filter;
        bool shown[5];
    } cases[] = {
        {"all toggles on at 10 %", 0, {}, {true, true, true, true, false}},
        {"unvisited off", 0, {false, true, true, -1}, {false, true, true, true, false}},
        {"active off", 0, {true, false, true, -1}, {true, false, true, true, false}},
        {"visited off", 0, {true, true, false, -1}, {true, true, false, true, false}},
        {"all off: no status still shows", 0, {false, false, false, -1}, {false, false, false, true, false}},
        {"highlight beats the toggle", 0, {false, false, false, 1}, {false, true, false, true, false}},
        {"highlight beats the level", 0, {true, true, true, 4}, {true, true, true, true, true}},
        {"level 3 shows from 100 %", 5, {}, {true, true, true, true, true}},
    };
    for (const auto& c : cases)
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(locationShown(viewAt(c.zoom), locations, i, c.filter), c.shown[i])
                << c.what << ", location " << i;
}

TEST(HitTestTest, FirstShownInFileOrderWins)
{
    const Viewport v = viewAt(4, 10, {500, 500});
    const LocationList locations = {item(0, 0, 0, Visited), item(0, 30, 0), item(0, 0, 30)};
    const QPoint p = v.mapToPanel(0, 0);
    EXPECT_EQ(locationAt(v, locations, {}, p), 0);
    EXPECT_EQ(locationAt(v, locations, {true, true, false, -1}, p), 1); // the visited one is hidden
    EXPECT_EQ(locationAt(v, locations, {true, true, false, -1}, p + QPoint(40, 40)), -1);
    EXPECT_EQ(locationAt(v, {}, {}, p), -1);

    // Markers ignore the status toggles but not the level.
    const LocationList markers = {item(1, 0, 0, Visited), item(1, 10, 10)};
    EXPECT_EQ(markerAt(v, markers, p), 0);
    EXPECT_EQ(markerAt(viewAt(0), markers, viewAt(0).mapToPanel(0, 0)), -1);
    EXPECT_TRUE(anyMarkerShown(v, markers));
    EXPECT_FALSE(anyMarkerShown(viewAt(0), markers));
    EXPECT_FALSE(anyMarkerShown(v, {}));
}

TEST(HitTestTest, ReachBoxHoldsExactlyWhatTheHitRuleHits)
{
    // A crowded world, items partly far off the picture, at every zoom, both pictures and
    // several scroll positions: the box must admit every item the exact rule hits and
    // nothing else.
    QRandomGenerator rng(4242);
    int hits = 0, misses = 0;
    for (const int scale : {10, 2}) {
        for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
            for (int view = 0; view < 3; ++view) {
                Viewport v = viewAt(zoom, scale);
                const QPoint range = v.scrollMaximum();
                v.scrollTo(QPoint(int(rng.bounded(range.x() + 1)), int(rng.bounded(range.y() + 1))));
                for (int n = 0; n < 300; ++n) {
                    const int x = n % 50 == 0 ? int(rng.bounded(-400000, 400000)) : int(rng.bounded(-125000, 175000));
                    const Location l = item(0, x, int(rng.bounded(-130000, 220000)));
                    // Near the item, so hits and near misses both come up.
                    const QPoint p
                        = v.mapToPanel(l.X, l.Y) + QPoint(int(rng.bounded(13)) - 6, int(rng.bounded(13)) - 6);
                    const bool hit = underPointer(v, l, p);
                    ASSERT_EQ(ReachBox(v, p).contains(l), hit)
                        << "scale " << scale << " zoom " << zoom << " item " << l.X << "," << l.Y;
                    ++(hit ? hits : misses);
                }
            }
        }
    }
    EXPECT_GT(hits, 1000);
    EXPECT_GT(misses, 1000);
}

TEST(HitTestTest, ReachBoxAtTheEndsOfInt)
{
    // Hostile coordinates saturate in the conversions; the box still agrees with the rule.
    const Viewport v = viewAt(7, 10, {4000, 7000});
    const int edges[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX - 1, INT_MAX};
    for (const int x : edges)
        for (const int y : edges) {
            const Location l = item(0, x, y);
            for (const QPoint p : {QPoint(0, 0), QPoint(165, 190), QPoint(INT_MAX / 2, INT_MIN / 2)})
                EXPECT_EQ(ReachBox(v, p).contains(l), underPointer(v, l, p)) << x << "," << y;
        }
}

} // namespace
} // namespace vdm
