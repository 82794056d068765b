// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QPointF>
#include <cstdint>
#include <vector>

namespace vdm::worldgen {

/**
 * The invented world's relief on a coarse grid that covers the whole map rectangle:
 * height (sea below 0, land above, normalised to -1..1), moisture, fresh water (rivers and
 * lakes), hill shading and the distance to the sea. Owns its grids; built once per seed.
 *
 * Grid space: GridWidth x GridHeight cells, each 4 x 4 pixels of the 3300 x 3800 picture,
 * cell centres at integer coordinates, y downwards. Map space: x -125000..175000 to the
 * right, y -130000..220000 upwards. Everything in between is bilinear, so the painter and
 * the placement of locations read the same surface.
 */
class Terrain {
public:
    static constexpr int GridWidth = 825, GridHeight = 950;
    static constexpr int CellPixels = 4; // picture pixels of 3300 x 3800 per cell

    explicit Terrain(std::uint64_t seed);

    /** Grid point of a map point (real-valued; may lie outside the grid). */
    static QPointF mapToGrid(double x, double y);

    float heightAt(float gx, float gy) const { return bilinear(m_height, gx, gy); }
    float moistureAt(float gx, float gy) const { return bilinear(m_moisture, gx, gy); }
    float waterAt(float gx, float gy) const { return bilinear(m_water, gx, gy); }
    float shadeAt(float gx, float gy) const { return bilinear(m_shade, gx, gy); }
    /** 1 inside a lake, 0 elsewhere (rivers are not in this grid; see rivers()). */
    float lakeAt(float gx, float gy) const { return bilinear(m_lake, gx, gy); }
    /** Distance to the nearest sea cell in cells (0 at sea). */
    float seaDistanceAt(float gx, float gy) const { return bilinear(m_seaDistance, gx, gy); }

    /** Dry land at a map point: clearly above the sea and off rivers and lakes. */
    bool isLand(int x, int y) const;
    /** Distance from a map point to the sea, in map units. */
    double seaDistance(int x, int y) const;
    /** Height at a map point. */
    double height(int x, int y) const;

    /**
     * Every river's course in grid cells, from its source downstream to the sea, a lake or
     * the river it joins; the water grid holds the same courses stamped as cells.
     */
    const std::vector<std::vector<QPoint>>& rivers() const { return m_rivers; }

    /** Share of grid cells above the sea. */
    double landFraction() const;

private:
    float bilinear(const std::vector<float>& grid, float gx, float gy) const;
    void buildHeight(std::uint64_t seed);
    void buildWater(std::uint64_t seed);
    void buildSeaDistance();
    void buildMoisture(std::uint64_t seed);
    void buildShade();
    static int index(int gx, int gy) { return gy * GridWidth + gx; }

    std::vector<float> m_height, m_moisture, m_water, m_lake, m_shade, m_seaDistance;
    std::vector<std::vector<QPoint>> m_rivers;
};

} // namespace vdm::worldgen
