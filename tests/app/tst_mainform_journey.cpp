// SPDX-License-Identifier: MIT
// The journey bar on the real main window: names completed as quick find matches them,
// Enter plans, the route drawn as veldamar-render draws it, N and P step through the
// legs and centre each, Escape takes the drawing away.
#include "app/journeybar.h"
#include "app/journeycommands.h"
#include "app/mainformfixture.h"
#include "app/navigatorview.h"
#include "app/windowcommands.h"
#include "common/testutils.h"
#include "data/codepage.h"
#include "app/orientationcommands.h"
#include "hint/ddghintwindow.h"
#include "worldgen/worldgen.h"
#include "journey/journeypainter.h"
#include "journey/journeysession.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QCompleter>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineF>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vdm::test {
namespace {

class JourneyTest : public MainFormTest {
protected:
    void SetUp() override
    {
        // Three places a walk apart, and a ship from the last out to an isle.
        writeLocations({locationRecord("Ardel", 0, 0, 0), locationRecord("Brisk", 0, 10000, 0),
                        locationRecord("Corran", 0, 20000, 0), locationRecord("Isle of Dunmar", 0, 90000, -60000)});
        world.write(QStringLiteral("routes.gdb"), "the rout of\r\n   nm = Corran\r\n2 Isle of Dunmar\r\nend\r\n");
        openActive();
    }
    /** Opens the window and makes it the active one, as a user's click does. */
    void openActive()
    {
        open();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    /** Where the hints on show stand (screen pixels). */
    std::vector<QRect> shownHints()
    {
        std::vector<QRect> shown;
        for (const TddgHintWindow* hint : panel()->findChildren<TddgHintWindow*>())
            if (hint->isVisible())
                shown.push_back(hint->geometry());
        return shown;
    }
    JourneyBar* bar() { return form->findChild<JourneyBar*>(QStringLiteral("JourneyBar")); }
    QLineEdit* field(const char* name) { return bar()->findChild<QLineEdit*>(QLatin1String(name)); }
    QListWidget* legs() { return bar()->findChild<QListWidget*>(QStringLiteral("JourneyLegs")); }
    QString totals() { return bar()->findChild<QLabel*>(QStringLiteral("JourneyTotals"))->text(); }
    const Journey& journey() { return form->journey().session().journey(); }
    /** Opens the bar with "Ardel" selected, names the target and presses Enter. */
    void planTo(const QString& target)
    {
        form->FindChosen(0);
        form->command(Command::PlanRoute)->trigger();
        ASSERT_TRUE(bar()->isVisible());
        QLineEdit* to = field("JourneyTo");
        to->clear();
        QTest::keyClicks(to, target);
        QTest::keyClick(to, Qt::Key_Return);
    }
    static QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }
};

TEST_F(JourneyTest, TheBarIsHiddenUntilAskedForAndNamesItsFields)
{
    ASSERT_NE(bar(), nullptr);
    EXPECT_FALSE(bar()->isVisible());
    form->FindChosen(2);
    form->command(Command::PlanRoute)->trigger();
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_EQ(field("JourneyFrom")->accessibleName(), "From");
    EXPECT_EQ(field("JourneyTo")->accessibleName(), "To");
    EXPECT_EQ(field("JourneyFrom")->text(), "Corran"); // the selected place
    EXPECT_TRUE(field("JourneyTo")->hasFocus());
    for (QWidget* w : bar()->findChildren<QWidget*>()) {
        if (w->focusPolicy() != Qt::NoFocus && qobject_cast<QAbstractButton*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
}

TEST_F(JourneyTest, CtrlROpensTheBarAndTheMenuOffersBothPlans)
{
    panel()->setFocus(); // keys go to the control with the focus, as a keyboard sends them
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->hasFocus(); }, 2000));
    QTest::keyClick(panel(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_FALSE(bar()->plansTour());
    QTest::keyClick(field("JourneyTo"), Qt::Key_Escape);
    EXPECT_FALSE(bar()->isVisible());
    QAction* tour = form->findChild<QAction*>(QStringLiteral("ActionPlanTour"));
    ASSERT_NE(tour, nullptr);
    tour->trigger();
    EXPECT_TRUE(bar()->isVisible());
    EXPECT_TRUE(bar()->plansTour());
}

TEST_F(JourneyTest, TabGoesThroughTheBarInTheOrderItReads)
{
    // Row by row, each from the left, the close button last as in a row of dialog buttons;
    // Shift+Tab the other way. A tour's choice of stops stands where To stands.
    const struct {
        bool tour;
        std::vector<const char*> order;
    } bars[] = {
        {false,
         {"JourneyFrom", "JourneyTo", "JourneyMode0", "JourneyMode1", "JourneyMode2", "JourneyMode3", "JourneyShowLegs",
          "JourneyCopy", "JourneyLegs", "JourneyClose"}},
        {true,
         {"JourneyFrom", "JourneyStops", "JourneyQuery", "JourneyActive", "JourneyMode0", "JourneyMode1",
          "JourneyMode2", "JourneyMode3", "JourneyShowLegs", "JourneyCopy", "JourneyLegs", "JourneyClose"}},
    };
    for (const auto& b : bars) {
        SCOPED_TRACE(b.tour ? "tour" : "route");
        // A journey planned: the legs list and the buttons enabled.
        if (b.tour) {
            form->FindChosen(0);
            form->command(Command::PlanTour)->trigger();
            QTest::keyClicks(field("JourneyQuery"), "r");
            QTest::keyClick(field("JourneyQuery"), Qt::Key_Return);
        } else {
            planTo("Isle of Dunmar");
        }
        ASSERT_TRUE(bar()->isVisible());
        ASSERT_GT(legs()->count(), 0);
        QWidget* first = bar()->findChild<QWidget*>(QLatin1String(b.order.front()));
        first->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return first->hasFocus(); }));
        for (const bool back : {false, true}) {
            for (std::size_t k = 1; k < b.order.size(); ++k) {
                const char* next = b.order[back ? b.order.size() - 1 - k : k];
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
                QWidget* now = QApplication::focusWidget();
                ASSERT_NE(now, nullptr);
                ASSERT_EQ(now->objectName().toStdString(), next) << (back ? "Shift+Tab" : "Tab") << " step " << k;
            }
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }
}

TEST_F(JourneyTest, TheFieldsCompleteAsQuickFindMatches)
{
    form->command(Command::PlanRoute)->trigger();
    QLineEdit* from = field("JourneyFrom");
    from->clear();
    QTest::keyClicks(from, "dun"); // inside the name, any case
    QAbstractItemModel* offered = from->completer()->model();
    ASSERT_EQ(offered->rowCount(), 1);
    EXPECT_EQ(offered->index(0, 0).data().toString(), "Isle of Dunmar");
    from->clear();
    QTest::keyClicks(from, "r"); // every one that holds an r
    EXPECT_EQ(offered->rowCount(), 4);

    // What Enter plans from: the whole name in any case, else the first name that matches,
    // else the first place offered (one whose kind, region or note matches).
    const struct {
        const char* typed;
        int place;
    } named[] = {{"BRISK", 1}, {"isle of dunmar", 3}, {"orr", 2}, {"r", 0}, {"Zed", -1}, {"", -1}, {"TOWN", 0}};
    for (const auto& n : named) {
        from->clear();
        QTest::keyClicks(from, n.typed);
        EXPECT_EQ(bar()->placeIn(false), n.place) << n.typed;
        // What Enter takes stands first among the names offered.
        if (n.place >= 0) {
            EXPECT_EQ(offered->index(0, 0).data().toString(),
                      CodePage::decode(form->world().locations()[std::size_t(n.place)].Name))
                << n.typed;
        }
    }
}

TEST_F(JourneyTest, EnterPlansAndTheBarListsTheLegs)
{
    planTo("Isle of Dunmar");
    ASSERT_EQ(journey().legs.size(), 3u);
    EXPECT_TRUE(journey().reached);
    EXPECT_TRUE(totals().startsWith("3 legs \u00b7 1 by ship \u00b7 walk 20 000")) << totals().toStdString();
    ASSERT_EQ(legs()->count(), 3);
    EXPECT_TRUE(legs()->item(2)->text().startsWith("3. Corran \u2192 Isle of Dunmar: ship"));

    // Without ships the isle cannot be reached: the route leads as near as it can.
    bar()->findChild<QCheckBox*>(QStringLiteral("JourneyMode2"))->click();
    EXPECT_FALSE(form->session().travelSettings().enabled[std::size_t(TravelMode::Ship)]);
    EXPECT_FALSE(journey().reached);
    EXPECT_EQ(journey().end, 2);
    EXPECT_TRUE(totals().contains("cannot be reached")) << totals().toStdString();
}

TEST_F(JourneyTest, OnAModeBoxSpaceTogglesItAndEnterPlans)
{
    planTo("Isle of Dunmar");
    ASSERT_EQ(journey().legs.size(), 3u);
    auto* ships = bar()->findChild<QCheckBox*>(QStringLiteral("JourneyMode2"));
    ships->setFocus();
    ASSERT_TRUE(ships->hasFocus());
    QTest::keyClick(ships, Qt::Key_Space);
    EXPECT_FALSE(ships->isChecked());
    QTest::keyClick(ships, Qt::Key_Space);
    EXPECT_TRUE(ships->isChecked());

    // Enter is the bar's own key wherever its focus is: it plans, and leaves the box alone.
    field("JourneyTo")->setText(QStringLiteral("Brisk"));
    ships->setFocus();
    QTest::keyClick(ships, Qt::Key_Return);
    EXPECT_TRUE(ships->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([&] { return journey().target == 1; }));
    EXPECT_EQ(journey().legs.size(), 1u);
}

TEST_F(JourneyTest, EnterPlansWhileTheCompletionIsUp)
{
    form->FindChosen(0);
    form->command(Command::PlanRoute)->trigger();
    QLineEdit* to = field("JourneyTo");
    to->clear();
    QTest::keyClicks(to, "Corran");
    QWidget* popup = to->completer()->popup();
    ASSERT_TRUE(popup->isVisible());
    // With the completion up the window system gives it the keys, and it hands them on.
    QTest::keyClick(popup, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return journey().legs.size() == 2; }));
    EXPECT_EQ(journey().target, 2);
    EXPECT_FALSE(popup->isVisible());

    // A name chosen in the list is taken first, then planned to.
    to->clear();
    QTest::keyClicks(to, "r");
    ASSERT_TRUE(popup->isVisible());
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Down);
    const QString chosen = to->completer()->popup()->currentIndex().data().toString();
    ASSERT_FALSE(chosen.isEmpty());
    QTest::keyClick(popup, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return to->text() == chosen && journey().target == bar()->placeIn(true); }));
}

TEST_F(JourneyTest, AFieldShowsThePlaceThePlanUses)
{
    // What was typed, in which field, and what each field shows once Enter has planned.
    const struct {
        bool tour;
        const char* from; // nullptr: the selected place, Ardel
        const char* to;
        const char* fromShown;
        const char* toShown;
        int target;
    } cases[] = {
        {false, nullptr, "dun", "Ardel", "Isle of Dunmar", 3}, // part of the name
        {false, nullptr, "CORRAN", "Ardel", "Corran", 2},      // another case
        {false, "bri", "orr", "Brisk", "Corran", 2},           // both fields
        {false, "isle of dunmar", "r", "Isle of Dunmar", "Ardel", 0},
        {false, "town", "dun", "Ardel", "Isle of Dunmar", 3}, // the kind: the first place offered
        {true, "bri", nullptr, "Brisk", nullptr, -1},         // a tour's start
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from ? c.from : "(selected)") + " / " + (c.to ? c.to : "(tour)"));
        form->FindChosen(0);
        form->command(c.tour ? Command::PlanTour : Command::PlanRoute)->trigger();
        ASSERT_TRUE(bar()->isVisible());
        QLineEdit* from = field("JourneyFrom");
        QLineEdit* to = field("JourneyTo");
        if (c.from) {
            from->clear();
            QTest::keyClicks(from, c.from);
            from->completer()->popup()->hide();
        }
        QLineEdit* last = from;
        if (c.to) {
            to->clear();
            QTest::keyClicks(to, c.to);
            to->completer()->popup()->hide();
            last = to;
        } else if (c.tour) {
            QTest::keyClicks(field("JourneyQuery"), "r");
            last = field("JourneyQuery");
        }
        QTest::keyClick(last, Qt::Key_Return);
        EXPECT_EQ(from->text(), c.fromShown);
        if (c.tour) {
            ASSERT_TRUE(form->journey().session().hasTour());
            EXPECT_EQ(form->journey().session().tour().start(), bar()->placeIn(false));
            continue;
        }
        EXPECT_EQ(to->text(), c.toShown);
        EXPECT_EQ(journey().target, c.target);
        // What the fields name is what was planned: Enter again plans the same.
        EXPECT_EQ(bar()->placeIn(false), journey().start);
        EXPECT_EQ(bar()->placeIn(true), journey().target);
        QTest::keyClick(to, Qt::Key_Escape);
    }
}

TEST_F(JourneyTest, AProblemGoesWhenTheUserEditsWhatItIsAbout)
{
    // An unknown name, with nothing planned yet: said, and nothing planned.
    planTo("Zedmoor");
    EXPECT_TRUE(journey().legs.empty());
    EXPECT_EQ(totals(), QString::fromUtf8("No place is named \u201cZedmoor\u201d."));
    // A route planned first: once the problem goes, the bar shows it again, as the map does.
    planTo("Corran");
    ASSERT_EQ(journey().legs.size(), 2u);
    const QString planned = totals();
    QLineEdit* from = field("JourneyFrom");
    QLineEdit* to = field("JourneyTo");
    const struct {
        QLineEdit* wrong; // the field given `text` before Enter
        const char* text;
        const char* problem;
        QLineEdit* other; // editing it leaves the problem
    } cases[] = {
        {to, "Zedmoor", "No place is named \u201cZedmoor\u201d.", from},
        {from, "Zedmoor", "No place is named \u201cZedmoor\u201d.", to},
        {from, "", "Name the place to go from.", to},
        {to, "", "Name the place to go to.", from},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.wrong == to ? "To " : "From ") + c.text);
        const QString kept = c.wrong->text();
        c.wrong->clear();
        QTest::keyClicks(c.wrong, c.text);
        c.wrong->completer()->popup()->hide();
        QTest::keyClick(c.wrong, Qt::Key_Return);
        ASSERT_EQ(totals(), QString::fromUtf8(c.problem));
        EXPECT_EQ(legs()->count(), 0);
        // The other field edited: the problem stays, it is not about that one.
        QTest::keyClick(c.other, Qt::Key_End);
        QTest::keyClick(c.other, Qt::Key_Space);
        QTest::keyClick(c.other, Qt::Key_Backspace);
        c.other->completer()->popup()->hide();
        EXPECT_EQ(totals(), QString::fromUtf8(c.problem));
        // Its own field edited: the problem goes, and the route still drawn is listed again.
        QTest::keyClick(c.wrong, Qt::Key_A);
        c.wrong->completer()->popup()->hide();
        EXPECT_EQ(totals(), planned);
        EXPECT_EQ(legs()->count(), 2);
        EXPECT_EQ(journey().legs.size(), 2u);
        c.wrong->setText(kept);
    }

    // A tour with nothing left in its choice: changing the choice takes the problem away.
    QTest::keyClick(to, Qt::Key_Escape);
    form->FindChosen(0);
    form->command(Command::PlanTour)->trigger();
    auto* sources = bar()->findChild<QComboBox*>(QStringLiteral("JourneyStops"));
    sources->setCurrentIndex(0);
    QLineEdit* query = field("JourneyQuery");
    query->clear();
    QTest::keyClicks(query, "Zedmoor");
    QTest::keyClick(query, Qt::Key_Return);
    ASSERT_EQ(totals(), "No place is left to visit there.");
    QTest::keyClick(from, Qt::Key_End);
    QTest::keyClick(from, Qt::Key_Space); // the start is no part of the choice
    from->completer()->popup()->hide();
    EXPECT_EQ(totals(), "No place is left to visit there.");
    QTest::keyClick(query, Qt::Key_Backspace);
    EXPECT_TRUE(totals().isEmpty()) << totals().toStdString();
}

/** A place whose name is longer than a field is wide. */
class JourneyLongNameTest : public JourneyTest {
protected:
    void SetUp() override
    {
        writeLocations({locationRecord("The Sunken Cloisters of the Amberwell Deeps", 0, 0, 0),
                        locationRecord("Brisk", 0, 10000, 0),
                        locationRecord("Old Harbour Gate of the Windward Marches", 0, 20000, 0)});
        world.write(QStringLiteral("routes.gdb"), "");
        openActive();
    }
    /** The position of the character at the left of a field's text, as it is shown. */
    static int firstShown(QLineEdit* f)
    {
        f->grab(); // lays the text out as a paint does, scrolled to show the cursor
        return f->cursorPositionAt(QPoint(f->height() / 2, f->height() / 2));
    }
};

TEST_F(JourneyLongNameTest, AFieldTheProgramFillsShowsTheBeginningOfTheName)
{
    form->FindChosen(0);
    form->command(Command::PlanRoute)->trigger();
    QLineEdit* from = field("JourneyFrom");
    QLineEdit* to = field("JourneyTo");
    ASSERT_EQ(from->text(), "The Sunken Cloisters of the Amberwell Deeps");
    ASSERT_GT(from->fontMetrics().horizontalAdvance(from->text()), from->width()); // too long to show whole
    EXPECT_LE(firstShown(from), 1) << "From, filled with the selected place";

    QTest::keyClicks(to, "windward");
    to->completer()->popup()->hide();
    QTest::keyClick(to, Qt::Key_Return);
    ASSERT_EQ(to->text(), "Old Harbour Gate of the Windward Marches");
    EXPECT_LE(firstShown(to), 1) << "To, completed by Enter";
    EXPECT_LE(firstShown(from), 1) << "From, after Enter";
    // The whole name is selected: what the user types next replaces it.
    EXPECT_EQ(to->selectedText(), to->text());

    // Opened again with the focus in the filled To.
    QTest::keyClick(to, Qt::Key_Escape);
    form->command(Command::PlanRoute)->trigger();
    ASSERT_TRUE(to->hasFocus());
    EXPECT_LE(firstShown(to), 1) << "To, on opening again";
    EXPECT_EQ(to->selectedText(), to->text());
}

TEST_F(JourneyTest, TheBarKeepsToOneRowOfFieldsAndItsLegsFoldAway)
{
    form->resize(640, 480); // a small window
    QCoreApplication::processEvents();
    planTo("Isle of Dunmar");
    ASSERT_EQ(legs()->count(), 3);
    EXPECT_EQ(field("JourneyFrom")->y(), field("JourneyTo")->y());
    EXPECT_TRUE(legs()->isVisible());
    const int open = bar()->height();
    EXPECT_LE(open, panel()->height() / 2);

    auto* fold = bar()->findChild<QToolButton*>(QStringLiteral("JourneyShowLegs"));
    ASSERT_NE(fold, nullptr);
    EXPECT_FALSE(fold->accessibleName().isEmpty());
    fold->setFocus();
    QTest::keyClick(fold, Qt::Key_Space);
    EXPECT_FALSE(legs()->isVisible());
    EXPECT_LT(bar()->height(), open);
    // A new plan keeps them folded.
    planTo("Corran");
    EXPECT_EQ(legs()->count(), 2);
    EXPECT_FALSE(legs()->isVisible());
    fold->setFocus();
    QTest::keyClick(fold, Qt::Key_Space);
    EXPECT_TRUE(legs()->isVisible());
}

TEST_F(JourneyTest, TheNavigatorStandsBelowTheBarWhileItShows)
{
    // Both keep to the panel's top-right corner; the overview gives way to the bar as it
    // opens, grows with its legs, folds them and closes.
    form->resize(800, 700);
    form->command(Command::Navigator)->trigger();
    const NavigatorView& nav = form->orientation().navigator();
    ASSERT_TRUE(nav.isVisible());
    const auto barOnPanel
        = [&] { return QRect(panel()->mapFromGlobal(bar()->mapToGlobal(QPoint(0, 0))), bar()->size()); };
    const auto clearOfTheBar = [&] {
        QCoreApplication::processEvents();
        return nav.geometry().top() == barOnPanel().bottom() + 1 + NavigatorView::Margin
               && nav.geometry().right() == panel()->width() - 1 - NavigatorView::Margin;
    };
    EXPECT_EQ(nav.geometry().top(), NavigatorView::Margin);
    planTo("Isle of Dunmar");
    ASSERT_TRUE(legs()->isVisible());
    EXPECT_TRUE(clearOfTheBar()) << "below the bar with its legs";
    auto* fold = bar()->findChild<QToolButton*>(QStringLiteral("JourneyShowLegs"));
    fold->setFocus();
    QTest::keyClick(fold, Qt::Key_Space);
    EXPECT_TRUE(clearOfTheBar()) << "up with the folded bar";
    QTest::keyClick(fold, Qt::Key_Escape);
    ASSERT_FALSE(bar()->isVisible());
    EXPECT_EQ(nav.geometry().top(), NavigatorView::Margin) << "back in the corner";
}

TEST_F(JourneyTest, NAndPStepThroughTheLegsFromEveryControlOfTheBarAndCentreEach)
{
    planTo("Isle of Dunmar");
    ASSERT_EQ(journey().legs.size(), 3u);
    const QPoint middle(panel()->width() / 2, panel()->height() / 2);
    // From the legs, and from buttons and check boxes too: the window's own N (the
    // navigator) waits while the bar has the focus, and nothing is pressed or toggled by
    // the letter.
    const struct {
        const char* control;
        Qt::Key key;
        int leg;
    } steps[] = {
        {"JourneyLegs", Qt::Key_N, 0},  {"JourneyLegs", Qt::Key_N, 1},     {"JourneyLegs", Qt::Key_N, 2},
        {"JourneyLegs", Qt::Key_N, 2},  {"JourneyLegs", Qt::Key_P, 1},     {"JourneyCopy", Qt::Key_P, 0},
        {"JourneyCopy", Qt::Key_N, 1},  {"JourneyShowLegs", Qt::Key_N, 2}, {"JourneyMode0", Qt::Key_P, 1},
        {"JourneyMode0", Qt::Key_N, 2}, {"JourneyClose", Qt::Key_N, 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.control) + (step.key == Qt::Key_N ? " N" : " P"));
        auto* control = bar()->findChild<QWidget*>(QLatin1String(step.control));
        ASSERT_NE(control, nullptr);
        auto* button = qobject_cast<QAbstractButton*>(control);
        const bool checked = button && button->isChecked();
        if (control != legs())
            control->setFocus(); // (the list, given the focus, would choose its first leg)
        QTest::keyClick(control, step.key);
        EXPECT_EQ(form->journey().session().currentLeg(), step.leg);
        EXPECT_EQ(legs()->currentRow(), step.leg);
        const JourneySession::LegView at = form->journey().session().legView(step.leg);
        const QPoint shown = form->view().mapToPanel(at.x, at.y);
        // Centred as Go centres, as far as the picture's edges allow.
        EXPECT_LE((shown - middle).manhattanLength(), 4);
        EXPECT_EQ(button && button->isChecked(), checked);
        EXPECT_FALSE(form->orientation().navigatorShown());
        EXPECT_TRUE(bar()->isVisible());
    }
}

/** A ship from the south straight north: centred, the leg's northern end lies under the bar. */
class JourneyHintTest : public JourneyTest {
protected:
    void SetUp() override
    {
        writeLocations({locationRecord("Strand", 0, 0, 0), locationRecord("Fell", 0, 0, 90000)});
        world.write(QStringLiteral("routes.gdb"), "the rout of\r\n   nm = Strand\r\n2 Fell\r\nend\r\n");
        openActive();
    }
};

TEST_F(JourneyHintTest, ThePointersHintKeepsOffTheBar)
{
    // A wide window: the bar stands in the map's top right corner, with map to its left.
    const auto openBar = [&] {
        form->resize(1200, 800);
        planTo("Fell");
        ASSERT_TRUE(bar()->isVisible());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return bar()->mapToGlobal(QPoint(0, 0)).x() - panel()->mapToGlobal(QPoint(0, 0)).x() > 100; }));
    };
    const auto barOnPanel
        = [&] { return QRect(panel()->mapFromGlobal(bar()->mapToGlobal(QPoint(0, 0))), bar()->size()); };
    // Where is a panel point just left of the bar's top? Put Cove there: its hint, 10
    // right of and 5 below the pointer, would reach onto the bar.
    openBar();
    const QPoint wantedAt(barOnPanel().left() - 25, barOnPanel().top() + 10);
    const QPoint picture = form->view().panelToPicture(wantedAt);
    const QPoint cove = form->view().ScreenToMap(picture.x(), picture.y());
    close();
    writeLocations({locationRecord("Strand", 0, 0, 0), locationRecord("Fell", 0, 0, 90000),
                    locationRecord("Cove", 0, cove.x(), cove.y())});
    openActive();
    openBar();
    const QPoint at = form->view().mapToPanel(cove.x(), cove.y());
    ASSERT_LT((at - wantedAt).manhattanLength(), 3);

    if (!form->session().settings().ShowHint)
        QTest::mouseClick(ui().ToolButtonHint, Qt::LeftButton);
    ASSERT_TRUE(form->session().settings().ShowHint);
    moveTo(at + QPoint(-30, 30));
    moveTo(at);
    ASSERT_TRUE(form->hover().shown());
    const std::vector<QRect> shown = shownHints();
    ASSERT_EQ(shown.size(), 1u);
    const QPoint origin = panel()->mapToGlobal(QPoint(0, 0));
    // Where the pointer's hint stands elsewhere would cover the bar; this one does not.
    ASSERT_TRUE(QRect(origin + at + QPoint(10, 5), shown[0].size()).intersects(barOnPanel().translated(origin)));
    EXPECT_FALSE(shown[0].intersects(barOnPanel().translated(origin)));
    EXPECT_TRUE(QRect(origin, panel()->size()).contains(shown[0]));
}

TEST_F(JourneyTest, ALegsHintsKeepOffTheBarAndOffEachOther)
{
    // Worlds of one leg whose two places' hints, standing where the pointer's would (10
    // right of and 5 below each place), would cover the bar or each other.
    enum Trouble { UnderTheBar, OnEachOther };
    const struct {
        const char* what;
        QByteArray places;
        QByteArray routes;
        Trouble trouble;
    } worlds[] = {
        {"a ship straight north: centred, its northern end lies under the bar",
         locationRecord("Strand", 0, 0, 0) + locationRecord("Fell", 0, 0, 90000),
         "the rout of\r\n   nm = Strand\r\n2 Fell\r\nend\r\n", UnderTheBar},
        {"a walk of a few pixels", locationRecord("Strand", 0, 0, 0) + locationRecord("Fell", 0, 300, 200), "",
         OnEachOther},
    };
    for (const auto& w : worlds) {
        SCOPED_TRACE(w.what);
        close();
        world.write(QStringLiteral("vdmain.gdb"), w.places);
        world.write(QStringLiteral("routes.gdb"), w.routes);
        openActive();
        planTo("Fell");
        ASSERT_EQ(journey().legs.size(), 1u);
        QTest::keyClick(legs(), Qt::Key_N);
        const QPoint origin = panel()->mapToGlobal(QPoint(0, 0));
        const QRect barRect(bar()->mapToGlobal(QPoint(0, 0)), bar()->size());
        const auto wanted = [&](int place) {
            const Location& l = form->world().locations()[std::size_t(place)];
            return origin + form->view().mapToPanel(l.X, l.Y) + QPoint(10, 5);
        };
        const QPoint strand = wanted(journey().legs[0].from), fell = wanted(journey().legs[0].to);
        const std::vector<QRect> shown = shownHints();
        ASSERT_EQ(shown.size(), 2u);
        for (const QRect& hint : shown)
            EXPECT_FALSE(hint.intersects(barRect));
        EXPECT_FALSE(shown[0].intersects(shown[1]));
        if (w.trouble == OnEachOther) {
            ASSERT_TRUE(QRect(strand, shown[0].size()).intersects(QRect(fell, shown[1].size())));
            continue;
        }
        ASSERT_TRUE(barRect.contains(fell));
        ASSERT_FALSE(barRect.contains(strand));
        // Strand's stays where the pointer's would; Fell's moves straight down off the bar.
        const auto at = [&](QPoint p) {
            return std::count_if(shown.begin(), shown.end(), [&](const QRect& r) { return r.topLeft() == p; });
        };
        EXPECT_EQ(at(strand), 1);
        EXPECT_EQ(at(QPoint(fell.x(), barRect.bottom() + 1)), 1);
    }
}

TEST_F(JourneyTest, EscapeClosesTheBarAndTakesTheDrawingAway)
{
    form->FindChosen(0); // the view the planning starts from
    const QImage before = form->canvas().backBuffer().copy();
    planTo("Isle of Dunmar");
    EXPECT_NE(rgb(form->canvas().backBuffer()), rgb(before));
    QTest::keyClick(field("JourneyTo"), Qt::Key_Escape);
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_TRUE(journey().legs.empty());
    EXPECT_EQ(rgb(form->canvas().backBuffer()), rgb(before));
    // Opened again, for a route or a tour, the bar lists no journey that is gone.
    for (const Command open : {Command::PlanRoute, Command::PlanTour}) {
        form->command(open)->trigger();
        EXPECT_TRUE(totals().isEmpty()) << totals().toStdString();
        EXPECT_EQ(legs()->count(), 0);
        EXPECT_FALSE(bar()->findChild<QPushButton*>(QStringLiteral("JourneyCopy"))->isEnabled());
    }
}

TEST_F(JourneyTest, ARouteChangesNoStoredByteBeyondTheViewShown)
{
    // What a run leaves of the settings, the user's statuses and the markers, when it plans
    // nothing and when it plans and closes a route: the same bytes. A route shown, and
    // each leg stepped to, is centred as Go centres a place, so the view stored at the end
    // is the one last shown; nothing else changes.
    const QStringList files{world.appPath(QStringLiteral("qor.ini")), world.path(QStringLiteral("user.gdb")),
                            world.path(QStringLiteral("markers.gdb"))};
    const auto snapshot = [&] {
        QList<QByteArray> bytes;
        for (const QString& f : files)
            bytes << (QFile::exists(f) ? readFile(f) : QByteArray("(none)"));
        return bytes;
    };
    const auto restore = [&](const QList<QByteArray>& bytes) {
        for (qsizetype k = 0; k < files.size(); ++k) {
            QFile::remove(files[k]);
            if (bytes[k] != "(none)") {
                QFile f(files[k]);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write(bytes[k]);
            }
        }
    };
    const auto withoutView = [](const QByteArray& ini) {
        QByteArray kept;
        for (const QByteArray& line : ini.split('\n'))
            if (!line.startsWith("Zoom=") && !line.startsWith("CenterX=") && !line.startsWith("CenterY="))
                kept += line + '\n';
        return kept;
    };
    close();
    const QList<QByteArray> start = snapshot();
    open();
    close();
    const QList<QByteArray> described = snapshot();

    for (const bool step : {false, true}) {
        SCOPED_TRACE(step ? "stepped" : "planned only");
        restore(start);
        open();
        planTo("Isle of Dunmar");
        ASSERT_EQ(journey().legs.size(), 3u);
        if (step) {
            QTest::keyClick(legs(), Qt::Key_N);
            QTest::keyClick(legs(), Qt::Key_N);
            QTest::keyClick(legs(), Qt::Key_P);
        }
        QTest::keyClick(field("JourneyTo"), Qt::Key_Escape);
        ASSERT_FALSE(bar()->isVisible());
        close();
        const QList<QByteArray> planned = snapshot();
        EXPECT_EQ(planned[1], described[1]) << "user.gdb";
        EXPECT_EQ(planned[2], described[2]) << "markers.gdb";
        EXPECT_FALSE(planned[0].contains("[Journey]"));
        EXPECT_EQ(withoutView(planned[0]).toStdString(), withoutView(described[0]).toStdString()) << "qor.ini";
    }
}

TEST_F(JourneyTest, CopyRoutePutsTheLegsOnTheClipboard)
{
    planTo("Isle of Dunmar");
    bar()->findChild<QPushButton*>(QStringLiteral("JourneyCopy"))->click();
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(text.startsWith("Ardel \u2192 Isle of Dunmar\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("2. Brisk \u2192 Corran: walk"));
}

TEST_F(JourneyTest, TheMapWithARouteIsWhatTheRendererPaints)
{
    planTo("Isle of Dunmar");
    ASSERT_EQ(journey().legs.size(), 3u);
    // At the level the window opened at, and at the farthest, where two legs' numbers
    // would touch and one is left out.
    for (const bool farthest : {false, true}) {
        SCOPED_TRACE(farthest ? "farthest level" : "level opened at");
        while (farthest && form->view().zoomIndex() > 0)
            QTest::mouseClick(ui().ToolButtonZoomOut, Qt::LeftButton);
        form->RepaintMap();
        const QImage shown = form->canvas().backBuffer();
        const QString rendered = world.path("route.png");
        QProcess p;
        p.start(QStringLiteral(VDM_RENDER_PROGRAM),
                {world.dir(), rendered, QStringLiteral("--zoom"), QString::number(form->view().zoomIndex()),
                 QStringLiteral("--size"), QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height()),
                 QStringLiteral("--scroll"),
                 QStringLiteral("%1,%2").arg(form->view().scroll().x()).arg(form->view().scroll().y()),
                 QStringLiteral("--route"), QStringLiteral("Ardel"), QStringLiteral("Isle of Dunmar")});
        ASSERT_TRUE(p.waitForFinished(60000)); // a bound against a hang
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_TRUE(rgb(shown) == rgb(QImage(rendered)));
    }
    EXPECT_EQ(form->view().zoomIndex(), 0);
}

TEST_F(JourneyTest, FarOutNoLegNumberCoversTheCurrentOne)
{
    planTo("Isle of Dunmar");
    ASSERT_EQ(journey().legs.size(), 3u);
    const auto zoomOut = [&] {
        while (form->view().zoomIndex() > 0)
            QTest::mouseClick(ui().ToolButtonZoomOut, Qt::LeftButton);
        ASSERT_EQ(form->view().zoomIndex(), 0);
    };
    zoomOut();
    const auto discAt = [&](std::size_t k) {
        const Location& a = form->world().locations()[std::size_t(journey().legs[k].from)];
        const Location& b = form->world().locations()[std::size_t(journey().legs[k].to)];
        return JourneyPainter::numberAt({form->view().mapToPanel(a.X, a.Y), form->view().mapToPanel(b.X, b.Y)});
    };
    // The two walks are shorter here than a disc is wide.
    ASSERT_LT(QLineF(discAt(0), discAt(1)).length(), 2 * JourneyPainter::DiscRadius);
    // A disc is whole when no pixel of its outline shows another disc's filling.
    const auto whole = [&](std::size_t k) {
        const QImage shown = form->canvas().backBuffer();
        const QPointF centre = discAt(k);
        for (int step = 0; step < 32; ++step) {
            const double angle = step * M_PI / 16;
            const QPoint p(int(std::floor(centre.x() + (JourneyPainter::DiscRadius * std::cos(angle)))),
                           int(std::floor(centre.y() + (JourneyPainter::DiscRadius * std::sin(angle)))));
            const QRgb seen = shown.valid(p) ? shown.pixel(p) | 0xff000000u : 0;
            if (seen == JourneyPainter::Core || seen == JourneyPainter::Current)
                return false;
        }
        return true;
    };
    const struct {
        Qt::Key key;
        int leg;
    } steps[] = {{Qt::Key_N, 0}, {Qt::Key_N, 1}, {Qt::Key_N, 2}, {Qt::Key_P, 1}, {Qt::Key_P, 0}};
    for (const auto& step : steps) {
        QTest::keyClick(legs(), step.key); // centres the leg, nearer in
        ASSERT_EQ(form->journey().session().currentLeg(), step.leg);
        zoomOut();
        EXPECT_TRUE(whole(std::size_t(step.leg))) << "the current leg " << step.leg;
        // Every other leg's number is whole too, or left out for one that is, close by.
        for (std::size_t k = 0; k < journey().legs.size(); ++k) {
            bool made = whole(k);
            for (std::size_t other = 0; !made && other < journey().legs.size(); ++other)
                made = other != k && whole(other)
                       && QLineF(discAt(k), discAt(other)).length() < 2 * JourneyPainter::DiscRadius + 2;
            EXPECT_TRUE(made) << "leg " << k << " with leg " << step.leg << " current";
        }
    }
}

TEST_F(JourneyTest, AScrollWithARouteShowsTheMapAndTheRouteWhereTheyBelong)
{
    planTo("Isle of Dunmar");
    ASSERT_FALSE(journey().legs.empty());
    // The level where this small picture moves with a scroll pixel for pixel.
    while (form->view().zoomIndex() > 1)
        QTest::mouseClick(ui().ToolButtonZoomOut, Qt::LeftButton);
    while (form->view().zoomIndex() < 1)
        QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    MapPainter reference;
    const auto expected = [&] {
        GoHighlight h = form->highlight();
        const World& w = form->world();
        QImage image = reference.paint(MapScene{form->view(), w.picture(), w.locations(), w.markers(),
                                                form->session().settings(), form->session().objects(), h, &w.index()});
        JourneyPainter::paint(image, form->view(), w.locations(), journey(), form->journey().session().currentLeg());
        return image;
    };
    int moved = 0;
    for (const auto action : {QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepAdd,
                              QAbstractSlider::SliderSingleStepSub, QAbstractSlider::SliderPageStepAdd}) {
        for (QScrollBar* scrollBar : {ui().ScrollBarH, ui().ScrollBarV}) {
            const QPoint before = form->view().scroll();
            scrollBar->triggerAction(action);
            ASSERT_NE(form->view().scroll(), before);
            moved += form->canvas().lastKind() == ScrollReuse::Kind::Moved;
            ASSERT_TRUE(rgb(form->canvas().backBuffer()) == rgb(expected()));
        }
    }
    EXPECT_GT(moved, 0); // the map moved, the route was laid again where it belongs
    // Another leg becomes the current one: the same view shows it emphasised, nothing else.
    bar()->setFocus();
    QTest::keyClick(legs(), Qt::Key_Down);
    form->RepaintMap();
    EXPECT_TRUE(rgb(form->canvas().backBuffer()) == rgb(expected()));
}

TEST_F(JourneyTest, ATourKeepsItsOrderWhileItsStopsAreTickedOff)
{
    form->FindChosen(0);
    form->command(Command::PlanTour)->trigger();
    ASSERT_TRUE(bar()->isVisible());
    EXPECT_TRUE(bar()->plansTour());
    EXPECT_FALSE(field("JourneyTo")->isVisible());
    auto* sources = bar()->findChild<QComboBox*>(QStringLiteral("JourneyStops"));
    ASSERT_NE(sources, nullptr);
    EXPECT_EQ(sources->accessibleName(), "Stops");
    EXPECT_EQ(sources->itemText(0), "Places quick find matches");
    EXPECT_EQ(sources->itemText(1), "Places in view");
    sources->setCurrentIndex(0);
    QLineEdit* query = field("JourneyQuery");
    QTest::keyClicks(query, "r"); // every place; Ardel, the start, is no stop
    QTest::keyClick(query, Qt::Key_Return);

    const JourneySession& session = form->journey().session();
    ASSERT_TRUE(session.hasTour());
    const std::vector<int> order = session.tour().stops();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_TRUE(totals().startsWith("Tour of 3 stops, 0 done")) << totals().toStdString();
    ASSERT_GE(legs()->count(), 3);

    // The user marks the first stop visited: it shows as done, the order stays.
    form->FindChosen(order[0]);
    bar()->hide(); // out of the pointer's way on this small panel; the tour stays planned
    const Location& stop = form->world().locations()[std::size_t(order[0])];
    doubleClickAt(form->view().mapToPanel(stop.X, stop.Y));
    ASSERT_TRUE(ui().GBLoc->isEnabled());
    QApplication::processEvents();
    std::vector<ScrollReuse::Kind> kinds;
    const QMetaObject::Connection spy
        = QObject::connect(ui().PanelMap, &TMapPanel::painted, [&] { kinds.push_back(form->canvas().lastKind()); });
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    bar()->show();
    ASSERT_EQ(form->world().locations()[std::size_t(order[0])].Status, Visited);
    form->RepaintMap();
    QObject::disconnect(spy);
    // The drawn tour's done stops follow the statuses: the status edit paints the whole panel.
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds.front(), ScrollReuse::Kind::Whole);
    {
        GoHighlight h = form->highlight();
        const World& w = form->world();
        MapPainter reference;
        QImage image = reference.paint(MapScene{form->view(), w.picture(), w.locations(), w.markers(),
                                                form->session().settings(), form->session().objects(), h, &w.index()});
        JourneyPainter::paint(image, form->view(), w.locations(), journey(), session.currentLeg());
        EXPECT_TRUE(rgb(form->canvas().backBuffer()) == rgb(image));
    }
    EXPECT_EQ(session.tour().stops(), order);
    EXPECT_TRUE(session.tour().done(0));
    EXPECT_TRUE(totals().startsWith("Tour of 3 stops, 1 done")) << totals().toStdString();
    int ticked = 0;
    for (int k = 0; k < legs()->count(); ++k)
        ticked += legs()->item(k)->text().startsWith(QString::fromUtf8("\u2713 "));
    EXPECT_EQ(ticked, 1);

    // With nothing left in the choice, the bar says so and draws nothing.
    query->clear();
    QTest::keyClicks(query, "Brisk");
    if (order[0] == 1) {
        QTest::keyClick(query, Qt::Key_Return);
        EXPECT_EQ(totals(), "No place is left to visit there.");
        EXPECT_TRUE(session.journey().legs.empty());
    }
}

/** The sample world (its places, routes and statuses; the test's own pictures). */
class JourneySampleWorldTest : public JourneyTest {
protected:
    void SetUp() override
    {
        worldgen::Options o;
        o.pictures = false;
        o.readmes = false;
        worldgen::generate(world.dir(), o);
        openActive();
    }
};

TEST_F(JourneySampleWorldTest, ARouteTypedSteppedAndARegionsTourTickedOff)
{
    // Two names typed in part, Enter: the quickest way drawn and listed.
    const LocationList& places = form->world().locations();
    const int from = 0, to = int(places.size()) - 1;
    const QString fromName = CodePage::decode(places[std::size_t(from)].Name);
    const QString toName = CodePage::decode(places[std::size_t(to)].Name);
    form->command(Command::PlanRoute)->trigger();
    for (const bool isTo : {false, true}) {
        QLineEdit* f = field(isTo ? "JourneyTo" : "JourneyFrom");
        f->clear();
        QTest::keyClicks(f, (isTo ? toName : fromName).toLower()); // as typed, in any case
        f->completer()->popup()->hide();
    }
    QTest::keyClick(field("JourneyTo"), Qt::Key_Return);
    ASSERT_EQ(journey().start, from);
    ASSERT_EQ(journey().target, to);
    ASSERT_TRUE(journey().reached);
    ASSERT_FALSE(journey().legs.empty());
    EXPECT_EQ(field("JourneyFrom")->text(), fromName);
    EXPECT_EQ(field("JourneyTo")->text(), toName);
    EXPECT_EQ(legs()->count(), int(journey().legs.size()));
    EXPECT_TRUE(totals().startsWith(QStringLiteral("%1 leg").arg(journey().legs.size()))) << totals().toStdString();
    const QImage drawn = form->canvas().backBuffer().copy();
    int route = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            route += (drawn.pixel(x, y) | 0xff000000u) == JourneyPainter::Core;
    EXPECT_GT(route, 20) << "the route is drawn";
    // N steps to the first leg and centres it.
    QTest::keyClick(legs(), Qt::Key_N);
    EXPECT_EQ(form->journey().session().currentLeg(), 0);
    const JourneySession::LegView at = form->journey().session().legView(0);
    EXPECT_LE(
        (form->view().mapToPanel(at.x, at.y) - QPoint(panel()->width() / 2, panel()->height() / 2)).manhattanLength(),
        4);

    // A tour of the unvisited places of the start's region, from the start.
    QTest::keyClick(field("JourneyTo"), Qt::Key_Escape);
    form->FindChosen(from);
    form->command(Command::PlanTour)->trigger();
    auto* sources = bar()->findChild<QComboBox*>(QStringLiteral("JourneyStops"));
    const InternedText region = places[std::size_t(from)].Region;
    const int regionChoice
        = sources->findText(QStringLiteral("Region: ") + CodePage::decode(region.view().trimmed()), Qt::MatchExactly);
    ASSERT_GE(regionChoice, 0);
    sources->setCurrentIndex(regionChoice);
    sources->setFocus();
    QTest::keyClick(sources, Qt::Key_Return);
    const JourneySession& session = form->journey().session();
    ASSERT_TRUE(session.hasTour());
    const std::vector<int> order = session.tour().stops();
    ASSERT_GE(order.size(), 2u);
    for (const int stop : order) {
        EXPECT_EQ(places[std::size_t(stop)].Region, region) << stop;
        EXPECT_NE(places[std::size_t(stop)].Status, Visited) << stop;
    }
    EXPECT_TRUE(totals().startsWith(QStringLiteral("Tour of %1 stops, 0 done").arg(order.size())))
        << totals().toStdString();

    // The user ticks the second stop off: it shows as done, the order stays.
    form->FindChosen(order[1]);
    bar()->hide(); // out of the pointer's way; the tour stays planned
    const Location& stop = places[std::size_t(order[1])];
    doubleClickAt(form->view().mapToPanel(stop.X, stop.Y));
    ASSERT_TRUE(ui().GBLoc->isEnabled());
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    bar()->show();
    ASSERT_EQ(places[std::size_t(order[1])].Status, Visited);
    form->RepaintMap();
    EXPECT_EQ(session.tour().stops(), order);
    EXPECT_FALSE(session.tour().done(0));
    EXPECT_TRUE(session.tour().done(1));
    EXPECT_TRUE(totals().startsWith(QStringLiteral("Tour of %1 stops, 1 done").arg(order.size())))
        << totals().toStdString();
}

} // namespace
} // namespace vdm::test
