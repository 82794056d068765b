// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vdm {

/**
 * Reads a database file line by line as text mode does: CR LF is one line end, a bare
 * LF is a line end too, a lone CR is an ordinary character. With a limit, a read takes
 * at most that many characters, a line end counting as one (254 for the classic
 * readers): a longer line comes back in pieces, each counting as a line. A read "meets
 * the end of the file" when it reached the end before a line end; the classic readers
 * then discard what it returned.
 *
 * A read hands out a view into the reader's own copy of the bytes, so reading makes no
 * copies; the view stays valid while the reader lives.
 */
class LineReader {
public:
    static constexpr qsizetype ClassicLimit = 254;
    static constexpr qsizetype NoLimit = -1;

    explicit LineReader(QByteArray data, qsizetype limit = ClassicLimit);

    struct Line {
        QByteArrayView text;  // without its line end
        bool lineEnd = false; // the read ended on a line end (within the limit)
        bool metEnd = false;  // the read reached the end of the data
    };
    Line read();
    bool atEnd() const { return m_pos >= m_data.size(); }
    /** Bytes read so far. */
    qsizetype position() const { return m_pos; }
    /** 1-based number of the line that the next read starts on. */
    qsizetype lineNumber() const { return m_line; }

    /** Where the reader stands, to come back to (see rewind). */
    struct Mark {
        qsizetype position = 0;
        qsizetype line = 1;
    };
    Mark mark() const { return {m_pos, m_line}; }
    /** Reads on from a mark of this reader again, as from the first time there. */
    void rewind(const Mark& mark)
    {
        m_pos = mark.position;
        m_line = mark.line;
    }

    /**
     * Reads on to the next line that contains `keyword` (case-sensitive). False when a
     * read met the end first: a last line without a line end is never a header, whatever
     * it holds.
     */
    bool skipToHeader(QByteArrayView keyword);

private:
    qsizetype nextLineFeed(qsizetype from, qsizetype end);
    static std::uint64_t lineFeedsAt(const char* block);

    QByteArray m_data;
    qsizetype m_limit;
    qsizetype m_pos = 0;
    qsizetype m_line = 1;
    // The line feeds of one block of 64 bytes, a bit each, kept for the next read: most
    // lines are far shorter, and the next line end is then found in a few instructions
    // instead of a search call for each line.
    static constexpr qsizetype kBlock = 64;
    qsizetype m_block = -kBlock; // offset of the block the bits describe
    std::uint64_t m_blockFeeds = 0;
};

inline std::uint64_t LineReader::lineFeedsAt(const char* block)
{
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t feeds = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
        feeds |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)))) << (16 * part);
    }
    return feeds;
#else
    std::uint64_t feeds = 0;
    for (int at = 0; at < kBlock; ++at)
        feeds |= std::uint64_t(block[at] == '\n') << at;
    return feeds;
#endif
}

/**
 * Offset of the first line feed at or after `from` and before `end`, or -1. Whole blocks
 * are read only where they lie within the data; the last few bytes are searched as they are.
 */
inline qsizetype LineReader::nextLineFeed(qsizetype from, qsizetype end)
{
    qsizetype block = from & ~(kBlock - 1);
    std::uint64_t feeds = ~std::uint64_t(0) << (from - block);
    while (true) {
        if (block != m_block) {
            if (block + kBlock > m_data.size()) {
                const qsizetype start = block > from ? block : from;
                const void* found = std::memchr(m_data.constData() + start, '\n', std::size_t(end - start));
                return found ? static_cast<const char*>(found) - m_data.constData() : -1;
            }
            m_block = block;
            m_blockFeeds = lineFeedsAt(m_data.constData() + block);
        }
        feeds &= m_blockFeeds;
        if (feeds != 0)
            break;
        block += kBlock;
        if (block >= end)
            return -1;
        feeds = ~std::uint64_t(0);
    }
    const qsizetype at = block + __builtin_ctzll(feeds);
    return at < end ? at : -1;
}

// Inline: the readers call it once per line, and a returned line kept in registers
// costs nothing to hand over.
inline LineReader::Line LineReader::read()
{
    Line line;
    const qsizetype rest = m_data.size() - m_pos;
    const char* p = m_data.constData() + m_pos;
    if (rest <= 0) {
        line.metEnd = true;
        return line;
    }
    const bool limited = m_limit > 0;
    // A line that fits the limit has at most limit - 1 characters, then CR LF at worst.
    const qsizetype window = limited && rest > m_limit + 1 ? m_limit + 1 : rest;
    const qsizetype found = nextLineFeed(m_pos, m_pos + window);
    if (found >= 0) {
        const qsizetype lf = found - m_pos;
        const qsizetype length = lf > 0 && p[lf - 1] == '\r' ? lf - 1 : lf;
        if (!limited || length < m_limit) {
            line.text = QByteArrayView(p, length);
            line.lineEnd = true;
            m_pos += lf + 1;
            ++m_line;
            return line;
        }
    }
    if (limited && rest >= m_limit) {
        // A full piece; a CR that would end it belongs to no CR LF within the piece.
        line.text = QByteArrayView(p, m_limit);
        m_pos += m_limit;
        return line;
    }
    line.text = QByteArrayView(p, rest);
    line.metEnd = true;
    m_pos += rest;
    return line;
}

// Inline, and the keyword looked for only in lines that can hold it: most lines a reader
// passes over are short ("end", an empty line, the header itself), and a search call for
// each cost more than the reading. A line of a few words is searched in place: a call
// for each header cost 3 % of reading the routes of 100 000 places.
inline bool LineReader::skipToHeader(QByteArrayView keyword)
{
    constexpr qsizetype kSearchedInPlace = 16;
    while (true) {
        const Line header = read();
        if (header.metEnd)
            return false;
        const QByteArrayView text = header.text;
        if (text.size() < keyword.size())
            continue;
        if (text.size() > kSearchedInPlace) {
            if (text.contains(keyword))
                return true;
            continue;
        }
        for (qsizetype at = 0; at + keyword.size() <= text.size(); ++at) {
            qsizetype same = 0;
            while (same < keyword.size() && text[at + same] == keyword[same])
                ++same;
            if (same == keyword.size())
                return true;
        }
    }
}

} // namespace vdm
