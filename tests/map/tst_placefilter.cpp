// SPDX-License-Identifier: MIT
// The place filter: which places it admits, the choices a world offers, and a filtered
// world painted and hit exactly as a world holding only the admitted places.
#include "crowdworld.h"

#include "map/hittest.h"
#include "map/mappainter.h"
#include "map/placefilter.h"
#include "map/scrollreuse.h"

#include <gtest/gtest.h>

namespace vdm {
namespace {

Location place(QByteArray kind, QByteArray region)
{
    Location l;
    l.Name = "P";
    l.Kind = std::move(kind);
    l.Region = std::move(region);
    return l;
}

TEST(PlaceFilter, AdmitsByKindAndRegion)
{
    const struct {
        const char* what;
        PlaceFilter filter;
        Location place;
        bool admitted;
    } rows[] = {
        {"no choice admits all", {}, place("mine", "Karuford Downs"), true},
        {"kind chosen", {{"mine"}, {}}, place("mine", "Karuford Downs"), true},
        {"other kind", {{"mine"}, {}}, place("shrine", "Karuford Downs"), false},
        {"blanks around the line", {{"mine"}, {}}, place("  mine\t", ""), true},
        {"blanks around the choice", {{" mine "}, {}}, place("mine", ""), true},
        {"case counts", {{"mine"}, {}}, place("Mine", ""), false},
        {"several kinds", {{"shrine", "mine"}, {}}, place("mine", ""), true},
        {"region chosen", {{}, {"Karuford Downs"}}, place("town", "Karuford Downs"), true},
        {"other region", {{}, {"Karuford Downs"}}, place("town", "Ashen Vale"), false},
        {"both must hold", {{"mine"}, {"Karuford Downs"}}, place("mine", "Ashen Vale"), false},
        {"both hold", {{"mine"}, {"Karuford Downs"}}, place("mine", "Karuford Downs"), true},
        {"no kind line, empty chosen", {{""}, {}}, place("", ""), true},
        {"no kind line, kind chosen", {{"mine"}, {}}, place("", ""), false},
        {"prefix is not the kind", {{"min"}, {}}, place("mine", ""), false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.filter.admits(r.place), r.admitted) << r.what;
}

TEST(PlaceFilter, ChoicesAreSortedCountedAndWithoutRepeats)
{
    const PlaceFilter f({"mine", " mine", "cave"}, {"b", "a", "b"});
    EXPECT_EQ(f.kinds(), (std::vector<QByteArray>{"cave", "mine"}));
    EXPECT_EQ(f.regions(), (std::vector<QByteArray>{"a", "b"}));
    EXPECT_TRUE(f.active());
    EXPECT_FALSE(PlaceFilter().active());
    EXPECT_FALSE(PlaceFilter({}, {}).active());

    const LocationList world = {place("mine", "Karuford Downs"), place("Mine ", "ashen"),
                                place("cave", "Karuford Downs"), place("mine", ""), place("", "")};
    EXPECT_EQ(kindChoices(world), (std::vector<FilterChoice>{{"", 1}, {"cave", 1}, {"Mine", 1}, {"mine", 2}}));
    EXPECT_EQ(regionChoices(world), (std::vector<FilterChoice>{{"", 2}, {"ashen", 1}, {"Karuford Downs", 2}}));

    // Texts as the reader leaves them: one copy shared by many places, beside equal texts
    // in copies of their own and texts that differ only by blanks at the ends.
    LocationList shared;
    const QByteArray mine("mine");
    for (int i = 0; i < 5; ++i)
        shared.push_back(place(mine, "Karuford Downs"));
    shared.push_back(place(QByteArray("mine", 4), "Karuford Downs"));
    shared.push_back(place(" mine\t", QByteArray()));
    shared.push_back(place(QByteArray(), QByteArray("")));
    EXPECT_EQ(kindChoices(shared), (std::vector<FilterChoice>{{"", 1}, {"mine", 7}}));
    EXPECT_EQ(regionChoices(shared), (std::vector<FilterChoice>{{"", 2}, {"Karuford Downs", 6}}));
}

TEST(PlaceFilter, TheStatusTogglesAndTheFilterBothDecide)
{
    Location mine = place("mine", "");
    mine.Status = Visited;
    const PlaceFilter mines({"mine"}, {}), caves({"cave"}, {});
    LocationFilter f;
    f.Places = &mines;
    EXPECT_TRUE(f.lets(mine));
    f.ShowVisited = false;
    EXPECT_FALSE(f.lets(mine));
    f.ShowVisited = true;
    f.Places = &caves;
    EXPECT_FALSE(f.lets(mine));
    // Go's highlight shows its place whatever the filter says, as whatever the toggle says.
    const LocationList list = {mine};
    const Viewport v = Viewport::showing({660, 760}, 2, {330, 380}, 0);
    EXPECT_FALSE(locationShown(v, list, 0, f));
    f.HighlightIndex = 0;
    EXPECT_TRUE(locationShown(v, list, 0, f));
}

/** The crowd with kinds and regions from small sets, so a filter keeps some of every level. */
LocationList classifiedCrowd()
{
    LocationList places = test::crowd(1500, 29);
    const QByteArray kinds[] = {"mine", "shrine", "town", " mine"};
    const QByteArray regions[] = {"Karuford Downs", "Ashen Vale", ""};
    for (std::size_t i = 0; i < places.size(); ++i) {
        places[i].Kind = kinds[(i * 7) % 4];
        places[i].Region = regions[(i * 5 / 3) % 3];
        places[i].Routes.clear(); // the networks are not the places'; a smaller world keeps none of them
    }
    return places;
}

TEST(PlaceFilter, PaintsAndHitsAsAWorldOfOnlyTheAdmittedPlaces)
{
    const LocationList all = classifiedCrowd();
    const PlaceFilter filters[] = {
        PlaceFilter({"mine"}, {"Karuford Downs"}),
        PlaceFilter({"shrine", "town"}, {}),
        PlaceFilter({}, {"Ashen Vale", ""}),
    };
    Settings settings = test::everyOverlay();
    settings.ShowActive = false; // the toggles still work beside the filter
    const DrawingObjects objects = DrawingObjects::fromSettings(settings);
    QImage picture(660, 760, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    const LocationList noMarkers;
    for (const PlaceFilter& filter : filters) {
        LocationList kept;
        std::vector<int> keptIndex; // index in `all` of each kept place
        for (std::size_t i = 0; i < all.size(); ++i)
            if (filter.admits(all[i])) {
                kept.push_back(all[i]);
                keptIndex.push_back(int(i));
            }
        ASSERT_FALSE(kept.empty());
        ASSERT_LT(kept.size(), all.size());
        const SpatialIndex allIndex(all, noMarkers), keptIndex_(kept, noMarkers);
        for (const int zoom : {0, 3, 5, 7}) {
            const Viewport view = Viewport::showing(picture.size(), 2, {330, 380}, zoom, {zoom * 300, zoom * 350});
            for (const bool indexed : {false, true}) {
                GoHighlight h1, h2;
                MapPainter p1, p2;
                const QImage filtered = p1.paint(MapScene{view, picture, all, noMarkers, settings, objects, h1,
                                                          indexed ? &allIndex : nullptr, &filter});
                const QImage smaller = p2.paint(
                    MapScene{view, picture, kept, noMarkers, settings, objects, h2, indexed ? &keptIndex_ : nullptr});
                EXPECT_TRUE(filtered == smaller) << "zoom " << zoom << (indexed ? ", indexed" : "");
            }
            LocationFilter withFilter{settings.ShowUnvisited, settings.ShowActive, settings.ShowVisited, -1, &filter};
            const LocationFilter plain{settings.ShowUnvisited, settings.ShowActive, settings.ShowVisited, -1};
            for (int y = 0; y < 380; y += 7)
                for (int x = 0; x < 330; x += 7) {
                    const int hitAll = locationAt(view, all, withFilter, {x, y}, &allIndex);
                    const int hitKept = locationAt(view, kept, plain, {x, y}, &keptIndex_);
                    ASSERT_EQ(hitAll, hitKept < 0 ? -1 : keptIndex[size_t(hitKept)])
                        << "zoom " << zoom << " at " << x << "," << y;
                }
        }
    }
}

TEST(PlaceFilter, AChangedFilterIsAnotherScene)
{
    const LocationList places = classifiedCrowd();
    const Settings settings;
    const DrawingObjects objects = DrawingObjects::fromSettings(settings);
    const QImage picture(660, 760, QImage::Format_RGB32);
    const Viewport view = Viewport::showing(picture.size(), 2, {330, 380}, 2);
    GoHighlight h;
    PlaceFilter filter;
    const LocationList none;
    const MapScene scene{view, picture, places, none, settings, objects, h, nullptr, &filter};
    const SceneSignature before = SceneSignature::of(scene, 1);
    filter.setKinds({"mine"});
    EXPECT_FALSE(SceneSignature::of(scene, 1) == before);
    filter.setKinds({});
    EXPECT_TRUE(SceneSignature::of(scene, 1) == before);
}

} // namespace
} // namespace vdm
