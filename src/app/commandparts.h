// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

namespace Ui {
class TMainForm;
}

namespace vdm {

class EditControls;
class FindCommands;
class ImageCommand;
class JourneyCommands;
class MapEditor;
class OrientationCommands;
class ProgressCommands;
class Prompts;
class SettingsSession;
class TMapPanel;
class WindowCommands;
class WindowInput;
class World;
class WorldCommand;

/**
 * The window's commands and the bars they open, built and wired among themselves: the
 * table of commands (actions, keys, the More menu) with Undo and Redo, the world, image
 * and progress commands, the find and journey bars, and the filter, navigator, bookmarks
 * and recent worlds. What they ask of the rest of the window comes out as signals, so the
 * window keeps only its handlers. Each part is a child of the window, as its bars are.
 */
class CommandParts final : public QObject {
    Q_OBJECT

public:
    /** What the commands act on: the window's widgets and parts, all of them outliving these. */
    struct Window {
        QWidget& window;
        const Ui::TMainForm& form;
        TMapPanel& map;
        World& world;
        SettingsSession& session;
        MapEditor& editor;
        EditControls& edit;
        WindowInput& input;
        Prompts& prompts;
    };
    explicit CommandParts(const Window& window);

    WorldCommand& world() const { return *m_world; }
    ImageCommand& image() const { return *m_image; }
    FindCommands& find() const { return *m_find; }
    JourneyCommands& journey() const { return *m_journey; }
    OrientationCommands& orientation() const { return *m_orientation; }
    WindowCommands& commands() const { return *m_commands; }

signals:
    /** A command changed what the map shows: it is to paint again. */
    void mapChanged();
    /** Another world was opened in `folder`: the window shows it from its start. */
    void worldOpened(const QString& folder);
    /** A progress file was imported: statuses and notes may all have changed. */
    void imported();
    /** The find bar took location `index`. */
    void chosen(int index);

private:
    WorldCommand* m_world = nullptr;
    ImageCommand* m_image = nullptr;
    ProgressCommands* m_progress = nullptr;
    FindCommands* m_find = nullptr;
    JourneyCommands* m_journey = nullptr;
    WindowCommands* m_commands = nullptr;
    OrientationCommands* m_orientation = nullptr;
};

} // namespace vdm
