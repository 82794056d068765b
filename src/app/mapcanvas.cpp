// SPDX-License-Identifier: MIT
#include "app/mapcanvas.h"

#include "journey/journeysession.h"
#include "map/highlight.h"
#include "map/viewport.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <chrono>

namespace vdm {

MapCanvas::MapCanvas(const World& world, const Viewport& view, const SettingsSession& session, GoHighlight& highlight)
    : m_world(world), m_view(view), m_session(session), m_highlight(highlight)
{
    // A pause after the last paint first: a drag or a run of wheel steps paints often.
    m_ahead.setSingleShot(true);
    m_ahead.setInterval(40);
    QObject::connect(&m_ahead, &QTimer::timeout, [this] { renderAheadSlice(); });
    m_connections.connect(world.events(), &WorldEvents::changed, [this] { ++m_worldChanges; });
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
    // The journey lies over the map until the paint after: a scroll moves the map alone
    // (what lies beneath the journey put back first), and the journey is laid again where
    // it belongs; the same view again keeps it as it lies.
    const MapScene now = scene(m_highlight);
    if (m_reuse.nextKind(m_backBuffer, now, m_worldChanges) == ScrollReuse::Kind::Moved
        && m_route.restoreUnder(m_backBuffer))
        m_reuse.overdrawn(m_backBuffer);
    const ScrollReuse::Kind kind = m_reuse.paint(m_painter, m_backBuffer, now, m_worldChanges);
    // A whole paint, or one moved from a kept paint, left nothing of the last one beneath the journey.
    if (kind == ScrollReuse::Kind::Whole || kind == ScrollReuse::Kind::Kept)
        m_route.forgetBeneath();
    if (m_journey && !m_journey->journey().legs.empty()) {
        m_route.drawOver(m_backBuffer, m_view, m_world.locations(), m_journey->journey(), m_journey->currentLeg());
    } else {
        m_route.restoreUnder(m_backBuffer);
        m_route.clear();
    }
    m_reuse.overdrawn(m_backBuffer);
    m_ratio = ratio;
    if (m_session.settings().ShowText)
        m_ahead.start();
    return true;
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
