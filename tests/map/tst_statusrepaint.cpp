// SPDX-License-Identifier: MIT
// A place's new status repaints only what its drawing can touch, and only where that is
// provably what a whole paint gives: every edit here is checked against a fresh painter's
// whole paint of the edited world.
#include "map/crowdworld.h"
#include "map/scrollreuse.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vdm;
using namespace vdm::test;

namespace {

/** A window's paints of a world whose statuses change: as MapCanvas tells the reuse of each edit. */
struct EditRig {
    LocationList locations = crowd(6000, 23);
    LocationList markers = markersOf(200, 24);
    SpatialIndex index{locations, markers};
    QImage picture{660, 760, QImage::Format_RGB32};
    Settings settings = everyOverlay();
    DrawingObjects objects = DrawingObjects::fromSettings(settings);
    Viewport view;
    GoHighlight highlight;
    MapPainter painter, reference;
    QImage buffer;
    ScrollReuse reuse;
    std::uint64_t revision = 1;

    EditRig()
    {
        picture.fill(qRgb(40, 90, 60));
        view = Viewport::showing(picture.size(), 2, {480, 320}, 1);
        view.scrollTo(view.scrollMaximum() / 2);
    }
    MapScene scene() { return {view, picture, locations, markers, settings, objects, highlight, &index}; }
    ScrollReuse::Kind paint() { return reuse.paint(painter, buffer, scene(), revision); }
    /** Place `i` takes `status`; the next paint is told only that, as the canvas tells it. */
    ScrollReuse::Kind edit(int i, std::int32_t status)
    {
        const std::uint64_t from = revision++;
        locations[size_t(i)].Status = status;
        MapScene now = scene();
        const std::optional<QRect> area = painter.statusReach(now, i);
        return reuse.paint(painter, buffer, now, revision, true,
                           area ? std::optional(ScrollReuse::BoundedChange{from, *area}) : std::nullopt);
    }
    QImage whole(const GoHighlight& h)
    {
        GoHighlight copy = h;
        return reference.paint(MapScene{view, picture, locations, markers, settings, objects, copy, &index});
    }
    QPoint at(int i) const { return view.mapToPanel(locations[size_t(i)].X, locations[size_t(i)].Y); }
    bool onLevel(int i) const { return view.LevelVisible(locations[size_t(i)].Level); }
    /** The first place on this level whose point passes `where`. */
    int find(const std::function<bool(QPoint)>& where) const
    {
        for (int i = 0; i < int(locations.size()); ++i)
            if (onLevel(i) && !locations[size_t(i)].Name.isEmpty() && where(at(i)))
                return i;
        return -1;
    }
    /** A place deep inside the panel whose caption box holds other places' points. */
    int crowded() const
    {
        const QRect inner = QRect(QPoint(0, 0), view.panel()).adjusted(60, 40, -160, -40);
        return find([&](QPoint q) {
            if (!inner.contains(q))
                return false;
            int near = 0;
            for (size_t j = 0; j < locations.size(); ++j)
                near += view.LevelVisible(locations[j].Level)
                        && QRect(q.x(), q.y() - 2, 60, 16).contains(view.mapToPanel(locations[j].X, locations[j].Y));
            return near > 2;
        });
    }
};

} // namespace

TEST(StatusRepaint, EachEditShowsWhatAWholePaintShowsAndRepaintsOnlyItsPlace)
{
    using Kind = ScrollReuse::Kind;
    struct Case {
        const char* what;
        std::function<void(EditRig&)> before; // settings and highlight, before the first paint
        std::function<int(EditRig&)> place;
        std::vector<std::int32_t> statuses; // set, undone, redone: one edit each
        Kind kind;
        std::function<void(EditRig&)> between = {}; // before each edit
    };
    const auto inside = [](EditRig& r) { return r.crowded(); };
    const Case cases[] = {
        {"set, undo, redo", {}, inside, {Visited, Unvisited, Visited, Active}, Kind::Region},
        {"a caption over others", {}, inside, {Active, Visited}, Kind::Region},
        {"half off the left edge",
         {},
         [](EditRig& r) {
             return r.find([](QPoint q) { return q.x() >= -3 && q.x() <= 1 && q.y() > 20 && q.y() < 300; });
         },
         {Visited, Active, Unvisited},
         Kind::Region},
        {"half off the right edge",
         {},
         [](EditRig& r) {
             return r.find([&](QPoint q) {
                 return q.x() > r.view.panel().width() - 40 && q.x() < r.view.panel().width() && q.y() > 20;
             });
         },
         {Visited, Active},
         Kind::Region},
        {"off the panel",
         {},
         [](EditRig& r) {
             return r.find(
                 [&](QPoint q) { return q.x() > r.view.panel().width() + 20 || q.y() > r.view.panel().height() + 60; });
         },
         {Visited, Active},
         Kind::Region},
        {"an unknown status", {}, inside, {7, Visited, 0}, Kind::Region},
        {"its toggle off",
         [](EditRig& r) { r.settings.ShowVisited = false; },
         inside,
         {Visited, Active, Visited},
         Kind::Region},
        {"every toggle off",
         [](EditRig& r) { r.settings.ShowVisited = r.settings.ShowActive = r.settings.ShowUnvisited = false; },
         inside,
         {Visited, Active},
         Kind::Region},
        {"captions off", [](EditRig& r) { r.settings.ShowText = false; }, inside, {Visited, Active}, Kind::Region},
        {"long captions cut", [](EditRig& r) { r.settings.TextLength = 4; }, inside, {Visited, Active}, Kind::Region},
        {"overlapping captions hidden",
         [](EditRig& r) { r.settings.HideOverlappingCaptions = true; },
         inside,
         {Visited, Active},
         Kind::Whole},
        {"hidden overlaps, toggle off",
         [](EditRig& r) {
             r.settings.HideOverlappingCaptions = true;
             r.settings.ShowActive = false;
         },
         inside,
         {Active, Visited},
         Kind::Whole},
        {"a place highlighted",
         {},
         inside,
         {Visited, Active},
         Kind::Whole,
         [](EditRig& r) { r.highlight.set(r.crowded() + 1); }},
        {"the edited place highlighted",
         {},
         inside,
         {Visited, Active},
         Kind::Whole,
         [](EditRig& r) { r.highlight.set(r.crowded()); }},
    };
    for (const Case& c : cases) {
        EditRig r;
        if (c.before)
            c.before(r);
        r.objects = DrawingObjects::fromSettings(r.settings);
        const int i = c.place(r);
        ASSERT_GE(i, 0) << c.what;
        r.paint();
        for (const std::int32_t status : c.statuses) {
            if (r.locations[size_t(i)].Status == status)
                continue;
            if (c.between)
                c.between(r);
            const GoHighlight before = r.highlight;
            ASSERT_EQ(r.edit(i, status), c.kind) << c.what << " to " << status;
            ASSERT_TRUE(r.buffer == r.whole(before)) << c.what << " to " << status;
        }
    }
}

TEST(StatusRepaint, AnEditWithAnythingElseChangedPaintsWhole)
{
    struct Case {
        const char* what;
        std::function<void(EditRig&)> also;
        bool toldFromLastPaint = true;
    } cases[] = {
        {"another notice in between", {}, false},
        {"scrolled",
         [](EditRig& r) {
             r.view.scrollBy({5, 3});
         }},
        {"a setting", [](EditRig& r) { r.settings.ShowShips = false; }},
        {"a colour", [](EditRig& r) { r.objects.BrushVisited = Qt::red; }},
        {"the buffer written elsewhere", [](EditRig& r) { r.buffer.setPixel(0, 0, 0xFF123456u); }},
    };
    for (const Case& c : cases) {
        EditRig r;
        const int i = r.crowded();
        r.paint();
        if (c.also)
            c.also(r);
        const std::uint64_t from = c.toldFromLastPaint ? r.revision : r.revision + 1;
        r.revision += c.toldFromLastPaint ? 1 : 2;
        r.locations[size_t(i)].Status = r.locations[size_t(i)].Status == Visited ? Active : Visited;
        const GoHighlight before = r.highlight;
        MapScene now = r.scene();
        const std::optional<QRect> area = r.painter.statusReach(now, i);
        ASSERT_TRUE(area) << c.what;
        EXPECT_EQ(r.reuse.paint(r.painter, r.buffer, now, r.revision, true, ScrollReuse::BoundedChange{from, *area}),
                  ScrollReuse::Kind::Whole)
            << c.what;
        EXPECT_TRUE(r.buffer == r.whole(before)) << c.what;
    }
}
