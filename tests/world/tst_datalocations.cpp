// SPDX-License-Identifier: MIT
// Where the settings and the user's databases live when their home folder is read-only.
#include "world/datalocations.h"
#include "data/installlayout.h"
#include "world/world.h"

#include "common/testutils.h"
#include "common/testworld.h"

#include "data/atomicfile.h"
#include "data/errors.h"
#include "data/regularfile.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <gtest/gtest.h>

#include <unistd.h>

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

// A settings file beside a writable program folder wins over any copy in the user's folder.
TEST_F(DataLocationsTest, SettingsBesideAWritableProgramAreUsedOverAStaleOwnCopy)
{
    writeFile(homeFile(QStringLiteral("qor.ini")), "beside");
    QDir().mkpath(DataLocations::settingsFolder());
    const QString own = DataLocations::settingsFolder() + QStringLiteral("/qor.ini");
    writeFile(own, "stale");
    EXPECT_EQ(DataLocations::settingsFile(home.path() + QLatin1Char('/')), homeFile(QStringLiteral("qor.ini")));
    EXPECT_EQ(readFile(own), QByteArray("stale")) << "the other copy is left alone";
}

/** Sets a file's modification time `seconds` from one fixed moment, so equal ages are equal times. */
void age(const QString& path, int seconds)
{
    static const QDateTime base = QDateTime::currentDateTime();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(base.addSecs(seconds), QFileDevice::FileModificationTime));
}

/** A world folder of its own, where its "user.gdb" lies and where the own folder's copy of it lies (that folder made).
 */
struct CopiesOfAWorld {
    QTemporaryDir folder;
    QString homePath = folder.filePath(QStringLiteral("user.gdb"));
    QString ownPath = DataLocations::userDataFolder(folder.path()) + QStringLiteral("/user.gdb");
    bool made = QDir().mkpath(QFileInfo(ownPath).path());
    QString path() const { return folder.path(); }
    QString filePath(const QString& name) const { return folder.filePath(name); }
};

// A world folder writable again while a copy of a user file waits in the own folder: the
// newer copy ends up in the world folder, the other is kept as a backup, nothing is lost.
TEST_F(DataLocationsTest, TwoCopiesOfAUserFileAreSettledOnTheNewer)
{
    struct Case {
        const char* name;
        QByteArray home; // empty: none in the world folder
        int homeAge;
        QByteArray own;
        int ownAge;
        QByteArray used;
        QString backup; // where the other copy is kept ("h": beside home, "o": in the own folder)
        QByteArray kept;
        bool notice;
    };
    const std::vector<Case> cases = {
        {"own newer", "home", -100, "own", -10, "own", "h", "home", true},
        {"home newer", "home", -10, "own", -100, "home", "o", "own", true},
        {"same time", "home", -10, "own", -10, "home", "o", "own", true},
        {"same bytes", "same", -100, "same", -10, "same", {}, {}, false},
        {"only the own copy", {}, 0, "own", -10, "own", {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CopiesOfAWorld world;
        ASSERT_TRUE(world.made);
        const QString& homePath = world.homePath;
        const QString& ownPath = world.ownPath;
        if (!c.home.isEmpty()) {
            writeFile(homePath, c.home);
            age(homePath, c.homeAge);
        }
        writeFile(ownPath, c.own);
        age(ownPath, c.ownAge);
        EXPECT_TRUE(DataLocations::settledUserFile(world.path(), QStringLiteral("user.gdb")).isEmpty())
            << "two copies are settled by the loader, not by a look";

        QString notice;
        EXPECT_EQ(DataLocations::userFile(world.path(), QStringLiteral("user.gdb"), &notice), homePath);
        EXPECT_EQ(readFile(homePath), c.used);
        EXPECT_FALSE(QFileInfo::exists(ownPath)) << "the own copy is settled once";
        EXPECT_EQ(!notice.isEmpty(), c.notice) << qPrintable(notice);
        if (!c.backup.isEmpty()) {
            const QString backup = (c.backup == QStringLiteral("h") ? homePath : ownPath) + QStringLiteral(".bak");
            EXPECT_EQ(readFile(backup), c.kept);
            EXPECT_TRUE(notice.contains(backup)) << qPrintable(notice);
        }
        // Settled: the next look finds the world folder's file at once.
        EXPECT_EQ(DataLocations::settledUserFile(world.path(), QStringLiteral("user.gdb")), homePath);
    }
}

TEST_F(DataLocationsTest, AnEarlierBackupIsNeverReplacedWhenCopiesAreSettled)
{
    const QString homePath = homeFile(QStringLiteral("markers.gdb"));
    const QString ownFolder = DataLocations::userDataFolder(home.path());
    ASSERT_TRUE(QDir().mkpath(ownFolder));
    writeFile(homePath, "home");
    writeFile(homePath + QStringLiteral(".bak"), "earlier");
    age(homePath, -100);
    writeFile(ownFolder + QStringLiteral("/markers.gdb"), "own");
    EXPECT_EQ(DataLocations::userFile(home.path(), QStringLiteral("markers.gdb")), homePath);
    EXPECT_EQ(readFile(homePath), QByteArray("own"));
    EXPECT_EQ(readFile(homePath + QStringLiteral(".bak")), QByteArray("earlier"));
    EXPECT_EQ(readFile(homePath + QStringLiteral(".bak.2")), QByteArray("home"));
}

// An installation keeps the user's files in the user's folders whatever the mode bits say.
TEST_F(DataLocationsTest, AnInstalledCopyNeverWritesIntoItsPrefix)
{
    const InstalledPrefix installed;
    ASSERT_TRUE(installed.made());
    const QString prefix = InstallLayout::installPrefix(installed.bin());
    ASSERT_FALSE(prefix.isEmpty());
    // The folders are writable, as root finds /usr, or a user ~/.local.
    writeFile(installed.bin() + QStringLiteral("qor.ini"), "left by an earlier version");
    const QString ownSettings = DataLocations::settingsFolder() + QStringLiteral("/qor.ini");
    EXPECT_EQ(DataLocations::settingsFile(installed.bin()), ownSettings);
    EXPECT_EQ(readFile(ownSettings), QByteArray("left by an earlier version")) << "what was stored is read on";

    const QString sample = installed.share() + QStringLiteral("world");
    ASSERT_TRUE(QDir().mkpath(sample));
    const QString ownData = DataLocations::userDataFolder(sample);
    EXPECT_EQ(DataLocations::userFileFor(prefix, sample, QStringLiteral("user.gdb")),
              ownData + QStringLiteral("/user.gdb"));
    EXPECT_TRUE(QDir(sample).isEmpty());
    // A world outside the prefix keeps the ordinary rule.
    EXPECT_EQ(DataLocations::userFileFor(prefix, home.path(), QStringLiteral("user.gdb")),
              homeFile(QStringLiteral("user.gdb")));
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

// The one place's status and note as an older and a newer copy of "user.gdb" hold them.
const QByteArray olderUserData = "loc\r\n   nm = Alpha\r\n   status = 1\r\n   note = older\r\nend\r\n";
const QByteArray newerUserData = "loc\r\n   nm = Alpha\r\n   status = 3\r\n   note = newer\r\nend\r\n";

/** The world in `folder` loaded as the program's start loads it: its first place's note and what it tells. */
std::pair<QByteArray, QStringList> noteAndNoticesOfStart(const QString& folder)
{
    World world(folder);
    world.readDatabasesAhead();
    EXPECT_TRUE(world.LoadDatabases());
    return {world.locations().empty() ? QByteArray() : world.locations()[0].Note, world.takeNotices()};
}

// The loader settles the two copies and the world tells the user once.
TEST_F(DataLocationsTest, AWorldLoadingTwoCopiesReadsTheNewerAndSaysSo)
{
    writeFile(homeFile(QStringLiteral("vdmain.gdb")), locationRecord("Alpha", 0, 0, 0));
    const QByteArray& older = olderUserData;
    const QByteArray& newer = newerUserData;
    writeFile(homeFile(QStringLiteral("user.gdb")), older);
    age(homeFile(QStringLiteral("user.gdb")), -100);
    const QString own = DataLocations::userDataFolder(home.path());
    ASSERT_TRUE(QDir().mkpath(own));
    writeFile(own + QStringLiteral("/user.gdb"), newer);

    const auto [note, notices] = noteAndNoticesOfStart(home.path());
    EXPECT_EQ(note, QByteArray("newer"));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains(QStringLiteral("user.gdb.bak"))) << qPrintable(notices[0]);
    EXPECT_EQ(readFile(homeFile(QStringLiteral("user.gdb.bak"))), older);
    EXPECT_EQ(readFile(homeFile(QStringLiteral("user.gdb"))), newer);
}

// Two copies that cannot be settled (no room for the backup or the new file): the newer
// one is read, neither is touched, the user is told, and a later start settles them.
TEST_F(DataLocationsTest, TwoCopiesThatCannotBeSettledReadTheNewerAndKeepBoth)
{
    const QByteArray& older = olderUserData;
    const QByteArray& newer = newerUserData;
    struct Case {
        const char* name;
        bool ownNewer;
    };
    for (const Case c : {Case{"the own copy newer", true}, Case{"the world's copy newer", false}}) {
        SCOPED_TRACE(c.name);
        const CopiesOfAWorld world;
        ASSERT_TRUE(world.made);
        const QString& homePath = world.homePath;
        const QString& ownPath = world.ownPath;
        writeFile(world.filePath(QStringLiteral("vdmain.gdb")), locationRecord("Alpha", 0, 0, 0));
        writeFile(homePath, c.ownNewer ? older : newer);
        writeFile(ownPath, c.ownNewer ? newer : older);
        age(c.ownNewer ? homePath : ownPath, -100);
        {
            AtomicFile::setFaultInjector([](AtomicFile::Step step) { return step != AtomicFile::Step::Write; });
            const auto restore = qScopeGuard([] { AtomicFile::setFaultInjector({}); });
            const auto [note, notices] = noteAndNoticesOfStart(world.path());
            EXPECT_EQ(note, QByteArray("newer"));
            ASSERT_EQ(notices.size(), 1);
            EXPECT_TRUE(notices[0].contains(QStringLiteral("could not be settled"))) << qPrintable(notices[0]);
            EXPECT_EQ(readFile(homePath), c.ownNewer ? older : newer);
            EXPECT_EQ(readFile(ownPath), c.ownNewer ? newer : older);
            EXPECT_FALSE(QFileInfo::exists(homePath + QStringLiteral(".bak")));
            EXPECT_FALSE(QFileInfo::exists(ownPath + QStringLiteral(".bak")));
        }
        // With room again the next start settles them on the newer, the older kept.
        EXPECT_EQ(DataLocations::userFile(world.path(), QStringLiteral("user.gdb")), homePath);
        EXPECT_EQ(readFile(homePath), newer);
        EXPECT_EQ(readFile((c.ownNewer ? homePath : ownPath) + QStringLiteral(".bak")), older);
    }
}

/** Sets (or, given a null value, unsets) one environment variable for the object's lifetime. */
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST_F(DataLocationsTest, SpecialHugeOrHollowFilesAreNotCopiedAndNeverWaitedOn)
{
    const QList<std::pair<const char*, std::function<void(const QString& path)>>> makers = {
        {"a FIFO", [](const QString&) {}},
        {"a link to /dev/zero", [](const QString& p) { ASSERT_TRUE(QFile::link("/dev/zero", p)); }},
        {"64 GiB of nothing",
         [](const QString& p) {
             writeFile(p, "");
             ASSERT_EQ(::truncate(QFile::encodeName(p).constData(), off_t(64) << 30), 0);
         }},
        {"3 GiB of nothing",
         [](const QString& p) {
             writeFile(p, "");
             ASSERT_EQ(::truncate(QFile::encodeName(p).constData(), off_t(3) << 30), 0);
         }},
    };
    for (const Kind& k : kinds()) {
        for (const auto& [what, make] : makers) {
            SCOPED_TRACE(std::string(k.what) + ", " + what);
            QTemporaryDir folder;
            const QString stored = folder.filePath(k.name);
            std::unique_ptr<Fifo> fifo;
            if (QByteArray(what) == "a FIFO")
                fifo = std::make_unique<Fifo>(stored);
            else
                make(stored);
            QElapsedTimer clock;
            clock.start();
            {
                ScopedReadOnlyFolder readOnly(folder.path());
                EXPECT_EQ(QFileInfo(k.place(folder.path())).absoluteFilePath(), stored);
            }
            EXPECT_LT(clock.elapsed(), 5000);
            if (fifo) {
                EXPECT_FALSE(fifo->blocked());
            }
            EXPECT_FALSE(QFileInfo::exists(QDir(k.ownFolder(folder.path())).filePath(k.name)));
            const QStringList notices = DataLocations::takeNotices();
            ASSERT_EQ(notices.size(), 1);
            EXPECT_TRUE(notices[0].contains(QDir::toNativeSeparators(stored))) << notices[0].toStdString();
        }
    }
}

TEST_F(DataLocationsTest, AFileWithHolesIsNotCopied)
{
    QTemporaryDir folder;
    const QString stored = folder.filePath(QStringLiteral("user.gdb"));
    writeFile(stored, "");
    ASSERT_EQ(::truncate(QFile::encodeName(stored).constData(), off_t(1) << 20), 0);
    {
        RegularFile probe(stored);
        const off_t hole = ::lseek(probe.handle(), 0, SEEK_HOLE);
        if (hole != 0)
            GTEST_SKIP() << "this file system does not tell where holes are";
    }
    ScopedReadOnlyFolder readOnly(folder.path());
    EXPECT_EQ(DataLocations::userFile(folder.path(), QStringLiteral("user.gdb")), stored);
    EXPECT_EQ(DataLocations::takeNotices().size(), 1);
}

TEST_F(DataLocationsTest, WithoutHomeOrXdgFoldersNothingIsWrittenOutsideAndItIsSaidOnce)
{
    ScopedEnv noHome("HOME", QByteArray()), config("XDG_CONFIG_HOME", QByteArray()),
        data("XDG_DATA_HOME", QByteArray());
    EXPECT_TRUE(DataLocations::settingsFolder().isEmpty());
    EXPECT_TRUE(DataLocations::userDataFolder(home.path()).isEmpty());
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.what);
        QTemporaryDir folder;
        writeFile(folder.filePath(k.name), "stored");
        ScopedReadOnlyFolder readOnly(folder.path());
        EXPECT_EQ(QFileInfo(k.place(folder.path())).absoluteFilePath(), folder.filePath(k.name));
        EXPECT_EQ(QFileInfo(k.place(folder.path())).absoluteFilePath(), folder.filePath(k.name));
        EXPECT_EQ(DataLocations::takeNotices().size(), 1) << "said once";
        EXPECT_THROW(AtomicFile::write(folder.filePath(k.name), "changed"), Error);
        EXPECT_EQ(readFile(folder.filePath(k.name)), "stored");
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/.config/veldamar-map")));
}

TEST_F(DataLocationsTest, ARelativeXdgPathIsIgnoredForHome)
{
    QTemporaryDir user;
    ScopedEnv userHome("HOME", QFile::encodeName(user.path()));
    for (const QByteArray& relative : {QByteArray("relative/config"), QByteArray("."), QByteArray("")}) {
        ScopedEnv config("XDG_CONFIG_HOME", relative), data("XDG_DATA_HOME", relative);
        EXPECT_EQ(DataLocations::settingsFolder(), user.path() + "/.config/veldamar-map") << relative.constData();
        EXPECT_TRUE(DataLocations::userDataFolder(home.path()).startsWith(user.path() + "/.local/share/veldamar-map/"));
    }
}

TEST_F(DataLocationsTest, AnOwnFolderThatCannotBeMadeIsSaidOnceAndTheReadOnlyHomeIsNotWritten)
{
    // The user's folders are a file: no folder can be made under them.
    QTemporaryDir blocked;
    writeFile(blocked.filePath("file"), "");
    const QByteArray under = QFile::encodeName(blocked.filePath("file"));
    ScopedEnv config("XDG_CONFIG_HOME", under), data("XDG_DATA_HOME", under);
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.what);
        writeFile(homeFile(k.name), "stored");
        ScopedReadOnlyFolder readOnly(home.path());
        EXPECT_EQ(QFileInfo(k.place(home.path())).absoluteFilePath(), homeFile(k.name));
        EXPECT_EQ(QFileInfo(k.place(home.path())).absoluteFilePath(), homeFile(k.name));
        const QStringList notices = DataLocations::takeNotices();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0].contains(QStringLiteral("cannot be made"))) << notices[0].toStdString();
        EXPECT_THROW(AtomicFile::write(homeFile(k.name), "changed"), Error);
        EXPECT_EQ(readFile(homeFile(k.name)), "stored");
    }
}

} // namespace
} // namespace vdm::test
