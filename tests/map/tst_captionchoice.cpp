// SPDX-License-Identifier: MIT
// Which captions a paint draws with "Hide overlapping captions", and captions rendered
// ahead of the paint that needs them.
#include "map/captionoccupancy.h"
#include "map/captionrender.h"
#include "map/crowdworld.h"
#include "map/mappainter.h"
#include "map/paintfixture.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QSet>

#include <algorithm>
#include <chrono>

using namespace vdm;
using namespace painttest;

namespace {

/** Paints `base`'s view of these places with the option as given, on a painter of its own. */
QImage paintWith(const World& base, bool hide, const LocationList& locations, const LocationList& markers)
{
    World w;
    w.view = base.view;
    w.locations = locations;
    w.markers = markers;
    w.settings = base.settings;
    w.settings.HideOverlappingCaptions = hide;
    return w.paint();
}

/**
 * The names a paint of `v` with "Hide overlapping captions" leaves out, by the rule as
 * stated, without any index or shortcut: every place whose status shows, then every marker,
 * in file order; a caption that can reach the panel and starts on a free cell takes the
 * cells of its box (its advance by a line) unless one of them is taken. Those left out get
 * an empty name in the lists it returns.
 */
std::pair<LocationList, LocationList> withPlainPlan(const Viewport& v, const LocationList& locations,
                                                    const LocationList& markers, const Settings& st,
                                                    const DrawingObjects& o)
{
    const CaptionFont font(o.MapFont);
    CaptionOccupancy grid(v.panel());
    QHash<QByteArray, int> advances;
    const auto shown = [&](const QByteArray& name, int limit, QPoint at) {
        const QByteArray text = limit > 0 && name.size() > limit ? name.left(limit) + "..." : name;
        const long long reach = (long long)at.x() + (text.size() + 1LL) * font.maxCharWidth + 2;
        if (text.isEmpty() || at.y() - 2 >= v.panel().height() || at.y() + font.lineHeight + 2 < 0
            || at.x() - 2 >= v.panel().width() || reach < 0 || grid.taken(at))
            return false;
        if (!advances.contains(text))
            advances.insert(text, renderCaption(font, text, 1).advance);
        return grid.claim(QRect(at.x(), at.y(), std::max(1, advances.value(text)), std::max(1, font.lineHeight)));
    };
    std::pair<LocationList, LocationList> out{locations, markers};
    for (Location& L : out.first) {
        const bool statusShown = (L.Status == Unvisited && st.ShowUnvisited) || (L.Status == Active && st.ShowActive)
                                 || (L.Status == Visited && st.ShowVisited);
        const QPoint q = v.mapToPanel(L.X, L.Y);
        if (!v.LevelVisible(L.Level) || !statusShown || !shown(L.Name, st.TextLength, q + QPoint(4, 1)))
            L.Name.clear();
    }
    for (Location& M : out.second) {
        const QPoint q = v.mapToPanel(M.X, M.Y);
        if (!v.LevelVisible(M.Level) || !shown(M.Name, st.MarkerLength, q + QPoint(3, 3)))
            M.Name.clear();
    }
    return out;
}

} // namespace

TEST(CaptionOccupancy, AClaimFailsOnATakenCellAndTakesNothingOffThePanel)
{
    // 8-pixel cells over a 100 x 50 panel: 13 columns, 7 rows. In order:
    CaptionOccupancy grid({100, 50});
    const struct {
        QRect box;
        bool claimed;
    } steps[] = {
        {{10, 10, 30, 12}, true},   // cells 1..4 x 1..2
        {{38, 20, 10, 5}, false},   // meets cell (4, 2)
        {{40, 10, 20, 12}, true},   // cells 5..7: the next column on
        {{-5, -5, 10, 10}, true},   // its on-panel part: cell (0, 0)
        {{0, 0, 4, 4}, false},      // cell (0, 0) again
        {{-50, -50, 20, 20}, true}, // wholly off the panel: nothing to take
        {{95, 45, 30, 30}, true},   // cells 11..12 x 5..6
        {{90, 40, 8, 8}, false},    // meets (11, 5)
    };
    for (const auto& s : steps)
        EXPECT_EQ(grid.claim(s.box), s.claimed) << s.box.x() << ", " << s.box.y();
    const struct {
        QPoint p;
        bool taken;
    } points[] = {{{0, 0}, true}, {{45, 15}, true}, {{-1, 0}, false}, {{70, 30}, false}, {{1000, 1000}, false}};
    for (const auto& p : points)
        EXPECT_EQ(grid.taken(p.p), p.taken) << p.p.x() << ", " << p.p.y();
    // Whether every box of a height at a top-left fails, whatever its width.
    const struct {
        QPoint topLeft;
        int height;
        bool blocked;
    } columns[] = {
        {{8, 0}, 12, true},                          // column 1, rows 0..1: (1, 1) is taken
        {{8, 0}, 8, false},                          // row 0 alone is free: a wider box may still fail
        {{0, -7}, 8, true},                          // rows -1..0, on the grid (0, 0)
        {{-1, 10}, 12, false},                       // its left edge off the panel: the width decides
        {{100, 10}, 12, false}, {{96, 40}, 1, true}, // (12, 5)
        {{96, -20}, 30, false},                      // rows 0..1 of column 12 are free
        {{8, 60}, 5, false},                         // below the grid
        {{8, 8}, 0, false},
    };
    for (const auto& c : columns)
        EXPECT_EQ(grid.blocksEveryWidth(c.topLeft, c.height), c.blocked) << c.topLeft.x() << ", " << c.topLeft.y();
}

TEST(CaptionOccupancy, AFullHdGridAnswersAsItsCellsOneByOne)
{
    // 240 x 135 cells: a column's rows span three words of bits. Boxes of every size,
    // partly off the panel and across the rows where one word ends and the next begins,
    // are claimed against cells kept one by one; every answer must be theirs.
    const QSize panel(1920, 1080);
    const int columns = 240, rows = 135;
    std::vector<char> cells(size_t(columns) * rows, 0);
    const auto cellOf = [](int v) { return v >= 0 ? v / 8 : -((-v + 7) / 8); };
    const auto anyIn = [&](int x0, int x1, int y0, int y1) {
        for (int y = std::max(0, y0); y <= std::min(rows - 1, y1); ++y)
            for (int x = std::max(0, x0); x <= std::min(columns - 1, x1); ++x)
                if (cells[size_t(y) * columns + size_t(x)])
                    return true;
        return false;
    };
    CaptionOccupancy grid(panel);
    std::uint32_t seed = 12345;
    const auto next = [&](int below) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % std::uint32_t(below));
    };
    int claimed = 0;
    for (int step = 0; step < 20000; ++step) {
        // Rows 500 to 530 and 1010 to 1040 hold the edges between words (cells 63/64, 127/128).
        const int y = step % 3 == 0 ? 500 + next(30) : step % 3 == 1 ? 1010 + next(80) : next(1200) - 60;
        const QRect box(next(2040) - 60, y, 1 + next(200), 1 + next(40));
        const int x0 = cellOf(box.left()), x1 = cellOf(box.right()), y0 = cellOf(box.top()), y1 = cellOf(box.bottom());
        const bool onGrid = x1 >= 0 && y1 >= 0 && x0 < columns && y0 < rows;
        const bool free = !onGrid || !anyIn(x0, x1, y0, y1);
        const QPoint probe(next(2040) - 60, next(1200) - 60);
        const int height = next(40);
        const int px = cellOf(probe.x());
        const bool blocked
            = height > 0 && px >= 0 && px < columns && anyIn(px, px, cellOf(probe.y()), cellOf(probe.y() + height - 1));
        ASSERT_EQ(grid.blocksEveryWidth(probe, height), blocked) << step;
        ASSERT_EQ(grid.taken(probe), anyIn(px, px, cellOf(probe.y()), cellOf(probe.y())) && px >= 0 && px < columns
                                         && cellOf(probe.y()) >= 0 && cellOf(probe.y()) < rows)
            << step;
        ASSERT_EQ(grid.claim(box), free) << step;
        if (free && onGrid) {
            ++claimed;
            for (int cy = std::max(0, y0); cy <= std::min(rows - 1, y1); ++cy)
                for (int cx = std::max(0, x0); cx <= std::min(columns - 1, x1); ++cx)
                    cells[size_t(cy) * columns + size_t(cx)] = 1;
        }
    }
    // The grid filled up on the way: both answers were asked of free and taken cells.
    EXPECT_GT(claimed, 100);
    EXPECT_GT(std::count(cells.begin(), cells.end(), 1), columns * rows / 4);
}

TEST(HiddenCaptions, ALaterOverlappingCaptionIsLeftOutItsFrameStays)
{
    // Each case: two places (and maybe a marker) in file order; which of the names a
    // paint with the option on leaves out, as a paint with that name emptied shows.
    const struct {
        const char* what;
        QPoint first, second;
        bool markerOverFirst;
        int leftOut; // 0 none, 1 the first place's, 2 the second's, 3 the marker's
    } cases[] = {
        {"overlapping: the later one goes", {60, 100}, {75, 103}, false, 2},
        {"file order decides", {75, 103}, {60, 100}, false, 2},
        {"apart: both stay", {60, 100}, {60, 200}, false, 0},
        {"a marker over a place's caption goes", {60, 100}, {60, 250}, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        World w;
        w.settings.ShowText = true;
        w.locations.push_back(w.at(c.first, "Westmarch"));
        w.locations.push_back(w.at(c.second, "Eastfold", Visited));
        if (c.markerOverFirst)
            w.markers.push_back(w.at(c.first + QPoint(6, 2), "Camp"));
        const QImage hidden = paintWith(w, true, w.locations, w.markers);
        LocationList locations = w.locations, markers = w.markers;
        if (c.leftOut == 1 || c.leftOut == 2)
            locations[size_t(c.leftOut - 1)].Name.clear();
        if (c.leftOut == 3)
            markers[0].Name.clear();
        EXPECT_TRUE(hidden == paintWith(w, false, locations, markers));
        EXPECT_EQ(hidden == paintWith(w, false, w.locations, w.markers), c.leftOut == 0);
        EXPECT_TRUE(hasFrame(hidden, w.panelOf(w.locations[1]), screen(w.settings.ColorVisited)));
    }
}

TEST(HiddenCaptions, ACrowdedViewDrawsFewCaptionsAndTheSameEveryTime)
{
    const test::Crowd& crowd = test::bigCrowd();
    const Settings on = [] {
        Settings s = test::everyOverlay();
        s.HideOverlappingCaptions = true;
        return s;
    }();
    const DrawingObjects o = DrawingObjects::fromSettings(on);
    const Viewport v = Viewport::showing(crowd.picture.size(), 2, {480, 300}, 3, {300, 300});
    GoHighlight h;
    MapPainter warm, cold;
    const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, on, o, h, &crowd.index};
    const QImage first = warm.paint(scene);
    EXPECT_TRUE(warm.paint(scene) == first);
    // Without the index every place is visited; the same captions win.
    const MapScene unindexed{v, crowd.picture, crowd.locations, crowd.markers, on, o, h, nullptr};
    EXPECT_TRUE(cold.paint(unindexed) == first);
    Settings off = on;
    off.HideOverlappingCaptions = false;
    EXPECT_FALSE(MapPainter().paint(MapScene{v, crowd.picture, crowd.locations, crowd.markers, off, o, h, &crowd.index})
                 == first);
}

TEST(HiddenCaptions, EveryLevelOfACrowdShowsWhatThePlainRuleShows)
{
    // The paint leaves out most places of a crowded view before looking for their
    // captions; what it shows must be what trying every place in turn shows.
    const test::Crowd& crowd = test::bigCrowd();
    Settings on = test::everyOverlay();
    on.HideOverlappingCaptions = true;
    Settings off = on;
    off.HideOverlappingCaptions = false;
    const DrawingObjects o = DrawingObjects::fromSettings(on);
    MapPainter hiding; // one painter through the levels, as the window's
    for (int level = 0; level <= Viewport::HighestZoom; ++level) {
        SCOPED_TRACE(level);
        Viewport v = Viewport::showing(crowd.picture.size(), 2, {480, 300}, level);
        v.scrollTo(QPoint(v.scrollMaximum().x() / 2, v.scrollMaximum().y() / 2));
        GoHighlight h;
        const QImage hidden
            = hiding.paint(MapScene{v, crowd.picture, crowd.locations, crowd.markers, on, o, h, &crowd.index});
        const auto [locations, markers] = withPlainPlan(v, crowd.locations, crowd.markers, on, o);
        const long long left
            = std::count_if(locations.begin(), locations.end(), [](const Location& L) { return !L.Name.isEmpty(); });
        EXPECT_GT(left, 0);
        const QImage plain = MapPainter().paint(MapScene{v, crowd.picture, locations, markers, off, o, h, nullptr});
        EXPECT_TRUE(hidden == plain);
        // Only the captions drawn are rendered: the plan measures the others' widths
        // without rendering them, however many it tries.
        QSet<QByteArray> drawn;
        for (const Location& L : locations)
            if (!L.Name.isEmpty())
                drawn.insert(L.Name);
        for (const Location& M : markers)
            if (!M.Name.isEmpty())
                drawn.insert(M.Name.size() > on.MarkerLength ? M.Name.left(on.MarkerLength) + "..." : M.Name);
        MapPainter fresh;
        EXPECT_TRUE(fresh.paint(MapScene{v, crowd.picture, crowd.locations, crowd.markers, on, o, h, &crowd.index})
                    == hidden);
        EXPECT_EQ(fresh.cachedCaptions(), drawn.size());
    }
}

TEST(HiddenCaptions, APaintInPartsShowsWhatAWholeOneShows)
{
    // A huge world's paint goes a few rows at a time and shares out the places its plan
    // found: at every level, on one core and two, the pixels of a paint gathered whole.
    const test::Crowd& crowd = test::bigCrowd();
    Settings on = test::everyOverlay();
    on.HideOverlappingCaptions = true;
    const DrawingObjects o = DrawingObjects::fromSettings(on);
    for (const bool twoCores : {false, true}) {
        MapPainter whole, parted;
        whole.useSecondCore(twoCores);
        parted.useSecondCore(twoCores);
        parted.paintInPartsAbove(0);
        for (int level = 0; level <= Viewport::HighestZoom; ++level) {
            SCOPED_TRACE(testing::Message() << "two cores " << twoCores << " level " << level);
            Viewport v = Viewport::showing(crowd.picture.size(), 2, {480, 300}, level);
            v.scrollTo(QPoint(v.scrollMaximum().x() / 3, v.scrollMaximum().y() / 2));
            GoHighlight h1, h2;
            const QImage want
                = whole.paint(MapScene{v, crowd.picture, crowd.locations, crowd.markers, on, o, h1, &crowd.index});
            const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, on, o, h2, &crowd.index};
            EXPECT_TRUE(parted.paint(scene) == want);
            // A strip repainted in parts: its own places, the whole panel's plan.
            QImage strip = want;
            const QRect band(0, 100, 480, 70);
            strip.fill(Qt::magenta);
            parted.paint(strip, scene, QRegion(band));
            EXPECT_TRUE(strip.copy(band) == want.copy(band));
        }
    }
}

TEST(HiddenCaptions, APlanOfTensOfThousandsInPartsShowsWhatAWholePaintShows)
{
    // A plan of tens of thousands of places on a large panel, read in many runs beside
    // its walk and shared out among the parts with each shown caption's slot: every part
    // must draw them in file order, where frames of other colours and captions overlap,
    // as a paint gathered whole draws them.
    const test::Crowd& crowd = test::bigCrowd();
    Settings on = test::everyOverlay();
    on.HideOverlappingCaptions = true;
    const DrawingObjects o = DrawingObjects::fromSettings(on);
    MapPainter whole, parted;
    parted.paintInPartsAbove(0);
    for (const int level : {4, 5, 6}) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        Viewport v = Viewport::showing(crowd.picture.size(), 2, {1400, 1000}, level);
        v.scrollTo(v.scrollMaximum() / 2);
        GoHighlight h1, h2;
        const QImage want
            = whole.paint(MapScene{v, crowd.picture, crowd.locations, crowd.markers, on, o, h1, &crowd.index});
        EXPECT_TRUE(parted.paint(MapScene{v, crowd.picture, crowd.locations, crowd.markers, on, o, h2, &crowd.index})
                    == want);
    }
}

TEST(CaptionsAhead, AViewRenderedAheadPaintsWithoutRenderingAndAsACold)
{
    const test::Crowd& crowd = test::bigCrowd();
    const Settings s = test::everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    for (const int zoom : {2, 5}) {
        SCOPED_TRACE(zoom);
        const Viewport v = Viewport::showing(crowd.picture.size(), 2, {400, 300}, zoom, {700, 900});
        GoHighlight h;
        const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
        MapPainter ahead;
        // A deadline already past renders a few captions, then stops.
        EXPECT_FALSE(ahead.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now()));
        EXPECT_TRUE(ahead.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now() + std::chrono::minutes(1)));
        const int rendered = ahead.cachedCaptions();
        EXPECT_GT(rendered, 50);
        const QImage painted = ahead.paint(scene);
        EXPECT_EQ(ahead.cachedCaptions(), rendered); // nothing was missing
        MapPainter cold;
        EXPECT_TRUE(cold.paint(scene) == painted);
        // What rendering ahead kept for each place is for its ratio only.
        MapPainter other;
        ASSERT_TRUE(other.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now() + std::chrono::minutes(1)));
        EXPECT_TRUE(other.paint(scene, 2) == cold.paint(scene, 2));
    }
}

TEST(CaptionsAhead, SlicesOutOfTimeGoOnWhereTheLastStopped)
{
    // Slices whose time is up at once each look at a few places and stop; the next goes
    // on from there. Together they finish, and leave what one long pass leaves: no
    // caption is passed over where a slice stopped, none is rendered twice. A view moved
    // meanwhile starts its own pass from its first place.
    const test::Crowd& crowd = test::bigCrowd();
    const Settings s = test::everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    GoHighlight h;
    for (const int zoom : {2, 5}) {
        SCOPED_TRACE(zoom);
        const Viewport v = Viewport::showing(crowd.picture.size(), 2, {400, 300}, zoom, {700, 900});
        const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
        MapPainter whole;
        ASSERT_TRUE(whole.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now() + std::chrono::minutes(1)));

        MapPainter sliced;
        const Viewport elsewhere = Viewport::showing(crowd.picture.size(), 2, {400, 300}, zoom, {300, 500});
        const MapScene moved{elsewhere, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
        EXPECT_FALSE(sliced.renderCaptionsAhead(moved, 1, std::chrono::steady_clock::now()));
        int slices = 0;
        while (!sliced.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now()))
            ASSERT_LT(++slices, int(crowd.locations.size() + crowd.markers.size())) << "no slice got on";
        EXPECT_GT(slices, 1);
        const int beforePaint = sliced.cachedCaptions();
        EXPECT_TRUE(sliced.paint(scene) == whole.paint(scene));
        EXPECT_EQ(sliced.cachedCaptions(), beforePaint); // the paint found every caption ready
    }
}

TEST(CaptionsAhead, AFullCacheEndsTheRenderingAheadAndPaintsStayExact)
{
    const test::Crowd& crowd = test::bigCrowd();
    const Settings s = test::everyOverlay();
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    const Viewport v = Viewport::showing(crowd.picture.size(), 2, {400, 300}, 5, {700, 900});
    GoHighlight h;
    const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
    // A budget of a few captions: rendering ahead stops there, and says it is done, so
    // the window does not come back for more while it is idle.
    constexpr std::int64_t Budget = 4096;
    MapPainter small(Budget);
    EXPECT_TRUE(small.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now() + std::chrono::minutes(1)));
    const int held = small.cachedCaptions();
    EXPECT_GT(held, 0);
    EXPECT_LT(small.cacheBytes(), 2 * Budget);
    EXPECT_TRUE(small.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now() + std::chrono::minutes(1)));
    EXPECT_EQ(small.cachedCaptions(), held);
    // A paint of far more captions than that gives up its own as it goes, and still
    // paints what a painter with room paints.
    const QImage painted = small.paint(scene);
    EXPECT_TRUE(MapPainter().paint(scene) == painted);
    EXPECT_TRUE(small.paint(scene) == painted);
}

TEST(CaptionsAhead, AShrinkingLevelsCopyIsMadeAheadWhereAPaintIsWhole)
{
    // With the large picture (ten map units a pixel) the levels below 100 % draw a
    // shrunken copy of it, which a first visit makes before anything else. Rendering
    // ahead makes it too, and the paint then uses it as it is; a world painted in parts
    // keeps its memory for the places instead.
    const test::Crowd& crowd = test::bigCrowd();
    Settings s = test::everyOverlay();
    s.ShowText = false; // the cache then holds only the copies
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    for (const int zoom : {0, 3}) {
        SCOPED_TRACE(zoom);
        const Viewport v = Viewport::showing(crowd.picture.size(), 10, {400, 300}, zoom, {700, 900});
        GoHighlight h;
        const MapScene scene{v, crowd.picture, crowd.locations, crowd.markers, s, o, h, &crowd.index};
        MapPainter ahead;
        EXPECT_EQ(ahead.cacheBytes(), 0);
        EXPECT_TRUE(ahead.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now() + std::chrono::minutes(1)));
        const qint64 copy = ahead.cacheBytes();
        EXPECT_GT(copy, 0);
        const QImage painted = ahead.paint(scene);
        EXPECT_EQ(ahead.cacheBytes(), copy); // no second copy
        EXPECT_TRUE(MapPainter().paint(scene) == painted);

        MapPainter parted;
        parted.paintInPartsAbove(crowd.locations.size() - 1);
        EXPECT_TRUE(parted.renderCaptionsAhead(scene, 1, std::chrono::steady_clock::now() + std::chrono::minutes(1)));
        EXPECT_EQ(parted.cacheBytes(), 0);
    }
}

TEST(HiddenCaptions, RepaintsInPartsFindTheirCaptionsOnlyWhileTheCacheHoldsThem)
{
    // A paint in parts keeps the captions its plan shows for the next part and the next
    // paint: another ratio, a cache that lets captions go between paints, a scroll that
    // shows others and a renamed place must each give the pixels of a fresh painter.
    const test::Crowd& crowd = test::bigCrowd();
    LocationList locations = crowd.locations;
    const SpatialIndex index(locations, crowd.markers);
    Settings on = test::everyOverlay();
    on.HideOverlappingCaptions = true;
    const DrawingObjects o = DrawingObjects::fromSettings(on);
    for (const std::int64_t budget : {std::int64_t(1), std::int64_t(64) << 20}) {
        MapPainter parted(budget);
        parted.paintInPartsAbove(0);
        const Viewport base = Viewport::showing(crowd.picture.size(), 2, {480, 300}, 5);
        const QPoint m = base.scrollMaximum();
        const struct {
            QPoint scroll;
            qreal ratio;
            bool rename;
        } steps[] = {{m / 2, 1, false}, {m / 2, 2, false}, {m / 2, 1, false}, {m / 2 + QPoint(9, 4), 1, false},
                     {m / 2, 1, true},  {m / 2, 2, false}};
        for (const auto& step : steps) {
            SCOPED_TRACE(testing::Message() << "budget " << budget << " scroll " << step.scroll.x() << ","
                                            << step.scroll.y() << " ratio " << step.ratio << " rename " << step.rename);
            if (step.rename)
                for (std::size_t i = 0; i < locations.size(); i += 3)
                    if (!locations[i].Name.isEmpty())
                        locations[i].Name = "W" + locations[i].Name;
            const Viewport v = Viewport::showing(crowd.picture.size(), 2, {480, 300}, 5, step.scroll);
            GoHighlight h1, h2;
            const QImage want = MapPainter().paint(
                MapScene{v, crowd.picture, locations, crowd.markers, on, o, h1, &index}, step.ratio);
            EXPECT_TRUE(
                parted.paint(MapScene{v, crowd.picture, locations, crowd.markers, on, o, h2, &index}, step.ratio)
                == want);
        }
    }
}

TEST(HiddenCaptions, APaintInPartsFramesWhatTheTogglesTheFilterAndGoLetThrough)
{
    // A paint in parts reads what each place draws once, for all its parts: a status
    // toggled off, a kind filtered out and Go's place of no known status (drawn in the
    // colour of the place before it) give the pixels of a paint gathered whole.
    const test::Crowd& crowd = test::bigCrowd();
    LocationList locations = crowd.locations;
    const QByteArray kinds[] = {"mine", "shrine", "town"};
    for (std::size_t i = 0; i < locations.size(); ++i)
        locations[i].Kind = kinds[(i * 7) % 3];
    const SpatialIndex index(locations, crowd.markers);
    const int unknown = int(std::find_if(locations.begin(), locations.end(),
                                         [](const Location& L) {
                                             return L.Status != Unvisited && L.Status != Active && L.Status != Visited
                                                    && L.Level == 0;
                                         })
                            - locations.begin());
    ASSERT_LT(std::size_t(unknown), locations.size());
    Settings on = test::everyOverlay();
    on.HideOverlappingCaptions = true;
    on.ShowActive = false;
    const PlaceFilter filter({"mine", "town"}, {});
    const DrawingObjects o = DrawingObjects::fromSettings(on);
    MapPainter whole, parted;
    parted.paintInPartsAbove(0);
    for (const int level : {2, 5, 7}) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        Viewport v = Viewport::showing(crowd.picture.size(), 2, {480, 300}, level);
        v.centreOn(locations[std::size_t(unknown)].X, locations[std::size_t(unknown)].Y);
        GoHighlight h1, h2;
        h1.set(unknown);
        h2.set(unknown);
        MapScene a{v, crowd.picture, locations, crowd.markers, on, o, h1, &index};
        MapScene b{v, crowd.picture, locations, crowd.markers, on, o, h2, &index};
        a.places = b.places = &filter;
        const QImage want = whole.paint(a);
        EXPECT_TRUE(parted.paint(b) == want);
        // Not vacuous: Go's place shows.
        GoHighlight none;
        MapScene c{v, crowd.picture, locations, crowd.markers, on, o, none, &index};
        c.places = &filter;
        EXPECT_FALSE(MapPainter().paint(c) == want);
    }
}

TEST(HiddenCaptions, APaintInPartsReadsWhatEachPlaceDrawsAfreshEachPaint)
{
    // What each place draws and its name are read once a paint for all its parts (on the
    // second core beside the plan, or before it on one): a change between two paints of
    // the same view must show in the next, as a fresh painter paints it.
    const test::Crowd& crowd = test::bigCrowd();
    Settings base = test::everyOverlay();
    base.HideOverlappingCaptions = true;
    const Viewport v = Viewport::showing(crowd.picture.size(), 2, {480, 300}, 5, QPoint(1400, 900));
    // The place nearest the panel's centre, of a level that shows there.
    int near = -1;
    for (std::size_t i = 0; i < crowd.locations.size(); ++i) {
        const QPoint q = v.mapToPanel(crowd.locations[i].X, crowd.locations[i].Y);
        if (v.LevelVisible(crowd.locations[i].Level) && QRect(200, 120, 80, 60).contains(q)) {
            near = int(i);
            break;
        }
    }
    ASSERT_GE(near, 0);
    const struct {
        const char* name;
        void (*change)(LocationList&, Settings&, int near);
    } changes[] = {
        {"status",
         [](LocationList& l, Settings&, int i) { l[std::size_t(i)].Status = l[std::size_t(i)].Status % 3 + 1; }},
        {"toggle", [](LocationList&, Settings& s, int) { s.ShowUnvisited = !s.ShowUnvisited; }},
        {"rename",
         [](LocationList& l, Settings&, int i) { l[std::size_t(i)].Name = "Wide renamed place of many words"; }},
        {"unnamed", [](LocationList& l, Settings&, int i) { l[std::size_t(i)].Name.clear(); }},
    };
    for (const bool twoCores : {false, true})
        for (const qreal ratio : {1.0, 2.0})
            for (const auto& c : changes) {
                SCOPED_TRACE(testing::Message() << c.name << " two cores " << twoCores << " ratio " << ratio);
                LocationList locations = crowd.locations;
                Settings on = base;
                const SpatialIndex index(locations, crowd.markers);
                MapPainter parted;
                parted.useSecondCore(twoCores);
                parted.paintInPartsAbove(0);
                const DrawingObjects o = DrawingObjects::fromSettings(on);
                GoHighlight h1, h2, h3;
                const QImage before
                    = parted.paint(MapScene{v, crowd.picture, locations, crowd.markers, on, o, h1, &index}, ratio);
                c.change(locations, on, near);
                const QImage after
                    = parted.paint(MapScene{v, crowd.picture, locations, crowd.markers, on, o, h2, &index}, ratio);
                const QImage want = MapPainter().paint(
                    MapScene{v, crowd.picture, locations, crowd.markers, on, o, h3, &index}, ratio);
                EXPECT_TRUE(after == want);
                EXPECT_FALSE(after == before); // not vacuous: the change shows
            }
}

TEST(HiddenCaptions, WidthsKeptFromPaintToPaintFollowMarkerTextsLimitsAndTheFont)
{
    // The plan keeps each caption's width for the paints that follow: a marker's text
    // edited (to a longer one, or to one as long and narrower), a limit of the characters
    // shown and another font must each give the pixels of a fresh painter. The markers'
    // index is made again after an edit, as the world makes it.
    const test::Crowd& crowd = test::bigCrowd();
    Settings base = test::everyOverlay();
    base.HideOverlappingCaptions = true;
    const Viewport v = Viewport::showing(crowd.picture.size(), 2, {480, 300}, 5, QPoint(1400, 900));
    std::vector<std::size_t> near; // markers whose diamonds lie on the panel
    for (std::size_t i = 0; i < crowd.markers.size(); ++i)
        if (v.LevelVisible(crowd.markers[i].Level)
            && QRect(QPoint(0, 0), v.panel()).contains(v.mapToPanel(crowd.markers[i].X, crowd.markers[i].Y)))
            near.push_back(i);
    ASSERT_GE(near.size(), 3u);
    const struct {
        const char* what;
        void (*change)(LocationList& markers, const std::vector<std::size_t>& near, Settings&);
    } changes[] = {
        {"marker texts longer",
         [](LocationList& m, const std::vector<std::size_t>& onPanel, Settings&) {
             for (const std::size_t i : onPanel)
                 m[i].Name = "A marker's text grown much wider than it was";
         }},
        {"marker texts as long, narrower",
         [](LocationList& m, const std::vector<std::size_t>& onPanel, Settings&) {
             for (const std::size_t i : onPanel)
                 m[i].Name = QByteArray(m[i].Name.size(), 'i');
         }},
        {"place names cut", [](LocationList&, const std::vector<std::size_t>&, Settings& s) { s.TextLength = 4; }},
        {"marker texts cut", [](LocationList&, const std::vector<std::size_t>&, Settings& s) { s.MarkerLength = 2; }},
        {"another font", [](LocationList&, const std::vector<std::size_t>&, Settings& s) { s.MapFontSize += 5; }},
    };
    for (const bool twoCores : {false, true})
        for (const auto& c : changes) {
            SCOPED_TRACE(testing::Message() << c.what << ", two cores " << twoCores);
            LocationList markers = crowd.markers;
            Settings on = base;
            SpatialIndex index = crowd.index;
            MapPainter kept;
            kept.useSecondCore(twoCores);
            kept.paintInPartsAbove(0);
            GoHighlight h1, h2, h3;
            const DrawingObjects before = DrawingObjects::fromSettings(on);
            const QImage first
                = kept.paint(MapScene{v, crowd.picture, crowd.locations, markers, on, before, h1, &index});
            c.change(markers, near, on);
            index.setMarkers(markers);
            const DrawingObjects after = DrawingObjects::fromSettings(on);
            const QImage again
                = kept.paint(MapScene{v, crowd.picture, crowd.locations, markers, on, after, h2, &index});
            EXPECT_TRUE(
                again
                == MapPainter().paint(MapScene{v, crowd.picture, crowd.locations, markers, on, after, h3, &index}));
            EXPECT_FALSE(again == first); // not vacuous: the change shows
        }
}

TEST(HiddenCaptions, PartsOfEveryHeightAndMarkersTheIndexLacksShowWhatAWholePaintShows)
{
    // A place goes to the parts its drawing reaches, found by division: panels whose
    // height is a whole number of parts, one row more or less, and a last part of one row;
    // and markers the index no longer covers (one added since it was made), which every
    // part then finds by looking at them all. Each on one core and two, beside a whole
    // paint.
    const test::Crowd& crowd = test::bigCrowd();
    Settings on = test::everyOverlay();
    on.HideOverlappingCaptions = true;
    const DrawingObjects o = DrawingObjects::fromSettings(on);
    const struct {
        QSize panel;
        qreal ratio;
        bool indexedMarkers;
    } cases[] = {
        {{480, 256}, 1, true}, {{480, 255}, 1, true},  {{480, 257}, 1, true},  {{333, 385}, 1, true},
        {{480, 257}, 2, true}, {{480, 300}, 1, false}, {{480, 300}, 2, false},
    };
    for (const auto& c : cases)
        for (const bool twoCores : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.panel.width() << "x" << c.panel.height() << " ratio " << c.ratio
                                            << " indexed markers " << c.indexedMarkers << " two cores " << twoCores);
            Viewport v = Viewport::showing(crowd.picture.size(), 2, c.panel, 5);
            v.scrollTo(QPoint(v.scrollMaximum().x() / 2, v.scrollMaximum().y() / 3));
            // A marker added at the panel's centre since the index was made.
            LocationList markers = crowd.markers;
            if (!c.indexedMarkers) {
                const QPoint centre = v.panelToPicture(QPoint(c.panel.width() / 2, c.panel.height() / 2));
                Location added;
                added.Name = "Added after the index";
                added.X = v.ScreenToMap(centre.x(), centre.y()).x();
                added.Y = v.ScreenToMap(centre.x(), centre.y()).y();
                markers.push_back(added);
            }
            MapPainter whole, parted;
            parted.useSecondCore(twoCores);
            parted.paintInPartsAbove(0);
            GoHighlight h1, h2;
            const QImage want
                = whole.paint(MapScene{v, crowd.picture, crowd.locations, markers, on, o, h1, &crowd.index}, c.ratio);
            EXPECT_TRUE(
                parted.paint(MapScene{v, crowd.picture, crowd.locations, markers, on, o, h2, &crowd.index}, c.ratio)
                == want);
        }
}
