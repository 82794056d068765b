// SPDX-License-Identifier: MIT
// Scrolling repaints only what it uncovers: after a drag, a wheel step, the arrow keys or
// the scroll bars the panel holds exactly what a whole paint of the new view gives.
#include "app/mainformfixture.h"
#include "app/windowcommands.h"
#include "worldgen/worldgen.h"

#include <QAction>
#include <QWheelEvent>

#include <functional>

namespace vdm::test {
namespace {

class ScrollPaintTest : public MainFormTest {
protected:
    /** A generated world of a few thousand places with statuses, routes and markers. */
    TMainForm& openCrowd()
    {
        worldgen::Options o;
        o.locations = 3000;
        o.pictures = false;
        o.readmes = false;
        o.userData = true;
        worldgen::generate(world.dir(), o);
        open();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }

    /** A whole paint of the window's scene by a painter of its own. */
    QImage wholePaint()
    {
        GoHighlight h = form->highlight();
        const World& w = form->world();
        return m_reference.paint(MapScene{form->view(), w.picture(), w.locations(), w.markers(),
                                          form->session().settings(), form->session().objects(), h, &w.index()});
    }

    void drag(QPoint by)
    {
        const QPoint from(200, 150);
        QTest::mousePress(panel(), Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent e(QEvent::MouseMove, QPointF(from + by), QPointF(panel()->mapToGlobal(from + by)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel(), &e);
        QTest::mouseRelease(panel(), Qt::LeftButton, Qt::NoModifier, from + by);
    }
    void wheel(int delta, Qt::KeyboardModifiers modifiers = {})
    {
        const QPointF at(panel()->width() / 2.0, panel()->height() / 2.0);
        QWheelEvent e(at, panel()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(panel(), &e);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, k, modifiers);
    }

    /**
     * The first place drawn at least `margin` pixels inside the panel, with the location
     * box opened on it by a double click as a user opens it.
     */
    int openBoxOnAPlace(int margin = 0)
    {
        const LocationList& locs = form->world().locations();
        const QRect inner = QRect(QPoint(0, 0), form->view().panel()).adjusted(margin, margin, -margin, -margin);
        for (int i = 0; i < int(locs.size()); ++i) {
            const QPoint at = form->view().mapToPanel(locs[size_t(i)].X, locs[size_t(i)].Y);
            if (inner.contains(at) && form->view().LevelVisible(locs[size_t(i)].Level)) {
                doubleClickAt(at);
                EXPECT_EQ(form->editor().SelectedIndex(), i);
                return i;
            }
        }
        ADD_FAILURE() << "no place on the panel";
        return 0;
    }

    MapPainter m_reference;
};

TEST_F(ScrollPaintTest, DragWheelKeysAndScrollBarsShowWhatAWholePaintShows)
{
    TMainForm& f = openCrowd();
    ASSERT_GT(f.world().locations().size(), 1000u);
    struct Step {
        const char* what;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"drag",
         [&] {
             drag({-7, -5});
         }},
        {"drag back",
         [&] {
             drag({7, 5});
         }},
        {"drag far",
         [&] {
             drag({-150, 40});
         }},
        {"wheel down", [&] { wheel(-120); }},
        {"wheel up", [&] { wheel(120); }},
        {"shift wheel", [&] { wheel(-120, Qt::ShiftModifier); }},
        {"arrow right", [&] { key(Qt::Key_Right); }},
        {"arrow down", [&] { key(Qt::Key_Down); }},
        {"arrow left", [&] { key(Qt::Key_Left); }},
        {"ctrl arrow up", [&] { key(Qt::Key_Up, Qt::ControlModifier); }},
        {"page down", [&] { key(Qt::Key_PageDown); }},
        {"bar step", [&] { ui().ScrollBarH->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"bar page", [&] { ui().ScrollBarV->triggerAction(QAbstractSlider::SliderPageStepSub); }},
        {"thumb",
         [&] {
             ui().ScrollBarH->setSliderPosition(ui().ScrollBarH->value() - 33);
             ui().ScrollBarH->triggerAction(QAbstractSlider::SliderMove);
         }},
    };
    int moved = 0;
    for (int level = 1; level < Viewport::LevelCount; level += 2) {
        while (f.view().zoomIndex() < level)
            QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
        for (QScrollBar* bar : {ui().ScrollBarH, ui().ScrollBarV}) {
            bar->setSliderPosition(bar->maximum() / 2);
            bar->triggerAction(QAbstractSlider::SliderMove);
        }
        for (const Step& s : steps) {
            const QPoint before = f.view().scroll();
            s.act();
            ASSERT_NE(f.view().scroll(), before) << s.what << " at level " << level; // the step scrolled
            moved += f.canvas().lastKind() == ScrollReuse::Kind::Moved;
            ASSERT_TRUE(f.canvas().backBuffer() == wholePaint()) << s.what << " at level " << level;
        }
    }
    EXPECT_GT(moved, 10); // most steps repainted only the strips they uncovered
}

TEST_F(ScrollPaintTest, AScrollAfterAStatusChangeShowsTheNewFrame)
{
    TMainForm& f = openCrowd();
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    drag({-7, -5});
    // The first place on the panel becomes visited, as the user sets it in the box; the next
    // scroll shows its new frame, never the old pixels.
    const LocationList& locs = f.world().locations();
    const int shown = openBoxOnAPlace();
    const std::int32_t was = locs[size_t(shown)].Status;
    QTest::mouseClick(was == Visited ? ui().SBA : ui().SBV, Qt::LeftButton);
    ASSERT_NE(locs[size_t(shown)].Status, was);
    drag({-3, -2});
    EXPECT_TRUE(f.canvas().backBuffer() == wholePaint());
}

TEST_F(ScrollPaintTest, TypingANoteLeavesTheNextScrollToTheKeptPaint)
{
    // A note is not drawn on the map: after typing in the box a drag still moves the kept
    // paint and uncovers strips, and the panel shows what a whole paint shows.
    TMainForm& f = openCrowd();
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    drag({-7, -5});
    const LocationList& locs = f.world().locations();
    const int shown = openBoxOnAPlace();
    const QByteArray was = locs[size_t(shown)].Note;
    QTest::keyClicks(ui().MemoNotes, QStringLiteral("ford"));
    ASSERT_NE(locs[size_t(shown)].Note, was);
    drag({-3, -2});
    EXPECT_EQ(f.canvas().lastKind(), ScrollReuse::Kind::Moved);
    EXPECT_TRUE(f.canvas().backBuffer() == wholePaint());
}

TEST_F(ScrollPaintTest, AStatusEditRepaintsOnlyItsPlaceAndShowsWhatAWholePaintShows)
{
    TMainForm& f = openCrowd();
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    drag({-7, -5});
    const LocationList& locs = f.world().locations();
    const int shown = openBoxOnAPlace(40);
    QApplication::processEvents();
    std::vector<ScrollReuse::Kind> kinds;
    QObject::connect(ui().PanelMap, &TMapPanel::painted, [&] { kinds.push_back(f.canvas().lastKind()); });
    const auto key = [&](Qt::Key k) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, k, Qt::AltModifier);
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        ScrollReuse::Kind kind;
    };
    const Step steps[] = {
        {"visited button", [&] { QTest::mouseClick(ui().SBV, Qt::LeftButton); }, ScrollReuse::Kind::Region},
        {"active button", [&] { QTest::mouseClick(ui().SBA, Qt::LeftButton); }, ScrollReuse::Kind::Region},
        {"Alt+1", [&] { key(Qt::Key_1); }, ScrollReuse::Kind::Region},
        {"undo", [&] { f.command(Command::Undo)->trigger(); }, ScrollReuse::Kind::Region},
        {"redo", [&] { f.command(Command::Redo)->trigger(); }, ScrollReuse::Kind::Region},
        {"Alt+3", [&] { key(Qt::Key_3); }, ScrollReuse::Kind::Region},
    };
    for (const Step& s : steps) {
        const std::int32_t was = locs[size_t(shown)].Status;
        kinds.clear();
        s.act();
        ASSERT_NE(locs[size_t(shown)].Status, was) << s.what;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !kinds.empty(); }, 2000)) << s.what;
        EXPECT_EQ(kinds.front(), s.kind) << s.what;
        EXPECT_TRUE(f.canvas().backBuffer() == wholePaint()) << s.what;
    }
}

} // namespace
} // namespace vdm::test
