// SPDX-License-Identifier: MIT
#pragma once

#include "worldgen/place.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vdm::worldgen {

class Terrain;

/**
 * Places the world's locations on dry land and names them. Few large cities at detail
 * level 0, more places at each finer level; each place is put at the best of a handful
 * of random spots (far from the places before it, on ground that suits its kind), so
 * the map fills evenly. Returns the places in file order; coordinates are map units.
 */
namespace SettlementPlanner {
/** Up to this many places the world is laid out at its natural distances and names are short. */
constexpr int RoomyCount = 5000;
/** The factor every planned distance is multiplied by for `count` places: 1 up to RoomyCount, less beyond. */
double crowding(int count);
/** How many of `count` places get each detail level 0..5. */
std::array<int, 6> levelCounts(int count);
std::vector<Place> plan(const Terrain& terrain, std::uint64_t seed, int count);
} // namespace SettlementPlanner

} // namespace vdm::worldgen
