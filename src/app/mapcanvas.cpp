// SPDX-License-Identifier: MIT
#include "app/mapcanvas.h"

#include "journey/journeysession.h"
#include "map/highlight.h"
#include "map/viewport.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace vdm {

MapCanvas::MapCanvas(const World& world, const Viewport& view, const SettingsSession& session, GoHighlight& highlight)
    : m_world(world), m_view(view), m_session(session), m_highlight(highlight)
{
    // A pause after the last paint first: a drag or a run of wheel steps paints often.
    m_ahead.setSingleShot(true);
    m_ahead.setInterval(40);
    QObject::connect(&m_ahead, &QTimer::timeout, [this] { renderAheadSlice(); });
    // A note is never drawn on the map (the hint shows it), so a note's notice leaves the
    // painted map as it is: typing in the box never makes the next scroll a whole paint.
    m_connections.connect(world.events(), &WorldEvents::noteChanged, [this] { m_noteNotice = true; });
    m_connections.connect(world.events(), &WorldEvents::changed, [this] {
        if (!std::exchange(m_noteNotice, false))
            ++m_worldChanges;
    });
    // A status edit tells statusChanged, then changed: the first notice since the last
    // paint names the one place a paint of the same view must repaint.
    m_connections.connect(world.events(), &WorldEvents::statusChanged, [this](int index) {
        if (m_worldChanges == m_paintedChanges && m_editedPlace < 0)
            m_editedPlace = index;
    });
    m_connections.connect(world.events(), &WorldEvents::replaced, [this] { m_onlyStatusEdit = false; });
}

MapScene MapCanvas::scene(GoHighlight& highlight) const
{
    return MapScene{m_view,
                    m_world.picture(),
                    m_world.locations(),
                    m_world.markers(),
                    m_session.settings(),
                    m_session.objects(),
                    highlight,
                    &m_world.index(),
                    m_places};
}

std::shared_ptr<FontAhead> MapCanvas::learnFontAhead(const QFont& font, int textLength, qreal ratio,
                                                     std::optional<FirstView> view)
{
    // Shared: the read-ahead that hands it the places may outlive this canvas's wait for it.
    m_fontAhead = std::make_shared<FontAhead>(font, textLength, ratio, view);
    return m_fontAhead;
}

bool MapCanvas::paint(qreal ratio)
{
    fitBackBuffer(m_backBuffer, m_view.panel(), ratio);
    if (m_backBuffer.isNull())
        return false;
    if (m_fontAhead && m_fontAhead->done()) {
        if (std::shared_ptr<const LearnedFont> learned = m_fontAhead->takeIfDone())
            m_painter.startFontFrom(std::move(learned));
        // The first view's captions, where they are ready: what this paint's view does not
        // draw of them (another level, font or size) goes unused.
        if (std::unique_ptr<CaptionsAhead> captions = m_fontAhead->takeCaptionsIfDone())
            m_painter.takeCaptionsAhead(std::move(captions));
        m_fontAhead->stop();
        m_fontAhead.reset();
    }
    // The journey is laid as part of the paint, band by band over the finished map. It
    // moves with the map, so a scroll may move the buffer as it is; any other change of
    // its drawing (another leg, another journey, none, another level) paints the whole
    // panel again, and no paint kept from before (with the journey as it was) comes back.
    static const Journey none;
    const bool planned = m_journey && !m_journey->journey().legs.empty();
    const bool kept = m_route.aim(m_view, ratio, m_world.locations(), planned ? m_journey->journey() : none,
                                  planned ? m_journey->currentLeg() : -1);
    if (!kept)
        m_reuse.forget();
    MapScene now = scene(m_highlight);
    now.top = m_route.empty() ? nullptr : &m_route;
    const std::optional<ScrollReuse::BoundedChange> change = boundedChange(now);
    if (m_paintedZoom >= 0 && m_view.zoomIndex() != m_paintedZoom)
        m_lastStep = m_view.zoomIndex() > m_paintedZoom ? 1 : -1;
    m_paintedZoom = m_view.zoomIndex();
    std::optional<FramesAhead::Key> key;
    if (framesWanted(now, ratio)) {
        key = FramesAhead::Key::of(now, m_worldChanges, ratio);
        followStatusEdit(ratio);
    } else {
        m_frames.clear();
    }
    const bool whole
        = key && m_reuse.nextKind(m_backBuffer, now, m_worldChanges, true, change) == ScrollReuse::Kind::Whole;
    if (whole && m_building == key) {
        // The view shown in steps, nothing changed: the bands painted since show.
        m_rowsShown = m_frames.copyPainted(*key, m_backBuffer, m_rowsShown);
        m_inBufferKey = m_backBuffer.cacheKey();
        return true;
    }
    if (m_building) {
        m_frames.drop(*m_building);
        m_building.reset();
    }
    const bool inSteps = whole && now.locations.size() > m_stepsAbove && !MapPainter::decidesForWholePanel(now.settings)
                         && !m_frames.ready(*key);
    if (inSteps) {
        startInSteps(now, *key, ratio);
    } else if (whole && m_frames.has(*key)) {
        // A paint the reuse cannot spare whose view was painted ahead (or is being
        // painted: its last bands are painted now) shows that frame; the view it leaves
        // is kept as the frame of a step back.
        m_frames.paintSome(m_painter, sceneAhead(m_view), *key, std::chrono::steady_clock::time_point::max());
        const bool held = m_shown && m_shownBuffer == m_backBuffer.cacheKey();
        m_frames.take(*key, m_backBuffer, held ? m_shown : std::nullopt);
        m_painter.tookAhead(now, ratio);
        m_reuse.adopt(m_backBuffer, now, m_worldChanges);
    } else {
        m_reuse.paint(m_painter, m_backBuffer, now, m_worldChanges, true, change);
    }
    m_shown = m_building ? std::nullopt : key;
    m_shownBuffer = m_backBuffer.cacheKey();
    m_inBuffer = key;
    m_inBufferKey = m_backBuffer.cacheKey();
    m_paintedChanges = m_worldChanges;
    m_editedPlace = -1;
    m_onlyStatusEdit = true;
    m_ratio = ratio;
    // Ahead only after a pause: a drag or a run of wheel steps paints often. A view shown
    // in steps goes on at once.
    m_ahead.setInterval(m_building ? 0 : 40);
    if (key || m_session.settings().ShowText)
        m_ahead.start();
    return true;
}

void MapCanvas::startInSteps(const MapScene& now, const FramesAhead::Key& key, qreal ratio)
{
    m_building = key;
    m_buildingHighlight = now.highlight;
    // A view of the scene the buffer shows, at another scroll (a drag at 200 or 300 %,
    // where the picture follows the scroll only every few pixels, or a drag while a view
    // is still shown in steps), starts from what the buffer shows moved with the scroll:
    // the places stay in sight where they go while the bands come, and only the strips
    // the move uncovers show the picture alone. Each band lays the whole paint over it.
    const ScrollReuse::Plan moved
        = m_inBuffer && m_inBufferKey == m_backBuffer.cacheKey()
              ? ScrollReuse::plan(m_inBuffer->signature, m_inBuffer->scroll, key.signature, key.scroll, true)
              : ScrollReuse::Plan{};
    if (moved.kind == ScrollReuse::Kind::Whole) {
        m_painter.paintPicture(m_backBuffer, now, m_backBuffer.rect());
    } else {
        ScrollReuse::moveImage(m_backBuffer, moved.shift);
        for (const QRect& strip : moved.exposed)
            m_painter.paintPicture(m_backBuffer, now, strip);
    }
    // A frame of the view painted ahead and not finished shows what it has.
    m_rowsShown = std::max(m_frames.copyPainted(key, m_backBuffer, 0), 0);
    m_painter.tookAhead(now, ratio); // the highlight visited as the whole paint visits it
    // The buffer is no paint of the scene until its last band: nothing may move it.
    m_reuse.forget();
}

bool MapCanvas::paintShownSlice(std::chrono::steady_clock::time_point deadline)
{
    GoHighlight highlight = m_buildingHighlight;
    if (FramesAhead::Key::of(scene(highlight), m_worldChanges, m_ratio) != *m_building) {
        m_frames.drop(*m_building);
        m_building.reset();
        return true;
    }
    bool done = false;
    do {
        highlight = m_buildingHighlight;
        done = m_frames.paintSome(m_painter, scene(highlight), *m_building,
                                  std::chrono::steady_clock::time_point::min());
    } while (!done && std::chrono::steady_clock::now() < deadline);
    m_rowsShown = m_frames.copyPainted(*m_building, m_backBuffer, m_rowsShown);
    m_inBufferKey = m_backBuffer.cacheKey();
    if (done) {
        // The buffer holds the whole paint now: a scroll may move it as any paint.
        highlight = m_buildingHighlight;
        m_reuse.adopt(m_backBuffer, scene(highlight), m_worldChanges);
        m_shown = m_building;
        m_shownBuffer = m_backBuffer.cacheKey();
        m_frames.drop(*m_building);
        m_building.reset();
    }
    emit morePainted();
    return done;
}

bool MapCanvas::finishShown()
{
    if (!m_building)
        return false;
    paintShownSlice(std::chrono::steady_clock::time_point::max());
    return true;
}

void MapCanvas::treatAsHugeAbove(std::size_t places)
{
    m_hugeAbove = places;
    m_painter.paintInPartsAbove(places);
}

bool MapCanvas::framesWanted(const MapScene& now, qreal ratio) const
{
    // A journey is drawn over the paint from a layer that follows the level shown; a
    // fractional ratio's edges come right only in a paint of the whole panel at once.
    return now.locations.size() > m_hugeAbove && !now.top && ratio == std::floor(ratio);
}

MapScene MapCanvas::sceneAhead(const Viewport& view)
{
    return MapScene{view,
                    m_world.picture(),
                    m_world.locations(),
                    m_world.markers(),
                    m_session.settings(),
                    m_session.objects(),
                    m_noHighlight,
                    &m_world.index(),
                    m_places};
}

std::vector<Viewport> MapCanvas::viewsAhead() const
{
    const QPoint centre(m_view.panel().width() / 2, m_view.panel().height() / 2);
    std::vector<Viewport> views;
    for (const int step : {m_lastStep, -m_lastStep}) {
        const int zoom = m_view.zoomIndex() + step;
        if (zoom < 0 || zoom > Viewport::HighestZoom)
            continue;
        views.push_back(m_view);
        views.back().zoomTo(zoom, centre);
    }
    return views;
}

bool MapCanvas::paintFramesSlice(std::chrono::steady_clock::time_point deadline)
{
    const std::vector<Viewport> views = viewsAhead();
    std::vector<FramesAhead::Key> keys;
    for (const Viewport& v : views)
        keys.push_back(FramesAhead::Key::of(sceneAhead(v), m_worldChanges, m_ratio));
    // What the view shown now cannot reach in a step goes, the one just left among it.
    m_frames.keepOnly(keys);
    for (std::size_t i = 0; i < views.size(); ++i)
        if (!m_frames.paintSome(m_painter, sceneAhead(views[i]), keys[i], deadline))
            return false;
    return true;
}

int MapCanvas::onlyStatusEdit() const
{
    return m_onlyStatusEdit && m_worldChanges == m_paintedChanges + 1 ? m_editedPlace : -1;
}

std::optional<ScrollReuse::BoundedChange> MapCanvas::boundedChange(const MapScene& now)
{
    // A journey's stops show whether they are done, which follows the statuses: a drawn
    // journey may change anywhere along it.
    if (onlyStatusEdit() < 0 || now.top)
        return std::nullopt;
    const std::optional<QRect> area = m_painter.statusReach(now, m_editedPlace);
    if (!area)
        return std::nullopt;
    return ScrollReuse::BoundedChange{m_paintedChanges, *area};
}

void MapCanvas::followStatusEdit(qreal ratio)
{
    const int place = onlyStatusEdit();
    if (place < 0)
        return;
    // A frame keyed by the scene as it is but for the data before the edit is the whole
    // paint of its view before it: outside what the place can touch it is the paint after.
    for (const Viewport& v : viewsAhead()) {
        const MapScene ahead = sceneAhead(v);
        const std::optional<QRect> area = m_painter.statusReach(ahead, place);
        if (!area)
            continue;
        const QRect device(area->topLeft() * int(ratio), area->size() * int(ratio));
        m_frames.repaint(FramesAhead::Key::of(ahead, m_paintedChanges, ratio),
                         FramesAhead::Key::of(ahead, m_worldChanges, ratio), m_painter, ahead, QRegion(device));
    }
}

void MapCanvas::renderAheadSlice()
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(6);
    bool done = true;
    if (m_building) {
        // The frames a step away follow once the view shown is whole (or gave way to a paint).
        paintShownSlice(deadline);
        done = false;
    } else if (m_shown) { // the last paint was of a huge world and wanted frames
        done = paintFramesSlice(deadline);
    } else {
        const QPoint centre(m_view.panel().width() / 2, m_view.panel().height() / 2);
        for (const int step : {1, -1}) {
            const int zoom = m_view.zoomIndex() + step;
            if (zoom < 0 || zoom > Viewport::HighestZoom)
                continue;
            Viewport next = m_view;
            next.zoomTo(zoom, centre);
            if (!m_painter.renderCaptionsAhead(sceneAhead(next), m_ratio, deadline)) {
                done = false;
                break;
            }
        }
    }
    if (!done) {
        m_ahead.setInterval(0);
        m_ahead.start();
    } else {
        m_ahead.setInterval(40);
    }
}

} // namespace vdm
