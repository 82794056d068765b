// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vdm {

class SpatialIndex;

/** A way of travelling between two places. */
enum class TravelMode : std::uint8_t { Walk, Skarnel, Ship, Guild };
constexpr int TravelModeCount = 4;

/**
 * What the traveller allows and what each way costs. Costs are hours: walking and the
 * skarnel and ship networks take their map distance divided by their speed (map units
 * per hour); a mages guild jump is a teleport and takes a fixed time whatever the
 * distance; every change from one way to another costs the change penalty once.
 */
struct TravelSettings {
    std::array<bool, TravelModeCount> enabled{true, true, true, true};
    double walkSpeed = 1000;
    double skarnelSpeed = 4000;
    double shipSpeed = 6000;
    double guildJumpCost = 2;
    double changePenalty = 0.5;

    /** Whether the traveller may use `mode`: enabled, and for a way that costs by distance, a speed above 0. */
    bool allows(TravelMode mode) const;
    /** The time of one leg of `mode` over `distance` map units, without the change penalty. */
    double legCost(TravelMode mode, double distance) const
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
    /** The fastest speed of the enabled ways that cost by distance; 0 when none is enabled. */
    double fastestSpeed() const;
    bool operator==(const TravelSettings&) const = default;
};

/**
 * The places of a world as a graph of ways to travel: every route of the routes database
 * of a network (skarnel, ship, mages guild) is a directed edge of its network, followed
 * only in its direction; walking joins each place to its nearest neighbours, both ways,
 * by straight legs no longer than the longest walking leg. The files carry no terrain, so
 * that length is what keeps the sea between the mainland and its islands: with the
 * default, the sample world's mainland is one walk and each island is reached by ship
 * or guild only.
 *
 * The graph numbers the places anew as its nodes, in the order of a curve that fills the
 * map (a Hilbert curve over their map points): places near each other on the map are
 * nodes near each other in memory, so a search that spreads from a place finds the
 * states of its neighbours already fetched. Everything the graph answers is in nodes;
 * node() and place() translate, and callers translate only where they meet the world's
 * place indices (what they are given and what they hand back).
 *
 * Built once per world (its places and routes); the settings are applied by the search,
 * so changing them needs no rebuild.
 */
class TravelGraph {
public:
    /** The default longest walking leg, in map units. */
    static constexpr double DefaultWalkLeg = 12000;
    /** How many nearest neighbours a place walks to at most (fewer when they lie farther). */
    static constexpr int WalkNeighbours = 6;

    struct Edge {
        std::int32_t target = 0; // a node
        TravelMode mode = TravelMode::Walk;
        double distance = 0; // straight-line map distance
    };

    TravelGraph() = default;
    /**
     * Builds the graph of `locations`. The walks come from a grid the graph makes for the
     * one pass over every place (far quicker than asking the world's per-level index place
     * by place); `index`, the world's index of the same list, is kept for the callers that
     * hand it and is not read.
     */
    TravelGraph(const LocationList& locations, const SpatialIndex& index, double walkLeg = DefaultWalkLeg);

    int size() const { return int(m_at.size()); }
    double walkLeg() const { return m_walkLeg; }
    /** The node of a place of the list the graph was built from. */
    int node(int place) const { return m_nodeOf[std::size_t(place)]; }
    /** The place of a node. */
    int place(int node) const { return m_placeOf[std::size_t(node)]; }
    std::int32_t x(int node) const { return m_at[std::size_t(node)].x; }
    std::int32_t y(int node) const { return m_at[std::size_t(node)].y; }
    /** The straight-line map distance between two nodes. */
    double distance(int a, int b) const
    {
        // Exact in 64 bits: map units are far below 2^26.
        const std::int64_t dx = std::int64_t(m_at[std::size_t(a)].x) - m_at[std::size_t(b)].x;
        const std::int64_t dy = std::int64_t(m_at[std::size_t(a)].y) - m_at[std::size_t(b)].y;
        return std::sqrt(double((dx * dx) + (dy * dy)));
    }

    /** The edges leaving `node`, ordered by mode, then target. */
    const Edge* edgesBegin(int node) const { return m_edges.data() + m_start[std::size_t(node)]; }
    const Edge* edgesEnd(int node) const { return m_edges.data() + m_start[std::size_t(node) + 1]; }
    std::size_t edgeCount() const { return m_edges.size(); }
    /** The nodes some guild jump arrives at, each once, ascending. */
    const std::vector<std::int32_t>& guildArrivals() const { return m_guildArrivals; }

private:
    struct Point {
        std::int32_t x = 0, y = 0;
    };
    std::vector<Point> m_at;             // by node: x and y side by side, one fetch
    std::vector<std::int32_t> m_nodeOf;  // by place
    std::vector<std::int32_t> m_placeOf; // by node
    std::vector<std::int32_t> m_start;   // size() + 1 offsets into m_edges
    std::vector<Edge> m_edges;
    std::vector<std::int32_t> m_guildArrivals;
    double m_walkLeg = DefaultWalkLeg;
};

/** The travel mode of a route kind; false for kinds that are no network. */
bool travelModeOfRoute(std::uint8_t kind, TravelMode& mode);

} // namespace vdm
