// SPDX-License-Identifier: MIT
#pragma once

#include "world/viewbookmarks.h"

#include <QObject>

class QWidget;

namespace vdm {

class MapEditor;
class OrientationCommands;
class Prompts;
class World;
class SettingsSession;
struct ProgressPlan;

/**
 * The window's commands that move the user's progress in and out: "Export progress..."
 * writes the progress file of the world, "Import progress..." reads one, shows what it
 * would change and applies it only when the user agrees, as one step the editor can
 * undo. The window's command table runs them (Command::ExportProgress,
 * Command::ImportProgress).
 * Files are chosen and questions asked through the window's Prompts. An export
 * proposes the folder last exported into (kept in `settings`), at first the user's
 * documents folder.
 */
class ProgressCommands : public QObject {
    Q_OBJECT

public:
    ProgressCommands(QWidget& window, World& world, MapEditor& editor, SettingsSession& settings, Prompts& prompts);

    /** Where the bookmarks come from and go to (none: the progress file carries none). */
    void setBookmarks(OrientationCommands* views) { m_views = views; }

    void exportProgress();
    void importProgress();

signals:
    /**
     * An import changed the lists: the window shows the world as it left it (also when
     * a file could not be written, whose error follows).
     */
    void imported();

private:
    QWidget& m_window;
    World& m_world;
    MapEditor& m_editor;
    SettingsSession& m_settings;
    Prompts& m_prompts;
    OrientationCommands* m_views = nullptr;
};

/** The question an import asks before it changes anything: what it adds, replaces and could not place.
 *  `bookmarks` counts the view bookmarks it would add or replace. */
QString importQuestion(const QString& file, const ProgressPlan& plan, int bookmarks = 0);

} // namespace vdm
