// SPDX-License-Identifier: MIT
// Opening another world while the program runs: the current one is saved first, and one
// that cannot be opened leaves the current one as it was.
#include "common/testutils.h"
#include "common/testworld.h"
#include "data/atomicfile.h"
#include "data/userdb.h"
#include "world/world.h"
#include "world/worldchoice.h"
#include "world/worldopening.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

using test::locationRecord;
using test::readFile;
using test::writeFile;
using Outcome = WorldOpening::Outcome;

class WorldOpeningTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        makeWorld(here.path(), "Alpha");
        makeWorld(there.path(), "Beta");
        current = World(here.path());
        current.LoadPicture();
        current.LoadDatabases();
        ASSERT_EQ(current.locations().size(), 1u);
        current.setLocationNote(0, "kept");
    }
    static void makeWorld(const QString& folder, const char* place)
    {
        test::TestWorld::writePicture(folder + QStringLiteral("/bigmap.jpg"), QSize(66, 76));
        writeFile(folder + QStringLiteral("/vdmain.gdb"), locationRecord(place, 0, 0, 0));
    }
    QString in(const QTemporaryDir& dir, const char* name) const { return dir.filePath(QLatin1String(name)); }
    /** The current world is still Alpha, with its unsaved note. */
    void expectUnchanged() const
    {
        ASSERT_EQ(current.locations().size(), 1u);
        EXPECT_EQ(current.locations()[0].Name, QByteArray("Alpha"));
        EXPECT_EQ(current.locations()[0].Note, QByteArray("kept"));
        EXPECT_FALSE(current.picture().isNull());
    }

    QTemporaryDir here, there;
    World current;
};

TEST_F(WorldOpeningTest, SavesTheCurrentWorldThenLoadsTheOtherInFull)
{
    writeFile(in(there, "user.gdb"), "loc\r\n   nm = Beta\r\n   status = 2\r\n   note = theirs\r\nend\r\n");
    writeFile(in(there, "markers.gdb"), "marker\r\n   text = Camp\r\n   pos = 10,20\r\nend\r\n");
    const WorldOpening result = openWorld(current, there.path());
    EXPECT_EQ(result.outcome, Outcome::Opened);
    EXPECT_TRUE(result.message.isEmpty());
    EXPECT_TRUE(readFile(in(here, "user.gdb")).contains("note = kept"));

    ASSERT_EQ(current.locations().size(), 1u);
    EXPECT_EQ(current.locations()[0].Name, QByteArray("Beta"));
    EXPECT_EQ(current.locations()[0].Note, QByteArray("theirs"));
    ASSERT_EQ(current.markers().size(), 1u);
    EXPECT_EQ(current.picture().size(), QSize(66, 76));
    EXPECT_EQ(current.mapScale(), 2);
    EXPECT_FALSE(current.userDataEdited());
    // Its files are its own: a change is written to the other folder.
    current.setLocationNote(0, "new");
    current.SaveUserData();
    EXPECT_TRUE(readFile(in(there, "user.gdb")).contains("note = new"));
}

TEST_F(WorldOpeningTest, TheLastWritesMergeWithAnotherProgramAndSaySoThroughTheOutcome)
{
    // Another program records a visit while this world still holds an unwritten note.
    AtomicFile::write(in(here, "user.gdb"), "loc\r\n   nm = Alpha\r\n   status = 3\r\n   note = \r\nend\r\n");
    const WorldOpening result = openWorld(current, there.path());
    EXPECT_EQ(result.outcome, Outcome::Opened);
    EXPECT_EQ(readFile(in(here, "user.gdb")),
              QByteArray("loc\r\n   nm = Alpha\r\n   status = 3\r\n   note = kept\r\nend\r\n"));
    EXPECT_EQ(result.notices,
              QStringList{QStringLiteral("user.gdb was changed by another program; both changes are kept")});
    EXPECT_EQ(current.takeNotices(), QStringList()); // told once, by the outcome
}

TEST_F(WorldOpeningTest, AFolderThatCannotBeOpenedLeavesTheCurrentWorldUntouched)
{
    struct Case {
        const char* name;
        std::function<void()> spoil;
        Outcome outcome;
        QString message;
    };
    QTemporaryDir empty;
    const QString locations = QFileInfo(in(there, "vdmain.gdb")).absoluteFilePath();
    const Case cases[] = {
        {"no picture", [] {}, Outcome::NoPicture, worldNotFoundMessage(empty.path())},
        {"no locations", [&] { QFile::remove(locations); }, Outcome::NoLocations, locationsMissingMessage(locations)},
        {"locations a folder", [&] { QDir().mkdir(locations); }, Outcome::NoLocations,
         locationsMissingMessage(locations)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.spoil();
        const QString folder = c.outcome == Outcome::NoPicture ? empty.path() : there.path();
        const WorldOpening result = openWorld(current, folder);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.message, c.message);
        expectUnchanged();
        EXPECT_FALSE(QFileInfo::exists(in(here, "user.gdb"))) << "nothing is saved for a world that stays";
    }
}

TEST_F(WorldOpeningTest, ACurrentWorldThatCannotBeSavedStaysWithItsChanges)
{
    AtomicFile::setFaultInjector([](AtomicFile::Step step) { return step != AtomicFile::Step::Write; });
    const auto restore = qScopeGuard([] { AtomicFile::setFaultInjector({}); });
    const WorldOpening result = openWorld(current, there.path());
    EXPECT_EQ(result.outcome, Outcome::NotSaved);
    EXPECT_EQ(result.message,
              QStringLiteral("Unable to write to ") + QFileInfo(in(here, "user.gdb")).absoluteFilePath());
    expectUnchanged();
}

TEST_F(WorldOpeningTest, ADamagedPictureKeepsTheCurrentWorld)
{
    writeFile(in(there, "bigmap.jpg"), QByteArray("\xFF\xD8 not a picture"));
    const WorldOpening result = openWorld(current, there.path());
    EXPECT_EQ(result.outcome, Outcome::PictureError);
    EXPECT_FALSE(result.message.isEmpty());
    expectUnchanged();
    EXPECT_TRUE(readFile(in(here, "user.gdb")).contains("note = kept")); // saved before the attempt
}

TEST_F(WorldOpeningTest, ALoaderErrorOpensWhatWasReadAndIsTold)
{
    writeFile(in(there, "user.gdb"), "loc\r\n   nm = Beta\r\n   status = x\r\nend\r\n");
    writeFile(in(there, "markers.gdb"), "marker\r\n   text = Camp\r\n   pos = 10,20\r\nend\r\n");
    const WorldOpening result = openWorld(current, there.path());
    EXPECT_EQ(result.outcome, Outcome::Opened);
    EXPECT_EQ(result.message, QStringLiteral("'x' is not a valid integer value"));
    ASSERT_EQ(current.locations().size(), 1u);
    EXPECT_EQ(current.locations()[0].Name, QByteArray("Beta"));
    EXPECT_TRUE(current.markers().empty()); // skipped after the error, as at the start
    EXPECT_FALSE(current.userDataSafe());
}

} // namespace
} // namespace vdm
