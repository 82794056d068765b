// SPDX-License-Identifier: MIT
#include "map/captionrender.h"

#include "data/codepage.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vdm {
namespace {

/**
 * Cuts the mask down to the rows and columns that hold ink, moving its offset with it:
 * every paint blends each caption's whole mask, and the room kept around the ink (a
 * line's height, the overhang's margin) would otherwise be read pixel by pixel.
 */
void trimToInk(RenderedCaption& r)
{
    const QImage& m = r.mask;
    int top = m.height(), bottom = -1, left = m.width(), right = -1;
    for (int y = 0; y < m.height(); ++y) {
        const uchar* line = m.constScanLine(y);
        int x0 = 0;
        while (x0 < m.width() && line[x0] == 0)
            ++x0;
        if (x0 == m.width())
            continue;
        int x1 = m.width() - 1;
        while (line[x1] == 0)
            --x1;
        top = std::min(top, y);
        bottom = y;
        left = std::min(left, x0);
        right = std::max(right, x1);
    }
    if (bottom < 0) {
        r.mask = QImage(); // no ink: nothing to blend
        return;
    }
    if (top == 0 && left == 0 && bottom == m.height() - 1 && right == m.width() - 1)
        return;
    r.mask = m.copy(left, top, right - left + 1, bottom - top + 1);
    r.offset += QPoint(left, top);
}

} // namespace

CaptionFont::CaptionFont(const QFont& f) : font(f)
{
    const QFontMetrics fm(font);
    ascent = fm.ascent();
    descent = fm.descent();
    lineHeight = fm.height();
    maxCharWidth = std::max(1, fm.maxWidth());
}

RenderedCaption renderCaption(const CaptionFont& f, const QByteArray& text, qreal ratio)
{
    // One layout gives the advance, the ink and the glyphs drawn: measuring and drawing
    // the string separately would shape it three times.
    QTextLayout layout(CodePage::decode(text), f.font);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = line.isValid() ? line.glyphRuns() : QList<QGlyphRun>();
    QRectF inkF;
    for (const QGlyphRun& run : runs)
        inkF |= run.boundingRect();
    // Glyph positions count from the line's top; the caption's from its baseline.
    const qreal baseline = line.isValid() ? line.ascent() : f.ascent;
    const QRect ink = inkF.isEmpty()
                          ? QRect()
                          : QRect(QPoint(int(std::floor(inkF.left())), int(std::floor(inkF.top() - baseline))),
                                  QPoint(int(std::ceil(inkF.right())), int(std::ceil(inkF.bottom() - baseline))));
    const int advance = line.isValid() ? int(std::ceil(line.horizontalAdvance())) : 0;
    // Room for the ink on every side of the advance box: some glyphs overhang it.
    const int left = std::min(0, ink.left()) - 1;
    const int right = std::max(advance, ink.right() + 1) + 1;
    const int top = std::min(-f.ascent, ink.top()) - 1;
    const int bottom = std::max(f.descent, ink.bottom() + 1) + 1;
    // The same box in device pixels, grown outwards to whole pixels.
    const int devLeft = int(std::floor(left * ratio)), devTop = int(std::floor(top * ratio));
    const int devRight = int(std::ceil(right * ratio)), devBottom = int(std::ceil(bottom * ratio));
    QImage img(std::max(1, devRight - devLeft), std::max(1, devBottom - devTop), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(ratio);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        p.setFont(f.font);
        p.setPen(Qt::white);
        // The layout's glyphs sit below the line's top: its top goes one ascent above the
        // baseline. The baseline is kept to 1/64 pixel, as text drawn from a point is, so
        // at a ratio like 1.25 each glyph takes the same subpixel place.
        const auto sixtyFourths = [](qreal v) { return std::round(v * 64) / 64; };
        const QPointF origin(sixtyFourths(-devLeft / ratio), sixtyFourths(-devTop / ratio) - baseline);
        for (const QGlyphRun& run : runs)
            p.drawGlyphRun(origin, run);
    }
    const int devAscent = ratio == 1 ? f.ascent : int(std::lround(f.ascent * ratio));
    RenderedCaption r;
    r.offset = QPoint(devLeft, devAscent + devTop);
    r.mask = img.convertToFormat(QImage::Format_Alpha8);
    r.mask.setDevicePixelRatio(1);
    r.advance = advance;
    trimToInk(r);
    return r;
}

} // namespace vdm
