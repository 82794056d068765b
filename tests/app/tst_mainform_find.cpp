// SPDX-License-Identifier: MIT
// Quick find and the More menu on the real main window: Ctrl+F, typing, the hit list,
// Up/Down, Enter taking Go's path, Escape giving the focus back.
#include "app/mainformfixture.h"
#include "app/windowcommands.h"
#include "common/testutils.h"
#include "edit/progresstext.h"

#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include "dialogs/formoptions.h"
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>

namespace vdm::test {
namespace {

/** A record whose two lines after the name hold a region and a kind. */
QByteArray place(const QByteArray& name, const QByteArray& region, const QByteArray& kind, int level, int x, int y)
{
    return "[loc]\r\nname: " + name + "\r\nregn: " + region + "\r\nkind: " + kind
           + "\r\nlevl: " + QByteArray::number(level) + "\r\nfolk: 0\r\nland: x\r\nposn: " + QByteArray::number(x) + ","
           + QByteArray::number(y) + "\r\n";
}

QByteArray userBlock(const QByteArray& name, int status, const QByteArray& note)
{
    return "loc\r\n   nm = " + name + "\r\n   status = " + QByteArray::number(status) + "\r\n   note = " + note
           + "\r\nend\r\n";
}

class FindTest : public MainFormTest {
protected:
    static constexpr int AlphaIndex = 0, EcluseIndex = 1, MeresbyIndex = 2;

    TMainForm& openWorld()
    {
        writeLocations({place("Alpha", "Ashen Vale", "town", 0, 0, 0),
                        place("\xC9"
                              "cluse",
                              "Gr\xFCn Weald", "castle", 3, 60000, 100000),
                        place("Meresby", "Salt Reach", "port", 1, -40000, 20000)});
        world.write(QStringLiteral("user.gdb"), userBlock("Alpha", 1, "")
                                                    + userBlock("\xC9"
                                                                "cluse",
                                                                2, "the dragon sleeps")
                                                    + userBlock("Meresby", 3, ""));
        TMainForm& f = open();
        f.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
        panel()->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel()->hasFocus(); }, 2000));
        return f;
    }
    QWidget* bar() const { return form->findChild<QWidget*>(QStringLiteral("FindBar")); }
    QLineEdit* field() const { return form->findChild<QLineEdit*>(QStringLiteral("FindEdit")); }
    QListWidget* hits() const { return form->findChild<QListWidget*>(QStringLiteral("FindHits")); }
    QString count() const { return form->findChild<QLabel*>(QStringLiteral("FindCount"))->text(); }
    QStringList hitTexts() const
    {
        QStringList out;
        for (int i = 0; i < hits()->count(); ++i)
            out << hits()->item(i)->text();
        return out;
    }
    void ctrlF() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier); }
    void type(const QString& text)
    {
        field()->selectAll();
        QTest::keyClick(field(), Qt::Key_Delete);
        QTest::keyClicks(field(), text);
    }
};

TEST_F(FindTest, CtrlFOpensTheFieldAndEnterTakesTheGoPath)
{
    TMainForm& f = openWorld();
    ASSERT_NE(bar(), nullptr);
    EXPECT_FALSE(bar()->isVisible());
    ctrlF();
    ASSERT_TRUE(bar()->isVisible());
    EXPECT_TRUE(field()->hasFocus());

    // A word of the note finds the place; the hit shows its two lines.
    type(QStringLiteral("DRAGON"));
    ASSERT_EQ(hits()->count(), 1);
    EXPECT_EQ(hits()->item(0)->text(), QString::fromUtf8("\u00C9cluse \u2014 Gr\u00FCn Weald \u00B7 castle"));
    EXPECT_EQ(count(), QStringLiteral("1 place"));
    EXPECT_EQ(f.view().zoomIndex(), 0);

    QTest::keyClick(field(), Qt::Key_Return);
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(f.editor().SelectedIndex(), EcluseIndex);
    EXPECT_EQ(ui().CBLoc->currentText(), QString::fromUtf8("\u00C9cluse"));
    EXPECT_EQ(ui().GBLoc->title(), QString::fromUtf8(" \u00C9cluse "));
    EXPECT_TRUE(ui().SBA->isChecked());
    EXPECT_EQ(f.view().zoomIndex(), Viewport::goTargetIndex(3));
    EXPECT_EQ(f.highlight().index(), EcluseIndex);
    const Viewport& v = f.view();
    EXPECT_EQ(QPoint(v.scrollX(), v.scrollY()),
              v.MapToScreen(60000, 100000) - QPoint(v.panel().width() / 2, v.panel().height() / 2));
    EXPECT_TRUE(panel()->hasFocus()); // the focus went back where it was
}

TEST_F(FindTest, TypingMatchesNamePartsCaseAndAccentsAndTheTwoLines)
{
    openWorld();
    ctrlF();
    const struct {
        const char* query;
        QStringList names; // the start of each hit, in list order
        const char* count;
    } rows[] = {
        {"ecluse", {"\u00C9cluse"}, "1 place"},
        {"\u00C9CL", {"\u00C9cluse"}, "1 place"},
        {"ere", {"Meresby"}, "1 place"},
        {"salt reach", {"Meresby"}, "1 place"},
        {"town", {"Alpha"}, "1 place"},
        {"grun", {"\u00C9cluse"}, "1 place"},
        {"a", {"Alpha", "\u00C9cluse", "Meresby"}, "3 places"},
        {"nowhere", {}, "No place found"},
        {"", {}, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.query);
        type(QString::fromUtf8(r.query));
        const QStringList texts = hitTexts();
        ASSERT_EQ(texts.size(), r.names.size());
        for (int i = 0; i < texts.size(); ++i)
            EXPECT_TRUE(texts[i].startsWith(QString::fromUtf8(r.names[i].toUtf8()))) << texts[i].toStdString();
        EXPECT_EQ(count(), QString::fromUtf8(r.count));
    }
}

TEST_F(FindTest, AScreenReaderHearsEachHitsStatusThatItsMarkShowsInColour)
{
    TMainForm& f = openWorld();
    ctrlF();
    type(QStringLiteral("a"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(hits());
    ASSERT_NE(list, nullptr);
    const char* const heard[] = {
        "Alpha \u2014 Ashen Vale \u00B7 town, unvisited",
        "\u00C9cluse \u2014 Gr\u00FCn Weald \u00B7 castle, active",
        "Meresby \u2014 Salt Reach \u00B7 port, visited",
    };
    ASSERT_EQ(list->childCount(), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(list->child(i), nullptr);
        EXPECT_EQ(list->child(i)->text(QAccessible::Name).toStdString(), heard[i]);
        EXPECT_TRUE(hits()->item(i)->text().startsWith(list->child(i)->text(QAccessible::Name).section(',', 0, 0)));
    }
    // A status set meanwhile is heard at the next search, as its mark shows it.
    ui().CBLoc->setCurrentIndex(ui().CBLoc->findText(QStringLiteral("Alpha")));
    f.CBLocChange();
    f.command(Command::OpenBox)->trigger();
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    ASSERT_EQ(f.world().locations()[AlphaIndex].Status, 3);
    ctrlF();
    type(QStringLiteral("alpha"));
    ASSERT_EQ(hits()->count(), 1);
    EXPECT_EQ(hits()->item(0)->data(Qt::AccessibleTextRole).toString().toStdString(),
              "Alpha \u2014 Ashen Vale \u00B7 town, visited");
}

TEST_F(FindTest, UpDownChooseAndEscapeClosesWithoutAChange)
{
    TMainForm& f = openWorld();
    ui().CBLoc->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().CBLoc->hasFocus(); }, 2000));
    const int selected = f.editor().SelectedIndex();
    const QPoint scroll(f.view().scrollX(), f.view().scrollY());

    ctrlF();
    type(QStringLiteral("a")); // Alpha (name start), Écluse and Meresby (their lines)
    ASSERT_EQ(hits()->count(), 3);
    EXPECT_EQ(hits()->currentRow(), 0);
    QTest::keyClick(field(), Qt::Key_Down);
    QTest::keyClick(field(), Qt::Key_Down);
    QTest::keyClick(field(), Qt::Key_Down); // stays on the last
    EXPECT_EQ(hits()->currentRow(), 2);
    QTest::keyClick(field(), Qt::Key_Up);
    EXPECT_EQ(hits()->currentRow(), 1);
    EXPECT_EQ(QPoint(f.view().scrollX(), f.view().scrollY()), scroll); // the arrows moved the list, not the map

    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_TRUE(ui().CBLoc->hasFocus());
    EXPECT_EQ(f.editor().SelectedIndex(), selected);
    EXPECT_EQ(f.view().zoomIndex(), 0);

    // Opened again, the field keeps its text, selected so that typing replaces it.
    ctrlF();
    EXPECT_EQ(field()->selectedText(), QStringLiteral("a"));
    QTest::keyClick(field(), Qt::Key_Down);
    QTest::keyClick(field(), Qt::Key_Enter);
    EXPECT_EQ(f.editor().SelectedIndex(), EcluseIndex);
}

TEST_F(FindTest, FollowsANoteTypedWhileTheProgramRuns)
{
    TMainForm& f = openWorld();
    doubleClickAt(f.view().mapToPanel(0, 0)); // opens Alpha's box, the focus in the note
    ASSERT_EQ(f.editor().SelectedIndex(), AlphaIndex);
    ASSERT_TRUE(ui().MemoNotes->hasFocus());
    QTest::keyClicks(ui().MemoNotes, "gold mine");
    ctrlF();
    type(QStringLiteral("gold"));
    ASSERT_EQ(hits()->count(), 1);
    EXPECT_TRUE(hits()->item(0)->text().startsWith(QStringLiteral("Alpha")));
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_TRUE(ui().MemoNotes->hasFocus());
    EXPECT_EQ(f.world().locations()[AlphaIndex].Note, QByteArray("gold mine"));
}

TEST_F(FindTest, ProgressLineCountsStatusesAndNamesThePlaceUnderThePointer)
{
    TMainForm& f = openWorld();
    const auto line = [&](int n) { return ui().LabelProgress->text().split(QLatin1Char('\n')).value(n); };
    EXPECT_EQ(line(0), QString::fromUtf8("Visited 1 · Active 1 · Unvisited 1 of 3"));

    // Alpha's box open (the double click also moved the pointer onto it), then Visited.
    const QPoint alpha = f.view().mapToPanel(0, 0);
    doubleClickAt(alpha);
    ASSERT_EQ(f.editor().SelectedIndex(), AlphaIndex);
    EXPECT_TRUE(line(1).endsWith(QString::fromUtf8(" · Alpha — Ashen Vale · town"))) << line(1).toStdString();
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    EXPECT_EQ(line(0), QString::fromUtf8("Visited 2 · Active 1 · Unvisited 0 of 3"));
    QTest::mouseClick(ui().SBU, Qt::LeftButton);
    EXPECT_EQ(line(0), QString::fromUtf8("Visited 1 · Active 1 · Unvisited 1 of 3"));

    // Over empty map: only the map point, as the view converts it.
    const QPoint empty = alpha + QPoint(60, 0);
    moveTo(empty);
    const QPoint picture = f.view().panelToPicture(empty);
    const QPoint map = f.view().ScreenToMap(picture.x(), picture.y());
    EXPECT_EQ(line(1), QStringLiteral("x %1, y %2").arg(groupedNumber(map.x()), groupedNumber(map.y())));
    EXPECT_NE(map.x(), 0);

    // A zoom under the still pointer: the line names the map point under it now.
    const int zoom = f.view().zoomIndex();
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    ASSERT_NE(f.view().zoomIndex(), zoom);
    const QPoint zoomedPicture = f.view().panelToPicture(empty);
    const QPoint zoomed = f.view().ScreenToMap(zoomedPicture.x(), zoomedPicture.y());
    ASSERT_NE(zoomed, map);
    EXPECT_EQ(line(1), QStringLiteral("x %1, y %2").arg(groupedNumber(zoomed.x()), groupedNumber(zoomed.y())));
}

TEST_F(FindTest, OptionsBulkEditsReachTheCountsAndTheSearch)
{
    TMainForm& f = openWorld();
    f.createDialogs();
    QDialog* options = f.formOptions();
    prompts.answers = {true, true}; // "There is no undo. Are you sure?" twice
    bool ran = false;
    QTimer::singleShot(0, options, [&] {
        ran = true;
        options->findChild<QPushButton*>(QStringLiteral("ButtonSetAllU"))->click();
        options->findChild<QPushButton*>(QStringLiteral("ButtonClearNotes"))->click();
        options->reject(); // the database buttons have acted all the same
    });
    QTest::mouseClick(ui().ToolButtonOptions, Qt::LeftButton);
    ASSERT_TRUE(ran);
    EXPECT_EQ(ui().LabelProgress->text().section(QLatin1Char('\n'), 0, 0),
              QString::fromUtf8("Visited 0 \u00B7 Active 0 \u00B7 Unvisited 3 of 3"));
    ctrlF();
    type(QStringLiteral("dragon"));
    EXPECT_EQ(hits()->count(), 0);
    EXPECT_EQ(count(), QStringLiteral("No place found"));
}

} // namespace
} // namespace vdm::test
