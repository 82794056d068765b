// SPDX-License-Identifier: MIT
#include "map/pixelfill.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vdm;

TEST(PixelFill, WritesExactlyTheRunAtAnyLengthAndStart)
{
    // Lengths on both sides of where the string store takes over, from odd starts.
    constexpr std::uint32_t Before = 0x11223344u, Colour = 0xFF4F4842u;
    for (const size_t n : {size_t(0), size_t(1), size_t(3), size_t(63), size_t(64), size_t(65), size_t(1000)}) {
        for (const size_t start : {size_t(0), size_t(1), size_t(7)}) {
            std::vector<std::uint32_t> row(start + n + 9, Before);
            fillPixels(row.data() + start, n, Colour);
            for (size_t i = 0; i < row.size(); ++i)
                ASSERT_EQ(row[i], i >= start && i < start + n ? Colour : Before)
                    << "length " << n << " from " << start << " at " << i;
        }
    }
}
