// SPDX-License-Identifier: MIT
#pragma once

#include "map/viewport.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vdm {

/** A view to come back to: a zoom level and the map point at the panel's centre. */
struct ViewBookmark {
    int zoom = 0; // zoom index, 0 (10 %) to Viewport::HighestZoom
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const ViewBookmark&) const = default;

    /** The view's level and the map point at its panel's centre. */
    static ViewBookmark of(const Viewport& view);
    /** Shows the bookmark in `view`: its level, its point centred as far as the ranges allow. */
    void showIn(Viewport& view) const;
};

/** A bookmark the user named. */
struct NamedBookmark {
    QByteArray name; // code-page text, one line
    ViewBookmark view;
    bool operator==(const NamedBookmark&) const = default;
};

/**
 * The bookmarks of one world: nine kept under the digits 1 to 9 (one key stores, one
 * returns) and any number of named ones, in the order they were added. Names are unique:
 * adding a name that exists replaces its view where it stands.
 */
class ViewBookmarks {
public:
    static constexpr int FirstDigit = 1, LastDigit = 9;

    /** The bookmark under `digit` (1..9); none when empty or the digit is out of range. */
    std::optional<ViewBookmark> digit(int digit) const;
    /** Stores `view` under `digit` (1..9); returns false for a digit out of range. */
    bool setDigit(int digit, const ViewBookmark& view);
    void clearDigit(int digit);

    const std::vector<NamedBookmark>& named() const { return m_named; }
    /** Adds `name` (trimmed; an empty name is refused with false), replacing a bookmark of that name. */
    bool addNamed(const QByteArray& name, const ViewBookmark& view);
    /** Removes the named bookmark at `index`; false when there is none. */
    bool removeNamed(std::size_t index);

    bool empty() const;
    /**
     * Takes `other`'s bookmarks (an import): its digits replace these digits, its names are
     * added or replace those of the same name. Returns how many bookmarks changed.
     */
    int merge(const ViewBookmarks& other);

    bool operator==(const ViewBookmarks&) const = default;

private:
    std::array<std::optional<ViewBookmark>, LastDigit> m_digits{};
    std::vector<NamedBookmark> m_named;
};

} // namespace vdm
