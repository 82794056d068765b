// SPDX-License-Identifier: MIT
#include "journey/routeplanner.h"
#include "journey/tourplanner.h"
#include "map/spatialindex.h"
#include "randomworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace vdm;

namespace {

using Table = std::vector<std::vector<double>>;

/** The quickest times between the start (first) and the stops, as a tour plans with them. */
Table costTable(const TravelGraph& g, const TravelSettings& s, const std::vector<int>& places)
{
    Table t(places.size(), std::vector<double>(places.size(), 0));
    for (std::size_t i = 0; i < places.size(); ++i) {
        const auto all = journeyCostsFrom(g, s, places[i]);
        for (std::size_t j = 0; j < places.size(); ++j)
            if (i != j)
                t[i][j]
                    = std::isfinite(all[std::size_t(places[j])]) ? all[std::size_t(places[j])] : TourOrder::Unreachable;
    }
    return t;
}

double exhaustiveOptimum(const Table& cost)
{
    std::vector<int> rest(cost.size() - 1);
    std::iota(rest.begin(), rest.end(), 1);
    double best = std::numeric_limits<double>::infinity();
    do {
        std::vector<int> order{0};
        order.insert(order.end(), rest.begin(), rest.end());
        best = std::min(best, TourOrder::length(cost, order));
    } while (std::next_permutation(rest.begin(), rest.end()));
    return best;
}

/** The factor within which the improved tour stays of the best one, on small worlds. */
constexpr double StatedFactor = 1.25;

TEST(TourPlanner, ImprovedToursBeatNearestNeighbourAndStayNearTheOptimum)
{
    std::mt19937 rng(2026);
    double worst = 1;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        // 9 places walking together (start and 8 stops), with a few network links.
        const LocationList places = test::randomPlaces(rng, 9, 6000, 1);
        const SpatialIndex index(places, {});
        const TravelGraph graph(places, index, 100000);
        TravelSettings s = test::randomSettings(rng);
        s.enabled[std::size_t(TravelMode::Walk)] = true;
        std::vector<int> all(9);
        std::iota(all.begin(), all.end(), 0);
        const Table cost = costTable(graph, s, all);

        const auto nn = TourOrder::nearestNeighbour(cost);
        const auto better = TourOrder::improve(cost, nn, std::chrono::seconds(5));
        ASSERT_EQ(better.front(), 0);
        auto sorted = better;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, all); // every stop once
        const double optimum = exhaustiveOptimum(cost);
        EXPECT_LE(TourOrder::length(cost, better), TourOrder::length(cost, nn) + 1e-9);
        EXPECT_LE(TourOrder::length(cost, better), StatedFactor * optimum + 1e-9);
        worst = std::max(worst, TourOrder::length(cost, better) / optimum);
    }
    RecordProperty("worst_ratio", std::to_string(worst));
}

TEST(TourPlanner, MovesArePricedForBothDirections)
{
    // One way round is cheap, the other dear: no reversal alone reaches the best order.
    const Table cost{{0, 1, 9, 9}, {9, 0, 1, 9}, {9, 9, 0, 1}, {9, 9, 9, 0}};
    const auto order = TourOrder::improve(cost, {0, 3, 2, 1}, std::chrono::seconds(1));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_DOUBLE_EQ(TourOrder::length(cost, order), 3);
}

TEST(TourPlanner, MarkingStopsVisitedKeepsTheOrder)
{
    std::mt19937 rng(5);
    LocationList places = test::randomPlaces(rng, 30, 8000, 1);
    const SpatialIndex index(places, {});
    const TravelGraph graph(places, index, 3000);
    std::vector<int> stops(29);
    std::iota(stops.begin(), stops.end(), 1);
    Tour tour(graph, TravelSettings{}, 0, stops);
    const std::vector<int> order = tour.stops();
    ASSERT_EQ(order.size(), 29u);
    EXPECT_EQ(tour.nextStop(), order.front());

    // Tick off every other stop, then the first one.
    for (std::size_t k = 1; k < order.size(); k += 2)
        places[std::size_t(order[k])].Status = Visited;
    EXPECT_TRUE(tour.updateDone(places));
    EXPECT_EQ(tour.stops(), order);
    EXPECT_FALSE(tour.done(0));
    EXPECT_TRUE(tour.done(1));
    places[std::size_t(order[0])].Status = Visited;
    tour.updateDone(places);
    EXPECT_EQ(tour.stops(), order);
    EXPECT_EQ(tour.nextStop(), order[2]);
    EXPECT_FALSE(tour.updateDone(places)); // nothing new

    for (int s : order)
        places[std::size_t(s)].Status = Visited;
    tour.updateDone(places);
    EXPECT_EQ(tour.nextStop(), -1);
}

TEST(TourPlanner, UnreachableStopsAreNamedAndLeftLast)
{
    // 0..2 walk together; 3 is out at sea with no link.
    LocationList places(4);
    for (int i = 0; i < 3; ++i)
        places[std::size_t(i)].X = 1000 * i;
    places[3].X = 90000;
    const SpatialIndex index(places, {});
    const TravelGraph graph(places, index, 1500);
    const Tour tour(graph, TravelSettings{}, 0, {3, 2, 1, 2, 0});
    EXPECT_EQ(tour.stops(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(tour.unreachable(), (std::vector<int>{3}));
    EXPECT_NEAR(tour.cost(), 2000 / TravelSettings{}.walkSpeed, 1e-12);
}

TEST(TourPlanner, ALargeWorldsTourSearchesNearStopsAndStaysExact)
{
    // Beyond the size where every time is searched for: each stop knows its nearest few.
    // The order is still the nearest neighbour's at worst, and every leg's time is the
    // quickest, as a whole table gives it.
    std::mt19937 rng(2626);
    const int count = Tour::WholeTablePlaces + 2000;
    LocationList places = test::randomPlaces(rng, count, 400000, 0);
    std::uniform_int_distribution<int> any(0, count - 1);
    for (int i = 0; i < count; i += 50)
        places[std::size_t(i)].Routes.push_back({any(rng), Ship});
    for (int i = 0; i < count; i += 400)
        places[std::size_t(i)].Routes.push_back({any(rng), MagesGuild});
    const SpatialIndex index(places, {});
    const TravelGraph graph(places, index);
    const TravelSettings settings;
    std::vector<int> chosen(static_cast<std::size_t>(count));
    std::iota(chosen.begin(), chosen.end(), 0);
    std::shuffle(chosen.begin(), chosen.end(), rng);
    chosen.resize(31);

    const Tour tour(graph, settings, chosen[0], {chosen.begin() + 1, chosen.end()});
    ASSERT_EQ(tour.stops().size(), 30u);
    std::vector<int> all{chosen[0]};
    all.insert(all.end(), tour.stops().begin(), tour.stops().end());
    const Table whole = costTable(graph, settings, all); // all[0] the start, then the stops in the tour's order
    std::vector<int> planned(all.size());
    std::iota(planned.begin(), planned.end(), 0);
    double exact = 0;
    for (std::size_t k = 1; k < planned.size(); ++k)
        if (whole[k - 1][k] < TourOrder::Unreachable)
            exact += whole[k - 1][k];
    EXPECT_NEAR(tour.cost(), exact, 1e-6 * exact);
    EXPECT_LE(TourOrder::length(whole, planned),
              TourOrder::length(whole, TourOrder::nearestNeighbour(whole)) * (1 + 1e-9));
}

TEST(TourPlanner, StopsAreWhatIsLeftOfTheChosenPlaces)
{
    LocationList places(6);
    const std::int32_t statuses[] = {Unvisited, Visited, Active, 0, Unvisited, Unvisited};
    for (std::size_t i = 0; i < places.size(); ++i) {
        places[i].Status = statuses[i];
        places[i].Region = i < 4 ? "North" : "South";
        places[i].Kind = i % 2 ? "town" : "shrine";
    }
    const std::vector<int> all{5, 4, 3, 2, 1, 0, 0, 9, -1};
    struct Case {
        const char* name;
        TourChoice choice;
        std::vector<int> expected;
    };
    for (const Case& c :
         {Case{"unvisited", {}, {0, 3, 4, 5}}, Case{"and active", {true, {}, {}}, {0, 2, 3, 4, 5}},
          Case{"one region", {false, "North", {}}, {0, 3}}, Case{"one kind", {false, {}, "town"}, {3, 5}},
          Case{"both", {true, "North", "shrine"}, {0, 2}}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tourStops(places, all, c.choice), c.expected);
    }
}

} // namespace
