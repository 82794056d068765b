// SPDX-License-Identifier: MIT
// The status counts the world keeps as the user marks places.
#include "common/testutils.h"
#include "common/testworld.h"
#include "data/userdb.h"
#include "world/world.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

using Counts = World::StatusCounts;

Location place(const char* name, std::int32_t status = Unvisited)
{
    Location l;
    l.Name = name;
    l.Status = status;
    return l;
}

TEST(WorldProgress, CountsFollowEveryStatusChange)
{
    QTemporaryDir dir;
    World world(dir.path(), {place("A"), place("B"), place("C"), place("D")}, {});
    EXPECT_EQ(world.statusCounts(), (Counts{0, 0, 4, 4}));
    const struct {
        int index;
        std::int32_t status;
        Counts after;
    } steps[] = {
        {0, Visited, {1, 0, 3, 4}}, {1, Active, {1, 1, 2, 4}},
        {1, Active, {1, 1, 2, 4}}, // no change
        {1, Visited, {2, 0, 2, 4}}, {0, Unvisited, {1, 0, 3, 4}},
        {2, 7, {1, 0, 3, 4}},                                   // an unknown status counts as unvisited
        {2, Active, {1, 1, 2, 4}},  {9, Visited, {1, 1, 2, 4}}, // no such location
    };
    for (const auto& s : steps) {
        world.setLocationStatus(s.index, s.status);
        EXPECT_EQ(world.statusCounts(), s.after) << s.index << " " << s.status;
    }
}

TEST(WorldProgress, CountsWhatTheFilesHold)
{
    QTemporaryDir dir;
    test::writeFile(dir.filePath("vdmain.gdb"), test::locationRecord("A", 0, 1, 2) + test::locationRecord("B", 0, 3, 4)
                                                    + test::locationRecord("C", 0, 5, 6));
    test::writeFile(dir.filePath("user.gdb"), writeUserData({place("A", Visited), place("B", Active), place("C")}));
    World world(dir.path());
    EXPECT_EQ(world.statusCounts(), (Counts{0, 0, 0, 0}));
    world.LoadLocations();
    EXPECT_EQ(world.statusCounts(), (Counts{0, 0, 3, 3}));
    world.LoadUserData();
    EXPECT_EQ(world.statusCounts(), (Counts{1, 1, 1, 3}));
}

} // namespace
} // namespace vdm
