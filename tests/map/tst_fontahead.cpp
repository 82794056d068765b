// SPDX-License-Identifier: MIT
// The caption font learned ahead, off the painting threads: the captions picked to learn
// it from, renderers and painters that start from what was learned, and what another
// font's learning leaves alone. Whatever starts from it renders exactly what starts from
// nothing.
#include "common/testutils.h"
#include "map/captionrender.h"
#include "map/captionshape.h"
#include "map/crowdworld.h"
#include "map/fontahead.h"
#include "map/mappainter.h"
#include "data/codepage.h"
#include "worldgen/namegenerator.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <thread>

using namespace vdm;

namespace {

/** The crowd's places named as the world generator names places (a few left without a name, some very long). */
LocationList namedCrowd(int count, quint32 seed)
{
    LocationList places = test::crowd(count, seed);
    worldgen::NameGenerator names(seed, true);
    const QString kinds[] = {QStringLiteral("port"), QStringLiteral("tower"), QStringLiteral("cave"),
                             QStringLiteral("town"), QStringLiteral("ruins")};
    for (size_t i = 0; i < places.size(); ++i)
        if (!places[i].Name.isEmpty() && places[i].Name[0] == 'P')
            places[i].Name = CodePage::encode(names.placeName(kinds[i % 5]));
    return places;
}

/** A named crowd with `markers` markers, indexed, on the big crowd's picture (the markers seeded after the places). */
test::Crowd namedCrowdOnTheMap(int places, quint32 seed, int markers)
{
    test::Crowd c;
    c.locations = namedCrowd(places, seed);
    c.markers = test::markersOf(markers, seed + 6);
    c.index = SpatialIndex(c.locations, c.markers);
    c.picture = test::bigCrowd().picture;
    return c;
}

QFont mapFont()
{
    return DrawingObjects::fromSettings(Settings{}).MapFont;
}

/** What was learned of `font` at `ratio` from `places`, on a thread of its own as the window learns it. */
std::shared_ptr<const LearnedFont> learnedOn(const QFont& font, qreal ratio, const LocationList& places, int limit)
{
    std::shared_ptr<const LearnedFont> learned;
    std::thread t([&] {
        learned = CaptionRenderer::learnAhead(font, ratio, captionsToLearn(places, limit, FontAhead::LookedAt));
    });
    t.join();
    return learned;
}

/** The pairs (first x 256 + second), first characters (+ 65536) and last ones (+ 65792) of captions. */
std::set<int> partsOf(const QByteArray& caption)
{
    std::set<int> parts;
    if (caption.isEmpty())
        return parts;
    const auto* b = reinterpret_cast<const uchar*>(caption.constData());
    parts.insert(65536 + b[0]);
    parts.insert(65536 + 256 + b[caption.size() - 1]);
    for (qsizetype i = 0; i + 1 < caption.size(); ++i)
        parts.insert(b[i] * 256 + b[i + 1]);
    return parts;
}

bool samePacked(const PackedCaption& a, const PackedCaption& b)
{
    if (a.offset != b.offset || a.advance != b.advance || a.mask.width != b.mask.width || a.mask.height != b.mask.height
        || bool(a.mask.pixels) != bool(b.mask.pixels))
        return false;
    return !a.mask.pixels
           || std::memcmp(a.mask.pixels.get(), b.mask.pixels.get(), size_t(a.mask.width) * size_t(a.mask.height)) == 0;
}

} // namespace

TEST(FontAhead, CaptionsToLearnShowEveryPartOfTheCaptionsCut)
{
    const LocationList places = namedCrowd(3000, 5);
    for (const int limit : {0, 6, 1}) {
        const std::vector<QByteArray> picked = captionsToLearn(places, limit, FontAhead::LookedAt);
        std::set<int> wanted, shown;
        for (const Location& l : places) {
            const std::set<int> parts
                = partsOf(limit > 0 && l.Name.size() > limit ? l.Name.left(limit) + "..." : l.Name);
            wanted.insert(parts.begin(), parts.end());
        }
        for (const QByteArray& c : picked) {
            const std::set<int> parts = partsOf(c);
            shown.insert(parts.begin(), parts.end());
        }
        EXPECT_EQ(shown, wanted) << "limit " << limit;
        EXPECT_LT(picked.size(), places.size() / 4) << "limit " << limit;
    }
    // Only the first places are looked at.
    EXPECT_LE(captionsToLearn(places, 0, 10).size(), 10u);
    EXPECT_TRUE(captionsToLearn(places, 0, 0).empty());
}

TEST(FontAhead, RenderersStartingFromItRenderAndLayOutAsTheyWouldAlone)
{
    // Several fonts at both whole ratios: a renderer that starts from what was learned
    // ahead gives every caption's mask, offset and advance byte for byte as one that
    // learned by itself, and its shaper every line's glyphs and positions as the text
    // layout gives them.
    const LocationList places = namedCrowd(4000, 9);
    constexpr int Limit = 12;
    std::vector<QByteArray> captions;
    for (const Location& l : places)
        captions.push_back(l.Name.size() > Limit ? l.Name.left(Limit) + "..." : l.Name);
    QList<QFont> fonts = QList<QFont>{mapFont()} + test::captionTestFonts();
    for (const QFont& font : fonts) {
        for (const qreal ratio : {1.0, 2.0}) {
            const std::shared_ptr<const LearnedFont> learned = learnedOn(font, ratio, places, Limit);
            ASSERT_TRUE(learned);
            EXPECT_EQ(learned->fontKey, font.key());
            const CaptionFont f(font);
            CaptionRenderer alone(f), started(f, nullptr, learned);
            alone.expectMany(true);
            started.expectMany(true);
            bool same = true;
            for (size_t i = 0; i < captions.size() && same; ++i) {
                same = samePacked(started.renderPacked(captions[i], ratio), alone.renderPacked(captions[i], ratio));
                EXPECT_TRUE(same) << qPrintable(font.key()) << " ratio " << ratio << " \"" << captions[i].constData()
                                  << "\"";
                if (i == 0 && learned->glyphCount() > 0) { // the glyphs learned are held from the first caption on
                    EXPECT_GE(started.glyphCount(), learned->glyphCount()) << qPrintable(font.key());
                }
            }
            CaptionShaper shaper(font, CaptionShaper::copyOf(*learned->pairs));
            for (size_t i = 0; i < captions.size(); i += 7) {
                CaptionLine line;
                shaper.layOut(captions[i], line);
                const CaptionLine laid = layOutCaption(font, captions[i]);
                ASSERT_EQ(line.valid, laid.valid) << captions[i].constData();
                EXPECT_EQ(line.advance, laid.advance) << captions[i].constData();
                ASSERT_EQ(line.runs.size(), laid.runs.size()) << captions[i].constData();
                for (qsizetype r = 0; r < laid.runs.size(); ++r) {
                    EXPECT_EQ(line.runs[r].glyphIndexes(), laid.runs[r].glyphIndexes()) << captions[i].constData();
                    const QList<QPointF> a = line.runs[r].positions(), b = laid.runs[r].positions();
                    ASSERT_EQ(a.size(), b.size());
                    for (qsizetype k = 0; k < a.size(); ++k)
                        EXPECT_TRUE(a[k].x() == b[k].x() && a[k].y() == b[k].y()) << captions[i].constData();
                }
            }
        }
    }
    // The map's own font learns glyphs at the whole ratios (this machine's fonts are
    // drawn in grey levels, so every glyph is composed).
    EXPECT_GT(learnedOn(mapFont(), 1, places, Limit)->glyphCount(), 64 * 20);
}

TEST(FontAhead, APainterPaintsTheSameWithTheFontLearnedAheadOrNot)
{
    // A crowded first view, as the window's first paint meets it, at both whole ratios and
    // with several fonts; and a painter handed another font's learning (the options
    // changed the font meanwhile) paints as one handed nothing.
    static const test::Crowd crowd = namedCrowdOnTheMap(100000, 17, 2000);
    Settings s = test::everyOverlay();
    s.TextLength = 9;
    const Viewport v = Viewport::showing(crowd.picture.size(), 2, {640, 400}, 4, {250, 300});
    const QList<QFont> fonts{mapFont(), test::captionTestFonts()[2]};
    for (const QFont& font : fonts) {
        DrawingObjects o = DrawingObjects::fromSettings(s);
        o.MapFont = font;
        for (const qreal ratio : {1.0, 2.0}) {
            GoHighlight h;
            const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
            MapPainter alone, started, another;
            started.startFontFrom(learnedOn(font, ratio, crowd.locations, s.TextLength));
            another.startFontFrom(learnedOn(font == mapFont() ? fonts[1] : mapFont(), ratio, crowd.locations, 0));
            const QImage want = alone.paint(scene, ratio);
            EXPECT_TRUE(started.paint(scene, ratio) == want) << qPrintable(font.key()) << " ratio " << ratio;
            EXPECT_TRUE(another.paint(scene, ratio) == want) << qPrintable(font.key()) << " ratio " << ratio;
            // A step to the next level, as the program's second paint: still the same.
            Viewport next = v;
            next.zoomTo(5, QPoint(320, 200));
            const MapScene step{next, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
            EXPECT_TRUE(started.paint(step, ratio) == alone.paint(step, ratio)) << qPrintable(font.key());
        }
    }
}

TEST(FontAhead, LearnsFromACrowdedWorldOnlyAndOnce)
{
    const auto waitFor = [](FontAhead& ahead) {
        QElapsedTimer t;
        t.start();
        std::shared_ptr<const LearnedFont> got;
        while (!(got = ahead.takeIfDone()) && t.elapsed() < 60000)
            QThread::msleep(5);
        return got;
    };
    {
        // Fewer places than a crowded paint lacks captions: nothing learned, nothing to wait for.
        FontAhead ahead(mapFont(), 0, 1);
        ahead.learnFrom(test::crowd(int(ManyCaptionsFrom) - 1, 2));
        QThread::msleep(20);
        EXPECT_FALSE(ahead.takeIfDone());
    }
    FontAhead ahead(mapFont(), 0, 1);
    std::thread worker([&] { ahead.learnFrom(test::crowd(int(ManyCaptionsFrom), 2)); });
    worker.join();
    ahead.learnFrom(test::crowd(5000, 4)); // once only
    const std::shared_ptr<const LearnedFont> learned = waitFor(ahead);
    ASSERT_TRUE(learned);
    EXPECT_EQ(learned->fontKey, mapFont().key());
    EXPECT_FALSE(ahead.takeIfDone()); // taken once
}

namespace {

/** Waits until the learner's thread is through with the first view's captions (rendered or not). */
void waitForCaptions(const FontAhead& ahead)
{
    QElapsedTimer t;
    t.start();
    while (!ahead.captionsDone() && t.elapsed() < 60000)
        QThread::msleep(2);
}

/** What a FontAhead given `view` learns and renders from `places`, taken once it is done, as the window takes it. */
std::pair<std::shared_ptr<const LearnedFont>, std::unique_ptr<CaptionsAhead>>
renderedAhead(const QFont& font, qreal ratio, const LocationList& places, int limit, const FirstView& view)
{
    FontAhead ahead(font, limit, ratio, view);
    std::thread worker([&] { ahead.learnFrom(places); });
    worker.join();
    waitForCaptions(ahead);
    return {ahead.takeIfDone(), ahead.takeCaptionsIfDone()};
}

/** A crowd of the size the first view's captions are rendered ahead for, named as the generator names places. */
const test::Crowd& namedCrowd20k()
{
    static const test::Crowd crowd = namedCrowdOnTheMap(20000, 31, 300);
    return crowd;
}

} // namespace

TEST(FontAhead, CaptionsOfTheFirstViewAreWhatItsPaintRenders)
{
    // The first view's captions rendered ahead, as the window renders them, for the view
    // the paint shows or another (a panel of the window's size, a scroll, a level, a font
    // or a ratio that changed meanwhile): the paint is byte for byte that of a painter
    // without them, what it takes ends in the cache as if it had rendered it (the same
    // captions and bytes after it and after paints that evict), and what does not match
    // is not used.
    const test::Crowd& crowd = namedCrowd20k();
    static const LocationList noMarkers;
    Settings s = test::everyOverlay();
    s.TextLength = 9;
    constexpr int Level = 4;
    const QPoint scroll(250, 300);
    const QSize panel(640, 400);
    const QFont other = test::captionTestFonts()[2];
    enum class Taken { All, Some, None };
    const struct {
        const char* what;
        FirstView view;
        bool otherFont;
        qreal aheadRatio; // 0: the paint's
        Taken taken;
    } cases[] = {
        {"the view shown", {Level, scroll, panel}, false, 0, Taken::All},
        {"a panel the window's size", {Level, scroll - QPoint(20, 0), panel + QSize(120, 90)}, false, 0, Taken::All},
        {"scrolled since", {Level, scroll + QPoint(320, 150), panel}, false, 0, Taken::Some},
        {"another level", {Level - 1, scroll, panel}, false, 0, Taken::Some},
        {"another font", {Level, scroll, panel}, true, 0, Taken::None},
        {"another ratio", {Level, scroll, panel}, false, 1.5, Taken::None},
    };
    const Viewport v = Viewport::showing(crowd.picture.size(), 2, panel, Level, scroll);
    for (const auto& c : cases) {
        for (const qreal ratio : {1.0, 2.0}) {
            for (const LocationList* markers : {&noMarkers, &crowd.markers}) {
                const std::string what = std::string(c.what) + ", ratio " + std::to_string(int(ratio))
                                         + (markers->empty() ? "" : ", markers");
                DrawingObjects o = DrawingObjects::fromSettings(s);
                auto [learned, captions]
                    = renderedAhead(c.otherFont ? other : o.MapFont, c.aheadRatio > 0 ? c.aheadRatio : ratio,
                                    crowd.locations, s.TextLength, c.view);
                ASSERT_TRUE(learned) << what;
                ASSERT_TRUE(captions) << what;
                EXPECT_GT(captions->size(), 100u) << what;
                GoHighlight h;
                const MapScene scene{v, crowd.picture, crowd.locations, *markers, s, o, h, &crowd.index};
                // A budget small enough that the paints after the first evict.
                constexpr std::int64_t Budget = 2 * 1024 * 1024;
                MapPainter alone, plain(Budget), started(Budget);
                plain.startFontFrom(learned);
                started.startFontFrom(learned);
                started.takeCaptionsAhead(std::move(captions));
                const QImage want = alone.paint(scene, ratio);
                EXPECT_TRUE(plain.paint(scene, ratio) == want) << what;
                EXPECT_TRUE(started.paint(scene, ratio) == want) << what;
                const int taken = started.lastTakenAhead();
                EXPECT_EQ(plain.lastTakenAhead(), 0);
                if (c.taken == Taken::All && markers->empty()) {
                    EXPECT_EQ(taken, started.cachedCaptions()) << what; // it rendered none itself
                }
                if (c.taken == Taken::None) {
                    EXPECT_EQ(taken, 0) << what;
                } else {
                    EXPECT_GT(taken, 0) << what;
                }
                if (c.taken == Taken::Some) {
                    EXPECT_LT(taken, started.cachedCaptions()) << what;
                }
                EXPECT_EQ(started.cachedCaptions(), plain.cachedCaptions()) << what;
                EXPECT_EQ(started.cacheBytes(), plain.cacheBytes()) << what;
                // Then as the window goes on: a step in, a scroll, a step out and a jump,
                // the captions evicted and rendered again alike; none is taken ahead again.
                Viewport next = v;
                using Move = void (*)(Viewport&);
                for (const Move move : {Move([](Viewport& n) {
                                            n.zoomTo(5, {320, 200});
                                        }),
                                        Move([](Viewport& n) {
                                            n.scrollBy({300, 200});
                                        }),
                                        Move([](Viewport& n) {
                                            n.zoomTo(4, {0, 0});
                                        }),
                                        Move([](Viewport& n) {
                                            n.scrollTo({0, 0});
                                        })}) {
                    move(next);
                    const MapScene later{next, crowd.picture, crowd.locations, *markers, s, o, h, &crowd.index};
                    const QImage now = alone.paint(later, ratio);
                    EXPECT_TRUE(started.paint(later, ratio) == now) << what;
                    EXPECT_TRUE(plain.paint(later, ratio) == now) << what;
                    EXPECT_EQ(started.lastTakenAhead(), 0) << what;
                    EXPECT_EQ(started.cachedCaptions(), plain.cachedCaptions()) << what;
                    EXPECT_EQ(started.cacheBytes(), plain.cacheBytes()) << what;
                }
            }
        }
    }
}

TEST(FontAhead, CaptionsOfAFewPlacesAreTakenOneByOne)
{
    // A first view of fewer captions than a paint renders beforehand: the paint takes each
    // as it meets it, and paints what a painter without them paints.
    const test::Crowd& crowd = namedCrowd20k();
    Settings s = test::everyOverlay();
    const QSize panel(90, 70);
    const Viewport v = Viewport::showing(crowd.picture.size(), 2, panel, 1, {200, 300});
    for (const qreal ratio : {1.0, 2.0}) {
        DrawingObjects o = DrawingObjects::fromSettings(s);
        auto [learned, captions]
            = renderedAhead(o.MapFont, ratio, crowd.locations, s.TextLength, FirstView{1, {200, 300}, panel});
        ASSERT_TRUE(captions);
        GoHighlight h;
        const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
        MapPainter alone, started;
        started.startFontFrom(learned);
        started.takeCaptionsAhead(std::move(captions));
        EXPECT_TRUE(started.paint(scene, ratio) == alone.paint(scene, ratio)) << "ratio " << ratio;
        EXPECT_GT(started.lastTakenAhead(), 0) << "ratio " << ratio;
        EXPECT_LT(started.cachedCaptions(), 128) << "ratio " << ratio; // few: not rendered beforehand
        EXPECT_EQ(started.cachedCaptions(), alone.cachedCaptions()) << "ratio " << ratio;
    }
}

TEST(FontAhead, LearnsTheFontButRendersNoCaptionsWhereTheyWouldNotServe)
{
    // A world painted in parts (beyond HugeWorldAbove), a learner given no view, and one
    // stopped by a first paint that came before its captions: none renders the view's
    // captions, and each hands over the whole font.
    const LocationList huge = test::crowd(int(HugeWorldAbove) + 1, 3);
    const FirstView view{4, {250, 300}, {640, 400}};
    const struct {
        const char* what;
        const LocationList& places;
        std::optional<FirstView> view;
        bool stopped;
    } cases[] = {
        {"a world painted in parts", huge, view, false},
        {"no view", namedCrowd20k().locations, std::nullopt, false},
        {"stopped", namedCrowd20k().locations, view, true},
    };
    for (const auto& c : cases) {
        FontAhead ahead(mapFont(), 0, 1, c.view);
        if (c.stopped)
            ahead.stop();
        ahead.learnFrom(c.places);
        waitForCaptions(ahead);
        const std::shared_ptr<const LearnedFont> learned = ahead.takeIfDone();
        ASSERT_TRUE(learned) << c.what;
        EXPECT_GT(learned->glyphCount(), 0) << c.what;
        EXPECT_FALSE(ahead.takeCaptionsIfDone()) << c.what;
    }
}
