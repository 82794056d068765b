// SPDX-License-Identifier: MIT
#include "journey/travelgraph.h"

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
std::int64_t squared(std::int64_t dx, std::int64_t dy)
{
    return dx * dx + dy * dy;
}

} // namespace

double TravelGraph::distance(int a, int b) const
{
    return std::sqrt(double(squared(std::int64_t(m_x[std::size_t(a)]) - m_x[std::size_t(b)],
                                    std::int64_t(m_y[std::size_t(a)]) - m_y[std::size_t(b)])));
}

TravelGraph::TravelGraph(const LocationList& locations, const SpatialIndex& /*index*/, double walkLeg)
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
            if (r.Target >= 0 && std::size_t(r.Target) < n && std::size_t(r.Target) != i
                && travelModeOfRoute(r.Kind, mode)) {
                links.push_back({std::int32_t(i), r.Target, mode});
                if (mode == TravelMode::Guild)
                    m_guildArrivals.push_back(r.Target);
            }
        }
    std::sort(m_guildArrivals.begin(), m_guildArrivals.end());
    m_guildArrivals.erase(std::unique(m_guildArrivals.begin(), m_guildArrivals.end()), m_guildArrivals.end());

    // Walking: each place's nearest neighbours within reach, joined both ways (the
    // nearness is not mutual, the walk is). The places go into a grid of their own, cells
    // about as wide as the distance that holds that many neighbours on average, sorted by
    // cell; each place searches ring after ring of cells around its own. A place outside
    // the rings searched lies farther than `ring` cell widths, so once that many
    // neighbours lie within that reach, no place outside can be nearer.
    if (walkLeg > 0 && n > 1) {
        std::int64_t xlo = m_x[0], xhi = m_x[0], ylo = m_y[0], yhi = m_y[0];
        for (std::size_t i = 1; i < n; ++i) {
            xlo = std::min<std::int64_t>(xlo, m_x[i]);
            xhi = std::max<std::int64_t>(xhi, m_x[i]);
            ylo = std::min<std::int64_t>(ylo, m_y[i]);
            yhi = std::max<std::int64_t>(yhi, m_y[i]);
        }
        const double area = std::max(1.0, double(xhi - xlo + 1) * double(yhi - ylo + 1));
        // Cells of about one place each keep the rings cheap; never more cells than places.
        // (A cell wider than the longest leg is fine: every walk then ends within one ring.)
        const auto cell = std::int64_t(std::ceil(std::max(1.0, std::sqrt(area / double(n)))));
        const std::int64_t columns = (xhi - xlo) / cell + 1, rows = (yhi - ylo) / cell + 1;
        const auto cellOf
            = [&](std::size_t i) { return std::size_t(((m_y[i] - ylo) / cell) * columns + (m_x[i] - xlo) / cell); };
        std::vector<std::int32_t> cellStart(std::size_t(columns * rows) + 1, 0);
        for (std::size_t i = 0; i < n; ++i)
            ++cellStart[cellOf(i) + 1];
        for (std::size_t c = 1; c < cellStart.size(); ++c)
            cellStart[c] += cellStart[c - 1];
        std::vector<std::int32_t> byCell(n);
        {
            std::vector<std::int32_t> at(cellStart.begin(), cellStart.end() - 1);
            for (std::size_t i = 0; i < n; ++i)
                byCell[std::size_t(at[cellOf(i)]++)] = std::int32_t(i);
        }
        // Squared distances: exact, and in the same order as the distances.
        const auto within = std::int64_t(std::floor(walkLeg * walkLeg));
        const std::int64_t lastRing = std::max(columns, rows);
        std::vector<std::pair<std::int64_t, int>> near;
        for (std::size_t i = 0; i < n; ++i) {
            near.clear();
            const std::int64_t cx = (m_x[i] - xlo) / cell, cy = (m_y[i] - ylo) / cell;
            const auto visit = [&](std::int64_t x, std::int64_t y) {
                if (x < 0 || y < 0 || x >= columns || y >= rows)
                    return;
                const std::size_t c = std::size_t(y * columns + x);
                for (std::int32_t k = cellStart[c]; k < cellStart[c + 1]; ++k) {
                    const auto j = std::size_t(byCell[std::size_t(k)]);
                    if (j == i)
                        continue;
                    const std::int64_t d = squared(std::int64_t(m_x[j]) - m_x[i], std::int64_t(m_y[j]) - m_y[i]);
                    if (d <= within)
                        near.push_back({d, int(j)});
                }
            };
            for (std::int64_t ring = 0; ring <= lastRing; ++ring) {
                if (ring == 0) {
                    visit(cx, cy);
                } else {
                    for (std::int64_t x = cx - ring; x <= cx + ring; ++x) {
                        visit(x, cy - ring);
                        visit(x, cy + ring);
                    }
                    for (std::int64_t y = cy - ring + 1; y <= cy + ring - 1; ++y) {
                        visit(cx - ring, y);
                        visit(cx + ring, y);
                    }
                }
                const std::int64_t reach = ring * cell; // every place outside lies farther
                if (double(reach) >= walkLeg)
                    break;
                const std::int64_t reachSquared = reach * reach;
                if (std::count_if(near.begin(), near.end(), [&](const auto& p) { return p.first <= reachSquared; })
                    >= WalkNeighbours)
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
    const auto order
        = [](const Link& a, const Link& b) { return std::tie(a.mode, a.target) < std::tie(b.mode, b.target); };
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
