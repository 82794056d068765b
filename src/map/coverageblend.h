// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

namespace vdm {

/**
 * Blends `n` pixels of colour `c` over `out` by 8-bit coverage `mask` (a caption's
 * antialiased ink): coverage 0 leaves a pixel as it is, 255 writes `c`, anything between
 * mixes in 1/256 steps per channel with weight a + a / 128, the result opaque. Eight or
 * four pixels at a time where the processor allows; the same result every way.
 */
void blendCoverage(std::uint32_t* out, const unsigned char* mask, int n, std::uint32_t c);

/**
 * The same over `rows` rows of `n` pixels, `outStride` pixels and `maskStride` bytes
 * apart (a caption's mask): what a row at a time gives, without readying the vector
 * unit for each row of a few dozen pixels.
 */
void blendCoverageRows(std::uint32_t* out, std::ptrdiff_t outStride, const unsigned char* mask,
                       std::ptrdiff_t maskStride, int n, int rows, std::uint32_t c);

/** The same, one pixel at a time: the rule itself. */
void blendCoverageScalar(std::uint32_t* out, const unsigned char* mask, int n, std::uint32_t c);

} // namespace vdm
