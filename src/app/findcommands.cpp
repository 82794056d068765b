// SPDX-License-Identifier: MIT
#include "app/findcommands.h"

#include "app/findbar.h"
#include "data/packedcolor.h"
#include "data/settings.h"
#include "dialogs/errorguard.h"
#include "edit/progresstext.h"
#include "map/viewport.h"
#include "session/maphover.h"
#include "world/world.h"
#include "ui_mainform.h"

namespace vdm {

FindCommands::FindCommands(QWidget& window, const Ui::TMainForm& ui, const World& world, const Viewport& view,
                           const MapHover& hover, const Settings& settings, Prompts& prompts, Hooks hooks)
    : QObject(&window), m_ui(ui), m_world(world), m_view(view), m_hover(hover),
      m_bar(new FindBar(world, ui.PanelMap, [&settings](std::int32_t status) {
          return packedToColor(status == Visited  ? settings.ColorVisited
                               : status == Active ? settings.ColorActive
                                                  : settings.ColorUnvisited);
      }))
{
    connectGuarded(prompts, &window, m_bar, &FindBar::chosen, hooks.chosen);
}

void FindCommands::openBar()
{
    m_bar->openBar();
}

void FindCommands::pointerMoved(QPoint at)
{
    m_pointerAt = at;
    showProgressLine();
}

void FindCommands::showProgressLine()
{
    QString pointer;
    if (m_pointerAt) {
        const QPoint picture = m_view.panelToPicture(*m_pointerAt);
        const int index = m_hover.locationAt(*m_pointerAt);
        pointer = pointerText(m_view.ScreenToMap(picture.x(), picture.y()),
                              index >= 0 ? &m_world.locations()[std::size_t(index)] : nullptr);
    }
    const QString text = progressText(m_world.statusCounts()) + QLatin1Char('\n') + pointer;
    if (m_ui.LabelProgress->text() != text)
        m_ui.LabelProgress->setText(text);
}

} // namespace vdm
