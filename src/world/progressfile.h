// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"
#include "world/viewbookmarks.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

namespace vdm {

class World;

/**
 * The progress file: the user's statuses, notes and markers in one text file that moves
 * them to another copy of the world and back. Windows-1252 text, CR LF line ends (LF
 * read the same way), readable and editable by people:
 *
 *     Veldamar Interactive Map progress 1
 *     # any line starting with "#" is a comment; blank lines are skipped
 *     place 1200,-3400 3 "Aldmoor" "the key is under the bridge"
 *     marker -125000,-130000 "my camp"
 *     end 1 1
 *
 * - The first line names the format and its version (1 or 2). A file of a later version is
 *   refused rather than half understood.
 * - "place X,Y STATUS NAME NOTE": one line for every location of the world, in the
 *   order of its locations file. X and Y are the place's map position, STATUS its
 *   status, one digit as "user.gdb" holds it (1 unvisited, 2 active, 3 visited, any
 *   other digit counts as none).
 * - "marker X,Y TEXT": one line per marker, in the markers' order.
 * - Since version 2, the world's bookmarks of views after the markers, as the views file
 *   writes them: "bookmark DIGIT ZOOM X,Y" and "named ZOOM X,Y NAME". A file without
 *   bookmarks is written as version 1, byte for byte what it always was.
 * - "end PLACES MARKERS": the last line, counting the lines above it. A file cut short
 *   anywhere lacks it or counts more than it holds, so it is never taken for a whole one.
 * - Texts stand in double quotes. A backslash, a double quote, a control character
 *   (below 32, and 127) are written "\\", "\"" and "\xHH"; every other byte stands as
 *   it is, so any name, note or text comes back byte for byte.
 *
 * A place is found again by its name and position, not by its line, so the file
 * survives a locations file that lists the same places in another order.
 */
struct ProgressPlace {
    QByteArray name;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t status = Unvisited;
    QByteArray note;
    bool operator==(const ProgressPlace&) const = default;
};

struct Progress {
    std::vector<ProgressPlace> places;
    LocationList markers; // as the markers list holds them: Level 1, status Unvisited
    ViewBookmarks bookmarks;
};

/** The current version of the format: it reads this and every earlier one. */
constexpr int kProgressFormat = 2;
/** The version a file without bookmarks is written as. */
constexpr int kProgressFormatWithoutBookmarks = 1;

/** The file's bytes for these locations, markers and (when there are any) bookmarks. */
QByteArray writeProgress(const LocationList& locations, const LocationList& markers,
                         const ViewBookmarks& bookmarks = {});

/**
 * Reads a progress file's bytes. A file that is not a progress file, of a later version,
 * damaged or cut short throws an Error whose text names `fileName` and the line.
 */
Progress readProgress(const QByteArray& bytes, const QString& fileName);

/** Reads the file at `path` (refusing one far too large to be a progress file). */
Progress loadProgressFile(const QString& path);
/** Writes the world's progress (and its bookmarks) to `path`, atomically; a failure throws "Unable to write to %s". */
void saveProgressFile(const QString& path, const World& world, const ViewBookmarks& bookmarks = {});

/**
 * What an import would change in a world, computed before anything changes so the user
 * can agree or decline.
 *
 * Places: a file line applies to the location with the same name and position; several
 * locations with the same name and position take the file's lines of that key in order.
 * A line whose position matches no location of its name still applies when exactly one
 * location of that name is left unclaimed (the place was moved); with none or several
 * left it is not applied and its name is reported, as is a name the world does not hold.
 * A line whose name and position every matching location has already given to an earlier
 * line repeats a place: it is not applied and reported as a duplicate.
 * Locations the file does not name keep their status and note.
 *
 * Markers: a file marker equal to an existing one (position and text) changes nothing;
 * one at the position of an existing marker with another text replaces that text; any
 * other is added at the end. Existing markers are never removed.
 */
struct ProgressPlan {
    struct StatusChange {
        int index;
        std::int32_t status;
    };
    struct NoteChange {
        int index;
        QByteArray note;
    };
    struct MarkerText {
        int index;
        QByteArray text;
    };
    std::vector<StatusChange> statuses;
    std::vector<NoteChange> notes;
    std::vector<MarkerText> markerTexts; // markers whose text is replaced
    LocationList newMarkers;             // markers added, in the file's order

    int statusesAdded = 0;    // the place was unvisited
    int statusesReplaced = 0; // the place had another status
    int notesAdded = 0;       // the place had no note
    int notesReplaced = 0;    // the place had another note
    int markersAdded() const { return int(newMarkers.size()); }
    int markersReplaced() const { return int(markerTexts.size()); }
    QList<QByteArray> unmatched;  // names of file lines that found no place, in file order
    QList<QByteArray> duplicates; // names of file lines that repeat a place earlier lines took, in file order

    bool changesUserData() const { return !statuses.empty() || !notes.empty(); }
    bool changesMarkers() const { return !markerTexts.empty() || !newMarkers.empty(); }
};

ProgressPlan planProgressImport(const Progress& progress, const LocationList& locations, const LocationList& markers);

/** Applies the plan's changes to the lists as one edit, through the world's edit operations; writes nothing. */
void applyProgressPlan(World& world, const ProgressPlan& plan);

/**
 * Applies the plan as one edit through the world's edit operations, then writes both user
 * files as one (World::SaveUserFilesTogether): each replaced file is kept as its ".bak",
 * and after a failure or a kill both files are old or both new. A failed write throws;
 * the data stays in memory for the next write.
 */
void applyProgressImport(World& world, const ProgressPlan& plan);

} // namespace vdm
