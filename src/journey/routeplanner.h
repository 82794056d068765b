// SPDX-License-Identifier: MIT
#pragma once

#include "journey/travelgraph.h"

#include <atomic>
#include <vector>

namespace vdm {

/** One leg of a journey: from one place to the next by one way of travelling. */
struct JourneyLeg {
    int from = 0, to = 0;
    TravelMode mode = TravelMode::Walk;
    double distance = 0; // straight-line map distance
    double cost = 0;     // hours, the change penalty paid before this leg included
    bool operator==(const JourneyLeg&) const = default;
};

/** What a journey adds up to. */
struct JourneyTotals {
    int legs = 0;
    std::array<int, TravelModeCount> legsBy{};        // legs of each mode
    std::array<double, TravelModeCount> distanceBy{}; // map distance of each mode
    int changes = 0;
    double cost = 0;
};

/**
 * A planned journey. When the target cannot be reached with the allowed ways, `reached`
 * is false and the legs lead to `end`, the reachable place nearest to the target in a
 * straight line (the start itself when nothing else is reachable).
 */
struct Journey {
    int start = -1, target = -1;
    int end = -1;
    bool reached = false;
    bool cancelled = false;
    std::vector<JourneyLeg> legs;
    JourneyTotals totals() const;
};

/**
 * The quickest journey over a travel graph (A* over place and arriving mode, so that a
 * change of mode is charged exactly once; the straight-line distance at the fastest
 * allowed speed, or one guild jump when that is less, never overestimates what is left).
 *
 * `cancel`, when given and set from another thread, ends the search early with
 * `cancelled` set and no legs.
 */
Journey planJourney(const TravelGraph& graph, const TravelSettings& settings, int start, int target,
                    const std::atomic<bool>* cancel = nullptr);

/**
 * The quickest times from `start` to every place (infinity where unreachable), by the
 * same rules as planJourney: the tours' cost table. Cancelled, every time is infinity.
 */
std::vector<double> journeyCostsFrom(const TravelGraph& graph, const TravelSettings& settings, int start,
                                     const std::atomic<bool>* cancel = nullptr);

/**
 * The quickest times from `start` to the places `tagOf` tags (`tagOf[place]` >= 0: the
 * index into `costs` that place's time goes to), nearest first, until `enough` of them
 * are found; the start is never one of them. Returns how many were found, fewer than
 * `enough` when no more can be reached, or -1 when cancelled. The searches of one thread
 * share their memory, so one that ends near its start costs what it visited.
 */
int journeyCostsToPlaces(const TravelGraph& graph, const TravelSettings& settings, int start,
                         const std::vector<std::int32_t>& tagOf, int enough, std::vector<double>& costs,
                         const std::atomic<bool>* cancel = nullptr);

} // namespace vdm
