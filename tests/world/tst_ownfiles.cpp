// SPDX-License-Identifier: MIT
// The open world's own files, which no file the user picks to write may be: by identity,
// whatever the spelling of the path.
#include "world/ownfiles.h"

#include "common/testutils.h"
#include "world/datalocations.h"
#include "world/world.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace vdm::test {
namespace {

/**
 * A world folder with some of its files (others not made yet), the user's own folder
 * with the views, a settings file, and a folder elsewhere with links into the world.
 */
class OwnFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        base = QDir(root.path()).canonicalPath();
        for (const char* folder : {"world/sub", "app", "elsewhere"})
            ASSERT_TRUE(QDir(base).mkpath(QLatin1String(folder)));
        // Not made: bigmap_hi.jpg and markers.gdb, as in a world that never had markers.
        for (const char* name : {"world/bigmap.jpg", "world/vdmain.gdb", "world/routes.gdb", "world/user.gdb",
                                 "world/vdmain.gdb.bak", "app/qor.ini", "elsewhere/vdmain.gdb"})
            writeFile(at(name), QByteArray("bytes of ") + name);
        own = DataLocations::userDataFolder(at("world"));
        ASSERT_FALSE(own.isEmpty());
        ASSERT_TRUE(QDir().mkpath(own));
        own = QDir(own).canonicalPath();
        writeFile(QDir(own).filePath(QStringLiteral("views.txt")), "views");

        ASSERT_TRUE(QFile::link(at("world/vdmain.gdb"), at("elsewhere/link.png")));
        ASSERT_TRUE(QFile::link(at("world"), at("elsewhere/worldlink")));
        ASSERT_TRUE(QFile::link(at("world/markers.gdb"), at("elsewhere/dangling.txt")));
        ASSERT_EQ(::link(QFile::encodeName(at("world/routes.gdb")).constData(),
                         QFile::encodeName(at("elsewhere/hard.txt")).constData()),
                  0);
    }
    QString at(const char* relative) const { return base + QLatin1Char('/') + QLatin1String(relative); }

    ScopedXdgHome xdg;
    QTemporaryDir root;
    QString base; // the canonical path of root
    QString own;  // the user's own folder for the world
};

TEST_F(OwnFilesTest, EachOfTheWorldsFilesIsCaughtHoweverItIsSpelt)
{
    const World world(at("world"));
    const OwnFiles files(world, at("app/qor.ini"));
    const QString views = QDir(own).filePath(QStringLiteral("views.txt"));
    struct Case {
        const char* what;
        QString picked;
        QString clash; // empty: none
    };
    const Case cases[] = {
        {"the locations", at("world/vdmain.gdb"), at("world/vdmain.gdb")},
        {"the routes", at("world/routes.gdb"), at("world/routes.gdb")},
        {"the statuses and notes", at("world/user.gdb"), at("world/user.gdb")},
        {"the markers, not made yet", at("world/markers.gdb"), at("world/markers.gdb")},
        {"the picture", at("world/bigmap.jpg"), at("world/bigmap.jpg")},
        {"the large picture, not there", at("world/bigmap_hi.jpg"), at("world/bigmap_hi.jpg")},
        {"the joint write's journal", at("world/.user-files.journal"), at("world/.user-files.journal")},
        {"the views", views, views},
        {"the own copy of the markers", QDir(own).filePath(QStringLiteral("markers.gdb")),
         QDir(own).filePath(QStringLiteral("markers.gdb"))},
        {"the settings", at("app/qor.ini"), at("app/qor.ini")},
        {"a backup there", at("world/vdmain.gdb.bak"), at("world/vdmain.gdb.bak")},
        {"a later backup, not there yet", at("world/user.gdb.bak.3"), at("world/user.gdb.bak.3")},
        {"the settings' backup", at("app/qor.ini.bak"), at("app/qor.ini.bak")},
        {"the views' backup", views + QStringLiteral(".bak.2"), views + QStringLiteral(".bak.2")},
        {"a symbolic link to one", at("elsewhere/link.png"), at("world/vdmain.gdb")},
        {"a hard link to one", at("elsewhere/hard.txt"), at("world/routes.gdb")},
        {"a dangling link to one not made yet", at("elsewhere/dangling.txt"), at("world/markers.gdb")},
        {"through a linked folder", at("elsewhere/worldlink/user.gdb"), at("world/user.gdb")},
        {"through a linked folder, not made yet", at("elsewhere/worldlink/markers.gdb"), at("world/markers.gdb")},
        {"with ..", at("world/sub/../vdmain.gdb"), at("world/vdmain.gdb")},
        {"with .. out of another folder", at("elsewhere/../world/markers.gdb"), at("world/markers.gdb")},
        {"with . and //", at("world/./sub//../routes.gdb"), at("world/routes.gdb")},
        {"the same name elsewhere", at("elsewhere/vdmain.gdb"), {}},
        {"the same name in a folder below", at("world/sub/user.gdb"), {}},
        {"a new file beside them", at("world/map.png"), {}},
        {"a new file elsewhere", at("elsewhere/progress.txt"), {}},
        {"a name that only begins like a backup", at("world/vdmain.gdb.bakery"), {}},
        {"a backup's number that is none", at("world/vdmain.gdb.bak.2x"), {}},
        {"a backup without its number", at("world/vdmain.gdb.bak."), {}},
        {"a longer name", at("world/vdmain.gdb2"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(files.clash(c.picked), c.clash) << c.picked.toStdString();
    }
}

TEST_F(OwnFilesTest, RelativePathsAndAWorldInTheWorkingDirectory)
{
    ScopedCurrentDir cwd(at("world"));
    const World here; // the working directory, files by bare name
    const OwnFiles files(here, {});
    EXPECT_EQ(files.clash(QStringLiteral("vdmain.gdb")), at("world/vdmain.gdb"));
    EXPECT_EQ(files.clash(QStringLiteral("sub/../user.gdb")), at("world/user.gdb"));
    EXPECT_EQ(files.clash(at("elsewhere/link.png")), at("world/vdmain.gdb"));
    EXPECT_EQ(files.clash(QStringLiteral("../app/qor.ini")), QString()) << "no settings file given";
    EXPECT_EQ(files.clash(QStringLiteral("../elsewhere/vdmain.gdb")), QString());
}

TEST_F(OwnFilesTest, TheRefusalNamesThePickedFileAndTheWorldsFile)
{
    EXPECT_EQ(OwnFiles::refusal(at("world/user.gdb"), at("world/user.gdb")),
              at("world/user.gdb")
                  + QStringLiteral(" is a file of the open world and is never replaced. "
                                   "Choose another name."));
    EXPECT_EQ(OwnFiles::refusal(at("elsewhere/link.png"), at("world/vdmain.gdb")),
              at("elsewhere/link.png") + QStringLiteral(" is the open world's file ") + at("world/vdmain.gdb")
                  + QStringLiteral(", which is never replaced. Choose another name."));
}

} // namespace
} // namespace vdm::test
