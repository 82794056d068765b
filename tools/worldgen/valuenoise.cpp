// SPDX-License-Identifier: MIT
#include "worldgen/valuenoise.h"

#include "worldgen/random.h"

#include <cmath>

namespace vdm::worldgen {

ValueNoise::ValueNoise(std::uint64_t seed)
{
    Random random(seed);
    for (float& v : m_lattice)
        v = float(random.unit());
}

float ValueNoise::sample(float x, float y) const
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const int x0 = ix & 255, x1 = (ix + 1) & 255, y0 = (iy & 255) << 8, y1 = ((iy + 1) & 255) << 8;
    const float a = m_lattice[y0 | x0], b = m_lattice[y0 | x1];
    const float c = m_lattice[y1 | x0], d = m_lattice[y1 | x1];
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

float ValueNoise::fractal(float x, float y, int octaves, float gain) const
{
    float sum = 0.0f, weight = 1.0f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        // Each octave is shifted so the lattice points of the octaves do not line up.
        sum += weight * sample(x + 17.31f * float(i), y - 9.73f * float(i));
        total += weight;
        weight *= gain;
        x *= 2.03f;
        y *= 2.03f;
    }
    return sum / total;
}

float ValueNoise::ridged(float x, float y, int octaves) const
{
    float sum = 0.0f, weight = 1.0f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        float n = 1.0f - std::fabs(2.0f * sample(x + 31.7f * float(i), y + 5.1f * float(i)) - 1.0f);
        sum += weight * n * n;
        total += weight;
        weight *= 0.5f;
        x *= 2.07f;
        y *= 2.07f;
    }
    return sum / total;
}

} // namespace vdm::worldgen
