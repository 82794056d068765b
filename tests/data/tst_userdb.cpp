// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/dbprinters.h"
#include "data/errors.h"
#include "data/locationsdb.h"
#include "data/userdb.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace vdm {
namespace {

LocationList locations(int count)
{
    LocationList list(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        list[std::size_t(i)].Name = "Place " + QByteArray::number(i);
    return list;
}

QByteArray block(const QByteArray& status, const QByteArray& note, const QByteArray& name = "X")
{
    return "loc\r\n   nm = " + name + "\r\n" + status + "\r\n" + note + "\r\nend\r\n";
}

QString errorOf(const QByteArray& bytes, LocationList& list)
{
    try {
        readUserData(bytes, list);
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

TEST(UserDb, FixtureReadsAndWritesBackExactly)
{
    LocationList list;
    readLocations(test::readFile(test::fixturePath("data/user_roundtrip/vdmain.gdb")), list);
    ASSERT_EQ(list.size(), 4u);
    readUserData(test::readFile(test::fixturePath("data/user_roundtrip/user.gdb")), list);
    EXPECT_EQ(writeUserData(list), test::readFile(test::fixturePath("data/user_roundtrip/expected.gdb")));
}

TEST(UserDb, WriterLayout)
{
    LocationList list = locations(1);
    list[0].Status = Visited;
    list[0].Note = "Dragon, asleep";
    EXPECT_EQ(writeUserData(list), "loc\r\n   nm = Place 0\r\n   status = 3\r\n   note = Dragon, asleep\r\nend\r\n");
    EXPECT_EQ(writeUserData({}), "");
}

TEST(UserDb, RoundTripEveryStatusAndNoteLength)
{
    LocationList written = locations(3 * 256);
    for (int len = 0; len <= 255; ++len)
        for (int s = 0; s < 3; ++s) {
            Location& l = written[std::size_t(len * 3 + s)];
            l.Status = s + 1;
            QByteArray note;
            for (int i = 0; i < len; ++i)
                note += char('a' + (i * 7 + s) % 26);
            if (len > 2)
                note[len / 2] = ' ';
            l.Note = note;
        }
    LocationList read = locations(3 * 256);
    readUserData(writeUserData(written), read);
    EXPECT_EQ(read, written);
}

TEST(UserDb, NotesKeepEveryInnerByte)
{
    // Every byte but the line breaks survives inside a note; blanks and control
    // characters at the ends are trimmed away on reading.
    LocationList written = locations(1);
    for (int b = 0; b < 256; ++b)
        written[0].Note += char(b);
    written[0].Note = "<" + written[0].Note + ">";
    LocationList read = locations(1);
    readUserData(writeUserData(written), read);
    QByteArray expected = written[0].Note;
    expected.replace('\n', ' ').replace('\r', ' ');
    EXPECT_EQ(read[0].Note, expected);
}

TEST(UserDb, LineBreakInNoteStaysInItsBlock)
{
    LocationList written = locations(2);
    written[0].Note = "first line\nloc\r\nsecond";
    written[1].Status = Visited;
    written[1].Note = "after";
    LocationList read = locations(2);
    readUserData(writeUserData(written), read);
    EXPECT_EQ(read[0].Note, "first line loc  second");
    EXPECT_EQ(read[1].Status, Visited);
    EXPECT_EQ(read[1].Note, "after");
}

TEST(UserDb, NoteTrimmedAndEmpty)
{
    LocationList list = locations(3);
    readUserData(block("   status = 2", "   note =   padded\t ") + block("   status = 1", "   note = ")
                     + block("   status = 3", "   note"),
                 list);
    EXPECT_EQ(list[0].Note, "padded");
    EXPECT_EQ(list[1].Note, "");
    EXPECT_EQ(list[2].Note, "");
    EXPECT_EQ(list[2].Status, Visited);
}

TEST(UserDb, StatusIsThe13thCharacter)
{
    struct Case {
        QByteArray line;
        QString error;
        std::int32_t status;
    } cases[] = {
        {"   status = 2", "", 2},
        {"   status = 23", "", 2},
        {"   status = 0", "", 0},
        {"   status = 9", "", 9},
        {"xxxxxxxxxxxx7 trailing", "", 7},
        {"   status = x", "'x' is not a valid integer value", 1},
        {"   status =  2", "' ' is not a valid integer value", 1},
        {"   status = -1", "'-' is not a valid integer value", 1},
        {"   status = ", "'   status = ' is not a valid integer value", 1},
        {"   status =", "'   status =' is not a valid integer value", 1},
        {"", "'' is not a valid integer value", 1},
    };
    for (const Case& c : cases) {
        LocationList list = locations(1);
        EXPECT_EQ(errorOf(block(c.line, "   note = kept?"), list), c.error) << c.line.constData();
        EXPECT_EQ(list[0].Status, c.status) << c.line.constData();
        EXPECT_EQ(list[0].Note, c.error.isEmpty() ? "kept?" : "") << c.line.constData();
    }
}

TEST(UserDb, BlocksApplyByPosition)
{
    LocationList list = locations(3);
    readUserData(block("   status = 3", "   note = one", "Somewhere Else") + "junk\r\n"
                     + block("   status = 2", "   note = two", "Place 0"),
                 list);
    EXPECT_EQ(list[0].Status, Visited);
    EXPECT_EQ(list[0].Note, "one");
    EXPECT_EQ(list[1].Status, Active);
    EXPECT_EQ(list[1].Note, "two");
    EXPECT_EQ(list[2].Status, Unvisited);
    EXPECT_EQ(list[2].Note, "");
}

TEST(UserDb, MoreBlocksThanLocations)
{
    LocationList list = locations(2);
    const QByteArray bytes = block("   status = 3", "   note = a") + block("   status = 2", "   note = b")
                             + block("   status = 3", "   note = c") + block("   status = 3", "   note = d");
    EXPECT_EQ(errorOf(bytes, list), "List index out of bounds (2)");
    EXPECT_EQ(list[0].Note, "a");
    EXPECT_EQ(list[1].Note, "b");
    EXPECT_EQ(list[1].Status, Active);
}

TEST(UserDb, ErrorKeepsEarlierBlocks)
{
    LocationList list = locations(3);
    EXPECT_EQ(errorOf(block("   status = 3", "   note = a") + block("   status = ?", "   note = b")
                          + block("   status = 2", "   note = c"),
                      list),
              "'?' is not a valid integer value");
    EXPECT_EQ(list[0].Status, Visited);
    EXPECT_EQ(list[0].Note, "a");
    EXPECT_EQ(list[1].Status, Unvisited);
    EXPECT_EQ(list[2].Status, Unvisited);
}

TEST(UserDb, EndOfData)
{
    LocationList list = locations(2);
    // A last header without a line end is no block; a block without its end line still applies.
    EXPECT_EQ(errorOf("loc\n   nm = A\n   status = 3\n   note = last", list), "");
    EXPECT_EQ(list[0].Note, "last");
    EXPECT_EQ(errorOf(block("   status = 2", "   note = x") + "loc", list), "");
    // A block the data ends inside of, before its status line, is a conversion error.
    list = locations(2);
    EXPECT_EQ(errorOf("loc\n   nm = A\n", list), "'' is not a valid integer value");
    EXPECT_EQ(list[0].Status, Unvisited);
}

TEST(UserDb, StatusOutsideDigitsWrittenAsNoStatus)
{
    LocationList list = locations(3);
    list[0].Status = -1;
    list[1].Status = 23;
    list[2].Status = 7;
    LocationList read = locations(3);
    readUserData(writeUserData(list), read);
    EXPECT_EQ(read[0].Status, 0);
    EXPECT_EQ(read[1].Status, 0);
    EXPECT_EQ(read[2].Status, 7);
}

TEST(UserDb, WritesBackTellsWhetherTheWriterGivesTheBytes)
{
    // The check agrees with formatting the file and comparing it, on files that differ
    // from the writer's in every way a stored file can.
    LocationList list = locations(2);
    list[0].Status = Visited;
    list[0].Note = "Dragon, asleep";
    const QByteArray exact = writeUserData(list);
    QByteArray lf = exact;
    lf.replace("\r\n", "\n");
    QByteArray otherDigit = exact;
    otherDigit[otherDigit.indexOf("= 3") + 2] = '2';
    LocationList odd = list;
    odd[1].Note = "a\rb\nc"; // written with blanks, so a file holding the breaks differs
    odd[1].Status = 12;      // written as 0
    const QByteArray oddFile = block("   status = 0", "   note = a\rb\nc", "Place 1");
    const struct {
        const char* what;
        LocationList list;
        QByteArray bytes;
        bool same;
    } cases[] = {
        {"exact", list, exact, true},
        {"line feeds only", list, lf, false},
        {"one byte more", list, exact + " ", false},
        {"one byte less", list, exact.chopped(1), false},
        {"other status", list, otherDigit, false},
        {"nothing of an empty list", {}, "", true},
        {"bytes for an empty list", {}, "loc\r\n", false},
        {"no bytes for a list", list, "", false},
        {"breaks and a status of 12", {odd[1]}, oddFile, false},
        {"their written form", {odd[1]}, writeUserData({odd[1]}), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(userDataWritesBack(c.list, c.bytes), c.same) << c.what;
        EXPECT_EQ(writeUserData(c.list) == c.bytes, c.same) << c.what;
    }
}

// --- the formatted text that follows changes ---------------------------------------------

std::vector<UserRecord> recordsOf(const LocationList& list)
{
    std::vector<UserRecord> records;
    for (const Location& l : list)
        records.push_back({l.Name, l.Note, l.Status});
    return records;
}

TEST(UserDataText, FollowsEveryKindOfChangeExactlyAsTheWriterFormats)
{
    // Each case changes a fresh list of five places; the text must then be exactly the
    // whole file formatted again, whether the changes went in where they stand or by a copy.
    const struct {
        const char* what;
        std::vector<UserChange> changes;
        bool changed;
    } cases[] = {
        {"nothing", {}, false},
        {"the same status and note", {{2, Unvisited, "note 2"}}, false},
        {"a status only", {{1, Visited, "note 1"}}, true},
        {"a longer note", {{0, Unvisited, "note 0 and much more"}}, true},
        {"a shorter note", {{4, Unvisited, "n"}}, true},
        {"an empty note", {{3, Active, ""}}, true},
        {"a note with breaks", {{2, Unvisited, "a\r\nb\nc"}}, true},
        {"a status outside the digits", {{2, 12, "note 2"}}, true},
        {"the later change of a place wins", {{1, Active, "first"}, {1, Visited, "second"}}, true},
        {"changed back within the batch", {{1, Active, "first"}, {1, Unvisited, "note 1"}}, false},
        {"indices outside the list", {{-1, Active, "x"}, {5, Active, "x"}, {99, Visited, ""}}, false},
        {"every place, out of order",
         {{4, Active, ""}, {0, Visited, "0000000000"}, {2, Active, "x"}, {1, 7, "y\r"}, {3, Visited, "long note 3"}},
         true},
        {"many changes of a few places",
         {{0, Active, "a"},
          {3, Active, "bb"},
          {0, Visited, "ccc"},
          {3, Unvisited, ""},
          {1, Active, ""},
          {0, Active, "d"}},
         true},
    };
    for (const auto& c : cases) {
        LocationList list = locations(5);
        for (std::size_t i = 0; i < list.size(); ++i)
            list[i].Note = "note " + QByteArray::number(int(i));
        UserDataText text(recordsOf(list));
        ASSERT_EQ(text.bytes(), writeUserData(list)) << c.what;
        EXPECT_EQ(text.apply(c.changes), c.changed) << c.what;
        for (const UserChange& change : c.changes)
            if (change.index >= 0 && std::size_t(change.index) < list.size()) {
                list[std::size_t(change.index)].Status = change.status;
                list[std::size_t(change.index)].Note = change.note;
            }
        EXPECT_EQ(text.bytes(), writeUserData(list)) << c.what;
        EXPECT_EQ(text.count(), list.size()) << c.what;
    }
}

TEST(UserDataText, ARunOfRandomBatchesStaysTheWholeFile)
{
    // Batches of one to forty changes: small ones go in where they stand, big ones by a
    // copy; each later batch finds its places where the earlier ones left them.
    QRandomGenerator random(28);
    LocationList list = locations(300);
    UserDataText text(recordsOf(list));
    for (int round = 0; round < 200; ++round) {
        std::vector<UserChange> batch;
        const int size = round % 3 == 0 ? random.bounded(5, 40) : random.bounded(1, 4);
        for (int k = 0; k < size; ++k) {
            const int index = random.bounded(int(list.size()));
            const QByteArray note(random.bounded(0, 256), char('a' + random.bounded(26)));
            batch.push_back({index, random.bounded(0, 12), note});
            list[std::size_t(index)].Status = batch.back().status;
            list[std::size_t(index)].Note = note;
        }
        text.apply(batch);
        ASSERT_EQ(text.bytes(), writeUserData(list)) << "round " << round;
    }
    // And the text still reads back onto the places it came from.
    LocationList read = locations(300);
    EXPECT_EQ(readUserData(text.bytes(), read), list.size());
}

TEST(UserDb, HandedOverReadAndCheckAgreeWithTheSeparateOnes)
{
    // The bytes handed over are read and checked in one pass that gives their pages back
    // behind it: every result, error and answer must be those of the read and the check
    // made one after the other on a copy. The big file spans many steps of given-back pages.
    LocationList big = locations(120000);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i].Status = 1 + int(i % 3);
        big[i].Note = i % 5 ? QByteArray() : "a note that makes the block longer " + QByteArray::number(qulonglong(i));
    }
    const QByteArray exact = writeUserData(big);
    QByteArray junkInside = exact;
    junkInside.insert(exact.size() / 2 - exact.size() / 2 % 4096, "junk\r\n");
    QByteArray bentLate = exact;
    bentLate[bentLate.lastIndexOf("status = ") + 9] = '7';
    const QByteArray small
        = block("   status = 3", "   note = a", "Place 0") + block("   status = 2", "   note = b", "Place 1");
    const struct {
        const char* what;
        int places; // 0: the big list
        QByteArray bytes;
    } cases[] = {
        {"the writer's own bytes", 0, exact},
        {"junk in the middle", 0, junkInside},
        {"a changed digit near the end", 0, bentLate},
        {"fewer blocks than places", 0, exact.left(exact.indexOf("loc", exact.size() / 3))},
        {"one byte more", 0, exact + " "},
        {"line feeds only", 2, QByteArray(small).replace("\r\n", "\n")},
        {"two exact blocks", 2, small},
        {"two blocks for three places", 3, small},
        {"more blocks than places", 1, small},
        {"a broken status", 2, block("   status = 3", "   note = a") + block("   status = ?", "   note = b")},
        {"nothing", 2, QByteArray()},
    };
    for (const auto& c : cases) {
        const LocationList start = c.places ? locations(c.places) : locations(int(big.size()));
        LocationList apart = start;
        QString apartError;
        std::size_t apartCount = 0;
        bool apartSame = false;
        try {
            apartCount = readUserData(c.bytes, apart);
            apartSame = userDataWritesBack(apart, c.bytes);
        } catch (const Error& e) {
            apartError = e.message();
        }
        LocationList together = start;
        QString togetherError;
        std::size_t togetherCount = 0;
        bool togetherSame = !apartSame; // must be set on success
        try {
            QByteArray handed = c.bytes;
            handed.detach(); // the reader's own copy, whose pages it may give back
            togetherCount = readUserData(std::move(handed), together, &togetherSame);
        } catch (const Error& e) {
            togetherError = e.message();
        }
        EXPECT_EQ(togetherError, apartError) << c.what;
        EXPECT_TRUE(together == apart) << c.what;
        if (apartError.isEmpty()) {
            EXPECT_EQ(togetherCount, apartCount) << c.what;
            EXPECT_EQ(togetherSame, apartSame) << c.what;
        }
    }
}

TEST(UserDb, ArbitraryBytesNeverCrash)
{
    test::forEachByteSoup(99, "loc\r\n =status123x", 160, 3000, [](const QByteArray& bytes) {
        LocationList list = locations(2);
        readUserData(bytes, list);
    });
}

} // namespace
} // namespace vdm
