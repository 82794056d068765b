// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

namespace vdm::GlyphArt {

/** How many tool-bar glyphs there are; their indices are the image list's. */
constexpr int GlyphCount = 18;

/**
 * The tool-bar glyph `index` (0 to GlyphCount - 1): 16 by 16 pixels on a transparent
 * background, drawn pixel by pixel with a dark outline so it reads on light and dark bars.
 */
QImage glyph(int index);

/**
 * The window and desktop icon, a small map with a compass rose, `size` pixels square, drawn
 * for that size (16 to 256) rather than scaled from another.
 */
QImage icon(int size);

} // namespace vdm::GlyphArt
