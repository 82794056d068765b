// SPDX-License-Identifier: MIT
#pragma once

#include "app/commandparts.h"
#include "app/mapcanvas.h"
#include "app/maphintpresenter.h"
#include "app/mappanel.h"
#include "data/settings.h"
#include "data/location.h"
#include "dialogs/prompts.h"
#include "map/highlight.h"
#include "map/hittest.h"
#include "edit/mapeditor.h"
#include "map/viewport.h"
#include "session/maphover.h"
#include "session/settingssession.h"
#include "world/world.h"

#include <QByteArray>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <optional>

class QAbstractButton;
class QAction;
class QToolButton;

namespace Ui {
class TMainForm;
}

namespace vdm {

class TFormAbout;
class TFormOptions;
class FormLayout;
class DisplayToggles;
class ProgressLine;
class CommandParts;
class JourneyCommands;
class OrientationCommands;
class WindowCommands;
enum class Command;
class EditControls;
class FocusChain;
class WindowInput;
class WorldInstance;
class WorldShow;
class TypingPause;

/**
 * The main window: wiring between the widgets and the parts that own the state. It owns
 * the world (picture, locations and markers), the settings session (file, members,
 * drawing objects), the editor, the pointer's hover part, the map hint and the keyboard
 * and wheel input; the map view (the form's map panel) owns the viewport and the canvas.
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
    /** The program's hold on its world, which the world command moves to a world it opens. */
    void setWorldInstance(WorldInstance* instance);

    const Ui::TMainForm& ui() const { return *m_ui; }
    Prompts& prompts() const { return m_prompts; }
    /** The picture, the locations and markers, and the rules by which they are saved. */
    const World& world() const { return m_world; }
    /**
     * The world was chosen rather than found in the working directory: every write of the
     * settings remembers its folder for the next run started outside a world.
     */
    void rememberWorld(const QString& folder) { m_session.rememberWorld(folder); }

    /** Invalidates the whole map panel and paints it before returning. */
    void RepaintMap();

    // --- the handlers tests and benchmarks drive as a user would ---
    void CBLocChange();
    /** `anchor`: the panel point that keeps its map point; the panel's centre when none. */
    void ZoomButtonClick(QToolButton* sender, std::optional<QPoint> anchor = {});
    void ImageMapMouseMove(Qt::MouseButtons buttons, int x, int y);
    void PanelMapDblClick();
    void ToolButtonShowClick(QToolButton* sender);
    /** The find bar took location `index`: the list selects it and Go runs on it. */
    void FindChosen(int index);

    // --- the parts, read-only (the command table runs the window's commands on them) ---
    /** The action of `command`, made from the window's table of commands. */
    QAction* command(Command command) const;
    /** The window's commands: their actions, the More menu, the shortcuts list. */
    const WindowCommands& commands() const { return m_parts->commands(); }
    /** The place filter, the navigator, the bookmarks and the recent worlds. */
    const OrientationCommands& orientation() const { return m_parts->orientation(); }
    /** The journey planner: its bar, the journey drawn and its current leg. */
    const JourneyCommands& journey() const { return m_parts->journey(); }

    /** Zoom level, panel size and scroll position; the scroll bars mirror it. */
    const Viewport& view() const { return mapView().view(); }
    /** The location Go has just centred, shown whatever its status toggle says. */
    const GoHighlight& highlight() const { return mapView().highlight(); }

    /** The pointer over the map: drag, Shift, the hover hint and the hit tests. */
    const MapHover& hover() const { return m_hover; }
    /** The settings file, its members, the drawing objects and the stored window state. */
    const SettingsSession& session() const { return m_session; }
    /** The about and options dialogs, once createDialogs() has made them. */
    TFormAbout* formAbout() const { return FormAbout; }
    TFormOptions* formOptions() const { return FormOptions; }

    /** Location selection, status and notes, and marker editing. */
    const MapEditor& editor() const { return m_edit; }

    /** The map as the panel shows it: the back buffer and how its last paint came about. */
    const MapCanvas& canvas() const { return mapView().canvas(); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // --- the handlers called only from inside the window ---
    /**
     * `wheel` is Qt::Horizontal for a tilted wheel or a sideways swipe; `pointer` is the
     * pointer's panel point when it is over the map (Ctrl+wheel zooms there when the
     * ZoomAtPointer option is on).
     */
    void FormMouseWheel(Qt::KeyboardModifiers shift, int wheelDelta, bool* handled,
                        Qt::Orientation wheel = Qt::Vertical, std::optional<QPoint> pointer = {});
    void FormKeyDown(int key, Qt::KeyboardModifiers shift);
    void FormKeyUp(int key, Qt::KeyboardModifiers shift);
    void CBLocKeyPress(char key);
    /**
     * Enter on the map: with a marker tool on, a click at the map's centre (where the
     * centre mark stands); otherwise the box opens on the selected location.
     */
    void PanelMapEnter();
    /** The title and the size limit follow the zoom level the map has settled on. */
    void ApplyWindowSizeLimit();
    void FormCreate();
    void FormDestroy();
    void ScrollBarHScroll();
    void ScrollBarVScroll();
    void GoButtonClick();
    void PanelMapResize();
    void PanelMapPaint(); // the map panel has painted: what shows the view follows
    void ImageMapMouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, int x, int y);
    void ImageMapMouseUp(Qt::MouseButton button, int x, int y);
    void ShowMapHint(const QByteArray& text, int x, int y);
    void PanelMapClick();
    void SetStatus(QAbstractButton* sender);
    void MemoNotesChange();
    void MarkerToolButtonClick(QToolButton* sender);
    void OptionsToolButtonClick(QToolButton* sender);
    // --- settings (mainform_settings.cpp) ---
    void ReadSettings(); // construction: the settings members and the toggle buttons
    void WriteSettings();

    /** The settings members, as the handlers read them. */
    const Settings& settings() const { return m_session.settings(); }

    /** The map view: the viewport, the Go highlight and the canvas. */
    TMapPanel& mapView() const;

    SettingsSession m_session;
    TFormAbout* FormAbout = nullptr;
    TFormOptions* FormOptions = nullptr;

    void setupComponents();
    void connectHandlers();
    /** The keys and the wheel the window sees first go to its handlers. */
    void connectInput();
    /** Construction, last: the stored window state, geometry, zoom and scroll. */
    void restoreView();
    /**
     * The first view as far as it is known before the window is laid out and the picture
     * decoded: the stored level and scroll, on a panel no bigger than the window will be
     * (the captions rendered ahead are picked for it; an empty panel: none).
     */
    FirstView firstView();

    Prompts& m_prompts;
    QString m_appDir;
    World m_world;
    std::unique_ptr<Ui::TMainForm> m_ui; // built first: the parts below take its widgets
    std::unique_ptr<FormLayout> m_layout;
    MapEditor m_edit;
    std::unique_ptr<EditControls> m_editControls;
    MapHover m_hover;
    MapHintPresenter m_hint;
    std::unique_ptr<WindowInput> m_input; // goes with the members, before the window's widgets
    std::unique_ptr<DisplayToggles> m_toggles;
    std::unique_ptr<ProgressLine> m_progressLine;
    // Goes before the widgets too: their destruction moves the focus, which the chain follows.
    std::unique_ptr<FocusChain> m_focusChain;
    CommandParts* m_parts = nullptr;      // the commands and their bars, children of the window
    TypingPause* m_typingPause = nullptr; // boxes that come of typing wait for a pause, a child
    std::unique_ptr<WorldShow> m_show;    // the world over the run: loaded, another in its place, written back
};

} // namespace vdm
