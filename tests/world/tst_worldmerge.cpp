// SPDX-License-Identifier: MIT
// The world's writes when another program changed "user.gdb" or "markers.gdb" since this
// world read or wrote it: merged, never overwritten; kept when it cannot be read whole.
#include "common/testutils.h"
#include "common/testworld.h"
#include "data/atomicfile.h"
#include "data/errors.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "world/world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace vdm {
namespace {

using test::locationRecord;
using test::marker;
using test::readFile;
using test::writeFile;

const QString kUserNotice = QStringLiteral("user.gdb was changed by another program; both changes are kept");
const QString kMarkerNotice = QStringLiteral("markers.gdb was changed by another program; both changes are kept");

Location place(const char* name, std::int32_t status = Unvisited, const char* note = "")
{
    Location l;
    l.Name = name;
    l.Status = status;
    l.Note = note;
    return l;
}

class WorldMergeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeFile(path("vdmain.gdb"), locationRecord("Alpha", 0, 1000, 2000) + locationRecord("Beta", 1, -3000, 4000)
                                          + locationRecord("Gamma", 2, 5000, -6000));
        writeFile(path("user.gdb"), userData({Visited, "first"}, {Active, ""}, {Unvisited, ""}));
        writeFile(path("markers.gdb"), writeMarkers({marker("Camp", 10, -20), marker("Ford", -30, 40)}));
    }

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QByteArray read(const char* name) const { return readFile(path(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    static QByteArray userData(PlaceRecord alpha, PlaceRecord beta, PlaceRecord gamma)
    {
        return writeUserData({place("Alpha", alpha.status, alpha.note.constData()),
                              place("Beta", beta.status, beta.note.constData()),
                              place("Gamma", gamma.status, gamma.note.constData())});
    }
    /** Another program replaces the file as a careful program does: atomically. */
    void otherProgramWrites(const char* name, const QByteArray& bytes) const { AtomicFile::write(path(name), bytes); }
    /** ... or rewrites it in place, keeping its inode (and, as fast as this, its time). */
    void otherProgramRewrites(const char* name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    std::unique_ptr<World> load() const
    {
        auto world = std::make_unique<World>(dir.path());
        world->LoadDatabases();
        EXPECT_TRUE(world->userDataSafe());
        EXPECT_TRUE(world->markersSafe());
        return world;
    }

    QTemporaryDir dir;
};

TEST_F(WorldMergeTest, WhoChangedWhatDecidesWhatTheUserFileHolds)
{
    struct Case {
        const char* who;
        QByteArray theirs; // empty: the other program did nothing
        std::function<void(World&)> ours;
        QByteArray stored;
        QStringList notices;
    };
    const auto nothing = [](World&) {};
    const QByteArray original = userData({Visited, "first"}, {Active, ""}, {Unvisited, ""});
    const Case cases[] = {
        {"nobody", {}, nothing, original, {}},
        {"only this window",
         {},
         [](World& w) { w.setLocationStatus(2, Active); },
         userData({Visited, "first"}, {Active, ""}, {Active, ""}),
         {}},
        {"only the other program",
         userData({Visited, "first"}, {Visited, "ferry"}, {Unvisited, ""}),
         nothing,
         userData({Visited, "first"}, {Visited, "ferry"}, {Unvisited, ""}),
         {}},
        {"both, other places",
         userData({Visited, "first"}, {Visited, ""}, {Unvisited, ""}),
         [](World& w) { w.setLocationStatus(2, Active); },
         userData({Visited, "first"}, {Visited, ""}, {Active, ""}),
         {kUserNotice}},
        {"both, one place: status here, note there",
         userData({Visited, "moved"}, {Active, ""}, {Unvisited, ""}),
         [](World& w) { w.setLocationStatus(0, Unvisited); },
         userData({Unvisited, "moved"}, {Active, ""}, {Unvisited, ""}),
         {kUserNotice}},
        {"both, the same note",
         userData({Visited, "theirs"}, {Active, ""}, {Unvisited, ""}),
         [](World& w) { w.setLocationNote(0, "ours"); },
         userData({Visited, "ours"}, {Active, ""}, {Unvisited, ""}),
         {kUserNotice}},
        {"the other program wrote it back as it was",
         original,
         [](World& w) { w.setLocationNote(1, "n"); },
         userData({Visited, "first"}, {Active, "n"}, {Unvisited, ""}),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        writeFile(path("user.gdb"), original);
        const auto world = load();
        int taken = 0;
        QObject::connect(&world->events(), &WorldEvents::otherChangesTaken, [&] { ++taken; });
        c.ours(*world);
        if (!c.theirs.isEmpty())
            otherProgramWrites("user.gdb", c.theirs);
        world->SaveUserData();
        EXPECT_EQ(read("user.gdb"), c.stored);
        EXPECT_EQ(world->takeNotices(), c.notices);
        EXPECT_EQ(taken, c.theirs.isEmpty() || c.theirs == original ? 0 : 1);
        // What the window shows is what the file holds, and the counts follow it.
        EXPECT_EQ(writeUserData(world->locations()), c.stored);
        World reread(dir.path());
        reread.LoadDatabases();
        EXPECT_EQ(reread.statusCounts(), world->statusCounts());
        // Merged, the file may be replaced again without a backup, and nothing else appeared.
        world->setLocationNote(2, "later");
        world->SaveUserData();
        EXPECT_EQ(world->takeNotices(), QStringList());
        EXPECT_EQ(files(), (QStringList{"markers.gdb", "user.gdb", "vdmain.gdb"}));
    }
}

TEST_F(WorldMergeTest, TheOtherProgramsMarkersStayAndThisWindowsChangesApply)
{
    const auto world = load();
    std::vector<int> renumbered;
    QObject::connect(&world->events(), &WorldEvents::markersRenumbered,
                     [&](const std::vector<int>& newIndexOf) { renumbered = newIndexOf; });
    world->setMarkerName(1, "Ford (deep)"); // this window edits the second marker
    world->addMarker(marker("Tent", 5, 5));
    // Meanwhile another program put a marker in front and deleted the first.
    otherProgramWrites("markers.gdb", writeMarkers({marker("Well", 7, 7), marker("Ford", -30, 40)}));
    world->SaveMarkers();
    const LocationList expected{marker("Well", 7, 7), marker("Ford (deep)", -30, 40), marker("Tent", 5, 5)};
    EXPECT_EQ(read("markers.gdb"), writeMarkers(expected));
    EXPECT_EQ(world->markers(), expected);
    EXPECT_EQ(world->takeNotices(), QStringList{kMarkerNotice});
    EXPECT_EQ(renumbered, (std::vector<int>{-1, 1, 2}));
    EXPECT_TRUE(world->index().coversMarkers(world->markers()));

    // Written, the next change replaces the file by the usual rule: no notice, no merge.
    world->removeMarker(0);
    world->SaveMarkers();
    EXPECT_EQ(read("markers.gdb"), writeMarkers({expected[1], expected[2]}));
    EXPECT_EQ(world->takeNotices(), QStringList());
}

TEST_F(WorldMergeTest, AChangeInPlaceWithinTheClocksResolutionIsStillSeen)
{
    const auto world = load();
    world->setLocationStatus(2, Active);
    world->SaveUserData();
    // Same size, same inode, and very likely the same time: only the bytes tell.
    const QByteArray theirs = userData({Visited, "first"}, {Visited, ""}, {Active, ""});
    ASSERT_EQ(theirs.size(), read("user.gdb").size());
    otherProgramRewrites("user.gdb", theirs);
    world->setLocationNote(0, "fjord");
    world->SaveUserData();
    EXPECT_EQ(read("user.gdb"), userData({Visited, "fjord"}, {Visited, ""}, {Active, ""}));
    EXPECT_EQ(world->takeNotices(), QStringList{kUserNotice});
}

TEST_F(WorldMergeTest, AFileThatCannotBeReadWholeIsKeptAndThisWindowsDataGoesBesideIt)
{
    const auto world = load();
    world->setLocationStatus(1, Visited);
    // LF line ends: the writer would not give these bytes back.
    QByteArray theirs = userData({Active, "edited elsewhere"}, {Active, ""}, {Unvisited, ""});
    theirs.replace("\r\n", "\n");
    otherProgramWrites("user.gdb", theirs);
    writeFile(path("user.gdb.unmerged"), "an earlier run's copy"); // never replaced
    world->SaveUserData();
    EXPECT_EQ(read("user.gdb"), theirs);
    const QByteArray ours = userData({Visited, "first"}, {Visited, ""}, {Unvisited, ""});
    EXPECT_EQ(read("user.gdb.unmerged"), QByteArray("an earlier run's copy"));
    EXPECT_EQ(read("user.gdb.unmerged.2"), ours);
    const QStringList notices = world->takeNotices();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains(QFileInfo(path("user.gdb")).absoluteFilePath())) << notices[0].toStdString();
    EXPECT_TRUE(notices[0].contains(QFileInfo(path("user.gdb.unmerged.2")).absoluteFilePath()));

    // While it stays so, every write goes to the same copy, without another message.
    world->setLocationNote(2, "x");
    world->SaveUserData();
    EXPECT_EQ(read("user.gdb"), theirs);
    EXPECT_EQ(read("user.gdb.unmerged.2"), userData({Visited, "first"}, {Visited, ""}, {Unvisited, "x"}));
    EXPECT_EQ(world->takeNotices(), QStringList());

    // Once the other program writes a file this one reads whole, the two merge again.
    otherProgramWrites("user.gdb", userData({Active, "edited elsewhere"}, {Active, ""}, {Unvisited, ""}));
    world->SaveUserData();
    EXPECT_EQ(read("user.gdb"), userData({Active, "edited elsewhere"}, {Visited, ""}, {Unvisited, "x"}));
    EXPECT_EQ(world->takeNotices(), QStringList{kUserNotice});
}

TEST_F(WorldMergeTest, UnreadableMarkersAreKeptAndNothingIsCopiedWithoutChangesHere)
{
    const auto world = load();
    const QByteArray theirs("marker\r\n   text = Camp\r\n   pos = ten,-20\r\nend\r\n");
    otherProgramWrites("markers.gdb", theirs);
    world->SaveMarkers(); // nothing changed here: nothing to keep beside it
    EXPECT_EQ(read("markers.gdb"), theirs);
    EXPECT_FALSE(QFileInfo::exists(path("markers.gdb.unmerged")));
    EXPECT_EQ(world->takeNotices(), QStringList());
    world->addMarker(marker("Tent", 5, 5));
    world->SaveMarkers();
    EXPECT_EQ(read("markers.gdb"), theirs);
    EXPECT_EQ(read("markers.gdb.unmerged"),
              writeMarkers({marker("Camp", 10, -20), marker("Ford", -30, 40), marker("Tent", 5, 5)}));
    EXPECT_EQ(world->takeNotices().size(), 1);
}

TEST_F(WorldMergeTest, ReadingWhileIdleShowsTheOtherProgramsChangesAndWritesNothing)
{
    const auto world = load();
    world->setLocationNote(2, "unsaved here");
    world->setMarkerName(0, "Camp (burnt)");
    otherProgramWrites("user.gdb", userData({Visited, "first"}, {Unvisited, "gone"}, {Unvisited, ""}));
    otherProgramWrites("markers.gdb", writeMarkers({marker("Camp", 10, -20)}));
    const QByteArray userBefore = read("user.gdb"), markersBefore = read("markers.gdb");
    const int counted = world->statusCounts().active;
    QSignalSpy notes(&world->events(), &WorldEvents::noteChanged);

    EXPECT_TRUE(world->readChangedUserFiles());
    EXPECT_EQ(read("user.gdb"), userBefore);
    EXPECT_EQ(read("markers.gdb"), markersBefore);
    EXPECT_EQ(world->locations()[1].Status, Unvisited);
    EXPECT_EQ(world->locations()[1].Note, QByteArray("gone"));
    EXPECT_EQ(world->locations()[2].Note, QByteArray("unsaved here"));
    EXPECT_EQ(world->statusCounts().active, counted - 1);
    ASSERT_EQ(notes.count(), 1); // the search hears of the new note
    EXPECT_EQ(notes.at(0).at(0).toInt(), 1);
    EXPECT_EQ(world->markers(), (LocationList{marker("Camp (burnt)", 10, -20)}));
    EXPECT_EQ(world->takeNotices(), (QStringList{kUserNotice, kMarkerNotice}));
    EXPECT_FALSE(world->readChangedUserFiles()); // nothing new since

    // The close writes both sides' changes, with no second notice for the same merge.
    world->SaveUserData();
    world->SaveMarkers();
    EXPECT_EQ(read("user.gdb"), userData({Visited, "first"}, {Unvisited, "gone"}, {Unvisited, "unsaved here"}));
    EXPECT_EQ(read("markers.gdb"), writeMarkers({marker("Camp (burnt)", 10, -20)}));
    EXPECT_EQ(world->takeNotices(), QStringList());
}

TEST_F(WorldMergeTest, AUserFileAnotherProgramEmptiedIsWrittenAgainAsADeletedOne)
{
    // "user.gdb" holds a block per place: emptied, it holds nothing of anyone's, and the
    // next start would find every status and note gone.
    const auto world = load();
    const QByteArray ours = userData({Visited, "first"}, {Active, ""}, {Unvisited, ""});
    otherProgramRewrites("user.gdb", QByteArray());
    EXPECT_FALSE(world->readChangedUserFiles());
    EXPECT_EQ(world->locations()[0].Note, QByteArray("first"));
    world->SaveUserData(); // the close, nothing changed here
    EXPECT_EQ(read("user.gdb"), ours);

    otherProgramWrites("user.gdb", QByteArray());
    world->setLocationStatus(2, Visited);
    world->SaveUserData();
    EXPECT_EQ(read("user.gdb"), userData({Visited, "first"}, {Active, ""}, {Visited, ""}));
    EXPECT_FALSE(QFileInfo::exists(path("user.gdb.unmerged")));
    EXPECT_EQ(world->takeNotices(), QStringList());

    // The same through the writer of a big world's file.
    world->setBackgroundWritesFrom(0);
    world->setLocationNote(1, "bg");
    world->autosaveUserData();
    world->waitForUserDataWrites();
    otherProgramRewrites("user.gdb", QByteArray());
    world->setLocationNote(1, "bg2");
    world->autosaveUserData();
    world->waitForUserDataWrites();
    EXPECT_EQ(read("user.gdb"), userData({Visited, "first"}, {Active, "bg2"}, {Visited, ""}));
    EXPECT_FALSE(QFileInfo::exists(path("user.gdb.unmerged")));
}

TEST_F(WorldMergeTest, AFileTheOtherProgramDeletedOrTouchedIsWrittenAsUsual)
{
    const auto world = load();
    world->setLocationStatus(2, Visited);
    ASSERT_TRUE(QFile::remove(path("user.gdb")));
    world->SaveUserData();
    EXPECT_EQ(read("user.gdb"), userData({Visited, "first"}, {Active, ""}, {Visited, ""}));

    // The same bytes under a new inode and time are no change.
    otherProgramWrites("user.gdb", read("user.gdb"));
    world->setLocationStatus(2, Active);
    world->SaveUserData();
    EXPECT_EQ(read("user.gdb"), userData({Visited, "first"}, {Active, ""}, {Active, ""}));
    EXPECT_EQ(world->takeNotices(), QStringList());

    // A file made where there was none is another program's too.
    ASSERT_TRUE(QFile::remove(path("markers.gdb")));
    World fresh(dir.path());
    fresh.LoadDatabases();
    fresh.addMarker(marker("Tent", 5, 5));
    otherProgramWrites("markers.gdb", writeMarkers({marker("Well", 7, 7)}));
    fresh.SaveMarkers();
    EXPECT_EQ(read("markers.gdb"), writeMarkers({marker("Well", 7, 7), marker("Tent", 5, 5)}));
    EXPECT_EQ(fresh.takeNotices(), QStringList{kMarkerNotice});
}

} // namespace
} // namespace vdm
