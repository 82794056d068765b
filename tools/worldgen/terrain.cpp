// SPDX-License-Identifier: MIT
#include "worldgen/terrain.h"

#include "worldgen/random.h"
#include "worldgen/valuenoise.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <queue>

namespace vdm::worldgen {
namespace {

constexpr int W = Terrain::GridWidth, H = Terrain::GridHeight;
constexpr float LandShare = 0.40f;

float smoothstep(float lo, float hi, float v)
{
    const float t = std::clamp((v - lo) / (hi - lo), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

struct Blob {
    float cx, cy, rx, ry, weight;
};

} // namespace

Terrain::Terrain(std::uint64_t seed)
{
    buildHeight(seed);
    buildSeaDistance();
    buildWater(seed);
    buildMoisture(seed);
    buildShade();
}

QPointF Terrain::mapToGrid(double x, double y)
{
    const double px = (x + 125000.0) * 3300.0 / 300000.0;
    const double py = (220000.0 - y) * 3800.0 / 350000.0;
    return {px / CellPixels - 0.5, py / CellPixels - 0.5};
}

float Terrain::bilinear(const std::vector<float>& grid, float gx, float gy) const
{
    gx = std::clamp(gx, 0.0f, float(W - 1));
    gy = std::clamp(gy, 0.0f, float(H - 1));
    const int x0 = std::min(int(gx), W - 2), y0 = std::min(int(gy), H - 2);
    const float tx = gx - float(x0), ty = gy - float(y0);
    const float* row = grid.data() + index(x0, y0);
    const float top = row[0] + (row[1] - row[0]) * tx;
    const float bottom = row[W] + (row[W + 1] - row[W]) * tx;
    return top + (bottom - top) * ty;
}

bool Terrain::isLand(int x, int y) const
{
    const QPointF g = mapToGrid(x, y);
    if (g.x() < 0 || g.y() < 0 || g.x() > W - 1 || g.y() > H - 1)
        return false;
    // The painter adds a little fine relief along the coast; the margin keeps every
    // place on ground that is land in the picture too.
    return heightAt(g.x(), g.y()) > 0.03f && waterAt(g.x(), g.y()) < 0.2f;
}

double Terrain::seaDistance(int x, int y) const
{
    const QPointF g = mapToGrid(x, y);
    return seaDistanceAt(g.x(), g.y()) * 300000.0 / W;
}

double Terrain::height(int x, int y) const
{
    const QPointF g = mapToGrid(x, y);
    return heightAt(g.x(), g.y());
}

double Terrain::landFraction() const
{
    const auto land = std::count_if(m_height.begin(), m_height.end(), [](float h) { return h > 0.0f; });
    return double(land) / double(m_height.size());
}

void Terrain::buildHeight(std::uint64_t seed)
{
    Random random(Random::hash(seed, 1));
    const ValueNoise warpX(Random::hash(seed, 2)), warpY(Random::hash(seed, 3));
    const ValueNoise base(Random::hash(seed, 4)), ridges(Random::hash(seed, 5)), ranges(Random::hash(seed, 6));

    // One large continent, slightly off centre, and a scatter of islands in the open sea.
    const Blob continent{float(W) * float(random.range(0.44, 0.54)), float(H) * float(random.range(0.42, 0.52)),
                         float(W) * float(random.range(0.30, 0.35)), float(H) * float(random.range(0.31, 0.35)), 1.0f};
    std::vector<Blob> islands;
    for (int tries = 0; tries < 400 && islands.size() < 11; ++tries) {
        const float cx = float(random.range(0.07, 0.93)) * W, cy = float(random.range(0.06, 0.94)) * H;
        const float dx = (cx - continent.cx) / continent.rx, dy = (cy - continent.cy) / continent.ry;
        if (dx * dx + dy * dy < 1.45f)
            continue;
        const float r = float(random.range(14.0, 46.0));
        islands.push_back({cx, cy, r * float(random.range(0.7, 1.3)), r * float(random.range(0.7, 1.3)), 0.8f});
    }

    m_height.assign(std::size_t(W) * H, 0.0f);
    for (int gy = 0; gy < H; ++gy) {
        for (int gx = 0; gx < W; ++gx) {
            // Warping the coordinates before measuring the blobs frays the coasts into
            // bays and capes instead of ellipses.
            const float wx = float(gx) + 70.0f * (warpX.fractal(gx / 150.0f, gy / 150.0f, 4) - 0.5f) * 2.0f;
            const float wy = float(gy) + 70.0f * (warpY.fractal(gx / 150.0f, gy / 150.0f, 4) - 0.5f) * 2.0f;
            float shape = -1.0f;
            auto measure = [&](const Blob& b) {
                const float dx = (wx - b.cx) / b.rx, dy = (wy - b.cy) / b.ry;
                shape = std::max(shape, b.weight * (1.0f - std::sqrt(dx * dx + dy * dy)));
            };
            measure(continent);
            for (const Blob& b : islands)
                measure(b);

            float h = shape * 1.1f + (base.fractal(wx / 130.0f, wy / 130.0f, 7, 0.52f) - 0.5f) * 1.2f;
            const float landness = std::clamp(shape * 3.0f + 0.3f, 0.0f, 1.0f);
            const float chain = smoothstep(0.50f, 0.68f, ranges.fractal(gx / 200.0f + 40.0f, gy / 200.0f, 3));
            h += chain * ridges.ridged(wx / 70.0f, wy / 70.0f, 4) * 0.95f * landness;
            h += 0.10f * ridges.ridged(wx / 45.0f + 90.0f, wy / 45.0f, 2) * landness;

            // Nothing touches the picture's edge: the world is framed by open sea.
            const float edge = float(std::min({gx, gy, W - 1 - gx, H - 1 - gy}));
            h -= 1.5f * (1.0f - smoothstep(0.0f, 40.0f, edge));
            m_height[index(gx, gy)] = h;
        }
    }

    // The sea level is chosen so that a fixed share of the world is land, whatever the noise.
    std::vector<float> sorted = m_height;
    const auto nth = sorted.begin() + std::ptrdiff_t(double(sorted.size()) * (1.0 - LandShare));
    std::nth_element(sorted.begin(), nth, sorted.end());
    const float seaLevel = *nth;
    float top = 1e-6f, bottom = -1e-6f;
    for (float& h : m_height) {
        h -= seaLevel;
        top = std::max(top, h);
        bottom = std::min(bottom, h);
    }
    for (float& h : m_height)
        h = h > 0.0f ? h / top : -h / bottom;
}

void Terrain::buildSeaDistance()
{
    // Two-pass chamfer distance (3-4 weights) from every sea cell.
    constexpr float Far = 1e9f;
    m_seaDistance.assign(std::size_t(W) * H, Far);
    for (std::size_t i = 0; i < m_height.size(); ++i)
        if (m_height[i] <= 0.0f)
            m_seaDistance[i] = 0.0f;
    auto relax = [&](int gx, int gy, int dx, int dy, float cost) {
        const int nx = gx + dx, ny = gy + dy;
        if (nx < 0 || ny < 0 || nx >= W || ny >= H)
            return;
        float& d = m_seaDistance[index(gx, gy)];
        d = std::min(d, m_seaDistance[index(nx, ny)] + cost);
    };
    for (int gy = 0; gy < H; ++gy)
        for (int gx = 0; gx < W; ++gx) {
            relax(gx, gy, -1, 0, 1.0f);
            relax(gx, gy, 0, -1, 1.0f);
            relax(gx, gy, -1, -1, 1.4142f);
            relax(gx, gy, 1, -1, 1.4142f);
        }
    for (int gy = H - 1; gy >= 0; --gy)
        for (int gx = W - 1; gx >= 0; --gx) {
            relax(gx, gy, 1, 0, 1.0f);
            relax(gx, gy, 0, 1, 1.0f);
            relax(gx, gy, 1, 1, 1.4142f);
            relax(gx, gy, -1, 1, 1.4142f);
        }
}

void Terrain::buildWater(std::uint64_t seed)
{
    m_water.assign(std::size_t(W) * H, 0.0f);
    m_lake.assign(std::size_t(W) * H, 0.0f);

    // Rivers follow the height field with its pits filled (priority flood from the sea),
    // so every river reaches the coast; a pit a river crosses becomes a lake.
    constexpr float Rise = 1e-5f;
    std::vector<float> filled(m_height.size(), 0.0f);
    std::vector<bool> done(m_height.size(), false);
    using Entry = std::pair<float, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    for (int i = 0; i < W * H; ++i)
        if (m_height[i] <= 0.0f) {
            filled[i] = m_height[i];
            done[i] = true;
            open.push({m_height[i], i});
        }
    while (!open.empty()) {
        const auto [level, i] = open.top();
        open.pop();
        const int x = i % W, y = i / W;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= W || ny >= H || done[index(nx, ny)])
                    continue;
                const int n = index(nx, ny);
                done[n] = true;
                // A random rise across filled flats lets rivers wander there instead of running straight.
                const float jitter = float(Random::hash(seed, std::uint64_t(n)) % 1024) / 256.0f;
                filled[n] = std::max(m_height[n], level + Rise * (0.25f + jitter));
                open.push({filled[n], n});
            }
    }

    auto stamp = [&](int cx, int cy, float radius) {
        const int r = int(std::ceil(radius));
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                const int x = cx + dx, y = cy + dy;
                if (x >= 0 && y >= 0 && x < W && y < H && float(dx * dx + dy * dy) <= radius * radius)
                    m_water[index(x, y)] = 1.0f;
            }
    };
    auto fillLake = [&](int x, int y) {
        const float level = filled[index(x, y)];
        std::deque<QPoint> queue{{x, y}};
        std::vector<int> lake{index(x, y)};
        std::vector<bool> seen(m_height.size(), false);
        seen[index(x, y)] = true;
        while (!queue.empty() && lake.size() <= 600) {
            const QPoint p = queue.front();
            queue.pop_front();
            const QPoint next[4] = {{p.x() + 1, p.y()}, {p.x() - 1, p.y()}, {p.x(), p.y() + 1}, {p.x(), p.y() - 1}};
            for (QPoint q : next) {
                if (q.x() < 0 || q.y() < 0 || q.x() >= W || q.y() >= H || seen[index(q.x(), q.y())])
                    continue;
                const int n = index(q.x(), q.y());
                seen[n] = true;
                if (m_height[n] > 0.0f && filled[n] - m_height[n] > 0.004f && std::fabs(filled[n] - level) < 0.01f) {
                    lake.push_back(n);
                    queue.push_back(q);
                }
            }
        }
        // Tiny hollows stay dry, and a basin too wide for a lake stays a plain the river
        // crosses; only the basins in between hold a lake.
        if (lake.size() >= 25 && lake.size() <= 600)
            for (int n : lake)
                m_water[n] = m_lake[n] = 1.0f;
    };

    Random random(Random::hash(seed, 7));
    std::vector<QPoint> sources;
    for (int attempt = 0; attempt < 2000 && sources.size() < 30; ++attempt) {
        const int sx = 20 + random.below(W - 40), sy = 20 + random.below(H - 40);
        if (m_height[index(sx, sy)] < 0.25f || m_seaDistance[index(sx, sy)] < 30.0f || m_water[index(sx, sy)] > 0.0f)
            continue;
        if (std::any_of(sources.begin(), sources.end(),
                        [&](QPoint p) { return std::hypot(p.x() - sx, p.y() - sy) < 55.0; }))
            continue;
        std::vector<QPoint> path{{sx, sy}};
        int x = sx, y = sy;
        while (path.size() < 6000 && m_height[index(x, y)] > 0.0f
               && (path.size() < 2 || m_water[index(x, y)] == 0.0f)) {
            float best = filled[index(x, y)];
            int bx = x, by = y;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx || dy) && nx >= 0 && ny >= 0 && nx < W && ny < H && filled[index(nx, ny)] < best) {
                        best = filled[index(nx, ny)];
                        bx = nx;
                        by = ny;
                    }
                }
            if (bx == x && by == y)
                break;
            // Diagonal steps go through an edge neighbour so that the river stays 4-connected.
            if (bx != x && by != y)
                path.push_back(filled[index(bx, y)] < filled[index(x, by)] ? QPoint(bx, y) : QPoint(x, by));
            path.push_back({bx, by});
            x = bx;
            y = by;
        }
        if (path.size() < 80)
            continue;
        sources.push_back({sx, sy});
        m_rivers.push_back(path);
        for (std::size_t i = 0; i < path.size(); ++i) {
            const QPoint p = path[i];
            stamp(p.x(), p.y(), 0.5f + std::min(1.2f, float(i) / 400.0f));
            if (filled[index(p.x(), p.y())] - m_height[index(p.x(), p.y())] > 0.02f)
                fillLake(p.x(), p.y());
        }
    }
}

void Terrain::buildMoisture(std::uint64_t seed)
{
    const ValueNoise noise(Random::hash(seed, 8));
    m_moisture.resize(std::size_t(W) * H);
    for (int gy = 0; gy < H; ++gy)
        for (int gx = 0; gx < W; ++gx) {
            const int i = index(gx, gy);
            const float coast = std::exp(-m_seaDistance[i] / 45.0f);
            m_moisture[i]
                = std::clamp(noise.fractal(gx / 110.0f, gy / 110.0f, 5) * 1.3f - 0.2f + 0.25f * coast, 0.0f, 1.0f);
        }
}

void Terrain::buildShade()
{
    // Light from the upper left, as painted maps are lit; the sea floor is barely shaded.
    constexpr float Lx = -0.55f, Ly = -0.55f, Lz = 0.63f;
    m_shade.resize(std::size_t(W) * H);
    for (int gy = 0; gy < H; ++gy)
        for (int gx = 0; gx < W; ++gx) {
            const int xl = std::max(gx - 1, 0), xr = std::min(gx + 1, W - 1);
            const int yu = std::max(gy - 1, 0), yd = std::min(gy + 1, H - 1);
            const float h = m_height[index(gx, gy)];
            const float relief = 16.0f;
            auto land = [](float v) { return std::max(v, 0.0f); };
            const float dx
                = (land(m_height[index(xr, gy)]) - land(m_height[index(xl, gy)])) * relief * (h > 0.0f ? 1.0f : 0.0f);
            const float dy
                = (land(m_height[index(gx, yd)]) - land(m_height[index(gx, yu)])) * relief * (h > 0.0f ? 1.0f : 0.0f);
            const float len = std::sqrt(dx * dx + dy * dy + 1.0f);
            const float lit = (-dx * Lx - dy * Ly + Lz) / len;
            m_shade[index(gx, gy)] = std::clamp(lit / Lz, 0.45f, 1.45f);
        }
}

} // namespace vdm::worldgen
