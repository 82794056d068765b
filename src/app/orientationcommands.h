// SPDX-License-Identifier: MIT
#pragma once

#include "world/worldviews.h"

#include <QObject>
#include <QString>

class QMenu;
class QWidget;

namespace vdm {

class FilterBar;
class NavigatorView;
class Prompts;
class SettingsSession;
class TMapPanel;
class World;

/**
 * How the user finds their way: the place filter and its bar, the navigator, the
 * bookmarks of views and the recent worlds. It keeps the current world's views
 * (WorldViews) and writes them when they change; the window hands its filter to the
 * painter, the hit tests and the progress line.
 *
 * Each command is a thin entry point the window's commands call; the two lists that
 * change as the user works (named bookmarks, recent worlds) are submenus it keeps up to
 * date each time they open. A world folder dropped on the window opens as "Open world..."
 * would open it.
 */
class OrientationCommands : public QObject {
    Q_OBJECT

public:
    /** The filter bar and the navigator float over `map`, whose view the bookmarks keep and show. */
    OrientationCommands(QWidget& window, TMapPanel& map, const World& world, SettingsSession& session,
                        Prompts& prompts);

    /** The filter of the current world (stable: the window hands out its address once). */
    const PlaceFilter& filter() const { return m_filter; }
    const ViewBookmarks& bookmarks() const { return m_views.bookmarks(); }
    FilterBar& filterBar() const { return *m_bar; }
    NavigatorView& navigator() const { return *m_navigator; }

    /** The world's databases are loaded (the first show, or another world opened): its views follow. */
    void worldLoaded();
    // --- commands ---
    void toggleFilterBar();
    void toggleNavigator();
    bool navigatorShown() const;
    /** Ctrl+Shift+digit: the current view kept under `digit`. */
    void storeBookmark(int digit);
    /** Ctrl+digit: back to the view kept under `digit`, as Go shows a place (no highlight). */
    void returnToBookmark(int digit);
    /** "Add bookmark...": the current view under a name the user gives. */
    void addBookmark();
    void showNamedBookmark(int index);
    /** "Delete bookmark...": the user picks one of the named bookmarks. */
    void deleteBookmark();
    void openRecentWorld(int index);
    /** An import's bookmarks join this world's (see ViewBookmarks::merge); returns how many changed. */
    int takeBookmarks(const ViewBookmarks& imported);

    /** The submenus for the More menu, kept up to date as they open. */
    QMenu* bookmarksMenu() const { return m_bookmarksMenu; }
    QMenu* recentMenu() const { return m_recentMenu; }

signals:
    /** The user asked for this world folder (recent list, a drop): it opens as "Open world..." would. */
    void openFolderRequested(const QString& folder);
    /** The filter changed: the map and the progress line show what it shows now. */
    void filterChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter(const PlaceFilter& filter);
    void saveViews();
    void fillBookmarksMenu();
    void fillRecentMenu();
    void showNavigator(bool shown);

    QWidget& m_window;
    const World& m_world;
    TMapPanel& m_map;
    SettingsSession& m_session;
    Prompts& m_prompts;
    WorldViews m_views;
    PlaceFilter m_filter; // what the painter reads: a copy of the views' own, at a fixed address
    FilterBar* m_bar;
    NavigatorView* m_navigator;
    QMenu* m_bookmarksMenu;
    QMenu* m_recentMenu;
};

} // namespace vdm
