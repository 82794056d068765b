// SPDX-License-Identifier: MIT
#include "map/crowdworld.h"

#include "map/viewport.h"

#include <QRandomGenerator>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace vdm::test {

LocationList crowd(int count, quint32 seed)
{
    QRandomGenerator rng(seed);
    LocationList list(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Location& l = list[size_t(i)];
        l.X = rng.bounded(Viewport::MapLeft, Viewport::MapRight + 1);
        l.Y = rng.bounded(Viewport::MapBottom, Viewport::MapTop + 1);
        if (rng.bounded(400) == 0) {
            l.X = rng.bounded(2) ? INT_MAX - rng.bounded(10) : INT_MIN + rng.bounded(10);
            l.Y = rng.bounded(-2000000, 2000000);
        }
        const int levelDraw = rng.bounded(100);
        l.Level = levelDraw < 2    ? 0
                  : levelDraw < 8  ? 1
                  : levelDraw < 20 ? 2
                  : levelDraw < 45 ? 3
                  : levelDraw < 70 ? 4
                                   : 5;
        if (rng.bounded(300) == 0)
            l.Level = rng.bounded(2) ? -1 : 9;
        l.Status = int(rng.bounded(3)) + 1;
        if (rng.bounded(60) == 0)
            l.Status = rng.bounded(2) ? 0 : 7;
        l.Name = "P" + QByteArray::number(i);
        if (rng.bounded(80) == 0)
            l.Name = QByteArray(int(rng.bounded(20, 60)), 'W');
        if (rng.bounded(300) == 0)
            l.Name.clear();
    }
    // Neighbours: places next to each other in a coarse sweep, when close enough.
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[size_t(i)] = i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const auto key = [&](int i) { return std::pair(list[size_t(i)].X / 4000, list[size_t(i)].Y); };
        return key(a) < key(b);
    });
    for (size_t k = 1; k < order.size(); ++k) {
        Location& a = list[size_t(order[k - 1])];
        const Location& b = list[size_t(order[k])];
        if (std::abs(std::int64_t(a.X) - b.X) < 8000 && std::abs(std::int64_t(a.Y) - b.Y) < 8000)
            a.Routes.push_back({order[k], std::uint8_t(rng.bounded(1, 4))});
    }
    for (int i = 0; i < count / 500; ++i) {
        list[size_t(rng.bounded(count))].Routes.push_back(
            {std::int32_t(rng.bounded(count)), std::uint8_t(rng.bounded(1, 4))});
        list[size_t(rng.bounded(count))].Routes.push_back(
            {std::int32_t(rng.bounded(count)), std::uint8_t(rng.bounded(2) ? 0 : 7)});
    }
    return list;
}

LocationList markersOf(int count, quint32 seed)
{
    QRandomGenerator rng(seed);
    LocationList list;
    for (int i = 0; i < count; ++i) {
        Location m;
        m.Name = "Marker " + QByteArray::number(i);
        m.Level = 1;
        m.X = rng.bounded(Viewport::MapLeft, Viewport::MapRight + 1);
        m.Y = rng.bounded(Viewport::MapBottom, Viewport::MapTop + 1);
        list.push_back(m);
    }
    return list;
}

const Crowd& bigCrowd()
{
    static const Crowd c = [] {
        Crowd w;
        w.locations = crowd(100000, 17);
        w.markers = markersOf(2000, 18);
        w.index = SpatialIndex(w.locations, w.markers);
        w.picture = QImage(660, 760, QImage::Format_RGB32);
        for (int y = 0; y < w.picture.height(); ++y)
            for (int x = 0; x < w.picture.width(); ++x)
                w.picture.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
        return w;
    }();
    return c;
}

Settings everyOverlay()
{
    Settings s;
    s.ShowText = true;
    s.ShowSkarnels = s.ShowShips = s.ShowMagesGuild = true;
    s.ShowUnvisited = s.ShowActive = s.ShowVisited = true;
    return s;
}

} // namespace vdm::test
