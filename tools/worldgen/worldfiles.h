// SPDX-License-Identifier: MIT
#pragma once

#include "worldgen/place.h"
#include "worldgen/routeplanner.h"

#include <QByteArray>
#include <vector>

namespace vdm::worldgen {

/**
 * Formats the planned world as the viewer's read-only databases: vdmain.gdb (records of
 * eight lines after a header holding "loc") and routes.gdb (one block per origin after a
 * header holding "rout", closed by "end"). Texts are encoded to the code page, lines end
 * in CR LF. The bytes depend on nothing but the arguments.
 */
namespace WorldFiles {
QByteArray locationsFile(const std::vector<Place>& places);
QByteArray routesFile(const std::vector<Place>& places, const std::vector<std::vector<PlannedRoute>>& routes);
} // namespace WorldFiles

} // namespace vdm::worldgen
