// SPDX-License-Identifier: MIT
#pragma once

#include "journey/journeylayer.h"
#include "map/fontahead.h"
#include "map/framesahead.h"
#include "map/mappainter.h"
#include "map/scrollreuse.h"
#include "world/worldevents.h"

#include <QImage>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace vdm {

class GoHighlight;
class JourneySession;
class SettingsSession;
class Viewport;
class World;

/**
 * The map as the panel shows it: the back buffer, the painter that fills it and the
 * scroll reuse that spares a scroll a whole paint. It reads the world, the view, the
 * settings and the Go highlight and owns none of them; the window hands it the panel's
 * device pixel ratio and shows the buffer. It follows the world's notices: after a change
 * of one place's status alone the next paint of the same view repaints only what that
 * place's drawing can touch; after any other change of the places or markers it is a
 * whole one. A note is not drawn, so a note's change leaves the paint as it is.
 *
 * After a paint it works ahead in the window's idle time for the views one zoom step in
 * and out about the panel's centre (where the zoom buttons, keys and Ctrl+wheel at the
 * centre go). In a huge world, where a whole paint takes far longer than a frame, it
 * paints those views' whole frames, a band at a time (FramesAhead), and a zoom step to
 * one of them shows its frame at once; in a smaller world, where a paint is quick, it
 * renders their captions alone. With a journey drawn, it renders captions only.
 */
class MapCanvas : public QObject {
    Q_OBJECT
public:
    MapCanvas(const World& world, const Viewport& view, const SettingsSession& session, GoHighlight& highlight);

    /** The kinds and regions the user chose to see (none: every place); the window keeps it. */
    void setPlaceFilter(const PlaceFilter* filter) { m_places = filter; }
    /** What a paint of the current view draws, honouring `highlight` as the Go highlight. */
    MapScene scene(GoHighlight& highlight) const;
    /**
     * Paints the panel into the back buffer at the screen's own resolution (every
     * position stays in panel pixels). A scroll repaints only what it uncovers, pixel for
     * pixel what a whole paint gives. False for an empty panel, which has nothing to show.
     */
    bool paint(qreal ratio);

    /** The last image the panel showed (what the clipboard copy and the panel image take). */
    const QImage& backBuffer() const { return m_backBuffer; }
    /** The journey drawn over the map, with its current leg; none drawn while it has no legs. */
    void setJourney(const JourneySession* journey) { m_journey = journey; }
    /** How the last paint came about (a scroll repaints only what it uncovers). */
    ScrollReuse::Kind lastKind() const { return m_reuse.lastKind(); }
    /** Whether captions or frames are still being rendered ahead for the views a zoom step away. */
    bool renderingAhead() const { return m_ahead.isActive(); }
    /** How many frames are kept ahead, finished or not. */
    int framesAhead() const { return m_frames.frames(); }
    /**
     * Takes a world of more places than `places` as huge (HugeWorldAbove by default): its
     * paints go in parts and whole frames are painted ahead. The pixels are the same
     * either way; tests make a small world huge.
     */
    void treatAsHugeAbove(std::size_t places);
    /** How many captions the painter holds rendered. */
    int cachedCaptions() const { return m_painter.cachedCaptions(); }
    /**
     * Shows a whole paint of a world of more places than `places` (HugeWorldAbove by
     * default) in steps: the view's picture at once, then a band of its frames, routes
     * and captions at a time in the window's idle time, so a jump, a toggle or a run of
     * zoom steps never holds the window up for the whole paint. Once every band is
     * painted the buffer is pixel for pixel the whole paint. Only where frames are
     * painted ahead (a huge world, no journey drawn, a whole ratio) and captions are not
     * chosen for the whole panel at once (overlapping ones hidden).
     */
    void showInStepsAbove(std::size_t places) { m_stepsAbove = places; }
    /** Whether the view shown is still being painted a band at a time (its picture shows where it is not yet). */
    bool showingInSteps() const { return m_building.has_value(); }
    /** Paints what is left of a view shown in steps at once (an image must be whole); false when none was. */
    bool finishShown();
    /**
     * A learner of `font` (captions of `textLength` characters, at `ratio`) for a world's
     * read-ahead to hand the places it reads (see FontAhead, World::readDatabasesAhead),
     * which then renders the captions of `view` (the first view, as far as it is known).
     * The first paint after it is done starts the painter from what it learned, with the
     * captions if they are rendered by then (a rendering not done is stopped: that paint
     * renders its own).
     */
    std::shared_ptr<FontAhead> learnFontAhead(const QFont& font, int textLength, qreal ratio,
                                              std::optional<FirstView> view = std::nullopt);
    /** Whether the font learned ahead is done and waits for the next paint to take it. */
    bool fontLearnedAhead() const { return m_fontAhead && m_fontAhead->done(); }
    /** Whether the first view's captions are rendered ahead as well and wait for the next paint. */
    bool captionsRenderedAhead() const { return m_fontAhead && m_fontAhead->captionsDone(); }

signals:
    /** More of the view shown was painted outside paint() (shown in steps): the panel shows the buffer again. */
    void morePainted();

private:
    /**
     * One slice of rendering ahead, in the window's idle time: the captions of the views
     * one zoom step in and out (about the panel's centre) that the cache lacks, a few
     * milliseconds at a time, so a zoom finds them ready and never waits for a slice.
     */
    void renderAheadSlice();
    /** Starts showing the whole paint of `now`, keyed `key`, in steps: its picture at once, then its bands. */
    void startInSteps(const MapScene& now, const FramesAhead::Key& key, qreal ratio);
    /**
     * Paints bands of the view shown in steps until `deadline` has passed (at least one)
     * and shows them; true once it is shown whole, or when the scene changed under it
     * (the paint that change asks for takes over).
     */
    bool paintShownSlice(std::chrono::steady_clock::time_point deadline);
    /** One slice of painting the frames of the views a zoom step away; true once they are finished. */
    bool paintFramesSlice(std::chrono::steady_clock::time_point deadline);
    /** The views one zoom step from the one shown, about the panel's centre: the last step's direction first. */
    std::vector<Viewport> viewsAhead() const;
    /** What a paint of another view than the shown one reads: no highlight, no journey. */
    MapScene sceneAhead(const Viewport& view);
    /** Whether frames are painted ahead for a paint of `now` at `ratio`. */
    bool framesWanted(const MapScene& now, qreal ratio) const;
    /** The place whose new status is the only change of the world since the last paint (-1: none such). */
    int onlyStatusEdit() const;
    /** The change a paint of `now` may repaint alone: one place's new status and nothing else since the last paint. */
    std::optional<ScrollReuse::BoundedChange> boundedChange(const MapScene& now);
    /**
     * After one place's new status alone, the frames painted ahead of the view shown
     * repaint what its drawing can touch and stay (where that cannot be bounded they go).
     */
    void followStatusEdit(qreal ratio);

    const World& m_world;
    const Viewport& m_view;
    const SettingsSession& m_session;
    GoHighlight& m_highlight;
    const PlaceFilter* m_places = nullptr;
    MapPainter m_painter;
    std::shared_ptr<FontAhead> m_fontAhead; // until the painter took what it learned
    QImage m_backBuffer;                    // the map, with the journey laid over it
    JourneyLayer m_route;                   // the journey's drawing, kept while the journey and the level stay
    ScrollReuse m_reuse;
    FramesAhead m_frames;
    std::size_t m_hugeAbove = HugeWorldAbove;
    std::size_t m_stepsAbove = HugeWorldAbove;
    /** The key of the view shown in steps while it is painted (see showInStepsAbove), and its device rows shown. */
    std::optional<FramesAhead::Key> m_building;
    int m_rowsShown = 0;
    /**
     * The Go highlight as it was when that paint started: each band visits the places
     * afresh from it, as the whole paint would once.
     */
    GoHighlight m_buildingHighlight;
    /** What the back buffer holds when it is a whole paint of a view without a journey, and the buffer it was. */
    std::optional<FramesAhead::Key> m_shown;
    qint64 m_shownBuffer = 0;
    /**
     * The view of a huge world whose places the back buffer shows, whole or while it is
     * shown in steps, and the buffer it was: the next view of the same scene shown in
     * steps starts from it.
     */
    std::optional<FramesAhead::Key> m_inBuffer;
    qint64 m_inBufferKey = 0;
    int m_lastStep = 1;     // the direction of the last change of zoom level: +1 in, -1 out
    int m_paintedZoom = -1; // the level of the last paint (-1: none yet)
    const JourneySession* m_journey = nullptr;
    QTimer m_ahead;
    qreal m_ratio = 1;
    GoHighlight m_noHighlight;          // the views rendered ahead highlight nothing
    std::uint64_t m_worldChanges = 0;   // the world's notices so far: the scroll reuse's data revision
    std::uint64_t m_paintedChanges = 0; // m_worldChanges at the last paint
    /**
     * The place whose status changed since the last paint when that was the first notice
     * since (-1: it was not, or none came); a later notice shows in m_worldChanges.
     */
    int m_editedPlace = -1;
    bool m_onlyStatusEdit = true; // false once another world took this one's place since the last paint
    bool m_noteNotice = false;    // the notice under way is a note's: the map stays as it is
    EventConnections m_connections;
};

} // namespace vdm
