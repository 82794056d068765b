// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QCommandLineParser;

namespace vdm::cli {

/** Exit status of a command line the program cannot act on (GNU convention). */
constexpr int UsageStatus = 2;

/** The project's version, "1.0" style. */
QString version();

/** The application's id on the desktop, the name of its desktop entry without ".desktop". */
QString desktopId();

/**
 * Prepares `parser` for a program of ours: GNU-style long options, `description` as the
 * text under the usage line, and --help and --version. Add the program's own options and
 * positional arguments after this.
 */
void setUp(QCommandLineParser& parser, const QString& description);

/** One of Qt's own command-line options, which every window program of Qt takes. */
struct QtOption {
    const char* name;      // without dashes; Qt takes it after one dash or two
    const char* valueName; // empty when the option is a switch
    const char* description;
};

/** Qt's standard options of a widget program (the platform's, the window's, the style's). */
const std::vector<QtOption>& qtOptions();

/**
 * Lets `parser` accept Qt's standard options ("-style fusion", "--platform=xcb",
 * "-reverse"), hidden from --help, so they stay in the arguments for QApplication, which
 * takes them. Words after one dash are then long options ("-style", not -s -t -y -l -e),
 * as Qt reads them.
 */
void acceptQtOptions(QCommandLineParser& parser);

/**
 * Reads `arguments` (the program's path first) with `parser`. --help prints the help text
 * and --version "PROGRAM VERSION" to standard output, ending with 0; an argument the parser
 * rejects is reported as by usageError(). Returns the exit status when the program ends
 * here, nothing when it goes on. `program` is the name used in every message.
 */
std::optional<int> parse(QCommandLineParser& parser, const QStringList& arguments, const QString& program);

/**
 * Prints "PROGRAM: PROBLEM" and a pointer to --help to standard error, and returns
 * UsageStatus.
 */
int usageError(const QString& program, const QString& problem);

} // namespace vdm::cli
