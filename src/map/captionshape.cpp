// SPDX-License-Identifier: MIT
#include "map/captionshape.h"

#include "data/codepage.h"
#include "map/fontpairs.h"

#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace vdm {
namespace {

/** `v` in 64ths, or Otherwise when it is not a whole number of them (or out of range). */
std::int32_t sixtyFourths(qreal v, std::int32_t otherwise)
{
    const qreal scaled = v * 64;
    if (!(std::abs(scaled) < 1e9) || scaled != std::round(scaled))
        return otherwise;
    return std::int32_t(scaled);
}

bool exactly(const QRectF& a, const QRectF& b)
{
    return a.x() == b.x() && a.y() == b.y() && a.width() == b.width() && a.height() == b.height();
}

} // namespace

CaptionLine layOutCaption(const QFont& font, const QByteArray& text)
{
    // One layout gives the advance, the box and the glyphs drawn: measuring and drawing
    // the string separately would shape it three times.
    QTextLayout layout(CodePage::decode(text), font);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    CaptionLine out;
    out.valid = line.isValid();
    if (!out.valid)
        return out;
    out.runs = line.glyphRuns();
    out.advance = line.horizontalAdvance();
    out.ascent = line.ascent();
    for (const QGlyphRun& run : out.runs)
        out.box |= run.boundingRect();
    return out;
}

CaptionShaper::CaptionShaper(const QFont& font) : m_font(font)
{}

bool CaptionShaper::byPairs()
{
    if (!m_prepared)
        prepare();
    return m_byPairs;
}

void CaptionShaper::prepare()
{
    m_prepared = true;
    // Capitals and small capitals split a text into runs by case, beyond any pair.
    if (m_font.capitalization() != QFont::MixedCase)
        return;
    const CaptionLine probe = layOutCaption(m_font, QByteArray(1, char(m_anchor)));
    if (!probe.valid || probe.runs.size() != 1 || probe.runs[0].glyphIndexes().size() != 1)
        return;
    m_raw = probe.runs[0].rawFont();
    m_ascent = probe.ascent;
    m_descent = probe.box.height() - probe.ascent;
    // The characters a caption may be put together from: the code page's letters, marks,
    // digits, punctuation, symbols and spaces (no controls, no soft hyphen: it shows only
    // at the end of a line). Every other character is Latin or common to all scripts, and
    // a text with a Latin letter is laid out as one Latin run.
    std::vector<quint32> glyphs;
    for (int c = 0x20; c < 0x100; ++c) {
        const QString decoded = CodePage::decode(QByteArray(1, char(c)));
        if (decoded.size() != 1)
            continue;
        const QChar ch = decoded[0];
        const QChar::Category category = ch.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format || category == QChar::Other_NotAssigned
            || category == QChar::Other_Surrogate || category == QChar::Other_PrivateUse)
            continue;
        Char& slot = m_chars[size_t(c)];
        slot.script = ch.script() == QChar::Script_Latin    ? Script::Latin
                      : ch.script() == QChar::Script_Common ? Script::Common
                                                            : Script::None;
        const QList<quint32> mapped = m_raw.glyphIndexesForString(decoded);
        if (slot.script == Script::None || mapped.size() != 1 || mapped[0] == 0) {
            slot.script = Script::None;
            continue;
        }
        slot.glyph = mapped[0];
        glyphs.push_back(mapped[0]);
    }
    if (m_chars[m_anchor].script != Script::Latin)
        return;
    const FontPairs pairs = fontPairs(FontTables::of(m_raw), glyphs);
    m_byPairs = pairs.byPairs;
    if (!m_byPairs)
        return;
    m_pairs.assign(256 * 256, UnknownPair);
    // A pair that may begin a longer ligature is never put together: the third glyph
    // decides.
    for (const auto& [g1, g2] : pairs.longLigatureStarts)
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256 && m_chars[size_t(a)].glyph == g1; ++b)
                if (m_chars[size_t(b)].glyph == g2 && m_chars[size_t(a)].script != Script::None
                    && m_chars[size_t(b)].script != Script::None)
                    pairOf(uchar(a), uchar(b)) = OtherPair;
}

bool CaptionShaper::sameLine(const CaptionLine& l, int glyphs) const
{
    if (!l.valid || l.runs.size() != 1 || l.ascent != m_ascent
        || !exactly(l.box, QRectF(0, 0, l.advance, m_ascent + m_descent)))
        return false;
    const QGlyphRun& run = l.runs[0];
    if (run.rawFont() != m_raw || run.glyphIndexes().size() != glyphs || run.positions().size() != glyphs)
        return false;
    const QList<QPointF> positions = run.positions();
    return std::all_of(positions.begin(), positions.end(), [&](const QPointF& p) { return p.y() == m_ascent; });
}

bool CaptionShaper::learnChar(uchar c)
{
    Char& ch = m_chars[c];
    if (ch.learned)
        return ch.simple;
    ch.learned = true;
    if (ch.script == Script::None)
        return false;
    // Its glyph (the one the tables were read for), its advance as a line's last glyph,
    // and whether a line that starts with it starts at 0. A common character is laid out
    // beside the anchor, in a Latin run as in a caption with a Latin letter.
    const bool latin = ch.script == Script::Latin;
    if (!latin && !learnChar(m_anchor))
        return false;
    const QByteArray anchor(1, char(m_anchor)), alone(1, char(c));
    const CaptionLine after = layOutCaption(m_font, latin ? alone : anchor + alone);
    const int at = latin ? 0 : 1;
    if (!sameLine(after, at + 1) || after.runs[0].glyphIndexes()[at] != ch.glyph
        || (!latin && after.runs[0].glyphIndexes()[0] != m_chars[m_anchor].glyph))
        return false;
    const qreal x = after.runs[0].positions()[at].x();
    ch.advance = sixtyFourths(after.advance - x, Otherwise);
    if (ch.advance == Otherwise || sixtyFourths(x, Otherwise) == Otherwise)
        return false;
    const CaptionLine first = latin ? after : layOutCaption(m_font, alone + anchor);
    ch.simple = sameLine(first, latin ? 1 : 2) && first.runs[0].glyphIndexes()[0] == ch.glyph
                && first.runs[0].positions()[0].x() == 0;
    return ch.simple;
}

void CaptionShaper::learnPair(uchar a, uchar b)
{
    std::int16_t& pair = pairOf(a, b);
    pair = OtherPair;
    if (!learnChar(a) || !learnChar(b))
        return;
    const Char &first = m_chars[a], &second = m_chars[b];
    // The pair alone, or after the anchor when neither is Latin (so the run is Latin as
    // in a caption): the second glyph's place from the first's, and the line's end from
    // the second's as it ends a line.
    const bool latin = first.script == Script::Latin || second.script == Script::Latin;
    const QByteArray text = QByteArray(1, char(a)) + char(b);
    const CaptionLine l = layOutCaption(m_font, latin ? text : char(m_anchor) + text);
    const int at = latin ? 0 : 1;
    if (!sameLine(l, at + 2))
        return;
    const QList<quint32> indexes = l.runs[0].glyphIndexes();
    const QList<QPointF> positions = l.runs[0].positions();
    if (indexes[at] != first.glyph || indexes[at + 1] != second.glyph
        || (!latin && indexes[0] != m_chars[m_anchor].glyph) || (latin && positions[0].x() != 0))
        return;
    const std::int32_t from = sixtyFourths(positions[at].x(), Otherwise);
    const std::int32_t to = sixtyFourths(positions[at + 1].x(), Otherwise);
    const std::int32_t end = sixtyFourths(l.advance, Otherwise);
    if (from == Otherwise || to == Otherwise || end == Otherwise || end - to != second.advance)
        return;
    pair = pairEntry(to - from);
}

bool CaptionShaper::learnFrom(const QByteArray& text, const CaptionLine& line)
{
    const auto* bytes = reinterpret_cast<const uchar*>(text.constData());
    const qsizetype n = text.size();
    if (!sameLine(line, int(n)))
        return false;
    const QList<quint32> indexes = line.runs[0].glyphIndexes();
    const QList<QPointF> positions = line.runs[0].positions();
    std::vector<std::int32_t> x(size_t(n) + 1);
    for (qsizetype i = 0; i < n; ++i) {
        x[size_t(i)] = sixtyFourths(positions[i].x(), Otherwise);
        if (indexes[i] != m_chars[bytes[i]].glyph || x[size_t(i)] == Otherwise)
            return false;
    }
    x[size_t(n)] = sixtyFourths(line.advance, Otherwise);
    if (x[0] != 0 || x[size_t(n)] == Otherwise || x[size_t(n)] - x[size_t(n) - 1] != m_chars[bytes[n - 1]].advance)
        return false;
    for (qsizetype i = 0; i + 1 < n; ++i) {
        std::int16_t& pair = pairOf(bytes[i], bytes[i + 1]);
        const std::int16_t seen = pairEntry(x[size_t(i) + 1] - x[size_t(i)]);
        if (pair != UnknownPair && pair != seen)
            m_byPairs = false; // a pair placed otherwise elsewhere: the font is not read by pairs after all
        pair = seen;
    }
    return m_byPairs;
}

bool CaptionShaper::layOut(const QByteArray& text, CaptionLine& line)
{
    const auto whole = [&] {
        line = layOutCaption(m_font, text);
        return false;
    };
    if (!byPairs() || text.isEmpty())
        return whole();
    const auto* bytes = reinterpret_cast<const uchar*>(text.constData());
    const qsizetype n = text.size();
    bool latin = false, unknown = false;
    for (qsizetype i = 0; i < n; ++i) {
        const Char& ch = m_chars[bytes[i]];
        if (!(ch.learned ? ch.simple : learnChar(bytes[i])))
            return whole();
        latin = latin || ch.script == Script::Latin;
        if (i + 1 < n) {
            const std::int16_t pair = pairOf(bytes[i], bytes[i + 1]);
            if (pair == OtherPair)
                return whole();
            unknown = unknown || pair == UnknownPair;
        }
    }
    if (!latin)
        return whole();
    if (unknown) {
        // The caption laid out whole teaches its pairs (the font's tables say a pair is
        // placed alike wherever it stands); a caption that does not, such as one with a
        // ligature, has its unknown pairs laid out one by one to find the one that shapes
        // otherwise.
        whole();
        if (!learnFrom(text, line))
            for (qsizetype i = 0; i + 1 < n; ++i)
                if (pairOf(bytes[i], bytes[i + 1]) == UnknownPair)
                    learnPair(bytes[i], bytes[i + 1]);
        return false;
    }
    QList<quint32> indexes(n);
    QList<QPointF> positions(n);
    std::int64_t x = 0;
    for (qsizetype i = 0; i < n; ++i) {
        indexes[i] = m_chars[bytes[i]].glyph;
        positions[i] = QPointF(qreal(x) / 64, m_ascent);
        x += i + 1 < n ? pairOf(bytes[i], bytes[i + 1]) : m_chars[bytes[i]].advance;
    }
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    line.runs = {run};
    line.valid = true;
    line.advance = qreal(x) / 64;
    line.ascent = m_ascent;
    // A laid-out run's box spans its advance and the line's height.
    line.box = QRectF(0, 0, line.advance, m_ascent + m_descent);
    return true;
}

} // namespace vdm
