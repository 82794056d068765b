// SPDX-License-Identifier: MIT
#pragma once

#include "map/mappainter.h"
#include "map/scrollreuse.h"

#include <QImage>
#include <QPoint>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace vdm {

/**
 * Whole paints of views the panel may show next (a zoom step in and out), painted a band
 * of rows at a time in idle time and kept with everything they were painted from. A view
 * whose scene and scroll equal a finished frame's is shown by swapping that frame in: it
 * is pixel for pixel the whole paint of the view, at the cost of no paint. Anything that
 * changes the scene (the data, the settings, the filter, the panel, the ratio, the
 * highlight) changes the key, so a frame of the scene before is never taken.
 */
class FramesAhead {
public:
    /** What a frame shows: the signature of its scene and the scroll of its view. */
    struct Key {
        SceneSignature signature;
        QPoint scroll;
        /** The key of a paint of `scene` at data revision `dataRevision` into a buffer at `ratio`. */
        static Key of(const MapScene& scene, std::uint64_t dataRevision, qreal ratio);
        bool operator==(const Key&) const = default;
    };

    /** The most frames kept: one a step in and one a step out. */
    static constexpr int MostFrames = 2;
    /**
     * Device rows of one band at the ratio 1: a slice paints bands until its deadline, and
     * at least one. Two of the painter's parts ahead, one for each core: a crowded view of
     * a million places then has its captions composed as they are blended, as its whole
     * paint does, a band takes about as long as one of 32 rows through the caption cache
     * took, and the view is whole after about one whole paint instead of two to four.
     */
    static constexpr int BandRows = 2 * MapPainter::PartHeight;

    /** Lets go of every frame, finished or not, whose key is not among `wanted`. */
    void keepOnly(const std::vector<Key>& wanted);
    /**
     * Paints more of the frame of `scene` (keyed `key`, started when there is none) at the
     * key's ratio, a band at a time, until `deadline` has passed or it is finished; it
     * paints at least one band. True once the frame is finished.
     */
    bool paintSome(MapPainter& painter, const MapScene& scene, const Key& key,
                   std::chrono::steady_clock::time_point deadline);
    /** Whether a frame of `key` is kept, finished or not. */
    bool has(const Key& key) const;
    /** Whether a finished frame of `key` is kept. */
    bool ready(const Key& key) const;
    /**
     * Shows the finished frame of `key` by swapping it into `backBuffer`: false (nothing
     * changed) when there is none. What the buffer held is kept as the finished frame of
     * `held`, when given: it must be a whole paint of that key (the view just left, which
     * a zoom step back shows again).
     */
    bool take(const Key& key, QImage& backBuffer, const std::optional<Key>& held);
    /**
     * The frame of `from` (finished or not) becomes the frame of `to` once `area` (device
     * pixels) of it is painted again for `scene`, the scene of `to`: the two keys' scenes
     * differ only inside that area (one place's new status, say). False, and nothing
     * changed, when no frame of `from` is kept.
     */
    bool repaint(const Key& from, const Key& to, MapPainter& painter, const MapScene& scene, const QRegion& area);
    /**
     * Copies the rows of the frame of `key` painted since device row `from` into the same
     * rows of `target` (a buffer of the frame's size) and returns how many rows from the
     * top are painted: what a panel showing the frame while it is painted shows of it.
     * -1, and nothing copied, when no frame of `key` is kept or `target` differs in size.
     */
    int copyPainted(const Key& key, QImage& target, int from) const;
    /** Lets go of the frame of `key`, finished or not. */
    void drop(const Key& key);
    /** Lets go of every frame. */
    void clear() { m_frames.clear(); }

    /** How many frames are kept, finished or not. */
    int frames() const { return int(m_frames.size()); }
    /** The bytes their images hold. */
    qint64 bytes() const;

private:
    struct Frame {
        Key key;
        QImage image;
        int rowsDone = 0; // device rows painted from the top
    };
    Frame* find(const Key& key);
    const Frame* find(const Key& key) const;
    std::vector<Frame> m_frames;
};

} // namespace vdm
