// SPDX-License-Identifier: MIT
#pragma once

#include "journey/journeylayer.h"
#include "map/mappainter.h"
#include "map/scrollreuse.h"
#include "world/worldevents.h"

#include <QImage>
#include <QTimer>

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
 */
class MapCanvas {
public:
    MapCanvas(const World& world, const Viewport& view, const SettingsSession& session, GoHighlight& highlight);
    MapCanvas(const MapCanvas&) = delete;
    MapCanvas& operator=(const MapCanvas&) = delete;

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
    /** Whether captions are still being rendered ahead for the views a zoom step away. */
    bool renderingAhead() const { return m_ahead.isActive(); }
    /** How many captions the painter holds rendered. */
    int cachedCaptions() const { return m_painter.cachedCaptions(); }

private:
    /**
     * One slice of rendering ahead, in the window's idle time: the captions of the views
     * one zoom step in and out (about the panel's centre) that the cache lacks, a few
     * milliseconds at a time, so a zoom finds them ready and never waits for a slice.
     */
    void renderAheadSlice();
    /** The change a paint of `now` may repaint alone: one place's new status and nothing else since the last paint. */
    std::optional<ScrollReuse::BoundedChange> boundedChange(const MapScene& now);

    const World& m_world;
    const Viewport& m_view;
    const SettingsSession& m_session;
    GoHighlight& m_highlight;
    const PlaceFilter* m_places = nullptr;
    MapPainter m_painter;
    QImage m_backBuffer;  // the map, with the journey laid over it
    JourneyLayer m_route; // the journey's drawing, kept while the journey and the level stay
    ScrollReuse m_reuse;
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
