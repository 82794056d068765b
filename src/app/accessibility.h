// SPDX-License-Identifier: MIT
#pragma once

class QLineEdit;
class QString;
class QWidget;

namespace vdm {

/**
 * Give `widget` the accessible name (or description) `text`. Assistive technology is told
 * of a change only, so a line refreshed on every move of the pointer is not read out again
 * while what it says stays the same.
 */
void setAccessibleNameIfChanged(QWidget& widget, const QString& text);
void setAccessibleDescriptionIfChanged(QWidget& widget, const QString& text);

/**
 * Names the clear button a field shows when it has text (the toolkit leaves it unnamed,
 * so a screen reader reads a bare "button"). Call after enabling the button.
 */
void nameClearButton(QLineEdit& field, const QString& name);

/**
 * Makes a check-style tool button (the display toggles, the status buttons, the marker
 * tools) act on the program when assistive technology toggles or presses it through the
 * accessibility interface: the action is a click, with the click's handler, once. (The
 * toolkit's own toggle action only flips the button's state.) The program's own setting
 * of a button's state still runs no handler. The application's own interface lists an
 * open pop-up menu among its windows, so the More menu is in the tree while it is open.
 * The main window is a window, the cool bar's tool bars are tool bars and their
 * separators separators (plain widgets and frames would be read as unnamed panes).
 * Install it before the application exists (for the application's interface) and again
 * after, before the first widget is asked for its interface: the application's start puts
 * the toolkit's own factory before it.
 */
void installCheckButtonAccessibility();

} // namespace vdm
