// SPDX-License-Identifier: MIT
// The journey bar on a real X server, driven by real keys: opened with Ctrl+R, a place
// typed into To, Enter plans, the screen shows the route in its own colours, N brings up
// the leg's hints clear of the bar, Escape takes the drawing away.
#include "app/journeybar.h"
#include "app/journeycommands.h"
#include "app/mainformfixture.h"
#include "hint/ddghintwindow.h"
#include "journey/journeypainter.h"
#include "journey/journeysession.h"
#include "x11/xserver.h"

#include <QLineEdit>
#include <QListWidget>

#include <X11/keysym.h>

namespace vdm::test {
namespace {

class X11JourneyTest : public MainFormTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(x.connected());
        // A ship from the south straight north, and a place beside its start.
        writeLocations({locationRecord("Strand", 0, 0, 0), locationRecord("Fell", 0, 0, 90000)});
        world.write(QStringLiteral("routes.gdb"), "the rout of\r\n   nm = Strand\r\n2 Fell\r\nend\r\n");
        open();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    JourneyBar* bar() { return form->findChild<JourneyBar*>(QStringLiteral("JourneyBar")); }
    const Journey& journey() { return form->journey().session().journey(); }
    /** What the screen shows at panel point `at`. */
    QRgb shown(QPoint at) { return x.grab(QRect(panel()->mapToGlobal(at), QSize(1, 1))).pixel(0, 0); }
    /** Types `text` (letters) as the keyboard would. */
    void type(const QString& text)
    {
        for (const QChar c : text)
            x.typeKey(c.toLower().unicode(), c.isUpper() ? XK_Shift_L : 0);
    }

    XServer x;
};

TEST_F(X11JourneyTest, CtrlRTypingAndEnterDrawTheRouteAndItsHintsKeepOffTheBar)
{
    form->FindChosen(0); // Strand selected: it fills From
    panel()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->hasFocus(); }));
    x.typeKey(XK_r, XK_Control_L);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar()->isVisible(); }));
    auto* to = bar()->findChild<QLineEdit*>(QStringLiteral("JourneyTo"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return to->hasFocus(); })) << "From is filled: To takes the keys";
    type(QStringLiteral("Fell"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return to->text() == QStringLiteral("Fell"); }));
    x.typeKey(XK_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return journey().legs.size() == 1; }));

    // A quarter along the leg lies on its opaque core (the number sits at its middle).
    const Location& strand = form->world().locations()[0];
    const Location& fell = form->world().locations()[1];
    const auto onLeg = [&] {
        const QPoint a = form->view().mapToPanel(strand.X, strand.Y), b = form->view().mapToPanel(fell.X, fell.Y);
        return a + ((b - a) / 4);
    };
    const auto isRoute = [&](QRgb c) {
        return qRgb(qRed(c), qGreen(c), qBlue(c)) == (JourneyPainter::Core | 0xff000000u)
               || qRgb(qRed(c), qGreen(c), qBlue(c)) == (JourneyPainter::Current | 0xff000000u);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return isRoute(shown(onLeg())); })) << "the screen shows the route";

    // N from the legs list: the leg centred, its two hints up, neither on the bar as the
    // server places them.
    auto* legs = bar()->findChild<QListWidget*>(QStringLiteral("JourneyLegs"));
    legs->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return legs->hasFocus(); }));
    x.typeKey(XK_n);
    std::vector<TddgHintWindow*> hints;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        hints.clear();
        for (TddgHintWindow* hint : panel()->findChildren<TddgHintWindow*>())
            if (hint->isVisible())
                hints.push_back(hint);
        return hints.size() == 2;
    }));
    const QRect barOnScreen(bar()->mapToGlobal(QPoint(0, 0)), bar()->size());
    for (TddgHintWindow* hint : hints) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return x.geometry(x.windowOf(hint)).size() == hint->size(); }));
        EXPECT_FALSE(x.geometry(x.windowOf(hint)).intersects(barOnScreen));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return isRoute(shown(onLeg())); })) << "centred, the route is still shown";

    // Escape closes the bar, and the screen shows the map alone where the leg was.
    x.typeKey(XK_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !bar()->isVisible(); }));
    EXPECT_TRUE(journey().legs.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isRoute(shown(onLeg())); }));
}

} // namespace
} // namespace vdm::test
