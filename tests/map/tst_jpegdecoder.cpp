// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/errors.h"
#include "map/jpegdecoder.h"
#include "worldgen/jpegwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vdm {
namespace {

// Four 8 x 8 blocks side by side, one colour each, so the compression keeps them clean.
const QRgb Blocks[] = {qRgb(255, 0, 0), qRgb(0, 160, 0), qRgb(30, 60, 230), qRgb(250, 250, 250)};

enum class Inks { AdobeCmyk, AdobeYcck, PlainCmyk };

/** A picture of the four blocks in ink amounts, written as another program would. */
QByteArray encodeInks(Inks inks)
{
    const bool inverted = inks != Inks::PlainCmyk;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 32;
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, inks == Inks::AdobeYcck ? JCS_YCCK : JCS_CMYK);
    cinfo.write_Adobe_marker = inverted ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(32 * 4);
    for (int x = 0; x < 32; ++x) {
        const QRgb c = Blocks[x / 8];
        const int r = qRed(c), g = qGreen(c), b = qBlue(c);
        const int k = 255 - std::max({r, g, b});
        const int ink[4]
            = {k == 255 ? 0 : (255 - r - k) * 255 / (255 - k), k == 255 ? 0 : (255 - g - k) * 255 / (255 - k),
               k == 255 ? 0 : (255 - b - k) * 255 / (255 - k), k};
        for (int i = 0; i < 4; ++i)
            row[size_t(x * 4 + i)] = JSAMPLE(inverted ? 255 - ink[i] : ink[i]);
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

TEST(JpegDecoder, InkPicturesShowTheirColours)
{
    for (const Inks inks : {Inks::AdobeCmyk, Inks::AdobeYcck, Inks::PlainCmyk}) {
        SCOPED_TRACE(int(inks));
        const QImage image = JpegDecoder::decode(encodeInks(inks));
        ASSERT_EQ(image.size(), QSize(32, 8));
        ASSERT_EQ(image.format(), QImage::Format_RGB32);
        for (int block = 0; block < 4; ++block) {
            const QRgb got = image.pixel(block * 8 + 4, 4), want = Blocks[block];
            EXPECT_LE(std::abs(qRed(got) - qRed(want)), 6) << block;
            EXPECT_LE(std::abs(qGreen(got) - qGreen(want)), 6) << block;
            EXPECT_LE(std::abs(qBlue(got) - qBlue(want)), 6) << block;
        }
    }
}

/** Peak resident memory of this process so far, in MB. */
long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

TEST(JpegDecoder, BytesAfterThePictureCostNothing)
{
    QTemporaryDir dir;
    QImage picture(200, 120, QImage::Format_RGB32);
    picture.fill(qRgb(40, 90, 160));
    const QByteArray jpeg = worldgen::JpegWriter::encode(picture);
    const QString path = dir.filePath("bigmap_hi.jpg");
    test::writeFile(path, jpeg);
    const QImage plain = JpegDecoder::decodeFile(path);

    // Three gigabytes of nothing after the end: a sparse file, so the disk does not fill.
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), off_t(3) << 30), 0);
    const long before = peakMegabytes();
    const QImage trailed = JpegDecoder::decodeFile(path);
    EXPECT_EQ(trailed, plain);
    EXPECT_LT(peakMegabytes() - before, 64); // the picture is 94 KB
}

TEST(JpegDecoder, OnlyRegularFilesAreOpened)
{
    QTemporaryDir dir;
    const test::Fifo fifo(dir.filePath("bigmap.jpg"));
    for (const QString& path :
         {dir.filePath("bigmap.jpg"), dir.path(), dir.filePath("missing.jpg"), QStringLiteral("/dev/zero")}) {
        try {
            JpegDecoder::decodeFile(path);
            ADD_FAILURE() << "decoded " << path.toStdString();
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), "Cannot open file " + QFileInfo(path).absoluteFilePath());
        }
    }
    EXPECT_FALSE(fifo.blocked());
}

TEST(JpegDecoder, DamagedFileGivesTheDecodersText)
{
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QByteArray jpeg = worldgen::JpegWriter::encode(picture);
    QTemporaryDir dir;
    test::writeFile(dir.filePath("cut.jpg"), jpeg.left(jpeg.size() / 2));
    try {
        JpegDecoder::decodeFile(dir.filePath("cut.jpg"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Premature end of JPEG file");
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define VDM_ADDRESS_LIMIT_WORKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VDM_ADDRESS_LIMIT_WORKS 0
#endif
#endif
#ifndef VDM_ADDRESS_LIMIT_WORKS
#define VDM_ADDRESS_LIMIT_WORKS 1
#endif

/** Decodes `path` with little address space left; prints what the user would be told. */
void decodeWithoutMemory(const QString& path)
{
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    const rlim_t room = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (24 << 20);
    const rlimit limit{room, room};
    ::setrlimit(RLIMIT_AS, &limit);
    try {
        JpegDecoder::decodeFile(path);
        std::fprintf(stderr, "decoded\n");
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    // The child ends without unwinding: the temporary folder it made for itself goes here.
    QFile::remove(path);
    QDir().rmdir(QFileInfo(path).absolutePath());
    std::exit(0);
}

TEST(JpegDecoderDeathTest, PictureWithoutItsMemoryNamesFileAndSize)
{
    if (!VDM_ADDRESS_LIMIT_WORKS)
        GTEST_SKIP() << "the address sanitizer needs the address space it reserves";
    QTemporaryDir dir;
    QImage picture(4096, 4096, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const QString path = dir.filePath("bigmap_hi.jpg");
    test::writeFile(path, worldgen::JpegWriter::encode(picture, 50));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(decodeWithoutMemory(path), testing::ExitedWithCode(0),
                "Not enough memory for the map picture .*bigmap_hi.jpg \\(4096 x 4096 pixels need 64 MB\\)");
}

} // namespace
} // namespace vdm
