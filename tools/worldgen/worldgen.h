// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class QCommandLineParser;

namespace vdm::worldgen {

struct Options {
    int locations = 640;
    std::uint64_t seed = 1;
    bool pictures = true; // write bigmap_hi.jpg and bigmap.jpg
    bool readmes = true;  // write the three read-me files
    /** Pictures of 3300/d x 3800/d and 660/d x 760/d pixels; d is 1, 2, 4, 5, 10 or 20.
     *  Anything but 1 is for tests and benchmarks: the viewer expects the full sizes. */
    int pictureDivisor = 1;
    /** Also write user.gdb (statuses and notes) and markers.gdb, as a user's own files. */
    bool userData = false;
};

constexpr int MaxLocations = 1000000;

/**
 * Writes a whole invented world into `dir` (created when missing): the two map pictures,
 * vdmain.gdb, routes.gdb and the read-me files. Every file is replaced atomically; the
 * same options give the same bytes. Throws vdm::Error on failure.
 */
void generate(const QString& dir, const Options& options);

/** The files `generate` writes with `options`, by name. */
QStringList worldFiles(const Options& options);

/** Those of worldFiles(options) that already exist in `dir`: a world there would be replaced. */
QStringList existingWorldFiles(const QString& dir, const Options& options);

/** Adds the generator's options (--locations, --seed, --no-pictures, --user-data, --force) and DIR. */
void describeArguments(QCommandLineParser& parser);

/**
 * Reads a command line that `parser` (set up by describeArguments) has parsed. Returns DIR
 * and fills `options`, and `force` with whether --force was given; on a wrong value
 * returns nothing, sets `error` and leaves both alone.
 */
std::optional<QString> readArguments(const QCommandLineParser& parser, Options& options, bool& force, QString& error);

/**
 * Parses and reads the command line after the program name: DIR [--locations N] [--seed S]
 * [--no-pictures] [--user-data] [--force]. Returns DIR and fills `options`; on a wrong argument returns
 * nothing and sets `error`.
 */
std::optional<QString> parseArguments(const QStringList& arguments, Options& options, QString& error);

} // namespace vdm::worldgen
