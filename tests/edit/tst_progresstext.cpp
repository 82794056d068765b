// SPDX-License-Identifier: MIT
// The progress line's texts: the counts and the pointer's place.
#include "edit/progresstext.h"

#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(ProgressText, NumbersKeepTheirThousandsApart)
{
    const struct {
        long long n;
        const char* text;
    } rows[] = {{0, "0"},        {57, "57"},          {640, "640"},
                {1000, "1 000"}, {12345, "12 345"},   {-6789, "-6 789"},
                {-100, "-100"},  {100000, "100 000"}, {-2147483648LL, "-2 147 483 648"}};
    for (const auto& r : rows)
        EXPECT_EQ(groupedNumber(r.n), QString::fromUtf8(r.text)) << r.n;
}

TEST(ProgressText, CountsAndPointer)
{
    EXPECT_EQ(progressText({57, 3, 580, 640}),
              QString::fromUtf8("Visited 57 \u00B7 Active 3 \u00B7 Unvisited 580 of 640"));
    EXPECT_EQ(pointerText({12345, -6789}, nullptr), QStringLiteral("x 12 345, y -6 789"));
    Location l;
    l.Name = "\xC9"
             "cluse";
    l.Region = "Gr\xFCn Weald";
    l.Kind = "castle";
    EXPECT_EQ(pointerText({1, 2}, &l),
              QString::fromUtf8("x 1, y 2 \u00B7 \u00C9cluse \u2014 Gr\u00FCn Weald \u00B7 castle"));
    l.Region.clear();
    EXPECT_EQ(pointerText({1, 2}, &l), QString::fromUtf8("x 1, y 2 \u00B7 \u00C9cluse \u2014 castle"));
    l.Kind = "  ";
    EXPECT_EQ(pointerText({1, 2}, &l), QString::fromUtf8("x 1, y 2 \u00B7 \u00C9cluse"));
}

} // namespace
} // namespace vdm

namespace vdm {
namespace {

Location placeOf(const char* kind, const char* region, std::int32_t status)
{
    Location l;
    l.Name = "P";
    l.Kind = kind;
    l.Region = region;
    l.Status = status;
    return l;
}

TEST(ProgressText, KindsInThePlural)
{
    const struct {
        const char* kind;
        const char* plural;
    } rows[] = {{"mine", "mines"},          {"city", "cities"},     {"abbey", "abbeys"},           {"ruins", "ruins"},
                {"fortress", "fortresses"}, {"church", "churches"}, {"Lighthouse", "Lighthouses"}, {"y", "ys"}};
    for (const auto& r : rows)
        EXPECT_EQ(pluralKind(QString::fromUtf8(r.kind)), QString::fromUtf8(r.plural)) << r.kind;
}

TEST(ProgressText, FilterInWords)
{
    const struct {
        PlaceFilter filter;
        const char* text;
    } rows[] = {
        {PlaceFilter({"mine"}, {"Karuford Downs"}), "mines in Karuford Downs"},
        {PlaceFilter({"mine", "shrine"}, {}), "mines and shrines"},
        {PlaceFilter({"tower", "mine", "shrine"}, {}), "mines, shrines and towers"},
        {PlaceFilter({}, {"B", "A"}), "places in A and B"},
        {PlaceFilter({""}, {}), "places"},
        {PlaceFilter({"gr\xFCnhof"}, {}), "gr\u00FCnhofs"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(filterDescription(r.filter), QString::fromUtf8(r.text)) << r.text;
}

TEST(ProgressText, CountsFollowTheFilterAndTheStatuses)
{
    LocationList places = {placeOf("mine", "Karuford Downs", Visited),   placeOf("mine", "Karuford Downs", Active),
                           placeOf("mine", "Karuford Downs", Unvisited), placeOf("mine", "Karuford Downs", 0),
                           placeOf("mine", "Ashen Vale", Visited),       placeOf("town", "Karuford Downs", Visited)};
    World world(QString(), places, {});
    const PlaceFilter mines({"mine"}, {"Karuford Downs"});
    EXPECT_EQ(filteredCounts(world.locations(), mines), (World::StatusCounts{1, 1, 2, 4}));
    EXPECT_EQ(progressText(world, mines),
              QString::fromUtf8("Visited 1 \u00B7 Active 1 \u00B7 Unvisited 2 of 4 mines in Karuford Downs"));
    // Without a filter the line is the world's, as it always was.
    EXPECT_EQ(progressText(world, PlaceFilter()), progressText(world.statusCounts()));
    world.setLocationStatus(2, Visited);
    EXPECT_EQ(progressText(world, mines),
              QString::fromUtf8("Visited 2 \u00B7 Active 1 \u00B7 Unvisited 1 of 4 mines in Karuford Downs"));
    EXPECT_EQ(progressText(world, PlaceFilter({"town"}, {})),
              QString::fromUtf8("Visited 1 \u00B7 Active 0 \u00B7 Unvisited 0 of 1 towns"));
}

} // namespace
} // namespace vdm
