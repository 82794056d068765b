// SPDX-License-Identifier: MIT
#include "app/mapcanvas.h"

#include "journey/journeypainter.h"
#include "journey/journeysession.h"
#include "map/viewport.h"
#include "session/settingssession.h"
#include "world/world.h"

namespace vdm {

MapCanvas::MapCanvas(const World& world, const Viewport& view, const SettingsSession& session, GoHighlight& highlight)
    : m_world(world), m_view(view), m_session(session), m_highlight(highlight)
{}

MapScene MapCanvas::scene(GoHighlight& highlight) const
{
    return MapScene{m_view,     m_world.picture(),  m_world.locations(), m_world.markers(), m_session.settings(),
                    m_session.objects(), highlight, &m_world.index(), m_places};
}

bool MapCanvas::paint(qreal ratio, bool mayReuse)
{
    fitBackBuffer(m_backBuffer, m_view.panel(), ratio);
    if (m_backBuffer.isNull())
        return false;
    m_reuse.paint(m_painter, m_backBuffer, scene(m_highlight), m_world.revision(), mayReuse);
    m_routed = QImage();
    if (m_journey && !m_journey->journey().legs.empty()) {
        // Over a copy: the map alone stays behind for the next scroll to reuse.
        m_routed = m_backBuffer.copy();
        JourneyPainter::paint(m_routed, m_view, m_world.locations(), m_journey->journey(), m_journey->currentLeg());
    }
    return true;
}

} // namespace vdm
