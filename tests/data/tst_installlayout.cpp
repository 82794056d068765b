// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/installlayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(InstallLayout, DataFolderIsTheSharedFolderOfThePrefix)
{
    EXPECT_EQ(InstallLayout::dataFolder(QStringLiteral("/usr/bin/")), QStringLiteral("/usr/share/veldamar-map/"));
    EXPECT_EQ(InstallLayout::dataFolder(QStringLiteral("/opt/vdm/bin/")),
              QStringLiteral("/opt/vdm/share/veldamar-map/"));
}

// An installed tree: PREFIX/bin holds the program, PREFIX/share/veldamar-map its read-me files.
TEST(InstallLayout, ReadmeBesideTheProgramFirstThenTheDataFolder)
{
    const test::InstalledPrefix installed;
    ASSERT_TRUE(installed.made());
    const QString& bin = installed.bin();
    const QString& share = installed.share();

    test::writeFile(bin + "readme.txt", "beside");
    test::writeFile(share + "readme.txt", "installed");
    test::writeFile(share + "readmerus.txt", "installed");
    QDir(bin).mkdir("readmefr.txt"); // something unreadable beside the program
    test::writeFile(share + "readmefr.txt", "installed");
    QDir(share).mkdir("missing.txt"); // a folder in the data folder is no read-me
    QFile::link(bin + "gone", bin + "dangling.txt");
    test::writeFile(share + "dangling.txt", "installed");

    struct Case {
        const char* name;
        QString expected;
    };
    for (const Case& c : {Case{"readme.txt", bin + "readme.txt"},         // beside the program
                          Case{"readmerus.txt", share + "readmerus.txt"}, // only in the data folder
                          Case{"readmefr.txt", bin + "readmefr.txt"},     // beside, though unreadable
                          Case{"missing.txt", bin + "missing.txt"},       // nowhere: the error names this
                          Case{"nothing.txt", bin + "nothing.txt"},
                          Case{"dangling.txt", share + "dangling.txt"}}) { // a dangling link is no file
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InstallLayout::readmeFile(bin, QLatin1String(c.name)), c.expected);
    }
}

// Only PREFIX/bin beside PREFIX/share/veldamar-map is an installation; a build or portable folder is not.
TEST(InstallLayout, InstallPrefixIsFoundOnlyForTheBinOfAPrefixWithTheDataFolder)
{
    const test::InstalledPrefix installed;
    ASSERT_TRUE(installed.made());
    const QString prefix = QFileInfo(installed.bin() + "..").canonicalFilePath();
    QTemporaryDir other;
    QDir(other.path()).mkpath("bin");                         // a bin without the data folder
    QDir(other.path()).mkpath("portable/share/veldamar-map"); // the data folder, but no bin
    QFile::link(installed.bin(), other.filePath("linked"));   // a link to an installed bin

    struct Case {
        const char* name;
        QString folder;
        QString expected;
    };
    for (const Case& c :
         {Case{"installed", installed.bin(), prefix}, Case{"no trailing slash", installed.bin().chopped(1), prefix},
          Case{"through a link", other.filePath("linked") + "/", prefix},
          Case{"bin without data", other.filePath("bin") + "/", QString()},
          Case{"portable", other.filePath("portable") + "/", QString()},
          Case{"missing", other.filePath("gone/bin") + "/", QString()}, Case{"empty", QString(), QString()}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InstallLayout::installPrefix(c.folder), c.expected);
    }
}

TEST(InstallLayout, InsideThePrefixFollowsLinksAndNeedsAWholeFolderName)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath("usr/share/world");
    QDir(root.path()).mkpath("usr2/world");
    QFile::link(root.filePath("usr/share"), root.filePath("shortcut"));
    const QString prefix = root.filePath("usr");
    struct Case {
        const char* name;
        QString path;
        bool inside;
    };
    for (const Case& c :
         {Case{"the prefix itself", prefix, true}, Case{"a world in it", root.filePath("usr/share/world"), true},
          Case{"a file not made yet", root.filePath("usr/share/world/user.gdb"), true},
          Case{"through a link", root.filePath("shortcut/world"), true},
          Case{"a folder that only starts alike", root.filePath("usr2/world"), false},
          Case{"outside", root.path(), false}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InstallLayout::isInside(c.path, prefix), c.inside);
    }
    EXPECT_FALSE(InstallLayout::isInside(prefix, QString())) << "no installation holds nothing";
    test::ScopedCurrentDir cwd(root.filePath("usr/share/world"));
    EXPECT_TRUE(InstallLayout::isInside(QString(), prefix)) << "empty: the working directory";
}

} // namespace
} // namespace vdm
