// SPDX-License-Identifier: MIT
#include "journey/travelgraph.h"

#include "map/spatialindex.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vdm {

bool TravelSettings::allows(TravelMode mode) const
{
    if (!enabled[std::size_t(mode)])
        return false;
    switch (mode) {
    case TravelMode::Walk:
        return walkSpeed > 0;
    case TravelMode::Skarnel:
        return skarnelSpeed > 0;
    case TravelMode::Ship:
        return shipSpeed > 0;
    case TravelMode::Guild:
        return guildJumpCost >= 0;
    }
    return false;
}

double TravelSettings::legCost(TravelMode mode, double distance) const
{
    switch (mode) {
    case TravelMode::Walk:
        return distance / walkSpeed;
    case TravelMode::Skarnel:
        return distance / skarnelSpeed;
    case TravelMode::Ship:
        return distance / shipSpeed;
    case TravelMode::Guild:
        return guildJumpCost;
    }
    return 0;
}

double TravelSettings::fastestSpeed() const
{
    double fastest = 0;
    if (allows(TravelMode::Walk))
        fastest = std::max(fastest, walkSpeed);
    if (allows(TravelMode::Skarnel))
        fastest = std::max(fastest, skarnelSpeed);
    if (allows(TravelMode::Ship))
        fastest = std::max(fastest, shipSpeed);
    return fastest;
}

bool travelModeOfRoute(std::uint8_t kind, TravelMode& mode)
{
    switch (kind) {
    case Skarnel:
        mode = TravelMode::Skarnel;
        return true;
    case Ship:
        mode = TravelMode::Ship;
        return true;
    case MagesGuild:
        mode = TravelMode::Guild;
        return true;
    default:
        return false;
    }
}

namespace {

/** The squared distance of two map points: exact, since map units are far below 2^26. */
std::int64_t squared(std::int64_t dx, std::int64_t dy) { return dx * dx + dy * dy; }

} // namespace

double TravelGraph::distance(int a, int b) const
{
    return std::sqrt(double(squared(std::int64_t(m_x[std::size_t(a)]) - m_x[std::size_t(b)],
                                    std::int64_t(m_y[std::size_t(a)]) - m_y[std::size_t(b)])));
}

TravelGraph::TravelGraph(const LocationList& locations, const SpatialIndex& index, double walkLeg)
    : m_walkLeg(walkLeg)
{
    const std::size_t n = locations.size();
    m_x.resize(n);
    m_y.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        m_x[i] = locations[i].X;
        m_y[i] = locations[i].Y;
    }

    struct Link {
        std::int32_t from, target;
        TravelMode mode;
    };
    std::vector<Link> links;
    links.reserve(n * (WalkNeighbours * 2 + 2));

    for (std::size_t i = 0; i < n; ++i)
        for (const Route& r : locations[i].Routes) {
            TravelMode mode;
            if (r.Target >= 0 && std::size_t(r.Target) < n && std::size_t(r.Target) != i && travelModeOfRoute(r.Kind, mode))
                links.push_back({std::int32_t(i), r.Target, mode});
        }

    // Walking: each place's nearest neighbours within reach, joined both ways (the
    // nearness is not mutual, the walk is). The search box starts at the size that holds
    // about that many places on average and doubles until it has them: a place with
    // WalkNeighbours places within distance r has its nearest ones inside the box of r.
    if (walkLeg > 0 && n > 1) {
        std::int64_t xlo = m_x[0], xhi = m_x[0], ylo = m_y[0], yhi = m_y[0];
        for (std::size_t i = 1; i < n; ++i) {
            xlo = std::min<std::int64_t>(xlo, m_x[i]);
            xhi = std::max<std::int64_t>(xhi, m_x[i]);
            ylo = std::min<std::int64_t>(ylo, m_y[i]);
            yhi = std::max<std::int64_t>(yhi, m_y[i]);
        }
        const double area = std::max(1.0, double(xhi - xlo) * double(yhi - ylo));
        const double typical = std::clamp(std::sqrt(area * WalkNeighbours / double(n)), 1.0, walkLeg);
        // Squared distances: exact, and in the same order as the distances.
        std::vector<std::pair<std::int64_t, int>> near;
        std::vector<int> found;
        for (std::size_t i = 0; i < n; ++i) {
            for (double radius = typical;; radius = std::min(walkLeg, radius * 2)) {
                const auto reach = std::int64_t(std::ceil(radius));
                const auto within = std::int64_t(std::floor(radius * radius));
                const MapBox box{m_x[i] - reach, m_x[i] + reach, m_y[i] - reach, m_y[i] + reach};
                near.clear();
                found.clear();
                index.collectLocationsNear(box, found);
                for (int j : found) {
                    if (std::size_t(j) == i || std::size_t(j) >= n)
                        continue;
                    const std::int64_t d = squared(std::int64_t(m_x[std::size_t(j)]) - m_x[i], std::int64_t(m_y[std::size_t(j)]) - m_y[i]);
                    if (d <= within)
                        near.push_back({d, j});
                }
                if (near.size() >= std::size_t(WalkNeighbours) || radius >= walkLeg)
                    break;
            }
            const std::size_t keep = std::min<std::size_t>(near.size(), WalkNeighbours);
            std::partial_sort(near.begin(), near.begin() + std::ptrdiff_t(keep), near.end());
            for (std::size_t k = 0; k < keep; ++k) {
                links.push_back({std::int32_t(i), near[k].second, TravelMode::Walk});
                links.push_back({near[k].second, std::int32_t(i), TravelMode::Walk});
            }
        }
    }

    // Bucket the links by origin (a counting sort), then order and thin out each
    // place's few links: far cheaper than sorting them all at once.
    std::vector<std::int32_t> first(n + 1, 0);
    for (const Link& l : links)
        ++first[std::size_t(l.from) + 1];
    for (std::size_t i = 0; i < n; ++i)
        first[i + 1] += first[i];
    std::vector<Link> bucketed(links.size());
    {
        std::vector<std::int32_t> at(first.begin(), first.end() - 1);
        for (const Link& l : links)
            bucketed[std::size_t(at[std::size_t(l.from)]++)] = l;
    }
    const auto order = [](const Link& a, const Link& b) { return std::tie(a.mode, a.target) < std::tie(b.mode, b.target); };
    const auto same = [](const Link& a, const Link& b) { return a.mode == b.mode && a.target == b.target; };
    m_start.assign(n + 1, 0);
    m_edges.clear();
    m_edges.reserve(links.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto begin = bucketed.begin() + first[i], end = bucketed.begin() + first[i + 1];
        std::sort(begin, end, order);
        for (auto l = begin; l != end; ++l)
            if (l == begin || !same(*(l - 1), *l))
                m_edges.push_back({l->target, l->mode, distance(int(i), l->target)});
        m_start[i + 1] = std::int32_t(m_edges.size());
    }
}

} // namespace vdm
