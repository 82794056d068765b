// SPDX-License-Identifier: MIT
#include "data/linereader.h"

#include "common/testutils.h"

#include <gtest/gtest.h>

#include <vector>

namespace vdm {
namespace {

struct Read {
    QByteArray text;
    bool metEnd;
    bool operator==(const Read&) const = default;
};

void PrintTo(const Read& r, std::ostream* os)
{
    *os << '"' << r.text.toStdString() << '"' << (r.metEnd ? " (end)" : "");
}

std::vector<Read> readAll(const QByteArray& data, qsizetype limit = LineReader::ClassicLimit)
{
    LineReader reader(data, limit);
    std::vector<Read> out;
    for (int guard = 0; guard < 10000; ++guard) {
        const LineReader::Line line = reader.read();
        // The line as text mode hands it over: one LF for its line end.
        out.push_back({line.text.toByteArray() + (line.lineEnd ? "\n" : ""), line.metEnd});
        if (line.metEnd)
            break;
    }
    return out;
}

TEST(LineReader, LineEnds)
{
    struct Case {
        QByteArray data;
        std::vector<Read> reads;
    } cases[] = {
        {"", {{"", true}}},
        {"a\r\nb\r\n", {{"a\n", false}, {"b\n", false}, {"", true}}},
        {"a\nb\n", {{"a\n", false}, {"b\n", false}, {"", true}}},
        {"a\r\nb", {{"a\n", false}, {"b", true}}},
        {"a\rb\n", {{"a\rb\n", false}, {"", true}}}, // a lone CR is an ordinary character
        {"a\r", {{"a\r", true}}},
        {"a\r\r\n", {{"a\r\n", false}, {"", true}}},
        {"\n\r\n\n", {{"\n", false}, {"\n", false}, {"\n", false}, {"", true}}},
        {"a\n\rb", {{"a\n", false}, {"\rb", true}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readAll(c.data), c.reads) << c.data.toStdString();
}

TEST(LineReader, ClassicPiecesOf254)
{
    const QByteArray a254(254, 'a'), a253(253, 'a');
    const QByteArray a600(600, 'x');
    struct Case {
        QByteArray data;
        std::vector<Read> reads;
    } cases[] = {
        {a253 + "\r\n", {{a253 + "\n", false}, {"", true}}},
        // Exactly 254 characters: the piece is full, so its line end becomes an empty line.
        {a254 + "\r\n", {{a254, false}, {"\n", false}, {"", true}}},
        {a254 + "\n", {{a254, false}, {"\n", false}, {"", true}}},
        {a254, {{a254, false}, {"", true}}},
        {a600 + "\n", {{a600.left(254), false}, {a600.left(254), false}, {a600.left(92) + "\n", false}, {"", true}}},
        {a600, {{a600.left(254), false}, {a600.left(254), false}, {a600.left(92), true}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readAll(c.data), c.reads) << c.data.size();
}

TEST(LineReader, WholeLinesWithoutLimit)
{
    const QByteArray a1000(1000, 'w');
    EXPECT_EQ(readAll(a1000 + "\r\n" + a1000, LineReader::NoLimit),
              (std::vector<Read>{{a1000 + "\n", false}, {a1000, true}}));
}

TEST(LineReader, ReadingPastTheEndStaysAtTheEnd)
{
    LineReader reader("x\n");
    EXPECT_FALSE(reader.atEnd());
    EXPECT_EQ(reader.lineNumber(), 1);
    reader.read();
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.lineNumber(), 2);
    for (int i = 0; i < 3; ++i) {
        const LineReader::Line line = reader.read();
        EXPECT_TRUE(line.metEnd);
        EXPECT_TRUE(line.text.isEmpty());
    }
}

TEST(LineReader, HeadersHoldTheirKeywordAnywhere)
{
    // Short lines are searched in place, longer ones by a search call: the keyword at
    // either end or in the middle of both, cut short or broken up, and in a last line
    // without its line end, which is never a header.
    struct Case {
        QByteArray data;
        qsizetype headerEnd; // the reader's position after the header; -1: none found
    } cases[] = {
        {"rout\n", 5},
        {"xx\n[route]\n", 11},
        {"a rout\n", 7},
        {"rou\nrrou t\nroute\n", 17},
        {"rrout\n", 6},
        {"123456789012rout\n", 17},
        {"1234567890123rout\n", 18},
        {"routrout\n", 9},
        {"no keyword in this longer line\n" + QByteArray(40, 'r') + "out\n", 75},
        {"this longer line ends on it: rout\n", 34},
        {"rou\n", -1},
        {"rout", -1},
        {"", -1},
    };
    for (const Case& c : cases) {
        LineReader reader(c.data);
        const bool found = reader.skipToHeader("rout");
        EXPECT_EQ(found, c.headerEnd >= 0) << c.data.toStdString();
        if (found) {
            EXPECT_EQ(reader.position(), c.headerEnd) << c.data.toStdString();
        }
    }
}

/**
 * The rules of a read, byte by byte: the reference the reader's block-wise search for
 * line ends is checked against.
 */
LineReader::Line plainRead(const QByteArray& data, qsizetype& pos, qsizetype limit)
{
    LineReader::Line line;
    const qsizetype rest = data.size() - pos;
    if (rest <= 0) {
        line.metEnd = true;
        return line;
    }
    const qsizetype window = limit > 0 && rest > limit + 1 ? limit + 1 : rest;
    qsizetype lf = 0;
    while (lf < window && data[pos + lf] != '\n')
        ++lf;
    if (lf < window) {
        const qsizetype length = lf > 0 && data[pos + lf - 1] == '\r' ? lf - 1 : lf;
        if (limit <= 0 || length < limit) {
            line.text = QByteArrayView(data.constData() + pos, length);
            line.lineEnd = true;
            pos += lf + 1;
            return line;
        }
    }
    if (limit > 0 && rest >= limit) { // a full piece
        line.text = QByteArrayView(data.constData() + pos, limit);
        pos += limit;
        return line;
    }
    line.text = QByteArrayView(data.constData() + pos, rest);
    line.metEnd = true;
    pos += rest;
    return line;
}

TEST(LineReader, LineEndsFoundInEveryPlaceOfTheirBlock)
{
    // The reader looks for line ends a block of 64 bytes at a time and keeps what it found
    // for the next line: line ends and CRs at every offset around the blocks' edges, lines
    // longer than a block and than the limit, data ending mid-block, and reads resumed at
    // earlier marks must give what the rules give, read for read.
    for (const qsizetype limit :
         {LineReader::ClassicLimit, LineReader::NoLimit, qsizetype(7), qsizetype(63), qsizetype(64), qsizetype(65)}) {
        std::uint32_t seed = std::uint32_t(limit + 100);
        const auto next = [&seed](std::uint32_t below) {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) % below;
        };
        test::forEachByteSoup(std::uint32_t(limit + 28), "aaaaab\r\n\n", 700, 300, [&](const QByteArray& soup) {
            // Runs of one byte now and then, so that lines reach past a block and the limit.
            QByteArray data = soup;
            if (!data.isEmpty())
                data.insert(qsizetype(next(std::uint32_t(data.size()))), QByteArray(qsizetype(next(300)), 'z'));
            LineReader reader(data, limit);
            qsizetype pos = 0;
            std::vector<LineReader::Mark> marks;
            for (int guard = 0; guard < 5000; ++guard) {
                if (next(8) == 0)
                    marks.push_back(reader.mark());
                if (!marks.empty() && next(16) == 0) {
                    const LineReader::Mark back = marks[next(std::uint32_t(marks.size()))];
                    reader.rewind(back);
                    pos = back.position;
                }
                const qsizetype at = pos;
                const LineReader::Line expected = plainRead(data, pos, limit);
                const LineReader::Line got = reader.read();
                ASSERT_EQ(got.text, expected.text) << "limit " << limit << " at " << at << " of " << data.size();
                ASSERT_EQ(got.lineEnd, expected.lineEnd) << at;
                ASSERT_EQ(got.metEnd, expected.metEnd) << at;
                ASSERT_EQ(reader.position(), pos) << at;
                if (got.metEnd && got.text.isEmpty())
                    break;
            }
        });
    }
}

} // namespace
} // namespace vdm
