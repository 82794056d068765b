// SPDX-License-Identifier: MIT
// The pointer over the real main window's map: drag-pan, the right button's add mode, the
// hover hit test and the hover hints, driven by synthetic mouse events on the map panel.
#include "app/mainformfixture.h"
#include "common/testutils.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "hint/ddghintwindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace vdm::test {
namespace {

// The centre of the map: at 10 % it lies in the middle of the smallest window's panel.
constexpr int CX = 25000, CY = 45000;

class PointerTest : public MainFormTest {
protected:
    /** The hint window, made on the first hint; nullptr before. */
    TddgHintWindow* hint() { return form->findChild<TddgHintWindow*>(); }
    bool hintVisible() { return hint() && hint()->isVisible(); }
    QTimer* timer() { return form->findChild<QTimer*>(QStringLiteral("Timer")); }

    /** A pointer move over the panel with the given buttons held (as the system sends it). */
    void move(QPoint p, Qt::MouseButtons held = Qt::NoButton)
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(panel()->mapToGlobal(p)), Qt::NoButton, held,
                      Qt::NoModifier);
        QApplication::sendEvent(panel(), &e);
    }
    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(panel(), b, Qt::NoModifier, p); }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(panel(), b, Qt::NoModifier, p); }

    /** What the system sends for a double click: press, release, double click, release. */
    void doubleClick(QPoint p)
    {
        QTest::mouseClick(panel(), Qt::LeftButton, Qt::NoModifier, p);
        QTest::mouseDClick(panel(), Qt::LeftButton, Qt::NoModifier, p);
        QTest::mouseRelease(panel(), Qt::LeftButton, Qt::NoModifier, p);
    }

    void zoomIn(int clicks)
    {
        for (int i = 0; i < clicks; ++i)
            QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    }
    void hintsOn()
    {
        QTest::mouseClick(ui().ToolButtonHint, Qt::LeftButton);
        ASSERT_TRUE(form->session().settings().ShowHint);
    }
    /** Panel point of a map point at the current view. */
    QPoint at(int x, int y) const { return form->view().mapToPanel(x, y); }
    QPoint at(const Location& l) const { return at(l.X, l.Y); }
    /** A point of the panel with nothing on it (every test keeps the top-left corner empty). */
    static QPoint empty() { return {3, 3}; }

    void writeMarkers(const LocationList& markers)
    {
        world.write(QStringLiteral("markers.gdb"), vdm::writeMarkers(markers));
    }
};

// --- dragging --------------------------------------------------------------------------

TEST_F(PointerTest, NoDragAtTenPercent)
{
    writeLocations({locationRecord("Far", 0, -110000, 200000)});
    TMainForm& f = open();
    PaintCounter paints(panel());
    press({100, 100});
    EXPECT_FALSE(f.hover().dragging());
    move({130, 80}, Qt::LeftButton);
    EXPECT_EQ(paints.count, 0);
    EXPECT_EQ(ui().ScrollBarH->value(), 0);
    EXPECT_EQ(ui().ScrollBarV->value(), 0);
    EXPECT_EQ(f.hover().lastPointer(), QPoint(130, 80));
    release({130, 80});
}

TEST_F(PointerTest, DragMovesTheMapWithThePointerOnePaintPerMove)
{
    writeLocations({locationRecord("Far", 0, -110000, 200000)});
    TMainForm& f = open();
    zoomIn(1);
    ASSERT_EQ(f.view().zoomIndex(), 1);
    QScrollBar* h = ui().ScrollBarH;
    QScrollBar* v = ui().ScrollBarV;
    const int h0 = h->value(), v0 = v->value();
    ASSERT_GT(h0, 40);
    ASSERT_LT(v0, v->maximum() - 40);
    const QImage before = f.canvas().backBuffer().copy();

    PaintCounter paints(panel());
    press({100, 100});
    EXPECT_TRUE(f.hover().dragging());
    EXPECT_EQ(f.hover().dragStart(), QPoint(100, 100));
    EXPECT_EQ(paints.count, 0); // the press alone paints nothing

    move({130, 80}, Qt::LeftButton);
    EXPECT_EQ(h->value(), h0 - 30);
    EXPECT_EQ(v->value(), v0 + 20);
    EXPECT_EQ(f.view().scrollX(), h->value());
    EXPECT_EQ(f.view().scrollY(), v->value());
    EXPECT_EQ(f.hover().dragStart(), QPoint(130, 80));
    EXPECT_EQ(paints.count, 1);

    // The picture followed the pointer: what was at (x, y) is now at (x + 30, y - 20).
    const QImage after = f.canvas().backBuffer();
    const QRect overlap(30, 0, after.width() - 60, after.height() - 40);
    EXPECT_EQ(differingPixels(after.copy(overlap), before.copy(overlap.translated(-30, 20)), 2), 0);

    move({131, 80}, Qt::LeftButton);
    EXPECT_EQ(h->value(), h0 - 31);
    EXPECT_EQ(paints.count, 2);

    release({131, 80});
    EXPECT_FALSE(f.hover().dragging());
    move({160, 60}, Qt::NoButton);
    EXPECT_EQ(h->value(), h0 - 31);
    EXPECT_EQ(v->value(), v0 + 20);
    EXPECT_EQ(paints.count, 2);
}

TEST_F(PointerTest, DragStopsAtTheBoundsAndTurnsBackAtOnce)
{
    writeLocations({locationRecord("Far", 0, -110000, 200000)});
    TMainForm& f = open();
    zoomIn(1);
    QScrollBar* h = ui().ScrollBarH;
    QScrollBar* v = ui().ScrollBarV;
    const int h0 = h->value(), v0 = v->value();
    const int vmax = v->maximum();
    ASSERT_GT(h0, 10);
    ASSERT_GT(vmax - v0, 10);

    PaintCounter paints(panel());
    press({10, 300});
    // Right by h0 - 10: ten pixels short of the left bound.
    QPoint p(10 + h0 - 10, 300);
    move(p, Qt::LeftButton);
    ASSERT_EQ(h->value(), 10);
    // Thirty more: the bar stops at 0, the start follows the pointer.
    p.rx() += 30;
    move(p, Qt::LeftButton);
    EXPECT_EQ(h->value(), 0);
    EXPECT_EQ(f.hover().dragStart(), p);
    // Further on against the bound: nothing moves, yet every move paints once.
    p.rx() += 20;
    move(p, Qt::LeftButton);
    EXPECT_EQ(h->value(), 0);
    EXPECT_EQ(paints.count, 3);
    // Turning back moves the map at once, not after the overshoot is undone.
    p.rx() -= 5;
    move(p, Qt::LeftButton);
    EXPECT_EQ(h->value(), 5);
    EXPECT_EQ(paints.count, 4);

    // The same at the far end of the vertical bar: moving up scrolls down.
    p.ry() -= (vmax - v0) + 25;
    move(p, Qt::LeftButton);
    EXPECT_EQ(v->value(), vmax);
    p.ry() += 3;
    move(p, Qt::LeftButton);
    EXPECT_EQ(v->value(), vmax - 3);
    EXPECT_EQ(f.view().scrollY(), vmax - 3);
    EXPECT_EQ(paints.count, 6);
    release(p);
}

TEST_F(PointerTest, MoveWithoutTheLeftButtonHeldDoesNotDragNorHover)
{
    writeLocations({locationRecord("Alpha", 0, CX, CY)});
    TMainForm& f = open();
    hintsOn();
    zoomIn(1);
    const int h0 = ui().ScrollBarH->value();
    press(empty());
    ASSERT_TRUE(f.hover().dragging());
    // The release went elsewhere: moves without the button neither drag nor hover.
    move(at(f.world().locations()[0]), Qt::NoButton);
    EXPECT_EQ(ui().ScrollBarH->value(), h0);
    EXPECT_FALSE(f.hover().shown());
    release(at(f.world().locations()[0]));
    move(at(f.world().locations()[0]));
    EXPECT_TRUE(f.hover().shown());
}

// --- the right button ------------------------------------------------------------------

TEST_F(PointerTest, RightButtonEntersAddModeFromTwentyFivePercent)
{
    writeLocations({locationRecord("Far", 0, -110000, 200000)});
    writeMarkers({marker("Camp", CX, CY)});
    TMainForm& f = open();
    zoomIn(1);
    press({50, 50}, Qt::RightButton);
    release({50, 50}, Qt::RightButton);
    EXPECT_FALSE(f.editor().AddMarkerMode());
    EXPECT_FALSE(ui().ToolButtonAddM->isChecked());
    EXPECT_EQ(panel()->cursor().shape(), Qt::PointingHandCursor);

    zoomIn(1);
    ASSERT_EQ(f.view().zoomIndex(), 2);
    QTest::mouseClick(ui().ToolButtonDelM, Qt::LeftButton);
    ASSERT_TRUE(f.editor().DeleteMarkerMode());
    press({50, 50}, Qt::RightButton);
    EXPECT_TRUE(f.editor().AddMarkerMode());
    EXPECT_TRUE(ui().ToolButtonAddM->isChecked());
    EXPECT_EQ(panel()->cursor().shape(), Qt::CrossCursor);
    // One click never both adds and deletes.
    EXPECT_FALSE(f.editor().DeleteMarkerMode());
    EXPECT_FALSE(ui().ToolButtonDelM->isChecked());
    release({50, 50}, Qt::RightButton);
    EXPECT_TRUE(f.editor().AddMarkerMode());
    EXPECT_FALSE(f.hover().dragging());

    // In add mode a left drag does not move the map.
    const int h0 = ui().ScrollBarH->value(), v0 = ui().ScrollBarV->value();
    PaintCounter paints(panel());
    press({100, 100});
    move({140, 60}, Qt::LeftButton);
    EXPECT_EQ(ui().ScrollBarH->value(), h0);
    EXPECT_EQ(ui().ScrollBarV->value(), v0);
    EXPECT_EQ(paints.count, 0);
}

// --- the hit test ----------------------------------------------------------------------

TEST_F(PointerTest, HitSquareIsNineByNine)
{
    writeLocations({locationRecord("Alpha", 0, CX, CY)});
    TMainForm& f = open();
    hintsOn();
    const QPoint q = at(f.world().locations()[0]);
    ASSERT_GT(q.x(), 50);
    ASSERT_GT(q.y(), 50);

    struct Case {
        int dx, dy;
        bool hit;
    };
    const Case cases[] = {
        {0, 0, true},  {4, 4, true},   {-4, -4, true}, {4, -4, true}, {-4, 4, true}, {5, 0, false},
        {0, 5, false}, {-5, 0, false}, {0, -5, false}, {5, 5, false}, {4, 5, false}, {5, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "offset " << c.dx << "," << c.dy);
        move(empty());
        ASSERT_FALSE(f.hover().shown());
        move(q + QPoint(c.dx, c.dy));
        EXPECT_EQ(f.hover().shown(), c.hit);
        EXPECT_EQ(hintVisible(), c.hit);
        if (c.hit) {
            EXPECT_EQ(hint()->text(), QStringLiteral("Alpha"));
        }
    }
}

TEST_F(PointerTest, EarlierLocationWins)
{
    // "Later" lies exactly under the pointer, "Earlier" three pixels off; file order decides.
    writeLocations({locationRecord("Earlier", 0, CX, CY), locationRecord("Later", 0, CX + 2000, CY)});
    TMainForm& f = open();
    hintsOn();
    const QPoint later = at(f.world().locations()[1]);
    const int apart = later.x() - at(f.world().locations()[0]).x();
    ASSERT_TRUE(apart >= 1 && apart <= 4) << apart;
    move(later);
    ASSERT_TRUE(f.hover().shown());
    EXPECT_EQ(hint()->text(), QStringLiteral("Earlier"));
    EXPECT_EQ(f.hover().lastHintName(), QByteArray("Earlier"));
}

TEST_F(PointerTest, LocationWinsOverMarker)
{
    writeLocations({locationRecord("Ford", 0, CX, CY)});
    writeMarkers({marker("Camp", CX + 900, CY)});
    TMainForm& f = open();
    hintsOn();
    zoomIn(1);
    const QPoint m = at(f.world().markers()[0]);
    const int apart = m.x() - at(f.world().locations()[0]).x();
    ASSERT_TRUE(apart >= 1 && apart <= 4) << apart;
    move(m);
    ASSERT_TRUE(f.hover().shown());
    EXPECT_EQ(hint()->text(), QStringLiteral("Ford"));
    // The location ended the test before the markers were looked at.
    EXPECT_EQ(f.editor().EditedMarker(), -1);
}

TEST_F(PointerTest, HintsOffStillTracksTheMarkerUnderThePointer)
{
    writeLocations({locationRecord("Ford", 0, CX, CY)});
    writeMarkers({marker("Camp", CX + 20000, CY)});
    TMainForm& f = open();
    ASSERT_FALSE(f.session().settings().ShowHint);
    zoomIn(1);

    move(at(f.world().locations()[0]));
    EXPECT_FALSE(f.hover().shown());
    EXPECT_EQ(hint(), nullptr);
    EXPECT_EQ(f.editor().EditedMarker(), -1);
    EXPECT_TRUE(f.hover().lastHintName().isEmpty());
    EXPECT_TRUE(f.hover().hintText().isEmpty());

    move(at(f.world().markers()[0]));
    EXPECT_EQ(f.editor().EditedMarker(), 0);
    EXPECT_FALSE(f.hover().shown());
    EXPECT_EQ(hint(), nullptr);

    move(empty());
    EXPECT_EQ(f.editor().EditedMarker(), -1);
}

TEST_F(PointerTest, HiddenStatusIsNotHitUnlessHighlighted)
{
    writeLocations({locationRecord("Alpha", 0, CX, CY)});
    TMainForm& f = open();
    hintsOn();
    ASSERT_EQ(f.world().locations()[0].Status, Unvisited);
    QTest::mouseClick(ui().ToolButtonSU, Qt::LeftButton);
    ASSERT_FALSE(f.session().settings().ShowUnvisited);
    move(at(f.world().locations()[0]));
    EXPECT_FALSE(f.hover().shown());

    // Go centres it and highlights it: now it counts as shown.
    move(empty());
    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    ASSERT_EQ(f.highlight().index(), 0);
    move(at(f.world().locations()[0]));
    EXPECT_TRUE(f.hover().shown());
    EXPECT_EQ(hint()->text(), QStringLiteral("Alpha"));
}

TEST_F(PointerTest, TimedHintHidesAndReturnsOnlyAfterLeaving)
{
    writeLocations({locationRecord("Alpha", 0, CX, CY)});
    world.writeSettings("[Hints]\r\nConstant=0\r\nDelay=50\r\n");
    TMainForm& f = open();
    hintsOn();
    ASSERT_FALSE(f.session().settings().ConstantHints);
    const QPoint q = at(f.world().locations()[0]);

    move(q);
    ASSERT_TRUE(hintVisible());
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 50);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !hintVisible(); }, 3000));
    EXPECT_FALSE(f.hover().shown());
    EXPECT_FALSE(timer()->isActive());

    // Moving within the same location does not bring it back.
    move(q + QPoint(1, 1));
    move(q + QPoint(-2, 3));
    EXPECT_FALSE(hintVisible());
    EXPECT_FALSE(f.hover().shown());

    // Off and on again: shown once more, and hidden again after the delay.
    move(empty());
    move(q);
    EXPECT_TRUE(hintVisible());
    EXPECT_TRUE(f.hover().shown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !hintVisible(); }, 3000));
}

TEST_F(PointerTest, ConstantHintStaysOnTheItemAndGoesOnEmptyMap)
{
    writeLocations({locationRecord("Alpha", 0, CX, CY)});
    world.writeSettings("[Hints]\r\nDelay=50\r\n");
    TMainForm& f = open();
    hintsOn();
    ASSERT_TRUE(f.session().settings().ConstantHints);
    const QPoint q = at(f.world().locations()[0]);

    move(q);
    ASSERT_TRUE(hintVisible());
    // The tick comes and changes nothing.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timer()->isActive(); }, 3000));
    QTest::qWait(30);
    EXPECT_TRUE(hintVisible());
    move(q + QPoint(3, -3));
    EXPECT_TRUE(hintVisible());
    EXPECT_TRUE(f.hover().shown());

    move(empty());
    EXPECT_FALSE(hintVisible());
    EXPECT_FALSE(f.hover().shown());
    EXPECT_TRUE(f.hover().lastHintName().isEmpty());
}

TEST_F(PointerTest, NeighbourWithoutEmptyMapBetweenKeepsTheFirstHint)
{
    writeLocations({locationRecord("West", 0, CX, CY), locationRecord("East", 0, CX + 7300, CY)});
    TMainForm& f = open();
    hintsOn();
    const QPoint west = at(f.world().locations()[0]);
    const QPoint east = at(f.world().locations()[1]);
    // Far enough apart that the walk leaves the first's reach, near enough that no
    // empty map lies between the two squares.
    ASSERT_TRUE(east.x() - west.x() >= 6 && east.x() - west.x() <= 9) << east.x() - west.x();
    move(west);
    ASSERT_EQ(hint()->text(), QStringLiteral("West"));
    for (int x = west.x() + 1; x <= east.x(); ++x) {
        move({x, west.y()});
        ASSERT_TRUE(hintVisible()) << x;
    }
    EXPECT_EQ(hint()->text(), QStringLiteral("West"));
    EXPECT_EQ(f.hover().lastHintName(), QByteArray("West"));
    // Across empty map, the neighbour gets its own hint.
    move(empty());
    move(east);
    EXPECT_EQ(hint()->text(), QStringLiteral("East"));
}

TEST_F(PointerTest, NoHintShownOrHiddenDuringADrag)
{
    writeLocations({locationRecord("Alpha", 0, CX, CY)});
    TMainForm& f = open();
    hintsOn();
    zoomIn(1);
    QScrollBar* h = ui().ScrollBarH;

    // A shown hint stays while the map is dragged away beneath the pointer and back.
    const QPoint q = at(f.world().locations()[0]);
    move(q);
    ASSERT_TRUE(hintVisible());
    press(q);
    move(q + QPoint(60, 0), Qt::LeftButton);
    EXPECT_TRUE(hintVisible());
    move(q + QPoint(60, 40), Qt::LeftButton);
    EXPECT_TRUE(hintVisible());
    EXPECT_TRUE(f.hover().shown());
    release(q + QPoint(60, 40));
    move(empty());
    ASSERT_FALSE(hintVisible());

    // Against the left bound the map stays put while the pointer passes over a location.
    const int row = at(f.world().locations()[0]).y();
    press({5, row});
    move({5 + h->value() + 10, row}, Qt::LeftButton);
    ASSERT_EQ(h->value(), 0);
    const QPoint target = at(f.world().locations()[0]);
    ASSERT_EQ(target.y(), row);
    ASSERT_GT(target.x(), 5 + 10);
    move(target, Qt::LeftButton);
    ASSERT_EQ(h->value(), 0);
    ASSERT_EQ(at(f.world().locations()[0]), target);
    EXPECT_FALSE(hintVisible());
    EXPECT_FALSE(f.hover().shown());
    release(target);
    move(target);
    EXPECT_TRUE(hintVisible());
}

TEST_F(PointerTest, HintBesideThePointerWithDecodedTexts)
{
    writeLocations({locationRecord("Caf\xE9 \x80", 0, CX, CY)});
    LocationList user(1);
    user[0].Status = Active;
    user[0].Note = "Toll \x80 5, na\xEFve ferryman";
    world.write(QStringLiteral("user.gdb"), writeUserData(user));
    writeMarkers({marker("Cache \xE0 gauche", CX + 20000, CY + 20000)});
    TMainForm& f = open();
    f.move(0, 0);
    QTest::qWait(0);
    hintsOn();
    zoomIn(1);

    const QPoint q = at(f.world().locations()[0]);
    move(q + QPoint(2, -1));
    ASSERT_TRUE(hintVisible());
    EXPECT_EQ(hint()->text(), QString::fromUtf8("Caf\u00E9 \u20AC"));
    EXPECT_EQ(hint()->hintText(), QString::fromUtf8("Caf\u00E9 \u20AC"));
    EXPECT_EQ(hint()->exText(), QString::fromUtf8("Toll \u20AC 5, na\u00EFve ferryman"));
    EXPECT_EQ(hint()->color(), QColor(Qt::black));
    const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_TRUE(desk.contains(hint()->geometry())) << "the test needs the hint away from the screen's edges";
    EXPECT_EQ(hint()->geometry().topLeft(), panel()->mapToGlobal(q + QPoint(2, -1)) + QPoint(10, 5));

    move(empty());
    const QPoint m = at(f.world().markers()[0]);
    move(m + QPoint(-3, 4));
    ASSERT_TRUE(hintVisible());
    EXPECT_EQ(hint()->text(), QStringLiteral("Marker"));
    EXPECT_EQ(hint()->exText(), QString::fromUtf8("Cache \u00E0 gauche"));
    EXPECT_EQ(hint()->geometry().topLeft(), panel()->mapToGlobal(m + QPoint(-3, 4)) + QPoint(10, 5));
    EXPECT_EQ(f.editor().EditedMarker(), 0);
    EXPECT_EQ(f.hover().lastHintName(), QByteArray("Cache \xE0 gauche"));
}

TEST_F(PointerTest, EditedMarkerStaysWhileTheBoxEditsIt)
{
    writeLocations({locationRecord("Far", 0, -110000, 200000)});
    writeMarkers({marker("First camp", CX, CY), marker("Second camp", CX + 15000, CY)});
    TMainForm& f = open();
    hintsOn();
    zoomIn(2);
    const QPoint first = at(f.world().markers()[0]);
    const QPoint second = at(f.world().markers()[1]);

    move(first);
    ASSERT_EQ(f.editor().EditedMarker(), 0);
    doubleClick(first);
    ASSERT_FALSE(f.hover().dragging());
    ASSERT_TRUE(f.editor().EditMarkerMode());
    ASSERT_EQ(f.editor().EditedMarker(), 0);

    move(empty());
    EXPECT_EQ(f.editor().EditedMarker(), 0);
    move(second);
    EXPECT_EQ(f.editor().EditedMarker(), 0);
    // Its hint is shown all the same.
    ASSERT_TRUE(hintVisible());
    EXPECT_EQ(hint()->exText(), QStringLiteral("Second camp"));
}

TEST_F(PointerTest, HintNeverTakesInputOrFocus)
{
    writeLocations({locationRecord("Alpha", 0, CX, CY)});
    writeMarkers({marker("Camp", CX, CY + 30000)});
    TMainForm& f = open();
    hintsOn();
    zoomIn(1);
    // Give the note editor the focus, as a double click on a location does.
    move(at(f.world().locations()[0]));
    doubleClick(at(f.world().locations()[0]));
    ASSERT_TRUE(f.editor().EditMarkerMode());
    QWidget* focus = QApplication::focusWidget();
    QWidget* active = QApplication::activeWindow();

    move(empty());
    move(at(f.world().markers()[0]));
    ASSERT_TRUE(hintVisible());
    EXPECT_TRUE(hint()->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(hint()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    ASSERT_NE(hint()->windowHandle(), nullptr);
    EXPECT_TRUE(hint()->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_EQ(QApplication::focusWidget(), focus);
    EXPECT_EQ(QApplication::activeWindow(), active);
    EXPECT_FALSE(hint()->isActiveWindow());

    // The pointer moving on beneath the hint is still the map's: here onto empty map.
    const QPoint beneath = panel()->mapFromGlobal(hint()->geometry().center());
    ASSERT_TRUE(panel()->rect().contains(beneath));
    ASSERT_EQ(f.hover().markerAt(beneath), -1);
    ASSERT_EQ(f.hover().locationAt(beneath), -1);
    move(beneath);
    EXPECT_FALSE(hintVisible());
    EXPECT_EQ(f.hover().lastPointer(), beneath);
}

} // namespace
} // namespace vdm::test
