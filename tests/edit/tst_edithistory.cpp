// SPDX-License-Identifier: MIT
// Undo and redo of every kind of edit, and what they leave in the user's two files.
#include "edit/mapeditor.h"

#include "data/databasefile.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "common/testutils.h"
#include "common/testworld.h"
#include "world/progressfile.h"
#include "world/world.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace vdm {
namespace {

using namespace std::chrono_literals;

using test::place;

using test::marker;

/**
 * Three places and three markers, written to their files first, so every test starts from
 * a state on disk; the editor's clock moves only when a test moves it.
 */
struct EditBench {
    EditBench()
        : world(folder.path(), {place("Falgard", Active, "gate"), place("Brem"), place("Cosk", Visited)},
                {marker("A", 10, 10), marker("B", 20, 20), marker("C", 30, 30)})
    {
        world.SaveUserData();
        world.SaveMarkers();
    }

    QString path(const char* name) const { return QDir(folder.path()).filePath(QLatin1String(name)); }
    /** Both files' bytes, user data first. */
    std::pair<QByteArray, QByteArray> files() const
    {
        return {readDatabaseFile(path("user.gdb")), readDatabaseFile(path("markers.gdb"))};
    }
    /** The writes at close. */
    void close()
    {
        world.SaveUserData();
        world.SaveMarkers();
    }
    /** The note editor's text after `text` was typed key by key, `gap` apart. */
    void type(const QString& start, const QString& text, std::chrono::milliseconds gap = 100ms)
    {
        QString shown = start;
        for (QChar c : text) {
            now += gap;
            shown += c;
            editor.editText(shown);
        }
    }

    QTemporaryDir folder;
    World world;
    std::chrono::steady_clock::time_point now{};
    MapEditor editor{world, [this] { return now; }};
};

class EditHistoryTest : public ::testing::Test, protected EditBench {};

/** One kind of edit, made the way the window makes it. */
struct EditCase {
    const char* what;
    std::function<void(MapEditor&, World&, bool autosave)> edit;
    QString undoText;
};

const EditCase kEdits[] = {
    {"status", [](MapEditor& e, World&, bool) { e.setStatus(Visited); }, QStringLiteral("Set status of Falgard")},
    {"note",
     [](MapEditor& e, World&, bool) {
         e.open();
         e.editText(QStringLiteral("gate h"));
         e.editText(QStringLiteral("gate hi"));
     },
     QStringLiteral("Edit note of Falgard")},
    {"add marker",
     [](MapEditor& e, World&, bool) {
         e.toggleAddMode();
         e.click(-1, QPoint(500, -600));
     },
     QStringLiteral("Add marker")},
    {"delete marker",
     [](MapEditor& e, World&, bool) {
         e.toggleDeleteMode();
         e.click(1, QPoint());
     },
     QStringLiteral("Delete marker")},
    {"marker text",
     [](MapEditor& e, World&, bool) {
         e.showMarker(2);
         e.open();
         e.editText(QStringLiteral("camp"));
     },
     QStringLiteral("Edit marker")},
    {"delete all markers", [](MapEditor& e, World&, bool) { e.clearMarkers(); }, QStringLiteral("Delete all markers")},
    {"all unvisited",
     [](MapEditor& e, World& w, bool autosave) {
         e.resetPlaces(MapEditor::PlaceReset::AllUnvisited);
         if (autosave)
             w.SaveUserData(); // as the options dialog writes
     },
     QStringLiteral("Set status of all locations to Unvisited")},
    {"no notes",
     [](MapEditor& e, World& w, bool autosave) {
         e.resetPlaces(MapEditor::PlaceReset::NoNotes);
         if (autosave)
             w.SaveUserData();
     },
     QStringLiteral("Clear notes of all locations")},
    {"import",
     [](MapEditor& e, World& w, bool) {
         const LocationList places
             = {place("Falgard", Unvisited, "gone"), place("Brem", Visited, "new"), place("Cosk", Visited)};
         const Progress progress = readProgress(
             writeProgress(places, {marker("B", 20, 20), marker("changed", 30, 30), marker("D", 40, 40)}), "p.txt");
         e.importProgress(planProgressImport(progress, w.locations(), w.markers()));
     },
     QStringLiteral("Import progress")},
};

TEST_F(EditHistoryTest, EachEditUndoesAndRedoesToTheSameBytesOnDisk)
{
    for (const EditCase& c : kEdits) {
        SCOPED_TRACE(c.what);
        EditBench fresh; // each case from the same start
        fresh.editor.setAutosave(true);
        const auto before = fresh.files();
        const LocationList places = fresh.world.locations(), markers = fresh.world.markers();
        c.edit(fresh.editor, fresh.world, true);
        const auto after = fresh.files();
        const LocationList placesAfter = fresh.world.locations(), markersAfter = fresh.world.markers();
        ASSERT_EQ(fresh.editor.history().count(), 1);
        EXPECT_EQ(fresh.editor.history().undoText(), c.undoText);

        fresh.editor.undo();
        EXPECT_EQ(fresh.files(), before);
        EXPECT_EQ(fresh.world.locations(), places);
        EXPECT_EQ(fresh.world.markers(), markers);
        EXPECT_TRUE(fresh.editor.history().canRedo());

        fresh.editor.redo();
        EXPECT_EQ(fresh.files(), after);
        EXPECT_EQ(fresh.world.locations(), placesAfter);
        EXPECT_EQ(fresh.world.markers(), markersAfter);
    }
}

TEST_F(EditHistoryTest, WithAutosaveOffUndoWritesNothingUntilTheClose)
{
    for (const EditCase& c : kEdits) {
        SCOPED_TRACE(c.what);
        EditBench fresh;
        fresh.editor.setAutosave(false);
        const auto before = fresh.files();
        c.edit(fresh.editor, fresh.world, false);
        const auto edited = fresh.files(); // an import writes at once, whatever autosave says
        fresh.editor.undo();
        EXPECT_EQ(fresh.files(), edited);
        fresh.editor.redo();
        fresh.editor.undo();
        EXPECT_EQ(fresh.files(), edited);
        if (QByteArray(c.what) != "import") { // back where the files stand: nothing to keep
            EXPECT_FALSE(fresh.world.userDataEdited());
            EXPECT_FALSE(fresh.world.markersEdited());
        }
        fresh.close();
        EXPECT_EQ(fresh.files(), before);
        if (QByteArray(c.what) != "import") { // which keeps what it replaced
            EXPECT_FALSE(QFile::exists(fresh.path("user.gdb.bak")));
            EXPECT_FALSE(QFile::exists(fresh.path("markers.gdb.bak")));
        }
    }
}

TEST_F(EditHistoryTest, ATypedWordIsOneStepEndedByAPauseAFocusChangeOrAnotherPlace)
{
    editor.open();
    type(QStringLiteral("gate"), QStringLiteral(" north"));
    EXPECT_EQ(editor.history().count(), 1);
    EXPECT_EQ(world.locations()[0].Note, QByteArray("gate north"));

    type(QStringLiteral("gate north"), QStringLiteral(" bridge"), 100ms); // still the same word run
    EXPECT_EQ(editor.history().count(), 1);
    now += MapEditor::kTypingPause;
    type(QStringLiteral("gate north bridge"), QStringLiteral("!")); // after a pause
    EXPECT_EQ(editor.history().count(), 2);
    editor.endTyping(); // the editor lost the focus
    type(QStringLiteral("gate north bridge!"), QStringLiteral("?"));
    EXPECT_EQ(editor.history().count(), 3);

    editor.showLocation(1); // the list moves the open box: another place
    type(QString(), QStringLiteral("x"));
    EXPECT_EQ(editor.history().count(), 4);
    EXPECT_EQ(editor.history().undoText(), QStringLiteral("Edit note of Brem"));

    editor.undo();
    editor.undo();
    editor.undo();
    EXPECT_EQ(world.locations()[0].Note, QByteArray("gate north bridge"));
    editor.undo();
    EXPECT_EQ(world.locations()[0].Note, QByteArray("gate"));
    EXPECT_EQ(editor.lastChange(), (EditTarget{EditTarget::Kind::Location, 0}));
    EXPECT_FALSE(editor.history().canUndo());
}

TEST_F(EditHistoryTest, TypingAndErasingItAgainLeavesNoStep)
{
    editor.open();
    type(QStringLiteral("gate"), QStringLiteral("s"));
    editor.editText(QStringLiteral("gate"));
    EXPECT_EQ(editor.history().count(), 0);
    EXPECT_EQ(world.locations()[0].Note, QByteArray("gate"));
}

TEST_F(EditHistoryTest, UndoOfAnImportRestoresEveryStatusAndNote)
{
    LocationList many;
    for (int i = 0; i < 40; ++i)
        many.push_back(place("P" + QByteArray::number(i), i % 3 + 1, i % 2 ? "old" : ""));
    World big(folder.path(), many, {});
    MapEditor e(big);
    LocationList imported = many;
    for (Location& l : imported) {
        l.Status = Visited;
        l.Note = "imported " + l.Name;
    }
    e.importProgress(planProgressImport(readProgress(writeProgress(imported, {}), "p.txt"), big.locations(), {}));
    ASSERT_EQ(big.locations(), imported);
    e.undo();
    EXPECT_EQ(big.locations(), many);
    EXPECT_EQ(readDatabaseFile(QDir(folder.path()).filePath("user.gdb")), writeUserData(many));
    EXPECT_EQ(big.statusCounts().visited, 13);
    EXPECT_EQ(e.lastChange(), std::nullopt); // many places: nothing to centre
}

TEST_F(EditHistoryTest, TheBoxFollowsItsMarkerThroughUndoAndRedo)
{
    editor.toggleDeleteMode();
    editor.click(0, QPoint()); // "A" goes; "C" is now marker 1
    editor.showMarker(1);
    editor.open();
    editor.undo(); // "A" comes back before it
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Marker, 2}));
    EXPECT_EQ(editor.lastChange(), (EditTarget{EditTarget::Kind::Marker, 0}));
    editor.editText(QStringLiteral("C moved"));
    EXPECT_EQ(world.markers()[2].Name, QByteArray("C moved"));

    editor.undo(); // the text
    editor.redo();
    editor.clearMarkers(); // which closes the box
    editor.undo();
    EXPECT_EQ(world.markers().size(), 3u);
    EXPECT_FALSE(editor.EditMarkerMode());
    editor.redo();
    EXPECT_TRUE(world.markers().empty());
    EXPECT_EQ(editor.EditedMarker(), -1);
}

TEST_F(EditHistoryTest, AnUndoOfAnAddedMarkerTakesItsOpenBoxAlong)
{
    editor.toggleAddMode();
    editor.click(-1, QPoint(1, 1));
    editor.showMarker(3);
    editor.open();
    editor.undo();
    EXPECT_EQ(editor.lastChange(), std::nullopt); // the marker is gone
    const auto before = files();
    editor.editText(QStringLiteral("typed into nothing"));
    EXPECT_EQ(files(), before);
    EXPECT_EQ(world.markers().size(), 3u);
}

TEST_F(EditHistoryTest, UndoBackToTheFileLeavesAnIncompleteFileAlone)
{
    // A user file with a line the writer would not give back: replaced only for an edit.
    QTemporaryDir dir;
    const auto write = [&dir](const char* name, const QByteArray& bytes) {
        QFile f(QDir(dir.path()).filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("vdmain.gdb", test::locationRecord("Falgard", 0, 1, 1) + test::locationRecord("Brem", 0, 2, 2));
    const QByteArray user = "my own line\r\n" + writeUserData({place("Falgard", Visited), place("Brem")});
    write("user.gdb", user);
    World loaded(dir.path());
    loaded.LoadDatabases();
    ASSERT_FALSE(loaded.userDataSafe());
    MapEditor e(loaded);
    e.setAutosave(false);
    e.setStatus(Active);
    EXPECT_TRUE(loaded.userDataEdited());
    e.undo();
    EXPECT_FALSE(loaded.userDataEdited());
    loaded.SaveUserData(); // the close
    EXPECT_EQ(readDatabaseFile(QDir(dir.path()).filePath("user.gdb")), user);
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath("user.gdb.bak")));

    e.redo(); // edited again: kept as its backup, and replaced
    EXPECT_TRUE(loaded.userDataEdited());
    loaded.SaveUserData();
    EXPECT_EQ(readDatabaseFile(QDir(dir.path()).filePath("user.gdb.bak")), user);
}

TEST_F(EditHistoryTest, ANewEditEndsTheRedoAndAnotherWorldOrProgramStartsAfresh)
{
    editor.setStatus(Visited);
    editor.undo();
    editor.setStatus(Unvisited);
    EXPECT_FALSE(editor.history().canRedo());
    EXPECT_EQ(editor.history().count(), 1);

    editor.markersRenumbered({0, 1, 2}); // another program's markers came in
    EXPECT_EQ(editor.history().count(), 0);
    editor.setStatus(Visited);
    editor.restart(); // another world
    EXPECT_EQ(editor.history().count(), 0);
    editor.undo(); // nothing to undo: nothing happens
    EXPECT_EQ(world.locations()[0].Status, Visited);
    EXPECT_EQ(editor.lastChange(), std::nullopt);
}

TEST_F(EditHistoryTest, UndoAndRedoLeaveAnotherProgramsNewerValuesAlone)
{
    // Falgard's status and note, then Brem's status, changed here and written.
    editor.setAutosave(true);
    editor.setStatus(Visited);
    editor.open();
    editor.editText(QStringLiteral("gate hi"));
    editor.endTyping();
    ASSERT_TRUE(editor.showLocation(1));
    editor.setStatus(Active);
    ASSERT_EQ(editor.history().count(), 3);

    // Another program changes Falgard's status and note since: the window takes them in.
    LocationList theirs = world.locations();
    theirs[0].Status = Unvisited;
    theirs[0].Note = "gate closed";
    test::writeFile(path("user.gdb"), writeUserData(theirs));
    ASSERT_TRUE(world.readChangedUserFiles());

    // Taking this window's edits back does not take the other program's with them.
    editor.undo();
    editor.undo();
    editor.undo();
    EXPECT_EQ(world.locations()[1].Status, Unvisited) << "Brem's own edit is undone";
    EXPECT_EQ(world.locations()[0].Status, Unvisited);
    EXPECT_EQ(world.locations()[0].Note, "gate closed");
    editor.redo();
    editor.redo();
    editor.redo();
    EXPECT_EQ(world.locations()[1].Status, Active);
    EXPECT_EQ(world.locations()[0].Status, Unvisited);
    EXPECT_EQ(world.locations()[0].Note, "gate closed");
    close();
    theirs[1].Status = Active;
    EXPECT_EQ(files().first, writeUserData(theirs));

    // So does a bulk edit's: the notes cleared come back, all but the one written since.
    ASSERT_TRUE(editor.showLocation(2));
    editor.open();
    editor.editText(QStringLiteral("ruins"));
    editor.endTyping();
    editor.resetPlaces(MapEditor::PlaceReset::NoNotes);
    world.SaveUserData();
    theirs = world.locations();
    theirs[0].Note = "ford";
    test::writeFile(path("user.gdb"), writeUserData(theirs));
    ASSERT_TRUE(world.readChangedUserFiles());
    editor.undo();
    EXPECT_EQ(world.locations()[0].Note, "ford");
    EXPECT_EQ(world.locations()[2].Note, "ruins");
}

TEST_F(EditHistoryTest, AFailedWriteOfAnUndoKeepsTheStepWalked)
{
    editor.setStatus(Visited);
    QFile::remove(path("user.gdb"));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("user.gdb"))); // no file can go there now
    EXPECT_ANY_THROW(editor.undo());
    EXPECT_EQ(world.locations()[0].Status, Active);
    EXPECT_TRUE(editor.history().canRedo());
    EXPECT_EQ(editor.lastChange(), (EditTarget{EditTarget::Kind::Location, 0}));
}

} // namespace
} // namespace vdm
