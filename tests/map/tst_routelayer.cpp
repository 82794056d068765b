// SPDX-License-Identifier: MIT
// A route layer laid over an image gives the pixels of its lines drawn there one after
// another by the line rule itself, wherever the layer lies and whatever part of the image
// is laid: inside its area from its two-bit pixels, beyond it from the lines kept there.
#include "map/routelayer.h"

#include <QImage>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace vdm;

namespace {

struct Line {
    QPoint a, b;
    int width, pen;
};

long long floorDiv(long long a, long long b)
{
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

/**
 * The line rule written out pixel by pixel: from a towards b without b, one step per
 * pixel of the major axis, the minor offset of step k floor((2 k minor + n) / 2n), a
 * width adding pixels below (x-major) or to the right (y-major); only those in `clip`.
 */
void drawByTheRule(QImage& image, const Line& l, QPoint offset, const QRect& clip, QRgb colour)
{
    const QPoint a = l.a + offset;
    const long long dx = l.b.x() - l.a.x(), dy = l.b.y() - l.a.y();
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long n = xMajor ? std::llabs(dx) : std::llabs(dy), minor = xMajor ? dy : dx;
    const int step = (xMajor ? dx : dy) > 0 ? 1 : -1;
    for (long long k = 0; k < n; ++k) {
        const long long q = floorDiv(2 * k * minor + n, 2 * n);
        for (int w = 0; w < l.width; ++w) {
            const QPoint p = xMajor ? QPoint(int(a.x() + k * step), int(a.y() + q + w))
                                    : QPoint(int(a.x() + q + w), int(a.y() + k * step));
            if (clip.contains(p))
                image.setPixel(p, colour);
        }
    }
}

/** Lines of every direction and length from one pixel up, some reaching far beyond `area`. */
std::vector<Line> linesAround(const QRect& area, quint32 seed)
{
    QRandomGenerator rng(seed);
    std::vector<Line> lines;
    const auto inside = [&] {
        return QPoint(area.left() + int(rng.bounded(area.width())), area.top() + int(rng.bounded(area.height())));
    };
    for (int i = 0; i < 600; ++i) {
        const QPoint a = inside();
        QPoint b;
        switch (i % 5) {
        case 0: // a pixel or two
            b = a + QPoint(int(rng.bounded(5)) - 2, int(rng.bounded(5)) - 2);
            break;
        case 1: // across the area
            b = inside();
            break;
        case 2: // beyond it, some far beyond
            b = a + QPoint(int(rng.bounded(2 * area.width())) - area.width(), int(rng.bounded(4000)) - 2000);
            break;
        default: // short, near the edges where a width may reach beyond
            b = QPoint(i % 2 ? area.left() : area.right() - 1, a.y()) + QPoint(int(rng.bounded(9)) - 4, 3);
            break;
        }
        lines.push_back({a, b, 1 + int(rng.bounded(3)), 1 + int(rng.bounded(3))});
    }
    return lines;
}

/** Whether `layer` laid over `background` in `clip` gives every line of `lines` drawn there by the rule. */
bool laysAsTheRule(const RouteLayer& layer, const QImage& background, const std::vector<Line>& lines, QPoint offset,
                   const QRect& clip, const std::uint32_t* pens)
{
    QImage want = background.copy();
    for (const Line& l : lines)
        drawByTheRule(want, l, offset, clip, pens[l.pen]);
    QImage got = background.copy();
    layer.layOver(got.bits(), got.bytesPerLine(), clip, offset, pens);
    return got == want;
}

} // namespace

TEST(RouteLayer, LaidOverAnyClipGivesTheLinesDrawnOneAfterAnother)
{
    const std::uint32_t pens[4] = {0, 0xFFD02020u, 0xFF2040E0u, 0xFF20A040u};
    const QRect area(-30, -20, 250, 170);
    const std::vector<Line> lines = linesAround(area, 7);
    RouteLayer layer;
    ASSERT_TRUE(layer.reset(area));
    bool beyond = false;
    for (const Line& l : lines) {
        ASSERT_TRUE(layer.line(l.a, l.b, l.width, l.pen));
        beyond = beyond || !area.contains(QRect(l.a, l.b).normalized().adjusted(0, 0, l.width, l.width));
    }
    ASSERT_TRUE(beyond); // the lines kept beyond the area are tried too
    const QSize size(400, 300);
    QImage background(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            background.setPixel(x, y, 0xFF000000u | QRgb(x * 7 + y * 13));
    QRandomGenerator rng(11);
    const QPoint offsets[] = {{0, 0}, {70, 45}, {-15, 260}, {300, -10}};
    for (const QPoint offset : offsets) {
        std::vector<QRect> clips = {background.rect(), QRect(0, 0, 1, 300), QRect(5, 7, 256, 64)};
        for (int i = 0; i < 12; ++i)
            clips.push_back(QRect(int(rng.bounded(size.width())), int(rng.bounded(size.height())),
                                  1 + int(rng.bounded(200)), 1 + int(rng.bounded(120)))
                            & background.rect());
        for (const QRect& clip : clips) {
            SCOPED_TRACE(testing::Message() << "offset " << offset.x() << "," << offset.y() << " clip " << clip.x()
                                            << "," << clip.y() << " " << clip.width() << "x" << clip.height());
            ASSERT_TRUE(laysAsTheRule(layer, background, lines, offset, clip, pens));
        }
    }
}

TEST(RouteLayer, RefusesWhatItCannotStandFor)
{
    RouteLayer layer;
    // More pixels than a layer holds, and no pixels at all.
    EXPECT_FALSE(layer.reset(QRect(0, 0, 4096, 1025)));
    EXPECT_EQ(layer.bytes(), 0);
    EXPECT_FALSE(layer.reset(QRect()));
    EXPECT_FALSE(layer.line({0, 0}, {3, 3}, 1, 1)); // no area: nothing to draw into
    ASSERT_TRUE(layer.reset(QRect(0, 0, 4096, 1024)));
    // An end beyond any picture.
    EXPECT_FALSE(layer.line({10, 10}, {RouteLayer::MaxReach + 1, 10}, 2, 1));
    EXPECT_FALSE(layer.line({10, -RouteLayer::MaxReach - 1}, {10, 10}, 2, 1));
    // Lines beyond the area are kept up to MaxBeyond of them; lines inside it cost nothing there.
    ASSERT_TRUE(layer.reset(QRect(0, 0, 64, 64)));
    for (std::size_t i = 0; i < RouteLayer::MaxBeyond; ++i)
        ASSERT_TRUE(layer.line({10, 10}, {-5, int(i % 50)}, 1, 2)) << i;
    EXPECT_TRUE(layer.line({10, 10}, {20, 30}, 2, 3));
    EXPECT_FALSE(layer.line({10, 10}, {100, 30}, 1, 1));
}

TEST(RouteLayer, ALayerCutAtItsEdgesGivesTheLinesInsideItsAreaAndCoversOnlyThat)
{
    const std::uint32_t pens[4] = {0, 0xFFD02020u, 0xFF2040E0u, 0xFF20A040u};
    const QRect area(-30, -20, 250, 170);
    std::vector<Line> lines = linesAround(area, 13);
    // Far more lines beyond the area than a layer keeps: cut, none is kept.
    for (std::size_t i = 0; i <= RouteLayer::MaxBeyond; ++i)
        lines.push_back({QPoint(area.left() + int(i % 200), area.top() + 5), QPoint(-900, int(i % 300)), 1, 1});
    RouteLayer layer;
    ASSERT_TRUE(layer.reset(area, RouteLayer::Edges::Cut));
    for (const Line& l : lines)
        ASSERT_TRUE(layer.line(l.a, l.b, l.width, l.pen));
    QImage background(400, 300, QImage::Format_RGB32);
    background.fill(0xFF102030u);
    const QPoint offset(70, 45);
    const QRect inside = area.translated(offset) & background.rect();
    const QRect clips[] = {inside, QRect(inside.topLeft(), QSize(1, 1)), inside.adjusted(40, 30, -50, -20)};
    for (const QRect& clip : clips) {
        EXPECT_TRUE(layer.covers(clip, offset));
        EXPECT_TRUE(laysAsTheRule(layer, background, lines, offset, clip, pens));
    }
    // A clip reaching a pixel beyond the area is not covered; a layer that keeps its lines covers any.
    EXPECT_FALSE(layer.covers(inside.adjusted(-1, 0, 0, 0), offset));
    EXPECT_FALSE(layer.covers(QRect(0, 0, 400, 300), QPoint(0, 0)));
    ASSERT_TRUE(layer.reset(area));
    EXPECT_TRUE(layer.covers(QRect(0, 0, 400, 300), QPoint(0, 0)));
    EXPECT_FALSE(layer.reset(QRect(0, 0, 4096, 2049), RouteLayer::Edges::Cut));
    EXPECT_TRUE(layer.reset(QRect(0, 0, 4096, 2048), RouteLayer::Edges::Cut));
}
