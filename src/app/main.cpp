// SPDX-License-Identifier: MIT
#include "app/accessibility.h"
#include "app/program.h"
#include "cli/commandline.h"
#include "dialogs/prompts.h"
#include "hint/shadowedhintwindow.h"
#include "world/world.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <optional>

namespace {

/** The argument as given, byte for byte, that reads as `text`; empty when none does or it reads back the same. */
QByteArray rawArgument(int argc, char** argv, const QString& text)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (!raw.startsWith('-') && QFile::decodeName(raw) == text && QFile::encodeName(text) != raw)
            return raw;
    }
    return {};
}

/**
 * Reads the command line before any window system is reached, so --help, --version and a
 * wrong argument work on a terminal without a display. Returns the exit status when the
 * program ends here.
 */
std::optional<int> readCommandLine(int argc, char** argv, QString& world, bool& choose)
{
    const QString program = QStringLiteral("veldamar-map");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    vdm::cli::setUp(parser,
                    QStringLiteral("Shows the map of the world in WORLD_DIR. Without one: the working directory when\n"
                                   "it holds a map picture, else the world shown last, else the installed sample\n"
                                   "world, else a folder you choose.\n"
                                   "Qt's standard options (-style NAME, -platform NAME, ...) are taken too."));
    // Accepted here and left in argv: QApplication takes them when it starts.
    vdm::cli::acceptQtOptions(parser);
    const QCommandLineOption chooseOption(QStringLiteral("choose-world"),
                                          QStringLiteral("Asks for the world folder to open first."));
    parser.addOption(chooseOption);
    parser.addPositionalArgument(
        QStringLiteral("WORLD_DIR"),
        QStringLiteral("The world folder: a map picture (bigmap_hi.jpg or bigmap.jpg) and its databases."),
        QStringLiteral("[WORLD_DIR]"));
    if (const auto status = vdm::cli::parse(parser, QCoreApplication::arguments(), program))
        return status;
    const QStringList positional = parser.positionalArguments();
    choose = parser.isSet(chooseOption);
    if (choose && !positional.isEmpty())
        return vdm::cli::usageError(program, QStringLiteral("--choose-world takes no world folder"));
    if (positional.size() > 1)
        return vdm::cli::usageError(
            program, QStringLiteral("only one world folder may be given, not also '%1'").arg(positional[1]));
    if (!positional.isEmpty()) {
        QFileInfo folder(positional[0]);
        // A file of a world (its picture, a database), as a file manager may hand it over, names its folder.
        if (folder.isFile() && vdm::World::pictureExists(folder.absolutePath()))
            folder = QFileInfo(folder.absolutePath());
        if (folder.isDir() && folder.isExecutable()) {
            world = folder.absoluteFilePath();
        } else if (const QByteArray raw = rawArgument(argc, argv, positional[0]);
                   !raw.isEmpty() && ::chdir(raw.constData()) == 0) {
            // A name that is not valid UTF-8 has no text that gives its bytes back: the
            // folder is entered by its bytes and its files are found from within.
            world = QStringLiteral(".");
        } else {
            return vdm::cli::usageError(program,
                                        QStringLiteral("cannot enter the world folder '%1'").arg(positional[0]));
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    QString world;
    bool choose = false;
    if (argc > 1) {
        if (const auto status = readCommandLine(argc, argv, world, choose))
            return *status;
    }
    // Before the application exists: a screen reader that is already listening asks for the
    // application's interface at once, and the first answer is the one kept.
    vdm::installCheckButtonAccessibility();
    QApplication app(argc, argv);
    // Its start put the toolkit's widget factory before ours: ours goes first again.
    vdm::installCheckButtonAccessibility();
    // The window system matches the window to the desktop entry and its icon by this name.
    QGuiApplication::setDesktopFileName(vdm::cli::desktopId());
    // Tool-button tooltips of the whole application cast a soft shadow.
    vdm::TShadowedHintWindow::installForApplication();
    vdm::WidgetPrompts prompts;
    return vdm::runProgram(prompts, QCoreApplication::applicationDirPath() + QLatin1Char('/'), world, choose);
}
