// SPDX-License-Identifier: MIT
#include "journey/routeplanner.h"
#include "journey/travelgraph.h"
#include "world/world.h"
#include "worldgen/terrain.h"
#include "worldgen/worldgen.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <numeric>

using namespace vdm;

namespace {

/** Union-find over places. */
struct Components {
    std::vector<int> parent;
    explicit Components(int n) : parent(std::size_t(n)) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int a) { return parent[std::size_t(a)] == a ? a : parent[std::size_t(a)] = find(parent[std::size_t(a)]); }
    void join(int a, int b) { parent[std::size_t(find(a))] = find(b); }
};

/** Labels the land masses of the terrain's grid (4-neighbour flood fill over cells above the sea). */
std::vector<int> landMasses(const worldgen::Terrain& terrain)
{
    const int w = worldgen::Terrain::GridWidth, h = worldgen::Terrain::GridHeight;
    std::vector<int> label(std::size_t(w * h), -1);
    int next = 0;
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (label[std::size_t(start)] >= 0 || terrain.heightAt(float(start % w), float(start / w)) <= 0)
            continue;
        label[std::size_t(start)] = next;
        stack.push_back(start);
        while (!stack.empty()) {
            const int c = stack.back();
            stack.pop_back();
            const int cx = c % w, cy = c / w;
            const int around[4][2] = {{cx - 1, cy}, {cx + 1, cy}, {cx, cy - 1}, {cx, cy + 1}};
            for (const auto& p : around) {
                if (p[0] < 0 || p[1] < 0 || p[0] >= w || p[1] >= h)
                    continue;
                const int n = p[1] * w + p[0];
                if (label[std::size_t(n)] < 0 && terrain.heightAt(float(p[0]), float(p[1])) > 0) {
                    label[std::size_t(n)] = next;
                    stack.push_back(n);
                }
            }
        }
        ++next;
    }
    return label;
}

struct Sample {
    QTemporaryDir dir;
    World world{dir.path()};
    Sample()
    {
        worldgen::Options options;
        options.pictures = false;
        options.readmes = false;
        worldgen::generate(dir.path(), options);
        world.LoadDatabases();
    }
};

TEST(SampleWorld, TheMainlandIsOneWalkAndItsIslandsAreNot)
{
    const Sample sample;
    const LocationList& places = sample.world.locations();
    ASSERT_GT(places.size(), 500u);
    const worldgen::Terrain terrain(worldgen::Options{}.seed);
    const std::vector<int> grid = landMasses(terrain);
    std::vector<int> mass(places.size());
    std::vector<int> perMass(grid.size(), 0);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const QPointF g = worldgen::Terrain::mapToGrid(places[i].X, places[i].Y);
        mass[i]
            = grid[std::size_t(std::lround(g.y())) * worldgen::Terrain::GridWidth + std::size_t(std::lround(g.x()))];
        ASSERT_GE(mass[i], 0) << places[i].Name.constData();
        ++perMass[std::size_t(mass[i])];
    }
    const int mainland = int(std::max_element(perMass.begin(), perMass.end()) - perMass.begin());
    ASSERT_LT(perMass[std::size_t(mainland)], int(places.size())); // there are islands with places

    const double leg = TravelGraph::DefaultWalkLeg;
    const TravelGraph graph(places, sample.world.index(), leg);
    // Over the places (the graph's nodes translated), as the land masses are.
    Components walks(graph.size());
    for (int u = 0; u < graph.size(); ++u)
        for (auto e = graph.edgesBegin(graph.node(u)); e != graph.edgesEnd(graph.node(u)); ++e)
            if (e->mode == TravelMode::Walk)
                walks.join(u, graph.place(e->target));
    int mainlandWalks = -1, split = 0;
    for (int u = 0; u < graph.size(); ++u)
        if (mass[std::size_t(u)] == mainland) {
            if (mainlandWalks < 0)
                mainlandWalks = walks.find(u);
            split += walks.find(u) != mainlandWalks;
        }
    EXPECT_EQ(split, 0);

    // Straight-line distance cannot tell a strait from a plain: an island whose shore lies
    // within a leg of another shore is walked to. Every other island stays apart on foot.
    int apart = 0;
    for (int m = 0; m < int(perMass.size()); ++m) {
        if (m == mainland || perMass[std::size_t(m)] == 0)
            continue;
        double nearestShore = 1e300;
        for (int u = 0; u < graph.size(); ++u)
            for (int v = 0; v < graph.size(); ++v)
                if (mass[std::size_t(u)] == m && mass[std::size_t(v)] != m)
                    nearestShore = std::min(nearestShore, graph.distance(graph.node(u), graph.node(v)));
        if (nearestShore <= leg)
            continue;
        ++apart;
        for (int u = 0; u < graph.size(); ++u)
            for (int v = 0; v < graph.size(); ++v)
                if (mass[std::size_t(u)] == m && mass[std::size_t(v)] != m) {
                    ASSERT_NE(walks.find(u), walks.find(v)) << "island " << m;
                }
    }
    EXPECT_GE(apart, 5); // most islands lie well out at sea

    // Every island is reached all the same: by ship or guild, from the mainland.
    TravelSettings settings;
    for (int u = 0; u < graph.size(); ++u)
        if (mass[std::size_t(u)] != mainland) {
            const Journey j = planJourney(graph, settings, mainlandWalks, u);
            EXPECT_TRUE(j.reached) << places[std::size_t(u)].Name.constData();
        }
}

} // namespace
