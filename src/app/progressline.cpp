// SPDX-License-Identifier: MIT
#include "app/progressline.h"

#include "edit/progresstext.h"
#include "map/viewport.h"
#include "session/maphover.h"
#include "world/world.h"

#include <QLabel>

namespace vdm {

ProgressLine::ProgressLine(QLabel& label, const World& world, const Viewport& view, const MapHover& hover)
    : m_label(label), m_world(world), m_view(view), m_hover(hover)
{}

void ProgressLine::pointerMoved(QPoint at)
{
    m_pointerAt = at;
    show();
}

void ProgressLine::show()
{
    QString pointer;
    if (m_pointerAt) {
        const QPoint picture = m_view.panelToPicture(*m_pointerAt);
        const int index = m_hover.locationAt(*m_pointerAt);
        pointer = pointerText(m_view.ScreenToMap(picture.x(), picture.y()),
                              index >= 0 ? &m_world.locations()[std::size_t(index)] : nullptr);
    }
    const QString text = progressText(m_world.statusCounts()) + QLatin1Char('\n') + pointer;
    if (m_label.text() != text)
        m_label.setText(text);
}

} // namespace vdm
