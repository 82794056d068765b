// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "journey/travelgraph.h"

#include <random>
#include <vector>

namespace vdm::test {

/** A small random world: places in a square, random routes of every kind (some no network). */
inline LocationList randomPlaces(std::mt19937& rng, int count, int side, int routesPerPlace)
{
    std::uniform_int_distribution<int> coord(0, side), place(0, count - 1), kind(0, 5), routes(0, routesPerPlace);
    LocationList list(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        auto& l = list[static_cast<std::size_t>(i)];
        l.Name = "P" + QByteArray::number(i);
        l.X = coord(rng);
        l.Y = coord(rng);
        for (int r = routes(rng); r > 0; --r)
            l.Routes.push_back({place(rng), std::uint8_t(kind(rng))});
    }
    return list;
}

/** Random settings: each way on or off, speeds, jump cost and penalty drawn from sensible ranges. */
inline TravelSettings randomSettings(std::mt19937& rng)
{
    std::uniform_real_distribution<double> speed(200, 8000), cost(0, 5);
    std::bernoulli_distribution on(0.75);
    TravelSettings s;
    for (bool& e : s.enabled)
        e = on(rng);
    s.walkSpeed = speed(rng);
    s.skarnelSpeed = speed(rng);
    s.shipSpeed = speed(rng);
    s.guildJumpCost = cost(rng);
    s.changePenalty = cost(rng);
    return s;
}

} // namespace vdm::test
