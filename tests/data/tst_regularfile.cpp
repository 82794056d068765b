// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/regularfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vdm {
namespace {

using Status = RegularFile::Status;

TEST(RegularFile, OpensOnlyRegularFilesAndLinksToThem)
{
    QTemporaryDir dir;
    test::writeFile(dir.filePath("file"), "bytes");
    QDir(dir.path()).mkdir("folder");
    QFile::link(dir.filePath("file"), dir.filePath("link"));
    QFile::link(dir.filePath("gone"), dir.filePath("dangling"));
    const test::Fifo fifo(dir.filePath("fifo"));
    struct Case {
        QString path;
        Status status;
    };
    for (const Case& c :
         {Case{dir.filePath("file"), Status::Open}, Case{dir.filePath("link"), Status::Open},
          Case{dir.filePath("missing"), Status::Missing}, Case{dir.filePath("dangling"), Status::Missing},
          Case{dir.filePath("file/below"), Status::Missing}, Case{QString(), Status::Missing},
          Case{dir.filePath("folder"), Status::NotRegular}, Case{dir.filePath("fifo"), Status::NotRegular},
          Case{QStringLiteral("/dev/null"), Status::NotRegular}}) {
        SCOPED_TRACE(c.path.toStdString());
        RegularFile file(c.path);
        EXPECT_EQ(file.status(), c.status);
        EXPECT_EQ(RegularFile::isRegular(c.path), c.status == Status::Open);
        EXPECT_EQ(file.readAll().has_value(), c.status == Status::Open);
    }
    EXPECT_FALSE(fifo.blocked());
}

TEST(RegularFile, ReadsEverythingUpToTheLimit)
{
    QTemporaryDir dir;
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i)
        bytes += char(i * 7);
    test::writeFile(dir.filePath("f"), bytes);
    EXPECT_EQ(RegularFile(dir.filePath("f")).readAll(), bytes);
    EXPECT_EQ(RegularFile(dir.filePath("f")).readAll(bytes.size()), bytes);
    EXPECT_EQ(RegularFile(dir.filePath("f")).readAll(bytes.size() - 1), std::nullopt);
    test::writeFile(dir.filePath("empty"), "");
    EXPECT_EQ(RegularFile(dir.filePath("empty")).readAll(0), QByteArray());

    // A file that reports no size (as those under /proc do) is read to its end all the same.
    if (QFile::exists("/proc/self/status")) {
        EXPECT_GT(RegularFile("/proc/self/status").readAll().value_or(QByteArray()).size(), 0);
    }
}

TEST(RegularFile, UnreadableWithoutPermission)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    QTemporaryDir dir;
    test::writeFile(dir.filePath("f"), "x");
    QFile::setPermissions(dir.filePath("f"), QFile::WriteOwner);
    EXPECT_EQ(RegularFile(dir.filePath("f")).status(), Status::Unreadable);
}

} // namespace
} // namespace vdm
