// SPDX-License-Identifier: MIT
// The second core's share of a paint: every part runs once, on whichever thread is free,
// and a paint that shares its drawing gives the pixels of one drawn alone.
#include "map/crowdworld.h"
#include "map/mappainter.h"
#include "map/workshare.h"

#include <gtest/gtest.h>

#include <atomic>
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

TEST(WorkShare, ACrowdedPaintDrawnWithTheSecondCoreEqualsOneDrawnAlone)
{
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
            const MapScene a{v, w.picture, w.locations, w.markers, s, o, h1, &w.index};
            const MapScene b{v, w.picture, w.locations, w.markers, s, o, h2, &w.index};
            ASSERT_TRUE(shared.paint(a, ratio) == alone.paint(b, ratio)) << "zoom " << zoom << " ratio " << ratio;
        }
    }
}
