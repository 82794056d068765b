// SPDX-License-Identifier: MIT
// Finding the way in the real window: the place filter and its bar, the navigator, the
// bookmarks of views and the recent worlds.
#include "app/filterbar.h"
#include "app/mainformfixture.h"
#include "app/windowcommands.h"
#include "app/navigatorview.h"
#include "app/orientationcommands.h"
#include "app/journeycommands.h"
#include "journey/journeysession.h"
#include "common/testutils.h"
#include "world/worldviews.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

namespace vdm::test {
namespace {

QByteArray place(const QByteArray& name, const QByteArray& region, const QByteArray& kind, int x, int y)
{
    QByteArray r = locationRecord(name, 0, x, y);
    r.replace("  rg= Test\r\n", "  rg= " + region + "\r\n");
    r.replace("  ty= town\r\n", "  ty= " + kind + "\r\n");
    return r;
}

/** A world of mines and towns in two regions, the user's own folders in the test's temporary home. */
class OrientationTest : public MainFormTest {
protected:
    OrientationTest() { qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data"))); }
    ~OrientationTest() override { qputenv("XDG_DATA_HOME", savedDataHome); }

    void SetUp() override
    {
        writeLocations({place("Deepdelve", "Karuford Downs", "mine", -60000, 0),
                        place("Greyshaft", "Karuford Downs", "mine", 20000, 20000),
                        place("Emberpit", "Ashen Vale", "mine", 100000, 150000),
                        place("Karuford", "Karuford Downs", "town", 0, -40000)});
        open();
    }

    OrientationCommands& orientation() { return const_cast<OrientationCommands&>(form->orientation()); }
    QListWidget* list(const char* name) { return form->findChild<QListWidget*>(QLatin1String(name)); }
    /** Ticks the entry of `list` whose text starts with `value`. */
    void tick(const char* listName, const QString& value)
    {
        QListWidget* l = list(listName);
        ASSERT_NE(l, nullptr);
        for (int i = 0; i < l->count(); ++i)
            if (l->item(i)->text().startsWith(value + " (")) {
                l->item(i)->setCheckState(Qt::Checked);
                return;
            }
        ADD_FAILURE() << "no entry " << value.toStdString();
    }
    QString progressLine() { return ui().LabelProgress->text().section(QLatin1Char('\n'), 0, 0); }
    QPoint panelPointOf(const char* name)
    {
        for (const Location& l : form->world().locations())
            if (l.Name == name)
                return form->view().mapToPanel(l.X, l.Y);
        return {};
    }

    QTemporaryDir home;
    QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
};

TEST_F(OrientationTest, TheFilterBarListsKindsAndRegionsWithTheirCounts)
{
    form->command(Command::Filter)->trigger();
    FilterBar& bar = orientation().filterBar();
    EXPECT_TRUE(bar.isVisible());
    QStringList kinds, regions;
    for (int i = 0; i < list("FilterKinds")->count(); ++i)
        kinds << list("FilterKinds")->item(i)->text();
    for (int i = 0; i < list("FilterRegions")->count(); ++i)
        regions << list("FilterRegions")->item(i)->text();
    EXPECT_EQ(kinds, (QStringList{"mine (3)", "town (1)"}));
    EXPECT_EQ(regions, (QStringList{"Ashen Vale (1)", "Karuford Downs (3)"}));
    EXPECT_EQ(list("FilterKinds")->accessibleName(), "Kinds to show");
    EXPECT_EQ(list("FilterRegions")->accessibleName(), "Regions to show");
    // From the keyboard: Space ticks the current entry, Escape closes the bar.
    QTest::keyClick(list("FilterKinds"), Qt::Key_Space);
    EXPECT_EQ(form->orientation().filter(), PlaceFilter({"mine"}, {}));
    EXPECT_TRUE(progressLine().endsWith(" of 3 mines")) << progressLine().toStdString();
    QTest::keyClick(list("FilterKinds"), Qt::Key_Escape);
    EXPECT_FALSE(bar.isVisible());
}

TEST_F(OrientationTest, AFilterHidesPlacesFromThePointerAndCountsWhatItShows)
{
    const QString unfiltered = progressLine();
    EXPECT_EQ(unfiltered, QString::fromUtf8("Visited 0 \u00B7 Active 0 \u00B7 Unvisited 4 of 4"));
    const QPoint town = panelPointOf("Karuford");
    ASSERT_GE(form->hover().locationAt(town), 0);
    const QImage before = form->canvas().backBuffer().copy();

    form->command(Command::Filter)->trigger();
    tick("FilterKinds", "mine");
    tick("FilterRegions", "Karuford Downs");
    EXPECT_EQ(progressLine(),
              QString::fromUtf8("Visited 0 \u00B7 Active 0 \u00B7 Unvisited 2 of 2 mines in Karuford Downs"));
    EXPECT_EQ(form->hover().locationAt(town), -1) << "a town the filter keeps out is not under the pointer";
    EXPECT_GE(form->hover().locationAt(panelPointOf("Greyshaft")), 0);
    EXPECT_NE(form->canvas().backBuffer(), before) << "the town is no longer drawn";

    // The counts follow a status change made in the location box, opened on the place.
    doubleClickAt(panelPointOf("Greyshaft"));
    ASSERT_TRUE(ui().GBLoc->isEnabled());
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    EXPECT_EQ(progressLine(),
              QString::fromUtf8("Visited 1 \u00B7 Active 0 \u00B7 Unvisited 1 of 2 mines in Karuford Downs"));

    // "Show all" brings everything back.
    QTest::mouseClick(form->findChild<QPushButton*>("FilterShowAll"), Qt::LeftButton);
    EXPECT_EQ(progressLine(), QString::fromUtf8("Visited 1 \u00B7 Active 0 \u00B7 Unvisited 3 of 4"));
    EXPECT_GE(form->hover().locationAt(panelPointOf("Karuford")), 0);
}

TEST_F(OrientationTest, ATourMayTakeThePlacesTheFilterShows)
{
    const auto sources = [this] {
        QStringList texts;
        auto* box = form->findChild<QComboBox*>(QStringLiteral("JourneyStops"));
        for (int i = 0; box && i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    form->command(Command::PlanTour)->trigger();
    EXPECT_FALSE(sources().contains("Places the filter shows")) << "no filter, no such choice";
    QTest::keyClick(form->findChild<QComboBox*>(QStringLiteral("JourneyStops")), Qt::Key_Escape);

    form->command(Command::Filter)->trigger();
    tick("FilterKinds", "mine");
    tick("FilterRegions", "Karuford Downs");
    QTest::keyClick(list("FilterKinds"), Qt::Key_Escape);
    form->FindChosen(3); // from Karuford, a town the filter keeps out
    form->command(Command::PlanTour)->trigger();
    auto* box = form->findChild<QComboBox*>(QStringLiteral("JourneyStops"));
    ASSERT_EQ(sources().value(2), "Places the filter shows");
    box->setCurrentIndex(2);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    const JourneySession& session = form->journey().session();
    ASSERT_TRUE(session.hasTour());
    std::vector<int> stops = session.tour().stops();
    std::sort(stops.begin(), stops.end());
    EXPECT_EQ(stops, (std::vector<int>{0, 1})) << "Deepdelve and Greyshaft, not Emberpit of the Ashen Vale";
}

TEST_F(OrientationTest, TheFilterIsRememberedPerWorldInTheUsersFolder)
{
    form->command(Command::Filter)->trigger();
    tick("FilterKinds", "town");
    const QString file = WorldViews::filePath(QDir::currentPath());
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(file.startsWith(home.path()));
    close();
    open();
    EXPECT_EQ(form->orientation().filter(), PlaceFilter({"town"}, {}));
    EXPECT_TRUE(progressLine().endsWith(" of 1 towns"));
}

TEST_F(OrientationTest, BookmarksStoreReturnAndSurviveARestart)
{
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    form->FindChosen(2); // Emberpit, far to the north-east
    const int zoom = form->view().zoomIndex();
    const QPoint scroll = form->view().scroll();
    form->command(Command::StoreBookmark4)->trigger();
    QTest::mouseClick(ui().ToolButtonZoomOut, Qt::LeftButton);
    form->FindChosen(0);
    ASSERT_NE(form->view().scroll(), scroll);
    form->command(Command::ReturnBookmark4)->trigger();
    EXPECT_EQ(form->view().zoomIndex(), zoom);
    EXPECT_EQ(form->view().scroll(), scroll);
    EXPECT_EQ(ui().ScrollBarH->value(), scroll.x()) << "the scroll bars follow";
    EXPECT_EQ(form->highlight().index(), -1) << "a bookmark highlights nothing";
    form->command(Command::ReturnBookmark5)->trigger(); // nothing kept there: the view stays
    EXPECT_EQ(form->view().scroll(), scroll);

    prompts.texts.push_back(QStringLiteral("Ember \u2603 pit")); // the snowman is not in the code page
    form->command(Command::AddBookmark)->trigger();
    close();
    open();
    ASSERT_EQ(form->orientation().bookmarks().named().size(), 1u);
    EXPECT_EQ(form->orientation().bookmarks().named()[0].name, "Ember pit");
    form->command(Command::ReturnBookmark4)->trigger();
    EXPECT_EQ(form->view().zoomIndex(), zoom);
    EXPECT_EQ(form->view().scroll(), scroll);
}

TEST_F(OrientationTest, ABookmarkStoredAfterAnotherProgramsChangeKeepsBoth)
{
    form->command(Command::StoreBookmark1)->trigger();
    const QString file = WorldViews::filePath(QDir::currentPath());
    ViewBookmarks theirs = form->orientation().bookmarks();
    theirs.addNamed("Ford", {3, 100, 200});
    writeFile(file, WorldViews::write(PlaceFilter({"town"}, {}), theirs));

    form->command(Command::StoreBookmark2)->trigger();
    const WorldViews stored = WorldViews::load(QDir::currentPath());
    EXPECT_TRUE(stored.bookmarks().digit(1));
    EXPECT_TRUE(stored.bookmarks().digit(2));
    ASSERT_EQ(stored.bookmarks().named().size(), 1u);
    EXPECT_EQ(stored.bookmarks().named()[0].name, "Ford");
    EXPECT_EQ(stored.filter(), PlaceFilter({"town"}, {}));
    EXPECT_EQ(form->orientation().filter(), stored.filter()) << "the map shows what the file holds";
    EXPECT_TRUE(progressLine().endsWith(" of 1 towns"));
}

TEST_F(OrientationTest, TheNavigatorIsOffByDefaultAndMovesTheView)
{
    NavigatorView& nav = orientation().navigator();
    EXPECT_FALSE(nav.isVisible());
    form->command(Command::Navigator)->trigger();
    ASSERT_TRUE(nav.isVisible());
    EXPECT_EQ(nav.accessibleName(), "Navigator");
    EXPECT_EQ(nav.geometry().right(), panel()->width() - 1 - NavigatorView::Margin)
        << "in the panel's top-right corner";
    // The view is free to scroll both ways: the frame then sits where the pointer put it.
    const auto free = [this] {
        const QPoint s = form->view().scroll(), r = form->view().scrollRanges();
        return s.x() > 0 && s.y() > 0 && s.x() < r.x() && s.y() < r.y();
    };
    const QSizeF overview = nav.size() - QSize(2, 2); // inside its border
    for (int level = 0; level <= Viewport::HighestZoom; ++level) {
        if (level > 0)
            QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
        ASSERT_EQ(form->view().zoomIndex(), level);
        // Another point a little off the overview's centre at every level, on a whole pixel
        // as a click lands.
        const QPointF at = QPointF(
            QPointF(overview.width() * (0.3 + 0.05 * level), overview.height() * (0.6 - 0.04 * level)).toPoint());
        const bool outsideFrame = !Navigator::frame(form->view()).contains(at); // inside, a press only grabs it
        const QPoint expected = Navigator().press(form->view(), at);            // the model's answer for this view
        QTest::mouseClick(&nav, Qt::LeftButton, {}, (at + QPointF(1, 1)).toPoint());
        EXPECT_EQ(form->view().scroll(), expected) << "level " << level;
        EXPECT_EQ(ui().ScrollBarH->value(), expected.x()) << "the scroll bars follow";
        if (outsideFrame && free()) {
            EXPECT_NEAR(Navigator::frame(form->view()).center().x(), at.x(), 1.0) << "level " << level;
            EXPECT_NEAR(Navigator::frame(form->view()).center().y(), at.y(), 1.0) << "level " << level;
        }
        // A drag moves the frame and the view with it.
        const QPointF centre = Navigator::frame(form->view()).center();
        const QPoint grab = (centre + QPointF(1, 1)).toPoint();
        Navigator model;
        model.press(form->view(), grab - QPoint(1, 1));
        const QPoint dragged = *model.move(form->view(), grab - QPoint(1, 1) + QPoint(10, 6));
        QTest::mousePress(&nav, Qt::LeftButton, {}, grab);
        QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(10, 6)),
                         nav.mapToGlobal(QPointF(grab + QPoint(10, 6))), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&nav, &move);
        QTest::mouseRelease(&nav, Qt::LeftButton, {}, grab + QPoint(10, 6));
        EXPECT_EQ(form->view().scroll(), dragged) << "level " << level;
        if (free()) {
            EXPECT_NEAR(Navigator::frame(form->view()).center().x(), centre.x() + 10, 1.0) << "level " << level;
            EXPECT_NEAR(Navigator::frame(form->view()).center().y(), centre.y() + 6, 1.0) << "level " << level;
        }
    }

    // From the keyboard: the arrows move the frame by a quarter of itself, minus zooms out.
    nav.setFocus();
    const QRectF frame = Navigator::frame(form->view());
    const QPoint left = Navigator::centredScroll(form->view(), frame.center() - QPointF(frame.width() / 4, 0));
    QTest::keyClick(&nav, Qt::Key_Left);
    EXPECT_EQ(form->view().scroll(), left);
    QTest::keyClick(&nav, Qt::Key_Minus);
    EXPECT_EQ(form->view().zoomIndex(), Viewport::HighestZoom - 1);

    const int zoom = form->view().zoomIndex();
    QWheelEvent wheel(QPointF(20, 20), nav.mapToGlobal(QPointF(20, 20)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&nav, &wheel);
    EXPECT_EQ(form->view().zoomIndex(), zoom + 1);
    close();
    open();
    EXPECT_TRUE(form->orientation().navigator().isVisible()) << "its state is a setting";
}

TEST_F(OrientationTest, UnusedItWritesNothingNew)
{
    const QString ini = world.appPath("qor.ini");
    close();
    const QByteArray written = readFile(ini);
    open();
    close();
    EXPECT_EQ(readFile(ini), written) << "the settings file stays byte for byte";
    EXPECT_FALSE(QFile::exists(WorldViews::filePath(QDir::currentPath()))) << "no views file until something is kept";
    EXPECT_FALSE(written.contains("Navigator"));
    EXPECT_FALSE(written.contains("[Recent]"));
}

TEST_F(OrientationTest, ADroppedWorldFolderOpensAsOpenWorldWould)
{
    TestWorld other;
    other.write(QStringLiteral("vdmain.gdb"), locationRecord("Zephyr", 0, 10, 20));
    QDir::setCurrent(world.dir()); // the other world's constructor entered it
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(other.dir())});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &drop);
    QCoreApplication::processEvents();
    ASSERT_EQ(form->world().locations().size(), 1u);
    EXPECT_EQ(form->world().locations()[0].Name, "Zephyr");
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();

    // A file, or two folders, are not a world to open.
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(other.path("vdmain.gdb"))});
    QDragEnterEvent fileEnter(QPoint(10, 10), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &fileEnter);
    EXPECT_FALSE(fileEnter.isAccepted());
}

TEST_F(OrientationTest, BookmarksTravelWithTheProgressFile)
{
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    form->command(Command::StoreBookmark7)->trigger();
    prompts.texts.push_back(QStringLiteral("Camp"));
    form->command(Command::AddBookmark)->trigger();
    const ViewBookmarks kept = form->orientation().bookmarks();
    const QString file = world.path("progress.txt");
    prompts.filesToSave.push_back(file);
    form->findChild<QAction*>("ActionExportProgress")->trigger();
    ASSERT_TRUE(readFile(file).startsWith("Veldamar Interactive Map progress 2\r\n"));

    // Another copy of the world, without bookmarks, takes them in with the progress.
    close();
    QFile::remove(WorldViews::filePath(QDir::currentPath()));
    open();
    EXPECT_TRUE(form->orientation().bookmarks().empty());
    prompts.filesToOpen.push_back(file);
    prompts.answers.push_back(true);
    form->findChild<QAction*>("ActionImportProgress")->trigger();
    ASSERT_FALSE(prompts.questions.isEmpty());
    EXPECT_TRUE(prompts.questions.back().contains("Bookmarks: 2 added or replaced"))
        << prompts.questions.back().toStdString();
    EXPECT_EQ(form->orientation().bookmarks(), kept);
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
    close();
    open();
    EXPECT_EQ(form->orientation().bookmarks(), kept) << "kept in the user's folder";
}

TEST_F(OrientationTest, RecentWorldsAreOfferedInTheMoreMenu)
{
    TestWorld other;
    other.write(QStringLiteral("vdmain.gdb"), locationRecord("Zephyr", 0, 10, 20));
    QDir::setCurrent(world.dir());
    form->rememberWorld(other.dir());
    form->rememberWorld(world.dir());
    auto* recent = form->findChild<QMenu*>("MenuRecentWorlds");
    ASSERT_NE(recent, nullptr);
    emit recent->aboutToShow();
    ASSERT_EQ(recent->actions().size(), 2);
    EXPECT_TRUE(recent->actions()[0]->text().startsWith("&1 ")) << recent->actions()[0]->text().toStdString();
    EXPECT_TRUE(recent->actions()[1]->text().contains(QDir::toNativeSeparators(QDir(other.dir()).canonicalPath())));
    recent->actions()[1]->trigger();
    ASSERT_EQ(form->world().locations().size(), 1u);
    EXPECT_EQ(form->world().locations()[0].Name, "Zephyr");
    // A world that vanished leaves the list without a word.
    QDir(world.dir()).removeRecursively();
    emit recent->aboutToShow();
    EXPECT_EQ(recent->actions().size(), 1);
    EXPECT_TRUE(prompts.errors.isEmpty());
}

} // namespace
} // namespace vdm::test
