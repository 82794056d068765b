// SPDX-License-Identifier: MIT
// The pointer over the map without a window: drag steps, add mode, Shift, and the rules
// that decide when the hover hint shows, stays, goes and comes back.
#include "session/maphover.h"

#include "data/settings.h"
#include "edit/mapeditor.h"
#include "map/highlight.h"
#include "map/viewport.h"
#include "world/world.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vdm {
namespace {

using Hint = MapHover::Move::Hint;
using Wheel = MapHover::Wheel;

/** A world of one location and one marker on a 330 x 380 panel, with the hover over it. */
class MapHoverTest : public ::testing::Test {
protected:
    MapHoverTest()
        : view(Viewport::showing({660, 760}, 2, {330, 380}, 1)),
          world(folder.path(), {item("Ford", {100, 100}, "Shallow at low tide")}, {item("Camp", {200, 250})}),
          editor(world), hover(world, view, settings, highlight, editor)
    {
        editor.setAutosave(false);
    }

    /** An item whose map point lands on (or next to) this panel point. */
    Location item(const QByteArray& name, QPoint panel, const QByteArray& note = {}) const
    {
        const QPoint picture = view.panelToPicture(panel);
        Location l;
        l.Name = name;
        l.Note = note;
        const QPoint m = view.ScreenToMap(picture.x(), picture.y());
        l.X = m.x();
        l.Y = m.y();
        return l;
    }
    QPoint location() const { return view.mapToPanel(world.locations()[0].X, world.locations()[0].Y); }
    QPoint marker() const { return view.mapToPanel(world.markers()[0].X, world.markers()[0].Y); }
    static constexpr QPoint Empty{10, 10};

    Hint moveTo(QPoint p) { return hover.move(Qt::NoButton, p).hint; }
    void zoomTo(int index) { view.zoomTo(index, {165, 190}); }

    QTemporaryDir folder;
    Viewport view;
    Settings settings;
    GoHighlight highlight;
    World world;
    MapEditor editor;
    MapHover hover;
};

TEST_F(MapHoverTest, PressStartsADragOrAddModeByZoomAndButton)
{
    struct Case {
        int zoom;
        Qt::MouseButton button;
        bool drags, addMode;
    };
    const Case cases[] = {
        {0, Qt::LeftButton, false, false}, // at 10 % the map cannot be dragged
        {1, Qt::LeftButton, true, false},  {1, Qt::RightButton, false, false},
        {2, Qt::RightButton, false, true}, {2, Qt::MiddleButton, false, false},
    };
    for (const Case& c : cases) {
        zoomTo(c.zoom);
        hover.release(Qt::LeftButton);
        if (editor.AddMarkerMode())
            editor.toggleAddMode();
        EXPECT_EQ(hover.press(c.button, {40, 50}), c.addMode) << c.zoom << " " << c.button;
        EXPECT_EQ(hover.dragging(), c.drags) << c.zoom << " " << c.button;
        EXPECT_EQ(editor.AddMarkerMode(), c.addMode) << c.zoom << " " << c.button;
        if (c.drags) {
            EXPECT_EQ(hover.dragStart(), QPoint(40, 50));
        }
    }
}

TEST_F(MapHoverTest, DragStepsFollowThePointerAndNeverHover)
{
    settings.ShowHint = true;
    hover.press(Qt::LeftButton, {100, 100});
    MapHover::Move m = hover.move(Qt::LeftButton, {130, 80});
    EXPECT_EQ(m.scrollBy, QPoint(-30, 20));
    EXPECT_EQ(hover.dragStart(), QPoint(130, 80));
    EXPECT_EQ(hover.lastPointer(), QPoint(130, 80));

    // Over an item during a drag: no hint; the button let go outside: no step either.
    m = hover.move(Qt::NoButton, location());
    EXPECT_FALSE(m.scrollBy);
    EXPECT_EQ(m.hint, Hint::Keep);
    EXPECT_FALSE(hover.shown());

    hover.release(Qt::LeftButton);
    EXPECT_FALSE(hover.dragging());
    EXPECT_EQ(moveTo(location()), Hint::Show);
}

TEST_F(MapHoverTest, AddModeHoldsTheMapStill)
{
    zoomTo(2);
    hover.press(Qt::RightButton, {50, 50});
    hover.press(Qt::LeftButton, {50, 50});
    ASSERT_TRUE(hover.dragging());
    EXPECT_FALSE(hover.move(Qt::LeftButton, {90, 90}).scrollBy);
}

TEST_F(MapHoverTest, LocationHintShowsNameAndNoteAndGoesOnEmptyMap)
{
    settings.ShowHint = true;
    EXPECT_EQ(moveTo(location()), Hint::Show);
    EXPECT_TRUE(hover.shown());
    EXPECT_EQ(hover.hintTitle(), QByteArray("Ford"));
    EXPECT_EQ(hover.hintText(), QByteArray("Shallow at low tide"));
    EXPECT_EQ(hover.lastHintName(), QByteArray("Ford"));

    // A hint already up stays, even over another item.
    EXPECT_EQ(moveTo(marker()), Hint::Keep);
    EXPECT_EQ(hover.hintTitle(), QByteArray("Ford"));

    EXPECT_EQ(moveTo(Empty), Hint::Hide);
    EXPECT_FALSE(hover.shown());
    EXPECT_TRUE(hover.lastHintName().isEmpty());
    EXPECT_EQ(moveTo(Empty), Hint::Keep); // nothing left to hide
}

TEST_F(MapHoverTest, MarkerHintIsCaptionedMarkerAndTracksTheEditedMarker)
{
    for (bool hints : {false, true}) {
        settings.ShowHint = hints;
        EXPECT_EQ(moveTo(marker()), hints ? Hint::Show : Hint::Keep) << hints;
        EXPECT_EQ(editor.EditedMarker(), 0) << hints;
        EXPECT_EQ(hover.shown(), hints);
        if (hints) {
            EXPECT_EQ(hover.hintTitle(), QByteArray("Marker"));
            EXPECT_EQ(hover.hintText(), QByteArray("Camp"));
        }
        moveTo(Empty);
        EXPECT_EQ(editor.EditedMarker(), -1) << hints;
    }
}

TEST_F(MapHoverTest, TimerEndsOnlyTimedHintsWhichReturnAfterEmptyMap)
{
    // A constant hint outlives the timer; a timed one comes back only after empty map.
    for (bool constant : {true, false}) {
        settings.ShowHint = true;
        settings.ConstantHints = constant;
        moveTo(Empty);
        ASSERT_EQ(moveTo(location()), Hint::Show);
        EXPECT_EQ(hover.timerFired(), !constant) << constant;
        EXPECT_EQ(hover.shown(), constant) << constant;
        EXPECT_EQ(moveTo(location() + QPoint(1, 1)), Hint::Keep) << constant;
        EXPECT_EQ(moveTo(Empty), constant ? Hint::Hide : Hint::Keep) << constant;
        EXPECT_EQ(moveTo(location()), Hint::Show) << constant;
    }
}

TEST_F(MapHoverTest, RestartForgetsTheDragAndTheHintOfTheWorldBefore)
{
    settings.ShowHint = true;
    zoomTo(1);
    ASSERT_EQ(moveTo(location()), Hint::Show);
    hover.press(Qt::LeftButton, {40, 50});
    ASSERT_TRUE(hover.dragging());
    hover.restart();
    EXPECT_FALSE(hover.dragging());
    EXPECT_FALSE(hover.shown());
    EXPECT_TRUE(hover.hintTitle().isEmpty());
    EXPECT_TRUE(hover.lastHintName().isEmpty());
    // The same place shows its hint again at once: nothing of the old world holds it back.
    EXPECT_EQ(moveTo(location()), Hint::Show);
}

TEST_F(MapHoverTest, HiddenStatusIsHoveredOnlyWhileHighlighted)
{
    settings.ShowHint = true;
    world.setLocationStatus(0, Unvisited);
    settings.ShowUnvisited = false;
    EXPECT_EQ(hover.locationAt(location()), -1);
    EXPECT_FALSE(hover.locationShown(0));
    highlight.set(0);
    EXPECT_EQ(hover.locationAt(location()), 0);
    EXPECT_TRUE(hover.locationShown(0));
    EXPECT_EQ(hover.markerAt(marker()), 0);
    EXPECT_EQ(hover.markerAt(location()), -1);
}

TEST_F(MapHoverTest, ShiftOrATiltedWheelScrollsSideways)
{
    struct Case {
        bool shift;
        Qt::Orientation wheel, expected;
    };
    const Case cases[] = {{false, Qt::Vertical, Qt::Vertical},
                          {false, Qt::Horizontal, Qt::Horizontal},
                          {true, Qt::Vertical, Qt::Horizontal},
                          {true, Qt::Horizontal, Qt::Horizontal}};
    for (const Case& c : cases) {
        hover.keyDown(c.shift ? Qt::Key_Shift : Qt::Key_A);
        EXPECT_EQ(hover.shiftDown(), c.shift);
        EXPECT_EQ(hover.wheelDirection(c.wheel), c.expected) << c.shift << " " << c.wheel;
        hover.keyUp(Qt::Key_Control); // another key's release leaves Shift as it is
        EXPECT_EQ(hover.shiftDown(), c.shift);
        hover.keyUp(Qt::Key_Shift);
        EXPECT_FALSE(hover.shiftDown());
    }
}

TEST_F(MapHoverTest, CtrlWheelZoomsAtThePointerWhenAskedAndAnyOtherWheelScrollsOneStep)
{
    struct Case {
        const char* what;
        Qt::KeyboardModifiers modifiers;
        int delta;
        Qt::Orientation wheel;
        bool zoomAtPointer;
        std::optional<QPoint> pointer;
        Wheel expected;
    };
    const QPoint at(40, 50);
    const Case cases[] = {
        {"ctrl up: in, at the centre", Qt::ControlModifier, 120, Qt::Vertical, false, at, {ZoomCommand::In, {}, {}}},
        {"ctrl down, at the pointer", Qt::ControlModifier, -1, Qt::Vertical, true, at, {ZoomCommand::Out, at, {}}},
        {"ctrl with the pointer off the map",
         Qt::ControlModifier,
         5,
         Qt::Vertical,
         true,
         {},
         {ZoomCommand::In, {}, {}}},
        {"ctrl+shift still zooms",
         Qt::ControlModifier | Qt::ShiftModifier,
         120,
         Qt::Vertical,
         false,
         at,
         {ZoomCommand::In, {}, {}}},
        {"up scrolls back", Qt::NoModifier, 120, Qt::Vertical, true, at, {{}, {}, {Qt::Vertical, true, 0}}},
        {"a small step down is one step",
         Qt::NoModifier,
         -3,
         Qt::Vertical,
         false,
         at,
         {{}, {}, {Qt::Vertical, false, 0}}},
        {"tilted", Qt::NoModifier, 120, Qt::Horizontal, false, {}, {{}, {}, {Qt::Horizontal, true, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.ZoomAtPointer = c.zoomAtPointer;
        const Wheel turn = hover.wheel(c.modifiers, c.delta, c.wheel, c.pointer);
        EXPECT_EQ(turn.zoom, c.expected.zoom);
        EXPECT_EQ(turn.anchor, c.expected.anchor);
        if (!c.expected.zoom) {
            EXPECT_EQ(turn.scroll, c.expected.scroll);
        }
    }
}

TEST_F(MapHoverTest, HintDelayNeverNegative)
{
    for (const auto& [stored, delay] : {std::pair{1000, 1000}, {0, 0}, {-5, 0}}) {
        settings.HintDelay = stored;
        EXPECT_EQ(hover.hintDelay(), delay) << stored;
    }
}

} // namespace
} // namespace vdm
