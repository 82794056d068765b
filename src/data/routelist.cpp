// SPDX-License-Identifier: MIT
#include "data/routelist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace vdm {
namespace {

/** A block for `count` routes (count > 0), its count not yet written. */
std::uint32_t* resized(std::uint32_t* block, std::size_t count)
{
    if (count > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many routes from one location");
    // The routes follow the count directly: a Route needs no more alignment than the count.
    static_assert(alignof(Route) <= alignof(std::uint32_t));
    void* grown = std::realloc(block, sizeof(std::uint32_t) + count * sizeof(Route));
    if (!grown)
        throw std::bad_alloc();
    return static_cast<std::uint32_t*>(grown);
}

} // namespace

RouteList& RouteList::operator=(const RouteList& other)
{
    if (this != &other)
        assign(other.begin(), other.end());
    return *this;
}

RouteList& RouteList::operator=(RouteList&& other) noexcept
{
    if (this != &other) {
        std::free(m_block);
        m_block = other.m_block;
        other.m_block = nullptr;
    }
    return *this;
}

RouteList& RouteList::operator=(std::initializer_list<Route> routes)
{
    assign(routes.begin(), routes.end());
    return *this;
}

RouteList::~RouteList()
{
    std::free(m_block);
}

void RouteList::assign(const Route* first, const Route* last)
{
    const std::size_t count = std::size_t(last - first);
    if (count == 0) {
        clear();
        return;
    }
    std::uint32_t* block = resized(nullptr, count);
    std::memcpy(static_cast<void*>(block + 1), first, count * sizeof(Route));
    *block = std::uint32_t(count);
    std::free(m_block);
    m_block = block;
}

void RouteList::push_back(const Route& route)
{
    const Route copy = route; // `route` may be one of ours, moved by the growth
    const std::size_t count = size();
    m_block = resized(m_block, count + 1);
    std::memcpy(static_cast<void*>(routes() + count), &copy, sizeof(Route));
    *m_block = std::uint32_t(count + 1);
}

void RouteList::clear()
{
    std::free(m_block);
    m_block = nullptr;
}

bool operator==(const RouteList& a, const RouteList& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool operator==(const RouteList& a, const std::vector<Route>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace vdm
