// SPDX-License-Identifier: MIT
#include "map/resampler.h"
#include "map/cpufeatures.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string_view>
#include <vector>

using namespace vdm;
using Resampler::Mode;

namespace {

QImage checkerboard(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u);
    return img;
}

/** Every pixel a different colour, so a copied pixel tells where it came from. */
QImage coded(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) & 0xF) | ((y >> 8) << 4)));
    return img;
}

QImage blank(int w, int h, QRgb c = 0xFF102030u)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

/** A picture drawn from `from` of a random `source`, into `to` of a canvas, within a clip. */
struct ShortcutCase {
    QSize source;
    QRectF from;
    QRect to;
};

/**
 * Draws each case's random picture (alpha bytes too) both ways, the shortcuts and the
 * general kernels, in both modes: once unclipped, then in five clips whose corner lies
 * within `clipCorner` (grown by 5 above and left) and whose size is at most `clipSize`,
 * on a canvas of `canvas`; both must give the same pixels and the same rectangle.
 */
void expectShortcutsGiveTheGeneralKernelsPixels(const std::vector<ShortcutCase>& cases, quint32 seed, QSize canvas,
                                                QPoint clipCorner, QSize clipSize)
{
    QRandomGenerator rng(seed);
    for (const ShortcutCase& c : cases) {
        QImage src(c.source, QImage::Format_RGB32);
        for (int y = 0; y < src.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(src.scanLine(y));
            for (int x = 0; x < src.width(); ++x)
                line[x] = rng.generate();
        }
        for (const Mode mode : {Mode::Pixel, Mode::Smooth}) {
            for (int round = 0; round < 6; ++round) {
                const QRect clip
                    = round == 0 ? QRect(-50, -50, 400, 300)
                                 : QRect(int(rng.bounded(-5, clipCorner.x())), int(rng.bounded(-5, clipCorner.y())),
                                         int(rng.bounded(1, clipSize.width())), int(rng.bounded(1, clipSize.height())));
                QImage fast = blank(canvas.width(), canvas.height());
                QImage general = blank(canvas.width(), canvas.height());
                const QRect a = Resampler::draw(fast, c.to, src, c.from, mode, clip);
                const QRect b = Resampler::drawWithoutShortcuts(general, c.to, src, c.from, mode, clip);
                const auto where = [&] {
                    return testing::Message() << "from " << c.from.x() << "," << c.from.y() << " to " << c.to.x() << ","
                                              << c.to.y() << " mode " << int(mode) << " round " << round;
                };
                ASSERT_EQ(a, b) << where();
                for (int y = 0; y < fast.height(); ++y)
                    for (int x = 0; x < fast.width(); ++x)
                        ASSERT_EQ(fast.pixel(x, y), general.pixel(x, y)) << where() << " at " << x << "," << y;
            }
        }
    }
}

} // namespace

TEST(Resampler, PixelModeRepeatsAndDropsSourcePixels)
{
    const QImage src = coded(40, 30);
    struct Case {
        QSize out;
        int num, den; // destination pixel i reads source pixel floor((i + 0.5) * num / den)
    };
    for (const Case& c : {Case{{40, 30}, 1, 1}, Case{{120, 90}, 1, 3}, Case{{20, 15}, 2, 1}, Case{{4, 3}, 10, 1}}) {
        QImage dst = blank(c.out.width(), c.out.height());
        Resampler::draw(dst, QRect(QPoint(), c.out), src, QRectF(0, 0, 40, 30), Mode::Pixel);
        for (int y = 0; y < c.out.height(); ++y)
            for (int x = 0; x < c.out.width(); ++x)
                ASSERT_EQ(dst.pixel(x, y),
                          src.pixel((2 * x + 1) * c.num / (2 * c.den), (2 * y + 1) * c.num / (2 * c.den)))
                    << c.out.width() << " at " << x << "," << y;
    }
}

TEST(Resampler, CheckerboardHalvedIsGreySmoothAndPureInPixelMode)
{
    const QImage src = checkerboard(64, 48);
    QImage smooth = blank(32, 24), pixel = blank(32, 24);
    Resampler::draw(smooth, QRect(0, 0, 32, 24), src, QRectF(0, 0, 64, 48), Mode::Smooth);
    Resampler::draw(pixel, QRect(0, 0, 32, 24), src, QRectF(0, 0, 64, 48), Mode::Pixel);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb s = smooth.pixel(x, y);
            EXPECT_NEAR(qRed(s), 128, 1);
            EXPECT_EQ(qRed(s), qGreen(s));
            EXPECT_EQ(qRed(s), qBlue(s));
            const QRgb p = pixel.pixel(x, y);
            EXPECT_TRUE(p == 0xFFFFFFFFu || p == 0xFF000000u);
        }
}

TEST(Resampler, ShrinkingAveragesEverySourcePixel)
{
    // One white pixel anywhere in a 10x10 block must show in the block's average.
    for (int pos = 0; pos < 100; pos += 7) {
        QImage src = blank(100, 100, 0xFF000000u);
        src.setPixel(30 + pos % 10, 50 + pos / 10, 0xFFFFFFFFu);
        QImage dst = blank(10, 10, 0xFF000000u);
        Resampler::draw(dst, QRect(0, 0, 10, 10), src, QRectF(0, 0, 100, 100), Mode::Smooth);
        EXPECT_NEAR(qRed(dst.pixel(3, 5)), 255 / 100.0, 1) << pos;
        EXPECT_EQ(qRed(dst.pixel(4, 5)), 0);
    }
}

TEST(Resampler, FlatAreasStayFlatAtOddRatios)
{
    const QImage src = blank(3300, 37, 0xFF7F3C11u);
    for (int w : {1099, 1100, 825, 333, 7}) {
        QImage dst = blank(w, 11, 0xFF000000u);
        Resampler::draw(dst, QRect(0, 0, w, 11), src, QRectF(0, 0, 3300, 37), Mode::Smooth);
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(dst.pixel(x, 5), 0xFF7F3C11u) << w << " at " << x;
    }
    QImage big = blank(97, 61, 0xFF000000u);
    Resampler::draw(big, QRect(0, 0, 97, 61), blank(10, 7, 0xFF7F3C11u), QRectF(0, 0, 10, 7), Mode::Smooth);
    EXPECT_EQ(big.pixel(0, 0), 0xFF7F3C11u);
    EXPECT_EQ(big.pixel(96, 60), 0xFF7F3C11u);
}

TEST(Resampler, EnlargingSmoothlyInterpolatesBetweenNeighbours)
{
    QImage src = blank(2, 1, 0xFF000000u);
    src.setPixel(1, 0, 0xFFC8C8C8u);
    QImage dst = blank(20, 1);
    Resampler::draw(dst, QRect(0, 0, 20, 1), src, QRectF(0, 0, 2, 1), Mode::Smooth);
    EXPECT_EQ(qRed(dst.pixel(0, 0)), 0);
    EXPECT_EQ(qRed(dst.pixel(19, 0)), 200);
    std::set<int> levels;
    for (int x = 1; x < 20; ++x) {
        EXPECT_GE(qRed(dst.pixel(x, 0)), qRed(dst.pixel(x - 1, 0)));
        levels.insert(qRed(dst.pixel(x, 0)));
    }
    EXPECT_GT(levels.size(), 8u); // a ramp, not two steps
}

TEST(Resampler, ClipsToDestinationAndLeavesPixelsOutsideTheSource)
{
    const QImage src = coded(50, 40);
    for (Mode mode : {Mode::Pixel, Mode::Smooth}) {
        QImage dst = blank(30, 30);
        // Destination reaching beyond the buffer on every side: only the buffer is written.
        Resampler::draw(dst, QRect(-10, -10, 100, 80), src, QRectF(0, 0, 50, 40), mode);
        // Source rectangle reaching past the picture's right and bottom edges: the part
        // of the destination that maps there keeps its colour.
        QImage part = blank(40, 40);
        Resampler::draw(part, QRect(0, 0, 40, 40), src, QRectF(30, 20, 40, 40), mode);
        EXPECT_NE(part.pixel(19, 19), 0xFF102030u);
        EXPECT_EQ(part.pixel(20, 10), 0xFF102030u);
        EXPECT_EQ(part.pixel(10, 20), 0xFF102030u);
        EXPECT_EQ(part.pixel(39, 39), 0xFF102030u);
        // Nothing to draw at all.
        Resampler::draw(part, QRect(0, 0, 0, 10), src, QRectF(0, 0, 50, 40), mode);
        Resampler::draw(part, QRect(0, 0, 10, 10), src, QRectF(60, 0, 50, 40), mode);
        Resampler::draw(part, QRect(0, 0, 10, 10), QImage(), QRectF(0, 0, 50, 40), mode);
    }
}

TEST(Resampler, PixelModeNearlyOneToOneSkipsOrRepeatsOnlyWhereTheScaleSays)
{
    // A shrunken copy shown at very nearly its own scale: runs of plain copies broken by
    // the odd dropped or repeated source pixel, each where nearest sampling puts it.
    const QImage src = coded(1000, 3);
    for (const int width : {990, 999, 1000, 1001, 1010, 1100}) {
        QImage dst = blank(width, 3);
        Resampler::draw(dst, QRect(0, 0, width, 3), src, QRectF(0, 0, 1000, 3), Mode::Pixel);
        int wrong = 0;
        for (int x = 0; x < width; ++x)
            wrong += dst.pixel(x, 1) != src.pixel(int(std::floor((x + 0.5) * 1000.0 / width)), 1);
        EXPECT_EQ(wrong, 0) << width;
    }
}

TEST(Resampler, ReportsExactlyThePixelsItWrote)
{
    struct Case {
        QSize dst;
        QRect to;
        QRectF from;
    };
    const Case cases[] = {
        {{30, 30}, {-10, -10, 100, 80}, {0, 0, 50, 40}}, // beyond the buffer on every side
        {{40, 40}, {0, 0, 40, 40}, {30, 20, 40, 40}},    // beyond the picture's right and bottom
        {{40, 40}, {5, 7, 20, 13}, {0, 0, 50, 40}},      // shrinking into the middle
        {{40, 40}, {3, 2, 33, 29}, {10.5, 4.25, 7, 6}},  // enlarging a fractional rectangle
        {{40, 40}, {0, 0, 10, 10}, {60, 0, 50, 40}},     // nothing of the picture
        {{40, 40}, {0, 0, 0, 10}, {0, 0, 50, 40}},       // nothing to draw into
    };
    const QImage src = coded(50, 40);
    for (const Case& c : cases) {
        for (Mode mode : {Mode::Pixel, Mode::Smooth}) {
            QImage dst = blank(c.dst.width(), c.dst.height());
            const QRect drawn = Resampler::draw(dst, c.to, src, c.from, mode);
            int wrong = 0;
            for (int y = 0; y < dst.height(); ++y)
                for (int x = 0; x < dst.width(); ++x)
                    wrong += drawn.contains(x, y) == (dst.pixel(x, y) == 0xFF102030u);
            EXPECT_EQ(wrong, 0) << c.to.x() << "," << c.to.y() << " " << int(mode);
        }
    }
}

TEST(Resampler, ScaledCopyAveragesTheWholePicture)
{
    const QImage copy = Resampler::scaled(checkerboard(660, 760), QSize(330, 380));
    ASSERT_EQ(copy.size(), QSize(330, 380));
    EXPECT_NEAR(qRed(copy.pixel(0, 0)), 128, 1);
    EXPECT_NEAR(qRed(copy.pixel(329, 379)), 128, 1);
}

TEST(ResamplerTwiceTheScale, ShortcutsGiveTheGeneralKernelsPixels)
{
    // Twice the scale from whole, half and odd offsets, reaching past the source's edges or
    // not; the near-twice cases fall back part way along a row.
    expectShortcutsGiveTheGeneralKernelsPixels(
        {
            {{97, 61}, {0, 0, 97, 61}, {0, 0, 194, 122}},
            {{97, 61}, {13, 7, 40, 30}, {0, 0, 80, 60}},
            {{97, 61}, {13, 7, 40, 30}, {-9, 5, 80, 60}},
            {{97, 61}, {13.5, 7.5, 40, 30}, {3, -4, 80, 60}},
            {{97, 61}, {-5, -3, 60, 40}, {0, 0, 120, 80}},
            {{97, 61}, {60, 40, 60, 40}, {0, 0, 120, 80}},
            {{64, 48}, {1, 1, 33, 21}, {7, 3, 66, 42}},
            {{64, 48}, {1, 1, 33, 21}, {7, 3, 67, 43}},
            {{500, 9}, {3, 0, 100, 9}, {0, 0, 200, 18}},
        },
        17, {220, 140}, {120, 80}, {160, 100});
}

TEST(ResamplerHalfTheScale, ShortcutsGiveTheGeneralKernelsPixels)
{
    // Half the scale, every other pixel taken or 2 x 2 averaged (the averaging leaves the
    // alpha bytes out), from even and odd source columns, reaching past the source's edges
    // or not (the last pixel taken may end a row); an odd width or a half-pixel offset is
    // no 2 x 2 block and goes the general way, and so must give the same pixels.
    expectShortcutsGiveTheGeneralKernelsPixels(
        {
            {{98, 62}, {0, 0, 98, 62}, {0, 0, 49, 31}},
            {{98, 62}, {13, 7, 40, 30}, {0, 0, 20, 15}},
            {{98, 62}, {13, 7, 40, 30}, {-9, 5, 20, 15}},
            {{98, 62}, {-6, -4, 60, 40}, {3, 2, 30, 20}},
            {{98, 62}, {60, 40, 60, 40}, {0, 0, 30, 20}},
            {{97, 61}, {0, 0, 97, 61}, {0, 0, 48, 30}},
            {{98, 62}, {13.5, 7, 40, 30}, {0, 0, 20, 15}},
            {{3, 2}, {0, 0, 3, 2}, {0, 0, 1, 1}},
            {{500, 9}, {3, 1, 494, 8}, {1, 0, 247, 4}},
        },
        23, {260, 40}, {40, 30}, {260, 40});
    // The level's copy: every pixel, and the extremes of each channel's sum.
    QImage flat(64, 32, QImage::Format_RGB32);
    for (int y = 0; y < flat.height(); ++y)
        for (int x = 0; x < flat.width(); ++x)
            flat.setPixel(x, y, (x / 2 + y / 2) % 3 == 0 ? 0xFFFFFFFFu : ((x + y) % 3 ? 0x00000000u : 0x01020304u));
    for (const QImage& picture : {flat, coded(300, 200)}) {
        for (const Mode mode : {Mode::Pixel, Mode::Smooth}) {
            QImage general(picture.size() / 2, QImage::Format_RGB32);
            general.fill(0xFF000000u);
            Resampler::drawWithoutShortcuts(general, general.rect(), picture, QRectF(picture.rect()), mode,
                                            general.rect());
            EXPECT_EQ(Resampler::scaled(picture, picture.size() / 2, mode), general) << int(mode);
        }
    }
}

namespace vdm {
namespace {

TEST(CpuFeatures, TheSwitchListIsReadAsQtReadsIt)
{
    const struct {
        const char* list;
        const char* feature;
        bool listed;
    } rows[] = {
        {nullptr, "avx2", false},      {"", "avx2", false},    {"avx2", "avx2", true},
        {"sse4.1 avx2", "avx2", true}, {"AVX2", "avx2", true}, {"avx512f,avx2", "avx2", true},
        {"avx2x", "avx2", false},      {"avx", "avx2", false}, {"  avx  ", "avx", true},
    };
    for (const auto& r : rows)
        EXPECT_EQ(featureListed(r.list, r.feature), r.listed) << (r.list ? r.list : "(none)") << " / " << r.feature;
}

} // namespace
} // namespace vdm

TEST(ResamplerDrawing, BandsDrawnFromOnePlanGiveTheWholeDraw)
{
    // Every kernel (pixel, bilinear with and without the half steps, averaging) drawn in
    // bands of several heights from one prepared draw gives what one draw gives: in order
    // with one thread's rows, out of order, alternating between two threads' rows, and
    // with rows last used for another draw. Pixels outside the clip stay as they were.
    QRandomGenerator rng(29);
    QImage src(97, 61, QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            src.setPixel(x, y, rng.generate());
    struct Case {
        const char* what;
        Mode mode;
        QRectF from;
        QRect to;
    };
    const Case cases[] = {
        {"pixel, enlarging", Mode::Pixel, {10, 5, 40, 30}, {-3, 2, 150, 110}},
        {"pixel, shrinking", Mode::Pixel, {0, 0, 97, 61}, {0, 0, 70, 44}},
        {"bilinear", Mode::Smooth, {10.25, 5.5, 40, 30}, {-3, 2, 150, 110}},
        {"twice the scale", Mode::Smooth, {13, 7, 60, 45}, {0, 0, 120, 90}},
        {"averaging", Mode::Smooth, {0, 0, 97, 61}, {4, -6, 70, 44}},
        {"past the source", Mode::Smooth, {-8, -4, 60, 40}, {0, 0, 140, 100}},
    };
    const QRect clip(2, 3, 130, 95);
    for (const Case& c : cases) {
        // The same rows of the source, other columns: its rows must not be taken for this draw's.
        const Resampler::Drawing other(QSize(140, 100), c.to, src, c.from.translated(3, 0), c.mode, clip);
        QImage whole = blank(140, 100);
        const QRect drawn = Resampler::draw(whole, c.to, src, c.from, c.mode, clip);
        const Resampler::Drawing drawing(whole.size(), c.to, src, c.from, c.mode, clip);
        EXPECT_EQ(drawing.drawn(), drawn) << c.what;
        ASSERT_NE(whole, blank(140, 100)) << c.what;
        for (const int height : {1, 7, 16, 64}) {
            std::vector<int> tops;
            for (int top = clip.top(); top <= clip.bottom(); top += height)
                tops.push_back(top);
            for (const std::string_view order : {"in order", "backwards", "two threads", "rows of another draw"}) {
                QImage banded = blank(140, 100);
                Resampler::Drawing::Rows rows[2];
                if (order == "rows of another draw") {
                    QImage scratch = blank(140, 100);
                    for (Resampler::Drawing::Rows& r : rows)
                        other.drawRows(scratch.bits(), scratch.bytesPerLine(), clip.top(), clip.top() + 2, r);
                }
                if (order == "backwards")
                    std::reverse(tops.begin(), tops.end());
                for (std::size_t k = 0; k < tops.size(); ++k)
                    drawing.drawRows(banded.bits(), banded.bytesPerLine(), tops[k],
                                     std::min(tops[k] + height, clip.top() + clip.height()),
                                     rows[order == "two threads" ? k % 2 : 0]);
                if (order == "backwards")
                    std::reverse(tops.begin(), tops.end());
                ASSERT_EQ(banded, whole) << c.what << ", bands of " << height << ", " << order;
            }
        }
    }
}
