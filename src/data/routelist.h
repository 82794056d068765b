// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vdm {

/** One route departing from a location: the index of its target in the locations list. */
struct Route {
    std::int32_t Target = 0;
    std::uint8_t Kind = 0;
    bool operator==(const Route&) const = default;
};

/**
 * The routes departing from one location, in file order: a list with the value semantics
 * of a std::vector<Route> (a copy is a copy of the routes), held in the record as one
 * pointer (8 bytes where a std::vector took 24: 16 MB at a million places, most of which
 * have no routes). A list that has routes keeps them in one block of its own: their count,
 * then the routes. An empty list holds nothing.
 */
class RouteList {
public:
    RouteList() = default;
    RouteList(std::initializer_list<Route> routes) { assign(routes.begin(), routes.end()); }
    RouteList(const RouteList& other) { assign(other.begin(), other.end()); }
    RouteList(RouteList&& other) noexcept : m_block(other.m_block) { other.m_block = nullptr; }
    RouteList& operator=(const RouteList& other);
    RouteList& operator=(RouteList&& other) noexcept;
    RouteList& operator=(std::initializer_list<Route> routes);
    ~RouteList();

    const Route* begin() const { return m_block ? routes() : nullptr; }
    const Route* end() const { return m_block ? routes() + *m_block : nullptr; }
    std::size_t size() const { return m_block ? *m_block : 0; }
    bool empty() const { return !m_block; }
    const Route& operator[](std::size_t k) const { return routes()[k]; }

    /** Makes the list [first, last) (of any size: a block of exactly that many routes). */
    void assign(const Route* first, const Route* last);
    /** Appends a route (the block grows by one: for lists made a route at a time, which are short). */
    void push_back(const Route& route);
    void clear();

    friend bool operator==(const RouteList& a, const RouteList& b);
    friend bool operator==(const RouteList& a, const std::vector<Route>& b);

private:
    const Route* routes() const { return reinterpret_cast<const Route*>(m_block + 1); }
    Route* routes() { return reinterpret_cast<Route*>(m_block + 1); }

    std::uint32_t* m_block = nullptr; // the count, then the routes; null when there are none
};

} // namespace vdm
