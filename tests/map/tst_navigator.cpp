// SPDX-License-Identifier: MIT
// The navigator's overview: its size, the frame of the visible part, and the scroll a
// click or a drag asks for, at every level.
#include "map/navigator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vdm {
namespace {

TEST(Navigator, OverviewIsTheTenPercentPictureAtMostTwoHundredPixelsLong)
{
    const struct {
        QSize picture;
        int scale;
        QSize overview;
    } rows[] = {
        {{3300, 3800}, 10, {174, 200}}, // 330 x 380 scaled to 200 high
        {{660, 760}, 2, {174, 200}},
        {{1000, 500}, 10, {100, 50}},  // a 10 % picture smaller than that stays as it is
        {{9000, 1000}, 10, {200, 22}}, // wide
        {{0, 0}, 10, {}},
        {{3300, 3800}, 0, {}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Navigator::overviewSize(r.picture, r.scale), r.overview)
            << r.picture.width() << "x" << r.picture.height();
    const QImage picture(660, 760, QImage::Format_RGB32);
    EXPECT_EQ(Navigator::overviewImage(picture, 2, 2).size(), QSize(348, 400)) << "device pixels on a ratio-2 screen";
    EXPECT_EQ(Navigator::overviewImage(picture, 2, 2).deviceIndependentSize().toSize(), QSize(174, 200));
}

TEST(Navigator, FrameMatchesTheViewAtEveryLevel)
{
    for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
        for (const QPoint scroll : {QPoint(0, 0), QPoint(400, 300), QPoint(1 << 20, 1 << 20)}) {
            const Viewport v = Viewport::showing({3300, 3800}, 10, {330, 380}, zoom, scroll);
            const QRectF f = Navigator::frame(v);
            const QSizeF k = Navigator::scale(v);
            SCOPED_TRACE(testing::Message() << "zoom " << zoom << " scroll " << scroll.x() << "," << scroll.y());
            // The frame's corner is the scroll position, its size the panel's, on the overview.
            EXPECT_NEAR(f.x(), v.scrollX() * k.width(), 1e-9);
            EXPECT_NEAR(f.y(), v.scrollY() * k.height(), 1e-9);
            EXPECT_NEAR(f.width(), std::min(330.0, 330 * v.factor() / 1.0) * k.width(), 1e-6);
            EXPECT_LE(f.right(), 174 + 1e-6);
            EXPECT_LE(f.bottom(), 200 + 1e-6);
        }
    }
    // At 10 % the whole map shows: the frame is the whole overview.
    const QRectF whole = Navigator::frame(Viewport::showing({3300, 3800}, 10, {330, 380}, 0));
    EXPECT_NEAR(whole.width(), 174, 1e-6);
    EXPECT_NEAR(whole.height(), 200, 1e-6);
    // A panel larger than the picture: the picture shows whole, margins aside.
    const QRectF small = Navigator::frame(Viewport::showing({3300, 3800}, 10, {800, 900}, 0));
    EXPECT_EQ(small, QRectF(0, 0, 174, 200));
}

TEST(Navigator, AClickCentresTheViewThereAtEveryLevel)
{
    for (int zoom = 1; zoom < Viewport::LevelCount; ++zoom) {
        Viewport v = Viewport::showing({3300, 3800}, 10, {330, 380}, zoom);
        const QSizeF k = Navigator::scale(v);
        for (const QPointF at : {QPointF(87, 100), QPointF(20.5, 180.25), QPointF(0, 0), QPointF(174, 200)}) {
            Navigator nav;
            const QPoint scroll = nav.press(v, at);
            // The picture point under the click lands at the panel's centre, as far as the ranges allow.
            Viewport expected = v;
            expected.scrollTo(
                QPoint(int(std::lround(at.x() / k.width() - 165)), int(std::lround(at.y() / k.height() - 190))));
            EXPECT_EQ(scroll, expected.scroll()) << "zoom " << zoom << " at " << at.x() << "," << at.y();
            v.scrollTo(scroll);
            if (scroll.x() > 0 && scroll.x() < v.scrollMaximum().x()) {
                EXPECT_NEAR(Navigator::frame(v).center().x(), at.x(), k.width() * 1.01)
                    << "the frame is centred on the click";
            }
        }
    }
}

TEST(Navigator, ADragMovesTheFrameWithThePointer)
{
    for (int zoom = 1; zoom < Viewport::LevelCount; ++zoom) {
        Viewport v = Viewport::showing({3300, 3800}, 10, {330, 380}, zoom);
        Navigator nav;
        const QPointF grab = Navigator::frame(v).center();
        EXPECT_EQ(nav.press(v, grab), v.scroll()) << "a press inside the frame leaves the view";
        const QSizeF k = Navigator::scale(v);
        for (const QPointF by : {QPointF(10, 0), QPointF(25.5, 40), QPointF(-5, -5), QPointF(500, 500)}) {
            const std::optional<QPoint> scroll = nav.move(v, grab + by);
            ASSERT_TRUE(scroll);
            Viewport expected = v;
            expected.scrollTo(QPoint(int(std::lround(by.x() / k.width())), int(std::lround(by.y() / k.height()))));
            EXPECT_EQ(*scroll, expected.scroll()) << "zoom " << zoom << " by " << by.x() << "," << by.y();
        }
        nav.release();
        EXPECT_FALSE(nav.move(v, grab));
    }
}

TEST(Navigator, TheWheelZoomsAsTheButtonsDo)
{
    EXPECT_EQ(Navigator::wheel(120), ZoomCommand::In);
    EXPECT_EQ(Navigator::wheel(-15), ZoomCommand::Out);
    EXPECT_FALSE(Navigator::wheel(0));
}

} // namespace
} // namespace vdm
