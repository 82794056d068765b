// SPDX-License-Identifier: MIT
// The bars over the map (quick find, the filter, the journey) on the real window: each
// takes its keys and gives the focus back where it was, also while another window is the
// active one, and never to a control that has gone out of sight.
#include "app/mainformfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace vdm::test {
namespace {

struct BarCase {
    const char* bar;     // the bar's object name
    QKeyCombination key; // the command that opens it
    const char* field;   // where its focus goes on opening, and Escape is pressed
};

const BarCase kBars[] = {
    {"FindBar", Qt::ControlModifier | Qt::Key_F, "FindEdit"},
    {"FilterBar", Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_F, "FilterKinds"},
    {"JourneyBar", Qt::ControlModifier | Qt::Key_R, "JourneyTo"},
};

class FloatingBarTest : public MainFormTest {
protected:
    QWidget* child(const char* name) const { return form->findChild<QWidget*>(QLatin1String(name)); }
    /** The key pressed where the window's focus is, as the window system delivers it. */
    void press(QKeyCombination key) { QTest::keyClick(form->focusWidget(), key.key(), key.keyboardModifiers()); }
};

TEST_F(FloatingBarTest, EachBarGivesTheFocusBackWhileAnotherWindowIsActive)
{
    openAlphaAndBeta();
    // Another window active, as under X without a window manager the map's window is not:
    // the keys still reach the map's window, and its own focus is what counts.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    for (const BarCase& c : kBars) {
        SCOPED_TRACE(c.bar);
        ui().CBLoc->setFocus();
        ASSERT_EQ(form->focusWidget(), ui().CBLoc);
        press(c.key);
        ASSERT_TRUE(child(c.bar)->isVisible());
        EXPECT_EQ(form->focusWidget(), child(c.field));
        QTest::keyClick(child(c.field), Qt::Key_Escape);
        EXPECT_FALSE(child(c.bar)->isVisible());
        EXPECT_EQ(form->focusWidget(), ui().CBLoc);
    }
}

TEST_F(FloatingBarTest, TheFocusGoesToTheMapWhenItsControlWentOutOfSight)
{
    openAlphaAndBeta();
    panel()->setFocus();
    press(kBars[1].key); // the filter, the focus in its kinds
    ASSERT_EQ(form->focusWidget(), child("FilterKinds"));
    press(kBars[0].key); // quick find over it remembers the kinds list
    ASSERT_EQ(form->focusWidget(), child("FindEdit"));

    // The filter closed by its button while the focus is in quick find leaves it there.
    static_cast<QPushButton*>(child("FilterClose"))->click();
    EXPECT_FALSE(child("FilterBar")->isVisible());
    EXPECT_EQ(form->focusWidget(), child("FindEdit"));

    // The kinds list went with its bar: closing quick find gives the focus to the map.
    QTest::keyClick(child("FindEdit"), Qt::Key_Escape);
    EXPECT_FALSE(child("FindBar")->isVisible());
    EXPECT_EQ(form->focusWidget(), panel());
}

TEST_F(FloatingBarTest, EscapeOnAnyControlOfABarClosesIt)
{
    openAlphaAndBeta();
    const struct {
        const char* bar;
        QKeyCombination key;
        const char* control;
    } cases[] = {
        {"FilterBar", kBars[1].key, "FilterShowAll"}, {"FilterBar", kBars[1].key, "FilterClose"},
        {"FilterBar", kBars[1].key, "FilterRegions"}, {"JourneyBar", kBars[2].key, "JourneyMode1"},
        {"JourneyBar", kBars[2].key, "JourneyClose"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        panel()->setFocus();
        press(c.key);
        ASSERT_TRUE(child(c.bar)->isVisible());
        child(c.control)->setFocus();
        ASSERT_EQ(form->focusWidget(), child(c.control));
        QTest::keyClick(child(c.control), Qt::Key_Escape);
        EXPECT_FALSE(child(c.bar)->isVisible());
        EXPECT_EQ(form->focusWidget(), panel());
    }
}

TEST_F(FloatingBarTest, EachBarKeepsToItsCornerAsThePanelChanges)
{
    openAlphaAndBeta();
    for (const BarCase& c : kBars) {
        panel()->setFocus();
        press(c.key);
    }
    for (const QSize size : {QSize(900, 700), QSize(640, 480)}) {
        form->resize(size);
        QCoreApplication::processEvents();
        const QRect p = panel()->geometry();
        SCOPED_TRACE(size.width());
        const QRect find = child("FindBar")->geometry(), filter = child("FilterBar")->geometry(),
                    journey = child("JourneyBar")->geometry();
        EXPECT_EQ(find.topLeft(), p.topLeft() + QPoint(4, 4));
        EXPECT_EQ(filter.bottomLeft(), p.bottomLeft() + QPoint(4, -4));
        EXPECT_EQ(journey.topRight(), p.topRight() + QPoint(-4, 4));
        for (const QRect& r : {find, filter, journey})
            EXPECT_TRUE(p.contains(r)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    }
}

} // namespace
} // namespace vdm::test
