// SPDX-License-Identifier: MIT
#include "dialogs/platform.h"

namespace vdm {

bool ExtendedGraphicsSupported()
{
    // Every platform we build for paints through QPainter, which always offers smooth
    // pixmap transforms, and accepts a window opacity (a platform that cannot show it
    // simply draws the window opaque), so there is no older system left to tell apart.
    return true;
}

} // namespace vdm
