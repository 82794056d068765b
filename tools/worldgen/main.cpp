// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "cli/commandline.h"
#include "data/errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral("veldamar-worldgen");
    QCommandLineParser parser;
    vdm::cli::setUp(parser, QStringLiteral("Writes an invented sample world into DIR."));
    vdm::worldgen::describeArguments(parser);
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
    try {
        vdm::worldgen::generate(*dir, options);
    } catch (const vdm::Error& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), e.what());
        return 1;
    }
    return 0;
}
