// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/errors.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vdm {
namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::setFaultInjector({}); }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

TEST_F(AtomicFileTest, WritesAndReplaces)
{
    const QString path = dir.filePath("user.gdb");
    AtomicFile::write(path, "first");
    EXPECT_EQ(test::readFile(path), "first");
    AtomicFile::write(path, QByteArray("second\0with nul", 15));
    EXPECT_EQ(test::readFile(path), QByteArray("second\0with nul", 15));
    AtomicFile::write(path, "");
    EXPECT_EQ(test::readFile(path), "");
    EXPECT_EQ(entries(), QStringList{"user.gdb"});
}

TEST_F(AtomicFileTest, SweepsTemporariesLeftByAKilledSave)
{
    const QString path = dir.filePath("user.gdb");
    // One left long ago by a save that was killed, one that may belong to a save under way,
    // and a file of another database that only looks alike.
    const QString old = dir.filePath(".user.gdb.Ab3xYz");
    const QString recent = dir.filePath(".user.gdb.Qr7tUv");
    const QString other = dir.filePath(".markers.gdb.Ab3xYz");
    for (const QString& f : {old, recent, other})
        test::writeFile(f, "partial");
    const QDateTime longAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString& f : {old, other}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }
    AtomicFile::write(path, "whole");
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(recent));
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_EQ(test::readFile(path), "whole");
}

TEST_F(AtomicFileTest, KeepsPermissions)
{
    const QString path = dir.filePath("markers.gdb");
    test::writeFile(path, "old");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    AtomicFile::write(path, "new");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(AtomicFileTest, KeepsEveryMode)
{
    const QString path = dir.filePath("qor.ini");
    for (const mode_t mode : {0600u, 0640u, 0664u, 0755u, 0200u}) {
        test::writeFile(path, "old");
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        AtomicFile::write(path, "new");
        EXPECT_EQ(modeOf(path), mode) << std::oct << mode;
        ::chmod(QFile::encodeName(path).constData(), 0600);
        EXPECT_EQ(test::readFile(path), "new");
    }
}

TEST_F(AtomicFileTest, KeepsOwnerWherePermitted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser may give a file to another user";
    const QString path = dir.filePath("user.gdb");
    test::writeFile(path, "old");
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4321, 4322), 0);
    AtomicFile::write(path, "new");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
}

// The superuser may write any file; the mode bits still decide, so the rule is the same
// whoever runs the program.
TEST_F(AtomicFileTest, ReadOnlyFileIsNotReplaced)
{
    const QString path = dir.filePath("user.gdb");
    const QByteArray old = "loc\r\n   nm = Kept\r\nend\r\n";
    for (const mode_t mode : {0444u, 0400u, 0000u}) {
        test::writeFile(path, old);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        try {
            AtomicFile::write(path, "new");
            ADD_FAILURE() << "a read-only file was replaced, mode " << std::oct << mode;
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Unable to write to " + QFileInfo(path).absoluteFilePath());
        }
        EXPECT_EQ(modeOf(path), mode);
        ::chmod(QFile::encodeName(path).constData(), 0600);
        EXPECT_EQ(test::readFile(path), old);
        EXPECT_EQ(entries(), QStringList{"user.gdb"});
        QFile::remove(path);
    }
}

// Nothing changes, so nothing is written: a read-only file with its own bytes is no
// failure, and a writable one keeps its inode, its time and its mode.
TEST_F(AtomicFileTest, TheSameBytesAreNotWrittenAgain)
{
    const QString path = dir.filePath("user.gdb");
    const QByteArray stored = "loc\r\n   nm = Same\r\nend\r\n";
    for (const mode_t mode : {0644u, 0444u, 0000u}) {
        test::writeFile(path, stored);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        struct stat before {
        }, after{};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
        if (mode == 0000u && ::geteuid() != 0) {
            // Unreadable: whether it holds these bytes is unknown, so it is a refused write.
            EXPECT_THROW(AtomicFile::write(path, stored), Error);
        } else {
            EXPECT_NO_THROW(AtomicFile::write(path, stored)) << std::oct << mode;
        }
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(modeOf(path), mode);
        // One byte more, or one byte other, is a change.
        if (mode == 0644u) {
            AtomicFile::write(path, stored + "x");
            EXPECT_EQ(test::readFile(path), stored + "x");
        } else {
            EXPECT_THROW(AtomicFile::write(path, QByteArray(stored).replace("Same", "Sane")), Error);
        }
        ::chmod(QFile::encodeName(path).constData(), 0600);
        QFile::remove(path);
    }
}

// A folder without write bits is read-only by its owner's choice, for the superuser too.
TEST_F(AtomicFileTest, NothingIsCreatedOrReplacedInAReadOnlyFolder)
{
    const QString path = dir.filePath("user.gdb");
    test::writeFile(path, "old");
    {
        test::ScopedReadOnlyFolder readOnly(dir.path());
        EXPECT_THROW(AtomicFile::write(path, "new"), Error);
        EXPECT_THROW(AtomicFile::write(dir.filePath("markers.gdb"), "new"), Error);
    }
    EXPECT_EQ(test::readFile(path), "old");
    EXPECT_EQ(entries(), QStringList{"user.gdb"});
}

TEST_F(AtomicFileTest, FilesWrittenTogetherAreAllOldAfterAFailureAndAllNewAfterwards)
{
    const QString a = dir.filePath("user.gdb"), b = dir.filePath("markers.gdb"), journal = dir.filePath(".journal");
    using Step = AtomicFile::Step;
    // Create, Write and Sync of the second file, and any step of the journal: all fail whole.
    for (const Step failing : {Step::Create, Step::Write, Step::Flush, Step::Sync, Step::Rename}) {
        for (const int at : {1, 2, 3}) {
            SCOPED_TRACE(::testing::Message() << "step " << int(failing) << ", time " << at);
            test::writeFile(a, "old a");
            test::writeFile(b, "old b");
            int seen = 0;
            AtomicFile::setFaultInjector([&](Step s) { return s != failing || ++seen != at; });
            bool threw = false;
            try {
                AtomicFile::writeTogether({{a, "new a"}, {b, "new b"}}, journal);
            } catch (const Error& e) {
                threw = true;
                EXPECT_TRUE(e.message().startsWith("Unable to write to ")) << e.message().toStdString();
            }
            AtomicFile::setFaultInjector({});
            const QByteArray nowA = test::readFile(a), nowB = test::readFile(b);
            if (threw) {
                // Only a rename of the pair itself failing leaves the first renamed.
                const bool firstRenamed = failing == Step::Rename && at == 3;
                EXPECT_EQ(nowA, firstRenamed ? "new a" : "old a");
                EXPECT_EQ(nowB, "old b");
            } else {
                EXPECT_EQ(nowA, "new a");
                EXPECT_EQ(nowB, "new b");
            }
            EXPECT_EQ(entries(), (QStringList{"markers.gdb", "user.gdb"})) << "a temporary or the journal was left";
        }
    }
}

TEST_F(AtomicFileTest, AJournalLeftByAKillIsCompletedAndAnUnfinishedOneLeavesTheOldFiles)
{
    const QString a = dir.filePath("user.gdb"), b = dir.filePath("markers.gdb"), journal = dir.filePath(".journal");
    test::writeFile(a, "old a");
    test::writeFile(b, "old b");
    const QString tempA = dir.filePath(".user.gdb.Ab12Cd"), tempB = dir.filePath(".markers.gdb.Ef34Gh");
    test::writeFile(tempA, "new a");
    test::writeFile(tempB, "new b");
    // The kill came after the first rename.
    ASSERT_EQ(::rename(QFile::encodeName(tempA).constData(), QFile::encodeName(a).constData()), 0);
    test::writeFile(journal, "veldamar-map replaces together 1\n" + QFile::encodeName(tempA).toHex() + ' '
                                 + QFile::encodeName(a).toHex() + '\n' + QFile::encodeName(tempB).toHex() + ' '
                                 + QFile::encodeName(b).toHex() + '\n');
    EXPECT_TRUE(AtomicFile::finishTogether(journal));
    EXPECT_EQ(test::readFile(a), "new a");
    EXPECT_EQ(test::readFile(b), "new b");
    EXPECT_EQ(entries(), (QStringList{"markers.gdb", "user.gdb"}));
    EXPECT_FALSE(AtomicFile::finishTogether(journal));
    // A journal that is not one (cut short, or foreign) completes nothing and goes.
    test::writeFile(tempB, "newer b");
    test::writeFile(journal, "veldamar-map replaces");
    EXPECT_TRUE(AtomicFile::finishTogether(journal));
    EXPECT_EQ(test::readFile(b), "new b");
}

TEST_F(AtomicFileTest, LinkStaysAndItsTargetGetsTheData)
{
    // The link lives in the world folder; the file it names in a synced folder beside it.
    QDir(dir.path()).mkdir("world");
    QDir(dir.path()).mkdir("synced");
    const QString target = dir.filePath("synced/user.gdb");
    test::writeFile(target, "old");
    ::chmod(QFile::encodeName(target).constData(), 0640);
    struct Case {
        const char* link;
        const char* pointsAt;
    };
    for (const Case& c : {Case{"world/user.gdb", "../synced/user.gdb"}, // relative
                          Case{"world/markers.gdb", "user.gdb"}}) {     // a chain: markers -> user -> synced
        SCOPED_TRACE(c.link);
        const QString link = dir.filePath(QLatin1String(c.link));
        ASSERT_EQ(::symlink(c.pointsAt, QFile::encodeName(link).constData()), 0);
        const QByteArray data = QByteArray("written through ") + c.link;
        AtomicFile::write(link, data);
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(test::readFile(target), data);
        EXPECT_EQ(modeOf(target), 0640u);
        // The temporary file was made and renamed in the target's folder.
        EXPECT_EQ(QDir(dir.filePath("synced")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"user.gdb"});
    }
    EXPECT_EQ(QDir(dir.filePath("world")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"markers.gdb", "user.gdb"}));
}

TEST_F(AtomicFileTest, DanglingLinkCreatesItsTarget)
{
    const QString link = dir.filePath("qor.ini");
    ASSERT_EQ(::symlink("settings/qor.ini", QFile::encodeName(link).constData()), 0);
    QDir(dir.path()).mkdir("settings");
    AtomicFile::write(link, "[Map]\r\n");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(test::readFile(dir.filePath("settings/qor.ini")), "[Map]\r\n");
}

TEST_F(AtomicFileTest, LinkLoopAndSpecialFilesAreRefused)
{
    const QString loop = dir.filePath("user.gdb");
    ASSERT_EQ(::symlink("markers.gdb", QFile::encodeName(loop).constData()), 0);
    ASSERT_EQ(::symlink("user.gdb", QFile::encodeName(dir.filePath("markers.gdb")).constData()), 0);
    EXPECT_THROW(AtomicFile::write(loop, "x"), Error);

    // A FIFO is neither opened (which would wait for a reader) nor replaced.
    const QString fifo = dir.filePath("qor.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    EXPECT_THROW(AtomicFile::write(fifo, "x"), Error);
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_EQ(entries(), (QStringList{"markers.gdb", "qor.ini", "user.gdb"}));
}

TEST_F(AtomicFileTest, FailureAtEachStepKeepsOldFile)
{
    const QString path = dir.filePath("user.gdb");
    const QByteArray old = "loc\r\n   nm = Old\r\n   status = 3\r\n   note = keep me\r\nend\r\n";
    for (const AtomicFile::Step failing : {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Flush,
                                           AtomicFile::Step::Sync, AtomicFile::Step::Rename}) {
        test::writeFile(path, old);
        std::vector<AtomicFile::Step> seen;
        AtomicFile::setFaultInjector([&](AtomicFile::Step s) {
            seen.push_back(s);
            return s != failing;
        });
        try {
            AtomicFile::write(path, "new contents");
            ADD_FAILURE() << "step " << int(failing) << " failed silently";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Unable to write to " + QFileInfo(path).absoluteFilePath());
        }
        EXPECT_EQ(seen.back(), failing);
        EXPECT_EQ(test::readFile(path), old) << int(failing);
        EXPECT_EQ(entries(), QStringList{"user.gdb"}) << int(failing); // no temporary left behind
    }
}

TEST_F(AtomicFileTest, FailureWithoutOldFileLeavesNothing)
{
    const QString path = dir.filePath("markers.gdb");
    AtomicFile::setFaultInjector([](AtomicFile::Step s) { return s != AtomicFile::Step::Sync; });
    EXPECT_THROW(AtomicFile::write(path, "x"), Error);
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(AtomicFileTest, RelativePathReportedInFull)
{
    test::ScopedCurrentDir cwd(dir.path());
    QDir(dir.path()).mkdir("qor.ini"); // a directory in the way: the rename must fail
    try {
        AtomicFile::write("qor.ini", "x");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + QDir(dir.path()).absoluteFilePath("qor.ini"));
    }
    EXPECT_EQ(entries(), QStringList{"qor.ini"});
    EXPECT_TRUE(QFileInfo(dir.filePath("qor.ini")).isDir());
}

TEST_F(AtomicFileTest, MissingDirectory)
{
    EXPECT_THROW(AtomicFile::write(dir.filePath("no/such/dir/user.gdb"), "x"), Error);
}

} // namespace
} // namespace vdm
