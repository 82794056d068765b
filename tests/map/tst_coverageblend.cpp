// SPDX-License-Identifier: MIT
#include "map/coverageblend.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <vector>

using namespace vdm;

TEST(CoverageBlend, TheRuleForNoneFullAndPartCoverage)
{
    const struct {
        std::uint32_t under;
        unsigned char a;
        std::uint32_t colour, expected;
    } cases[] = {
        {0x12345678u, 0, 0xFFFFFFFFu, 0x12345678u}, // untouched, whatever its top byte
        {0xFF000000u, 255, 0xFF102030u, 0xFF102030u},
        {0xFF000000u, 128, 0xFFFFFFFFu, 0xFF808080u}, // weight 129 of 256
        {0xFFFFFFFFu, 1, 0xFF000000u, 0xFFFEFEFEu},
        {0x00FF0000u, 64, 0xFF0000FFu, 0xFFBF003Fu}, // the result is opaque
    };
    for (const auto& c : cases) {
        for (const int n : {1, 4, 7}) { // alone, in a group of four, and in the tail
            std::vector<std::uint32_t> row(size_t(n), c.under);
            const std::vector<unsigned char> mask(size_t(n), c.a);
            blendCoverage(row.data(), mask.data(), n, c.colour);
            for (const std::uint32_t p : row)
                EXPECT_EQ(p, c.expected) << std::hex << c.under << " a " << int(c.a) << " n " << std::dec << n;
        }
    }
}

TEST(CoverageBlend, FourAtATimeEqualsOneAtATime)
{
    QRandomGenerator rng(11);
    for (int round = 0; round < 2000; ++round) {
        const int n = int(rng.bounded(0, 40));
        std::vector<std::uint32_t> a(size_t(n) + 1), b;
        std::vector<unsigned char> mask(size_t(n) + 1);
        for (int i = 0; i < n; ++i) {
            a[size_t(i)] = rng.generate();
            const int kind = int(rng.bounded(4)); // plenty of the two ends
            mask[size_t(i)] = kind == 0 ? 0 : kind == 1 ? 255 : (unsigned char)rng.bounded(256);
        }
        b = a;
        const std::uint32_t colour = 0xFF000000u | (rng.generate() & 0xFFFFFFu);
        blendCoverage(a.data(), mask.data(), n, colour);
        blendCoverageScalar(b.data(), mask.data(), n, colour);
        ASSERT_EQ(a, b) << "round " << round;
    }
}
