// SPDX-License-Identifier: MIT
#include "journey/travelgraph.h"
#include "map/spatialindex.h"
#include "randomworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <tuple>

using namespace vdm;

namespace {

TEST(TravelGraph, NetworkRoutesAreDirectedEdgesOfTheirMode)
{
    LocationList places(3);
    places[1].X = 50000;
    places[2].X = 90000;
    // Kinds 0 and 4 are no network; a route to itself or to no place is no edge.
    places[0].Routes = {{1, Skarnel}, {2, Ship}, {1, 0}, {2, 4}, {0, MagesGuild}, {7, Ship}};
    places[2].Routes = {{1, MagesGuild}};
    const SpatialIndex index(places, {});
    const TravelGraph g(places, index);
    ASSERT_EQ(g.edgeCount(), 3u);
    const auto e0 = g.edgesBegin(g.node(0));
    EXPECT_EQ(g.edgesEnd(g.node(0)) - e0, 2);
    EXPECT_EQ(e0[0].target, g.node(1));
    EXPECT_EQ(e0[0].mode, TravelMode::Skarnel);
    EXPECT_EQ(e0[1].mode, TravelMode::Ship);
    EXPECT_EQ(e0[1].target, g.node(2));
    EXPECT_DOUBLE_EQ(e0[1].distance, 90000);
    EXPECT_EQ(g.edgesEnd(g.node(1)) - g.edgesBegin(g.node(1)), 0);
    EXPECT_EQ(g.edgesBegin(g.node(2))->mode, TravelMode::Guild);
    EXPECT_EQ(g.edgesBegin(g.node(2))->target, g.node(1));
    EXPECT_EQ(g.guildArrivals(), std::vector<std::int32_t>{g.node(1)});
}

TEST(TravelGraph, WalksJoinNearNeighboursBothWaysWithinTheLongestLeg)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const LocationList places = test::randomPlaces(rng, 60, 20000, 0);
        const SpatialIndex index(places, {});
        const double leg = 1000 + 100 * (round % 20);
        const TravelGraph g(places, index, leg);
        int walks = 0;
        for (int u = 0; u < g.size(); ++u)
            for (auto e = g.edgesBegin(u); e != g.edgesEnd(u); ++e) {
                ASSERT_EQ(e->mode, TravelMode::Walk);
                EXPECT_LE(e->distance, leg);
                // Every walk goes both ways.
                bool back = false;
                for (auto f = g.edgesBegin(e->target); f != g.edgesEnd(e->target); ++f)
                    back = back || f->target == u;
                EXPECT_TRUE(back);
                ++walks;
            }
        // A place with a neighbour in reach walks at least to its nearest one.
        for (int u = 0; u < g.size(); ++u) {
            int nearest = -1;
            for (int v = 0; v < g.size(); ++v)
                if (v != u && g.distance(u, v) <= leg && (nearest < 0 || g.distance(u, v) < g.distance(u, nearest)))
                    nearest = v;
            if (nearest < 0)
                continue;
            bool walksThere = false;
            for (auto e = g.edgesBegin(u); e != g.edgesEnd(u); ++e)
                walksThere = walksThere || g.distance(u, e->target) == g.distance(u, nearest);
            EXPECT_TRUE(walksThere) << u;
        }
        EXPECT_LE(walks, 2 * TravelGraph::WalkNeighbours * g.size());
    }
}

/** The WalkNeighbours nearest places of `u` within `leg`, the lower index among equals. */
std::vector<int> nearestByHand(const LocationList& places, int u, double leg)
{
    std::vector<std::pair<std::int64_t, int>> all;
    for (int v = 0; v < int(places.size()); ++v) {
        const std::int64_t dx = places[std::size_t(v)].X - places[std::size_t(u)].X;
        const std::int64_t dy = places[std::size_t(v)].Y - places[std::size_t(u)].Y;
        if (v != u && dx * dx + dy * dy <= std::int64_t(std::floor(leg * leg)))
            all.push_back({dx * dx + dy * dy, v});
    }
    std::sort(all.begin(), all.end());
    std::vector<int> out;
    for (std::size_t k = 0; k < all.size() && k < std::size_t(TravelGraph::WalkNeighbours); ++k)
        out.push_back(all[k].second);
    return out;
}

TEST(TravelGraph, WalksAreExactlyTheNearestNeighboursJoinedBothWays)
{
    struct Shape {
        const char* name;
        int count, side, spread; // places in a square of `side`, a few far out at `spread`
        double leg;
    };
    const Shape shapes[] = {
        {"even", 300, 50000, 0, 6000},    {"dense", 400, 3000, 0, 12000},           {"stacked", 200, 40, 0, 12000},
        {"sparse", 50, 400000, 0, 12000}, {"outliers", 300, 30000, 2000000, 12000}, {"short legs", 300, 50000, 0, 900},
    };
    std::mt19937 rng(11);
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        LocationList places = test::randomPlaces(rng, shape.count, shape.side, 0);
        for (std::size_t k = 0; shape.spread > 0 && k < 5; ++k)
            places[k].X = (k % 2 ? -1 : 1) * shape.spread * int(k + 1) / 5;
        const SpatialIndex index(places, {});
        const TravelGraph g(places, index, shape.leg);
        std::vector<std::set<int>> expected(places.size());
        for (int u = 0; u < int(places.size()); ++u)
            for (const int v : nearestByHand(places, u, shape.leg)) {
                expected[std::size_t(u)].insert(v);
                expected[std::size_t(v)].insert(u);
            }
        for (int u = 0; u < g.size(); ++u) {
            std::set<int> walks;
            for (auto e = g.edgesBegin(g.node(u)); e != g.edgesEnd(g.node(u)); ++e)
                walks.insert(g.place(e->target));
            EXPECT_EQ(walks, expected[std::size_t(u)]) << "place " << u;
        }
    }
}

/** Each node's edges come ordered by mode, then target, each once. */
void expectOrderedOnce(const TravelGraph& g)
{
    for (int u = 0; u < g.size(); ++u)
        for (auto e = g.edgesBegin(u); e + 1 < g.edgesEnd(u); ++e)
            ASSERT_TRUE(std::tie(e->mode, e->target) < std::tie(e[1].mode, e[1].target)) << "node " << u;
}

TEST(TravelGraph, EdgesComeOrderedAndOnce)
{
    std::mt19937 rng(3);
    for (const int count : {1, 2, 7, 300}) {
        SCOPED_TRACE(count);
        LocationList places = test::randomPlaces(rng, count, 8000, 4);
        // The same route twice, and a walk both places find for each other.
        places[0].Routes.push_back({count - 1, Ship});
        places[0].Routes.push_back({count - 1, Ship});
        const SpatialIndex index(places, {});
        const TravelGraph g(places, index);
        expectOrderedOnce(g);
    }
}

TEST(TravelGraph, LargeWorldsWalkToTheirNearestAsSmallOnesDo)
{
    // Enough places for the walks to be searched on two threads.
    std::mt19937 rng(29);
    const LocationList places = test::randomPlaces(rng, 24000, 600000, 2);
    const SpatialIndex index(places, {});
    const TravelGraph g(places, index);
    expectOrderedOnce(g);
    const auto walksOf = [&](int u) {
        std::set<int> walks;
        for (auto e = g.edgesBegin(g.node(u)); e != g.edgesEnd(g.node(u)); ++e)
            if (e->mode == TravelMode::Walk)
                walks.insert(g.place(e->target));
        return walks;
    };
    std::uniform_int_distribution<int> any(0, g.size() - 1);
    for (int round = 0; round < 60; ++round) {
        const int u = any(rng);
        const std::set<int> walks = walksOf(u);
        // Its own nearest, and only places that have it among theirs besides.
        const std::vector<int> own = nearestByHand(places, u, TravelGraph::DefaultWalkLeg);
        for (const int v : own)
            EXPECT_EQ(walks.count(v), 1u) << u << " to " << v;
        for (const int v : walks) {
            if (std::find(own.begin(), own.end(), v) != own.end())
                continue;
            const std::vector<int> theirs = nearestByHand(places, v, TravelGraph::DefaultWalkLeg);
            EXPECT_NE(std::find(theirs.begin(), theirs.end(), u), theirs.end()) << u << " to " << v;
            EXPECT_EQ(walksOf(v).count(u), 1u);
        }
    }
}

TEST(TravelGraph, NodesFollowTheMapSoNeighboursLieTogether)
{
    // A lattice of 16 by 16 places listed in a shuffled order: the nodes run along a
    // curve through the lattice, each one step from the one before.
    constexpr int Side = 16, Step = 1000;
    std::vector<int> cells(Side * Side);
    std::iota(cells.begin(), cells.end(), 0);
    std::mt19937 rng(16);
    std::shuffle(cells.begin(), cells.end(), rng);
    LocationList places(cells.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        places[i].X = 5000 + Step * (cells[i] % Side);
        places[i].Y = -7000 + Step * (cells[i] / Side);
    }
    const SpatialIndex index(places, {});
    const TravelGraph g(places, index);
    std::set<int> seen;
    for (int p = 0; p < g.size(); ++p) {
        ASSERT_EQ(g.place(g.node(p)), p);
        seen.insert(g.node(p));
        EXPECT_EQ(g.x(g.node(p)), places[std::size_t(p)].X);
        EXPECT_EQ(g.y(g.node(p)), places[std::size_t(p)].Y);
    }
    EXPECT_EQ(seen.size(), places.size());
    for (int v = 1; v < g.size(); ++v)
        EXPECT_DOUBLE_EQ(g.distance(v - 1, v), Step) << "node " << v;

    // Places at one point keep the order of their indices.
    const LocationList same(3);
    const TravelGraph stacked(same, SpatialIndex(same, {}));
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(stacked.node(p), p);
}

TEST(TravelGraph, SettingsPriceEachMode)
{
    TravelSettings s;
    s.walkSpeed = 500;
    s.skarnelSpeed = 2000;
    s.shipSpeed = 4000;
    s.guildJumpCost = 3;
    EXPECT_DOUBLE_EQ(s.legCost(TravelMode::Walk, 1000), 2);
    EXPECT_DOUBLE_EQ(s.legCost(TravelMode::Skarnel, 1000), 0.5);
    EXPECT_DOUBLE_EQ(s.legCost(TravelMode::Ship, 1000), 0.25);
    EXPECT_DOUBLE_EQ(s.legCost(TravelMode::Guild, 1000000), 3);
    EXPECT_DOUBLE_EQ(s.fastestSpeed(), 4000);
    s.enabled[std::size_t(TravelMode::Ship)] = false;
    EXPECT_DOUBLE_EQ(s.fastestSpeed(), 2000);
    // A speed of zero would make a leg take for ever: that way is not taken at all.
    s.skarnelSpeed = 0;
    EXPECT_FALSE(s.allows(TravelMode::Skarnel));
    EXPECT_DOUBLE_EQ(s.fastestSpeed(), 500);
}

} // namespace
