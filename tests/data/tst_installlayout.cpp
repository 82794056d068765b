// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/installlayout.h"

#include <QDir>
#include <QFile>
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

} // namespace
} // namespace vdm
