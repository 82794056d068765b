// SPDX-License-Identifier: MIT
#include "worldgen/routeplanner.h"

#include "worldgen/pointgrid.h"
#include "worldgen/random.h"
#include "worldgen/settlementplanner.h"
#include "worldgen/terrain.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace vdm::worldgen::RoutePlanner {
namespace {

using Link = std::pair<int, int>; // lower index first

double distance(const Place& a, const Place& b)
{
    return std::hypot(double(a.x - b.x), double(a.y - b.y));
}

/** Share of the straight line between two places, `margin` away from both ends, that crosses land. */
double landAlong(const Terrain& terrain, const Place& a, const Place& b, double margin)
{
    constexpr int Samples = 32;
    const double length = distance(a, b);
    int counted = 0, land = 0;
    for (int i = 1; i < Samples; ++i) {
        const double t = double(i) / Samples;
        if (t * length < margin || (1 - t) * length < margin)
            continue;
        ++counted;
        if (terrain.height(int(a.x + (b.x - a.x) * t), int(a.y + (b.y - a.y) * t)) > 0.0)
            ++land;
    }
    return counted ? double(land) / counted : 0.0;
}

/** Links each member to up to `partners` nearest other members within `reach` that `accept` allows. */
template <typename Accept>
std::set<Link> nearestLinks(const std::vector<Place>& places, const std::vector<int>& members, int partners,
                            double reach, Accept accept)
{
    std::set<Link> links;
    PointGrid grid(reach);
    for (int b : members)
        grid.add(b, places[b].x, places[b].y);
    std::vector<std::pair<double, int>> byDistance;
    for (int a : members) {
        byDistance.clear();
        grid.forEachNear(places[a].x, places[a].y, reach, [&](int b, int, int) {
            if (b != a && distance(places[a], places[b]) <= reach)
                byDistance.push_back({distance(places[a], places[b]), b});
        });
        std::sort(byDistance.begin(), byDistance.end());
        int taken = 0;
        for (const auto& [d, b] : byDistance) {
            if (taken == partners)
                break;
            if (!accept(a, b))
                continue;
            links.insert({std::min(a, b), std::max(a, b)});
            ++taken;
        }
    }
    return links;
}

} // namespace

std::vector<std::vector<PlannedRoute>> plan(const std::vector<Place>& places, const Terrain& terrain,
                                            std::uint64_t seed)
{
    const int count = int(places.size());
    std::vector<int> inland, coastal, great;
    for (int i = 0; i < count; ++i) {
        const Place& p = places[i];
        if (p.level == 0)
            great.push_back(i);
        if (p.level > 3)
            continue;
        if (p.coastal)
            coastal.push_back(i);
        else if (terrain.seaDistance(p.x, p.y) > 6000 && p.kind != u"abbey")
            inland.push_back(i);
    }

    std::vector<std::vector<PlannedRoute>> routes(std::size_t(places.size()));
    auto list = [&](const std::set<Link>& links, int kind, int bothEndsOneIn) {
        for (const auto& [a, b] : links) {
            const bool both = Random::hash(seed, std::uint64_t(a) * 100003 + std::uint64_t(b), std::uint64_t(kind))
                                  % std::uint64_t(bothEndsOneIn)
                              == 0;
            // A one-way listing goes under the more important place, where a reader looks first.
            const bool fromA = places[a].level <= places[b].level;
            if (both || fromA)
                routes[std::size_t(a)].push_back({kind, b});
            if (both || !fromA)
                routes[std::size_t(b)].push_back({kind, a});
        }
    };
    // A crowded world has its networks at a finer scale: the reaches shrink with its distances.
    const double scale = SettlementPlanner::crowding(count);
    // The great cities all reach each other while they are few; beyond that, their neighbours.
    const double greatReach = scale < 1.0 ? 240000 * scale : 1e9;
    list(nearestLinks(places, inland, 2, 40000 * scale, [](int, int) { return true; }), 1, 3);
    list(nearestLinks(places, coastal, 2, 90000 * scale,
                      [&](int a, int b) { return landAlong(terrain, places[a], places[b], 3000 * scale) <= 0.2; }),
         2, 2);
    list(nearestLinks(places, great, 2, greatReach, [](int, int) { return true; }), 3, 1);

    for (auto& departing : routes)
        std::sort(departing.begin(), departing.end(), [](const PlannedRoute& l, const PlannedRoute& r) {
            return std::pair(l.kind, l.target) < std::pair(r.kind, r.target);
        });
    return routes;
}

} // namespace vdm::worldgen::RoutePlanner
