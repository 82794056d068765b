// SPDX-License-Identifier: MIT
#include "app/mapcanvas.h"

#include "journey/journeysession.h"
#include "map/highlight.h"
#include "map/viewport.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <chrono>
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

bool MapCanvas::paint(qreal ratio)
{
    fitBackBuffer(m_backBuffer, m_view.panel(), ratio);
    if (m_backBuffer.isNull())
        return false;
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
    m_reuse.paint(m_painter, m_backBuffer, now, m_worldChanges, true, boundedChange(now));
    m_paintedChanges = m_worldChanges;
    m_editedPlace = -1;
    m_onlyStatusEdit = true;
    m_ratio = ratio;
    if (m_session.settings().ShowText)
        m_ahead.start();
    return true;
}

std::optional<ScrollReuse::BoundedChange> MapCanvas::boundedChange(const MapScene& now)
{
    // A journey's stops show whether they are done, which follows the statuses: a drawn
    // journey may change anywhere along it.
    if (m_editedPlace < 0 || !m_onlyStatusEdit || m_worldChanges != m_paintedChanges + 1 || now.top)
        return std::nullopt;
    const std::optional<QRect> area = m_painter.statusReach(now, m_editedPlace);
    if (!area)
        return std::nullopt;
    return ScrollReuse::BoundedChange{m_paintedChanges, *area};
}

void MapCanvas::renderAheadSlice()
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(6);
    const QPoint centre(m_view.panel().width() / 2, m_view.panel().height() / 2);
    bool done = true;
    for (const int step : {1, -1}) {
        const int zoom = m_view.zoomIndex() + step;
        if (zoom < 0 || zoom > Viewport::HighestZoom)
            continue;
        Viewport next = m_view;
        next.zoomTo(zoom, centre);
        const MapScene ahead{next,
                             m_world.picture(),
                             m_world.locations(),
                             m_world.markers(),
                             m_session.settings(),
                             m_session.objects(),
                             m_noHighlight,
                             &m_world.index(),
                             m_places};
        if (!m_painter.renderCaptionsAhead(ahead, m_ratio, deadline)) {
            done = false;
            break;
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
