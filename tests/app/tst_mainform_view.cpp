// SPDX-License-Identifier: MIT
// The view commands on the real main window: zoom buttons, wheel, keys, scroll bars, Go
// and resizing, observed through the scroll bars, the caption and the painted panel.
#include "app/mainformfixture.h"
#include "common/testutils.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QSignalSpy>
#include <QToolButton>
#include <QWheelEvent>

#include <ostream>

inline void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << '(' << p.x() << ", " << p.y() << ')';
}
inline void PrintTo(const QSize& s, std::ostream* os)
{
    *os << s.width() << 'x' << s.height();
}

namespace vdm::test {
namespace {

const QColor kBackground(0x4F, 0x48, 0x42);
const QColor kUnvisitedFrame(255, 241, 155); // the default ColorUnvisited 0x9BF1FF

class ViewTest : public MainFormTest {
protected:
    /** Two level-0 locations: "Alpha" at the map's origin, "Beta" further east. */
    TMainForm& openWorld() { return openAlphaAndBeta(); }

    void click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void zoomTo(int level)
    {
        while (form->view().zoomIndex() < level)
            click(ui().ToolButtonZoomIn);
    }
    QPoint scroll() const { return {form->ui().ScrollBarH->value(), form->ui().ScrollBarV->value()}; }
    QPoint lastScroll() const { return {form->view().scrollX(), form->view().scrollY()}; }

    /** Resizes the window and waits until the panels have followed. */
    void resizeWindow(QSize size)
    {
        form->resize(size);
        const QSize panel = size - QSize(48, 264);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ui().PanelMap->size() == panel; }, 3000))
            << "panel is " << ui().PanelMap->width() << 'x' << ui().PanelMap->height();
    }

    void wheel(QWidget* target, int delta, Qt::KeyboardModifiers modifiers = {}, Qt::Orientation axis = Qt::Vertical)
    {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        const QPoint angle = axis == Qt::Vertical ? QPoint(0, delta) : QPoint(delta, 0);
        QWheelEvent e(at, target->mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &e);
    }

    /** A key press and release sent where the keyboard focus is, as a user's key would be. */
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, k, modifiers);
    }

    QColor pixel(QPoint p) const { return form->canvas().backBuffer().pixelColor(p); }
};

// --- zoom buttons -------------------------------------------------------------------

TEST_F(ViewTest, ZoomInKeepsThePanelCentre)
{
    TMainForm& f = openWorld();
    ASSERT_EQ(ui().PanelMap->size(), QSize(330, 380));
    PaintCounter paints(ui().PanelMap);
    paints.reset();
    click(ui().ToolButtonZoomIn);
    EXPECT_EQ(f.view().zoomIndex(), 1);
    // cx 165, cy 190 at factor 1 become 330 - 165 and 380 - 190 at factor 2.
    EXPECT_EQ(scroll(), QPoint(165, 190));
    EXPECT_EQ(lastScroll(), QPoint(165, 190));
    EXPECT_EQ(ui().ScrollBarH->maximum(), 330);
    EXPECT_EQ(ui().ScrollBarV->maximum(), 380);
    EXPECT_TRUE(ui().ScrollBarH->isEnabled());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 20%)"));
    EXPECT_EQ(paints.count, 1);

    // Out again: the centre comes back to the whole picture, the bars lose their range.
    paints.reset();
    click(ui().ToolButtonZoomOut);
    EXPECT_EQ(f.view().zoomIndex(), 0);
    EXPECT_EQ(scroll(), QPoint(0, 0));
    EXPECT_EQ(ui().ScrollBarH->maximum(), 0);
    EXPECT_FALSE(ui().ScrollBarH->isEnabled());
    EXPECT_FALSE(ui().ScrollBarV->isEnabled());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 10%)"));
    EXPECT_EQ(paints.count, 1);
}

TEST_F(ViewTest, CaptionsOfTheNextLevelAreRenderedAheadInIdleTime)
{
    // "Gamma" shows only from the second level on: its caption is rendered ahead.
    writeLocations({locationRecord("Alpha", 0, 0, 0), locationRecord("Beta", 0, 60000, 100000),
                    locationRecord("Gamma", 1, 5000, 5000)});
    open();
    const TMainForm& f = *form;
    for (int i = 0; i < 500 && (f.canvas().renderingAhead() || f.canvas().cachedCaptions() < 3); ++i)
        QTest::qWait(10);
    EXPECT_FALSE(f.canvas().renderingAhead());
    ASSERT_EQ(f.canvas().cachedCaptions(), 3); // Alpha and Beta painted, Gamma ahead
    click(ui().ToolButtonZoomIn);
    EXPECT_EQ(f.canvas().cachedCaptions(), 3); // the paint found every caption ready
}

TEST_F(ViewTest, ZoomBeyondEitherEndChangesNothingAndDoesNotPaint)
{
    TMainForm& f = openWorld();
    PaintCounter paints(ui().PanelMap);

    paints.reset();
    click(ui().ToolButtonZoomOut);
    EXPECT_EQ(f.view().zoomIndex(), 0);
    EXPECT_EQ(paints.count, 0);

    zoomTo(7);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 300%)"));
    const QPoint before = scroll();
    paints.reset();
    click(ui().ToolButtonZoomIn);
    EXPECT_EQ(f.view().zoomIndex(), 7);
    EXPECT_EQ(scroll(), before);
    EXPECT_EQ(paints.count, 0);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 300%)"));
}

TEST_F(ViewTest, ActualSizeGoesToTenPercentAndRepaintsEvenThere)
{
    TMainForm& f = openWorld();
    PaintCounter paints(ui().PanelMap);

    paints.reset();
    click(ui().ToolButtonZoomActual);
    EXPECT_EQ(f.view().zoomIndex(), 0);
    EXPECT_EQ(paints.count, 1);

    zoomTo(5);
    paints.reset();
    click(ui().ToolButtonZoomActual);
    EXPECT_EQ(f.view().zoomIndex(), 0); // the 10 % level, not 100 %
    EXPECT_EQ(scroll(), QPoint(0, 0));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 10%)"));
    EXPECT_EQ(paints.count, 1);
}

TEST_F(ViewTest, CaptionFollowsEveryLevel)
{
    TMainForm& f = openWorld();
    const int percents[] = {10, 20, 25, 33, 50, 100, 200, 300};
    for (int level = 0; level < 8; ++level) {
        zoomTo(level);
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom %1%)").arg(percents[level]));
    }
}

TEST_F(ViewTest, MarkerButtonsFollowTheLevel)
{
    world.write(QStringLiteral("markers.gdb"), "marker\r\n   text = M\r\n   pos = 1,2\r\nend\r\n");
    openWorld();
    EXPECT_FALSE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());

    click(ui().ToolButtonZoomIn);
    EXPECT_TRUE(ui().ToolButtonAddM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonDelM->isEnabled());
    click(ui().ToolButtonZoomOut);
    EXPECT_FALSE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
    click(ui().ToolButtonGo);
    EXPECT_TRUE(ui().ToolButtonAddM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonDelM->isEnabled());
    click(ui().ToolButtonZoomActual);
    EXPECT_FALSE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
}

TEST_F(ViewTest, DeleteMarkerNeedsMarkers)
{
    openWorld();
    click(ui().ToolButtonZoomIn);
    EXPECT_TRUE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
}

TEST_F(ViewTest, KeepZoomRefusesZoomOutUntilTheWindowFits)
{
    world.writeSettings("[General]\r\nKeepZoom=1\r\n");
    TMainForm& f = openWorld();
    EXPECT_EQ(f.maximumSize(), QSize(378, 644));
    zoomTo(2);
    ASSERT_EQ(f.maximumSize(), QSize(873, 1214));
    resizeWindow(QSize(873, 1214));

    struct Step {
        QSize window;
        int levelAfter;
    };
    const Step steps[] = {
        {{873, 1214}, 2}, // at the limit of level 2
        {{709, 1024}, 2}, // one pixel too wide for level 1
        {{708, 1025}, 2}, // one pixel too high
        {{708, 1024}, 1}, // fits level 1
    };
    for (const Step& s : steps) {
        resizeWindow(s.window);
        click(ui().ToolButtonZoomOut);
        EXPECT_EQ(f.view().zoomIndex(), s.levelAfter) << s.window.width() << 'x' << s.window.height();
    }
    EXPECT_EQ(f.maximumSize(), QSize(708, 1024));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 20%)"));
}

// --- wheel --------------------------------------------------------------------------

TEST_F(ViewTest, WheelStepsFivePixelsAndStopsAtTheEnds)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn); // 165, 190 in ranges 330, 380
    PaintCounter paints(ui().PanelMap);

    struct Step {
        const char* what;
        int setV; // -1: leave the bar as it is
        int delta;
        int expectV;
    };
    const Step steps[] = {
        {"down one notch", -1, -120, 195},
        {"a big delta is still one step", -1, -960, 200},
        {"up one notch", -1, 120, 195},
        {"up near the start stops at 0", 3, 120, 0},
        {"up at 0 stays", -1, 120, 0},
        {"down near the end stops at the maximum", 378, -120, 380},
        {"down at the maximum stays", -1, -120, 380},
    };
    for (const Step& s : steps) {
        if (s.setV >= 0)
            ui().ScrollBarV->setSliderPosition(s.setV); // as a drag of the thumb would
        paints.reset();
        wheel(ui().PanelMap, s.delta);
        EXPECT_EQ(ui().ScrollBarV->value(), s.expectV) << s.what;
        EXPECT_EQ(f.view().scrollY(), s.expectV) << s.what;
        EXPECT_EQ(ui().ScrollBarH->value(), 165) << s.what;
        EXPECT_EQ(paints.count, 1) << s.what;
    }
}

TEST_F(ViewTest, ShiftKeyMakesTheWheelScrollHorizontally)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
    QTest::keyPress(target, Qt::Key_Shift);
    EXPECT_TRUE(f.hover().shiftDown());
    wheel(ui().PanelMap, -120);
    EXPECT_EQ(scroll(), QPoint(170, 190));
    EXPECT_EQ(lastScroll(), QPoint(170, 190));
    QTest::keyRelease(target, Qt::Key_Shift);
    EXPECT_FALSE(f.hover().shiftDown());
    // The wheel's own Shift state does not choose the axis: the key handlers' does.
    wheel(ui().PanelMap, -120, Qt::ShiftModifier);
    EXPECT_EQ(scroll(), QPoint(170, 195));
}

TEST_F(ViewTest, TiltedWheelScrollsHorizontallyByTheSameSteps)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn); // 165, 190 in ranges 330, 380
    const struct {
        const char* what;
        int delta;
        QPoint expected;
    } steps[] = {
        {"tilt right", -120, {170, 190}},
        {"a big tilt is still one step", -960, {175, 190}},
        {"tilt left", 120, {170, 190}},
    };
    for (const auto& s : steps) {
        wheel(ui().PanelMap, s.delta, {}, Qt::Horizontal);
        EXPECT_EQ(scroll(), s.expected) << s.what;
        EXPECT_EQ(lastScroll(), s.expected) << s.what;
    }
    wheel(ui().PanelMap, 120, Qt::ControlModifier, Qt::Horizontal); // Ctrl still zooms
    EXPECT_EQ(f.view().zoomIndex(), 2);
}

TEST_F(ViewTest, CtrlWheelZooms)
{
    TMainForm& f = openWorld();
    wheel(ui().PanelMap, 120, Qt::ControlModifier);
    EXPECT_EQ(f.view().zoomIndex(), 1);
    EXPECT_EQ(scroll(), QPoint(165, 190));
    wheel(ui().PanelMap, -120, Qt::ControlModifier);
    EXPECT_EQ(f.view().zoomIndex(), 0);
}

TEST_F(ViewTest, WheelGoesToTheFocusedListUnlessCtrl)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn);
    ui().CBLoc->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().CBLoc->hasFocus(); }, 2000));
    ASSERT_EQ(ui().CBLoc->currentIndex(), 0);

    wheel(ui().PanelMap, -120);
    EXPECT_EQ(scroll(), QPoint(165, 190)) << "the map must not scroll";
    wheel(ui().CBLoc, -120);
    EXPECT_EQ(scroll(), QPoint(165, 190));
    EXPECT_EQ(ui().CBLoc->currentIndex(), 1) << "the list takes the wheel";

    wheel(ui().CBLoc, 120, Qt::ControlModifier);
    EXPECT_EQ(f.view().zoomIndex(), 2);
    EXPECT_EQ(ui().CBLoc->currentIndex(), 1);
}

// --- keys ---------------------------------------------------------------------------

TEST_F(ViewTest, KeypadPlusAndMinusZoomWhereverTheFocusIs)
{
    TMainForm& f = openWorld();
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 1);
    key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 0);

    // The plain keys zoom nothing.
    key(Qt::Key_Plus);
    EXPECT_EQ(f.view().zoomIndex(), 0);
    key(Qt::Key_Plus, Qt::ShiftModifier);
    EXPECT_EQ(f.view().zoomIndex(), 0);

    ui().CBLoc->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().CBLoc->hasFocus(); }, 2000));
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 1);
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 2);
    key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 1);

    // The note editor, opened by a double click on a location.
    const QPoint alpha = f.view().mapToPanel(0, 0);
    QTest::mouseMove(ui().PanelMap, alpha);
    QTest::mouseDClick(ui().PanelMap, Qt::LeftButton, {}, alpha);
    ASSERT_TRUE(ui().GBLoc->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().MemoNotes->hasFocus(); }, 2000));
    const QString note = ui().MemoNotes->toPlainText();
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 2);
    key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 1);
    // The zoom keys type nothing into the note; the main keyboard's plus and minus do.
    EXPECT_EQ(ui().MemoNotes->toPlainText(), note);
    key(Qt::Key_Plus);
    key(Qt::Key_Minus);
    EXPECT_EQ(f.view().zoomIndex(), 1);
    EXPECT_EQ(ui().MemoNotes->toPlainText(), note + QStringLiteral("+-"));
}

// --- scroll bars --------------------------------------------------------------------

TEST_F(ViewTest, ScrollBarActionsMoveTheViewAndRepaintOnce)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn);
    PaintCounter paints(ui().PanelMap);

    struct Step {
        QScrollBar* bar;
        QAbstractSlider::SliderAction action;
        QPoint expect;
    };
    const Step steps[] = {
        {ui().ScrollBarH, QAbstractSlider::SliderSingleStepAdd, {166, 190}},
        {ui().ScrollBarV, QAbstractSlider::SliderSingleStepSub, {166, 189}},
        {ui().ScrollBarH, QAbstractSlider::SliderToMaximum, {330, 189}},
        {ui().ScrollBarH, QAbstractSlider::SliderSingleStepAdd, {330, 189}}, // clamped
        {ui().ScrollBarV, QAbstractSlider::SliderToMinimum, {330, 0}},
        {ui().ScrollBarV, QAbstractSlider::SliderSingleStepSub, {330, 0}},
    };
    for (const Step& s : steps) {
        paints.reset();
        s.bar->triggerAction(s.action);
        EXPECT_EQ(scroll(), s.expect);
        EXPECT_EQ(lastScroll(), s.expect);
        EXPECT_EQ(paints.count, 1);
    }
    // The panel shows the picture from the new origin: the right edge of the picture.
    EXPECT_NE(pixel(QPoint(329, 10)), kBackground);
    EXPECT_EQ(f.view().marginX(), 0);
}

TEST_F(ViewTest, ThumbDragFollowsWhileMoving)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn);
    QScrollBar* bar = ui().ScrollBarV;
    bar->setSliderDown(true);
    bar->setSliderPosition(250);
    EXPECT_EQ(f.view().scrollY(), 250);
    bar->setSliderPosition(40);
    EXPECT_EQ(f.view().scrollY(), 40);
    bar->setSliderDown(false);
    EXPECT_EQ(bar->value(), 40);
}

// --- Go -----------------------------------------------------------------------------

class GoTest : public ViewTest {};

TEST_F(GoTest, FromTenPercentStepsThroughEachLevelAndCentres)
{
    world.writeSettings("[Map]\r\nShowUnvisited=0\r\n");
    TMainForm& f = openWorld();
    ASSERT_EQ(f.editor().SelectedIndex(), 0); // "Alpha", first in the list
    QSignalSpy ranges(ui().ScrollBarV, &QAbstractSlider::rangeChanged);
    PaintCounter paints(ui().PanelMap);
    paints.reset();

    click(ui().ToolButtonGo);
    EXPECT_EQ(f.view().zoomIndex(), 2);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 25%)"));
    // The bar shows the range of the level reached: 760 x 2.5 / 2 - 380 (the viewport
    // passes through level 1 on the way; its tests cover the stepping).
    ASSERT_EQ(ranges.size(), 1);
    EXPECT_EQ(ranges[0][1].toInt(), 570);
    const QPoint p = f.view().MapToScreen(0, 0);
    EXPECT_EQ(p, QPoint(343, 597));
    EXPECT_EQ(scroll(), p - QPoint(165, 190));
    EXPECT_EQ(lastScroll(), scroll());
    EXPECT_EQ(paints.count, 1);
    EXPECT_EQ(f.highlight().index(), 0);

    // Unvisited locations are hidden, yet Alpha is framed at the panel centre: in Go's
    // own paint and in the next one, then no more.
    const QPoint corner = f.view().mapToPanel(0, 0) - QPoint(3, 3);
    EXPECT_EQ(corner, QPoint(162, 187));
    EXPECT_EQ(pixel(corner), kUnvisitedFrame);
    f.RepaintMap();
    EXPECT_EQ(pixel(corner), kUnvisitedFrame);
    f.RepaintMap();
    EXPECT_NE(pixel(corner), kUnvisitedFrame);
    EXPECT_EQ(f.highlight().index(), -1);
}

TEST_F(GoTest, NeverZoomsOutAndOnlyCentresAtTheTop)
{
    TMainForm& f = openWorld();
    zoomTo(7);
    ui().ScrollBarH->triggerAction(QAbstractSlider::SliderToMinimum);
    ui().ScrollBarV->triggerAction(QAbstractSlider::SliderToMinimum);
    click(ui().ToolButtonGo);
    EXPECT_EQ(f.view().zoomIndex(), 7);
    const QPoint p = f.view().MapToScreen(0, 0);
    EXPECT_EQ(scroll(), p - QPoint(165, 190));
    EXPECT_EQ(lastScroll(), scroll());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 300%)"));
}

TEST_F(GoTest, CentringIsClampedAtThePictureEdge)
{
    // A location in the picture's top-left corner cannot be centred: the view stops at 0.
    writeLocations({locationRecord("Corner", 4, -125000, 220000)});
    TMainForm& f = open();
    click(ui().ToolButtonGo);
    EXPECT_EQ(f.view().zoomIndex(), 6);
    EXPECT_EQ(scroll(), QPoint(0, 0));
    EXPECT_EQ(lastScroll(), QPoint(0, 0));
}

TEST_F(GoTest, EmptyListIsAnIndexErrorAndChangesNothing)
{
    world.write(QStringLiteral("vdmain.gdb"), QByteArray());
    TMainForm& f = open();
    ASSERT_TRUE(f.isVisible());
    click(ui().ToolButtonGo);
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("List index out of bounds (0)")});
    EXPECT_EQ(f.view().zoomIndex(), 0);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 10%)"));
}

TEST_F(GoTest, EnterInTheListRunsGo)
{
    TMainForm& f = openWorld();
    ui().CBLoc->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().CBLoc->hasFocus(); }, 2000));
    QTest::keyClick(ui().CBLoc, Qt::Key_Down); // "Beta"
    ASSERT_EQ(f.editor().SelectedIndex(), 1);
    QTest::keyClick(ui().CBLoc, Qt::Key_Return);
    EXPECT_EQ(f.view().zoomIndex(), 2);
    EXPECT_EQ(scroll(), f.view().MapToScreen(60000, 100000) - QPoint(165, 190));
    EXPECT_EQ(f.highlight().index(), 1);
}

// --- resizing -----------------------------------------------------------------------

TEST_F(ViewTest, GrowingKeepsTheFarEdgeAtThePanelEdge)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn);
    ui().ScrollBarH->triggerAction(QAbstractSlider::SliderToMaximum);
    ui().ScrollBarV->triggerAction(QAbstractSlider::SliderToMaximum);
    ASSERT_EQ(scroll(), QPoint(330, 380));

    resizeWindow(QSize(478, 744)); // panel 430 x 480
    EXPECT_EQ(ui().ScrollBarH->maximum(), 230);
    EXPECT_EQ(ui().ScrollBarV->maximum(), 280);
    EXPECT_EQ(scroll(), QPoint(230, 280));
    EXPECT_EQ(lastScroll(), QPoint(230, 280));
    EXPECT_EQ(f.view().marginX(), 0);
    EXPECT_EQ(f.view().marginY(), 0);
    // The picture's last column and row are the panel's last ones.
    EXPECT_EQ(f.canvas().backBuffer().size(), QSize(430, 480));
    EXPECT_EQ(f.view().panelToPicture(QPoint(429, 479)), QPoint(659, 759));
    EXPECT_NE(pixel(QPoint(429, 479)), kBackground);
}

TEST_F(ViewTest, GrowingBeyondThePictureCentresItWithTheMargin)
{
    TMainForm& f = openWorld();
    click(ui().ToolButtonZoomIn); // picture 660 x 760
    ui().ScrollBarH->triggerAction(QAbstractSlider::SliderToMaximum);

    resizeWindow(QSize(748, 800)); // panel 700 x 536
    EXPECT_EQ(ui().ScrollBarH->maximum(), 0);
    EXPECT_FALSE(ui().ScrollBarH->isEnabled());
    EXPECT_EQ(ui().ScrollBarH->value(), 0);
    EXPECT_EQ(f.view().scrollX(), 0);
    EXPECT_TRUE(ui().ScrollBarV->isEnabled());
    EXPECT_EQ(f.view().marginX(), 20);
    EXPECT_EQ(f.view().marginY(), 0);
    EXPECT_FALSE(f.view().mapCoversPanel());
    for (int x : {0, 19, 680, 699})
        EXPECT_EQ(pixel(QPoint(x, 100)), kBackground) << x;
    for (int x : {20, 679})
        EXPECT_NE(pixel(QPoint(x, 100)), kBackground) << x;

    // And back: the bar has its range again, the margin is gone.
    resizeWindow(QSize(478, 800));
    EXPECT_TRUE(ui().ScrollBarH->isEnabled());
    EXPECT_EQ(ui().ScrollBarH->maximum(), 230);
    EXPECT_EQ(f.view().marginX(), 0);
    EXPECT_NE(pixel(QPoint(0, 100)), kBackground);
}

} // namespace
} // namespace vdm::test
