// SPDX-License-Identifier: MIT
#include "map/placefilter.h"

#include <algorithm>
#include <functional>
#include <map>
#include <unordered_map>
#include <utility>

namespace vdm {
namespace {

std::vector<QByteArray> normalised(std::vector<QByteArray> values)
{
    for (QByteArray& v : values)
        v = PlaceFilter::key(v);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

/** The line without blanks and tabs at its ends, as a view (no copy in the paint's loop). */
QByteArrayView keyView(QByteArrayView line)
{
    while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t'))
        line = line.sliced(1);
    while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t'))
        line.chop(1);
    return line;
}

bool chosen(const std::vector<QByteArray>& set, QByteArrayView line)
{
    if (set.empty())
        return true;
    const QByteArrayView k = keyView(line);
    const auto at = std::lower_bound(set.begin(), set.end(), k,
                                     [](const QByteArray& a, QByteArrayView b) { return QByteArrayView(a) < b; });
    return at != set.end() && QByteArrayView(*at) == k;
}

std::vector<FilterChoice> choices(const LocationList& places, InternedText Location::*line)
{
    // Counting the texts' numbers first costs a number's hash per place instead of a text
    // comparison in an ordered map (half a second at a million places). Texts that differ
    // only in their blanks at the ends meet in the second count.
    std::unordered_map<std::uint32_t, std::pair<InternedText, int>> texts;
    for (const Location& l : places) {
        const InternedText text = l.*line;
        auto& [first, count] = texts[text.id()];
        first = text;
        ++count;
    }
    std::map<QByteArray, int> counts;
    for (const auto& [id, text] : texts)
        counts[PlaceFilter::key(text.first.bytes())] += text.second;
    std::vector<FilterChoice> out;
    out.reserve(counts.size());
    for (const auto& [value, count] : counts)
        out.push_back({value, count});
    std::stable_sort(out.begin(), out.end(), [](const FilterChoice& a, const FilterChoice& b) {
        return a.value.compare(b.value, Qt::CaseInsensitive) < 0;
    });
    return out;
}

} // namespace

PlaceFilter::PlaceFilter(std::vector<QByteArray> kinds, std::vector<QByteArray> regions)
    : m_kinds(normalised(std::move(kinds))), m_regions(normalised(std::move(regions)))
{}

QByteArray PlaceFilter::key(const QByteArray& line)
{
    const QByteArrayView k = keyView(line);
    return k.size() == line.size() ? line : k.toByteArray();
}

bool PlaceFilter::admits(const Location& place) const
{
    return chosen(m_kinds, place.Kind.view()) && chosen(m_regions, place.Region.view());
}

void PlaceFilter::setKinds(std::vector<QByteArray> kinds)
{
    m_kinds = normalised(std::move(kinds));
}

void PlaceFilter::setRegions(std::vector<QByteArray> regions)
{
    m_regions = normalised(std::move(regions));
}

std::vector<FilterChoice> kindChoices(const LocationList& places)
{
    return choices(places, &Location::Kind);
}

std::vector<FilterChoice> regionChoices(const LocationList& places)
{
    return choices(places, &Location::Region);
}

} // namespace vdm
