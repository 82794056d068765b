// SPDX-License-Identifier: MIT
// What the world tells without being asked, and who follows it: the events stay with the
// place a world lives in, and no part reaches back into the window through a callback.
#include "edit/locationsearch.h"
#include "edit/mapeditor.h"
#include "data/userdb.h"
#include "world/world.h"

#include "common/testutils.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <utility>
#include <vector>

namespace vdm {
namespace {

using test::marker;

using test::place;

TEST(WorldEvents, AWorldMovedIntoThePlaceKeepsTheConnectionsAndTheEditorStartsAfresh)
{
    QTemporaryDir folder;
    World world(folder.path(), {place("Falgard"), place("Brem")}, {marker("A", 10, 10)});
    MapEditor editor(world);
    editor.setAutosave(false);
    const WorldEvents* events = &world.events();
    QSignalSpy replaced(events, &WorldEvents::replaced);
    QSignalSpy taken(events, &WorldEvents::otherChangesTaken);

    ASSERT_TRUE(editor.showLocation(1));
    editor.setStatus(Visited);
    ASSERT_TRUE(editor.history().canUndo());

    world.replaceWith(World(folder.path(), {place("Oak")}, {}));
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_EQ(&world.events(), events); // the same object, so the same connections
    // Nothing of the old world's history or box reaches the new one.
    EXPECT_FALSE(editor.history().canUndo());
    EXPECT_EQ(editor.SelectedIndex(), 0);
    EXPECT_EQ(world.locations().size(), 1u);

    // The new world's merges are told through the same object.
    world.SaveUserData();
    QFile other(QDir(folder.path()).filePath(QStringLiteral("user.gdb")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly | QIODevice::Truncate));
    other.write(writeUserData({place("Oak", Visited, "from the other program")}));
    other.close();
    EXPECT_TRUE(world.readChangedUserFiles());
    EXPECT_EQ(taken.count(), 1);
}

/** How many of each notice a change sent. */
struct Told {
    int status = 0, note = 0, markers = 0, read = 0, changed = 0;
    bool operator==(const Told&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Told& t)
{
    return out << "{status " << t.status << ", note " << t.note << ", markers " << t.markers << ", read " << t.read
               << ", changed " << t.changed << "}";
}

TEST(WorldEvents, EachRealChangeIsToldOnceAndNoChangeNotAtAll)
{
    const struct {
        const char* what;
        std::function<void(World&)> change;
        Told told;
    } rows[] = {
        {"a status", [](World& w) { w.setLocationStatus(1, Visited); }, {1, 0, 0, 0, 1}},
        {"the same status", [](World& w) { w.setLocationStatus(1, Unvisited); }, {}},
        {"a status out of range", [](World& w) { w.setLocationStatus(7, Visited); }, {}},
        {"a note", [](World& w) { w.setLocationNote(0, "ford"); }, {0, 1, 0, 0, 1}},
        {"the same note", [](World& w) { w.setLocationNote(0, ""); }, {}},
        {"a marker added", [](World& w) { w.addMarker(marker("B", 5, 5)); }, {0, 0, 1, 0, 1}},
        {"markers added",
         [](World& w) {
             w.addMarkers({marker("B", 5, 5), marker("C", 6, 6)});
         },
         {0, 0, 1, 0, 1}},
        {"no markers added", [](World& w) { w.addMarkers({}); }, {}},
        {"a marker's text", [](World& w) { w.setMarkerName(0, "Camp"); }, {0, 0, 1, 0, 1}},
        {"the same text", [](World& w) { w.setMarkerName(0, "A"); }, {}},
        {"texts, one changed",
         [](World& w) {
             w.setMarkerNames({{0, "A"}, {0, "Z"}});
         },
         {0, 0, 1, 0, 1}},
        {"a marker removed", [](World& w) { w.removeMarker(0); }, {0, 0, 1, 0, 1}},
        {"no such marker removed", [](World& w) { w.removeMarker(3); }, {}},
        {"markers removed", [](World& w) { w.removeMarkers(0, 5); }, {0, 0, 1, 0, 1}},
        {"markers put back",
         [](World& w) {
             w.insertMarkers({{0, marker("Q", 1, 1)}});
         },
         {0, 0, 1, 0, 1}},
        {"all markers cleared", [](World& w) { w.clearMarkers(); }, {0, 0, 1, 0, 1}},
        {"no markers cleared", [](World& w) { w.clearMarkers(), w.clearMarkers(); }, {0, 0, 1, 0, 1}},
        {"the places read", [](World& w) { w.LoadRoutes(); }, {0, 0, 0, 1, 1}},
        {"a write", [](World& w) { w.SaveUserData(), w.SaveMarkers(); }, {}},
    };
    for (const auto& r : rows) {
        QTemporaryDir folder; // each its own: no write of one row is another program's for the next
        World world(folder.path(), {place("Falgard"), place("Brem")}, {marker("A", 10, 10)});
        const WorldEvents& events = world.events();
        QSignalSpy status(&events, &WorldEvents::statusChanged), note(&events, &WorldEvents::noteChanged),
            markers(&events, &WorldEvents::markersChanged), read(&events, &WorldEvents::placesRead),
            changed(&events, &WorldEvents::changed);
        r.change(world);
        EXPECT_EQ((Told{int(status.count()), int(note.count()), int(markers.count()), int(read.count()),
                        int(changed.count())}),
                  r.told)
            << r.what;
    }
}

TEST(WorldEvents, AStatusOrNoteNoticeNamesThePlaceAndComesAfterTheChange)
{
    QTemporaryDir folder;
    World world(folder.path(), {place("Falgard"), place("Brem")}, {});
    std::vector<std::pair<int, std::int32_t>> seen;
    QObject::connect(&world.events(), &WorldEvents::statusChanged, [&](int index) {
        seen.emplace_back(index, world.locations()[std::size_t(index)].Status);
        EXPECT_EQ(world.statusCounts().visited, 1); // the counts already agree
    });
    world.setLocationStatus(1, Visited);
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::int32_t>>{{1, Visited}}));
}

TEST(WorldEvents, TheSearchFollowsTheNoticesOfTheWorldItSearches)
{
    QTemporaryDir folder;
    World world(folder.path(), {place("Falgard"), place("Brem")}, {});
    LocationSearch search;
    const auto found = [&](const char16_t* query) {
        std::vector<int> hits;
        for (const LocationSearch::Hit& h : search.find(world, query, 10).hits)
            hits.push_back(h.index);
        return hits;
    };
    EXPECT_TRUE(found(u"dragon").empty());
    world.setLocationNote(1, "a dragon");
    EXPECT_EQ(found(u"dragon"), std::vector<int>{1});
    // Another world in the place, of the same size: its places, not the old folded texts.
    world.replaceWith(World(folder.path(), {place("Dragonmoor"), place("Oak")}, {}));
    EXPECT_EQ(found(u"dragon"), std::vector<int>{0});
    // A second world searched by the same index: the first one's notices no longer count.
    World other(folder.path(), {place("Elm"), place("Ash")}, {});
    EXPECT_TRUE(found(u"elm").empty());
    EXPECT_EQ(search.find(other, u"elm", 10).hits.size(), 1u);
    world.setLocationNote(0, "elm grove"); // not the world searched now
    EXPECT_EQ(search.find(other, u"grove", 10).hits.size(), 0u);
    other.setLocationNote(1, "grove");
    EXPECT_EQ(search.find(other, u"grove", 10).hits.size(), 1u);
}

TEST(WorldEvents, NoPartCallsBackIntoTheWindowThroughAStoredFunction)
{
    // Changes travel as signals, and a part asks what it needs through the accessors of
    // the part it was given. A function object in a header is allowed only where it is
    // no road between the parts and the window, each for the reason given.
    const QStringList allowed{
        QStringLiteral("world/userdatawriter.h"), // the writer tells its own world, from its thread
        QStringLiteral("edit/mapeditor.h"),       // the clock that times keystrokes (tests pass theirs)
        QStringLiteral("data/atomicfile.h"),      // the tests' fault injector
        QStringLiteral("world/worldchoice.h"),    // a question asked during one call, never kept
        QStringLiteral("session/recentworlds.h"), // the same
        QStringLiteral("map/mapimage.h"),         // the same: whether a long write goes on
    };
    const QDir sources(QStringLiteral(VDM_SOURCES_DIR));
    ASSERT_TRUE(sources.exists()) << VDM_SOURCES_DIR;
    const QRegularExpression function(QStringLiteral(R"(std::function\s*<)"));
    QStringList found;
    int headers = 0;
    for (QDirIterator it(sources.path(), {QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        ++headers;
        const QString relative = sources.relativeFilePath(path);
        if (QString::fromUtf8(file.readAll()).contains(function) && !allowed.contains(relative))
            found << relative;
    }
    EXPECT_GT(headers, 50);
    EXPECT_TRUE(found.isEmpty()) << qPrintable(found.join(QStringLiteral(", ")));
}

} // namespace
} // namespace vdm
