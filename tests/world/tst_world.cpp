// SPDX-License-Identifier: MIT
// The world without a window: which picture it takes, what it counts as read completely,
// and what its saves may replace.
#include "common/testutils.h"
#include "common/testworld.h"
#include "data/atomicfile.h"
#include "data/errors.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "world/datalocations.h"
#include "world/world.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <functional>

namespace vdm {
namespace {

using test::locationRecord;
using test::readFile;
using test::writeFile;

using test::place;

using test::marker;
using test::ScopedXdgHome;

/** UTF-16 little-endian with its byte-order mark, as a text editor's "Unicode" writes it. */
QByteArray utf16(const QByteArray& latin1)
{
    QByteArray out("\xFF\xFE");
    for (char c : latin1)
        out.append(c).append('\0');
    return out;
}

QByteArray crOnly(QByteArray bytes)
{
    return bytes.replace("\r\n", "\r");
}

QByteArray lfOnly(QByteArray bytes)
{
    return bytes.replace("\r\n", "\n");
}

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        write("vdmain.gdb", locationRecord("Alpha", 0, 1000, 2000) + locationRecord("Beta", 1, -3000, 4000)
                                + locationRecord("Gamma", 2, 5000, -6000));
    }

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    void write(const char* name, const QByteArray& bytes) const { writeFile(path(name), bytes); }
    QByteArray read(const char* name) const { return readFile(path(name)); }
    bool exists(const char* name) const { return QFileInfo::exists(path(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    /** What the program itself writes for these notes and markers. */
    QByteArray programUserData() const
    {
        return writeUserData({place("Alpha", Visited, "first"), place("Beta", Active, ""), place("Gamma")});
    }
    QByteArray programMarkers() const { return writeMarkers({marker("Camp", 10, -20), marker("Ford", -30, 40)}); }

    /** Loads the world as the first show does; a loader error is returned, not thrown. */
    QString load(World& world) const
    {
        try {
            world.LoadDatabases();
        } catch (const Error& e) {
            return e.message();
        }
        return {};
    }

    QTemporaryDir dir;
};

// --- the picture ------------------------------------------------------------------------

TEST(WorldList, TheListsEntriesAreSharedAndOutliveAReadOfTheList)
{
    QTemporaryDir dir;
    World world(dir.path(), {place("Osk"), place("Amber"), place("mire")}, {});
    const std::shared_ptr<const std::vector<ListedLocation>> shared = world.sharedListedLocations();
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared.get(), &world.listedLocations()) << "one copy, not one per holder";
    EXPECT_EQ(shared, world.sharedListedLocations());
    ASSERT_EQ(shared->size(), 3u);
    EXPECT_EQ((*shared)[0].name, "Amber");

    // Another world in its place: the entries a holder kept stay as they were.
    world.replaceWith(World(dir.path(), {place("Zed")}, {}));
    EXPECT_EQ(world.listedLocations().size(), 1u);
    ASSERT_EQ(shared->size(), 3u);
    EXPECT_EQ((*shared)[2].name, "Osk");
}

TEST_F(WorldTest, PictureHiWinsAtScaleTenAndTheSmallOneHasScaleTwo)
{
    EXPECT_FALSE(World::pictureExists(dir.path()));
    test::TestWorld::writePicture(path("bigmap.jpg"), QSize(66, 76));
    EXPECT_TRUE(World::pictureExists(dir.path()));
    World small(dir.path());
    small.LoadPicture();
    EXPECT_EQ(small.mapScale(), 2);
    EXPECT_EQ(small.picture().size(), QSize(66, 76));

    test::TestWorld::writePicture(path("bigmap_hi.jpg"), QSize(330, 380));
    World both(dir.path());
    both.LoadPicture();
    EXPECT_EQ(both.mapScale(), 10);
    EXPECT_EQ(both.picture().size(), QSize(330, 380));
    both.releasePicture();
    EXPECT_TRUE(both.picture().isNull());
}

TEST_F(WorldTest, ADamagedPictureLeavesWithTheDecodersError)
{
    write("bigmap.jpg", QByteArray("\xFF\xD8 not a picture"));
    World world(dir.path());
    EXPECT_THROW(world.LoadPicture(), std::exception);
    EXPECT_TRUE(world.picture().isNull());
}

// --- loading in order ----------------------------------------------------------------------

TEST_F(WorldTest, LoadsTheFourDatabasesInOrder)
{
    write("routes.gdb", "rout\r\n   nm = Alpha\r\n1 Beta\r\n2 Gamma\r\nend\r\n");
    write("user.gdb", programUserData());
    write("markers.gdb", programMarkers());
    World world(dir.path());
    EXPECT_EQ(load(world), QString());
    ASSERT_EQ(world.locations().size(), 3u);
    EXPECT_EQ(world.locations()[0].Routes, (std::vector<Route>{{1, Skarnel}, {2, Ship}}));
    EXPECT_EQ(world.locations()[0].Status, Visited);
    EXPECT_EQ(world.locations()[0].Note, QByteArray("first"));
    ASSERT_EQ(world.markers().size(), 2u);
    EXPECT_EQ(world.markers()[1].Name, QByteArray("Ford"));
    EXPECT_TRUE(world.locationsLoaded());
    EXPECT_TRUE(world.userDataSafe());
    EXPECT_TRUE(world.markersSafe());
    EXPECT_TRUE(world.takeNotices().isEmpty());
}

TEST_F(WorldTest, ALoaderErrorStopsTheLaterStepsAndNothingUnsafeIsWritten)
{
    const QByteArray user = programUserData() + "loc\r\n   nm = Extra\r\n   status = 1\r\n   note = \r\nend\r\n";
    write("user.gdb", user);
    write("markers.gdb", programMarkers());
    World world(dir.path());
    EXPECT_EQ(load(world), QStringLiteral("List index out of bounds (3)"));
    EXPECT_TRUE(world.markers().empty()); // the markers' step was skipped
    EXPECT_FALSE(world.userDataSafe());
    EXPECT_FALSE(world.markersSafe());
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_EQ(read("user.gdb"), user);
    EXPECT_EQ(read("markers.gdb"), programMarkers());
    EXPECT_EQ(files(),
              (QStringList{QStringLiteral("markers.gdb"), QStringLiteral("user.gdb"), QStringLiteral("vdmain.gdb")}));
}

TEST_F(WorldTest, MissingLocationsMakeEveryUserFileUnsafe)
{
    QFile::remove(path("vdmain.gdb"));
    write("markers.gdb", programMarkers());
    World world(dir.path());
    EXPECT_FALSE(world.LoadLocations());
    world.LoadRoutes();
    world.LoadUserData(); // absent
    world.LoadMarkers();
    EXPECT_EQ(world.markers().size(), 2u);
    EXPECT_FALSE(world.locationsLoaded());
    EXPECT_FALSE(world.userDataSafe());
    EXPECT_FALSE(world.markersSafe());
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_FALSE(exists("user.gdb"));
    EXPECT_EQ(read("markers.gdb"), programMarkers());
}

// --- the user's changes ----------------------------------------------------------------------

TEST_F(WorldTest, OnlyARealChangeCountsAsAnEdit)
{
    write("user.gdb", programUserData());
    write("markers.gdb", programMarkers());
    World world(dir.path());
    ASSERT_EQ(load(world), QString());

    struct Case {
        const char* what;
        std::function<bool(World&)> change;
        bool changed;
        bool userEdited, markersEdited;
    };
    const Case cases[] = {
        {"same status", [](World& w) { return w.setLocationStatus(0, Visited); }, false, false, false},
        {"same note", [](World& w) { return w.setLocationNote(0, "first"); }, false, false, false},
        {"same marker text", [](World& w) { return w.setMarkerName(1, "Ford"); }, false, false, false},
        {"no such location", [](World& w) { return w.setLocationStatus(3, Active); }, false, false, false},
        {"no such marker", [](World& w) { return w.setMarkerName(-1, "x"); }, false, false, false},
        {"new status", [](World& w) { return w.setLocationStatus(2, Active); }, true, true, false},
        {"new note", [](World& w) { return w.setLocationNote(1, "ferry"); }, true, true, false},
        {"new marker text", [](World& w) { return w.setMarkerName(0, "Tent"); }, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        World fresh(dir.path());
        ASSERT_EQ(load(fresh), QString());
        EXPECT_EQ(c.change(fresh), c.changed);
        EXPECT_EQ(fresh.userDataEdited(), c.userEdited);
        EXPECT_EQ(fresh.markersEdited(), c.markersEdited);
    }

    world.clearMarkers();
    EXPECT_TRUE(world.markers().empty());
    EXPECT_TRUE(world.markersEdited());
    World other(dir.path());
    ASSERT_EQ(load(other), QString());
    other.removeMarker(5); // no such marker: nothing happens
    EXPECT_FALSE(other.markersEdited());
    other.removeMarker(0);
    ASSERT_EQ(other.markers().size(), 1u);
    EXPECT_EQ(other.markers()[0].Name, QByteArray("Ford"));
    EXPECT_TRUE(other.markersEdited());
    World adding(dir.path());
    ASSERT_EQ(load(adding), QString());
    adding.addMarker(marker("Well", 1, 2));
    EXPECT_EQ(adding.markers().size(), 3u);
    EXPECT_TRUE(adding.markersEdited());
}

// --- what was read completely, and what a save may replace ------------------------------------

TEST_F(WorldTest, ProgramWrittenFilesReadBackWholeAndGetNoBackup)
{
    write("user.gdb", programUserData());
    write("markers.gdb", programMarkers());
    World world(dir.path());
    ASSERT_EQ(load(world), QString());
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_EQ(read("user.gdb"), programUserData());
    EXPECT_EQ(read("markers.gdb"), programMarkers());
    world.setLocationNote(2, "quiet");
    world.addMarker(marker("Well", 7, 8));
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_EQ(files(),
              (QStringList{QStringLiteral("markers.gdb"), QStringLiteral("user.gdb"), QStringLiteral("vdmain.gdb")}));
    EXPECT_EQ(read("user.gdb"), writeUserData(world.locations()));
    EXPECT_EQ(read("markers.gdb"), writeMarkers(world.markers()));
}

/** A user file the writer would not give back byte for byte, and what the start-up says of it. */
struct LossyCase {
    const char* what;
    const char* file; // "user.gdb" or "markers.gdb"
    QByteArray bytes;
    const char* notice; // a part of the start-up message; empty: no message
};

class LossyReadTest : public WorldTest, public ::testing::WithParamInterface<LossyCase> {
public:
    static QByteArray user()
    {
        return writeUserData({place("Alpha", Visited, "first"), place("Beta", Active, "x"), place("Gamma")});
    }
    static QByteArray markers() { return writeMarkers({marker("Camp", 10, -20)}); }

protected:
    /** Edits the data of the case's file. */
    static void edit(World& world, const char* file)
    {
        if (QByteArray(file) == "user.gdb")
            world.setLocationNote(2, "edited");
        else
            world.addMarker(marker("New", 1, 1));
    }
    static void save(World& world, const char* file)
    {
        if (QByteArray(file) == "user.gdb")
            world.SaveUserData();
        else
            world.SaveMarkers();
    }
};

TEST_P(LossyReadTest, SurvivesARunWithoutEditsAndIsKeptAsBackupWhenEdited)
{
    const LossyCase& c = GetParam();
    write(c.file, c.bytes);
    {
        World world(dir.path());
        EXPECT_EQ(load(world), QString());
        const QStringList notices = world.takeNotices();
        if (QByteArray(c.notice).isEmpty()) {
            EXPECT_TRUE(notices.isEmpty()) << notices.join(QLatin1Char('\n')).toStdString();
        } else {
            ASSERT_EQ(notices.size(), 1);
            EXPECT_TRUE(notices[0].contains(QFileInfo(path(c.file)).absoluteFilePath())) << notices[0].toStdString();
            EXPECT_TRUE(notices[0].contains(QLatin1String(c.notice))) << notices[0].toStdString();
            EXPECT_TRUE(world.takeNotices().isEmpty()); // said once
        }
        save(world, c.file); // as autosave or the shut-down would, with no edit
        save(world, c.file);
        EXPECT_EQ(read(c.file), c.bytes);
        EXPECT_FALSE(exists((QByteArray(c.file) + ".bak").constData()));
    }
    World world(dir.path());
    load(world);
    edit(world, c.file);
    save(world, c.file);
    EXPECT_EQ(read((QByteArray(c.file) + ".bak").constData()), c.bytes);
    const QByteArray written = read(c.file);
    EXPECT_EQ(written,
              QByteArray(c.file) == "user.gdb" ? writeUserData(world.locations()) : writeMarkers(world.markers()));
    edit(world, c.file);
    save(world, c.file); // the backup is taken by the first replacement only
    EXPECT_FALSE(exists((QByteArray(c.file) + ".bak.2").constData()));
}

INSTANTIATE_TEST_SUITE_P(
    ForeignFiles, LossyReadTest,
    ::testing::Values(LossyCase{"user_utf16", "user.gdb", utf16(LossyReadTest::user()), "UTF-16"},
                      LossyCase{"user_utf16_big_endian", "user.gdb", QByteArray("\xFE\xFF\0l\0o\0c", 8), "UTF-16"},
                      LossyCase{"user_utf32", "user.gdb", QByteArray("\xFF\xFE\0\0l\0\0\0", 8), "UTF-32"},
                      LossyCase{"user_cr_only", "user.gdb", crOnly(LossyReadTest::user()), "no record"},
                      LossyCase{"user_no_header", "user.gdb", "   status = 3\r\n   note = lost\r\n", "no record"},
                      LossyCase{"user_lf_only", "user.gdb", lfOnly(LossyReadTest::user()), ""},
                      LossyCase{"user_extra_lines", "user.gdb", "my notes\r\n" + LossyReadTest::user(), ""},
                      LossyCase{"user_blanks_around_note", "user.gdb",
                                "loc\r\n   nm = Alpha\r\n   status = 2\r\n   note =  padded \r\nend\r\n", ""},
                      LossyCase{"user_utf8_mark", "user.gdb", "\xEF\xBB\xBF" + LossyReadTest::user(), ""},
                      LossyCase{"markers_cr_only", "markers.gdb", crOnly(LossyReadTest::markers()), "no record"},
                      LossyCase{"markers_utf16", "markers.gdb", utf16(LossyReadTest::markers()), "UTF-16"},
                      LossyCase{"markers_lf_only", "markers.gdb", lfOnly(LossyReadTest::markers()), ""},
                      LossyCase{"markers_trailing_junk", "markers.gdb", LossyReadTest::markers() + "half a line", ""},
                      LossyCase{"markers_only_other_lines", "markers.gdb", "just some text\r\n", "no record"}),
    [](const ::testing::TestParamInfo<LossyCase>& row) { return std::string(row.param.what); });

TEST_F(WorldTest, EmptyUserFilesHaveNothingToLose)
{
    write("user.gdb", "");
    write("markers.gdb", "");
    World world(dir.path());
    ASSERT_EQ(load(world), QString());
    EXPECT_TRUE(world.userDataSafe());
    EXPECT_TRUE(world.markersSafe());
    EXPECT_TRUE(world.takeNotices().isEmpty());
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_EQ(read("user.gdb"), writeUserData(world.locations()));
    EXPECT_EQ(read("markers.gdb"), QByteArray());
    EXPECT_FALSE(exists("user.gdb.bak"));
}

TEST_F(WorldTest, ASaveWithoutChangesLeavesTheFileButWritesItAgainWhenItWent)
{
    // A save after a change taken back, and one after nothing, find the file holding their
    // bytes; a file deleted meanwhile, or one the lists changed against, is written.
    const QByteArray stored = programUserData();
    write("user.gdb", stored);
    write("markers.gdb", programMarkers());
    World world(dir.path());
    ASSERT_EQ(load(world), QString());
    const QDateTime before = QFileInfo(path("user.gdb")).lastModified();
    world.setLocationNote(1, "changed");
    world.setLocationNote(1, "");
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_EQ(QFileInfo(path("user.gdb")).lastModified(), before);
    QFile::remove(path("user.gdb"));
    QFile::remove(path("markers.gdb"));
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_EQ(read("user.gdb"), stored);
    EXPECT_EQ(read("markers.gdb"), programMarkers());
    world.setLocationStatus(0, Active);
    world.SaveUserData();
    EXPECT_EQ(read("user.gdb"), writeUserData(world.locations()));
    EXPECT_NE(read("user.gdb"), stored);
}

TEST_F(WorldTest, BackupsAreNeverReplacedAndNotRepeated)
{
    const QByteArray foreign = lfOnly(programUserData());
    struct Case {
        const char* what;
        QList<QByteArray> existing; // .bak, .bak.2, ... before the save
        const char* expectedNew;    // the backup the save adds; empty: none
    };
    const Case cases[] = {
        {"no backup yet", {}, "user.gdb.bak"},
        {"an older backup", {"older"}, "user.gdb.bak.2"},
        {"two older backups", {"older", "oldest"}, "user.gdb.bak.3"},
        {"the same bytes kept already", {"older", foreign}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString& f : QDir(dir.path()).entryList({QStringLiteral("user.gdb*")}, QDir::Files))
            QFile::remove(dir.filePath(f));
        write("user.gdb", foreign);
        for (int i = 0; i < c.existing.size(); ++i)
            write(i == 0 ? "user.gdb.bak" : qPrintable(QStringLiteral("user.gdb.bak.%1").arg(i + 1)), c.existing[i]);
        const QStringList before = files();
        World world(dir.path());
        ASSERT_EQ(load(world), QString());
        world.setLocationStatus(0, Unvisited);
        world.SaveUserData();
        for (int i = 0; i < c.existing.size(); ++i)
            EXPECT_EQ(read(i == 0 ? "user.gdb.bak" : qPrintable(QStringLiteral("user.gdb.bak.%1").arg(i + 1))),
                      c.existing[i]);
        QStringList expected = before;
        if (*c.expectedNew) {
            expected << QLatin1String(c.expectedNew);
            expected.sort();
            EXPECT_EQ(read(c.expectedNew), foreign);
        }
        EXPECT_EQ(files(), expected);
    }
}

TEST_F(WorldTest, AWorldMadeInMemorySavesItsListsWhole)
{
    World world(dir.path(), {place("Alpha", Active, "a"), place("Beta")}, {marker("Camp", 1, 2)});
    EXPECT_TRUE(world.locationsLoaded());
    world.SaveUserData();
    world.SaveMarkers();
    EXPECT_EQ(read("user.gdb"), writeUserData(world.locations()));
    EXPECT_EQ(read("markers.gdb"), writeMarkers(world.markers()));
}

// --- a failing autosave ----------------------------------------------------------------------

/** One user file's autosave, as the editor drives it after each change. */
struct AutosaveCase {
    const char* file;
    std::function<void(World&, int)> edit; // the n-th change
    std::function<void(World&)> autosave;
    std::function<void(World&)> save; // the write at close
    std::function<bool(const World&)> failing;
};

class AutosaveStreakTest : public WorldTest, public ::testing::WithParamInterface<AutosaveCase> {};

TEST_P(AutosaveStreakTest, AFailureIsToldOncePerStreakAndTheDataWaitsForTheNextWrite)
{
    const AutosaveCase& c = GetParam();
    World world(dir.path(), {place("Alpha")}, {marker("Camp", 1, 2)});
    bool diskFull = true;
    AtomicFile::setFaultInjector([&](AtomicFile::Step step) { return !(diskFull && step == AtomicFile::Step::Write); });
    const auto restore = qScopeGuard([] { AtomicFile::setFaultInjector({}); });
    const auto change = [&](int n) {
        c.edit(world, n);
        try {
            c.autosave(world);
        } catch (const Error& e) {
            return e.message();
        }
        return QString();
    };

    // Told at the first failure, then quiet while the writes keep failing.
    EXPECT_EQ(change(1), QStringLiteral("Unable to write to ") + QFileInfo(path(c.file)).absoluteFilePath());
    EXPECT_TRUE(c.failing(world));
    for (int n = 2; n <= 5; ++n)
        EXPECT_EQ(change(n), QString()) << n;
    EXPECT_FALSE(exists(c.file));

    // The next write that succeeds stores every change and ends the streak.
    diskFull = false;
    EXPECT_EQ(change(6), QString());
    EXPECT_FALSE(c.failing(world));
    const QByteArray stored = read(c.file);
    EXPECT_TRUE(stored.contains("6")) << stored.constData();

    // A new streak is told again.
    diskFull = true;
    EXPECT_FALSE(change(7).isEmpty());
    EXPECT_EQ(change(8), QString());
    EXPECT_EQ(read(c.file), stored);
    // The write at close always says when it fails: the data would be lost with it.
    EXPECT_THROW(c.save(world), Error);
    diskFull = false;
    c.save(world);
    EXPECT_TRUE(read(c.file).contains("8"));
}

/** A folder stands where the world's file goes: its writes fail, the own folder's do not. */
class RescueTest : public AutosaveStreakTest {
protected:
    void SetUp() override
    {
        AutosaveStreakTest::SetUp();
        write("user.gdb", programUserData());
        write("markers.gdb", programMarkers());
    }
    QString change(World& world, int n) const
    {
        GetParam().edit(world, n);
        try {
            GetParam().autosave(world);
        } catch (const Error& e) {
            return e.message();
        }
        return {};
    }
    QString own() const
    {
        return QDir(DataLocations::userDataFolder(dir.path())).filePath(QLatin1String(GetParam().file));
    }
    ScopedXdgHome xdg;
};

TEST_P(RescueTest, WhileWritesFailTheRunsDataIsKeptInTheOwnFolderSoAKillLosesNothing)
{
    const AutosaveCase& c = GetParam();
    {
        World world(dir.path());
        ASSERT_EQ(load(world), QString());
        // The world's file becomes unwritable: something now stands in its way.
        ASSERT_TRUE(QFile::remove(path(c.file)));
        ASSERT_TRUE(QDir(dir.path()).mkdir(QLatin1String(c.file)));
        const QString told = change(world, 1);
        EXPECT_TRUE(told.startsWith(QStringLiteral("Unable to write to ") + QFileInfo(path(c.file)).absoluteFilePath()
                                    + QStringLiteral(". Until it can be written again, this window's ")))
            << told.toStdString();
        EXPECT_TRUE(told.endsWith(QStringLiteral(" are kept in ") + own() + '.')) << told.toStdString();
        EXPECT_TRUE(readFile(own()).contains(" 1\r\n")) << readFile(own()).constData();
        EXPECT_EQ(change(world, 2), QString()); // still quiet, and still kept
        EXPECT_TRUE(readFile(own()).contains(" 2\r\n"));
        EXPECT_FALSE(QFileInfo::exists(own() + ".bak")) << "its own copy is no one else's to keep";
        // Killed here: no close.
    }
    ASSERT_TRUE(QDir(dir.path()).rmdir(QLatin1String(c.file)));
    World next(dir.path());
    EXPECT_EQ(load(next), QString());
    EXPECT_TRUE(read(c.file).contains(" 2\r\n")) << read(c.file).constData();
    EXPECT_FALSE(QFileInfo::exists(own()));
}

TEST_P(RescueTest, EveryWriteTriesTheWorldsFileAgainAndLeavesItAsItIs)
{
    const AutosaveCase& c = GetParam();
    World world(dir.path());
    ASSERT_EQ(load(world), QString());
    const QByteArray before = read(c.file);
    // A full disk for the world's file: the first write of each change fails, the copy's do not.
    std::atomic<bool> full = false;
    AtomicFile::setFaultInjector(
        [&](AtomicFile::Step step) { return !(step == AtomicFile::Step::Write && full.exchange(false)); });
    const auto restore = qScopeGuard([] { AtomicFile::setFaultInjector({}); });
    for (int n = 1; n <= 3; ++n) {
        full = true;
        EXPECT_EQ(change(world, n).isEmpty(), n > 1) << n;
        EXPECT_TRUE(c.failing(world)) << n;
        EXPECT_TRUE(readFile(own()).contains(" " + QByteArray::number(n) + "\r\n")) << n;
    }
    // The two copies are the next start's to settle: nothing was kept or replaced beside the file.
    EXPECT_EQ(read(c.file), before);
    EXPECT_FALSE(exists((QByteArray(c.file) + ".bak").constData()));
    full = false;
    EXPECT_EQ(change(world, 4), QString());
    EXPECT_FALSE(c.failing(world));
    EXPECT_TRUE(read(c.file).contains(" 4\r\n"));
    EXPECT_FALSE(QFileInfo::exists(own()));
}

/** Each user file's autosave: "user.gdb" written here and by the background writer, "markers.gdb". */
const auto kAutosaveCases = ::testing::Values(
    AutosaveCase{"user.gdb", [](World& w, int n) { w.setLocationNote(0, "note " + QByteArray::number(n)); },
                 [](World& w) { w.autosaveUserData(); }, [](World& w) { w.SaveUserData(); },
                 [](const World& w) { return w.userDataWriteFailing(); }},
    AutosaveCase{"markers.gdb", [](World& w, int n) { w.setMarkerName(0, "Camp " + QByteArray::number(n)); },
                 [](World& w) { w.autosaveMarkers(); }, [](World& w) { w.SaveMarkers(); },
                 [](const World& w) { return w.markersWriteFailing(); }},
    // The same streak when the writes go to the background writer and are taken later.
    AutosaveCase{"user.gdb", [](World& w, int n) { w.setLocationNote(0, "note " + QByteArray::number(n)); },
                 [](World& w) {
                     w.setBackgroundWritesFrom(0);
                     w.autosaveUserData();
                     w.waitForUserDataWrites();
                 },
                 [](World& w) { w.SaveUserData(); }, [](const World& w) { return w.userDataWriteFailing(); }});

std::string autosaveCaseName(const ::testing::TestParamInfo<AutosaveCase>& row)
{
    return row.index == 0 ? "UserData" : row.index == 1 ? "Markers" : "UserDataInTheBackground";
}

INSTANTIATE_TEST_SUITE_P(Files, AutosaveStreakTest, kAutosaveCases, autosaveCaseName);
INSTANTIATE_TEST_SUITE_P(Files, RescueTest, kAutosaveCases, autosaveCaseName);

// --- the last writes, when the world's folder refuses them ---------------------------------

/** One user file's last write of a run, with something in the way of it in the world's folder. */
struct LastWriteCase {
    const char* file;
    const char* what; // how the error names the data
    std::function<void(World&)> edit;
    std::function<void(World&)> saveLast;
    std::function<QByteArray(const World&)> bytes; // what the program writes for the lists
};

class LastWriteTest : public WorldTest, public ::testing::WithParamInterface<LastWriteCase> {
protected:
    /** The last write's error, after an edit, with a folder standing where the file goes. */
    QString editAndCloseBlocked(QByteArray* wanted) const
    {
        const LastWriteCase& c = GetParam();
        EXPECT_TRUE(QDir(dir.path()).mkdir(QLatin1String(c.file)));
        World world(dir.path());
        EXPECT_EQ(load(world), QString());
        c.edit(world);
        *wanted = c.bytes(world);
        try {
            c.saveLast(world);
        } catch (const Error& e) {
            return e.message();
        }
        return {};
    }
};

TEST_P(LastWriteTest, WhatTheWorldsFolderRefusesGoesToTheOwnFolderAndTheNextStartTakesIt)
{
    const LastWriteCase& c = GetParam();
    ScopedXdgHome xdg;
    const QString own = QDir(DataLocations::userDataFolder(dir.path())).filePath(QLatin1String(c.file));
    QByteArray wanted;
    EXPECT_EQ(editAndCloseBlocked(&wanted),
              QStringLiteral("Unable to write to %1. This window's %2 are saved in %3 instead, and the next start "
                             "reads them from there.")
                  .arg(QFileInfo(path(c.file)).absoluteFilePath(), QLatin1String(c.what), own));
    EXPECT_EQ(readFile(own), wanted);

    // Once the way is clear, the next start takes that copy into the world's folder.
    ASSERT_TRUE(QDir(dir.path()).rmdir(QLatin1String(c.file)));
    World next(dir.path());
    EXPECT_EQ(load(next), QString());
    EXPECT_EQ(read(c.file), wanted);
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_EQ(c.bytes(next), wanted);
}

TEST_P(LastWriteTest, WithNoOwnFolderToWriteTheErrorStandsAsItIs)
{
    const LastWriteCase& c = GetParam();
    ScopedXdgHome xdg;
    writeFile(xdg.data(), "not a folder"); // where the own folder would be made
    QByteArray wanted;
    EXPECT_EQ(editAndCloseBlocked(&wanted),
              QStringLiteral("Unable to write to ") + QFileInfo(path(c.file)).absoluteFilePath());
    EXPECT_EQ(readFile(xdg.data()), QByteArray("not a folder"));
}

TEST_P(LastWriteTest, WithoutAChangeOfTheRunNothingGoesToTheOwnFolder)
{
    const LastWriteCase& c = GetParam();
    ScopedXdgHome xdg;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QLatin1String(c.file)));
    World world(dir.path());
    EXPECT_EQ(load(world), QString());
    try {
        c.saveLast(world);
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + QFileInfo(path(c.file)).absoluteFilePath());
    }
    EXPECT_FALSE(QFileInfo::exists(xdg.data()));
}

INSTANTIATE_TEST_SUITE_P(Files, LastWriteTest,
                         ::testing::Values(LastWriteCase{"user.gdb", "statuses and notes",
                                                         [](World& w) {
                                                             w.setLocationStatus(1, Visited);
                                                             w.setLocationNote(1, "kept after all");
                                                         },
                                                         [](World& w) { w.SaveUserDataLast(); },
                                                         [](const World& w) { return writeUserData(w.locations()); }},
                                           LastWriteCase{"markers.gdb", "markers",
                                                         [](World& w) { w.addMarker(marker("Camp", 10, -20)); },
                                                         [](World& w) { w.SaveMarkersLast(); },
                                                         [](const World& w) { return writeMarkers(w.markers()); }}),
                         [](const ::testing::TestParamInfo<LastWriteCase>& row) {
                             return std::string(row.index == 0 ? "UserData" : "Markers");
                         });

} // namespace
// --- the index of where things lie ------------------------------------------------------

TEST_F(WorldTest, TheIndexFollowsEveryLoadAndEveryMarkerChange)
{
    write("routes.gdb", "rout\r\n   nm = Alpha\r\n1 Beta\r\n2 Gamma\r\nend\r\n");
    write("markers.gdb", programMarkers());
    World world(dir.path());
    const auto covered = [&] {
        return world.index().coversLocations(world.locations()) && world.index().coversMarkers(world.markers());
    };
    const MapBox everywhere{INT_MIN, INT_MAX, INT_MIN, INT_MAX};
    ASSERT_EQ(load(world), QString());
    EXPECT_TRUE(covered());
    EXPECT_EQ(world.index().routesIn(everywhere).size(), 2u);
    const Viewport v = Viewport::showing({330, 380}, 10, {330, 380}, 7);
    EXPECT_EQ(world.index().markersIn(v, everywhere), (std::vector<int>{0, 1}));

    const struct {
        const char* what;
        std::function<void()> change;
        std::vector<int> markers;
    } steps[] = {
        {"add", [&] { world.addMarker(marker("Well", 50, 60)); }, {0, 1, 2}},
        {"rename", [&] { world.setMarkerName(2, QByteArray(300, 'x')); }, {0, 1, 2}},
        {"remove", [&] { world.removeMarker(0); }, {0, 1}},
        {"clear", [&] { world.clearMarkers(); }, {}},
    };
    for (const auto& s : steps) {
        s.change();
        EXPECT_TRUE(covered()) << s.what;
        EXPECT_EQ(world.index().markersIn(v, everywhere), s.markers) << s.what;
    }
    world.addMarker(marker("Last", 0, 0));
    world.setMarkerName(0, QByteArray(300, 'x'));
    EXPECT_EQ(world.index().longestMarkerName(), 300);
}

TEST_F(WorldTest, ALoaderErrorStillIndexesWhatWasRead)
{
    write("vdmain.gdb",
          locationRecord("Alpha", 0, 1000, 2000) + locationRecord("Beta", 1, 5, 5).replace("lv= 1", "lv= x"));
    World world(dir.path());
    EXPECT_NE(load(world), QString());
    EXPECT_TRUE(world.index().coversLocations(world.locations()));
}

} // namespace vdm
