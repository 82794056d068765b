// SPDX-License-Identifier: MIT
// The real main window on a real X server: what the server itself answers about the
// hint's input shape, where pointer input goes, what a focusing click paints, and what
// the tooltips put on a screen without a compositing manager.
#include "app/mainformfixture.h"
#include "dialogs/platform.h"
#include "hint/ddghintwindow.h"
#include "hint/shadowedhintwindow.h"
#include "x11/xserver.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>

#include <X11/keysym.h>

namespace vdm::test {
namespace {

constexpr int kAlphaX = 25000; // the middle of the map, so a drag has room every way
constexpr int kAlphaY = 45000;

class X11Test : public MainFormTest {
protected:
    X11Test() : MainFormTest(TestWorld::Picture::High) {}

    void SetUp() override { ASSERT_TRUE(x.connected()); }

    /** Opens the window on the given locations and makes it the active one. */
    void openActive(std::initializer_list<QByteArray> locations)
    {
        writeLocations(locations);
        open();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    QPoint global(QPoint panelPoint) { return panel()->mapToGlobal(panelPoint); }
    QPoint panelPointOf(int location) const
    {
        const Location& l = form->world().locations()[size_t(location)];
        return form->view().mapToPanel(l.X, l.Y);
    }
    /** Pointer moves are processed once LastMouse shows them. */
    void movePointer(QPoint panelPoint)
    {
        x.movePointer(global(panelPoint));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->hover().lastPointer() == panelPoint; }));
    }

    XServer x;
};

TEST_F(X11Test, TheMapHintTakesNoPointerInputSoADragStartedOverItMovesTheMap)
{
    // Where is a panel point 20 right and 8 below Alpha, centred by Go? Put Beta there:
    // under Alpha's hint, which begins 10 right and 5 below the pointer.
    openActive({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    const QPoint betaPicture = form->view().panelToPicture(panelPointOf(0) + QPoint(20, 8));
    const QPoint beta = form->view().ScreenToMap(betaPicture.x(), betaPicture.y());
    close();

    openActive({locationRecord("Alpha", 0, kAlphaX, kAlphaY), locationRecord("Beta", 0, beta.x(), beta.y())});
    QTest::mouseClick(ui().ToolButtonHint, Qt::LeftButton);
    ASSERT_TRUE(form->session().settings().ShowHint);
    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    ASSERT_EQ(form->view().zoomIndex(), 2);
    const QPoint alpha = panelPointOf(0);
    ASSERT_LT((panelPointOf(1) - (alpha + QPoint(20, 8))).manhattanLength(), 3);

    movePointer(alpha + QPoint(-30, -30));
    movePointer(alpha);
    ASSERT_TRUE(form->hover().shown());
    TddgHintWindow* hint = form->findChild<TddgHintWindow*>();
    const uint32_t hintWindow = x.windowOf(hint);
    EXPECT_TRUE(x.inputShape(hintWindow).empty()) << "the hint must take no pointer input anywhere";
    EXPECT_FALSE(x.boundingShape(hintWindow).empty()) << "its visible shape stays";

    // Beta lies under the hint: the server hands the pointer there to the main window.
    const QPoint overHint = panelPointOf(1);
    ASSERT_TRUE(x.geometry(hintWindow).contains(global(overHint)));
    EXPECT_EQ(x.windowTakingPointerAt(global(overHint)), x.windowOf(form.get()));
    movePointer(overHint);
    ASSERT_TRUE(form->hover().shown()) << "moving from one location onto the next keeps the hint";
    ASSERT_TRUE(hint->isVisible());

    // A drag started there moves the map.
    const int h0 = ui().ScrollBarH->value();
    const int v0 = ui().ScrollBarV->value();
    x.press();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->hover().dragging(); }));
    movePointer(overHint + QPoint(-40, -30));
    x.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->hover().dragging(); }));
    EXPECT_EQ(ui().ScrollBarH->value(), h0 + 40);
    EXPECT_EQ(ui().ScrollBarV->value(), v0 + 30);
}

TEST_F(X11Test, AClickThatGivesTheMapTheFocusPaintsNothing)
{
    openActive({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    ui().CBLoc->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().CBLoc->hasFocus(); }));
    movePointer(QPoint(5, 5)); // empty map

    PaintCounter paints(panel());
    PaintCounter sentinel(ui().ScrollBarH);
    paints.reset();
    x.press();
    x.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->hasFocus(); }));
    // Whatever the click left to paint is painted in one go with the window's next
    // dirty widget: once the scroll bar has been painted again, so has the map, if at all.
    ui().ScrollBarH->update();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentinel.count > 0; }));
    EXPECT_EQ(paints.count, 0);
}

/** The pixels of `shot` outside `box` (both in the same pixels) that are pure black. */
int blackOutside(const QImage& shot, QRect box)
{
    int black = 0;
    for (int yy = 0; yy < shot.height(); ++yy)
        for (int xx = 0; xx < shot.width(); ++xx)
            if (!box.contains(xx, yy) && (shot.pixel(xx, yy) & 0xFFFFFF) == 0)
                ++black;
    return black;
}

TEST_F(X11Test, WithoutACompositingManagerTooltipsHaveNoBlackShadow)
{
    openActive({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    ASSERT_FALSE(TranslucencySupported()); // a bare Xvfb has no compositing manager
    TShadowedHintWindow* tip = TShadowedHintWindow::instance();
    ASSERT_NE(tip, nullptr);

    QToolButton* button = ui().ToolButtonZoomOut;
    const QPoint centre = button->mapToGlobal(button->rect().center());
    x.movePointer(centre - QPoint(3, 3));
    x.movePointer(centre);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tip->isVisible() && tip->source() == button; }, 10000));
    EXPECT_FALSE(tip->castsShadow());

    // What the screen shows of the tooltip's window, once its box has been drawn there.
    const QRect onScreen = x.geometry(x.windowOf(tip));
    const QColor base = tip->palette().color(QPalette::ToolTipBase);
    const QPoint inside = tip->boxRect().center() + QPoint(0, tip->boxRect().height() / 2 - 2);
    QImage shot;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        shot = x.grab(onScreen);
        return !shot.isNull() && QColor(shot.pixel(inside)) == base;
    }));
    // The text may be black; nothing else of the window is: no shadow strip, no corners.
    const QRect textBox = tip->boxRect().adjusted(2, 2, -2, -2);
    EXPECT_EQ(blackOutside(shot, textBox), 0) << "tooltip window " << onScreen.width() << "x" << onScreen.height();
}

TEST_F(X11Test, TooltipShadowAndHintTranslucencyFollowTheCompositingManager)
{
    openActive({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    TShadowedHintWindow* tip = TShadowedHintWindow::instance();
    QToolButton* button = ui().ToolButtonZoomIn;
    const QPoint at = button->mapToGlobal(QPoint(4, 4));

    x.ownCompositingSelection(true); // a compositing manager starts
    EXPECT_TRUE(TranslucencySupported());
    tip->showText(at, button->toolTip(), button);
    EXPECT_TRUE(tip->castsShadow());
    EXPECT_LT(tip->boxRect().width(), tip->width());
    tip->hideText();

    x.ownCompositingSelection(false); // and stops again
    EXPECT_FALSE(TranslucencySupported());
    tip->showText(at, button->toolTip(), button);
    EXPECT_FALSE(tip->castsShadow());
    EXPECT_EQ(tip->boxRect().size(), tip->size());
    tip->hideText();
}

// A box that opens while the user types takes the keyboard from the note: the keys typed
// meanwhile never reach it. A failed write's box waits for a pause in the typing instead.
TEST_F(X11Test, KeysTypedAfterAFailedWriteReachTheNoteBeforeItsBoxOpens)
{
    writeLocations({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("user.gdb"))); // every write of it fails
    open();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    doubleClickAt(panelPointOf(0));
    QPlainTextEdit* note = ui().MemoNotes;
    ASSERT_TRUE(note->isEnabled());
    // The box as the user meets it: modal, for a while, over the window.
    prompts.whileShowingError = [&] {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("box"), prompts.errors.back(), QMessageBox::Ok,
                        form.get());
        QTimer::singleShot(400, &box, &QDialog::accept);
        box.exec();
    };
    // Without a window manager the keyboard follows the pointer: onto the note, then typed.
    x.movePointer(note->mapToGlobal(note->rect().center()));
    note->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return note->hasFocus(); }));
    // Typed in one go: the first key's write fails while the others are on their way.
    for (const uint32_t key : {XK_w, XK_e, XK_space, XK_g, XK_o})
        x.typeKey(key);
    EXPECT_TRUE(QTest::qWaitFor([&] { return note->toPlainText() == QStringLiteral("we go"); }, 5000))
        << note->toPlainText().toStdString();
    // Once the typing rests, the box comes, once.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !prompts.errors.isEmpty(); }, 5000));
    QTest::qWait(600);
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray("we go"));
}

TEST_F(X11Test, EveryToolButtonAndTheLocationControlsHaveAnAccessibleName)
{
    openActive({locationRecord("Alpha", 0, kAlphaX, kAlphaY)});
    const auto name = [](QWidget* w) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        return iface ? iface->text(QAccessible::Name).trimmed() : QString();
    };
    const QList<QToolButton*> buttons = form->findChildren<QToolButton*>();
    ASSERT_GE(buttons.size(), 21);
    for (QToolButton* b : buttons) {
        if (!form->isAncestorOf(b) || b->objectName().isEmpty())
            continue; // the tool bars' own extension buttons
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_FALSE(name(b).isEmpty());
        if (!b->toolTip().isEmpty()) {
            EXPECT_EQ(name(b), b->toolTip()); // the hint is the name
        }
    }
    // On X11 the toolkit reports a drop-down list's current entry as its name and its
    // own name through the label relation; the name is given all the same.
    EXPECT_EQ(ui().CBLoc->accessibleName(), QStringLiteral("Location list"));
    EXPECT_FALSE(name(ui().CBLoc).isEmpty());
    EXPECT_EQ(name(ui().MemoNotes), QStringLiteral("Notes"));
    EXPECT_EQ(name(ui().GBLoc), QStringLiteral("Alpha")); // the box is named by its caption
}

} // namespace
} // namespace vdm::test
