// SPDX-License-Identifier: MIT
// A scroll repaints only what it uncovers, and only when that is provably the same image
// as a whole paint: every step here is checked against a fresh painter's whole paint.
#include "map/crowdworld.h"
#include "map/scrollreuse.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace vdm;
using namespace vdm::test;

namespace {

/** A window's paints in miniature: one painter, one kept buffer, one reuse, one highlight. */
struct Rig {
    const Crowd& w = bigCrowd();
    Settings settings = everyOverlay();
    DrawingObjects objects = DrawingObjects::fromSettings(settings);
    Viewport view;
    GoHighlight highlight;
    MapPainter painter;
    QImage buffer;
    ScrollReuse reuse;
    std::uint64_t revision = 1;

    explicit Rig(int zoom, QSize panel = {480, 320}) { view = Viewport::showing(w.picture.size(), 2, panel, zoom); }
    MapScene scene() { return {view, w.picture, w.locations, w.markers, settings, objects, highlight, &w.index}; }
    ScrollReuse::Kind paint(bool mayReuse = true) { return reuse.paint(painter, buffer, scene(), revision, mayReuse); }
    /** A whole paint by another painter, with a copy of the highlight as it stood. */
    QImage fresh(const GoHighlight& h)
    {
        GoHighlight copy = h;
        return reference.paint(MapScene{view, w.picture, w.locations, w.markers, settings, objects, copy, &w.index});
    }
    MapPainter reference;
};

SceneSignature signatureOf(Rig& r)
{
    return SceneSignature::of(r.scene(), r.revision);
}

} // namespace

TEST(ScrollReuse, EveryScrollAtEveryLevelShowsWhatAWholePaintShows)
{
    const QPoint moves[]
        = {{7, 5}, {-7, -5}, {1, 0}, {0, -1}, {-13, 29}, {3, 3}, {250, -90}, {0, 0}, {479, 0}, {2000, 2000}};
    int moved = 0;
    for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
        Rig r(zoom);
        r.view.scrollTo(r.view.scrollMaximum() / 2);
        r.paint();
        for (const QPoint m : moves) {
            const GoHighlight before = r.highlight;
            r.view.scrollBy(m);
            const ScrollReuse::Kind kind = r.paint();
            moved += kind == ScrollReuse::Kind::Moved;
            ASSERT_TRUE(r.buffer == r.fresh(before)) << "zoom " << zoom << " move " << m.x() << "," << m.y();
        }
    }
    EXPECT_GT(moved, 10); // most moves were repainted in part
}

TEST(ScrollReuse, WithOverlappingCaptionsHiddenAScrollPaintsTheWholePanel)
{
    // Which captions are left out follows everything a paint of the panel meets, so a
    // kept paint moved by the scroll would show captions the new view leaves out (and
    // over one another at the edge of the strip painted anew).
    const QPoint moves[] = {{7, 5}, {-13, 29}, {250, -90}, {0, 0}};
    for (int zoom = 0; zoom < Viewport::LevelCount; ++zoom) {
        Rig r(zoom);
        r.settings.HideOverlappingCaptions = true;
        r.view.scrollTo(r.view.scrollMaximum() / 2);
        r.paint();
        for (const QPoint m : moves) {
            const GoHighlight before = r.highlight;
            r.view.scrollBy(m);
            EXPECT_NE(r.paint(), ScrollReuse::Kind::Moved);
            ASSERT_TRUE(r.buffer == r.fresh(before)) << "zoom " << zoom << " move " << m.x() << "," << m.y();
        }
    }
}

TEST(ScrollReuse, AtTheRatioTwoMovesAreWholeDevicePixelsAndFractionalRatiosPaintWhole)
{
    for (const qreal ratio : {2.0, 1.5}) {
        Rig r(1, {240, 160});
        r.view.scrollTo({300, 300});
        r.buffer = QImage(backBufferSize(r.view.panel(), ratio), QImage::Format_RGB32);
        r.buffer.setDevicePixelRatio(ratio);
        r.paint();
        for (const QPoint m : {QPoint(7, 5), QPoint(-3, 0), QPoint(0, 0)}) {
            const GoHighlight before = r.highlight;
            r.view.scrollBy(m);
            const ScrollReuse::Kind kind = r.paint();
            GoHighlight copy = before;
            const QImage whole = r.reference.paint(
                MapScene{r.view, r.w.picture, r.w.locations, r.w.markers, r.settings, r.objects, copy, &r.w.index},
                ratio);
            EXPECT_TRUE(r.buffer == whole) << ratio << " move " << m.x() << "," << m.y();
            if (ratio != 2.0)
                EXPECT_EQ(kind, ScrollReuse::Kind::Whole);
            else
                EXPECT_NE(kind, ScrollReuse::Kind::Whole);
        }
    }
}

TEST(ScrollReuse, OneToOneLevelAlwaysMovesAndTheSameViewPaintsNothing)
{
    Rig r(1); // 20 % of a picture at map scale 2: the picture at its own size
    r.view.scrollTo({300, 300});
    EXPECT_EQ(r.paint(), ScrollReuse::Kind::Whole);
    r.view.scrollBy({7, 5});
    EXPECT_EQ(r.paint(), ScrollReuse::Kind::Moved);
    EXPECT_EQ(r.paint(), ScrollReuse::Kind::Unchanged);
}

TEST(ScrollReuse, AnythingButTheScrollTakesAWholePaint)
{
    struct Case {
        const char* what;
        void (*change)(Rig&);
    } cases[] = {
        {"data revision", [](Rig& r) { ++r.revision; }},
        {"a setting", [](Rig& r) { r.settings.ShowShips = false; }},
        {"caption length", [](Rig& r) { r.settings.TextLength = 2; }},
        {"a colour", [](Rig& r) { r.objects.BrushActive = Qt::red; }},
        {"the font", [](Rig& r) { r.objects.MapFont.setPixelSize(r.objects.MapFont.pixelSize() + 1); }},
        {"zoom",
         [](Rig& r) {
             r.view.zoomTo(r.view.zoomIndex() + 1, {0, 0});
         }},
        {"panel",
         [](Rig& r) {
             r.view.setPanel({470, 320});
             r.view.UpdateScrollRanges();
             r.view.UpdateMargins();
         }},
        {"highlight", [](Rig& r) { r.highlight.set(3); }},
        {"the buffer written elsewhere", [](Rig& r) { r.buffer.setPixel(0, 0, 0xFF123456u); }},
        {"the buffer replaced",
         [](Rig& r) {
             r.buffer = r.buffer.copy();
             r.buffer.bits();
         }},
        {"forgotten", [](Rig& r) { r.reuse.forget(); }},
    };
    for (const Case& c : cases) {
        Rig r(1);
        r.view.scrollTo({300, 300});
        r.paint();
        c.change(r);
        r.view.scrollBy({2, 2});
        const GoHighlight before = r.highlight;
        EXPECT_EQ(r.paint(), ScrollReuse::Kind::Whole) << c.what;
        EXPECT_TRUE(r.buffer == r.fresh(before)) << c.what;
    }
    Rig r(1);
    r.paint();
    r.view.scrollBy({2, 2});
    EXPECT_EQ(r.paint(false), ScrollReuse::Kind::Whole) << "not allowed";
}

TEST(ScrollReuse, PlanMovesByTheScrollAndExposesTheUncoveredStrips)
{
    Rig r(1);
    const SceneSignature s = signatureOf(r);
    struct Case {
        QPoint before, now;
        bool pictureMoves;
        ScrollReuse::Kind kind;
        QRegion exposed;
    } cases[] = {
        {{100, 100}, {107, 105}, true, ScrollReuse::Kind::Moved, QRegion(473, 0, 7, 320) + QRegion(0, 315, 473, 5)},
        {{100, 100}, {93, 100}, true, ScrollReuse::Kind::Moved, QRegion(0, 0, 7, 320)},
        {{100, 100}, {100, 99}, true, ScrollReuse::Kind::Moved, QRegion(0, 0, 480, 1)},
        {{100, 100}, {100, 100}, true, ScrollReuse::Kind::Unchanged, QRegion()},
        {{100, 100}, {580, 100}, true, ScrollReuse::Kind::Whole, QRegion()},
        {{100, 100}, {100, 420}, true, ScrollReuse::Kind::Whole, QRegion()},
        {{100, 100}, {107, 105}, false, ScrollReuse::Kind::Whole, QRegion()},
    };
    for (const Case& c : cases) {
        const ScrollReuse::Plan p = ScrollReuse::plan(s, c.before, s, c.now, c.pictureMoves);
        EXPECT_EQ(p.kind, c.kind) << c.now.x() << "," << c.now.y();
        if (c.kind != ScrollReuse::Kind::Whole) {
            EXPECT_EQ(p.shift, c.before - c.now);
            EXPECT_EQ(p.exposed, c.exposed) << c.now.x() << "," << c.now.y();
        }
    }
    SceneSignature other = s;
    other.dataRevision += 1;
    EXPECT_EQ(ScrollReuse::plan(s, {0, 0}, other, {1, 1}, true).kind, ScrollReuse::Kind::Whole);
}

TEST(ScrollReuse, SignatureSeesTheHighlightThisPaintWillShowWithoutAdvancingIt)
{
    Rig r(3);
    r.highlight.set(10);
    const SceneSignature s = signatureOf(r);
    EXPECT_EQ(s.highlighted, 10);
    EXPECT_EQ(r.highlight.index(), 10);
    EXPECT_FALSE(r.highlight.pending());
    r.paint(); // the place after it clears it
    EXPECT_EQ(signatureOf(r).highlighted, -1);
}

TEST(ScrollReuse, MoveImageShiftsPixelsAndKeepsTheRest)
{
    QImage base(23, 17, QImage::Format_RGB32);
    for (int y = 0; y < base.height(); ++y)
        for (int x = 0; x < base.width(); ++x)
            base.setPixel(x, y, qRgb(x * 10, y * 10, 7));
    for (const QPoint shift : {QPoint(3, 2), QPoint(-3, 2), QPoint(3, -2), QPoint(-5, -4), QPoint(0, 6), QPoint(-22, 0),
                               QPoint(0, 0), QPoint(23, 0)}) {
        QImage img = base.copy();
        ScrollReuse::moveImage(img, shift);
        const bool moves = std::abs(shift.x()) < 23 && std::abs(shift.y()) < 17;
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 23; ++x) {
                const QPoint from = QPoint(x, y) - shift;
                const bool moved = moves && base.rect().contains(from);
                ASSERT_EQ(img.pixel(x, y), moved ? base.pixel(from) : base.pixel(x, y))
                    << shift.x() << "," << shift.y() << " at " << x << "," << y;
            }
    }
}

TEST(ScrollReuse, PictureMovesWithTheScrollOnlyWhereItsResamplingDoesToo)
{
    const QSize picture = bigCrowd().picture.size();
    const Settings s = everyOverlay();
    // 300 % of a picture at map scale 2 enlarges 15 times: the picture starts at whole
    // bitmap pixels, so a 7-pixel scroll does not move it by 7 pixels.
    Viewport a = Viewport::showing(picture, 2, {480, 320}, 7, {3000, 3000});
    Viewport b = a;
    b.scrollBy({7, 5});
    EXPECT_FALSE(MapPainter::pictureMovesWith(a, b, a.scroll() - b.scroll(), picture, s));
    // A whole bitmap pixel further on it does. (Across, that is: down the panel this
    // 320-pixel panel shows 21 bitmap pixels, not 320 / 15.)
    b = a;
    b.scrollBy({15, 0});
    EXPECT_TRUE(MapPainter::pictureMovesWith(a, b, a.scroll() - b.scroll(), picture, s));
    // At its own size, any move.
    a = Viewport::showing(picture, 2, {480, 320}, 1, {100, 100});
    b = a;
    b.scrollBy({-3, 11});
    EXPECT_TRUE(MapPainter::pictureMovesWith(a, b, a.scroll() - b.scroll(), picture, s));
}

TEST(ScrollReuse, ADragWherePicturePixelsSpanSeveralPanelPixelsMovesKeptPaintsOfItsPhase)
{
    // At 200 % of a picture at map scale 2 a bitmap pixel spans ten panel pixels: a step
    // of 5 moves the picture by half a pixel, so only a paint two steps back moves with
    // it. Forth and back, and on in one direction: every step a whole paint's pixels.
    struct Case {
        const char* what;
        QPoint steps[8];
        int kept; // the steps moved from a kept paint: every one whose phase was painted before
    } cases[] = {
        {"forth and back", {{7, 5}, {-7, -5}, {7, 5}, {-7, -5}, {7, 5}, {-7, -5}, {7, 5}, {-7, -5}}, 6},
        {"on in one direction", {{5, 5}, {5, 5}, {5, 5}, {5, 5}, {5, 5}, {5, 5}, {5, 5}, {5, 5}}, 6},
        {"several phases", {{3, 0}, {3, 0}, {3, 0}, {-3, 0}, {-3, 0}, {-3, 0}, {3, 4}, {-3, -4}}, 3},
    };
    for (const Case& c : cases) {
        Rig r(6);
        r.reuse = ScrollReuse(0); // keeps paints however few captions they blend
        r.view.scrollTo(r.view.scrollMaximum() / 2);
        r.paint();
        int kept = 0;
        for (const QPoint m : c.steps) {
            const GoHighlight before = r.highlight;
            r.view.scrollBy(m);
            kept += r.paint() == ScrollReuse::Kind::Kept;
            ASSERT_TRUE(r.buffer == r.fresh(before)) << c.what << " move " << m.x() << "," << m.y();
            EXPECT_LE(r.reuse.keptPaints(), ScrollReuse::KeptPaints);
        }
        EXPECT_EQ(kept, c.kept) << c.what;
    }
}

TEST(ScrollReuse, KeptPaintsGoWithTheSceneAndStayWithinTheirBytes)
{
    Rig r(6);
    r.reuse = ScrollReuse(0);
    r.view.scrollTo(r.view.scrollMaximum() / 2);
    r.paint();
    for (const QPoint m : {QPoint(7, 5), QPoint(-7, -5)}) {
        r.view.scrollBy(m);
        r.paint();
    }
    EXPECT_GT(r.reuse.keptPaints(), 0);
    // Another scene: nothing kept is used, and what was kept goes.
    r.settings.ShowShips = false;
    r.view.scrollBy({7, 5});
    const GoHighlight before = r.highlight;
    EXPECT_EQ(r.paint(), ScrollReuse::Kind::Whole);
    EXPECT_TRUE(r.buffer == r.fresh(before));
    EXPECT_EQ(r.reuse.keptPaints(), 0);
    // A drag on a panel whose frame is more than the bytes allow keeps none.
    Rig big(6, {3400, 3200});
    big.reuse = ScrollReuse(0);
    big.paint();
    big.view.scrollBy({7, 5});
    big.paint();
    EXPECT_EQ(big.reuse.keptPaints(), 0);
    // By default a sparse view keeps nothing: a whole paint of it costs less than a copy.
    Rig sparse(6);
    sparse.paint();
    sparse.view.scrollBy({7, 5});
    sparse.paint();
    EXPECT_EQ(sparse.reuse.keptPaints(), 0);
}
