// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QRawFont>
#include <QRectF>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace vdm {

/** A caption laid out on one line: its glyphs, positioned from the line's top-left, and the line's measures. */
struct CaptionLine {
    QList<QGlyphRun> runs;
    bool valid = false; // a line was made (the text layout makes none for no text)
    qreal advance = 0, ascent = 0;
    QRectF box; // the runs' boxes together
};

/**
 * A caption's glyphs as put together from pairs of characters: one font, every glyph on
 * the line's baseline, each glyph's x from the line's left in 64ths of a pixel.
 */
struct CaptionGlyphs {
    std::vector<quint32> indexes;
    std::vector<std::int64_t> x64;
};

/** The caption (code-page bytes) laid out by the text layout. */
CaptionLine layOutCaption(const QFont& font, const QByteArray& text);

/**
 * Lays captions out as layOutCaption does, glyph for glyph and position for position,
 * without a text layout where that can be shown: when the font's tables shape code-page
 * text pair by pair (see fontPairs), a caption's glyphs and positions follow from how each
 * adjacent pair is placed, how its first glyph starts and its last one ends a line. Those
 * are learned from the captions laid out whole (the first ones, and any with something
 * not seen yet), and a caption whose every part is known is put together from them.
 * A caption with a character or pair that shapes otherwise (a ligature, another font
 * standing in, a glyph moved up or down, a soft hyphen, no Latin letter at all) is laid
 * out whole. Not shared between threads: it keeps what it learned, and it first uses
 * the font on the thread that lays the first caption out (a font keeps the engines of the
 * thread that used it).
 */
class CaptionShaper {
public:
    explicit CaptionShaper(const QFont& font);
    /** The caption laid out; `line` is filled either way. Returns whether it was put together from pairs. */
    bool layOut(const QByteArray& text, CaptionLine& line);
    /**
     * The caption laid out as layOut does, but when it is put together from pairs (true)
     * its glyphs go to `glyphs` and `line` gets only its measures (no runs): a renderer
     * that places the glyphs itself then makes no glyph run. Else `line` is the caption
     * laid out whole, runs and all.
     */
    bool layOut(const QByteArray& text, CaptionLine& line, CaptionGlyphs& glyphs);
    /** The glyph run of glyphs put together by layOut, placed from the line's top-left as a text layout places it. */
    QGlyphRun runOf(const CaptionGlyphs& glyphs) const;
    /** The font of every caption put together from pairs. */
    const QRawFont& rawFont() const { return m_raw; }
    /**
     * The advance layOut gives `text`'s line, without making its glyph runs where the
     * pairs known tell it (the sum of their places); else the caption is laid out (and
     * taught from) as layOut does. False when no line is made (no text).
     */
    bool advance(const QByteArray& text, qreal& advance);
    /** Whether the font lets captions be put together from pairs at all. */
    bool byPairs();

private:
    static constexpr std::int32_t Otherwise = INT32_MIN; // a measure that is not whole 64ths
    static constexpr std::int32_t Unknown = INT32_MIN + 1;
    static constexpr std::int16_t UnknownPair = INT16_MIN, OtherPair = INT16_MIN + 1;
    enum class Script : std::uint8_t { None, Latin, Common };
    enum class Start : std::uint8_t { Unknown, AtZero, Otherwise };
    struct Char {
        Script script = Script::None; // None: never put together
        quint32 glyph = 0;            // the font's glyph of it, the one its tables were read for
        Start start = Start::Unknown; // how a line that begins with it places it
        std::int32_t end = Unknown;   // the line's advance from it when it ends the line, in 64ths
    };
    /** Reads the font's tables and its code page's glyphs (once per font in the process). */
    void prepare();
    /** Lays the pair out alone (after the anchor when neither is Latin) to learn it, or that it shapes otherwise. */
    void learnPair(uchar a, uchar b);
    /** Learns what a caption laid out whole shows; false when its line is not one it could have put together. */
    bool learnFrom(const QByteArray& text, const CaptionLine& line);
    bool sameLine(const CaptionLine& l, int glyphs) const;
    /** How a caption's line can be made from what is known so far. */
    enum class Making : std::uint8_t {
        Whole, // laid out whole: it shapes otherwise, or the font is not read by pairs
        Learn, // laid out whole, and taught from: a pair, a start or an end not known yet
        Pairs, // put together from its pairs
    };
    Making makingOf(const uchar* bytes, qsizetype n);
    /** Where the next glyph goes after the one of `bytes[i]` (the last one: where the line ends), in 64ths. */
    std::int32_t stepAfter(const uchar* bytes, qsizetype n, qsizetype i)
    {
        return i + 1 < n ? pairOf(bytes[i], bytes[i + 1]) : m_chars[bytes[n - 1]].end;
    }
    CaptionLine m_scratch;  // the line advance() lays out whole, kept for its capacity
    CaptionGlyphs m_glyphs; // the glyphs layOut(text, line) puts together, kept for their capacity

    QFont m_font;
    bool m_prepared = false, m_byPairs = false;
    QRawFont m_raw;
    qreal m_ascent = 0, m_descent = 0;
    uchar m_anchor = 'n'; // a Latin letter that puts other characters in a Latin run
    std::array<Char, 256> m_chars{};
    // By first x 256 + second: the second's x from the first's, in 64ths (sixteen bits keep
    // the rows of a caption's letters in the processor's nearest cache).
    std::vector<std::int16_t> m_pairs;
    std::int16_t& pairOf(uchar a, uchar b) { return m_pairs[size_t(a) * 256 + b]; }
    /** `advance` (64ths) as a pair's entry, or OtherPair when sixteen bits do not hold it. */
    static std::int16_t pairEntry(std::int32_t advance)
    {
        return advance > OtherPair && advance <= INT16_MAX ? std::int16_t(advance) : OtherPair;
    }
};

} // namespace vdm
