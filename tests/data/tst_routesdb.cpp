// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/dbprinters.h"
#include "data/databasefile.h"
#include "data/errors.h"
#include "data/linereader.h"
#include "data/locationsdb.h"
#include "data/nameindex.h"
#include "data/routesdb.h"
#include "data/textconv.h"
#include "worldgen/worldgen.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <unordered_map>

namespace vdm {
namespace {

LocationList named(std::initializer_list<const char*> names)
{
    LocationList list;
    for (const char* n : names) {
        Location l;
        l.Name = n;
        list.push_back(l);
    }
    return list;
}

QByteArray dump(const LocationList& list)
{
    QByteArray out;
    for (std::size_t i = 0; i < list.size(); ++i)
        for (const Route& r : list[i].Routes)
            out += QByteArray::number(qulonglong(i)) + "->" + QByteArray::number(r.Target) + ':'
                   + QByteArray::number(r.Kind) + '\n';
    return out;
}

QString errorOf(const QByteArray& bytes, LocationList& list)
{
    try {
        readRoutes(bytes, list);
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

TEST(RoutesDb, FixtureReadsToExpectedRoutes)
{
    LocationList list;
    readLocations(test::readFile(test::fixturePath("data/routes_basic/vdmain.gdb")), list);
    ASSERT_EQ(list.size(), 5u);
    const QByteArray routes = test::readFile(test::fixturePath("data/routes_basic/routes.gdb"));
    readRoutes(routes, list);
    EXPECT_EQ(dump(list), test::readFile(test::fixturePath("data/routes_basic/expected.txt")));

    // LF-only reads the same.
    QByteArray lf = routes;
    lf.replace("\r\n", "\n");
    LocationList again;
    readLocations(test::readFile(test::fixturePath("data/routes_basic/vdmain.gdb")), again);
    readRoutes(lf, again);
    EXPECT_EQ(list, again);
}

TEST(RoutesDb, FiveLineBlock)
{
    LocationList list = named({"A", "B", "C"});
    readRoutes("the rout of A\r\n   nm = A\r\n1 B\r\n2 C\r\nend\r\n", list);
    EXPECT_EQ(dump(list), "0->1:1\n0->2:2\n");
}

TEST(RoutesDb, SeparatorIsNeverChecked)
{
    LocationList list = named({"A", "B"});
    readRoutes("rout\nnm = A\n3\tB\n1xB\nend\n", list);
    EXPECT_EQ(dump(list), "0->1:3\n0->1:1\n");
}

TEST(RoutesDb, SecondBlockReplacesFirst)
{
    LocationList list = named({"A", "B", "C"});
    readRoutes("rout\nnm = A\n1 B\nend\nrout\nnm = A\n2 C\nend\n", list);
    EXPECT_EQ(dump(list), "0->2:2\n");
}

TEST(RoutesDb, KindsOutsideNetworksAreStored)
{
    LocationList list = named({"A", "B"});
    readRoutes("rout\nnm = A\n0 B\n4 B\n9 B\nend\n", list);
    EXPECT_EQ(dump(list), "0->1:0\n0->1:4\n0->1:9\n");
}

TEST(RoutesDb, NamesAreExactAndFirstWins)
{
    LocationList list = named({"A", "b", "B", "B"});
    readRoutes("rout\nnm = B\n1 b\n1 a\n1 B\nend\n", list);
    EXPECT_EQ(dump(list), "2->1:1\n2->2:1\n");
}

TEST(RoutesDb, NamesLongerThanAnyLineAreNeverFound)
{
    // No line of the file can hold such a name, so no route names it; the other places
    // are found as ever.
    LocationList list = named({"A", "B"});
    Location longName;
    longName.Name = QByteArray(70000, 'x');
    list.insert(list.begin() + 1, longName);
    readRoutes("rout\nnm = A\n1 B\nend\nrout\nnm = " + longName.Name + "\n1 A\nend\n", list);
    EXPECT_EQ(dump(list), "0->2:1\n");
}

TEST(RoutesDb, ManyNamesFindTheirFirstLocation)
{
    // Thousands of names, many repeated and many sharing their start, some differing only
    // in case or length, and a block from every one of them to the next: each origin and
    // target must be the first location bearing that name, as a plain search finds it,
    // and a later block of an origin replaces an earlier one.
    LocationList list;
    for (int i = 0; i < 6000; ++i) {
        Location l;
        l.Name
            = (i % 3 == 0 ? "Place " : "place ") + QByteArray::number(i % 2500) + QByteArray(i % 7 == 0 ? 1 : 0, 'x');
        list.push_back(l);
    }
    const auto first = [&](const QByteArray& name) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].Name == name)
                return std::int32_t(i);
        return std::int32_t(-1);
    };
    QByteArray bytes;
    std::vector<QByteArray> expected(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const QByteArray& next = list[(i + 1) % list.size()].Name;
        bytes += "rout\nnm = " + list[i].Name + "\n1 " + next + "\n2 Nowhere\nend\n";
        expected[std::size_t(first(list[i].Name))] = "1:" + QByteArray::number(first(next));
    }
    readRoutes(bytes, list);
    for (std::size_t i = 0; i < list.size(); ++i) {
        QByteArray got;
        for (const Route& r : list[i].Routes)
            got += QByteArray::number(r.Kind) + ':' + QByteArray::number(r.Target);
        EXPECT_EQ(got, expected[i]) << i;
    }
}

TEST(RoutesDb, NamesOfEveryLengthDifferingInOneByte)
{
    // Names are hashed and compared several bytes at a time, the last word overlapping
    // the one before it: names of every length up to past three words, each beside names
    // that differ from it only in its first, middle or last byte or lack its last byte,
    // must find exactly their own place. Only the base names are places; the variants
    // name nothing, and their routes are dropped.
    LocationList list;
    std::vector<QByteArray> variants;
    for (int length = 0; length <= 40; ++length) {
        QByteArray base;
        for (int i = 0; i < length; ++i)
            base += char('a' + (i * 7 + length) % 26);
        list.push_back(Location{});
        list.back().Name = base;
        if (length == 0)
            continue;
        for (const qsizetype at : {qsizetype(0), qsizetype(length / 2), qsizetype(length - 1)}) {
            QByteArray changed = base;
            changed[at] = char(changed[at] ^ 0x20);
            variants.push_back(changed);
        }
        variants.push_back(base.chopped(1) + '\xE9'); // a byte above 127 in its last place
    }
    QByteArray bytes;
    QByteArray expected;
    for (std::size_t i = 1; i < list.size(); ++i) {
        bytes += "rout\nnm = " + list[i].Name + "\n1 " + list[i - 1].Name + "\n";
        for (std::size_t v = 4 * (i - 1); v < 4 * i; ++v)
            bytes += "2 " + variants[v] + "\n";
        bytes += "3 " + list[i].Name + "\nend\n";
        expected += QByteArray::number(qulonglong(i)) + "->" + QByteArray::number(qulonglong(i - 1)) + ":1\n"
                    + QByteArray::number(qulonglong(i)) + "->" + QByteArray::number(qulonglong(i)) + ":3\n";
    }
    readRoutes(bytes, list);
    EXPECT_EQ(dump(list), expected);
}

TEST(RoutesDb, NamesAlikeInTheIndexFindTheirOwnPlace)
{
    // Names of one length that the index looks for first in the same slot, with the same
    // bits of their hash compared before their bytes, are told apart by their bytes alone.
    // Groups of them, places and names no place has, a name held twice, each named as a
    // target in blocks before and after its place's own block and by places before and
    // after it in the list: every route must reach the first place of its own name, as a
    // plain search of the list finds it.
    constexpr std::size_t kPlaces = 24;
    std::unordered_map<std::uint64_t, std::vector<QByteArray>> alike;
    std::vector<std::vector<QByteArray>> groups;
    for (int i = 0; groups.size() < 4; ++i) {
        const QByteArray name = "Keep " + QByteArray::number(i).rightJustified(7, '0');
        const NameIndex::Fingerprint f = NameIndex::fingerprintOf(name, kPlaces);
        std::vector<QByteArray>& group = alike[(std::uint64_t(f.home) << 16) | f.tag];
        group.push_back(name);
        if (group.size() == 3)
            groups.push_back(group);
    }
    for (const std::vector<QByteArray>& group : groups)
        for (const QByteArray& name : group)
            ASSERT_EQ(NameIndex::fingerprintOf(name, kPlaces), NameIndex::fingerprintOf(group[0], kPlaces));

    // The first two of each group are places, the third only a name; group 0's first name
    // is held twice, the second time last in the list.
    LocationList list;
    for (const std::vector<QByteArray>& group : groups)
        for (int k = 0; k < 2; ++k) {
            list.push_back(Location{});
            list.back().Name = group[std::size_t(k)];
        }
    while (list.size() < kPlaces - 1) {
        list.push_back(Location{});
        list.back().Name = "Plain " + QByteArray::number(qulonglong(list.size()));
    }
    list.push_back(Location{});
    list.back().Name = groups[0][0];
    ASSERT_EQ(list.size(), kPlaces);
    std::vector<QByteArray> named; // every name a route goes to
    for (const std::vector<QByteArray>& group : groups)
        named.insert(named.end(), group.begin(), group.end());
    named.push_back("Plain 12");

    const auto firstOf = [&list](const QByteArray& name) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].Name == name)
                return std::int32_t(i);
        return std::int32_t(-1);
    };
    // Blocks from the places last to first, then the first half again: a target's place
    // has its block before the one naming it, or after, or both.
    std::vector<std::size_t> origins;
    for (std::size_t i = kPlaces; i-- > 0;)
        origins.push_back(i);
    for (std::size_t i = 0; i < kPlaces / 2; ++i)
        origins.push_back(i);
    QByteArray bytes;
    std::vector<std::vector<Route>> expected(kPlaces);
    for (std::size_t b = 0; b < origins.size(); ++b) {
        const QByteArray& origin = list[origins[b]].Name;
        bytes += "[route]\r\n  nm = " + origin + "\r\n";
        std::vector<Route> routes;
        for (std::size_t k = 0; k < named.size(); ++k) {
            const QByteArray& target = named[(k + b) % named.size()];
            const auto kind = std::uint8_t(1 + (k + b) % 3);
            bytes += QByteArray::number(kind) + ' ' + target + "\r\n";
            if (firstOf(target) >= 0)
                routes.push_back(Route{firstOf(target), kind});
        }
        bytes += "end\r\n\r\n";
        expected[std::size_t(firstOf(origin))] = routes;
    }
    readRoutes(bytes, list);
    for (std::size_t i = 0; i < kPlaces; ++i)
        EXPECT_EQ(list[i].Routes, expected[i]) << "place " << i << " " << list[i].Name.toStdString();
}

TEST(RoutesDb, EndLineVariants)
{
    struct Case {
        QByteArray tail;
        QString error;
        QByteArray routes;
    } cases[] = {
        {"end", "", "0->1:1\n"}, // no final line end
        {"end\r\n", "", "0->1:1\n"},
        {" end\n", "'e' is not a valid integer value", ""}, // indented
        {"end \n", "'e' is not a valid integer value", ""}, // followed by a blank
        {"", "", "0->1:1\n"},                               // data ends inside the block
        {"2 B", "", "0->1:1\n0->1:2\n"},                    // last route line without line end
        {"\n", "'' is not a valid integer value", ""},      // empty line inside a block
        {"   \t\n", "'' is not a valid integer value", ""},
        {"x B\n", "'x' is not a valid integer value", ""},
        {"-1 B\n", "'-' is not a valid integer value", ""},
    };
    for (const Case& c : cases) {
        LocationList list = named({"A", "B"});
        EXPECT_EQ(errorOf("rout\nnm = A\n1 B\n" + c.tail, list), c.error) << c.tail.constData();
        EXPECT_EQ(dump(list), c.routes) << c.tail.constData();
    }
}

TEST(RoutesDb, HeadersAndLongLinesAsTheClassicReadsGiveThem)
{
    // A line is read in pieces of at most 254 characters (its line end counting as one);
    // a header is any line holding "rout", however short.
    const QByteArray n251(251, 'n'), n252(252, 'n');
    const struct {
        QByteArray bytes;
        QString error;
        QByteArray routes;
    } cases[] = {
        {"rout\nnm = A\n1 B\nend\n", "", "0->1:1\n"},
        {"rou\nnm = A\n1 B\nend\n", "", ""}, // too short to hold the word
        {"xroutx\nnm = A\n1 B\nend", "", "0->1:1\n"},
        {"rout\nnm = A\n1 " + n251 + "\nend\n", "", "0->2:1\n"},         // 253 characters: one read
        {"rout\r\nnm = A\r\n1 " + n251 + "\r\nend\r\n", "", "0->2:1\n"}, // CR LF counts once
        // 254 characters: the read stops short of the line end, which comes back as an
        // empty line inside the block.
        {"rout\nnm = A\n1 " + n252 + "\nend\n", "'' is not a valid integer value", ""},
        {"rout\r\nnm = A\r\n1 " + n252 + "\r\nend\r\n", "'' is not a valid integer value", ""},
        // An origin line in pieces: its first piece names no place, so the block's lines
        // are read as any others (the route line is no header).
        {"rout\nnm = A" + QByteArray(260, 'x') + "\n1 B\nend\n", "", ""},
        // Trimmed, the first piece names A; the blanks left over are an empty route line.
        {"rout\nnm = A" + QByteArray(260, ' ') + "\n1 B\nend\n", "'' is not a valid integer value", ""},
    };
    for (const auto& c : cases) {
        LocationList list = named({"A", "B", n251.constData()});
        EXPECT_EQ(errorOf(c.bytes, list), c.error) << c.bytes.left(40).constData();
        EXPECT_EQ(dump(list), c.routes) << c.bytes.left(40).constData();
    }
}

TEST(RoutesDb, UnknownOriginSkipsOnlyItsBlock)
{
    // Its lines are read as any others: no error in them counts, and a header among them
    // starts a block.
    const struct {
        QByteArray bytes;
        QByteArray routes;
    } cases[] = {
        {"rout\nnm = Nowhere\nx not a route\nend\nrout\nnm = B\n1 A\nend\n", "1->0:1\n"},
        {"rout\nnm = Nowhere\nrout\nnm = A\n1 B\nend\n", "0->1:1\n"},
        {"rout\nnm = Nowhere\n1 Trout\nnm = B\n2 A\nend\n", "1->0:2\n"},
    };
    for (const auto& c : cases) {
        LocationList list = named({"A", "B"});
        EXPECT_EQ(errorOf(c.bytes, list), "") << c.bytes.constData();
        EXPECT_EQ(dump(list), c.routes) << c.bytes.constData();
    }
}

TEST(RoutesDb, ErrorKeepsEarlierBlocks)
{
    LocationList list = named({"A", "B"});
    EXPECT_EQ(errorOf("rout\nnm = A\n1 B\nend\nrout\nnm = B\n1 A\n?A\nend\n", list),
              "'?' is not a valid integer value");
    EXPECT_EQ(dump(list), "0->1:1\n");
}

TEST(RoutesDb, HeaderAndOriginAtEndOfData)
{
    for (const QByteArray& bytes : {QByteArray("rout"), QByteArray("rout\n"), QByteArray("rout\nnm = A"),
                                    QByteArray("rout\nnm = A\n"), QByteArray("Rout\nnm = A\n1 B\nend\n")}) {
        LocationList list = named({"A", "B"});
        EXPECT_EQ(errorOf(bytes, list), "");
        EXPECT_EQ(dump(list), "");
    }
}

TEST(RoutesDb, ArbitraryBytesNeverCrash)
{
    test::forEachByteSoup(777, "rout end\r\n AB123\t", 100, 3000, [](const QByteArray& bytes) {
        LocationList list = named({"", "A", "B"});
        try {
            readRoutes(bytes, list);
        } catch (const Error&) {}
        // Whatever was read, every route points into the list.
        for (const Location& l : list)
            for (const Route& r : l.Routes)
                EXPECT_TRUE(r.Target >= 0 && r.Target < 3 && r.Kind <= 9);
    });
}

TEST(RoutesDb, ManyBlocksReadAsEachAloneWouldBe)
{
    // Tens of thousands of route lines, so that the reader's look-ups run in several
    // batches: origins met again later (the later block wins, also across batches), names
    // held twice (the first place of the name), unknown origins and targets, and an error
    // far into the file. Expected from what each block says, not from reading it. Bytes
    // handed over read the same, the pages behind given back (the file without an error
    // spans several steps of them).
    constexpr int kPlaces = 3000;
    LocationList list;
    for (int i = 0; i < kPlaces; ++i) {
        Location l;
        l.Name = "Place " + QByteArray::number(i % 2500); // the last 500 repeat earlier names
        list.push_back(l);
    }
    for (const auto& [kBlocks, errorBlock] : {std::pair(100000, -1), std::pair(9000, 8000), std::pair(9000, 2)}) {
        std::uint32_t seed = 28;
        const auto next = [&seed](int below) {
            seed = seed * 1664525u + 1013904223u;
            return int((seed >> 8) % std::uint32_t(below));
        };
        QByteArray bytes = "; travel\r\n";
        std::vector<std::vector<Route>> expected(kPlaces);
        for (int b = 0; b < kBlocks; ++b) {
            int origin = next(kPlaces + 200) - 200; // below 0: a name no place has
            if (b == errorBlock)
                origin = std::max(origin, 0); // a block of an unknown origin is not read at all
            const QByteArray originName
                = origin < 0 ? "Nowhere " + QByteArray::number(b) : list[std::size_t(origin)].Name;
            bytes += "[route]\r\n  nm = " + originName + "\r\n";
            std::vector<Route> routes;
            for (int r = next(8); r > 0; --r) {
                const int target = next(kPlaces + 100) - 100;
                const int kind = 1 + next(3);
                bytes += QByteArray::number(kind) + ' '
                         + (target < 0 ? "Lost " + QByteArray::number(r) : list[std::size_t(target)].Name) + "\r\n";
                if (target >= 0)
                    routes.push_back(Route{target % 2500, std::uint8_t(kind)});
            }
            if (b == errorBlock)
                bytes += "x Place 1\r\n";
            bytes += "end\r\n\r\n";
            if (origin >= 0 && (errorBlock < 0 || b < errorBlock))
                expected[std::size_t(origin % 2500)] = routes;
        }
        const QString error = errorBlock < 0 ? "" : "'x' is not a valid integer value";
        LocationList read = list;
        EXPECT_EQ(errorOf(bytes, read), error) << errorBlock;
        for (int i = 0; i < kPlaces; ++i)
            ASSERT_EQ(read[std::size_t(i)].Routes, expected[std::size_t(i)])
                << "place " << i << ", error " << errorBlock;
        LocationList handed = list;
        QString handedError;
        try {
            QByteArray own = bytes;
            own.detach();
            readRoutes(std::move(own), handed);
        } catch (const Error& e) {
            handedError = e.message();
        }
        EXPECT_EQ(handedError, error) << errorBlock;
        EXPECT_TRUE(handed == read) << errorBlock;
    }
}

TEST(RoutesDb, BlocksInPlaceOrderReadAsAnyOthers)
{
    // A file lists its blocks in the order of the places; blocks in that order, against
    // it, with an origin or a target no place has between, with an origin held twice and
    // with the longest names a line holds each give what their lines say.
    const QByteArray n248(248, 'n'), n251(251, 'n');
    const struct {
        const char* what;
        QByteArray bytes;
        QString error;
        QByteArray routes;
    } cases[] = {
        {"in order", "rout\nnm = A\n1 C\nend\nrout\nnm = B\n2 A\nend\nrout\nnm = D\n3 B\nend\n", "",
         "0->2:1\n1->0:2\n4->1:3\n"},
        {"a target named before its own block", "rout\nnm = A\n1 D\nend\nrout\nnm = D\n1 A\nend\n", "",
         "0->4:1\n4->0:1\n"},
        {"an unknown origin between", "rout\nnm = A\n1 B\nend\nrout\nnm = Q\n1 A\nend\nrout\nnm = B\n1 A\nend\n", "",
         "0->1:1\n1->0:1\n"},
        {"unknown targets", "rout\nnm = A\n1 Q\n2 B\n3 b\nend\n", "", "0->1:2\n"},
        {"an origin held twice", "rout\nnm = C\n1 A\nend\nrout\nnm = B\n1 C\nend\n", "", "1->2:1\n2->0:1\n"},
        {"backwards", "rout\nnm = D\n1 A\nend\nrout\nnm = B\n1 D\nend\nrout\nnm = A\n1 B\nend\n", "",
         "0->1:1\n1->4:1\n4->0:1\n"},
        {"the place order met again", "rout\nnm = B\n1 A\nend\nrout\nnm = A\n1 B\nend\nrout\nnm = B\n2 D\nend\n", "",
         "0->1:1\n1->4:2\n"},
        // An origin line of 253 characters and a route line of 253 are each one read.
        {"the longest names a line holds",
         "rout\nnm = " + n248 + "\n1 " + n251 + "\nend\nrout\nnm = A\n1 " + n248 + "\nend\n", "", "0->5:1\n5->6:1\n"},
        {"an error after blocks in order", "rout\nnm = A\n1 B\nend\nrout\nnm = B\n1 A\n?\nend\n",
         "'?' is not a valid integer value", "0->1:1\n"},
    };
    for (const auto& c : cases) {
        // C is held twice: its first place, 2, is the origin and target named so.
        LocationList list = named({"A", "B", "C", "C", "D", n248.constData(), n251.constData()});
        EXPECT_EQ(errorOf(c.bytes, list), c.error) << c.what;
        EXPECT_EQ(dump(list), c.routes) << c.what;
    }
}

/**
 * The routes as a plain reader finds them, for a file without errors: a block after the
 * other, each name looked up alone in a NameIndex, nothing batched or asked for ahead.
 */
LocationList readThroughOneTable(const QByteArray& bytes, LocationList list)
{
    const NameIndex index(list);
    LineReader reader(bytes, LineReader::ClassicLimit);
    while (reader.skipToHeader("rout")) {
        const LineReader::Line origin = reader.read();
        if (isPastEnd(origin))
            break;
        const QByteArrayView name = Trim(origin.text);
        const std::int32_t from = index.find(name.size() > 5 ? name.sliced(5) : QByteArrayView());
        if (from < 0)
            continue;
        std::vector<Route> routes;
        while (true) {
            const LineReader::Line line = reader.read();
            if (isPastEnd(line) || (line.text == "end" && (line.lineEnd || line.metEnd)))
                break;
            const QByteArrayView text = Trim(line.text);
            const std::int32_t to = index.find(text.size() > 2 ? text.sliced(2) : QByteArrayView());
            if (to >= 0)
                routes.push_back(Route{to, std::uint8_t(text[0] - '0')});
        }
        list[std::size_t(from)].Routes.assign(routes.data(), routes.data() + routes.size());
    }
    return list;
}

TEST(RoutesDb, GeneratedWorldReadsAsThroughOneTable)
{
    // A generated world of tens of thousands of places, so that the reader looks its
    // names up in many runs: read as generated (blocks in place order), with its blocks
    // backwards, with unknown origins and targets mixed in (the reader goes back after
    // each unknown origin, across runs), and with names held twice.
    QTemporaryDir dir;
    worldgen::Options options;
    options.locations = 40000;
    options.pictures = false;
    options.readmes = false;
    worldgen::generate(dir.path(), options);
    LocationList places;
    readLocations(test::readFile(dir.filePath("vdmain.gdb")), places);
    ASSERT_EQ(places.size(), 40000u);
    const QByteArray asGenerated = test::readFile(dir.filePath("routes.gdb"));

    QList<QByteArray> blocks = asGenerated.split('[');
    const QByteArray head = blocks.takeFirst();
    QByteArray backwards = head;
    for (qsizetype b = blocks.size(); b-- > 0;)
        backwards += '[' + blocks[b];
    QByteArray mixed = head;
    for (qsizetype b = 0; b < blocks.size(); ++b) {
        QByteArray block = '[' + blocks[b];
        if (b % 11 == 0)
            block.replace("nm = ", "nm = Lost "); // an unknown origin
        if (b % 7 == 0)
            block.replace("\r\n1 ", "\r\n1 Far "); // unknown targets
        mixed += block;
    }
    LocationList twice = places;
    for (std::size_t i = 1000; i < twice.size(); i += 997)
        twice[i].Name = twice[i / 3].Name; // the later place of a name is never found
    ASSERT_GT(asGenerated.count("\r\n1 "), 1000);

    const struct {
        const char* what;
        const QByteArray& bytes;
        const LocationList& places;
    } cases[] = {
        {"as generated", asGenerated, places},
        {"backwards", backwards, places},
        {"unknown names", mixed, places},
        {"names held twice", asGenerated, twice},
    };
    for (const auto& c : cases) {
        const LocationList expected = readThroughOneTable(c.bytes, c.places);
        LocationList read = c.places;
        EXPECT_EQ(errorOf(c.bytes, read), "") << c.what;
        std::size_t differing = 0, withRoutes = 0;
        for (std::size_t i = 0; i < read.size(); ++i) {
            differing += read[i].Routes == expected[i].Routes ? 0 : 1;
            withRoutes += read[i].Routes.empty() ? 0 : 1;
        }
        EXPECT_EQ(differing, 0u) << c.what;
        EXPECT_GT(withRoutes, 5000u) << c.what;
    }
}

} // namespace
} // namespace vdm
