// SPDX-License-Identifier: MIT
// A crowded world in memory that the index and the clipped-paint cases share.
#pragma once

#include "data/location.h"
#include "data/settings.h"
#include "map/spatialindex.h"

#include <QImage>
#include <QtGlobal>

namespace vdm::test {

/**
 * A crowded world in memory: places all over the map, a few far outside it, levels 0 to
 * 5 with some out of range, every status and some unknown ones, names from empty to
 * long, routes between neighbours plus some across the map and some of no network.
 */
LocationList crowd(int count, quint32 seed);
/** Markers spread over the map, "Marker N". */
LocationList markersOf(int count, quint32 seed);

/** The big world: 100 000 places, 2 000 markers, their index and a coded 660 x 760 picture. */
struct Crowd {
    LocationList locations;
    LocationList markers;
    SpatialIndex index;
    QImage picture;
};
/** Built once per run: it is the costly part. */
const Crowd& bigCrowd();

/** Every overlay on: captions, the three route networks and the three status classes. */
Settings everyOverlay();

} // namespace vdm::test
