// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>
#include <QLocale>

#include <memory>
#include <optional>
#include <vector>

namespace vdm {

/**
 * One entry of the location list: a location's name in the code page, as the file holds
 * it (shared with the location, so a million entries make no text of their own; decoded
 * where shown), and its index in the list.
 */
struct ListedLocation {
    QByteArray name;
    int index = 0;
    bool operator==(const ListedLocation&) const = default;
};

/**
 * Every location's name in the order the location list shows them: by the user's locale
 * (QLocale()), as the desktop's sorted list sorts. Case does not count; a letter with an
 * accent sorts beside its plain letter, the accent deciding only between names otherwise
 * equal; plain characters (ASCII) keep the order of their codes, so names of plain letters
 * keep the order they have always had; equal names keep file order.
 */
std::vector<ListedLocation> sortedLocationNames(const LocationList& locations);
/** The same by another locale's order (QLocale::c(): every accented letter after the plain ones). */
std::vector<ListedLocation> sortedLocationNames(const LocationList& locations, const QLocale& locale);

/**
 * The same order made in two parts, which may run on two threads one after the other:
 * making this reads every location's name (and nothing else) and takes it, shared, while
 * sorted() reads no location at all, so the locations may meanwhile change in anything but
 * their names (routes, statuses, notes), or be gone. The sort keys (16 MB at a million
 * places) are made by sorted(), so names held for a sort to come cost no more than the
 * list's entries.
 */
class NamesToSort {
public:
    explicit NamesToSort(const LocationList& locations);
    NamesToSort(const LocationList& locations, const std::optional<QLocale>& locale);
    NamesToSort(NamesToSort&&) noexcept;
    NamesToSort& operator=(NamesToSort&&) noexcept;
    ~NamesToSort();
    /** The entries in list order, as sortedLocationNames gives them; the names are used up. */
    std::vector<ListedLocation> sorted() &&;

private:
    struct Data;
    std::unique_ptr<Data> m_data;
};

} // namespace vdm
