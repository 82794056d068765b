// SPDX-License-Identifier: MIT
// Where the settings and the user's databases live when their home folder is read-only.
#include "world/datalocations.h"
#include "world/world.h"

#include "common/testutils.h"
#include "common/testworld.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace vdm::test {
namespace {

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

class DataLocationsTest : public ::testing::Test {
protected:
    ScopedXdgHome xdg;
    QTemporaryDir home;
    QString homeFile(const QString& name) const { return home.filePath(name); }
};

// The same rules for both kinds of file; only the folders differ.
struct Kind {
    const char* what;
    QString name;
    std::function<QString(const QString& home)> place;
    std::function<QString(const QString& home)> ownFolder;
};

std::vector<Kind> kinds()
{
    return {
        {"settings", QStringLiteral("qor.ini"),
         [](const QString& h) { return DataLocations::settingsFile(h + QLatin1Char('/')); },
         [](const QString&) { return DataLocations::settingsFolder(); }},
        {"user data", QStringLiteral("user.gdb"),
         [](const QString& h) { return DataLocations::userFile(h, QStringLiteral("user.gdb")); },
         [](const QString& h) { return DataLocations::userDataFolder(h); }},
    };
}

TEST_F(DataLocationsTest, WritableHomeKeepsTheFileBesideAndWritesNothingElsewhere)
{
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(QFileInfo(k.place(home.path())).absoluteFilePath(), homeFile(k.name));
        writeFile(homeFile(k.name), "stored");
        EXPECT_EQ(QFileInfo(k.place(home.path())).absoluteFilePath(), homeFile(k.name));
    }
    EXPECT_FALSE(QFileInfo::exists(xdg.config()));
    EXPECT_FALSE(QFileInfo::exists(xdg.data()));
}

TEST_F(DataLocationsTest, ReadOnlyHomeMovesToTheOwnFolderWithACopyOfWhatWasStored)
{
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.what);
        QTemporaryDir folder;
        const QString stored = folder.filePath(k.name);
        writeFile(stored, "stored\r\n");
        const QString own = QDir(k.ownFolder(folder.path())).filePath(k.name);
        {
            ScopedReadOnlyFolder readOnly(folder.path());
            EXPECT_EQ(k.place(folder.path()), own);
        }
        EXPECT_EQ(readFile(own), QByteArray("stored\r\n"));
        EXPECT_EQ(readFile(stored), QByteArray("stored\r\n"));
        EXPECT_EQ(filesIn(folder.path()), QStringList{k.name}); // nothing added beside it
    }
}

TEST_F(DataLocationsTest, ReadOnlyHomeWithoutAFileGivesAnEmptyOwnFolder)
{
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.what);
        ScopedReadOnlyFolder readOnly(home.path());
        const QString own = QDir(k.ownFolder(home.path())).filePath(k.name);
        EXPECT_EQ(k.place(home.path()), own);
        EXPECT_TRUE(QFileInfo(k.ownFolder(home.path())).isDir());
        EXPECT_FALSE(QFileInfo::exists(own));
    }
}

TEST_F(DataLocationsTest, AnOwnCopyIsReadFirstEvenWhenHomeIsWritableAgain)
{
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.what);
        writeFile(homeFile(k.name), "old");
        QDir().mkpath(k.ownFolder(home.path()));
        const QString own = QDir(k.ownFolder(home.path())).filePath(k.name);
        writeFile(own, "newer");
        EXPECT_EQ(k.place(home.path()), own);
    }
}

TEST_F(DataLocationsTest, WorldsWithTheSameFolderNameKeepApart)
{
    QTemporaryDir a, b;
    ASSERT_TRUE(QDir(a.path()).mkdir(QStringLiteral("Veldamar")));
    ASSERT_TRUE(QDir(b.path()).mkdir(QStringLiteral("Veldamar")));
    const QString fa = DataLocations::userDataFolder(a.filePath(QStringLiteral("Veldamar")));
    const QString fb = DataLocations::userDataFolder(b.filePath(QStringLiteral("Veldamar")));
    EXPECT_NE(fa, fb);
    EXPECT_TRUE(QFileInfo(fa).fileName().startsWith(QStringLiteral("Veldamar-")));
    EXPECT_TRUE(fa.startsWith(xdg.data() + QStringLiteral("/veldamar-map/")));
    // The working directory is named by its own path.
    ScopedCurrentDir cwd(a.filePath(QStringLiteral("Veldamar")));
    EXPECT_EQ(DataLocations::userDataFolder({}), fa);
}

TEST_F(DataLocationsTest, ReadOnlyWorldSavesToTheOwnFolderAndReadsItBackNextRun)
{
    writeFile(homeFile(QStringLiteral("vdmain.gdb")), locationRecord("Alpha", 0, 0, 0));
    const QByteArray user = "loc\r\n   nm = Alpha\r\n   status = 2\r\n   note = first\r\nend\r\n";
    writeFile(homeFile(QStringLiteral("user.gdb")), user);
    ScopedReadOnlyFolder readOnly(home.path());
    {
        World world(home.path());
        ASSERT_TRUE(world.LoadDatabases());
        ASSERT_EQ(world.locations()[0].Status, 2);
        ASSERT_TRUE(world.setLocationNote(0, "second"));
        world.SaveUserData();
        world.addMarker(Location{});
        world.SaveMarkers();
    }
    const QString own = DataLocations::userDataFolder(home.path());
    EXPECT_EQ(readFile(homeFile(QStringLiteral("user.gdb"))), user);
    EXPECT_TRUE(readFile(own + QStringLiteral("/user.gdb")).contains("note = second"));
    EXPECT_TRUE(QFileInfo::exists(own + QStringLiteral("/markers.gdb")));
    EXPECT_EQ(filesIn(home.path()).size(), 2);
    World again(home.path());
    ASSERT_TRUE(again.LoadDatabases());
    EXPECT_EQ(again.locations()[0].Note, QByteArray("second"));
    EXPECT_EQ(again.markers().size(), 1u);
}

} // namespace
} // namespace vdm::test
