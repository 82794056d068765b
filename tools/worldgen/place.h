// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace vdm::worldgen {

/**
 * One invented location as the generator plans it, before it becomes a record of the
 * locations file. Texts are Unicode here and encoded to the code page when written.
 * X and Y are map units (x right, y up).
 */
struct Place {
    QString name;
    int level = 0;
    int x = 0, y = 0;
    QString kind; // "city", "port", "shrine", ...
    QString region;
    QString ground; // what the land around it is: "plains", "forest", "hills", ...
    int folk = 0;   // rough head count
    bool coastal = false;
};

} // namespace vdm::worldgen
