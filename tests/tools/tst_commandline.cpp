// SPDX-License-Identifier: MIT
// The command lines of the program and the tools, run as the built executables.
#include "cli/commandline.h"
#include "common/testutils.h"
#include "common/testworld.h"
#include "worldgen/worldgen.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

using vdm::test::readFile;
using vdm::test::writeFile;

namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

/** Runs `program` with `arguments` in `dir`, with no display and no platform chosen. */
Outcome run(const QString& program, const QStringList& arguments, const QString& dir = QDir::tempPath())
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // --help, --version and usage errors are answered before a window system is needed.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir);
    process.start(program, arguments);
    Outcome r;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = process.exitCode();
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

const QString Map = QStringLiteral(VDM_MAP_PROGRAM);
const QString Render = QStringLiteral(VDM_RENDER_PROGRAM);
const QString Worldgen = QStringLiteral(VDM_WORLDGEN_PROGRAM);

struct Row {
    QString program;
    QStringList arguments;
    int status;
    QString out; // contained in standard output
    QString err; // contained in standard error
};

} // namespace

TEST(CommandLine, AnswersHelpVersionAndUsageErrorsWithTheirExitStatus)
{
    const QString v = vdm::cli::version();
    const std::vector<Row> rows{
        {Map, {"--help"}, 0, "Usage: veldamar-map [options] [WORLD_DIR]\n", ""},
        {Map, {"-h"}, 0, "--version", ""},
        {Map, {"--version"}, 0, "veldamar-map " + v + "\n", ""},
        {Map,
         {"--frobnicate"},
         2,
         "",
         "veldamar-map: Unknown option 'frobnicate'.\nTry 'veldamar-map --help' for more information.\n"},
        {Map, {"one", "two"}, 2, "", "only one world folder may be given, not also 'two'"},
        {Map, {"/nonexistent/world"}, 2, "", "cannot enter the world folder '/nonexistent/world'"},
        // Qt's standard options pass, in both spellings, and their values are not the world.
        {Map, {"-style", "fusion", "--help"}, 0, "Usage: veldamar-map [options] [WORLD_DIR]\n", ""},
        {Map, {"--platform=offscreen", "-reverse", "--version"}, 0, "veldamar-map " + v + "\n", ""},
        {Map, {"-style", "fusion", "/nonexistent/world"}, 2, "", "cannot enter the world folder '/nonexistent/world'"},
        {Map, {"-platform", "offscreen", "-reverse", "a", "b"}, 2, "", "not also 'b'"},
        {Map, {"-style"}, 2, "", "Missing value after '-style'"},
        {Map, {"-stylefusion"}, 2, "", "Unknown option 'stylefusion'"},
        {Map, {"-hv"}, 2, "", "Unknown option 'hv'"},
        {Render, {"--help"}, 0, "Usage: veldamar-render [options] DIR OUT\n", ""},
        {Render, {"-h"}, 0, "--zoom <I>", ""},
        {Render, {"--version"}, 0, "veldamar-render " + v + "\n", ""},
        {Render, {"--frobnicate", "d", "o.png"}, 2, "", "veldamar-render: Unknown option 'frobnicate'."},
        {Render, {"d"}, 2, "", "expected DIR and OUT, not 1 argument(s)"},
        {Render, {"d", "o.png", "--zoom"}, 2, "", "Missing value after '--zoom'"},
        {Render, {"d", "o.png", "--zoom", "8"}, 2, "", "zoom must be 0 to 7, not '8'"},
        {Render, {"d", "o.png", "--size", "0x5"}, 2, "", "size must be WxH"},
        {Render, {"d", "o.png", "--scroll", "1;2"}, 2, "", "scroll must be X,Y, not '1;2'"},
        {Render, {"d", "o.bmp"}, 2, "", "cannot write 'o.bmp': the name must end in .png, .jpg or .jpeg"},
        {Render, {"d", "o"}, 2, "", "cannot write 'o'"},
        {Render, {"/nonexistent/world", "o.png"}, 1, "", "Map file not found."},
        {Worldgen, {"--help"}, 0, "Usage: veldamar-worldgen [options] DIR\n", ""},
        {Worldgen, {"--help"}, 0, "--force", ""},
        {Worldgen, {"--version"}, 0, "veldamar-worldgen " + v + "\n", ""},
        {Worldgen, {"--frobnicate", "w"}, 2, "", "veldamar-worldgen: Unknown option 'frobnicate'."},
        {Worldgen, {}, 2, "", "veldamar-worldgen: no directory given\nTry 'veldamar-worldgen --help'"},
        {Worldgen, {"w", "--locations", "0"}, 2, "", "--locations needs a whole number from 1 to 1000000, not '0'"},
    };
    for (const Row& row : rows) {
        const QString what = QFileInfo(row.program).fileName() + ' ' + row.arguments.join(' ');
        const Outcome r = run(row.program, row.arguments);
        EXPECT_EQ(r.status, row.status) << what.toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(row.out)) << what.toStdString() << "\nstdout: " << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(row.err)) << what.toStdString() << "\nstderr: " << r.err.toStdString();
        // Help and version go to standard output alone; errors to standard error alone.
        if (row.status == 0)
            EXPECT_TRUE(r.err.isEmpty() || !r.err.contains(QStringLiteral("veldamar"))) << what.toStdString();
        else
            EXPECT_TRUE(r.out.isEmpty()) << what.toStdString();
    }
}

TEST(CommandLine, MapStartsWithQtsStandardOptions)
{
    QTemporaryDir dir, home;
    vdm::worldgen::Options options;
    options.locations = 20;
    options.pictureDivisor = 10;
    vdm::worldgen::generate(dir.path(), options);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(Map, {"-style", "fusion", "-platform", "offscreen", dir.path()});
    ASSERT_TRUE(process.waitForStarted(10000));
    // A refused command line ends at once with status 2; a program that started keeps its
    // window open until it is told to close.
    const bool ended = process.waitForFinished(3000);
    const QString said = QString::fromLocal8Bit(process.readAll());
    EXPECT_FALSE(ended) << "status " << process.exitCode() << ": " << said.toStdString();
    EXPECT_FALSE(said.contains("Unknown option")) << said.toStdString();
    process.kill();
    process.waitForFinished(10000);
}

/** One option as --help lists it: its names, its value's name, its description. */
struct HelpOption {
    QStringList names; // without dashes
    QString value;
    QString description;
};

/** The options of a --help text, descriptions joined over their wrapped lines. */
std::vector<HelpOption> helpOptions(const QString& help)
{
    std::vector<HelpOption> options;
    bool inOptions = false;
    static const QRegularExpression entry(QStringLiteral("^  (-[^ ].*?)(?:  +(.*))?$"));
    static const QRegularExpression name(QStringLiteral("--?([A-Za-z0-9-]+)"));
    static const QRegularExpression value(QStringLiteral("<([^>]+)>"));
    for (const QString& line : help.split(u'\n')) {
        if (line == u"Options:") {
            inOptions = true;
            continue;
        }
        if (!inOptions || line.trimmed().isEmpty()) {
            inOptions = inOptions && !line.trimmed().isEmpty();
            continue;
        }
        if (const QRegularExpressionMatch m = entry.match(line); m.hasMatch()) {
            HelpOption o;
            for (auto it = name.globalMatch(m.captured(1)); it.hasNext();)
                o.names << it.next().captured(1);
            o.value = value.match(m.captured(1)).captured(1);
            o.description = m.captured(2).trimmed();
            options.push_back(o);
        } else if (!options.empty()) {
            options.back().description += u' ' + line.trimmed();
        }
    }
    return options;
}

/** A manual page's text as a reader sees it: no requests, no escapes, one blank between words. */
QString pageText(const QString& source)
{
    QStringList words;
    for (QString line : source.split(u'\n')) {
        if (line.startsWith(u'.')) {
            const qsizetype blank = line.indexOf(u' ');
            line = blank < 0 ? QString() : line.mid(blank + 1);
        }
        line.replace(QStringLiteral("\\-"), QStringLiteral("-")).remove(u'"');
        words << line.simplified();
    }
    return words.join(u' ').simplified();
}

TEST(CommandLine, ManualPagesDescribeEveryOptionAsTheHelpDoes)
{
    const QDir pages(QStringLiteral(VDM_MAN_DIR));
    for (const QString& program : {Map, Render, Worldgen}) {
        const QString name = QFileInfo(program).fileName();
        SCOPED_TRACE(name.toStdString());
        const Outcome help = run(program, {"--help"});
        ASSERT_EQ(help.status, 0);
        const std::vector<HelpOption> options = helpOptions(help.out);
        ASSERT_GE(options.size(), 2u) << help.out.toStdString(); // --help and --version at least
        const QString source = QString::fromUtf8(readFile(pages.filePath(name + ".1.in")));
        ASSERT_FALSE(source.isEmpty());
        const QString text = pageText(source);
        QStringList described;
        for (const HelpOption& o : options) {
            for (const QString& n : o.names) {
                const QString dashed = (n.size() == 1 ? "-" : "--") + n;
                EXPECT_TRUE(text.contains(dashed)) << "the page lacks " << dashed.toStdString();
                described << n;
            }
            if (!o.value.isEmpty()) {
                EXPECT_TRUE(text.contains(o.value)) << "the page lacks the value " << o.value.toStdString();
            }
            EXPECT_TRUE(text.contains(o.description)) << "the page does not say: " << o.description.toStdString();
        }
        // And the page names no option the program does not take (Qt's, for the window).
        static const QRegularExpression pageOption(QStringLiteral("\\\\-\\\\-([a-z][a-z0-9\\\\-]*)"));
        for (auto it = pageOption.globalMatch(source); it.hasNext();) {
            const QString n = it.next().captured(1).replace(QStringLiteral("\\-"), QStringLiteral("-"));
            EXPECT_TRUE(described.contains(n)) << "the page names --" << n.toStdString() << ", which --help does not";
        }
        if (program == Map) {
            for (const vdm::cli::QtOption& o : vdm::cli::qtOptions())
                EXPECT_TRUE(text.contains(
                    QStringLiteral("-%1 %2").arg(QLatin1String(o.name), QLatin1String(o.valueName)).trimmed() + ' '
                    + QLatin1String(o.description)))
                    << "the page lacks Qt's -" << o.name;
            // Which world opens, and where the user's files go.
            for (const char* said :
                 {"WORLD_DIR when it is given", "the world shown last time", "share/veldamar-map/world",
                  "$XDG_CONFIG_HOME/veldamar-map/", "$XDG_DATA_HOME/veldamar-map/"})
                EXPECT_TRUE(text.contains(QLatin1String(said))) << said;
        }
    }
}

TEST(CommandLine, RenderWritesTheFormatItsOutputNameAsksFor)
{
    QTemporaryDir dir;
    vdm::worldgen::Options options;
    options.locations = 20;
    options.pictureDivisor = 10;
    vdm::worldgen::generate(dir.path(), options);
    const std::vector<std::pair<QString, QByteArray>> rows{
        {"view.png", QByteArray("\x89PNG\r\n\x1a\n", 8)},
        {"view.jpg", QByteArray("\xff\xd8\xff", 3)},
        {"view.JPEG", QByteArray("\xff\xd8\xff", 3)},
    };
    for (const auto& [name, magic] : rows) {
        const QString out = QDir(dir.path()).filePath(name);
        const Outcome r = run(Render, {dir.path(), out, "--zoom", "2"});
        EXPECT_EQ(r.status, 0) << name.toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE(readFile(out).startsWith(magic)) << name.toStdString();
    }
}

TEST(CommandLine, WorldgenReplacesAnExistingWorldOnlyWhenForced)
{
    QTemporaryDir dir;
    const QString world = QDir(dir.path()).filePath("w");
    const QStringList arguments{world, "--no-pictures", "--locations", "10"};
    ASSERT_EQ(run(Worldgen, arguments).status, 0);
    const QString locations = QDir(world).filePath("vdmain.gdb");
    writeFile(locations, "annotated by hand\r\n");

    const Outcome refused = run(Worldgen, arguments);
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains("already holds a world (vdmain.gdb, routes.gdb, readme.txt"))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("give --force to replace it")) << refused.err.toStdString();
    EXPECT_EQ(readFile(locations), "annotated by hand\r\n");

    EXPECT_EQ(run(Worldgen, arguments + QStringList{"--force"}).status, 0);
    EXPECT_NE(readFile(locations), "annotated by hand\r\n");
}

TEST(CommandLine, TheCheckReportsOnAWorldAndTheSampleHasNoStrandedPlace)
{
    QTemporaryDir dir;
    const QString world = QDir(dir.path()).filePath("w");
    const Outcome generated = run(Worldgen, {world, "--no-pictures", "--check"});
    ASSERT_EQ(generated.status, 0) << generated.err.toStdString();
    const QStringList lines = generated.out.trimmed().split('\n');
    // The generator gives every island a way there; no place is left where nothing arrives.
    EXPECT_TRUE(lines.filter("unreached:").isEmpty()) << generated.out.toStdString();
    EXPECT_TRUE(lines.last().startsWith("0 places unreached") || lines.last().startsWith("Every place"))
        << lines.last().toStdString();

    // The renderer reports the same without a picture to write.
    const Outcome checked = run(Render, {world, "--check"});
    EXPECT_EQ(checked.status, 0) << checked.err.toStdString();
    EXPECT_EQ(checked.out, generated.out);
    EXPECT_EQ(run(Render, {world}).status, 2); // without --check, OUT is still needed
}

TEST(CommandLine, AWorldFolderWhoseNameIsNotUtf8IsEnteredByItsBytes)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("w");
    ASSERT_TRUE(QDir().mkdir(plain));
    vdm::test::TestWorld::writePicture(plain + "/bigmap.jpg", QSize(66, 76));
    const QByteArray raw = QFile::encodeName(plain) + "\xff\xfe";
    ASSERT_EQ(::rename(QFile::encodeName(plain).constData(), raw.constData()), 0);
    // Named back afterwards: the temporary folder cannot remove a name it cannot spell.
    const auto back = qScopeGuard([&] { ::rename(raw.constData(), QFile::encodeName(plain).constData()); });
    // The name goes to the program byte for byte, as a shell passes it.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start("/bin/sh", {"-c", "exec \"$0\" \"$1$(printf '\\377\\376')\"", Map, plain});
    ASSERT_TRUE(p.waitForStarted(10000));
    // The world is entered: the program does not end with a usage error but shows the
    // world's first box (its locations file is missing) and waits for the user.
    const bool ended = p.waitForFinished(4000);
    if (!ended) {
        p.kill();
        p.waitForFinished(10000);
    }
    EXPECT_FALSE(ended) << "status " << p.exitCode() << ": " << p.readAllStandardError().toStdString();
    EXPECT_FALSE(p.readAllStandardError().contains("cannot enter"));
}
