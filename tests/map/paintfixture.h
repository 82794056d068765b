// SPDX-License-Identifier: MIT
#pragma once
// What the map painter's tests share: coded pictures and one paint's inputs set up as the
// window sets them up.

#include "map/mappainter.h"

#include <QImage>

namespace painttest {

using namespace vdm;

constexpr QRgb Background = 0xFF4F4842u; // packed 0x0042484F as the screen shows it
constexpr QRgb Black = 0xFF000000u;

/** A picture whose every pixel tells where it came from (never the background colour). */
inline QImage codedPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(x & 0xFF, y & 0xFF, 0x80 | ((x >> 8) & 0xF) | (((y >> 8) & 0x7) << 4));
    }
    return img;
}

inline QImage flatPicture(int w, int h, QRgb c = Black)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

/** Everything one paint reads, with the view set up the way the window does it. */
struct World {
    Viewport view;
    QImage picture = flatPicture(660, 760);
    LocationList locations, markers;
    Settings settings;
    GoHighlight highlight;
    MapPainter painter;
    qreal ratio = 1; // the device pixel ratio of the back buffer

    World() { setView({330, 380}, 1, 2); }

    void setView(QSize panel, int zoom, int scale, QPoint scroll = {})
    {
        view = Viewport::showing(picture.size(), scale, panel, zoom, scroll);
    }

    QImage paint()
    {
        const DrawingObjects objects = DrawingObjects::fromSettings(settings);
        const MapScene scene{view, picture, locations, markers, settings, objects, highlight};
        return painter.paint(scene, ratio);
    }

    /** A record whose map point lands on (or next to) this panel point. */
    Location at(QPoint panel, QByteArray name = "Place", int status = Unvisited, int level = 0) const
    {
        const QPoint pic = view.panelToPicture(panel);
        const QPoint m = view.ScreenToMap(pic.x(), pic.y());
        Location l;
        l.Name = std::move(name);
        l.X = m.x();
        l.Y = m.y();
        l.Status = status;
        l.Level = level;
        return l;
    }

    QPoint panelOf(const Location& l) const { return view.mapToPanel(l.X, l.Y); }
};

inline QRgb screen(PackedColor c)
{
    return 0xFF000000u | packedToColor(c).rgb();
}

inline int countColour(const QImage& img, QRgb c, QRect area = {})
{
    if (area.isNull())
        area = img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.rect().contains(x, y) && img.pixel(x, y) == c;
    return n;
}

/** Pixels touched by something drawn over a black picture (small captions are all antialiased). */
inline int countInk(const QImage& img, QRect area)
{
    return area.width() * area.height() - countColour(img, Black, area);
}

inline bool hasFrame(const QImage& img, QPoint q, QRgb c)
{
    return img.pixel(q.x() - 3, q.y() - 3) == c && img.pixel(q.x() + 2, q.y() + 2) == c;
}

} // namespace painttest
