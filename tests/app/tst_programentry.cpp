// SPDX-License-Identifier: MIT
// The program entry: which world a run opens, what it remembers, and where its files go.
#include "app/mainform.h"
#include "app/program.h"
#include "common/fakeprompts.h"
#include "common/testutils.h"
#include "common/testworld.h"
#include "app/mainformfixture.h"
#include "world/datalocations.h"
#include "world/worldchoice.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

#include <unistd.h>

namespace vdm::test {
namespace {

/** Writes a world that opens: a small picture and one location. */
void makeWorld(const QString& folder)
{
    QDir().mkpath(folder);
    TestWorld::writePicture(folder + QStringLiteral("/bigmap.jpg"), QSize(66, 76));
    writeFile(folder + QStringLiteral("/vdmain.gdb"), locationRecord("Alpha", 0, 0, 0));
}

QString canonical(const QString& folder)
{
    return QFileInfo(folder).canonicalFilePath();
}

class ProgramTest : public ::testing::Test {
protected:
    /** Runs the program; the window, once it shows, is closed as the user would. */
    void run(const QString& programDir, const QString& argument = {}, bool choose = false)
    {
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* form = qobject_cast<TMainForm*>(w); form && form->isVisible()) {
                    openedWorld = QDir::currentPath();
                    form->close();
                }
            }
        });
        closer.start(10);
        EXPECT_EQ(runProgram(prompts, programDir, argument, choose), 0);
    }
    QByteArray settingsIn(const QString& programDir) const { return readFile(programDir + QStringLiteral("qor.ini")); }

    ScopedXdgHome xdg;
    QTemporaryDir app, world, elsewhere;
    QString appDir = app.path() + QLatin1Char('/');
    FakePrompts prompts;
    QString openedWorld;
};

TEST_F(ProgramTest, NothingFoundOffersTheChooserThenNamesTheFolderAndWritesNothing)
{
    ScopedCurrentDir cwd(elsewhere.path());
    run(appDir);
    EXPECT_EQ(prompts.folderStarts.size(), 1);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Error!|") + worldNotFoundMessage(elsewhere.path()));
    EXPECT_TRUE(openedWorld.isEmpty());
    EXPECT_TRUE(QDir(app.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(xdg.config()));
    EXPECT_FALSE(QFileInfo::exists(xdg.data()));
}

TEST_F(ProgramTest, ASignalWhileTheChooserIsOpenEndsTheRunWithoutABox)
{
    // A logout or a kill while the chooser waits for a world closes it as a Cancel: the
    // program ends there, with no box about a missing world left waiting on no one.
    ScopedCurrentDir cwd(elsewhere.path());
    prompts.whileChoosingFolder = [] {
        ::kill(::getpid(), SIGTERM);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    run(appDir);
    EXPECT_EQ(prompts.folderStarts.size(), 1);
    EXPECT_TRUE(prompts.boxes.isEmpty()) << qPrintable(prompts.boxes.join(QLatin1Char('\n')));
    EXPECT_TRUE(openedWorld.isEmpty());
    EXPECT_TRUE(QDir(app.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ProgramTest, StartedInsideAWorldLeavesNoLastWorld)
{
    makeWorld(world.path());
    ScopedCurrentDir cwd(world.path());
    run(appDir);
    EXPECT_EQ(openedWorld, world.path());
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_FALSE(settingsIn(appDir).isEmpty());
    EXPECT_FALSE(settingsIn(appDir).contains("LastWorld"));
}

TEST_F(ProgramTest, ArgumentOpensThatWorldAndIsRememberedForTheNextRun)
{
    makeWorld(world.path());
    ScopedCurrentDir cwd(elsewhere.path());
    run(appDir, world.path());
    EXPECT_EQ(canonical(openedWorld), canonical(world.path()));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(settingsIn(appDir).contains("LastWorld=" + canonical(world.path()).toUtf8() + "\r\n"));
    EXPECT_TRUE(QFileInfo::exists(world.filePath(QStringLiteral("user.gdb"))));

    // The next run, started anywhere without an argument, comes back to it.
    QFile::remove(world.filePath(QStringLiteral("user.gdb")));
    openedWorld.clear();
    QDir::setCurrent(elsewhere.path());
    run(appDir);
    EXPECT_EQ(canonical(openedWorld), canonical(world.path()));
    EXPECT_TRUE(QFileInfo::exists(world.filePath(QStringLiteral("user.gdb"))));
    EXPECT_TRUE(prompts.folderStarts.isEmpty());
}

TEST_F(ProgramTest, ChoosingFirstAsksEvenInsideAWorldAndACancelSaysNothing)
{
    makeWorld(world.path());
    makeWorld(elsewhere.path());
    ScopedCurrentDir cwd(elsewhere.path());
    prompts.folders.push_back(world.path());
    run(appDir, {}, true);
    EXPECT_EQ(prompts.folderStarts.size(), 1);
    EXPECT_EQ(canonical(openedWorld), canonical(world.path()));
    EXPECT_TRUE(settingsIn(appDir).contains("[Recent]\r\nWorld1=" + canonical(world.path()).toUtf8() + "\r\n"));

    openedWorld.clear();
    QDir::setCurrent(elsewhere.path());
    run(appDir, {}, true); // cancelled
    EXPECT_TRUE(openedWorld.isEmpty());
    EXPECT_TRUE(prompts.messages.isEmpty()) << "the user changed their mind: no box";
}

TEST_F(ProgramTest, RecentWorldsKeepTheLastOpenedFirst)
{
    makeWorld(world.path());
    makeWorld(elsewhere.path());
    ScopedCurrentDir cwd(app.path());
    run(appDir, world.path());
    run(appDir, elsewhere.path());
    run(appDir, world.path());
    const QByteArray settings = settingsIn(appDir);
    EXPECT_TRUE(settings.contains("[Recent]\r\nWorld1=" + canonical(world.path()).toUtf8()
                                  + "\r\nWorld2=" + canonical(elsewhere.path()).toUtf8() + "\r\n"))
        << settings.constData();
}

TEST_F(ProgramTest, ArgumentWithoutAPictureNamesIt)
{
    ScopedCurrentDir cwd(elsewhere.path());
    run(appDir, world.path());
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Error!|") + worldNotFoundMessage(world.path()));
    EXPECT_TRUE(prompts.folderStarts.isEmpty());
}

TEST_F(ProgramTest, ChooserPicksTheWorld)
{
    makeWorld(world.path());
    ScopedCurrentDir cwd(elsewhere.path());
    prompts.folders.push_back(world.path());
    run(appDir);
    EXPECT_EQ(canonical(openedWorld), canonical(world.path()));
    EXPECT_TRUE(settingsIn(appDir).contains("LastWorld="));

    // A folder without a picture is named.
    prompts.folders.push_back(elsewhere.path());
    QFile::remove(appDir + QStringLiteral("qor.ini"));
    QDir::setCurrent(elsewhere.path());
    run(appDir);
    EXPECT_EQ(prompts.messages.value(0), QStringLiteral("Error!|") + worldNotFoundMessage(elsewhere.path()));
}

// An installed program: read-only prefix, started from a folder that is no world.
TEST_F(ProgramTest, InstalledSampleOpensAndTheUsersFilesGoToTheXdgFolders)
{
    const QString bin = app.filePath(QStringLiteral("bin"));
    const QString sample = sampleWorldFolder(bin + QLatin1Char('/'));
    QDir().mkpath(bin);
    makeWorld(sample);
    {
        ScopedReadOnlyFolder lockedBin(bin), lockedSample(sample);
        ScopedCurrentDir cwd(elsewhere.path());
        run(bin + QLatin1Char('/'));
    }
    EXPECT_EQ(canonical(openedWorld), canonical(sample));
    EXPECT_TRUE(prompts.messages.isEmpty()) << qPrintable(prompts.messages.join(QLatin1Char('\n')));
    EXPECT_TRUE(prompts.errors.isEmpty()) << qPrintable(prompts.errors.join(QLatin1Char('\n')));
    EXPECT_EQ(QDir(bin).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_EQ(QDir(sample).entryList(QDir::Files | QDir::Hidden).size(), 2);
    const QByteArray settings = readFile(DataLocations::settingsFolder() + QStringLiteral("/qor.ini"));
    EXPECT_TRUE(settings.contains("LastWorld=" + canonical(sample).toUtf8()));
    const QString data = DataLocations::userDataFolder(sample);
    EXPECT_TRUE(data.startsWith(xdg.data()));
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("/user.gdb")));
    EXPECT_TRUE(QFileInfo::exists(data + QStringLiteral("/markers.gdb")));
}

// A signal in the middle of an edit session, autosave off: the close it makes writes the
// status, the markers and the settings, and the run ends as a close does.
TEST_F(ProgramTest, SigtermDuringAnEditSessionWritesEverythingAsACloseDoes)
{
    makeWorld(world.path());
    writeFile(appDir + QStringLiteral("qor.ini"), "[General]\r\nAutosave=0\r\n");
    bool signalled = false;
    QTimer editor;
    QObject::connect(&editor, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* form = qobject_cast<TMainForm*>(w);
            if (!form || !form->isVisible() || signalled)
                continue;
            // The user opens the box on Alpha and marks it visited; nothing is written yet.
            const QPoint at = form->view().mapToPanel(0, 0);
            QWidget* panel = form->ui().PanelMap;
            QMouseEvent move(QEvent::MouseMove, at, panel->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(panel, &move);
            QTest::mouseClick(panel, Qt::LeftButton, {}, at);
            QTest::mouseDClick(panel, Qt::LeftButton, {}, at);
            QTest::mouseRelease(panel, Qt::LeftButton, {}, at);
            QTest::mouseClick(form->ui().SBV, Qt::LeftButton);
            EXPECT_EQ(form->world().locations()[0].Status, 3);
            EXPECT_FALSE(QFileInfo::exists(world.filePath(QStringLiteral("user.gdb"))));
            signalled = true;
            ::kill(::getpid(), SIGTERM);
        }
    });
    editor.start(10);
    EXPECT_EQ(runProgram(prompts, appDir, world.path()), 0);
    ASSERT_TRUE(signalled) << "the window never showed";
    EXPECT_EQ(readFile(world.filePath(QStringLiteral("user.gdb"))),
              QByteArray("loc\r\n   nm = Alpha\r\n   status = 3\r\n   note = \r\nend\r\n"));
    EXPECT_TRUE(QFileInfo::exists(world.filePath(QStringLiteral("markers.gdb"))));
    const QByteArray settings = settingsIn(appDir);
    EXPECT_TRUE(settings.contains("Autosave=0")) << settings.constData();
    EXPECT_TRUE(settings.contains("[Window]")) << settings.constData();
    EXPECT_TRUE(prompts.errors.isEmpty()) << qPrintable(prompts.errors.join(QLatin1Char('\n')));
}

} // namespace
} // namespace vdm::test
