// SPDX-License-Identifier: MIT
// A save killed at any moment: a child process rewrites user.gdb in a loop, alternating two
// complete versions, and is killed with SIGKILL at random moments. After every kill the
// file is exactly one of the two versions: never empty, never a mix, never missing.
#include "common/killtrial.h"
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/userdb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace vdm {
namespace {

QByteArray version(int n, int notes)
{
    LocationList list;
    for (int i = 0; i < 600 + 150 * n; ++i) {
        Location l;
        l.Name = "Location " + QByteArray::number(i);
        l.Status = 1 + (i + n) % 3;
        l.Note = QByteArray(notes, char('a' + n)) + " " + QByteArray::number(i);
        list.push_back(l);
    }
    return writeUserData(list);
}

TEST(CrashSafety, KilledSavesLeaveOneWholeVersion)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("user.gdb"));
    const QByteArray versions[2] = {version(0, 40), version(1, 90)};
    ASSERT_NE(versions[0].size(), versions[1].size());
    const QString a = dir.filePath(QStringLiteral("a.ref")), b = dir.filePath(QStringLiteral("b.ref"));
    test::writeFile(a, versions[0]);
    test::writeFile(b, versions[1]);

    QRandomGenerator random(20240611);
    QElapsedTimer clock;
    clock.start();
    int kills = 0, seen[2] = {0, 0};
    // A few hundred kills, but never more than about 25 s on a busy machine.
    while (kills < 300 && clock.elapsed() < 25000) {
        // Anywhere from at once to a few saves later.
        ASSERT_TRUE(test::killAtRandomMoment(QStringLiteral(VDM_CRASHWRITER), {target, a, b}, 6000, random));
        ++kills;

        const QByteArray now = test::readFile(target);
        const bool isA = now == versions[0], isB = now == versions[1];
        ASSERT_TRUE(isA || isB) << "after kill " << kills << " the file holds " << now.size() << " bytes";
        ++seen[isB ? 1 : 0];
    }
    EXPECT_GE(kills, 50);
    // Both versions were caught, so the kills really fell among the saves.
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    RecordProperty("kills", kills);
    std::printf("[          ] %d kills: %d times version A, %d times version B, %lld temporary files left\n", kills,
                seen[0], seen[1],
                static_cast<long long>(
                    QDir(dir.path()).entryList({QStringLiteral(".user.gdb.*")}, QDir::Files | QDir::Hidden).size()));
}

TEST(CrashSafety, TwoFilesWrittenTogetherAreBothOldOrBothNewAfterAKill)
{
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("user.gdb")),
                  markers = dir.filePath(QStringLiteral("markers.gdb"));
    const QString journal = dir.filePath(QStringLiteral(".user-files.journal"));
    const QByteArray versions[4] = {version(0, 40), version(2, 30), version(1, 90), version(3, 70)};
    QStringList refs;
    for (int i = 0; i < 4; ++i) {
        refs << dir.filePath(QStringLiteral("v%1.ref").arg(i));
        test::writeFile(refs.back(), versions[i]);
    }

    QRandomGenerator random(20261209);
    QElapsedTimer clock;
    clock.start();
    int kills = 0, finished = 0, seen[2] = {0, 0};
    // Each round syncs three files and a folder, which on a busy disk takes longer than the
    // first 8 ms: until both versions have been caught, later kills wait up to longer.
    while ((kills < 60 || seen[0] == 0 || seen[1] == 0) && clock.elapsed() < 30000) {
        const int maxWaitUs = kills < 60 ? 8000 : std::min(8000 + (kills - 60) * 4000, 400000);
        ASSERT_TRUE(test::killAtRandomMoment(QStringLiteral(VDM_CRASHWRITER),
                                             QStringList{"--pair", journal, user, markers} + refs, maxWaitUs, random));
        ++kills;
        // What the next start does before it reads either file.
        finished += AtomicFile::finishTogether(journal) ? 1 : 0;
        const QByteArray u = test::readFile(user), m = test::readFile(markers);
        const bool a = u == versions[0] && m == versions[1], b = u == versions[2] && m == versions[3];
        ASSERT_TRUE(a || b) << "after kill " << kills << ": " << u.size() << " and " << m.size() << " bytes";
        ++seen[b ? 1 : 0];
    }
    // Each round syncs three files and a folder: a slow disk gets fewer rounds into the
    // time box. Every kill is checked; a floor only proves the trial really ran.
    EXPECT_GE(kills, 20);
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    std::printf("[          ] %d kills, %d completed from the journal\n", kills, finished);
}

} // namespace
} // namespace vdm
