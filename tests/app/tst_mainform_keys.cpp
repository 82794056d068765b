// SPDX-License-Identifier: MIT
// The window's keyboard commands: each acts with the map focused, and none acts while a
// text field that wants the key has the focus.
#include "app/mainformfixture.h"
#include "app/windowinput.h"
#include "common/testutils.h"
#include "dialogs/formabout.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <functional>
#include <vector>

namespace vdm::test {
namespace {

TEST(KeyCommands, OnlyTheKeypadsPlusAndMinusZoomAndControlsThatWantKeysNeverGetThem)
{
    const Qt::KeyboardModifiers keypad = Qt::KeypadModifier, none = Qt::NoModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int code;
    } keys[] = {
        {Qt::Key_Plus, keypad, Qt::Key_Plus},
        {Qt::Key_Minus, keypad | Qt::ShiftModifier, Qt::Key_Minus},
        {Qt::Key_Plus, none, 0},
        {Qt::Key_Minus, Qt::ShiftModifier, 0},
        {Qt::Key_A, none, Qt::Key_A},
        {Qt::Key_Shift, Qt::ShiftModifier, Qt::Key_Shift},
    };
    for (const auto& k : keys)
        EXPECT_EQ(WindowInput::windowKeyCode(k.key, k.modifiers), k.code) << k.key << " " << k.modifiers.toInt();

    QLineEdit line;
    QPlainTextEdit plain;
    QTextEdit rich;
    QSpinBox spin;
    QComboBox list; // a zoom key would search it for "+"
    QWidget plainWidget;
    QToolButton button;
    for (const QWidget* w : std::initializer_list<const QWidget*>{&line, &plain, &rich, &spin, &list})
        EXPECT_TRUE(WindowInput::wantsKeys(w)) << w->metaObject()->className();
    for (const QWidget* w : std::initializer_list<const QWidget*>{&plainWidget, &button, nullptr})
        EXPECT_FALSE(WindowInput::wantsKeys(w));
}

class KeysTest : public MainFormTest {
protected:
    TMainForm& openWorld()
    {
        TMainForm& f = openAlphaAndBeta();
        focusMap();
        return f;
    }
    void focusMap()
    {
        panel()->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel()->hasFocus(); }, 2000));
    }
    void key(int k, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        QTest::keyClick(target, Qt::Key(k), modifiers);
    }
    void zoomTo(int level)
    {
        while (form->view().zoomIndex() < level)
            QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    }
    QPoint scroll() const { return {form->view().scrollX(), form->view().scrollY()}; }
};

TEST_F(KeysTest, ZoomKeys)
{
    TMainForm& f = openWorld();
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int zoomAfter;
    } rows[] = {
        {Qt::Key_Equal, Qt::ControlModifier, 1}, {Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier, 2},
        {Qt::Key_Plus, Qt::ControlModifier, 3},  {Qt::Key_Minus, Qt::ControlModifier, 2},
        {Qt::Key_0, Qt::ControlModifier, 0},
    };
    for (const auto& r : rows) {
        key(r.key, r.modifiers);
        EXPECT_EQ(f.view().zoomIndex(), r.zoomAfter) << r.key;
        EXPECT_EQ(f.windowTitle(), titleWithZoom(r.zoomAfter));
    }
    // The keypad's plus with Ctrl zooms once, as it always did.
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(f.view().zoomIndex(), 1);
}

TEST_F(KeysTest, ArrowsAndPagesScrollThroughTheViewport)
{
    TMainForm& f = openWorld();
    zoomTo(Viewport::HighestZoom);
    const QSize panelSize = f.view().panel();
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        QPoint step;
    } rows[] = {
        {Qt::Key_Right, {}, {Viewport::WheelStep, 0}},
        {Qt::Key_Down, {}, {0, Viewport::WheelStep}},
        {Qt::Key_Left, {}, {-Viewport::WheelStep, 0}},
        {Qt::Key_Up, {}, {0, -Viewport::WheelStep}},
        {Qt::Key_Right, Qt::ControlModifier, {panelSize.width() / 4, 0}},
        {Qt::Key_Down, Qt::ControlModifier, {0, panelSize.height() / 4}},
        {Qt::Key_PageDown, {}, {0, panelSize.height()}},
        {Qt::Key_PageUp, {}, {0, -panelSize.height()}},
        {Qt::Key_Up, Qt::ControlModifier, {0, -panelSize.height() / 4}},
    };
    // Start in the middle, so that every step shows whole.
    for (QScrollBar* bar : {ui().ScrollBarH, ui().ScrollBarV}) {
        bar->setSliderPosition(bar->maximum() / 2);
        bar->triggerAction(QAbstractSlider::SliderMove);
    }
    ASSERT_GT(scroll().y(), panelSize.height() + Viewport::WheelStep);
    ASSERT_LT(scroll().y() + panelSize.height() + Viewport::WheelStep, f.view().scrollMaximum().y());
    for (const auto& r : rows) {
        const QPoint before = scroll();
        key(r.key, r.modifiers);
        EXPECT_EQ(scroll(), before + r.step) << r.key;
        EXPECT_EQ(QPoint(ui().ScrollBarH->value(), ui().ScrollBarV->value()), scroll());
    }
}

TEST_F(KeysTest, FullScreenCopyAboutAndClose)
{
    TMainForm& f = openWorld();
    f.createDialogs();

    key(Qt::Key_F11);
    EXPECT_TRUE(f.windowState() & Qt::WindowFullScreen);
    key(Qt::Key_F11);
    EXPECT_FALSE(f.windowState() & Qt::WindowFullScreen);

    QGuiApplication::clipboard()->clear();
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image(), f.canvas().backBuffer());

    bool aboutShown = false;
    QTimer::singleShot(0, f.formAbout(), [&] {
        aboutShown = f.formAbout()->isVisible();
        f.formAbout()->reject();
    });
    key(Qt::Key_F1);
    EXPECT_TRUE(aboutShown);

    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    focusMap();
    key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(f.isVisible());
}

/** A key that must not act while a text field has the focus. */
struct Untouched {
    int key;
    Qt::KeyboardModifiers modifiers;
};

TEST_F(KeysTest, TextFieldsKeepTheKeysTheyWant)
{
    TMainForm& f = openWorld();
    zoomTo(3);
    key(Qt::Key_PageDown);
    // Every text field moves with the arrows and pages; the editors copy their own text.
    const std::vector<Untouched> moves{{Qt::Key_Left, {}},
                                       {Qt::Key_Right, {}},
                                       {Qt::Key_Up, Qt::ControlModifier},
                                       {Qt::Key_PageDown, {}},
                                       {Qt::Key_PageUp, {}}};
    std::vector<Untouched> editorKeys = moves;
    editorKeys.push_back({Qt::Key_C, Qt::ControlModifier});
    const auto focusNote = [&] {
        doubleClickAt(f.view().mapToPanel(60000, 100000)); // Beta's box opens, the note has the focus
        return ui().MemoNotes->hasFocus() ? static_cast<QWidget*>(ui().MemoNotes) : nullptr;
    };
    const auto focusList = [&] {
        ui().CBLoc->setFocus();
        return QTest::qWaitFor([&] { return ui().CBLoc->hasFocus(); }, 2000) ? static_cast<QWidget*>(ui().CBLoc)
                                                                             : nullptr;
    };
    const auto focusFind = [&]() -> QWidget* {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        auto* field = f.findChild<QLineEdit*>(QStringLiteral("FindEdit"));
        QTest::keyClicks(field, "zzz"); // no hit, so Up and Down choose nothing either
        return field->hasFocus() ? field : nullptr;
    };
    const struct {
        const char* name;
        std::function<QWidget*()> focus;
        const std::vector<Untouched>& keys;
    } fields[] = {{"note editor", focusNote, editorKeys},
                  {"location list", focusList, moves},
                  {"search field", focusFind, editorKeys}};
    for (const auto& field : fields) {
        SCOPED_TRACE(field.name);
        focusMap();
        ASSERT_NE(field.focus(), nullptr);
        const int selected = f.editor().SelectedIndex();
        for (const Untouched& k : field.keys) {
            QGuiApplication::clipboard()->setText(QStringLiteral("mine"));
            const QPoint before = scroll();
            key(k.key, k.modifiers);
            EXPECT_EQ(scroll(), before) << k.key;
            EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull()) << k.key;
            if (QApplication::focusWidget() == ui().CBLoc) // the list moved: put it back
                ui().CBLoc->setCurrentIndex(ui().CBLoc->findData(selected));
        }
        // What no text field wants still acts there.
        key(Qt::Key_0, Qt::ControlModifier);
        EXPECT_EQ(f.view().zoomIndex(), 0);
        zoomTo(3);
        key(Qt::Key_F11);
        EXPECT_TRUE(f.windowState() & Qt::WindowFullScreen);
        key(Qt::Key_F11);
        if (auto* bar = f.findChild<QWidget*>(QStringLiteral("FindBar")); bar->isVisible())
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::mouseClick(panel(), Qt::LeftButton, {}, QPoint(2, 2)); // closes an open box
    }
}

TEST_F(KeysTest, CtrlWheelZoomsAtThePointerOnlyWhenTheOptionIsOn)
{
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        world.writeSettings(on ? QByteArray("[General]\r\nZoomAtPointer=1\r\n") : QByteArray());
        TMainForm& f = openWorld();
        zoomTo(2);
        const QPoint at(60, 70);
        const QPoint centre(f.view().panel().width() / 2, f.view().panel().height() / 2);
        const auto mapPointAt = [&](QPoint p) {
            const QPoint picture = f.view().panelToPicture(p);
            return f.view().ScreenToMap(picture.x(), picture.y());
        };
        const QPoint underPointer = mapPointAt(at);
        const QPoint underCentre = mapPointAt(centre);
        moveTo(at);
        QWheelEvent e(QPointF(at), QPointF(panel()->mapToGlobal(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(panel(), &e);
        ASSERT_EQ(f.view().zoomIndex(), 3);
        const QPoint kept = on ? at : centre;
        const QPoint panelPoint
            = f.view().mapToPanel((on ? underPointer : underCentre).x(), (on ? underPointer : underCentre).y());
        EXPECT_LE((panelPoint - kept).manhattanLength(), 4);
        close();
    }
}

} // namespace
} // namespace vdm::test
