// SPDX-License-Identifier: MIT
// One window per world: the names, the hand-over between two claims, and what a killed
// holder leaves behind. The later start runs on a thread of its own here, as it would in
// a process of its own, while the holder's event loop answers it.
#include "session/worldinstance.h"

#include "common/testutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vdm::test {
namespace {

using namespace std::chrono_literals;
using Claim = WorldInstance::Claim;

/** Points XDG_RUNTIME_DIR at a private folder, so no test meets a real program's lock. */
class WorldInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_runtime.isValid());
        QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_oldRuntime); }

    /** A claim on `folder` made as a later start makes it, while this thread's loop runs. */
    static Claim claimElsewhere(const QString& folder, std::chrono::milliseconds wait = 10s)
    {
        std::atomic<bool> done = false;
        Claim result = Claim::Held;
        std::thread later([&] {
            WorldInstance other;
            result = other.claim(folder, wait);
            done = true;
        });
        const bool finished = QTest::qWaitFor([&] { return done.load(); }, 30000);
        later.join();
        EXPECT_TRUE(finished);
        return result;
    }

    QTemporaryDir world, otherWorld;

private:
    QTemporaryDir m_runtime;
    QByteArray m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
};

TEST_F(WorldInstanceTest, TheNameFollowsTheRealPathAndTheUser)
{
    ASSERT_TRUE(QFile::link(world.path(), otherWorld.filePath(QStringLiteral("link"))));
    const QString name = WorldInstance::nameFor(world.path());
    EXPECT_TRUE(name.startsWith(QStringLiteral("veldamar-map-%1-").arg(::getuid()))) << qPrintable(name);
    struct Case {
        const char* what;
        QString folder;
        bool same;
    };
    for (const Case& c : {Case{"a link to it", otherWorld.filePath(QStringLiteral("link")), true},
                          Case{"a path with dots", world.path() + QStringLiteral("/./"), true},
                          Case{"another world", otherWorld.path(), false}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WorldInstance::nameFor(c.folder) == name, c.same);
    }
    ScopedCurrentDir cwd(world.path());
    EXPECT_EQ(WorldInstance::nameFor({}), name) << "empty: the working directory";
}

TEST_F(WorldInstanceTest, ALaterStartHandsOverAndTheWindowIsRaisedOnceItIsReady)
{
    WorldInstance first;
    QSignalSpy raised(&first, &WorldInstance::raiseRequested);
    ASSERT_EQ(first.claim(world.path()), Claim::Held);
    EXPECT_TRUE(first.holds());

    EXPECT_EQ(claimElsewhere(world.path()), Claim::HandedOver);
    EXPECT_EQ(raised.count(), 0) << "no window yet: the request waits";
    first.setReady();
    EXPECT_EQ(raised.count(), 1);
    EXPECT_EQ(claimElsewhere(world.path()), Claim::HandedOver);
    EXPECT_EQ(raised.count(), 2);
}

TEST_F(WorldInstanceTest, DifferentWorldsAreIndependentAndAReleasedWorldIsFree)
{
    WorldInstance first;
    ASSERT_EQ(first.claim(world.path()), Claim::Held);
    EXPECT_EQ(claimElsewhere(otherWorld.path()), Claim::Held);
    first.release();
    EXPECT_FALSE(first.holds());
    EXPECT_EQ(claimElsewhere(world.path()), Claim::Held);
}

// A holder killed with -9 leaves its lock file (naming a process that is gone) and its
// socket file (which no one listens on): neither blocks the next start.
TEST_F(WorldInstanceTest, ALockAndASocketLeftByAKilledHolderAreTakenOver)
{
    const QString base = QDir(WorldInstance::runtimeFolder()).filePath(WorldInstance::nameFor(world.path()));
    QProcess gone;
    gone.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    gone.kill();
    ASSERT_TRUE(gone.waitForFinished());
    const QByteArray stale = QByteArray::number(pid) + "\nveldamar-map\n" + QSysInfo::machineHostName().toUtf8() + "\n";
    writeFile(base + QStringLiteral(".lock"), stale);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(base);
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    std::copy(path.begin(), path.end(), address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd); // the socket file stays, with no one behind it

    WorldInstance next;
    ASSERT_EQ(next.claim(world.path(), 2s), Claim::Held);
    next.setReady();
    QSignalSpy raised(&next, &WorldInstance::raiseRequested);
    EXPECT_EQ(claimElsewhere(world.path()), Claim::HandedOver) << "the new holder listens";
    EXPECT_EQ(raised.count(), 1);
}

TEST_F(WorldInstanceTest, AHolderThatNeverAnswersDoesNotKeepTheStartWaiting)
{
    // A live process (this one) holds the lock but never listens.
    QLockFile held(QDir(WorldInstance::runtimeFolder()).filePath(WorldInstance::nameFor(world.path()))
                   + QStringLiteral(".lock"));
    ASSERT_TRUE(held.tryLock(0));
    WorldInstance later;
    EXPECT_EQ(later.claim(world.path(), 300ms), Claim::Unanswered);
}

TEST_F(WorldInstanceTest, AnotherProgramsWorldIsShownThereAndNoLockIsLeft)
{
    WorldInstance first;
    QSignalSpy raised(&first, &WorldInstance::raiseRequested);
    ASSERT_EQ(first.claim(world.path()), Claim::Held);
    first.setReady();
    EXPECT_FALSE(first.shownElsewhere(world.path())) << "its own world is shown here";

    std::atomic<bool> done = false;
    bool held = false, free = true;
    std::thread later([&] {
        WorldInstance other;
        held = other.shownElsewhere(world.path());
        free = other.shownElsewhere(otherWorld.path());
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 30000));
    later.join();
    EXPECT_TRUE(held);
    EXPECT_FALSE(free);
    EXPECT_EQ(raised.count(), 1);
    EXPECT_EQ(claimElsewhere(otherWorld.path()), Claim::Held) << "the look left no lock behind";
}

} // namespace
} // namespace vdm::test
