// SPDX-License-Identifier: MIT
#include "glyphart.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace vdm::GlyphArt {

namespace {

// The palette every glyph shares, so the set reads as one family.
const QColor kOutline(34, 38, 48);
const QColor kRim(96, 108, 128);
const QColor kGlass(186, 218, 245);
const QColor kGlassShine(244, 250, 255);
const QColor kHandle(150, 96, 46);
const QColor kSign(24, 58, 150);
const QColor kWhite(255, 255, 255);
const QColor kRed(214, 40, 40);
// The map's own colours: statuses, routes and markers look here as they do on the map.
const QColor kUnvisited(255, 241, 155);
const QColor kActive(255, 128, 255);
const QColor kVisited(255, 160, 64);
const QColor kMarker(64, 220, 64);
const QColor kSkarnel(255, 226, 0);
const QColor kShip(30, 90, 255);
const QColor kMages(190, 176, 241);

/**
 * A 16 by 16 grid painted without antialiasing, outlined at the end, drawn at `scale`
 * device pixels per grid cell: cells, boxes and rows of art fill whole cells, while discs
 * and diamonds are decided per device pixel, so at 2 x their edges follow the shape at
 * the finer grain; the outline and the rim stay one cell thick.
 */
class Pixels {
public:
    explicit Pixels(int scale = 1) : m_scale(scale), m_size(16 * scale), m_image(m_size, m_size, QImage::Format_ARGB32)
    {
        m_image.fill(Qt::transparent);
    }

    void dot(int x, int y, const QColor& c)
    {
        if (x >= 0 && y >= 0 && x < 16 && y < 16)
            for (int j = 0; j < m_scale; ++j)
                for (int i = 0; i < m_scale; ++i)
                    m_image.setPixelColor(x * m_scale + i, y * m_scale + j, c);
    }
    void box(int x0, int y0, int x1, int y1, const QColor& c)
    {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                dot(x, y, c);
    }
    void line(int x0, int y0, int x1, int y1, const QColor& c)
    {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        for (int err = dx + dy;;) {
            dot(x0, y0, c);
            if (x0 == x1 && y0 == y1)
                break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    /** Rows of characters, each looked up in `palette`; '.' leaves the pixel alone. */
    void art(int x0, int y0, std::initializer_list<const char*> rows, const std::function<QColor(char)>& palette)
    {
        int y = y0;
        for (const char* row : rows) {
            for (int x = 0; row[x]; ++x)
                if (row[x] != '.')
                    dot(x0 + x, y, palette(row[x]));
            ++y;
        }
    }
    /**
     * A filled disc of the pixels whose centres lie within `r` of (cx, cy), in grid units;
     * finer pixels reach as far out as the cells of the 1 x disc do.
     */
    void disc(double cx, double cy, double r, const QColor& c)
    {
        forEachPixel([&](double x, double y) { return std::hypot(x - cx, y - cy) <= r + grain(); }, c);
    }
    void diamond(int cx, int cy, int r, const QColor& fill, const QColor& shine)
    {
        for (int Y = 0; Y < m_size; ++Y)
            for (int X = 0; X < m_size; ++X) {
                const double x = centre(X) - cx, y = centre(Y) - cy;
                if (std::abs(x) + std::abs(y) <= r + grain())
                    m_image.setPixelColor(X, Y, (x + y < -r / 2) ? shine : fill);
            }
    }
    /** Recolours the drawn pixels within one cell of the background (4-neighbourhood steps). */
    void edge(const QColor& c)
    {
        for (const QPoint& p : ring(true))
            m_image.setPixelColor(p, c);
    }
    /** Rings every drawn shape with one dark cell's width (4-neighbourhood steps), the family look. */
    void outline()
    {
        for (const QPoint& p : ring(false))
            m_image.setPixelColor(p, kOutline);
    }
    QImage image() const { return m_image; }

private:
    /** The centre of device pixel `i` in grid units (the cell's own index at 1 x). */
    double centre(int i) const { return (i + 0.5) / m_scale - 0.5; }
    /** How far beyond a 1 x cell centre a finer pixel centre can lie and still be in that cell. */
    double grain() const { return 0.5 - 0.5 / m_scale; }

    void forEachPixel(const std::function<bool(double, double)>& inside, const QColor& c)
    {
        for (int Y = 0; Y < m_size; ++Y)
            for (int X = 0; X < m_size; ++X)
                if (inside(centre(X), centre(Y)))
                    m_image.setPixelColor(X, Y, c);
    }

    /**
     * The pixels up to one cell (`scale` 4-neighbourhood steps) from the boundary between
     * drawn and empty pixels: on the drawn side when `inside`, else on the empty side.
     */
    std::vector<QPoint> ring(bool inside) const
    {
        std::vector<int> opaque(size_t(m_size) * m_size);
        for (int y = 0; y < m_size; ++y)
            for (int x = 0; x < m_size; ++x)
                opaque[size_t(y) * m_size + x] = qAlpha(m_image.pixel(x, y)) > 0;
        // Which side of the boundary a pixel is on, and whether it is reached yet.
        const auto side = [&](int x, int y) { return opaque[size_t(y) * m_size + x] == int(inside); };
        std::vector<char> reached(opaque.size(), 0);
        std::vector<QPoint> found, frontier;
        for (int y = 0; y < m_size; ++y)
            for (int x = 0; x < m_size; ++x)
                reached[size_t(y) * m_size + x] = !side(x, y); // the other side seeds the walk
        for (int y = 0; y < m_size; ++y)
            for (int x = 0; x < m_size; ++x)
                if (!side(x, y))
                    frontier.push_back({x, y});
        // Outside the grid counts as empty: drawn pixels on its border touch the background.
        if (inside)
            for (int i = 0; i < m_size; ++i)
                for (QPoint p : {QPoint(i, -1), QPoint(i, m_size), QPoint(-1, i), QPoint(m_size, i)})
                    frontier.push_back(p);
        for (int step = 0; step < m_scale; ++step) {
            std::vector<QPoint> next;
            for (const QPoint& p : frontier)
                for (QPoint n : {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)}) {
                    if (n.x() < 0 || n.y() < 0 || n.x() >= m_size || n.y() >= m_size)
                        continue;
                    char& r = reached[size_t(n.y()) * m_size + n.x()];
                    if (r)
                        continue;
                    r = 1;
                    next.push_back(n);
                    found.push_back(n);
                }
            frontier = std::move(next);
        }
        return found;
    }

    int m_scale;
    int m_size;
    QImage m_image;
};

void magnifier(Pixels& p)
{
    p.disc(5.5, 5.5, 5.0, kRim);
    p.disc(5.5, 5.5, 3.9, kGlass);
    p.dot(3, 3, kGlassShine);
    p.dot(4, 3, kGlassShine);
    p.dot(3, 4, kGlassShine);
    for (int i = 10; i <= 14; ++i) {
        p.dot(i, i, kHandle);
        p.dot(i - 1, i, kHandle);
        p.dot(i, i - 1, kHandle);
    }
}

QImage zoomIn(int scale)
{
    Pixels p(scale);
    magnifier(p);
    p.box(3, 5, 8, 6, kSign);
    p.box(5, 3, 6, 8, kSign);
    p.outline();
    return p.image();
}

QImage zoomOut(int scale)
{
    Pixels p(scale);
    magnifier(p);
    p.box(3, 5, 8, 6, kSign);
    p.outline();
    return p.image();
}

QImage actualSize(int scale)
{
    Pixels p(scale);
    magnifier(p);
    p.art(2, 3, {".N....N", "NN.N.NN", ".N....N", ".N....N", ".N.N..N", ".N....N"}, [](char) { return kSign; });
    p.outline();
    return p.image();
}

QImage go(int scale)
{
    Pixels p(scale);
    const QColor green(60, 180, 70), light(140, 225, 130);
    p.art(1, 2,
          {"........X.....", "........XX....", "........XXX...", "LLLLLLLLXXXX..", "XXXXXXXXXXXXX.", "XXXXXXXXXXXXXX",
           "XXXXXXXXXXXXX.", "XXXXXXXXXXXX..", "........XXX...", "........XX....", "........X....."},
          [&](char c) { return c == 'L' ? light : green; });
    p.outline();
    return p.image();
}

QImage text(int scale)
{
    Pixels p(scale);
    const QColor ink(40, 44, 60);
    p.art(2, 1,
          {"....XXXX....", "....XXXX....", "...XX..XX...", "...XX..XX...", "...XX..XX...", "..XX....XX..",
           "..XX....XX..", "..XXXXXXXX..", ".XXXXXXXXXX.", ".XX......XX.", ".XX......XX.", "XXXX....XXXX",
           "XXXX....XXXX"},
          [&](char) { return ink; });
    return p.image();
}

QImage hints(int scale)
{
    Pixels p(scale);
    const QColor dark(28, 30, 36);
    p.art(1, 1,
          {".XXXXXXXXXXXX.", "XXXXXXXXXXXXXX", "XXYYYYYYYYYYXX", "XXXXXXXXXXXXXX", "XXYYYYYYYYXXXX", "XXXXXXXXXXXXXX",
           "XXYYYYYXXXXXXX", "XXXXXXXXXXXXXX", ".XXXXXXXXXXXX.", "...XXX........", "...XX.........", "...X.........."},
          [&](char c) { return c == 'Y' ? kUnvisited : dark; });
    // The bubble is as dark as the outline; a pale rim keeps its shape on dark bars.
    p.edge(QColor(150, 156, 170));
    p.outline();
    return p.image();
}

// Two stops joined by a route line in `route`, from lower left to upper right.
QImage route(const QColor& route, const QColor& routeShade, int scale)
{
    Pixels p(scale);
    for (int i = 0; i <= 8; ++i) {
        p.dot(3 + i, 11 - i, route);
        p.dot(4 + i, 11 - i, route);
        p.dot(4 + i, 12 - i, routeShade);
    }
    p.box(1, 11, 4, 14, kWhite);
    p.box(2, 12, 3, 13, kRed);
    p.box(11, 1, 14, 4, kWhite);
    p.box(12, 2, 13, 3, kRed);
    p.outline();
    return p.image();
}

QImage shipRoute(int scale)
{
    Pixels p(scale);
    const QColor hull(150, 92, 44), hullLight(196, 132, 70), sail(250, 250, 245), sailShade(214, 218, 228);
    p.art(1, 1,
          {"......M.......", "......MSs.....", "......MSSs....", "......MSSSs...", "......MSSSSs..", "......MSSSSSs.",
           "......M.......", "HHHHHHHHHHHHHH", ".hhhhhhhhhhhh.", "..hhhhhhhhhh..", "..............", "WWW..WWW..WWW.",
           "..WWW..WWW..WW"},
          [&](char c) {
              switch (c) {
              case 'M':
                  return kOutline;
              case 'S':
                  return sail;
              case 's':
                  return sailShade;
              case 'H':
                  return hullLight;
              case 'h':
                  return hull;
              default:
                  return kShip;
              }
          });
    p.outline();
    return p.image();
}

QImage mageRoute(int scale)
{
    Pixels p(scale);
    const QColor shade(138, 120, 206), star(255, 250, 210);
    for (int i = 0; i <= 7; ++i) {
        p.dot(3 + i, 11 - i, kMages);
        p.dot(4 + i, 11 - i, kMages);
        p.dot(4 + i, 12 - i, shade);
    }
    p.box(1, 11, 4, 14, kWhite);
    p.box(2, 12, 3, 13, shade);
    // A four-pointed spark where the route arrives.
    p.art(9, 0, {"...S...", "...S...", "..SWS..", "SSWWWSS", "..SWS..", "...S...", "...S..."},
          [&](char c) { return c == 'W' ? star : kMages; });
    p.outline();
    return p.image();
}

QImage statusFrame(const QColor& colour, int scale)
{
    Pixels p(scale);
    const QColor shade = colour.darker(135);
    for (int i = 2; i <= 13; ++i) {
        p.dot(i, 2, colour);
        p.dot(i, 3, colour);
        p.dot(2, i, colour);
        p.dot(3, i, colour);
        p.dot(i, 12, shade);
        p.dot(i, 13, shade);
        p.dot(12, i, shade);
        p.dot(13, i, shade);
    }
    p.outline();
    return p.image();
}

QImage addMarker(int scale)
{
    Pixels p(scale);
    p.diamond(7, 7, 6, kMarker, kMarker.lighter(140));
    p.box(4, 7, 10, 7, kWhite);
    p.box(7, 4, 7, 10, kWhite);
    p.outline();
    return p.image();
}

void cross(Pixels& p, int x0, int y0)
{
    // A red X of 6 by 6 pixels, two pixels thick, at (x0, y0).
    for (int i = 0; i < 6; ++i) {
        p.dot(x0 + i, y0 + i, kRed);
        p.dot(x0 + 5 - i, y0 + i, kRed);
        if (i < 5) {
            p.dot(x0 + i + 1, y0 + i, kRed);
            p.dot(x0 + 4 - i, y0 + i, kRed);
        }
    }
}

QImage deleteMarker(int scale)
{
    Pixels p(scale);
    p.diamond(6, 6, 5, kMarker, kMarker.lighter(140));
    cross(p, 8, 8);
    p.outline();
    return p.image();
}

QImage deleteAllMarkers(int scale)
{
    Pixels p(scale);
    p.diamond(4, 4, 3, kMarker, kMarker.lighter(140));
    p.diamond(11, 4, 3, kMarker, kMarker.lighter(140));
    p.diamond(4, 11, 3, kMarker, kMarker.lighter(140));
    cross(p, 8, 8);
    p.outline();
    return p.image();
}

QImage options(int scale)
{
    Pixels p(scale);
    const QColor track(120, 128, 140), knob(80, 140, 230), knobLight(170, 205, 250);
    for (int row = 0; row < 3; ++row) {
        const int y = 2 + row * 5;
        p.box(1, y, 14, y, track);
        const int x = std::array{9, 3, 7}[row];
        p.box(x, y - 1, x + 2, y + 1, knob);
        p.dot(x, y - 1, knobLight);
    }
    p.outline();
    return p.image();
}

QImage about(int scale)
{
    Pixels p(scale);
    const QColor blue(46, 110, 214), light(110, 165, 240);
    p.disc(7.5, 7.5, 6.8, blue);
    p.dot(5, 3, light);
    p.dot(4, 4, light);
    p.dot(6, 3, light);
    p.box(7, 3, 8, 4, kWhite);
    p.box(7, 6, 8, 11, kWhite);
    p.dot(6, 6, kWhite);
    p.box(6, 11, 9, 11, kWhite);
    p.outline();
    return p.image();
}

QImage clipboard(int scale)
{
    Pixels p(scale);
    const QColor board(176, 122, 62), paper(252, 252, 248), lines(150, 160, 178), metal(200, 206, 216);
    p.box(2, 2, 13, 14, board);
    p.box(4, 4, 11, 13, paper);
    for (int y = 6; y <= 12; y += 2)
        p.box(5, y, y == 12 ? 8 : 10, y, lines);
    p.box(5, 2, 10, 3, metal);
    p.box(6, 1, 9, 1, metal);
    p.outline();
    return p.image();
}

} // namespace

QImage glyph(int index, int scale)
{
    if (scale < 1 || scale > 4)
        return {};
    switch (index) {
    case 0:
        return zoomIn(scale);
    case 1:
        return zoomOut(scale);
    case 2:
        return actualSize(scale);
    case 3:
        return go(scale);
    case 4:
        return text(scale);
    case 5:
        return hints(scale);
    case 6:
        return route(kSkarnel, kSkarnel.darker(140), scale);
    case 7:
        return shipRoute(scale);
    case 8:
        return statusFrame(kUnvisited, scale);
    case 9:
        return statusFrame(kActive, scale);
    case 10:
        return statusFrame(kVisited, scale);
    case 11:
        return mageRoute(scale);
    case 12:
        return addMarker(scale);
    case 13:
        return deleteMarker(scale);
    case 14:
        return deleteAllMarkers(scale);
    case 15:
        return options(scale);
    case 16:
        return about(scale);
    case 17:
        return clipboard(scale);
    default:
        return {};
    }
}

QImage icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);
    // Drawn afresh at every size: a line never gets thinner than one pixel of the icon, and
    // below 32 pixels the dashes and the diagonal needles, which would only blur, are left out.
    const double pixel = 48.0 / size;
    const bool small = size < 32;
    auto width = [pixel](double w) { return std::max(w, pixel); };

    // A folded sheet of parchment: three panels, the middle one in shade.
    const QColor parchment(238, 214, 160), shade(214, 186, 128), sea(120, 170, 200), land(150, 180, 100);
    const QPolygonF sheet{{3, 9}, {17, 5}, {31, 9}, {45, 5}, {45, 39}, {31, 43}, {17, 39}, {3, 43}};
    painter.setPen(Qt::NoPen);
    painter.setBrush(parchment);
    painter.drawPolygon(sheet);
    painter.setBrush(shade);
    painter.drawPolygon(QPolygonF{{17, 5}, {31, 9}, {31, 43}, {17, 39}});

    // Sea and a coast line across the folds.
    painter.save();
    QPainterPath clip;
    clip.addPolygon(sheet);
    painter.setClipPath(clip);
    painter.setBrush(QColor(sea.red(), sea.green(), sea.blue(), 150));
    QPainterPath water;
    water.moveTo(3, 28);
    water.cubicTo(12, 24, 16, 34, 24, 31);
    water.cubicTo(32, 28, 36, 36, 45, 33);
    water.lineTo(45, 44);
    water.lineTo(3, 44);
    water.closeSubpath();
    painter.drawPath(water);
    painter.setBrush(QColor(land.red(), land.green(), land.blue(), 170));
    painter.drawEllipse(QRectF(6, 12, 9, 7));
    painter.restore();

    // A dashed route in red to a cross.
    QPen route(QColor(170, 40, 30), width(1.6), small ? Qt::SolidLine : Qt::DashLine, Qt::RoundCap);
    painter.setPen(route);
    painter.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(8, 37);
    path.cubicTo(14, 30, 10, 22, 20, 18);
    painter.drawPath(path);
    painter.setPen(QPen(QColor(170, 40, 30), width(2.2), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(19, 14), QPointF(23, 18));
    painter.drawLine(QPointF(23, 14), QPointF(19, 18));

    painter.setPen(QPen(QColor(96, 66, 30), width(1.4), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(sheet);

    // The compass rose in the lower right, over the sheet's corner.
    const QPointF c(34, 33);
    QRadialGradient face(c, 11);
    face.setColorAt(0, QColor(255, 250, 235));
    face.setColorAt(1, QColor(226, 210, 170));
    painter.setBrush(face);
    painter.setPen(QPen(QColor(60, 44, 24), width(1.6)));
    painter.drawEllipse(c, 11, 11);
    auto needle = [&](double angle, double length, const QColor& left, const QColor& right) {
        const double a = angle * M_PI / 180.0;
        const QPointF tip = c + QPointF(std::sin(a) * length, -std::cos(a) * length);
        const QPointF side(std::cos(a) * 2.6, std::sin(a) * 2.6);
        painter.setPen(Qt::NoPen);
        painter.setBrush(left);
        painter.drawPolygon(QPolygonF{c, tip, c - side});
        painter.setBrush(right);
        painter.drawPolygon(QPolygonF{c, tip, c + side});
    };
    const QColor ink(60, 44, 24), paleInk(150, 130, 100);
    if (!small) {
        needle(45, 6.5, paleInk, ink);
        needle(135, 6.5, paleInk, ink);
        needle(225, 6.5, paleInk, ink);
        needle(315, 6.5, paleInk, ink);
    }
    needle(90, 9.5, ink, paleInk);
    needle(270, 9.5, ink, paleInk);
    needle(180, 9.5, ink, paleInk);
    needle(0, 9.5, QColor(150, 20, 20), QColor(210, 50, 40));
    painter.setBrush(QColor(250, 240, 200));
    painter.setPen(small ? QPen(Qt::NoPen) : QPen(ink, 0.8));
    painter.drawEllipse(c, 1.5, 1.5);
    painter.end();
    return image;
}

} // namespace vdm::GlyphArt
