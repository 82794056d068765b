// SPDX-License-Identifier: MIT
#include "map/captioncache.h"
#include "map/mappainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

TEST(CaptionCache, EvictsTheLeastRecentlyUsedOneByOneToStayWithinBudget)
{
    // Room for three entries; each row is a step and the texts left afterwards, newest first.
    CaptionCache cache(3 * oneEntry());
    const struct {
        char op; // 'i' insert, 'f' find
        const char* text;
        const char* left;
    } steps[] = {
        {'i', "a", "a"},      {'i', "b", "ba"},     {'i', "c", "cba"}, {'i', "d", "dcb"},
        {'f', "b", "bdc"},    {'i', "e", "ebd"},    {'f', "x", "ebd"}, {'f', "d", "deb"},
        {'i', "b", "bde"}, // a caption made again replaces its old copy
    };
    for (const auto& s : steps) {
        if (s.op == 'i')
            cache.insert(s.text, mask(100), {1, 2});
        else
            cache.find(s.text);
        std::string left;
        for (const char c : std::string("abcdex"))
            if (cache.contains(QByteArray(1, c)))
                left += c;
        std::string expected = s.left;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(left, expected) << s.op << " " << s.text;
        EXPECT_LE(cache.bytes(), cache.budget());
        EXPECT_EQ(cache.bytes(), cache.size() * oneEntry());
    }
    const CaptionCache::Entry* d = cache.find("d");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->offset, QPoint(1, 2));
}

TEST(CaptionCache, ACaptionLargerThanTheBudgetStaysUntilTheNextOne)
{
    CaptionCache cache(oneEntry());
    cache.insert("small", mask(10), {});
    const CaptionCache::Entry& big = cache.insert("big", mask(1000), {});
    EXPECT_EQ(big.mask.width(), 1000); // still drawable right after the insert
    EXPECT_EQ(cache.size(), 1);
    EXPECT_TRUE(cache.contains("big"));
    cache.insert("next", mask(10), {});
    EXPECT_FALSE(cache.contains("big"));
    cache.clear();
    EXPECT_EQ(cache.size(), 0);
    EXPECT_EQ(cache.bytes(), 0);
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
    EXPECT_EQ(cache.find("Harrowmere", 2)->mask.width(), 20);
    EXPECT_EQ(cache.find("Harrowmere")->mask.width(), 10);
    EXPECT_EQ(cache.find("Harrowmere", 1.5), nullptr);
    // Replacing one ratio's caption leaves the other's.
    cache.insert("Harrowmere", mask(30), {}, 2);
    EXPECT_EQ(cache.size(), 2);
    EXPECT_EQ(cache.find("Harrowmere")->mask.width(), 10);
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
