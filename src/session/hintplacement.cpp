// SPDX-License-Identifier: MIT
#include "session/hintplacement.h"

#include <array>
#include <cstdlib>
#include <tuple>
#include <vector>

namespace vdm {

namespace {

/** The four ways `box` leaves `keepClear` straight: below, to the left, above, to the right. */
std::array<QRect, 4> waysOff(const QRect& box, const QRect& keepClear)
{
    return {
        box.translated(0, keepClear.bottom() + 1 - box.top()),
        box.translated(keepClear.left() - 1 - box.right(), 0),
        box.translated(0, keepClear.top() - 1 - box.bottom()),
        box.translated(keepClear.right() + 1 - box.left(), 0),
    };
}

} // namespace

QRect hintClearOf(const QRect& box, const QRect& keepClear, const QRect& area)
{
    return hintClearOf(box, std::span<const QRect>(&keepClear, 1), area);
}

QRect hintClearOf(const QRect& box, std::span<const QRect> keepClear, const QRect& area)
{
    // The first box kept clear that `r` covers, or -1.
    const auto firstCovered = [&](const QRect& r) {
        for (std::size_t k = 0; k < keepClear.size(); ++k)
            if (!keepClear[k].isEmpty() && r.intersects(keepClear[k]))
                return int(k);
        return -1;
    };
    if (firstCovered(box) < 0)
        return box;

    // Each box still covering one is moved off the first it covers, the four ways; three
    // rounds settle a box between a bar and two hints.
    constexpr int Rounds = 3;
    std::vector<QRect> tried, round{box};
    for (int r = 0; r < Rounds && !round.empty(); ++r) {
        std::vector<QRect> next;
        for (const QRect& c : round) {
            const int k = firstCovered(c);
            if (k < 0)
                continue;
            for (const QRect& way : waysOff(c, keepClear[std::size_t(k)])) {
                tried.push_back(way);
                next.push_back(way);
            }
        }
        round = std::move(next);
    }

    // Least is best: the bar covered, how many others are, off the panel, the move.
    const auto rank = [&](const QRect& r) {
        const bool first = !keepClear.empty() && !keepClear[0].isEmpty() && r.intersects(keepClear[0]);
        int covered = 0;
        for (const QRect& k : keepClear)
            covered += !k.isEmpty() && r.intersects(k);
        const int moved = std::abs(r.left() - box.left()) + std::abs(r.top() - box.top());
        return std::make_tuple(first, covered, !area.contains(r), moved);
    };
    const QRect* best = &tried.front();
    for (const QRect& r : tried)
        if (rank(r) < rank(*best))
            best = &r;
    return *best;
}

} // namespace vdm
