// SPDX-License-Identifier: MIT
// The journey planner on the sample world and on 100 000 places.
//
// A route between two places (A*, over place and arriving mode); goals: under 1 ms on the
// sample world, under 30 ms at 100 000 places. Floor, measured in the same run over the
// same graph: a plain breadth-first search from the same start until it meets the target
// (no costs, no modes, no heap).
// Building the graph at 100 000 places; goal: under 50 ms. Floor: building the spatial
// index the graph asks for its walks (which the world keeps anyway).
// A tour (nearest neighbour, then 2-opt and Or-opt within the budget) and its legs, as the
// window plans and shows it, of 300 stops on the sample world, goal under 200 ms, and of
// 100 stops at 100 000 places, goal under 1 s.
// Floor: one breadth-first search over the whole graph from each stop.
//
// The 100 000 places lie at random over the map's rectangle, each with a skarnel to a
// near place, every 40th with a ship to a far one and every 150th with a guild jump.
#include "benchsupport.h"
#include "journey/journeysession.h"
#include "journey/routeplanner.h"
#include "journey/tourplanner.h"
#include "journey/travelgraph.h"
#include "map/spatialindex.h"
#include "map/viewport.h"
#include "world/world.h"
#include "worldgen/worldgen.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

using namespace vdm;

struct Setting {
    LocationList places;
    SpatialIndex index;
    TravelGraph graph;
    std::vector<std::pair<int, int>> pairs;
};

void choosePairs(Setting& s)
{
    std::mt19937 rng(26);
    std::uniform_int_distribution<int> any(0, s.graph.size() - 1);
    for (int k = 0; k < 64; ++k)
        s.pairs.push_back({any(rng), any(rng)});
}

Setting& sample()
{
    static Setting s = [] {
        QTemporaryDir dir;
        worldgen::Options options;
        options.pictures = false;
        options.readmes = false;
        worldgen::generate(dir.path(), options);
        World world(dir.path());
        world.LoadDatabases();
        Setting out;
        out.places = world.locations();
        out.index = SpatialIndex(out.places, {});
        out.graph = TravelGraph(out.places, out.index);
        choosePairs(out);
        return out;
    }();
    return s;
}

LocationList manyPlaces(int count)
{
    std::mt19937 rng(100000);
    std::uniform_int_distribution<int> x(Viewport::MapLeft, Viewport::MapRight),
        y(Viewport::MapBottom, Viewport::MapTop);
    std::uniform_int_distribution<int> any(0, count - 1), step(-300, 300);
    LocationList list(static_cast<std::size_t>(count));
    for (Location& l : list) {
        l.X = x(rng);
        l.Y = y(rng);
    }
    // Sorting by x makes "a near index" a near place for the skarnels.
    std::sort(list.begin(), list.end(), [](const Location& a, const Location& b) { return a.X < b.X; });
    for (int i = 0; i < count; ++i) {
        Location& l = list[static_cast<std::size_t>(i)];
        l.Routes.push_back({std::clamp(i + step(rng), 0, count - 1), Skarnel});
        if (i % 40 == 0)
            l.Routes.push_back({any(rng), Ship});
        if (i % 150 == 0)
            l.Routes.push_back({any(rng), MagesGuild});
    }
    return list;
}

Setting& large()
{
    static Setting s = [] {
        Setting out;
        out.places = manyPlaces(100000);
        out.index = SpatialIndex(out.places, {});
        out.graph = TravelGraph(out.places, out.index);
        choosePairs(out);
        return out;
    }();
    return s;
}

/**
 * Plain breadth-first search from place `from` until place `to` is met (-1: the whole
 * graph); returns places met. It runs over the graph's nodes as the planner does.
 */
int breadthFirst(const TravelGraph& g, int fromPlace, int toPlace)
{
    const int from = g.node(fromPlace), to = toPlace < 0 ? -1 : g.node(toPlace);
    std::vector<char> seen(std::size_t(g.size()), 0);
    std::vector<int> queue{from};
    queue.reserve(std::size_t(g.size()));
    seen[std::size_t(from)] = 1;
    for (std::size_t at = 0; at < queue.size(); ++at) {
        const int p = queue[at];
        if (p == to)
            break;
        for (auto e = g.edgesBegin(p); e != g.edgesEnd(p); ++e)
            if (!seen[std::size_t(e->target)]) {
                seen[std::size_t(e->target)] = 1;
                queue.push_back(e->target);
            }
    }
    return int(queue.size());
}

void runRoutes(benchmark::State& state, Setting& s)
{
    const TravelSettings settings;
    std::size_t k = 0, legs = 0;
    for (auto _ : state) {
        const auto& [from, to] = s.pairs[k++ % s.pairs.size()];
        const Journey j = planJourney(s.graph, settings, from, to);
        legs += j.legs.size();
        benchmark::DoNotOptimize(j.legs.data());
    }
    state.counters["legs"] = benchmark::Counter(double(legs), benchmark::Counter::kAvgIterations);
}

void runBreadthFirst(benchmark::State& state, Setting& s)
{
    std::size_t k = 0;
    for (auto _ : state) {
        const auto& [from, to] = s.pairs[k++ % s.pairs.size()];
        benchmark::DoNotOptimize(breadthFirst(s.graph, from, to));
    }
}

void BM_RouteSampleWorld(benchmark::State& state)
{
    runRoutes(state, sample());
}
void BM_RouteSampleWorldFloorBfs(benchmark::State& state)
{
    runBreadthFirst(state, sample());
}
void BM_Route100k(benchmark::State& state)
{
    runRoutes(state, large());
}
void BM_Route100kFloorBfs(benchmark::State& state)
{
    runBreadthFirst(state, large());
}

void BM_GraphBuild100k(benchmark::State& state)
{
    const Setting& s = large();
    for (auto _ : state) {
        const TravelGraph g(s.places, s.index);
        benchmark::DoNotOptimize(g.edgeCount());
    }
    state.counters["edges"] = double(s.graph.edgeCount());
}

void BM_GraphBuild100kFloorIndex(benchmark::State& state)
{
    const Setting& s = large();
    for (auto _ : state) {
        const SpatialIndex index(s.places, {});
        benchmark::DoNotOptimize(index.bytes());
    }
}

std::vector<int> someStops(const Setting& s, int count)
{
    std::mt19937 rng(300);
    std::vector<int> all(std::size_t(s.graph.size()));
    std::iota(all.begin(), all.end(), 0);
    std::shuffle(all.begin(), all.end(), rng);
    all.resize(std::size_t(count) + 1);
    return all; // the first is the start
}

void runTour(benchmark::State& state, Setting& s, int count)
{
    const std::vector<int> stops = someStops(s, count);
    const TravelSettings settings;
    for (auto _ : state) {
        const Tour tour(s.graph, settings, stops[0], {stops.begin() + 1, stops.end()});
        const Journey legs = tourJourney(s.graph, settings, tour); // what the window shows
        benchmark::DoNotOptimize(legs.legs.data());
    }
}

void runTourFloor(benchmark::State& state, Setting& s, int count)
{
    const std::vector<int> stops = someStops(s, count);
    for (auto _ : state)
        for (int p : stops)
            benchmark::DoNotOptimize(breadthFirst(s.graph, p, -1));
}

void BM_Tour300SampleWorld(benchmark::State& state)
{
    runTour(state, sample(), 300);
}
void BM_Tour300SampleWorldFloorBfs(benchmark::State& state)
{
    runTourFloor(state, sample(), 300);
}
void BM_Tour100At100k(benchmark::State& state)
{
    runTour(state, large(), 100);
}
void BM_Tour100At100kFloorBfs(benchmark::State& state)
{
    runTourFloor(state, large(), 100);
}

BENCHMARK(BM_RouteSampleWorld)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RouteSampleWorldFloorBfs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Route100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Route100kFloorBfs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphBuild100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GraphBuild100kFloorIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tour300SampleWorld)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tour300SampleWorldFloorBfs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tour100At100k)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Tour100At100kFloorBfs)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    return vdm::bench::runBenchmarks(argc, argv);
}
