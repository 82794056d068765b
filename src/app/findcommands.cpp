// SPDX-License-Identifier: MIT
#include "app/findcommands.h"

#include "app/findbar.h"
#include "app/keycommands.h"
#include "data/packedcolor.h"
#include "data/settings.h"
#include "dialogs/errorguard.h"
#include "edit/progresstext.h"
#include "map/viewport.h"
#include "session/maphover.h"
#include "world/world.h"
#include "ui_mainform.h"

#include <QMenu>

#include <utility>

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
    setupMenu(window, prompts, hooks);

    // The hint window adds a button's shortcut to its tooltip text, which stays as it is.
    const std::pair<QToolButton*, KeyCommand> shortcuts[] = {
        {ui.ToolButtonZoomIn, KeyCommand::ZoomIn},         {ui.ToolButtonZoomOut, KeyCommand::ZoomOut},
        {ui.ToolButtonZoomActual, KeyCommand::ActualSize}, {ui.ToolButtonClip, KeyCommand::Copy},
        {ui.ToolButtonAbout, KeyCommand::About},
    };
    for (const auto& [button, command] : shortcuts)
        button->setProperty("shortcutText", shortcutText(command));
}

void FindCommands::setupMenu(QWidget& window, Prompts& prompts, Hooks& hooks)
{
    // The extra commands sit in one menu at the end of the tools band; a menu shows the
    // text after a tab as the entry's shortcut, which the window's key handling runs.
    auto* menu = new QMenu(m_ui.ToolButtonMore);
    menu->setObjectName(QStringLiteral("MenuMore"));
    menu->setAccessibleName(QStringLiteral("More"));
    const auto entry = [&](const char* name, const QString& text, std::function<void()> handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connectGuarded(prompts, &window, action, &QAction::triggered, std::move(handler));
    };
    entry("ActionFind", QStringLiteral("Find\t") + shortcutText(KeyCommand::Find), std::move(hooks.find));
    // The window's own actions, each with its shortcut, where they exist.
    for (const char* name : {"ActionSaveImage", "ActionExportProgress", "ActionImportProgress", "ActionOpenWorld"})
        if (auto* action = window.findChild<QAction*>(QLatin1String(name), Qt::FindDirectChildrenOnly))
            menu->addAction(action);
    entry("ActionShortcuts", QStringLiteral("Keyboard shortcuts"), std::move(hooks.shortcuts));
    m_ui.ToolButtonMore->setMenu(menu);
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
