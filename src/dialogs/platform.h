// SPDX-License-Identifier: MIT
#pragma once

namespace vdm {

/**
 * Whether per-window translucency and smooth (half-tone) stretching of the map are
 * available. The options dialog enables its translucency and smoothing controls from
 * it, and the main window decides with it whether hints may be translucent.
 */
bool ExtendedGraphicsSupported();

} // namespace vdm
