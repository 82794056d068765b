// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace vdm {

/**
 * How this window's changes meet another program's when both changed "user.gdb" or
 * "markers.gdb" since this window last read or wrote it. Nothing either side changed is
 * lost: what only one side changed takes that side's value, and where both changed the
 * same thing this window's value wins (it is the one the user is looking at).
 */

/** Status and note of one place, as stored in "user.gdb". */
struct PlaceRecord {
    std::int32_t status = Unvisited;
    QByteArray note;
    bool operator==(const PlaceRecord&) const = default;
};
using PlaceRecords = std::vector<PlaceRecord>;

PlaceRecords placeRecords(const LocationList& locations);

/**
 * Statuses and notes as "user.gdb" last held them here, kept as the places where they
 * differ from the list rather than as a second record per place: a million places the
 * window never changed cost nothing. Every change of a status or note in the list is told
 * first (keep), so the file's record of that place stays here.
 */
class PlaceBase {
public:
    /** The file holds the list's first `count` records exactly as the list holds them now. */
    void reset(std::size_t count);
    /** The file holds `theirs`; `ours` is the list as it stands (records it lacks count as changed here). */
    void reset(const PlaceRecords& theirs, const LocationList& ours);
    /** Place `index` of `ours` is about to change: the file's record of it stays here. */
    void keep(std::size_t index, const LocationList& ours);
    /** The file now holds `record` for place `index` of `ours` (a write of that place ended). */
    void set(std::size_t index, PlaceRecord record, const LocationList& ours);

    /** How many places the file's records cover; a place beyond them counts as changed here. */
    std::size_t size() const { return m_size; }
    /** Place `index` of `ours` is as the file holds it. */
    bool holds(std::size_t index, const LocationList& ours) const;
    /** Some place of `ours` is not as the file holds it. */
    bool changed(const LocationList& ours) const;
    /** Every record the file holds, one per place (for a merge). */
    PlaceRecords records(const LocationList& ours) const;

private:
    std::size_t m_size = 0;
    std::unordered_map<std::size_t, PlaceRecord> m_differs; // the file's record where the list may differ
};

/**
 * Merges per place and field: a status or note of `ours` that differs from `base` (what
 * this window last read or wrote) is this window's change and stays; every other takes
 * `theirs` (what the file holds now). A place missing from `base` counts as changed here,
 * one missing from `theirs` keeps this window's record.
 */
PlaceRecords mergePlaces(const PlaceRecords& base, const PlaceRecords& theirs, const PlaceRecords& ours);

/** This window changed a status or note since `base`. */
bool placesChanged(const PlaceRecords& base, const PlaceRecords& ours);

/**
 * This window's marker changes since it last read or wrote "markers.gdb". Markers carry
 * no identity in the file, so each of the window's markers remembers which marker of that
 * version it came from; comparing with it tells what the window added, moved, edited and
 * deleted. The file's markers are matched by text and position, equal ones in order.
 */
class MarkerChanges {
public:
    /** The window's markers are exactly `markers`, as read or written. */
    void reset(const LocationList& markers);
    /** One marker appended at the end. */
    void added();
    void removed(int index);
    void cleared();
    /**
     * `ours[index]` was just inserted: it is the file's marker it equals when none of the
     * others already is, else the window's own.
     */
    void putBack(int index, const LocationList& ours);

    /** The window added, moved, edited or deleted a marker since the last read or write. */
    bool any(const LocationList& ours) const;

    struct Merged {
        LocationList markers;
        /** Where each of the window's markers is in `markers`; -1 when the other program deleted it. */
        std::vector<int> newIndexOf;
        /** Which of the file's markers each merged one came from; -1: the window's own. */
        std::vector<int> origins;
    };
    /**
     * The file's markers `theirs`, in their order, with the window's changes applied: its
     * moved and edited markers in their place (or, when the other program changed or
     * deleted that marker meanwhile, added beside its version), its deleted ones taken
     * out, its added ones appended in its order.
     */
    Merged merge(const LocationList& theirs, const LocationList& ours) const;

    /**
     * The window's markers are `merged` after a read that left its changes unwritten:
     * `theirs` is now what the file holds, and the window's changes stay changes.
     */
    void rebase(const LocationList& theirs, const Merged& merged);

private:
    LocationList m_base;
    std::vector<int> m_origins; // per window marker: its index in m_base, -1 when added
};

} // namespace vdm
