// SPDX-License-Identifier: MIT
#include "journey/routeplanner.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>

namespace vdm {

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();
/** A search state: a place and how the traveller arrived there (the start: arrived by nothing). */
constexpr int States = TravelModeCount + 1;
constexpr int Arrived0 = TravelModeCount; // the start's own state

struct Queued {
    double key;
    double cost;
    std::int32_t state;
    bool operator>(const Queued& o) const { return key > o.key || (key == o.key && state > o.state); }
};

/** The state search shared by a journey and the cost table. */
class Search {
public:
    Search(const TravelGraph& graph, const TravelSettings& settings)
        : m_graph(graph), m_settings(settings), m_cost(std::size_t(graph.size()) * States, Infinity),
          m_parent(std::size_t(graph.size()) * States, -1), m_done(std::size_t(graph.size()) * States, false)
    {
    }

    /** Runs from `start`; stops when `target` (>= 0) is settled. Returns false when cancelled. */
    bool run(int start, int target, bool guided, const std::atomic<bool>* cancel)
    {
        const double speed = m_settings.fastestSpeed();
        const bool guild = m_settings.allows(TravelMode::Guild);
        const auto bound = [&](int place) {
            if (!guided || target < 0)
                return 0.0;
            const double d = m_graph.distance(place, target);
            double h = speed > 0 ? d / speed : (d > 0 ? Infinity : 0.0);
            if (guild && d > 0)
                h = std::min(h, m_settings.guildJumpCost);
            return h;
        };
        std::priority_queue<Queued, std::vector<Queued>, std::greater<>> open;
        const int s0 = start * States + Arrived0;
        m_cost[std::size_t(s0)] = 0;
        open.push({bound(start), 0, s0});
        int polled = 0;
        while (!open.empty()) {
            const Queued q = open.top();
            open.pop();
            if (m_done[std::size_t(q.state)] || q.cost > m_cost[std::size_t(q.state)])
                continue;
            m_done[std::size_t(q.state)] = true;
            const int place = q.state / States, arrived = q.state % States;
            if (place == target)
                return true;
            if (cancel && (++polled & 1023) == 0 && cancel->load(std::memory_order_relaxed))
                return false;
            for (const TravelGraph::Edge* e = m_graph.edgesBegin(place); e != m_graph.edgesEnd(place); ++e) {
                if (!m_settings.allows(e->mode))
                    continue;
                double c = q.cost + m_settings.legCost(e->mode, e->distance);
                if (arrived != Arrived0 && arrived != int(e->mode))
                    c += m_settings.changePenalty;
                const int next = e->target * States + int(e->mode);
                if (c < m_cost[std::size_t(next)]) {
                    m_cost[std::size_t(next)] = c;
                    m_parent[std::size_t(next)] = q.state;
                    open.push({c + bound(e->target), c, next});
                }
            }
        }
        return true;
    }

    /** The cheapest settled state of `place`, or -1. */
    int bestState(int place) const
    {
        int best = -1;
        for (int s = place * States; s < (place + 1) * States; ++s)
            if (m_done[std::size_t(s)] && (best < 0 || m_cost[std::size_t(s)] < m_cost[std::size_t(best)]))
                best = s;
        return best;
    }

    double cost(int state) const { return m_cost[std::size_t(state)]; }
    bool settled(int place) const { return bestState(place) >= 0; }

    std::vector<JourneyLeg> legsTo(int state) const
    {
        std::vector<JourneyLeg> legs;
        for (int s = state; m_parent[std::size_t(s)] >= 0; s = m_parent[std::size_t(s)]) {
            const int p = m_parent[std::size_t(s)];
            JourneyLeg leg;
            leg.from = p / States;
            leg.to = s / States;
            leg.mode = TravelMode(s % States);
            leg.distance = m_graph.distance(leg.from, leg.to);
            leg.cost = m_cost[std::size_t(s)] - m_cost[std::size_t(p)];
            legs.push_back(leg);
        }
        std::reverse(legs.begin(), legs.end());
        return legs;
    }

private:
    const TravelGraph& m_graph;
    const TravelSettings& m_settings;
    std::vector<double> m_cost;
    std::vector<std::int32_t> m_parent;
    std::vector<bool> m_done;
};

} // namespace

JourneyTotals Journey::totals() const
{
    JourneyTotals t;
    t.legs = int(legs.size());
    for (std::size_t i = 0; i < legs.size(); ++i) {
        ++t.legsBy[std::size_t(legs[i].mode)];
        t.distanceBy[std::size_t(legs[i].mode)] += legs[i].distance;
        t.cost += legs[i].cost;
        if (i > 0 && legs[i].mode != legs[i - 1].mode)
            ++t.changes;
    }
    return t;
}

Journey planJourney(const TravelGraph& graph, const TravelSettings& settings, int start, int target,
                    const std::atomic<bool>* cancel)
{
    Journey j;
    j.start = start;
    j.target = target;
    if (start < 0 || start >= graph.size() || target < 0 || target >= graph.size())
        return j;
    Search search(graph, settings);
    if (!search.run(start, target, true, cancel)) {
        j.cancelled = true;
        return j;
    }
    if (const int s = search.bestState(target); s >= 0) {
        j.reached = true;
        j.end = target;
        j.legs = search.legsTo(s);
        return j;
    }
    // Unreachable: the search has settled everything reachable; take the place of those
    // nearest to the target in a straight line (the lower index among equals).
    int nearest = start;
    double nearestDistance = graph.distance(start, target);
    for (int p = 0; p < graph.size(); ++p) {
        if (!search.settled(p))
            continue;
        const double d = graph.distance(p, target);
        if (d < nearestDistance || (d == nearestDistance && p < nearest)) {
            nearest = p;
            nearestDistance = d;
        }
    }
    j.end = nearest;
    j.legs = search.legsTo(search.bestState(nearest));
    return j;
}

std::vector<double> journeyCostsFrom(const TravelGraph& graph, const TravelSettings& settings, int start,
                                     const std::atomic<bool>* cancel)
{
    std::vector<double> costs(std::size_t(graph.size()), Infinity);
    if (start < 0 || start >= graph.size())
        return costs;
    Search search(graph, settings);
    if (!search.run(start, -1, false, cancel))
        return costs;
    for (int p = 0; p < graph.size(); ++p)
        if (const int s = search.bestState(p); s >= 0)
            costs[std::size_t(p)] = search.cost(s);
    return costs;
}

} // namespace vdm
