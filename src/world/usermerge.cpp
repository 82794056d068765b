// SPDX-License-Identifier: MIT
#include "world/usermerge.h"

#include <algorithm>
#include <map>

#include <deque>
#include <tuple>

namespace vdm {
namespace {

/** What tells two markers of the file apart: their text and their position. */
using MarkerKey = std::tuple<QByteArray, std::int32_t, std::int32_t>;

MarkerKey keyOf(const Location& m)
{
    return {m.Name, m.X, m.Y};
}

bool sameMarker(const Location& a, const Location& b)
{
    return keyOf(a) == keyOf(b);
}

/**
 * For each marker of `base`, the marker of `theirs` that is still the same, or -1. Equal
 * markers pair up in order, so a list of duplicates keeps its count on both sides.
 */
std::vector<int> matchMarkers(const LocationList& base, const LocationList& theirs)
{
    std::map<MarkerKey, std::deque<int>> unclaimed;
    for (int i = 0; i < int(theirs.size()); ++i)
        unclaimed[keyOf(theirs[size_t(i)])].push_back(i);
    std::vector<int> match(base.size(), -1);
    for (size_t b = 0; b < base.size(); ++b) {
        auto found = unclaimed.find(keyOf(base[b]));
        if (found != unclaimed.end() && !found->second.empty()) {
            match[b] = found->second.front();
            found->second.pop_front();
        }
    }
    return match;
}

} // namespace

PlaceRecords placeRecords(const LocationList& locations)
{
    PlaceRecords records;
    records.reserve(locations.size());
    for (const Location& l : locations)
        records.push_back({l.Status, l.Note}); // notes are shared, not copied
    return records;
}

void PlaceBase::reset(std::size_t count)
{
    m_size = count;
    m_differs.clear();
}

void PlaceBase::reset(const PlaceRecords& theirs, const LocationList& ours)
{
    reset(theirs.size());
    for (std::size_t i = 0; i < theirs.size() && i < ours.size(); ++i)
        if (theirs[i].status != ours[i].Status || theirs[i].note != ours[i].Note)
            m_differs.emplace(i, theirs[i]);
}

void PlaceBase::keep(std::size_t index, const LocationList& ours)
{
    if (index < m_size && index < ours.size())
        m_differs.try_emplace(index, PlaceRecord{ours[index].Status, ours[index].Note});
}

void PlaceBase::set(std::size_t index, PlaceRecord record, const LocationList& ours)
{
    if (index >= m_size || index >= ours.size())
        return;
    if (record.status == ours[index].Status && record.note == ours[index].Note)
        m_differs.erase(index);
    else
        m_differs.insert_or_assign(index, std::move(record));
}

bool PlaceBase::holds(std::size_t index, const LocationList& ours) const
{
    if (index >= m_size || index >= ours.size())
        return false;
    const auto it = m_differs.find(index);
    return it == m_differs.end() || (it->second.status == ours[index].Status && it->second.note == ours[index].Note);
}

bool PlaceBase::changed(const LocationList& ours) const
{
    if (m_size != ours.size())
        return true;
    for (const auto& [index, record] : m_differs)
        if (record.status != ours[index].Status || record.note != ours[index].Note)
            return true;
    return false;
}

PlaceRecords PlaceBase::records(const LocationList& ours) const
{
    PlaceRecords out;
    out.reserve(m_size);
    for (std::size_t i = 0; i < m_size && i < ours.size(); ++i) {
        const auto it = m_differs.find(i);
        out.push_back(it != m_differs.end() ? it->second : PlaceRecord{ours[i].Status, ours[i].Note});
    }
    return out;
}

PlaceRecords mergePlaces(const PlaceRecords& base, const PlaceRecords& theirs, const PlaceRecords& ours)
{
    PlaceRecords merged = ours;
    const size_t n = std::min(ours.size(), theirs.size());
    for (size_t i = 0; i < n && i < base.size(); ++i) {
        if (ours[i].status == base[i].status)
            merged[i].status = theirs[i].status;
        if (ours[i].note == base[i].note)
            merged[i].note = theirs[i].note;
    }
    return merged;
}

bool placesChanged(const PlaceRecords& base, const PlaceRecords& ours)
{
    return base != ours;
}

void MarkerChanges::reset(const LocationList& markers)
{
    m_base = markers;
    m_origins.resize(markers.size());
    for (size_t i = 0; i < markers.size(); ++i)
        m_origins[i] = int(i);
}

void MarkerChanges::added()
{
    m_origins.push_back(-1);
}

void MarkerChanges::removed(int index)
{
    if (index >= 0 && index < int(m_origins.size()))
        m_origins.erase(m_origins.begin() + index);
}

void MarkerChanges::cleared()
{
    m_origins.clear();
}

void MarkerChanges::putBack(int index, const LocationList& ours)
{
    // One origin per marker before this one went in; a gap would count as the window's own.
    m_origins.resize(ours.size() - 1, -1);
    std::vector<bool> claimed(m_base.size(), false);
    for (int origin : m_origins)
        if (origin >= 0 && origin < int(m_base.size()))
            claimed[size_t(origin)] = true;
    int origin = -1;
    for (size_t b = 0; b < m_base.size() && origin < 0; ++b)
        if (!claimed[b] && sameMarker(m_base[b], ours[size_t(index)]))
            origin = int(b);
    m_origins.insert(m_origins.begin() + index, origin);
}

bool MarkerChanges::any(const LocationList& ours) const
{
    if (ours.size() != m_base.size() || m_origins.size() != ours.size())
        return true;
    for (size_t i = 0; i < ours.size(); ++i) {
        if (m_origins[i] != int(i) || !sameMarker(ours[i], m_base[i]))
            return true;
    }
    return false;
}

MarkerChanges::Merged MarkerChanges::merge(const LocationList& theirs, const LocationList& ours) const
{
    const std::vector<int> match = matchMarkers(m_base, theirs);
    // The file's markers in their order, each replaced by the window's version when the
    // window changed it, or taken out when the window deleted it.
    std::vector<const Location*> kept(theirs.size());
    for (size_t j = 0; j < theirs.size(); ++j)
        kept[j] = &theirs[j];
    std::vector<bool> stillThere(m_base.size(), false);
    std::vector<int> inTheirs(ours.size(), -1); // where each of the window's markers stands
    std::vector<int> inAppended(ours.size(), -1);
    std::vector<int> appended;
    const size_t n = ours.size();
    for (size_t i = 0; i < n; ++i) {
        const int origin = i < m_origins.size() ? m_origins[i] : -1; // untracked: the window's own
        const bool fromFile = origin >= 0 && origin < int(m_base.size());
        if (fromFile)
            stillThere[size_t(origin)] = true;
        const int there = fromFile ? match[size_t(origin)] : -1;
        if (fromFile && sameMarker(ours[i], m_base[size_t(origin)])) {
            inTheirs[i] = there; // unchanged here: the file's version stands, or its deletion
            continue;
        }
        if (there >= 0) {
            kept[size_t(there)] = &ours[i];
            inTheirs[i] = there;
        } else {
            inAppended[i] = int(appended.size());
            appended.push_back(int(i));
        }
    }
    for (size_t b = 0; b < m_base.size(); ++b) {
        if (!stillThere[b] && match[b] >= 0)
            kept[size_t(match[b])] = nullptr;
    }

    Merged out;
    std::vector<int> finalIndex(theirs.size(), -1);
    for (size_t j = 0; j < theirs.size(); ++j) {
        if (!kept[j])
            continue;
        finalIndex[j] = int(out.markers.size());
        out.markers.push_back(*kept[j]);
        out.origins.push_back(int(j));
    }
    const int firstAppended = int(out.markers.size());
    for (int i : appended) {
        out.markers.push_back(ours[size_t(i)]);
        out.origins.push_back(-1);
    }
    out.newIndexOf.assign(ours.size(), -1);
    for (size_t i = 0; i < n; ++i) {
        if (inTheirs[i] >= 0)
            out.newIndexOf[i] = finalIndex[size_t(inTheirs[i])];
        else if (inAppended[i] >= 0)
            out.newIndexOf[i] = firstAppended + inAppended[i];
    }
    return out;
}

void MarkerChanges::rebase(const LocationList& theirs, const Merged& merged)
{
    m_base = theirs;
    m_origins = merged.origins;
}

} // namespace vdm
