// SPDX-License-Identifier: MIT
// Every write of the program failing at each of its steps: the stored file stays whole,
// the user is told "Unable to write to <full path>", no temporary file is left behind
// and what is in memory does not change. Then the same write succeeds.
#include "data/inifile.h"
#include "data/settings.h"
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/errors.h"
#include "data/markersdb.h"
#include "data/userdb.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace vdm {
namespace {

using Step = AtomicFile::Step;
constexpr Step kSteps[] = {Step::Create, Step::Write, Step::Flush, Step::Sync, Step::Rename};

const char* stepName(Step s)
{
    switch (s) {
    case Step::Create:
        return "Create";
    case Step::Write:
        return "Write";
    case Step::Flush:
        return "Flush";
    case Step::Sync:
        return "Sync";
    case Step::Rename:
        return "Rename";
    }
    return "?";
}

LocationList someLocations(int statusShift)
{
    LocationList list;
    for (int i = 0; i < 40; ++i) {
        Location l;
        l.Name = "Place " + QByteArray::number(i);
        l.Status = 1 + (i + statusShift) % 3;
        l.Note = statusShift ? "changed note " + QByteArray::number(i) : QByteArray();
        list.push_back(l);
    }
    return list;
}

LocationList someMarkers(int count)
{
    LocationList list;
    for (int i = 0; i < count; ++i) {
        Location m;
        m.Name = "camp, " + QByteArray::number(i);
        m.Level = 1;
        m.X = -125000 + i * 1000;
        m.Y = 220000 - i * 777;
        list.push_back(m);
    }
    return list;
}

/** One kind of stored file: how its old state is made and how the program rewrites it. */
struct WriteCase {
    const char* name;
    QString file;
    std::function<QByteArray()> oldBytes;
    /** Performs the program's write; returns a fingerprint of the in-memory data. */
    std::function<QByteArray(const QString& path)> write;
};

class FaultInjectionTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::setFaultInjector({}); }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    std::vector<WriteCase> cases() const;
    QTemporaryDir dir;
};

std::vector<WriteCase> FaultInjectionTest::cases() const
{
    std::vector<WriteCase> all;
    all.push_back({"user.gdb", QStringLiteral("user.gdb"), [] { return writeUserData(someLocations(0)); },
                   [](const QString& path) {
                       const LocationList locations = someLocations(1);
                       const LocationList before = locations;
                       AtomicFile::write(path, writeUserData(locations));
                       EXPECT_EQ(locations, before);
                       return writeUserData(locations);
                   }});
    all.push_back({"markers.gdb", QStringLiteral("markers.gdb"), [] { return writeMarkers(someMarkers(3)); },
                   [](const QString& path) {
                       const LocationList markers = someMarkers(7);
                       AtomicFile::write(path, writeMarkers(markers));
                       return writeMarkers(markers);
                   }});
    all.push_back(
        {"qor.ini", QStringLiteral("qor.ini"),
         [] { return QByteArray("[Map]\r\nShowText=1\r\nFontSize=8\r\n[Hints]\r\nConstant=0\r\nDelay=3000\r\n"); },
         [](const QString& path) {
             IniFile ini(path);
             Settings s;
             s.ShowText = false;
             s.MapFontSize = 13;
             s.ColorShips = 255;
             const Settings before = s;
             WindowSnapshot w;
             w.Zoom = 4;
             try {
                 writeSettings(ini, s, w);
             } catch (...) {
                 EXPECT_EQ(s, before);
                 throw;
             }
             return QByteArray::number(s.MapFontSize);
         }});
    return all;
}

TEST_F(FaultInjectionTest, EveryStepOfEveryWriteFailsSafely)
{
    int passed = 0;
    for (const WriteCase& c : cases()) {
        for (const Step failing : kSteps) {
            SCOPED_TRACE(std::string(c.name) + " failing at " + stepName(failing));
            const QString path = dir.filePath(c.file);
            const QByteArray old = c.oldBytes();
            test::writeFile(path, old);

            AtomicFile::setFaultInjector([failing](Step s) { return s != failing; });
            try {
                c.write(path);
                ADD_FAILURE() << "the failed write was reported as success";
            } catch (const Error& e) {
                EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + QFileInfo(path).absoluteFilePath());
            }
            EXPECT_EQ(test::readFile(path), old);
            EXPECT_EQ(entries(), QStringList{c.file}) << "a temporary file was left behind";

            // The disk is well again: the same write goes through.
            AtomicFile::setFaultInjector({});
            c.write(path);
            EXPECT_NE(test::readFile(path), old);
            EXPECT_EQ(entries(), QStringList{c.file});
            QFile::remove(path);
            if (!::testing::Test::HasFailure())
                ++passed;
        }
    }
    EXPECT_EQ(passed, 15);
}

TEST_F(FaultInjectionTest, AFailedFirstWriteCreatesNoFile)
{
    for (const WriteCase& c : cases()) {
        for (const Step failing : kSteps) {
            SCOPED_TRACE(std::string(c.name) + " failing at " + stepName(failing));
            AtomicFile::setFaultInjector([failing](Step s) { return s != failing; });
            EXPECT_THROW(c.write(dir.filePath(c.file)), Error);
            EXPECT_TRUE(entries().isEmpty()) << entries().join(QLatin1Char(' ')).toStdString();
        }
    }
}

TEST_F(FaultInjectionTest, SettingsWriteStopsAtTheFirstFailureAndLeavesAReadableFile)
{
    // The settings save is a series of atomic writes; when the disk fails in the middle,
    // the file holds the writes before it, each of them whole, and the rest are skipped.
    const QString path = dir.filePath(QStringLiteral("qor.ini"));
    for (int failAt : {1, 2, 5, 20}) {
        SCOPED_TRACE(failAt);
        QFile::remove(path);
        int renames = 0;
        AtomicFile::setFaultInjector([&](Step s) { return s != Step::Rename || ++renames < failAt; });
        IniFile ini(path);
        Settings s;
        s.ShowText = false;
        s.ShowHint = true;
        EXPECT_THROW(writeSettings(ini, s, WindowSnapshot{}), Error);
        EXPECT_EQ(renames, failAt) << "writes went on after the failure";
        AtomicFile::setFaultInjector({});

        Settings read;
        readSettings(ini, read);
        if (failAt > 1) {
            EXPECT_FALSE(read.ShowText);
        }
        if (failAt > 2) {
            EXPECT_TRUE(read.ShowHint);
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), failAt > 1 ? 1 : 0);
    }
}

TEST_F(FaultInjectionTest, ReadOnlyDirectoryRefusesWithoutTouchingTheFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    const QString path = dir.filePath(QStringLiteral("user.gdb"));
    const QByteArray old = writeUserData(someLocations(0));
    test::writeFile(path, old);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_THROW(AtomicFile::write(path, writeUserData(someLocations(1))), Error);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(test::readFile(path), old);
}

} // namespace
} // namespace vdm
