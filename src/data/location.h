// SPDX-License-Identifier: MIT
#pragma once

#include "data/internedtext.h"
#include "data/routelist.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace vdm {

/** Status of a location as the user records it; any other value counts as no status. */
enum LocationStatus : std::int32_t { Unvisited = 1, Active = 2, Visited = 3 };

/** Network of a route. Values 0 and 4 to 9 can be read but belong to no network. */
enum RouteKind : std::uint8_t { Skarnel = 1, Ship = 2, MagesGuild = 3 };

/**
 * One location of the locations database, or one user marker (same layout: a marker's
 * text is its Name, its Level is always 1). Texts are 8-bit code-page bytes exactly as
 * stored in the files; they are decoded only where shown (see CodePage).
 * Coordinates are map units: x to the right, y upwards.
 */
struct Location {
    QByteArray Name;
    std::int32_t Level = 0;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    // Beside the three numbers rather than after the note: no padding on either side, 8 MB
    // less at a million places.
    std::int32_t Status = Unvisited;
    /**
     * Lines 2 and 3 of a locations record after their six-character labels, read but
     * used by nothing the file describes (the sample world keeps the region and the kind
     * there). Only the search, the filter and the tour look at them; no file is written
     * from them. They repeat across thousands of places, so each is a number into the
     * table of distinct texts (4 bytes where a QByteArray took 24).
     */
    InternedText Region;
    InternedText Kind;
    RouteList Routes; // empty: no routes
    QByteArray Note;
    bool operator==(const Location&) const = default;
};

using LocationList = std::vector<Location>;

} // namespace vdm
