// SPDX-License-Identifier: MIT
// The view renderer as a program: hostile worlds end in a message and status 1, never in
// an abort or a wait.
#include "common/testutils.h"
#include "common/testworld.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace vdm {
namespace {

using Outcome = test::ProgramRun;

Outcome render(const QString& dir, const QStringList& extra = {}, const QString& out = {})
{
    return test::runProgram(QStringLiteral(VDM_RENDER_PROGRAM),
                            QStringList{dir, out.isEmpty() ? QDir(dir).filePath("view.png") : out} + extra);
}

TEST(Render, HostileWorldsEndWithAMessage)
{
    QImage small(64, 48, QImage::Format_RGB32);
    small.fill(Qt::darkCyan);
    struct Case {
        const char* what;
        std::function<void(const QString& dir)> make;
        QStringList options;
        QString message; // what the user is told
    };
    const Case cases[] = {
        {"no picture", [](const QString&) {}, {}, "Map file not found. Please reinstall application."},
        {"a FIFO for a picture",
         [](const QString& d) { ::mkfifo(QFile::encodeName(d + "/bigmap_hi.jpg").constData(), 0644); },
         {},
         "Map file not found. Please reinstall application."},
        {"a picture cut short",
         [](const QString& d) {
             test::TestWorld::writePicture(d + "/bigmap.jpg", QSize(64, 48));
             const QByteArray b = test::readFile(d + "/bigmap.jpg");
             test::writeFile(d + "/bigmap.jpg", b.left(b.size() / 2));
         },
         {},
         "Premature end of JPEG file"},
        {"a FIFO for the settings",
         [](const QString& d) {
             test::TestWorld::writePicture(d + "/bigmap.jpg", QSize(64, 48));
             ::mkfifo(QFile::encodeName(d + "/qor.ini").constData(), 0644);
         },
         {"--settings", "qor.ini"},
         "Cannot open file "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        c.make(dir.path());
        QStringList options = c.options;
        if (options.size() == 2)
            options[1] = dir.filePath(options[1]);
        const Outcome o = render(dir.path(), options);
        EXPECT_FALSE(o.crashed);
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(o.errors.contains(c.message)) << o.errors.toStdString();
        EXPECT_FALSE(QFile::exists(dir.filePath("view.png")));
    }
}

TEST(Render, BytesAfterThePictureAreIgnored)
{
    QTemporaryDir dir;
    test::TestWorld::writePicture(dir.filePath("bigmap.jpg"), QSize(66, 76));
    // Three gigabytes after the picture's end, as a sparse file.
    ASSERT_EQ(::truncate(QFile::encodeName(dir.filePath("bigmap.jpg")).constData(), off_t(3) << 30), 0);
    const Outcome o = render(dir.path());
    EXPECT_EQ(o.status, 0) << o.errors.toStdString();
    EXPECT_FALSE(QImage(dir.filePath("view.png")).isNull());
}

TEST(Render, AnOutputItCannotWriteEndsWithAMessageAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    test::TestWorld::writePicture(dir.filePath("bigmap.jpg"), QSize(66, 76));
    const test::Fifo fifo(dir.filePath("fifo.png"));
    test::writeFile(dir.filePath("locked.jpg"), "keep me");
    QFile::setPermissions(dir.filePath("locked.jpg"), QFileDevice::ReadOwner);
    QDir(dir.path()).mkdir("folder.png");
    for (const char* name : {"fifo.png", "locked.jpg", "folder.png", "missing/view.png"}) {
        SCOPED_TRACE(name);
        const QString out = dir.filePath(QLatin1String(name));
        const Outcome o = render(dir.path(), {}, out);
        EXPECT_FALSE(o.crashed);
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(o.errors.contains("Unable to write to " + QFileInfo(out).absoluteFilePath()))
            << o.errors.toStdString();
    }
    EXPECT_FALSE(fifo.blocked());
    EXPECT_EQ(test::readFile(dir.filePath("locked.jpg")), "keep me");
}

TEST(Render, AFullDiskEndsWithAMessageAndKeepsTheOldFile)
{
    QTemporaryDir world;
    test::TestWorld::writePicture(world.filePath("bigmap.jpg"), QSize(660, 760));
    QTemporaryDir disk;
    // A disk of 64 KiB, 60 of them taken by the earlier picture: the new one cannot fit beside it.
    QProcess mount;
    mount.start("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", disk.path()});
    if (!mount.waitForFinished(10000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
        GTEST_SKIP() << "no small disk can be mounted here";
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute("umount", {path}); }
    } unmount{disk.path()};
    const QByteArray earlier(60 * 1024, 'k');
    for (const char* name : {"view.png", "view.jpg"}) {
        SCOPED_TRACE(name);
        const QString out = disk.filePath(QLatin1String(name));
        test::writeFile(out, earlier);
        const Outcome o = render(world.path(), {"--size", "600x500", "--zoom", "5"}, out);
        EXPECT_FALSE(o.crashed);
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(o.errors.contains("Unable to write to " + out)) << o.errors.toStdString();
        EXPECT_EQ(test::readFile(out), earlier);
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QLatin1String(name)});
        QFile::remove(out);
    }
}

} // namespace
} // namespace vdm
