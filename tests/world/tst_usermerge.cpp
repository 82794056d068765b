// SPDX-License-Identifier: MIT
// The merge rules alone: who changed what since the last read or write, and what stays.
#include "common/testutils.h"
#include "world/usermerge.h"

#include <gtest/gtest.h>

#include <functional>

namespace vdm {
namespace {

using test::marker;

TEST(PlaceMerge, EachFieldTakesTheSideThatChangedItAndThisWindowWinsATie)
{
    const PlaceRecord base{Active, "ford"};
    struct Case {
        const char* who;
        PlaceRecord theirs, ours, merged;
    };
    const Case cases[] = {
        {"nobody", base, base, base},
        {"they set the status", {Visited, "ford"}, base, {Visited, "ford"}},
        {"we set the status", base, {Unvisited, "ford"}, {Unvisited, "ford"}},
        {"both set the status", {Visited, "ford"}, {Unvisited, "ford"}, {Unvisited, "ford"}},
        {"they wrote the note", {Active, "bridge"}, base, {Active, "bridge"}},
        {"we wrote the note", base, {Active, "toll"}, {Active, "toll"}},
        {"both wrote the note", {Active, "bridge"}, {Active, "toll"}, {Active, "toll"}},
        {"we the status, they the note", {Active, "bridge"}, {Visited, "ford"}, {Visited, "bridge"}},
        {"they the status, we the note", {Visited, "ford"}, {Active, "toll"}, {Visited, "toll"}},
        {"they cleared the note", {Active, ""}, base, {Active, ""}},
        {"we set it back as it was", {Visited, "bridge"}, base, {Visited, "bridge"}},
        {"both the same change", {Visited, "ford"}, {Visited, "ford"}, {Visited, "ford"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        // The place among unchanged neighbours, which must stay as they were.
        const PlaceRecord quiet{Unvisited, "quiet"};
        const PlaceRecords merged = mergePlaces({quiet, base, quiet}, {quiet, c.theirs, quiet}, {quiet, c.ours, quiet});
        EXPECT_EQ(merged, (PlaceRecords{quiet, c.merged, quiet}));
        EXPECT_EQ(placesChanged({quiet, base, quiet}, {quiet, c.ours, quiet}), !(c.ours == base));
        // The same question asked of the places themselves, with the file's records kept
        // only where a place was changed.
        LocationList places(3);
        for (std::size_t i = 0; i < places.size(); ++i) {
            const PlaceRecord& r = i == 1 ? base : quiet;
            places[i].Status = r.status;
            places[i].Note = r.note;
        }
        PlaceBase file;
        file.reset(places.size());
        file.keep(1, places);
        places[1].Status = c.ours.status;
        places[1].Note = c.ours.note;
        file.keep(1, places); // a second change keeps the first one's record
        EXPECT_EQ(file.changed(places), !(c.ours == base));
        EXPECT_EQ(file.holds(1, places), c.ours == base);
        EXPECT_TRUE(file.holds(0, places));
        EXPECT_EQ(file.records(places), (PlaceRecords{quiet, base, quiet}));
        PlaceBase shorter;
        shorter.reset(2);
        EXPECT_TRUE(shorter.changed(places)) << "a place the base does not hold";
        EXPECT_FALSE(shorter.holds(2, places));
    }
}

TEST(PlaceMerge, TheBaseFollowsWritesAndMergesWithoutARecordPerPlace)
{
    LocationList places(3);
    places[1].Note = "ours";
    PlaceBase file;
    // After a merge the file holds `theirs`; only where the list differs is it kept.
    file.reset({{Unvisited, ""}, {Unvisited, "theirs"}, {Visited, ""}}, places);
    EXPECT_TRUE(file.changed(places));
    EXPECT_FALSE(file.holds(1, places));
    EXPECT_FALSE(file.holds(2, places));
    EXPECT_EQ(file.records(places), (PlaceRecords{{Unvisited, ""}, {Unvisited, "theirs"}, {Visited, ""}}));
    // A write of what the list holds settles those places.
    file.set(1, {Unvisited, "ours"}, places);
    file.set(2, {Unvisited, ""}, places);
    EXPECT_FALSE(file.changed(places));
    // A write that the list has moved past since leaves the place changed.
    file.keep(0, places);
    places[0].Status = Active;
    file.set(0, {Visited, ""}, places);
    EXPECT_TRUE(file.changed(places));
    EXPECT_EQ(file.records(places)[0], (PlaceRecord{Visited, ""}));
    // Places beyond the list are no one's: nothing is kept for them.
    file.keep(7, places);
    file.set(7, {Visited, "x"}, places);
    EXPECT_EQ(file.records(places).size(), 3u);
}

TEST(PlaceMerge, PlacesTheOtherSideDoesNotHoldKeepThisWindowsRecords)
{
    const PlaceRecords ours{{Visited, "a"}, {Active, "b"}, {Active, "c"}};
    // The file holds fewer blocks than there are places: the rest is this window's.
    EXPECT_EQ(mergePlaces(ours, {{Unvisited, "x"}}, ours),
              (PlaceRecords{{Unvisited, "x"}, {Active, "b"}, {Active, "c"}}));
    // Nothing was read before: every place counts as changed here.
    EXPECT_EQ(mergePlaces({}, {{Unvisited, ""}, {Unvisited, ""}, {Unvisited, ""}}, ours), ours);
    EXPECT_TRUE(placesChanged({}, ours));
}

/** Text and position of each marker, for readable failures. */
std::vector<std::string> spots(const LocationList& markers)
{
    std::vector<std::string> out;
    for (const Location& m : markers)
        out.push_back(m.Name.toStdString() + "@" + std::to_string(m.X) + "," + std::to_string(m.Y));
    return out;
}

TEST(MarkerMerge, TheFilesMarkersStayAndThisWindowsChangesApplyToThem)
{
    const Location a = marker("A", 1, 1), b = marker("B", 2, 2), c = marker("C", 3, 3);
    using Ops = std::function<void(LocationList&, MarkerChanges&)>;
    const auto edit = [](int i, const char* text) {
        return [=](LocationList& ours, MarkerChanges&) { ours[size_t(i)].Name = text; };
    };
    const auto move = [](int i, int x, int y) {
        return [=](LocationList& ours, MarkerChanges&) {
            ours[size_t(i)].X = x;
            ours[size_t(i)].Y = y;
        };
    };
    const auto add = [](const char* text) {
        return [=](LocationList& ours, MarkerChanges& changes) {
            ours.push_back(marker(text, 9, 9));
            changes.added();
        };
    };
    const auto remove = [](int i) {
        return [=](LocationList& ours, MarkerChanges& changes) {
            ours.erase(ours.begin() + i);
            changes.removed(i);
        };
    };
    const Ops clear = [](LocationList& ours, MarkerChanges& changes) {
        ours.clear();
        changes.cleared();
    };
    const Ops nothing = [](LocationList&, MarkerChanges&) {};

    struct Case {
        const char* who;
        LocationList base;
        std::vector<Ops> ours;
        LocationList theirs;
        std::vector<std::string> merged;
        std::vector<int> newIndexOf;
    };
    const Case cases[] = {
        {"nobody", {a, b}, {nothing}, {a, b}, {"A@1,1", "B@2,2"}, {0, 1}},
        {"they added", {a, b}, {nothing}, {c, a, b}, {"C@3,3", "A@1,1", "B@2,2"}, {1, 2}},
        {"both added", {a}, {add("N")}, {a, c}, {"A@1,1", "C@3,3", "N@9,9"}, {0, 2}},
        {"we edited, they added before it", {a, b}, {edit(1, "B2")}, {c, a, b}, {"C@3,3", "A@1,1", "B2@2,2"}, {1, 2}},
        {"we moved, they reordered", {a, b}, {move(0, 5, 6)}, {b, a}, {"B@2,2", "A@5,6"}, {1, 0}},
        {"we deleted, they edited another", {a, b}, {remove(0)}, {a, marker("B3", 2, 2)}, {"B3@2,2"}, {-1}},
        {"we edited, they deleted it", {a, b}, {edit(0, "A2")}, {b}, {"B@2,2", "A2@1,1"}, {1, 0}},
        {"both edited it", {a}, {edit(0, "A2")}, {marker("A3", 1, 1)}, {"A3@1,1", "A2@1,1"}, {1}},
        {"we deleted, they edited it", {a, b}, {remove(0)}, {marker("A3", 1, 1), b}, {"A3@1,1", "B@2,2"}, {1}},
        {"both deleted it", {a, b}, {remove(1)}, {a}, {"A@1,1"}, {0}},
        {"they deleted one we kept", {a, b}, {nothing}, {b}, {"B@2,2"}, {-1, 0}},
        {"we cleared, they added", {a, b}, {clear}, {a, b, c}, {"C@3,3"}, {}},
        {"equal markers pair in order", {a, a, b}, {remove(1)}, {a, a, b, c}, {"A@1,1", "B@2,2", "C@3,3"}, {0, 1}},
        {"we added, deleted, edited",
         {a, b, c},
         {add("N"), remove(0), edit(0, "B2")},
         {a, b, c},
         {"B2@2,2", "C@3,3", "N@9,9"},
         {0, 1, 2}},
        {"the file emptied", {a, b}, {edit(1, "B2")}, {}, {"B2@2,2"}, {-1, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.who);
        MarkerChanges changes;
        changes.reset(k.base);
        LocationList ours = k.base;
        for (const Ops& op : k.ours)
            op(ours, changes);
        EXPECT_EQ(changes.any(ours), std::string(k.who) != "nobody" && std::string(k.who) != "they added"
                                         && std::string(k.who) != "they deleted one we kept");
        const MarkerChanges::Merged merged = changes.merge(k.theirs, ours);
        EXPECT_EQ(spots(merged.markers), k.merged);
        EXPECT_EQ(merged.newIndexOf, k.newIndexOf);
        ASSERT_EQ(merged.origins.size(), merged.markers.size());

        // Read again without writing: the window's changes stay changes against the new
        // version, and merging with it once more changes nothing.
        changes.rebase(k.theirs, merged);
        const MarkerChanges::Merged again = changes.merge(k.theirs, merged.markers);
        EXPECT_EQ(spots(again.markers), k.merged);
    }
}

TEST(MarkerMerge, AMarkerEditedBackToItsStoredVersionIsNoChange)
{
    MarkerChanges changes;
    const LocationList base{marker("A", 1, 1)};
    changes.reset(base);
    LocationList ours = base;
    ours[0].Name = "B";
    EXPECT_TRUE(changes.any(ours));
    ours[0].Name = "A";
    EXPECT_FALSE(changes.any(ours));
    // ... so the other program's edit of it stands.
    EXPECT_EQ(spots(changes.merge({marker("C", 1, 1)}, ours).markers), std::vector<std::string>{"C@1,1"});
}

} // namespace
} // namespace vdm
