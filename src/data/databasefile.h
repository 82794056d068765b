// SPDX-License-Identifier: MIT
#pragma once

#include "data/linereader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vdm {

/**
 * Opening and reading the database files, and the one line rule that several of them
 * share. Paths are taken as given (bare names resolve against the current directory);
 * error texts carry the absolute path.
 */

/**
 * True when `path` names an existing regular file, or a symbolic link to one. A
 * directory, a dangling link, a FIFO or a device of that name is not a database: the
 * caller treats it as missing rather than failing (or waiting) later on reading it.
 */
bool databaseExists(const QString& path);

/** Far beyond any database this program reads; bounds the memory a hostile file can take. */
constexpr qint64 kMaxDatabaseSize = qint64(512) * 1024 * 1024;

/** Throws an Error naming the file and both sizes when `size` is above kMaxDatabaseSize. */
void checkDatabaseSize(const QString& path, qint64 size);

/**
 * The whole file's bytes. Throws "Cannot open file <absolute path>" when it cannot be
 * opened or read to its end (no permission, not a regular file, an I/O error), so a
 * database is never taken as shorter than it is, and an Error saying so for a file
 * larger than kMaxDatabaseSize. Never blocks on a FIFO or device.
 */
QByteArray readDatabaseFile(const QString& path);

/**
 * The Unicode encoding a byte-order mark at the start announces ("UTF-16", "UTF-32"), or
 * nothing. Such a file holds two or four bytes per character: the 8-bit readers would
 * find nothing in it and a writer would replace it with garbage or with empty data.
 */
QString unicodeEncoding(const QByteArray& bytes);

/**
 * The value of a labelled line: the characters after the first `labelWidth` ones, up to
 * but not including the line's last character, which the classic readers take for the
 * line end, even on a piece of a long line cut at 254 characters. The last line of
 * the data that has no line end at all keeps its last character: cutting it would take
 * the final digit off a number.
 */
QByteArrayView labelledValue(const LineReader::Line& line, qsizetype labelWidth);

/** True when the read found nothing at all: the data ended before this line. */
inline bool isPastEnd(const LineReader::Line& line)
{
    return line.metEnd && line.text.isEmpty();
}

} // namespace vdm
