// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "cli/commandline.h"
#include "data/errors.h"
#include "journey/reachability.h"
#include "world/world.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

/** Reads the world just written back as the map reads it and reports what an author should look at. */
void printCheck(const QString& dir)
{
    vdm::World world(dir);
    world.LoadDatabases();
    const vdm::TravelGraph graph(world.locations(), world.index());
    for (const QString& line :
         vdm::reachabilityReport(vdm::checkReachability(graph, world.locations()), world.locations()))
        std::printf("%s\n", qPrintable(line));
}

int run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral("veldamar-worldgen");
    QCommandLineParser parser;
    vdm::cli::setUp(parser, QStringLiteral("Writes an invented sample world into DIR."));
    vdm::worldgen::describeArguments(parser);
    const QString check = QStringLiteral("check");
    parser.addOption({check, QStringLiteral("Then report places nothing reaches and routes with no way back.")});
    if (const auto status = vdm::cli::parse(parser, QCoreApplication::arguments(), program))
        return *status;
    vdm::worldgen::Options options;
    bool force = false;
    QString error;
    const auto dir = vdm::worldgen::readArguments(parser, options, force, error);
    if (!dir)
        return vdm::cli::usageError(program, error);
    // A world the user may have annotated is never replaced by accident.
    const QStringList existing = vdm::worldgen::existingWorldFiles(*dir, options);
    if (!force && !existing.isEmpty()) {
        std::fprintf(stderr, "%s: %s already holds a world (%s); give --force to replace it\n", qPrintable(program),
                     qPrintable(QDir::toNativeSeparators(*dir)), qPrintable(existing.join(QStringLiteral(", "))));
        return 1;
    }
    vdm::worldgen::generate(*dir, options);
    if (parser.isSet(check))
        printCheck(*dir);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Whatever goes wrong ends in a message and status 1, never in an abort.
    try {
        return run(argc, argv);
    } catch (...) {
        std::fprintf(stderr, "veldamar-worldgen: %s\n", qPrintable(vdm::errorText(std::current_exception())));
        return 1;
    }
}
