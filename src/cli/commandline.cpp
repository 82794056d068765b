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

const std::vector<QtOption>& qtOptions()
{
    static const std::vector<QtOption> options{
        {"platform", "NAME", "the window system plugin (xcb, wayland, offscreen)"},
        {"platformpluginpath", "PATH", "another folder of window system plugins"},
        {"platformtheme", "NAME", "the platform theme plugin"},
        {"plugin", "NAME", "an additional input plugin"},
        {"display", "DISPLAY", "the X display (X11)"},
        {"name", "NAME", "the program's resource name (X11)"},
        {"style", "NAME", "the widget style (for example fusion)"},
        {"stylesheet", "FILE", "a Qt style sheet applied to every window"},
        {"qwindowgeometry", "GEOMETRY", "the main window's geometry, WxH+X+Y"},
        {"geometry", "GEOMETRY", "the same as -qwindowgeometry"},
        {"qwindowtitle", "TITLE", "the main window's title"},
        {"title", "TITLE", "the same as -qwindowtitle"},
        {"qwindowicon", "FILE", "the windows' icon"},
        {"icon", "FILE", "the same as -qwindowicon"},
        {"session", "ID", "the session the desktop restores"},
        {"reverse", "", "lays the windows out from right to left"},
        {"widgetcount", "", "prints the number of widgets left at the end"},
        {"testability", "", "loads Qt's testability plugin"},
    };
    return options;
}

void acceptQtOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QtOption& o : qtOptions()) {
        QCommandLineOption option(QString::fromLatin1(o.name), QString::fromLatin1(o.description),
                                  QString::fromLatin1(o.valueName));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
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
