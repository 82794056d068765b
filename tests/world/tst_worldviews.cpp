// SPDX-License-Identifier: MIT
// The user's own views of a world: the place filter and the bookmarks, in their file and
// in the progress file.
#include "common/testutils.h"
#include "world/progressfile.h"
#include "world/worldviews.h"

#include "data/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

/** A temporary XDG data folder for the user's own files, for one test. */
struct UserFolders {
    QTemporaryDir home;
    QByteArray saved = qgetenv("XDG_DATA_HOME");
    UserFolders() { qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data"))); }
    ~UserFolders() { qputenv("XDG_DATA_HOME", saved); }
};

ViewBookmarks someBookmarks()
{
    ViewBookmarks b;
    b.setDigit(1, {5, 12000, -3400});
    b.setDigit(9, {0, -125000, 220000});
    b.addNamed("Harbour \"old\"", {7, 1, 2});
    b.addNamed("Caf\xE9\\x", {3, -5, -6});
    return b;
}

TEST(ViewBookmarks, DigitsAndNames)
{
    ViewBookmarks b;
    EXPECT_TRUE(b.empty());
    EXPECT_FALSE(b.setDigit(0, {}));
    EXPECT_FALSE(b.setDigit(10, {}));
    EXPECT_FALSE(b.digit(3));
    EXPECT_TRUE(b.setDigit(3, {4, 10, 20}));
    EXPECT_EQ(b.digit(3), (ViewBookmark{4, 10, 20}));
    EXPECT_FALSE(b.addNamed("  ", {}));
    EXPECT_TRUE(b.addNamed(" Camp ", {1, 1, 1}));
    EXPECT_TRUE(b.addNamed("Camp", {2, 2, 2})); // the same name: replaced where it stands
    ASSERT_EQ(b.named().size(), 1u);
    EXPECT_EQ(b.named()[0], (NamedBookmark{"Camp", {2, 2, 2}}));
    EXPECT_FALSE(b.removeNamed(1));
    EXPECT_TRUE(b.removeNamed(0));
    b.clearDigit(3);
    EXPECT_TRUE(b.empty());
}

TEST(ViewBookmarks, MergeTakesTheImportedOnTop)
{
    ViewBookmarks mine;
    mine.setDigit(1, {1, 1, 1});
    mine.setDigit(2, {2, 2, 2});
    mine.addNamed("Camp", {1, 0, 0});
    ViewBookmarks theirs;
    theirs.setDigit(2, {2, 2, 2}); // the same: no change
    theirs.setDigit(3, {3, 3, 3});
    theirs.addNamed("Camp", {5, 5, 5});
    theirs.addNamed("Gate", {6, 6, 6});
    EXPECT_EQ(mine.merge(theirs), 3);
    EXPECT_EQ(mine.digit(1), (ViewBookmark{1, 1, 1}));
    EXPECT_EQ(mine.digit(3), (ViewBookmark{3, 3, 3}));
    EXPECT_EQ(mine.named(), (std::vector<NamedBookmark>{{"Camp", {5, 5, 5}}, {"Gate", {6, 6, 6}}}));
    EXPECT_EQ(mine.merge(theirs), 0);
}

TEST(ViewBookmarks, ReturningShowsTheLevelAndCentre)
{
    for (const int zoom : {0, 2, 5, 7}) {
        Viewport v = Viewport::showing({3300, 3800}, 10, {330, 380}, 3, {500, 600});
        const ViewBookmark b{zoom, 20000, 30000};
        b.showIn(v);
        EXPECT_EQ(v.zoomIndex(), zoom);
        Viewport centred = Viewport::showing({3300, 3800}, 10, {330, 380}, zoom);
        centred.centreOn(20000, 30000);
        EXPECT_EQ(v.scroll(), centred.scroll()) << zoom;
        // Storing the view again gives a point within a pixel of the bookmark's.
        const ViewBookmark again = ViewBookmark::of(v);
        EXPECT_EQ(again.zoom, zoom);
        if (zoom == 0)
            continue; // the whole map fills the panel: its centre is the map's, whatever was asked
        // 300 000 map units over 330 picture pixels at 10 %.
        const double unitsPerPixel = 300000.0 / 330 / Viewport::factorOf(zoom);
        EXPECT_NEAR(again.x, 20000, unitsPerPixel * 1.5) << zoom;
        EXPECT_NEAR(again.y, 30000, unitsPerPixel * 1.5) << zoom;
    }
}

TEST(ViewBookmarks, ReturningGivesBackTheVeryScrollItWasKeptAt)
{
    // Odd and even panels, at every level, across the scroll range: the centre kept and
    // shown again must not drift by the pixel the conversions truncate.
    for (const QSize panel : {QSize(330, 380), QSize(331, 257)})
        for (int zoom = 1; zoom <= Viewport::HighestZoom; ++zoom)
            for (const QPoint scroll : {QPoint(1, 1), QPoint(97, 203), QPoint(659, 63), QPoint(2501, 1777)}) {
                const Viewport kept = Viewport::showing({3300, 3800}, 10, panel, zoom, scroll);
                Viewport shown = Viewport::showing({3300, 3800}, 10, panel, 0);
                ViewBookmark::of(kept).showIn(shown);
                EXPECT_EQ(shown.zoomIndex(), zoom);
                EXPECT_EQ(shown.scroll(), kept.scroll()) << "level " << zoom << " panel " << panel.width();
            }
}

TEST(WorldViews, FileRoundTripsEveryByte)
{
    const PlaceFilter filter({"mine", "caf\xE9"}, {"Karuford Downs", "a\"b\\c\x01"});
    const ViewBookmarks bookmarks = someBookmarks();
    const QByteArray bytes = WorldViews::write(filter, bookmarks);
    EXPECT_TRUE(bytes.startsWith("Veldamar Interactive Map views 1\r\n"));
    EXPECT_TRUE(bytes.endsWith("end\r\n"));
    const WorldViews back = WorldViews::read(bytes, QStringLiteral("v"));
    EXPECT_EQ(back.filter(), filter);
    EXPECT_EQ(back.bookmarks(), bookmarks);
    EXPECT_EQ(WorldViews::write(back.filter(), back.bookmarks()), bytes);
}

TEST(WorldViews, DamagedFilesAreRefusedWithTheLine)
{
    const struct {
        const char* what;
        QByteArray bytes;
        const char* message;
    } rows[] = {
        {"not ours", "hello\r\nend\r\n", "views.txt is damaged at line 1"},
        {"later version", "Veldamar Interactive Map views 9\r\nend\r\n", "format 9"},
        {"cut short", "Veldamar Interactive Map views 1\r\nkind \"mine\"\r\n", "without its end line"},
        {"digit 0", "Veldamar Interactive Map views 1\r\nbookmark 0 1 2,3\r\nend\r\n",
         "line 2: the bookmark's digit 0"},
        {"zoom 8", "Veldamar Interactive Map views 1\r\nbookmark 1 8 2,3\r\nend\r\n", "the zoom level 8"},
        {"no name", "Veldamar Interactive Map views 1\r\nnamed 1 2,3 \"\"\r\nend\r\n", "has no name"},
        {"unknown line", "Veldamar Interactive Map views 1\r\nzoom 3\r\nend\r\n", "\"zoom\" is not a kind of line"},
        {"after end", "Veldamar Interactive Map views 1\r\nend\r\nkind \"a\"\r\n", "text after the end line"},
    };
    for (const auto& r : rows) {
        try {
            WorldViews::read(r.bytes, QStringLiteral("views.txt"));
            ADD_FAILURE() << r.what << ": read";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(r.message)))
                << r.what << ": " << qPrintable(e.message());
        }
    }
}

TEST(WorldViews, KeptInTheUsersFolderOnlyOnceChanged)
{
    UserFolders folders;
    QTemporaryDir world;
    const QString path = WorldViews::filePath(world.path());
    ASSERT_FALSE(path.isEmpty());
    EXPECT_TRUE(path.startsWith(folders.home.filePath("data")));
    WorldViews views = WorldViews::load(world.path());
    views.save();
    EXPECT_FALSE(QFile::exists(path)) << "nothing used, nothing written";
    views.setFilter(PlaceFilter({"mine"}, {}));
    views.bookmarks().setDigit(4, {2, 3, 4});
    views.save();
    ASSERT_TRUE(QFile::exists(path));
    const WorldViews again = WorldViews::load(world.path());
    EXPECT_EQ(again.filter(), views.filter());
    EXPECT_EQ(again.bookmarks(), views.bookmarks());
    EXPECT_TRUE(QDir(world.path()).entryList(QDir::Files).isEmpty()) << "the world folder is left alone";
}

TEST(WorldViews, ADamagedFileIsKeptBeforeItIsReplaced)
{
    UserFolders folders;
    QTemporaryDir world;
    const QString path = WorldViews::filePath(world.path());
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray damaged = "Veldamar Interactive Map views 1\r\nkind \"mine";
    test::writeFile(path, damaged);
    WorldViews views = WorldViews::load(world.path());
    const QStringList notices = views.takeNotices();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains(QStringLiteral("start empty"))) << qPrintable(notices[0]);
    EXPECT_FALSE(views.filter().active());
    views.save();
    EXPECT_EQ(test::readFile(path), damaged) << "nothing of the user's yet: the file stays";
    views.bookmarks().setDigit(1, {1, 1, 1});
    views.save();
    EXPECT_EQ(test::readFile(path + ".bak"), damaged);
    EXPECT_EQ(WorldViews::load(world.path()).bookmarks(), views.bookmarks());
}

TEST(WorldViews, AnotherProgramsChangesAreKeptBesideThisWindows)
{
    // A hand edit or a synchronised copy lands in the file while the window runs: the
    // window's next save puts its own changes on top of the file's, never the file back.
    UserFolders folders;
    QTemporaryDir world;
    const QString path = WorldViews::filePath(world.path());
    WorldViews views = WorldViews::load(world.path());
    views.setFilter(PlaceFilter({"mine"}, {}));
    views.bookmarks().setDigit(1, {1, 1, 1});
    views.bookmarks().setDigit(2, {2, 2, 2});
    views.bookmarks().addNamed("Camp", {1, 0, 0});
    views.bookmarks().addNamed("Gate", {2, 0, 0});
    views.save();

    ViewBookmarks theirs = views.bookmarks();
    theirs.setDigit(2, {5, 5, 5});
    theirs.setDigit(3, {3, 3, 3});
    theirs.addNamed("Ford", {3, 0, 0});
    const PlaceFilter theirFilter({"mine", "tower"}, {"Karuford Downs"});
    test::writeFile(path, WorldViews::write(theirFilter, theirs));

    views.bookmarks().setDigit(4, {4, 4, 4});
    ASSERT_TRUE(views.bookmarks().removeNamed(0)); // "Camp" goes here
    views.save();

    ViewBookmarks merged;
    merged.setDigit(1, {1, 1, 1});
    merged.setDigit(2, {5, 5, 5});
    merged.setDigit(3, {3, 3, 3});
    merged.setDigit(4, {4, 4, 4});
    merged.addNamed("Gate", {2, 0, 0});
    merged.addNamed("Ford", {3, 0, 0});
    const WorldViews stored = WorldViews::load(world.path());
    EXPECT_EQ(stored.bookmarks(), merged);
    EXPECT_EQ(stored.filter(), theirFilter) << "the filter was not changed here since";
    EXPECT_EQ(views.bookmarks(), merged) << "the window goes on from what the file holds";
    EXPECT_EQ(views.filter(), theirFilter);

    // The window's own choice of filter wins over the file's.
    views.setFilter(PlaceFilter({}, {"Karuford Downs"}));
    test::writeFile(path, WorldViews::write(PlaceFilter({"tower"}, {}), merged));
    views.save();
    EXPECT_EQ(WorldViews::load(world.path()).filter(), PlaceFilter({}, {"Karuford Downs"}));
}

TEST(WorldViews, AFileDamagedOrDeletedMeanwhileLosesNothing)
{
    UserFolders folders;
    QTemporaryDir world;
    const QString path = WorldViews::filePath(world.path());
    WorldViews views = WorldViews::load(world.path());
    views.bookmarks().setDigit(1, {1, 1, 1});
    views.save();

    const QByteArray damaged = "Veldamar Interactive Map views 1\r\nbookmark 2 1 x\r\n";
    test::writeFile(path, damaged);
    views.bookmarks().setDigit(5, {5, 5, 5});
    views.save();
    EXPECT_EQ(test::readFile(path + ".bak"), damaged) << "what another program left is kept";
    EXPECT_EQ(WorldViews::load(world.path()).bookmarks(), views.bookmarks());

    // One too large to be a views file is no reason to keep the window's views from theirs.
    {
        QFile huge(path);
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(qint64(17) * 1024 * 1024));
    }
    views.bookmarks().setDigit(8, {7, 8, 8});
    EXPECT_NO_THROW(views.save());
    EXPECT_EQ(QFileInfo(path + ".bak.2").size(), qint64(17) * 1024 * 1024);
    EXPECT_EQ(WorldViews::load(world.path()).bookmarks(), views.bookmarks());

    ASSERT_TRUE(QFile::remove(path));
    views.bookmarks().setDigit(6, {6, 6, 6});
    views.save();
    EXPECT_EQ(WorldViews::load(world.path()).bookmarks(), views.bookmarks());

    // Damaged at the start, then put out of the way by the user: nothing left to keep.
    test::writeFile(path, damaged);
    WorldViews fresh = WorldViews::load(world.path());
    ASSERT_EQ(fresh.takeNotices().size(), 1);
    ASSERT_TRUE(QFile::remove(path));
    fresh.bookmarks().setDigit(7, {7, 7, 7});
    EXPECT_NO_THROW(fresh.save());
    EXPECT_EQ(WorldViews::load(world.path()).bookmarks(), fresh.bookmarks());
}

TEST(ProgressBookmarks, WrittenAsVersionTwoAndReadBack)
{
    LocationList places(1);
    places[0].Name = "Aldmoor";
    EXPECT_TRUE(writeProgress(places, {}).startsWith("Veldamar Interactive Map progress 1\r\n"))
        << "without bookmarks the file is as it always was";
    const QByteArray bytes = writeProgress(places, {}, someBookmarks());
    EXPECT_TRUE(bytes.startsWith("Veldamar Interactive Map progress 2\r\n"));
    const Progress p = readProgress(bytes, QStringLiteral("p.txt"));
    EXPECT_EQ(p.bookmarks, someBookmarks());
    EXPECT_EQ(p.places.size(), 1u);
    // A version 1 file knows no bookmarks: such a line there is damage.
    QByteArray old = bytes;
    old.replace("progress 2", "progress 1");
    EXPECT_THROW(readProgress(old, QStringLiteral("p.txt")), Error);
    // A file cut inside the bookmarks lacks its end line.
    EXPECT_THROW(readProgress(bytes.left(bytes.indexOf("named")), QStringLiteral("p.txt")), Error);
    // A later version is still refused.
    old.replace("progress 1", "progress 3");
    EXPECT_THROW(readProgress(old, QStringLiteral("p.txt")), Error);
}

} // namespace
} // namespace vdm
