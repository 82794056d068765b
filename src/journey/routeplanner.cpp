// SPDX-License-Identifier: MIT
#include "journey/routeplanner.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

/**
 * What a search keeps per state, kept between the searches of one thread: a search
 * stamps what it touches instead of clearing every state first, so a search that stays
 * near its start costs what it visits, not what the world holds. A state's cost, parent
 * and stamp lie together, so a look at a state is one trip to memory, not three.
 */
struct Workspace {
    struct State {
        double cost = Infinity;
        std::int32_t parent = -1;
        std::uint32_t mark = 0; // 2 * search: reached; 2 * search + 1: settled
    };
    std::vector<State> states;
    std::uint32_t search = 0;
    std::vector<Queued> heap;

    void begin(std::size_t count)
    {
        if (states.size() != count || search >= 0x7ffffffeu) {
            states.assign(count, State{});
            search = 0;
        }
        ++search;
        heap.clear();
    }
};

Workspace& workspace()
{
    thread_local Workspace w;
    return w;
}

/**
 * The state search shared by a journey, the cost table and the tours. It runs over the
 * graph's nodes: a state is a node and how it was reached.
 */
class Search {
public:
    Search(const TravelGraph& graph, const TravelSettings& settings)
        : m_graph(graph), m_settings(settings), m_w(workspace())
    {
        m_w.begin(std::size_t(graph.size()) * States);
        for (int m = 0; m < TravelModeCount; ++m)
            m_allowed[std::size_t(m)] = settings.allows(TravelMode(m));
    }

    /**
     * Runs from node `start`, guided towards node `target` when it is one; settles states
     * in order of cost until `enough(node, cost)` says so for a node settled for the first
     * time (at its least cost). Returns false when cancelled.
     */
    template <typename Enough> bool run(int start, int target, const std::atomic<bool>* cancel, Enough enough)
    {
        // What is left to `target` is no less than its straight-line distance at the
        // fastest allowed speed, nor, when the guild may be used, than one jump and the
        // way from the guild hall nearest the target: every journey either travels the
        // whole distance or ends its last jump at some hall.
        const double speed = m_settings.fastestSpeed();
        double viaGuild = Infinity;
        if (target >= 0 && m_settings.allows(TravelMode::Guild)) {
            double nearestHall = Infinity;
            for (const int hall : m_graph.guildArrivals())
                nearestHall = std::min(nearestHall, m_graph.distance(hall, target));
            if (nearestHall < Infinity)
                viaGuild
                    = m_settings.guildJumpCost + (speed > 0 ? nearestHall / speed : (nearestHall > 0 ? Infinity : 0.0));
        }
        const auto bound = [&](int node) {
            if (target < 0 || node == target)
                return 0.0;
            const double d = m_graph.distance(node, target);
            return std::min(speed > 0 ? d / speed : Infinity, viaGuild);
        };
        std::vector<Queued>& open = m_w.heap;
        const auto push = [&](Queued q) {
            open.push_back(q);
            std::push_heap(open.begin(), open.end(), std::greater<>());
        };
        const int s0 = start * States + Arrived0;
        reach(s0, 0, -1);
        push({bound(start), 0, s0});
        const std::uint32_t settledMark = 2 * m_w.search + 1;
        int polled = 0;
        while (!open.empty()) {
            std::pop_heap(open.begin(), open.end(), std::greater<>());
            const Queued q = open.back();
            open.pop_back();
            Workspace::State& settling = m_w.states[std::size_t(q.state)];
            if (settling.mark == settledMark || q.cost > settling.cost)
                continue;
            settling.mark = settledMark;
            const int node = q.state / States, arrived = q.state % States;
            if (firstOfNode(q.state) && enough(node, q.cost))
                return true;
            if (cancel && (++polled & 1023) == 0 && cancel->load(std::memory_order_relaxed))
                return false;
            const TravelGraph::Edge* const first = m_graph.edgesBegin(node);
            const TravelGraph::Edge* const last = m_graph.edgesEnd(node);
            // The states the edges lead to may lie apart in memory (a network link goes
            // far): ask for them all at once, so their fetches overlap.
            for (const TravelGraph::Edge* e = first; e != last; ++e)
                __builtin_prefetch(&m_w.states[std::size_t(e->target * States + int(e->mode))]);
            for (const TravelGraph::Edge* e = first; e != last; ++e) {
                if (!m_allowed[std::size_t(e->mode)])
                    continue;
                double c = q.cost + m_settings.legCost(e->mode, e->distance);
                if (arrived != Arrived0 && arrived != int(e->mode))
                    c += m_settings.changePenalty;
                const int next = e->target * States + int(e->mode);
                if (c < cost(next)) {
                    reach(next, c, q.state);
                    push({c + bound(e->target), c, next});
                }
            }
        }
        return true;
    }

    /** The cheapest settled state of `node`, or -1. */
    int bestState(int node) const
    {
        int best = -1;
        for (int s = node * States; s < (node + 1) * States; ++s)
            if (settled(s) && (best < 0 || m_w.states[std::size_t(s)].cost < m_w.states[std::size_t(best)].cost))
                best = s;
        return best;
    }

    double cost(int state) const
    {
        const Workspace::State& s = m_w.states[std::size_t(state)];
        return s.mark >= 2 * m_w.search ? s.cost : Infinity;
    }
    bool settled(int state) const { return m_w.states[std::size_t(state)].mark == 2 * m_w.search + 1; }
    /** Whether `state` is the first settled state of its node. */
    bool firstOfNode(int state) const
    {
        const int node = state / States;
        for (int s = node * States; s < (node + 1) * States; ++s)
            if (s != state && settled(s))
                return false;
        return true;
    }

    std::vector<JourneyLeg> legsTo(int state) const
    {
        std::vector<JourneyLeg> legs;
        for (int s = state; m_w.states[std::size_t(s)].parent >= 0; s = m_w.states[std::size_t(s)].parent) {
            const int p = m_w.states[std::size_t(s)].parent;
            JourneyLeg leg;
            leg.from = m_graph.place(p / States);
            leg.to = m_graph.place(s / States);
            leg.mode = TravelMode(s % States);
            leg.distance = m_graph.distance(p / States, s / States);
            leg.cost = m_w.states[std::size_t(s)].cost - m_w.states[std::size_t(p)].cost;
            legs.push_back(leg);
        }
        std::reverse(legs.begin(), legs.end());
        return legs;
    }

private:
    void reach(int state, double c, int parent)
    {
        Workspace::State& s = m_w.states[std::size_t(state)];
        s.cost = c;
        s.parent = parent;
        if (s.mark < 2 * m_w.search)
            s.mark = 2 * m_w.search;
    }

    const TravelGraph& m_graph;
    const TravelSettings& m_settings;
    Workspace& m_w;
    std::array<bool, TravelModeCount> m_allowed{}; // the settings' allows(), asked once
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
    const int from = graph.node(start), to = graph.node(target);
    Search search(graph, settings);
    if (!search.run(from, to, cancel, [to](int node, double) { return node == to; })) {
        j.cancelled = true;
        return j;
    }
    if (const int s = search.bestState(to); s >= 0) {
        j.reached = true;
        j.end = target;
        j.legs = search.legsTo(s);
        return j;
    }
    // Unreachable: the search has settled everything reachable; take the place of those
    // nearest to the target in a straight line (the lower place index among equals).
    int nearest = from;
    double nearestDistance = graph.distance(from, to);
    for (int v = 0; v < graph.size(); ++v) {
        if (search.bestState(v) < 0)
            continue;
        const double d = graph.distance(v, to);
        if (d < nearestDistance || (d == nearestDistance && graph.place(v) < graph.place(nearest))) {
            nearest = v;
            nearestDistance = d;
        }
    }
    j.end = graph.place(nearest);
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
    std::vector<double> reached(std::size_t(graph.size()), Infinity);
    if (!search.run(graph.node(start), -1, cancel, [&](int node, double cost) {
            reached[std::size_t(graph.place(node))] = cost;
            return false;
        }))
        return costs;
    return reached;
}

int journeyCostsToPlaces(const TravelGraph& graph, const TravelSettings& settings, int start,
                         const std::vector<std::int32_t>& tagOf, int enough, std::vector<double>& costs,
                         const std::atomic<bool>* cancel)
{
    if (start < 0 || start >= graph.size() || enough <= 0)
        return 0;
    Search search(graph, settings);
    const int from = graph.node(start);
    int found = 0;
    const bool finished = search.run(from, -1, cancel, [&](int node, double cost) {
        const std::int32_t tag = tagOf[std::size_t(graph.place(node))];
        if (tag < 0 || node == from)
            return false;
        costs[std::size_t(tag)] = cost;
        return ++found >= enough;
    });
    return finished ? found : -1;
}

} // namespace vdm
