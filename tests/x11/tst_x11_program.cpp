// SPDX-License-Identifier: MIT
// The real program as a process of its own on the X server: a box of the start answered
// with a real key, and the installed program started as a user starts it from a menu.
#include "common/testutils.h"
#include "common/testworld.h"
#include "x11/xserver.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <csignal>

namespace vdm::test {
namespace {

const QString kTitle = QStringLiteral("Veldamar Interactive Map");

bool isErrorBox(const QString& title)
{
    return title == kTitle;
}

bool isMainWindow(const QString& title)
{
    return title.startsWith(kTitle + QStringLiteral(" (Zoom "));
}

/** Waits for a window of the process; 0 when none came while it ran. The wait only bounds a hang. */
uint32_t waitForWindow(const XServer& x, QProcess& process, bool (*matches)(const QString&))
{
    uint32_t window = 0;
    const bool found = QTest::qWaitFor(
        [&] {
            window = x.topLevelTitled(matches);
            return window != 0 || process.state() == QProcess::NotRunning;
        },
        60000);
    return found ? window : 0;
}

/** Waits for the end of the process; kills it when it hangs, so the suite goes on. */
bool ended(QProcess& process)
{
    if (process.waitForFinished(60000))
        return true;
    process.kill();
    process.waitForFinished();
    return false;
}

TEST(X11Program, AMissingLocationsDatabaseIsNamedAndTheProgramEndsOnceTheBoxIsAnswered)
{
    XServer x;
    ASSERT_TRUE(x.connected());
    TestWorld world; // a picture, no locations database
    const QByteArray user = "loc\r\n   nm = Alpha\r\n   status = 3\r\n   note = kept\r\nend\r\n";
    world.write(QStringLiteral("user.gdb"), user);
    // A copy of the program, so the settings file it writes lands in a folder of the test's.
    const QString program = world.appPath(QStringLiteral("veldamar-map"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VDM_PROGRAM), program));

    QProcess process;
    process.setWorkingDirectory(world.dir());
    process.start(program, {});
    ASSERT_TRUE(process.waitForStarted());
    const uint32_t box = waitForWindow(x, process, isErrorBox);
    ASSERT_NE(box, 0u) << "no error box; the program said: " << process.readAllStandardError().constData();
    EXPECT_EQ(process.state(), QProcess::Running) << "the box waits for its answer";

    // Without a window manager the keyboard follows the pointer: onto the box, then Enter.
    x.movePointer(x.geometry(box).center());
    x.typeKey(XK_Return);
    ASSERT_TRUE(ended(process)) << "the program did not end after the box";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(x.topLevelTitled(isMainWindow), 0u) << "no ghost window";
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
}

// A second start on the world hands over: one process, one window, and that window comes
// up over what covered it.
TEST(X11Program, ASecondStartBringsTheOneWindowUpAndEnds)
{
    XServer x;
    ASSERT_TRUE(x.connected());
    TestWorld world;
    world.write(QStringLiteral("vdmain.gdb"), locationRecord("Alpha", 0, 0, 0));
    const QString program = world.appPath(QStringLiteral("veldamar-map"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VDM_PROGRAM), program));
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    const auto start = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.start(program, {world.dir()});
        return p.waitForStarted();
    };
    QProcess first;
    ASSERT_TRUE(start(first));
    const uint32_t window = waitForWindow(x, first, isMainWindow);
    ASSERT_NE(window, 0u) << first.readAllStandardError().constData();

    // A window of the test's covers it.
    QWidget cover;
    cover.setWindowTitle(QStringLiteral("cover"));
    cover.setGeometry(x.geometry(window).adjusted(-20, -20, 20, 20));
    cover.show();
    const auto topmost = [&] {
        return x.topLevelTitled([](const QString& t) { return t == QStringLiteral("cover") || isMainWindow(t); });
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return topmost() == x.windowOf(&cover); }, 10000));

    QProcess second;
    ASSERT_TRUE(start(second));
    ASSERT_TRUE(ended(second)) << "the second start did not end";
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().constData();
    EXPECT_TRUE(QTest::qWaitFor([&] { return topmost() == window; }, 10000)) << "the window came to the front";
    int windows = 0;
    x.topLevelTitled([&](const QString& t) {
        windows += isMainWindow(t);
        return false;
    });
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(first.state(), QProcess::Running);

    x.askToClose(window);
    ASSERT_TRUE(ended(first));
    EXPECT_EQ(first.exitCode(), 0);
}

/**
 * The program installed by check-installed.sh into a prefix whose program and sample
 * folders are read-only; skipped in the ordinary run, which has no such prefix.
 */
class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (prefix.isEmpty())
            GTEST_SKIP() << "VDM_INSTALLED_PREFIX not set: run through check-installed.sh";
        ASSERT_TRUE(x.connected());
    }
    QString installed(const QString& relative) const { return QDir(prefix).filePath(relative); }

    const QString prefix = qEnvironmentVariable("VDM_INSTALLED_PREFIX");
    XServer x;
};

TEST_F(InstalledProgram, TellsTheProjectsVersion)
{
    QProcess process;
    process.start(installed(QStringLiteral("bin/veldamar-map")), {QStringLiteral("--version")});
    ASSERT_TRUE(ended(process));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput().trimmed(), QByteArray("veldamar-map " VDM_VERSION));
}

TEST_F(InstalledProgram, StartedOutsideAWorldOpensTheSampleAndKeepsItsFilesInTheXdgFolders)
{
    QTemporaryDir home, elsewhere;
    const QString config = home.filePath(QStringLiteral("config")), data = home.filePath(QStringLiteral("data"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(elsewhere.path());
    process.start(installed(QStringLiteral("bin/veldamar-map")), {});
    ASSERT_TRUE(process.waitForStarted());

    // The map window comes up (a chooser or an error box would have other titles).
    const uint32_t window = waitForWindow(x, process, isMainWindow);
    ASSERT_NE(window, 0u) << "no map window; the program said: " << process.readAllStandardError().constData();
    EXPECT_EQ(x.topLevelTitled(isErrorBox), 0u);
    // Closed as the window manager's close button does: the shut-down writes everything.
    x.askToClose(window);
    ASSERT_TRUE(ended(process));
    EXPECT_EQ(process.exitCode(), 0);

    const QByteArray settings = test::readFile(config + QStringLiteral("/veldamar-map/qor.ini"));
    const QString sample = QFileInfo(installed(QStringLiteral("share/veldamar-map/world"))).canonicalFilePath();
    EXPECT_TRUE(settings.contains("LastWorld=" + sample.toUtf8())) << settings.constData();
    QStringList userFiles;
    for (QDirIterator it(data + QStringLiteral("/veldamar-map"), {QStringLiteral("user.gdb")}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        userFiles << it.next();
    ASSERT_EQ(userFiles.size(), 1) << qPrintable(userFiles.join(QLatin1Char(' ')));
    EXPECT_FALSE(test::readFile(userFiles[0]).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(installed(QStringLiteral("bin/qor.ini"))));
    EXPECT_FALSE(QFileInfo::exists(installed(QStringLiteral("share/veldamar-map/world/user.gdb"))));
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

/** Every file under `folder` with its size and modification time, for a before-and-after look. */
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QFileInfo info(it.next());
        files << QStringLiteral("%1 %2 %3")
                     .arg(info.filePath())
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch());
    }
    files.sort();
    return files;
}

/** Gives the owner write permission on `folders` for its lifetime, as root's installation or ~/.local has. */
class ScopedWritable {
public:
    explicit ScopedWritable(QStringList folders) : m_folders(std::move(folders))
    {
        for (const QString& f : m_folders)
            QFile::setPermissions(f, QFile::permissions(f) | QFile::WriteOwner);
    }
    ~ScopedWritable()
    {
        for (const QString& f : m_folders)
            QFile::setPermissions(f, QFile::permissions(f) & ~(QFile::WriteOwner | QFile::WriteUser));
    }

private:
    QStringList m_folders;
};

// The mode bits allow a write (the superuser's /usr, a user's ~/.local): still nothing
// lands in the installation; a signal ends the run as a close does.
TEST_F(InstalledProgram, AWritableInstallationGetsNothingWrittenIntoIt)
{
    const ScopedWritable writable({installed(QStringLiteral("bin")), installed(QStringLiteral("share/veldamar-map")),
                                   installed(QStringLiteral("share/veldamar-map/world"))});
    const QStringList before = filesUnder(prefix);
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config")), data = home.filePath(QStringLiteral("data"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home.path());
    process.start(installed(QStringLiteral("bin/veldamar-map")), {});
    ASSERT_TRUE(process.waitForStarted());
    const uint32_t window = waitForWindow(x, process, isMainWindow);
    ASSERT_NE(window, 0u) << "no map window; the program said: " << process.readAllStandardError().constData();
    ASSERT_EQ(::kill(pid_t(process.processId()), SIGTERM), 0);
    ASSERT_TRUE(ended(process));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);

    EXPECT_EQ(filesUnder(prefix), before);
    EXPECT_TRUE(QFileInfo::exists(config + QStringLiteral("/veldamar-map/qor.ini")));
    QStringList userFiles;
    for (QDirIterator it(data + QStringLiteral("/veldamar-map"), {QStringLiteral("*.gdb")}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        userFiles << QFileInfo(it.next()).fileName();
    userFiles.sort();
    EXPECT_EQ(userFiles, (QStringList{QStringLiteral("markers.gdb"), QStringLiteral("user.gdb")}));
}

} // namespace
} // namespace vdm::test
