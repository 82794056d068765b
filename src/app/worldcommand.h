// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace vdm {

class Prompts;
class World;
class WorldInstance;

/**
 * "Open world..." (run by the window's command table, Command::OpenWorld): the folder chooser, then the
 * world part saves this world's files and loads the chosen one. A folder without a map
 * picture gets the start's not-found box and one that cannot be opened its error; this
 * world then stays. Once opened, the working folder is the new world's (its files are
 * looked up by bare name, as at the start), `opened` tells it, and a loader error after
 * which the rest was skipped is named last.
 *
 * With the program's WorldInstance given, a world another program shows is not opened a
 * second time: that window comes to the front instead, and this one says so. A world
 * opened here is held in place of the old one.
 */
class WorldCommand : public QObject {
    Q_OBJECT

public:
    WorldCommand(QWidget& window, World& world, Prompts& prompts);

    /** The program's hold on its world; none (tests, tools): every world opens here. */
    void setInstance(WorldInstance* instance) { m_instance = instance; }
    void openWorld();
    /** Opens the world in `folder` as if the chooser had picked it (a dropped folder, a recent world). */
    void openFolder(const QString& folder);

signals:
    /** Another world took this one's place: `folder` as the working folder names it. */
    void opened(const QString& folder);

private:
    QWidget& m_window;
    World& m_world;
    Prompts& m_prompts;
    WorldInstance* m_instance = nullptr;
};

/** What the world command says when another window already shows the chosen world. */
QString worldShownElsewhereMessage(const QString& folder);

} // namespace vdm
