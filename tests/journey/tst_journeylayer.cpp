// SPDX-License-Identifier: MIT
// The journey's kept drawing: laid after any scroll it gives the pixels a fresh drawing
// gives, it tells whether its drawing changed, and it draws a tile only once.
#include "journey/journeylayer.h"
#include "journey/journeypainter.h"
#include "map/viewport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace vdm;

namespace {

/** Three places far apart on a large level, a leg of every kind between them. */
struct Setting {
    LocationList places;
    Journey journey;
    Setting()
    {
        places.resize(4);
        const int at[4][2] = {{-60000, 20000}, {-20000, -30000}, {40000, 10000}, {70000, 60000}};
        for (std::size_t i = 0; i < 4; ++i) {
            places[i].X = at[i][0];
            places[i].Y = at[i][1];
        }
        journey.legs
            = {{0, 1, TravelMode::Walk, 1, 1}, {1, 2, TravelMode::Guild, 1, 1}, {2, 3, TravelMode::Ship, 1, 1}};
    }
    static Viewport view(QPoint scroll, QSize panel = QSize(500, 400))
    {
        return Viewport::showing(QSize(660, 760), 2, panel, 3, scroll);
    }
};

/** A map of many colours, so every blend shows. */
QImage map(QSize size, qreal ratio = 1)
{
    QImage image(size * ratio, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 5) & 255, (x + y) & 255));
    image.setDevicePixelRatio(ratio);
    return image;
}

TEST(JourneyLayer, AKeptLayerLaidAfterScrollsEqualsAFreshDrawing)
{
    const Setting s;
    int shown = 0;
    for (const qreal ratio : {1.0, 2.0}) {
        JourneyLayer kept;
        for (const QPoint scroll :
             {QPoint(300, 200), QPoint(310, 203), QPoint(700, 50), QPoint(0, 0), QPoint(311, 460)}) {
            const Viewport view = Setting::view(scroll);
            QImage fresh = map(view.panel(), ratio), laid = fresh;
            JourneyPainter::paint(fresh, view, s.places, s.journey, 1);
            kept.drawOver(laid, view, s.places, s.journey, 1);
            EXPECT_EQ(laid, fresh) << "ratio " << ratio << " scroll " << scroll.x() << "," << scroll.y();
            shown += laid != map(view.panel(), ratio);
        }
    }
    EXPECT_GE(shown, 6); // most views show some of the route
}

TEST(JourneyLayer, TellsWhetherItsDrawingStayedAndDrawsATileOnce)
{
    // A scroll keeps the drawing (it moves with the map); another leg, another journey,
    // another ratio or none change it. Laid again, the same drawing draws no tile again.
    const Setting s;
    const Viewport view = Setting::view({300, 200});
    const QImage plain = map(view.panel());
    QImage image = plain;
    JourneyLayer layer;
    EXPECT_TRUE(layer.aim(view, 1, s.places, Journey{})); // nothing, as before
    EXPECT_FALSE(layer.aim(view, 1, s.places, s.journey));
    layer.layOver(image, image.rect());
    const QImage laid = image;
    const int drawn = layer.tilesDrawn();
    EXPECT_GT(drawn, 0);
    EXPECT_NE(laid, plain);
    image = plain;
    layer.drawOver(image, view, s.places, s.journey);
    EXPECT_EQ(image, laid);
    EXPECT_EQ(layer.tilesDrawn(), drawn);

    Journey shorter = s.journey;
    shorter.legs.pop_back();
    struct Case {
        const char* what;
        Viewport view;
        qreal ratio;
        const Journey* journey;
        int current;
        bool kept;
    };
    const Journey none;
    const Case cases[] = {
        {"the same", view, 1, &s.journey, -1, true},
        {"scrolled", Setting::view({340, 230}), 1, &s.journey, -1, true},
        {"another leg", view, 1, &s.journey, 2, false},
        {"that leg again", view, 1, &s.journey, 2, true},
        {"another journey", view, 1, &shorter, 2, false},
        {"another ratio", view, 2, &shorter, 2, false},
        {"a zoom step", Viewport::showing(QSize(660, 760), 2, QSize(500, 400), 4, {300, 200}), 2, &shorter, 2, false},
        {"none", view, 2, &none, -1, false},
        {"none again", view, 2, &none, -1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(layer.aim(c.view, c.ratio, s.places, *c.journey, c.current), c.kept) << c.what;
        EXPECT_EQ(layer.empty(), c.journey->legs.empty()) << c.what;
    }

    // Laid over an image at another ratio than aimed at, or of another format, nothing.
    layer.aim(view, 1, s.places, s.journey);
    QImage other = map(view.panel(), 2);
    const QImage otherBefore = other;
    layer.layOver(other, other.rect());
    EXPECT_EQ(other, otherBefore);
    QImage rgb888 = plain.convertToFormat(QImage::Format_RGB888);
    const QImage rgb888Before = rgb888;
    layer.layOver(rgb888, rgb888.rect());
    EXPECT_EQ(rgb888, rgb888Before);
}

TEST(JourneyLayer, LaidInBandsItGivesWhatItGivesLaidWhole)
{
    const Setting s;
    const QSize panel(900, 700);
    const Viewport view = Setting::view({300, 200}, panel);
    for (const qreal ratio : {1.0, 2.0}) {
        QImage whole = map(panel, ratio), banded = whole;
        JourneyLayer layer;
        layer.drawOver(whole, view, s.places, s.journey, 1);
        // Bands of odd heights, each cut into a left and a right part at a column of every
        // remainder by four (the blended groups of a tile are four pixels wide).
        for (int y = 0, k = 0; y < banded.height(); y += 37, ++k) {
            const int cut = 290 + (k % 9);
            layer.layOver(banded, QRect(0, y, cut, 37));
            layer.layOver(banded, QRect(cut, y, banded.width() - cut, 37));
        }
        EXPECT_EQ(banded, whole) << ratio;
    }
}

TEST(JourneyLayer, PreparedItIsLaidFromTwoThreadsAtOnceAsFromOne)
{
    const Setting s;
    const QSize panel(900, 700);
    const Viewport view = Setting::view({300, 200}, panel);
    QImage whole = map(panel), shared = whole;
    JourneyLayer layer;
    layer.drawOver(whole, view, s.places, s.journey, 1);

    JourneyLayer fresh;
    fresh.aim(view, 1, s.places, s.journey, 1);
    ASSERT_EQ(fresh.prepare(shared, shared.rect()), MapTopLayer::Readiness::AnyThread);
    const int drawn = fresh.tilesDrawn();
    // Bands of 64 rows, the even ones on one thread and the odd ones on another.
    const auto lay = [&](int first) {
        for (int y = first * 64; y < shared.height(); y += 128)
            fresh.layOver(shared, QRect(0, y, shared.width(), 64));
    };
    std::thread other(lay, 1);
    lay(0);
    other.join();
    EXPECT_EQ(shared, whole);
    EXPECT_EQ(fresh.tilesDrawn(), drawn); // laying drew nothing more

    // Nothing to lay: far from every leg, at another ratio, another format, no journey.
    struct Case {
        const char* what;
        QImage image;
        QRect area;
        bool empty;
    };
    const Case cases[] = {
        {"far from the legs", map(panel), QRect(0, 0, 40, 40), false},
        {"another ratio", map(panel, 2), QRect(0, 0, 900, 700), false},
        {"another format", map(panel).convertToFormat(QImage::Format_RGB888), QRect(0, 0, 900, 700), false},
        {"no journey", map(panel), QRect(0, 0, 900, 700), true},
    };
    for (const Case& c : cases) {
        QImage image = c.image;
        if (c.empty)
            fresh.aim(view, 1, s.places, Journey{});
        EXPECT_EQ(fresh.prepare(image, c.area), MapTopLayer::Readiness::Nothing) << c.what;
    }
}

TEST(JourneyLayer, AScrollDrawsOnlyTheTilesItUncovers)
{
    const Setting s;
    JourneyLayer layer;
    const QSize panel(1200, 900);
    QImage image = map(panel);
    layer.drawOver(image, Setting::view({300, 200}, panel), s.places, s.journey);
    const int first = layer.tilesDrawn();
    layer.drawOver(image, Setting::view({340, 230}, panel), s.places, s.journey);
    EXPECT_LT(layer.tilesDrawn() - first, first / 2);
}

TEST(JourneyLayer, AStepToAnotherLegRedrawsOnlyTheTilesOfTheTwoLegs)
{
    // The journey's three legs each cut into three, so that two legs cover a few tiles.
    Setting s;
    LocationList places;
    Journey journey;
    for (std::size_t k = 0; k < 3; ++k)
        for (int part = 0; part < 3; ++part) {
            const Location& a = s.places[k];
            const Location& b = s.places[k + 1];
            Location l;
            l.X = a.X + ((b.X - a.X) * part / 3);
            l.Y = a.Y + ((b.Y - a.Y) * part / 3);
            places.push_back(l);
        }
    places.push_back(s.places[3]);
    for (int k = 0; k + 1 < int(places.size()); ++k)
        journey.legs.push_back({k, k + 1, s.journey.legs[std::size_t(k / 3)].mode, 1, 1});
    s.places = places;
    s.journey = journey;
    const QSize panel(1200, 900);
    const Viewport view = Setting::view({300, 200}, panel);
    for (const qreal ratio : {1.0, 1.25}) {
        SCOPED_TRACE(ratio);
        const QImage plain = map(panel, ratio);
        QImage image = plain;
        JourneyLayer layer;
        layer.drawOver(image, view, s.places, s.journey, -1);
        const int all = layer.tilesDrawn();
        // Each step, and a step back to none, gives what a fresh drawing of that leg gives,
        // drawing fewer tiles than the whole journey holds.
        for (const int current : {0, 1, 2, 5, 4, -1}) {
            const int before = layer.tilesDrawn();
            image = plain; // the map painted afresh, as a step to another leg paints it
            layer.drawOver(image, view, s.places, s.journey, current);
            EXPECT_GT(layer.tilesDrawn(), before) << current;
            EXPECT_LT(layer.tilesDrawn() - before, all) << current;
            QImage fresh = plain;
            JourneyPainter::paint(fresh, view, s.places, s.journey, current);
            EXPECT_EQ(image, fresh) << current;
        }
    }
}

TEST(JourneyLayer, BlendsItsEdgesExactly)
{
    // Laid over nothing, the layer gives its own pixels; over a colour, each of them
    // blended by the premultiplied rule, rounded to the nearest.
    const Setting s;
    const Viewport view = Setting::view({300, 200});
    QImage own(view.panel(), QImage::Format_ARGB32_Premultiplied);
    own.fill(0);
    JourneyLayer().drawOver(own, view, s.places, s.journey);
    QImage over(view.panel(), QImage::Format_RGB32);
    const QRgb ground = qRgb(200, 90, 30);
    over.fill(ground);
    JourneyLayer().drawOver(over, view, s.places, s.journey);
    int edges = 0;
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x) {
            const QRgb p = own.pixel(x, y);
            const int a = qAlpha(p);
            const auto blend = [&](int source, int target) {
                const int t = target * (255 - a);
                return source + ((t + (t >> 8) + 0x80) >> 8);
            };
            const QRgb want
                = qRgb(blend(qRed(p), qRed(ground)), blend(qGreen(p), qGreen(ground)), blend(qBlue(p), qBlue(ground)));
            ASSERT_EQ(over.pixel(x, y), want) << x << "," << y;
            edges += a > 0 && a < 255;
        }
    EXPECT_GT(edges, 20); // the antialiased edges were there to blend
}

TEST(JourneyLayer, AnImageOfAnotherFormatIsLaidOverAsPremultiplied)
{
    const Setting s;
    const Viewport view = Setting::view({300, 200});
    QImage image(view.panel(), QImage::Format_RGB888);
    image.fill(Qt::white);
    JourneyLayer().drawOver(image, view, s.places, s.journey);
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    int core = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            core += image.pixel(x, y) == JourneyPainter::Core;
    EXPECT_GT(core, 50);
}

} // namespace

namespace {

TEST(JourneyLayer, StepsAmongLegsShorterThanTheirDiscsGiveAFreshDrawing)
{
    // At the farthest level a walk of steps a few pixels long: which numbers are drawn
    // changes with the current leg, and the kept tiles must follow.
    LocationList places(9);
    for (std::size_t k = 0; k < places.size(); ++k) {
        places[k].X = -40000 + int(k) * 6000;
        places[k].Y = (k % 2) * 4000;
    }
    Journey journey;
    for (int k = 0; k + 1 < int(places.size()); ++k)
        journey.legs.push_back({k, k + 1, TravelMode::Walk, 1, 1});
    const QSize panel(500, 400);
    const Viewport view = Viewport::showing(QSize(660, 760), 2, panel, 0);
    for (const qreal ratio : {1.0, 1.25, 2.0}) {
        SCOPED_TRACE(ratio);
        const QImage plain = map(panel, ratio);
        JourneyLayer layer;
        for (const int current : {-1, 0, 3, 4, 7, 1, -1}) {
            QImage image = plain, fresh = plain;
            layer.drawOver(image, view, places, journey, current);
            JourneyPainter::paint(fresh, view, places, journey, current);
            EXPECT_EQ(image, fresh) << current;
        }
    }
}

} // namespace
