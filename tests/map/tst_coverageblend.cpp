// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "map/captionrender.h"
#include "map/coverageblend.h"
#include "data/codepage.h"
#include "worldgen/namegenerator.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <tuple>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace vdm;

TEST(CoverageBlend, TheRuleForNoneFullAndPartCoverage)
{
    const struct {
        std::uint32_t under;
        unsigned char a;
        std::uint32_t colour, expected;
    } cases[] = {
        {0x12345678u, 0, 0xFFFFFFFFu, 0x12345678u}, // untouched, whatever its top byte
        {0xFF000000u, 255, 0xFF102030u, 0xFF102030u},
        {0xFF000000u, 128, 0xFFFFFFFFu, 0xFF808080u}, // weight 129 of 256
        {0xFFFFFFFFu, 1, 0xFF000000u, 0xFFFEFEFEu},
        {0x00FF0000u, 64, 0xFF0000FFu, 0xFFBF003Fu}, // the result is opaque
    };
    for (const auto& c : cases) {
        for (const int n : {1, 4, 7}) { // alone, in a group of four, and in the tail
            std::vector<std::uint32_t> row(size_t(n), c.under);
            const std::vector<unsigned char> mask(size_t(n), c.a);
            blendCoverage(row.data(), mask.data(), n, c.colour);
            for (const std::uint32_t p : row)
                EXPECT_EQ(p, c.expected) << std::hex << c.under << " a " << int(c.a) << " n " << std::dec << n;
        }
    }
}

TEST(CoverageBlend, ManyAtATimeEqualsOneAtATime)
{
    QRandomGenerator rng(11);
    for (int round = 0; round < 4000; ++round) {
        const int n = int(rng.bounded(0, 60));
        std::vector<std::uint32_t> a(size_t(n) + 1), b;
        std::vector<unsigned char> mask(size_t(n) + 1);
        // Runs of one kind of coverage, as a caption's rows have them: long runs of none
        // or full ink take the shortcuts, short ones the arithmetic.
        for (int i = 0; i < n;) {
            const int kind = int(rng.bounded(4)); // plenty of the two ends
            const int run = int(rng.bounded(1, 20));
            for (int k = 0; k < run && i < n; ++k, ++i) {
                a[size_t(i)] = rng.generate();
                mask[size_t(i)] = kind == 0 ? 0 : kind == 1 ? 255 : (unsigned char)rng.bounded(256);
            }
        }
        b = a;
        const std::uint32_t colour = 0xFF000000u | (rng.generate() & 0xFFFFFFu);
        blendCoverage(a.data(), mask.data(), n, colour);
        blendCoverageScalar(b.data(), mask.data(), n, colour);
        ASSERT_EQ(a, b) << "round " << round;
    }
}

TEST(CoverageBlend, RowsAtOnceEqualEachRowAlone)
{
    // A caption's mask over a buffer wider than it, narrow and wide, its rows' ends inside
    // the buffer's: the pixels beside the mask stay as they are.
    QRandomGenerator rng(12);
    for (int round = 0; round < 600; ++round) {
        const int n = int(rng.bounded(1, 70)), rows = int(rng.bounded(1, 9));
        const int stride = n + int(rng.bounded(0, 9)), maskStride = n + int(rng.bounded(0, 5));
        std::vector<std::uint32_t> a(size_t(stride) * size_t(rows) + 8);
        std::vector<unsigned char> mask(size_t(maskStride) * size_t(rows));
        for (std::uint32_t& p : a)
            p = rng.generate();
        for (unsigned char& m : mask) {
            const int kind = int(rng.bounded(3));
            m = kind == 0 ? 0 : kind == 1 ? 255 : (unsigned char)rng.bounded(256);
        }
        std::vector<std::uint32_t> b = a;
        const std::uint32_t colour = 0xFF000000u | (rng.generate() & 0xFFFFFFu);
        blendCoverageRows(a.data() + 3, stride, mask.data(), maskStride, n, rows, colour);
        for (int r = 0; r < rows; ++r)
            blendCoverageScalar(b.data() + 3 + size_t(r) * size_t(stride), mask.data() + size_t(r) * size_t(maskStride),
                                n, colour);
        ASSERT_EQ(a, b) << "round " << round << " n " << n << " rows " << rows;
    }
}

TEST(CaptionRender, TheMaskHoldsOnlyTheInksBox)
{
    const CaptionFont font(QFont(QStringLiteral("Sans"), 9));
    const struct {
        QByteArray text;
        qreal ratio;
    } cases[] = {{"Vel", 1}, {"Old Mill", 1}, {"g_j", 1}, {"Q", 2}, {"A long caption...", 1.5}};
    for (const auto& c : cases) {
        const RenderedCaption r = renderCaption(font, c.text, c.ratio);
        ASSERT_FALSE(r.mask.isNull()) << c.text.constData();
        const QImage& m = r.mask;
        const auto rowInk = [&](int y) {
            return std::any_of(m.constScanLine(y), m.constScanLine(y) + m.width(), [](uchar a) { return a != 0; });
        };
        const auto columnInk = [&](int x) {
            for (int y = 0; y < m.height(); ++y)
                if (m.constScanLine(y)[x] != 0)
                    return true;
            return false;
        };
        EXPECT_TRUE(rowInk(0) && rowInk(m.height() - 1)) << c.text.constData();
        EXPECT_TRUE(columnInk(0) && columnInk(m.width() - 1)) << c.text.constData();
        // The ink stays where it was drawn: near the caption's top-left, below its top.
        EXPECT_GE(r.offset.x(), -2 * c.ratio) << c.text.constData();
        EXPECT_LT(r.offset.x(), 4 * c.ratio) << c.text.constData();
        EXPECT_GE(r.offset.y(), -2 * c.ratio) << c.text.constData();
        EXPECT_GT(r.advance, 0) << c.text.constData();
    }
}

TEST(CaptionRender, NoInkNoMask)
{
    const RenderedCaption r = renderCaption(CaptionFont(QFont(QStringLiteral("Sans"), 9)), "   ", 1);
    EXPECT_TRUE(r.mask.isNull());
    EXPECT_GT(r.advance, 0);
}

TEST(CaptionRender, ComposedFromGlyphsEqualsPaintedWhole)
{
    // Kerned pairs, overhanging and touching glyphs, the code page's accents, the cut
    // captions' dots, spaces alone and generated names of every kind.
    QList<QByteArray> texts = {"AVAWAY To Ty",
                               "ffj fij gjy",
                               "W\xe9st \xc6gir \xd8re",
                               "Tarnw...",
                               "   ",
                               "Il1|",
                               "Old Mill",
                               "x",
                               "office",
                               "1-2",
                               "a\xad"
                               "b",
                               "  lead",
                               "trail  "};
    worldgen::NameGenerator names(28, true);
    for (const char* kind : {"city", "port", "ruin", "fort", "village"})
        for (int i = 0; i < 30; ++i)
            texts.push_back(CodePage::encode(names.placeName(QString::fromLatin1(kind))));
    QFont map(QStringLiteral("MS Sans Serif"));
    map.setPixelSize(8);
    map.setStyleStrategy(QFont::PreferAntialias);
    for (const QFont& f : test::captionTestFonts() + QList<QFont>{map}) {
        for (const bool many : {false, true}) {
            CaptionRenderer renderer{CaptionFont(f)};
            renderer.expectMany(many);
            std::vector<uchar> rows;
            for (const qreal ratio : {1.0, 2.0, 1.25}) {
                // The first round paints most captions whole (or, expecting many, composes
                // them from glyphs rasterised at once); the second composes them.
                for (const int round : {0, 1}) {
                    for (const QByteArray& text : texts) {
                        const RenderedCaption painted = renderCaption(renderer.font(), text, ratio);
                        const RenderedCaption composed = renderer.render(text, ratio);
                        const QString what = f.key() + " " + QString::number(ratio) + " " + QString::number(round)
                                             + (many ? " many " : " ") + QString::fromLatin1(text);
                        EXPECT_EQ(composed.mask, painted.mask) << qPrintable(what);
                        EXPECT_EQ(composed.offset, painted.offset) << qPrintable(what);
                        EXPECT_EQ(composed.advance, painted.advance) << qPrintable(what);
                        // Packed as the cache keeps it: the same rows, offset and advance.
                        const PackedCaption packed = renderer.renderPacked(text, ratio);
                        const CaptionCache::Mask want = CaptionCache::Mask::of(painted.mask);
                        ASSERT_EQ(packed.mask.width, want.width) << qPrintable(what);
                        ASSERT_EQ(packed.mask.height, want.height) << qPrintable(what);
                        ASSERT_EQ(!packed.mask.pixels, !want.pixels) << qPrintable(what);
                        if (want.pixels) {
                            EXPECT_EQ(std::memcmp(packed.mask.pixels.get(), want.pixels.get(),
                                                  size_t(want.width) * size_t(want.height)),
                                      0)
                                << qPrintable(what);
                        }
                        EXPECT_EQ(packed.offset, painted.offset) << qPrintable(what);
                        EXPECT_EQ(packed.advance, painted.advance) << qPrintable(what);
                        // Composed into rows the caller keeps (dirty from the caption before):
                        // the same bytes; asked only for rows beyond its ink, none.
                        const CaptionInk ink = renderer.renderInto(text, ratio, rows);
                        ASSERT_EQ(ink.width, want.width) << qPrintable(what);
                        ASSERT_EQ(ink.height, want.height) << qPrintable(what);
                        ASSERT_EQ(!ink.bits, !want.pixels) << qPrintable(what);
                        if (!want.pixels)
                            continue;
                        EXPECT_EQ(std::memcmp(ink.bits, want.pixels.get(), size_t(want.width) * size_t(want.height)), 0)
                            << qPrintable(what);
                        EXPECT_EQ(ink.offset, painted.offset) << qPrintable(what);
                        const int top = ink.offset.y(), bottom = top + ink.height;
                        for (const auto& [from, to, inked] :
                             {std::tuple{top - 9, top, false}, std::tuple{bottom, bottom + 9, false},
                              std::tuple{bottom - 1, bottom + 9, true}, std::tuple{top - 9, top + 1, true}}) {
                            const CaptionInk part = renderer.renderInto(text, ratio, rows, from, to);
                            EXPECT_EQ(part.bits != nullptr, inked) << qPrintable(what) << " rows " << from << "-" << to;
                        }
                        std::fill(rows.begin(), rows.end(), uchar(0x5A));
                    }
                }
            }
            EXPECT_TRUE(renderer.composes(1) && renderer.composes(2) && !renderer.composes(1.25));
            EXPECT_GT(renderer.glyphCount(), 0); // so most of the captions compared were composed
        }
    }
}

TEST(CaptionRender, GlyphsAreRasterisedOnceWhenNeededTwice)
{
    CaptionRenderer renderer{CaptionFont(QFont(QStringLiteral("Sans"), 9))};
    const QByteArray text = "Pack my box with five dozen liquor jugs";
    renderer.render(text, 1);
    EXPECT_EQ(renderer.glyphCount(), 0); // needed once: the caption is painted whole
    renderer.render(text, 1);
    const int glyphs = renderer.glyphCount();
    EXPECT_GE(glyphs, CaptionRenderer::PendingBatch); // needed twice, enough for a batch
    renderer.render(text, 1);
    renderer.render(text.left(10), 1); // the same glyphs at the same places
    EXPECT_EQ(renderer.glyphCount(), glyphs);
    renderer.render(text, 2);
    renderer.render(text, 2);
    EXPECT_GT(renderer.glyphCount(), glyphs); // another resolution, other rasters

    // Expecting many captions, each glyph is rasterised at every subpixel place the first
    // time it is needed.
    CaptionRenderer many{CaptionFont(QFont(QStringLiteral("Sans"), 9))};
    many.expectMany(true);
    many.render("Pack", 1);
    EXPECT_EQ(many.glyphCount(), 4 * 64);
    many.render("kcaP", 1);
    EXPECT_EQ(many.glyphCount(), 4 * 64);
}
