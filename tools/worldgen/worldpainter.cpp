// SPDX-License-Identifier: MIT
#include "worldgen/worldpainter.h"

#include "data/errors.h"
#include "worldgen/random.h"
#include "worldgen/terrain.h"
#include "worldgen/valuenoise.h"

#include <QPainter>

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
constexpr Rgb Foam{214, 228, 216}, CoastInk{70, 74, 60}, Sand{220, 204, 152}, DryPlain{200, 188, 122};
constexpr Rgb LushPlain{122, 156, 80}, Hills{160, 148, 104}, Rock{134, 124, 114}, Snow{240, 240, 244};
constexpr Rgb Forest{56, 94, 48}, HighForest{46, 78, 56}, FreshWater{62, 116, 156}, RiverBank{52, 78, 84};

// Trees stand on a jittered lattice of this many full-size pixels; each crown is a small
// dab lit from the upper left, like the stipple an engraver gives a wood.
constexpr float TreeCell = 5.0f;

struct Painter {
    const Terrain& terrain;
    ValueNoise detail, patches, paper;
    std::uint64_t treeSeed;

    /**
     * The crown covering a pixel, as a brightness factor (lit side above 1, shaded side
     * below), or 0 between crowns. `cover` is the share of lattice cells holding a tree.
     */
    float crownAt(float hx, float hy, float cover) const
    {
        const int cx = int(std::floor(hx / TreeCell)), cy = int(std::floor(hy / TreeCell));
        float light = 0.0f;
        // Rows further down are drawn later, so a tree in front hides the one behind it.
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const std::uint64_t h = Random::hash(treeSeed, std::uint64_t(std::int64_t(cx + dx)),
                                                     std::uint64_t(std::int64_t(cy + dy)));
                if (float(h & 1023) / 1024.0f >= cover)
                    continue;
                const float tx = (float(cx + dx) + 0.15f + 0.7f * float((h >> 10) & 255) / 255.0f) * TreeCell;
                const float ty = (float(cy + dy) + 0.15f + 0.7f * float((h >> 18) & 255) / 255.0f) * TreeCell;
                const float radius = 1.7f + 1.3f * float((h >> 26) & 255) / 255.0f;
                const float ox = (hx - tx) / radius, oy = (hy - ty) / radius;
                const float d2 = ox * ox + oy * oy;
                if (d2 < 1.0f)
                    light = 1.18f - 0.32f * (ox + oy + 1.0f) * 0.5f - 0.22f * d2;
            }
        return light;
    }

    /**
     * A grid field sampled through a small tent around the point: bilinear alone shows
     * the 4-pixel cells as creases at full size.
     */
    template <typename Field> static float soft(Field field, float gx, float gy, float reach)
    {
        return 0.25f
               * (field(gx - reach, gy - reach) + field(gx + reach, gy - reach) + field(gx - reach, gy + reach)
                  + field(gx + reach, gy + reach));
    }

    Rgb colourAt(float gx, float gy, float hx, float hy) const
    {
        float h = terrain.heightAt(gx, gy);
        // Fine relief only along the shore, so that coasts look drawn, not interpolated.
        if (std::fabs(h) < 0.06f)
            h += (detail.fractal(hx / 9.0f, hy / 9.0f, 3) - 0.5f) * 0.022f;

        // Brush work: several octaves down to a pixel and a diagonal streak, the marks a
        // wet brush leaves, so the sheet has texture at full size.
        const float grain = detail.fractal(hx / 22.0f + 50.0f, hy / 22.0f, 5);
        const float streak = patches.sample((hx + hy) / 3.2f, (hx - hy) / 15.0f);

        Rgb c;
        if (h <= 0.0f) {
            const float depth = -h;
            c = mix(ShallowSea, OpenSea, smoothstep(0.0f, 0.30f, depth));
            c = mix(c, DeepSea, smoothstep(0.30f, 0.85f, depth));
            c = mix(c, Surf, 1.0f - smoothstep(0.0f, 0.045f, depth));
            c = scaled(c, 0.95f + 0.06f * patches.sample(hx / 9.0f + hy / 31.0f, hy / 3.0f) + 0.05f * grain);
            // Surf: a light band along the shore and a fainter line of breakers further
            // out, both broken where the noise is low.
            if (depth >= 0.04f)
                return c; // open water: no surf, no ink
            const float broken = smoothstep(0.36f, 0.60f, detail.fractal(hx / 12.0f, hy / 12.0f + 70.0f, 3));
            const float band = 1.0f - smoothstep(0.004f, 0.020f, depth);
            const float breakers = std::max(0.0f, 1.0f - std::fabs(depth - 0.034f) / 0.006f);
            c = mix(c, Foam, 0.75f * band * broken + 0.35f * breakers * broken * broken);
            c = mix(c, CoastInk, 0.65f * (1.0f - smoothstep(0.0f, 0.008f, depth)));
            return c;
        }

        const float moisture = terrain.moistureAt(gx, gy);
        c = mix(DryPlain, LushPlain, smoothstep(0.15f, 0.75f, moisture));
        c = mix(c, Hills, smoothstep(0.22f, 0.50f, h));
        c = mix(c, Rock, smoothstep(0.48f, 0.70f, h));
        c = mix(Sand, c, smoothstep(0.012f, 0.04f, h));
        c = scaled(c, 0.84f + 0.28f * grain + 0.10f * (streak - 0.5f));

        if (h > 0.03f && h < 0.62f) {
            const float clump = patches.fractal(hx / 60.0f, hy / 60.0f, 3);
            const float cover = smoothstep(0.66f, 0.78f, moisture * 0.75f + clump * 0.65f)
                                * (1.0f - smoothstep(0.50f, 0.62f, h)) * smoothstep(0.03f, 0.05f, h);
            if (cover > 0.0f) {
                const Rgb wood = mix(Forest, HighForest, smoothstep(0.2f, 0.5f, h));
                // The floor between crowns is the wood in shadow; the crowns stand on it.
                c = mix(c, scaled(wood, 0.72f + 0.10f * grain), smoothstep(0.25f, 0.6f, cover));
                const float crown = crownAt(hx, hy, std::min(1.0f, cover * 1.15f));
                if (crown > 0.0f)
                    c = scaled(mix(wood, LushPlain, 0.18f * (1.0f - grain)), crown * (0.94f + 0.12f * streak));
            }
        }
        c = mix(c, Snow, smoothstep(0.80f, 0.92f, h + 0.06f * (detail.sample(hx / 11.0f, hy / 11.0f) - 0.5f)));
        // Hill shading from the relief, plus brush-scale bumps lit from the upper left
        // that grow with the height, so slopes show strokes instead of smooth gradients.
        const float shade = soft([this](float x, float y) { return terrain.shadeAt(x, y); }, gx, gy, 0.6f);
        const float bumps = detail.fractal((hx - 1.0f) / 7.0f, (hy - 1.0f) / 7.0f, 3)
                            - detail.fractal((hx + 1.0f) / 7.0f, (hy + 1.0f) / 7.0f, 3);
        c = scaled(c, shade * (1.0f + bumps * (0.25f + 0.6f * smoothstep(0.1f, 0.6f, h))));

        // Lakes only: the rivers are drawn as strokes over the finished sheet.
        // The shore noise moves the edge by at most 0.15, so far from a lake it is not sampled.
        const float lakeShape = soft([this](float x, float y) { return terrain.lakeAt(x, y); }, gx, gy, 0.9f);
        const float lake
            = lakeShape > 0.25f ? lakeShape + (detail.fractal(hx / 8.0f, hy / 8.0f, 2) - 0.5f) * 0.3f : 0.0f;
        if (lake > 0.40f) {
            const Rgb water = scaled(FreshWater, 0.96f + 0.08f * streak);
            c = mix(c, RiverBank, smoothstep(0.40f, 0.46f, lake));
            c = mix(c, water, smoothstep(0.47f, 0.55f, lake));
        }
        return c;
    }
};

/**
 * Draws every river as an antialiased stroke that widens downstream, over a darker bank,
 * on a picture of any size (coordinates in full-size pixels, scaled to the picture).
 */
void drawRivers(QImage& picture, const Terrain& terrain, const ValueNoise& swells)
{
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(double(picture.width()) / 3300.0, double(picture.height()) / 3800.0);
    struct Stroke {
        QPointF from, to;
        double width;
    };
    std::vector<Stroke> strokes;
    for (std::size_t river = 0; river < terrain.rivers().size(); ++river) {
        const std::vector<QPoint>& course = terrain.rivers()[river];
        const int n = int(course.size());
        // The grid course runs in steps of whole cells; a running mean turns the
        // staircase into a bend without leaving the cells the river occupies.
        constexpr int Reach = 3;
        std::vector<QPointF> line{std::size_t(n)};
        for (int i = 0; i < n; ++i) {
            const int r = std::min({Reach, i, n - 1 - i});
            double x = 0.0, y = 0.0;
            for (int k = i - r; k <= i + r; ++k) {
                x += course[std::size_t(k)].x();
                y += course[std::size_t(k)].y();
            }
            line[std::size_t(i)]
                = QPointF((x / (2 * r + 1) + 0.5) * Terrain::CellPixels, (y / (2 * r + 1) + 0.5) * Terrain::CellPixels);
        }
        auto inLake = [&](int i) {
            return terrain.lakeAt(float(course[std::size_t(i)].x()), float(course[std::size_t(i)].y())) > 0.5f;
        };
        for (int i = 1; i < n; ++i) {
            // A river crossing a lake is open water there, not a stroke with banks.
            if (inLake(i - 1) && inLake(i))
                continue;
            // The width swells and narrows a little along the way, as a hand-drawn line does.
            const double swell = 0.88 + 0.24 * double(swells.sample(float(i) / 23.0f, 7.3f * float(river)));
            strokes.push_back({line[std::size_t(i - 1)], line[std::size_t(i)],
                               (1.2 + 5.0 * std::min(1.0, double(i) / 520.0)) * swell});
        }
    }
    // All banks first, then all water, so a river joining another meets it in open water.
    for (int pass = 0; pass < 2; ++pass) {
        const Rgb colour = pass == 0 ? RiverBank : FreshWater;
        for (const Stroke& s : strokes) {
            p.setPen(QPen(QColor(int(colour.r), int(colour.g), int(colour.b)), s.width + (pass == 0 ? 1.6 : 0.0),
                          Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(s.from, s.to);
        }
    }
}

} // namespace

QImage paint(const Terrain& terrain, std::uint64_t seed, QSize size)
{
    if (size.isEmpty())
        throw Error(QStringLiteral("The map picture cannot be %1 x %2 pixels").arg(size.width()).arg(size.height()));
    // Painted as 32-bit so the river strokes go through the raster engine's fast path.
    QImage picture(size, QImage::Format_RGB32);
    if (picture.isNull())
        throw Error(QStringLiteral("Not enough memory for a %1 x %2 map picture").arg(size.width()).arg(size.height()));

    const Painter painter{terrain, ValueNoise(Random::hash(seed, 20)), ValueNoise(Random::hash(seed, 21)),
                          ValueNoise(Random::hash(seed, 22)), Random::hash(seed, 23)};
    // Noise is sampled in full-size picture pixels so a smaller picture shows the same world.
    const float toFull = 3300.0f / float(size.width()), toFullY = 3800.0f / float(size.height());
    for (int py = 0; py < size.height(); ++py) {
        QRgb* row = reinterpret_cast<QRgb*>(picture.scanLine(py));
        const float hy = (float(py) + 0.5f) * toFullY;
        const float gy = hy / Terrain::CellPixels - 0.5f;
        for (int px = 0; px < size.width(); ++px) {
            const float hx = (float(px) + 0.5f) * toFull;
            const float gx = hx / Terrain::CellPixels - 0.5f;
            const Rgb c = painter.colourAt(gx, gy, hx, hy);
            row[px] = qRgb(channel(c.r), channel(c.g), channel(c.b));
        }
    }
    drawRivers(picture, terrain, painter.patches);

    // Paper over everything, rivers included: a slow blotchy tone, a fine grain and
    // darker edges like an old sheet.
    for (int py = 0; py < size.height(); ++py) {
        QRgb* row = reinterpret_cast<QRgb*>(picture.scanLine(py));
        const float hy = (float(py) + 0.5f) * toFullY;
        const float edgeY = std::min(hy, 3800.0f - hy);
        for (int px = 0; px < size.width(); ++px) {
            const float hx = (float(px) + 0.5f) * toFull;
            const float edge = std::min(std::min(hx, 3300.0f - hx), edgeY);
            float tone = 0.95f + 0.08f * painter.paper.fractal(hx / 280.0f, hy / 280.0f, 2);
            tone *= 0.975f + 0.05f * painter.paper.sample(hx / 1.6f + 100.0f, hy / 1.6f);
            tone *= 0.82f + 0.18f * smoothstep(0.0f, 120.0f, edge);
            const QRgb v = row[px];
            row[px] = qRgb(channel(float(qRed(v)) * tone), channel(float(qGreen(v)) * tone),
                           channel(float(qBlue(v)) * tone));
        }
    }
    return picture.convertToFormat(QImage::Format_RGB888);
}

QImage downscale(const QImage& source, int factor)
{
    const QImage picture
        = source.format() == QImage::Format_RGB888 ? source : source.convertToFormat(QImage::Format_RGB888);
    if (factor < 1 || picture.width() % factor || picture.height() % factor)
        throw Error(QStringLiteral("A %1 x %2 picture cannot be reduced by %3")
                        .arg(picture.width())
                        .arg(picture.height())
                        .arg(factor));
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
