// SPDX-License-Identifier: MIT
#include "map/mappainter.h"

#include <QPainter>

namespace vdm {

QColor packedToColor(PackedColor c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

PackedColor colorToPacked(const QColor& c)
{
    return PackedColor(c.red() | (c.green() << 8) | (c.blue() << 16));
}

DrawingObjects DrawingObjects::fromSettings(const Settings& s)
{
    DrawingObjects o;
    o.MapFont.setFamily(s.MapFontName);
    o.MapFont.setPixelSize(qMax(1, s.MapFontSize));
    o.BrushVisited = packedToColor(s.ColorVisited);
    o.BrushActive = packedToColor(s.ColorActive);
    o.BrushUnvisited = packedToColor(s.ColorUnvisited);
    o.BrushBackground = packedToColor(BackgroundColor);
    o.PenSkarnels = packedToColor(s.ColorSkarnels);
    o.PenShips = packedToColor(s.ColorShips);
    o.PenMagesGuild = packedToColor(s.ColorMagesGuild);
    o.PenMarker = packedToColor(s.ColorMarker);
    return o;
}

struct MapPainter::Private {};

MapPainter::MapPainter() : d(std::make_unique<Private>()) {}
MapPainter::~MapPainter() = default;

void MapPainter::paint(QImage& backBuffer, const MapScene& scene)
{
    // Interim: the picture only, at the view's scale (the full painter replaces this).
    backBuffer.fill(scene.objects.BrushBackground);
    QPainter p(&backBuffer);
    const Viewport& v = scene.view;
    const qreal k = v.factor() / qreal(v.MapScale);
    p.translate(v.MarginX - v.LastScrollX, v.MarginY - v.LastScrollY);
    p.scale(k, k);
    p.drawImage(0, 0, scene.picture);
}

QImage MapPainter::paint(const MapScene& scene)
{
    QImage img(scene.view.Panel, QImage::Format_RGB32);
    paint(img, scene);
    return img;
}

void MapPainter::invalidateCaches() {}

} // namespace vdm
