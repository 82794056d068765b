// SPDX-License-Identifier: MIT
#include "app/worldcommand.h"

#include "dialogs/errorguard.h"
#include "dialogs/prompts.h"
#include "session/worldinstance.h"
#include "world/worldchoice.h"
#include "world/worldopening.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <utility>

namespace vdm {

WorldCommand::WorldCommand(QWidget& window, World& world, Prompts& prompts)
    : QObject(&window), m_window(window), m_world(world), m_prompts(prompts)
{}

void WorldCommand::openWorld()
{
    const auto folder = m_prompts.chooseFolder(&m_window, worldChooserCaption(), QDir::currentPath());
    if (folder)
        openFolder(*folder);
}

void WorldCommand::openFolder(const QString& chosen)
{
    const std::optional<QString> folder = chosen;
    if (m_instance && m_instance->shownElsewhere(*folder)) {
        m_prompts.showMessage(&m_window, QStringLiteral("Open world"), worldShownElsewhereMessage(*folder),
                              Prompts::Icon::Information);
        return;
    }
    const WorldOpening opening = vdm::openWorld(m_world, *folder);
    for (const QString& notice : opening.notices)
        m_prompts.showMessage(&m_window, QApplication::applicationName(), notice, Prompts::Icon::Warning);
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
    if (m_instance)
        m_instance->claim(QDir::currentPath(), std::chrono::seconds(3));
    emit opened(QDir::currentPath());
    if (!opening.message.isEmpty())
        m_prompts.showError(&m_window, opening.message);
}

QString worldShownElsewhereMessage(const QString& folder)
{
    return QStringLiteral("The world in %1 is open in another window of this program, which has been brought to "
                          "the front.")
        .arg(QDir::toNativeSeparators(QDir(folder).absolutePath()));
}

} // namespace vdm
