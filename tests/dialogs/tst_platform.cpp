// SPDX-License-Identifier: MIT
// What the window system lets the program do, by the name of Qt's platform plugin.
#include "dialogs/platform.h"

#include <QString>
#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(Platform, OnlyWaylandKeepsWindowPositionsToItself)
{
    const struct {
        const char* name;
        bool known;
    } rows[] = {
        {"xcb", true},          {"offscreen", true}, {"minimal", true}, {"wayland", false},
        {"wayland-egl", false}, {"Wayland", false},  {"", true},
    };
    for (const auto& r : rows)
        EXPECT_EQ(WindowPositionsKnown(QString::fromLatin1(r.name)), r.known) << r.name;
    // The offscreen platform the tests run on places windows where asked.
    EXPECT_TRUE(WindowPositionsKnown());
}

} // namespace
} // namespace vdm
