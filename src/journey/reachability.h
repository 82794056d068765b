// SPDX-License-Identifier: MIT
#pragma once

#include "journey/travelgraph.h"

#include <QStringList>

#include <utility>
#include <vector>

namespace vdm {

/**
 * What a world's author should look at before shipping: places no way of travelling
 * arrives at (no network route ends there and no walk reaches them), and network routes
 * whose target has no network route back to where they came from (a traveller taken
 * there by ship or guild may be stranded).
 */
struct Reachability {
    std::vector<int> unreached;              // ascending
    std::vector<std::pair<int, int>> oneWay; // (from, to), by origin, then as the routes list them

    bool clean() const { return unreached.empty() && oneWay.empty(); }
};

/** Checks the world of `locations` over its travel graph (built from the same list). */
Reachability checkReachability(const TravelGraph& graph, const LocationList& locations);

/**
 * The report as lines for a terminal: one per finding, names decoded, then a summary
 * ("2 places unreached, 1 one-way route"); "Every place is reached and every route leads
 * back." when there is nothing to report.
 */
QStringList reachabilityReport(const Reachability& found, const LocationList& locations);

} // namespace vdm
