// SPDX-License-Identifier: MIT
// Export and import of the progress file through the real main window.
#include "app/mainformfixture.h"
#include "app/noteedit.h"
#include "app/progresscommands.h"
#include "common/testutils.h"
#include "data/codepage.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "world/progressfile.h"

#include <QAction>
#include <QGroupBox>
#include <QToolButton>

namespace vdm::test {
namespace {

class ProgressTest : public MainFormTest {
protected:
    void SetUp() override
    {
        writeLocations({locationRecord("Aldmoor", 0, 1000, 2000), locationRecord("Brennhold", 0, -3000, 4000),
                        locationRecord("Corvath", 0, 5000, -6000)});
        open();
    }
    QAction* action(const char* name) { return form->findChild<QAction*>(QLatin1String(name)); }
    void trigger(const char* name)
    {
        QAction* a = action(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    /** A progress file for the window's world: Aldmoor visited with a note, Corvath active, one marker. */
    QString progressFile()
    {
        LocationList places = form->world().locations();
        for (Location& l : places) {
            if (l.Name == "Aldmoor") {
                l.Status = Visited;
                l.Note = "caf\xe9 by the \"gate\"";
            } else if (l.Name == "Corvath") {
                l.Status = Active;
            }
        }
        const QString path = world.path("progress.txt");
        writeFile(path, writeProgress(places, {marker("camp", 100, 200)}));
        return path;
    }
    int indexOf(const char* name) const
    {
        const LocationList& l = form->world().locations();
        for (size_t i = 0; i < l.size(); ++i)
            if (l[i].Name == name)
                return int(i);
        return -1;
    }
};

TEST_F(ProgressTest, ExportWritesTheWorldsProgressWhereTheUserChose)
{
    trigger("ActionExportProgress"); // cancelled: nothing written
    EXPECT_FALSE(QFileInfo::exists(world.path("progress.txt")));
    ASSERT_EQ(prompts.fileStarts.size(), 1); // where it proposes: tst_savefolders.cpp

    QTest::mouseClick(ui().SBV, Qt::LeftButton); // the first location in the list is visited
    const QString path = world.path("mine.txt");
    prompts.filesToSave.push_back(path);
    trigger("ActionExportProgress");
    EXPECT_EQ(readFile(path), writeProgress(form->world().locations(), form->world().markers()));
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(ProgressTest, ExportNeverWritesOverTheWorldsUserFile)
{
    // Not written yet: the very file a later write of the window makes is refused too.
    const QString user = world.path("user.gdb");
    ASSERT_FALSE(QFileInfo::exists(user));
    ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("sub")));
    for (const QString& picked : {user, world.path("user.gdb.bak"), world.path("sub/../user.gdb")}) {
        SCOPED_TRACE(picked.toStdString());
        prompts.errors.clear();
        prompts.fileStarts.clear();
        prompts.filesToSave.push_back(picked);
        trigger("ActionExportProgress");
        ASSERT_EQ(prompts.errors.size(), 1);
        EXPECT_TRUE(prompts.errors[0].contains(QFileInfo(picked).absoluteFilePath()));
        EXPECT_EQ(prompts.fileStarts.size(), 2) << "the chooser opens again";
        EXPECT_FALSE(QFileInfo::exists(user));
        EXPECT_FALSE(QFileInfo::exists(world.path("user.gdb.bak")));
    }
}

TEST_F(ProgressTest, ImportAsksFirstAndChangesNothingWhenDeclined)
{
    prompts.filesToOpen.push_back(progressFile());
    trigger("ActionImportProgress");
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_TRUE(prompts.questions[0].startsWith("Import progress|Import the progress in "));
    EXPECT_TRUE(prompts.questions[0].contains("Statuses: 2 added, 0 replaced\nNotes: 1 added, 0 replaced\n"
                                              "Markers: 1 added, 0 replaced"))
        << prompts.questions[0].toStdString();
    EXPECT_EQ(form->world().statusCounts(), (World::StatusCounts{0, 0, 3, 3}));
    EXPECT_TRUE(form->world().markers().empty());
    EXPECT_FALSE(QFileInfo::exists(world.path("user.gdb")));
    EXPECT_FALSE(QFileInfo::exists(world.path("markers.gdb")));
}

TEST_F(ProgressTest, ImportAppliesWhenAgreedAndTheWindowShowsIt)
{
    ASSERT_EQ(CodePage::encode(ui().GBLoc->title().trimmed()), "Aldmoor"); // the box shows the first name
    prompts.filesToOpen.push_back(progressFile());
    prompts.answers.push_back(true);
    trigger("ActionImportProgress");
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();

    EXPECT_EQ(form->world().statusCounts(), (World::StatusCounts{1, 1, 1, 3}));
    EXPECT_EQ(form->world().locations()[size_t(indexOf("Aldmoor"))].Note, "caf\xe9 by the \"gate\"");
    ASSERT_EQ(form->world().markers().size(), 1u);
    EXPECT_EQ(form->world().markers()[0], marker("camp", 100, 200));
    // Written at once, whatever Autosave says, as the files' own writers write them.
    EXPECT_EQ(world.read("user.gdb"), writeUserData(form->world().locations()));
    EXPECT_EQ(world.read("markers.gdb"), writeMarkers(form->world().markers()));
    // The location box shows the selected place as it now is; Delete all markers may act.
    EXPECT_TRUE(ui().SBV->isChecked());
    EXPECT_EQ(ui().MemoNotes->toPlainText(), QStringLiteral("caf\u00e9 by the \"gate\""));
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());

    // The same file again holds nothing new: a message, no question.
    prompts.filesToOpen.push_back(world.path("progress.txt"));
    trigger("ActionImportProgress");
    EXPECT_EQ(prompts.questions.size(), 1);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains("holds nothing that differs from this world"));
}

TEST_F(ProgressTest, AMarkerOpenInTheBoxShowsTheTextTheImportGaveIt)
{
    // A marker away from the places, which a double click would open first.
    const QPoint at(15000, 15000);
    const QString first = world.path("first.txt");
    writeFile(first, writeProgress(form->world().locations(), {marker("camp", at.x(), at.y())}));
    prompts.filesToOpen.push_back(first);
    prompts.answers.push_back(true);
    trigger("ActionImportProgress");
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton); // the marker's level shows from 20 %
    const QPoint p = form->view().mapToPanel(at.x(), at.y());
    ASSERT_TRUE(QRect(QPoint(0, 0), form->view().panel()).contains(p));
    doubleClickAt(p);
    ASSERT_TRUE(form->editor().showsMarker());
    ASSERT_EQ(ui().MemoNotes->toPlainText(), QStringLiteral("camp"));

    // Another file gives the same marker a new text while the box shows it.
    const QString path = world.path("later.txt");
    writeFile(path, writeProgress(form->world().locations(), {marker("tents by the ford", at.x(), at.y())}));
    prompts.filesToOpen.push_back(path);
    prompts.answers.push_back(true);
    trigger("ActionImportProgress");
    ASSERT_EQ(form->world().markers()[0].Name, "tents by the ford");
    EXPECT_EQ(ui().MemoNotes->toPlainText(), QStringLiteral("tents by the ford"));
    EXPECT_EQ(world.read("markers.gdb"), writeMarkers(form->world().markers()));

    // So the next key edits the imported text instead of writing the old one back.
    ui().MemoNotes->moveCursor(QTextCursor::End);
    QTest::keyClick(ui().MemoNotes, Qt::Key_S);
    EXPECT_EQ(form->world().markers()[0].Name, "tents by the fords");
}

TEST_F(ProgressTest, ADamagedFileIsReportedWithItsLineAndChangesNothing)
{
    const QString path = progressFile();
    QByteArray bytes = readFile(path);
    bytes.replace("place 5000,-6000 2", "place 5000,-6000 two");
    writeFile(path, bytes);
    prompts.filesToOpen.push_back(path);
    prompts.answers.push_back(true);
    trigger("ActionImportProgress");
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].contains(QFileInfo(path).absoluteFilePath()));
    EXPECT_TRUE(prompts.errors[0].contains(QStringLiteral("at line 9: the status is not a whole number")))
        << prompts.errors[0].toStdString();
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_EQ(form->world().statusCounts(), (World::StatusCounts{0, 0, 3, 3}));
    EXPECT_FALSE(QFileInfo::exists(world.path("user.gdb")));
}

TEST_F(ProgressTest, TheQuestionNamesPlacesTheWorldLacks)
{
    ProgressPlan plan;
    plan.statusesAdded = 2;
    for (int i = 0; i < 25; ++i)
        plan.unmatched << "Gone" + QByteArray::number(i);
    const QString text = importQuestion("/x/p.txt", plan);
    EXPECT_TRUE(text.contains("25 places of the file were not found in this world and are left out: Gone0, Gone1,"));
    EXPECT_TRUE(text.contains("Gone19 and 5 more."));
    EXPECT_FALSE(text.contains("Gone20"));
    EXPECT_FALSE(text.contains("Bookmarks"));
    // The bookmarks are counted beside the markers, before what was left out.
    const QString withBookmarks = importQuestion("/x/p.txt", plan, 3);
    EXPECT_TRUE(withBookmarks.contains("\nMarkers: 0 added, 0 replaced\nBookmarks: 3 added or replaced\n\n25 places"))
        << withBookmarks.left(200).toStdString();
    plan.unmatched = {"\xc4rden"};
    EXPECT_TRUE(importQuestion("/x/p.txt", plan)
                    .contains("1 place of the file was not found in this world and is "
                              "left out: \u00c4rden."));
}

TEST_F(ProgressTest, TheQuestionStaysShortWhateverTheNamesAndSaysWhatWasListedTwice)
{
    ProgressPlan plan;
    plan.statusesAdded = 1;
    // Ten names of 280 000 characters once froze the window in one huge box.
    for (int i = 0; i < 10; ++i)
        plan.unmatched << QByteArray(280000, char('a' + i));
    plan.duplicates = {"Aldmoor", "Aldmoor"};
    const QString text = importQuestion("/x/p.txt", plan);
    EXPECT_LT(text.size(), 10 * 80 + 600);
    EXPECT_TRUE(text.contains(QString(77, 'a') + "..., " + QString(77, 'b') + "...")) << text.left(300).toStdString();
    EXPECT_TRUE(text.contains("2 lines of the file repeat a place listed before and are left out: Aldmoor, Aldmoor."))
        << text.right(300).toStdString();
    EXPECT_FALSE(text.contains("Aldmoor was not found"));
}

} // namespace
} // namespace vdm::test
