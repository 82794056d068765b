// SPDX-License-Identifier: MIT
// The planner as a window uses it: one graph per world, requests answered at once or on
// a worker, a newer request cancelling an older one, and the places a tour chooses from.
#include "journey/journeysession.h"

#include "edit/locationsearch.h"
#include "map/viewport.h"
#include "world/world.h"
#include "worldgen/worldgen.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vdm;

namespace {

/** The sample world without its pictures, loaded once for the whole file. */
World& sample()
{
    static QTemporaryDir dir;
    static World world = [] {
        worldgen::Options options;
        options.pictures = false;
        options.readmes = false;
        worldgen::generate(dir.path(), options);
        World w(dir.path());
        w.LoadDatabases();
        return w;
    }();
    return world;
}

/** Waits (with a watchdog) until `spy` has seen `count` signals. */
bool waitFor(QSignalSpy& spy, int count)
{
    for (int round = 0; round < 100 && spy.count() < count; ++round)
        spy.wait(100);
    return spy.count() >= count;
}

struct Pair {
    int from, to;
};
const Pair Pairs[] = {{0, 1}, {3, 400}, {17, 611}, {250, 9}};

TEST(JourneySession, TheGraphIsBuiltOncePerWorldNotPerRequestOrStatus)
{
    World& world = sample();
    JourneySession session(world);
    EXPECT_EQ(session.graphBuilds(), 0); // nothing until asked
    session.planRoute(0, 1);
    session.planRoute(2, 3);
    TravelSettings walkOnly;
    walkOnly.enabled = {true, false, false, false};
    session.setSettings(walkOnly);
    session.planRoute(2, 3);
    const std::int32_t before = world.locations()[5].Status;
    world.setLocationStatus(5, Visited);
    session.planRoute(4, 5);
    world.setLocationStatus(5, before);
    EXPECT_EQ(session.graphBuilds(), 1);
    world.LoadDatabases(); // a fresh read of the same folder
    session.planRoute(4, 5);
    EXPECT_EQ(session.graphBuilds(), 2);
}

TEST(JourneySession, ASmallWorldIsAnsweredAtOnceAndAsPlannedDirectly)
{
    JourneySession session(sample());
    QSignalSpy planned(&session, &JourneySession::routePlanned);
    for (const Pair& p : Pairs) {
        session.planRoute(p.from, p.to);
        EXPECT_FALSE(session.busy());
        const Journey direct = planJourney(*session.graph(), session.settings(), p.from, p.to);
        EXPECT_EQ(session.journey().legs, direct.legs) << p.from << " to " << p.to;
        EXPECT_EQ(session.journey().end, direct.end);
    }
    EXPECT_EQ(planned.count(), int(std::size(Pairs)));
}

TEST(JourneySession, OnTheWorkerOnlyTheNewestRequestIsAnswered)
{
    JourneySession session(sample(), 0); // every request on the worker
    QSignalSpy planned(&session, &JourneySession::routePlanned);
    for (const Pair& p : Pairs)
        session.planRoute(p.from, p.to);
    ASSERT_TRUE(waitFor(planned, 1));
    QSignalSpy more(&session, &JourneySession::routePlanned);
    more.wait(200); // an older answer that was on its way would arrive now
    EXPECT_EQ(planned.count(), 1);
    EXPECT_EQ(more.count(), 0);
    EXPECT_FALSE(session.busy());
    const Pair last = Pairs[std::size(Pairs) - 1];
    EXPECT_EQ(session.journey().legs, planJourney(*session.graph(), session.settings(), last.from, last.to).legs);
}

TEST(JourneySession, ClearingCancelsWhatRunsAndForgetsTheJourney)
{
    JourneySession session(sample(), 0);
    QSignalSpy planned(&session, &JourneySession::routePlanned);
    session.planRoute(0, 611);
    session.clear();
    EXPECT_FALSE(session.busy());
    EXPECT_FALSE(planned.wait(300));
    EXPECT_TRUE(session.journey().legs.empty());
    {
        JourneySession leftRunning(sample(), 0);
        leftRunning.planTour(0, {10, 20, 30, 40}); // destroyed while it runs: no crash, no late call
    }
}

TEST(JourneySession, ATourIsTheRoutesFromStopToStopAndKeepsItsOrderAsStopsAreDone)
{
    World& world = sample();
    const std::vector<int> stops{40, 120, 7, 300, 512, 64};
    for (const int inlinePlaces : {JourneySession::InlinePlaces, 0}) {
        JourneySession session(world, inlinePlaces);
        QSignalSpy planned(&session, &JourneySession::tourPlanned);
        session.planTour(3, stops);
        ASSERT_TRUE(waitFor(planned, 1));
        ASSERT_TRUE(session.hasTour());
        const Tour& tour = session.tour();
        std::vector<int> sorted = tour.stops();
        std::sort(sorted.begin(), sorted.end());
        std::vector<int> expected = stops;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(sorted, expected);

        // The legs join up from the start, and every stop is where a leg ends, in the tour's order.
        const Journey& j = session.journey();
        int at = 3;
        std::size_t next = 0;
        for (const JourneyLeg& leg : j.legs) {
            EXPECT_EQ(leg.from, at);
            at = leg.to;
            if (next < tour.stops().size() && at == tour.stops()[next])
                ++next;
        }
        EXPECT_EQ(next, tour.stops().size());

        const std::vector<int> order = tour.stops();
        const std::int32_t before = world.locations()[std::size_t(order[1])].Status;
        world.setLocationStatus(order[1], Visited);
        EXPECT_TRUE(session.updateTourDone());
        EXPECT_EQ(session.tour().stops(), order);
        EXPECT_TRUE(session.tour().done(1));
        EXPECT_EQ(session.tour().nextStop(), order[0]);
        world.setLocationStatus(order[1], before);
        session.updateTourDone();
    }
}

TEST(TourPlaces, TheSetsATourChoosesFrom)
{
    const World& world = sample();
    const LocationList& places = world.locations();

    const std::vector<QByteArray> regions = TourPlaces::regions(world);
    ASSERT_GT(regions.size(), 1u);
    EXPECT_TRUE(std::is_sorted(regions.begin(), regions.end()));
    TourChoice oneRegion;
    oneRegion.region = regions.front();
    for (const int i : tourStops(places, TourPlaces::all(world), oneRegion)) {
        EXPECT_EQ(places[std::size_t(i)].Region, regions.front());
        EXPECT_NE(places[std::size_t(i)].Status, Visited);
    }
    EXPECT_FALSE(TourPlaces::kinds(world).empty());

    LocationSearch search;
    const QString name = QString::fromLatin1(places[10].Name);
    const std::vector<int> found = TourPlaces::ofQuery(world, search, name);
    EXPECT_NE(std::find(found.begin(), found.end(), 10), found.end());
    EXPECT_TRUE(TourPlaces::ofQuery(world, search, u"\u4e00").empty()); // no stored text can hold it

    // The high-resolution picture's view, deep in at its centre.
    const Viewport corner
        = Viewport::showing(QSize(3300, 3800), 10, QSize(400, 300), Viewport::LevelCount - 1, QPoint(1500, 1500));
    const std::vector<int> some = TourPlaces::inView(world, corner);
    EXPECT_FALSE(some.empty());
    EXPECT_LT(some.size(), places.size() / 2);
    for (const int i : some) {
        const QPoint at = corner.mapToPanel(places[std::size_t(i)].X, places[std::size_t(i)].Y);
        EXPECT_TRUE(QRect(QPoint(), corner.panel()).contains(at));
    }
}

} // namespace
