// SPDX-License-Identifier: MIT
// The file a save dialog proposes: which folder, and the name from the world and the day.
#include "session/proposedfile.h"

#include "common/testutils.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm::test {
namespace {

TEST(ProposedFile, TheRememberedFolderThenTheUsersFolderThenHome)
{
    QTemporaryDir home, remembered, world;
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    const QDate day(2026, 12, 9);
    const QString name = QDir(world.path()).dirName() + QStringLiteral("-map-2026-12-09.png");
    const auto propose = [&](const QString& last) {
        return proposedFile(last, QStandardPaths::PicturesLocation, world.path(), QStringLiteral("map"), day,
                            QStringLiteral("png"));
    };
    EXPECT_EQ(propose({}), QDir(home.path()).filePath(name)) << "no Pictures folder yet: home";
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Pictures")));
    EXPECT_EQ(propose({}), home.filePath(QStringLiteral("Pictures/")) + name);
    EXPECT_EQ(propose(remembered.path()), QDir(remembered.path()).filePath(name));
    EXPECT_EQ(propose(remembered.filePath(QStringLiteral("gone"))), home.filePath(QStringLiteral("Pictures/")) + name);
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST(ProposedFile, TheNameTellsTheWorldWhatAndTheDay)
{
    QTemporaryDir folder;
    const QDate day(2027, 1, 2);
    struct Case {
        const char* what;
        QString world;
        QString name;
    };
    ScopedCurrentDir cwd(folder.path());
    for (const Case& c :
         {Case{"a folder", QStringLiteral("/srv/maps/Veldamar"), QStringLiteral("Veldamar-progress-2027-01-02.txt")},
          Case{"a trailing slash", QStringLiteral("/srv/maps/Veldamar/"),
               QStringLiteral("Veldamar-progress-2027-01-02.txt")},
          Case{"the root", QStringLiteral("/"), QStringLiteral("world-progress-2027-01-02.txt")},
          Case{"the working directory", QString(),
               QDir(folder.path()).dirName() + QStringLiteral("-progress-2027-01-02.txt")}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(QFileInfo(proposedFile(folder.path(), QStandardPaths::DocumentsLocation, c.world,
                                         QStringLiteral("progress"), day, QStringLiteral("txt")))
                      .fileName(),
                  c.name);
    }
    EXPECT_EQ(rememberedFolder(folder.filePath(QStringLiteral("x.txt"))), folder.path());
}

} // namespace
} // namespace vdm::test
