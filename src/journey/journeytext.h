// SPDX-License-Identifier: MIT
#pragma once

#include "journey/routeplanner.h"

#include <QString>
#include <QStringList>

namespace vdm {

/** How a journey reads to the user: the journey bar's totals, the legs' lines, "Copy route". */
namespace JourneyText {

/** A map distance rounded to whole units, thousands set apart by a space ("3 120"). */
QString distance(double units);
/** A time in hours as hours and minutes ("2 h 05 min", "45 min"). */
QString duration(double hours);
/** The name of a way of travelling as the legs show it ("walk", "skarnel", "ship", "guild jump"). */
QString modeName(TravelMode mode);
/**
 * The totals: "4 legs · 2 by ship · 1 guild jump · walk 3 120", the parts of ways not
 * used left out ("1 leg · walk 800"; "no legs" for a journey that goes nowhere).
 */
QString totals(const Journey& journey);
/** One line per leg: "2. Harbour → Isle: ship, 3 120, 31 min". Names are decoded from the code page. */
QStringList legLines(const Journey& journey, const LocationList& locations);
/**
 * The whole journey as text for the clipboard: a heading naming both ends (and, when the
 * target cannot be reached, the place the route leads to instead), the totals, the legs.
 */
QString clipboardText(const Journey& journey, const LocationList& locations);

} // namespace JourneyText

} // namespace vdm
