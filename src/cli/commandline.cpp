// SPDX-License-Identifier: MIT
#include "cli/commandline.h"

#include "cli/version.h"

#include <QCommandLineParser>

#include <cstdio>

namespace vdm::cli {

QString version()
{
    return QStringLiteral(VDM_VERSION);
}

QString desktopId()
{
    return QStringLiteral(VDM_APP_ID);
}

void setUp(QCommandLineParser& parser, const QString& description)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.setApplicationDescription(description);
    // Our own --help and --version, with the GNU wording; the parser's would add Qt's options.
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Display this help and exit.")});
    parser.addOption({QStringLiteral("version"), QStringLiteral("Output version information and exit.")});
}

std::optional<int> parse(QCommandLineParser& parser, const QStringList& arguments, const QString& program)
{
    if (!parser.parse(arguments))
        return usageError(program, parser.errorText());
    // Help wins over everything else on the line, as with the GNU tools.
    if (parser.isSet(QStringLiteral("help"))) {
        // The parser's usage line names the program by the path it was started with.
        QString text = parser.helpText();
        const QString usage = QStringLiteral("Usage: ");
        if (!arguments.isEmpty() && text.startsWith(usage + arguments.constFirst() + u' '))
            text.replace(usage.size(), arguments.constFirst().size(), program);
        std::fputs(qPrintable(text), stdout);
        std::fflush(stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", qPrintable(program), VDM_VERSION);
        std::fflush(stdout);
        return 0;
    }
    return std::nullopt;
}

int usageError(const QString& program, const QString& problem)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", qPrintable(program), qPrintable(problem),
                 qPrintable(program));
    return UsageStatus;
}

} // namespace vdm::cli
