// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPoint>

#include <optional>

class QComboBox;
class QKeyEvent;
class QWheelEvent;
class QWidget;

namespace vdm {

class Prompts;
class WindowCommands;

/**
 * The window's keyboard and wheel, seen before any of its controls: installed on the
 * application while the window lives, it tells every key and wheel notification meant for
 * the window's controls (keyDown, keyUp, wheelTurned, listEnter, mapEnter: the window's
 * handlers FormKeyDown, FormKeyUp, FormMouseWheel, CBLocKeyPress and PanelMapEnter
 * follow; boxEscape closes the location box) and runs the keys of the window's command
 * table. Each runs inside the error guard.
 */
class WindowInput : public QObject {
    Q_OBJECT

public:
    /**
     * The controls whose input it sees: the window, its map panel, its location list and
     * the location box.
     */
    struct Controls {
        QWidget* window;
        QWidget* map;
        QComboBox* list;
        QWidget* box;
    };
    WindowInput(Controls controls, Prompts& prompts);
    ~WindowInput() override;

    /** The table whose keys run commands; none before the window has made it. */
    void setCommands(const WindowCommands* commands) { m_commands = commands; }

    /**
     * A key press the window sees first: runs its command, unless the control with the
     * focus wants the key or the command is disabled. True when a command ran (the key
     * goes no further).
     */
    bool commandDown(const QKeyEvent& key);

    /** The key code the window's key handlers see: only the keypad's plus and minus zoom. */
    static int windowKeyCode(int key, Qt::KeyboardModifiers modifiers);
    /**
     * A control that takes keys for itself: a text field (the note editor, the search
     * field, a spin box) or a list (the location list). The one list of them: the window's
     * commands give way to the keys such a control wants, and a keypad plus or minus that
     * zoomed never reaches one (a note would change, a list would search for "+").
     */
    static bool wantsKeys(const QWidget* widget);
    /**
     * Whether `focus` wants this key for itself: a control of wantsKeys keeps the keys
     * that move in its text or its list, and whatever it claims before shortcuts (Ctrl+C
     * copies its selection); a button of an exclusive group keeps the arrows; any control
     * of a widget marked `asksForKeys` keeps what it claims before shortcuts.
     */
    static bool focusWantsKey(QWidget* focus, const QKeyEvent& key);
    /** Whether `widget` lies in a widget marked `asksForKeys` (a bar with keys of its own). */
    static bool asksForKeys(const QWidget* widget);
    /**
     * For an undo or redo key with a text field focused: whether the field has a step of
     * its own to take back or do again. Empty for any other key or control.
     */
    static std::optional<bool> ownHistoryStep(const QWidget* focus, const QKeyEvent& key);

signals:
    /** A key the window's controls were to get (windowKeyCode: 0 for a plus or minus that does not zoom). */
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    /**
     * The wheel, turned over any control of the window; `wheel` is Qt::Horizontal for a
     * tilted wheel or a sideways swipe, `pointer` the map panel point under the pointer
     * (none when elsewhere). Whoever takes it sets `*handled`.
     */
    void wheelTurned(Qt::KeyboardModifiers modifiers, int delta, bool* handled, Qt::Orientation wheel,
                     std::optional<QPoint> pointer);
    /** Enter in the location list. */
    void listEnter();
    /** Enter on the map panel. */
    void mapEnter();
    /** Escape on a control of the location box (open, as its controls have the focus only then). */
    void boxEscape();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool wheel(QWidget* watched, QWheelEvent& wheel);
    bool key(QWidget* watched, QKeyEvent& key);

    Controls m_controls;
    Prompts& m_prompts;
    const WindowCommands* m_commands = nullptr;
};

} // namespace vdm
