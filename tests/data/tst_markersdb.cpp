// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/dbprinters.h"
#include "data/errors.h"
#include "data/markersdb.h"

#include <gtest/gtest.h>

namespace vdm {
namespace {

using test::marker;

QString errorOf(const QByteArray& bytes, LocationList& list)
{
    try {
        readMarkers(bytes, list);
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

TEST(MarkersDb, FixtureReadsAndWritesBackExactly)
{
    LocationList list;
    readMarkers(test::readFile(test::fixturePath("data/markers_roundtrip/markers.gdb")), list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].Name, "  leading blanks kept ");
    EXPECT_EQ(list[1].X, 42);
    EXPECT_EQ(list[1].Y, -7);
    EXPECT_EQ(writeMarkers(list), test::readFile(test::fixturePath("data/markers_roundtrip/expected.gdb")));
}

TEST(MarkersDb, WriterLayout)
{
    EXPECT_EQ(writeMarkers({marker("Camp", -125000, -130000)}),
              "marker\r\n   text = Camp\r\n   pos = -125000,-130000\r\nend\r\n");
    EXPECT_EQ(writeMarkers({}), "");
}

TEST(MarkersDb, RoundTripTextsAndCorners)
{
    LocationList written;
    const QByteArray texts[]
        = {"",    " ",   "a,b,c", "  leading", "trailing  ",         "the marker here",    "marker",
           "1,2", "loc", "end",   "\t tab",    QByteArray(255, 'w'), QByteArray(1000, ',')};
    const std::pair<std::int32_t, std::int32_t> corners[]
        = {{-125000, -130000}, {175000, 220000}, {0, 0}, {INT32_MIN, INT32_MAX}, {-1, 1}};
    for (const QByteArray& t : texts)
        for (const auto& [x, y] : corners)
            written.push_back(marker(t, x, y));
    for (int len = 0; len <= 255; ++len) {
        QByteArray t;
        for (int i = 0; i < len; ++i)
            t += char(' ' + 1 + (i * 13) % 94);
        written.push_back(marker(t, len, -len));
    }
    LocationList read;
    readMarkers(writeMarkers(written), read);
    EXPECT_EQ(read, written);
}

TEST(MarkersDb, EveryByteButLineFeedRoundTrips)
{
    QByteArray text;
    for (int b = 0; b < 256; ++b)
        text += char(b);
    text += '\r'; // a text ending in CR reads back with it
    LocationList read;
    readMarkers(writeMarkers({marker(text, 1, 2)}), read);
    ASSERT_EQ(read.size(), 1u);
    text.replace('\n', ' ');
    EXPECT_EQ(read[0].Name, text);
}

TEST(MarkersDb, LineBreakInTextKeepsLaterMarkers)
{
    LocationList read;
    readMarkers(writeMarkers({marker("one\nmarker\n   pos = 9,9", 1, 2), marker("two", 3, 4)}), read);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].Name, "one marker    pos = 9,9");
    EXPECT_EQ(read[1], marker("two", 3, 4));
}

TEST(MarkersDb, ReadFields)
{
    LocationList list;
    readMarkers("marker\n   text = \n   pos = 5,6\nend\n", list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], marker("", 5, 6));
    EXPECT_EQ(list[0].Status, Unvisited);
    EXPECT_TRUE(list[0].Routes.empty());
    EXPECT_TRUE(list[0].Note.isEmpty());
}

TEST(MarkersDb, PositionLine)
{
    struct Case {
        QByteArray line;
        QString error;
        std::int32_t x, y;
    } cases[] = {
        {"   pos = 1,2", "", 1, 2},
        {"   pos =  +1,  -2", "", 1, -2},
        {"#########3,4", "", 3, 4},
        {"   pos = 1,2,3", "'1,2' is not a valid integer value", 0, 0},
        {"   pos = 12", "'12' is not a valid integer value", 0, 0},
        {"   pos = ", "'' is not a valid integer value", 0, 0},
        {"", "'' is not a valid integer value", 0, 0},
        {"   pos = 1, 2 ", "' 2 ' is not a valid integer value", 0, 0},
        {"   pos = 2147483648,0", "'2147483648' is not a valid integer value", 0, 0},
    };
    for (const Case& c : cases) {
        LocationList list{marker("before", 0, 0)};
        EXPECT_EQ(errorOf("marker\n   text = t\n" + c.line + "\nend\n", list), c.error) << c.line.constData();
        ASSERT_EQ(list.size(), c.error.isEmpty() ? 2u : 1u) << c.line.constData();
        EXPECT_EQ(list[0].Name, "before");
        if (c.error.isEmpty()) {
            EXPECT_EQ(list[1].X, c.x);
            EXPECT_EQ(list[1].Y, c.y);
        }
    }
}

TEST(MarkersDb, ErrorKeepsEarlierMarkers)
{
    LocationList list;
    EXPECT_EQ(errorOf(writeMarkers({marker("a", 1, 1)}) + "marker\r\n   text = b\r\n   pos = x,1\r\nend\r\n"
                          + writeMarkers({marker("c", 3, 3)}),
                      list),
              "'x' is not a valid integer value");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "a");
}

TEST(MarkersDb, EndOfData)
{
    LocationList list;
    // The last position line without a line end keeps its last digit.
    readMarkers("marker\n   text = t\n   pos = 10,25", list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Y, 25);
    // A last header line without a line end is not a block.
    list.clear();
    readMarkers("marker", list);
    EXPECT_TRUE(list.empty());
    // A block the data ends inside of, before its position, is a conversion error.
    EXPECT_EQ(errorOf("marker\n   text = t\n", list), "'' is not a valid integer value");
    EXPECT_TRUE(list.empty());
}

TEST(MarkersDb, NoHeaderNoMarkers)
{
    LocationList list;
    readMarkers("Marker\n   text = t\n   pos = 1,2\nend\nMARKER\nmark er\n", list);
    EXPECT_TRUE(list.empty());
}

TEST(MarkersDb, LfOnlyReadsLikeCrLf)
{
    const QByteArray crlf = writeMarkers({marker("a,b", 1, -2), marker(" c", -3, 4)});
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    LocationList a, b;
    readMarkers(crlf, a);
    readMarkers(lf, b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.size(), 2u);
}

TEST(MarkersDb, ArbitraryBytesNeverCrash)
{
    test::forEachByteSoup(4242, "marker\r\n ,-0123456789", 120, 3000, [](const QByteArray& bytes) {
        LocationList list;
        readMarkers(bytes, list);
    });
}

} // namespace
} // namespace vdm
