// SPDX-License-Identifier: MIT
// The map panel shows no focus: taking or losing it must not paint the map (a paint there
// would use up the one extra paint Go's highlight lasts).
#include "app/mainformfixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QToolButton>

namespace vdm::test {
namespace {

class FocusTest : public MainFormTest {
protected:
    TMainForm& openActive()
    {
        writeLocations({locationRecord("Alpha", 0, 25000, 45000), locationRecord("Beta", 0, 60000, 90000)});
        open();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }
    void focus(QWidget* w, Qt::FocusReason reason)
    {
        w->setFocus(reason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(w->hasFocus());
    }
};

TEST_F(FocusTest, GainingOrLosingTheFocusPaintsNothing)
{
    openActive();
    focus(ui().CBLoc, Qt::TabFocusReason);
    PaintCounter paints(panel());
    for (int round = 0; round < 2; ++round) {
        paints.reset();
        focus(panel(), Qt::MouseFocusReason);
        EXPECT_EQ(paints.count, 0) << "focus in, round " << round;
        focus(ui().CBLoc, Qt::TabFocusReason);
        EXPECT_EQ(paints.count, 0) << "focus out, round " << round;
    }
}

TEST_F(FocusTest, GoHighlightSurvivesTheClickThatFocusesTheMap)
{
    TMainForm& f = openActive();
    QTest::mouseClick(ui().ToolButtonSU, Qt::LeftButton); // Alpha's status class is hidden
    ASSERT_FALSE(f.session().settings().ShowUnvisited);
    focus(ui().CBLoc, Qt::TabFocusReason);
    ASSERT_EQ(ui().CBLoc->itemText(0), QStringLiteral("Alpha"));
    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    ASSERT_EQ(f.highlight().index(), 0);
    focus(ui().CBLoc, Qt::TabFocusReason); // the focus is elsewhere when the user clicks the map

    // The first click of the double click gives the map the focus; the window system
    // delivers what that click asked for before the second one arrives.
    const Location& alpha = f.world().locations()[0];
    const QPoint p = f.view().mapToPanel(alpha.X, alpha.Y);
    moveTo(p);
    QTest::mouseClick(panel(), Qt::LeftButton, {}, p);
    ASSERT_TRUE(panel()->hasFocus());
    QCoreApplication::processEvents();
    QTest::mouseDClick(panel(), Qt::LeftButton, {}, p);
    QTest::mouseRelease(panel(), Qt::LeftButton, {}, p);
    EXPECT_TRUE(ui().GBLoc->isEnabled());
    EXPECT_EQ(f.editor().SelectedIndex(), 0);
}

} // namespace
} // namespace vdm::test
