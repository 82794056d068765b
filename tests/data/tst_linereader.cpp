// SPDX-License-Identifier: MIT
#include "data/linereader.h"

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

} // namespace
} // namespace vdm
