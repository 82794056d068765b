// SPDX-License-Identifier: MIT
#include "world/locationnames.h"

#include "data/codepage.h"

#include <algorithm>

namespace vdm {

std::vector<ListedLocation> sortedLocationNames(const LocationList& locations)
{
    struct Keyed {
        QString key;
        ListedLocation entry;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(locations.size());
    for (size_t i = 0; i < locations.size(); ++i) {
        QString name = CodePage::decode(locations[i].Name);
        QString key = name.toCaseFolded();
        keyed.push_back({std::move(key), {std::move(name), int(i)}});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });

    std::vector<ListedLocation> sorted;
    sorted.reserve(keyed.size());
    for (Keyed& k : keyed)
        sorted.push_back(std::move(k.entry));
    return sorted;
}

} // namespace vdm
