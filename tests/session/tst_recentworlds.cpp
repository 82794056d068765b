// SPDX-License-Identifier: MIT
// The list of recent worlds: order, repeats, vanished folders, and its place in the settings file.
#include "session/recentworlds.h"

#include "data/inifile.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(RecentWorlds, NewestFirstWithoutRepeatsAtMostEight)
{
    QTemporaryDir root;
    const auto folder = [&](int i) {
        const QString f = root.filePath(QStringLiteral("w%1").arg(i));
        QDir().mkpath(f);
        return f;
    };
    const struct {
        const char* what;
        std::vector<int> opened; // in order
        std::vector<int> list;   // newest first
    } rows[] = {
        {"one", {1}, {1}},
        {"newest first", {1, 2, 3}, {3, 2, 1}},
        {"again moves to the front", {1, 2, 3, 1}, {1, 3, 2}},
        {"the same twice", {4, 4}, {4}},
        {"eight kept", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {10, 9, 8, 7, 6, 5, 4, 3}},
    };
    for (const auto& r : rows) {
        RecentWorlds recent;
        for (const int i : r.opened)
            recent.opened(folder(i));
        QStringList expected;
        for (const int i : r.list)
            expected << QDir(folder(i)).canonicalPath();
        EXPECT_EQ(recent.folders(), expected) << r.what;
    }
}

TEST(RecentWorlds, TwoNamesOfOneFolderAreOne)
{
    QTemporaryDir root;
    QDir().mkpath(root.filePath("world"));
    QFile::link(root.filePath("world"), root.filePath("link"));
    RecentWorlds recent;
    recent.opened(root.filePath("world"));
    recent.opened(root.filePath("world/../world/"));
    recent.opened(root.filePath("link"));
    EXPECT_EQ(recent.folders(), QStringList{QDir(root.filePath("world")).canonicalPath()});
    recent.opened(QString());
    EXPECT_EQ(recent.folders().size(), 1);
}

TEST(RecentWorlds, VanishedFoldersAreDroppedSilently)
{
    RecentWorlds recent(QStringList{"/a", "/gone", "/b"});
    EXPECT_FALSE(recent.changed());
    EXPECT_TRUE(recent.dropVanished([](const QString& f) { return f != "/gone"; }));
    EXPECT_EQ(recent.folders(), (QStringList{"/a", "/b"}));
    EXPECT_TRUE(recent.changed());
    EXPECT_FALSE(recent.dropVanished([](const QString&) { return true; }));
}

TEST(RecentWorlds, KeptInTheSettingsFileOnlyWhenChanged)
{
    const QByteArray original = "[General]\r\nAutosave=1\r\n";
    auto* storage = new MemoryIniStorage(original);
    IniFile ini(QStringLiteral("qor.ini"), std::unique_ptr<IniStorage>(storage));
    RecentWorlds recent = RecentWorlds::read(ini);
    EXPECT_TRUE(recent.folders().isEmpty());
    recent.write(ini);
    EXPECT_EQ(storage->bytes(), original) << "nothing opened, nothing written";

    recent.opened(QStringLiteral("/worlds/Karuford"));
    recent.opened(QString::fromUtf8("/worlds/\u041C\u0438\u0440")); // not in the code page: stored as bytes
    recent.write(ini);
    EXPECT_TRUE(
        storage->bytes().contains("[Recent]\r\nWorld1=bytes:/worlds/%D0%9C%D0%B8%D1%80\r\nWorld2=/worlds/Karuford\r\n"))
        << storage->bytes().constData();
    const RecentWorlds again = RecentWorlds::read(ini);
    EXPECT_EQ(again.folders(), recent.folders());
    EXPECT_FALSE(again.changed());

    // A list grown shorter empties the keys after it; reading skips them.
    RecentWorlds shorter = RecentWorlds::read(ini);
    shorter.dropVanished([](const QString& f) { return f.endsWith("Karuford"); });
    shorter.write(ini);
    EXPECT_EQ(RecentWorlds::read(ini).folders(), QStringList{"/worlds/Karuford"});
}

} // namespace
} // namespace vdm
