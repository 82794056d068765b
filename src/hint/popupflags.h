// SPDX-License-Identifier: MIT
#pragma once

#include <Qt>

namespace vdm {

/**
 * The window flags of our pop-ups (the map hint and the tooltip): a frameless tooltip
 * window above the others that never takes the focus and lets the pointer through to
 * whatever lies beneath.
 *
 * The stays-on-top flag is implied by the tooltip type, but must be given as well: on
 * X11 the toolkit otherwise finds it "changed" at the first show and makes the native
 * window anew, and the new window keeps the default input shape (the whole window), so
 * presses and moves over the pop-up would not reach the map. Given here, the window is
 * made once, with an empty input shape.
 */
inline constexpr Qt::WindowFlags kPopupWindowFlags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                                     | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus;

} // namespace vdm
