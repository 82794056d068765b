// SPDX-License-Identifier: MIT
#include "worldgen/worldpainter.h"

#include "data/errors.h"
#include "worldgen/random.h"
#include "worldgen/terrain.h"
#include "worldgen/valuenoise.h"

#include <algorithm>
#include <cmath>

namespace vdm::worldgen::WorldPainter {
namespace {

struct Rgb {
    float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scaled(Rgb c, float k)
{
    return {c.r * k, c.g * k, c.b * k};
}

float smoothstep(float lo, float hi, float v)
{
    const float t = std::clamp((v - lo) / (hi - lo), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

unsigned char channel(float v)
{
    return static_cast<unsigned char>(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

// The palette of a water-coloured map.
constexpr Rgb DeepSea{24, 56, 100}, OpenSea{38, 90, 136}, ShallowSea{84, 148, 168}, Surf{142, 190, 188};
constexpr Rgb CoastInk{70, 74, 60}, Sand{220, 204, 152}, DryPlain{200, 188, 122}, LushPlain{122, 156, 80};
constexpr Rgb Hills{160, 148, 104}, Rock{134, 124, 114}, Snow{240, 240, 244};
constexpr Rgb Forest{56, 94, 48}, HighForest{46, 78, 56}, FreshWater{62, 116, 156};

struct Painter {
    const Terrain& terrain;
    ValueNoise detail, patches, paper;

    Rgb colourAt(float gx, float gy, float hx, float hy) const
    {
        float h = terrain.heightAt(gx, gy);
        // Fine relief only along the shore, so that coasts look drawn, not interpolated.
        if (std::fabs(h) < 0.06f)
            h += (detail.fractal(hx / 9.0f, hy / 9.0f, 2) - 0.5f) * 0.02f;

        Rgb c;
        if (h <= 0.0f) {
            const float depth = -h;
            c = mix(ShallowSea, OpenSea, smoothstep(0.0f, 0.30f, depth));
            c = mix(c, DeepSea, smoothstep(0.30f, 0.85f, depth));
            c = mix(c, Surf, 1.0f - smoothstep(0.0f, 0.035f, depth));
            c = scaled(c, 0.97f + 0.06f * patches.sample(hx / 9.0f + hy / 31.0f, hy / 3.0f));
            c = mix(c, CoastInk, 0.65f * (1.0f - smoothstep(0.0f, 0.010f, depth)));
            return c;
        }

        const float moisture = terrain.moistureAt(gx, gy);
        c = mix(DryPlain, LushPlain, smoothstep(0.15f, 0.75f, moisture));
        c = mix(c, Hills, smoothstep(0.22f, 0.50f, h));
        c = mix(c, Rock, smoothstep(0.48f, 0.70f, h));
        c = mix(Sand, c, smoothstep(0.012f, 0.04f, h));

        if (h > 0.03f && h < 0.62f) {
            const float clump = patches.fractal(hx / 60.0f, hy / 60.0f, 3);
            const float cover = smoothstep(0.70f, 0.76f, moisture * 0.75f + clump * 0.65f) * (1.0f - smoothstep(0.50f, 0.62f, h))
                * smoothstep(0.03f, 0.05f, h);
            if (cover > 0.0f) {
                const float crowns = 0.78f + 0.34f * detail.sample(hx / 3.2f, hy / 3.2f);
                c = mix(c, scaled(mix(Forest, HighForest, smoothstep(0.2f, 0.5f, h)), crowns), cover);
            }
        }
        c = mix(c, Snow, smoothstep(0.80f, 0.92f, h + 0.06f * (detail.sample(hx / 11.0f, hy / 11.0f) - 0.5f)));
        c = scaled(c, terrain.shadeAt(gx, gy));

        const float water = terrain.waterAt(gx, gy);
        if (water > 0.35f)
            c = mix(c, scaled(FreshWater, water > 0.5f ? 1.0f : 0.8f), smoothstep(0.35f, 0.5f, water));
        return c;
    }
};

} // namespace

QImage paint(const Terrain& terrain, std::uint64_t seed, QSize size)
{
    if (size.isEmpty())
        throw Error(QStringLiteral("The map picture cannot be %1 x %2 pixels").arg(size.width()).arg(size.height()));
    QImage picture(size, QImage::Format_RGB888);
    if (picture.isNull())
        throw Error(QStringLiteral("Not enough memory for a %1 x %2 map picture").arg(size.width()).arg(size.height()));

    const Painter painter{terrain, ValueNoise(Random::hash(seed, 20)), ValueNoise(Random::hash(seed, 21)),
                          ValueNoise(Random::hash(seed, 22))};
    // Noise is sampled in full-size picture pixels so a smaller picture shows the same world.
    const float toFull = 3300.0f / float(size.width()), toFullY = 3800.0f / float(size.height());
    for (int py = 0; py < size.height(); ++py) {
        unsigned char* row = picture.scanLine(py);
        const float hy = (float(py) + 0.5f) * toFullY;
        const float gy = hy / Terrain::CellPixels - 0.5f;
        const float edgeY = std::min(hy, 3800.0f - hy);
        for (int px = 0; px < size.width(); ++px) {
            const float hx = (float(px) + 0.5f) * toFull;
            const float gx = hx / Terrain::CellPixels - 0.5f;
            Rgb c = painter.colourAt(gx, gy, hx, hy);
            // Paper: a slow blotchy tone, a fine grain and darker edges like an old sheet.
            const float edge = std::min(std::min(hx, 3300.0f - hx), edgeY);
            float tone = 0.95f + 0.08f * painter.paper.fractal(hx / 280.0f, hy / 280.0f, 2);
            tone *= 0.975f + 0.05f * painter.paper.sample(hx / 1.6f + 100.0f, hy / 1.6f);
            tone *= 0.82f + 0.18f * smoothstep(0.0f, 120.0f, edge);
            row[3 * px] = channel(c.r * tone);
            row[3 * px + 1] = channel(c.g * tone);
            row[3 * px + 2] = channel(c.b * tone);
        }
    }
    return picture;
}

QImage downscale(const QImage& source, int factor)
{
    const QImage picture = source.format() == QImage::Format_RGB888 ? source : source.convertToFormat(QImage::Format_RGB888);
    if (factor < 1 || picture.width() % factor || picture.height() % factor)
        throw Error(QStringLiteral("A %1 x %2 picture cannot be reduced by %3").arg(picture.width()).arg(picture.height()).arg(factor));
    QImage small(picture.width() / factor, picture.height() / factor, QImage::Format_RGB888);
    const int area = factor * factor;
    std::vector<int> sums(std::size_t(small.width()) * 3);
    for (int y = 0; y < small.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int k = 0; k < factor; ++k) {
            const unsigned char* row = picture.constScanLine(y * factor + k);
            for (int x = 0; x < picture.width(); ++x)
                for (int ch = 0; ch < 3; ++ch)
                    sums[std::size_t(x / factor) * 3 + ch] += row[3 * x + ch];
        }
        unsigned char* out = small.scanLine(y);
        for (std::size_t i = 0; i < sums.size(); ++i)
            out[i] = static_cast<unsigned char>((sums[i] + area / 2) / area);
    }
    return small;
}

} // namespace vdm::worldgen::WorldPainter
