// SPDX-License-Identifier: MIT
// The map canvas of a huge world paints the frames a zoom step away in its idle time: a
// zoom step shows one at once, pixel for pixel the whole paint of the view, and a frame
// painted before the scene changed is never shown.
#include "app/mapcanvas.h"
#include "common/testworld.h"
#include "map/highlight.h"
#include "map/placefilter.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <QRandomGenerator>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>

namespace vdm::test {
namespace {

/** Places all over the map on the first four levels, with every status and some routes. */
LocationList scattered(int count)
{
    QRandomGenerator random(77);
    LocationList places(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Location& l = places[std::size_t(i)];
        l.Name = "Place " + QByteArray::number(i);
        l.Level = random.bounded(4);
        l.X = random.bounded(Viewport::MapLeft, Viewport::MapRight);
        l.Y = random.bounded(Viewport::MapBottom, Viewport::MapTop);
        l.Status = 1 + random.bounded(3);
        if (i > 0 && i % 3 == 0)
            l.Routes.push_back(Route{i - 1, std::uint8_t(1 + i % 3)});
    }
    return places;
}

class CanvasAheadTest : public ::testing::Test {
protected:
    CanvasAheadTest() : world(files.dir(), scattered(4000), {})
    {
        world.LoadPicture();
        Settings s = session.settings();
        s.ShowText = s.ShowSkarnels = s.ShowShips = s.ShowMagesGuild = true;
        s.ShowActive = s.ShowVisited = s.ShowUnvisited = true;
        session.apply(s);
        canvas.treatAsHugeAbove(0); // the pixels are the same at any size; a small world is quick
        view = Viewport::showing(world.picture().size(), world.mapScale(), {400, 300}, 2);
        view.scrollTo(view.scrollMaximum() / 2);
    }

    QPoint centre() const { return {view.panel().width() / 2, view.panel().height() / 2}; }
    void zoom(int step) { view.zoomTo(view.zoomIndex() + step, centre()); }
    /** Lets the idle time pass until the frames a step in and out are painted. */
    void waitForFrames()
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !canvas.renderingAhead(); }, 5000));
        EXPECT_EQ(canvas.framesAhead(), int(view.zoomIndex() > 0) + int(view.zoomIndex() < Viewport::HighestZoom));
    }
    /** A place the view a step in shows (the first in file order). */
    int placeShownAfterAStepIn() const
    {
        Viewport in = view;
        in.zoomTo(view.zoomIndex() + 1, centre());
        const QRect panel(QPoint(0, 0), in.panel());
        for (std::size_t i = 0; i < world.locations().size(); ++i) {
            const Location& l = world.locations()[i];
            if (in.LevelVisible(l.Level) && panel.adjusted(5, 5, -5, -5).contains(in.mapToPanel(l.X, l.Y)))
                return int(i);
        }
        ADD_FAILURE() << "no place shows";
        return 0;
    }
    /** A new status for the first place the view a step in shows. */
    void editAStatus()
    {
        const int i = placeShownAfterAStepIn();
        world.setLocationStatus(i, world.locations()[std::size_t(i)].Status % 3 + 1);
    }
    /** Turns one of the settings' toggles over, as its button does. */
    void toggle(bool Settings::*shown)
    {
        Settings s = session.settings();
        s.*shown = !(s.*shown);
        session.apply(s);
    }
    /** A whole paint of the view as it is now, by a painter of its own, with `highlighted` as Go's place. */
    QImage whole(int highlighted = -1)
    {
        MapPainter painter;
        GoHighlight go;
        go.set(highlighted);
        return painter.paint(sceneNow(go), ratio);
    }
    /** Lets the idle time pass until the view shown in steps is whole, the panel showing each step. */
    bool shownWhole()
    {
        return QTest::qWaitFor(
            [&] {
                if (canvas.showingInSteps())
                    canvas.paint(ratio);
                return !canvas.showingInSteps();
            },
            10000);
    }
    /** The view's picture alone, as a paint lays it under everything else. */
    QImage pictureAlone()
    {
        MapPainter painter;
        GoHighlight none;
        QImage image;
        fitBackBuffer(image, view.panel(), ratio);
        painter.paintPicture(image, sceneNow(none), image.rect());
        return image;
    }
    MapScene sceneNow(GoHighlight& go)
    {
        return MapScene{view,
                        world.picture(),
                        world.locations(),
                        world.markers(),
                        session.settings(),
                        session.objects(),
                        go,
                        &world.index(),
                        filter};
    }

    TestWorld files;
    World world;
    SettingsSession session;
    Viewport view;
    GoHighlight highlight;
    const PlaceFilter* filter = nullptr;
    qreal ratio = 1;
    MapCanvas canvas{world, view, session, highlight};
};

TEST_F(CanvasAheadTest, AZoomStepShowsTheFramePaintedAheadAsAWholePaintWould)
{
    const struct {
        const char* what;
        qreal ratio;
        bool hidden; // each frame then painted at once, not a band a slice
    } cases[] = {{"ratio 1", 1, false}, {"ratio 2", 2, false}, {"overlapping captions hidden", 1, true}};
    for (const auto& c : cases) {
        Settings s = session.settings();
        s.HideOverlappingCaptions = c.hidden;
        session.apply(s);
        ratio = c.ratio;
        view.zoomTo(1, centre()); // the level where the picture moves with every scroll
        ASSERT_TRUE(canvas.paint(ratio));
        waitForFrames();
        for (const int step : {1, -1, -1, 1}) {
            zoom(step);
            ASSERT_TRUE(canvas.paint(ratio));
            EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Ahead) << c.what << ", step " << step;
            EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what << ", step " << step;
            waitForFrames();
        }
        // Steps before any idle time: the view just left where a step back returns to it
        // exactly, else a whole paint.
        for (const int step : {1, -1}) {
            zoom(step);
            ASSERT_TRUE(canvas.paint(ratio));
            EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what;
        }
        if (c.hidden)
            continue;           // a drag keeps the captions it shows: the choice follows the panel
        view.scrollBy({9, -9}); // a drag moves the frame shown as any paint
        ASSERT_TRUE(canvas.paint(ratio));
        EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Moved) << c.what;
        EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what;
    }
}

TEST_F(CanvasAheadTest, ItsFontLearnedWhileTheWorldLoadsChangesNoPixel)
{
    // As the window starts: the worker tells the places it read, the font is learned on a
    // thread of its own, and the first paint after that takes it. Every paint, the first
    // and the steps after it, is the whole paint of a painter that learned by itself.
    for (const qreal r : {1.0, 2.0}) {
        ratio = r;
        MapCanvas started{world, view, session, highlight};
        started.treatAsHugeAbove(0);
        const std::shared_ptr<FontAhead> learner
            = started.learnFontAhead(session.objects().MapFont, session.settings().TextLength, ratio);
        std::thread worker([&] { learner->learnFrom(world.locations()); });
        worker.join();
        ASSERT_TRUE(QTest::qWaitFor([&] { return started.fontLearnedAhead(); }, 10000));
        ASSERT_TRUE(started.paint(ratio));
        EXPECT_FALSE(started.fontLearnedAhead()); // taken
        EXPECT_TRUE(started.backBuffer() == whole()) << "ratio " << r;
        for (const int step : {1, 1, -1}) {
            zoom(step);
            ASSERT_TRUE(started.paint(ratio));
            ASSERT_FALSE(started.showingInSteps());
            EXPECT_TRUE(started.backBuffer() == whole()) << "ratio " << r << ", step " << step;
        }
        view.zoomTo(2, centre());
    }
}

TEST_F(CanvasAheadTest, TheFirstViewsCaptionsRenderedWhileTheWorldLoadsChangeNoPixel)
{
    // As the window starts a world whose views fit the caption cache: after the font, the
    // captions of the view to be shown first are rendered on the same thread, and the
    // first paint takes them. Where the view or the font changed before that paint, what
    // does not match goes unused. Every paint, the first and the steps after it, is the
    // whole paint of a painter of its own.
    const Viewport stored = view;
    const Settings before = session.settings();
    const struct {
        const char* what;
        std::function<void()> meanwhile;
    } cases[] = {
        {"the view as stored", [] {}},
        {"a step in", [&] { zoom(1); }},
        {"a smaller panel",
         [&] {
             view = Viewport::showing(world.picture().size(), world.mapScale(), {300, 200}, 2, stored.scroll());
         }},
        {"another font size",
         [&] {
             Settings s = session.settings();
             s.MapFontSize += 3;
             session.apply(s);
         }},
    };
    for (const qreal r : {1.0, 2.0}) {
        for (const auto& c : cases) {
            ratio = r;
            view = stored;
            session.apply(before);
            MapCanvas started{world, view, session, highlight};
            const std::shared_ptr<FontAhead> learner
                = started.learnFontAhead(session.objects().MapFont, session.settings().TextLength, ratio,
                                         FirstView{view.zoomIndex(), view.scroll(), view.panel()});
            std::thread worker([&] { learner->learnFrom(world.locations()); });
            worker.join();
            ASSERT_TRUE(QTest::qWaitFor([&] { return started.captionsRenderedAhead(); }, 20000)) << c.what;
            c.meanwhile();
            ASSERT_TRUE(started.paint(ratio));
            EXPECT_FALSE(started.captionsRenderedAhead()) << c.what; // taken
            EXPECT_TRUE(started.backBuffer() == whole()) << c.what << ", ratio " << r;
            for (const int step : {1, -1, -1}) {
                zoom(step);
                ASSERT_TRUE(started.paint(ratio));
                EXPECT_TRUE(started.backBuffer() == whole()) << c.what << ", ratio " << r << ", step " << step;
            }
        }
    }
    session.apply(before);
}

TEST_F(CanvasAheadTest, AFramePaintedBeforeTheSceneChangedIsNeverShown)
{
    PlaceFilter regions;
    regions.setKinds({QByteArrayLiteral("nothing of the kind")});
    const struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"a status edit", [&] { editAStatus(); }},
        {"a toggle", [&] { toggle(&Settings::ShowVisited); }},
        {"a filter",
         [&] {
             filter = filter ? nullptr : &regions;
             canvas.setPlaceFilter(filter);
         }},
        {"a resize",
         [&] {
             view.setPanel(view.panel() + QSize(20, -10));
             view.UpdateScrollRanges();
             view.UpdateMargins();
         }},
        {"another world",
         [&] {
             World next(files.dir(), scattered(3000), {});
             next.LoadPicture();
             world.replaceWith(std::move(next));
         }},
    };
    canvas.paint(1);
    for (const auto& c : cases) {
        waitForFrames();
        c.change();
        zoom(1);
        ASSERT_TRUE(canvas.paint(1)) << c.what;
        EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Whole) << c.what;
        EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what;
        // The frames follow the scene as it is now.
        waitForFrames();
        zoom(-1);
        ASSERT_TRUE(canvas.paint(1)) << c.what;
        EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Ahead) << c.what;
        EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what;
    }
}

TEST_F(CanvasAheadTest, AStatusEditRepaintsWhatItTouchesInTheFramesAhead)
{
    canvas.paint(1);
    waitForFrames();
    const int place = placeShownAfterAStepIn();
    world.setLocationStatus(place, world.locations()[std::size_t(place)].Status % 3 + 1);
    ASSERT_TRUE(canvas.paint(1)); // as the window paints a status edit at once
    EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Region);
    EXPECT_EQ(canvas.framesAhead(), 2);
    zoom(1);
    ASSERT_TRUE(canvas.paint(1));
    EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Ahead);
    EXPECT_TRUE(canvas.backBuffer() == whole());
}

TEST_F(CanvasAheadTest, AHugeWorldsWholePaintShowsItsPictureAtOnceThenItsBands)
{
    canvas.showInStepsAbove(0);
    int shown = 0;
    QObject::connect(&canvas, &MapCanvas::morePainted, [&] { ++shown; });
    // Go's place in the lower third of the view, below the first band.
    const auto placeLow = [&] {
        for (std::size_t i = 0; i < world.locations().size(); ++i) {
            const Location& l = world.locations()[i];
            const QPoint p = view.mapToPanel(l.X, l.Y);
            if (view.LevelVisible(l.Level) && p.y() > view.panel().height() * 2 / 3
                && p.y() < view.panel().height() - 10 && p.x() > 10 && p.x() < view.panel().width() - 10)
                return int(i);
        }
        ADD_FAILURE() << "no place in the lower half";
        return 0;
    };
    int go = -1;
    const struct {
        const char* what;
        qreal ratio;
        std::function<void()> change;
        bool go; // to a place highlighted, set again after the first paint as Go does
    } cases[] = {
        {"the first paint", 1, [] {}, false},
        {"a jump", 1, [&] { view.scrollTo(QPoint(0, 0)); }, false},
        {"a toggle", 1, [&] { toggle(&Settings::ShowSkarnels); }, false},
        {"a zoom step before the frames ahead", 1, [&] { zoom(1); }, false},
        {"a zoom step at the ratio 2", 2, [&] { zoom(-1); }, false},
        {"Go, to a place whose status is hidden", 1,
         [&] {
             zoom(1);
             Settings s = session.settings();
             s.ShowActive = s.ShowVisited = s.ShowUnvisited = false;
             session.apply(s);
             go = placeLow();
             highlight.set(go);
         },
         true},
    };
    for (const auto& c : cases) {
        ratio = c.ratio;
        c.change();
        const int highlighted = c.go ? go : -1;
        ASSERT_TRUE(canvas.paint(ratio)) << c.what;
        if (c.go)
            highlight.set(go);
        ASSERT_TRUE(canvas.showingInSteps()) << c.what;
        // Nothing of the scene is drawn yet: the picture alone shows, the last row too.
        const QImage picture = pictureAlone();
        const int last = picture.height() - 1;
        EXPECT_EQ(0, std::memcmp(canvas.backBuffer().constScanLine(last), picture.constScanLine(last),
                                 std::size_t(picture.bytesPerLine())))
            << c.what;
        shown = 0;
        ASSERT_TRUE(shownWhole()) << c.what;
        EXPECT_GE(shown, 1) << c.what << ": each step shown";
        EXPECT_TRUE(canvas.backBuffer() == whole(highlighted)) << c.what;
        if (c.go) {
            EXPECT_FALSE(whole(highlighted) == whole()) << c.what << ": the place shows for Go alone";
        }
        // Once whole it is any paint: the view again is the buffer as it is.
        ASSERT_TRUE(canvas.paint(ratio));
        EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Unchanged) << c.what;
    }
    // At the level where the picture moves with every scroll, a drag moves it.
    view.zoomTo(1, centre());
    ASSERT_TRUE(canvas.paint(ratio));
    ASSERT_TRUE(shownWhole());
    view.scrollBy({9, -9});
    ASSERT_TRUE(canvas.paint(ratio));
    EXPECT_EQ(canvas.lastKind(), ScrollReuse::Kind::Moved);
    EXPECT_TRUE(canvas.backBuffer() == whole());
}

TEST_F(CanvasAheadTest, AViewShownInStepsNeverShowsBandsOfTheSceneBefore)
{
    canvas.showInStepsAbove(0);
    const struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"a status edit", [&] { editAStatus(); }},
        {"a drag",
         [&] {
             view.scrollBy({40, 25});
         }},
        {"a toggle", [&] { toggle(&Settings::ShowVisited); }},
    };
    int far = 3;
    for (const auto& c : cases) {
        view.scrollTo(view.scrollMaximum() / far++); // a view not shown yet
        ASSERT_TRUE(canvas.paint(1));
        // The change comes before the bands are painted.
        ASSERT_TRUE(canvas.showingInSteps()) << c.what;
        c.change();
        ASSERT_TRUE(canvas.paint(1)) << c.what;
        EXPECT_TRUE(canvas.showingInSteps()) << c.what << ": a whole paint again, in steps";
        ASSERT_TRUE(shownWhole()) << c.what;
        EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what;
    }
    // An image of the panel takes the view whole at once.
    view.scrollTo(view.scrollMaximum());
    ASSERT_TRUE(canvas.paint(1));
    ASSERT_TRUE(canvas.finishShown());
    EXPECT_FALSE(canvas.showingInSteps());
    EXPECT_TRUE(canvas.backBuffer() == whole());
    EXPECT_FALSE(canvas.finishShown());
}

TEST_F(CanvasAheadTest, AViewShownInStepsStartsFromTheViewItScrollsFrom)
{
    // Where the picture follows a scroll only every few pixels, a drag step is a whole
    // paint; shown in steps, it starts from the places shown, moved with the scroll.
    canvas.showInStepsAbove(0);
    const struct {
        const char* what;
        qreal ratio;
        QPoint step;
    } cases[] = {{"ratio 1", 1, {7, 5}}, {"ratio 2", 2, {-5, 7}}};
    for (const auto& c : cases) {
        ratio = c.ratio;
        view.zoomTo(Viewport::HighestZoom, centre());
        view.scrollTo(view.scrollMaximum() / 2);
        ASSERT_TRUE(canvas.paint(ratio));
        ASSERT_TRUE(shownWhole()) << c.what;
        QImage expected = canvas.backBuffer();
        // Two steps, the second before any band of the first is painted.
        for (int step = 0; step < 2; ++step) {
            view.scrollBy(c.step);
            ASSERT_TRUE(canvas.paint(ratio)) << c.what;
            ASSERT_TRUE(canvas.showingInSteps()) << c.what << ": the picture does not follow this step";
            const QPoint shift = -c.step * int(ratio);
            const QImage picture = pictureAlone();
            ScrollReuse::moveImage(expected, shift);
            const QRect buffer = expected.rect();
            for (const QRect& strip : QRegion(buffer) - QRegion(buffer.translated(shift) & buffer))
                for (int y = strip.top(); y <= strip.bottom(); ++y)
                    std::memcpy(expected.scanLine(y) + strip.left() * 4, picture.constScanLine(y) + strip.left() * 4,
                                std::size_t(strip.width()) * 4);
            EXPECT_TRUE(canvas.backBuffer() == expected) << c.what << ", step " << step;
        }
        ASSERT_TRUE(shownWhole()) << c.what;
        EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what;
        // Another scene starts from its picture alone, as before.
        toggle(&Settings::ShowShips);
        view.scrollBy(c.step);
        ASSERT_TRUE(canvas.paint(ratio)) << c.what;
        ASSERT_TRUE(canvas.showingInSteps()) << c.what;
        EXPECT_TRUE(canvas.backBuffer() == pictureAlone()) << c.what;
        ASSERT_TRUE(shownWhole()) << c.what;
        EXPECT_TRUE(canvas.backBuffer() == whole()) << c.what;
    }
}

} // namespace
} // namespace vdm::test
