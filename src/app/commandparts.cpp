// SPDX-License-Identifier: MIT
#include "app/commandparts.h"

#include "app/findcommands.h"
#include "app/historyactions.h"
#include "app/imagecommand.h"
#include "app/journeybar.h"
#include "app/journeycommands.h"
#include "app/mappanel.h"
#include "app/navigatorview.h"
#include "app/orientationcommands.h"
#include "app/progresscommands.h"
#include "app/windowcommands.h"
#include "app/windowinput.h"
#include "app/worldcommand.h"
#include "edit/mapeditor.h"
#include "session/settingssession.h"
#include "world/world.h"

namespace vdm {

CommandParts::CommandParts(const Window& w) : QObject(&w.window)
{
    TMapPanel& panel = w.map;
    m_world = new WorldCommand(w.window, w.world, w.prompts);
    connect(m_world, &WorldCommand::opened, this, &CommandParts::worldOpened);
    m_image = new ImageCommand(w.window, panel, panel.canvas(), w.world, w.session, w.prompts);
    m_progress = new ProgressCommands(w.window, w.world, w.editor, w.session, w.prompts);
    connect(m_progress, &ProgressCommands::imported, this, &CommandParts::imported);
    m_find = new FindCommands(w.window, panel, w.world, w.session.settings());
    connect(m_find, &FindCommands::chosen, this, &CommandParts::chosen);
    m_journey = new JourneyCommands(w.window, panel, w.world, panel.view(), w.session, w.editor, w.prompts);
    connect(m_journey, &JourneyCommands::mapChanged, this, &CommandParts::mapChanged);
    // As Go: up to the level, centred; the map paints.
    connect(m_journey, &JourneyCommands::centreWanted, &panel,
            [&panel](int x, int y, int level) { panel.goTo(x, y, level); });
    // What a tour has done follows the world before the journey is drawn again.
    connect(&panel, &TMapPanel::aboutToPaint, m_journey, &JourneyCommands::followWorld);
    panel.setJourney(&m_journey->session());

    // Every command's action, key, menu entry and tooltip, from the one table.
    m_commands = new WindowCommands(w.window, commandButtons(w.form), w.prompts);
    w.input.setCommands(m_commands);
    connect(m_commands, &WindowCommands::handlerWanted, this,
            [this, &window = w.window, &panel, &edit = w.edit](Command c) {
                commandRow(c).run({window, panel, edit, *m_find, *m_journey, *m_orientation, *m_image, *m_progress,
                                   *m_world, *m_commands});
            });
    new HistoryActions(*m_commands->action(Command::Undo), *m_commands->action(Command::Redo), w.editor.history(),
                       &w.window);

    // The place filter, the navigator, the bookmarks and the recent worlds; what the filter
    // shows is asked by the paint, the hit tests, the progress line and the tour alike.
    m_orientation = new OrientationCommands(w.window, panel, w.world, w.session, w.prompts);
    connect(m_orientation, &OrientationCommands::openFolderRequested, m_world, &WorldCommand::openFolder);
    connect(m_orientation, &OrientationCommands::filterChanged, this, &CommandParts::mapChanged);
    panel.setPlaceFilter(&m_orientation->filter());
    m_journey->setPlaceFilter(&m_orientation->filter());
    m_orientation->navigator().keepClearOf(&m_journey->bar());
    // The lists that grow as the user works stand beside the commands they belong to.
    m_commands->insertSubmenu(Command::DeleteBookmark, m_orientation->bookmarksMenu());
    m_commands->insertSubmenu(Command::OpenWorld, m_orientation->recentMenu());
    m_progress->setBookmarks(m_orientation);
}

} // namespace vdm
