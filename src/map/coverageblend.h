// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace vdm {

/**
 * Blends `n` pixels of colour `c` over `out` by 8-bit coverage `mask` (a caption's
 * antialiased ink): coverage 0 leaves a pixel as it is, 255 writes `c`, anything between
 * mixes in 1/256 steps per channel with weight a + a / 128, the result opaque. Eight or
 * four pixels at a time where the processor allows; the same result every way.
 */
void blendCoverage(std::uint32_t* out, const unsigned char* mask, int n, std::uint32_t c);

/** The same, one pixel at a time: the rule itself. */
void blendCoverageScalar(std::uint32_t* out, const unsigned char* mask, int n, std::uint32_t c);

} // namespace vdm
