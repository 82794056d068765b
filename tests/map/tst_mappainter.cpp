// SPDX-License-Identifier: MIT
#include "map/mappainter.h"

#include "common/testutils.h"
#include "data/codepage.h"
#include "map/paintfixture.h"
#include "map/resampler.h"

#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>

using namespace vdm;
using namespace painttest;

TEST(MapPainterPicture, DesignSizePictureFillsThePanelAtLevelZero)
{
    struct Case {
        QSize picture;
        int scale;
    };
    for (const Case& c : {Case{{3300, 3800}, 10}, Case{{660, 760}, 2}}) {
        World w;
        w.picture = codedPicture(c.picture.width(), c.picture.height());
        w.setView({330, 380}, 0, c.scale);
        ASSERT_FALSE(w.view.mapCoversPanel());
        ASSERT_EQ(w.view.marginX(), 0);
        const QImage img = w.paint();
        ASSERT_EQ(img.size(), QSize(330, 380));
        EXPECT_EQ(countColour(img, Background), 0) << c.scale;
        // Pixel mode: each panel pixel is the source pixel under its centre.
        const int step = c.scale; // bitmap pixels per panel pixel at level 0
        for (QPoint p : {QPoint(0, 0), QPoint(329, 379), QPoint(100, 17), QPoint(5, 300)})
            EXPECT_EQ(img.pixel(p), w.picture.pixel(p.x() * step + step / 2, p.y() * step + step / 2))
                << c.scale << p.x();
    }
}

TEST(MapPainterPicture, LargerPanelShowsBackgroundMargins)
{
    World w;
    w.picture = codedPicture(660, 760);
    w.setView({400, 500}, 0, 2);
    ASSERT_EQ(w.view.marginX(), 35);
    ASSERT_EQ(w.view.marginY(), 60);
    const QImage img = w.paint();
    EXPECT_EQ(img.pixel(34, 250), Background);
    EXPECT_EQ(img.pixel(365, 250), Background);
    EXPECT_EQ(img.pixel(200, 59), Background);
    EXPECT_EQ(img.pixel(200, 440), Background);
    EXPECT_EQ(img.pixel(35, 60), w.picture.pixel(1, 1));
    EXPECT_EQ(img.pixel(364, 439), w.picture.pixel(659, 759));
    EXPECT_EQ(countColour(img, Background), 400 * 500 - 330 * 380);
}

TEST(MapPainterPicture, ScrolledViewStartsAtTheScrollOrigin)
{
    World w;
    w.picture = codedPicture(3300, 3800);
    w.setView({330, 380}, 5, 10, {1234, 2001}); // 100 %: one bitmap pixel per panel pixel
    ASSERT_TRUE(w.view.mapCoversPanel());
    const QImage img = w.paint();
    for (QPoint p : {QPoint(0, 0), QPoint(329, 379), QPoint(77, 200)})
        EXPECT_EQ(img.pixel(p), w.picture.pixel(p + QPoint(1234, 2001)));

    // A tall panel: picture narrower in height, still scrolled sideways.
    w.setView({500, 4000}, 5, 10, {1000, 0});
    ASSERT_FALSE(w.view.mapCoversPanel());
    const QImage tall = w.paint();
    EXPECT_EQ(tall.pixel(0, w.view.marginY()), w.picture.pixel(1000, 0));
    EXPECT_EQ(tall.pixel(10, w.view.marginY() - 1), Background);
}

TEST(MapPainterPicture, SmoothModeAveragesAndPixelModePicks)
{
    World w;
    QImage board(660, 760, QImage::Format_RGB32);
    for (int y = 0; y < 760; ++y)
        for (int x = 0; x < 660; ++x)
            board.setPixel(x, y, ((x + y) & 1) ? 0xFFFFFFFFu : Black);
    w.picture = board;
    w.setView({330, 380}, 0, 2); // 10 %: the normal picture shrunk to 50 %

    w.settings.MapAA = true;
    w.settings.ZoomLevelAA = 0;
    const QImage smooth = w.paint();
    for (QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(200, 300), QPoint(329, 379)}) {
        EXPECT_NEAR(qRed(smooth.pixel(p)), 128, 1);
        EXPECT_NEAR(qBlue(smooth.pixel(p)), 128, 1);
    }
    EXPECT_GE(w.painter.cacheBytes(), 330 * 380 * 4); // the averaged copy of this level

    for (auto [aa, level] : {std::pair{false, 0}, std::pair{true, 1}}) {
        w.settings.MapAA = aa;
        w.settings.ZoomLevelAA = level;
        const QImage pixel = w.paint();
        EXPECT_EQ(countColour(pixel, Black) + countColour(pixel, 0xFFFFFFFFu), 330 * 380);
    }
}

TEST(MapPainterPicture, ANewPictureReplacesTheAveragedCopy)
{
    World w;
    w.settings.ZoomLevelAA = 0;
    w.picture = flatPicture(660, 760, 0xFF204060u);
    w.setView({330, 380}, 0, 2);
    EXPECT_EQ(w.paint().pixel(10, 10), 0xFF204060u);
    const qint64 oneCopy = w.painter.cacheBytes();
    EXPECT_GT(oneCopy, 0);
    w.picture = flatPicture(660, 760, 0xFF608040u);
    EXPECT_EQ(w.paint().pixel(10, 10), 0xFF608040u);
    // The old picture's copy went with it: nobody has to tell the painter.
    EXPECT_EQ(w.painter.cacheBytes(), oneCopy);
}

TEST(MapPainterPicture, ALevelsCopyGoesTwoZoomStepsAwayAndComesBackTheSame)
{
    World w;
    w.settings.ZoomLevelAA = 0;
    w.picture = flatPicture(660, 760, 0xFF204060u);
    for (int y = 0; y < 760; y += 7)
        for (int x = 0; x < 660; ++x)
            w.picture.setPixel(x, y, 0xFFFFFFFFu);
    w.setView({330, 380}, 0, 2); // 10 %: a copy shrunk to 50 %
    const QImage shrunk = w.paint();
    const qint64 oneCopy = w.painter.cacheBytes();
    EXPECT_GE(oneCopy, 330 * 380 * 4);
    struct Step {
        int zoom;
        qint64 held;
    };
    for (const Step step : {Step{1, oneCopy}, Step{2, 0}, Step{7, 0}, Step{0, oneCopy}}) {
        w.setView({330, 380}, step.zoom, 2);
        const QImage painted = w.paint();
        EXPECT_EQ(w.painter.cacheBytes(), step.held) << step.zoom;
        if (step.zoom == 0) {
            EXPECT_EQ(painted, shrunk); // made again, the same
        }
    }
}

TEST(MapPainterLocations, FrameIsTwentyBorderPixelsInTheStatusColour)
{
    struct Case {
        int status;
        PackedColor colour;
    };
    const Settings defaults;
    for (const Case& c : {Case{Unvisited, defaults.ColorUnvisited}, Case{Active, defaults.ColorActive},
                          Case{Visited, defaults.ColorVisited}}) {
        World w;
        w.settings.ShowText = false;
        w.locations.push_back(w.at({100, 120}, "Frame", c.status));
        const QPoint q = w.panelOf(w.locations[0]);
        const QImage img = w.paint();
        const QRgb col = screen(c.colour);
        EXPECT_EQ(countColour(img, col), 20) << c.status;
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(img.pixel(q.x() - 3 + i, q.y() - 3), col);
            EXPECT_EQ(img.pixel(q.x() - 3 + i, q.y() + 2), col);
            EXPECT_EQ(img.pixel(q.x() - 3, q.y() - 3 + i), col);
            EXPECT_EQ(img.pixel(q.x() + 2, q.y() - 3 + i), col);
        }
        EXPECT_EQ(img.pixel(q), Black); // hollow
        EXPECT_EQ(img.pixel(q.x() + 3, q.y()), Black);
    }
}

TEST(MapPainterLocations, HiddenByLevelAndStatusAndClippedAtTheEdge)
{
    World w;
    w.settings.ShowText = false;
    w.settings.ShowActive = false;
    w.locations.push_back(w.at({50, 50}, "Deep", Unvisited, 2)); // level 2: not at 20 %
    w.locations.push_back(w.at({150, 50}, "Busy", Active));
    w.locations.push_back(w.at({250, 50}, "Odd", 7)); // no status: never shown unless highlighted
    w.locations.push_back(w.at({1, 1}, "Edge", Visited));
    const QImage img = w.paint();
    EXPECT_EQ(countColour(img, screen(w.settings.ColorUnvisited)), 0);
    EXPECT_EQ(countColour(img, screen(w.settings.ColorActive)), 0);
    const int edge = countColour(img, screen(w.settings.ColorVisited));
    EXPECT_GT(edge, 0);
    EXPECT_LT(edge, 20);
}

TEST(MapPainterLocations, CaptionsAreCutAtTextLength)
{
    auto render = [](QByteArray name, int limit) {
        World w;
        w.settings.TextLength = limit;
        w.locations.push_back(w.at({60, 100}, name));
        return w.paint();
    };
    // An 8-character name at 5 shows as its first 5 characters and "...".
    EXPECT_EQ(test::differingPixels(render("Tarnwick", 5), render("Tarnw...", 0)), 0);
    EXPECT_GT(test::differingPixels(render("Tarnwick", 5), render("Tarnwick", 0)), 0);
    // Exactly 5 characters: drawn whole.
    EXPECT_EQ(test::differingPixels(render("Elmar", 5), render("Elmar", 0)), 0);
    EXPECT_GT(test::differingPixels(render("Elmar", 5), render("Elma", 0)), 0);
}

TEST(MapPainterLocations, ARepaintShowsEachPlacesCaptionAsItIsNow)
{
    // One painter repaints one place as its name and the cut change; every paint must
    // equal a fresh painter's, whatever the painter kept from the paint before.
    World kept;
    kept.setView({330, 380}, 2, 2); // markers show from 20 %
    kept.locations.push_back(kept.at({60, 100}, "Tarnwick"));
    kept.markers.push_back(kept.at({200, 200}, "Old well"));
    const struct {
        QByteArray name, marker;
        int limit;
    } steps[] = {
        {"Tarnwick", "Old well", 5}, {"Tarnwood", "Old well", 5}, // the same caption, "Tarnw..."
        {"Tarnwood", "Old well", 0}, {"Tarnwoo", "Old wall", 0},  {"Elmar", "Old wall", 5}, {"Elmar", "", 4},
        {"Tarnw...", "x", 0},
    };
    for (const auto& step : steps) {
        kept.locations[0].Name = step.name;
        kept.markers[0].Name = step.marker;
        kept.settings.TextLength = kept.settings.MarkerLength = step.limit;
        World fresh;
        fresh.view = kept.view;
        fresh.locations = kept.locations;
        fresh.markers = kept.markers;
        fresh.settings = kept.settings;
        EXPECT_EQ(test::differingPixels(kept.paint(), fresh.paint()), 0) << step.name.constData() << " " << step.limit;
    }
}

TEST(MapPainterLocations, CaptionTopLeftSitsRightOfAndBelowTheCentre)
{
    World w;
    w.locations.push_back(w.at({60, 100}, "W\xe9st"));
    const QPoint q = w.panelOf(w.locations[0]);
    const QImage img = w.paint();

    // The same text drawn directly in the status colour, top-left at (qx + 4, qy + 1).
    QImage expected = flatPicture(330, 380);
    {
        QPainter p(&expected);
        const DrawingObjects o = DrawingObjects::fromSettings(w.settings);
        p.setFont(o.MapFont);
        p.setPen(o.BrushUnvisited);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        p.drawText(QPoint(q.x() + 4, q.y() + 1 + QFontMetrics(o.MapFont).ascent()), CodePage::decode("W\xe9st"));
    }
    QImage withoutFrame = img;
    for (int y = q.y() - 3; y < q.y() + 3; ++y)
        for (int x = q.x() - 3; x < q.x() + 3; ++x)
            withoutFrame.setPixel(x, y, Black);
    EXPECT_GT(countInk(img, QRect(q.x() + 4, q.y() + 1, 60, 30)), 0);
    EXPECT_LE(test::differingPixels(withoutFrame, expected, 24), 3);
}

TEST(MapPainterLocations, HighlightForcesAHiddenLocationForGoAndOneMorePaint)
{
    // Go sets the index, repaints, and sets it again; the highlighted location is visited.
    for (bool last : {false, true}) {
        World w;
        w.settings.ShowVisited = false;
        w.settings.ShowText = false;
        w.locations.push_back(w.at({50, 50}, "A"));
        w.locations.push_back(w.at({150, 150}, "B", Visited));
        if (!last)
            w.locations.push_back(w.at({250, 250}, "C"));
        const QRgb visited = screen(w.settings.ColorVisited);
        const QPoint b = w.panelOf(w.locations[1]);

        w.highlight.set(1);
        EXPECT_TRUE(hasFrame(w.paint(), b, visited)) << last;
        EXPECT_EQ(w.highlight.index(), last ? 1 : -1);
        EXPECT_EQ(w.highlight.pending(), last);
        w.highlight.set(1);

        EXPECT_EQ(hasFrame(w.paint(), b, visited), !last) << last;
        EXPECT_EQ(w.highlight.index(), -1);
        EXPECT_FALSE(w.highlight.pending());
        EXPECT_FALSE(hasFrame(w.paint(), b, visited));
    }
}

TEST(MapPainterLocations, HighlightedLocationWithoutStatusHasCaptionButNoFrame)
{
    World w;
    w.locations.push_back(w.at({40, 40}, "Known", Active));
    w.locations.push_back(w.at({150, 150}, "Nowhere", 0));
    w.highlight.set(1);
    const QImage img = w.paint();
    const QPoint q = w.panelOf(w.locations[1]);
    // No frame, and the caption keeps the colour last set (the active location's).
    EXPECT_EQ(img.pixel(q.x() - 3, q.y() - 3), Black);
    const QRect caption(q.x() + 4, q.y() + 1, 80, 30);
    ASSERT_GT(countInk(img, caption), 0);
    for (int y = caption.top(); y <= caption.bottom(); ++y)
        for (int x = caption.left(); x <= caption.right(); ++x)
            if (img.pixel(x, y) != Black) { // a shade between black and the active colour, never another hue
                EXPECT_GE(qRed(img.pixel(x, y)), qGreen(img.pixel(x, y)));
            }
}

TEST(MapPainterMarkers, HiddenAtTenPercentDrawnAsDiamondsAbove)
{
    World w;
    w.settings.ShowText = false;
    w.settings.ShowActive = w.settings.ShowVisited = w.settings.ShowUnvisited = false;
    Location m = w.at({100, 100}, "Camp", Visited, 1);
    w.markers.push_back(m);
    const QRgb marker = screen(w.settings.ColorMarker);

    const QPoint q = w.panelOf(m);
    const QImage img = w.paint();
    EXPECT_EQ(countColour(img, marker), 16); // four 4-pixel edges
    for (QPoint corner : {QPoint(-4, 0), QPoint(0, 4), QPoint(4, 0), QPoint(0, -4), QPoint(-2, 2), QPoint(2, -2)})
        EXPECT_EQ(img.pixel(q + corner), marker) << corner.x() << "," << corner.y();
    EXPECT_EQ(img.pixel(q), Black);

    w.setView({330, 380}, 0, 2);
    EXPECT_EQ(countColour(w.paint(), marker), 0);
}

TEST(MapPainterMarkers, CaptionCutAtMarkerLength)
{
    auto render = [](QByteArray text, int limit) {
        World w;
        w.settings.MarkerLength = limit;
        w.markers.push_back(w.at({60, 100}, text, Unvisited, 1));
        return w.paint();
    };
    EXPECT_EQ(test::differingPixels(render("Hidden treasure", 10), render("Hidden tre...", 0)), 0);
    EXPECT_EQ(test::differingPixels(render("Old oak", 10), render("Old oak", 0)), 0);
    World w;
    w.markers.push_back(w.at({60, 100}, "Old oak", Unvisited, 1));
    const QPoint q = w.panelOf(w.markers[0]);
    EXPECT_GT(countInk(w.paint(), QRect(q.x() + 3, q.y() + 5, 60, 30)), 0); // below the diamond
}

TEST(MapPainterRoutes, OnlyToggledNetworksOverFrames)
{
    struct Case {
        bool skarnels, ships, guild;
    };
    for (const Case& c : {Case{false, false, false}, Case{true, false, false}, Case{false, true, false},
                          Case{false, false, true}, Case{true, true, true}}) {
        World w;
        w.settings.ShowText = false;
        w.settings.ShowSkarnels = c.skarnels;
        w.settings.ShowShips = c.ships;
        w.settings.ShowMagesGuild = c.guild;
        w.locations.push_back(w.at({40, 100}, "West"));
        w.locations.push_back(w.at({200, 100}, "East"));
        w.locations.push_back(w.at({40, 300}, "South"));
        w.locations[0].Routes = {{1, Skarnel}, {2, Ship}};
        w.locations[2].Routes = {{1, MagesGuild}, {0, Ship}}; // the ship route listed both ways
        const QImage img = w.paint();
        EXPECT_EQ(countColour(img, screen(w.settings.ColorSkarnels)) > 0, c.skarnels);
        EXPECT_EQ(countColour(img, screen(w.settings.ColorShips)) > 0, c.ships);
        EXPECT_EQ(countColour(img, screen(w.settings.ColorMagesGuild)) > 0, c.guild);
        if (c.skarnels) {
            // The route leaves through West's frame: the frame's right edge is route coloured.
            const QPoint a = w.panelOf(w.locations[0]);
            EXPECT_EQ(img.pixel(a.x() + 2, a.y()), screen(w.settings.ColorSkarnels));
        }
    }
}

TEST(MapPainterRoutes, ALongRouteLiesOverTheRoutesBeforeItAndUnderThoseAfter)
{
    // A long diagonal (across many of the paint's tiles, drawn at once) between two
    // short routes that cross it: the first lies under it, the last over it.
    World w;
    w.settings.ShowText = false;
    w.settings.ShowSkarnels = w.settings.ShowShips = w.settings.ShowMagesGuild = true;
    w.setView({1200, 800}, 5, 2);
    const QPoint ends[6] = {{580, 400}, {620, 400}, {20, 20}, {1180, 780}, {880, 597}, {920, 597}};
    for (const QPoint& p : ends)
        w.locations.push_back(w.at(p, "", -1)); // no status: no frame
    w.locations[0].Routes = {{1, Skarnel}};
    w.locations[2].Routes = {{3, Ship}};
    w.locations[4].Routes = {{5, MagesGuild}};
    const QImage img = w.paint();
    const QPoint first = w.panelOf(w.locations[0]), last = w.panelOf(w.locations[4]);
    int shipOverFirst = 0, shipOverLast = 0;
    for (int x = first.x(); x < first.x() + 40; ++x)
        shipOverFirst += img.pixel(x, first.y()) == screen(w.settings.ColorShips);
    for (int x = last.x(); x < last.x() + 40; ++x)
        shipOverLast += img.pixel(x, last.y()) == screen(w.settings.ColorShips);
    EXPECT_GT(shipOverFirst, 0);
    EXPECT_EQ(shipOverLast, 0);
    // Painted through a clip, the tiles fall elsewhere; the pixels stay.
    QImage part(img.size(), QImage::Format_RGB32);
    part.fill(0);
    const DrawingObjects objects = DrawingObjects::fromSettings(w.settings);
    const MapScene scene{w.view, w.picture, w.locations, w.markers, w.settings, objects, w.highlight};
    MapPainter().paint(part, scene, QRegion(QRect(37, 11, 1100, 777)));
    EXPECT_EQ(part.copy(37, 11, 1100, 777), img.copy(37, 11, 1100, 777));
}

TEST(MapPainterRoutes, LongRoutesCrossingThePanelAreClipped)
{
    World w;
    w.settings.ShowSkarnels = true;
    w.settings.ShowText = false;
    w.picture = flatPicture(3300, 3800);
    w.setView({330, 380}, 7, 10, {4000, 5000}); // 300 %: both ends far outside
    Location a = w.at({-20000, 190}), b = w.at({20000, 190});
    a.Routes = {{1, Skarnel}};
    a.Level = b.Level = 5;
    w.locations = {a, b};
    const QImage img = w.paint();
    EXPECT_GE(countColour(img, screen(w.settings.ColorSkarnels)), 330);
}

TEST(MapPainter, EmptyListsAndDegenerateViewsPaintSafely)
{
    World w;
    EXPECT_EQ(countColour(w.paint(), Black), 330 * 380);
    w.setView({0, 0}, 3, 2);
    w.locations.push_back(w.at({0, 0}));
    w.highlight.set(0);
    EXPECT_TRUE(w.paint().isNull());
    EXPECT_TRUE(w.highlight.pending()); // the bookkeeping still runs
    w.picture = QImage();
    w.setView({50, 40}, 2, 2);
    w.settings.ShowText = false;
    w.locations = {w.at({20, 20})};
    const QImage img = w.paint();
    EXPECT_EQ(countColour(img, screen(w.settings.ColorUnvisited)), 20);
    EXPECT_EQ(countColour(img, Background), 50 * 40 - 20);
}

TEST(MapPainterPicture, OneToOneLevelGivesTheResamplersPixelsInBothModes)
{
    // The level where a picture pixel is a panel pixel: 20 % of the small picture, 100 %
    // of the large one. Rows are copied there; the pixels must be what resampling gives.
    struct Case {
        QSize picture;
        int scale, zoom;
        QSize panel;
        QPoint scroll;
    } cases[] = {
        {{660, 760}, 2, 1, {330, 380}, {0, 0}},        {{660, 760}, 2, 1, {330, 380}, {123, 77}},
        {{660, 760}, 2, 1, {330, 380}, {9999, 9999}},  {{660, 760}, 2, 1, {900, 500}, {50, 60}},
        {{660, 760}, 2, 1, {1000, 1000}, {0, 0}},      {{3300, 3800}, 10, 5, {1920, 1080}, {1501, 997}},
        {{3300, 3800}, 10, 5, {4000, 900}, {0, 2900}},
    };
    for (const Case& c : cases) {
        const QImage picture = codedPicture(c.picture.width(), c.picture.height());
        for (const bool smooth : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << c.picture.width() << " at " << c.panel.width() << "x" << c.panel.height() << " scroll "
                         << c.scroll.x() << "," << c.scroll.y() << " smooth " << smooth);
            const Viewport v = Viewport::showing(c.picture, c.scale, c.panel, c.zoom, c.scroll);
            ASSERT_EQ(double(v.factor()) / v.mapScale(), 1.0);
            Settings s;
            s.MapAA = smooth;
            s.ZoomLevelAA = 0;
            const DrawingObjects o = DrawingObjects::fromSettings(s);
            GoHighlight highlight;
            const LocationList none;
            MapPainter painter;
            const QImage painted = painter.paint(MapScene{v, picture, none, none, s, o, highlight});

            // What the resampler makes of the same rectangles (the rule of the picture step).
            const int W = c.panel.width(), H = c.panel.height(), PW = picture.width(), PH = picture.height();
            const long double f = v.factor(), sc = v.mapScale();
            const int sx = truncToInt(v.scrollX() / f * sc), sy = truncToInt(v.scrollY() / f * sc);
            const int sw = truncToInt((W - 330) / f * sc + PW / f), sh = truncToInt((H - 380) / f * sc + PH / f);
            QRect to(0, 0, W, H);
            QRectF from(sx, sy, sw, sh);
            if (!v.mapCoversPanel()) {
                to = QRect(v.marginX(), v.marginY(), truncToInt(PW * f / sc), truncToInt(PH * f / sc));
                if (!(sw < PW && sh < PH))
                    from = QRectF(sx, sy, PW, PH);
            }
            QImage expected(c.panel, QImage::Format_RGB32);
            expected.fill(Background);
            Resampler::draw(expected, to, picture, from, smooth ? Resampler::Mode::Smooth : Resampler::Mode::Pixel);
            EXPECT_TRUE(painted == expected);
        }
    }
}
