// SPDX-License-Identifier: MIT
#include "common/testutils.h"
#include "data/locationsdb.h"
#include "data/markersdb.h"
#include "data/settings.h"
#include "map/captionrender.h"
#include "map/captionshape.h"
#include "map/fontpairs.h"
#include "map/mappainter.h"
#include "worldgen/worldgen.h"

#include <QDir>
#include <QHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <thread>

using namespace vdm;

namespace {

/** Glyphs, positions, advance, ascent and box exactly alike (Qt compares points and rectangles fuzzily). */
void expectSameLine(const CaptionLine& shaped, const CaptionLine& laid, const QString& what)
{
    ASSERT_EQ(shaped.valid, laid.valid) << qPrintable(what);
    EXPECT_EQ(shaped.advance, laid.advance) << qPrintable(what);
    EXPECT_EQ(shaped.ascent, laid.ascent) << qPrintable(what);
    EXPECT_TRUE(shaped.box.x() == laid.box.x() && shaped.box.y() == laid.box.y()
                && shaped.box.width() == laid.box.width() && shaped.box.height() == laid.box.height())
        << qPrintable(what);
    ASSERT_EQ(shaped.runs.size(), laid.runs.size()) << qPrintable(what);
    for (qsizetype r = 0; r < laid.runs.size(); ++r) {
        EXPECT_TRUE(shaped.runs[r].rawFont() == laid.runs[r].rawFont()) << qPrintable(what);
        EXPECT_EQ(shaped.runs[r].glyphIndexes(), laid.runs[r].glyphIndexes()) << qPrintable(what);
        const QList<QPointF> a = shaped.runs[r].positions(), b = laid.runs[r].positions();
        ASSERT_EQ(a.size(), b.size()) << qPrintable(what);
        for (qsizetype i = 0; i < a.size(); ++i)
            EXPECT_TRUE(a[i].x() == b[i].x() && a[i].y() == b[i].y()) << qPrintable(what) << " glyph " << i;
    }
}

/**
 * Lays every text out both ways, twice (the first time teaches the shaper most pairs);
 * returns how many were put together from pairs the second time. Every other text is
 * put together as glyphs alone (no glyph run), whose run is then made from them.
 */
int compareAll(const QFont& font, const QList<QByteArray>& texts)
{
    CaptionShaper shaper(font);
    int fromPairs = 0;
    for (const int round : {0, 1}) {
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const QByteArray& text = texts[i];
            CaptionLine line;
            CaptionGlyphs glyphs;
            const bool asGlyphs = i % 2 == 1;
            const bool put = asGlyphs ? shaper.layOut(text, line, glyphs) : shaper.layOut(text, line);
            if (put && asGlyphs) {
                EXPECT_TRUE(line.runs.isEmpty()) << text.constData();
                EXPECT_EQ(glyphs.indexes.size(), size_t(text.size())) << text.constData();
                EXPECT_EQ(glyphs.x64.size(), size_t(text.size())) << text.constData();
                line.runs = {shaper.runOf(glyphs)};
            }
            fromPairs += round * put;
            expectSameLine(line, layOutCaption(font, text), font.key() + " \"" + QString::fromLatin1(text) + "\"");
            if (::testing::Test::HasFailure())
                return fromPairs; // one text's details are enough
        }
    }
    return fromPairs;
}

QFont mapFont()
{
    return DrawingObjects::fromSettings(Settings{}).MapFont;
}

/** The fonts every other caption test uses too, and the map's own. */
QList<QFont> captionFonts()
{
    QFont unkerned(QStringLiteral("Sans"), 9);
    unkerned.setKerning(false);
    return QList<QFont>{mapFont()} + test::captionTestFonts() + QList<QFont>{unkerned};
}

/** This machine's fonts read pair by pair; elsewhere the comparisons still hold. */
bool expectedByPairs(const QFont& font)
{
    return QRawFont::fromFont(font).familyName().startsWith(QLatin1String("DejaVu"));
}

/** The names of a generated world of `locations` places and of its markers (made once per run). */
QList<QByteArray> worldTexts(int locations)
{
    static std::map<int, QList<QByteArray>> made;
    if (const auto it = made.find(locations); it != made.end())
        return it->second;
    QTemporaryDir dir;
    worldgen::Options o;
    o.locations = locations;
    o.pictures = false;
    o.readmes = false;
    o.userData = true;
    worldgen::generate(dir.path(), o);
    LocationList places, markers;
    readLocationsFile(QDir(dir.path()).filePath(QStringLiteral("vdmain.gdb")), places);
    QFile file(QDir(dir.path()).filePath(QStringLiteral("markers.gdb")));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    readMarkers(file.readAll(), markers);
    QList<QByteArray> texts;
    for (const LocationList* list : {&places, &markers})
        for (const Location& l : *list)
            texts.push_back(l.Name);
    return made[locations] = texts;
}

} // namespace

TEST(CaptionShape, GeneratedWorldsNamesAsTheTextLayoutPlacesThem)
{
    // The sample world and the 100 000-place one, their markers, and names cut short
    // as the caption length cuts them.
    QList<QByteArray> texts = worldTexts(640) + worldTexts(100000);
    for (qsizetype i = 0; i < texts.size(); i += 50)
        texts.push_back(texts[i].left(6) + "...");
    const QFont font = mapFont();
    const int fromPairs = compareAll(font, texts);
    if (expectedByPairs(font)) {
        EXPECT_GT(fromPairs, texts.size() * 9 / 10);
    }
    // The other fonts over the sample world.
    const QList<QByteArray> sample = worldTexts(640);
    for (const QFont& f : captionFonts().mid(1)) {
        const int n = compareAll(f, sample);
        if (expectedByPairs(f)) {
            EXPECT_GT(n, sample.size() * 9 / 10) << qPrintable(f.key());
        }
    }
}

TEST(CaptionShape, AdvancesMeasuredAsRenderingGivesThem)
{
    // Deciding where a caption fits takes its advance without rendering it: over every
    // name of the 100 000-place world and its markers, cut short as the caption lengths
    // cut them, and the hard cases, the advance must be the rendered caption's, while the
    // renderer is still learning and once it has learned. Rendering whole is the reference.
    QList<QByteArray> texts = worldTexts(100000);
    for (qsizetype i = 0, n = texts.size(); i < n; i += 7)
        texts.push_back(texts[i].left(10) + "...");
    texts += {"",
              "x",
              "   ",
              "ffi office",
              "AVAWAY To",
              "ab\xad"
              "cd",
              "\x80\x85",
              "(3)",
              "a\tb"};
    const CaptionFont font(mapFont());
    CaptionRenderer measuring(font);
    QHash<QByteArray, int> rendered;
    for (const QByteArray& text : texts)
        if (!rendered.contains(text))
            rendered.insert(text, renderCaption(font, text, 1).advance);
    for (const int round : {0, 1}) {
        SCOPED_TRACE(round);
        for (const QByteArray& text : texts) {
            ASSERT_EQ(measuring.advance(text), rendered.value(text)) << text.constData();
        }
    }
    // Measuring in between renders changes nothing a render gives.
    CaptionRenderer mixed(font);
    for (qsizetype i = 0; i < texts.size(); i += 97) {
        const QByteArray& text = texts[i];
        ASSERT_EQ(mixed.advance(text), rendered.value(text)) << text.constData();
        for (const qreal ratio : {1.0, 2.0}) {
            const RenderedCaption r = mixed.render(text, ratio), whole = renderCaption(font, text, ratio);
            EXPECT_EQ(r.advance, whole.advance) << text.constData();
            EXPECT_EQ(r.offset, whole.offset) << text.constData();
            EXPECT_TRUE(r.mask == whole.mask) << text.constData();
        }
    }
}

TEST(CaptionShape, HardCasesAsTheTextLayoutPlacesThem)
{
    // Kerned pairs, ligatures of two and three letters, the code page's accents and
    // symbols, every byte alone and between letters, no text, one letter, spaces before,
    // after and alone, text without a Latin letter, a soft hyphen, controls.
    QList<QByteArray> texts = {"AVAWAY To Ty LT P. F, r.",
                               "ffi ffl fi fl office baffle fjord",
                               "W\xe9st \xc6gir \xd8re \xdf\xe6\xf8 \xc0\xc1\xc2\xc3\xc4\xc5 \xe0\xe1\xe2\xe3\xe4\xe5",
                               "\x80 \x85 \x8a\x8c\x8e\x9a\x9c\x9e\x9f \x91quoted\x92 \x93x\x94 \x96\x97",
                               "",
                               "x",
                               "I",
                               "   ",
                               "  lead",
                               "trail  ",
                               "a  b",
                               "1-2",
                               "...",
                               "12 Ulm",
                               "(3)",
                               "ab\xad"
                               "cd",
                               "a\tb",
                               "a\xa0"
                               "b",
                               "Tarnw...",
                               "L'Arc-d'\xc9t\xe9",
                               "\xb5m \xaa\xba \xa9\xae\x99"};
    for (int c = 1; c < 256; ++c) {
        texts.push_back(QByteArray(1, char(c)));
        texts.push_back("a" + QByteArray(1, char(c)) + "V");
        texts.push_back(QByteArray(1, char(c)) + QByteArray(1, char(c)) + ".");
    }
    for (const QFont& f : captionFonts()) {
        const int n = compareAll(f, texts);
        if (expectedByPairs(f)) {
            EXPECT_GT(n, texts.size() / 2) << qPrintable(f.key());
        }
    }
    QFont capitals(QStringLiteral("Sans"), 9);
    capitals.setCapitalization(QFont::SmallCaps);
    EXPECT_EQ(compareAll(capitals, texts), 0); // cased runs: always laid out whole
    EXPECT_FALSE(CaptionShaper(capitals).byPairs());
}

TEST(CaptionShape, MadeOnOneThreadUsedOnAnother)
{
    // The painter makes its helper's renderer; the helper lays its captions out. The
    // shaper's font must meet its engines on the helper's thread, or no run matches.
    const QFont font = mapFont();
    auto shaper = std::make_unique<CaptionShaper>(font);
    bool put = false;
    std::thread helper([&] {
        CaptionLine line;
        shaper->layOut("Dravdravelsk", line);
        put = shaper->layOut("Dravdravelsk", line);
    });
    helper.join();
    if (expectedByPairs(font)) {
        EXPECT_TRUE(put);
    }
}

TEST(CaptionShape, ShapersOfOneFontShareWhatTheyLearn)
{
    // The painter's helper lays captions out with a copy of the font; sharing what the
    // window's shaper learned, it puts at once together what that one learned, and lays
    // out exactly what the text layout does.
    const QFont font = mapFont();
    QFont copy = font;
    copy.setKerning(!copy.kerning());
    copy.setKerning(font.kerning());
    const QList<QByteArray> texts = worldTexts(640);
    CaptionShaper first(font);
    CaptionLine line;
    for (const QByteArray& text : texts)
        first.layOut(text, line);
    CaptionShaper shared(copy, first.learned()), alone(copy);
    int sharedPut = 0, alonePut = 0;
    for (const QByteArray& text : texts) {
        sharedPut += shared.layOut(text, line);
        expectSameLine(line, layOutCaption(copy, text), QString::fromLatin1(text));
        alonePut += alone.layOut(text, line);
    }
    if (expectedByPairs(font)) {
        EXPECT_GT(sharedPut, texts.size() * 9 / 10);
        EXPECT_GT(sharedPut, alonePut); // the one alone learns as it goes
    }

    // Two threads learning at once into one table, as the painter's two do: every line
    // is the text layout's, each compared on its own thread.
    const QList<QByteArray> many = worldTexts(100000).mid(0, 4000);
    CaptionShaper a(font), b(copy, a.learned());
    std::atomic<int> wrong{0}, put{0};
    const auto run = [&](CaptionShaper& shaper, const QFont& f, bool backwards) {
        CaptionLine l;
        for (qsizetype k = 0; k < many.size(); ++k) {
            const QByteArray& text = many[backwards ? many.size() - 1 - k : k];
            put += shaper.layOut(text, l);
            const CaptionLine want = layOutCaption(f, text);
            bool same = l.valid == want.valid && l.advance == want.advance && l.runs.size() == want.runs.size();
            for (qsizetype r = 0; same && r < want.runs.size(); ++r) {
                const QList<QPointF> p = l.runs[r].positions(), q = want.runs[r].positions();
                same = l.runs[r].glyphIndexes() == want.runs[r].glyphIndexes() && p.size() == q.size();
                for (qsizetype i = 0; same && i < p.size(); ++i)
                    same = p[i].x() == q[i].x() && p[i].y() == q[i].y(); // exactly, not as Qt compares points
            }
            wrong += !same;
        }
    };
    std::thread one([&] { run(a, font, false); });
    std::thread two([&] { run(b, copy, true); });
    one.join();
    two.join();
    EXPECT_EQ(wrong.load(), 0);
    if (expectedByPairs(font)) {
        EXPECT_GT(put.load(), many.size() * 2 * 9 / 10);
    }
}

namespace {

/** A font table written by hand, big-endian, with offsets filled in afterwards. */
struct TableBytes {
    QByteArray bytes;
    int u16(int v)
    {
        bytes.append(char(v >> 8)).append(char(v & 0xff));
        return int(bytes.size()) - 2;
    }
    /** Several fields in a row. */
    void u16s(std::initializer_list<int> values)
    {
        for (const int v : values)
            u16(v);
    }
    void u32(quint32 v)
    {
        u16(int(v >> 16));
        u16(int(v & 0xffff));
    }
    void set(int at, int v)
    {
        bytes[at] = char(v >> 8);
        bytes[at + 1] = char(v & 0xff);
    }
    int here() const { return int(bytes.size()); }
};

/** A coverage of single glyphs at the end of `t`. */
int coverage(TableBytes& t, std::initializer_list<int> glyphs)
{
    const int at = t.here();
    t.u16(1);
    t.u16(int(glyphs.size()));
    for (const int g : glyphs)
        t.u16(g);
    return at;
}

/**
 * A substitution or positioning table of one lookup of `type` with one subtable that
 * `body` writes (given the subtable's start), optionally behind an extension subtable.
 */
QByteArray layoutTable(int type, const std::function<void(TableBytes&, int)>& body, int extension = 0)
{
    TableBytes t;
    t.u16s({1, 0, 0, 0}); // no scripts, no features
    const int lookupList = t.u16(0);
    t.set(lookupList, t.here());
    const int listAt = t.here();
    t.u16(1);
    const int lookupOffset = t.u16(0);
    const int lookup = t.here();
    t.set(lookupOffset, lookup - listAt);
    t.u16(extension ? extension : type);
    t.u16(0);
    t.u16(1);
    const int subOffset = t.u16(0);
    int sub = t.here();
    t.set(subOffset, sub - lookup);
    if (extension) {
        t.u16(1);
        t.u16(type);
        t.u32(8);
        sub = t.here();
    }
    body(t, sub);
    return t.bytes;
}

/** A chained context subtable by coverage: one coverage before, at and after the glyph. */
void chainedByCoverage(TableBytes& t, int sub, int before, int at, int after)
{
    t.u16(3);
    t.u16(1);
    const int b = t.u16(0);
    t.u16(1);
    const int i = t.u16(0);
    t.u16(1);
    const int a = t.u16(0);
    t.u16(0); // no nested lookups
    t.set(b, coverage(t, {before}) - sub);
    t.set(i, coverage(t, {at}) - sub);
    t.set(a, coverage(t, {after}) - sub);
}

/** A ligature subtable: first glyph `first`, then the others of each ligature. */
void ligatures(TableBytes& t, int sub, int first, const QList<QList<int>>& rest)
{
    t.u16(1);
    const int cov = t.u16(0);
    t.u16(1);
    const int setOffset = t.u16(0);
    const int set = t.here();
    t.set(setOffset, set - sub);
    t.u16(int(rest.size()));
    QList<int> offsets;
    for (qsizetype i = 0; i < rest.size(); ++i)
        offsets.push_back(t.u16(0));
    for (qsizetype i = 0; i < rest.size(); ++i) {
        t.set(offsets[i], t.here() - set);
        t.u16(500 + int(i));
        t.u16(int(rest[i].size()) + 1);
        for (const int g : rest[i])
            t.u16(g);
    }
    t.set(cov, coverage(t, {first}) - sub);
}

} // namespace

TEST(FontPairs, RulesBeyondAPairOfTheTextsGlyphsAreFound)
{
    const std::vector<quint32> text = {10, 11, 12, 13};
    const auto pairPositions = [](int second) {
        return [second](TableBytes& t, int sub) {
            t.u16(1);
            const int cov = t.u16(0);
            t.u16(4); // the first glyph's advance
            t.u16(second);
            t.u16(0); // no pair sets
            t.set(cov, coverage(t, {10}) - sub);
        };
    };
    const struct {
        const char* what;
        FontTables tables;
        bool byPairs;
    } cases[] = {
        {"no tables", {}, true},
        {"a context on the text's glyphs",
         {layoutTable(6, [](TableBytes& t, int s) { chainedByCoverage(t, s, 10, 11, 12); }), {}, {}, {}},
         false},
        {"a context that needs another glyph",
         {layoutTable(6, [](TableBytes& t, int s) { chainedByCoverage(t, s, 10, 11, 99); }), {}, {}, {}},
         true},
        {"a context behind an extension",
         {layoutTable(
              6, [](TableBytes& t, int s) { chainedByCoverage(t, s, 10, 11, 12); }, 7),
          {},
          {},
          {}},
         false},
        {"kerning of the first glyph", {{}, layoutTable(2, pairPositions(0)), {}, {}}, true},
        {"a pair moving its second glyph", {{}, layoutTable(2, pairPositions(4)), {}, {}}, false},
        {"a context in positioning",
         {{}, layoutTable(8, [](TableBytes& t, int s) { chainedByCoverage(t, s, 13, 12, 11); }), {}, {}},
         false},
        {"cut short",
         {layoutTable(6, [](TableBytes& t, int s) { chainedByCoverage(t, s, 10, 11, 12); }).left(30), {}, {}, {}},
         false},
        {"a table of another model", {{}, {}, {}, {}, true}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fontPairs(c.tables, text).byPairs, c.byPairs) << c.what;

    // Ligatures of two glyphs shape as a pair; longer ones are listed by their first two.
    FontTables ligated;
    ligated.gsub = layoutTable(4, [](TableBytes& t, int s) { ligatures(t, s, 10, {{11, 12}, {11}, {13, 99}}); });
    const FontPairs pairs = fontPairs(ligated, text);
    EXPECT_TRUE(pairs.byPairs);
    EXPECT_EQ(pairs.longLigatureStarts, (std::vector<std::pair<quint32, quint32>>{{10, 11}, {10, 13}}));

    // Marks are stepped over by the rules that look for the next glyph.
    TableBytes gdef;
    gdef.u16s({1, 0, 6});
    gdef.u16s({1, 12, 1, 3}); // classes by a list from glyph 12
    FontTables marked;
    marked.gdef = gdef.bytes;
    EXPECT_FALSE(fontPairs(marked, text).byPairs);
    EXPECT_TRUE(fontPairs(marked, {10, 11}).byPairs);

    // The old kerning table: lists of pairs only.
    TableBytes kern;
    kern.u16s({0, 1, 0, 6, 0x0001});
    FontTables listed;
    listed.kern = kern.bytes;
    EXPECT_TRUE(fontPairs(listed, text).byPairs);
    kern.set(8, 0x0201); // a class table
    listed.kern = kern.bytes;
    EXPECT_FALSE(fontPairs(listed, text).byPairs);
}
