// SPDX-License-Identifier: MIT
#pragma once

#include "map/viewport.h"

#include <QString>
#include <Qt>

#include <optional>

class QKeyEvent;
class QWidget;

namespace vdm {

/** The window's keyboard commands beyond the keypad's plus and minus. */
enum class KeyCommand {
    None,
    Find,
    ZoomIn,
    ZoomOut,
    ActualSize,
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
    FullScreen,
    Copy,
    Close,
    About,
};

/**
 * The command a key press asks for. Ctrl+= and Ctrl++ zoom in, Ctrl+- out, Ctrl+0 shows
 * the actual size; the arrows scroll (with Ctrl a quarter of the panel), Page Up and
 * Page Down a panel; F11 full screen, Ctrl+C copies the map, Ctrl+Q closes, F1 shows
 * About, Ctrl+F finds. The keypad's plus and minus without Ctrl stay the window's own
 * zoom keys, so they never come here twice.
 */
KeyCommand keyCommand(int key, Qt::KeyboardModifiers modifiers);

/** The scroll a command asks for: the arrows a wheel step, with Ctrl a quarter panel, the pages a panel. */
std::optional<ScrollStep> scrollStepOf(KeyCommand command);

/** The shortcut of a command as a tooltip or a menu shows it ("Ctrl++"); empty: none. */
QString shortcutText(KeyCommand command);

/**
 * Whether the control with the focus wants this key for itself: a text field (the note
 * editor, the location list, the search field) keeps the keys that move in its text or
 * its list, and whatever it claims before shortcuts (Ctrl+C copies its selection).
 * The window's commands give way to it.
 */
bool focusWantsKey(QWidget* focus, const QKeyEvent& key);

} // namespace vdm
