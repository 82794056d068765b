// SPDX-License-Identifier: MIT
// Assistive technology (a screen reader, a switch device) works the check buttons
// through their accessibility interface: each action must do what a click does, once.
#include "app/mainformfixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QGroupBox>
#include <QToolButton>

namespace vdm::test {
namespace {

constexpr int kAlphaX = 25000;
constexpr int kAlphaY = 45000;

class AccessibilityTest : public MainFormTest {
protected:
    /** Runs a named action on the button's accessibility interface, as the bus would. */
    static void act(QToolButton* button, const QString& action)
    {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(iface, nullptr);
        QAccessibleActionInterface* actions = iface->actionInterface();
        ASSERT_NE(actions, nullptr);
        if (button->isEnabled()) {
            ASSERT_TRUE(actions->actionNames().contains(action)) << action.toStdString();
        }
        actions->doAction(action);
    }
    static QString toggle() { return QAccessibleActionInterface::toggleAction(); }
    static QString press() { return QAccessibleActionInterface::pressAction(); }

    int alphaStatus() const { return form->world().locations()[0].Status; }
};

TEST_F(AccessibilityTest, DisplayTogglesActAsClicksOnce)
{
    writeLocations({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    TMainForm& f = open();
    struct Row {
        QToolButton* button;
        bool Settings::*field;
    };
    const Row rows[] = {
        {ui().ToolButtonSR, &Settings::ShowSkarnels},   {ui().ToolButtonSS, &Settings::ShowShips},
        {ui().ToolButtonSM, &Settings::ShowMagesGuild}, {ui().ToolButtonText, &Settings::ShowText},
        {ui().ToolButtonHint, &Settings::ShowHint},     {ui().ToolButtonSU, &Settings::ShowUnvisited},
        {ui().ToolButtonSA, &Settings::ShowActive},     {ui().ToolButtonSV, &Settings::ShowVisited},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.button->objectName().toStdString());
        const bool before = f.session().settings().*r.field;
        ASSERT_EQ(r.button->isChecked(), before);
        for (const QString& action : {toggle(), press()}) {
            act(r.button, action);
            EXPECT_NE(f.session().settings().*r.field, before) << action.toStdString();
            EXPECT_EQ(r.button->isChecked(), f.session().settings().*r.field);
            act(r.button, action);
            EXPECT_EQ(f.session().settings().*r.field, before);
            EXPECT_EQ(r.button->isChecked(), before);
        }
        // The program setting a button's state runs no handler (as while reading settings).
        r.button->setChecked(!before);
        EXPECT_EQ(f.session().settings().*r.field, before);
        r.button->setChecked(before);
    }
}

TEST_F(AccessibilityTest, TheWindowItsToolBarsAndTheirSeparatorsAreReadAsSuch)
{
    writeLocations({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    TMainForm& f = open();
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&f);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), f.windowTitle());

    const struct {
        QWidget* widget;
        QAccessible::Role role;
        const char* name; // none: not checked
    } rows[] = {
        {ui().ToolBarMap, QAccessible::ToolBar, "Map"},
        {ui().ToolBarLoc, QAccessible::ToolBar, "Location"},
        {ui().ToolBarMarker, QAccessible::ToolBar, "Marker"},
        {ui().ToolBarOptions, QAccessible::ToolBar, "Tools"},
        {ui().ToolButton1, QAccessible::Separator, nullptr},
        {ui().ToolButton2, QAccessible::Separator, nullptr},
        {ui().ToolButton3, QAccessible::Separator, nullptr},
        {ui().PanelMain, QAccessible::Client, nullptr}, // a pane inside keeps its role
        {ui().BevelMap, QAccessible::Border, nullptr},  // and a frame that is no line its own
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.widget->objectName().toStdString());
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(r.widget);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->role(), r.role);
        if (r.name) {
            EXPECT_EQ(read->text(QAccessible::Name).toStdString(), r.name);
        }
    }
    // The buttons stay where they were in the tree: children of their tool bar.
    QAccessibleInterface* map = QAccessible::queryAccessibleInterface(ui().ToolBarMap);
    EXPECT_GE(map->indexOfChild(QAccessible::queryAccessibleInterface(ui().ToolButtonZoomIn)), 0);
}

TEST_F(AccessibilityTest, StatusButtonsSetTheStatusOnlyWhileTheBoxIsOpen)
{
    writeLocations({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    TMainForm& f = open();
    ASSERT_EQ(alphaStatus(), 1);

    // The box is closed: its buttons are disabled and refuse the action, as a click.
    act(ui().SBA, toggle());
    EXPECT_EQ(alphaStatus(), 1);
    EXPECT_TRUE(ui().SBU->isChecked());

    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    const Location& alpha = f.world().locations()[0];
    doubleClickAt(f.view().mapToPanel(alpha.X, alpha.Y));
    ASSERT_TRUE(ui().GBLoc->isEnabled());

    struct Step {
        QToolButton* button;
        QString action;
        int status;
    };
    const Step steps[] = {
        {ui().SBA, toggle(), 2},
        {ui().SBV, press(), 3},
        {ui().SBV, toggle(), 3}, // the pressed button of the group stays pressed, as on a click
        {ui().SBU, toggle(), 1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.button->objectName().toStdString() + " " + s.action.toStdString());
        act(s.button, s.action);
        EXPECT_EQ(alphaStatus(), s.status);
        EXPECT_TRUE(s.button->isChecked());
    }
}

TEST_F(AccessibilityTest, MarkerToolsEnterAndLeaveTheirModes)
{
    writeLocations({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    TMainForm& f = open();
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    ASSERT_TRUE(ui().ToolButtonAddM->isEnabled());

    act(ui().ToolButtonAddM, toggle());
    EXPECT_TRUE(f.editor().AddMarkerMode());
    EXPECT_TRUE(ui().ToolButtonAddM->isChecked());
    clickAt(QPoint(40, 40)); // places a marker
    ASSERT_EQ(f.world().markers().size(), 1u);
    ASSERT_TRUE(ui().ToolButtonDelM->isEnabled());
    ASSERT_TRUE(f.editor().AddMarkerMode()) << "placing a marker keeps the mode";
    act(ui().ToolButtonAddM, toggle());
    EXPECT_FALSE(f.editor().AddMarkerMode());
    EXPECT_FALSE(ui().ToolButtonAddM->isChecked());

    act(ui().ToolButtonDelM, toggle());
    EXPECT_TRUE(f.editor().DeleteMarkerMode());
    EXPECT_TRUE(ui().ToolButtonDelM->isChecked());
    act(ui().ToolButtonDelM, press());
    EXPECT_FALSE(f.editor().DeleteMarkerMode());
    EXPECT_FALSE(ui().ToolButtonDelM->isChecked());
}

} // namespace
} // namespace vdm::test
