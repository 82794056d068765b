// SPDX-License-Identifier: MIT
// The locations read by two readers at once, and from a file mapped into memory: the same
// records, errors and ends as one reader gives, wherever the second reader starts.
#include "common/testutils.h"
#include "data/dbprinters.h"
#include "data/errors.h"
#include "data/locationsdb.h"
#include "data/mappedfile.h"
#include "data/databasefile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vdm {
namespace {

QByteArray place(const QByteArray& name, const QByteArray& level, const QByteArray& pos, const QByteArray& eol = "\r\n",
                 const QByteArray& header = "[loc]")
{
    return header + eol + "name: " + name + eol + "regn: Coast" + eol + "kind: city" + eol + "levl: " + level + eol
           + "folk: 1" + eol + "land: hills" + eol + "posn: " + pos + eol;
}

/** What a reading gave: the records and the error text, if any. */
struct Reading {
    LocationList records;
    QString error;
    bool operator==(const Reading&) const = default;
};

template <typename Read> Reading readingOf(Read read)
{
    Reading r;
    try {
        read(r.records);
    } catch (const Error& e) {
        r.error = e.message();
    }
    return r;
}

void PrintTo(const Reading& r, std::ostream* os)
{
    *os << r.records.size() << " records, error \"" << r.error.toStdString() << '"';
}

TEST(LocationsSplit, EverySplitReadsAsOneReader)
{
    const QByteArray three = place("Alder", "0", "1,2") + place("Blocton", "1", "3,4") + place("Cedar", "2", "5,6");
    const QByteArray longLine = "x" + QByteArray(300, 'l') + "loc" + QByteArray(260, 'o');
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"whole records", three + place("Dune", "3", "7,8")},
        {"lines ending in LF alone", place("Alder", "0", "1,2", "\n") + place("Birch", "1", "3,4", "\n")},
        {"junk before and between", "; places\r\n\r\n" + three + "junk\r\n" + place("Dune", "3", "7,8")},
        {"a name holding the header's word", place("Locksley", "0", "1,2") + place("loc", "1", "3,4") + three},
        {"a field no number, in the middle", three + place("Bad", "x", "1,1") + three},
        // A reader starting at the name reads a whole record of the wrong lines, and meets
        // the real records again only at the one after.
        {"a record read from its name on reads whole", place("loc", "1", "3,4", "\r\n", "[loc] 5,6")
                                                           + place("Cedar", "2", "5,6", "\r\n", "[loc] 7,8")
                                                           + place("Dune", "3", "7,8", "\r\n", "[loc] 9,9") + three},
        {"a position without a comma", three + place("Bad", "1", "11") + three},
        {"the data ends inside a record", three + place("Cut", "0", "1,2").first(30)},
        {"the last line without its end", three + place("Last", "0", "1,25").chopped(2)},
        {"long lines in pieces, one holding the word", three + longLine + "\r\n" + three + longLine + "\n" + three},
        {"a line of exactly the piece's length", three + QByteArray(254, 'p') + "\r\n" + three},
        {"lone carriage returns", three + "a\rloc\rb\r\n" + three},
        {"records of header lines only", "loc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\nloc\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Reading one = readingOf([&](LocationList& out) { readLocations(c.bytes, out); });
        for (qsizetype split = 0; split <= c.bytes.size(); ++split) {
            const Reading two = readingOf([&](LocationList& out) { readLocations(c.bytes, out, split); });
            ASSERT_EQ(two, one) << "split at " << split;
        }
    }
}

TEST(LocationsSplit, TheSplitReadingAppendsToWhatIsThere)
{
    const QByteArray bytes = place("Alder", "0", "1,2") + place("Birch", "1", "3,4") + place("Bad", "y", "5,6");
    LocationList one{Location{}}, two{Location{}};
    EXPECT_THROW(readLocations(bytes, one), Error);
    EXPECT_THROW(readLocations(bytes, two, bytes.size() / 2), Error);
    ASSERT_EQ(one.size(), 3u);
    EXPECT_EQ(two, one);
}

class LocationsFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("vdmain.gdb");
};

TEST_F(LocationsFileTest, ABigFileReadByTwoReadersGivesWhatOneReaderGives)
{
    // Over the size from which two readers share the file; an error, then none, near its middle.
    QByteArray bytes;
    for (int i = 0; i < 60000; ++i)
        bytes += place("Place " + QByteArray::number(i) + QByteArray(i % 90, 'x'), QByteArray::number(i % 8),
                       QByteArray::number(i) + "," + QByteArray::number(-i));
    ASSERT_GT(bytes.size(), 8 << 20);
    for (const bool broken : {false, true}) {
        SCOPED_TRACE(broken ? "an error past the middle" : "no error");
        QByteArray file = bytes;
        if (broken)
            file.insert(file.indexOf("[loc]", file.size() / 2 + 100), place("Bad", "q", "1,1"));
        test::writeFile(path, file);
        const Reading one = readingOf([&](LocationList& out) { readLocations(file, out); });
        const Reading mapped = readingOf([&](LocationList& out) { readLocationsFile(path, out); });
        EXPECT_EQ(mapped, one);
        EXPECT_EQ(one.error.isEmpty(), !broken);
        EXPECT_EQ(one.records.size() == 60000u, !broken);
        EXPECT_GT(one.records.size(), 29000u);
    }
}

TEST_F(LocationsFileTest, ASmallOrEmptyOrMissingFileReadsAsACopyDoes)
{
    const QByteArray small = place("Alder", "0", "1,2") + place("Birch", "1", "3,4");
    for (const QByteArray& bytes : {small, QByteArray()}) {
        test::writeFile(path, bytes);
        const Reading one = readingOf([&](LocationList& out) { readLocations(readDatabaseFile(path), out); });
        EXPECT_EQ(readingOf([&](LocationList& out) { readLocationsFile(path, out); }), one);
    }
    const QString missing = dir.filePath("none.gdb");
    EXPECT_EQ(readingOf([&](LocationList& out) { readLocationsFile(missing, out); }).error,
              "Cannot open file " + missing);
}

TEST_F(LocationsFileTest, AMappedFileCutShortReadsZerosAndFailsAsAFailedRead)
{
    const auto page = qsizetype(sysconf(_SC_PAGESIZE));
    QByteArray bytes(4 * page, 'v');
    test::writeFile(path, bytes);
    MappedFile file(path);
    ASSERT_TRUE(file.mapped());
    EXPECT_EQ(file.bytes(), bytes);
    EXPECT_FALSE(file.cutShort());
    file.checkWhole();
    // Another program cuts it to one page while it is mapped: the pages past that read as
    // zeros instead of ending the program.
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), page), 0);
    const QByteArray& view = file.bytes();
    volatile char past = view[2 * page + 5];
    EXPECT_EQ(past, '\0');
    EXPECT_EQ(view[5], 'v');
    EXPECT_TRUE(file.cutShort());
    try {
        file.checkWhole();
        FAIL() << "a file cut short read as whole";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot open file " + path);
    }
    // Another mapping is not taken for cut short.
    test::writeFile(dir.filePath("other.gdb"), bytes);
    const MappedFile other(dir.filePath("other.gdb"));
    EXPECT_FALSE(other.cutShort());
    EXPECT_EQ(other.bytes(), bytes);
}

} // namespace
} // namespace vdm
