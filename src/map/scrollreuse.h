// SPDX-License-Identifier: MIT
#pragma once

#include "map/mappainter.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vdm {

/**
 * Everything a paint of the map depends on apart from the scroll position, taken by value
 * (or by identity where the value is too big to copy: the lists, with a count of their
 * changes that the owner raises at each). Two equal signatures paint the same overlays,
 * one scrolled against the other.
 */
struct SceneSignature {
    int zoomIndex = 0;
    int mapScale = 0;
    QSize picture, panel;
    QPoint margin;
    bool mapCoversPanel = false;
    qint64 pictureKey = 0;
    const void* locations = nullptr;
    std::size_t locationCount = 0;
    const void* markers = nullptr;
    std::size_t markerCount = 0;
    /** The lists' changes as their owner counts them: equal counts, unchanged lists. */
    std::uint64_t dataRevision = 0;
    Settings settings;
    DrawingObjects objects;
    /** The location this paint shows highlighted, whatever its status: -1 for none. */
    int highlighted = -1;
    const SpatialIndex* index = nullptr;
    /** The place filter's choice (a copy: the filter may change between two paints). */
    PlaceFilter places;
    bool indexCoversLocations = false, indexCoversMarkers = false;
    /** The back buffer's device pixel ratio. */
    qreal ratio = 1;

    /**
     * The signature of the next paint of `scene` into a buffer at `ratio` (predicting its
     * highlight, changing nothing).
     */
    static SceneSignature of(const MapScene& scene, std::uint64_t dataRevision, qreal ratio = 1);
    bool operator==(const SceneSignature&) const = default;
};

/**
 * Repaints after a scroll by moving what the last paint left in the back buffer and
 * painting only the strips the move uncovers. It keeps the last paint's signature, view
 * and back-buffer key, and reuses the buffer only when it can prove the result equals a
 * whole paint: the same signature, the buffer untouched since, the picture moving with
 * the scroll pixel for pixel, and a move smaller than the panel. Anything else, including
 * a paint it was not told about, gets a whole paint.
 */
class ScrollReuse {
public:
    enum class Kind {
        Whole,     // painted from nothing
        Moved,     // the last paint moved, the uncovered strips painted
        Unchanged, // the same view again: nothing to paint
        Kept,      // a kept earlier paint of the scene moved, the uncovered strips painted
        Region,    // the last paint kept, only what a bounded change of the data touched painted
        Ahead,     // a whole paint of the view made beforehand shown as it was (adopt)
    };

    /**
     * A change of the lists since the paint at data revision `from` (and nothing else in
     * between) that can alter only `area`, in panel pixels, of a paint of the same view:
     * one place's new status, say. The owner vouches for the bound.
     */
    struct BoundedChange {
        std::uint64_t from = 0;
        QRect area;
    };

    /**
     * At most this many earlier paints are kept, and in at most KeptBytes: enough for a
     * drag at 200 or 300 %, where the picture moves with the scroll only every two or
     * three pixels, to find a paint of its phase a few steps back.
     */
    static constexpr int KeptPaints = 4;
    static constexpr qint64 KeptBytes = 40 * 1024 * 1024;
    /**
     * Paints are kept only once a whole paint blends this many caption pixels: below it
     * a whole paint costs less than the two copies of the frame a kept one takes.
     */
    static constexpr std::int64_t KeptInk = 2 << 20;

    /** Keeps earlier paints of a drag once a whole paint blends `keepFromInk` caption pixels or more. */
    explicit ScrollReuse(std::int64_t keepFromInk = KeptInk) : m_keepFromInk(keepFromInk) {}

    /**
     * What to do for the next paint: a whole one, or move by `shift` and paint `exposed`
     * (both in the buffer's device pixels).
     */
    struct Plan {
        Kind kind = Kind::Whole;
        QPoint shift;
        QRegion exposed;
    };

    /**
     * The decision alone: the paint before had `before` at scroll `scrollBefore`; now
     * `now` at `scrollNow`; `pictureMoves` tells whether the picture follows that move
     * (MapPainter::pictureMovesWith). Only whole ratios move whole device pixels; with
     * overlapping captions hidden a scroll paints the whole panel.
     */
    static Plan plan(const SceneSignature& before, QPoint scrollBefore, const SceneSignature& now, QPoint scrollNow,
                     bool pictureMoves);

    /**
     * Paints `scene` into `backBuffer` through `painter`, reusing the buffer where the plan
     * allows; `mayReuse` false forces a whole paint. With `change`, a paint of the last
     * view whose only difference is that change repaints its area alone.
     * Returns what it did.
     */
    Kind paint(MapPainter& painter, QImage& backBuffer, const MapScene& scene, std::uint64_t dataRevision,
               bool mayReuse = true, const std::optional<BoundedChange>& change = std::nullopt);
    /** What paint() would do with the same arguments now (nothing changes). */
    Kind nextKind(const QImage& backBuffer, const MapScene& scene, std::uint64_t dataRevision, bool mayReuse = true,
                  const std::optional<BoundedChange>& change = std::nullopt) const;

    /**
     * `backBuffer` now holds a whole paint of `scene` at data revision `dataRevision` made
     * elsewhere (a frame painted ahead, swapped in): the next paint may move it as it
     * would move one of its own.
     */
    void adopt(const QImage& backBuffer, const MapScene& scene, std::uint64_t dataRevision);

    /** The next paint is a whole one. */
    void forget()
    {
        m_last.reset();
        m_kept.clear();
    }
    /** How many earlier paints are kept. */
    int keptPaints() const { return int(m_kept.size()); }
    /** What the last paint did. */
    Kind lastKind() const { return m_lastKind; }

    /** Moves the image's pixels by `shift` in place; what the move uncovers keeps its old pixels. */
    static void moveImage(QImage& image, QPoint shift);

private:
    struct Last {
        SceneSignature signature;
        Viewport view;
        qint64 bufferKey = 0;
        const uchar* bufferBits = nullptr;
    };
    Plan planFor(const QImage& backBuffer, const MapScene& scene, const SceneSignature& now, bool mayReuse,
                 const std::optional<BoundedChange>& change) const;
    /** Whether the buffer is the one the last paint left, untouched, and fit for a paint of `scene`. */
    bool bufferKept(const QImage& backBuffer, const MapScene& scene, qreal ratio) const;
    /**
     * A paint of the scene now that a kept one gives by a move, as planned (none: the
     * picture moves with the scroll from none of them).
     */
    struct KeptPlan {
        const QImage* image = nullptr;
        Plan plan;
    };
    KeptPlan planFromKept(const QImage& backBuffer, const MapScene& scene, const SceneSignature& now) const;
    /** Keeps a copy of the paint just made, the oldest going first. */
    void keep(const QImage& backBuffer, const SceneSignature& now, const Viewport& view);

    /**
     * A paint of the same scene that the last one could not give by a move: where the
     * picture lands on whole bitmap pixels of two or three panel pixels, a drag step
     * can only be moved from a paint of the same phase a few steps back.
     */
    struct Kept {
        SceneSignature signature;
        Viewport view;
        QImage image;
    };
    std::vector<Kept> m_kept; // oldest first
    std::int64_t m_keepFromInk;

    std::optional<Last> m_last;
    Kind m_lastKind = Kind::Whole;
};

} // namespace vdm
