// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>
#include <QString>

namespace vdm {

/**
 * Reader of the locations database "vdmain.gdb": records of eight lines, each started
 * by a header line containing "loc"; the name, the level and the position "X,Y" sit
 * after six-character labels on lines 1, 4 and 7; lines 2 and 3 after their labels
 * are kept as `Region` and `Kind`. Lines are read in the classic pieces
 * of at most 254 characters. Positions are map units.
 *
 * Appends the records to `out` in file order, so a record's index in `out` is its
 * identity. A conversion error throws vdm::Error "'%s' is not a valid integer value"
 * and leaves the records read before it in `out`. A record cut short by the end of
 * the data is dropped.
 */
void readLocations(const QByteArray& bytes, LocationList& out);
/**
 * The same for bytes no one else holds (a file just read): the pages of the bytes already
 * read are given back to the system as the reader moves on, so a big file and the records
 * made of it are never held in memory at once. The bytes are not to be read afterwards.
 */
void readLocations(QByteArray&& bytes, LocationList& out);
/**
 * readLocations by two readers at once, the second one starting at the first line that
 * begins at or after `splitAt`: the same records, errors and messages as one reader gives,
 * wherever the split falls (a record reaching over it, a header-like line inside a record,
 * an error or the end on either side).
 */
void readLocations(const QByteArray& bytes, LocationList& out, qsizetype splitAt);
/**
 * Reads the file at `path` as readLocations(readDatabaseFile(path)) does, from its pages
 * mapped into memory (no copy), and a big file by two readers at once. A file another
 * program cuts short meanwhile throws "Cannot open file <absolute path>" and adds nothing.
 */
void readLocationsFile(const QString& path, LocationList& out);

} // namespace vdm
