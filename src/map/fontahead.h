// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "map/captionrender.h"
#include "map/mappainter.h"

#include <QFont>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vdm {

/**
 * Learns the caption font ahead, on a thread of its own, from the captions of a world
 * being read (see captionsToLearn, CaptionRenderer::learnAhead), for the map's painter to
 * start from once it is done: the first paint of a crowded view then neither lays the
 * font's pairs out nor rasterises its glyphs. A world of fewer places than
 * ManyCaptionsFrom learns nothing ahead (its first paint learns little).
 *
 * Given the first view, it then renders that view's captions on the same thread, where a
 * world's views fit the caption cache (up to HugeWorldAbove places), for the first paint
 * to take instead of rendering them (MapPainter::takeCaptionsAhead): the window's thread
 * is still decoding the picture meanwhile. Destroying it stops that rendering and waits
 * for the thread.
 */
class FontAhead {
public:
    /**
     * The font, the caption length (Settings::TextLength) and the device pixel ratio to
     * learn at; with `view`, the first view whose captions are rendered after that.
     */
    FontAhead(const QFont& font, int textLength, qreal ratio, std::optional<FirstView> view = std::nullopt);
    ~FontAhead();
    FontAhead(const FontAhead&) = delete;
    FontAhead& operator=(const FontAhead&) = delete;

    /**
     * Picks the captions to learn from among the first LookedAt of `places` on the calling
     * thread and starts learning them on a thread of its own. Once only; any thread.
     */
    void learnFrom(const LocationList& places);
    /** Whether the learning is over (what it learned may have been taken). */
    bool done() const { return m_done; }
    /** What was learned, once it is done (then once only); none before, or when nothing was learned. */
    std::shared_ptr<const LearnedFont> takeIfDone();
    /** Whether the first view's captions are rendered (what was rendered may have been taken). */
    bool captionsDone() const { return m_captionsDone; }
    /** The first view's captions once they are rendered (then once only); none before, or when none were. */
    std::unique_ptr<CaptionsAhead> takeCaptionsIfDone();
    /** Stops rendering the captions (a paint that did not wait for them rendered its own); any thread. */
    void stop() { m_stop = true; }

    /** How many places the captions are picked among (a look at each costs a few nanoseconds). */
    static constexpr std::size_t LookedAt = 100000;

private:
    const QFont m_font;
    const int m_textLength;
    const qreal m_ratio;
    const std::optional<FirstView> m_view;
    std::mutex m_lock;
    std::thread m_thread;                      // guarded by m_lock
    std::shared_ptr<const LearnedFont> m_out;  // guarded by m_lock
    std::unique_ptr<CaptionsAhead> m_captions; // guarded by m_lock
    std::atomic<bool> m_started{false}, m_done{false}, m_captionsDone{false}, m_stop{false};
};

} // namespace vdm
