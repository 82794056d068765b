// SPDX-License-Identifier: MIT
// The real program read by a screen reader's client library over AT-SPI, on a session bus
// of the test's own: the box's caption, the progress counts and the open menu's entries,
// then the changes of the caption, the counts, a status button and quick find's count as
// they are announced.
#include "common/testworld.h"
#include "x11/xserver.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <X11/keysym.h>

namespace vdm::test {
namespace {

const QString kTitle = QStringLiteral("Veldamar Interactive Map");

/** Waits for the end of a process; kills it when it hangs, so the suite goes on. */
bool ended(QProcess& process, int ms)
{
    if (process.state() == QProcess::NotRunning || process.waitForFinished(ms))
        return true;
    process.kill();
    process.waitForFinished();
    return false;
}

/**
 * A private D-Bus session bus for the program and the reader; the accessibility bus is
 * started on it by D-Bus activation, and goes when it goes.
 */
class SessionBus {
public:
    SessionBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_daemon.start(daemon,
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(10000))
            return;
        (void)QTest::qWaitFor([&] { return m_daemon.canReadLine() || m_daemon.state() == QProcess::NotRunning; },
                              10000);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~SessionBus()
    {
        m_daemon.terminate();
        ended(m_daemon, 5000);
    }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

TEST(X11AtSpi, AScreenReaderReadsTheWindowAndHearsWhatChanges)
{
    const QString reader = QStringLiteral(VDM_ATSPI_READER);
    if (!QFile::exists(QStringLiteral("/usr/libexec/at-spi-bus-launcher"))
        || !QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "no AT-SPI bus launcher or python3: install at-spi2-core and gir1.2-atspi-2.0";
    SessionBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "the session bus for the accessibility bus could not start";
    XServer x;
    ASSERT_TRUE(x.connected());

    TestWorld world;
    world.write(QStringLiteral("vdmain.gdb"),
                locationRecord("Alpha", 0, 100, 100) + locationRecord("Beta", 0, 300, 300));
    // The user's records follow the locations by position: Alpha unvisited, Beta visited.
    world.write(QStringLiteral("user.gdb"), "loc\r\n   nm = Alpha\r\n   status = 1\r\n   note = \r\nend\r\n"
                                            "loc\r\n   nm = Beta\r\n   status = 3\r\n   note = \r\nend\r\n");
    const QString program = world.appPath(QStringLiteral("veldamar-map"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VDM_PROGRAM), program));
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    // The toolkit joins the accessibility bus without waiting for a screen reader to ask.
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));

    QProcess map;
    map.setProcessEnvironment(env);
    map.start(program, {world.dir()});
    ASSERT_TRUE(map.waitForStarted());
    uint32_t window = 0;
    (void)QTest::qWaitFor(
        [&] {
            window
                = x.topLevelTitled([](const QString& t) { return t.startsWith(kTitle + QStringLiteral(" (Zoom ")); });
            return window != 0 || map.state() == QProcess::NotRunning;
        },
        60000);
    ASSERT_NE(window, 0u) << map.readAllStandardError().constData();

    // The menu opened with F10 as a user opens it (without a window manager the keyboard
    // follows the pointer), then read while it is open.
    x.movePointer(x.geometry(window).center());
    QTest::qWait(100);
    x.typeKey(XK_F10);
    QProcess read;
    read.setProcessEnvironment(env);
    const QString counts = QStringLiteral("Visited %1 \u00B7 Active 0 \u00B7 Unvisited %2 of 2");
    // It reads the open menu, then listens for Beta's caption, the counts after Beta is
    // marked unvisited, the Unvisited button checked and quick find's count.
    // And it toggles the ship routes with the button's own action, as a screen reader's
    // user does: the program takes it as a click (the setting is written at the close).
    read.start(QStringLiteral("/usr/bin/python3"),
               {reader, QStringLiteral("60"), QStringLiteral("Beta"), counts.arg(0).arg(2), QStringLiteral("Unvisited"),
                QStringLiteral("1 place found"), QStringLiteral("Show ship routes")});
    ASSERT_TRUE(read.waitForStarted());
    const auto line = [&read] {
        (void)QTest::qWaitFor([&] { return read.canReadLine() || read.state() == QProcess::NotRunning; }, 30000);
        return read.readLine().trimmed();
    };
    // The reader prints each announcement as it hears it: waits for `name` of `kind`, so
    // the next key goes in only once the program has done what the last one asked (on a
    // busy machine that may take longer than any fixed wait). The last line is the whole.
    QByteArray whole;
    QByteArrayList heardSoFar; // for the message when something never comes
    const auto hear = [&](const char* kind, const QString& name) {
        for (QByteArray next = line(); !next.isEmpty(); next = line()) {
            heardSoFar << next;
            const QJsonObject told = QJsonDocument::fromJson(next).object();
            if (!told.contains(QStringLiteral("heard"))) {
                whole = next;
                return false;
            }
            if (told[QStringLiteral("heard")].toString() == QLatin1String(kind)
                && told[QStringLiteral("name")].toString() == name)
                return true;
        }
        return false;
    };
    const QByteArray first = line();
    if (read.state() == QProcess::NotRunning && read.exitCode() == 77)
        GTEST_SKIP() << "no AT-SPI client library: " << read.readAllStandardError().constData();
    ASSERT_FALSE(first.isEmpty()) << "the reader said: " << read.readAllStandardError().constData();

    const QJsonObject found = QJsonDocument::fromJson(first).object();
    EXPECT_EQ(found[QStringLiteral("box")].toString(), QStringLiteral("Alpha"));
    EXPECT_EQ(found[QStringLiteral("progress")].toString(), counts.arg(1).arg(1));
    QStringList groups;
    QStringList mapEntries;
    for (const QJsonValue& group : found[QStringLiteral("menu")].toArray()) {
        groups << group[QStringLiteral("name")].toString();
        if (groups.last() == QStringLiteral("Map"))
            for (const QJsonValue& entry : group[QStringLiteral("entries")].toArray())
                mapEntries << entry[QStringLiteral("name")].toString();
    }
    EXPECT_EQ(groups.join(QLatin1Char(',')).toStdString(), "Map,Location,Marker,Tools");
    EXPECT_TRUE(mapEntries.contains(QStringLiteral("Show ship routes")))
        << mapEntries.join(QLatin1Char(',')).toStdString();

    // Beta found with quick find and marked unvisited from the keyboard with the box's key,
    // which the note editor, holding the focus, leaves to the window (the window is not the
    // active one: no window manager makes it so, and the keys reach it and its bars all the
    // same). What changes is announced to the listening reader as it happens.
    x.typeKey(XK_Escape); // the menu closes
    // Until the program has closed the menu, the menu's grab takes every key: a busy
    // machine may need longer than any fixed wait.
    EXPECT_TRUE(QTest::qWaitFor([&] { return x.keyboardFree(); }, 20000)) << "the menu kept the keyboard";
    // While a reader listens, the toolkit holds each key back until the reader's registry
    // has seen it, and then gives it to the control that had the focus when it came in: a
    // key typed before the last one has moved the focus goes astray. So each key that moves
    // the focus is followed by what its handling announces before the next is typed.
    x.typeKey(XK_f, XK_Control_L); // quick find, the focus in its field
    ASSERT_TRUE(hear("shown", QStringLiteral("Find"))) << heardSoFar.join(' ').constData();
    for (const uint32_t letter : {XK_b, XK_e, XK_t, XK_a})
        x.typeKey(letter);
    ASSERT_TRUE(hear("found", QStringLiteral("1 place found"))) << heardSoFar.join(' ').constData();
    x.typeKey(XK_Return); // Beta taken: the box's caption and Beta's own status on its buttons
    ASSERT_TRUE(hear("box", QStringLiteral("Beta"))) << heardSoFar.join(' ').constData();
    ASSERT_TRUE(hear("checked", QStringLiteral("Visited"))) << heardSoFar.join(' ').constData();
    x.typeKey(XK_F2); // the box opens on Beta, the note editor takes the focus
    ASSERT_TRUE(hear("enabled", QStringLiteral("Beta"))) << heardSoFar.join(' ').constData();
    x.typeKey(XK_1, XK_Alt_L);
    (void)hear("", QString()); // reads on to the whole
    const QByteArray second = whole;
    EXPECT_TRUE(ended(read, 10000)) << "the reader hung; heard: " << heardSoFar.join(' ').constData();
    const QJsonObject heard = QJsonDocument::fromJson(second).object();
    const auto list = [&heard](const char* key) {
        QStringList names;
        for (const QJsonValue& v : heard[QLatin1String(key)].toArray())
            names << v.toString();
        return names;
    };
    EXPECT_TRUE(list("box").contains(QStringLiteral("Beta"))) << second.constData();
    EXPECT_TRUE(list("progress").contains(counts.arg(0).arg(2))) << second.constData();
    EXPECT_TRUE(list("checked").contains(QStringLiteral("Unvisited"))) << second.constData();
    EXPECT_TRUE(list("found").contains(QStringLiteral("1 place found"))) << second.constData();

    x.askToClose(window);
    EXPECT_TRUE(ended(map, 60000)) << "the program did not end";
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")).toStdString(),
              "loc\r\n   nm = Alpha\r\n   status = 1\r\n   note = \r\nend\r\n"
              "loc\r\n   nm = Beta\r\n   status = 1\r\n   note = \r\nend\r\n");
    // The ship routes, off by default, were switched on by the toggle: the program's own
    // interface ran the button's handler, not the toolkit's, which flips the button alone.
    QFile settings(world.appPath(QStringLiteral("qor.ini")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("\r\nShips=1\r\n")) << read.readAllStandardError().constData();
}

} // namespace
} // namespace vdm::test
