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
#include <memory>
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
 * out whole. Not shared between threads: it first uses the font on the thread that lays
 * the first caption out (a font keeps the engines of the thread that used it). What it
 * learned it may share with shapers of the same font on other threads (Learned).
 */
class CaptionShaper {
public:
    /**
     * What shapers of one font have learned, shared between them: the painter's two
     * threads lay captions out at once, and each would otherwise lay the same pairs out
     * whole to learn them. Every entry goes once from unknown to what a text layout of
     * the font shows, the same whichever shaper learns it, so each is read and written
     * on its own (atomically, in no particular order); what contradicts it ends putting
     * captions together for all of them.
     */
    struct Learned;
    /** A shaper of `font`; with `learned` (made for the same font) it shares what it learns with its other shapers. */
    explicit CaptionShaper(const QFont& font, std::shared_ptr<Learned> learned = {});
    /** What this shaper learns, to hand to another shaper of its font. */
    std::shared_ptr<Learned> learned() const { return m_learned; }
    /**
     * A copy of what `learned` holds now, for shapers that go on learning without
     * changing it (what was learned ahead, handed to each painter that starts from it).
     */
    static std::shared_ptr<Learned> copyOf(const Learned& learned);
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
    /** The line of a caption put together from pairs whose glyphs end `advance64` 64ths on. */
    void lineOfPairs(CaptionLine& line, std::int64_t advance64) const;
    /** Where the next glyph goes after the one of `bytes[i]` (the last one: where the line ends), in 64ths. */
    std::int32_t stepAfter(const uchar* bytes, qsizetype n, qsizetype i) const
    {
        return i + 1 < n ? pairOf(bytes[i], bytes[i + 1]) : endOf(bytes[n - 1]);
    }
    /** Whether captions may be put together from pairs now: the font allows it and nothing learned contradicted it. */
    bool usable() const;
    CaptionLine m_scratch;  // the line advance() lays out whole, kept for its capacity
    CaptionGlyphs m_glyphs; // the glyphs layOut(text, line) puts together, kept for their capacity

    QFont m_font;
    std::shared_ptr<Learned> m_learned;
    bool m_prepared = false, m_byPairs = false;
    QRawFont m_raw;
    qreal m_ascent = 0, m_descent = 0;
    uchar m_anchor = 'n'; // a Latin letter that puts other characters in a Latin run
    std::array<Char, 256> m_chars{};
    /** Where the glyph of `b` goes after the one of `a`, in 64ths (or UnknownPair, OtherPair). */
    std::int16_t pairOf(uchar a, uchar b) const;
    void setPair(uchar a, uchar b, std::int16_t v);
    /** How a line that begins with `c` places it. */
    Start startOf(uchar c) const;
    void setStart(uchar c, Start v);
    /** The line's advance from `c` when it ends the line, in 64ths (or Unknown, Otherwise). */
    std::int32_t endOf(uchar c) const;
    void setEnd(uchar c, std::int32_t v);
    /** Something learned contradicts what was learned before: the font is not read by pairs after all. */
    void contradicted();
    /** `advance` (64ths) as a pair's entry, or OtherPair when sixteen bits do not hold it. */
    static std::int16_t pairEntry(std::int32_t advance)
    {
        return advance > OtherPair && advance <= INT16_MAX ? std::int16_t(advance) : OtherPair;
    }
};

} // namespace vdm
