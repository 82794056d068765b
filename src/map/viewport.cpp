// SPDX-License-Identifier: MIT
#include "map/viewport.h"

#include <QString>

#include <climits>
#include <cmath>

namespace vdm {

int truncToInt(long double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<long double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v); // truncation toward zero
}

float Viewport::kx(int mapScale)
{
    return static_cast<float>(static_cast<long double>(mapScale) * 330 * (1.0L / 300000));
}

float Viewport::ky(int mapScale)
{
    return static_cast<float>(static_cast<long double>(mapScale) * 380 * (1.0L / 350000));
}

QPoint Viewport::MapToScreen(int x, int y) const
{
    const long double f = factor();
    const long double s = MapScale;
    const long double ix = truncToInt(static_cast<long double>(x) + 125000);
    const long double iy = truncToInt(static_cast<long double>(y) + 130000);
    const int px = truncToInt(ix * kx(MapScale) * f / s);
    const int py = truncToInt(380 * f - iy * ky(MapScale) * f / s);
    return {px, py};
}

QPoint Viewport::ScreenToMap(int px, int py) const
{
    const long double f = factor();
    const long double s = MapScale;
    const int ax = truncToInt(static_cast<long double>(px) / kx(MapScale) / f * s);
    const int ay = truncToInt((380 * f - py) * s / ky(MapScale) / f);
    return {truncToInt(static_cast<long double>(ax) - 125000), truncToInt(static_cast<long double>(ay) - 130000)};
}

bool Viewport::LevelVisible(int level) const
{
    const int z = static_cast<int>(factor());
    if (z < 2)
        return level == 0;
    if (z < 4)
        return level <= 1;
    if (z < 8)
        return level <= 2;
    if (z < 15)
        return level <= 3;
    if (z < 25)
        return level <= 4;
    return true;
}

QPoint Viewport::mapToPanel(int x, int y) const
{
    const QPoint p = MapToScreen(x, y);
    return {p.x() - LastScrollX + MarginX, p.y() - LastScrollY + MarginY};
}

QPoint Viewport::panelToPicture(QPoint panel) const
{
    return {panel.x() + LastScrollX - MarginX, panel.y() + LastScrollY - MarginY};
}

QPoint Viewport::scrollRanges() const
{
    const long double f = factor();
    const long double s = MapScale;
    const int rx = truncToInt(static_cast<long double>(Picture.width()) * f / s - Panel.width());
    const int ry = truncToInt(static_cast<long double>(Picture.height()) * f / s - Panel.height());
    return {rx, ry};
}

void Viewport::UpdateMargins()
{
    const long double f = factor();
    const long double s = MapScale;
    const long double w = static_cast<long double>(Picture.width()) * f / s;
    const long double h = static_cast<long double>(Picture.height()) * f / s;
    MapCoversPanel = Panel.width() < w && Panel.height() < h;
    MarginX = Panel.width() > w ? truncToInt((Panel.width() - w) * 0.5L) : 0;
    MarginY = Panel.height() > h ? truncToInt((Panel.height() - h) * 0.5L) : 0;
}

int Viewport::zoomPercent() const
{
    return truncToInt(static_cast<long double>(factor()) * 10);
}

QSize Viewport::sizeLimit(int zoomIndex)
{
    // Formed in double from the single factor, as the window limits always were.
    const double f = ZoomFactors[zoomIndex];
    return {static_cast<int>(f * DesignWidth + FrameWidth), static_cast<int>(f * DesignHeight + FrameHeight)};
}

int Viewport::goTargetIndex(int level)
{
    switch (level) {
    case 0:
    case 1:
        return 2;
    case 2:
        return 4;
    case 3:
        return 5;
    case 4:
        return 6;
    default:
        return 7;
    }
}

QString titleWithZoom(int zoomIndex)
{
    Viewport v;
    v.ZoomIndex = zoomIndex;
    return QStringLiteral("Veldamar Interactive Map (Zoom %1%)").arg(v.zoomPercent());
}

} // namespace vdm
