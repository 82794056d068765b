// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QKeyEvent;
class QWheelEvent;
class QWidget;

namespace vdm {

class Prompts;
class TMainForm;

/**
 * The window's keyboard and wheel, seen before any of its controls: installed on the
 * application while the window lives, it hands every key and wheel notification meant for
 * the window's controls to the window's handlers (FormKeyDown, FormKeyUp, FormMouseWheel,
 * CBLocKeyPress) and runs the keys of the window's command table. Each handler runs
 * inside the error guard.
 */
class WindowInput : public QObject {
public:
    WindowInput(TMainForm& form, Prompts& prompts);
    ~WindowInput() override;

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool wheel(QWidget* watched, QWheelEvent& wheel);
    bool key(QWidget* watched, QKeyEvent& key);

    TMainForm& m_form;
    Prompts& m_prompts;
};

} // namespace vdm
