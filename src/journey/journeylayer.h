// SPDX-License-Identifier: MIT
#pragma once

#include "journey/routeplanner.h"
#include "map/mappainter.h"

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace vdm {

class Viewport;

/**
 * A journey drawn over a painted map, kept between paints. The drawing is cut into square
 * tiles of the zoom level's picture (so a scroll finds the tiles it already drew where they
 * were); each tile is drawn once, with the journey's own pen, and kept as runs of the
 * pixels it covers, row by row. A paint then only lays those runs over the map: opaque
 * pixels copied, the antialiased edges blended, a few hundred thousand pixels at most where
 * the drawing itself would stroke every leg again.
 *
 * The window's map painter lays it band by band as it finishes each (see MapTopLayer), so
 * the rows it blends into are still in the processor's cache. The tiles sit at fixed places
 * of the level's picture, so the same journey and view give the same pixels however the
 * image is cut into bands and whichever tiles were drawn before: the window and
 * veldamar-render agree to the pixel, and a scroll moves the drawing with the map.
 */
class JourneyLayer final : public MapTopLayer {
public:
    /** The side of a tile, in device pixels. */
    static constexpr int TileSize = 256;

    /**
     * Readies the layer to lay `journey` (its current leg `current`, -1: none) as `view`
     * shows it at device pixel ratio `ratio`. Tiles drawn for the same legs on the level's
     * picture and ratio are kept; another current leg drops only the tiles the two legs
     * reach, anything else drops them all. A journey without legs, or one naming places
     * `locations` does not hold, lays nothing.
     *
     * True when the drawing is the one aimed at before, at most scrolled: an image that holds
     * it, moved with the scroll, then holds it where it belongs. False when it changed.
     */
    bool aim(const Viewport& view, qreal ratio, const LocationList& locations, const Journey& journey,
             int current = -1);
    /** Whether the journey aimed at lays nothing. */
    bool empty() const { return m_segments.empty(); }
    /**
     * Lays the journey aimed at over the pixels of `area` of `image` (Format_RGB32 or
     * Format_ARGB32_Premultiplied, at the ratio aimed at; any other lays nothing).
     */
    void layOver(QImage& image, const QRect& area) override;
    /**
     * Draws every tile `area` of `image` needs that is not kept yet. After it, laying over
     * any part of the area only reads the layer, so two threads may lay distinct parts at
     * once (AnyThread); Nothing when none of the journey lies there.
     */
    Readiness prepare(QImage& image, const QRect& area) override;
    /**
     * Aims at `journey` in `view` at `image`'s device pixel ratio and lays it over the whole
     * of `image`; an image of a format other than Format_RGB32 or
     * Format_ARGB32_Premultiplied is converted to the latter first.
     */
    void drawOver(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                  int current = -1);
    /** Forgets the tiles and the journey. */
    void clear();

    /** How many tiles have been drawn (not reused) since the layer was made. */
    int tilesDrawn() const { return m_tilesDrawn; }
    /** What the kept tiles take, in bytes. */
    std::size_t bytes() const;

    /** A leg as drawn: its ends in the level's picture points, and how it is travelled. */
    struct Segment {
        QPoint from, to;
        TravelMode mode = TravelMode::Walk;
        bool operator==(const Segment&) const = default;
    };

private:
    /**
     * A stretch of one row of a tile, with its pixels at `pixel` of the tile's pixels:
     * opaque ones copied, or whole groups of BlendGroup pixels blended (which it is, the
     * row's place among its runs tells).
     */
    struct Run {
        std::uint16_t x = 0;
        std::uint16_t length = 0;
        std::uint32_t pixel = 0;
    };
    /** The pixels a vector blend takes at once: a blended run is a whole number of them. */
    static constexpr int BlendGroup = 4;
    /** The shortest opaque stretch copied by itself rather than blended with its neighbours. */
    static constexpr int MinCopy = 8;
    struct Tile {
        // Row by row: first the row's copied runs, then its blended ones, each left to
        // right. Kept apart, laying a row asks no run which it is: where the two kinds
        // alternate along a row, that question was mispredicted about every other run.
        std::vector<Run> runs;
        // The first run of each row, and the count at the end; the first blended run of
        // each row. A row holds at most TileSize / 2 runs, so a tile at most 32 768: 16
        // bits are enough.
        std::vector<std::uint16_t> rowStart, rowBlend;
        std::vector<std::uint32_t> pixels; // premultiplied ARGB
    };

    const Tile& tile(std::int64_t column, std::int64_t row);
    /** Whether the journey aimed at is laid on `image` at all (its ratio, its format). */
    bool laysOn(const QImage& image) const;
    /** The tile at device pixel (`left`, `top`) of the level's picture, in the picture's logical points. */
    QRectF tileArea(std::int64_t left, std::int64_t top) const;
    /** Forgets the tiles the drawing of leg `leg` (-1: none) can reach. */
    void dropTilesReaching(int leg);
    Tile drawTile(std::int64_t left, std::int64_t top);

    // What the tiles are drawn for. `m_fraction` is the part of a device pixel by which the
    // picture's device pixels miss the image's at a ratio that is no whole number.
    std::vector<Segment> m_segments;
    int m_current = -1;
    std::vector<bool> m_numbered; // the legs whose number is drawn (JourneyPainter::numbered)
    qreal m_ratio = 0;
    QPointF m_fraction;
    std::int64_t m_atX = 0, m_atY = 0; // the picture's device pixel at an image's top-left corner
    std::unordered_map<std::uint64_t, Tile> m_tiles;
    QImage m_scratch;            // one tile's drawing, before it becomes runs
    uchar* m_prepared = nullptr; // the pixels of the image last prepared
    int m_tilesDrawn = 0;
};

} // namespace vdm
