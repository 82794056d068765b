// SPDX-License-Identifier: MIT
#include "map/captioncache.h"
#include "map/mappainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace vdm;

namespace {

QImage mask(int w, int h = 10)
{
    QImage m(w, h, QImage::Format_Alpha8);
    m.fill(0);
    return m;
}

/** The footprint of one entry of a 100 x 10 mask with a one-letter text. */
std::int64_t oneEntry()
{
    CaptionCache probe;
    probe.insert("a", mask(100), {});
    return probe.bytes();
}

} // namespace

TEST(CaptionCache, APaintOverBudgetEvictsWhatLiesFurthestFromIt)
{
    // Room for four entries, swept down to three. Each row is one paint: its zoom level,
    // the map point at its centre, the captions it uses (text@x, all at y 0) and what the
    // cache holds once it ends.
    const std::int64_t four = 4 * oneEntry();
    CaptionCache cache(four, four);
    const struct {
        int zoom, centreX;
        std::vector<std::pair<const char*, int>> used;
        const char* left;
    } paints[] = {
        {1, 0, {{"a", 10}, {"f", 5000}}, "af"},
        {3, 0, {{"o", 0}}, "afo"},
        {1, 0, {{"x", 0}, {"y", 0}}, "axy"},                       // another level goes first, then the far one
        {1, 6000, {{"a", 6000}, {"p", 6000}, {"q", 6000}}, "apq"}, // panned: x and y lie far off now
        {1, 0, {{"r", 0}, {"s", 0}, {"t", 0}, {"u", 0}, {"v", 0}}, "rstuv"}, // a paint keeps all it uses
    };
    for (const auto& p : paints) {
        cache.beginPaint(p.zoom, {p.centreX, 0});
        for (const auto& [text, x] : p.used)
            if (!cache.find(text, 1, {x, 0}))
                cache.insert(text, mask(100), {}, 1, {x, 0});
        cache.endPaint();
        std::string left;
        for (const char c : std::string("afoxypqrstuv"))
            if (cache.contains(QByteArray(1, c)))
                left += c;
        EXPECT_EQ(left, p.left) << "paint leaving " << p.left;
        EXPECT_EQ(cache.bytes(), cache.size() * oneEntry());
    }
}

TEST(CaptionCache, AViewOfMoreCaptionsThanItHoldsKeepsThoseAlongItsEdges)
{
    // Room for four, swept down to three: a view 2000 map units wide about 0 has captions
    // at its centre (c), near its edge (e, n), just outside (o) and far off (f).
    const std::int64_t four = 4 * oneEntry();
    const struct {
        QPoint half;
        const char* left;
    } cases[] = {{{}, "cen"}, {{1000, 1000}, "eno"}};
    for (const auto& c : cases) {
        CaptionCache cache(four, four);
        cache.beginPaint(1, {}, c.half);
        for (const auto& [text, x] : {std::pair{"c", 0}, {"e", 950}, {"o", 1100}, {"f", 5000}})
            cache.insert(text, mask(100), {}, 1, {x, 0});
        cache.endPaint();
        ASSERT_EQ(cache.size(), 4);
        cache.beginPaint(1, {}, c.half);
        cache.insert("n", mask(100), {}, 1, {-960, 0});
        cache.endPaint();
        std::string left;
        for (const char t : std::string("cenof"))
            if (cache.contains(QByteArray(1, t)))
                left += t;
        EXPECT_EQ(left, c.left) << "half " << c.half.x();
    }
}

TEST(CaptionCache, CaptionsRenderedAheadGoBeforeThisLevelsAndAfterFurtherLevels)
{
    // Texts of one length, so four entries fill the budget exactly.
    const std::int64_t four = 4 * CaptionCache::footprint("same", mask(100));
    CaptionCache cache(four, four);
    cache.beginPaint(2, {});
    cache.insert("same", mask(100), {});
    cache.endPaint();
    cache.beginPaint(5, {});
    cache.insert("far3", mask(100), {}); // three levels from the last paint
    cache.endPaint();
    cache.insertAhead("next", mask(100), {}, 1, {}, 0, 3);
    cache.beginPaint(2, {});
    cache.insert("new1", mask(100), {});
    cache.insert("new2", mask(100), {});
    cache.endPaint();
    EXPECT_FALSE(cache.contains("far3"));
    EXPECT_FALSE(cache.contains("next"));
    EXPECT_TRUE(cache.contains("same"));
    EXPECT_EQ(cache.size(), 3);
}

TEST(CaptionCache, TheBudgetFollowsTheFullestRecentWholePaintWithinItsCap)
{
    const std::int64_t each = CaptionCache::footprint("c0000", mask(100));
    CaptionCache cache(each, 100 * each);
    EXPECT_EQ(cache.budget(), each);
    constexpr int Recent = CaptionCache::RecentPaints;
    const struct {
        int captions, times;
        bool whole;
        std::int64_t budget; // in entries, after the paints: three times the fullest recent whole paint
    } paints[] = {
        {10, 1, true, 30},
        {2, 1, true, 30},
        {20, 1, true, 60},
        {50, 1, true, 100},         // up to the cap
        {2, Recent - 1, true, 100}, // the crowded paint is still among the recent ones
        {2, 1, true, 6},            // and now it is not: the memory goes back
        {40, 3, false, 6},          // strips of a drag leave the budget as it is
        {1, Recent, true, 3},
        {0, Recent, true, 1}, // never below the floor
    };
    int next = 0;
    for (const auto& p : paints) {
        for (int t = 0; t < p.times; ++t) {
            cache.beginPaint(0, {});
            for (int i = 0; i < p.captions; ++i) {
                const QByteArray text = "c" + QByteArray::number(next++ % 10000).rightJustified(4, '0');
                cache.insert(text, mask(100), {});
                cache.find(text); // used twice, counted once
            }
            EXPECT_EQ(cache.paintBytes(), p.captions * each);
            cache.endPaint(p.whole);
        }
        EXPECT_EQ(cache.budget(), p.budget * each) << p.captions << " x " << p.times;
        if (p.whole) {
            EXPECT_LE(cache.bytes(), cache.budget()) << p.captions << " x " << p.times;
        }
    }
}

TEST(CaptionCache, BeyondTwiceItsCapAnInsertEvictsAtOnceButNeverItself)
{
    // A cap of two entries: an insert beyond four evicts down to three, what this paint
    // has not used first.
    const std::int64_t two = 2 * oneEntry();
    CaptionCache cache(two, two);
    cache.beginPaint(0, {});
    cache.insert("a", mask(100), {});
    cache.insert("b", mask(100), {});
    cache.endPaint();
    cache.beginPaint(0, {});
    const struct {
        const char* text;
        const char* left;
    } steps[] = {{"c", "abc"}, {"d", "abcd"}, {"e", "cde"}, {"f", "cdef"}};
    for (const auto& s : steps) {
        const CaptionCache::Entry& e = cache.insert(s.text, mask(100), {1, 2}, 1, {}, 7);
        EXPECT_EQ(e.offset, QPoint(1, 2)); // drawable right after the insert
        EXPECT_EQ(e.advance, 7);
        std::string left;
        for (const char c : std::string("abcdef"))
            if (cache.contains(QByteArray(1, c)))
                left += c;
        EXPECT_EQ(left, s.left);
    }
    // Only this paint's own are left: they go too, all but the newest.
    cache.insert("g", mask(100), {});
    EXPECT_EQ(cache.size(), 3);
    EXPECT_TRUE(cache.contains("g"));
    cache.clear();
    EXPECT_EQ(cache.size(), 0);
    EXPECT_EQ(cache.bytes(), 0);
}

TEST(CaptionCache, ALimitHoldsTheBudgetBelowItsFloorButNeverTakesThePaintsOwn)
{
    const std::int64_t each = CaptionCache::footprint("c0000", mask(100));
    CaptionCache cache(10 * each, 100 * each);
    const auto paint = [&](int from, int count) {
        cache.beginPaint(0, {});
        for (int i = from; i < from + count; ++i)
            cache.insert("c" + QByteArray::number(i).rightJustified(4, '0'), mask(100), {});
        cache.endPaint();
    };
    paint(0, 20);
    EXPECT_EQ(cache.budget(), 60 * each);
    cache.setLimit(4 * each);
    EXPECT_EQ(cache.budget(), 4 * each); // below the floor it was made with
    // A paint of more than the limit keeps all of its own ...
    paint(100, 12);
    EXPECT_EQ(cache.size(), 12);
    // ... and the next one keeps of the others only what fits in three quarters of the
    // limit beside its own.
    paint(200, 2);
    EXPECT_EQ(cache.bytes(), 3 * each);
    EXPECT_EQ(cache.size(), 3);
    cache.setLimit(0);
    paint(300, 1);
    EXPECT_EQ(cache.size(), 1);
    // Lifted, the budget follows the fullest recent paint again.
    cache.setLimit(INT64_MAX);
    EXPECT_EQ(cache.budget(), 60 * each);
}

TEST(CaptionCache, RoomForTheCaptionsAboutToComeIsMadeFromWhatThisPaintDidNotUse)
{
    const std::int64_t each = CaptionCache::footprint("c0000", mask(100));
    CaptionCache cache(8 * each, 8 * each);
    cache.beginPaint(0, {});
    for (int i = 0; i < 8; ++i)
        cache.insert("c" + QByteArray::number(i).rightJustified(4, '0'), mask(100), {}, 1, {i * 100, 0});
    cache.endPaint();
    // The next paint, centred at the first ones, uses two of them and is about to add
    // five: the room is made from the six it did not use, furthest first.
    cache.beginPaint(0, {});
    ASSERT_NE(cache.find("c0000"), nullptr);
    ASSERT_NE(cache.find("c0001"), nullptr);
    const struct {
        int incoming;     // entries about to come
        std::string left; // of c0000 to c0007, what stays
    } steps[] = {
        {0, "01234567"}, // within the budget: nothing goes
        {1, "0123456"},
        {5, "012"},
        {20, "01"}, // more than the budget: what this paint used still stays
    };
    for (const auto& s : steps) {
        cache.makeRoom(s.incoming * each);
        std::string left;
        for (int i = 0; i < 8; ++i)
            if (cache.contains("c" + QByteArray::number(i).rightJustified(4, '0')))
                left += char('0' + i);
        EXPECT_EQ(left, s.left) << s.incoming;
    }
}

TEST(CaptionCache, APassLetsGoOfWhatOnlyEarlierPassesUsedFurthestFirst)
{
    // Room for four entries. Each row is one pass of a paint centred at x 0 ("o" is the
    // paint's before, at another level): what it uses (text@x, all at y 0) and what the
    // cache holds once it ends.
    const std::int64_t each = oneEntry();
    CaptionCache cache(4 * each, 4 * each);
    cache.beginPaint(2, {});
    cache.insert("o", mask(100), {}, 1, {0, 0});
    cache.endPaint();
    cache.beginPaint(0, {});
    const struct {
        std::vector<std::pair<const char*, int>> used;
        bool last;
        const char* left;
    } passes[] = {
        {{{"a", 100}, {"b", 200}, {"c", 300}}, false, "abco"}, // within the budget: nothing goes
        {{{"c", 300}, {"d", 400}, {"e", 50}}, false, "acde"},  // another level first, then the furthest passed
        {{{"e", 50}, {"f", 1000}, {"g", 10}, {"h", 20}, {"i", 30}}, false, "efghi"}, // the pass keeps all it uses
        {{{"g", 10}}, true, "eghi"}, // after the last pass, its own may go too
    };
    for (const auto& p : passes) {
        cache.beginPass();
        for (const auto& [text, x] : p.used)
            if (!cache.find(text, 1, {x, 0}))
                cache.insert(text, mask(100), {}, 1, {x, 0});
        cache.endPass(p.last);
        std::string left;
        for (const char c : std::string("abcdefghio"))
            if (cache.contains(QByteArray(1, c)))
                left += c;
        EXPECT_EQ(left, p.left) << "pass leaving " << p.left;
        EXPECT_EQ(cache.bytes(), cache.size() * each);
    }
}

TEST(CaptionCache, TheLimitBeyondThePaintShrinksWithAHugeWorld)
{
    const struct {
        std::size_t places;
        std::int64_t limit;
    } rows[] = {
        {0, CaptionCache::MaxBudget},
        {640, CaptionCache::MaxBudget},
        {100000, CaptionCache::MaxBudget}, // the last of the whole budget
        {100001, CaptionCache::MaxBudget * 100000 / 100001},
        {200000, CaptionCache::MaxBudget / 2},
        {1000000, CaptionCache::MaxBudget / 10},
        {10000000, CaptionCache::MaxBudget / 100},
    };
    for (const auto& r : rows)
        EXPECT_EQ(captionLimit(r.places), r.limit) << r.places;
}

TEST(CaptionCache, TheSameTextAtAnotherRatioIsAnotherCaption)
{
    CaptionCache cache;
    cache.insert("Harrowmere", mask(10), {1, 1});
    EXPECT_FALSE(cache.contains("Harrowmere", 2));
    EXPECT_EQ(cache.find("Harrowmere", 2), nullptr);
    cache.insert("Harrowmere", mask(20), {2, 2}, 2);
    EXPECT_EQ(cache.size(), 2);
    ASSERT_NE(cache.find("Harrowmere", 2), nullptr);
    EXPECT_EQ(cache.find("Harrowmere", 2)->ink.width, 20);
    EXPECT_EQ(cache.find("Harrowmere")->ink.width, 10);
    EXPECT_EQ(cache.find("Harrowmere", 1.5), nullptr);
    // Replacing one ratio's caption leaves the other's, counts only the new mask's bytes
    // and tells those that kept a pointer to the old one.
    const std::int64_t before = cache.bytes();
    const std::int64_t replaced = cache.find("Harrowmere", 2)->bytes;
    const std::uint64_t generation = cache.generation();
    cache.insert("Harrowmere", mask(30), {}, 2);
    EXPECT_EQ(cache.size(), 2);
    EXPECT_EQ(cache.find("Harrowmere")->ink.width, 10);
    EXPECT_EQ(cache.find("Harrowmere", 2)->ink.width, 30);
    EXPECT_EQ(cache.bytes(), before - replaced + cache.find("Harrowmere", 2)->bytes);
    EXPECT_GT(cache.generation(), generation);
}

TEST(CaptionCache, APaintOfTwelveThousandCaptionsKeepsThemAllForTheNext)
{
    // 12 000 distinct captions on one panel: more than a cache of 8 192 entries could keep.
    const QImage picture(660, 760, QImage::Format_RGB32);
    const Viewport v = Viewport::showing(picture.size(), 2, {2400, 1600}, 3, {0, 0});
    LocationList locations;
    for (int i = 0; i < 12000; ++i) {
        Location l;
        l.Name = "Caption number " + QByteArray::number(i);
        l.Level = 0;
        const QPoint panel(5 + (i % 120) * 20, 5 + (i / 120) * 16);
        const QPoint m = v.ScreenToMap(panel.x() + v.scrollX() - v.marginX(), panel.y() + v.scrollY() - v.marginY());
        l.X = m.x();
        l.Y = m.y();
        locations.push_back(l);
    }
    Settings s;
    s.ShowText = true;
    s.TextLength = 0;
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    GoHighlight highlight;
    const LocationList none;
    MapPainter painter;
    const MapScene scene{v, picture, locations, none, s, o, highlight};
    const QImage first = painter.paint(scene);
    const qint64 held = painter.cacheBytes();
    EXPECT_GT(held, 12000 * 1000); // every caption is still there (each mask is over 1 000 bytes)
    EXPECT_LE(held, CaptionCache::DefaultBudget);
    EXPECT_TRUE(painter.paint(scene) == first);
    EXPECT_EQ(painter.cacheBytes(), held);
}

TEST(CaptionCache, APackedMaskIsKeptAndCountedAsItsImage)
{
    // Widths that pad an image's rows and one that does not, a mask of other than one
    // byte a pixel, and no ink at all.
    QImage argb(5, 3, QImage::Format_ARGB32_Premultiplied);
    argb.fill(qRgba(0, 0, 0, 0x40));
    QImage pattern(7, 4, QImage::Format_Alpha8);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width(); ++x)
            pattern.scanLine(y)[x] = uchar(x * 31 + y * 7);
    for (const QImage& image : {pattern, mask(8, 2), mask(1, 1), argb, QImage()}) {
        CaptionCache fromImage, fromPacked;
        fromImage.insertAhead("text", image, {1, 2}, 1, {}, 9, 3);
        // Counted as the one-byte-a-pixel image a renderer gives (another format counts
        // its own bytes when inserted as an image).
        const bool alpha = image.isNull() || image.format() == QImage::Format_Alpha8;
        fromPacked.insertAhead("text", CaptionCache::Mask::of(image), {1, 2}, 1, {}, 9, 3);
        if (alpha) {
            EXPECT_EQ(fromPacked.bytes(), fromImage.bytes()) << image.width() << " x " << image.height();
        }
        const CaptionCache::Entry* a = fromImage.find("text");
        const CaptionCache::Entry* b = fromPacked.find("text");
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->ink.width, b->ink.width);
        ASSERT_EQ(a->ink.height, b->ink.height);
        EXPECT_EQ(a->ink.bits == nullptr, image.isNull());
        for (int y = 0; y < a->ink.height; ++y)
            EXPECT_TRUE(std::equal(a->ink.bits + y * a->ink.bytesPerLine,
                                   a->ink.bits + y * a->ink.bytesPerLine + a->ink.width,
                                   b->ink.bits + y * b->ink.bytesPerLine));
        if (image.format() == QImage::Format_Alpha8 && image.width() > 0) {
            EXPECT_EQ(b->ink.bits[b->ink.bytesPerLine * (b->ink.height - 1) + b->ink.width - 1],
                      image.constScanLine(image.height() - 1)[image.width() - 1]);
        }
    }
}

TEST(CaptionCache, EveryCaptionHeldIsFoundThroughRemovalsReusedEntriesAndGrowth)
{
    // Paints of captions drawn from a pool of 3 000 texts, each paint over the budget, so
    // entries go and their places are taken by others while the table grows and empties.
    const std::int64_t each = CaptionCache::footprint("t0000", mask(100));
    CaptionCache cache(200 * each, 200 * each);
    std::vector<QByteArray> texts;
    for (int i = 0; i < 3000; ++i)
        texts.push_back("t" + QByteArray::number(i).rightJustified(4, '0'));
    std::uint32_t seed = 12345;
    const auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int paint = 0; paint < 60; ++paint) {
        cache.beginPaint(int(next() % 3), {int(next() % 1000), 0});
        const int count = 50 + int(next() % 400);
        for (int k = 0; k < count; ++k) {
            const QByteArray& text = texts[next() % texts.size()];
            const QPoint where(int(next() % 1000), 0);
            const int width = 1 + int(qHash(text) % 50); // a mask each text keeps whoever renders it
            if (!cache.find(text, 1, where))
                cache.insert(text, mask(width, 1), {}, 1, where, width);
        }
        cache.endPaint();
        int held = 0;
        std::int64_t bytes = 0;
        for (const QByteArray& text : texts) {
            const CaptionCache::Entry* e = cache.peek(text);
            if (!e)
                continue;
            ++held;
            bytes += e->bytes;
            ASSERT_EQ(e->text, text);
            ASSERT_EQ(e->ink.width, 1 + int(qHash(text) % 50)) << text.constData();
            ASSERT_EQ(e->advance, e->ink.width);
        }
        ASSERT_EQ(held, cache.size()) << "paint " << paint;
        ASSERT_EQ(bytes, cache.bytes()) << "paint " << paint;
        ASSERT_LE(cache.bytes(), cache.budget());
    }
}

TEST(CaptionCache, AnEntryStaysWhereItIsThroughInsertsThatRemoveNothing)
{
    CaptionCache cache;
    cache.beginPaint(0, {});
    const CaptionCache::Entry* kept = &cache.insert("kept", mask(7), {3, 4}, 1, {}, 9);
    const std::uint64_t generation = cache.generation();
    // Thousands more: the table grows several times during the paint.
    for (int i = 0; i < 5000; ++i)
        cache.insert("c" + QByteArray::number(i), mask(1 + i % 20, 1), {}, 1, {}, i);
    EXPECT_EQ(cache.generation(), generation);
    EXPECT_EQ(cache.find("kept"), kept);
    EXPECT_EQ(kept->text, "kept");
    EXPECT_EQ(kept->ink.width, 7);
    EXPECT_EQ(kept->offset, QPoint(3, 4));
    cache.reuse(*kept, {1, 1});
    for (int i = 0; i < 5000; i += 499) {
        const CaptionCache::Entry* e = cache.find("c" + QByteArray::number(i));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->advance, i);
        EXPECT_EQ(e->ink.width, 1 + i % 20);
    }
    cache.endPaint();
    EXPECT_EQ(cache.size(), 5001);
}

TEST(CaptionCache, WhatGoesIsExactlyTheFurthestWhateverTheSizes)
{
    // Captions of very unequal sizes at distinct distances from the centre, the far ones
    // small: what stays is what an eviction in order of distance, one at a time, keeps.
    for (const int seedStart : {1, 7, 99}) {
        std::uint32_t seed = std::uint32_t(seedStart);
        const auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
        struct Held {
            QByteArray text;
            int distance;
            std::int64_t bytes;
        };
        std::vector<Held> held;
        const std::int64_t budget = 40 * CaptionCache::footprint("c000", mask(100));
        CaptionCache cache(budget, 100 * budget); // nothing goes as they are added
        cache.beginPaint(0, {});
        for (int i = 0; i < 300; ++i) {
            const int distance = i * 10 + 1;
            const int width = distance > 2000 ? 1 + int(next() % 10) : 50 + int(next() % 400);
            const QByteArray text = "c" + QByteArray::number(i).rightJustified(3, '0');
            held.push_back({text, distance, cache.insert(text, mask(width), {}, 1, {distance, -distance}).bytes});
        }
        cache.endPaint(false);   // the budget stays as made
        cache.beginPaint(0, {}); // the next paint, of none of them, lets them go
        cache.endPaint(false);
        std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) { return a.distance > b.distance; });
        std::int64_t bytes = 0;
        for (const Held& h : held)
            bytes += h.bytes;
        std::size_t gone = 0;
        while (bytes > budget / 4 * 3)
            bytes -= held[gone++].bytes;
        EXPECT_EQ(cache.bytes(), bytes);
        for (std::size_t i = 0; i < held.size(); ++i)
            EXPECT_EQ(cache.contains(held[i].text), i >= gone) << held[i].text.constData();
    }
}

TEST(CaptionCache, OfTwoCaptionsAsFarOffTheOneUsedLongerAgoGoesFirst)
{
    // Three entries are over a budget of 2.8, and one going leaves them below 3/4 of it.
    const std::int64_t each = oneEntry();
    CaptionCache cache(each * 28 / 10, each * 28 / 10);
    for (const char* text : {"b", "a"}) { // "a" used last
        cache.beginPaint(0, {});
        if (!cache.find(text, 1, {50, 0}))
            cache.insert(text, mask(100), {}, 1, {50, 0});
        cache.endPaint();
    }
    cache.beginPaint(0, {});
    cache.insert("c", mask(100), {});
    cache.endPaint();
    EXPECT_TRUE(cache.contains("a"));
    EXPECT_FALSE(cache.contains("b"));
}

TEST(CaptionCache, AMaskMadeFromRowsLetGoOfIsBlank)
{
    // Rows let go of are taken again by the next mask of about their size, from the shelf
    // or through a renderer's stash: each must come without the ink of the one before,
    // whatever thread let go of it.
    const struct {
        int width, height;
    } sizes[] = {{1, 1}, {10, 10}, {12, 9}, {63, 1}, {64, 1}, {65, 1}, {200, 40}, {300, 60}};
    for (const bool stashed : {false, true}) {
        CaptionCache::MaskStash stash;
        const auto blank = [&](int width, int height) {
            return stashed ? stash.blank(width, height) : CaptionCache::Mask::blank(width, height);
        };
        for (int round = 0; round < 3; ++round)
            for (const auto& s : sizes) {
                CaptionCache::Mask inked = blank(s.width, s.height);
                ASSERT_NE(inked.pixels, nullptr);
                std::fill_n(inked.pixels.get(), s.width * s.height, uchar(0xFF));
                std::thread([m = std::move(inked)]() mutable { m.pixels.reset(); }).join();
                const CaptionCache::Mask again = blank(s.width, s.height);
                EXPECT_EQ(again.width, s.width);
                EXPECT_EQ(again.height, s.height);
                EXPECT_TRUE(std::all_of(again.pixels.get(), again.pixels.get() + s.width * s.height,
                                        [](uchar c) { return c == 0; }))
                    << s.width << " x " << s.height << (stashed ? " stashed" : "");
            }
    }
}

TEST(CaptionCache, TwoStashesNeverHandOutTheSameRows)
{
    // Two renderers take rows from the shelf a few at a time on two threads, while the
    // rows of masks let go of come back: no rows may go to two masks at once.
    constexpr int Masks = 3000;
    for (int round = 0; round < 2; ++round) {
        std::vector<CaptionCache::Mask> made[2];
        std::vector<std::thread> threads;
        for (int t = 0; t < 2; ++t) {
            threads.emplace_back([&made, t] {
                CaptionCache::MaskStash stash;
                for (int i = 0; i < Masks; ++i) {
                    CaptionCache::Mask m = stash.blank(8 + i % 40, 3 + i % 7);
                    std::fill_n(m.pixels.get(), m.width * m.height, uchar(t + 1));
                    made[t].push_back(std::move(m));
                    if (i % 3 == 0)
                        made[t][std::size_t(i / 2)].pixels.reset(); // back to the shelf meanwhile
                }
            });
        }
        for (std::thread& th : threads)
            th.join();
        for (int t = 0; t < 2; ++t) {
            for (const CaptionCache::Mask& m : made[t]) {
                if (m.pixels) {
                    ASSERT_TRUE(std::all_of(m.pixels.get(), m.pixels.get() + m.width * m.height,
                                            [t](uchar c) { return c == uchar(t + 1); }));
                }
            }
        }
    }
}
