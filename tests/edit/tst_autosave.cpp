// SPDX-License-Identifier: MIT
// What the autosave writes after the world's notices: only within an edit, by its rule,
// and the same bytes through undo, a toggled autosave and another world in the place.
#include "edit/autosave.h"

#include "common/testutils.h"
#include "data/databasefile.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "edit/mapeditor.h"
#include "world/world.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vdm {
namespace {

using test::marker;
using test::place;

struct SaveBench {
    SaveBench() : world(folder.path(), {place("Falgard", Active, "gate"), place("Brem")}, {marker("A", 10, 10)}) {}

    QString path(const char* name) const { return QDir(folder.path()).filePath(QLatin1String(name)); }
    bool exists(const char* name) const { return QFile::exists(path(name)); }
    QByteArray read(const char* name) const { return readDatabaseFile(path(name)); }

    QTemporaryDir folder;
    World world;
};

TEST(Autosave, EachRuleWritesTheFilesTheWorldToldOfWithinTheEdit)
{
    using Rule = Autosave::Rule;
    struct Row {
        const char* what;
        Rule rule;
        bool on;
        bool changeStatus, changeMarkers;
        bool userWritten, markersWritten;
    };
    const Row rows[] = {
        {"a status, each file", Rule::EachFile, true, true, false, true, false},
        {"a marker, each file", Rule::EachFile, true, false, true, false, true},
        {"both, each file", Rule::EachFile, true, true, true, true, true},
        {"autosave off", Rule::EachFile, false, true, true, false, false},
        {"together", Rule::Together, true, true, true, true, true},
        {"together, only the told file", Rule::Together, true, false, true, false, true},
        {"together with autosave off", Rule::Together, false, true, true, false, false},
        {"an import, autosave off", Rule::TogetherAlways, false, true, false, true, false},
        {"never", Rule::Never, true, true, true, false, false},
        {"nothing told", Rule::TogetherAlways, true, false, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SaveBench bench;
        Autosave autosave(bench.world);
        autosave.setOn(r.on);
        Autosave::Edit edit(autosave, r.rule);
        if (r.changeStatus)
            bench.world.setLocationStatus(1, Visited);
        if (r.changeMarkers)
            bench.world.addMarker(marker("B", 20, 20));
        edit.write();
        EXPECT_EQ(bench.exists("user.gdb"), r.userWritten);
        EXPECT_EQ(bench.exists("markers.gdb"), r.markersWritten);
        if (r.userWritten) {
            EXPECT_EQ(bench.read("user.gdb"), writeUserData(bench.world.locations()));
        }
    }
}

TEST(Autosave, NoticesOutsideAnEditWriteNothingAndAWriteEndsTheListening)
{
    SaveBench bench;
    Autosave autosave(bench.world);
    bench.world.setLocationStatus(0, Visited); // no edit under way: left for the close
    bench.world.replaceWith(World(bench.folder.path(), {place("Oak")}, {}));
    EXPECT_FALSE(bench.exists("user.gdb"));

    {
        Autosave::Edit edit(autosave);
        edit.write();                              // nothing told yet
        bench.world.setLocationStatus(0, Visited); // after the write: no part of the edit
        edit.write();
    }
    EXPECT_FALSE(bench.exists("user.gdb"));
    {
        // The new world's notices reach the same autosave.
        Autosave::Edit edit(autosave);
        bench.world.setLocationNote(0, "acorns");
    } // never written: left for the close
    EXPECT_FALSE(bench.exists("user.gdb"));
    Autosave::Edit edit(autosave);
    bench.world.setLocationNote(0, "oak gall");
    edit.write();
    EXPECT_EQ(bench.read("user.gdb"), writeUserData(bench.world.locations()));
}

TEST(Autosave, AnInnerEditTakesItsOwnNoticesAndTheOuterOneGoesOn)
{
    SaveBench bench;
    Autosave autosave(bench.world);
    Autosave::Edit outer(autosave, Autosave::Rule::EachFile);
    {
        Autosave::Edit inner(autosave, Autosave::Rule::Never);
        bench.world.clearMarkers();
        inner.write();
    }
    bench.world.setLocationStatus(1, Visited);
    outer.write();
    EXPECT_TRUE(bench.exists("user.gdb"));
    EXPECT_FALSE(bench.exists("markers.gdb"));
}

TEST(Autosave, AFailingFileStillLetsTheOtherBeWrittenAndIsThrown)
{
    SaveBench bench;
    ASSERT_TRUE(QDir(bench.folder.path()).mkdir(QStringLiteral("user.gdb"))); // no file can go there
    Autosave autosave(bench.world);
    Autosave::Edit edit(autosave);
    bench.world.setLocationStatus(1, Visited);
    bench.world.addMarker(marker("B", 20, 20));
    EXPECT_ANY_THROW(edit.write());
    EXPECT_EQ(bench.read("markers.gdb"), writeMarkers(bench.world.markers()));
}

TEST(Autosave, AnUndoAfterAutosaveWasTurnedOnWritesTheStateOnDisk)
{
    SaveBench bench;
    bench.world.SaveUserData();
    const QByteArray onDisk = bench.read("user.gdb");
    MapEditor editor(bench.world);
    editor.setAutosave(false);
    editor.showLocation(1);
    editor.setStatus(Visited);
    EXPECT_EQ(bench.read("user.gdb"), onDisk);

    editor.setAutosave(true);
    editor.undo(); // back to the file's state, and written so
    EXPECT_EQ(bench.read("user.gdb"), onDisk);
    EXPECT_FALSE(bench.world.userDataEdited());
    editor.redo();
    EXPECT_EQ(bench.read("user.gdb"), writeUserData(bench.world.locations()));
    EXPECT_EQ(bench.world.locations()[1].Status, Visited);

    editor.setAutosave(false); // off again: the undo stays in memory
    const QByteArray visited = bench.read("user.gdb");
    editor.undo();
    EXPECT_EQ(bench.read("user.gdb"), visited);
}

} // namespace
} // namespace vdm
