// SPDX-License-Identifier: MIT
#pragma once

#include "data/settings.h"

#include <QColor>

// Header only: the data library itself draws nothing, so it need not link the GUI
// module; the parts that draw or choose colours (the map painter, the options dialog) do.

namespace vdm {

/** The colour of a packed 0x00BBGGRR value (red in the low byte); the top byte is ignored. */
inline QColor packedToColor(PackedColor c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

/** The packed 0x00BBGGRR value of a colour given in any colour model. */
inline PackedColor colorToPacked(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return PackedColor(rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16));
}

} // namespace vdm
