// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/dbprinters.h"
#include "data/errors.h"
#include "data/locationsdb.h"

#include <QHash>
#include <gtest/gtest.h>

namespace vdm {
namespace {

QByteArray record(const QByteArray& header, const QByteArray& name, const QByteArray& level, const QByteArray& pos,
                  const QByteArray& eol = "\r\n")
{
    return header + eol + "name: " + name + eol + "kind: x" + eol + "---" + eol + "levl: " + level + eol + "---" + eol
           + "---" + eol + "pos:  " + pos + eol;
}

QByteArray dump(const LocationList& list)
{
    QByteArray out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Location& l = list[i];
        out += QByteArray::number(qulonglong(i)) + '|' + l.Name + '|' + QByteArray::number(l.Level) + '|'
               + QByteArray::number(l.X) + '|' + QByteArray::number(l.Y) + '\n';
    }
    return out;
}

QString errorOf(const QByteArray& bytes, LocationList& out)
{
    try {
        readLocations(bytes, out);
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

TEST(LocationsDb, FixtureReadsToExpectedRecords)
{
    LocationList list;
    readLocations(test::readFile(test::fixturePath("data/locations_basic/vdmain.gdb")), list);
    EXPECT_EQ(dump(list), test::readFile(test::fixturePath("data/locations_basic/expected.txt")));
    for (const Location& l : list) {
        EXPECT_TRUE(l.Routes.empty());
        EXPECT_TRUE(l.Note.isEmpty());
        EXPECT_EQ(l.Status, Unvisited);
    }
}

TEST(LocationsDb, ABigFileReadAsItsOwnerGivesTheSameRecords)
{
    // Big enough that the reader gives the pages behind it back several times over, with
    // long names and error-free junk between records to move the record starts around.
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i) {
        if (i % 997 == 0)
            bytes += "junk between records\r\n";
        bytes += record("loc", "Place " + QByteArray::number(i) + QByteArray(i % 200, 'x'), QByteArray::number(i % 8),
                        QByteArray::number(i) + "," + QByteArray::number(-i));
    }
    ASSERT_GT(bytes.size(), 16 * 1024 * 1024);
    LocationList kept, owned;
    readLocations(bytes, kept);
    QByteArray copy(bytes.constData(), bytes.size()); // a buffer of its own, handed over
    readLocations(std::move(copy), owned);
    ASSERT_EQ(kept.size(), 100000u);
    EXPECT_EQ(kept, owned);
    EXPECT_EQ(owned.back().Name, "Place 99999" + QByteArray(99999 % 200, 'x'));

    // Bytes someone else still holds are only read.
    const QByteArray original(bytes.constData(), bytes.size());
    LocationList shared;
    QByteArray alias = bytes;
    readLocations(std::move(alias), shared);
    EXPECT_EQ(kept, shared);
    EXPECT_TRUE(bytes == original) << "the caller's bytes are untouched";
}

TEST(LocationsDb, LfOnlyFileReadsLikeCrLf)
{
    const QByteArray crlf = test::readFile(test::fixturePath("data/locations_basic/vdmain.gdb"));
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    LocationList a, b;
    readLocations(crlf, a);
    readLocations(lf, b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.size(), 5u);
}

TEST(LocationsDb, SingleRecordFile)
{
    LocationList list;
    readLocations(record("loc", "Harrowmere", "2", "-5000,12000"), list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "Harrowmere");
    EXPECT_EQ(list[0].Level, 2);
    EXPECT_EQ(list[0].X, -5000);
    EXPECT_EQ(list[0].Y, 12000);
}

TEST(LocationsDb, KeepsTheTwoLinesAfterTheNameWithoutTheirLabels)
{
    const struct {
        QByteArray line2, line3, region, kind;
    } rows[] = {
        {"regn: Ashen Vale", "kind: town", "Ashen Vale", "town"},
        {"short", "", "", ""}, // nothing after the label
        {"######\xC9"
         "cluse",
         "123456x",
         "\xC9"
         "cluse",
         "x"}, // any label, code-page bytes kept
    };
    for (const auto& r : rows) {
        LocationList list;
        readLocations("loc\r\nname: A\r\n" + r.line2 + "\r\n" + r.line3 + "\r\nlevl: 1\r\n\r\n\r\nposn: 1,2\r\n", list);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].Region, r.region);
        EXPECT_EQ(list[0].Kind, r.kind);
        EXPECT_EQ(list[0].Level, 1);
    }
}

TEST(LocationsDb, HeaderDetection)
{
    struct Case {
        QByteArray header;
        bool starts;
    } cases[] = {
        {"loc", true},  {"  loc  ", true}, {"location", true}, {"xlocx", true}, {"\tloc\t", true},
        {"LOC", false}, {"Loc", false},    {"lo c", false},    {"", false},
    };
    for (const Case& c : cases) {
        LocationList list;
        readLocations(record(c.header, "A", "0", "1,2"), list);
        EXPECT_EQ(list.size(), c.starts ? 1u : 0u) << c.header.constData();
    }
}

TEST(LocationsDb, LabelIsNeverExamined)
{
    LocationList list;
    readLocations("loc\n######Name\n\n\nab,cd:7\n\n\n,,,,,,3,4\n", list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "Name");
    EXPECT_EQ(list[0].Level, 7);
    EXPECT_EQ(list[0].X, 3);
    EXPECT_EQ(list[0].Y, 4);
}

TEST(LocationsDb, ShortLinesGiveEmptyValues)
{
    // A name line with nothing after its label, or shorter than the label, is an empty name.
    for (const QByteArray& name : {QByteArray("name: \n"), QByteArray("nam\n"), QByteArray("\n")}) {
        LocationList list;
        readLocations("loc\n" + name + "\n\n      0\n\n\n      1,1\n", list);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].Name, "");
        EXPECT_EQ(list[0].Level, 0);
    }
}

TEST(LocationsDb, PositionSplitsAtLastComma)
{
    LocationList list;
    EXPECT_EQ(errorOf(record("loc", "A", "0", "10,20,30"), list), "'10,20' is not a valid integer value");
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(errorOf(record("loc", "A", "0", "1020"), list), "'1020' is not a valid integer value");
    EXPECT_EQ(errorOf(record("loc", "A", "0", "10,"), list), "'' is not a valid integer value");
    EXPECT_EQ(errorOf(record("loc", "A", "0", "10, 20 "), list), "' 20 ' is not a valid integer value");
    readLocations(record("loc", "A", "0", "  +10,  -20"), list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].X, 10);
    EXPECT_EQ(list[0].Y, -20);
}

TEST(LocationsDb, ConversionErrorKeepsEarlierRecords)
{
    LocationList list;
    const QByteArray bytes
        = record("loc", "A", "0", "1,2") + record("loc", "B", "high", "3,4") + record("loc", "C", "0", "5,6");
    EXPECT_EQ(errorOf(bytes, list), "'high' is not a valid integer value");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "A");
}

TEST(LocationsDb, AppendsToExistingList)
{
    LocationList list(2);
    readLocations(record("loc", "A", "0", "1,2"), list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].Name, "A");
}

TEST(LocationsDb, EndOfData)
{
    LocationList list;
    // A last header line without a line end is not a record.
    readLocations(record("loc", "A", "0", "1,2") + "loc", list);
    EXPECT_EQ(list.size(), 1u);

    // A record the data ends inside of is dropped, whichever line it stops at.
    const QByteArray full = record("loc", "B", "0", "3,4", "\n");
    const QList<QByteArray> lines = full.split('\n');
    for (int keep = 1; keep < 8; ++keep) {
        QByteArray cut = record("loc", "A", "0", "1,2");
        for (int i = 0; i < keep; ++i)
            cut += lines[i] + '\n';
        list.clear();
        EXPECT_EQ(errorOf(cut, list), "") << keep;
        EXPECT_EQ(list.size(), 1u) << keep;
    }

    // The last position line without a line end keeps its last digit.
    QByteArray noEol = record("loc", "A", "0", "1,25");
    noEol.chop(2);
    list.clear();
    readLocations(noEol, list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Y, 25);
}

TEST(LocationsDb, LongLinesComeInPieces)
{
    // A name line of 300 characters: the first piece of 254 gives the name (its last
    // character taken for the line end), the rest counts as line 2, so every later
    // line of the record moves up by one.
    const QByteArray longName(294, 'n');
    LocationList list;
    readLocations("loc\nname: " + longName + "\nfile2\nlevl: 4\nf4\nf5\npos:  7,8\nfile7\n", list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, QByteArray(254 - 7, 'n'));
    EXPECT_EQ(list[0].Level, 4);
    EXPECT_EQ(list[0].X, 7);
    EXPECT_EQ(list[0].Y, 8);
}

TEST(LocationsDb, DuplicateNamesBothKept)
{
    LocationList list;
    readLocations(record("loc", "Twin", "0", "1,1") + record("loc", "Twin", "1", "2,2"), list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].X, 1);
    EXPECT_EQ(list[1].X, 2);
}

TEST(LocationsDb, ManyRecordsReadAsEachAlone)
{
    // Long files read exactly as their records do one by one, whether their regions
    // repeat, never repeat (more of them than the reader shares), repeat past that bound
    // (those it kept are still shared) or the records give way to a long tail of other
    // lines or a conversion error.
    const struct {
        int records;
        int regions;
        QByteArray tail;
        QString error;
    } cases[] = {
        {1000, 7, {}, {}},
        {9500, 9500, {}, {}},
        {70000, 70000, {}, {}},
        {140000, 70000, {}, {}},
        {70, 3, QByteArray(200000, '\n'), {}},
        {300, 2, record("loc", "Z", "0", "1;2"), "'1;2' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        QByteArray bytes;
        LocationList alone;
        for (int i = 0; i < c.records; ++i) {
            const QByteArray one = "loc\r\nname: Place " + QByteArray::number(i) + "\r\nregn: Region "
                                   + QByteArray::number(i % c.regions) + "\r\nkind: " + (i % 2 ? "town" : "keep")
                                   + "\r\nlevl: " + QByteArray::number(i % 6) + "\r\n\r\n\r\nposn: "
                                   + QByteArray::number(i) + ",-" + QByteArray::number(i) + "\r\n";
            readLocations(one, alone);
            bytes += one;
        }
        LocationList all;
        EXPECT_EQ(errorOf(bytes + c.tail, all), c.error) << c.records;
        ASSERT_EQ(all.size(), alone.size()) << c.records;
        EXPECT_TRUE(all == alone) << c.records;
        // Each distinct region is kept once, within the reader's bound and beyond it.
        if (c.regions < c.records && c.error.isEmpty()) {
            EXPECT_EQ(all[0].Region.id(), all[std::size_t(c.regions)].Region.id()) << c.records;
            EXPECT_EQ(all[0].Region.view().data(), all[std::size_t(c.regions)].Region.view().data()) << c.records;
        }
    }
}

// Regions short enough for a reader's table to hold in place, at that length and just
// beyond, alike up to their last byte or but for a zero byte, met again after the table
// grew: each record keeps its own text, and equal texts alone share a number.
TEST(LocationsDb, RegionsOfEveryLengthKeepTheirOwnText)
{
    std::vector<QByteArray> regions = {QByteArray("ab"), QByteArray("ab\0", 3), QByteArray("ab\0c", 4)};
    for (const int length : {1, 8, 26, 27, 28, 29, 64, 200})
        for (int i = 0; i < 300; ++i)
            regions.push_back((QByteArray(length, 'r') + QByteArray::number(i)).right(length));
    QByteArray bytes;
    for (int pass = 0; pass < 2; ++pass)
        for (const QByteArray& region : regions)
            bytes += "loc\r\nname: P\r\nregn: " + region + "\r\nkind: k\r\nlevl: 0\r\n\r\n\r\nposn: 1,2\r\n";
    LocationList list;
    readLocations(bytes, list);
    ASSERT_EQ(list.size(), 2 * regions.size());
    QHash<QByteArray, std::uint32_t> idOf;
    QHash<std::uint32_t, QByteArray> textOf;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const QByteArray& region = regions[i % regions.size()];
        EXPECT_EQ(list[i].Region.view(), QByteArrayView(region)) << i;
        EXPECT_EQ(idOf.value(region, list[i].Region.id()), list[i].Region.id()) << i;
        EXPECT_EQ(textOf.value(list[i].Region.id(), region), region) << i;
        idOf.insert(region, list[i].Region.id());
        textOf.insert(list[i].Region.id(), region);
    }
}

TEST(LocationsDb, RecordsWithTheSameRegionStayApartWhenOneChanges)
{
    LocationList list;
    readLocations(record("loc", "A", "0", "1,2") + record("loc", "B", "0", "3,4"), list);
    ASSERT_EQ(list.size(), 2u);
    list[0].Region = list[0].Region.bytes() + " changed";
    EXPECT_EQ(list[0].Region, "x changed");
    EXPECT_EQ(list[1].Region, "x");
}

TEST(LocationsDb, ArbitraryBytesNeverCrash)
{
    // Every short byte soup terminates and either reads or reports a conversion error.
    test::forEachByteSoup(12345, "loc\r\n ,-+0123456789\t", 120, 3000, [](const QByteArray& bytes) {
        LocationList list;
        readLocations(bytes, list);
    });
}

} // namespace
} // namespace vdm
