// SPDX-License-Identifier: MIT
#pragma once

#include "journey/journeylayer.h"
#include "journey/routeplanner.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>

#include <vector>

class QPainter;

namespace vdm {

class Viewport;

/**
 * How a planned journey looks over a painted map: every leg a line in the journey's own
 * pen (a dark casing under a bright core, so it reads over the picture and the network
 * lines), numbered at its middle, the current leg wider and in its own colour. Positions
 * come from the viewport's conversions, as every overlay's do. The window (through a
 * JourneyLayer it keeps) and veldamar-render (through one of its own) share it, so both
 * give the same pixels for the same journey.
 */
class JourneyPainter {
public:
    static constexpr QRgb Core = 0xffff7a00;    // the legs
    static constexpr QRgb Current = 0xffffe14a; // the leg being looked at
    static constexpr QRgb Casing = 0xff2a1400;
    /** The radius of a leg number's disc, in logical pixels. */
    static constexpr qreal DiscRadius = 8;
    /** Legs shorter than this (logical pixels) have their number beside them, clear of the places' hints. */
    static constexpr qreal ShortLeg = 160;
    /** How far the drawing of a leg reaches from its line or its number's centre, in logical pixels. */
    static constexpr qreal Reach = 12;

    /**
     * Draws `journey` over `image` (whose device pixel ratio the painter honours), with
     * `current` the emphasised leg (-1: none). A journey without legs draws nothing.
     */
    static void paint(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                      int current = -1);

    /**
     * Where the number of `segment` sits: the middle of a long leg; beside a short one,
     * above both places or left of both, where neither place's hint (which opens to the
     * right of and below its place) covers it.
     */
    static QPointF numberAt(const JourneyLayer::Segment& segment);
    /**
     * Which legs have their number drawn: the current leg's always, then each other leg's
     * in order unless its disc would touch a disc already chosen. Far out, where many legs
     * are shorter than a disc, the numbers so stay legible instead of piling on each other;
     * nearer in, where no two discs touch, every leg is numbered. The choice depends on the
     * legs alone, not on the part of the picture drawn, so every tile agrees with the others.
     */
    static std::vector<bool> numbered(const std::vector<JourneyLayer::Segment>& segments, int current);
    /** Whether the drawing of `segment` can reach `area` (in the segment's coordinates). */
    static bool reaches(const JourneyLayer::Segment& segment, const QRectF& area);
    /**
     * Strokes `segments` (in `p`'s coordinates) and numbers those `numbered` (see
     * numbered()) chooses, `current` emphasised; legs that cannot reach `area` (in the same
     * coordinates) are left out, which changes no pixel within it.
     */
    static void draw(QPainter& p, const std::vector<JourneyLayer::Segment>& segments, int current,
                     const std::vector<bool>& numbered, const QRectF& area);
};

} // namespace vdm
