// SPDX-License-Identifier: MIT
// Merges killed at any moment: a child process plays another program and a window on one
// world, each round changing both files on both sides and merging them, and is killed
// with SIGKILL at random moments. After every kill each file reads back whole, and no
// change either side made before the last finished write is missing.
#include "common/killtrial.h"
#include "common/testutils.h"
#include "common/testworld.h"
#include "data/markersdb.h"
#include "data/userdb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

namespace vdm {
namespace {

constexpr int kPlaces = 40;

/** The numbers of the markers named "<who> <n>", which must be 0, 1, 2, ... without a gap. */
int countWithoutGap(const LocationList& markers, const QByteArray& who)
{
    std::set<int> numbers;
    for (const Location& m : markers) {
        if (m.Name.startsWith(who + ' '))
            numbers.insert(m.Name.mid(who.size() + 1).toInt());
    }
    const int count = int(numbers.size());
    EXPECT_TRUE(numbers.empty() || (*numbers.begin() == 0 && *numbers.rbegin() == count - 1)) << who.constData();
    return count;
}

TEST(MergeCrash, KilledMergesLeaveEachFileWholeAndLoseNoFinishedChange)
{
    QRandomGenerator random(20261209);
    QElapsedTimer clock;
    clock.start();
    int kills = 0, merged = 0;
    while (kills < 60 && clock.elapsed() < 25000) {
        QTemporaryDir dir;
        QByteArray locations;
        LocationList places(kPlaces);
        for (int i = 0; i < kPlaces; ++i) {
            places[size_t(i)].Name = "Place " + QByteArray::number(i);
            locations += test::locationRecord(places[size_t(i)].Name, 0, 1000 * i, -1000 * i);
        }
        test::writeFile(dir.filePath(QStringLiteral("vdmain.gdb")), locations);
        test::writeFile(dir.filePath(QStringLiteral("user.gdb")), writeUserData(places));
        test::writeFile(dir.filePath(QStringLiteral("markers.gdb")), QByteArray());

        // Anywhere from at once to several rounds later.
        ASSERT_TRUE(test::killAtRandomMoment(QStringLiteral(VDM_MERGEWRITER), {dir.path()}, 150000, random));
        ++kills;
        SCOPED_TRACE(kills);

        // Each file is one the writer wrote whole.
        const QByteArray userBytes = test::readFile(dir.filePath(QStringLiteral("user.gdb")));
        LocationList read = places;
        ASSERT_EQ(readUserData(userBytes, read), size_t(kPlaces));
        ASSERT_TRUE(userDataWritesBack(read, userBytes));
        const QByteArray markerBytes = test::readFile(dir.filePath(QStringLiteral("markers.gdb")));
        LocationList markers;
        readMarkers(markerBytes, markers);
        ASSERT_EQ(writeMarkers(markers), markerBytes);

        // Nothing either side finished is lost: every marker of both, and the other
        // program's latest notes, which the window's merges must have carried over.
        const int theirs = countWithoutGap(markers, "other");
        const int ours = countWithoutGap(markers, "window");
        EXPECT_GE(ours, 1);
        EXPECT_TRUE(theirs == ours || theirs == ours + 1) << theirs << " and " << ours;
        int latest = -1;
        for (const Location& l : read) {
            if (l.Note.startsWith("other "))
                latest = std::max(latest, l.Note.mid(6).toInt());
        }
        ASSERT_GE(latest, theirs - 1);
        for (int k = std::max(0, latest - kPlaces / 2 + 1); k <= latest; ++k)
            EXPECT_EQ(read[size_t((2 * k) % kPlaces)].Note, "other " + QByteArray::number(k));
        merged += ours;
    }
    EXPECT_GE(kills, 10);
    std::printf("[          ] %d kills after %d merged rounds in all\n", kills, merged);
}

} // namespace
} // namespace vdm
