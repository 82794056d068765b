// SPDX-License-Identifier: MIT
#include "map/pixelfill.h"

#include <algorithm>

namespace vdm {

void fillPixels(std::uint32_t* out, std::size_t n, std::uint32_t c)
{
#if defined(__GNUC__) && defined(__x86_64__)
    // Below a few cache lines the string store's start-up costs more than it saves.
    constexpr std::size_t StringStoreFrom = 64;
    if (n >= StringStoreFrom) {
        asm volatile("rep stosl" : "+D"(out), "+c"(n) : "a"(c) : "memory");
        return;
    }
#endif
    std::fill_n(out, n, c);
}

} // namespace vdm
