// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "data/atomicfile.h"
#include "data/errors.h"
#include "worldgen/jpegwriter.h"
#include "worldgen/readmetexts.h"
#include "worldgen/routeplanner.h"
#include "worldgen/settlementplanner.h"
#include "worldgen/terrain.h"
#include "worldgen/worldfiles.h"
#include "worldgen/worldpainter.h"

#include <QDir>
#include <QFileInfo>

namespace vdm::worldgen {
namespace {

constexpr int Divisors[] = {1, 2, 4, 5, 10, 20};

bool validDivisor(int d)
{
    return std::find(std::begin(Divisors), std::end(Divisors), d) != std::end(Divisors);
}

} // namespace

void generate(const QString& dir, const Options& options)
{
    if (options.locations < 1 || options.locations > MaxLocations)
        throw Error(QStringLiteral("The number of locations must lie between 1 and %1, not %2").arg(MaxLocations).arg(options.locations));
    if (options.pictures && !validDivisor(options.pictureDivisor))
        throw Error(QStringLiteral("The picture divisor must be 1, 2, 4, 5, 10 or 20, not %1").arg(options.pictureDivisor));
    if (dir.isEmpty() || (QFileInfo::exists(dir) && !QFileInfo(dir).isDir()))
        throw Error(QStringLiteral("'%1' is not a directory").arg(dir));
    if (!QDir().mkpath(dir))
        throw Error(QStringLiteral("Cannot create directory %1").arg(QDir::toNativeSeparators(dir)));
    const QDir target(dir);
    auto write = [&](const char* name, const QByteArray& bytes) {
        AtomicFile::write(target.filePath(QString::fromLatin1(name)), bytes);
    };

    const Terrain terrain(options.seed);
    const std::vector<Place> places = SettlementPlanner::plan(terrain, options.seed, options.locations);
    const auto routes = RoutePlanner::plan(places, terrain, options.seed);
    write("vdmain.gdb", WorldFiles::locationsFile(places));
    write("routes.gdb", WorldFiles::routesFile(places, routes));
    if (options.readmes) {
        write("readme.txt", ReadmeTexts::english());
        write("readmerus.txt", ReadmeTexts::russian());
        write("readmefr.txt", ReadmeTexts::french());
    }
    if (options.pictures) {
        const int d = options.pictureDivisor;
        const QImage big = WorldPainter::paint(terrain, options.seed, QSize(3300 / d, 3800 / d));
        write("bigmap_hi.jpg", JpegWriter::encode(big));
        write("bigmap.jpg", JpegWriter::encode(WorldPainter::downscale(big, 5)));
    }
}

std::optional<QString> parseArguments(const QStringList& arguments, Options& options, QString& error)
{
    std::optional<QString> dir;
    Options parsed = options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(argument);
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (argument == u"--locations") {
            const auto text = value();
            if (!text)
                return std::nullopt;
            bool ok = false;
            const int n = text->toInt(&ok);
            if (!ok || n < 1 || n > MaxLocations) {
                error = QStringLiteral("--locations needs a whole number from 1 to %1, not '%2'").arg(MaxLocations).arg(*text);
                return std::nullopt;
            }
            parsed.locations = n;
        } else if (argument == u"--seed") {
            const auto text = value();
            if (!text)
                return std::nullopt;
            bool ok = false;
            const qulonglong seed = text->toULongLong(&ok);
            if (!ok || text->startsWith(u'+')) {
                error = QStringLiteral("--seed needs a whole number from 0 to 18446744073709551615, not '%1'").arg(*text);
                return std::nullopt;
            }
            parsed.seed = seed;
        } else if (argument == u"--no-pictures") {
            parsed.pictures = false;
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            error = QStringLiteral("unknown option '%1'").arg(argument);
            return std::nullopt;
        } else if (dir) {
            error = QStringLiteral("only one directory may be given, not also '%1'").arg(argument);
            return std::nullopt;
        } else if (argument.isEmpty()) {
            error = QStringLiteral("the directory name is empty");
            return std::nullopt;
        } else {
            dir = argument;
        }
    }
    if (!dir) {
        error = QStringLiteral("no directory given");
        return std::nullopt;
    }
    options = parsed;
    return dir;
}

QString usage()
{
    return QStringLiteral("Usage: veldamar-worldgen DIR [--locations N] [--seed S] [--no-pictures]\n"
                          "Writes an invented sample world into DIR (created when missing):\n"
                          "  bigmap_hi.jpg, bigmap.jpg   the map pictures (3300 x 3800 and 660 x 760)\n"
                          "  vdmain.gdb, routes.gdb      the locations and the travel routes\n"
                          "  readme.txt, readmerus.txt, readmefr.txt\n"
                          "  --locations N   number of locations, 1 to %1 (default 640)\n"
                          "  --seed S        world seed, 0 to 18446744073709551615 (default 1)\n"
                          "  --no-pictures   leave out the two map pictures\n")
        .arg(MaxLocations);
}

} // namespace vdm::worldgen
