// SPDX-License-Identifier: MIT
// The real program, started as a user starts it: it must end on its own after an error
// box that comes before the main loop.
#include "common/testworld.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

namespace vdm::test {
namespace {

/** How the locations file is missing. */
enum class NoLocations { Absent, Directory, Fifo };

class ProgramExitTest : public ::testing::TestWithParam<NoLocations> {};

TEST_P(ProgramExitTest, EndsAfterAnErrorBoxBeforeTheMainLoop)
{
    TestWorld world;
    // A copy of the program, so the settings file it writes lands in a folder of the test's.
    const QString program = world.appPath(QStringLiteral("veldamar-map"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VDM_PROGRAM), program));
    const QByteArray user = "loc\r\n   nm = Alpha\r\n   status = 3\r\n   note = kept\r\nend\r\n";
    world.write(QStringLiteral("user.gdb"), user);
    switch (GetParam()) {
    case NoLocations::Absent:
        break;
    case NoLocations::Directory:
        ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("vdmain.gdb")));
        break;
    case NoLocations::Fifo:
        ASSERT_EQ(::mkfifo(QFile::encodeName(world.path(QStringLiteral("vdmain.gdb"))).constData(), 0600), 0);
        break;
    }

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(world.dir());
    process.start(program, {});
    ASSERT_TRUE(process.waitForStarted());
    // The wait only keeps a hang from blocking the suite; the program needs a fraction of it.
    const bool ended = process.waitForFinished(60000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    ASSERT_TRUE(ended) << "the program did not end after the error box";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
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
