// SPDX-License-Identifier: MIT
#include "journey/reachability.h"

#include "data/codepage.h"

#include <algorithm>

namespace vdm {

Reachability checkReachability(const TravelGraph& graph, const LocationList& locations)
{
    Reachability found;
    const int n = std::min(graph.size(), int(locations.size()));
    // The graph answers in nodes; what is reported is in places.
    std::vector<bool> arrived(std::size_t(graph.size()), false);
    for (int v = 0; v < graph.size(); ++v)
        for (auto e = graph.edgesBegin(v); e != graph.edgesEnd(v); ++e)
            arrived[std::size_t(e->target)] = true;
    for (int p = 0; p < n; ++p)
        if (!arrived[std::size_t(graph.node(p))])
            found.unreached.push_back(p);

    // A way back is any network route from the target to the origin; the graph's edges
    // of a node are ordered by mode, then target, so each look-up is a short scan.
    const auto routeBack = [&](int from, int to) {
        const int back = graph.node(to);
        for (auto e = graph.edgesBegin(graph.node(from)); e != graph.edgesEnd(graph.node(from)); ++e)
            if (e->target == back && e->mode != TravelMode::Walk)
                return true;
        return false;
    };
    for (int p = 0; p < n; ++p)
        for (const Route& r : locations[std::size_t(p)].Routes) {
            TravelMode mode;
            if (r.Target < 0 || r.Target >= n || r.Target == p || !travelModeOfRoute(r.Kind, mode))
                continue;
            if (!routeBack(r.Target, p))
                found.oneWay.push_back({p, r.Target});
        }
    return found;
}

QStringList reachabilityReport(const Reachability& found, const LocationList& locations)
{
    const auto name = [&](int p) { return CodePage::decode(locations[std::size_t(p)].Name); };
    QStringList lines;
    for (const int p : found.unreached)
        lines << QStringLiteral("unreached: %1 (no route arrives and no walk reaches it)").arg(name(p));
    for (const auto& [from, to] : found.oneWay)
        lines << QStringLiteral("one-way: %1 \u2192 %2 (no route leads back)").arg(name(from), name(to));
    if (found.clean()) {
        lines << QStringLiteral("Every place is reached and every route leads back.");
    } else {
        const auto counted = [](std::size_t n, const char* one, const char* many) {
            return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
        };
        lines << counted(found.unreached.size(), "place unreached", "places unreached") + QStringLiteral(", ")
                     + counted(found.oneWay.size(), "one-way route", "one-way routes");
    }
    return lines;
}

} // namespace vdm
