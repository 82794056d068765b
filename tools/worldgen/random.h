// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace vdm::worldgen {

/**
 * A small seeded generator (SplitMix64) owned by whoever draws from it. The standard
 * library's distributions differ between implementations, so every draw here is our own
 * arithmetic: the same seed gives the same world on every build.
 */
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    /** Uniform in [0, 1). */
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * unit(); }
    /** Uniform in [0, n); n > 0. */
    int below(int n) { return int(next() % std::uint64_t(n)); }
    bool chance(double p) { return unit() < p; }

    /** A stateless hash of a few integers, for noise lattices. */
    static std::uint64_t hash(std::uint64_t a, std::uint64_t b = 0, std::uint64_t c = 0)
    {
        Random r(a * 0x9E3779B97F4A7C15ULL ^ (b + 0x632BE59BD9B4E019ULL) * 0xC2B2AE3D27D4EB4FULL
                 ^ c * 0x165667B19E3779F9ULL);
        return r.next();
    }

private:
    std::uint64_t m_state;
};

} // namespace vdm::worldgen
