// SPDX-License-Identifier: MIT
#include "map/captionshape.h"

#include "data/codepage.h"
#include "map/fontpairs.h"

#include <QTextLayout>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>

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

struct CaptionShaper::Learned {
    explicit Learned(const QString& key) : fontKey(key), pairs(new std::atomic<std::int16_t>[256 * 256])
    {
        for (size_t i = 0; i < 256 * 256; ++i)
            pairs[i].store(UnknownPair, std::memory_order_relaxed);
        for (std::atomic<std::uint8_t>& start : starts)
            start.store(std::uint8_t(Start::Unknown), std::memory_order_relaxed);
        for (std::atomic<std::int32_t>& end : ends)
            end.store(Unknown, std::memory_order_relaxed);
    }
    const QString fontKey;
    // By first x 256 + second: the second's x from the first's, in 64ths (sixteen bits keep
    // the rows of a caption's letters in the processor's nearest cache).
    std::unique_ptr<std::atomic<std::int16_t>[]> pairs;
    std::array<std::atomic<std::uint8_t>, 256> starts;
    std::array<std::atomic<std::int32_t>, 256> ends;
    std::atomic<bool> contradicted{false};
};

std::shared_ptr<CaptionShaper::Learned> CaptionShaper::copyOf(const Learned& learned)
{
    auto copy = std::make_shared<Learned>(learned.fontKey);
    for (size_t i = 0; i < 256 * 256; ++i)
        copy->pairs[i].store(learned.pairs[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
    for (size_t c = 0; c < 256; ++c) {
        copy->starts[c].store(learned.starts[c].load(std::memory_order_relaxed), std::memory_order_relaxed);
        copy->ends[c].store(learned.ends[c].load(std::memory_order_relaxed), std::memory_order_relaxed);
    }
    copy->contradicted.store(learned.contradicted.load(std::memory_order_relaxed), std::memory_order_relaxed);
    return copy;
}

CaptionShaper::CaptionShaper(const QFont& font, std::shared_ptr<Learned> learned)
    : m_font(font),
      m_learned(learned && learned->fontKey == font.key() ? std::move(learned) : std::make_shared<Learned>(font.key()))
{}

namespace {

/** Sets `entry` to `v` if it is still `unknown`: what is known never changes. */
template <typename T> void learn(std::atomic<T>& entry, T unknown, T v)
{
    entry.compare_exchange_strong(unknown, v, std::memory_order_relaxed);
}

} // namespace

std::int16_t CaptionShaper::pairOf(uchar a, uchar b) const
{
    return m_learned->pairs[size_t(a) * 256 + b].load(std::memory_order_relaxed);
}

void CaptionShaper::setPair(uchar a, uchar b, std::int16_t v)
{
    learn(m_learned->pairs[size_t(a) * 256 + b], UnknownPair, v);
}

CaptionShaper::Start CaptionShaper::startOf(uchar c) const
{
    return Start(m_learned->starts[c].load(std::memory_order_relaxed));
}

void CaptionShaper::setStart(uchar c, Start v)
{
    learn(m_learned->starts[c], std::uint8_t(Start::Unknown), std::uint8_t(v));
}

std::int32_t CaptionShaper::endOf(uchar c) const
{
    return m_learned->ends[c].load(std::memory_order_relaxed);
}

void CaptionShaper::setEnd(uchar c, std::int32_t v)
{
    learn(m_learned->ends[c], Unknown, v);
}

void CaptionShaper::contradicted()
{
    m_byPairs = false;
    m_learned->contradicted.store(true, std::memory_order_relaxed);
}

bool CaptionShaper::usable() const
{
    return m_byPairs && !m_learned->contradicted.load(std::memory_order_relaxed);
}

bool CaptionShaper::byPairs()
{
    if (!m_prepared)
        prepare();
    return usable();
}

namespace {

/** What a font's tables and code page allow, the same for every shaper of the font. */
struct FontReading {
    bool byPairs = false;
    std::array<quint32, 256> glyphs{}; // 0: the character is never put together
    std::array<bool, 256> latin{};
    std::vector<std::pair<uchar, uchar>> longLigatureStarts;
};

FontReading readFont(const QRawFont& raw)
{
    // The characters a caption may be put together from: the code page's letters, marks,
    // digits, punctuation, symbols and spaces (no controls, no soft hyphen: it shows only
    // at the end of a line). Every one is Latin or common to all scripts, and a text with
    // a Latin letter is laid out as one Latin run.
    FontReading r;
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
        if (ch.script() != QChar::Script_Latin && ch.script() != QChar::Script_Common)
            continue;
        const QList<quint32> mapped = raw.glyphIndexesForString(decoded);
        if (mapped.size() != 1 || mapped[0] == 0)
            continue;
        r.glyphs[size_t(c)] = mapped[0];
        r.latin[size_t(c)] = ch.script() == QChar::Script_Latin;
        glyphs.push_back(mapped[0]);
    }
    const FontPairs pairs = fontPairs(FontTables::of(raw), glyphs);
    r.byPairs = pairs.byPairs;
    // A pair that may begin a longer ligature is never put together: the third glyph
    // decides.
    for (const auto& [g1, g2] : pairs.longLigatureStarts)
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256 && r.glyphs[size_t(a)] == g1; ++b)
                if (r.glyphs[size_t(b)] == g2)
                    r.longLigatureStarts.emplace_back(uchar(a), uchar(b));
    return r;
}

/** The reading of the font `raw` stands for, read once in the process (it is the same on every thread). */
FontReading readingOf(const QFont& font, const QRawFont& raw)
{
    static std::mutex lock;
    static std::map<QString, FontReading> readings;
    const QString key = font.key() + QLatin1Char('|') + raw.familyName() + QLatin1Char('|') + raw.styleName();
    {
        const std::lock_guard<std::mutex> held(lock);
        if (const auto it = readings.find(key); it != readings.end())
            return it->second;
    }
    FontReading r = readFont(raw);
    const std::lock_guard<std::mutex> held(lock);
    return readings.emplace(key, std::move(r)).first->second;
}

} // namespace

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
    const FontReading reading = readingOf(m_font, m_raw);
    if (!reading.byPairs || !reading.latin[m_anchor])
        return;
    for (int c = 0; c < 256; ++c) {
        Char& ch = m_chars[size_t(c)];
        ch.glyph = reading.glyphs[size_t(c)];
        ch.script = ch.glyph == 0 ? Script::None : reading.latin[size_t(c)] ? Script::Latin : Script::Common;
    }
    for (const auto& [a, b] : reading.longLigatureStarts)
        setPair(a, b, OtherPair);
    m_byPairs = true;
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

bool CaptionShaper::learnFrom(const QByteArray& text, const CaptionLine& line)
{
    const auto* bytes = reinterpret_cast<const uchar*>(text.constData());
    const qsizetype n = text.size();
    if (n == 0 || !sameLine(line, int(n)))
        return false;
    const QList<quint32> indexes = line.runs[0].glyphIndexes();
    const QList<QPointF> positions = line.runs[0].positions();
    // Each glyph the character's own, each place in whole 64ths: then the line is one
    // this shaper could have put together, and what it shows holds wherever its pairs,
    // its first and its last character stand.
    std::vector<std::int32_t> x(size_t(n) + 1);
    for (qsizetype i = 0; i < n; ++i) {
        x[size_t(i)] = sixtyFourths(positions[i].x(), Otherwise);
        if (m_chars[bytes[i]].script == Script::None || indexes[i] != m_chars[bytes[i]].glyph
            || x[size_t(i)] == Otherwise)
            return false;
    }
    x[size_t(n)] = sixtyFourths(line.advance, Otherwise);
    if (x[size_t(n)] == Otherwise)
        return false;
    const uchar first = bytes[0], last = bytes[n - 1];
    const Start start = x[0] == 0 ? Start::AtZero : Start::Otherwise;
    const std::int32_t end = x[size_t(n)] - x[size_t(n) - 1];
    // What contradicts something learned before means the font is not read by pairs after
    // all. A pair known to shape otherwise stays so (another shaper may have found that
    // while this caption was laid out).
    bool agrees = true;
    const Start knownStart = startOf(first);
    const std::int32_t knownEnd = endOf(last);
    agrees = agrees && (knownStart == Start::Unknown || knownStart == start);
    agrees = agrees && (knownEnd == Unknown || knownEnd == end);
    setStart(first, start);
    setEnd(last, end);
    for (qsizetype i = 0; i + 1 < n; ++i) {
        const std::int16_t known = pairOf(bytes[i], bytes[i + 1]);
        const std::int16_t seen = pairEntry(x[size_t(i) + 1] - x[size_t(i)]);
        if (known == OtherPair)
            continue;
        agrees = agrees && (known == UnknownPair || known == seen);
        setPair(bytes[i], bytes[i + 1], seen);
    }
    if (!agrees)
        contradicted();
    return usable();
}

void CaptionShaper::learnPair(uchar a, uchar b)
{
    // The pair alone, or after the anchor when neither is Latin (so the run is Latin as in
    // a caption); what shapes otherwise is never put together.
    const bool latin = m_chars[a].script == Script::Latin || m_chars[b].script == Script::Latin;
    const QByteArray text = (latin ? QByteArray() : QByteArray(1, char(m_anchor))) + char(a) + char(b);
    if (!learnFrom(text, layOutCaption(m_font, text)))
        setPair(a, b, OtherPair); // unless it was learned meanwhile
}

CaptionShaper::Making CaptionShaper::makingOf(const uchar* bytes, qsizetype n)
{
    if (!byPairs() || n == 0)
        return Making::Whole;
    const Start start = startOf(bytes[0]);
    const std::int32_t end = endOf(bytes[n - 1]);
    if (start == Start::Otherwise || end == Otherwise)
        return Making::Whole;
    bool latin = false, unknown = start == Start::Unknown || end == Unknown;
    for (qsizetype i = 0; i < n; ++i) {
        const Char& ch = m_chars[bytes[i]];
        if (ch.script == Script::None)
            return Making::Whole;
        latin = latin || ch.script == Script::Latin;
        if (i + 1 < n) {
            const std::int16_t pair = pairOf(bytes[i], bytes[i + 1]);
            if (pair == OtherPair)
                return Making::Whole;
            unknown = unknown || pair == UnknownPair;
        }
    }
    if (!latin)
        return Making::Whole;
    return unknown ? Making::Learn : Making::Pairs;
}

bool CaptionShaper::layOut(const QByteArray& text, CaptionLine& line)
{
    if (!layOut(text, line, m_glyphs))
        return false;
    line.runs = {runOf(m_glyphs)};
    return true;
}

bool CaptionShaper::layOut(const QByteArray& text, CaptionLine& line, CaptionGlyphs& glyphs)
{
    const auto* bytes = reinterpret_cast<const uchar*>(text.constData());
    const qsizetype n = text.size();
    // Nearly every caption of a crowded paint is put together from pairs known: the
    // checks makingOf makes are made while its glyphs are placed, each pair read once.
    // Anything else is left to makingOf, which decides as before.
    if (n > 0 && byPairs() && startOf(bytes[0]) == Start::AtZero) {
        const std::int32_t end = endOf(bytes[n - 1]);
        glyphs.indexes.resize(size_t(n));
        glyphs.x64.resize(size_t(n));
        std::int64_t x = 0;
        bool latin = false, known = end != Otherwise && end != Unknown;
        for (qsizetype i = 0; i < n && known; ++i) {
            const Char& ch = m_chars[bytes[i]];
            const std::int16_t pair = i + 1 < n ? pairOf(bytes[i], bytes[i + 1]) : 0;
            known = ch.script != Script::None && pair != OtherPair && pair != UnknownPair;
            latin = latin || ch.script == Script::Latin;
            glyphs.indexes[size_t(i)] = ch.glyph;
            glyphs.x64[size_t(i)] = x;
            x += i + 1 < n ? pair : end;
        }
        if (known && latin) {
            lineOfPairs(line, x);
            return true;
        }
    }
    switch (makingOf(bytes, n)) {
    case Making::Whole:
        line = layOutCaption(m_font, text);
        return false;
    case Making::Learn:
        // The caption laid out whole teaches what it shows; one that does not teach
        // (a ligature, say) has its unknown pairs laid out one by one, to find the one that
        // shapes otherwise.
        line = layOutCaption(m_font, text);
        if (!learnFrom(text, line) && usable())
            for (qsizetype i = 0; i + 1 < n; ++i)
                if (pairOf(bytes[i], bytes[i + 1]) == UnknownPair)
                    learnPair(bytes[i], bytes[i + 1]);
        return false;
    case Making::Pairs:
        break;
    }
    glyphs.indexes.resize(size_t(n));
    glyphs.x64.resize(size_t(n));
    std::int64_t x = 0;
    for (qsizetype i = 0; i < n; ++i) {
        glyphs.indexes[size_t(i)] = m_chars[bytes[i]].glyph;
        glyphs.x64[size_t(i)] = x;
        x += stepAfter(bytes, n, i);
    }
    lineOfPairs(line, x);
    return true;
}

void CaptionShaper::lineOfPairs(CaptionLine& line, std::int64_t advance64) const
{
    line.runs.clear();
    line.valid = true;
    line.advance = qreal(advance64) / 64;
    line.ascent = m_ascent;
    // A laid-out run's box spans its advance and the line's height.
    line.box = QRectF(0, 0, line.advance, m_ascent + m_descent);
}

QGlyphRun CaptionShaper::runOf(const CaptionGlyphs& glyphs) const
{
    const qsizetype n = qsizetype(glyphs.indexes.size());
    QList<quint32> indexes(n);
    QList<QPointF> positions(n);
    for (qsizetype i = 0; i < n; ++i) {
        indexes[i] = glyphs.indexes[size_t(i)];
        positions[i] = QPointF(qreal(glyphs.x64[size_t(i)]) / 64, m_ascent);
    }
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    return run;
}

bool CaptionShaper::advance(const QByteArray& text, qreal& advance)
{
    const auto* bytes = reinterpret_cast<const uchar*>(text.constData());
    const qsizetype n = text.size();
    // What makingOf asks of a caption put together from pairs, asked while the steps are
    // summed in the same pass (the overlap plan measures tens of thousands a paint); the
    // same sum layOut makes of the same steps, so the same advance to the bit.
    if (usable() && n > 0) {
        const Char& last = m_chars[bytes[n - 1]];
        const std::int32_t end = endOf(bytes[n - 1]);
        if (startOf(bytes[0]) == Start::AtZero && end != Unknown && end != Otherwise) {
            std::int64_t x = end;
            bool known = last.script != Script::None, latin = last.script == Script::Latin;
            for (qsizetype i = 0; i + 1 < n && known; ++i) {
                const Script script = m_chars[bytes[i]].script;
                const std::int16_t pair = pairOf(bytes[i], bytes[i + 1]);
                known = script != Script::None && pair != UnknownPair && pair != OtherPair;
                latin = latin || script == Script::Latin;
                x += pair;
            }
            if (known && latin) {
                advance = qreal(x) / 64;
                return true;
            }
        }
    }
    layOut(text, m_scratch);
    advance = m_scratch.advance;
    return m_scratch.valid;
}

} // namespace vdm
