// SPDX-License-Identifier: MIT
#pragma once

#include "worldgen/place.h"

#include <cstdint>
#include <vector>

namespace vdm::worldgen {

class Terrain;

/** One route as the routes file lists it: from the block's origin to `target`. */
struct PlannedRoute {
    int kind = 0;   // 1 skarnel, 2 ship, 3 mages guild
    int target = 0; // index into the places
    bool operator==(const PlannedRoute&) const = default;
};

/**
 * Lays out the three travel networks over the planned places: skarnels between inland
 * towns, ships between coastal towns over open water, and the mages guild between the
 * great cities. Each link joins a place to its nearest partners; some links are listed
 * from both ends, the rest from one. Returns, per place index, the routes departing
 * from it (kind order, then target order).
 */
namespace RoutePlanner {
std::vector<std::vector<PlannedRoute>> plan(const std::vector<Place>& places, const Terrain& terrain,
                                            std::uint64_t seed);
} // namespace RoutePlanner

} // namespace vdm::worldgen
