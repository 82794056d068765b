// SPDX-License-Identifier: MIT
#pragma once

#include "journey/routeplanner.h"

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
 * pixels it covers. A paint then only lays those runs over the map: opaque pixels copied,
 * the antialiased edges blended, a few hundred thousand pixels at most where the drawing
 * itself would stroke every leg again.
 *
 * The tiles sit at fixed places of the level's picture, so two layers given the same
 * journey and view give the same pixels, whichever tiles either drew before: the window
 * and veldamar-render agree to the pixel.
 *
 * What a paint covered is remembered, so the map beneath can be put back before the next
 * paint reuses the buffer (a scroll moves the map, and the route must not move with it).
 */
class JourneyLayer {
public:
    /** The side of a tile, in device pixels. */
    static constexpr int TileSize = 256;

    /**
     * Lays `journey` (its current leg `current`, -1: none) over `image`, at the image's
     * device pixel ratio; `image` is Format_RGB32 or Format_ARGB32_Premultiplied (any
     * other format is converted to the latter). Tiles drawn for the same legs on the
     * level's picture and ratio are reused; another current leg drops only the tiles
     * the two legs reach, anything else drops them all first.
     * A journey without legs, or one naming places `locations` does not hold, lays nothing.
     *
     * What the last call laid and still lies over `image` (see forgetBeneath()) is put
     * back first, unless it is exactly what this call would lay: then nothing is done.
     */
    void drawOver(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                  int current = -1);
    /**
     * Puts back the pixels the last drawOver() covered, provided `image` still has that
     * image's size and ratio; true when it did (and the image holds again the map alone).
     */
    bool restoreUnder(QImage& image);
    /** The image was painted afresh since the last drawOver(): nothing of it lies there now. */
    void forgetBeneath();
    /** Forgets the tiles and what lies beneath. */
    void clear();

    /** How many tiles have been drawn (not reused) since the layer was made. */
    int tilesDrawn() const { return m_tilesDrawn; }
    /** What the kept tiles and the pixels beneath take, in bytes. */
    std::size_t bytes() const;

    /** A leg as drawn: its ends in the level's picture points, and how it is travelled. */
    struct Segment {
        QPoint from, to;
        TravelMode mode = TravelMode::Walk;
        bool operator==(const Segment&) const = default;
    };

private:
    /** A stretch of one row of a tile (or of the image beneath), with its pixels at `pixel`. */
    struct Run {
        std::int32_t x = 0, y = 0, length = 0;
        std::uint32_t pixel = 0; // into the tile's (or the beneath's) pixels
    };
    struct Tile {
        std::vector<Run> runs;
        std::vector<std::uint32_t> pixels; // premultiplied ARGB
    };

    /** A run placed on the image: where it goes and the tile's pixels it lays there. */
    struct Lay {
        std::uint32_t* target = nullptr;
        const std::uint32_t* source = nullptr;
        std::uint32_t length = 0;
    };
    /** Lays `lays` (the k-th keeping what it covers at `beneathRuns[k]`'s place in `beneath`). */
    static void layRuns(const std::vector<Lay>& lays, const std::vector<Run>& beneathRuns, std::uint32_t opaque,
                        std::uint32_t* beneath);

    const Tile& tile(std::int64_t column, std::int64_t row);
    /** The tile at device pixel (`left`, `top`) of the level's picture, in the picture's logical points. */
    QRectF tileArea(std::int64_t left, std::int64_t top) const;
    /** Forgets the tiles the drawing of leg `leg` (-1: none) can reach. */
    void dropTilesReaching(int leg);
    Tile drawTile(std::int64_t left, std::int64_t top);

    // What the tiles were drawn for. `m_fraction` is the part of a device pixel by which the
    // picture's device pixels miss the image's at a ratio that is no whole number.
    std::vector<Segment> m_segments;
    int m_current = -1;
    qreal m_ratio = 0;
    QPointF m_fraction;
    std::unordered_map<std::uint64_t, Tile> m_tiles;
    QImage m_scratch;           // one tile's drawing, before it becomes runs
    std::vector<Run> m_scanned; // the scratch's runs, before they go into their tile
    int m_tilesDrawn = 0;

    // What the last drawOver covered: its runs in image pixels, with the pixels beneath.
    std::vector<Run> m_beneathRuns;
    std::vector<Lay> m_lays; // the last drawOver's runs on the image, kept for their room
    std::vector<std::uint32_t> m_beneath;
    QSize m_beneathSize; // empty: nothing laid lies over the image
    qreal m_beneathRatio = 0;
    QPoint m_beneathAt; // the picture's device pixel at the image's top-left corner
};

} // namespace vdm
