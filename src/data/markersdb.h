// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>

namespace vdm {

/**
 * Reader and writer of the markers database "markers.gdb": one block of four lines per
 * marker, in the order of the markers list:
 *
 *     marker
 *        text = <text>
 *        pos = <X>,<Y>
 *     end
 *
 * A marker is a Location whose Name is its text and whose Level is 1; X and Y are map
 * units. Lines are read whole, so texts of any length survive a round trip; only the
 * header line is searched for "marker", so a text may hold that word, commas or
 * leading blanks.
 */

/**
 * Appends the file's markers to `markers`. A position line without a comma, or with
 * something other than an integer on either side of its last comma, throws the
 * conversion error and leaves the markers read before it in `markers`.
 */
void readMarkers(const QByteArray& bytes, LocationList& markers);

/**
 * The file's bytes, CR LF line ends, one block per marker. A line feed inside a text
 * is written as a blank so a block always stays four lines; every other byte is kept.
 */
QByteArray writeMarkers(const LocationList& markers);

} // namespace vdm
