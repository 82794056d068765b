// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "journey/travelgraph.h"

#include <atomic>
#include <chrono>
#include <vector>

namespace vdm {

/**
 * The order of a tour: from a start place through every stop once, as an open path (the
 * traveller does not come back). `cost[i][j]` is the time from stop i to stop j, with
 * index 0 the start; an unreachable pair costs `Unreachable`, so a tour needing one is
 * still ordered, with that leg last where it can be.
 */
class TourOrder {
public:
    /** What an unreachable leg costs: above any real tour, small enough to add up. */
    static constexpr double Unreachable = 1e9;

    /** The order nearest neighbour gives: always to the cheapest stop not yet taken (lower index among equals). */
    static std::vector<int> nearestNeighbour(const std::vector<std::vector<double>>& cost);
    /**
     * `order` improved by 2-opt moves (a stretch of the path reversed) and Or-opt moves (a
     * stretch of up to three stops moved) until none helps or `budget` is spent; never
     * costs more than `order`. Costs may differ by direction.
     */
    static std::vector<int> improve(const std::vector<std::vector<double>>& cost, std::vector<int> order,
                                    std::chrono::microseconds budget);
    /** The time of visiting the stops in `order` (starting at index 0, which `order` holds first). */
    static double length(const std::vector<std::vector<double>>& cost, const std::vector<int>& order);
};

/**
 * A tour of places: the stops in the order planned, and which of them are done. Marking
 * stops visited (the user ticking them off) only changes what is done; the order changes
 * only when the tour is planned again.
 */
class Tour {
public:
    /** Worlds of up to this many places have every time between the stops searched for. */
    static constexpr int WholeTablePlaces = 20000;
    /** Beyond that, each stop's search ends at this many of its nearest stops (and goes on only where the order needs
     * it). */
    static constexpr int NearStops = 6;

    Tour() = default;
    /**
     * Plans a tour from `start` through `stops` (place indices; the start and repeats are
     * left out) over the graph's quickest times, nearest neighbour first, then improved
     * within `budget` by moves between stops whose times are known. `cancel`, when given and set from another thread,
     * ends the planning early with cancelled() set and no stops.
     */
    Tour(const TravelGraph& graph, const TravelSettings& settings, int start, std::vector<int> stops,
         std::chrono::microseconds budget = std::chrono::milliseconds(150), const std::atomic<bool>* cancel = nullptr);

    int start() const { return m_start; }
    /** Planning was cancelled: the tour holds no stops. */
    bool cancelled() const { return m_cancelled; }
    /** The stops in the order to visit them (the start not among them). */
    const std::vector<int>& stops() const { return m_stops; }
    /** Stops that no allowed way reaches from the one before them. */
    const std::vector<int>& unreachable() const { return m_unreachable; }
    /** The quickest time of the whole tour, unreachable legs left out. */
    double cost() const { return m_cost; }

    /** Takes the statuses of `locations`: a stop whose place is visited is done. Returns whether any changed. */
    bool updateDone(const LocationList& locations);
    bool done(std::size_t stop) const { return m_done[stop]; }
    /** The first stop not done, or -1 when the tour is complete. */
    int nextStop() const;

private:
    int m_start = -1;
    std::vector<int> m_stops;
    std::vector<int> m_unreachable;
    std::vector<bool> m_done;
    double m_cost = 0;
    bool m_cancelled = false;
};

/** Which places a tour may take: those left to do among a chosen set. */
struct TourChoice {
    bool includeActive = false; // active places too, besides those without a visit
    QByteArray region;          // only places of this region (empty: any)
    QByteArray kind;            // only places of this kind (empty: any)
};

/**
 * The places of `candidates` that `choice` takes: not visited (and not active unless
 * asked), of the region and kind asked, in ascending order.
 */
std::vector<int> tourStops(const LocationList& locations, const std::vector<int>& candidates, const TourChoice& choice);

} // namespace vdm
