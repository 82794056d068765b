// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include "world/worldevents.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vdm {

struct Location;
class World;

/**
 * Quick find over the locations: any part of a location's name, of the two lines after
 * the name in its record (`Region`, `Kind`) or of its note, ignoring case and accents.
 *
 * The folded texts of every location sit in one buffer, so a keystroke costs one scan of
 * that buffer. A changed note is folded again at the next search and appended; the old
 * copy is skipped until the buffer is rebuilt. The index follows the notices of the world
 * it searches (a note changed, the places read again, another world in its place), so
 * nobody has to tell it of a change.
 */
class LocationSearch {
public:
    LocationSearch() = default;
    // Its connections to the world's notices lead back to this very object.
    LocationSearch(const LocationSearch&) = delete;
    LocationSearch& operator=(const LocationSearch&) = delete;

    /** Where a location first matched. */
    enum class Field { Name, Region, Kind, Note };
    struct Hit {
        int index = 0; // into the world's locations
        Field field = Field::Name;
        bool operator==(const Hit&) const = default;
    };
    struct Result {
        /** Names that start with the query first, then other name matches, then the two
         *  lines, then notes; in the location list's order within each group (the order
         *  of World::listedLocations, so the find bar and the list agree); at most the
         *  limit asked for. */
        std::vector<Hit> hits;
        int total = 0; // every location that matched
    };

    /**
     * Folds code-page text for matching: letters to lower case without their accents
     * ("É" and "é" to "e", "ß" to "ss", "Æ" to "ae", "Œ" to "oe", "Þ" to "th"), control
     * characters to blanks; everything else stays.
     */
    static QByteArray fold(QByteArrayView codePageText);
    /**
     * The query as the index compares it: trimmed and folded. Nothing when it is empty or
     * holds a character the code page cannot hold (no stored text can contain it).
     */
    static std::optional<QByteArray> foldQuery(QStringView query);

    /** Hits for `query` in `world`, bringing the index up to date first. */
    Result find(const World& world, QStringView query, std::size_t limit);

    /** Brings the index up to date without searching (at load, so the first keystroke is quick). */
    void update(const World& world);

private:
    /** Listens to `world`'s notices from now on (once per world; its index starts afresh). */
    void follow(const World& world);
    void rebuild(const World& world);
    void append(int index, const World& world);

    struct Span {
        qsizetype start = 0;               // of the record in m_text; it ends where the next one starts
        int index = -1;                    // the location; -1 for a copy a later note replaced
        std::array<qsizetype, 3> fieldEnd; // where the name, the region and the kind end
    };
    QByteArray m_text;
    std::vector<Span> m_spans;                // in buffer order
    std::vector<std::size_t> m_spanOf;        // location index -> its live span
    std::vector<int> m_listPosition;          // location index -> its place in the location list
    std::array<std::vector<Hit>, 4> m_groups; // kept between searches for their capacity
    qsizetype m_deadBytes = 0;
    // What the notices left to do: the whole index, or the notes of these places.
    const WorldEvents* m_followed = nullptr;
    EventConnections m_connections;
    bool m_stale = true;
    const Location* m_indexed = nullptr; // the list the index was made of (a list moved in unannounced)
    std::vector<int> m_changedNotes;
    std::vector<std::uint8_t> m_noteChanged; // by location index: in m_changedNotes
};

} // namespace vdm
