// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPoint>

namespace vdm {

/** The caption font and the metrics every caption of it shares. */
struct CaptionFont {
    QFont font;
    int ascent = 0, descent = 0, lineHeight = 0, maxCharWidth = 1;

    CaptionFont() = default;
    explicit CaptionFont(const QFont& f);
};

/** One caption rendered: its coverage mask and where it lies from the caption's top-left. */
struct RenderedCaption {
    QImage mask;     // Format_Alpha8, in device pixels, blended pixel for pixel; only the ink's box (null: no ink)
    QPoint offset;   // of the mask's top-left from the caption's top-left, in device pixels
    int advance = 0; // how far the text reaches to the right, in panel pixels
};

/**
 * Renders a caption (code-page bytes) as a coverage mask at a device pixel ratio: the
 * font's glyphs drawn at that resolution, not enlarged, with room for ink that overhangs
 * the advance box. Touches nothing shared, so any thread may call it.
 */
RenderedCaption renderCaption(const CaptionFont& font, const QByteArray& text, qreal ratio);

} // namespace vdm
