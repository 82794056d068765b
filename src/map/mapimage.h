// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace vdm {

class MapPainter;
class Viewport;
struct MapScene;

/**
 * Pictures of the map as files: the view the window shows or the whole map at one zoom
 * level, painted by the map painter as the panel is, and written as PNG or JPEG. The
 * window's "Save view as image..." and the veldamar-render tool both go through here.
 */
namespace MapImage {

/** The format a file name asks for by its suffix: "png", "jpeg" (.jpg or .jpeg), else empty. */
QByteArray formatFor(const QString& path);

/** Throws an Error naming the file when its name asks for no format we write. */
void requireFormat(const QString& path);

/** The bytes of `image` as a file of `format` ("png", "jpeg"); throws the encoder's reason. */
QByteArray encode(const QImage& image, const QByteArray& format);

/**
 * Writes `image` to `path` in the format of its suffix, replacing any earlier file at
 * once (see AtomicFile): a failed save leaves it as it was. A name of another suffix
 * throws an Error naming the file; a failed encoding or write throws "Unable to write
 * to %s", and a FIFO, device or folder of that name is refused the same way.
 */
void write(const QString& path, const QImage& image);

/** The size of the whole zoomed picture at the view's zoom level: what the scroll bars move across. */
QSize wholeMapSize(const Viewport& view);

/**
 * The whole map at the zoom level of `scene.view`: one paint of a panel the size of the
 * zoomed picture scrolled to its corner, the very image veldamar-render gives for that
 * size; at a device pixel ratio above 1 the same map at that many times the pixels, as a
 * screen of that ratio shows it. (Painting it in bands would not give the same pixels: a panel as wide as the map
 * places the picture by its margins, not by the scroll position.) `goOn(step, steps)` is
 * asked before the paint (0 of 2) and after it (1 of 2); when it answers false a null
 * image comes back. A map too large to hold in memory throws an Error saying so.
 */
QImage paintWholeMap(MapPainter& painter, const MapScene& scene,
                     const std::function<bool(int step, int steps)>& goOn = {}, qreal ratio = 1);

} // namespace MapImage
} // namespace vdm
