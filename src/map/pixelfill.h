// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>

namespace vdm {

/**
 * Writes `n` pixels of colour `c` from `out` on. Long runs (the background beside the
 * picture, a frame of a 3840-pixel buffer) go through the processor's string store,
 * which writes whole cache lines without reading them first: on a buffer far larger
 * than the caches that is several times faster than a loop of vector stores.
 */
void fillPixels(std::uint32_t* out, std::size_t n, std::uint32_t c);

} // namespace vdm
