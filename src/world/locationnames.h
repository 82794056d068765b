// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QString>

#include <vector>

namespace vdm {

/** One entry of the location list: a location's name as shown, and its index in the list. */
struct ListedLocation {
    QString name;
    int index = 0;
    bool operator==(const ListedLocation&) const = default;
};

/**
 * Every location's name in the order the location list shows them: sorted as the
 * desktop's sorted list sorts (case does not count; equal names keep file order).
 */
std::vector<ListedLocation> sortedLocationNames(const LocationList& locations);

} // namespace vdm
