// SPDX-License-Identifier: MIT
// veldamar-render DIR OUT.png|OUT.jpg [--zoom I] [--scroll X,Y] [--size WxH] [--settings FILE]
//                 [--route FROM TO] [--check] [--kind KIND]... [--region REGION]...
// Paints the map view the window would show for that zoom level and scroll position,
// with the quickest route between two places drawn over it when asked, and only the
// places of the kinds and regions named when a filter is given; --check reports the
// places nothing reaches and the routes with no way back (OUT may then be left out).
#include "cli/commandline.h"
#include "data/inifile.h"
#include "data/settings.h"
#include "data/codepage.h"
#include "data/errors.h"
#include "data/regularfile.h"
#include "journey/journeypainter.h"
#include "journey/journeysettings.h"
#include "journey/reachability.h"
#include "journey/routeplanner.h"
#include "journey/travelgraph.h"
#include "map/mapimage.h"
#include "map/mappainter.h"
#include "map/placefilter.h"
#include "world/datalocations.h"
#include "world/world.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace vdm;

namespace {

struct Arguments {
    QString dir, out, settingsFile;
    QByteArray format; // of the output, from its name
    std::optional<int> zoom;
    std::optional<QPoint> scroll;
    QSize size{Viewport::DesignWidth, Viewport::DesignHeight};
    std::optional<std::pair<QString, QString>> route; // place names as the location list shows them
    bool check = false;
    PlaceFilter places;
};

/** Exit status of a route between places the world does not hold, as of any other wrong argument. */
constexpr int UnknownPlaceStatus = 2;

const QString Program = QStringLiteral("veldamar-render");

void say(const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(Program), qPrintable(text));
}

void describeArguments(QCommandLineParser& parser)
{
    parser.addOptions({
        {QStringLiteral("zoom"), QStringLiteral("Zoom level, 0 (10 %) to 7 (300 %)."), QStringLiteral("I")},
        {QStringLiteral("scroll"), QStringLiteral("Scroll position in picture pixels of that zoom."),
         QStringLiteral("X,Y")},
        {QStringLiteral("size"),
         QStringLiteral("Size of the view in pixels (default %1x%2).")
             .arg(Viewport::DesignWidth)
             .arg(Viewport::DesignHeight),
         QStringLiteral("WxH")},
        {QStringLiteral("settings"),
         QStringLiteral("A settings file (qor.ini) for the colours, fonts, toggles, the ways a route may take "
                        "and, unless given, zoom and scroll."),
         QStringLiteral("FILE")},
        {QStringLiteral("route"),
         QStringLiteral("Draws the quickest route from place FROM to place TO (names as in the location list).")},
        {QStringLiteral("check"),
         QStringLiteral("Reports the places nothing reaches and the routes with no way back; OUT may be left out.")},
        {QStringLiteral("kind"),
         QStringLiteral("Shows only places of this kind, as the window's filter does (repeat for several)."),
         QStringLiteral("KIND")},
        {QStringLiteral("region"),
         QStringLiteral("Shows only places in this region, as the window's filter does (repeat for several)."),
         QStringLiteral("REGION")},
    });
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("The world folder: a map picture and the databases."));
    parser.addPositionalArgument(QStringLiteral("OUT"),
                                 QStringLiteral("The picture to write; its name ends in .png, .jpg or .jpeg."));
}

/** Reads the parsed command line; returns an error text, empty on success. */
QString read(const QCommandLineParser& parser, Arguments& a)
{
    if (parser.isSet(QStringLiteral("zoom"))) {
        const QString value = parser.value(QStringLiteral("zoom"));
        bool ok = false;
        const int z = value.toInt(&ok);
        if (!ok || z < 0 || z >= Viewport::LevelCount)
            return QStringLiteral("zoom must be 0 to 7, not '%1'").arg(value);
        a.zoom = z;
    }
    if (parser.isSet(QStringLiteral("scroll"))) {
        const QString value = parser.value(QStringLiteral("scroll"));
        static const QRegularExpression re(QStringLiteral("^(-?\\d{1,9}),(-?\\d{1,9})$"));
        const auto m = re.match(value);
        if (!m.hasMatch())
            return QStringLiteral("scroll must be X,Y, not '%1'").arg(value);
        a.scroll = QPoint(m.captured(1).toInt(), m.captured(2).toInt());
    }
    if (parser.isSet(QStringLiteral("size"))) {
        const QString value = parser.value(QStringLiteral("size"));
        static const QRegularExpression re(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
        const auto m = re.match(value);
        const int w = m.hasMatch() ? m.captured(1).toInt() : 0, h = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (w < 1 || h < 1 || w > 16384 || h > 16384)
            return QStringLiteral("size must be WxH between 1x1 and 16384x16384, not '%1'").arg(value);
        a.size = QSize(w, h);
    }
    if (parser.isSet(QStringLiteral("settings")))
        a.settingsFile = parser.value(QStringLiteral("settings"));
    a.check = parser.isSet(QStringLiteral("check"));
    std::vector<QByteArray> filter[2];
    for (int i = 0; i < 2; ++i) {
        const QString option = i == 0 ? QStringLiteral("kind") : QStringLiteral("region");
        for (const QString& value : parser.values(option)) {
            if (CodePage::filter(value) != value)
                return QStringLiteral("--%1 '%2' holds a character no place can hold").arg(option, value);
            filter[i].push_back(CodePage::encode(value));
        }
    }
    a.places = PlaceFilter(std::move(filter[0]), std::move(filter[1]));
    const QStringList positional = parser.positionalArguments();
    if (a.check && positional.size() == 1) {
        a.dir = positional[0];
        return {}; // the report alone
    }
    if (positional.size() != 2)
        return QStringLiteral("expected DIR and OUT, not %1 argument(s)").arg(positional.size());
    a.dir = positional[0];
    a.out = positional[1];
    a.format = MapImage::formatFor(a.out);
    if (a.format.isEmpty())
        return QStringLiteral("cannot write '%1': the name must end in .png, .jpg or .jpeg").arg(a.out);
    return {};
}

/** Runs one loading step of the world; a loader error names the file it came from. */
template <typename Step> void loadStep(const World& world, const char* name, Step step)
{
    try {
        step();
    } catch (const Error& e) {
        throw Error(
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(world.filePath(QLatin1String(name))), e.message()));
    }
}

/** The first place bearing `name` as the location list shows it, or -1. */
int placeNamed(const LocationList& locations, const QString& name)
{
    for (std::size_t i = 0; i < locations.size(); ++i)
        if (CodePage::decode(locations[i].Name) == name)
            return int(i);
    return -1;
}

int run(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts need a GUI application, not a screen
    QGuiApplication app(argc, argv);

    // --route takes two values, which the parser's options cannot: take them out first.
    QStringList arguments = QCoreApplication::arguments();
    std::optional<std::pair<QString, QString>> route;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--route")); at > 0) {
        if (at + 2 >= arguments.size())
            return cli::usageError(Program, QStringLiteral("--route needs two place names, FROM and TO"));
        route = std::pair{arguments[at + 1], arguments[at + 2]};
        arguments.remove(at, 3);
    }

    QCommandLineParser parser;
    cli::setUp(parser,
               QStringLiteral("Paints the map view the window would show for a zoom level and scroll position."));
    describeArguments(parser);
    if (const auto status = cli::parse(parser, arguments, Program))
        return *status;
    Arguments a;
    const QString problem = read(parser, a);
    if (!problem.isEmpty())
        return cli::usageError(Program, problem);
    a.route = route;

    try {
        Settings settings;
        TravelSettings travel; // the window's defaults, unless the settings file says otherwise
        if (!a.settingsFile.isEmpty()) {
            if (!RegularFile::isRegular(a.settingsFile))
                throwCannotOpen(QFileInfo(a.settingsFile).absoluteFilePath());
            const IniFile ini(a.settingsFile);
            readSettings(ini, settings);
            travel = JourneySettings::read(ini);
            // The view the window would restore: none while RestoreWindow is off.
            const StoredView stored = readStoredView(ini, settings);
            if (!a.zoom)
                a.zoom = stored.Zoom;
            if (!a.scroll)
                a.scroll = QPoint(stored.CenterX, stored.CenterY);
        }

        // The world is only read here: nothing is ever saved back.
        World world(a.dir);
        const bool paints = !a.out.isEmpty(); // a report alone needs no picture
        if (paints && !World::pictureExists(a.dir))
            throw Error(QStringLiteral("Map file not found. Please reinstall application."));
        if (paints)
            world.LoadPicture();
        loadStep(world, "vdmain.gdb", [&] { world.LoadLocations(); });
        loadStep(world, "routes.gdb", [&] { world.LoadRoutes(); });
        loadStep(world, "user.gdb", [&] { world.LoadUserData(); });
        loadStep(world, "markers.gdb", [&] { world.LoadMarkers(); });
        for (const QString& notice : DataLocations::takeNotices() + world.takeNotices())
            say(notice);

        if (a.check) {
            const TravelGraph graph(world.locations(), world.index());
            for (const QString& line :
                 reachabilityReport(checkReachability(graph, world.locations()), world.locations()))
                std::printf("%s\n", qPrintable(line));
            if (a.out.isEmpty())
                return 0;
        }

        const Viewport view = Viewport::showing(world.picture().size(), world.mapScale(), a.size, a.zoom.value_or(0),
                                                a.scroll.value_or(QPoint()));

        const DrawingObjects objects = DrawingObjects::fromSettings(settings);
        GoHighlight highlight;
        MapPainter painter;
        QImage image = painter.paint(MapScene{view, world.picture(), world.locations(), world.markers(), settings,
                                              objects, highlight, &world.index(), &a.places});
        if (a.route) {
            const int from = placeNamed(world.locations(), a.route->first);
            const int to = placeNamed(world.locations(), a.route->second);
            for (const auto& [index, name] : {std::pair{from, a.route->first}, std::pair{to, a.route->second}})
                if (index < 0) {
                    say(QStringLiteral("no place is named '%1'").arg(name));
                    return UnknownPlaceStatus;
                }
            const TravelGraph graph(world.locations(), world.index());
            const Journey journey = planJourney(graph, travel, from, to);
            if (!journey.reached)
                say(QStringLiteral("'%1' cannot be reached from '%2'; the route leads to '%3', the nearest place "
                                   "that can")
                        .arg(a.route->second, a.route->first,
                             CodePage::decode(world.locations()[std::size_t(journey.end)].Name)));
            JourneyPainter::paint(image, view, world.locations(), journey);
        }
        MapImage::write(a.out, image);
    } catch (const Error& e) {
        say(e.message());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Whatever else goes wrong (memory, the platform) ends in a message and status 1 too,
    // never in an abort.
    try {
        return run(argc, argv);
    } catch (...) {
        say(errorText(std::current_exception()));
        return 1;
    }
}
