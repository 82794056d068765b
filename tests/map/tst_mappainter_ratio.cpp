// SPDX-License-Identifier: MIT
// The map painted for a screen with a device pixel ratio: the same map, more pixels.
#include "map/mappainter.h"

#include "common/testutils.h"
#include "map/paintfixture.h"

#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

using namespace vdm;
using namespace painttest;

namespace {

/** The bitmap pixel a pixel of codedPicture() came from. */
QPoint decode(QRgb c)
{
    return {qRed(c) | ((qBlue(c) & 0xF) << 8), qGreen(c) | (((qBlue(c) >> 4) & 0x7) << 8)};
}

/** The smallest rectangle holding every pixel that is not `c`, within `area`. */
QRect inkBox(const QImage& img, QRect area, QRgb c)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixel(x, y) != c)
                box |= QRect(x, y, 1, 1);
    return box;
}

int distinctColours(const QImage& img, QRect area)
{
    QSet<QRgb> seen;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            seen.insert(img.pixel(x, y));
    return int(seen.size());
}

/** The device pixel in the middle of the panel pixel `q`. */
QPoint middleOf(QPoint q, qreal ratio)
{
    return {int(std::floor((q.x() + 0.5) * ratio)), int(std::floor((q.y() + 0.5) * ratio))};
}

} // namespace

TEST(MapPainterRatio, BackBufferHoldsThePanelAtTheRatioWithNoGapAtTheEdges)
{
    struct Case {
        qreal ratio;
        QSize pixels;
    };
    // 330 x 1.25 = 412.5: rounded up, so the panel's last column is covered too.
    const Case cases[] = {{1, {330, 380}}, {1.25, {413, 475}}, {1.5, {495, 570}}, {2, {660, 760}}};
    World w;
    w.picture = codedPicture(660, 760);
    for (const Case& c : cases) {
        for (const bool smooth : {false, true}) {
            w.settings.MapAA = smooth;
            w.settings.ZoomLevelAA = 0;
            for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
                for (const QPoint scroll : {QPoint(0, 0), QPoint(1 << 20, 1 << 20)}) {
                    w.setView({330, 380}, zoom, 2, scroll);
                    w.ratio = c.ratio;
                    const QImage img = w.paint();
                    const auto where = ::testing::Message()
                                       << "ratio " << c.ratio << " zoom " << zoom << " smooth " << smooth;
                    ASSERT_EQ(img.size(), c.pixels) << where;
                    EXPECT_EQ(img.devicePixelRatio(), c.ratio) << where;
                    const int logicalDpm = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
                    EXPECT_NEAR(img.dotsPerMeterX(), logicalDpm * c.ratio, 1) << where;
                    EXPECT_NEAR(img.dotsPerMeterY(), logicalDpm * c.ratio, 1) << where;
                    EXPECT_EQ(img.format(), QImage::Format_RGB32) << where;
                    // The picture covers the panel at every level: not one background pixel.
                    EXPECT_EQ(countColour(img, Background), 0) << where;
                }
            }
        }
    }
}

TEST(MapPainterRatio, PicturePixelLandsWhereThePanelGeometryPutsIt)
{
    struct Case {
        int zoom;
        qreal ratio;
    };
    // Pixel mode: every device pixel is one picture pixel, so it can be traced back.
    const Case cases[] = {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}, {7, 2}, {2, 1.5}, {5, 1.5}, {3, 1.25}};
    World w;
    w.picture = codedPicture(660, 760);
    w.settings.MapAA = false;
    for (const Case& c : cases) {
        w.setView({330, 380}, c.zoom, 2, {157, 203});
        w.ratio = c.ratio;
        const QImage img = w.paint();
        const long double perPanelPixel = 2.0L / w.view.factor(); // bitmap pixels per panel pixel
        for (int y = 0; y < 380; y += 23) {
            for (int x = 0; x < 330; x += 19) {
                const QPoint p = w.view.panelToPicture({x, y});
                const QPoint got = decode(img.pixel(middleOf({x, y}, c.ratio)));
                // The bitmap pixels under panel pixel (x, y), one to spare for the truncated origin.
                const auto inSpan = [&](int v, int pic) {
                    return v >= std::floor(pic * perPanelPixel) - 1 && v <= std::floor((pic + 1) * perPanelPixel) + 1;
                };
                EXPECT_TRUE(inSpan(got.x(), p.x()) && inSpan(got.y(), p.y()))
                    << "zoom " << c.zoom << " ratio " << c.ratio << " at " << x << "," << y << " got " << got.x() << ","
                    << got.y() << " for picture point " << p.x() << "," << p.y();
            }
        }
    }
}

TEST(MapPainterRatio, FramesLinesAndDiamondsKeepTheirPanelWidths)
{
    struct Case {
        qreal ratio;
        int framePixels; // a 6-pixel square one pixel thick, scaled
        int frameThickness;
        int routeThickness; // 2 panel pixels
        bool wholeRatio;    // the diamond's 16 pixels become ratio x ratio each (corners may share a few)
    };
    const Case cases[] = {{1, 20, 1, 2, true}, {2, 80, 2, 4, true}, {3, 180, 3, 6, true}, {1.5, 56, 2, 3, false}};
    for (const Case& c : cases) {
        World w;
        w.ratio = c.ratio;
        w.settings.ShowText = false;
        w.settings.ShowSkarnels = true;
        w.locations = {w.at({60, 100}, "West"), w.at({260, 100}, "East"), w.at({163, 300}, "Alone")};
        w.locations[0].Routes = {{1, Skarnel}};
        Location m = w.at({100, 250}, "Marker");
        m.Level = 1;
        w.markers = {m};
        const QPoint q = w.panelOf(w.locations[2]);
        ASSERT_TRUE(q.x() % 2 == 0 && q.y() % 2 == 0) << q.x() << "," << q.y(); // whole device pixels at 1.5
        const QImage img = w.paint();
        const QRgb frame = screen(w.settings.ColorUnvisited);
        const auto where = ::testing::Message() << "ratio " << c.ratio;

        // The lone frame: its pixels, and its left edge as thick as one panel pixel.
        const int x0 = int(std::lround((q.x() - 3) * c.ratio)), y0 = int(std::lround((q.y() - 3) * c.ratio));
        const QRect around(x0 - 4, y0 - 4, int(12 * c.ratio) + 8, int(12 * c.ratio) + 8);
        EXPECT_EQ(countColour(img, frame, around), c.framePixels) << where;
        const int midY = int(std::lround(q.y() * c.ratio));
        for (int i = 0; i < c.frameThickness; ++i)
            EXPECT_EQ(img.pixel(x0 + i, midY), frame) << where << " column " << i;
        EXPECT_EQ(img.pixel(x0 + c.frameThickness, midY), Black) << where;
        EXPECT_EQ(img.pixel(x0 - 1, midY), Black) << where;

        // The route across the middle: a column through it holds its width.
        const QRgb route = screen(w.settings.ColorSkarnels);
        const int midX = int(std::lround(160 * c.ratio));
        EXPECT_EQ(countColour(img, route, QRect(midX, 0, 1, img.height())), c.routeThickness) << where;

        const int diamond = countColour(img, screen(w.settings.ColorMarker));
        const double scaled = 16 * c.ratio * c.ratio;
        if (c.wholeRatio) {
            EXPECT_NEAR(diamond, scaled, 0.02 * scaled) << where;
            EXPECT_LE(diamond, scaled) << where;
        } else {
            // The one-pixel pen rounds up to whole device pixels.
            EXPECT_GE(diamond, scaled) << where;
            EXPECT_LE(diamond, 16 * c.ratio * c.frameThickness) << where;
        }
    }
}

TEST(MapPainterRatio, CaptionIsRenderedAtTheDeviceResolution)
{
    World w;
    w.settings.MapFontSize = 13;
    w.locations = {w.at({40, 100}, "Wyrmhold Vale")};
    const QPoint q = w.panelOf(w.locations[0]);
    const QImage one = w.paint();
    w.ratio = 2;
    const QImage two = w.paint();

    // Right of the frame, where only the caption's ink is.
    const QRect area1(q.x() + 4, q.y() - 4, 200, 30);
    const QRect area2(area1.x() * 2, area1.y() * 2, area1.width() * 2, area1.height() * 2);
    const QRect ink1 = inkBox(one, area1, Black), ink2 = inkBox(two, area2, Black);
    ASSERT_FALSE(ink1.isEmpty());
    ASSERT_FALSE(ink2.isEmpty());
    // The same caption at the same place, twice the pixels each way...
    EXPECT_NEAR(ink2.width(), 2.0 * ink1.width(), 0.15 * ink1.width());
    EXPECT_NEAR(ink2.height(), 2.0 * ink1.height(), 0.2 * ink1.height());
    EXPECT_NEAR(ink2.left(), 2.0 * ink1.left(), 3);
    EXPECT_NEAR(ink2.top(), 2.0 * ink1.top(), 3);
    // ...and drawn at that resolution: an enlarged caption would have only the 1x shades.
    EXPECT_GT(distinctColours(two, area2), distinctColours(one, area1) + 10);
}

TEST(MapPainterRatio, OnePainterKeepsACaptionPerRatio)
{
    World w;
    w.locations = {w.at({40, 100}, "Harrowmere")};
    w.ratio = 2;
    const QImage twoFirst = w.paint();
    w.ratio = 1;
    const QImage one = w.paint();
    w.ratio = 2;
    const QImage twoAgain = w.paint();
    MapPainter fresh; // never saw ratio 1
    const DrawingObjects objects = DrawingObjects::fromSettings(w.settings);
    const QImage oneFresh
        = fresh.paint(MapScene{w.view, w.picture, w.locations, w.markers, w.settings, objects, w.highlight});
    EXPECT_TRUE(twoFirst == twoAgain);
    EXPECT_TRUE(one == oneFresh);
    EXPECT_GT(w.painter.cacheBytes(), fresh.cacheBytes()); // both masks are kept
}

TEST(MapPainterRatio, RouteLinesStepAlongTheRoundedSlope)
{
    // Step k of a line from a to b (b left out) lies on the major axis at a + k and on the
    // minor one at floor((2 k minor + n) / 2n) past a, `width` pixels down or right.
    struct Case {
        QPoint a, b;
    };
    const Case cases[] = {
        {{20, 40}, {300, 97}},     {{300, 97}, {20, 40}},   {{40, 20}, {97, 350}},  {{97, 350}, {40, 20}},
        {{20, 300}, {310, 41}},    {{41, 360}, {290, 10}},  {{30, 30}, {200, 200}}, {{-400, 190}, {700, 120}},
        {{150, -500}, {170, 900}}, {{10, 200}, {320, 200}}, {{100, 5}, {100, 370}},
    };
    for (const qreal ratio : {1.0, 2.0}) {
        for (const Case& c : cases) {
            World w;
            w.ratio = ratio;
            w.settings.ShowText = false;
            w.settings.ShowSkarnels = true;
            Location a = w.at(c.a, "A", 7), b = w.at(c.b, "B", 7); // an unknown status draws no frame
            a.Routes = {{1, Skarnel}};
            w.locations = {a, b};
            const QImage img = w.paint();
            const QPoint pa = w.panelOf(a), pb = w.panelOf(b);
            const QPoint da(int(pa.x() * ratio), int(pa.y() * ratio)), db(int(pb.x() * ratio), int(pb.y() * ratio));
            const int width = int(2 * ratio);
            const long long dx = db.x() - da.x(), dy = db.y() - da.y();
            const bool xMajor = std::llabs(dx) >= std::llabs(dy);
            const long long n = xMajor ? std::llabs(dx) : std::llabs(dy), minor = xMajor ? dy : dx;
            const int step = (xMajor ? dx : dy) > 0 ? 1 : -1;
            QSet<QPair<int, int>> expected;
            for (long long k = 0; k < n; ++k) {
                const long long num = 2 * k * minor + n, den = 2 * n;
                const long long m = num / den - (num % den != 0 && num < 0 ? 1 : 0);
                for (int i = 0; i < width; ++i) {
                    const long long x = xMajor ? da.x() + k * step : da.x() + m + i;
                    const long long y = xMajor ? da.y() + m + i : da.y() + k * step;
                    if (img.rect().contains(int(x), int(y)))
                        expected.insert({int(x), int(y)});
                }
            }
            const QRgb route = screen(w.settings.ColorSkarnels);
            ASSERT_FALSE(expected.isEmpty());
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    ASSERT_EQ(img.pixel(x, y) == route, expected.contains({x, y}))
                        << "ratio " << ratio << " from " << pa.x() << "," << pa.y() << " to " << pb.x() << "," << pb.y()
                        << " at " << x << "," << y;
        }
    }
}
