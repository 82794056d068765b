// SPDX-License-Identifier: MIT
#pragma once

#include "worldgen/place.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace vdm::worldgen {

class Terrain;

/**
 * A user's own files for a generated world, as if someone had travelled it for a while:
 * user.gdb with a status for every place (most unvisited, some active, fewer visited)
 * and a note on about one place in eight, and markers.gdb with about one marker per
 * fifty places (at least three) on dry land. Formatted by the viewer's own writers, so
 * they read back exactly; the same seed gives the same bytes.
 */
namespace UserFiles {
QByteArray userFile(const std::vector<Place>& places, std::uint64_t seed);
QByteArray markersFile(const Terrain& terrain, std::uint64_t seed, int placeCount);
} // namespace UserFiles

} // namespace vdm::worldgen
