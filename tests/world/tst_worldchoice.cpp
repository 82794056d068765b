// SPDX-License-Identifier: MIT
// Which world a run opens, and the boxes that name a world that cannot be opened.
#include "world/worldchoice.h"

#include <QDir>
#include <QSet>
#include <gtest/gtest.h>

namespace vdm::test {
namespace {

struct ChoiceCase {
    const char* name;
    WorldCandidates candidates;
    QSet<QString> withPicture;
    WorldSource source;
    QString folder;
};

TEST(WorldChoice, OrderOfTheCandidates)
{
    const QString arg = QStringLiteral("/w/arg"), cwd = QStringLiteral("/w/cwd"), last = QStringLiteral("/w/last"),
                  sample = QStringLiteral("/w/sample");
    const WorldCandidates all{arg, cwd, last, sample};
    const WorldCandidates noArg{{}, cwd, last, sample};
    const ChoiceCase cases[] = {
        {"argument wins even over a world in the working directory",
         all,
         {cwd, last, sample},
         WorldSource::Argument,
         arg},
        {"an argument without a picture is still the argument", all, {}, WorldSource::Argument, arg},
        {"working directory with a picture", noArg, {cwd, last, sample}, WorldSource::WorkingDirectory, cwd},
        {"last world when the working directory has none", noArg, {last, sample}, WorldSource::LastWorld, last},
        {"a last world gone is skipped", noArg, {sample}, WorldSource::Sample, sample},
        {"no last world remembered", {{}, cwd, {}, sample}, {sample}, WorldSource::Sample, sample},
        {"nothing anywhere: the chooser", noArg, {}, WorldSource::Chooser, {}},
        {"no sample installed: the chooser", {{}, cwd, {}, {}}, {}, WorldSource::Chooser, {}},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const WorldChoice choice
            = chooseWorld(c.candidates, [&](const QString& f) { return c.withPicture.contains(f); });
        EXPECT_EQ(choice.source, c.source);
        EXPECT_EQ(choice.folder, c.folder);
    }
}

TEST(WorldChoice, SampleLiesInTheSharedFolderOfThePrefix)
{
    EXPECT_EQ(sampleWorldFolder(QStringLiteral("/opt/vm/bin/")), QStringLiteral("/opt/vm/share/veldamar-map/world"));
    EXPECT_EQ(sampleWorldFolder(QStringLiteral("/usr/bin/")), QStringLiteral("/usr/share/veldamar-map/world"));
}

TEST(WorldChoice, MessagesNameTheFolderAndTheWayOut)
{
    const QString text = worldNotFoundMessage(QStringLiteral("/some/where"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Map file not found. Please reinstall application."));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("/some/where")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("veldamar-map WORLD_DIR")));
}

} // namespace
} // namespace vdm::test
