// SPDX-License-Identifier: MIT
#pragma once

#include "edit/markertools.h"
#include "world/worldevents.h"

#include <QMetaObject>
#include <QPoint>

#include <array>
#include <cstdint>
#include <utility>

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QToolButton;
class QWidget;

namespace vdm {

class MapEditor;
class MapHover;
class Prompts;
class TMapPanel;
class TNoteEdit;
class Viewport;
class World;

/**
 * The location box (caption, status buttons, note editor), the location list and the
 * marker tools: they show the map editor's state and tell it what the user did. The
 * editor decides; this only reads the widgets and sets them.
 */
class EditControls {
public:
    /** The widgets it reads and sets. */
    struct Widgets {
        QGroupBox* box;
        QAbstractButton* unvisited;
        QAbstractButton* active;
        QAbstractButton* visited;
        TNoteEdit* note;
        QComboBox* list;
        QToolButton* addMarker;
        QToolButton* deleteMarker;
        QToolButton* clearMarkers;
        TMapPanel* mapPanel;
    };

    EditControls(const Widgets& widgets, MapEditor& editor, const World& world, const MapHover& hover,
                 const Viewport& view, Prompts& prompts, QWidget* window);
    ~EditControls();

    /** Shows the editor's state: the box's caption and buttons, the marker tools, the pointer. */
    void mirror();
    /** The list's entry was chosen: the box shows that location, its status and note. */
    void listChosen();
    /**
     * Lists the world's locations: sorted by name without regard to case, each entry
     * carrying its index. A big world's order is made aside (see World::orderListAside),
     * started by the read-ahead or else by the map's next paint: the list stays empty and
     * disabled until it is ready, so the first frame never waits for it; whatever needs
     * the list before then waits for the order instead.
     */
    void fillList();
    /** The list waits for its order, made aside. */
    bool listWaiting() const { return m_listWaiting; }
    /**
     * Selects the list's first entry (the alphabetically first name) and shows it in the
     * box; while the list waits for its order, once it is ready.
     */
    void selectFirst();
    /** The list selects location `index` and the box shows it; false when it is not listed. */
    bool selectLocation(int index);
    /** A click on the map: a marker added or deleted in the marker modes; the box closes. */
    void mapClicked();
    /**
     * Escape in the open box closes it as a click on the map does (no marker placed): the
     * map takes the focus, so what was typed in the note is one step of the history.
     */
    void closeBox();
    /** A double click opens the box on the location or marker under the pointer. */
    void mapDoubleClicked();
    /** The box opens on the list's selected location, the note editor takes the focus. */
    void openSelected();
    /**
     * Enter on the map: a marker tool on takes it as a click at the map's centre (add
     * there, or delete the marker within reach of it); otherwise the box opens on the
     * selected location.
     */
    void mapEnter();
    /** One of the status buttons was clicked. */
    void statusClicked(QAbstractButton* sender);
    void notesChanged();
    /** The add, delete or delete-all tool was pressed. */
    void toolClicked(QToolButton* sender);
    /**
     * Ctrl+Z (`back`) or Ctrl+Y: undo or redo of the editor's last step. The box shows
     * what it changed (a location is selected in the list, a marker shown), the tools
     * follow the count, and the map shows it (centred as Go centres when it lies outside
     * the view), also when the step's write fails.
     */
    void walkHistory(bool back);

    // What changed the markers or the level, for the marker tools.
    void levelShown();
    void markersLoaded();
    void worldOpened();
    /** An import changed statuses, notes or markers: an open marker shows its new text. */
    void imported();
    /**
     * Another program's changes came in: the box shows what its location or marker holds
     * now, without that counting as an edit (and without moving the caret when the text
     * is what the box already holds).
     */
    void otherChangesTaken();

private:
    /** Each status and the location box's button that shows and sets it. */
    std::array<std::pair<std::int32_t, QAbstractButton*>, 3> statusButtons() const;
    void showTools();
    /** The box shows what its location or marker holds now, without that counting as an edit. */
    void showBoxData();
    /** A click of the marker tools at panel point `at`; the box closes. */
    void clickAt(QPoint at);
    /** A list waiting for its order is filled now (waiting for the order if need be). */
    void ensureListed();

    Widgets m_widgets;
    MapEditor& m_editor;
    const World& m_world;
    const MapHover& m_hover;
    const Viewport& m_view;
    Prompts& m_prompts;
    QWidget* m_window;
    MarkerTools m_tools;
    bool m_listWaiting = false; // the list is empty until the world's order made aside is ready
    bool m_firstWanted = false; // the first entry is to be selected once it is
    EventConnections m_connections;
    QMetaObject::Connection m_orderAfterPaint; // starts a big world's order after the map's next paint
};

} // namespace vdm
