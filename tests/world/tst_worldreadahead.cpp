// SPDX-License-Identifier: MIT
// The databases read on a worker while the picture decodes: every loader hands over what
// a serial read would have made, with the same errors and messages at the same step, and
// no file is read twice unless it changed after the worker read it.
#include "common/testutils.h"
#include "common/testworld.h"
#include "data/errors.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "map/fontahead.h"
#include "map/mappainter.h"
#include "world/world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vdm {
namespace {

using test::locationRecord;
using test::marker;
using test::readFile;
using test::writeFile;

/** What the loaders did, step by step as the first show runs them, and what they left. */
struct Trace {
    std::vector<std::string> steps; // per step: its result or its error, then its messages
    LocationList locations, markers;
    std::vector<ListedLocation> listed;
    bool locationsLoaded = false, userSafe = false, markersSafe = false, indexed = false;
    std::vector<int> placesNear;                 // what the index finds over the whole map
    std::vector<std::pair<int, int>> routesNear; // each route found there: origin, target
    int longestName = 0;
    World::StatusCounts counts;
    bool operator==(const Trace&) const = default;
};

std::string text(const QString& s)
{
    return s.toStdString();
}

/**
 * Runs the four loaders as the first show does: in order, the first error ending the run.
 * Without `listed`, the list's order is left unasked for.
 */
Trace trace(World& world, bool listed = true)
{
    Trace t;
    const auto step = [&](const char* name, auto load) {
        std::string line = name;
        try {
            line += load();
        } catch (const Error& e) {
            line += " threw " + text(e.message());
        }
        for (const QString& notice : world.takeNotices())
            line += " | " + text(notice);
        t.steps.push_back(line);
        return line.find(" threw ") == std::string::npos;
    };
    step("locations", [&] { return std::string(world.LoadLocations() ? " found" : " missing"); })
        && step("routes", [&] { return world.LoadRoutes(), std::string(); })
        && step("user data", [&] { return world.LoadUserData(), std::string(); })
        && step("markers", [&] { return world.LoadMarkers(), std::string(); });
    t.locations = world.locations();
    t.markers = world.markers();
    if (listed)
        t.listed = world.listedLocations();
    t.locationsLoaded = world.locationsLoaded();
    t.userSafe = world.userDataSafe();
    t.markersSafe = world.markersSafe();
    t.counts = world.statusCounts();
    t.indexed = world.index().coversLocations(world.locations()) && world.index().coversMarkers(world.markers());
    const MapBox everywhere{-1000000, 1000000, -1000000, 1000000};
    t.placesNear = world.index().locationsNear(everywhere);
    for (const SpatialIndex::Segment* r : world.index().routesIn(everywhere))
        t.routesNear.emplace_back(r->from, r->target);
    t.longestName = world.index().longestLocationName();
    return t;
}

void waitForTheWorker(const World& world)
{
    while (world.readingAhead())
        std::this_thread::yield();
}

QByteArray threePlaces()
{
    return locationRecord("beta", 0, 1000, 2000) + locationRecord("Alpha", 1, -3000, 4000)
           + locationRecord("Gamma", 2, 5000, -6000);
}

QByteArray routes()
{
    return "rout\r\n   nm = Alpha\r\n1 beta\r\n2 Gamma\r\nend\r\n";
}

QByteArray userData()
{
    Location a, b, c;
    a.Name = "beta";
    a.Status = Visited;
    a.Note = "first";
    b.Name = "Alpha";
    b.Status = Active;
    c.Name = "Gamma";
    return writeUserData({a, b, c});
}

QByteArray markers()
{
    return writeMarkers({marker("Camp", 10, -20), marker("Ford", -30, 40)});
}

/** Unicode text with its byte-order mark: read as nothing, kept, and told. */
QByteArray utf16(const QByteArray& latin1)
{
    QByteArray out("\xFF\xFE");
    for (char c : latin1)
        out.append(c).append('\0');
    return out;
}

struct WorldCase {
    const char* what;
    QByteArray locations, routes, user, markers; // null: no such file
    std::vector<std::string> steps;              // what the loaders did, as the serial read does it
};

class ReadAheadTest : public ::testing::TestWithParam<WorldCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const WorldCase& c = GetParam();
        const std::pair<const char*, QByteArray> files[]
            = {{"vdmain.gdb", c.locations}, {"routes.gdb", c.routes}, {"user.gdb", c.user}, {"markers.gdb", c.markers}};
        for (const auto& [name, bytes] : files)
            if (!bytes.isNull())
                writeFile(dir.filePath(QLatin1String(name)), bytes);
    }
    QTemporaryDir dir;
};

TEST_P(ReadAheadTest, HandsOverWhatTheLoadersWouldHaveReadStepByStep)
{
    World serial(dir.path());
    const Trace expected = trace(serial);
    std::vector<std::string> steps = expected.steps;
    for (std::string& s : steps) // the messages name the folder of the run
        if (const auto at = s.find(text(QDir(dir.path()).canonicalPath())); at != std::string::npos)
            s.replace(at, text(QDir(dir.path()).canonicalPath()).size(), "DIR");
    EXPECT_EQ(steps, GetParam().steps);

    World ahead(dir.path());
    ahead.readDatabasesAhead();
    EXPECT_EQ(trace(ahead), expected);
    // Every step that ran took what the worker read: no file was read a second time.
    EXPECT_EQ(ahead.stepsTakenAhead(), int(expected.steps.size()));
}

TEST_P(ReadAheadTest, HandsThePlacesReadToTheFontsLearnerAndTheSameToTheLoaders)
{
    // The window learns its caption font from the names as soon as they are read; the
    // learner changes nothing the loaders hand over, and learns only from a crowded world
    // (these have three places): it is handed them and learns nothing.
    World serial(dir.path());
    const Trace expected = trace(serial);
    auto font = std::make_shared<FontAhead>(QFont(), 0, 1);
    World ahead(dir.path());
    ahead.readDatabasesAhead(font);
    EXPECT_EQ(trace(ahead), expected);
    EXPECT_EQ(ahead.stepsTakenAhead(), int(expected.steps.size()));
    EXPECT_FALSE(font->takeIfDone());
}

TEST_P(ReadAheadTest, HandsOverTheSameWhenTheWorkerIsDoneFirst)
{
    // As when the picture takes longer to decode than the databases to read: the worker
    // has read the names for the list's order by itself, and the first show sorts them.
    World serial(dir.path());
    const Trace expected = trace(serial);

    World ahead(dir.path());
    ahead.readDatabasesAhead();
    waitForTheWorker(ahead);
    EXPECT_EQ(trace(ahead), expected);
    EXPECT_EQ(ahead.stepsTakenAhead(), int(expected.steps.size()));
}

TEST_P(ReadAheadTest, OrdersABigWorldsListAsideAfterTheLoadersWithTheSameOrder)
{
    // A world this long has its list ordered on a thread of its own once the first frame is
    // on its way: no loader and no worker orders it, and the order made aside is the same.
    World serial(dir.path());
    const Trace expected = trace(serial);
    for (const bool workerFirst : {false, true}) {
        SCOPED_TRACE(workerFirst ? "the worker done first" : "the owner waiting for the worker");
        World ahead(dir.path());
        ahead.setListOrderedAsideFrom(1);
        ahead.readDatabasesAhead();
        if (workerFirst)
            waitForTheWorker(ahead);
        Trace read = trace(ahead, false);
        EXPECT_EQ(ahead.listOrdered(), ahead.locations().empty()) << "no place is no wait";
        QSignalSpy told(&ahead.events(), &WorldEvents::listOrdered);
        const bool aside = ahead.ordersListAside();
        EXPECT_EQ(aside, !ahead.locations().empty()) << "an empty list is ordered at once";
        ahead.orderListAside();
        ahead.orderListAside(); // asked again, the same order is awaited
        EXPECT_EQ(ahead.ordersListAside(), aside);
        if (aside) {
            EXPECT_TRUE(told.wait(10000));
        }
        read.listed = ahead.listedLocations();
        EXPECT_EQ(read, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Worlds, ReadAheadTest,
    ::testing::Values(
        WorldCase{"whole world",
                  threePlaces(),
                  routes(),
                  userData(),
                  markers(),
                  {"locations found", "routes", "user data", "markers"}},
        WorldCase{"locations alone", threePlaces(), {}, {}, {}, {"locations found", "routes", "user data", "markers"}},
        WorldCase{"locations missing", {}, {}, {}, markers(), {"locations missing", "routes", "user data", "markers"}},
        WorldCase{"a level that is no number",
                  locationRecord("Alpha", 0, 1, 2) + locationRecord("Beta", 1, 3, 4).replace("lv= 1", "lv= x"),
                  routes(),
                  userData(),
                  markers(),
                  {"locations threw 'x' is not a valid integer value"}},
        WorldCase{"a route of no number",
                  threePlaces(),
                  "rout\r\n   nm = Alpha\r\nx beta\r\nend\r\n",
                  userData(),
                  markers(),
                  {"locations found", "routes threw 'x' is not a valid integer value"}},
        // The worker reads the user data beside the routes: a routes error still ends the
        // run there, with no status, note or message of the user data.
        WorldCase{"a route of no number and user data in UTF-16",
                  threePlaces(),
                  "rout\r\n   nm = Alpha\r\nx beta\r\nend\r\n",
                  utf16("loc\r\n"),
                  markers(),
                  {"locations found", "routes threw 'x' is not a valid integer value"}},
        WorldCase{"a route of no number and more user blocks than places",
                  threePlaces(),
                  routes() + "rout\r\n   nm = beta\r\n1 Gamma\r\n?\r\nend\r\n",
                  userData() + "loc\r\n   nm = Extra\r\n   status = 1\r\n   note = \r\nend\r\n",
                  markers(),
                  {"locations found", "routes threw '?' is not a valid integer value"}},
        WorldCase{"more user blocks than places",
                  threePlaces(),
                  routes(),
                  userData() + "loc\r\n   nm = Extra\r\n   status = 1\r\n   note = \r\nend\r\n",
                  markers(),
                  {"locations found", "routes", "user data threw List index out of bounds (3)"}},
        WorldCase{"user data in UTF-16",
                  threePlaces(),
                  routes(),
                  utf16("loc\r\n"),
                  markers(),
                  {"locations found", "routes",
                   "user data | The file DIR/user.gdb is stored as UTF-16 text, which this program cannot read. "
                   "Nothing was read from it, and it is kept unchanged unless you change a status or a note.",
                   "markers"}},
        WorldCase{"a marker without a comma",
                  threePlaces(),
                  routes(),
                  userData(),
                  "marker\r\n   text = Camp\r\n   pos = 10\r\nend\r\n",
                  {"locations found", "routes", "user data", "markers threw '10' is not a valid integer value"}}),
    [](const ::testing::TestParamInfo<WorldCase>& row) {
        std::string name;
        for (const char* p = row.param.what; *p; ++p)
            if (std::isalnum(static_cast<unsigned char>(*p)))
                name += *p;
        return name;
    });

class ReadAheadChangeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        write("vdmain.gdb", threePlaces());
        write("routes.gdb", routes());
        write("user.gdb", userData());
        write("markers.gdb", markers());
    }
    void write(const char* name, const QByteArray& bytes) const { writeFile(dir.filePath(QLatin1String(name)), bytes); }
    QTemporaryDir dir;
};

TEST_F(ReadAheadChangeTest, AFileChangedAfterTheWorkerReadItIsReadAgain)
{
    const struct {
        const char* file;
        QByteArray bytes;
    } changes[] = {
        {"vdmain.gdb", threePlaces() + locationRecord("Delta", 0, 7, 8)},
        {"routes.gdb", "rout\r\n   nm = Gamma\r\n3 Alpha\r\nend\r\n"},
        {"user.gdb", utf16("loc\r\n")},
        {"markers.gdb", writeMarkers({marker("Well", 1, 2)})},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.file);
        SetUp();
        World ahead(dir.path());
        ahead.readDatabasesAhead();
        waitForTheWorker(ahead);
        write(c.file, c.bytes);
        const Trace read = trace(ahead);
        World serial(dir.path());
        EXPECT_EQ(read, trace(serial));
        // What the worker read came over as one: all of it is read again.
        EXPECT_EQ(ahead.stepsTakenAhead(), 0);
    }
}

TEST_F(ReadAheadChangeTest, AUserFileWhosePlaceIsNotSettledIsReadByItsLoader)
{
    // A world folder the user may not write in: the user's files move to a folder of their
    // own on first use. That copy is a write, which only the loader makes, as without a worker.
    test::ScopedXdgHome home;
    const test::ScopedReadOnlyFolder readOnly(dir.path());
    World ahead(dir.path());
    ahead.readDatabasesAhead();
    const Trace read = trace(ahead);
    EXPECT_EQ(ahead.stepsTakenAhead(), 2); // the locations and the routes
    EXPECT_EQ(read.locations[0].Status, Visited);
    EXPECT_EQ(read.markers.size(), 2u);
    EXPECT_TRUE(QFileInfo(ahead.userFilePath(QStringLiteral("user.gdb"))).isFile());
    EXPECT_NE(QFileInfo(ahead.userFilePath(QStringLiteral("user.gdb"))).absolutePath(),
              QDir(dir.path()).absolutePath());
}

TEST_F(ReadAheadChangeTest, ACrowdedWorldsPlacesTeachTheFontWhileTheRestIsRead)
{
    QByteArray many;
    for (int i = 0; i < int(ManyCaptionsFrom); ++i)
        many += locationRecord("Place " + QByteArray::number(i), i % 4, i * 10, -i * 10);
    write("vdmain.gdb", many);
    write("routes.gdb", "");
    write("user.gdb", "");
    const QFont f(QStringLiteral("Sans"), 9);
    auto font = std::make_shared<FontAhead>(f, 0, 1);
    World world(dir.path());
    world.readDatabasesAhead(font);
    ASSERT_TRUE(world.LoadDatabases());
    EXPECT_EQ(world.locations().size(), ManyCaptionsFrom);
    std::shared_ptr<const LearnedFont> learned;
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(learned = font->takeIfDone()); }, 20000));
    ASSERT_TRUE(learned);
    EXPECT_EQ(learned->fontKey, f.key());
}

TEST_F(ReadAheadChangeTest, AWorldGoneOrMovedWhileTheWorkerReadsIsSound)
{
    {
        World gone(dir.path());
        gone.readDatabasesAhead(); // destroyed at once: waits for the worker
    }
    World first(dir.path());
    first.readDatabasesAhead();
    World moved = std::move(first);
    World serial(dir.path());
    EXPECT_EQ(trace(moved), trace(serial));
    EXPECT_EQ(moved.stepsTakenAhead(), 4);

    // A world that has read already reads nothing ahead.
    moved.readDatabasesAhead();
    EXPECT_FALSE(moved.readingAhead());
    EXPECT_EQ(moved.locations().size(), 3u);
}

TEST_F(ReadAheadChangeTest, AListOrderedAsideIsAwaitedDroppedOrLeftSoundly)
{
    const auto asideOf = [this] {
        auto world = std::make_unique<World>(dir.path());
        world->setListOrderedAsideFrom(1);
        world->LoadDatabases();
        EXPECT_TRUE(world->ordersListAside());
        world->orderListAside();
        return world;
    };
    World serial(dir.path());
    serial.LoadDatabases();
    const std::vector<ListedLocation> expected = serial.listedLocations();
    // Asked for before it is ready: the list waits for the thread, it is not sorted twice.
    EXPECT_EQ(asideOf()->listedLocations(), expected);
    // Gone while ordering: the thread is waited for, its notice never arrives.
    {
        auto world = asideOf();
        QSignalSpy told(&world->events(), &WorldEvents::listOrdered);
        world.reset();
        QCoreApplication::processEvents();
        EXPECT_EQ(told.size(), 0);
    }
    // Its list read again meanwhile: the order comes from the list as it is now.
    {
        auto world = asideOf();
        write("vdmain.gdb", threePlaces() + locationRecord("Aardvark Hill", 0, 7, 8));
        world->LoadLocations();
        EXPECT_EQ(world->listedLocations(), sortedLocationNames(world->locations()));
        EXPECT_EQ(world->listedLocations().front().name, "Aardvark Hill");
    }
    // Read ahead, nothing of the order is made before the first frame asks for it
    // (orderListAside): asked for first, gone first, or let go.
    const auto readAhead = [this] {
        auto world = std::make_unique<World>(dir.path());
        world->setListOrderedAsideFrom(1);
        world->readDatabasesAhead();
        world->LoadDatabases();
        EXPECT_TRUE(world->ordersListAside());
        EXPECT_FALSE(world->orderingListAside()) << "its names read before the first frame";
        return world;
    };
    {
        auto world = readAhead();
        QSignalSpy told(&world->events(), &WorldEvents::listOrdered);
        EXPECT_FALSE(told.wait(100)) << "sorted before the first frame";
        EXPECT_EQ(world->listedLocations(), sortedLocationNames(world->locations())) << "asked for, it sorts now";
    }
    {
        auto world = readAhead();
        QSignalSpy told(&world->events(), &WorldEvents::listOrdered);
        world.reset(); // never asked for: no order is made
        QCoreApplication::processEvents();
        EXPECT_EQ(told.size(), 0);
    }
    // Moved into another world's place (another world opened, read ahead): the order comes
    // along, and that place hears it is ready, whether the sort ended before the move or
    // after (let go by the place's first frame, as the window's list asks).
    for (const bool endedFirst : {false, true}) {
        SCOPED_TRACE(endedFirst ? "ended before the move" : "ended after the move");
        World place(dir.path());
        QSignalSpy told(&place.events(), &WorldEvents::listOrdered);
        {
            auto next = readAhead();
            QSignalSpy toldNext(&next->events(), &WorldEvents::listOrdered);
            if (endedFirst) {
                next->orderListAside();
                EXPECT_TRUE(toldNext.wait(10000));
            }
            place.replaceWith(std::move(*next));
        }
        if (!endedFirst)
            place.orderListAside();
        EXPECT_TRUE(told.size() == 1 || told.wait(10000));
        EXPECT_EQ(place.listedLocations(), sortedLocationNames(place.locations()));
    }
}

} // namespace
} // namespace vdm
