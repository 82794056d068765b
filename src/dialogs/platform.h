// SPDX-License-Identifier: MIT
#pragma once

class QString;

namespace vdm {

/**
 * Whether the screen can show translucent windows: a window opacity and per-pixel alpha
 * (the map hint's translucency, the tooltips' soft shadow). Asked of the window system at
 * every call, so a compositing manager that starts or stops later is taken into account:
 * on X11 that is whether a compositing manager owns the screen's `_NET_WM_CM_Sn`
 * selection; Wayland always composites; other platforms (offscreen) accept an opacity.
 */
bool TranslucencySupported();

/**
 * Whether translucency and smooth (half-tone) stretching of the map are available, as
 * the options dialog enables its translucency and smoothing controls. Smooth stretching
 * works everywhere (we resample ourselves) and the translucency setting is kept even
 * where the screen cannot show it at the moment, so this is always true; whether a hint
 * is actually translucent is TranslucencySupported()'s answer when it is shown.
 */
bool ExtendedGraphicsSupported();

/**
 * Whether the window system named `platformName` (QGuiApplication::platformName()) tells
 * a program where its windows are and lets it place them: Wayland does neither (a window
 * reads as being near 0, 0 and a move is ignored); X11 and the others do.
 */
bool WindowPositionsKnown(const QString& platformName);
/** The same for the window system this program runs on. */
bool WindowPositionsKnown();

} // namespace vdm
