// SPDX-License-Identifier: MIT
// The program entry with the real boxes: a world without a locations database names the
// file in a box of the start, and the run ends once the box is answered, however the
// file is missing. (tests/x11 starts the real program for the same case.)
#include "app/program.h"
#include "common/testworld.h"
#include "dialogs/prompts.h"
#include "world/worldchoice.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

namespace vdm::test {
namespace {

/** How the locations file is missing. */
enum class NoLocations { Absent, Directory, Fifo };

class ProgramExitTest : public ::testing::TestWithParam<NoLocations> {};

TEST_P(ProgramExitTest, NamesTheMissingFileAndEndsOnceTheBoxIsAnswered)
{
    TestWorld world;
    const QByteArray user = "loc\r\n   nm = Alpha\r\n   status = 3\r\n   note = kept\r\nend\r\n";
    world.write(QStringLiteral("user.gdb"), user);
    const QString locations = world.path(QStringLiteral("vdmain.gdb"));
    switch (GetParam()) {
    case NoLocations::Absent:
        break;
    case NoLocations::Directory:
        ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("vdmain.gdb")));
        break;
    case NoLocations::Fifo:
        ASSERT_EQ(::mkfifo(QFile::encodeName(locations).constData(), 0600), 0);
        break;
    }

    // The user answers each box the run shows with Enter, as it comes up.
    QStringList answered;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
            answered << box->text();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    answerer.start(10);
    WidgetPrompts prompts;
    EXPECT_EQ(runProgram(prompts, world.appDir()), 0);
    answerer.stop();

    ASSERT_FALSE(answered.isEmpty());
    EXPECT_EQ(answered[0], errorBoxText(locationsMissingMessage(QFileInfo(locations).absoluteFilePath())));
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << qPrintable(w->objectName()) << " still shows: no window outlives the run";
    // The run loaded nothing completely, so the user's file is kept as it was.
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_FALSE(QFile::exists(world.path(QStringLiteral("user.gdb.bak"))));
}

INSTANTIATE_TEST_SUITE_P(Start, ProgramExitTest,
                         ::testing::Values(NoLocations::Absent, NoLocations::Directory, NoLocations::Fifo),
                         [](const ::testing::TestParamInfo<NoLocations>& row) {
                             switch (row.param) {
                             case NoLocations::Absent:
                                 return std::string("LocationsAbsent");
                             case NoLocations::Directory:
                                 return std::string("LocationsDirectory");
                             case NoLocations::Fifo:
                                 break;
                             }
                             return std::string("LocationsFifo");
                         });

} // namespace
} // namespace vdm::test
