// SPDX-License-Identifier: MIT
#pragma once

#include "world/world.h"

#include <QPoint>
#include <QString>

namespace vdm {

/** A count or coordinate with its thousands apart: "12 345", "-6 789". */
QString groupedNumber(long long n);

/** "Visited 57 · Active 3 · Unvisited 580 of 640". */
QString progressText(const World::StatusCounts& counts);

/**
 * The pointer's map point, "x 12 345, y -6 789", followed by the name and the two record
 * lines of the place under it when there is one ("x 1, y 2 · Harrowmere — Ashen Vale · town").
 */
QString pointerText(QPoint mapPoint, const Location* place);

} // namespace vdm
