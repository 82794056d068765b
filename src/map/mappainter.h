// SPDX-License-Identifier: MIT
#pragma once

#include "data/settings.h"
#include "data/location.h"
#include "data/packedcolor.h"
#include "map/highlight.h"
#include "map/spatialindex.h"
#include "map/viewport.h"

#include <QColor>
#include <QFont>
#include <QImage>

#include <memory>

namespace vdm {

/**
 * The drawing objects made from the settings: the caption font, the location brushes,
 * the route and marker pens. Made once at start-up and again after the options dialog.
 */
struct DrawingObjects {
    QFont MapFont;
    QColor BrushVisited, BrushActive, BrushUnvisited, BrushBackground;
    QColor PenSkarnels, PenShips, PenMagesGuild, PenMarker;

    static DrawingObjects fromSettings(const Settings& s);
};

/**
 * Everything one paint reads. The highlight of Go is the only state a paint changes (its
 * bookkeeping runs as the locations are visited).
 */
struct MapScene {
    const Viewport& view;
    const QImage& picture; // the decoded map picture (MapBitmap), Format_RGB32
    const LocationList& locations;
    const LocationList& markers;
    const Settings& settings;
    const DrawingObjects& objects;
    GoHighlight& highlight;
    /**
     * Where the items lie: with an index that covers the lists, a paint looks only at
     * what can show on the panel; without one (or with a stale one) it visits every item.
     * The pixels are the same either way.
     */
    const SpatialIndex* index = nullptr;
};

/**
 * Paints the whole map panel into a back buffer of the panel's size, in panel pixels: the
 * picture resampled at scale f / MapScale (smooth or pixel mode), location frames and
 * captions, markers, then routes over everything. Overlay positions come only from the
 * viewport's conversions. Whatever it caches to go faster (shrunken copies of the picture,
 * caption masks) it owns, makes lazily and keeps between paints; the picture itself is
 * the caller's. A caption cache follows the font it was made with and a picture cache the
 * picture's QImage::cacheKey, so changed inputs never show stale pixels.
 */
class MapPainter {
public:
    MapPainter();
    ~MapPainter();
    MapPainter(const MapPainter&) = delete;
    MapPainter& operator=(const MapPainter&) = delete;

    /** Paints into `backBuffer`, which must be view.Panel sized and Format_RGB32. */
    void paint(QImage& backBuffer, const MapScene& scene);
    /** Convenience: a fresh back buffer of the panel's size. */
    QImage paint(const MapScene& scene);

    /** Drops caches that depend on the picture (call when the picture changes). */
    void invalidateCaches();
    /**
     * Bytes held by the caches: the copies of the picture, one per shrinking level and
     * mode used (averaged in smooth mode), and the pre-rendered caption masks.
     */
    qint64 cacheBytes() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vdm
