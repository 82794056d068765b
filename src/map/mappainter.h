// SPDX-License-Identifier: MIT
#pragma once

#include "data/settings.h"
#include "data/location.h"
#include "data/packedcolor.h"
#include "map/highlight.h"
#include "map/placefilter.h"
#include "map/spatialindex.h"
#include "map/viewport.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRegion>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

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
    bool operator==(const DrawingObjects&) const = default;
};

/**
 * What a paint lays over everything it draws (a planned journey, say), told of each part
 * of the buffer as soon as the map there is finished: a band of the buffer's rows is then
 * still in the processor's cache, so laying over it costs little more than its own pixels.
 */
class MapTopLayer {
public:
    virtual ~MapTopLayer() = default;
    /**
     * Lays itself over the device pixels of `area` of `backBuffer` (Format_RGB32, at its
     * device pixel ratio), where the finished map lies; every pixel outside stays as it is.
     */
    virtual void layOver(QImage& backBuffer, const QRect& area) = 0;

    /** What prepare() readied. */
    enum class Readiness {
        Nothing,   // nothing to lay there: the paint goes as without a layer
        OneThread, // layOver is to run on the painting thread alone
        AnyThread, // layOver of distinct parts of the area may run on two threads at once
    };
    /**
     * Called before a paint lays the layer over parts of `area` of `backBuffer`: readies
     * whatever laying there needs, so that laying it then changes nothing of the layer.
     */
    virtual Readiness prepare(QImage& backBuffer, const QRect& area)
    {
        Q_UNUSED(backBuffer);
        Q_UNUSED(area);
        return Readiness::OneThread;
    }
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
    /** The kinds and regions the user chose to see: the others are left out as a hidden status is. None: all. */
    const PlaceFilter* places = nullptr;
    /** Laid over the finished map (none: the map alone). */
    MapTopLayer* top = nullptr;
};

/**
 * The device pixels of a back buffer for a panel of `panel` logical pixels at a device
 * pixel ratio: the panel's size times the ratio, rounded up so nothing is left uncovered.
 */
QSize backBufferSize(QSize panel, qreal ratio);

/**
 * Makes `backBuffer` a Format_RGB32 image of backBufferSize(panel, ratio) at that device
 * pixel ratio, keeping it as it is when it already is one (null for an empty panel).
 */
void fitBackBuffer(QImage& backBuffer, QSize panel, qreal ratio);

/**
 * Marks an image painted for a screen of device pixel ratio `ratio`: its device pixel
 * ratio, and (above 1) its resolution that many times the screen's logical one, which
 * the clipboard copy and saved images carry, so a viewer can show them at the map's size.
 */
void setDeviceResolution(QImage& image, qreal ratio);

struct LearnedFont;
class CaptionsAhead;

/**
 * From how many captions a paint lacks its caption renderers rasterise each new glyph at
 * every subpixel place at once. A world of fewer places never makes a paint that
 * crowded, so its first paint learns little of the font, and nothing is learned ahead.
 */
constexpr std::size_t ManyCaptionsFrom = 1024;

/**
 * The captions of the first `most` of `places`, cut as a paint cuts them at `limit`
 * characters (Settings::TextLength), that show every pair of adjacent characters, every
 * first and every last character of those captions at least once, in the places' order:
 * what a painter's renderers learn the font from ahead (CaptionRenderer::learnAhead).
 */
std::vector<QByteArray> captionsToLearn(const LocationList& places, int limit, std::size_t most);

/**
 * Where a start's first view will lie, as far as it is known before the window is laid
 * out: its zoom level, its scroll as stored, and a panel at least as big as the window's
 * will be (the window's own size, say): what the captions rendered ahead are picked for.
 */
struct FirstView {
    int zoom = 0;
    QPoint scroll;
    QSize panel;
};

/**
 * The places near a first view whose captions its paint may draw, picked from a world's
 * places as they are read (a look at each costs a few nanoseconds): their names and map
 * points, more than the paint draws (statuses and the filter are not known yet, nor how
 * wide the font's characters are).
 */
struct PlacesNearView {
    FirstView view;
    int limit = 0; // Settings::TextLength
    std::vector<QByteArray> names;
    std::vector<QPoint> points;
};
PlacesNearView placesNearView(const LocationList& places, const FirstView& view, int limit);
/**
 * The captions of `near` a paint of its view may draw with a font of `lineHeight` and
 * `maxCharWidth` (CaptionFont's), cut as the paint cuts them, each text once.
 */
std::vector<QByteArray> captionsNearView(const PlacesNearView& near, int lineHeight, int maxCharWidth);

/**
 * Up to this many places a world's crowded views fit the memory aimed at: the caption
 * cache keeps its whole budget, and a paint gathers what it draws over a rectangle at once.
 */
constexpr std::size_t HugeWorldAbove = 100000;

/**
 * The most the caption cache keeps beyond the paint under way in a world of `places`:
 * its whole budget up to 100 000 places, then less in proportion to the places (16 MB at
 * a million), so a huge world's places and its captions fit in the memory aimed at. A
 * crowded zoom step of a huge world then renders most of its captions again.
 */
std::int64_t captionLimit(std::size_t places);

/**
 * Paints the whole map panel into a back buffer of the panel's size at the buffer's device
 * pixel ratio (QImage::devicePixelRatio): the picture resampled at scale
 * f / MapScale x ratio (smooth or pixel mode), location frames and captions, markers, then
 * routes over everything. Overlay positions come only from the viewport's conversions, in
 * panel (logical) pixels, and are then scaled to device pixels; lines and frames keep their
 * widths in panel pixels, rounded to whole device pixels, and captions are rendered at the
 * device resolution. At the ratio 1 device and panel pixels are the same. Whatever it caches to go faster (shrunken
 * copies of the picture, caption masks) it owns, makes lazily and keeps between paints; the picture itself is the
 * caller's. A caption cache follows the font it was made with and a picture cache the picture's QImage::cacheKey, so
 * changed inputs never show stale pixels.
 */
class MapPainter {
public:
    MapPainter();
    /**
     * A painter whose caption cache keeps `captionBudget` bytes of captions beyond those
     * of the paint under way (by default the budget follows the fullest recent paint,
     * from 32 MB up to 160 MB).
     */
    explicit MapPainter(std::int64_t captionBudget);
    ~MapPainter();
    MapPainter(const MapPainter&) = delete;
    MapPainter& operator=(const MapPainter&) = delete;

    /**
     * Paints into `backBuffer` at its device pixel ratio; a buffer of another size than
     * backBufferSize(panel, ratio) or another format than Format_RGB32 is made anew first.
     */
    void paint(QImage& backBuffer, const MapScene& scene);
    /** Convenience: a fresh back buffer of the panel's size at `ratio`. */
    QImage paint(const MapScene& scene, qreal ratio = 1);
    /**
     * Paints only the buffer's (device) pixels inside `area`, each exactly as a whole
     * paint of the scene gives it; every pixel outside keeps its colour. It is one paint
     * for the highlight bookkeeping, however many rectangles `area` holds (an empty area
     * paints nothing and still counts). A buffer that is not backBufferSize(panel, ratio)
     * and Format_RGB32 holds nothing to keep, and one at a fractional ratio has edges only
     * a whole paint gets right: both get a whole paint.
     */
    void paint(QImage& backBuffer, const MapScene& scene, const QRegion& area);

    /**
     * Whether a paint of the view `after` shows on every buffer pixel p the picture pixel
     * a paint of `before` shows at p - shift (where both lie in the buffer), at `ratio`.
     * The overlays move exactly with the scroll, but the picture starts at a whole bitmap
     * pixel and its resampling may land differently, so a scrolled copy of a paint is only
     * sometimes a paint of the scrolled view.
     */
    static bool pictureMovesWith(const Viewport& before, const Viewport& after, QPoint shift, QSize picture,
                                 const Settings& settings, qreal ratio = 1);

    /**
     * Whether each paint of `settings`, however small its area, first decides for the whole
     * panel which captions it draws (with overlapping captions hidden): a view painted as
     * many small areas then pays that decision for each.
     */
    static bool decidesForWholePanel(const Settings& settings);

    /**
     * Paints `area` of `frame` as paint(frame, scene, area) does, for a view the panel does
     * not show yet (a zoom step away): the view shown stays the one the painter keeps
     * what it caches for (the shrunken copies of the picture within a level of it, the
     * view the next whole paint is compared with).
     */
    void paintAhead(QImage& frame, const MapScene& scene, const QRegion& area);
    /**
     * The map picture alone in `area` (device pixels) of `backBuffer`, sized for the
     * panel: what a paint lays everything else over, shown while a huge world's view is
     * still painted a band at a time.
     */
    void paintPicture(QImage& backBuffer, const MapScene& scene, const QRect& area);
    /**
     * The panel shows a frame of `scene` at `ratio` painted ahead in place of a paint:
     * the highlight is visited as that paint would have, and the view is the one shown.
     */
    void tookAhead(const MapScene& scene, qreal ratio);

    /**
     * Renders ahead, without painting, the captions a paint of `scene` at `ratio` would
     * draw and the caption cache lacks (a view a zoom step away, say), while the cache
     * stays within its budget and until `deadline`. True when there is nothing more to
     * do: none left to render, or the cache holds all its budget allows (rendering more
     * would only push out what was rendered ahead before). Where the paint is not done
     * in parts, the level's shrunken copy of the picture is made first, if it shrinks:
     * a first visit would make it before drawing anything.
     */
    bool renderCaptionsAhead(const MapScene& scene, qreal ratio, std::chrono::steady_clock::time_point deadline);
    /**
     * The panel pixels a change of place `index`'s status alone can change in a paint of
     * `scene`: a box wide enough for its frame and its longest caption, clipped to the
     * panel (empty where the place draws nothing). None when the change can reach further:
     * with overlapping captions hidden, which captions show elsewhere may follow it; with
     * a place highlighted, one of no known status takes the colour of the framed place
     * drawn before it.
     */
    std::optional<QRect> statusReach(const MapScene& scene, int index);

    /**
     * A paint of a world of more places than this (HugeWorldAbove by default) draws each
     * rectangle a few rows at a time: what lands on a part is gathered, drawn and let go,
     * and the captions no later part needs go (beyond what the cache keeps), before the
     * next. The pixels are the same either way; a paint at a fractional device pixel
     * ratio, or without an index covering the places, is made whole.
     */
    void paintInPartsAbove(std::size_t places);
    /**
     * Device rows at the ratio 1 of one part of such a paint ahead (paintAhead; a whole
     * paint's parts are two tile rows): a band of a few of them, each drawn by one thread,
     * composes the captions of a view more crowded than the cache keeps as they are
     * blended, as the whole paint of that view does.
     */
    static constexpr int PartHeight = 64;
    /**
     * What was learned of a caption font ahead (CaptionRenderer::learnAhead, on another
     * thread while the world loads, say): the renderers the painter makes for that font
     * start from it, so its first crowded paint neither lays the font's pairs out nor
     * rasterises its glyphs again. Renderers of another font start from nothing, as
     * without it, and renderers made before are kept as they are. The pixels are the same
     * either way.
     */
    void startFontFrom(std::shared_ptr<const LearnedFont> learned);
    /**
     * Captions rendered ahead (the first view's, while the world loads): until the end of
     * its next whole paint of a world's places, a caption a paint would render it takes
     * from them instead, where they were rendered with its font at its ratio, and adds it
     * to the cache as if it had rendered it. What that paint does not take is let go.
     */
    void takeCaptionsAhead(std::unique_ptr<CaptionsAhead> captions);
    /** How many captions the last paint took from those rendered ahead. */
    int lastTakenAhead() const;
    /**
     * Whether a crowded paint's drawing over the picture is shared with a second core
     * (on by default where the machine has one). The pixels are the same either way.
     */
    void useSecondCore(bool on);
    bool usesSecondCore() const;

    /**
     * The caption pixels the last paint blended (the areas of their masks in the parts
     * it painted): what a crowded paint's cost follows.
     */
    std::int64_t lastInk() const;

    /** How many captions the cache holds. */
    int cachedCaptions() const;

    /**
     * Bytes held by the caches: the copies of the picture, one per shrinking level and
     * mode used (averaged in smooth mode), the pre-rendered caption masks and a huge
     * world's route lines of a level.
     */
    qint64 cacheBytes() const;

private:
    void paintArea(QImage& backBuffer, const MapScene& scene, const QRegion& area);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vdm
