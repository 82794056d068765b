// SPDX-License-Identifier: MIT
// The settings file on the real main window: what a run restores, what it writes back,
// and the tool-bar band layout surviving a restart.
#include "app/coolbar.h"
#include "data/inifile.h"
#include "app/mainformfixture.h"
#include "common/testutils.h"

#include <QGuiApplication>
#include <QScreen>
#include <QToolButton>

#include <array>
#include <functional>
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

using Positions = std::array<QPoint, 4>;
const Positions kStoredLayout = {QPoint(55, 0), QPoint(54, 24), QPoint(55, 48), QPoint(201, 48)};

class SettingsRunTest : public MainFormTest {
protected:
    /** The settings file's text from the section's header up to the next section. */
    QByteArray section(const QByteArray& name) const
    {
        const QByteArray all = readFile(world.appPath(QStringLiteral("qor.ini")));
        const qsizetype start = all.indexOf("[" + name + "]");
        if (start < 0)
            return {};
        const qsizetype next = all.indexOf("\r\n[", start);
        return all.mid(start, next < 0 ? -1 : next + 2 - start);
    }
    int stored(const char* sectionName, const char* key, int missing = -99999) const
    {
        return IniFile(world.appPath(QStringLiteral("qor.ini")))
            .ReadInteger(QLatin1String(sectionName), QLatin1String(key), missing);
    }
    Positions toolBars() const
    {
        const Ui::TMainForm& u = form->ui();
        return {u.ToolBarMap->pos(), u.ToolBarLoc->pos(), u.ToolBarMarker->pos(), u.ToolBarOptions->pos()};
    }
    QPoint scroll() const { return {form->ui().ScrollBarH->value(), form->ui().ScrollBarV->value()}; }

    /** Drags a band by its header with the mouse so that its tool bar's left goes to `to`. */
    void dragBand(int band, QPoint to)
    {
        CoolBar* bar = ui().CoolBarMain;
        const QPoint grab = bar->bandHeaderRect(band).center();
        const QPoint end = to + (grab - bar->bandChild(band)->pos());
        QTest::mousePress(bar, Qt::LeftButton, {}, grab);
        for (int s = 1; s <= 6; ++s)
            QTest::mouseMove(bar, grab + (end - grab) * s / 6);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, end);
    }

    /** The top panel and the map area below it follow the bar's height. */
    void expectPanelsFollowTheBar()
    {
        const int barHeight = ui().CoolBarMain->height();
        EXPECT_EQ(barHeight, 24 * ui().CoolBarMain->rowCount() + 2);
        EXPECT_EQ(ui().PanelTop->height(), barHeight);
        EXPECT_EQ(ui().PanelMain->y(), barHeight);
        EXPECT_EQ(ui().PanelMain->height(), form->height() - barHeight);
        EXPECT_EQ(ui().PanelMap->height(), 380 - (barHeight - 74));
    }
};

TEST_F(SettingsRunTest, FirstRunWithoutAFileOpensAtTheDefaultsAndWritesEveryKey)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    TMainForm& f = open();
    EXPECT_EQ(f.pos(), QPoint(300, 60));
    EXPECT_EQ(f.size(), QSize(378, 644));
    EXPECT_EQ(f.view().zoomIndex(), 0);
    EXPECT_EQ(scroll(), QPoint(0, 0));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 10%)"));
    EXPECT_TRUE(ui().ToolButtonText->isChecked());
    EXPECT_FALSE(ui().ToolButtonHint->isChecked());
    EXPECT_FALSE(ui().ToolButtonSR->isChecked());
    EXPECT_TRUE(ui().ToolButtonSA->isChecked());
    EXPECT_EQ(f.session().settings().HintOpacity, 70);
    EXPECT_EQ(toolBars(), kStoredLayout);
    EXPECT_EQ(ui().CoolBarMain->rowCount(), 3);
    close();
    // Every key but Constant and Delay, in the order a fresh file gets them.
    EXPECT_EQ(readFile(world.appPath(QStringLiteral("qor.ini"))),
              readFile(fixturePath(QStringLiteral("app/fresh_qor.ini"))));
}

TEST_F(SettingsRunTest, StoredZoomAndScrollAreRestoredAndBounded)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    struct Case {
        const char* what;
        const char* window;
        bool keepZoom;
        int level;
        QPoint scroll;
        QSize maximum;
        const char* percent;
    };
    // Picture 660 x 760 at MapScale 2; at level 3 the ranges are 770 and 886.
    const Case cases[] = {
        {"33 %", "Zoom=3\r\nCenterX=120\r\nCenterY=400\r\n", true, 3, {120, 400}, {1147, 1530}, "33"},
        {"scroll clamped", "Zoom=3\r\nCenterX=-50\r\nCenterY=99999\r\n", false, 3, {0, 886}, {}, "33"},
        {"past the table", "Zoom=9\r\nCenterX=5\r\n", true, 7, {5, 0}, {9948, 11664}, "300"},
        {"below the table", "Zoom=-4\r\nCenterX=5\r\nCenterY=5\r\n", false, 0, {0, 0}, {}, "10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world.writeSettings(QByteArray("[General]\r\nKeepZoom=") + (c.keepZoom ? "1" : "0") + "\r\n[Window]\r\n"
                            + c.window);
        TMainForm& f = build();
        EXPECT_EQ(f.view().zoomIndex(), c.level);
        EXPECT_EQ(scroll(), c.scroll);
        EXPECT_EQ(QPoint(f.view().scrollX(), f.view().scrollY()), c.scroll);
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom %1%)").arg(QLatin1String(c.percent)));
        if (c.keepZoom)
            EXPECT_EQ(f.maximumSize(), c.maximum);
        else
            EXPECT_EQ(f.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        // The first show leaves the view where the restore put it.
        EXPECT_EQ(scroll(), c.scroll);
        EXPECT_EQ(ui().ToolButtonAddM->isEnabled(), c.level > 0);
        close();
        EXPECT_EQ(stored("Window", "Zoom"), c.level);
        EXPECT_EQ(stored("Window", "CenterX"), c.scroll.x());
        EXPECT_EQ(stored("Window", "CenterY"), c.scroll.y());
    }
}

TEST_F(SettingsRunTest, GeometrySurvivesARestart)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    world.writeSettings("[Window]\r\nWidth=500\r\nHeight=700\r\nLeft=120\r\nTop=80\r\n");
    TMainForm& f = open();
    EXPECT_EQ(f.pos(), QPoint(120, 80));
    EXPECT_EQ(f.size(), QSize(500, 700));
    EXPECT_EQ(ui().PanelMap->size(), QSize(452, 436));
    f.resize(520, 710);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().PanelMap->size() == QSize(472, 446); }, 3000));
    close();
    EXPECT_EQ(stored("Window", "Width"), 520);
    EXPECT_EQ(stored("Window", "Height"), 710);
    EXPECT_EQ(stored("Window", "Left"), 120);
    EXPECT_EQ(stored("Window", "Top"), 80);
    EXPECT_EQ(stored("General", "State"), 0);
}

TEST_F(SettingsRunTest, PositionOutsideEveryScreenFallsBackToTheDefault)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        const char* what;
        QPoint stored, opened;
    };
    const Case cases[] = {
        {"far away, as some desktops keep minimised windows", {-32000, -32000}, {300, 60}},
        {"beyond the right edge", {screen.right() + 1, 60}, {300, 60}},
        {"below the bottom edge", {60, screen.bottom() + 1}, {300, 60}},
        {"partly visible stays", {-300, -600}, {-300, -600}},
        {"last pixel column visible stays", {screen.right(), 60}, {screen.right(), 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world.writeSettings(
            QStringLiteral("[Window]\r\nLeft=%1\r\nTop=%2\r\n").arg(c.stored.x()).arg(c.stored.y()).toLatin1());
        TMainForm& f = build();
        EXPECT_EQ(f.pos(), c.opened);
        EXPECT_EQ(f.size(), QSize(378, 644));
        close();
    }
}

TEST_F(SettingsRunTest, MaximisedStateSkipsTheStoredGeometry)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    world.writeSettings(
        "[General]\r\nState=2\r\n[Window]\r\nWidth=500\r\nHeight=700\r\nLeft=120\r\nTop=80\r\nZoom=1\r\n");
    TMainForm& f = build();
    // The layout's own geometry; the zoom is restored all the same.
    EXPECT_EQ(f.pos(), QPoint(326, 81));
    EXPECT_EQ(f.size(), QSize(378, 644));
    EXPECT_EQ(f.view().zoomIndex(), 1);
    EXPECT_FALSE(f.isMaximized());
    f.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.isMaximized(); }, 3000));
    close();
    EXPECT_EQ(stored("General", "State"), 2);
}

TEST_F(SettingsRunTest, MinimisedStateStartsMinimised)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    world.writeSettings("[General]\r\nState=1\r\n[Window]\r\nLeft=120\r\nTop=80\r\n");
    TMainForm& f = build();
    EXPECT_EQ(f.pos(), QPoint(120, 80));
    f.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.isMinimized(); }, 3000));
    EXPECT_EQ(f.world().locations().size(), 1u); // the first show ran in full
}

TEST_F(SettingsRunTest, StateOutsideTheTableIsNormal)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    world.writeSettings("[General]\r\nState=7\r\n[Window]\r\nLeft=120\r\nTop=80\r\n");
    TMainForm& f = open();
    EXPECT_EQ(f.pos(), QPoint(120, 80)); // read as 0: the geometry is restored
    EXPECT_FALSE(f.isMaximized());
    EXPECT_FALSE(f.isMinimized());
    close();
    EXPECT_EQ(stored("General", "State"), 0);
}

TEST_F(SettingsRunTest, RestoreWindowOffLeavesWindowAndToolbarsAlone)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    const QByteArray window = "[Window]\r\nZoom=3\r\nWidth=500\r\nHeight=700\r\nCenterX=40\r\nCenterY=50\r\n"
                              "Left=120\r\nTop=80\r\nStray=keep me\r\n";
    const QByteArray toolbars = "[Toolbars]\r\nMapLeft=300\r\nMapTop=0\r\nOptionsLeft=55\r\nOptionsTop=80\r\n";
    world.writeSettings("[General]\r\nRestoreWindow=0\r\n" + window + toolbars + "[Map]\r\nShowText=0\r\n");
    TMainForm& f = open();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 10%)"));
    EXPECT_EQ(f.view().zoomIndex(), 0);
    EXPECT_EQ(scroll(), QPoint(0, 0));
    EXPECT_EQ(f.pos(), QPoint(326, 81));
    EXPECT_EQ(f.size(), QSize(378, 644));
    // No band moved, and no row break was forced before the tools band.
    EXPECT_EQ(toolBars(), kStoredLayout);
    EXPECT_EQ(ui().CoolBarMain->rowCount(), 3);
    EXPECT_FALSE(ui().ToolButtonText->isChecked());

    // A run that changes the view and the bands still writes neither section.
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    dragBand(3, {300, 0});
    ASSERT_NE(toolBars(), kStoredLayout);
    QTest::mouseClick(ui().ToolButtonText, Qt::LeftButton);
    close();
    EXPECT_EQ(section("Window"), window);
    EXPECT_EQ(section("Toolbars"), toolbars);
    EXPECT_EQ(stored("Map", "ShowText"), 1);
    EXPECT_EQ(stored("General", "RestoreWindow"), 0);
}

TEST_F(SettingsRunTest, DefaultBandRestoreGivesTheStoredLayout)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    const std::pair<const char*, QByteArray> files[] = {
        {"no file", QByteArray()},
        {"stored defaults", "[Toolbars]\r\nMapLeft=55\r\nMapTop=0\r\nLocationLeft=54\r\nLocationTop=24\r\n"
                            "MarkerLeft=55\r\nMarkerTop=48\r\nOptionsLeft=201\r\nOptionsTop=48\r\n"},
        {"low 16 bits", "[Toolbars]\r\nMapLeft=65591\r\nLocationTop=65560\r\nOptionsLeft=131273\r\n"},
    };
    for (const auto& [what, ini] : files) {
        SCOPED_TRACE(what);
        if (!ini.isEmpty())
            world.writeSettings(ini);
        open();
        EXPECT_EQ(toolBars(), kStoredLayout);
        EXPECT_EQ(ui().CoolBarMain->rowCount(), 3);
        EXPECT_EQ(ui().CoolBarMain->bandRow(3), 2);
        expectPanelsFollowTheBar();
        close();
    }
}

TEST_F(SettingsRunTest, UserBandLayoutSurvivesARestart)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    struct Case {
        const char* what;
        std::function<void()> arrange;
        int rows;
    };
    const Case cases[] = {
        {"tools on the first row",
         [&] {
             dragBand(3, {352, 0});
         },
         3},
        {"marker above location",
         [&] {
             dragBand(1, {54, 80});
         },
         3},
        {"tools on a row of its own",
         [&] {
             dragBand(3, {100, 80});
         },
         4},
        {"everything on two rows",
         [&] {
             dragBand(2, {360, 0});
             dragBand(3, {360, 24});
         },
         2},
        {"by the bar's own drag calls",
         [&] {
             CoolBar* bar = ui().CoolBarMain;
             bar->beginDrag(2, QPoint(55, 48));
             bar->dragMove(QPoint(55, 90));
             bar->endDrag();
         },
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world.writeSettings(QByteArray());
        open();
        c.arrange();
        const Positions arranged = toolBars();
        ASSERT_NE(arranged, kStoredLayout);
        EXPECT_EQ(ui().CoolBarMain->rowCount(), c.rows);
        expectPanelsFollowTheBar();
        close();
        EXPECT_EQ(stored("Toolbars", "OptionsLeft"), arranged[3].x());
        EXPECT_EQ(stored("Toolbars", "OptionsTop"), arranged[3].y());

        // A new window from the same file.
        open();
        EXPECT_EQ(toolBars(), arranged);
        EXPECT_EQ(ui().CoolBarMain->rowCount(), c.rows);
        expectPanelsFollowTheBar();
        close();
    }
}

TEST_F(SettingsRunTest, FirstShowStoppedByADatabaseErrorKeepsTheStoredStateAndBands)
{
    // A level that is no number stops the first show before the band layout and the window
    // state are applied: closing must not store what was never shown.
    QByteArray locations = locationRecord("Alpha", 0, 0, 0) + locationRecord("Beta", 0, 40000, 60000);
    writeLocations({locations.replace("lv= 0\r\n  pp", "lv= high\r\n  pp")});
    const QByteArray toolbars = "[Toolbars]\r\nMapLeft=65591\r\nMapTop=0\r\nLocationLeft=54\r\nLocationTop=24\r\n"
                                "MarkerLeft=55\r\nMarkerTop=48\r\nOptionsLeft=352\r\nOptionsTop=0\r\n";
    for (const char* state : {"1", "2"}) {
        SCOPED_TRACE(state);
        world.writeSettings("[General]\r\nState=" + QByteArray(state) + "\r\n" + toolbars);
        prompts.errors.clear();
        open();
        EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("'high' is not a valid integer value")});
        close();
        EXPECT_EQ(section("Toolbars"), toolbars);
        EXPECT_EQ(stored("General", "State"), QByteArray(state).toInt());
    }
}

} // namespace
} // namespace vdm::test
