// SPDX-License-Identifier: MIT
#include "journey/tourplanner.h"

#include "journey/routeplanner.h"

#include <algorithm>
#include <cmath>

namespace vdm {

namespace {

/** A time between two stops never searched for: above any real one, below an unreachable leg. */
constexpr double Unknown = TourOrder::Unreachable / 10;

} // namespace

std::vector<int> TourOrder::nearestNeighbour(const std::vector<std::vector<double>>& cost)
{
    const std::size_t n = cost.size();
    std::vector<int> order{0};
    std::vector<bool> taken(n, false);
    if (n == 0)
        return {};
    taken[0] = true;
    for (std::size_t step = 1; step < n; ++step) {
        const std::size_t at = std::size_t(order.back());
        int best = -1;
        for (std::size_t j = 1; j < n; ++j)
            if (!taken[j] && (best < 0 || cost[at][j] < cost[at][std::size_t(best)]))
                best = int(j);
        taken[std::size_t(best)] = true;
        order.push_back(best);
    }
    return order;
}

double TourOrder::length(const std::vector<std::vector<double>>& cost, const std::vector<int>& order)
{
    double total = 0;
    for (std::size_t k = 1; k < order.size(); ++k)
        total += cost[std::size_t(order[k - 1])][std::size_t(order[k])];
    return total;
}

std::vector<int> TourOrder::improve(const std::vector<std::vector<double>>& cost, std::vector<int> order,
                                    std::chrono::microseconds budget)
{
    const std::size_t n = order.size();
    if (n < 3)
        return order;
    const auto deadline = std::chrono::steady_clock::now() + budget;
    // Costs may differ by direction, so reversing a stretch changes the legs inside it:
    // running sums of the legs forwards and backwards price a move in constant time.
    std::vector<double> forward(n, 0), backward(n, 0);
    const auto sums = [&] {
        for (std::size_t k = 1; k < n; ++k) {
            const auto a = std::size_t(order[k - 1]), b = std::size_t(order[k]);
            forward[k] = forward[k - 1] + cost[a][b];
            backward[k] = backward[k - 1] + cost[b][a];
        }
    };
    sums();
    const auto c = [&](std::size_t a, std::size_t b) { return cost[std::size_t(order[a])][std::size_t(order[b])]; };
    // A margin keeps rounding from trading equal tours back and forth for ever.
    const auto better
        = [](double after, double before) { return after < before - 1e-9 * std::max(1.0, std::abs(before)); };
    bool improved = true;
    while (improved) {
        improved = false;
        // 2-opt: reverse order[i..j] (i >= 1: the start stays first).
        for (std::size_t i = 1; i + 1 < n; ++i) {
            if (std::chrono::steady_clock::now() > deadline)
                return order;
            for (std::size_t j = i + 1; j < n; ++j) {
                double before = c(i - 1, i) + (forward[j] - forward[i]);
                double after = c(i - 1, j) + (backward[j] - backward[i]);
                if (j + 1 < n) {
                    before += c(j, j + 1);
                    after += c(i, j + 1);
                }
                if (better(after, before)) {
                    std::reverse(order.begin() + std::ptrdiff_t(i), order.begin() + std::ptrdiff_t(j) + 1);
                    sums();
                    improved = true;
                }
            }
        }
        // Or-opt: move a stretch of one to three stops, kept in its direction, elsewhere;
        // with costs that differ by direction this finds what reversals cannot.
        for (std::size_t len = 1; len <= 3; ++len)
            for (std::size_t i = 1; i + len <= n; ++i) {
                if (std::chrono::steady_clock::now() > deadline)
                    return order;
                const std::size_t last = i + len - 1;
                // Taking the stretch out joins order[i - 1] to order[last + 1] (if any).
                double gain = c(i - 1, i);
                if (last + 1 < n)
                    gain += c(last, last + 1) - c(i - 1, last + 1);
                for (std::size_t p = 0; p < n; ++p) {
                    if (p + 1 >= i && p <= last)
                        continue; // inside the stretch or where it already stands
                    // Put it between order[p] and order[p + 1] (or at the end).
                    double added = c(p, i);
                    if (p + 1 < n)
                        added += c(last, p + 1) - c(p, p + 1);
                    if (better(added, gain)) {
                        std::vector<int> stretch(order.begin() + std::ptrdiff_t(i),
                                                 order.begin() + std::ptrdiff_t(last) + 1);
                        order.erase(order.begin() + std::ptrdiff_t(i), order.begin() + std::ptrdiff_t(last) + 1);
                        const std::size_t at = p < i ? p + 1 : p + 1 - len;
                        order.insert(order.begin() + std::ptrdiff_t(at), stretch.begin(), stretch.end());
                        sums();
                        improved = true;
                        break;
                    }
                }
            }
    }
    return order;
}

Tour::Tour(const TravelGraph& graph, const TravelSettings& settings, int start, std::vector<int> stops,
           std::chrono::microseconds budget, const std::atomic<bool>* cancel)
    : m_start(start)
{
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    std::erase_if(stops, [&](int s) { return s == start || s < 0 || s >= graph.size(); });
    if (start < 0 || start >= graph.size() || stops.empty()) {
        m_stops = std::move(stops);
        m_done.assign(m_stops.size(), false);
        return;
    }
    std::vector<int> places{start};
    places.insert(places.end(), stops.begin(), stops.end());
    const std::size_t n = places.size();
    std::vector<std::int32_t> tagOf(std::size_t(graph.size()), -1);
    for (std::size_t i = 0; i < n; ++i)
        tagOf[std::size_t(places[i])] = std::int32_t(i);

    // The table of times between the stops. In a small world every time is known; in a
    // large one each stop's search ends at its nearest few stops, which is where a good
    // order joins it; a time never searched for counts as `Unknown`, above any real
    // time, so no improvement ever adds such a leg. The search from a stop always
    // reaches its nearest stops first, so what is known of a row is everything within
    // some time of that stop, and what is not lies farther.
    const bool whole = graph.size() <= WholeTablePlaces || int(n) - 1 <= NearStops;
    std::vector<std::vector<double>> cost(n, std::vector<double>(n, Unknown));
    std::vector<char> exhausted(n, 0); // the row's search met every stop it can reach
    const auto search = [&](std::size_t i, int enough) {
        std::vector<double>& row = cost[i];
        const int found = journeyCostsToPlaces(graph, settings, places[i], tagOf, enough, row, cancel);
        if (found < 0)
            return false;
        if (found < enough) {
            exhausted[i] = 1;
            for (double& c : row)
                if (c == Unknown)
                    c = TourOrder::Unreachable;
        }
        row[i] = 0;
        return true;
    };
    for (std::size_t i = 0; i < n; ++i)
        if (!search(i, whole ? int(n) - 1 : NearStops)) {
            m_cancelled = true;
            return;
        }

    // Nearest neighbour, each step known exactly: when none of the stops left is known
    // from here, a search from here that looks only for stops left meets the nearest.
    std::vector<int> order{0};
    std::vector<char> taken(n, 0);
    taken[0] = 1;
    std::vector<std::int32_t> leftOf = tagOf; // the stops not yet taken
    leftOf[std::size_t(places[0])] = -1;
    for (std::size_t step = 1; step < n; ++step) {
        const std::size_t at = std::size_t(order.back());
        const auto nearest = [&] {
            int best = -1;
            for (std::size_t j = 1; j < n; ++j)
                if (!taken[j] && (best < 0 || cost[at][j] < cost[at][std::size_t(best)]))
                    best = int(j);
            return best;
        };
        int best = nearest();
        if (cost[at][std::size_t(best)] == Unknown && !exhausted[at]) {
            const int found = journeyCostsToPlaces(graph, settings, places[at], leftOf, 1, cost[at], cancel);
            if (found < 0) {
                m_cancelled = true;
                return;
            }
            if (found == 0) // no stop left can be reached from here
                for (std::size_t j = 0; j < n; ++j)
                    if (!taken[j] && cost[at][j] == Unknown)
                        cost[at][j] = TourOrder::Unreachable;
            best = nearest();
        }
        taken[std::size_t(best)] = 1;
        leftOf[std::size_t(places[std::size_t(best)])] = -1;
        order.push_back(best);
    }
    order = TourOrder::improve(cost, std::move(order), budget);
    for (std::size_t k = 1; k < order.size(); ++k) {
        const auto from = std::size_t(order[k - 1]), to = std::size_t(order[k]);
        if (cost[from][to] == Unknown) // an unreachable leg traded for one never searched
            if (!search(from, int(n) - 1)) {
                m_cancelled = true;
                return;
            }
        const double leg = cost[from][to];
        m_stops.push_back(places[to]);
        if (leg >= TourOrder::Unreachable)
            m_unreachable.push_back(m_stops.back());
        else
            m_cost += leg;
    }
    m_done.assign(m_stops.size(), false);
}

bool Tour::updateDone(const LocationList& locations)
{
    bool changed = false;
    for (std::size_t k = 0; k < m_stops.size(); ++k) {
        const auto place = std::size_t(m_stops[k]);
        const bool done = place < locations.size() && locations[place].Status == Visited;
        changed = changed || done != m_done[k];
        m_done[k] = done;
    }
    return changed;
}

int Tour::nextStop() const
{
    for (std::size_t k = 0; k < m_stops.size(); ++k)
        if (!m_done[k])
            return m_stops[k];
    return -1;
}

std::vector<int> tourStops(const LocationList& locations, const std::vector<int>& candidates, const TourChoice& choice)
{
    std::vector<int> out;
    for (int i : candidates) {
        if (i < 0 || std::size_t(i) >= locations.size())
            continue;
        const Location& l = locations[std::size_t(i)];
        if (l.Status == Visited || (l.Status == Active && !choice.includeActive))
            continue;
        if ((!choice.region.isEmpty() && l.Region != choice.region)
            || (!choice.kind.isEmpty() && l.Kind != choice.kind))
            continue;
        out.push_back(i);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace vdm
