// SPDX-License-Identifier: MIT
// Selection, statuses, notes and markers edited without any widget, and what is written.
#include "edit/mapeditor.h"

#include "data/markersdb.h"
#include "data/userdb.h"
#include "map/viewport.h"

#include <QList>

#include <gtest/gtest.h>

#include <stdexcept>

namespace vdm {
namespace {

/** The lists in memory; each write keeps the bytes the file would receive. */
class MemoryWorld final : public EditableWorld {
public:
    const LocationList& locations() const override { return locationList; }
    const LocationList& markers() const override { return markerList; }
    bool setLocationStatus(int index, std::int32_t status) override
    {
        return change(locationList[size_t(index)].Status, status, userEdited);
    }
    bool setLocationNote(int index, const QByteArray& note) override
    {
        return change(locationList[size_t(index)].Note, note, userEdited);
    }
    void addMarker(const Location& marker) override
    {
        markerList.push_back(marker);
        markersEdited = true;
    }
    bool setMarkerName(int index, const QByteArray& name) override
    {
        return change(markerList[size_t(index)].Name, name, markersEdited);
    }
    void removeMarker(int index) override
    {
        markerList.erase(markerList.begin() + index);
        markersEdited = true;
    }
    void clearMarkers() override
    {
        markerList.clear();
        markersEdited = true;
    }
    void SaveUserData() override
    {
        ++userWrites;
        if (failWrites)
            throw std::runtime_error("Unable to write to user.gdb");
        userFile = writeUserData(locationList);
    }
    void SaveMarkers() override
    {
        ++markerWrites;
        if (failWrites)
            throw std::runtime_error("Unable to write to markers.gdb");
        markersFile = writeMarkers(markerList);
    }

    LocationList locationList;
    LocationList markerList;
    bool userEdited = false;
    bool markersEdited = false;
    bool failWrites = false;
    int userWrites = 0;
    int markerWrites = 0;
    QByteArray userFile;
    QByteArray markersFile;

private:
    template <typename T> static bool change(T& field, const T& value, bool& edited)
    {
        if (field == value)
            return false;
        field = value;
        edited = true;
        return true;
    }
};

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

class MapEditorTest : public ::testing::Test {
protected:
    MapEditorTest()
    {
        world.locationList = {place("Cedar"), place("Edit marker"), place("Aspen")};
    }
    MapEditor::Hooks hooks()
    {
        return {[this] { return autosave; }, [this] { ++repaints; }};
    }

    MemoryWorld world;
    bool autosave = true;
    int repaints = 0;
    MapEditor editor{world, hooks()};
};

TEST_F(MapEditorTest, AddEditAndDeleteAMarkerAndWhatIsWritten)
{
    editor.toggleAddMode();
    editor.click(-1, QPoint(1000, -2000));
    EXPECT_EQ(world.markersFile, markerBlock("Marker", 1000, -2000));
    EXPECT_EQ(world.markerList[0].Level, 1);
    EXPECT_EQ(world.markerList[0].Status, Unvisited);
    editor.click(-1, QPoint(-5, 7));
    EXPECT_EQ(world.markersFile, markerBlock("Marker", 1000, -2000) + markerBlock("Marker", -5, 7));
    EXPECT_EQ(repaints, 2);
    editor.toggleAddMode();

    ASSERT_TRUE(editor.showMarker(1));
    EXPECT_FALSE(editor.EditMarkerMode());
    editor.editText(QStringLiteral("Marker")); // the editor taking the shown text is no edit
    EXPECT_EQ(world.markerWrites, 2);
    editor.open();
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Marker, 1}));
    EXPECT_EQ(editor.EditedMarker(), 1);
    editor.editText(QStringLiteral("  Ford, north\t"));
    EXPECT_EQ(world.markersFile, markerBlock("Marker", 1000, -2000) + markerBlock("Ford, north", -5, 7));
    EXPECT_EQ(repaints, 3); // the caption follows the typing
    editor.editText(QStringLiteral("   "));
    EXPECT_EQ(world.markerList[1].Name, QByteArray("Marker")); // never empty

    editor.toggleDeleteMode();
    editor.click(0, QPoint());
    EXPECT_FALSE(editor.EditMarkerMode()); // any click closes the box
    EXPECT_EQ(world.markersFile, markerBlock("Marker", -5, 7));
    EXPECT_EQ(editor.EditedMarker(), 0); // it follows its marker up
    EXPECT_TRUE(editor.DeleteMarkerMode());
    editor.click(0, QPoint());
    EXPECT_EQ(world.markersFile, QByteArray());
    EXPECT_FALSE(editor.DeleteMarkerMode()); // the last one deleted ends the mode
    EXPECT_EQ(editor.EditedMarker(), -1);
    EXPECT_FALSE(world.userEdited);
    EXPECT_EQ(world.userWrites, 0);
}

TEST_F(MapEditorTest, ALocationNamedEditMarkerKeepsItsNoteAndNoMarkerChanges)
{
    world.markerList = {place("Camp", 10, 10)};
    editor.pointerOnMarker(0); // the marker last hovered
    ASSERT_TRUE(editor.showLocation(1));
    editor.open();
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Location, 1}));
    editor.editText(QStringLiteral("ruined tower"));
    EXPECT_EQ(world.locationList[1].Note, QByteArray("ruined tower"));
    EXPECT_EQ(world.markerList[0].Name, QByteArray("Camp"));
    EXPECT_FALSE(world.markersEdited);
    EXPECT_EQ(world.markerWrites, 0);
    EXPECT_EQ(notesOf(world.userFile), (QList<QByteArray>{"", "ruined tower", ""}));

    // Deleting all markers does not close a box that edits a location.
    editor.clearMarkers();
    EXPECT_TRUE(editor.EditMarkerMode());
    editor.editText(QStringLiteral("ruined tower, east"));
    EXPECT_EQ(world.locationList[1].Note, QByteArray("ruined tower, east"));
}

TEST_F(MapEditorTest, NotesAreStoredOnlyWhileTheBoxIsOpenAndTrimmed)
{
    editor.showLocation(2);
    editor.editText(QStringLiteral("closed"));
    EXPECT_EQ(world.locationList[2].Note, QByteArray());
    EXPECT_EQ(world.userWrites, 0);

    editor.open();
    struct Row {
        const char* typed;
        QByteArray stored;
    };
    const Row rows[] = {{"well ", "well"}, {" \t", ""}, {"\x01 mill \x1f", "mill"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        editor.editText(QString::fromLatin1(r.typed));
        EXPECT_EQ(world.locationList[2].Note, r.stored);
    }
    EXPECT_EQ(repaints, 0); // a note does not show on the map

    // The list moves the open box; the same note shown again records no edit but is written.
    world.userEdited = false;
    const int writes = world.userWrites;
    editor.showLocation(0);
    editor.editText(QString());
    EXPECT_FALSE(world.userEdited);
    EXPECT_EQ(world.userWrites, writes + 1);
    EXPECT_TRUE(editor.EditMarkerMode());
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Location, 0}));
}

TEST_F(MapEditorTest, StatusesAreWrittenWithAutosaveOnlyAndAlwaysRepainted)
{
    editor.showLocation(2);
    editor.setStatus(Visited);
    EXPECT_EQ(world.locationList[2].Status, Visited);
    EXPECT_EQ(world.userWrites, 1);
    EXPECT_EQ(repaints, 1);

    autosave = false;
    editor.setStatus(Active);
    editor.open();
    editor.editText(QStringLiteral("moss"));
    EXPECT_EQ(world.locationList[2].Status, Active);
    EXPECT_EQ(world.userWrites, 1);
    EXPECT_EQ(repaints, 2);

    // A failed write still shows the change, and the error reaches the caller.
    autosave = true;
    world.failWrites = true;
    EXPECT_THROW(editor.setStatus(Unvisited), std::runtime_error);
    EXPECT_EQ(world.locationList[2].Status, Unvisited);
    EXPECT_EQ(repaints, 3);
}

TEST_F(MapEditorTest, UnknownIndicesChangeNothing)
{
    EXPECT_FALSE(editor.showLocation(3));
    EXPECT_FALSE(editor.showLocation(-1));
    EXPECT_FALSE(editor.showMarker(0));
    EXPECT_EQ(editor.SelectedIndex(), 0);
    EXPECT_EQ(editor.target(), (EditTarget{EditTarget::Kind::Location, 0}));

    MemoryWorld empty;
    MapEditor none(empty, {});
    none.setStatus(Visited); // nothing selected: nothing to set
    none.open();
    none.editText(QStringLiteral("lost"));
    EXPECT_EQ(empty.userWrites, 0);
}

TEST_F(MapEditorTest, TheHoverSetsTheMarkerOnlyWhileTheBoxIsClosed)
{
    world.markerList = {place("A"), place("B"), place("C")};
    editor.pointerOnMarker(2);
    EXPECT_EQ(editor.EditedMarker(), 2);
    editor.pointerOnMarker(-1);
    EXPECT_EQ(editor.EditedMarker(), -1);

    editor.showMarker(0);
    editor.open();
    editor.pointerOnMarker(1);
    EXPECT_EQ(editor.EditedMarker(), 0);
    editor.editText(QStringLiteral("Camp"));
    EXPECT_EQ(world.markerList[0].Name, QByteArray("Camp"));
    EXPECT_EQ(world.markerList[1].Name, QByteArray("B"));

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
        const size_t before = world.markerList.size();
        const int writes = world.markerWrites;
        editor.click(-1, r.p);
        EXPECT_EQ(world.markerList.size(), before + (r.placed ? 1 : 0));
        EXPECT_EQ(world.markerWrites, writes + (r.placed ? 1 : 0));
        EXPECT_TRUE(editor.AddMarkerMode());
    }
}

TEST_F(MapEditorTest, DeletingWithNothingUnderThePointerStillWritesAndRepaints)
{
    world.markerList = {place("A"), place("B")};
    editor.toggleDeleteMode();
    editor.click(-1, QPoint());
    EXPECT_EQ(world.markerList.size(), 2u);
    EXPECT_EQ(world.markerWrites, 1);
    EXPECT_EQ(repaints, 1);
    EXPECT_FALSE(world.markersEdited);
    EXPECT_TRUE(editor.DeleteMarkerMode());
}

TEST_F(MapEditorTest, DeletingAllWritesNothingAndClosesABoxOnAMarker)
{
    world.markerList = {place("A"), place("B")};
    editor.showMarker(1);
    editor.open();
    editor.clearMarkers();
    EXPECT_TRUE(world.markerList.empty());
    EXPECT_TRUE(world.markersEdited);
    EXPECT_EQ(world.markerWrites, 0);
    EXPECT_EQ(repaints, 1);
    EXPECT_FALSE(editor.EditMarkerMode());
    EXPECT_EQ(editor.EditedMarker(), -1);

    // A marker added later takes the old index; nothing set afterwards reaches it.
    editor.toggleAddMode();
    editor.click(-1, QPoint());
    editor.click(-1, QPoint(1, 1));
    editor.open();
    editor.editText(QStringLiteral("late"));
    EXPECT_EQ(world.markerList[1].Name, QByteArray("Marker"));
}

} // namespace
} // namespace vdm
