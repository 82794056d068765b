// SPDX-License-Identifier: MIT
// One run's settings without a window: read at start, the stored window state applied
// once, written back at the end, and nothing written once closed.
#include "session/settingssession.h"

#include "data/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace vdm {
namespace {

class SettingsSessionTest : public ::testing::Test {
protected:
    QString path() const { return QDir(folder.path()).filePath(QStringLiteral("qor.ini")); }
    void store(const QByteArray& ini)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    QByteArray stored() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int storedNumber(const char* section, const char* key) const
    {
        return IniFile(path()).ReadInteger(QLatin1String(section), QLatin1String(key), -1);
    }
    /** A window at its design place, with the bands where a fresh run puts them. */
    static WindowSnapshot window(int state = 0)
    {
        WindowSnapshot w;
        w.State = state;
        w.Width = 378;
        w.Height = 644;
        return w;
    }

    QTemporaryDir folder;
    SettingsSession session;
};

TEST_F(SettingsSessionTest, ClosedUntilOpenedAndWritesNothingOnceClosed)
{
    EXPECT_FALSE(session.isOpen());
    session.write(window()); // no file yet: nothing happens
    EXPECT_FALSE(QFile::exists(path()));

    store("[Map]\r\nShowText=0\r\n");
    session.open(path());
    EXPECT_TRUE(session.isOpen());
    EXPECT_FALSE(session.settings().ShowText);
    EXPECT_EQ(session.settings().HintDelay, Settings().HintDelay); // missing: the default
    session.close();
    EXPECT_FALSE(session.isOpen());
    Settings changed = session.settings();
    changed.ShowText = true;
    session.apply(changed);
    session.write(window());
    EXPECT_EQ(stored(), QByteArray("[Map]\r\nShowText=0\r\n"));
}

TEST_F(SettingsSessionTest, TheJourneySectionIsWrittenOnlyOnceAValueChanges)
{
    {
        SettingsSession run;
        run.open(path());
        EXPECT_EQ(run.travelSettings(), TravelSettings());
        run.write(window());
    }
    const QByteArray untouched = stored();
    EXPECT_FALSE(untouched.contains("[Journey]"));
    {
        SettingsSession run;
        run.open(path());
        run.write(window());
    }
    EXPECT_EQ(stored(), untouched);

    TravelSettings changed;
    changed.enabled[std::size_t(TravelMode::Ship)] = false;
    changed.walkSpeed = 1500;
    {
        SettingsSession run;
        run.open(path());
        run.setTravelSettings(changed);
        run.write(window());
    }
    EXPECT_EQ(storedNumber("Journey", "Ships"), 0);
    EXPECT_EQ(storedNumber("Journey", "WalkSpeed"), 1500);
    EXPECT_EQ(storedNumber("Journey", "SkarnelSpeed"), -1); // unchanged values stay unwritten
    SettingsSession again;
    again.open(path());
    EXPECT_EQ(again.travelSettings(), changed);
}

TEST_F(SettingsSessionTest, StoredLayoutIsKeptUntilTheFirstShowAppliesIt)
{
    struct Case {
        bool applied;
        int expectedState, expectedMapTop;
    };
    // Never applied: the file's own values go back unchanged; applied: the window's.
    for (const Case c : {Case{false, 2, 24}, Case{true, 0, 0}}) {
        store("[General]\r\nState=2\r\n[Toolbars]\r\nMapTop=24\r\n");
        SettingsSession s;
        s.open(path());
        EXPECT_EQ(s.storedBands().MapTop, 24);
        if (c.applied) {
            EXPECT_EQ(s.applyStoredWindowState(), 2);
        }
        EXPECT_EQ(s.storedLayoutApplied(), c.applied);
        s.write(window(0));
        EXPECT_EQ(storedNumber("General", "State"), c.expectedState) << c.applied;
        EXPECT_EQ(storedNumber("Toolbars", "MapTop"), c.expectedMapTop) << c.applied;
    }
}

TEST_F(SettingsSessionTest, WithoutKnownPositionsTheStoredPositionStaysAsItWas)
{
    struct Case {
        const char* before;
        bool known;
        int left, top; // stored after the write
    };
    // The window reads as near 0, 0 where the window system tells no position; the size is
    // its own either way.
    const Case cases[] = {
        {"[Window]\r\nLeft=120\r\nTop=80\r\n", false, 120, 80},
        {"", false, 300, 60}, // nothing stored: the defaults, never the window's -3, -30
        {"[Window]\r\nLeft=120\r\nTop=80\r\n", true, -3, -30},
    };
    for (const Case& c : cases) {
        store(c.before);
        SettingsSession s;
        s.open(path());
        EXPECT_TRUE(s.windowPositionsKnown());
        s.setWindowPositionsKnown(c.known);
        WindowSnapshot w = window(0);
        w.Left = -3, w.Top = -30, w.Width = 500, w.Height = 700;
        s.write(w);
        EXPECT_EQ(storedNumber("Window", "Left"), c.left) << c.before << c.known;
        EXPECT_EQ(storedNumber("Window", "Top"), c.top) << c.before << c.known;
        EXPECT_EQ(storedNumber("Window", "Width"), 500) << c.before << c.known;
        EXPECT_EQ(storedNumber("Window", "Height"), 700) << c.before << c.known;
    }
}

TEST_F(SettingsSessionTest, StoredViewIsReadOnRequest)
{
    store("[General]\r\nState=2\r\n[Window]\r\nZoom=3\r\nCenterX=40\r\nWidth=500\r\n");
    session.open(path());
    EXPECT_EQ(session.storedView().Zoom, 0); // not read yet
    const StoredView& v = session.readStoredView();
    EXPECT_EQ(v.Zoom, 3);
    EXPECT_EQ(v.CenterX, 40);
    EXPECT_TRUE(session.storedMaximized());
    EXPECT_FALSE(v.geometryRead); // a maximised window keeps its default geometry
}

TEST_F(SettingsSessionTest, OnlyAChosenWorldIsRemembered)
{
    for (const QString& world : {QString(), QStringLiteral("/worlds/north")}) {
        QFile::remove(path());
        SettingsSession s;
        s.open(path());
        if (!world.isEmpty())
            s.rememberWorld(world);
        s.write(window());
        EXPECT_EQ(IniFile(path()).ReadString(QStringLiteral("General"), QStringLiteral("LastWorld"), QString()), world);
    }
}

TEST_F(SettingsSessionTest, DrawingObjectsFollowTheMembersAsApplied)
{
    store("[Map]\r\nFontSize=12\r\n");
    session.open(path());
    session.rebuildObjects();
    EXPECT_EQ(session.objects().MapFont.pixelSize(), 12);
    Settings larger = session.settings();
    larger.MapFontSize = 20;
    session.apply(larger);
    EXPECT_EQ(session.objects().MapFont.pixelSize(), 20);
}

/** "[Map]\r\nAutosave=0\r\n" in a Unicode form, with its byte-order mark. */
QByteArray unicodeSettings(const char* encoding)
{
    const QString text = QStringLiteral("\uFEFF[Map]\r\nAutosave=0\r\n");
    if (QByteArray(encoding) == "UTF-16LE")
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QByteArray bytes;
    for (const QChar c : text) {
        const char32_t u = c.unicode();
        const char be[4] = {char(u >> 24), char(u >> 16), char(u >> 8), char(u)};
        bytes.append(be, 4);
    }
    return bytes; // UTF-32BE
}

TEST_F(SettingsSessionTest, AUnicodeFileIsKeptAsABackupAndStartedAfresh)
{
    for (const char* encoding : {"UTF-16LE", "UTF-32BE"}) {
        SCOPED_TRACE(encoding);
        QFile::remove(path());
        QFile::remove(path() + ".bak");
        const QByteArray unicode = unicodeSettings(encoding);
        store(unicode);
        SettingsSession run;
        run.open(path());
        const QStringList notices = run.takeNotices();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0].contains(QDir::toNativeSeparators(path()))) << notices[0].toStdString();
        EXPECT_TRUE(notices[0].contains(QByteArray(encoding).left(6))) << notices[0].toStdString();
        EXPECT_TRUE(notices[0].contains(path() + ".bak")) << notices[0].toStdString();
        EXPECT_TRUE(run.takeNotices().isEmpty());
        run.write(window());
        run.close();
        // The original whole beside it; the settings file is 8-bit text again.
        QFile backup(path() + ".bak");
        ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
        EXPECT_EQ(backup.readAll(), unicode);
        EXPECT_TRUE(stored().startsWith("["));
        EXPECT_FALSE(stored().contains('\0'));
        EXPECT_EQ(storedNumber("Map", "ShowText"), 1);
    }
}

TEST_F(SettingsSessionTest, AUnicodeFileThatCannotBeSetAsideIsLeftAloneAndNothingWritten)
{
    const QByteArray unicode = unicodeSettings("UTF-16LE");
    store(unicode);
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    SettingsSession run;
    run.open(path());
    const QStringList notices = run.takeNotices();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].contains("left as it is")) << notices[0].toStdString();
    EXPECT_NO_THROW(run.write(window()));
    run.close();
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(stored(), unicode);
    EXPECT_FALSE(QFile::exists(path() + ".bak"));
}

TEST_F(SettingsSessionTest, AnotherWindowsSettingsAreNotWrittenOver)
{
    // Two windows on two worlds share the settings file: each write takes what its own
    // run changed, and leaves every other key as the other window left it.
    store("[Hints]\r\nDelay=10\r\n");
    {
        SettingsSession earlier; // an earlier run left every key
        earlier.open(path());
        earlier.write(window());
    }
    SettingsSession first, second;
    first.open(path());
    second.open(path());

    Settings captionsOff = first.settings();
    captionsOff.ShowText = false;
    first.apply(captionsOff);
    WindowSnapshot moved = window();
    moved.Left = 500;
    first.write(moved); // the options dialog accepted
    EXPECT_EQ(storedNumber("Map", "ShowText"), 0);

    Settings hintsOn = second.settings();
    hintsOn.ShowHint = true;
    second.apply(hintsOn);
    second.write(window()); // the second window closes
    EXPECT_EQ(storedNumber("Map", "ShowText"), 0) << "the first window's choice stays";
    EXPECT_EQ(storedNumber("Window", "Left"), 500) << "the second window was not moved";
    EXPECT_EQ(storedNumber("Hints", "ShowHint"), 1) << "the second window's own choice is written";
    EXPECT_EQ(storedNumber("Hints", "Delay"), 10) << "a line of no window's stays";

    first.write(moved); // the first closes, nothing changed since its last write
    EXPECT_EQ(storedNumber("Hints", "ShowHint"), 1);
    EXPECT_EQ(storedNumber("Map", "ShowText"), 0);

    // Both started before there was a file: the defaults each would write are no choice.
    QFile::remove(path());
    SettingsSession third, fourth;
    third.open(path());
    fourth.open(path());
    third.apply(captionsOff);
    third.write(moved);
    fourth.write(window());
    EXPECT_EQ(storedNumber("Map", "ShowText"), 0);
    EXPECT_EQ(storedNumber("Window", "Left"), 500);
}

TEST_F(SettingsSessionTest, WorldsOpenedInTwoWindowsAreBothRemembered)
{
    const auto world = [this](const char* name) {
        const QString f = QDir(folder.path()).filePath(QLatin1String(name));
        QDir().mkpath(f);
        QFile picture(QDir(f).filePath(QStringLiteral("bigmap.jpg")));
        EXPECT_TRUE(picture.open(QIODevice::WriteOnly));
        return QFileInfo(f).canonicalFilePath();
    };
    const QString old = world("old"), east = world("east"), west = world("west");
    {
        SettingsSession before;
        before.open(path());
        before.rememberWorld(old);
        before.write(window());
    }
    SettingsSession first, second;
    first.open(path());
    second.open(path());
    first.rememberWorld(east);
    second.rememberWorld(west);
    first.write(window());
    second.write(window());
    SettingsSession next;
    next.open(path());
    EXPECT_EQ(next.recentWorlds(), (QStringList{west, east, old}));
}

TEST(ReachablePosition, AWindowOffEveryScreenOpensAtTheDefaultPlace)
{
    const StoredView defaults;
    const QPoint home(defaults.Left, defaults.Top);
    const QList<QRect> twoScreens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    struct Case {
        const char* what;
        int left, top, width, height;
        QList<QRect> screens;
        QPoint expected;
    };
    const Case cases[] = {
        {"on the first screen", 120, 80, 500, 700, twoScreens, {120, 80}},
        {"on the second screen", 2500, 300, 500, 700, twoScreens, {2500, 300}},
        {"one pixel on a screen", -499, -699, 500, 700, twoScreens, {-499, -699}},
        {"just off the left", -500, 80, 500, 700, twoScreens, home},
        {"a screen since unplugged", 3300, 80, 500, 700, twoScreens, home},
        {"a minimised window's far place", -32000, -32000, 160, 28, twoScreens, home},
        {"no size still counts as a pixel", 10, 10, 0, 0, twoScreens, {10, 10}},
        {"no screens at all", -32000, -32000, 500, 700, {}, {-32000, -32000}},
    };
    for (const Case& c : cases) {
        StoredView stored;
        stored.Left = c.left;
        stored.Top = c.top;
        stored.Width = c.width;
        stored.Height = c.height;
        EXPECT_EQ(reachablePosition(stored, c.screens), c.expected) << c.what;
    }
}

TEST_F(SettingsSessionTest, AChangedCopyIsAppliedAndToldWithWhatItWas)
{
    session.rebuildObjects();
    std::vector<Settings> told;
    QObject::connect(&session, &SettingsSession::changed, [&](const Settings& before) {
        told.push_back(before);
        // Whoever hears of it finds the drawing objects made of the new members already.
        EXPECT_EQ(session.objects(), DrawingObjects::fromSettings(session.settings()));
    });

    Settings same = session.settings();
    session.apply(same);
    EXPECT_TRUE(told.empty()); // no change, nothing to tell

    const DrawingObjects objects = session.objects();
    Settings toggled = session.settings();
    toggled.ShowShips = !toggled.ShowShips;
    session.apply(toggled);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].ShowShips, !toggled.ShowShips);
    EXPECT_EQ(session.settings(), toggled);
    EXPECT_EQ(session.objects(), objects); // nothing they are made of changed

    Settings recoloured = session.settings();
    recoloured.ColorVisited = 0x00123456;
    recoloured.MapFontSize = session.settings().MapFontSize + 3;
    session.apply(recoloured);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(session.objects(), DrawingObjects::fromSettings(recoloured));
    EXPECT_NE(session.objects(), objects);
}

} // namespace
} // namespace vdm
