// SPDX-License-Identifier: MIT
// What the world tells without being asked, and who follows it: the events stay with the
// place a world lives in, and no part reaches back into the window through a callback.
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

TEST(WorldEvents, NoPartCallsBackIntoTheWindowThroughAStoredFunction)
{
    // Changes travel as signals (or are asked for through a part's accessors). The one
    // callback left is the background writer's, which tells its own world from its thread.
    const QStringList allowed{QStringLiteral("world/userdatawriter.h")};
    const QDir sources(QStringLiteral(VDM_SOURCES_DIR));
    ASSERT_TRUE(sources.exists()) << VDM_SOURCES_DIR;
    const QRegularExpression callback(QStringLiteral(R"(std::function\s*<\s*void\s*\()"));
    QStringList found;
    int headers = 0;
    for (QDirIterator it(sources.path(), {QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        ++headers;
        const QString relative = sources.relativeFilePath(path);
        if (QString::fromUtf8(file.readAll()).contains(callback) && !allowed.contains(relative))
            found << relative;
    }
    EXPECT_GT(headers, 50);
    EXPECT_TRUE(found.isEmpty()) << qPrintable(found.join(QStringLiteral(", ")));
}

} // namespace
} // namespace vdm
