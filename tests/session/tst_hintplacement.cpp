// SPDX-License-Identifier: MIT
// Where a hint goes when it would cover a bar over the map.
#include "session/hintplacement.h"

#include <gtest/gtest.h>

#include <vector>

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

TEST(HintPlacement, AHintKeepsOffTheBarAndTheHintsAlreadyUp)
{
    const QRect panel(0, 0, 800, 600);
    const QRect bar(360, 0, 440, 150);
    struct Case {
        const char* name;
        QRect box;
        std::vector<QRect> keepClear;
        QRect expected;
    };
    const Case cases[] = {
        {"clear of all: stays", {100, 200, 120, 40}, {bar, {100, 300, 120, 40}}, {100, 200, 120, 40}},
        // Below the bar is where the first hint went: the second goes below that one.
        {"pushed off the bar onto a hint: below both",
         {500, 120, 120, 40},
         {bar, {500, 150, 120, 40}},
         {500, 190, 120, 40}},
        {"on a hint alone: the least move off it",
         {510, 300, 120, 40},
         {bar, {500, 290, 120, 40}},
         {510, 330, 120, 40}},
        // Two places close together: their hints would cover each other.
        {"on a hint by the panel's bottom: above it",
         {100, 560, 120, 30},
         {QRect(), {90, 550, 120, 40}},
         {100, 520, 120, 30}},
        {"an empty box keeps nothing clear", {100, 200, 120, 40}, {QRect(), QRect()}, {100, 200, 120, 40}},
        // To the left of the bar is the least move off it, but a hint is there.
        {"off the bar onto a hint to its left: below the bar instead",
         {370, 10, 100, 40},
         {bar, {250, 0, 100, 60}},
         {370, 150, 100, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QRect placed = hintClearOf(c.box, c.keepClear, panel);
        EXPECT_EQ(placed, c.expected);
        if (!c.keepClear.empty() && !c.keepClear.front().isEmpty()) {
            EXPECT_FALSE(placed.intersects(c.keepClear.front()));
        }
    }
}

TEST(HintPlacement, TheSecondLegHintNeverCoversTheFirstOrTheBar)
{
    // Two places a few pixels apart at every spot under and beside the bar: the second
    // hint, placed after the first, covers neither the first nor the bar.
    const QRect panel(0, 0, 800, 600);
    const QRect bar(360, 0, 440, 150);
    for (int x = 200; x < 760; x += 23)
        for (int y = 0; y < 200; y += 17) {
            const QRect first = hintClearOf({x, y, 120, 40}, bar, panel);
            const std::vector<QRect> keepClear{bar, first};
            const QRect second = hintClearOf({x + 4, y + 6, 110, 40}, keepClear, panel);
            ASSERT_FALSE(second.intersects(bar)) << x << "," << y;
            ASSERT_FALSE(second.intersects(first)) << x << "," << y;
            ASSERT_TRUE(panel.contains(second)) << x << "," << y;
        }
}

} // namespace
