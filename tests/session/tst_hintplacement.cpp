// SPDX-License-Identifier: MIT
// Where a hint goes when it would cover a bar over the map.
#include "session/hintplacement.h"

#include <gtest/gtest.h>

using namespace vdm;

namespace {

TEST(HintPlacement, AHintMovesTheLeastWayOffTheBarAndStaysOnThePanel)
{
    const QRect panel(0, 0, 800, 600);
    const QRect topRight(360, 0, 440, 150); // a bar in the top right corner
    const QRect bottomLeft(0, 500, 300, 100);
    struct Case {
        const char* name;
        QRect box, bar;
        QRect expected;
    };
    const Case cases[] = {
        {"clear of the bar: stays", {100, 200, 120, 40}, topRight, {100, 200, 120, 40}},
        {"just touching its left edge: moves", {250, 20, 111, 40}, topRight, {249, 20, 111, 40}},
        {"under the bar near its bottom: below it", {500, 120, 120, 40}, topRight, {500, 150, 120, 40}},
        {"under the bar near its left: to its left", {370, 10, 100, 40}, topRight, {260, 10, 100, 40}},
        {"near its right end: below it", {640, 60, 120, 40}, topRight, {640, 150, 120, 40}},
        {"a bottom bar: above it", {100, 490, 120, 40}, bottomLeft, {100, 460, 120, 40}},
        // Below would leave the panel: the longer way to the left keeps the box on it.
        {"at the panel's bottom: to the left", {500, 100, 120, 40}, {360, 0, 440, 600}, {240, 100, 120, 40}},
        {"no bar: stays", {400, 10, 120, 40}, QRect(), {400, 10, 120, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect placed = hintClearOf(c.box, c.bar, panel);
        EXPECT_EQ(placed, c.expected);
        if (!c.bar.isEmpty()) {
            EXPECT_FALSE(placed.intersects(c.bar));
        }
    }
}

TEST(HintPlacement, WhenNoWayKeepsToThePanelTheLeastMoveWins)
{
    // A bar across the whole panel: every way leaves the panel; below is the nearest.
    const QRect placed = hintClearOf({100, 80, 120, 40}, {0, 0, 800, 110}, {0, 0, 800, 140});
    EXPECT_EQ(placed, QRect(100, 110, 120, 40));
}

} // namespace
