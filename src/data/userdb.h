// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <utility>
#include <vector>

namespace vdm {

class MappedFile;

/**
 * Reader and writer of the user database "user.gdb": one block of five lines per
 * location, in the order of the locations list, holding its status and note:
 *
 *     loc
 *        nm = <name>
 *        status = <digit>
 *        note = <note>
 *     end
 *
 * Blocks apply by position; the name line is never compared. Lines are read whole, so
 * notes of any length (the editor allows 255 characters) survive a round trip.
 */

/**
 * Sets Status and Note of `locations` from the blocks, in order. Only the 13th
 * character of a status line counts; a status line shorter than that or whose 13th
 * character is not a digit throws the conversion error, leaving the blocks before it
 * applied. With more blocks than locations, every location gets its block and the
 * first extra block throws "List index out of bounds (%d)". Returns the number of blocks
 * applied.
 */
std::size_t readUserData(const QByteArray& bytes, LocationList& locations);
/**
 * readUserData of bytes handed over, with the same results, errors and count. The pages
 * already read are given back to the system as the read goes on, so a big file costs a
 * few megabytes beside the list instead of its whole size. With `writesBack`, the check
 * of userDataWritesBack runs in the same pass and its answer goes there (set only when
 * the read ends without an error).
 */
std::size_t readUserData(QByteArray&& bytes, LocationList& locations, bool* writesBack = nullptr);
/** The same from a file's mapped pages (see MappedFile), given back as the read passes them. */
std::size_t readUserData(const MappedFile& file, LocationList& locations, bool* writesBack = nullptr);

/**
 * The file's bytes, CR LF line ends, one block for every location. Line breaks inside
 * a name or note are written as blanks so a block always stays five lines; a status
 * that is not a single digit (it counts as no status anyway) is written as 0, so the
 * file always reads back.
 */
QByteArray writeUserData(const LocationList& locations);

/**
 * What "user.gdb" holds of one location: a writer that works away from the locations list
 * (off the window's thread) keeps these and formats the same bytes from them.
 */
struct UserRecord {
    QByteArray name;
    QByteArray note;
    std::int32_t status = Unvisited;
};

/** writeUserData of locations whose names, statuses and notes are `records`. */
QByteArray writeUserRecords(const std::vector<UserRecord>& records);

/** One place's new status and note, by its index in the locations list. */
struct UserChange {
    int index = 0;
    std::int32_t status = Unvisited;
    QByteArray note;
};

/**
 * "user.gdb" kept formatted: the file's bytes and where each block begins, following the
 * changes. A change re-formats only its own place's status and note, and moves the bytes
 * after it at most, so a write of a million places costs a copy of the file, not a
 * formatting of every place. The bytes are always exactly writeUserRecords of the records
 * as changed.
 */
class UserDataText {
public:
    UserDataText() = default;
    explicit UserDataText(const std::vector<UserRecord>& records);

    /**
     * Applies the changes in order (a later change of the same place wins); an index
     * outside the list is skipped. Returns whether any byte changed.
     */
    bool apply(std::vector<UserChange> changes);

    const QByteArray& bytes() const { return m_bytes; }
    std::size_t count() const { return m_starts.size(); }

private:
    /** Where the note of block `index` begins and ends. */
    std::pair<qsizetype, qsizetype> noteOf(std::size_t index) const;
    qsizetype endOf(std::size_t index) const;

    QByteArray m_bytes;
    std::vector<qsizetype> m_starts; // where each place's block begins
};

/**
 * True when writeUserData(locations) gives exactly `bytes`: a file read from those bytes
 * lost nothing in the reading. Compares as it formats, so it builds no file and stops at
 * the first difference.
 */
bool userDataWritesBack(const LocationList& locations, QByteArrayView bytes);

} // namespace vdm
