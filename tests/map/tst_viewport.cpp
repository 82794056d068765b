// SPDX-License-Identifier: MIT
#include "map/viewport.h"

#include "map/crowdworld.h"
#include "map/panelpoints.h"

#include <QString>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

namespace vdm {
namespace {

Viewport viewAt(int zoomIndex, int mapScale = 10, QSize panel = {330, 380})
{
    return Viewport::showing(mapScale == 10 ? QSize(3300, 3800) : QSize(660, 760), mapScale, panel, zoomIndex);
}

TEST(ViewportTest, ZoomTableHoldsTheSingleFactors)
{
    const float expected[] = {1.0f, 2.0f, 2.5f, 3.3333333f, 5.0f, 10.0f, 20.0f, 30.0f};
    for (int i = 0; i < Viewport::LevelCount; ++i)
        EXPECT_EQ(Viewport::factorOf(i), expected[i]) << i;
    std::uint32_t bits = 0;
    const float third = Viewport::factorOf(3);
    std::memcpy(&bits, &third, sizeof bits);
    EXPECT_EQ(bits, 0x40555555u);
}

TEST(ViewportTest, ScaleConstantsAreRoundedToSingle)
{
    EXPECT_EQ(double(Viewport::kx(10)), 0.010999999940395355);
    EXPECT_EQ(double(Viewport::ky(10)), 0.010857142508029938);
    EXPECT_EQ(double(Viewport::kx(2)), 0.002199999988079071);
    EXPECT_EQ(double(Viewport::ky(2)), 0.0021714286413043737);
}

TEST(ViewportTest, TopLeftCornerIsThePictureOriginEverywhere)
{
    for (const int scale : {10, 2})
        for (int z = 0; z < Viewport::LevelCount; ++z)
            EXPECT_EQ(viewAt(z, scale).MapToScreen(-125000, 220000), QPoint(0, 0))
                << "scale " << scale << " level " << z;
}

TEST(ViewportTest, MapToScreenPlacesKnownPoints)
{
    const struct {
        int zoom, x, y;
        QPoint expected;
    } cases[] = {
        // The single-precision kx makes the right edge fall one pixel short.
        {0, 175000, -130000, {329, 380}},
        {1, 175000, -130000, {659, 760}},
        {3, 175000, -130000, {1099, 1266}},
        {5, 175000, -130000, {3299, 3800}},
        {7, 175000, -130000, {9899, 11400}},
        {0, 0, 0, {137, 238}},
        {5, 0, 0, {1374, 2388}},
        {7, 0, 0, {4124, 7165}},
    };
    for (const int scale : {10, 2})
        for (const auto& c : cases)
            EXPECT_EQ(viewAt(c.zoom, scale).MapToScreen(c.x, c.y), c.expected)
                << "scale " << scale << " level " << c.zoom << " (" << c.x << ", " << c.y << ")";
}

TEST(ViewportTest, ScreenToMapDependsOnThePictureScale)
{
    const struct {
        int zoom, scale, px, py;
        QPoint expected;
    } cases[] = {
        {0, 10, 0, 0, {-125000, 220000}},       {0, 2, 0, 0, {-125000, 219999}},
        {5, 10, 1650, 1900, {25000, 45000}},    {5, 2, 1650, 1900, {25000, 44999}},
        {4, 10, 1650, 1900, {175000, -130000}}, {7, 10, 1650, 1900, {-75000, 161666}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(viewAt(c.zoom, c.scale).ScreenToMap(c.px, c.py), c.expected)
            << "scale " << c.scale << " level " << c.zoom << " (" << c.px << ", " << c.py << ")";
}

TEST(ViewportTest, HostileCoordinatesSaturateInsteadOfOverflowing)
{
    const Viewport v = viewAt(7);
    const QPoint far = v.MapToScreen(INT_MAX, INT_MIN);
    EXPECT_GT(far.x(), 0);
    EXPECT_GT(far.y(), 0);
    const QPoint back = v.ScreenToMap(INT_MIN, INT_MAX);
    EXPECT_LT(back.x(), 0);
    EXPECT_LT(back.y(), 0);
    EXPECT_EQ(truncToInt(1e30L), INT_MAX);
    EXPECT_EQ(truncToInt(-1e30L), INT_MIN);
    EXPECT_EQ(truncToInt(-2.9L), -2);
}

TEST(ViewportTest, LevelVisibleShowsMoreDetailAsTheZoomGrows)
{
    // Highest detail level shown per zoom index; INT_MAX means every level.
    const int highest[Viewport::LevelCount] = {0, 1, 1, 1, 2, 3, 4, INT_MAX};
    for (int z = 0; z < Viewport::LevelCount; ++z) {
        const Viewport v = viewAt(z);
        for (const int level : {INT_MIN, -5, -1, 0, 1, 2, 3, 4, 5, 6, 100, INT_MAX}) {
            // Level 0 shows only level 0: negative levels stay hidden there.
            const bool expected = z == 0 ? level == 0 : level <= highest[z];
            EXPECT_EQ(v.LevelVisible(level), expected) << "zoom " << z << " level " << level;
        }
    }
}

TEST(ViewportTest, ScrollRangesAndMarginsFollowPictureAndPanel)
{
    const struct {
        int zoom;
        QSize panel;
        QPoint ranges;
        int marginX, marginY;
        bool covers;
    } cases[] = {
        {0, {330, 380}, {0, 0}, 0, 0, false}, // the design size: picture fills the panel exactly
        {0, {500, 600}, {-170, -220}, 85, 110, false},
        {1, {330, 380}, {330, 380}, 0, 0, true},
        {1, {1000, 1000}, {-340, -240}, 170, 120, false},
        {2, {1000, 1000}, {-175, -50}, 87, 25, false}, // 87.5 truncates
        {2, {800, 1000}, {25, -50}, 0, 25, false},     // covers one direction only
        {3, {330, 380}, {769, 886}, 0, 0, true},       // the single 3.3333333 stays below 1100
        {3, {1000, 1000}, {99, 266}, 0, 0, true},
        {5, {330, 380}, {2970, 3420}, 0, 0, true},
        {7, {330, 380}, {9570, 11020}, 0, 0, true},
    };
    for (const int scale : {10, 2})
        for (const auto& c : cases) {
            Viewport v = viewAt(c.zoom, scale, {2000, 2000}); // margins for another panel ...
            v.setPanel(c.panel);
            EXPECT_EQ(v.scrollRanges(), c.ranges) << "scale " << scale << " level " << c.zoom;
            v.UpdateMargins(); // ... must be replaced
            EXPECT_EQ(v.marginX(), c.marginX) << "scale " << scale << " level " << c.zoom;
            EXPECT_EQ(v.marginY(), c.marginY) << "scale " << scale << " level " << c.zoom;
            EXPECT_EQ(v.mapCoversPanel(), c.covers) << "scale " << scale << " level " << c.zoom;
        }
}

TEST(ViewportTest, PanelAndPictureConversionsUseScrollAndMargins)
{
    Viewport v = viewAt(0, 10, {500, 600});
    v.UpdateMargins();
    EXPECT_EQ(v.mapToPanel(-125000, 220000), QPoint(85, 110));
    EXPECT_EQ(v.panelToPicture({85, 110}), QPoint(0, 0));

    v = viewAt(5);
    v.scrollTo({1000, 2000});
    EXPECT_EQ(v.mapToPanel(0, 0), QPoint(374, 388));
    EXPECT_EQ(v.panelToPicture({374, 388}), QPoint(1374, 2388));
}

TEST(ViewportTest, SizeLimitPerLevel)
{
    const QSize expected[Viewport::LevelCount]
        = {{378, 644}, {708, 1024}, {873, 1214}, {1147, 1530}, {1698, 2164}, {3348, 4064}, {6648, 7864}, {9948, 11664}};
    for (int z = 0; z < Viewport::LevelCount; ++z)
        EXPECT_EQ(Viewport::sizeLimit(z), expected[z]) << z;
}

TEST(ViewportTest, WindowFitsALevelUpToItsLimitInclusive)
{
    struct Case {
        QSize window;
        int level;
        bool fits;
    };
    const Case cases[] = {
        {{378, 644}, 0, true},    {{379, 644}, 0, false},    {{378, 645}, 0, false},  {{100, 100}, 0, true},
        {{873, 1214}, 2, true},   {{874, 1214}, 2, false},   {{1147, 1530}, 3, true}, {{1147, 1531}, 3, false},
        {{9948, 11664}, 7, true}, {{9949, 11664}, 7, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Viewport::fitsSizeLimit(c.window, c.level), c.fits) << c.window.width() << "x" << c.window.height();
        // The same bound as the limit the window is given.
        const QSize limit = Viewport::sizeLimit(c.level);
        EXPECT_EQ(c.window.width() <= limit.width() && c.window.height() <= limit.height(), c.fits);
    }
}

TEST(ViewportTest, ZoomCommandsReachTheirLevels)
{
    using Z = ZoomCommand;
    const QSize small(378, 644), big(2000, 2000);
    const struct {
        Z command;
        int current;
        bool keepZoom;
        QSize window;
        std::optional<int> target;
    } cases[] = {
        {Z::In, 0, false, small, 1},
        {Z::In, 6, true, big, 7},
        {Z::In, Viewport::HighestZoom, false, small, std::nullopt}, // the top level stays
        {Z::Out, 3, false, big, 2},
        {Z::Out, 0, false, small, std::nullopt}, // the lowest level stays
        {Z::Out, 3, true, small, 2},
        {Z::Out, 3, true, big, std::nullopt}, // KeepZoom: too big for level 2's limit
        {Z::Out, 6, true, big, 5},
        {Z::Out, 2, true, Viewport::sizeLimit(1), 1}, // the limit itself fits
        {Z::Out, 2, true, Viewport::sizeLimit(1) + QSize(0, 1), std::nullopt},
        {Z::ActualSize, 0, false, small, 0}, // recomputed even when already there
        {Z::ActualSize, 7, true, big, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Viewport::zoomTarget(c.command, c.current, c.keepZoom, c.window), c.target)
            << int(c.command) << " from " << c.current << " keep " << c.keepZoom;
}

TEST(ViewportTest, ScrollStepIsAWheelStepOrAPartOfThePanel)
{
    const QPoint start(500, 600);
    const struct {
        ScrollStep step;
        QPoint moved;
    } cases[] = {
        {{Qt::Horizontal, true, 0}, {-Viewport::WheelStep, 0}},
        {{Qt::Vertical, false, 0}, {0, Viewport::WheelStep}},
        {{Qt::Horizontal, false, 4}, {330 / 4, 0}},
        {{Qt::Vertical, true, 4}, {0, -380 / 4}},
        {{Qt::Vertical, false, 1}, {0, 380}},
        {{Qt::Horizontal, true, 1}, {-330, 0}},
    };
    for (const auto& c : cases) {
        Viewport v = viewAt(5);
        v.scrollTo(start);
        v.scrollStep(c.step);
        EXPECT_EQ(v.scroll(), start + c.moved) << c.step.direction << " " << c.step.back << " " << c.step.parts;
    }
}

TEST(ViewportTest, TitleCarriesTheTruncatedPercent)
{
    const int percent[Viewport::LevelCount] = {10, 20, 25, 33, 50, 100, 200, 300};
    for (int z = 0; z < Viewport::LevelCount; ++z) {
        EXPECT_EQ(viewAt(z).zoomPercent(), percent[z]);
        EXPECT_EQ(titleWithZoom(z), QStringLiteral("Veldamar Interactive Map (Zoom %1%)").arg(percent[z]));
    }
    EXPECT_EQ(titleWithZoom(3), QStringLiteral("Veldamar Interactive Map (Zoom 33%)"));
}

TEST(ViewportTest, GoTargetIndexPerDetailLevel)
{
    const struct {
        int level, target;
    } cases[] = {{INT_MIN, 7}, {-1, 7}, {0, 2}, {1, 2}, {2, 4}, {3, 5}, {4, 6}, {5, 7}, {6, 7}, {INT_MAX, 7}};
    for (const auto& c : cases)
        EXPECT_EQ(Viewport::goTargetIndex(c.level), c.target) << c.level;
}

TEST(ViewportTest, ShowsOnlyWhatIsOnThePanelAtItsLevel)
{
    // The map's origin is scrolled to each panel point in turn (panel 330 x 380).
    const struct {
        const char* what;
        QPoint panel;
        int level;
        bool shown;
    } cases[] = {
        {"top-left corner", {0, 0}, 0, true},
        {"bottom-right pixel", {329, 379}, 0, true},
        {"one past the right edge", {330, 10}, 0, false},
        {"one past the bottom edge", {10, 380}, 0, false},
        {"left of the panel", {-1, 10}, 0, false},
        {"above the panel", {10, -1}, 0, false},
        {"on the panel, at a level this zoom hides", {100, 100}, 8, false},
    };
    for (const auto& c : cases) {
        Viewport v = viewAt(5);
        v.scrollTo({0, 0});
        const QPoint unscrolled = v.mapToPanel(0, 0);
        v.scrollTo(unscrolled - c.panel);
        ASSERT_EQ(v.mapToPanel(0, 0), c.panel) << c.what;
        EXPECT_EQ(v.shows(0, 0, c.level), c.shown) << c.what;
    }
}

TEST(ViewportTest, GoTargetShowsTheLocation)
{
    // Centring at the target level must leave the location visible there.
    for (int level = -2; level <= 8; ++level)
        EXPECT_TRUE(viewAt(Viewport::goTargetIndex(level)).LevelVisible(level)) << level;
}

TEST(ViewportTest, EveryScrollStaysInsideTheRanges)
{
    // Ranges 330 x 380 at 20 % on the design panel.
    const struct {
        const char* what;
        QPoint start;
        void (*op)(Viewport&);
        QPoint expected;
    } cases[] = {
        {"scrollTo inside",
         {},
         [](Viewport& v) {
             v.scrollTo({100, 200});
         },
         {100, 200}},
        {"scrollTo below 0",
         {50, 50},
         [](Viewport& v) {
             v.scrollTo({-1, -500});
         },
         {0, 0}},
        {"scrollTo past the end",
         {},
         [](Viewport& v) {
             v.scrollTo({331, 10000});
         },
         {330, 380}},
        {"scrollBy back",
         {100, 100},
         [](Viewport& v) {
             v.scrollBy({-30, -200});
         },
         {70, 0}},
        {"scrollBy saturates",
         {100, 100},
         [](Viewport& v) {
             v.scrollBy({INT_MAX, INT_MIN});
         },
         {330, 0}},
        {"wheel down", {100, 100}, [](Viewport& v) { v.wheelStep(Qt::Vertical, false); }, {100, 105}},
        {"wheel up near the start", {100, 3}, [](Viewport& v) { v.wheelStep(Qt::Vertical, true); }, {100, 0}},
        {"wheel right near the end", {328, 0}, [](Viewport& v) { v.wheelStep(Qt::Horizontal, false); }, {330, 0}},
        {"wheel left", {100, 0}, [](Viewport& v) { v.wheelStep(Qt::Horizontal, true); }, {95, 0}},
        {"page down", {100, 0}, [](Viewport& v) { v.panelStep(Qt::Vertical, false); }, {100, 380}},
        {"page up past the start", {100, 300}, [](Viewport& v) { v.panelStep(Qt::Vertical, true); }, {100, 0}},
        {"a quarter panel right", {0, 7}, [](Viewport& v) { v.panelStep(Qt::Horizontal, false, 4); }, {82, 7}},
        {"a quarter panel up", {9, 200}, [](Viewport& v) { v.panelStep(Qt::Vertical, true, 4); }, {9, 105}},
        {"a panel right near the end", {200, 0}, [](Viewport& v) { v.panelStep(Qt::Horizontal, false); }, {330, 0}},
        {"a smaller panel keeps the position",
         {330, 380},
         [](Viewport& v) {
             v.setPanel({100, 100});
             v.UpdateScrollRanges();
         },
         {330, 380}},
        {"a larger panel clamps it",
         {330, 380},
         [](Viewport& v) {
             v.setPanel({500, 600});
             v.UpdateScrollRanges();
         },
         {160, 160}},
    };
    for (const auto& c : cases) {
        Viewport v = viewAt(1, 10, {330, 380});
        v.scrollTo(c.start);
        c.op(v);
        EXPECT_EQ(v.scroll(), c.expected) << c.what;
    }
}

TEST(ViewportTest, ZoomingAtAPointKeepsItsMapPointThere)
{
    const struct {
        int from, to;
        QPoint anchor;
    } rows[] = {{1, 2, {40, 50}}, {2, 4, {300, 20}}, {4, 3, {165, 190}}, {3, 7, {10, 370}}, {7, 5, {200, 100}}};
    for (const auto& r : rows) {
        Viewport v = viewAt(r.from, 10, {330, 380});
        v.scrollTo(QPoint(v.scrollMaximum().x() / 2, v.scrollMaximum().y() / 2));
        const QPoint before = v.panelToPicture(r.anchor);
        const QPoint map = v.ScreenToMap(before.x(), before.y());
        v.zoomTo(r.to, r.anchor);
        const QPoint after = v.mapToPanel(map.x(), map.y());
        // Within the rounding of one picture pixel at the coarser level.
        EXPECT_LE((after - r.anchor).manhattanLength(),
                  2 * int(Viewport::factorOf(r.to) / Viewport::factorOf(r.from) + 1))
            << r.from << "->" << r.to;
    }
}

TEST(ViewportTest, ShowingClampsAndANarrowPictureCannotScroll)
{
    EXPECT_EQ(Viewport::showing({3300, 3800}, 10, {330, 380}, 1, {9999, -5}).scroll(), QPoint(330, 0));
    const Viewport small = Viewport::showing({3300, 3800}, 10, {500, 600}, 0, {40, 40});
    EXPECT_EQ(small.scrollMaximum(), QPoint(0, 0));
    EXPECT_EQ(small.scroll(), QPoint(0, 0));
    EXPECT_EQ(Viewport::showing({3300, 3800}, 10, {330, 380}, 99).zoomIndex(), Viewport::HighestZoom);
}

TEST(ViewportTest, ZoomKeepsTheAnchorsPicturePoint)
{
    const struct {
        int from;
        QPoint scroll;
        int to;
        QPoint anchor, expected;
    } cases[] = {
        {0, {}, 1, {165, 190}, {165, 190}},         // 10 % to 20 %: the centre stays
        {1, {165, 190}, 2, {165, 190}, {247, 285}}, // (330 / 2 x 2.5) - 165, truncated
        {2, {247, 285}, 1, {165, 190}, {164, 190}}, // 164.6 truncates
        {5, {2970, 3420}, 7, {165, 190}, {9240, 10640}},
        {7, {9570, 11020}, 6, {400, 500}, {6246, 7180}},     // an anchor outside the panel
        {7, {9570, 11020}, 6, {-1000, -1000}, {6270, 7220}}, // clamped at the end
        {1, {0, 0}, 0, {165, 190}, {0, 0}},
        {3, {500, 600}, 4, {0, 0}, {750, 900}}, // the top-left corner as the anchor
    };
    for (const auto& c : cases) {
        Viewport v = viewAt(c.from, 10, {330, 380});
        v.scrollTo(c.scroll);
        v.zoomTo(c.to, c.anchor);
        EXPECT_EQ(v.zoomIndex(), c.to);
        EXPECT_EQ(v.scroll(), c.expected) << c.from << " to " << c.to;
    }
}

TEST(ViewportTest, GoStepsUpAndCentresButNeverZoomsOut)
{
    Viewport v = viewAt(0, 2, {330, 380});
    v.goTo(0, 0, 1); // target 25 %
    EXPECT_EQ(v.zoomIndex(), 2);
    EXPECT_EQ(v.scroll(), v.MapToScreen(0, 0) - QPoint(165, 190));

    v = viewAt(7, 2, {330, 380});
    v.goTo(0, 0, 0);
    EXPECT_EQ(v.zoomIndex(), 7);
    EXPECT_EQ(v.scroll(), v.MapToScreen(0, 0) - QPoint(165, 190));

    v.goTo(Viewport::MapLeft, Viewport::MapTop, 5); // the corner cannot be centred
    EXPECT_EQ(v.scroll(), QPoint(0, 0));
}

TEST(ViewportTest, StepUpToLeavesTheMarginsForThePanelsFirstSize)
{
    Viewport v = viewAt(0, 10, {500, 600});
    EXPECT_EQ(v.marginX(), 85);
    v.stepUpTo(3);
    EXPECT_EQ(v.zoomIndex(), 3);
    EXPECT_EQ(v.marginX(), 85);
    EXPECT_EQ(v.scrollMaximum(), v.scrollRanges());
    v.stepUpTo(1); // never down
    EXPECT_EQ(v.zoomIndex(), 3);
    v.UpdateMargins();
    EXPECT_EQ(v.marginX(), 0);
}

/**
 * The conversions as plainly written: every step in long double, each truncation the
 * compiler's own (saving and restoring the rounding mode). The viewport must agree with
 * it on every point, however it gets there.
 */
int plainTrunc(long double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<long double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

QPoint plainMapToScreen(int zoom, int scale, int x, int y)
{
    const long double f = Viewport::factorOf(zoom);
    const long double s = scale;
    const long double ix = plainTrunc(static_cast<long double>(x) + 125000);
    const long double iy = plainTrunc(static_cast<long double>(y) + 130000);
    return {plainTrunc(ix * Viewport::kx(scale) * f / s), plainTrunc(380 * f - iy * Viewport::ky(scale) * f / s)};
}

QPoint plainScreenToMap(int zoom, int scale, int px, int py)
{
    const long double f = Viewport::factorOf(zoom);
    const long double s = scale;
    const int ax = plainTrunc(static_cast<long double>(px) / Viewport::kx(scale) / f * s);
    const int ay = plainTrunc((380 * f - py) * s / Viewport::ky(scale) / f);
    return {plainTrunc(static_cast<long double>(ax) - 125000), plainTrunc(static_cast<long double>(ay) - 130000)};
}

TEST(ViewportConversions, TruncationMatchesTheCompilersOwnAtEveryEdge)
{
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double values[] = {0.0L,
                                  -0.0L,
                                  0.5L,
                                  -0.5L,
                                  0.9999999999L,
                                  -0.9999999999L,
                                  1.0L,
                                  -1.0L,
                                  2.5L,
                                  -2.5L,
                                  1e-4000L,
                                  -1e-4000L,
                                  123456.999999L,
                                  -123456.999999L,
                                  2147483646.9999L,
                                  2147483647.0L,
                                  2147483647.5L,
                                  2147483648.0L,
                                  -2147483647.9999L,
                                  -2147483648.0L,
                                  -2147483648.5L,
                                  -2147483649.0L,
                                  1e30L,
                                  -1e30L,
                                  inf,
                                  -inf,
                                  std::numeric_limits<long double>::quiet_NaN()};
    for (const long double v : values)
        EXPECT_EQ(truncToInt(v), plainTrunc(v)) << double(v);
}

TEST(ViewportConversions, EveryPlaceOfABigWorldLandsWhereThePlainArithmeticPutsIt)
{
    // 100 000 places (some far outside the map) at every level and both picture scales,
    // there and back again, plus the ends of the coordinate range.
    std::vector<QPoint> points;
    for (const Location& l : test::bigCrowd().locations)
        points.emplace_back(l.X, l.Y);
    const int ends[]
        = {INT_MIN,    INT_MIN + 1, -2000000000, Viewport::MapLeft - 1, Viewport::MapLeft, Viewport::MapBottom,
           -1,         0,           1,           Viewport::MapRight,    Viewport::MapTop,  Viewport::MapTop + 1,
           2000000000, INT_MAX - 1, INT_MAX};
    for (const int x : ends)
        for (const int y : ends)
            points.emplace_back(x, y);
    for (const int scale : {10, 2})
        for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
            const Viewport v = viewAt(zoom, scale);
            int mismatches = 0;
            for (const QPoint& p : points) {
                const QPoint screen = v.MapToScreen(p.x(), p.y());
                const QPoint back = v.ScreenToMap(screen.x(), screen.y());
                if (screen != plainMapToScreen(zoom, scale, p.x(), p.y())
                    || back != plainScreenToMap(zoom, scale, screen.x(), screen.y())) {
                    ADD_FAILURE() << "scale " << scale << " level " << zoom << " (" << p.x() << ", " << p.y() << ")";
                    if (++mismatches == 5)
                        break;
                }
            }
            for (const int px : ends)
                for (const int py : ends)
                    EXPECT_EQ(v.ScreenToMap(px, py), plainScreenToMap(zoom, scale, px, py)) << px << ", " << py;
        }
}

TEST(PanelPoints, GiveMapToPanelsPointsWithTablesAndWithout)
{
    // The big world's places (some far outside the map) and the ends of the coordinate
    // range, each asked for twice (converted, then looked up), at every level and both
    // picture scales, from three scroll positions, with tables and without: one object
    // readied for each view in turn, as a painter does, so what it keeps from the views
    // before (the same level scrolled, or another level or scale) is looked up too.
    std::vector<QPoint> points;
    for (const Location& l : test::bigCrowd().locations)
        points.emplace_back(l.X, l.Y);
    for (const int x : {INT_MIN, Viewport::MapLeft - 1, Viewport::MapLeft, 0, Viewport::MapRight, INT_MAX})
        for (const int y : {INT_MIN, Viewport::MapBottom - 1, Viewport::MapBottom, 0, Viewport::MapTop, INT_MAX})
            points.emplace_back(x, y);
    PanelPoints converted;
    for (const bool tables : {true, false})
        for (const int scale : {10, 2})
            for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom)
                for (const int scrolled : {0, 1, 2}) {
                    Viewport v = viewAt(zoom, scale, {1920, 1080});
                    v.scrollTo(v.scrollMaximum() * scrolled / 3);
                    converted.reset(v, tables);
                    int mismatches = 0;
                    for (int round = 0; round < 2; ++round)
                        for (const QPoint& p : points)
                            if (converted(p.x(), p.y()) != v.mapToPanel(p.x(), p.y()) && ++mismatches <= 3)
                                ADD_FAILURE() << "tables " << tables << ", scale " << scale << " level " << zoom
                                              << " scrolled " << scrolled << " (" << p.x() << ", " << p.y() << ")";
                }
}

TEST(PanelPoints, TwoThreadsLookingUpAtOnceGetMapToPanelsPoints)
{
    // A painter's second core looks up the points of one run of places while its walk
    // looks up others, both filling the same fresh tables: each must get exactly what
    // mapToPanel gives, whichever thread filled a slot or readied its block first.
    std::vector<QPoint> points;
    for (const Location& l : test::bigCrowd().locations)
        points.emplace_back(l.X, l.Y);
    for (const int zoom : {5, 9}) {
        Viewport v = viewAt(zoom, 10, {1920, 1080});
        v.scrollTo(v.scrollMaximum() / 2);
        PanelPoints converted;
        converted.reset(v, true);
        std::vector<QPoint> first(points.size()), second(points.size());
        // The same points from both ends: the threads meet in the middle and pass.
        std::thread other([&] {
            for (std::size_t k = points.size(); k-- > 0;)
                second[k] = converted(points[k].x(), points[k].y());
        });
        for (std::size_t k = 0; k < points.size(); ++k)
            first[k] = converted(points[k].x(), points[k].y());
        other.join();
        int mismatches = 0;
        for (std::size_t k = 0; k < points.size(); ++k) {
            const QPoint want = v.mapToPanel(points[k].x(), points[k].y());
            if ((first[k] != want || second[k] != want) && ++mismatches <= 3)
                ADD_FAILURE() << "level " << zoom << " (" << points[k].x() << ", " << points[k].y() << ")";
        }
    }
}

} // namespace
} // namespace vdm
