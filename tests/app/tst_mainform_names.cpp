// SPDX-License-Identifier: MIT
// What a screen reader reads: every control has a name, the box is named by its caption,
// the progress line and the find count by what they show, the list by its label, and the
// open More menu is in the application's tree. Changes are announced.
#include "app/mainformfixture.h"
#include "app/windowcommands.h"
#include "dialogs/formoptions.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QToolButton>

namespace vdm::test {
namespace {

QString nameOf(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

/** Controls a user reaches or reads: whatever takes the focus, every button, label with text, slider, box. */
bool bearsInformation(const QWidget* w)
{
    if (w->focusPolicy() != Qt::NoFocus)
        return true;
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return !label->text().isEmpty();
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w)
           || qobject_cast<const QGroupBox*>(w) || qobject_cast<const TMapPanel*>(w);
}

/** The named controls of `top` that show, with the ones whose name is empty. */
QStringList unnamed(QWidget* top)
{
    QStringList missing;
    for (QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(top) || !bearsInformation(w) || qobject_cast<QTabBar*>(w->parentWidget()))
            continue;
        if (nameOf(w).trimmed().isEmpty() || nameOf(w) == QLatin1String("...")) {
            QString where = w->metaObject()->className() + QStringLiteral(" ") + w->objectName();
            for (QWidget* p = w->parentWidget(); p && p != top; p = p->parentWidget())
                where += QStringLiteral(" in ") + p->metaObject()->className() + QStringLiteral(" ") + p->objectName();
            missing << where;
        }
    }
    return missing;
}

class NamesTest : public MainFormTest {
protected:
    TMainForm& openWorld()
    {
        TMainForm& f = openAlphaAndBeta();
        ui().PanelMap->setFocus();
        return f;
    }
};

TEST_F(NamesTest, EveryControlAUserReachesOrReadsHasAName)
{
    TMainForm& f = openWorld();
    f.createDialogs();
    f.command(Command::Find)->trigger(); // the find bar shows too
    QTest::keyClicks(QApplication::focusWidget(), "a");
    EXPECT_EQ(unnamed(&f).join(QStringLiteral("; ")).toStdString(), "");
    EXPECT_EQ(unnamed(f.formOptions()).join(QStringLiteral("; ")).toStdString(), "");
    f.command(Command::Shortcuts)->trigger();
    auto* shortcuts = f.findChild<QDialog*>(QStringLiteral("FormShortcuts"));
    ASSERT_NE(shortcuts, nullptr);
    EXPECT_EQ(unnamed(shortcuts).join(QStringLiteral("; ")).toStdString(), "");
    shortcuts->reject();

    const struct {
        QWidget* widget;
        const char* name;
    } named[] = {
        {ui().PanelMap, "Map"},
        {ui().ScrollBarH, "Scroll the map left and right"},
        {ui().ScrollBarV, "Scroll the map up and down"},
        {f.formOptions()->findChild<QWidget*>(QStringLiteral("ButtonU")), "Unvisited colour"},
        {f.formOptions()->findChild<QWidget*>(QStringLiteral("EditLL")), "Caption length for locations"},
    };
    for (const auto& n : named)
        EXPECT_EQ(nameOf(n.widget), QLatin1String(n.name));
}

TEST_F(NamesTest, EveryBarOverTheMapNamesItsControls)
{
    TMainForm& f = openWorld();
    // The filter, the navigator and the journey bar with a route planned, then with a tour.
    f.command(Command::Filter)->trigger();
    f.command(Command::Navigator)->trigger();
    f.command(Command::PlanRoute)->trigger();
    auto* to = f.findChild<QLineEdit*>(QStringLiteral("JourneyTo"));
    ASSERT_NE(to, nullptr);
    to->setText(QStringLiteral("Beta"));
    QTest::keyClick(to, Qt::Key_Return);
    EXPECT_EQ(unnamed(&f).join(QStringLiteral("; ")).toStdString(), "");
    // The totals read as they show, the route's or the problem's.
    auto* totals = f.findChild<QLabel*>(QStringLiteral("JourneyTotals"));
    ASSERT_NE(totals, nullptr);
    EXPECT_TRUE(totals->text().contains(QStringLiteral("Beta"))) << totals->text().toStdString();
    EXPECT_EQ(nameOf(totals), totals->text());
    to->setText(QStringLiteral("Nowhere"));
    QTest::keyClick(to, Qt::Key_Return);
    EXPECT_EQ(nameOf(totals), QStringLiteral("No place is named \u201cNowhere\u201d."));
    f.command(Command::PlanTour)->trigger();
    EXPECT_EQ(unnamed(&f).join(QStringLiteral("; ")).toStdString(), "");
}

TEST_F(NamesTest, TheBoxIsNamedByItsCaptionAndTheMapSaysWhatIsUnderThePointer)
{
    TMainForm& f = openWorld();
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(ui().GBLoc);
    EXPECT_EQ(box->text(QAccessible::Name), QStringLiteral("Alpha"));
    EXPECT_EQ(box->text(QAccessible::Description), QStringLiteral("Selected location"));
    ui().CBLoc->setCurrentIndex(1);
    f.CBLocChange();
    EXPECT_EQ(box->text(QAccessible::Name), QStringLiteral("Beta"));

    moveTo(f.view().mapToPanel(60000, 100000)); // over Beta
    const QString map = QAccessible::queryAccessibleInterface(ui().PanelMap)->text(QAccessible::Description);
    EXPECT_TRUE(map.startsWith(QStringLiteral("Zoom 10%"))) << map.toStdString();
    EXPECT_TRUE(map.endsWith(QStringLiteral(", Beta"))) << map.toStdString();
}

TEST_F(NamesTest, TheProgressLineReadsItsCountsAndFollowsAStatusChange)
{
    TMainForm& f = openWorld();
    QAccessibleInterface* line = QAccessible::queryAccessibleInterface(ui().LabelProgress);
    const QString before = line->text(QAccessible::Name);
    EXPECT_EQ(before, ui().LabelProgress->text().section(QLatin1Char('\n'), 0, 0));
    EXPECT_TRUE(before.startsWith(QStringLiteral("Visited 0"))) << before.toStdString();

    f.command(Command::OpenBox)->trigger();
    f.command(Command::MarkVisited)->trigger();
    EXPECT_TRUE(line->text(QAccessible::Name).startsWith(QStringLiteral("Visited 1"))) << before.toStdString();
}

TEST_F(NamesTest, TheFindCountSaysHowManyPlacesItFound)
{
    TMainForm& f = openWorld();
    f.command(Command::Find)->trigger();
    auto* count = f.findChild<QLabel*>(QStringLiteral("FindCount"));
    const struct {
        const char* typed;
        const char* name;
    } rows[] = {{"a", "2 places found"}, {"beta", "1 place found"}, {"zzz", "No place found"}};
    for (const auto& r : rows) {
        auto* field = f.findChild<QLineEdit*>(QStringLiteral("FindEdit"));
        field->setText(QString::fromUtf8(r.typed));
        EXPECT_EQ(nameOf(count), QLatin1String(r.name));
    }
}

TEST_F(NamesTest, TheListIsLabelledAndTheOpenMenuIsInTheTree)
{
    TMainForm& f = openWorld();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ui().CBLoc);
    QStringList labels;
    for (const auto& [iface, relation] : list->relations(QAccessible::Label))
        labels << iface->text(QAccessible::Name);
    EXPECT_TRUE(labels.contains(QStringLiteral("Location"))) << labels.join(QLatin1Char(',')).toStdString();

    QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
    const auto menuInTree = [&] {
        for (int i = 0; i < app->childCount(); ++i)
            if (app->child(i)->object() == f.commands().menu())
                return true;
        return false;
    };
    EXPECT_FALSE(menuInTree());
    f.command(Command::OpenMenu)->trigger();
    ASSERT_TRUE(f.commands().menu()->isVisible());
    EXPECT_TRUE(menuInTree());
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(f.commands().menu());
    QStringList entries;
    for (int i = 0; i < menu->childCount(); ++i)
        entries << menu->child(i)->text(QAccessible::Name);
    EXPECT_EQ(entries, (QStringList{QStringLiteral("Map"), QStringLiteral("Location"), QStringLiteral("Marker"),
                                    QStringLiteral("Tools")}));
    EXPECT_EQ(app->indexOfChild(menu), int(app->childCount()) - 1);
    f.commands().menu()->close();
    EXPECT_FALSE(menuInTree());
}

} // namespace
} // namespace vdm::test
