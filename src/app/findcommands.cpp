// SPDX-License-Identifier: MIT
#include "app/findcommands.h"

#include "app/findbar.h"

namespace vdm {

FindCommands::FindCommands(QWidget& window, QWidget& mapPanel, const World& world, const Settings& settings)
    : QObject(&window), m_bar(new FindBar(world, &mapPanel, settings))
{
    connect(m_bar, &FindBar::chosen, this, &FindCommands::chosen);
}

void FindCommands::openBar()
{
    m_bar->openBar();
}

} // namespace vdm
