// SPDX-License-Identifier: MIT
#include "journey/routeplanner.h"
#include "journey/travelgraph.h"
#include "map/spatialindex.h"
#include "randomworld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vdm;

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

/**
 * The quickest times from place `start` to each place by brute force: Floyd-Warshall over
 * (node, how it was reached), the change penalty on every pair of consecutive legs of
 * different modes.
 */
std::vector<double> bruteForceCosts(const TravelGraph& g, const TravelSettings& s, int start)
{
    const int n = g.size(), states = n * 5; // state = node * 5 + arrival mode (4: the start)
    std::vector<std::vector<double>> d(std::size_t(states), std::vector<double>(std::size_t(states), Inf));
    for (int st = 0; st < states; ++st)
        d[std::size_t(st)][std::size_t(st)] = 0;
    for (int u = 0; u < n; ++u)
        for (int in = 0; in < 5; ++in)
            for (auto e = g.edgesBegin(u); e != g.edgesEnd(u); ++e) {
                if (!s.allows(e->mode))
                    continue;
                const double c
                    = s.legCost(e->mode, e->distance) + (in != 4 && in != int(e->mode) ? s.changePenalty : 0);
                double& slot = d[std::size_t(u * 5 + in)][std::size_t(e->target * 5 + int(e->mode))];
                slot = std::min(slot, c);
            }
    for (int k = 0; k < states; ++k)
        for (int i = 0; i < states; ++i)
            if (d[std::size_t(i)][std::size_t(k)] < Inf)
                for (int j = 0; j < states; ++j)
                    d[std::size_t(i)][std::size_t(j)]
                        = std::min(d[std::size_t(i)][std::size_t(j)],
                                   d[std::size_t(i)][std::size_t(k)] + d[std::size_t(k)][std::size_t(j)]);
    std::vector<double> best(std::size_t(n), Inf);
    const int from = g.node(start);
    for (int p = 0; p < n; ++p)
        for (int in = 0; in < 5; ++in)
            best[std::size_t(p)]
                = std::min(best[std::size_t(p)], d[std::size_t(from * 5 + 4)][std::size_t(g.node(p) * 5 + in)]);
    return best;
}

/** Whether place `from` has an edge of `mode` to place `to`. */
bool hasEdge(const TravelGraph& g, int from, int to, TravelMode mode)
{
    for (auto e = g.edgesBegin(g.node(from)); e != g.edgesEnd(g.node(from)); ++e)
        if (e->target == g.node(to) && e->mode == mode)
            return true;
    return false;
}

/** Checks that the legs form a chain over allowed edges and that their costs add up as the rules say. */
void expectSoundLegs(const TravelGraph& g, const TravelSettings& s, const Journey& j)
{
    int at = j.start;
    double total = 0;
    for (std::size_t k = 0; k < j.legs.size(); ++k) {
        const JourneyLeg& leg = j.legs[k];
        ASSERT_EQ(leg.from, at);
        ASSERT_TRUE(hasEdge(g, leg.from, leg.to, leg.mode)) << leg.from << "->" << leg.to;
        ASSERT_TRUE(s.allows(leg.mode));
        const bool change = k > 0 && j.legs[k - 1].mode != leg.mode;
        EXPECT_NEAR(leg.cost, s.legCost(leg.mode, leg.distance) + (change ? s.changePenalty : 0), 1e-9);
        total += leg.cost;
        at = leg.to;
    }
    EXPECT_EQ(at, j.end);
    EXPECT_NEAR(j.totals().cost, total, 1e-9);
}

TEST(RoutePlanner, EqualsBruteForceOnRandomWorlds)
{
    std::mt19937 rng(26);
    int reachedCount = 0, fallbackCount = 0;
    for (int round = 0; round < 400; ++round) {
        const int count = 2 + int(rng() % 9);
        const LocationList places = test::randomPlaces(rng, count, 5000, 3);
        const SpatialIndex index(places, {});
        const TravelGraph graph(places, index, 500 + double(rng() % 2500));
        const TravelSettings settings = test::randomSettings(rng);
        const int start = int(rng() % unsigned(count)), target = int(rng() % unsigned(count));
        SCOPED_TRACE(testing::Message() << "round " << round);

        const std::vector<double> best = bruteForceCosts(graph, settings, start);
        const Journey j = planJourney(graph, settings, start, target);
        expectSoundLegs(graph, settings, j);
        if (std::isfinite(best[std::size_t(target)])) {
            ++reachedCount;
            ASSERT_TRUE(j.reached);
            EXPECT_NEAR(j.totals().cost, best[std::size_t(target)], 1e-9 * std::max(1.0, best[std::size_t(target)]));
        } else {
            ++fallbackCount;
            ASSERT_FALSE(j.reached);
            // The fallback: the reachable place nearest the target in a straight line.
            // Among places equally near, the lower index.
            const auto away = [&](int p) { return graph.distance(graph.node(p), graph.node(target)); };
            int nearest = -1;
            for (int p = 0; p < count; ++p)
                if (std::isfinite(best[std::size_t(p)]) && (nearest < 0 || away(p) < away(nearest)))
                    nearest = p;
            EXPECT_EQ(j.end, nearest);
            EXPECT_NEAR(j.totals().cost, best[std::size_t(nearest)], 1e-9 * std::max(1.0, best[std::size_t(nearest)]));
        }
    }
    // Both outcomes were tried many times.
    EXPECT_GT(reachedCount, 100);
    EXPECT_GT(fallbackCount, 30);
}

/** A world for hand-made cases: places on a line 1000 apart, far beyond walking unless `walk`. */
struct LineWorld {
    LocationList places;
    SpatialIndex index;
    TravelGraph graph;
    LineWorld(int count, double walkLeg, std::vector<std::tuple<int, int, std::uint8_t>> routes)
    {
        places.resize(std::size_t(count));
        for (int i = 0; i < count; ++i)
            places[std::size_t(i)].X = 1000 * i;
        for (const auto& [from, to, kind] : routes)
            places[std::size_t(from)].Routes.push_back({to, kind});
        index = SpatialIndex(places, {});
        graph = TravelGraph(places, index, walkLeg);
    }
};

TEST(RoutePlanner, FollowsRoutesOnlyInTheirDirection)
{
    const LineWorld w(3, 0, {{0, 1, Ship}, {1, 2, Skarnel}});
    const TravelSettings s;
    const Journey there = planJourney(w.graph, s, 0, 2);
    ASSERT_TRUE(there.reached);
    ASSERT_EQ(there.legs.size(), 2u);
    EXPECT_EQ(there.legs[0].mode, TravelMode::Ship);
    EXPECT_EQ(there.legs[1].mode, TravelMode::Skarnel);
    const Journey back = planJourney(w.graph, s, 2, 0);
    EXPECT_FALSE(back.reached);
    EXPECT_EQ(back.end, 2); // nothing else is reachable: the start itself
    EXPECT_TRUE(back.legs.empty());
}

TEST(RoutePlanner, NeverUsesADisabledMode)
{
    struct Case {
        const char* name;
        TravelMode off;
        bool reached;
        TravelMode expected;
    };
    // 0 -> 2 by guild directly, by ship via 1, or on foot.
    const LineWorld w(3, 1200, {{0, 2, MagesGuild}, {0, 1, Ship}, {1, 2, Ship}});
    for (const Case& c : {Case{"guild off: ship", TravelMode::Guild, true, TravelMode::Ship},
                          Case{"ship off: guild", TravelMode::Ship, true, TravelMode::Guild},
                          Case{"walk off: ship", TravelMode::Walk, true, TravelMode::Ship}}) {
        SCOPED_TRACE(c.name);
        TravelSettings s;
        s.guildJumpCost = 0.6;
        s.enabled[std::size_t(c.off)] = false;
        const Journey j = planJourney(w.graph, s, 0, 2);
        ASSERT_EQ(j.reached, c.reached);
        for (const JourneyLeg& leg : j.legs)
            EXPECT_NE(leg.mode, c.off);
        EXPECT_EQ(j.legs.front().mode, c.expected);
    }
    TravelSettings none;
    none.enabled = {false, false, false, false};
    EXPECT_FALSE(planJourney(w.graph, none, 0, 2).reached);
}

TEST(RoutePlanner, ChargesThePenaltyOncePerChange)
{
    // Ship 0->1->2 then skarnel 2->3: one change; the totals count it once.
    const LineWorld w(4, 0, {{0, 1, Ship}, {1, 2, Ship}, {2, 3, Skarnel}});
    TravelSettings s;
    s.changePenalty = 7;
    const Journey j = planJourney(w.graph, s, 0, 3);
    ASSERT_TRUE(j.reached);
    const JourneyTotals t = j.totals();
    EXPECT_EQ(t.changes, 1);
    EXPECT_EQ(t.legsBy[std::size_t(TravelMode::Ship)], 2);
    EXPECT_NEAR(t.cost, 2000 / s.shipSpeed + 1000 / s.skarnelSpeed + 7, 1e-12);
    EXPECT_NEAR(j.legs[2].cost, 1000 / s.skarnelSpeed + 7, 1e-12);

    // A large penalty makes staying on one network worth a detour.
    const LineWorld d(3, 1200, {{0, 2, Ship}});
    s.changePenalty = 100;
    const Journey walk = planJourney(d.graph, s, 1, 2);
    ASSERT_TRUE(walk.reached);
    EXPECT_EQ(walk.totals().changes, 0);
}

TEST(RoutePlanner, FallsBackToTheNearestReachablePlace)
{
    // 0..2 walk together; 3 and 4 are far; 4 lies nearer the unreachable target 5 than 2 does.
    LocationList places(6);
    const int xs[] = {0, 1000, 2000, 9000, 20000, 21000};
    for (int i = 0; i < 6; ++i)
        places[std::size_t(i)].X = xs[i];
    places[0].Routes.push_back({4, Ship});
    places[5].Routes.push_back({0, Ship}); // leads away from the target only
    const SpatialIndex index(places, {});
    const TravelGraph graph(places, index, 1100);
    const Journey j = planJourney(graph, TravelSettings{}, 1, 3);
    EXPECT_FALSE(j.reached);
    EXPECT_EQ(j.target, 3);
    EXPECT_EQ(j.end, 2); // 2 is 7000 from 3, the ship's landing 4 is 11000
    ASSERT_EQ(j.legs.size(), 1u);
    EXPECT_EQ(j.legs[0].to, 2);
}

TEST(RoutePlanner, ACancelledSearchReturnsNoLegs)
{
    const LineWorld w(3000, 1100, {});
    const std::atomic<bool> cancel{true};
    const Journey j = planJourney(w.graph, TravelSettings{}, 0, 2999, &cancel);
    EXPECT_TRUE(j.cancelled);
    EXPECT_TRUE(j.legs.empty());
    EXPECT_TRUE(planJourney(w.graph, TravelSettings{}, 0, 2999).reached);
}

TEST(RoutePlanner, BadPlacesGiveNoJourney)
{
    const LineWorld w(2, 1100, {});
    for (const auto& [from, to] : {std::pair{-1, 0}, std::pair{0, 2}, std::pair{5, 1}}) {
        const Journey j = planJourney(w.graph, TravelSettings{}, from, to);
        EXPECT_FALSE(j.reached);
        EXPECT_TRUE(j.legs.empty());
    }
}

} // namespace
