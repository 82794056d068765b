// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>

namespace vdm {

/**
 * Reader of the routes database "routes.gdb": blocks started by a header line holding
 * "rout", then the origin's name after a five-character label, route lines "<kind
 * digit><separator><target name>" and an "end" line in the first column. Lines are
 * read in the classic pieces of at most 254 characters.
 *
 * Attaches each block's routes to the first location of `locations` bearing the
 * origin's name (exact, case-sensitive), replacing what an earlier block gave it;
 * targets are indices into `locations`. Blocks and routes naming an unknown location
 * are skipped. A block that the data ends inside of keeps the routes read so far.
 * A kind that is not a digit, or an empty line inside a block, throws the conversion
 * error; the routes of the blocks completed before it stay.
 */
void readRoutes(const QByteArray& bytes, LocationList& locations);
/**
 * readRoutes of bytes handed over, with the same results and errors; the pages read are
 * given back to the system as the read goes on.
 */
void readRoutes(QByteArray&& bytes, LocationList& locations);

} // namespace vdm
