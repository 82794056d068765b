// SPDX-License-Identifier: MIT
// Saving a map image over an earlier one: a write failing at any step, of any size and
// either format, leaves the earlier file whole and says so; a special file of that name
// is refused at once; a save killed at any moment leaves one whole picture.
#include "common/killtrial.h"
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/errors.h"
#include "map/mapimage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vdm {
namespace {

using Step = AtomicFile::Step;

/** Noise does not compress: its files span from a few bytes to well past a disk block. */
QImage noise(int w, int h, quint32 seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    return img;
}

class ImageFile : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::setFaultInjector({}); }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

TEST_F(ImageFile, AFailedSaveOfAnySizeKeepsTheEarlierFileAndSaysSo)
{
    const QSize sizes[] = {{1, 1}, {40, 30}, {75, 60}, {200, 150}};
    const Step steps[] = {Step::Create, Step::Write, Step::Flush, Step::Sync, Step::Rename};
    for (const char* name : {"view.png", "view.jpg"}) {
        const QString path = dir.filePath(QLatin1String(name));
        const QByteArray earlier = "an earlier picture the user keeps";
        for (const QSize size : sizes) {
            const QImage image = noise(size.width(), size.height(), quint32(size.width()));
            for (const Step failing : steps) {
                SCOPED_TRACE(::testing::Message()
                             << name << " " << size.width() << "x" << size.height() << " failing at " << int(failing));
                test::writeFile(path, earlier);
                AtomicFile::setFaultInjector([failing](Step s) { return s != failing; });
                try {
                    MapImage::write(path, image);
                    ADD_FAILURE() << "the failed save was reported as success";
                } catch (const Error& e) {
                    EXPECT_EQ(e.message(), "Unable to write to " + QFileInfo(path).absoluteFilePath());
                }
                AtomicFile::setFaultInjector({});
                EXPECT_EQ(test::readFile(path), earlier);
                EXPECT_EQ(entries(), QStringList{QLatin1String(name)}) << "a temporary file was left behind";
            }
            // The disk is well again: the picture is saved whole.
            MapImage::write(path, image);
            EXPECT_EQ(test::readFile(path), MapImage::encode(image, MapImage::formatFor(path)));
        }
        QFile::remove(path);
    }
    // Across the sizes the files reached past the sizes a disk block would hide.
    EXPECT_GT(MapImage::encode(noise(200, 150, 200), "png").size(), 64 * 1024);
}

TEST_F(ImageFile, KeepsTheEarlierFilesModeAndLink)
{
    const QString real = dir.filePath("kept.png");
    test::writeFile(real, "old");
    ASSERT_TRUE(QFile::setPermissions(real, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    ASSERT_TRUE(QFile::link(real, dir.filePath("link.png")));
    MapImage::write(dir.filePath("link.png"), noise(8, 8, 1));
    EXPECT_TRUE(QFileInfo(dir.filePath("link.png")).isSymLink());
    EXPECT_FALSE(QImage(real).isNull());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ImageFile, ASpecialFileOrAReadOnlyOneIsRefusedAtOnce)
{
    const test::Fifo fifo(dir.filePath("fifo.png"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.png"));
    test::writeFile(dir.filePath("locked.jpg"), "locked");
    QFile::setPermissions(dir.filePath("locked.jpg"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("null.png")));
    for (const char* name : {"fifo.png", "folder.png", "locked.jpg", "null.png", "no/such/folder.png"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QLatin1String(name));
        try {
            MapImage::write(path, noise(16, 16, 3));
            ADD_FAILURE() << "written";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Unable to write to " + QFileInfo(path).absoluteFilePath());
        }
    }
    EXPECT_FALSE(fifo.blocked());
    EXPECT_EQ(test::readFile(dir.filePath("locked.jpg")), "locked");
    EXPECT_TRUE(QFileInfo(dir.filePath("null.png")).isSymLink());
}

TEST_F(ImageFile, ASaveKilledAtAnyMomentLeavesOneWholePicture)
{
    const QString target = dir.filePath("map.png");
    const QString a = dir.filePath("a.png"), b = dir.filePath("b.png");
    const QImage pictures[2] = {noise(300, 200, 7), noise(420, 260, 8)};
    ASSERT_TRUE(pictures[0].save(a));
    ASSERT_TRUE(pictures[1].save(b));
    const QByteArray versions[2] = {MapImage::encode(pictures[0], "png"), MapImage::encode(pictures[1], "png")};

    QRandomGenerator random(20261209);
    QElapsedTimer clock;
    clock.start();
    int kills = 0, seen[2] = {0, 0};
    while (kills < 50 && clock.elapsed() < 40000) {
        ASSERT_TRUE(test::killAtRandomMoment(QStringLiteral(VDM_CRASHWRITER), {QStringLiteral("--image"), target, a, b},
                                             40000, random));
        ++kills;
        const QByteArray now = test::readFile(target);
        const bool isA = now == versions[0], isB = now == versions[1];
        ASSERT_TRUE(isA || isB) << "after kill " << kills << " the picture holds " << now.size() << " bytes";
        ++seen[isB ? 1 : 0];
    }
    EXPECT_GE(kills, 20);
    EXPECT_GT(seen[0] + seen[1], 0);
}

} // namespace
} // namespace vdm
