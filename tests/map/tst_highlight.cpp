// SPDX-License-Identifier: MIT
// Go's highlight lasts while paints pass it: set, visited, cleared by the next location.
#include "map/highlight.h"

#include <gtest/gtest.h>

#include <vector>

namespace vdm {
namespace {

/** One paint visiting `count` locations; returns which of them were highlighted. */
std::vector<bool> paintOver(GoHighlight& h, std::size_t count)
{
    std::vector<bool> seen;
    for (std::size_t i = 0; i < count; ++i)
        seen.push_back(h.visit(i));
    return seen;
}

TEST(GoHighlight, StartsEmptyAndHighlightsNothing)
{
    GoHighlight h;
    EXPECT_EQ(h.index(), -1);
    EXPECT_FALSE(h.pending());
    EXPECT_EQ(paintOver(h, 3), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(h.index(), -1);
}

TEST(GoHighlight, OnePaintShowsItAndTheNextLocationClearsIt)
{
    struct Case {
        int index;
        std::size_t count;
        int indexAfter;
        bool pendingAfter;
    };
    // The highlighted location last in the list stays pending until the next paint.
    const Case cases[] = {{0, 3, -1, false}, {1, 3, -1, false}, {2, 3, 2, true}, {5, 3, 5, false}};
    for (const Case& c : cases) {
        GoHighlight h;
        h.set(c.index);
        const std::vector<bool> seen = paintOver(h, c.count);
        for (std::size_t i = 0; i < c.count; ++i)
            EXPECT_EQ(seen[i], int(i) == c.index) << c.index << " at " << i;
        EXPECT_EQ(h.index(), c.indexAfter) << c.index;
        EXPECT_EQ(h.pending(), c.pendingAfter) << c.index;
    }
}

TEST(GoHighlight, PendingClearComesFirstEvenWhenSetAgain)
{
    // Go sets it again after its own paint; a clear left pending from that paint still
    // happens at the next paint's first location.
    GoHighlight h;
    h.set(1);
    paintOver(h, 2);
    ASSERT_TRUE(h.pending());
    h.set(1);
    EXPECT_EQ(paintOver(h, 2), (std::vector<bool>{false, false}));
    EXPECT_EQ(h.index(), -1);
    EXPECT_FALSE(h.pending());
}

} // namespace
} // namespace vdm
