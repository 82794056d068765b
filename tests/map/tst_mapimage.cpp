// SPDX-License-Identifier: MIT
// Pictures of the map as files: the format by the name, and the whole map painted in
// bands giving the pixels of one paint.
#include "data/errors.h"
#include "map/mapimage.h"
#include "map/mappainter.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

/** A picture with a different colour at every pixel, so a band painted one row off shows. */
QImage gradient(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(x & 0xFF, y & 0xFF, (x * 7 + y * 3) & 0xFF);
    }
    return img;
}

Location place(const char* name, int x, int y, std::int32_t status, int level = 0)
{
    Location l;
    l.Name = name;
    l.X = x;
    l.Y = y;
    l.Status = status;
    l.Level = level;
    return l;
}

TEST(MapImage, FormatFollowsTheSuffix)
{
    const struct {
        const char* name;
        const char* format;
    } cases[] = {
        {"a.png", "png"}, {"a.PNG", "png"}, {"b.jpg", "jpeg"}, {"c.JPEG", "jpeg"},
        {"d.bmp", ""},    {"png", ""},      {"e.png.txt", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MapImage::formatFor(QString::fromLatin1(c.name)), QByteArray(c.format)) << c.name;
}

TEST(MapImage, AnotherSuffixIsRefusedAndNothingWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("map.bmp");
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    try {
        MapImage::write(path, image);
        ADD_FAILURE() << "written";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QFileInfo(path).absoluteFilePath()));
        EXPECT_TRUE(e.message().contains(".png, .jpg or .jpeg"));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_THROW(MapImage::write(dir.filePath("no/such/folder/map.png"), image), Error);
}

class WholeMap : public ::testing::Test {
protected:
    QImage picture = gradient(330, 380);
    LocationList locations = {place("Aldmoor Keep", -60000, 150000, Visited), place("Brennhold", 20000, 40000, Active),
                              place("Corvath", 100000, -100000, Unvisited), place("Dunmere", 0, 0, Visited, 1)};
    LocationList markers = {place("camp", 50000, 60000, Unvisited, 1)};
    Settings settings;
    DrawingObjects objects = DrawingObjects::fromSettings(settings);
    GoHighlight highlight;
    MapPainter painter;

    MapScene scene(const Viewport& view)
    {
        return MapScene{view, picture, locations, markers, settings, objects, highlight};
    }
};

TEST_F(WholeMap, IsOnePaintOfThePictureSizeFromItsCorner)
{
    settings.ShowText = true;
    for (const int zoom : {0, 2, 3, 5}) {
        const Viewport current = Viewport::showing(picture.size(), 2, QSize(200, 150), zoom, QPoint(40, 30));
        const QSize size = MapImage::wholeMapSize(current);
        // What the scroll bars move across, plus the panel they move.
        EXPECT_EQ(size, QSize(current.scrollRanges().x() + 200, current.scrollRanges().y() + 150)) << zoom;
        const QImage once = painter.paint(scene(Viewport::showing(picture.size(), 2, size, zoom)));
        const QImage whole = MapImage::paintWholeMap(painter, scene(current));
        EXPECT_TRUE(whole == once) << "zoom " << zoom;
    }
}

TEST_F(WholeMap, CancelStopsBeforeAndAfterThePaint)
{
    const Viewport view = Viewport::showing(picture.size(), 2, QSize(200, 150), 5);
    for (const int stopAt : {0, 1, 2}) {
        QList<int> asked;
        const QImage image = MapImage::paintWholeMap(painter, scene(view), [&](int step, int steps) {
            EXPECT_EQ(steps, 2);
            asked << step;
            return step < stopAt;
        });
        EXPECT_EQ(image.isNull(), stopAt < 2) << stopAt;
        EXPECT_EQ(asked, (stopAt == 0 ? QList<int>{0} : QList<int>{0, 1})) << stopAt;
    }
}

} // namespace
} // namespace vdm
