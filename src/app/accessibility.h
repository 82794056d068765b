// SPDX-License-Identifier: MIT
#pragma once

namespace vdm {

/**
 * Makes a check-style tool button (the display toggles, the status buttons, the marker
 * tools) act on the program when assistive technology toggles or presses it through the
 * accessibility interface: the action is a click, with the click's handler, once. (The
 * toolkit's own toggle action only flips the button's state.) The program's own setting
 * of a button's state still runs no handler. The application's own interface lists an
 * open pop-up menu among its windows, so the More menu is in the tree while it is open.
 * Installing again changes nothing.
 */
void installCheckButtonAccessibility();

} // namespace vdm
