// SPDX-License-Identifier: MIT
#include "journey/tourplanner.h"

#include "journey/routeplanner.h"

#include <algorithm>
#include <cmath>

namespace vdm {

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
    const auto better = [](double after, double before) { return after < before - 1e-9 * std::max(1.0, std::abs(before)); };
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
                        std::vector<int> stretch(order.begin() + std::ptrdiff_t(i), order.begin() + std::ptrdiff_t(last) + 1);
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
    std::vector<std::vector<double>> cost(n, std::vector<double>(n, 0));
    for (std::size_t i = 0; i < n; ++i) {
        const std::vector<double> all = journeyCostsFrom(graph, settings, places[i], cancel);
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            m_cancelled = true;
            return;
        }
        for (std::size_t j = 0; j < n; ++j)
            if (i != j)
                cost[i][j] = std::isfinite(all[std::size_t(places[j])]) ? all[std::size_t(places[j])] : TourOrder::Unreachable;
    }
    const auto order = TourOrder::improve(cost, TourOrder::nearestNeighbour(cost), budget);
    for (std::size_t k = 1; k < order.size(); ++k) {
        const double leg = cost[std::size_t(order[k - 1])][std::size_t(order[k])];
        m_stops.push_back(places[std::size_t(order[k])]);
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
        if ((!choice.region.isEmpty() && l.Region != choice.region) || (!choice.kind.isEmpty() && l.Kind != choice.kind))
            continue;
        out.push_back(i);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace vdm
