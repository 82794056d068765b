// SPDX-License-Identifier: MIT
// The real program as processes of its own (offscreen): one window per world, a killed
// first leaving nothing that blocks, a signal closing as the close button does, and a
// portable copy keeping its own settings. Every wait is bounded, so a hang fails.
#include "common/testutils.h"
#include "common/testworld.h"
#include "session/worldinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace vdm::test {
namespace {

constexpr int kWatchdogMs = 60000;

/** A world that opens: a small picture and one location. */
void makeWorld(const QString& folder)
{
    QDir().mkpath(folder);
    TestWorld::writePicture(folder + QStringLiteral("/bigmap.jpg"), QSize(66, 76));
    writeFile(folder + QStringLiteral("/vdmain.gdb"), locationRecord("Alpha", 0, 0, 0));
}

/**
 * Copies of the program in folders of the test's, started with private user folders
 * (home, XDG config, data and runtime), so the settings they write and the locks they
 * take are the test's alone.
 */
class ProgramProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(runtime()));
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(QFile::copy(QStringLiteral(VDM_PROGRAM), program()));
        makeWorld(world.path());
    }
    ~ProgramProcessTest() override
    {
        for (auto& p : m_processes)
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished();
            }
    }

    QString program() const { return app.filePath(QStringLiteral("veldamar-map")); }
    QString runtime() const { return home.filePath(QStringLiteral("runtime")); }
    QString xdgConfig() const { return home.filePath(QStringLiteral("config")); }

    /** Starts the program on `folder` (its argument); `program` defaults to the test's copy. */
    QProcess& start(const QString& folder, const QString& binary = {})
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdgConfig());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(home.path());
        process->start(binary.isEmpty() ? program() : binary, {folder});
        EXPECT_TRUE(process->waitForStarted());
        m_processes.push_back(std::move(process));
        return *m_processes.back();
    }

    /** Waits for the end; kills a process that hangs, so the suite goes on. */
    static bool ended(QProcess& process)
    {
        if (process.waitForFinished(kWatchdogMs))
            return true;
        process.kill();
        process.waitForFinished();
        return false;
    }

    /**
     * Waits until a program holds the world in `folder` and listens: a connection that
     * asks nothing is taken and let go. A race between two starts would otherwise decide
     * which of them holds the world.
     */
    bool held(const QString& folder) const
    {
        const QString socket = QDir(runtime()).filePath(WorldInstance::nameFor(folder));
        return QTest::qWaitFor(
            [&] {
                QLocalSocket probe;
                probe.connectToServer(socket);
                return probe.waitForConnected(1000);
            },
            kWatchdogMs);
    }

    /**
     * A later start on `folder` hands over and ends with status 0: proof that a program
     * holds the world and answers.
     */
    void expectHandedOver(const QString& folder)
    {
        ASSERT_TRUE(held(folder)) << "no program holds the world";
        QProcess& later = start(folder);
        ASSERT_TRUE(ended(later)) << "the later start did not end: " << later.readAllStandardError().constData();
        EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later.exitCode(), 0) << later.readAllStandardError().constData();
    }

    /** Ends `process` with `signal` and expects the status a close gives. */
    void expectClosedBy(QProcess& process, int signal)
    {
        ASSERT_EQ(::kill(pid_t(process.processId()), signal), 0);
        ASSERT_TRUE(ended(process)) << "the signal did not end the program";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    }

    QTemporaryDir home, app, world;

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

TEST_F(ProgramProcessTest, ASecondStartOnOneWorldHandsOverAndEndsWithStatusZero)
{
    QProcess& first = start(world.path());
    expectHandedOver(world.path());
    // By another path to the same folder too.
    const QString link = home.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(world.path(), link));
    expectHandedOver(link);
    EXPECT_EQ(first.state(), QProcess::Running) << "one process holds the world";
    expectClosedBy(first, SIGTERM);
}

TEST_F(ProgramProcessTest, AFirstKilledWithoutWarningLeavesNothingThatBlocksTheNext)
{
    QProcess& first = start(world.path());
    expectHandedOver(world.path()); // the first is up and holds the world
    first.kill();                   // SIGKILL: no clean-up of its lock or socket
    ASSERT_TRUE(first.waitForFinished(kWatchdogMs));

    QProcess& next = start(world.path());
    expectHandedOver(world.path());
    EXPECT_EQ(next.state(), QProcess::Running) << "the next start holds the world";
    expectClosedBy(next, SIGTERM);
}

TEST_F(ProgramProcessTest, StartsOnDifferentWorldsAreIndependent)
{
    QTemporaryDir second;
    makeWorld(second.path());
    QProcess& a = start(world.path());
    QProcess& b = start(second.path());
    expectHandedOver(world.path());
    expectHandedOver(second.path());
    EXPECT_EQ(a.state(), QProcess::Running);
    EXPECT_EQ(b.state(), QProcess::Running);
    expectClosedBy(a, SIGINT);
    expectClosedBy(b, SIGHUP);
}

// The close a signal makes writes what the close button's would: the user files and the settings.
TEST_F(ProgramProcessTest, SigtermWritesTheUserFilesAndTheSettingsAndEndsWithStatusZero)
{
    writeFile(app.filePath(QStringLiteral("qor.ini")), "[General]\r\nAutosave=0\r\n");
    QProcess& first = start(world.path());
    expectHandedOver(world.path());
    expectClosedBy(first, SIGTERM);
    EXPECT_TRUE(QFileInfo::exists(world.filePath(QStringLiteral("user.gdb"))));
    EXPECT_TRUE(QFileInfo::exists(world.filePath(QStringLiteral("markers.gdb"))));
    const QByteArray settings = readFile(app.filePath(QStringLiteral("qor.ini")));
    EXPECT_TRUE(settings.contains("Autosave=0")) << settings.constData();
    EXPECT_TRUE(settings.contains("[Window]")) << "the window's place was written: " << settings.constData();
}

// A portable copy beside a writable folder keeps its own settings, whatever the user's
// folder holds from another copy.
TEST_F(ProgramProcessTest, APortableCopyReadsAndWritesItsOwnSettingsOverAStaleXdgCopy)
{
    writeFile(app.filePath(QStringLiteral("qor.ini")), "[Map]\r\nFontSize=11\r\n");
    const QString stale = xdgConfig() + QStringLiteral("/veldamar-map/qor.ini");
    const QByteArray staleBytes = "[Map]\r\nFontSize=23\r\n";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(stale).path()));
    writeFile(stale, staleBytes);
    QProcess& first = start(world.path());
    expectHandedOver(world.path());
    expectClosedBy(first, SIGTERM);
    const QByteArray own = readFile(app.filePath(QStringLiteral("qor.ini")));
    EXPECT_TRUE(own.contains("FontSize=11")) << own.constData();
    EXPECT_TRUE(own.contains("[Window]")) << own.constData();
    EXPECT_EQ(readFile(stale), staleBytes) << "the other copy's file is left as it was";
}

} // namespace
} // namespace vdm::test
