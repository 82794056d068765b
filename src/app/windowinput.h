// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QKeyEvent;
class QWheelEvent;
class QWidget;

namespace vdm {

class Prompts;
class TMainForm;
class ViewBinding;

/**
 * The window's keyboard and wheel, seen before any of its controls: installed on the
 * application while the window lives, it hands every key and wheel notification meant for
 * the window's controls to the window's handlers (FormKeyDown, FormKeyUp, FormMouseWheel,
 * CBLocKeyPress) and runs the keyboard commands. Each handler runs inside the error guard.
 */
class WindowInput : public QObject {
public:
    WindowInput(TMainForm& form, ViewBinding& view, Prompts& prompts);
    ~WindowInput() override;

    /**
     * A key press the window sees first: runs its keyboard command, unless the control
     * with the focus wants the key. True when a command ran (the key goes no further).
     */
    bool commandDown(const QKeyEvent& key);

    /** The key code the window's key handlers see: only the keypad's plus and minus zoom. */
    static int windowKeyCode(int key, Qt::KeyboardModifiers modifiers);
    /** A control the user types text into: a keypad plus or minus that zoomed must not reach it. */
    static bool typesText(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool wheel(QWidget* watched, QWheelEvent& wheel);
    bool key(QWidget* watched, QKeyEvent& key);

    TMainForm& m_form;
    ViewBinding& m_view;
    Prompts& m_prompts;
};

} // namespace vdm
