// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/dbprinters.h"
#include "data/errors.h"
#include "data/locationsdb.h"
#include "data/userdb.h"

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
    odd[1].Status = 12;     // written as 0
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

TEST(UserDb, ArbitraryBytesNeverCrash)
{
    test::forEachByteSoup(99, "loc\r\n =status123x", 160, 3000, [](const QByteArray& bytes) {
        LocationList list = locations(2);
        readUserData(bytes, list);
    });
}

} // namespace
} // namespace vdm
