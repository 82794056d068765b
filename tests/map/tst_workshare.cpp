// SPDX-License-Identifier: MIT
// The second core's share of a paint: every part runs once, on whichever thread is free,
// and a paint that shares its drawing gives the pixels of one drawn alone.
#include "map/crowdworld.h"
#include "map/mappainter.h"
#include "map/workshare.h"
#include "common/testutils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using namespace vdm;
using namespace vdm::test;

TEST(WorkShare, RunsEveryPartExactlyOnceWithOrWithoutTheHelper)
{
    for (const bool helper : {true, false}) {
        WorkShare share(helper);
        EXPECT_EQ(share.helps(), helper && std::thread::hardware_concurrency() >= 2);
        for (const int count : {0, 1, 2, 3, 17, 1000}) {
            std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
            share.run(count, [&](int i) { runs[size_t(i)].fetch_add(1); });
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(runs[size_t(i)].load(), 1) << "helper " << helper << " count " << count << " part " << i;
        }
    }
}

TEST(WorkShare, TheCallersOwnWorkRunsOnceBesideTheParts)
{
    // The caller's own work runs once, with or without a helper and with no parts at
    // all, and the parts still each run once.
    for (const bool helper : {true, false}) {
        WorkShare share(helper);
        for (const int count : {0, 1, 2, 17}) {
            std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
            int own = 0;
            share.runBeside(
                count, [&](int i) { runs[size_t(i)].fetch_add(1); }, [&] { ++own; });
            EXPECT_EQ(own, 1) << "helper " << helper << " count " << count;
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(runs[size_t(i)].load(), 1) << "helper " << helper << " count " << count << " part " << i;
        }
    }
}

TEST(WorkShare, JobsInARowNeverRunAPartOfAnEndedJob)
{
    // A helper that wakes after its job ended must claim nothing of it, nor of the next:
    // each job writes its own number, and every part must hold its job's number after it.
    WorkShare share;
    std::vector<int> parts(8, -1);
    for (int job = 0; job < 5000; ++job) {
        const int count = 1 + job % 8;
        share.run(count, [&, job](int i) { parts[size_t(i)] = job; });
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(parts[size_t(i)], job) << "part " << i;
    }
}

namespace {

/**
 * Complements every pixel it is laid on, from either thread once prepared: it writes
 * through the pixels it took when prepared, as a layer shared between threads must (a
 * QImage's bits() may copy the image, so two threads must not call it).
 */
struct SharedComplementLayer final : MapTopLayer {
    Readiness prepare(QImage& image, const QRect& area) override
    {
        Q_UNUSED(area);
        bits = image.bits();
        return Readiness::AnyThread;
    }
    void layOver(QImage& image, const QRect& area) override
    {
        ASSERT_EQ(image.constBits(), bits);
        const QRect in = area & image.rect();
        for (int y = in.top(); y <= in.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(bits + y * image.bytesPerLine());
            for (int x = in.left(); x <= in.right(); ++x)
                line[x] ^= 0x00FFFFFFu;
        }
        laid.fetch_add(std::int64_t(in.width()) * in.height());
    }
    uchar* bits = nullptr;
    std::atomic<std::int64_t> laid{0};
};

} // namespace

TEST(WorkShare, ACrowdedPaintDrawnWithTheSecondCoreEqualsOneDrawnAlone)
{
    // With a layer over the map too, laid band by band from both threads.
    const Crowd& w = bigCrowd();
    Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    MapPainter shared, alone;
    shared.useSecondCore(true);
    alone.useSecondCore(false);
    ASSERT_FALSE(alone.usesSecondCore());
    // Big enough that the picture and the drawing over it are shared (where the machine
    // has a second core), at both ratios, at every level, smooth and pixel mode.
    for (const qreal ratio : {1.0, 2.0}) {
        for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
            const Viewport base = Viewport::showing(w.picture.size(), 2, QSize(900, 620), zoom);
            const Viewport v = Viewport::showing(w.picture.size(), 2, QSize(900, 620), zoom, base.scrollMaximum() / 3);
            GoHighlight h1, h2;
            MapScene a{v, w.picture, w.locations, w.markers, s, o, h1, &w.index};
            MapScene b{v, w.picture, w.locations, w.markers, s, o, h2, &w.index};
            const QImage map = alone.paint(b, ratio);
            ASSERT_TRUE(shared.paint(a, ratio) == map) << "zoom " << zoom << " ratio " << ratio;
            SharedComplementLayer layer;
            a.top = &layer;
            const QImage layered = shared.paint(a, ratio);
            EXPECT_EQ(layer.laid.load(), std::int64_t(map.width()) * map.height()) << "zoom " << zoom;
            QImage want = map;
            want.invertPixels();
            ASSERT_TRUE(layered == want) << "zoom " << zoom << " ratio " << ratio;
        }
    }
}

TEST(WorkShare, ACrowdedPaintWhoseCacheMakesRoomAsItGoesEqualsOneDrawnAlone)
{
    // A crowded paint's route lines are found on the second core while this thread draws
    // the places; a cache too small for the view makes room as the places are drawn,
    // drawing what was gathered before, at the ratio 2 more than a shared drawing takes
    // (it must then draw alone: the second core is busy with the route lines). Each as a
    // painter without the helper paints it, with budgets from a few captions up.
    const Crowd& w = bigCrowd();
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    for (const std::int64_t budget : {std::int64_t(4096), std::int64_t(1) << 20, std::int64_t(4) << 20}) {
        for (const int zoom : {4, 5}) {
            const Viewport base = Viewport::showing(w.picture.size(), 2, QSize(900, 620), zoom);
            const Viewport v = Viewport::showing(w.picture.size(), 2, QSize(900, 620), zoom, base.scrollMaximum() / 2);
            GoHighlight h1, h2;
            const MapScene a{v, w.picture, w.locations, w.markers, s, o, h1, &w.index};
            const MapScene b{v, w.picture, w.locations, w.markers, s, o, h2, &w.index};
            MapPainter shared(budget), alone(budget);
            alone.useSecondCore(false);
            for (int round = 0; round < 2; ++round) // a first visit, then a warm paint
                ASSERT_TRUE(shared.paint(a, 2) == alone.paint(b, 2))
                    << "budget " << budget << " zoom " << zoom << " round " << round;
        }
    }
}

TEST(WorkShare, APictureDrawnBesideTheCaptionsGatheringEqualsOneDrawnAlone)
{
    // A first visit has the second core draw the picture while the calling thread
    // gathers the captions: with the large picture the shrinking levels make their
    // averaged copy of it in bands first (or find the one rendering ahead made); one of
    // dropped pixels they leave to the idle time after the paint and read the picture
    // itself meanwhile, as the levels that do not shrink it do; at both ratios, smoothed
    // from every level or from 100 %, each against a painter without the helper, then
    // painted again without the copy and once the idle time made it.
    const Crowd& w = bigCrowd();
    for (const int smoothFrom : {0, 5}) {
        Settings s = everyOverlay();
        s.ZoomLevelAA = smoothFrom;
        const DrawingObjects o = DrawingObjects::fromSettings(s);
        for (const qreal ratio : {1.0, 2.0}) {
            for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
                const Viewport base = Viewport::showing(w.picture.size(), 10, QSize(700, 500), zoom);
                const Viewport v
                    = Viewport::showing(w.picture.size(), 10, QSize(700, 500), zoom, base.scrollMaximum() / 2);
                GoHighlight h1, h2, h3;
                const MapScene shared{v, w.picture, w.locations, w.markers, s, o, h1, &w.index};
                const MapScene ahead{v, w.picture, w.locations, w.markers, s, o, h2, &w.index};
                const MapScene alone{v, w.picture, w.locations, w.markers, s, o, h3, &w.index};
                MapPainter cold, warmed, single, later;
                single.useSecondCore(false);
                const QImage want = single.paint(alone, ratio);
                const auto idle = [&](MapPainter& p, const MapScene& scene) {
                    p.renderCaptionsAhead(scene, ratio, std::chrono::steady_clock::now() + std::chrono::minutes(1));
                };
                const std::string what = "zoom " + std::to_string(zoom) + " ratio " + std::to_string(ratio)
                                         + " smooth from " + std::to_string(smoothFrom);
                ASSERT_TRUE(cold.paint(shared, ratio) == want) << what;
                // Dropped pixels at a shrinking level: no copy yet, its bytes come with the idle time.
                const double k = Viewport::factorOf(zoom) / 10 * ratio;
                const qint64 copyBytes
                    = qint64(std::lround(w.picture.width() * k)) * std::lround(w.picture.height() * k) * 4;
                const bool skips = k < 1 && zoom < smoothFrom;
                const qint64 before = cold.cacheBytes();
                idle(cold, shared);
                EXPECT_EQ(cold.cacheBytes() - before >= copyBytes, skips) << what;
                ASSERT_TRUE(cold.paint(shared, ratio) == want) << "after the idle time, " << what;
                // Painted again before any idle time: the copy made then.
                ASSERT_TRUE(later.paint(shared, ratio) == want) << what;
                ASSERT_TRUE(later.paint(shared, ratio) == want) << "again, " << what;
                // A zoom step away and back before any idle time: the level's second first
                // visit makes its copy, as every one did before.
                if (zoom > 0) {
                    MapPainter stepping;
                    GoHighlight h4;
                    const Viewport below = Viewport::showing(w.picture.size(), 10, QSize(700, 500), zoom - 1);
                    ASSERT_TRUE(stepping.paint(shared, ratio) == want) << what;
                    stepping.paint(MapScene{below, w.picture, w.locations, w.markers, s, o, h4, &w.index}, ratio);
                    const qint64 away = stepping.cacheBytes();
                    ASSERT_TRUE(stepping.paint(shared, ratio) == want) << "back, " << what;
                    EXPECT_EQ(stepping.cacheBytes() - away >= copyBytes, skips) << "back, " << what;
                }
                // The copy made ahead, the captions too: the paint draws the picture beside
                // finding them.
                idle(warmed, ahead);
                ASSERT_TRUE(warmed.paint(ahead, ratio) == want) << "ahead, " << what;
            }
        }
    }
}

TEST(WorkShare, CaptionsRenderedWhileTheyAreGatheredEqualThoseOfOneThread)
{
    // A crowded first visit has the second core render the captions the gathering finds
    // while it goes on, then both render the rest: for every caption font, at both ratios,
    // with names and marker names cut short, for a painter that has painted nothing and
    // for one that painted the level below (its glyphs and pairs learned), and for a view
    // of too few captions to hand over. Each against a painter without the helper.
    const Crowd& w = bigCrowd();
    struct Case {
        int font, zoom;
        QSize panel;
        int textLength, markerLength;
        bool stepped;
    };
    std::vector<Case> cases;
    const QList<QFont> fonts = captionTestFonts();
    for (int f = 0; f < int(fonts.size()); ++f)
        cases.push_back({f, 5, QSize(900, 620), 0, 0, false});
    cases.push_back({0, 4, QSize(900, 620), 7, 5, false});
    cases.push_back({1, 5, QSize(900, 620), 0, 0, true});
    cases.push_back({0, 5, QSize(160, 120), 0, 0, false});
    for (const Case& c : cases) {
        for (const qreal ratio : {1.0, 2.0}) {
            Settings s = everyOverlay();
            s.TextLength = c.textLength;
            s.MarkerLength = c.markerLength;
            DrawingObjects o = DrawingObjects::fromSettings(s);
            o.MapFont = fonts[c.font];
            const auto view = [&](int zoom) {
                const Viewport base = Viewport::showing(w.picture.size(), 2, c.panel, zoom);
                return Viewport::showing(w.picture.size(), 2, c.panel, zoom, base.scrollMaximum() / 2);
            };
            MapPainter shared, alone;
            alone.useSecondCore(false);
            if (c.stepped) {
                const Viewport below = view(c.zoom - 1);
                GoHighlight h1, h2;
                shared.paint(MapScene{below, w.picture, w.locations, w.markers, s, o, h1, &w.index}, ratio);
                alone.paint(MapScene{below, w.picture, w.locations, w.markers, s, o, h2, &w.index}, ratio);
            }
            const Viewport v = view(c.zoom);
            GoHighlight h1, h2;
            const QImage want = alone.paint(MapScene{v, w.picture, w.locations, w.markers, s, o, h2, &w.index}, ratio);
            ASSERT_TRUE(shared.paint(MapScene{v, w.picture, w.locations, w.markers, s, o, h1, &w.index}, ratio) == want)
                << "font " << c.font << " zoom " << c.zoom << " panel " << c.panel.width() << " ratio " << ratio
                << (c.stepped ? " after the level below" : "");
        }
    }
}
