// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "data/errors.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    vdm::worldgen::Options options;
    QString error;
    const auto dir = vdm::worldgen::parseArguments(QCoreApplication::arguments().mid(1), options, error);
    if (!dir) {
        std::fprintf(stderr, "veldamar-worldgen: %s\n%s", qPrintable(error), qPrintable(vdm::worldgen::usage()));
        return 2;
    }
    try {
        vdm::worldgen::generate(*dir, options);
    } catch (const vdm::Error& e) {
        std::fprintf(stderr, "veldamar-worldgen: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "veldamar-worldgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
