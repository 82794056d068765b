// SPDX-License-Identifier: MIT
// Selection, statuses, notes and markers edited without any widget, and what is written.
#include "edit/mapeditor.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "data/errors.h"
#include "data/userdb.h"
#include "map/viewport.h"
#include "world/world.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vdm {
namespace {

Location place(const QByteArray& name, int x = 0, int y = 0)
{
    Location l;
    l.Name = name;
    l.X = x;
    l.Y = y;
    return l;
}

QByteArray markerBlock(const QByteArray& text, int x, int y)
{
    return "marker\r\n   text = " + text + "\r\n   pos = " + QByteArray::number(x) + "," + QByteArray::number(y)
           + "\r\nend\r\n";
}

/** The note lines of a user database, in block order, without their label. */
QList<QByteArray> notesOf(const QByteArray& file)
{
    QList<QByteArray> notes;
    for (const QByteArray& line : file.split('\n'))
        if (line.startsWith("   note = "))
            notes << line.mid(10).chopped(1); // the CR of the line end
    return notes;
}

/**
 * Three locations and no markers in a world of its own folder, taken as read completely,
 * so every save writes there.
 */
class MapEditorTest : public ::testing::Test {
protected:
    explicit MapEditorTest(LocationList markers = {})
        : world(folder.path(), {place("Cedar"), place("Edit marker"), place("Aspen")}, std::move(markers))
    {
        // As the window has it: each change the editor says the map shows is one paint.
        QObject::connect(&editor, &MapEditor::mapChanged, [this] { ++repaints; });
    }

    QString path(const QString& name) const { return QDir(folder.path()).filePath(name); }
    /** What the world last wrote to `name`; empty when it wrote nothing. */
    QByteArray written(const QString& name) const
    {
        return QFile::exists(path(name)) ? readDatabaseFile(path(name)) : QByteArray();
    }
    bool wasWritten(const QString& name) const { return QFile::exists(path(name)); }
    /** Removes the file, so only the next write brings it back. */
    void forget(const QString& name) const { QFile::remove(path(name)); }
    QByteArray markersFile() const { return written(QStringLiteral("markers.gdb")); }
    QByteArray userFile() const { return written(QStringLiteral("user.gdb")); }

    QTemporaryDir folder;
    World world;
    int repaints = 0;
    MapEditor editor{world};
};

/** The same world holding three markers. */
class MarkerEditorTest : public MapEditorTest {
protected:
    MarkerEditorTest() : MapEditorTest({place("A", 1, 1), place("B", 2, 2), place("C", 3, 3)}) {}
};

TEST_F(MapEditorTest, AddEditAndDeleteAMarkerAndWhatIsWritten)
{
    editor.toggleAddMode();
    editor.click(-1, QPoint(1000, -2000));
    EXPECT_EQ(markersFile(), markerBlock("Marker", 1000, -2000));
    EXPECT_EQ(world.markers()[0].Level, 1);
    EXPECT_EQ(world.markers()[0].Status, Unvisited);
    editor.click(-1, QPoint(-5, 7));
    EXPECT_EQ(markersFile(), markerBlock("Marker", 1000, -2000) + markerBlock("Marker", -5, 7));
    EXPECT_EQ(repaints, 2);
    editor.toggleAddMode();

    ASSERT_TRUE(editor.showMarker(1));
    EXPECT_FALSE(editor.EditMarkerMode());
    forget(QStringLiteral("markers.gdb"));
    editor.editText(QStringLiteral("Marker")); // the editor taking the shown text is no edit
    EXPECT_FALSE(wasWritten(QStringLiteral("markers.gdb")));
    editor.open();
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Marker, 1}));
    EXPECT_EQ(editor.EditedMarker(), 1);
    editor.editText(QStringLiteral("  Ford, north\t"));
    EXPECT_EQ(markersFile(), markerBlock("Marker", 1000, -2000) + markerBlock("Ford, north", -5, 7));
    EXPECT_EQ(repaints, 3); // the caption follows the typing
    editor.editText(QStringLiteral("   "));
    EXPECT_EQ(world.markers()[1].Name, QByteArray("Marker")); // never empty

    editor.toggleDeleteMode();
    editor.click(0, QPoint());
    EXPECT_FALSE(editor.EditMarkerMode()); // any click closes the box
    EXPECT_EQ(markersFile(), markerBlock("Marker", -5, 7));
    EXPECT_EQ(editor.EditedMarker(), 0); // it follows its marker up
    EXPECT_TRUE(editor.DeleteMarkerMode());
    editor.click(0, QPoint());
    EXPECT_TRUE(wasWritten(QStringLiteral("markers.gdb")));
    EXPECT_EQ(markersFile(), QByteArray());
    EXPECT_FALSE(editor.DeleteMarkerMode()); // the last one deleted ends the mode
    EXPECT_EQ(editor.EditedMarker(), -1);
    EXPECT_FALSE(world.userDataEdited());
    EXPECT_FALSE(wasWritten(QStringLiteral("user.gdb")));
}

TEST_F(MarkerEditorTest, TheOpenBoxFollowsItsMarkerThroughAMergeWithAnotherProgram)
{
    // The editor follows the world's renumbering by itself.
    ASSERT_TRUE(editor.showMarker(1));
    editor.open();
    editor.editText(QStringLiteral("B2"));
    // Another program puts a marker in front of all of them.
    AtomicFile::write(path(QStringLiteral("markers.gdb")), markerBlock("Well", 9, 9) + markerBlock("A", 1, 1)
                                                               + markerBlock("B2", 2, 2) + markerBlock("C", 3, 3));
    editor.editText(QStringLiteral("B3"));
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Marker, 2}));
    EXPECT_EQ(editor.EditedMarker(), 2);
    editor.editText(QStringLiteral("B4")); // the next key reaches the same marker
    EXPECT_EQ(markersFile(),
              markerBlock("Well", 9, 9) + markerBlock("A", 1, 1) + markerBlock("B4", 2, 2) + markerBlock("C", 3, 3));

    // A marker the other program deleted closes the box on it: no key reaches another one.
    editor.markersRenumbered({0, 1, -1, 2});
    EXPECT_EQ(editor.target().index, -1);
    EXPECT_FALSE(editor.EditMarkerMode());
    EXPECT_EQ(editor.EditedMarker(), -1);
}

TEST_F(MarkerEditorTest, ALocationNamedEditMarkerKeepsItsNoteAndNoMarkerChanges)
{
    editor.pointerOnMarker(0); // the marker last hovered
    ASSERT_TRUE(editor.showLocation(1));
    editor.open();
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Location, 1}));
    editor.editText(QStringLiteral("ruined tower"));
    EXPECT_EQ(world.locations()[1].Note, QByteArray("ruined tower"));
    EXPECT_EQ(world.markers()[0].Name, QByteArray("A"));
    EXPECT_FALSE(world.markersEdited());
    EXPECT_FALSE(wasWritten(QStringLiteral("markers.gdb")));
    EXPECT_EQ(notesOf(userFile()), (QList<QByteArray>{"", "ruined tower", ""}));

    // Deleting all markers does not close a box that edits a location.
    editor.clearMarkers();
    EXPECT_TRUE(editor.EditMarkerMode());
    editor.editText(QStringLiteral("ruined tower, east"));
    EXPECT_EQ(world.locations()[1].Note, QByteArray("ruined tower, east"));
}

TEST_F(MapEditorTest, NotesAreStoredOnlyWhileTheBoxIsOpenAndTrimmed)
{
    editor.showLocation(2);
    editor.editText(QStringLiteral("closed"));
    EXPECT_EQ(world.locations()[2].Note, QByteArray());
    EXPECT_FALSE(wasWritten(QStringLiteral("user.gdb")));

    editor.open();
    struct Row {
        const char* typed;
        QByteArray stored;
    };
    const Row rows[] = {{"well ", "well"}, {" \t", ""}, {"\x01 mill \x1f", "mill"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        editor.editText(QString::fromLatin1(r.typed));
        EXPECT_EQ(world.locations()[2].Note, r.stored);
        EXPECT_EQ(notesOf(userFile()), (QList<QByteArray>{"", "", r.stored}));
    }
    EXPECT_EQ(repaints, 0); // a note does not show on the map

    // The list moves the open box; the same note shown again is no edit, yet it is written.
    editor.showLocation(0);
    forget(QStringLiteral("user.gdb"));
    editor.editText(QString());
    EXPECT_TRUE(wasWritten(QStringLiteral("user.gdb")));
    EXPECT_EQ(world.locations()[0].Note, QByteArray());
    EXPECT_TRUE(editor.EditMarkerMode());
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Location, 0}));
}

TEST_F(MapEditorTest, StatusesAreWrittenWithAutosaveOnlyAndAlwaysRepainted)
{
    editor.showLocation(2);
    editor.setStatus(Visited);
    EXPECT_EQ(world.locations()[2].Status, Visited);
    EXPECT_TRUE(world.userDataEdited());
    EXPECT_EQ(userFile(), writeUserData(world.locations()));
    EXPECT_EQ(repaints, 1);

    editor.setAutosave(false);
    forget(QStringLiteral("user.gdb"));
    editor.setStatus(Active);
    editor.open();
    editor.editText(QStringLiteral("moss"));
    EXPECT_EQ(world.locations()[2].Status, Active);
    EXPECT_FALSE(wasWritten(QStringLiteral("user.gdb")));
    EXPECT_EQ(repaints, 2);

    // A failed write still shows the change, and the error reaches the caller.
    editor.setAutosave(true);
    AtomicFile::setFaultInjector([](AtomicFile::Step step) { return step != AtomicFile::Step::Rename; });
    const auto restore = qScopeGuard([] { AtomicFile::setFaultInjector({}); });
    EXPECT_ANY_THROW(editor.setStatus(Unvisited));
    EXPECT_EQ(world.locations()[2].Status, Unvisited);
    EXPECT_EQ(repaints, 3);
    EXPECT_FALSE(wasWritten(QStringLiteral("user.gdb")));
}

TEST_F(MapEditorTest, UnknownIndicesChangeNothing)
{
    EXPECT_FALSE(editor.showLocation(3));
    EXPECT_FALSE(editor.showLocation(-1));
    EXPECT_FALSE(editor.showMarker(0));
    EXPECT_EQ(editor.SelectedIndex(), 0);
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Location, 0}));

    World empty(folder.path(), {}, {});
    MapEditor none(empty);
    none.setStatus(Visited); // nothing selected: nothing to set
    none.open();
    none.editText(QStringLiteral("lost"));
    EXPECT_FALSE(wasWritten(QStringLiteral("user.gdb")));
}

TEST_F(MarkerEditorTest, TheHoverSetsTheMarkerOnlyWhileTheBoxIsClosed)
{
    editor.pointerOnMarker(2);
    EXPECT_EQ(editor.EditedMarker(), 2);
    editor.pointerOnMarker(-1);
    EXPECT_EQ(editor.EditedMarker(), -1);

    editor.showMarker(0);
    editor.open();
    editor.pointerOnMarker(1);
    EXPECT_EQ(editor.EditedMarker(), 0);
    editor.editText(QStringLiteral("Camp"));
    EXPECT_EQ(world.markers()[0].Name, QByteArray("Camp"));
    EXPECT_EQ(world.markers()[1].Name, QByteArray("B"));

    // A box open on a location keeps the marker too.
    editor.close();
    editor.showLocation(0);
    editor.open();
    editor.pointerOnMarker(2);
    EXPECT_EQ(editor.EditedMarker(), 0);
}

TEST_F(MapEditorTest, TheToolsExcludeEachOther)
{
    struct Step {
        const char* what;
        void (MapEditor::*action)();
        bool adding, deleting;
    };
    const Step steps[] = {
        {"add on", &MapEditor::toggleAddMode, true, false},
        {"delete on ends add", &MapEditor::toggleDeleteMode, false, true},
        {"add on ends delete", &MapEditor::toggleAddMode, true, false},
        {"add off", &MapEditor::toggleAddMode, false, false},
        {"delete on", &MapEditor::toggleDeleteMode, false, true},
        {"the right button ends delete", &MapEditor::enterAddMode, true, false},
        {"and stays in add mode", &MapEditor::enterAddMode, true, false},
        {"delete on again", &MapEditor::toggleDeleteMode, false, true},
        {"delete off", &MapEditor::toggleDeleteMode, false, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        (editor.*s.action)();
        EXPECT_EQ(editor.AddMarkerMode(), s.adding);
        EXPECT_EQ(editor.DeleteMarkerMode(), s.deleting);
        EXPECT_EQ(editor.markerToolActive(), s.adding || s.deleting);
    }
}

TEST_F(MapEditorTest, MarkersArePlacedOnlyInsideTheArea)
{
    struct Row {
        QPoint p;
        bool placed;
    };
    const Row rows[] = {
        {{Viewport::MapRight, Viewport::MapTop}, true},
        {{Viewport::MapLeft, Viewport::MapBottom}, true},
        {{Viewport::MapRight + 1, Viewport::MapTop}, false},
        {{Viewport::MapRight, Viewport::MapTop + 1}, false},
        {{Viewport::MapLeft - 1, 0}, false},
        {{0, Viewport::MapBottom - 1}, false},
    };
    editor.toggleAddMode();
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.p.x() << "," << r.p.y());
        const size_t before = world.markers().size();
        forget(QStringLiteral("markers.gdb"));
        editor.click(-1, r.p);
        EXPECT_EQ(world.markers().size(), before + (r.placed ? 1 : 0));
        EXPECT_EQ(wasWritten(QStringLiteral("markers.gdb")), r.placed);
        EXPECT_TRUE(editor.AddMarkerMode());
    }
}

TEST_F(MarkerEditorTest, DeletingWithNothingUnderThePointerStillWritesAndRepaints)
{
    editor.toggleDeleteMode();
    editor.click(-1, QPoint());
    EXPECT_EQ(world.markers().size(), 3u);
    EXPECT_EQ(markersFile(), markerBlock("A", 1, 1) + markerBlock("B", 2, 2) + markerBlock("C", 3, 3));
    EXPECT_EQ(repaints, 1);
    EXPECT_FALSE(world.markersEdited());
    EXPECT_TRUE(editor.DeleteMarkerMode());
}

TEST_F(MarkerEditorTest, DeletingAllWritesNothingAndClosesABoxOnAMarker)
{
    editor.showMarker(1);
    editor.open();
    editor.clearMarkers();
    EXPECT_TRUE(world.markers().empty());
    EXPECT_TRUE(world.markersEdited());
    EXPECT_FALSE(wasWritten(QStringLiteral("markers.gdb")));
    EXPECT_EQ(repaints, 1);
    EXPECT_FALSE(editor.EditMarkerMode());
    EXPECT_EQ(editor.EditedMarker(), -1);

    // A marker added later takes the old index; nothing set afterwards reaches it.
    editor.toggleAddMode();
    editor.click(-1, QPoint());
    editor.click(-1, QPoint(1, 1));
    editor.open();
    editor.editText(QStringLiteral("late"));
    EXPECT_EQ(world.markers()[1].Name, QByteArray("Marker"));
}

TEST_F(MarkerEditorTest, BoxCaptionFollowsWhatTheBoxShows)
{
    struct Case {
        const char* what;
        std::function<void(MapEditor&)> act;
        QString caption;
    };
    const Case cases[] = {
        {"the first location", [](MapEditor&) {}, QStringLiteral(" Cedar ")},
        {"a location named like the marker caption", [](MapEditor& e) { e.showLocation(1); },
         QStringLiteral(" Edit marker ")},
        {"a marker", [](MapEditor& e) { e.showMarker(2); }, QStringLiteral(" Edit marker ")},
        {"a location again", [](MapEditor& e) { e.showLocation(2); }, QStringLiteral(" Aspen ")},
        {"no such location: the box keeps its place", [](MapEditor& e) { e.showLocation(7); },
         QStringLiteral(" Aspen ")},
    };
    for (const Case& c : cases) {
        c.act(editor);
        EXPECT_EQ(editor.boxCaption(), c.caption) << c.what;
    }
    // The marker caption is the marker's, not the location's of that name.
    editor.showLocation(1);
    EXPECT_FALSE(editor.showsMarker());
}

TEST(MapEditorSelection, GoFindsTheShownLocationOrReportsTheIndex)
{
    QTemporaryDir folder;
    World empty(folder.path(), {}, {});
    MapEditor editor(empty);
    editor.setAutosave(false);
    try {
        editor.selectedLocation();
        ADD_FAILURE() << "an empty list has no selected location";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("List index out of bounds (0)"));
    }
    World two(folder.path(), {place("North", 5, 6), place("South", 7, 8)}, {});
    MapEditor chooser(two);
    chooser.setAutosave(false);
    EXPECT_EQ(chooser.selectedLocation().Name, QByteArray("North"));
    ASSERT_TRUE(chooser.showLocation(1));
    EXPECT_EQ(chooser.selectedLocation().X, 7);
}

} // namespace
} // namespace vdm
