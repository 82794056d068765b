// SPDX-License-Identifier: MIT
#pragma once

#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <span>

class QAction;
class QKeySequence;
class QMenu;
class QToolButton;
class QWidget;

namespace Ui {
class TMainForm;
}

namespace vdm {

class EditControls;
class FindCommands;
class ImageCommand;
class JourneyCommands;
class OrientationCommands;
class ProgressCommands;
class Prompts;
class TMapPanel;
class WindowCommands;
class WorldCommand;
struct ShortcutEntry;

/**
 * Every command of the main window. Each has one row in the table of windowcommands.cpp,
 * and from that row come its QAction, its entry in the More menu, its keys, the tooltip
 * of its tool button with the shortcut beside it and its line in the Keyboard shortcuts
 * list.
 *
 * Adding a command is one row: add its enumerator here (before `Count`) and its row to
 * `kCommands` in windowcommands.cpp (menu text with its mnemonic, the button's hint, the
 * keys, the tool button it presses if it has one, whether it is checkable, its menu group
 * and its handler, which calls the part that carries the command out). Nothing else names
 * it: the window builds the action, the menu, the keys and the list from the row.
 */
enum class Command {
    // Map band
    ZoomIn,
    ZoomOut,
    ActualSize,
    ShowSkarnels,
    ShowShips,
    ShowMagic,
    ShowText,
    ShowHints,
    ShowUnvisited,
    ShowActive,
    ShowVisited,
    FullScreen,
    // Location band
    Find,
    Go,
    PlanRoute,
    PlanTour,
    OpenBox,
    MarkUnvisited,
    MarkActive,
    MarkVisited,
    // Marker band
    AddMarker,
    DeleteMarker,
    DeleteAllMarkers,
    // Tools band
    Undo,
    Redo,
    Options,
    Copy,
    SaveImage,
    ExportProgress,
    ImportProgress,
    OpenWorld,
    Shortcuts,
    About,
    Close,
    // Finding the way: the filter, the navigator, the bookmarks
    Filter,
    Navigator,
    AddBookmark,
    DeleteBookmark,
    StoreBookmark1,
    StoreBookmark2,
    StoreBookmark3,
    StoreBookmark4,
    StoreBookmark5,
    StoreBookmark6,
    StoreBookmark7,
    StoreBookmark8,
    StoreBookmark9,
    ReturnBookmark1,
    ReturnBookmark2,
    ReturnBookmark3,
    ReturnBookmark4,
    ReturnBookmark5,
    ReturnBookmark6,
    ReturnBookmark7,
    ReturnBookmark8,
    ReturnBookmark9,
    // Keys that move the map (no menu entries)
    ScrollLeft,
    ScrollRight,
    ScrollUp,
    ScrollDown,
    QuarterLeft,
    QuarterRight,
    QuarterUp,
    QuarterDown,
    PageUp,
    PageDown,
    OpenMenu,
    Count
};

/** Where a command stands in the More menu: one submenu per tool bar band, or none. */
enum class CommandGroup { Map, Location, Marker, Tools, KeysOnly };

/** The window's parts a command's handler carries out its command on. */
struct CommandTargets {
    QWidget& window;
    TMapPanel& map;
    EditControls& edit;
    FindCommands& find;
    JourneyCommands& journey;
    OrientationCommands& orientation;
    ImageCommand& image;
    ProgressCommands& progress;
    WorldCommand& world;
    const WindowCommands& commands;
};

/** One command: what the user sees of it and what runs. */
struct CommandRow {
    Command command;
    const char* name;                    // the action's object name
    const char* text;                    // the menu's text, with its mnemonic
    const char* hint;                    // the tool button's tooltip; nullptr: no tooltip of its own
    QList<QKeyCombination> keys;         // the first is the one menus and tooltips show
    QToolButton* Ui::TMainForm::*button; // the tool button the command presses; nullptr: none
    bool checkable;
    CommandGroup group;
    void (*run)(const CommandTargets&); // what runs when there is no button to press
};

/** Every row, in menu order within each group. */
std::span<const CommandRow> commandRows();
const CommandRow& commandRow(Command command);

/**
 * The command `key` runs in the window, if any. Shift does not count with Ctrl++ (most
 * layouts type the plus with it); the keypad's arrows and pages act as the others. The
 * keypad's plus and minus never come here: they are the window's own zoom keys
 * (FormKeyDown), which the table lists and the key handler runs on its own.
 */
std::optional<Command> commandForKey(QKeyCombination key);

/** A key as menus and lists show it ("Ctrl++", "F11", "Num+-"). */
QString keyText(QKeyCombination key);
/** The menu text without its mnemonic and without a trailing "...". */
QString plainText(const CommandRow& row);

/** The buttons the commands stand for: each command's tool button and the More button. */
struct CommandButtons {
    std::array<QToolButton*, std::size_t(Command::Count)> pressed{}; // by command; nullptr: none
    QToolButton* more = nullptr;                                     // the More menu hangs on it
};
/** The buttons the table's rows name, on the window's form. */
CommandButtons commandButtons(const Ui::TMainForm& ui);

/**
 * The window's commands made from the table: a QAction for each, the More menu and the
 * tool buttons' tooltips. A command with a tool button presses it, so a key, a menu
 * entry, assistive technology and the pointer all run the same handler, and the action
 * shows the button's checked and enabled state. A command without a button asks for its
 * row's handler (`handlerWanted`), which the window runs.
 */
class WindowCommands : public QObject {
    Q_OBJECT

public:
    /** `window` parents the actions, the error boxes and, while More is hidden, the menu. */
    WindowCommands(QWidget& window, const CommandButtons& buttons, Prompts& prompts);

    QAction* action(Command command) const { return m_actions[std::size_t(command)]; }
    /** The More menu: the program's full menu, a submenu per band. */
    QMenu* menu() const { return m_menu; }
    /** Puts `submenu` (a list of the user's own) in the More menu just after the entry of `after`. */
    void insertSubmenu(Command after, QMenu* submenu) const;
    /** Runs `command` as its key does; false when it is disabled. */
    bool trigger(Command command) const;
    /** Opens the More menu under its button. */
    void openMenu() const;
    /** The Keyboard shortcuts list: each command with keys, in table order. */
    QList<ShortcutEntry> shortcutList() const;

signals:
    /**
     * A command without a button ran (its key, its menu entry, assistive technology):
     * its row's handler runs now, inside the error guard.
     */
    void handlerWanted(vdm::Command command) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run(const CommandRow& row) const;
    void buildMenu();

    QWidget& m_window;
    CommandButtons m_buttons;
    std::array<QAction*, std::size_t(Command::Count)> m_actions{};
    QMenu* m_menu = nullptr;
};

} // namespace vdm
