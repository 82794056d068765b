// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/dbprinters.h"
#include "data/databasefile.h"
#include "data/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vdm {
namespace {

TEST(DatabaseFile, ExistsOnlyForFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    test::writeFile(dir.filePath("vdmain.gdb"), "loc\r\n");
    QDir(dir.path()).mkdir("user.gdb");
    QFile::link(dir.filePath("vdmain.gdb"), dir.filePath("link.gdb"));
    QFile::link(dir.filePath("gone.gdb"), dir.filePath("dangling.gdb"));

    EXPECT_TRUE(databaseExists(dir.filePath("vdmain.gdb")));
    EXPECT_TRUE(databaseExists(dir.filePath("link.gdb")));
    EXPECT_FALSE(databaseExists(dir.filePath("user.gdb")));
    EXPECT_FALSE(databaseExists(dir.filePath("dangling.gdb")));
    EXPECT_FALSE(databaseExists(dir.filePath("markers.gdb")));

    // Bare names resolve against the current directory.
    test::ScopedCurrentDir cwd(dir.path());
    EXPECT_TRUE(databaseExists("vdmain.gdb"));
    EXPECT_FALSE(databaseExists("routes.gdb"));
}

TEST(DatabaseFile, SpecialFilesAreNoDatabasesAndNeverBlock)
{
    QTemporaryDir dir;
    const test::Fifo fifo(dir.filePath("user.gdb"));
    EXPECT_FALSE(databaseExists(dir.filePath("user.gdb")));
    EXPECT_FALSE(databaseExists("/dev/null"));
    for (const QString& path : {dir.filePath("user.gdb"), QStringLiteral("/dev/zero")}) {
        try {
            readDatabaseFile(path);
            ADD_FAILURE() << "read a special file as a database: " << path.toStdString();
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Cannot open file " + QFileInfo(path).absoluteFilePath());
        }
    }
    EXPECT_FALSE(fifo.blocked());
}

TEST(DatabaseFile, ReadsWholeFileByteForByte)
{
    QTemporaryDir dir;
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i)
        bytes += char(i * 31);
    test::writeFile(dir.filePath("routes.gdb"), bytes);
    EXPECT_EQ(readDatabaseFile(dir.filePath("routes.gdb")), bytes);
    test::writeFile(dir.filePath("empty.gdb"), "");
    EXPECT_EQ(readDatabaseFile(dir.filePath("empty.gdb")), "");
}

TEST(DatabaseFile, UnreadableNamesFullPath)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("user.gdb");
    const QString full = QDir(dir.path()).absoluteFilePath("user.gdb");
    test::ScopedCurrentDir cwd(dir.path());
    try {
        readDatabaseFile("user.gdb");
        FAIL() << "a directory read as a database";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot open file " + full);
    }
    EXPECT_THROW(readDatabaseFile("missing.gdb"), Error);
}

TEST(DatabaseFile, NoPermission)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    QTemporaryDir dir;
    const QString path = dir.filePath("user.gdb");
    test::writeFile(path, "loc\r\n");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    EXPECT_TRUE(databaseExists(path));
    try {
        readDatabaseFile(path);
        FAIL() << "an unreadable file was read";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot open file " + path);
    }
}

TEST(DatabaseFile, LabelledValue)
{
    struct Case {
        QByteArray text;
        bool lineEnd;
        bool metEnd;
        QByteArray value;
    } cases[] = {
        {"label:value", true, false, "value"},
        {"label:", true, false, ""},
        {"lab", true, false, ""},
        {"", true, false, ""},
        {"label:piece", false, false, "piec"}, // a 254-character piece: its last character counts as the line end
        {"label:last", false, true, "last"},   // the last line of the data without a line end
        {"", false, true, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(labelledValue(LineReader::Line{c.text, c.lineEnd, c.metEnd}, 6), c.value) << c.text.constData();
}

} // namespace
} // namespace vdm
