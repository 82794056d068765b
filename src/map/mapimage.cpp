// SPDX-License-Identifier: MIT
#include "map/mapimage.h"

#include "data/atomicfile.h"
#include "data/errors.h"
#include "map/mappainter.h"
#include "map/viewport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

namespace vdm::MapImage {

QByteArray formatFor(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"png")
        return QByteArrayLiteral("png");
    if (suffix == u"jpg" || suffix == u"jpeg")
        return QByteArrayLiteral("jpeg");
    return {};
}

void requireFormat(const QString& path)
{
    if (formatFor(path).isEmpty())
        throw Error(QStringLiteral("Cannot save the map as %1: the file name must end in .png, .jpg or .jpeg.")
                        .arg(QFileInfo(path).absoluteFilePath()));
}

QByteArray encode(const QImage& image, const QByteArray& format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        throw Error(writer.errorString());
    return bytes;
}

void write(const QString& path, const QImage& image)
{
    requireFormat(path);
    // The picture is encoded whole before the file is touched, and the file replaced at
    // once: a failed or killed save leaves the earlier picture of that name as it was.
    QByteArray bytes;
    try {
        bytes = encode(image, formatFor(path));
    } catch (const Error& e) {
        throw Error(QStringLiteral("Unable to write to %1: %2").arg(QFileInfo(path).absoluteFilePath(), e.message()));
    }
    AtomicFile::write(path, bytes);
}

QSize wholeMapSize(const Viewport& view)
{
    // The viewport's own arithmetic for the zoomed picture: long double, truncated.
    const long double f = view.factor();
    const long double s = view.mapScale();
    return {truncToInt(static_cast<long double>(view.picture().width()) * f / s),
            truncToInt(static_cast<long double>(view.picture().height()) * f / s)};
}

QImage paintWholeMap(MapPainter& painter, const MapScene& scene, const std::function<bool(int step, int steps)>& goOn,
                     qreal ratio)
{
    const QSize size = wholeMapSize(scene.view);
    if (size.isEmpty() || (goOn && !goOn(0, 2)))
        return {};
    const QSize pixels = backBufferSize(size, ratio);
    QImage whole(pixels, QImage::Format_RGB32);
    if (whole.isNull())
        throw Error(QStringLiteral("The whole map at this level (%1 x %2 pixels) is too large to hold in memory.")
                        .arg(pixels.width())
                        .arg(pixels.height()));
    setDeviceResolution(whole, ratio);
    const Viewport all = Viewport::showing(scene.view.picture(), scene.view.mapScale(), size, scene.view.zoomIndex());
    painter.paint(whole, MapScene{all, scene.picture, scene.locations, scene.markers, scene.settings, scene.objects,
                                  scene.highlight, scene.index});
    if (goOn && !goOn(1, 2))
        return {};
    return whole;
}

} // namespace vdm::MapImage
