// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "data/atomicfile.h"
#include "data/errors.h"
#include "worldgen/jpegwriter.h"
#include "worldgen/readmetexts.h"
#include "worldgen/routeplanner.h"
#include "worldgen/settlementplanner.h"
#include "worldgen/terrain.h"
#include "worldgen/userfiles.h"
#include "worldgen/worldfiles.h"
#include "worldgen/worldpainter.h"

#include <QCommandLineParser>
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
        throw Error(QStringLiteral("The number of locations must lie between 1 and %1, not %2")
                        .arg(MaxLocations)
                        .arg(options.locations));
    if (options.pictures && !validDivisor(options.pictureDivisor))
        throw Error(
            QStringLiteral("The picture divisor must be 1, 2, 4, 5, 10 or 20, not %1").arg(options.pictureDivisor));
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
    if (options.userData) {
        write("user.gdb", UserFiles::userFile(places, options.seed));
        write("markers.gdb", UserFiles::markersFile(terrain, options.seed, options.locations));
    }
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

QStringList worldFiles(const Options& options)
{
    QStringList names{QStringLiteral("vdmain.gdb"), QStringLiteral("routes.gdb")};
    if (options.userData)
        names << QStringLiteral("user.gdb") << QStringLiteral("markers.gdb");
    if (options.readmes)
        names << QStringLiteral("readme.txt") << QStringLiteral("readmerus.txt") << QStringLiteral("readmefr.txt");
    if (options.pictures)
        names << QStringLiteral("bigmap_hi.jpg") << QStringLiteral("bigmap.jpg");
    return names;
}

QStringList existingWorldFiles(const QString& dir, const Options& options)
{
    QStringList present;
    const QDir target(dir);
    for (const QString& name : worldFiles(options))
        if (QFileInfo::exists(target.filePath(name)))
            present << name;
    return present;
}

void describeArguments(QCommandLineParser& parser)
{
    parser.addOptions({
        {QStringLiteral("locations"), QStringLiteral("Number of locations, 1 to %1 (default 640).").arg(MaxLocations),
         QStringLiteral("N")},
        {QStringLiteral("seed"), QStringLiteral("World seed, 0 to 18446744073709551615 (default 1)."),
         QStringLiteral("S")},
        {QStringLiteral("no-pictures"), QStringLiteral("Leave out the two map pictures.")},
        {QStringLiteral("user-data"),
         QStringLiteral("Also write user.gdb and markers.gdb: statuses, notes and markers as a user's own.")},
        {QStringLiteral("force"), QStringLiteral("Replace the files of a world already in DIR.")},
    });
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The folder to write the world into (created when missing): "
                                                "bigmap_hi.jpg and bigmap.jpg (3300 x 3800 and 660 x 760), "
                                                "vdmain.gdb, routes.gdb, readme.txt, readmerus.txt, readmefr.txt."));
}

std::optional<QString> readArguments(const QCommandLineParser& parser, Options& options, bool& force, QString& error)
{
    Options parsed = options;
    if (parser.isSet(QStringLiteral("locations"))) {
        const QString text = parser.value(QStringLiteral("locations"));
        bool ok = false;
        const int n = text.toInt(&ok);
        if (!ok || n < 1 || n > MaxLocations) {
            error
                = QStringLiteral("--locations needs a whole number from 1 to %1, not '%2'").arg(MaxLocations).arg(text);
            return std::nullopt;
        }
        parsed.locations = n;
    }
    if (parser.isSet(QStringLiteral("seed"))) {
        const QString text = parser.value(QStringLiteral("seed"));
        bool ok = false;
        const qulonglong seed = text.toULongLong(&ok);
        if (!ok || text.startsWith(u'+')) {
            error = QStringLiteral("--seed needs a whole number from 0 to 18446744073709551615, not '%1'").arg(text);
            return std::nullopt;
        }
        parsed.seed = seed;
    }
    if (parser.isSet(QStringLiteral("no-pictures")))
        parsed.pictures = false;
    if (parser.isSet(QStringLiteral("user-data")))
        parsed.userData = true;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        error = QStringLiteral("no directory given");
        return std::nullopt;
    }
    if (positional.size() > 1) {
        error = QStringLiteral("only one directory may be given, not also '%1'").arg(positional[1]);
        return std::nullopt;
    }
    if (positional[0].isEmpty()) {
        error = QStringLiteral("the directory name is empty");
        return std::nullopt;
    }
    options = parsed;
    force = parser.isSet(QStringLiteral("force"));
    return positional[0];
}

std::optional<QString> parseArguments(const QStringList& arguments, Options& options, QString& error)
{
    QCommandLineParser parser;
    describeArguments(parser);
    if (!parser.parse(QStringList{QStringLiteral("veldamar-worldgen")} + arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    bool force = false;
    return readArguments(parser, options, force, error);
}

} // namespace vdm::worldgen
