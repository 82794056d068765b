// SPDX-License-Identifier: MIT
// The window with the keyboard alone: the Tab chain in screen order, the location box
// opened and edited without the pointer, markers at the map's centre, the menu's
// mnemonics, and a whole errand from finding a place to saving the view as an image.
#include "app/mainformfixture.h"
#include "app/windowcommands.h"

#include <QAction>
#include <QFile>
#include <QFocusFrame>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>

namespace vdm::test {
namespace {

class KeyboardTest : public MainFormTest {
protected:
    TMainForm& openWorld()
    {
        TMainForm& f = openAlphaAndBeta();
        focus(panel());
        return f;
    }
    void focus(QWidget* w)
    {
        w->setFocus(Qt::OtherFocusReason);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->hasFocus(); }, 2000));
    }
    /** A key as the keyboard sends it: to the control with the focus. */
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget* target = QApplication::activePopupWidget();
        if (!target)
            target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, key, modifiers);
    }
    /** The controls Tab (or Shift+Tab) visits from the map until it comes back to it. */
    QList<QWidget*> walk(bool back)
    {
        focus(panel());
        QList<QWidget*> seen;
        for (int i = 0; i < 60; ++i) {
            press(Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
            QWidget* now = QApplication::focusWidget();
            if (now == panel())
                break;
            seen << now;
        }
        return seen;
    }
};

TEST_F(KeyboardTest, TabVisitsEveryControlInScreenOrderAndShiftTabGoesBack)
{
    TMainForm& f = openWorld();
    addMarkerAt(QPoint(40, 40));            // every marker tool is offered
    f.command(Command::OpenBox)->trigger(); // the box's controls are enabled
    ASSERT_TRUE(ui().GBLoc->isEnabled());
    const auto& u = ui();
    // The status buttons are one exclusive group: Tab reaches its pressed button (Alpha is
    // unvisited), the arrows move in it.
    const QList<QWidget*> expected{
        u.MemoNotes,
        u.SBU,
        u.ToolButtonZoomIn,
        u.ToolButtonZoomOut,
        u.ToolButtonZoomActual,
        u.ToolButtonSR,
        u.ToolButtonSS,
        u.ToolButtonSM,
        u.ToolButtonText,
        u.ToolButtonHint,
        u.ToolButtonSU,
        u.ToolButtonSA,
        u.ToolButtonSV,
        u.CBLoc,
        u.ToolButtonGo,
        u.ToolButtonAddM,
        u.ToolButtonDelM,
        u.ToolButtonClearM,
        u.ToolButtonOptions,
        u.ToolButtonClip,
        u.ToolButtonAbout,
        u.ToolButtonMore,
    };
    const auto names = [](const QList<QWidget*>& list) {
        QStringList n;
        for (QWidget* w : list)
            n << (w ? w->objectName() : QStringLiteral("(none)"));
        return n.join(QLatin1Char(' ')).toStdString();
    };
    EXPECT_EQ(names(walk(false)), names(expected));
    QList<QWidget*> reversed(expected.rbegin(), expected.rend());
    EXPECT_EQ(names(walk(true)), names(reversed));

    // Every command is reached: through its button in the chain, or in the menu.
    for (const CommandRow& row : commandRows()) {
        const bool button = row.button && expected.contains(u.*row.button);
        const bool inMenu = row.group != CommandGroup::KeysOnly;
        EXPECT_TRUE(button || inMenu || !row.keys.isEmpty()) << row.name;
    }
}

TEST_F(KeyboardTest, TheChainFollowsABandTheUserMoves)
{
    openWorld();
    // The tools band dragged before the marker band, on the same row.
    CoolBar* bar = ui().CoolBarMain;
    const int tools = 3;
    const QPoint from = bar->bandHeaderRect(tools).center();
    bar->beginDrag(tools, from);
    bar->dragMove(QPoint(2, from.y()));
    bar->endDrag();
    ASSERT_LT(ui().ToolBarOptions->x(), ui().ToolBarMarker->x());
    const QList<QWidget*> seen = walk(false);
    ASSERT_TRUE(seen.contains(ui().ToolButtonOptions));
    EXPECT_EQ(seen.indexOf(ui().ToolButtonOptions), seen.indexOf(ui().ToolButtonGo) + 1);
}

TEST_F(KeyboardTest, AFrameAroundTheMapShowsItHasTheFocus)
{
    openWorld();
    auto* frame = form->findChild<QFocusFrame*>(QStringLiteral("ChainFocusFrame"));
    ASSERT_NE(frame, nullptr);
    // The map draws no focus of its own: the frame goes around it, outside its pixels.
    // Every other control of the chain draws its own focus and goes without.
    focus(panel());
    const QRect around(frame->mapTo(form.get(), QPoint()), frame->size());
    const QRect inside(panel()->mapTo(form.get(), QPoint()), panel()->size());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(around.contains(inside) && around != inside);
    press(Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), panel());
    EXPECT_FALSE(frame->isVisible());
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(KeyboardTest, SpaceAndEnterPressTheFocusedButton)
{
    TMainForm& f = openWorld();
    const bool ships = f.session().settings().ShowShips;
    focus(ui().ToolButtonSS);
    press(Qt::Key_Space);
    EXPECT_NE(f.session().settings().ShowShips, ships);
    press(Qt::Key_Return);
    EXPECT_EQ(f.session().settings().ShowShips, ships);
    focus(ui().ToolButtonZoomIn);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 1);
}

TEST_F(KeyboardTest, F2AndEnterOnTheMapOpenTheBoxOfTheSelectedPlace)
{
    TMainForm& f = openWorld();
    ASSERT_FALSE(ui().GBLoc->isEnabled());
    for (const bool onMap : {true, false}) {
        SCOPED_TRACE(onMap ? "Enter on the map" : "F2 in the list");
        focus(onMap ? panel() : static_cast<QWidget*>(ui().CBLoc));
        press(onMap ? Qt::Key_Return : Qt::Key_F2);
        EXPECT_TRUE(ui().GBLoc->isEnabled());
        EXPECT_TRUE(f.editor().EditMarkerMode());
        EXPECT_TRUE(ui().MemoNotes->hasFocus());
        EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Alpha "));
        QTest::mouseClick(panel(), Qt::LeftButton, {}, QPoint(2, 2)); // closes the box
        ASSERT_FALSE(ui().GBLoc->isEnabled());
    }
    // The status keys act only while the box is open.
    press(Qt::Key_3, Qt::AltModifier);
    EXPECT_EQ(f.world().locations()[0].Status, 1);
    press(Qt::Key_F2);
    for (const auto& [key, status] : {std::pair{Qt::Key_2, 2}, std::pair{Qt::Key_3, 3}, std::pair{Qt::Key_1, 1}}) {
        press(key, Qt::AltModifier);
        EXPECT_EQ(f.world().locations()[0].Status, status);
    }
    // In the group of status buttons the arrows move and set, as in radio buttons.
    focus(ui().SBU);
    press(Qt::Key_Down);
    EXPECT_TRUE(ui().SBA->hasFocus());
    EXPECT_EQ(f.world().locations()[0].Status, 2);
}

TEST_F(KeyboardTest, EscapeInTheBoxClosesItAsAClickOnTheMapDoes)
{
    TMainForm& f = openWorld();
    for (const bool onButton : {false, true}) {
        SCOPED_TRACE(onButton ? "on a status button" : "in the note editor");
        press(Qt::Key_F2);
        ASSERT_TRUE(ui().GBLoc->isEnabled());
        ASSERT_TRUE(ui().MemoNotes->hasFocus());
        press(Qt::Key_End);
        QTest::keyClicks(ui().MemoNotes, onButton ? "b" : "a");
        if (onButton)
            focus(ui().SBU);
        press(Qt::Key_Escape);
        EXPECT_FALSE(ui().GBLoc->isEnabled());
        EXPECT_FALSE(f.editor().EditMarkerMode());
        EXPECT_TRUE(panel()->hasFocus());
        // The typing is a step of its own, as when a click on the map ends it.
        EXPECT_EQ(f.world().locations()[0].Note, QByteArray(onButton ? "ab" : "a"));
        EXPECT_TRUE(f.editor().history().canUndo());
    }
    // Closed, the box takes no keys: Escape on the map leaves it closed and the map focused.
    press(Qt::Key_Escape);
    EXPECT_FALSE(ui().GBLoc->isEnabled());
    EXPECT_TRUE(panel()->hasFocus());
    // The notes are two steps: Ctrl+Z takes back the second only.
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.world().locations()[0].Note, QByteArray("a"));
}

TEST_F(KeyboardTest, EnterPlacesAndDeletesAMarkerAtTheCentreMark)
{
    TMainForm& f = openWorld();
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    auto* map = static_cast<TMapPanel*>(panel());
    EXPECT_FALSE(map->centreMarkShown());
    f.command(Command::AddMarker)->trigger();
    ASSERT_TRUE(f.editor().AddMarkerMode());
    EXPECT_TRUE(map->centreMarkShown());
    focus(panel());
    press(Qt::Key_Return);
    ASSERT_EQ(f.world().markers().size(), 1u);
    const Location& marker = f.world().markers()[0];
    EXPECT_LE((f.view().mapToPanel(marker.X, marker.Y) - map->centre()).manhattanLength(), 2);

    f.command(Command::DeleteMarker)->trigger();
    ASSERT_TRUE(f.editor().DeleteMarkerMode());
    press(Qt::Key_Return);
    EXPECT_TRUE(f.world().markers().empty());
    f.command(Command::DeleteMarker)->trigger();
    EXPECT_FALSE(f.editor().markerToolActive());
    EXPECT_FALSE(map->centreMarkShown());
}

TEST_F(KeyboardTest, AWholeErrandWithTheKeyboardAlone)
{
    TMainForm& f = openWorld();
    QTemporaryDir out;
    const QString image = out.filePath(QStringLiteral("view.png"));
    prompts.choices.push_back(0); // the view as the panel shows it
    prompts.filesToSave.push_back(image);

    // Find Beta, go there, open its box, mark it visited and type a note.
    press(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "beta");
    press(Qt::Key_Return);
    ASSERT_EQ(f.editor().SelectedIndex(), 1);
    press(Qt::Key_F2);
    ASSERT_TRUE(ui().MemoNotes->hasFocus());
    press(Qt::Key_3, Qt::AltModifier);
    QTest::keyClicks(ui().MemoNotes, "harbour");
    EXPECT_EQ(f.world().locations()[1].Status, 3);
    EXPECT_EQ(f.world().locations()[1].Note, QByteArray("harbour"));

    // The ship routes off through the menu: F10, Map, Show ship routes.
    const bool ships = f.session().settings().ShowShips;
    press(Qt::Key_F10);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    press(Qt::Key_M);
    press(Qt::Key_H);
    EXPECT_NE(f.session().settings().ShowShips, ships);
    EXPECT_EQ(ui().ToolButtonSS->isChecked(), f.session().settings().ShowShips);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // The view as an image: the Menu key, Tools, Save view as image.
    press(Qt::Key_Menu);
    press(Qt::Key_T);
    press(Qt::Key_S);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(image); }, 5000));
}

} // namespace
} // namespace vdm::test
