// SPDX-License-Identifier: MIT
#pragma once

#include "journey/routeplanner.h"

#include <QColor>
#include <QImage>

namespace vdm {

class Viewport;

/**
 * Draws a planned journey over a painted map: every leg a line in the journey's own pen
 * (a dark casing under a bright core, so it reads over the picture and the network
 * lines), numbered at its middle, the current leg wider and in its own colour. Positions
 * come from the viewport's conversions, as every overlay's do. The window and
 * veldamar-render share it, so both give the same pixels for the same journey.
 */
class JourneyPainter {
public:
    static constexpr QRgb Core = 0xffff7a00;    // the legs
    static constexpr QRgb Current = 0xffffe14a; // the leg being looked at
    static constexpr QRgb Casing = 0xff2a1400;

    /**
     * Draws `journey` over `image` (whose device pixel ratio the painter honours), with
     * `current` the emphasised leg (-1: none). A journey without legs draws nothing.
     */
    static void paint(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                      int current = -1);
};

} // namespace vdm
