// SPDX-License-Identifier: MIT
#pragma once

#include "app/maphintpresenter.h"
#include "app/viewbinding.h"
#include "data/settings.h"
#include "data/location.h"
#include "dialogs/prompts.h"
#include "map/highlight.h"
#include "map/hittest.h"
#include "edit/mapeditor.h"
#include "map/mappainter.h"
#include "map/scrollreuse.h"
#include "map/viewport.h"
#include "session/maphover.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class QAbstractButton;
class QAction;
class QKeyEvent;
class QToolButton;

namespace Ui {
class TMainForm;
}

namespace vdm {

class IniFile;
class TFormAbout;
class TFormOptions;
class FormLayout;
class WorldCommand;
class FindCommands;
class EditControls;
class WindowInput;

/**
 * The main window: wiring between the widgets and the parts that own the state. It owns
 * the world (picture, locations and markers), the view binding, the settings session
 * (file, members in `Config`, drawing objects), the editor, the pointer's hover part, the
 * map hint and the keyboard and wheel input.
 * Its components come from resources/mainform.ui (reach them through ui() or by object
 * name); the handlers keep the names of the events they serve and delegate to the parts.
 * Tests read state through the parts' accessors.
 *
 * Construction decodes the map picture; an error there leaves the constructor (the
 * program then ends without writing anything). The first show loads the databases
 * (FormCreate), the destructor writes them back (FormDestroy).
 */
class TMainForm : public QWidget {
    Q_OBJECT

public:
    using Location = vdm::Location;

    /**
     * `applicationDirectory` ends with "/": the settings file and the read-me files lie
     * there. Map pictures and databases are looked up in the current working directory.
     */
    TMainForm(Prompts& prompts, QString applicationDirectory, QWidget* parent = nullptr);
    ~TMainForm() override;

    /** Creates the about and options dialogs (after the window, as the program entry does). */
    void createDialogs();
    /**
     * Ends the run: at the loop's next turn the window closes, and with it any box still
     * open from the first show. No box of the first show comes after that.
     */
    void endRun();

    const Ui::TMainForm& ui() const { return *m_ui; }
    Prompts& prompts() const { return m_prompts; }
    /** The picture, the locations and markers, and the rules by which they are saved. */
    const World& world() const { return m_world; }
    World& world() { return m_world; }
    const QString& applicationDirectory() const { return m_appDir; }
    /**
     * The world was chosen rather than found in the working directory: every write of the
     * settings remembers its folder for the next run started outside a world.
     */
    void rememberWorld(const QString& folder) { m_session.rememberWorld(folder); }

    // --- view geometry (viewport handlers: mainform_view.cpp) ---
    QPoint MapToScreen(int x, int y) const { return view().MapToScreen(x, y); }
    QPoint ScreenToMap(int px, int py) const { return view().ScreenToMap(px, py); }
    bool LevelVisible(int level) const { return view().LevelVisible(level); }
    void UpdateScrollRanges();
    void UpdateMargins();
    void ApplyWindowSizeLimit();
    void SetTitleWithZoom();
    void UpdateMarkerButtons();
    /** Invalidates the whole map panel and paints it before returning. */
    void RepaintMap();

    // --- event handlers ---
    void FormCreate();
    void FormDestroy();
    /** `anchor`: the panel point that keeps its map point; the panel's centre when none. */
    void ZoomButtonClick(QToolButton* sender, std::optional<QPoint> anchor = {});
    /**
     * `wheel` is Qt::Horizontal for a tilted wheel or a sideways swipe; `pointer` is the
     * pointer's panel point when it is over the map (Ctrl+wheel zooms there when the
     * ZoomAtPointer option is on).
     */
    void FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta, bool* handled,
                        Qt::Orientation wheel = Qt::Vertical, std::optional<QPoint> pointer = {});
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    void FormKeyUp(int key, Qt::KeyboardModifiers shift);
    void ScrollBarHScroll();
    void ScrollBarVScroll();
    void GoButtonClick();
    void CBLocKeyPress(char key);
    void PanelMapResize();
    void PanelMapPaint(); // the paint branch of the map panel

    void ImageMapMouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, int x, int y);
    void ImageMapMouseUp(Qt::MouseButton button, int x, int y);
    void ImageMapMouseMove(Qt::MouseButtons buttons, int x, int y);
    void TimerTimer();
    void ShowMapHint(const QByteArray& text, int x, int y);

    void PanelMapClick();
    void PanelMapDblClick();
    void CBLocChange();
    void SetStatus(QAbstractButton* sender);
    void MemoNotesChange();
    void MarkerToolButtonClick(QToolButton* sender);

    /**
     * "Open world...": the folder chooser, then the world part saves this world's files
     * and loads the chosen one; one that cannot be opened is named and this one stays.
     */
    void OpenWorldClick();
    /** The "Open world..." command (Ctrl+O), added to the window so its shortcut works anywhere. */
    QAction* openWorldAction() const;

    void ToolButtonShowClick(QToolButton* sender);
    void OptionsToolButtonClick(QToolButton* sender);

    // --- finding and the keyboard (mainform_find.cpp, mainform_view.cpp) ---
    /** Ctrl+F and More > Find: opens the quick-find bar over the map. */
    void FindClick();
    /** The find bar took location `index`: the list selects it and Go runs on it. */
    void FindChosen(int index);
    /** More > Keyboard shortcuts: the list of the window's keys. */
    void ShortcutsClick();
    /**
     * A key press the window sees first: runs its keyboard command, unless the control
     * with the focus wants the key. True when a command ran (the key goes no further).
     */
    bool KeyCommandDown(const QKeyEvent& key);

    // --- settings (mainform_settings.cpp) ---
    void ReadSettings(); // construction: the settings members and the toggle buttons
    void RestoreView();  // construction, last: stored state, geometry, zoom and scroll
    void WriteSettings();
    void RestoreBandLayout();      // first show, when RestoreWindow is on
    void ApplyStoredWindowState(); // first show, last step

    /** Rebuilds the drawing objects from the settings members. */
    void RecreateDrawingObjects();

    /** Zoom level, panel size and scroll position; the scroll bars mirror it. */
    const Viewport& view() const { return m_view.view(); }
    /** The location Go has just centred, shown whatever its status toggle says. */
    const GoHighlight& highlight() const { return m_highlight; }

    /** The pointer over the map: drag, Shift, the hover hint and the hit tests. */
    const MapHover& hover() const { return m_hover; }
    /** The hint window over the map and its timer. */
    const MapHintPresenter& mapHint() const { return m_hint; }
    /** The settings file, its members, the drawing objects and the stored window state. */
    const SettingsSession& session() const { return m_session; }
    /** The about and options dialogs, once createDialogs() has made them. */
    TFormAbout* formAbout() const { return FormAbout; }
    TFormOptions* formOptions() const { return FormOptions; }

    /** Location selection, status and notes, and marker editing. */
    const MapEditor& editor() const { return m_edit; }
    /** The location box, the list and the marker tools, as they show the editor. */
    const EditControls& editControls() const { return *m_editControls; }

    /** The last image the map panel showed (what the clipboard copy takes). */
    const QImage& backBuffer() const { return m_backBuffer; }
    /** How the last map paint came about (a scroll repaints only what it uncovers). */
    ScrollReuse::Kind lastMapPaint() const { return m_scrollReuse.lastKind(); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    GoHighlight m_highlight;
    SettingsSession m_session;
    Settings& Config; // the session's members, as the handlers read and switch them
    bool CopyingToClipboard = false;
    TFormAbout* FormAbout = nullptr;
    TFormOptions* FormOptions = nullptr;

    void setupComponents();
    void connectHandlers();
    void layoutPanels();
    /** Shows the editor's state: the location box's caption and buttons, the marker tools, the pointer. */
    void mirrorEditor();
    MapEditor::Hooks editorHooks();
    void copyBackBufferToClipboard();
    /** The world command opened another world in `folder`. */
    void worldOpened(const QString& folder);
    /** Shows the world just opened from its start: the view, the list, the box, the markers. */
    void showNewWorld();
    /** Shows the world's messages about user files it keeps unread. */
    void reportWorldNotices();
    /** The strip under the map: the status counts, and the pointer's map point and place. */
    void showProgressLine();

    Prompts& m_prompts;
    QString m_appDir;
    World m_world;
    std::unique_ptr<Ui::TMainForm> m_ui;
    ViewBinding m_view;
    std::unique_ptr<FormLayout> m_layout;
    MapPainter m_painter;
    QImage m_backBuffer;
    ScrollReuse m_scrollReuse; // a scroll repaints only what it uncovers
    bool m_firstShowDone = false;
    bool m_destroyed = false;
    bool m_runEnded = false;
    MapEditor m_edit;
    std::unique_ptr<EditControls> m_editControls;
    MapHover m_hover;
    MapHintPresenter m_hint;
    std::unique_ptr<WindowInput> m_input; // goes with the members, before the window's widgets
    FindCommands* m_find = nullptr;
    WorldCommand* m_worldCommand = nullptr;
};

} // namespace vdm
