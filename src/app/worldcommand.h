// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>

class QAction;
class QWidget;

namespace vdm {

class Prompts;
class World;

/**
 * "Open world..." (Ctrl+O, whichever control has the focus): the folder chooser, then the
 * world part saves this world's files and loads the chosen one. A folder without a map
 * picture gets the start's not-found box and one that cannot be opened its error; this
 * world then stays. Once opened, the working folder is the new world's (its files are
 * looked up by bare name, as at the start), `opened` shows it, and a loader error after
 * which the rest was skipped is named last. A QAction of the window (ActionOpenWorld).
 */
class WorldCommand : public QObject {
    Q_OBJECT

public:
    /** `opened` gets the new world's folder as the working folder names it. */
    WorldCommand(QWidget& window, World& world, Prompts& prompts, std::function<void(const QString&)> opened);

    QAction* action() const { return m_action; }
    void openWorld();

private:
    QWidget& m_window;
    World& m_world;
    Prompts& m_prompts;
    std::function<void(const QString&)> m_opened;
    QAction* m_action;
};

} // namespace vdm
