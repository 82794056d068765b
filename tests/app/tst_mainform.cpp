// SPDX-License-Identifier: MIT
// Start-up, layout and lifecycle of the real main window.
#include "app/mainformfixture.h"
#include "world/worldchoice.h"
#include "app/program.h"
#include "common/testutils.h"

#include <QFileInfo>

#include "data/codepage.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QToolButton>

namespace vdm::test {
namespace {

class StartupTest : public MainFormTest {};

TEST(ProgramEntry, NoPictureShowsTheBoxAndWritesNothing)
{
    QTemporaryDir world, app;
    ScopedCurrentDir cwd(world.path());
    FakePrompts prompts;
    EXPECT_EQ(runProgram(prompts, app.path() + QLatin1Char('/')), 0);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(
        prompts.messages[0].startsWith(QStringLiteral("Error!|Map file not found. Please reinstall application.\n")));
    EXPECT_TRUE(QDir(world.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QDir(app.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(ProgramEntry, CorruptPictureShowsTheDecoderTextAndWritesNothing)
{
    QTemporaryDir world, app;
    ScopedCurrentDir cwd(world.path());
    writeFile(world.path() + QStringLiteral("/bigmap.jpg"), QByteArray("\xFF\xD8\xFF\xE0 this is not a picture", 26));
    writeFile(world.path() + QStringLiteral("/vdmain.gdb"), locationRecord("Alpha", 0, 0, 0));
    FakePrompts prompts;
    EXPECT_EQ(runProgram(prompts, app.path() + QLatin1Char('/')), 0);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(prompts.errors[0].isEmpty());
    EXPECT_TRUE(QDir(app.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(QDir(world.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(ProgramEntry, PictureChoiceSetsTheScale)
{
    FakePrompts prompts;
    {
        TestWorld world(TestWorld::Picture::Normal);
        TMainForm form(prompts, world.appDir());
        EXPECT_EQ(form.view().mapScale(), 2);
        EXPECT_EQ(form.world().picture().size(), QSize(660, 760));
    }
    {
        TestWorld world(TestWorld::Picture::Both);
        TMainForm form(prompts, world.appDir());
        EXPECT_EQ(form.view().mapScale(), 10);
        EXPECT_EQ(form.world().picture().size(), QSize(3300, 3800));
    }
}

TEST_F(StartupTest, LayoutAsStored)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    TMainForm& f = open();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Veldamar Interactive Map (Zoom 10%)"));
    EXPECT_EQ(f.size(), QSize(378, 644));
    EXPECT_EQ(f.minimumSize(), QSize(378, 644));
    EXPECT_EQ(ui().PanelMap->size(), QSize(330, 380));
    EXPECT_EQ(ui().PanelMap->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(ui().GBLoc->isEnabled());

    struct Row {
        const char* name;
        const char* hint;
        int glyph;
        bool checkable, checked, enabled;
    };
    const Row rows[] = {
        {"ToolButtonZoomIn", "Zoom In", 0, false, false, true},
        {"ToolButtonZoomOut", "Zoom Out", 1, false, false, true},
        {"ToolButtonZoomActual", "Actual Size", 2, false, false, true},
        {"ToolButtonSR", "Show skarnel routes", 6, true, false, true},
        {"ToolButtonSS", "Show ship routes", 7, true, false, true},
        {"ToolButtonSM", "Show magic routes", 11, true, false, true},
        {"ToolButtonText", "Show text", 4, true, true, true},
        {"ToolButtonHint", "Show pop-up hints", 5, true, false, true},
        {"ToolButtonSU", "Show unvisited locations", 8, true, true, true},
        {"ToolButtonSA", "Show active locations", 9, true, true, true},
        {"ToolButtonSV", "Show visited locations", 10, true, true, true},
        {"ToolButtonGo", "", 3, false, false, true},
        {"ToolButtonAddM", "Add marker", 12, true, false, false},
        {"ToolButtonDelM", "Delete marker", 13, true, false, false},
        {"ToolButtonClearM", "Delete all markers", 14, false, false, false},
        {"ToolButtonOptions", "Options", 15, false, false, true},
        {"ToolButtonClip", "Copy map to clipboard", 17, false, false, true},
        {"ToolButtonAbout", "About", 16, false, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* b = f.findChild<QToolButton*>(QLatin1String(r.name));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->toolTip(), QLatin1String(r.hint));
        EXPECT_EQ(b->property("glyphIndex").toInt(), r.glyph);
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_EQ(b->isCheckable(), r.checkable);
        EXPECT_EQ(b->isChecked(), r.checked);
        EXPECT_EQ(b->isEnabled(), r.enabled);
    }
    EXPECT_EQ(ui().ToolButtonGo->text(), QStringLiteral(" Go "));
    EXPECT_EQ(ui().SBU->text(), QStringLiteral("Unvisited"));
    EXPECT_EQ(ui().SBA->text(), QStringLiteral("Active"));
    EXPECT_EQ(ui().SBV->text(), QStringLiteral("Visited"));
    EXPECT_TRUE(ui().SBU->isChecked());
    EXPECT_EQ(ui().LabelNotes->text(), QStringLiteral("Notes :"));
    // Clip stands between Options and About on screen.
    EXPECT_LT(ui().ToolButtonOptions->x(), ui().ToolButtonClip->x());
    EXPECT_LT(ui().ToolButtonClip->x(), ui().ToolButtonAbout->x());

    // The window's icon carries a drawing for every size the desktop may ask for.
    const QList<QSize> sizes = f.windowIcon().availableSizes();
    for (const int size : {16, 22, 24, 32, 48, 64, 96, 128, 256})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    EXPECT_EQ(f.windowIcon().pixmap(QSize(24, 24), 1.0).size(), QSize(24, 24));
}

TEST_F(StartupTest, LocationListSortedWithIndexes)
{
    writeLocations({locationRecord("delta", 3, 0, 0), locationRecord("Bravo", 1, 10, 10),
                    locationRecord("alpha", 0, 20, 20), locationRecord("Charlie", 2, 30, 30),
                    locationRecord("bravo", 4, 40, 40)});
    open();
    QComboBox* list = ui().CBLoc;
    ASSERT_EQ(list->count(), 5);
    const QStringList texts = {"alpha", "Bravo", "bravo", "Charlie", "delta"};
    const int indexes[] = {2, 1, 4, 3, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list->itemText(i), texts[i]);
        EXPECT_EQ(list->itemData(i, Qt::UserRole).toInt(), indexes[i]);
    }
    // The first entry is selected at start and shown in the box.
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(form->editor().SelectedIndex(), 2);
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" alpha "));
}

TEST_F(StartupTest, LocationListPutsAccentedNamesBesideTheirPlainLetters)
{
    writeLocations({locationRecord("Azor", 0, 0, 0), locationRecord("Audven Mine", 0, 10, 10),
                    locationRecord("A\xFC"
                                   "desh Camp",
                                   0, 20, 20),
                    locationRecord("\xC9"
                                   "cluse",
                                   0, 30, 30),
                    locationRecord("Ember", 0, 40, 40)});
    open();
    QComboBox* list = ui().CBLoc;
    ASSERT_EQ(list->count(), 5);
    const QStringList texts
        = {QString::fromUtf8("A\u00FCdesh Camp"), "Audven Mine", "Azor", QString::fromUtf8("\u00C9cluse"), "Ember"};
    const int indexes[] = {2, 1, 0, 3, 4};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list->itemText(i), texts[i]);
        EXPECT_EQ(list->itemData(i, Qt::UserRole).toInt(), indexes[i]);
    }
}

TEST_F(StartupTest, ConversionErrorKeepsTheRecordsReadBefore)
{
    QByteArray bad = locationRecord("Broken", 0, 1, 2);
    bad.replace("lv= 0", "lv= x7");
    writeLocations({locationRecord("First", 0, 0, 0), bad, locationRecord("Never", 0, 0, 0)});
    open();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors[0], QStringLiteral("'x7' is not a valid integer value"));
    EXPECT_EQ(form->world().locations().size(), 1u);
    EXPECT_EQ(ui().CBLoc->count(), 1);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(StartupTest, MissingLocationsCloseTheWindowAndKeepTheUserFiles)
{
    const QByteArray user = "loc\r\n   nm = A\r\n   status = 3\r\n   note = kept\r\nend\r\n";
    const QByteArray markers = "marker\r\n   text = M\r\n   pos = 1,2\r\nend\r\n";
    world.write(QStringLiteral("user.gdb"), user);
    world.write(QStringLiteral("markers.gdb"), markers);
    build().show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000));
    // The missing file is named; the loaders after it still run: the user data finds no
    // location.
    EXPECT_EQ(
        prompts.errors,
        (QStringList{locationsMissingMessage(QFileInfo(world.path(QStringLiteral("vdmain.gdb"))).absoluteFilePath()),
                     QStringLiteral("List index out of bounds (0)")}));
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), markers);
}

TEST_F(StartupTest, ShutDownWritesUserDataAndSettings)
{
    writeLocations({locationRecord("Alpha", 0, 0, 0)});
    open();
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")),
              QByteArray("loc\r\n   nm = Alpha\r\n   status = 1\r\n   note = \r\nend\r\n"));
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), QByteArray());
    EXPECT_TRUE(QFileInfo::exists(world.appPath(QStringLiteral("qor.ini"))));
}

} // namespace
} // namespace vdm::test
