// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>

namespace vdm::worldgen {

/**
 * Smooth 2-D value noise from a seeded, periodic 256 x 256 lattice, with fractal sums
 * of octaves. Input coordinates are in lattice cells (any real values); outputs lie in
 * [0, 1]. The lattice is a table, so a sample costs four look-ups and a blend.
 */
class ValueNoise {
public:
    explicit ValueNoise(std::uint64_t seed);

    float sample(float x, float y) const;
    /** Sum of `octaves` octaves, each twice the frequency and `gain` times the weight. */
    float fractal(float x, float y, int octaves, float gain = 0.5f) const;
    /** Ridged octaves (1 - |2n - 1|, squared): sharp crests for mountain chains. */
    float ridged(float x, float y, int octaves) const;

private:
    std::array<float, 256 * 256> m_lattice;
};

} // namespace vdm::worldgen
