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

namespace vdm {
namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::setFaultInjector({}); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
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
