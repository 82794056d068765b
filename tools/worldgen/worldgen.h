// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace vdm::worldgen {

struct Options {
    int locations = 640;
    std::uint64_t seed = 1;
    bool pictures = true; // write bigmap_hi.jpg and bigmap.jpg
    bool readmes = true;  // write the three read-me files
    /** Pictures of 3300/d x 3800/d and 660/d x 760/d pixels; d is 1, 2, 4, 5, 10 or 20.
     *  Anything but 1 is for tests and benchmarks: the viewer expects the full sizes. */
    int pictureDivisor = 1;
};

constexpr int MaxLocations = 5000;

/**
 * Writes a whole invented world into `dir` (created when missing): the two map pictures,
 * vdmain.gdb, routes.gdb and the read-me files. Every file is replaced atomically; the
 * same options give the same bytes. Throws vdm::Error on failure.
 */
void generate(const QString& dir, const Options& options);

/**
 * Reads the command line after the program name: DIR [--locations N] [--seed S]
 * [--no-pictures]. Returns DIR and fills `options`; on a wrong argument returns nothing
 * and sets `error`.
 */
std::optional<QString> parseArguments(const QStringList& arguments, Options& options, QString& error);

/** The usage text printed with a wrong argument. */
QString usage();

} // namespace vdm::worldgen
