// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QByteArray>

#include <vector>

namespace vdm {

/**
 * Which places the user wants to see by what they are and where: a set of kinds and a set
 * of regions (the `Kind` and `Region` lines of a place's record, compared without their
 * outer blanks, byte for byte). An empty set admits every value, so a default filter
 * admits every place and changes nothing anywhere.
 *
 * It stands beside the status toggles: a place is shown when its status toggle and this
 * filter both let it through, and a place the filter keeps out is treated exactly as one
 * of a hidden status (not drawn, not under the pointer; Go still shows the place it
 * centres). Painting, hit testing, the progress counts and the journey planner's tour all
 * ask admits(), so they never disagree about what the filter shows.
 */
class PlaceFilter {
public:
    PlaceFilter() = default;
    PlaceFilter(std::vector<QByteArray> kinds, std::vector<QByteArray> regions);

    /** A record line as the filter compares it: without blanks and tabs at its ends. */
    static QByteArray key(const QByteArray& line);

    /** Whether the place's kind and region are both chosen (an empty choice takes all). */
    bool admits(const Location& place) const;
    /** Whether the filter keeps anything out at all (false: every place is admitted). */
    bool active() const { return !m_kinds.empty() || !m_regions.empty(); }

    /** The chosen kinds and regions as keys, sorted and without repeats. */
    const std::vector<QByteArray>& kinds() const { return m_kinds; }
    const std::vector<QByteArray>& regions() const { return m_regions; }
    void setKinds(std::vector<QByteArray> kinds);
    void setRegions(std::vector<QByteArray> regions);

    bool operator==(const PlaceFilter&) const = default;

private:
    std::vector<QByteArray> m_kinds;
    std::vector<QByteArray> m_regions;
};

/** One value of a place's record line that a filter can choose, and how many places hold it. */
struct FilterChoice {
    QByteArray value; // as PlaceFilter::key gives it; empty for places without that line
    int count = 0;
    bool operator==(const FilterChoice&) const = default;
};

/**
 * The kinds (or regions) the places of a world hold, each with its count, ordered by their
 * value with case ignored (then byte order). Places without the line count under an empty value.
 */
std::vector<FilterChoice> kindChoices(const LocationList& places);
std::vector<FilterChoice> regionChoices(const LocationList& places);

} // namespace vdm
