// SPDX-License-Identifier: MIT
// A paint of part of the panel gives exactly the pixels a whole paint gives there, and
// leaves every other pixel as it was: the picture's resampling, frames, captions,
// diamonds and route lines all land where they land in the whole paint.
#include "map/captioncache.h"
#include "map/crowdworld.h"
#include "map/framesahead.h"
#include "map/mappainter.h"
#include "map/resampler.h"
#include "data/databasefile.h"
#include "data/locationsdb.h"
#include "data/markersdb.h"
#include "data/routesdb.h"
#include "data/userdb.h"
#include "map/jpegdecoder.h"
#include "worldgen/worldgen.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vdm;
using namespace vdm::test;

namespace {

constexpr QRgb Untouched = 0xFFFF00FFu; // what a clipped paint must not overwrite outside its area

/** The sample world as the generator makes it, read as the program reads it: the full-size picture at map scale 10. */
struct SampleWorld {
    QImage picture;
    LocationList locations, markers;
    SpatialIndex index;
    SampleWorld()
    {
        QTemporaryDir dir;
        worldgen::Options o;
        o.readmes = false;
        o.userData = true;
        worldgen::generate(dir.path(), o);
        const auto file = [&](const char* name) { return readDatabaseFile(dir.filePath(QLatin1String(name))); };
        picture = JpegDecoder::decodeFile(dir.filePath(QStringLiteral("bigmap_hi.jpg")));
        readLocations(file("vdmain.gdb"), locations);
        readRoutes(file("routes.gdb"), locations);
        readUserData(file("user.gdb"), locations);
        readMarkers(file("markers.gdb"), markers);
        index = SpatialIndex(locations, markers);
    }
};

const SampleWorld& sampleWorld()
{
    static const SampleWorld w;
    return w;
}

/** The areas a scroll uncovers and a few harder ones: edges, 1-pixel strips, odd sizes, outside parts. */
std::vector<QRegion> areasOf(QSize panel)
{
    const int W = panel.width(), H = panel.height();
    return {
        QRegion(0, 0, 1, H),                               // 1-pixel strip, left edge
        QRegion(W - 1, 0, 1, H),                           // right edge
        QRegion(0, H - 1, W, 1),                           // bottom edge
        QRegion(0, 0, W, 5) + QRegion(W - 7, 5, 7, H - 5), // a drag's two strips
        QRegion(W - 7, 0, 7, H) + QRegion(0, H - 5, W - 7, 5),
        QRegion(W / 3, H / 4, 37, 23), // odd size inside
        QRegion(W / 2 + 1, 3, 1, 1),   // one pixel
        QRegion(-20, H - 13, 61, 40),  // reaching beyond the panel
    };
}

/** Each area painted into a copy of the whole paint with that area wiped: the same image back. */
void expectClippedPaintsMatch(MapPainter& painter, const MapScene& scene, const QImage& whole, const char* what)
{
    for (const QRegion& area : areasOf(whole.size())) {
        QImage copy = whole.copy();
        for (const QRect& r : area) {
            const QRect in = r & copy.rect();
            for (int y = in.top(); y <= in.bottom(); ++y)
                std::fill_n(reinterpret_cast<QRgb*>(copy.scanLine(y)) + in.left(), in.width(), Untouched);
        }
        painter.paint(copy, scene, area);
        ASSERT_TRUE(copy == whole) << what << " zoom " << scene.view.zoomIndex() << " scroll " << scene.view.scrollX()
                                   << "," << scene.view.scrollY() << " area " << area.boundingRect().x() << ","
                                   << area.boundingRect().y() << " " << area.boundingRect().width() << "x"
                                   << area.boundingRect().height();
    }
}

/** Every level, from the corners, the middle and a random place, with these settings. */
void expectEveryViewMatches(const QImage& picture, int mapScale, const LocationList& locations,
                            const LocationList& markers, const SpatialIndex* index, const Settings& s, QSize panel,
                            const char* what, qreal ratio = 1)
{
    MapPainter painter;
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
        const Viewport base = Viewport::showing(picture.size(), mapScale, panel, zoom);
        const QPoint m = base.scrollMaximum();
        QRandomGenerator rng(quint32(zoom + 7));
        for (const QPoint scroll :
             {QPoint(0, 0), m, QPoint(int(rng.bounded(m.x() + 1)), int(rng.bounded(m.y() + 1)))}) {
            const Viewport v = Viewport::showing(picture.size(), mapScale, panel, zoom, scroll);
            GoHighlight h;
            const MapScene scene{v, picture, locations, markers, s, o, h, index};
            const QImage whole = painter.paint(scene, ratio);
            expectClippedPaintsMatch(painter, scene, whole, what);
        }
    }
}

} // namespace

TEST(ClippedPaint, EqualsTheWholePaintOnAHundredThousandPlacesAtEveryLevel)
{
    const Crowd& w = bigCrowd();
    struct Case {
        const char* what;
        void (*change)(Settings&);
        bool indexed;
        QSize panel;
    } cases[] = {
        {"every overlay, indexed", [](Settings&) {}, true, {480, 300}},
        {"every overlay, full scan", [](Settings&) {}, false, {233, 171}},
        {"smooth from the first level, cut captions",
         [](Settings& s) {
             s.ZoomLevelAA = 0;
             s.TextLength = 4;
             s.MarkerLength = 3;
         },
         true,
         {317, 199}},
        {"pixel mode everywhere, no text",
         [](Settings& s) {
             s.MapAA = false;
             s.ShowText = false;
         },
         true,
         {320, 200}},
        {"a panel larger than the picture", [](Settings&) {}, true, {700, 800}},
        {"overlapping captions hidden, indexed",
         [](Settings& s) { s.HideOverlappingCaptions = true; },
         true,
         {400, 250}},
        {"overlapping captions hidden, full scan",
         [](Settings& s) { s.HideOverlappingCaptions = true; },
         false,
         {250, 160}},
    };
    // The areas are in the buffer's device pixels: at the ratio 2, twice the panel's.
    expectEveryViewMatches(w.picture, 2, w.locations, w.markers, &w.index, everyOverlay(), {240, 150}, "ratio 2", 2);
    for (const Case& c : cases) {
        Settings s = everyOverlay();
        c.change(s);
        expectEveryViewMatches(w.picture, 2, w.locations, w.markers, c.indexed ? &w.index : nullptr, s, c.panel,
                               c.what);
    }
}

TEST(ClippedPaint, EqualsTheWholePaintOnTheSampleWorld)
{
    const SampleWorld& w = sampleWorld();
    ASSERT_FALSE(w.locations.empty());
    ASSERT_FALSE(w.markers.empty());
    expectEveryViewMatches(w.picture, 10, w.locations, w.markers, &w.index, everyOverlay(), {800, 450}, "sample world");
}

/** A layer that has nothing to lay: laid all the same, it would complement every pixel. */
struct AbsentLayer final : MapTopLayer {
    Readiness prepare(QImage&, const QRect&) override { return Readiness::Nothing; }
    void layOver(QImage& image, const QRect& area) override { ComplementLayer().layOver(image, area); }
};

TEST(ClippedPaint, ALayerOverTheMapIsLaidOnceOnEveryPixelOverEverythingElse)
{
    // Composed a band at a time, a paint with a layer over it gives the paint without it
    // with the layer laid over the whole: every pixel once, after all that lands on it
    // (long route lines at the nearest levels included); a paint of part of the panel
    // lays it over that part alone.
    const SampleWorld& w = sampleWorld();
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    const QSize panel(700, 500);
    ComplementLayer layer;
    for (const qreal ratio : {1.0, 2.0, 1.25})
        for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
            SCOPED_TRACE(testing::Message() << "ratio " << ratio << " zoom " << zoom);
            const Viewport base = Viewport::showing(w.picture.size(), 10, panel, zoom);
            const Viewport v = Viewport::showing(w.picture.size(), 10, panel, zoom, base.scrollMaximum() / 2);
            GoHighlight h1, h2;
            MapPainter plain, layered;
            QImage want = plain.paint(MapScene{v, w.picture, w.locations, w.markers, s, o, h1, &w.index}, ratio);
            MapScene scene{v, w.picture, w.locations, w.markers, s, o, h2, &w.index};
            scene.top = &layer;
            const QImage map = want.copy();
            layer.layOver(want, want.rect());
            const QImage got = layered.paint(scene, ratio);
            ASSERT_TRUE(got == want);
            // A layer with nothing to lay leaves the map as painted without one.
            AbsentLayer absent;
            scene.top = &absent;
            ASSERT_TRUE(layered.paint(scene, ratio) == map) << "absent";
            scene.top = &layer;
            if (ratio != std::floor(ratio))
                continue; // a paint of part of the panel is a whole paint there
            for (const QRegion& area : areasOf(want.size())) {
                QImage copy = map.copy();
                layered.paint(copy, scene, area);
                QImage expected = map.copy();
                for (const QRect& r : area)
                    layer.layOver(expected, r);
                ASSERT_TRUE(copy == expected) << area.boundingRect().x() << "," << area.boundingRect().y();
            }
        }
}

TEST(ClippedPaint, APaintInPartsEqualsTheWholePaintOnOneCoreAndTwo)
{
    // A huge world's paint goes a few tile rows at a time: captions, frames and long routes
    // across the parts' and the tiles' edges land as in a paint gathered whole, with a
    // layer over the map, at the ratios 1 and 2 (a fractional one is painted whole), and
    // a clipped paint in parts is a piece of it. The parted painter lets go of the
    // captions of the parts behind it, so it ends holding fewer than the whole one.
    const Crowd& w = bigCrowd();
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    constexpr std::int64_t Budget = 64 * 1024;
    ComplementLayer layer;
    for (const bool twoCores : {false, true})
        for (const qreal ratio : {1.0, 2.0, 1.25})
            for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
                SCOPED_TRACE(testing::Message() << "two cores " << twoCores << " ratio " << ratio << " zoom " << zoom);
                const QSize panel = ratio == 2 ? QSize(260, 300) : QSize(420, 600);
                const Viewport base = Viewport::showing(w.picture.size(), 2, panel, zoom);
                const Viewport v = Viewport::showing(w.picture.size(), 2, panel, zoom, base.scrollMaximum() / 3);
                MapPainter whole(Budget), parted(Budget);
                whole.useSecondCore(twoCores);
                parted.useSecondCore(twoCores);
                parted.paintInPartsAbove(0);
                GoHighlight h1, h2;
                MapScene wholeScene{v, w.picture, w.locations, w.markers, s, o, h1, &w.index};
                MapScene partedScene{v, w.picture, w.locations, w.markers, s, o, h2, &w.index};
                const QImage want = whole.paint(wholeScene, ratio);
                ASSERT_TRUE(parted.paint(partedScene, ratio) == want);
                if (zoom == 5 && ratio == 1) {
                    EXPECT_LT(parted.cachedCaptions(), whole.cachedCaptions());
                }
                if (ratio == 1)
                    expectClippedPaintsMatch(parted, partedScene, want, "in parts");
                wholeScene.top = &layer;
                partedScene.top = &layer;
                ASSERT_TRUE(parted.paint(partedScene, ratio) == whole.paint(wholeScene, ratio)) << "layered";
            }
}

TEST(ClippedPaint, CaptionsComposedAsTheyAreBlendedEqualTheCachedOnes)
{
    // A whole paint in parts of a view holding more captions than its cache keeps composes
    // each caption on the thread that blends it, the cache left alone: its pixels are the
    // cached parts' and the paint gathered whole's, on one core and two, at the ratios 1
    // and 2, warm or not, with markers, every route and a place of unknown status
    // highlighted (its caption in the colour of the place drawn before it).
    const Crowd& w = bigCrowd();
    LocationList locations = w.locations;
    const QSize picture = w.picture.size();
    const Viewport at = Viewport::showing(picture, 2, {420, 600}, 5,
                                          Viewport::showing(picture, 2, {420, 600}, 5).scrollMaximum() / 2);
    int highlighted = -1;
    for (int i = 50; i < int(locations.size()) && highlighted < 0; ++i)
        if (QRect(40, 40, 340, 520).contains(at.mapToPanel(locations[size_t(i)].X, locations[size_t(i)].Y))
            && at.LevelVisible(locations[size_t(i)].Level))
            highlighted = i;
    ASSERT_GE(highlighted, 0);
    locations[size_t(highlighted)].Status = 0;
    const SpatialIndex index(locations, w.markers);
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    int composed = 0; // the views whose captions were composed as blended
    for (const bool twoCores : {false, true})
        for (const qreal ratio : {1.0, 2.0})
            for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
                SCOPED_TRACE(testing::Message() << "two cores " << twoCores << " ratio " << ratio << " zoom " << zoom);
                const QSize panel = ratio == 2 ? QSize(260, 300) : QSize(420, 600);
                const Viewport base = Viewport::showing(picture, 2, panel, zoom);
                const Viewport v = Viewport::showing(picture, 2, panel, zoom, base.scrollMaximum() / 2);
                MapPainter whole(CaptionCache::MaxBudget), cached(CaptionCache::MaxBudget), blended(64 * 1024);
                for (MapPainter* p : {&whole, &cached, &blended})
                    p->useSecondCore(twoCores);
                cached.paintInPartsAbove(0);
                blended.paintInPartsAbove(0);
                // Each paint is Go's own, the place highlighted.
                const auto paint = [&](MapPainter& painter) {
                    GoHighlight h;
                    h.set(highlighted);
                    return painter.paint(MapScene{v, w.picture, locations, w.markers, s, o, h, &index}, ratio);
                };
                const QImage want = paint(whole);
                ASSERT_TRUE(paint(cached) == want);
                ASSERT_TRUE(paint(blended) == want);
                ASSERT_GT(cached.cachedCaptions(), 0);
                composed += blended.cachedCaptions() == 0;
                ASSERT_TRUE(paint(blended) == want) << "warm";
            }
    EXPECT_GE(composed, 12);
}

TEST(ClippedPaint, AFramePaintedAheadInBandsIsTheWholePaintWithCaptionsComposedAsBlended)
{
    // A frame painted ahead a band at a time, of a view whose whole paint composes its
    // captions as it blends them, composes each band's the same way (the cache left
    // alone): once its last band is painted it holds the whole paint, at the ratios 1 and
    // 2, on one core and two; a caption across two bands' edge lands whole.
    const Crowd& w = bigCrowd();
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    int composed = 0;
    for (const bool twoCores : {false, true})
        for (const qreal ratio : {1.0, 2.0})
            for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
                SCOPED_TRACE(testing::Message() << "two cores " << twoCores << " ratio " << ratio << " zoom " << zoom);
                const QSize panel = ratio == 2 ? QSize(260, 600) : QSize(420, 600);
                const Viewport base = Viewport::showing(w.picture.size(), 2, panel, zoom);
                const Viewport v = Viewport::showing(w.picture.size(), 2, panel, zoom, base.scrollMaximum() / 2);
                MapPainter whole(CaptionCache::MaxBudget), ahead(64 * 1024);
                whole.useSecondCore(twoCores);
                ahead.useSecondCore(twoCores);
                ahead.paintInPartsAbove(0);
                GoHighlight h1, h2;
                const QImage want
                    = whole.paint(MapScene{v, w.picture, w.locations, w.markers, s, o, h1, &w.index}, ratio);
                const MapScene scene{v, w.picture, w.locations, w.markers, s, o, h2, &w.index};
                FramesAhead frames;
                const FramesAhead::Key key = FramesAhead::Key::of(scene, 1, ratio);
                int bands = 0;
                while (!frames.paintSome(ahead, scene, key, std::chrono::steady_clock::time_point::min()))
                    ++bands;
                EXPECT_EQ(bands + 1, (panel.height() + FramesAhead::BandRows - 1) / FramesAhead::BandRows);
                QImage shown(want.size(), want.format());
                shown.setDevicePixelRatio(ratio);
                ASSERT_EQ(frames.copyPainted(key, shown, 0), want.height());
                ASSERT_TRUE(shown == want);
                composed += ahead.cachedCaptions() == 0;
            }
    EXPECT_GE(composed, 12);
}

TEST(ClippedPaint, HighlightIsVisitedOncePerPaintAndShowsInEveryStrip)
{
    // A place of unknown status, highlighted: it shows only while the highlight stands.
    const Crowd& w = bigCrowd();
    LocationList locations = w.locations;
    const Viewport v = Viewport::showing(w.picture.size(), 2, {400, 300}, 7, {9000, 9000});
    int onPanel = -1;
    for (int i = 100; i < int(locations.size()) && onPanel < 0; ++i) {
        const QPoint q = v.mapToPanel(locations[size_t(i)].X, locations[size_t(i)].Y);
        if (QRect(20, 20, 300, 200).contains(q) && v.LevelVisible(locations[size_t(i)].Level))
            onPanel = i;
    }
    ASSERT_GE(onPanel, 0);
    locations[size_t(onPanel)].Status = 0;
    locations[size_t(onPanel)].Name = "Highlighted";
    const SpatialIndex index(locations, w.markers);
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    const QPoint q = v.mapToPanel(locations[size_t(onPanel)].X, locations[size_t(onPanel)].Y);
    // Two strips through the place's caption: both show it in the one paint.
    const QRegion strips = QRegion(q.x() + 5, 0, 3, 300) + QRegion(0, q.y() + 3, 400, 2);
    for (const SpatialIndex* idx : {static_cast<const SpatialIndex*>(nullptr), &index}) {
        MapPainter painter;
        GoHighlight wholeH, clipH;
        wholeH.set(onPanel);
        clipH.set(onPanel);
        GoHighlight none;
        QImage whole = painter.paint(MapScene{v, w.picture, locations, w.markers, s, o, none, idx});
        QImage clipped;
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(testing::Message() << "round " << round << (idx ? " indexed" : " full scan"));
            const QImage before = whole.copy();
            whole = painter.paint(MapScene{v, w.picture, locations, w.markers, s, o, wholeH, idx});
            clipped = before.copy();
            painter.paint(clipped, MapScene{v, w.picture, locations, w.markers, s, o, clipH, idx}, strips);
            if (round == 0) {
                EXPECT_FALSE(whole == before); // Go's paint shows the place
            }
            EXPECT_EQ(clipH.index(), wholeH.index());
            EXPECT_EQ(clipH.pending(), wholeH.pending());
            for (const QRect& r : strips)
                EXPECT_TRUE(clipped.copy(r) == whole.copy(r));
        }
    }
}

TEST(ClippedPaint, AnEmptyAreaPaintsNothingButCountsAsAPaint)
{
    const Crowd& w = bigCrowd();
    const Viewport v = Viewport::showing(w.picture.size(), 2, {200, 100}, 3, {500, 500});
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    GoHighlight h;
    h.set(5);
    QImage img(200, 100, QImage::Format_RGB32);
    img.fill(Untouched);
    MapPainter painter;
    painter.paint(img, MapScene{v, w.picture, w.locations, w.markers, s, o, h, &w.index}, QRegion());
    EXPECT_EQ(h.index(), -1); // the visit reached the place after the highlighted one
    QImage same(200, 100, QImage::Format_RGB32);
    same.fill(Untouched);
    EXPECT_TRUE(img == same);
}

TEST(ClippedPaint, ABufferOfAnotherSizeGetsAWholePaint)
{
    const Crowd& w = bigCrowd();
    const Viewport v = Viewport::showing(w.picture.size(), 2, {200, 100}, 3, {500, 500});
    const Settings s = everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    GoHighlight h1, h2;
    MapPainter painter;
    QImage wrong(50, 50, QImage::Format_RGB32);
    painter.paint(wrong, MapScene{v, w.picture, w.locations, w.markers, s, o, h1, &w.index}, QRegion(0, 0, 3, 3));
    EXPECT_TRUE(wrong == painter.paint(MapScene{v, w.picture, w.locations, w.markers, s, o, h2, &w.index}));
}

TEST(ResamplerClip, ClippedDrawsEqualTheWholeDrawInsideAndKeepEverythingOutside)
{
    QImage src(97, 61, QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            src.setPixel(x, y, qRgb((x * 37) & 0xFF, (y * 91) & 0xFF, (x * y) & 0xFF));
    QRandomGenerator rng(42);
    for (int round = 0; round < 200; ++round) {
        const QRect to(int(rng.bounded(-40, 60)), int(rng.bounded(-40, 60)), int(rng.bounded(1, 300)),
                       int(rng.bounded(1, 200)));
        const auto real = [&](double lo, double hi) { return lo + rng.bounded(hi - lo); };
        const QRectF from(real(-10.0, 80.0), real(-10.0, 50.0), real(0.5, 120.0), real(0.5, 90.0));
        const QRect clip(int(rng.bounded(-5, 150)), int(rng.bounded(-5, 100)), int(rng.bounded(0, 90)),
                         int(rng.bounded(0, 70)));
        for (const Resampler::Mode mode : {Resampler::Mode::Pixel, Resampler::Mode::Smooth}) {
            QImage whole(160, 110, QImage::Format_RGB32), clipped(160, 110, QImage::Format_RGB32);
            whole.fill(Untouched);
            clipped.fill(Untouched);
            Resampler::draw(whole, to, src, from, mode);
            Resampler::draw(clipped, to, src, from, mode, clip);
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x)
                    ASSERT_EQ(clipped.pixel(x, y), clip.contains(x, y) ? whole.pixel(x, y) : Untouched)
                        << "round " << round << " at " << x << "," << y;
        }
    }
}
