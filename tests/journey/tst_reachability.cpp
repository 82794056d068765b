// SPDX-License-Identifier: MIT
// The authors' check: places nothing arrives at, network routes with no way back.
#include "journey/reachability.h"

#include "map/spatialindex.h"

#include <gtest/gtest.h>

using namespace vdm;

namespace {

/** Two mainland places a walk apart (0, 1) and two far islands (2, 3). */
LocationList fourPlaces()
{
    LocationList list(4);
    const int at[4][2] = {{0, 0}, {5000, 0}, {200000, 0}, {0, 200000}};
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i].Name = "Place " + QByteArray::number(int(i));
        list[i].X = at[i][0];
        list[i].Y = at[i][1];
    }
    return list;
}

struct Link {
    int from, to;
    std::uint8_t kind;
};

struct Case {
    const char* name;
    std::vector<Link> links;
    std::vector<int> unreached;
    std::vector<std::pair<int, int>> oneWay;
};

TEST(Reachability, FindsPlacesNothingReachesAndRoutesWithoutAWayBack)
{
    const Case cases[] = {
        {"no routes: both islands cut off", {}, {2, 3}, {}},
        {"a ship out and one back", {{0, 2, Ship}, {2, 0, Ship}}, {3}, {}},
        {"out by ship, back by guild", {{1, 3, Ship}, {3, 1, MagesGuild}}, {2}, {}},
        {"out only: the island is reached, the route is one-way", {{0, 2, Skarnel}}, {3}, {{0, 2}}},
        {"a way back to another place is no way back", {{0, 2, Ship}, {2, 1, Ship}}, {3}, {{0, 2}, {2, 1}}},
        {"an island that only sends", {{3, 0, MagesGuild}}, {2, 3}, {{3, 0}}},
        {"kinds that are no network take nobody anywhere", {{0, 2, 0}, {0, 3, 7}}, {2, 3}, {}},
        {"every island linked both ways", {{0, 2, Ship}, {2, 0, Ship}, {2, 3, Ship}, {3, 2, Ship}}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocationList places = fourPlaces();
        for (const Link& l : c.links)
            places[std::size_t(l.from)].Routes.push_back({l.to, l.kind});
        const SpatialIndex index(places, {});
        const TravelGraph graph(places, index);
        const Reachability found = checkReachability(graph, places);
        EXPECT_EQ(found.unreached, c.unreached);
        EXPECT_EQ(found.oneWay, c.oneWay);
        EXPECT_EQ(found.clean(), c.unreached.empty() && c.oneWay.empty());
    }
}

TEST(Reachability, TheReportNamesEachFindingAndSumsUp)
{
    LocationList places = fourPlaces();
    places[0].Routes.push_back({2, Ship});
    places[0].Name = "K\xF6nigsfurt"; // the code page's ö
    const SpatialIndex index(places, {});
    const QStringList lines = reachabilityReport(checkReachability(TravelGraph(places, index), places), places);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "unreached: Place 3 (no route arrives and no walk reaches it)");
    EXPECT_EQ(lines[1], QString::fromUtf8("one-way: K\u00f6nigsfurt \u2192 Place 2 (no route leads back)"));
    EXPECT_EQ(lines[2], "1 place unreached, 1 one-way route");
    EXPECT_EQ(reachabilityReport(Reachability{}, places),
              QStringList{"Every place is reached and every route leads back."});
}

} // namespace
