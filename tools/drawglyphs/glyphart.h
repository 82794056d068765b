// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

namespace vdm::GlyphArt {

/** How many tool-bar glyphs there are; their indices are the image list's. */
constexpr int GlyphCount = 18;

/**
 * The tool-bar glyph `index` (0 to GlyphCount - 1): 16 by 16 cells on a transparent
 * background, drawn cell by cell with a dark outline so it reads on light and dark bars,
 * at `scale` (1 to 4) pixels a cell: the 2 x glyph is what a screen of device pixel ratio 2
 * shows, its round shapes drawn at that resolution rather than enlarged. Null for another
 * index or scale.
 */
QImage glyph(int index, int scale = 1);

/**
 * The window and desktop icon, a small map with a compass rose, `size` pixels square, drawn
 * for that size (16 to 256) rather than scaled from another.
 */
QImage icon(int size);

} // namespace vdm::GlyphArt
