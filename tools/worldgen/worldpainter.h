// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>

namespace vdm::worldgen {

class Terrain;

/**
 * Paints the terrain as a hand-coloured map without any text: deep and shallow sea,
 * sand along the coasts, plains, forests, hills, rock and snow, rivers and lakes, all
 * under hill shading and a faint paper grain. The picture always shows the whole map
 * rectangle; `size` only sets how many pixels it gets (3300 x 3800 at full size).
 * Returns a new QImage::Format_RGB888 picture owned by the caller.
 */
namespace WorldPainter {
QImage paint(const Terrain& terrain, std::uint64_t seed, QSize size);
/** Averages each factor x factor block into one pixel; the size must divide evenly. */
QImage downscale(const QImage& picture, int factor);
} // namespace WorldPainter

} // namespace vdm::worldgen
