// SPDX-License-Identifier: MIT
#include "journey/journeypainter.h"
#include "map/viewport.h"

#include <QLineF>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace vdm;

namespace {

struct Canvas {
    LocationList places;
    Viewport view = Viewport::showing(QSize(660, 760), 2, QSize(660, 760), 0);
    Canvas()
    {
        places.resize(3);
        places[0].X = -100000;
        places[1].X = 100000;
        places[2].X = 100000;
        places[2].Y = 150000;
    }
    QImage blank() const
    {
        QImage image(view.panel(), QImage::Format_RGB32);
        image.fill(Qt::black);
        return image;
    }
    static int count(const QImage& image, QRgb colour)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixel(x, y) == colour;
        return n;
    }
};

TEST(JourneyPainter, DrawsLegsAndEmphasisesTheCurrentOne)
{
    const Canvas c;
    Journey j;
    j.start = 0;
    j.legs = {{0, 1, TravelMode::Ship, 200000, 1}, {1, 2, TravelMode::Walk, 150000, 1}};
    QImage none = c.blank(), plain = c.blank(), second = c.blank();
    JourneyPainter::paint(none, c.view, c.places, Journey{});
    EXPECT_EQ(none, c.blank());

    JourneyPainter::paint(plain, c.view, c.places, j);
    EXPECT_GT(Canvas::count(plain, JourneyPainter::Core), 50);
    EXPECT_EQ(Canvas::count(plain, JourneyPainter::Current), 0);

    JourneyPainter::paint(second, c.view, c.places, j, 1);
    EXPECT_GT(Canvas::count(second, JourneyPainter::Current), 50);
    EXPECT_GT(Canvas::count(second, JourneyPainter::Core), 20); // the first leg stays
}

TEST(JourneyPainter, AJourneyOfAnotherWorldDrawsNothing)
{
    const Canvas c;
    Journey j;
    j.legs = {{0, 7, TravelMode::Walk, 1, 1}};
    QImage image = c.blank();
    JourneyPainter::paint(image, c.view, c.places, j);
    EXPECT_EQ(image, c.blank());
}

} // namespace

namespace {

TEST(JourneyPainter, ShortLegsNumberBesideThemClearOfThePlacesHints)
{
    // A place's hint opens 10 pixels right of and 5 below it: a short leg's number disc
    // must keep out of both places' hints, on any heading.
    const auto clearOfHint = [](const QRectF& disc, QPoint place) {
        return disc.right() < place.x() + 10 || disc.bottom() < place.y() + 5;
    };
    const QPoint from(300, 300);
    for (int degrees = 0; degrees < 360; degrees += 15)
        for (const int length : {0, 12, 40, 100, 150}) {
            const double r = degrees * M_PI / 180;
            const QPoint to
                = from + QPoint(int(std::lround(length * std::cos(r))), int(std::lround(length * std::sin(r))));
            const JourneyLayer::Segment leg{from, to, TravelMode::Walk};
            const QPointF at = JourneyPainter::numberAt(leg);
            const qreal d = JourneyPainter::DiscRadius + 1; // the disc and its outline
            const QRectF disc(at.x() - d, at.y() - d, 2 * d, 2 * d);
            EXPECT_TRUE(clearOfHint(disc, from) && clearOfHint(disc, to)) << degrees << " degrees, " << length;
            // Beside the leg, not far from it, and its tiles know it is there.
            EXPECT_LE(QLineF(at, (QPointF(from) + QPointF(to)) / 2).length(), length / 2.0 + 2 * d);
            EXPECT_TRUE(JourneyPainter::reaches(leg, disc));
        }
    // A long leg has its number at its middle.
    const JourneyLayer::Segment along{{0, 0}, {400, 100}, TravelMode::Ship};
    EXPECT_EQ(JourneyPainter::numberAt(along), QPointF(200, 50));
}

} // namespace

namespace {

TEST(JourneyPainter, NumbersTheCurrentLegAndEveryLegWhoseDiscTouchesNoneChosen)
{
    // Far out, legs shorter than a disc: each leg's disc is chosen, or left out for one
    // chosen that it would touch; the chosen never touch; the current leg's is always
    // chosen. Nearer in, where no two discs touch, every leg is numbered.
    constexpr double Apart = 2 * JourneyPainter::DiscRadius + 2;
    const auto legs = [](std::initializer_list<QPoint> points) {
        std::vector<JourneyLayer::Segment> s;
        for (auto p = points.begin(); p + 1 != points.end(); ++p)
            s.push_back({p[0], p[1], TravelMode::Walk});
        return s;
    };
    const struct {
        const char* what;
        std::vector<JourneyLayer::Segment> segments;
        int numberedWithNone; // how many legs are numbered with no current leg
    } cases[] = {
        {"a walk of short steps", legs({{100, 100}, {106, 100}, {112, 103}, {118, 100}, {124, 100}, {130, 98}}), 2},
        {"steps along a line", legs({{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}, {50, 0}, {60, 0}, {70, 0}}), 4},
        {"there and back", legs({{300, 300}, {900, 300}, {300, 300}}), 1}, // one disc over the other
        {"long legs", legs({{0, 0}, {400, 0}, {400, 400}, {0, 400}, {0, 800}}), 4},
        {"short legs apart", legs({{0, 0}, {30, 0}, {60, 0}, {90, 0}}), 3},
    };
    for (const auto& c : cases) {
        const int count = int(c.segments.size());
        for (int current = -1; current < count; ++current) {
            SCOPED_TRACE(std::string(c.what) + ", current " + std::to_string(current));
            const std::vector<bool> shown = JourneyPainter::numbered(c.segments, current);
            ASSERT_EQ(shown.size(), c.segments.size());
            EXPECT_TRUE(current < 0 || shown[std::size_t(current)]);
            for (int k = 0; k < count; ++k) {
                const QPointF at = JourneyPainter::numberAt(c.segments[std::size_t(k)]);
                bool touches = false;
                for (int other = 0; other < count; ++other) {
                    const double d = QLineF(at, JourneyPainter::numberAt(c.segments[std::size_t(other)])).length();
                    if (other != k && shown[std::size_t(other)] && d < Apart) {
                        touches = true;
                        EXPECT_FALSE(shown[std::size_t(k)]) << "legs " << k << " and " << other << " numbered";
                    }
                }
                EXPECT_TRUE(shown[std::size_t(k)] || touches) << "leg " << k << " left out for nothing";
            }
            if (current < 0) {
                EXPECT_EQ(std::count(shown.begin(), shown.end(), true), c.numberedWithNone);
                EXPECT_TRUE(count == 0 || shown[0]); // the first leg's number comes first
            }
        }
    }
    EXPECT_TRUE(JourneyPainter::numbered({}, 0).empty());
}

} // namespace
