// SPDX-License-Identifier: MIT
#include "journey/travelgraph.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
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

/** Places in this many and more find their walks on two threads. */
constexpr std::size_t ParallelFrom = 20000;

/**
 * The places sorted into square cells of a grid over their bounding box, with their
 * positions copied in cell order: a cell's places, and a row of neighbouring cells', lie
 * side by side in memory.
 */
struct Grid {
    std::int64_t xlo = 0, ylo = 0, cell = 1, columns = 1, rows = 1;
    std::vector<std::int32_t> cellStart; // columns * rows + 1 offsets into the arrays below
    std::vector<std::int32_t> node, place, x, y;

    template <typename Points> Grid(const Points& at, const std::vector<std::int32_t>& placeOf)
    {
        const std::size_t n = at.size();
        std::int64_t xhi = at[0].x, yhi = at[0].y;
        xlo = at[0].x;
        ylo = at[0].y;
        for (std::size_t i = 1; i < n; ++i) {
            xlo = std::min<std::int64_t>(xlo, at[i].x);
            xhi = std::max<std::int64_t>(xhi, at[i].x);
            ylo = std::min<std::int64_t>(ylo, at[i].y);
            yhi = std::max<std::int64_t>(yhi, at[i].y);
        }
        // About two places a cell: the nearest few of a place then mostly lie in the
        // block of nine cells around it, found in three runs of memory.
        const double area = std::max(1.0, double(xhi - xlo + 1) * double(yhi - ylo + 1));
        cell = std::int64_t(std::ceil(std::max(1.0, std::sqrt(2 * area / double(n)))));
        columns = (xhi - xlo) / cell + 1;
        rows = (yhi - ylo) / cell + 1;
        std::vector<std::int32_t> cellOf(n);
        cellStart.assign(std::size_t(columns * rows) + 1, 0);
        for (std::size_t i = 0; i < n; ++i) {
            cellOf[i] = std::int32_t(((at[i].y - ylo) / cell) * columns + (at[i].x - xlo) / cell);
            ++cellStart[std::size_t(cellOf[i]) + 1];
        }
        for (std::size_t c = 1; c < cellStart.size(); ++c)
            cellStart[c] += cellStart[c - 1];
        node.resize(n);
        place.resize(n);
        x.resize(n);
        y.resize(n);
        std::vector<std::int32_t> next(cellStart.begin(), cellStart.end() - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const auto k = std::size_t(next[std::size_t(cellOf[i])]++);
            node[k] = std::int32_t(i);
            place[k] = placeOf[i];
            x[k] = at[i].x;
            y[k] = at[i].y;
        }
    }
};

/**
 * The nearest few places of one place so far, nearest first. Among places at the same
 * distance the one of the lower place index is nearer, so the walks are the same
 * whatever the nodes' order.
 */
struct Nearest {
    std::array<std::int64_t, TravelGraph::WalkNeighbours> d{};
    std::array<std::int32_t, TravelGraph::WalkNeighbours> place{};
    std::array<std::int32_t, TravelGraph::WalkNeighbours> node{};
    int count = 0;

    void offer(std::int64_t dist, std::int32_t p, std::int32_t v)
    {
        constexpr int K = TravelGraph::WalkNeighbours;
        if (count == K && (dist > d[K - 1] || (dist == d[K - 1] && p > place[K - 1])))
            return;
        int k = count < K ? count++ : K - 1;
        for (; k > 0
               && (d[std::size_t(k - 1)] > dist || (d[std::size_t(k - 1)] == dist && place[std::size_t(k - 1)] > p));
             --k) {
            d[std::size_t(k)] = d[std::size_t(k - 1)];
            place[std::size_t(k)] = place[std::size_t(k - 1)];
            node[std::size_t(k)] = node[std::size_t(k - 1)];
        }
        d[std::size_t(k)] = dist;
        place[std::size_t(k)] = p;
        node[std::size_t(k)] = v;
    }
};

/**
 * Finds the walks of the nodes `from` to `to` (exclusive): for each, its nearest nodes
 * within `within` (a squared distance), written to `near` (WalkNeighbours slots a node)
 * and `nearCount`. Each node searches ring after ring of cells around its own; every
 * node outside the block searched lies at least as far as the block's nearest border
 * beyond it, so once the nearest found lie closer than that, or that border lies beyond
 * the longest leg, none outside can take their place. Consecutive nodes lie near each
 * other, so their searches share the cells they read.
 */
template <typename Points>
void findWalks(const Grid& grid, const Points& at, std::int64_t within, std::size_t from, std::size_t to,
               std::vector<std::int32_t>& near, std::vector<std::uint8_t>& nearCount)
{
    constexpr int K = TravelGraph::WalkNeighbours;
    constexpr std::int64_t Unbounded = std::numeric_limits<std::int64_t>::max() / 4;
    const std::int64_t columns = grid.columns, rows = grid.rows, cell = grid.cell;
    for (std::size_t i = from; i < to; ++i) {
        const std::int64_t px = at[i].x, py = at[i].y;
        const std::int64_t cx = (px - grid.xlo) / cell, cy = (py - grid.ylo) / cell;
        Nearest best;
        // The nodes of cells `x0` to `x1` of row `row`, one run of memory.
        const auto visitRow = [&](std::int64_t row, std::int64_t x0, std::int64_t x1) {
            if (row < 0 || row >= rows)
                return;
            x0 = std::max<std::int64_t>(x0, 0);
            x1 = std::min<std::int64_t>(x1, columns - 1);
            if (x0 > x1)
                return;
            const std::size_t first = std::size_t(grid.cellStart[std::size_t(row * columns + x0)]);
            const std::size_t last = std::size_t(grid.cellStart[std::size_t(row * columns + x1 + 1)]);
            for (std::size_t k = first; k < last; ++k) {
                const std::int64_t d = squared(grid.x[k] - px, grid.y[k] - py);
                if (d <= within && std::size_t(grid.node[k]) != i)
                    best.offer(d, grid.place[k], grid.node[k]);
            }
        };
        for (std::int64_t ring = 0;; ++ring) {
            visitRow(cy - ring, cx - ring, cx + ring);
            if (ring > 0) {
                visitRow(cy + ring, cx - ring, cx + ring);
                for (std::int64_t y = cy - ring + 1; y <= cy + ring - 1; ++y) {
                    visitRow(y, cx - ring, cx - ring);
                    visitRow(y, cx + ring, cx + ring);
                }
            }
            // How near a node outside the block of cells searched can lie: one unit past
            // its nearest border (positions are whole units); no border where the block
            // reaches the grid's edge, for nothing lies beyond it.
            std::int64_t gap = Unbounded;
            if (cx - ring > 0)
                gap = std::min(gap, px - (grid.xlo + (cx - ring) * cell) + 1);
            if (cx + ring < columns - 1)
                gap = std::min(gap, grid.xlo + (cx + ring + 1) * cell - px);
            if (cy - ring > 0)
                gap = std::min(gap, py - (grid.ylo + (cy - ring) * cell) + 1);
            if (cy + ring < rows - 1)
                gap = std::min(gap, grid.ylo + (cy + ring + 1) * cell - py);
            if (gap == Unbounded)
                break; // the block holds the whole grid
            const std::int64_t gapSquared = gap * gap;
            if (gapSquared > within || (best.count == K && best.d[K - 1] < gapSquared))
                break;
        }
        std::copy_n(best.node.begin(), best.count, near.begin() + std::ptrdiff_t(i * K));
        nearCount[i] = std::uint8_t(best.count);
    }
}

/** The Hilbert curve's square has 2^CurveBits cells a side: at a million places still under one place a cell. */
constexpr int CurveBits = 12;

/**
 * The place of a cell along a Hilbert curve over the square of 2^CurveBits cells a side:
 * cells near each other along the curve lie near each other in the square, and unlike
 * a row-by-row order the curve never jumps from one side of the square to the other.
 * (Without branches: whether a quadrant is turned depends on the point, and a branch on
 * it is mispredicted half the time.)
 */
std::uint32_t hilbertKey(std::uint32_t x, std::uint32_t y)
{
    constexpr std::uint32_t All = (1u << CurveBits) - 1;
    std::uint32_t key = 0;
    for (int bit = CurveBits - 1; bit >= 0; --bit) {
        const std::uint32_t rx = (x >> bit) & 1u, ry = (y >> bit) & 1u;
        key = (key << 2) | ((3 * rx) ^ ry);
        // Turn the quadrant so the curve's part within it runs as the whole does: in
        // the lower quadrants, mirror the right one and swap the axes of both.
        const std::uint32_t mirror = (0u - (rx & (ry ^ 1u))) & All;
        x ^= mirror;
        y ^= mirror;
        const std::uint32_t swap = (x ^ y) & (0u - (ry ^ 1u));
        x ^= swap;
        y ^= swap;
    }
    return key;
}

/** A place's map point. */
struct MapPoint {
    std::int32_t x = 0, y = 0;
};

/**
 * The indices of `points` in the order of the Hilbert curve over their bounding square,
 * the lower index first among points of one cell. A radix sort of the keys, in two
 * stable passes, keeps the indices' order among equal keys.
 */
std::vector<std::int32_t> curveOrder(const std::vector<MapPoint>& points)
{
    const std::size_t n = points.size();
    if (n == 0)
        return {};
    std::int64_t xlo = points[0].x, ylo = points[0].y, xhi = xlo, yhi = ylo;
    for (const MapPoint& p : points) {
        xlo = std::min<std::int64_t>(xlo, p.x);
        xhi = std::max<std::int64_t>(xhi, p.x);
        ylo = std::min<std::int64_t>(ylo, p.y);
        yhi = std::max<std::int64_t>(yhi, p.y);
    }
    // One scale for both axes, so the curve's cells stay square on the map.
    constexpr std::int64_t Last = (std::int64_t(1) << CurveBits) - 1;
    const std::int64_t span = std::max<std::int64_t>({xhi - xlo, yhi - ylo, 1});
    const auto scaled = [span](std::int64_t v) { return std::uint32_t((v * Last) / span); };
    std::vector<std::uint32_t> key(n);
    for (std::size_t i = 0; i < n; ++i)
        key[i] = hilbertKey(scaled(points[i].x - xlo), scaled(points[i].y - ylo));

    constexpr int Digit = CurveBits; // the key has 2 * CurveBits bits: two passes
    constexpr std::uint32_t DigitMask = (1u << Digit) - 1;
    std::vector<std::int32_t> order(n), sorted(n);
    std::vector<std::int32_t> start(std::size_t(1) << Digit);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = std::int32_t(i);
    for (int pass = 0; pass < 2; ++pass) {
        const int shift = pass * Digit;
        std::fill(start.begin(), start.end(), 0);
        for (std::size_t i = 0; i < n; ++i)
            ++start[(key[i] >> shift) & DigitMask];
        std::int32_t sum = 0;
        for (std::int32_t& s : start)
            sum += std::exchange(s, sum);
        for (const std::int32_t i : order)
            sorted[std::size_t(start[(key[std::size_t(i)] >> shift) & DigitMask]++)] = i;
        order.swap(sorted);
    }
    return order;
}

/** Sorts a few values in place and drops repeats; returns the new end. */
template <typename T> T* sortUnique(T* begin, T* end)
{
    if (begin == end)
        return end;
    for (T* a = begin + 1; a < end; ++a)
        for (T* b = a; b > begin && *b < *(b - 1); --b)
            std::swap(*b, *(b - 1));
    return std::unique(begin, end);
}

} // namespace

TravelGraph::TravelGraph(const LocationList& locations, const SpatialIndex& /*index*/, double walkLeg)
    : m_walkLeg(walkLeg)
{
    // The places' points and routes are read in the list's order, once: the list's
    // records are large and lie apart, too far for the node order's jumps among them.
    const std::size_t n = locations.size();
    std::vector<MapPoint> points(n);
    for (std::size_t p = 0; p < n; ++p)
        points[p] = {locations[p].X, locations[p].Y};
    m_placeOf = curveOrder(points);
    m_nodeOf.resize(n);
    m_at.resize(n);
    for (std::size_t v = 0; v < n; ++v) {
        const auto p = std::size_t(m_placeOf[v]);
        m_nodeOf[p] = std::int32_t(v);
        m_at[v] = {points[p].x, points[p].y};
    }

    // The network links of each node, as (mode, target node), gathered by node.
    std::vector<std::int32_t> linkStart(n + 1, 0);
    std::vector<std::pair<TravelMode, std::int32_t>> links;
    {
        struct Link {
            std::int32_t from;
            TravelMode mode;
            std::int32_t to;
        };
        std::vector<Link> found;
        for (std::size_t p = 0; p < n; ++p)
            for (const Route& r : locations[p].Routes) {
                TravelMode mode;
                if (r.Target >= 0 && std::size_t(r.Target) < n && std::size_t(r.Target) != p
                    && travelModeOfRoute(r.Kind, mode)) {
                    found.push_back({m_nodeOf[p], mode, m_nodeOf[std::size_t(r.Target)]});
                    ++linkStart[std::size_t(found.back().from) + 1];
                }
            }
        for (std::size_t v = 0; v < n; ++v)
            linkStart[v + 1] += linkStart[v];
        links.resize(found.size());
        std::vector<std::int32_t> next(linkStart.begin(), linkStart.end() - 1);
        for (const Link& l : found)
            links[std::size_t(next[std::size_t(l.from)]++)] = {l.mode, l.to};
    }

    // Walking: each node's nearest neighbours within reach, joined both ways (the
    // nearness is not mutual, the walk is). The search is the bulk of the work and each
    // node's is its own, so large worlds share it between two threads.
    constexpr int K = WalkNeighbours;
    std::vector<std::int32_t> near;
    std::vector<std::uint8_t> nearCount(n, 0);
    if (walkLeg > 0 && n > 1) {
        near.resize(n * K);
        const Grid grid(m_at, m_placeOf);
        // Squared distances: exact, and in the same order as the distances.
        const auto within = std::int64_t(std::floor(walkLeg * walkLeg));
        if (n >= ParallelFrom) {
            const std::size_t half = n / 2;
            std::thread other([&] { findWalks(grid, m_at, within, half, n, near, nearCount); });
            findWalks(grid, m_at, within, 0, half, near, nearCount);
            other.join();
        } else {
            findWalks(grid, m_at, within, 0, n, near, nearCount);
        }
    }

    // Who has each node among their nearest, in ascending order (filled in that order):
    // merged with its own nearest, sorted, a node's walks come out sorted without a sort
    // of the whole.
    std::vector<std::int32_t> nearOfStart(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 0; k < nearCount[i]; ++k)
            ++nearOfStart[std::size_t(near[i * K + std::size_t(k)]) + 1];
    for (std::size_t i = 0; i < n; ++i)
        nearOfStart[i + 1] += nearOfStart[i];
    std::vector<std::int32_t> nearOf(static_cast<std::size_t>(nearOfStart[n]));
    {
        std::vector<std::int32_t> next(nearOfStart.begin(), nearOfStart.end() - 1);
        for (std::size_t i = 0; i < n; ++i)
            for (int k = 0; k < nearCount[i]; ++k)
                nearOf[std::size_t(next[std::size_t(near[i * K + std::size_t(k)])]++)] = std::int32_t(i);
    }

    // The edges of each node in order: its walks (the first mode), then its network
    // links by mode and target, each once. (Made on one thread: splitting this pass
    // costs more in page faults and the copy that joins the halves than it saves.)
    m_start.assign(n + 1, 0);
    m_edges.clear();
    m_edges.reserve((nearOf.size() * 2) + links.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t x = m_at[i].x, y = m_at[i].y;
        const auto length = [&](std::int32_t j) {
            return std::sqrt(double(squared(m_at[std::size_t(j)].x - x, m_at[std::size_t(j)].y - y)));
        };
        std::array<std::int32_t, K> own{};
        std::copy_n(near.begin() + std::ptrdiff_t(i * K), nearCount[i], own.begin());
        const std::int32_t* a = own.data();
        const std::int32_t* const aEnd = sortUnique(own.data(), own.data() + nearCount[i]);
        const std::int32_t* b = nearOf.data() + nearOfStart[i];
        const std::int32_t* const bEnd = nearOf.data() + nearOfStart[i + 1];
        while (a != aEnd || b != bEnd) {
            const std::int32_t w = b == bEnd || (a != aEnd && *a < *b) ? *a++ : *b++;
            if (a != aEnd && *a == w)
                ++a; // its own nearest and has it among theirs: one walk both ways
            m_edges.push_back({w, TravelMode::Walk, length(w)});
        }
        auto* const linksBegin = links.data() + linkStart[i];
        auto* const linksEnd = sortUnique(linksBegin, links.data() + linkStart[i + 1]);
        for (const auto* l = linksBegin; l != linksEnd; ++l) {
            m_edges.push_back({l->second, l->first, length(l->second)});
            if (l->first == TravelMode::Guild)
                m_guildArrivals.push_back(l->second);
        }
        m_start[i + 1] = std::int32_t(m_edges.size());
    }
    std::sort(m_guildArrivals.begin(), m_guildArrivals.end());
    m_guildArrivals.erase(std::unique(m_guildArrivals.begin(), m_guildArrivals.end()), m_guildArrivals.end());
}

} // namespace vdm
