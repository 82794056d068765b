// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "data/atomicfile.h"
#include "data/errors.h"
#include "worldgen/jpegwriter.h"
#include "worldgen/terrain.h"
#include "worldgen/worldpainter.h"

#include <QDir>

namespace vdm::worldgen {

void generate(const QString& dir, const Options& options)
{
    if (!QDir().mkpath(dir))
        throw Error(QStringLiteral("Cannot create directory %1").arg(dir));
    const QDir target(dir);
    const Terrain terrain(options.seed);
    if (options.pictures) {
        const int d = options.pictureDivisor;
        const QImage big = WorldPainter::paint(terrain, options.seed, QSize(3300 / d, 3800 / d));
        AtomicFile::write(target.filePath(QStringLiteral("bigmap_hi.jpg")), JpegWriter::encode(big));
        AtomicFile::write(target.filePath(QStringLiteral("bigmap.jpg")), JpegWriter::encode(WorldPainter::downscale(big, 5)));
    }
}

std::optional<QString> parseArguments(const QStringList&, Options&, QString& error)
{
    error = QStringLiteral("not yet");
    return std::nullopt;
}

QString usage()
{
    return {};
}

} // namespace vdm::worldgen
