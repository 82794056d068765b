// SPDX-License-Identifier: MIT
// The glyph painter: the committed glyphs and icons are its output, and the 2 x set is the
// same art drawn at twice the resolution.
#include "common/testutils.h"
#include "glyphart.h"

#include <QDir>
#include <QSet>
#include <gtest/gtest.h>

namespace vdm {
namespace {

using test::largestChannelDifference;

QImage committed(const QString& name)
{
    return QImage(QDir(QStringLiteral(VDM_GLYPHS_DIR)).filePath(name)).convertToFormat(QImage::Format_ARGB32);
}

QString glyphName(int index, const char* suffix)
{
    return QStringLiteral("glyph%1%2.png").arg(index, 2, 10, QLatin1Char('0')).arg(QLatin1String(suffix));
}

int opaquePixels(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) > 0;
    return n;
}

TEST(GlyphArt, CommittedGlyphsAndIconsAreThePaintersOutput)
{
    struct Case {
        QString file;
        QImage drawn;
    };
    std::vector<Case> cases;
    for (int i = 0; i < GlyphArt::GlyphCount; ++i) {
        cases.push_back({glyphName(i, ""), GlyphArt::glyph(i)});
        cases.push_back({glyphName(i, "@2x"), GlyphArt::glyph(i, 2)});
    }
    cases.push_back({QStringLiteral("icon.png"), GlyphArt::icon(48)});
    cases.push_back({QStringLiteral("icon@2x.png"), GlyphArt::icon(96)});
    cases.push_back({QStringLiteral("icon32.png"), GlyphArt::icon(32)});
    cases.push_back({QStringLiteral("icon32@2x.png"), GlyphArt::icon(64)});
    for (const int size : {16, 22, 24, 128, 256})
        cases.push_back({QStringLiteral("icon%1.png").arg(size), GlyphArt::icon(size)});
    // The files were painted on another machine: within the painted-art tolerance, and
    // with ink in the same pixels.
    for (const Case& c : cases) {
        const QImage file = committed(c.file);
        ASSERT_FALSE(file.isNull()) << c.file.toStdString();
        const int apart = largestChannelDifference(file, c.drawn);
        EXPECT_GE(apart, 0) << c.file.toStdString() << ": another size";
        EXPECT_LE(apart, test::PaintedArtTolerance)
            << c.file.toStdString() << ": run veldamar-drawglyphs resources/glyphs";
    }
}

TEST(GlyphArt, TwiceTheResolutionIsTheSameArtNotAnEnlargement)
{
    int finerEdges = 0;
    for (int i = 0; i < GlyphArt::GlyphCount; ++i) {
        const QImage one = GlyphArt::glyph(i), two = GlyphArt::glyph(i, 2);
        ASSERT_EQ(one.size(), QSize(16, 16));
        ASSERT_EQ(two.size(), QSize(32, 32));
        // Mostly the same cells, in the same palette, covering about four times the pixels.
        int same = 0;
        QSet<QRgb> palette1, palette2;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                same += two.pixel(x, y) == one.pixel(x / 2, y / 2);
                palette2.insert(two.pixel(x, y));
                palette1.insert(one.pixel(x / 2, y / 2));
            }
        EXPECT_GE(same, 32 * 32 * 8 / 10) << "glyph " << i;
        EXPECT_TRUE(palette1.contains(palette2)) << "glyph " << i;
        EXPECT_NEAR(opaquePixels(two), 4 * opaquePixels(one), 0.15 * 4 * opaquePixels(one)) << "glyph " << i;
        finerEdges += same < 32 * 32;
    }
    // Round shapes (lenses, discs, diamonds) follow their outline at the finer grain.
    EXPECT_GE(finerEdges, 6);
    EXPECT_TRUE(GlyphArt::glyph(0, 0).isNull());
    EXPECT_TRUE(GlyphArt::glyph(GlyphArt::GlyphCount, 2).isNull());
}

} // namespace
} // namespace vdm
