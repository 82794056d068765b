// SPDX-License-Identifier: MIT
// The progress line's texts: the counts and the pointer's place.
#include "edit/progresstext.h"

#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(ProgressText, NumbersKeepTheirThousandsApart)
{
    const struct {
        long long n;
        const char* text;
    } rows[] = {{0, "0"},         {57, "57"},         {640, "640"},         {1000, "1 000"},
                {12345, "12 345"}, {-6789, "-6 789"}, {-100, "-100"},       {100000, "100 000"},
                {-2147483648LL, "-2 147 483 648"}};
    for (const auto& r : rows)
        EXPECT_EQ(groupedNumber(r.n), QString::fromUtf8(r.text)) << r.n;
}

TEST(ProgressText, CountsAndPointer)
{
    EXPECT_EQ(progressText({57, 3, 580, 640}), QString::fromUtf8("Visited 57 \u00B7 Active 3 \u00B7 Unvisited 580 of 640"));
    EXPECT_EQ(pointerText({12345, -6789}, nullptr), QStringLiteral("x 12 345, y -6 789"));
    Location l;
    l.Name = "\xC9" "cluse";
    l.Region = "Gr\xFCn Weald";
    l.Kind = "castle";
    EXPECT_EQ(pointerText({1, 2}, &l), QString::fromUtf8("x 1, y 2 \u00B7 \u00C9cluse \u2014 Gr\u00FCn Weald \u00B7 castle"));
    l.Region.clear();
    EXPECT_EQ(pointerText({1, 2}, &l), QString::fromUtf8("x 1, y 2 \u00B7 \u00C9cluse \u2014 castle"));
    l.Kind = "  ";
    EXPECT_EQ(pointerText({1, 2}, &l), QString::fromUtf8("x 1, y 2 \u00B7 \u00C9cluse"));
}

} // namespace
} // namespace vdm
