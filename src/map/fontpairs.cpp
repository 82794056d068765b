// SPDX-License-Identifier: MIT
#include "map/fontpairs.h"

#include <QRawFont>

#include <algorithm>

namespace vdm {
namespace {

/** Big-endian reads from a font table; a read beyond its end gives 0 and marks it bad. */
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}
    quint16 u16(qint64 at) const
    {
        if (at < 0 || at + 2 > m_bytes.size()) {
            m_bad = true;
            return 0;
        }
        const auto* p = reinterpret_cast<const uchar*>(m_bytes.constData()) + at;
        return quint16(p[0] << 8 | p[1]);
    }
    quint32 u32(qint64 at) const { return quint32(u16(at)) << 16 | u16(at + 2); }
    bool bad() const { return m_bad; }

private:
    const QByteArray& m_bytes;
    mutable bool m_bad = false;
};

/** The glyphs text may hold, looked up by index. */
class GlyphSet {
public:
    explicit GlyphSet(const std::vector<quint32>& glyphs) : m_glyphs(glyphs)
    {
        for (const quint32 g : glyphs) {
            if (g >= m_in.size())
                m_in.resize(size_t(g) + 1, false);
            m_in[g] = true;
        }
    }
    bool holds(quint32 g) const { return g < m_in.size() && m_in[g]; }
    const std::vector<quint32>& glyphs() const { return m_glyphs; }

private:
    std::vector<quint32> m_glyphs;
    std::vector<bool> m_in;
};

/** The glyphs of the coverage table at `at`, in coverage order. */
std::vector<quint32> coverage(const Reader& r, qint64 at)
{
    std::vector<quint32> out;
    const quint16 format = r.u16(at), count = r.u16(at + 2);
    if (format == 1) {
        for (int i = 0; i < count && !r.bad(); ++i)
            out.push_back(r.u16(at + 4 + 2 * i));
    } else if (format == 2) {
        for (int i = 0; i < count && !r.bad(); ++i)
            for (quint32 g = r.u16(at + 4 + 6 * i), end = r.u16(at + 6 + 6 * i); g <= end && !r.bad(); ++g)
                out.push_back(g);
    } else {
        r.u16(-1); // an unknown format: not readable
    }
    return out;
}

bool meets(const Reader& r, qint64 at, const GlyphSet& set)
{
    const std::vector<quint32> glyphs = coverage(r, at);
    return std::any_of(glyphs.begin(), glyphs.end(), [&](quint32 g) { return set.holds(g); });
}

/** The class of `glyph` in the class definition at `at` (0: not listed; `at` below 0: none). */
quint16 classOf(const Reader& r, qint64 at, quint32 glyph)
{
    if (at < 0)
        return 0;
    const quint16 format = r.u16(at);
    if (format == 1) {
        const quint32 start = r.u16(at + 2), count = r.u16(at + 4);
        return glyph >= start && glyph - start < count ? r.u16(at + 6 + 2 * qint64(glyph - start)) : 0;
    }
    if (format == 2) {
        for (int i = 0, n = r.u16(at + 2); i < n && !r.bad(); ++i)
            if (glyph >= r.u16(at + 4 + 6 * i) && glyph <= r.u16(at + 6 + 6 * i))
                return r.u16(at + 8 + 6 * i);
        return 0;
    }
    r.u16(-1);
    return 0;
}

/** The classes the set's glyphs take in the class definition at `at`. */
std::vector<bool> classesOf(const Reader& r, qint64 at, const GlyphSet& set)
{
    std::vector<bool> out(65536, false);
    for (const quint32 g : set.glyphs())
        out[classOf(r, at, g)] = true;
    return out;
}

/** Whether a rule of classes read at `at` (`count` of them) takes only classes in `live`. */
bool allLive(const Reader& r, qint64 at, int count, const std::vector<bool>& live)
{
    for (int i = 0; i < count && !r.bad(); ++i)
        if (!live[r.u16(at + 2 * i)])
            return false;
    return true;
}

bool allMeet(const Reader& r, qint64 base, qint64 offsets, int count, const GlyphSet& set)
{
    for (int i = 0; i < count && !r.bad(); ++i)
        if (!meets(r, base + r.u16(offsets + 2 * i), set))
            return false;
    return true;
}

/**
 * Whether a contextual subtable (`chained`: with glyphs before and after) has a rule that
 * text of the set's glyphs can match. Rules by glyph are taken to match whenever their
 * first glyph can; rules by class or coverage are looked at one by one.
 */
bool contextMayMatch(const Reader& r, qint64 at, bool chained, const GlyphSet& set)
{
    const quint16 format = r.u16(at);
    if (format == 1)
        return meets(r, at + r.u16(at + 2), set);
    if (format == 3) {
        if (!chained)
            return allMeet(r, at, at + 6, r.u16(at + 2), set);
        qint64 p = at + 2;
        for (int part = 0; part < 3; ++part) { // backtrack, input, lookahead
            const int count = r.u16(p);
            if (!allMeet(r, at, p + 2, count, set))
                return false;
            p += 2 + 2 * qint64(count);
        }
        return !r.bad();
    }
    if (format != 2) {
        r.u16(-1);
        return true;
    }
    // A class definition left out puts every glyph in class 0.
    const auto definition = [&](qint64 field) { return r.u16(field) == 0 ? -1 : at + r.u16(field); };
    const std::vector<quint32> first = coverage(r, at + r.u16(at + 2));
    const qint64 inputDef = definition(at + (chained ? 6 : 4));
    const std::vector<bool> input = classesOf(r, inputDef, set);
    const std::vector<bool> before = chained ? classesOf(r, definition(at + 4), set) : input;
    const std::vector<bool> after = chained ? classesOf(r, definition(at + 8), set) : input;
    const qint64 sets = at + (chained ? 10 : 6);
    const int setCount = r.u16(sets);
    for (const quint32 g : first) {
        if (!set.holds(g))
            continue;
        const quint16 c = classOf(r, inputDef, g);
        if (c >= setCount || r.u16(sets + 2 + 2 * c) == 0)
            continue;
        const qint64 ruleSet = at + r.u16(sets + 2 + 2 * c);
        for (int i = 0, n = r.u16(ruleSet); i < n && !r.bad(); ++i) {
            qint64 p = ruleSet + r.u16(ruleSet + 2 + 2 * i);
            if (!chained) {
                if (allLive(r, p + 4, r.u16(p) - 1, input))
                    return true;
                continue;
            }
            const int back = r.u16(p);
            bool live = allLive(r, p + 2, back, before);
            p += 2 + 2 * qint64(back);
            const int in = r.u16(p);
            live = live && allLive(r, p + 2, in - 1, input);
            p += 2 + 2 * qint64(std::max(0, in - 1));
            live = live && allLive(r, p + 2, r.u16(p), after);
            if (live)
                return true;
        }
    }
    return r.bad();
}

enum class Kind { Substitution, Positioning };

/** Reads one subtable of a lookup; false when it may look beyond a pair of the set's glyphs. */
bool subtableByPairs(const Reader& r, Kind kind, int type, qint64 at, const GlyphSet& set, FontPairs& out)
{
    if (kind == Kind::Substitution) {
        switch (type) {
        case 1: // one glyph for another, or for several, or an alternative: each glyph alone
        case 2:
        case 3:
            return true;
        case 4: { // ligatures: those of three or more glyphs are listed by their first two
            const std::vector<quint32> first = coverage(r, at + r.u16(at + 2));
            const int sets = r.u16(at + 4);
            for (int s = 0; s < sets && s < int(first.size()) && !r.bad(); ++s) {
                const qint64 ligSet = at + r.u16(at + 6 + 2 * s);
                for (int i = 0, n = r.u16(ligSet); i < n && !r.bad(); ++i) {
                    const qint64 lig = ligSet + r.u16(ligSet + 2 + 2 * i);
                    if (r.u16(lig + 2) >= 3 && set.holds(first[size_t(s)]) && set.holds(r.u16(lig + 4)))
                        out.longLigatureStarts.emplace_back(first[size_t(s)], r.u16(lig + 4));
                }
            }
            return !r.bad();
        }
        case 5:
            return !contextMayMatch(r, at, false, set);
        case 6:
            return !contextMayMatch(r, at, true, set);
        case 8: { // reverse chained: one coverage each for the glyph and those around it
            if (!meets(r, at + r.u16(at + 2), set))
                return true;
            const int back = r.u16(at + 4);
            const qint64 ahead = at + 6 + 2 * qint64(back);
            return !(allMeet(r, at, at + 6, back, set) && allMeet(r, at, ahead + 2, r.u16(ahead), set));
        }
        default:
            return false;
        }
    }
    switch (type) {
    case 1: // one glyph moved alone
        return true;
    case 2: // a pair: harmless while only the first glyph's values change (else the pair
            // takes its second glyph away from the next pair)
        return r.u16(at + 6) == 0 || !meets(r, at + r.u16(at + 2), set);
    case 3: // cursive attachment chains glyphs along a whole run
    case 4: // marks attach to glyphs before them, however many marks lie between
    case 5:
    case 6:
        return !meets(r, at + r.u16(at + 2), set);
    case 7:
        return !contextMayMatch(r, at, false, set);
    case 8:
        return !contextMayMatch(r, at, true, set);
    default:
        return false;
    }
}

/** Every lookup of a substitution or positioning table, whether each works by pairs. */
bool layoutTableByPairs(const QByteArray& table, Kind kind, const GlyphSet& set, FontPairs& out)
{
    if (table.isEmpty())
        return true;
    const Reader r(table);
    if (r.u16(0) != 1)
        return false;
    const qint64 list = r.u16(8);
    const int extension = kind == Kind::Substitution ? 7 : 9;
    for (int i = 0, n = r.u16(list); i < n && !r.bad(); ++i) {
        const qint64 lookup = list + r.u16(list + 2 + 2 * i);
        const int type = r.u16(lookup);
        for (int s = 0, subtables = r.u16(lookup + 4); s < subtables && !r.bad(); ++s) {
            qint64 at = lookup + r.u16(lookup + 6 + 2 * s);
            int realType = type;
            if (type == extension) {
                realType = r.u16(at + 2);
                at += r.u32(at + 4);
            }
            if (!subtableByPairs(r, kind, realType, at, set, out))
                return false;
        }
    }
    return !r.bad();
}

/** Whether the set holds a glyph the font classes as a mark (lookups may step over marks). */
bool holdsMarks(const QByteArray& gdef, const GlyphSet& set)
{
    if (gdef.isEmpty())
        return false;
    const Reader r(gdef);
    const quint16 classes = r.u16(4);
    if (r.bad())
        return true;
    if (classes == 0)
        return false;
    for (const quint32 g : set.glyphs())
        if (classOf(r, classes, g) == 3)
            return true;
    return r.bad();
}

/** Whether the old kerning table holds only lists of pairs. */
bool kernByPairs(const QByteArray& kern)
{
    if (kern.isEmpty())
        return true;
    const Reader r(kern);
    if (r.u16(0) != 0)
        return false; // the other model's version, with state machines
    qint64 at = 4;
    for (int i = 0, n = r.u16(2); i < n && !r.bad(); ++i) {
        const quint16 length = r.u16(at + 2), coverage = r.u16(at + 4);
        if (coverage >> 8 != 0 || length < 6)
            return false;
        at += length;
    }
    return !r.bad();
}

} // namespace

FontTables FontTables::of(const QRawFont& font)
{
    FontTables t;
    t.gsub = font.fontTable("GSUB");
    t.gpos = font.fontTable("GPOS");
    t.gdef = font.fontTable("GDEF");
    t.kern = font.fontTable("kern");
    for (const char* tag : {"morx", "mort", "kerx", "Silf"})
        t.stateMachines = t.stateMachines || !font.fontTable(tag).isEmpty();
    return t;
}

FontPairs fontPairs(const FontTables& tables, const std::vector<quint32>& glyphs)
{
    const GlyphSet set(glyphs);
    FontPairs out;
    out.byPairs = !tables.stateMachines && !holdsMarks(tables.gdef, set) && kernByPairs(tables.kern)
                  && layoutTableByPairs(tables.gsub, Kind::Substitution, set, out)
                  && layoutTableByPairs(tables.gpos, Kind::Positioning, set, out);
    std::sort(out.longLigatureStarts.begin(), out.longLigatureStarts.end());
    out.longLigatureStarts.erase(std::unique(out.longLigatureStarts.begin(), out.longLigatureStarts.end()),
                                 out.longLigatureStarts.end());
    return out;
}

} // namespace vdm
