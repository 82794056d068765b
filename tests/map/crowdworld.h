// SPDX-License-Identifier: MIT
// A crowded world in memory that the index and the clipped-paint cases share.
#pragma once

#include "data/location.h"
#include "data/settings.h"
#include "map/mappainter.h"
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

/**
 * Turns every pixel of an area to its complement: laid twice, or missed, a pixel shows it.
 * It readies itself for the painting thread alone, or for both (`AnyThread`).
 */
struct ComplementLayer final : MapTopLayer {
    explicit ComplementLayer(Readiness readiness = Readiness::OneThread) : ready(readiness) {}
    Readiness prepare(QImage&, const QRect&) override { return ready; }
    void layOver(QImage& image, const QRect& area) override
    {
        const QRect in = area & image.rect();
        for (int y = in.top(); y <= in.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = in.left(); x <= in.right(); ++x)
                line[x] ^= 0x00FFFFFFu;
        }
    }
    Readiness ready;
};

} // namespace vdm::test
