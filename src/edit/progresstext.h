// SPDX-License-Identifier: MIT
#pragma once

#include "map/placefilter.h"
#include "world/world.h"

#include <QPoint>
#include <QString>

namespace vdm {

/** A count or coordinate with its thousands apart: "12 345", "-6 789". */
QString groupedNumber(long long n);

/** "Visited 57 · Active 3 · Unvisited 580 of 640". */
QString progressText(const World::StatusCounts& counts);

/**
 * The counts of the places `filter` admits, by status (the status toggles aside: the line
 * tells what is left to do among the places of those kinds and regions).
 */
World::StatusCounts filteredCounts(const LocationList& places, const PlaceFilter& filter);

/**
 * The progress line for a filter: with an active filter the counts of the places it
 * admits and what they are, "Visited 12 · Active 1 · Unvisited 27 of 40 mines in
 * Karuford Downs"; without one the line as above for the whole world.
 */
QString progressText(const World& world, const PlaceFilter& filter);

/**
 * What a filter shows in words: the chosen kinds in the plural ("mines", "mines and
 * shrines"; "places" for none), then the regions ("in Karuford Downs", "in A, B and C").
 */
QString filterDescription(const PlaceFilter& filter);

/** An English noun of a place's kind in the plural: "mine" -> "mines", "city" -> "cities", "ruins" stays. */
QString pluralKind(const QString& kind);

/**
 * The pointer's map point, "x 12 345, y -6 789", followed by the name and the two record
 * lines of the place under it when there is one ("x 1, y 2 · Harrowmere — Ashen Vale · town").
 */
QString pointerText(QPoint mapPoint, const Location* place);

} // namespace vdm
