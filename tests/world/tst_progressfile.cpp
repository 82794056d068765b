// SPDX-License-Identifier: MIT
// The progress file: what it holds, how an import finds each place again, and that a
// file it cannot trust changes nothing.
#include "common/testutils.h"
#include "common/testworld.h"
#include "data/atomicfile.h"
#include "data/errors.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "world/progressfile.h"
#include "world/world.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace vdm {
namespace {

using test::locationRecord;
using test::readFile;
using test::writeFile;

struct Place {
    const char* name;
    int x;
    int y;
};

// Two places share a name at different positions, two share name and position.
const Place kPlaces[] = {
    {"Aldmoor", 100, 200}, {"Brennhold", -5000, 7000}, {"Twin", 1, 1},         {"Twin", 900, -900},
    {"Same", 50, 50},      {"Same", 50, 50},           {"Quay \"old\"", 3, 4}, {"Zerin\xe9", 7, 8},
};

QByteArray locationsFile(const std::vector<Place>& places)
{
    QByteArray out;
    for (const Place& p : places)
        out += locationRecord(p.name, 0, p.x, p.y);
    return out;
}

std::vector<Place> allPlaces()
{
    return {std::begin(kPlaces), std::end(kPlaces)};
}

/** A folder holding a locations file and, when given, the two user files; a world loaded from it. */
struct Folder {
    QTemporaryDir dir;
    World world;

    explicit Folder(const std::vector<Place>& places, const QByteArray& user = {}, const QByteArray& markers = {})
        : world(dir.path())
    {
        writeFile(dir.filePath("vdmain.gdb"), locationsFile(places));
        if (!user.isNull())
            writeFile(dir.filePath("user.gdb"), user);
        if (!markers.isNull())
            writeFile(dir.filePath("markers.gdb"), markers);
        world.LoadDatabases();
    }
    QByteArray file(const char* name) const { return readFile(dir.filePath(name)); }
    bool has(const char* name) const { return QFileInfo::exists(dir.filePath(name)); }
};

/** A user file for allPlaces() with every kind of status and a note of every printable sort. */
QByteArray someProgress()
{
    LocationList l(std::size(kPlaces));
    const std::int32_t statuses[] = {Visited, Active, Unvisited, Visited, Active, Visited, 0, Active};
    const char* notes[] = {"key under the bridge", "", "a \\ backslash", "\"quoted\"", "first of two", "second of two",
                           "caf\xe9 \x81\x9d",     "x"};
    for (size_t i = 0; i < l.size(); ++i) {
        l[i].Name = kPlaces[i].name;
        l[i].Status = statuses[i];
        l[i].Note = notes[i];
    }
    return writeUserData(l);
}

QByteArray someMarkers()
{
    return writeMarkers({test::marker("camp", -125000, -130000), test::marker("camp", 175000, 220000),
                         test::marker("a, \"b\" \\ marker", 0, 0), test::marker("", 5, 5)});
}

void importInto(World& world, const QByteArray& bytes)
{
    applyProgressImport(world, planProgressImport(readProgress(bytes, "p.txt"), world.locations(), world.markers()));
}

TEST(ProgressFile, ExportThenImportOnAFreshCopyGivesTheSameFiles)
{
    Folder played(allPlaces(), someProgress(), someMarkers());
    ASSERT_TRUE(played.world.userDataSafe());
    const QByteArray exported = writeProgress(played.world.locations(), played.world.markers());

    Folder fresh(allPlaces());
    importInto(fresh.world, exported);
    EXPECT_EQ(fresh.file("user.gdb"), played.file("user.gdb"));
    EXPECT_EQ(fresh.file("markers.gdb"), played.file("markers.gdb"));
    EXPECT_EQ(fresh.world.statusCounts(), played.world.statusCounts());

    // And back: importing the same progress again finds nothing to change.
    const ProgressPlan again
        = planProgressImport(readProgress(exported, "p.txt"), fresh.world.locations(), fresh.world.markers());
    EXPECT_FALSE(again.changesUserData());
    EXPECT_FALSE(again.changesMarkers());
    EXPECT_TRUE(again.unmatched.isEmpty());
}

TEST(ProgressFile, EveryByteOfATextComesBack)
{
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every.append(char(b));
    Location l;
    l.Name = every;
    l.X = -2147483647 - 1;
    l.Y = 2147483647;
    l.Status = 0;
    l.Note = every + every;
    Location m = test::marker(every, -1, 1);
    const Progress back = readProgress(writeProgress({l}, {m}), "p.txt");
    ASSERT_EQ(back.places.size(), 1u);
    EXPECT_EQ(back.places[0], (ProgressPlace{l.Name, l.X, l.Y, l.Status, l.Note}));
    ASSERT_EQ(back.markers.size(), 1u);
    EXPECT_EQ(back.markers[0], m);
}

TEST(ProgressFile, IsReadableText)
{
    Location l;
    l.Name = "Aldmoor";
    l.X = 1200;
    l.Y = -3400;
    l.Status = Visited;
    l.Note = "the key\tis \"here\"";
    const QByteArray text = writeProgress({l}, {test::marker("my camp", -5, 6)});
    EXPECT_TRUE(text.startsWith("Veldamar Interactive Map progress 1\r\n"));
    EXPECT_TRUE(text.contains("\r\nplace 1200,-3400 3 \"Aldmoor\" \"the key\\x09is \\\"here\\\"\"\r\n"));
    EXPECT_TRUE(text.contains("\r\nmarker -5,6 \"my camp\"\r\n"));
    EXPECT_TRUE(text.endsWith("\r\nend 1 1\r\n"));
    // LF alone reads the same, comments and blank lines are skipped.
    QByteArray lf = text;
    lf.replace("\r\n", "\n").replace("\nmarker", "\n\n# mine\nmarker");
    EXPECT_EQ(readProgress(lf, "p.txt").places, readProgress(text, "p.txt").places);
}

TEST(ProgressFile, ImportFindsEveryPlaceInAReorderedWorld)
{
    Folder played(allPlaces(), someProgress(), someMarkers());
    const QByteArray exported = writeProgress(played.world.locations(), played.world.markers());

    std::vector<Place> reordered = allPlaces();
    std::reverse(reordered.begin(), reordered.end());
    std::rotate(reordered.begin(), reordered.begin() + 3, reordered.end());
    Folder moved(reordered);
    importInto(moved.world, exported);

    // Every place carries what it carried before, found by name and position. The two
    // places of one name and position take their lines in order.
    for (const Location& before : played.world.locations()) {
        int matches = 0;
        for (const Location& after : moved.world.locations())
            if (after.Name == before.Name && after.X == before.X && after.Y == before.Y && after.Status == before.Status
                && after.Note == before.Note)
                ++matches;
        EXPECT_GE(matches, 1) << before.Name.constData();
    }
    const auto notesAt = [](const World& w) {
        QList<QByteArray> notes;
        for (const Location& l : w.locations())
            if (l.Name == "Same")
                notes << l.Note;
        return notes;
    };
    EXPECT_EQ(notesAt(moved.world), notesAt(played.world));
    EXPECT_EQ(moved.world.statusCounts(), played.world.statusCounts());
    EXPECT_EQ(moved.world.markers(), played.world.markers());
}

TEST(ProgressFile, PlanCountsAndMatchesByNameWhenThePositionMoved)
{
    // The world: one place moved since the export, one gone, one name doubled.
    LocationList world(4);
    const Place now[] = {{"Aldmoor", 100, 200}, {"Moved", 9, 9}, {"Twin", 1, 1}, {"Twin", 2, 2}};
    for (size_t i = 0; i < world.size(); ++i) {
        world[i].Name = now[i].name;
        world[i].X = now[i].x;
        world[i].Y = now[i].y;
    }
    world[0].Status = Active;
    world[0].Note = "old";
    Progress file;
    file.places = {
        {"Aldmoor", 100, 200, Visited, "new"}, // replaces status and note
        {"Moved", 1, 1, Visited, "here"},      // only the name matches, and only one place has it: applies
        {"Gone", 0, 0, Visited, ""},           // no such name
        {"Twin", 3, 3, Active, ""},            // two places of that name, neither at this position
    };
    const ProgressPlan plan = planProgressImport(file, world, {});
    EXPECT_EQ(plan.statusesAdded, 1);
    EXPECT_EQ(plan.statusesReplaced, 1);
    EXPECT_EQ(plan.notesAdded, 1);
    EXPECT_EQ(plan.notesReplaced, 1);
    EXPECT_EQ(plan.unmatched, (QList<QByteArray>{"Gone", "Twin"}));
    ASSERT_EQ(plan.statuses.size(), 2u);
    EXPECT_EQ(plan.statuses[1].index, 1);

    // An exact match is never taken away by a moved line of the same name.
    file.places = {{"Twin", 7, 7, Visited, "moved"}, {"Twin", 1, 1, Active, "exact"}, {"Twin", 2, 2, Active, "x"}};
    const ProgressPlan twins = planProgressImport(file, world, {});
    EXPECT_EQ(twins.unmatched, QList<QByteArray>{"Twin"});
    ASSERT_EQ(twins.notes.size(), 2u);
    EXPECT_EQ(twins.notes[0].index, 2);
    EXPECT_EQ(twins.notes[0].note, "exact");
}

TEST(ProgressFile, APlaceListedTwiceIsADuplicateNotAMissingPlace)
{
    LocationList world(3);
    const Place now[] = {{"Aldmoor", 100, 200}, {"Twin", 1, 1}, {"Twin", 1, 1}};
    for (size_t i = 0; i < world.size(); ++i) {
        world[i].Name = now[i].name;
        world[i].X = now[i].x;
        world[i].Y = now[i].y;
    }
    Progress file;
    file.places = {
        {"Aldmoor", 100, 200, Visited, "first"},
        {"Aldmoor", 100, 200, Active, "again"}, // the one Aldmoor is taken: a duplicate
        {"Twin", 1, 1, Visited, ""},
        {"Twin", 1, 1, Visited, ""}, // two Twins there: both apply
        {"Twin", 1, 1, Active, ""},  // a third: a duplicate
        {"Gone", 0, 0, Visited, ""},
    };
    const ProgressPlan plan = planProgressImport(file, world, {});
    EXPECT_EQ(plan.duplicates, (QList<QByteArray>{"Aldmoor", "Twin"}));
    EXPECT_EQ(plan.unmatched, QList<QByteArray>{"Gone"});
    ASSERT_EQ(plan.notes.size(), 1u);
    EXPECT_EQ(plan.notes[0].note, "first");
    EXPECT_EQ(plan.statuses.size(), 3u);
}

TEST(ProgressFile, MarkersAreMergedNeverRemoved)
{
    const LocationList existing = {test::marker("camp", 1, 1), test::marker("cave", 2, 2), test::marker("keep", 3, 3)};
    const struct {
        const char* what;
        LocationList file;
        int added;
        int replaced;
    } cases[] = {
        {"the same markers", existing, 0, 0},
        {"none", {}, 0, 0},
        {"a new one", {test::marker("new", 4, 4)}, 1, 0},
        {"another text at a spot", {test::marker("lair", 2, 2)}, 0, 1},
        {"a second at a spot", {test::marker("camp", 1, 1), test::marker("tent", 1, 1)}, 1, 0},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        World world(dir.path(), {}, existing);
        Progress file;
        file.markers = c.file;
        const ProgressPlan plan = planProgressImport(file, world.locations(), world.markers());
        EXPECT_EQ(plan.markersAdded(), c.added) << c.what;
        EXPECT_EQ(plan.markersReplaced(), c.replaced) << c.what;
        applyProgressImport(world, plan);
        EXPECT_EQ(int(world.markers().size()), 3 + c.added) << c.what;
        EXPECT_EQ(QFileInfo::exists(dir.filePath("markers.gdb")), c.added + c.replaced > 0) << c.what;
    }
}

TEST(ProgressFile, ABadFileNamesItsLineAndChangesNothing)
{
    Folder played(allPlaces(), someProgress(), someMarkers());
    const QByteArray good = writeProgress(played.world.locations(), played.world.markers());
    const qsizetype lastPlace = good.lastIndexOf("\r\nplace ");
    const struct {
        const char* what;
        QByteArray bytes;
        const char* says;
    } cases[] = {
        {"empty", "", "is empty"},
        {"foreign", "loc\r\n   nm = A\r\n", "is not a progress file"},
        {"utf-16", QByteArray("\xFF\xFEV\0e\0", 6), "is not a progress file"},
        {"later format", "Veldamar Interactive Map progress 3\r\nend 0 0\r\n", "of format 3"},
        {"bad version", "Veldamar Interactive Map progress x\r\nend 0 0\r\n", "at line 1:"},
        {"cut in a line", good.left(lastPlace + 20), "the name has no closing double quote"},
        {"cut before the end", good.left(good.lastIndexOf("end ")), "without its end line"},
        {"a line lost", QByteArray(good).remove(lastPlace, good.indexOf("\r\n", lastPlace + 2) - lastPlace),
         "the end line counts 8 places"},
        {"unknown line", "Veldamar Interactive Map progress 1\nplace 1,2 3 \"a\" \"\"\nrm -rf /\nend 1 0\n",
         "at line 3: \"rm\" is not a kind"},
        {"no quote", "Veldamar Interactive Map progress 1\nplace 1,2 3 a \"\"\nend 1 0\n", "at line 2: the name"},
        {"open quote", "Veldamar Interactive Map progress 1\nplace 1,2 3 \"a\" \"b\nend 1 0\n",
         "at line 2: the note has no closing"},
        {"bad escape", "Veldamar Interactive Map progress 1\nmarker 1,2 \"\\q\"\nend 0 1\n", "unknown escape"},
        {"short escape", "Veldamar Interactive Map progress 1\nmarker 1,2 \"\\x4\"\nend 0 1\n", "unknown escape"},
        {"huge number", "Veldamar Interactive Map progress 1\nmarker 99999999999,2 \"a\"\nend 0 1\n",
         "the x position is not a whole number"},
        {"status too large", "Veldamar Interactive Map progress 1\nplace 1,2 10 \"a\" \"\"\nend 1 0\n",
         "the status 10 is not a digit from 0 to 9"},
        {"negative status", "Veldamar Interactive Map progress 1\nplace 1,2 -1 \"a\" \"\"\nend 1 0\n",
         "at line 2: the status -1"},
        {"plus sign", "Veldamar Interactive Map progress 1\nmarker +1,2 \"a\"\nend 0 1\n", "not a whole number"},
        {"no comma", "Veldamar Interactive Map progress 1\nmarker 12 \"a\"\nend 0 1\n", "at line 2:"},
        {"trailing text", "Veldamar Interactive Map progress 1\nmarker 1,2 \"a\" x\nend 0 1\n", "after the last field"},
        {"after the end", "Veldamar Interactive Map progress 1\nend 0 0\nmarker 1,2 \"a\"\n", "after the end line"},
        {"place after marker",
         "Veldamar Interactive Map progress 1\nmarker 1,2 \"a\"\nplace 1,2 3 \"a\" \"\"\nend 1 1\n",
         "follows the markers"},
        {"counts lie", "Veldamar Interactive Map progress 1\nend 5 0\n", "counts 5 places"},
    };
    const QByteArray userBefore = played.file("user.gdb");
    const QByteArray markersBefore = played.file("markers.gdb");
    const LocationList locationsBefore = played.world.locations();
    for (const auto& c : cases) {
        const QString path = played.dir.filePath("progress.txt");
        writeFile(path, c.bytes);
        try {
            const Progress progress = loadProgressFile(path);
            applyProgressImport(played.world,
                                planProgressImport(progress, played.world.locations(), played.world.markers()));
            ADD_FAILURE() << c.what << ": read without an error";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QFileInfo(path).absoluteFilePath())) << c.what << ": " << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromLatin1(c.says))) << c.what << ": " << e.what();
            EXPECT_TRUE(e.message().endsWith("Nothing was changed.")) << c.what;
        }
        EXPECT_EQ(played.world.locations(), locationsBefore) << c.what;
        EXPECT_EQ(played.file("user.gdb"), userBefore) << c.what;
        EXPECT_EQ(played.file("markers.gdb"), markersBefore) << c.what;
    }
}

TEST(ProgressFile, ImportReplacingAnUntrustedFileKeepsItsBackup)
{
    // A user file with LF line ends reads, but the writer would not give its bytes back.
    QByteArray lf = someProgress();
    lf.replace("\r\n", "\n");
    Folder fresh(allPlaces(), lf);
    ASSERT_FALSE(fresh.world.userDataSafe());
    Folder played(allPlaces(), someProgress());
    importInto(fresh.world, writeProgress(played.world.locations(), played.world.markers()).replace("\"x\"", "\"y\""));
    EXPECT_EQ(fresh.file("user.gdb.bak"), lf);
    EXPECT_EQ(readFile(fresh.dir.filePath("user.gdb")), QByteArray(someProgress()).replace("= x\r\n", "= y\r\n"));
    EXPECT_FALSE(fresh.has("markers.gdb"));
}

TEST(ProgressFile, AnImportKeepsABackupOfEachFileItReplaces)
{
    const QByteArray oldMarkers = writeMarkers({test::marker("old camp", 5, 5)});
    Folder fresh(allPlaces(), writeUserData(Folder(allPlaces()).world.locations()), oldMarkers);
    ASSERT_TRUE(fresh.world.userDataSafe());
    const QByteArray oldUser = fresh.file("user.gdb");
    Folder played(allPlaces(), someProgress(), someMarkers());
    importInto(fresh.world, writeProgress(played.world.locations(), played.world.markers()));
    EXPECT_EQ(fresh.file("user.gdb.bak"), oldUser);
    EXPECT_EQ(fresh.file("markers.gdb.bak"), oldMarkers);
    EXPECT_EQ(fresh.file("user.gdb"), someProgress());
    EXPECT_FALSE(fresh.has(".user-files.journal"));
}

TEST(ProgressFile, AFailedImportWriteLeavesBothFilesAsTheyWere)
{
    using Step = AtomicFile::Step;
    for (const Step failing : {Step::Create, Step::Write, Step::Sync, Step::Rename}) {
        SCOPED_TRACE(int(failing));
        const QByteArray oldMarkers = writeMarkers({test::marker("old camp", 5, 5)});
        Folder fresh(allPlaces(), writeUserData(Folder(allPlaces()).world.locations()), oldMarkers);
        const QByteArray oldUser = fresh.file("user.gdb");
        Folder played(allPlaces(), someProgress(), someMarkers());
        // Only the files themselves fail; their backups are written.
        AtomicFile::setFaultInjector([&, calls = 0](Step s) mutable { return s != failing || ++calls <= 2; });
        EXPECT_THROW(importInto(fresh.world, writeProgress(played.world.locations(), played.world.markers())), Error);
        AtomicFile::setFaultInjector({});
        if (failing != Step::Rename) {
            EXPECT_EQ(fresh.file("user.gdb"), oldUser);
            EXPECT_EQ(fresh.file("markers.gdb"), oldMarkers);
        }
        // Whatever failed, the next start finds the pair as one.
        World again(fresh.dir.path());
        again.LoadDatabases();
        const bool old = fresh.file("user.gdb") == oldUser, now = fresh.file("user.gdb") == someProgress();
        EXPECT_TRUE(old || now);
        EXPECT_EQ(fresh.file("markers.gdb") == oldMarkers, old);
        EXPECT_FALSE(fresh.has(".user-files.journal"));
        // The data waits in memory for the next write, which goes through.
        fresh.world.SaveUserFilesTogether();
        EXPECT_EQ(fresh.file("user.gdb"), someProgress());
    }
}

TEST(ProgressFile, AnImportCutShortByAKillIsCompletedAtTheNextLoad)
{
    const QByteArray oldMarkers = writeMarkers({test::marker("old camp", 5, 5)});
    Folder fresh(allPlaces(), writeUserData(Folder(allPlaces()).world.locations()), oldMarkers);
    // What a kill right after the journal leaves: both new versions synced beside their
    // files, the journal naming them, neither renamed yet.
    const QByteArray newUser = someProgress(), newMarkers = someMarkers();
    const QString tempUser = fresh.dir.filePath(".user.gdb.Kq3x9Z"),
                  tempMarkers = fresh.dir.filePath(".markers.gdb.Pw7Lm2");
    writeFile(tempUser, newUser);
    writeFile(tempMarkers, newMarkers);
    writeFile(fresh.dir.filePath(".user-files.journal"),
              "veldamar-map replaces together 1\n" + QFile::encodeName(tempUser).toHex() + ' '
                  + QFile::encodeName(fresh.dir.filePath("user.gdb")).toHex() + '\n'
                  + QFile::encodeName(tempMarkers).toHex() + ' '
                  + QFile::encodeName(fresh.dir.filePath("markers.gdb")).toHex() + '\n');
    for (const bool ahead : {true, false}) {
        SCOPED_TRACE(ahead);
        World again(fresh.dir.path());
        if (ahead)
            again.readDatabasesAhead();
        again.LoadDatabases();
        EXPECT_EQ(writeUserData(again.locations()), newUser);
        EXPECT_EQ(again.markers().size(), 4u);
        EXPECT_EQ(fresh.file("user.gdb"), newUser);
        EXPECT_EQ(fresh.file("markers.gdb"), newMarkers);
        EXPECT_FALSE(fresh.has(".user-files.journal"));
    }
}

TEST(ProgressFile, SpecialFilesAreRefusedAtOnceForExportAndImport)
{
    QTemporaryDir dir;
    const test::Fifo fifo(dir.filePath("fifo.txt"));
    ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("zero.txt")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.txt"));
    Folder played(allPlaces(), someProgress(), someMarkers());
    for (const char* name : {"fifo.txt", "zero.txt", "folder.txt"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_THROW(loadProgressFile(path), Error);
        try {
            saveProgressFile(path, played.world);
            ADD_FAILURE() << "written";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Unable to write to " + QFileInfo(path).absoluteFilePath());
        }
    }
    EXPECT_FALSE(fifo.blocked());
    EXPECT_TRUE(QFileInfo(dir.filePath("zero.txt")).isSymLink());
}

TEST(ProgressFile, AFileLargerThanAnyProgressIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(qint64(600) * 1024 * 1024)); // sparse: takes no room on disk
    f.close();
    EXPECT_THROW(loadProgressFile(path), Error);
}

} // namespace
} // namespace vdm
