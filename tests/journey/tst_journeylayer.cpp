// SPDX-License-Identifier: MIT
// The journey's kept drawing: laid after any scroll it gives the pixels a fresh drawing
// gives, it tells whether its drawing changed, and it draws a tile only once.
#include "journey/journeylayer.h"
#include "journey/journeypainter.h"
#include "map/viewport.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

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

TEST(JourneyLayer, LaidInAnyPiecesEachPixelIsItsOwnPixelOverTheMap)
{
    // Whatever cuts the laying (bands of odd heights, a column of every remainder by
    // eight, the widest vector step, through the copied and the blended runs), each pixel
    // is the layer's own premultiplied pixel over the map's, by the rule worked out here
    // one channel at a time. An image with alpha keeps the rule's alpha, one without
    // stays opaque.
    const Setting s;
    const QSize panel(700, 500);
    const Viewport view = Setting::view({300, 200}, panel);
    struct Case {
        qreal ratio;
        QImage::Format format;
        bool banded;
    };
    const Case cases[] = {
        {1.0, QImage::Format_RGB32, false},
        {1.0, QImage::Format_RGB32, true},
        {1.25, QImage::Format_RGB32, true},
        {2.0, QImage::Format_RGB32, true},
        {1.0, QImage::Format_ARGB32_Premultiplied, true},
        {1.25, QImage::Format_ARGB32_Premultiplied, false},
        {2.0, QImage::Format_ARGB32_Premultiplied, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ratio " << c.ratio << " format " << c.format << " banded " << c.banded);
        // The layer's own pixels, drawn by the journey's pen a tile at a time as the layer
        // draws its tiles (whose corners lie at whole multiples of the tile's side in the
        // level's picture), but without the layer: a fault of its laying cannot hide here.
        QImage own(panel * c.ratio, QImage::Format_ARGB32_Premultiplied);
        own.fill(0);
        {
            std::vector<JourneyLayer::Segment> legs;
            for (const JourneyLeg& leg : s.journey.legs) {
                const Location &a = s.places[std::size_t(leg.from)], &b = s.places[std::size_t(leg.to)];
                legs.push_back({view.MapToScreen(a.X, a.Y), view.MapToScreen(b.X, b.Y), leg.mode});
            }
            const QPointF at = QPointF(view.scroll() - QPoint(view.marginX(), view.marginY())) * c.ratio;
            const QPoint corner(int(std::floor(at.x())), int(std::floor(at.y())));
            const QPointF fraction = at - QPointF(corner);
            constexpr int side = JourneyLayer::TileSize;
            QPainter p(&own);
            for (int top = corner.y() - ((corner.y() % side) + side) % side; top < corner.y() + own.height();
                 top += side)
                for (int left = corner.x() - ((corner.x() % side) + side) % side; left < corner.x() + own.width();
                     left += side) {
                    QImage tile(side, side, QImage::Format_ARGB32_Premultiplied);
                    tile.fill(0);
                    QPainter t(&tile);
                    t.setTransform(QTransform(c.ratio, 0, 0, c.ratio, -(left + fraction.x()), -(top + fraction.y())));
                    const QRectF area((left + fraction.x()) / c.ratio, (top + fraction.y()) / c.ratio, side / c.ratio,
                                      side / c.ratio);
                    JourneyPainter::draw(t, legs, 1, JourneyPainter::numbered(legs, 1), area);
                    t.end();
                    p.drawImage(QPoint(left - corner.x(), top - corner.y()), tile);
                }
        }
        JourneyLayer layer;
        layer.aim(view, c.ratio, s.places, s.journey, 1);
        // A map of many colours; with alpha, of many alphas too (each channel within it).
        QImage ground = map(panel, c.ratio).convertToFormat(c.format);
        if (c.format == QImage::Format_ARGB32_Premultiplied)
            for (int y = 0; y < ground.height(); ++y)
                for (int x = 0; x < ground.width(); ++x) {
                    const QRgb p = ground.pixel(x, y);
                    const int a = 128 + ((x * 3 + y) & 127);
                    reinterpret_cast<QRgb*>(ground.scanLine(y))[x]
                        = qRgba(qRed(p) * a / 255, qGreen(p) * a / 255, qBlue(p) * a / 255, a);
                }
        QImage laid = ground;
        if (c.banded) {
            for (int y = 0, k = 0; y < laid.height(); y += 37, ++k) {
                const int cut = 300 + (k % 8);
                layer.layOver(laid, QRect(0, y, cut, 37));
                layer.layOver(laid, QRect(cut, y, laid.width() - cut, 37));
            }
        } else {
            layer.layOver(laid, laid.rect());
        }
        const auto channel = [](int source, int target, int alpha) {
            const int t = target * (255 - alpha);
            return source + ((t + (t >> 8) + 0x80) >> 8);
        };
        int edges = 0;
        for (int y = 0; y < laid.height(); ++y) {
            const auto* o = reinterpret_cast<const QRgb*>(own.constScanLine(y));
            const auto* g = reinterpret_cast<const QRgb*>(ground.constScanLine(y));
            const auto* l = reinterpret_cast<const QRgb*>(laid.constScanLine(y));
            for (int x = 0; x < laid.width(); ++x) {
                const int a = qAlpha(o[x]);
                const int alpha = c.format == QImage::Format_RGB32 ? 255 : channel(a, qAlpha(g[x]), a);
                const QRgb want = qRgba(channel(qRed(o[x]), qRed(g[x]), a), channel(qGreen(o[x]), qGreen(g[x]), a),
                                        channel(qBlue(o[x]), qBlue(g[x]), a), alpha);
                ASSERT_EQ(l[x], want) << x << "," << y;
                edges += a > 0 && a < 255;
            }
        }
        EXPECT_GT(edges, 100);
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
