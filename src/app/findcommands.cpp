// SPDX-License-Identifier: MIT
#include "app/findcommands.h"

#include "app/findbar.h"
#include "data/location.h"
#include "data/packedcolor.h"
#include "data/settings.h"

namespace vdm {

FindCommands::FindCommands(QWidget& window, QWidget& mapPanel, const World& world, const Settings& settings)
    : QObject(&window), m_bar(new FindBar(world, &mapPanel, [&settings](std::int32_t status) {
          return packedToColor(status == Visited  ? settings.ColorVisited
                               : status == Active ? settings.ColorActive
                                                  : settings.ColorUnvisited);
      }))
{
    connect(m_bar, &FindBar::chosen, this, &FindCommands::chosen);
}

void FindCommands::openBar()
{
    m_bar->openBar();
}

} // namespace vdm
