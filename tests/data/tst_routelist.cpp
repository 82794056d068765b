// SPDX-License-Identifier: MIT
// A place's routes: a list with a vector's value semantics in one pointer of the record.
#include "data/location.h"
#include "data/routelist.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

namespace vdm {
namespace {

std::vector<Route> asVector(const RouteList& list)
{
    return {list.begin(), list.end()};
}

TEST(RouteList, HoldsWhatWasPutInAsAVectorWould)
{
    // Targets and kinds at the ends of their ranges come back as they went in.
    const std::vector<Route> routes = {{0, 0}, {INT_MAX, 255}, {-1, Skarnel}, {INT_MIN, 9}, {7, MagesGuild}};
    struct Case {
        const char* name;
        RouteList (*make)(const std::vector<Route>&);
    };
    const Case cases[] = {
        {"assigned",
         [](const std::vector<Route>& r) {
             RouteList l;
             l.assign(r.data(), r.data() + r.size());
             return l;
         }},
        {"pushed one by one",
         [](const std::vector<Route>& r) {
             RouteList l;
             for (const Route& one : r)
                 l.push_back(one);
             return l;
         }},
        {"from a list",
         [](const std::vector<Route>&) {
             return RouteList{{0, 0}, {INT_MAX, 255}, {-1, Skarnel}, {INT_MIN, 9}, {7, MagesGuild}};
         }},
    };
    for (const Case& c : cases) {
        const RouteList list = c.make(routes);
        EXPECT_EQ(list.size(), routes.size()) << c.name;
        EXPECT_FALSE(list.empty()) << c.name;
        EXPECT_EQ(asVector(list), routes) << c.name;
        EXPECT_TRUE(list == routes) << c.name;
        EXPECT_EQ(list[1], (Route{INT_MAX, 255})) << c.name;
    }
}

TEST(RouteList, EmptyListsHoldNothingAndCompareEqual)
{
    RouteList list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.begin(), list.end());
    EXPECT_TRUE(list == RouteList{});
    EXPECT_TRUE(list == std::vector<Route>{});
    list = {{1, Ship}};
    list.assign(nullptr, nullptr); // nothing: the list is empty again
    EXPECT_TRUE(list.empty());
    list.push_back({2, Ship});
    list.clear();
    EXPECT_TRUE(list.empty());
}

TEST(RouteList, CopiesAreIndependentAndMovesTakeTheRoutes)
{
    RouteList a{{1, Skarnel}, {2, Ship}};
    RouteList b = a;
    b.push_back({3, MagesGuild});
    EXPECT_EQ(asVector(a), (std::vector<Route>{{1, Skarnel}, {2, Ship}}));
    EXPECT_EQ(b.size(), 3u);
    EXPECT_FALSE(a == b);

    a = b;
    EXPECT_TRUE(a == b);
    const RouteList& same = a;
    a = same; // a copy onto itself keeps the routes
    EXPECT_TRUE(a == b);

    RouteList c = std::move(a);
    EXPECT_TRUE(c == b);
    EXPECT_TRUE(a.empty()); // NOLINT(bugprone-use-after-move): a moved-from list is empty
    c = std::move(b);
    EXPECT_EQ(c.size(), 3u);

    // One of its own routes appended: read before the list grows.
    c.push_back(c[0]);
    EXPECT_EQ(asVector(c), (std::vector<Route>{{1, Skarnel}, {2, Ship}, {3, MagesGuild}, {1, Skarnel}}));
    // The same order, not the same set.
    EXPECT_FALSE((RouteList{{1, Skarnel}, {2, Ship}} == RouteList{{2, Ship}, {1, Skarnel}}));
}

TEST(RouteList, ARecordKeepsItsRoutesInOnePointer)
{
    // 8 bytes of the record: a record with routes in a vector took 96 bytes.
    EXPECT_EQ(sizeof(RouteList), sizeof(void*));
    EXPECT_EQ(sizeof(Location), 80u);
    Location a;
    a.Routes = {{4, Ship}};
    Location b = a;
    EXPECT_EQ(a, b);
    b.Routes.push_back({5, Ship});
    EXPECT_NE(a, b);
}

} // namespace
} // namespace vdm
