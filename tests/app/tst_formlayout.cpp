// SPDX-License-Identifier: MIT
// The window state as the settings file stores it, both ways.
#include "app/formlayout.h"

#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(FormLayoutTest, WindowStateCodes)
{
    const struct {
        Qt::WindowStates states;
        int code;
    } rows[] = {
        {Qt::WindowNoState, 0},
        {Qt::WindowActive, 0},
        {Qt::WindowFullScreen, 0},
        {Qt::WindowMinimized, 1},
        {Qt::WindowMaximized, 2},
        {Qt::WindowMinimized | Qt::WindowMaximized, 1}, // minimised over a maximised window
        {Qt::WindowMaximized | Qt::WindowActive, 2},
    };
    for (const auto& r : rows)
        EXPECT_EQ(windowStateCode(r.states), r.code) << int(r.states);
}

TEST(FormLayoutTest, StoredStatesAddToTheWindowsOwn)
{
    const struct {
        Qt::WindowStates before;
        int code;
        Qt::WindowStates after;
    } rows[] = {
        {Qt::WindowNoState, 0, Qt::WindowNoState},
        {Qt::WindowNoState, 1, Qt::WindowMinimized},
        {Qt::WindowNoState, 2, Qt::WindowMaximized},
        {Qt::WindowActive, 2, Qt::WindowActive | Qt::WindowMaximized},
        {Qt::WindowMaximized, 1, Qt::WindowMaximized | Qt::WindowMinimized},
        {Qt::WindowMaximized, 0, Qt::WindowMaximized},
        {Qt::WindowNoState, 3, Qt::WindowNoState}, // the settings file gives 0..2 only
    };
    for (const auto& r : rows)
        EXPECT_EQ(withWindowState(r.before, r.code), r.after) << int(r.before) << " " << r.code;
}

} // namespace
} // namespace vdm
