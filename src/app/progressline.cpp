// SPDX-License-Identifier: MIT
#include "app/progressline.h"

#include "app/accessibility.h"
#include "data/codepage.h"
#include "edit/progresstext.h"
#include "map/viewport.h"
#include "session/maphover.h"
#include "world/world.h"

#include <QLabel>

namespace vdm {

ProgressLine::ProgressLine(QLabel& label, QWidget& map, const World& world, const Viewport& view, const MapHover& hover)
    : m_label(label), m_map(map), m_world(world), m_view(view), m_hover(hover)
{
    // A status, a load or another world; notes and markers count nothing.
    const auto countAgain = [this] { m_countsStale = true; };
    m_connections.connect(world.events(), &WorldEvents::statusChanged, countAgain);
    m_connections.connect(world.events(), &WorldEvents::placesRead, countAgain);
    m_connections.connect(world.events(), &WorldEvents::replaced, countAgain);
}

void ProgressLine::pointerMoved(QPoint at)
{
    m_pointerAt = at;
    show();
}

QString ProgressLine::countsText()
{
    if (!m_places || !m_places->active())
        return progressText(m_world.statusCounts()); // kept up to date by the world itself
    if (m_counts.isEmpty() || m_countsStale || !(m_countsFilter == *m_places)) {
        m_counts = progressText(m_world, *m_places);
        m_countsStale = false;
        m_countsFilter = *m_places;
    }
    return m_counts;
}

void ProgressLine::show()
{
    QString pointer;
    QString place;
    if (m_pointerAt) {
        const QPoint picture = m_view.panelToPicture(*m_pointerAt);
        const int index = m_hover.locationAt(*m_pointerAt);
        const Location* under = index >= 0 ? &m_world.locations()[std::size_t(index)] : nullptr;
        pointer = pointerText(m_view.ScreenToMap(picture.x(), picture.y()), under);
        if (under)
            place = CodePage::decode(under->Name);
    }
    const QString counts = countsText();
    const QString text = counts + QLatin1Char('\n') + pointer;
    if (m_label.text() != text)
        m_label.setText(text);
    setAccessibleNameIfChanged(m_label, counts);
    setAccessibleDescriptionIfChanged(m_label, pointer);
    QString map = QStringLiteral("Zoom %1%").arg(m_view.zoomPercent());
    if (!place.isEmpty())
        map += QStringLiteral(", ") + place;
    setAccessibleDescriptionIfChanged(m_map, map);
}

} // namespace vdm
