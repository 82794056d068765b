// SPDX-License-Identifier: MIT
#include "common/testworld.h"

#include "common/testutils.h"
#include "worldgen/jpegwriter.h"

#include <QDir>
#include <QImage>

namespace vdm::test {

QByteArray locationRecord(const QByteArray& name, int level, int x, int y)
{
    QByteArray r;
    r += "loc\r\n";
    r += "  nm= " + name + "\r\n";
    r += "  rg= Test\r\n";
    r += "  ty= town\r\n";
    r += "  lv= " + QByteArray::number(level) + "\r\n";
    r += "  pp= 0\r\n";
    r += "  dd= none\r\n";
    r += "  ps= " + QByteArray::number(x) + "," + QByteArray::number(y) + "\r\n";
    return r;
}

TestWorld::TestWorld(Picture picture) : m_oldDir(QDir::currentPath())
{
    if (picture == Picture::High || picture == Picture::Both)
        writePicture(path(QStringLiteral("bigmap_hi.jpg")), QSize(3300, 3800));
    if (picture == Picture::Normal || picture == Picture::Both)
        writePicture(path(QStringLiteral("bigmap.jpg")), QSize(660, 760));
    QDir::setCurrent(dir());
}

TestWorld::~TestWorld()
{
    QDir::setCurrent(m_oldDir);
}

void TestWorld::write(const QString& name, const QByteArray& bytes) const
{
    writeFile(path(name), bytes);
}

QByteArray TestWorld::read(const QString& name) const
{
    return readFile(path(name));
}

void TestWorld::writeSettings(const QByteArray& ini) const
{
    writeFile(appPath(QStringLiteral("qor.ini")), ini);
}

void TestWorld::writePicture(const QString& path, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(40 + 160 * x / size.width(), 90 + 100 * y / size.height(), 70);
    }
    writeFile(path, worldgen::JpegWriter::encode(image, 90));
}

} // namespace vdm::test
