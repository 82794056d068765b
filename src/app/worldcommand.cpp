// SPDX-License-Identifier: MIT
#include "app/worldcommand.h"

#include "dialogs/errorguard.h"
#include "dialogs/prompts.h"
#include "world/worldchoice.h"
#include "world/worldopening.h"

#include <QAction>
#include <QDir>
#include <QWidget>

#include <utility>

namespace vdm {

WorldCommand::WorldCommand(QWidget& window, World& world, Prompts& prompts, std::function<void(const QString&)> opened)
    : QObject(&window), m_window(window), m_world(world), m_prompts(prompts), m_opened(std::move(opened)),
      m_action(new QAction(QStringLiteral("Open world..."), &window))
{
    m_action->setObjectName(QStringLiteral("ActionOpenWorld"));
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_action->setShortcutContext(Qt::WindowShortcut);
    // What assistive technology reads for the command wherever it is shown.
    m_action->setToolTip(QStringLiteral("Open world"));
    m_action->setStatusTip(QStringLiteral("Open another world folder"));
    // Added to the window itself, so the shortcut works whichever control has the focus.
    window.addAction(m_action);
    connectGuarded(prompts, &window, m_action, &QAction::triggered, [this] { openWorld(); });
}

void WorldCommand::openWorld()
{
    const auto folder = m_prompts.chooseFolder(&m_window, worldChooserCaption(), QDir::currentPath());
    if (!folder)
        return;
    const WorldOpening opening = vdm::openWorld(m_world, *folder);
    switch (opening.outcome) {
    case WorldOpening::Outcome::Opened:
        break;
    case WorldOpening::Outcome::NoPicture:
        // The box of the start, with the folder looked in.
        m_prompts.showMessage(&m_window, QStringLiteral("Error!"), opening.message, Prompts::Icon::Stop);
        return;
    default:
        m_prompts.showError(&m_window, opening.message);
        return;
    }
    QDir::setCurrent(*folder);
    m_opened(QDir::currentPath());
    if (!opening.message.isEmpty())
        m_prompts.showError(&m_window, opening.message);
}

} // namespace vdm
