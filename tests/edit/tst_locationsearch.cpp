// SPDX-License-Identifier: MIT
// Quick find: what matches, in which order, and how the index follows the notes.
#include "edit/locationsearch.h"

#include "world/world.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vdm {
namespace {

Location place(const QByteArray& name, const QByteArray& region = {}, const QByteArray& kind = {},
               const QByteArray& note = {})
{
    Location l;
    l.Name = name;
    l.Region = region;
    l.Kind = kind;
    l.Note = note;
    return l;
}

using Field = LocationSearch::Field;

std::vector<int> indices(const LocationSearch::Result& r)
{
    std::vector<int> out;
    for (const LocationSearch::Hit& h : r.hits)
        out.push_back(h.index);
    return out;
}

TEST(LocationSearch, FoldsCaseAndAccentsOfTheCodePage)
{
    const struct {
        QByteArray text, folded;
    } rows[] = {
        {"Harrowmere", "harrowmere"},
        {"\xC9glise \xE9t\xE9", "eglise ete"}, // É, é
        {"K\xD6LN k\xF6ln", "koln koln"},      // Ö, ö
        {"Stra\xDF"
         "e",
         "strasse"}, // ß
        {"\xC6sir \xE6rie \x8C"
         "uvre \x9C",
         "aesir aerie oeuvre oe"},
        {"\xDEorn \xFE", "thorn th"},
        {"\xC7\xE7\xD1\xF1\xD8\xF8\xFF\x9F\x8A\x9A\x8E\x9E", "ccnnooyysszz"},
        {"tab\there\r\n", "tab here  "},
        {"5 \xD7 3 \xF7 1, 100%", "5 \xD7 3 \xF7 1, 100%"}, // signs stay
    };
    for (const auto& r : rows)
        EXPECT_EQ(LocationSearch::fold(r.text), r.folded) << r.text.constData();
}

TEST(LocationSearch, QueryIsTrimmedAndFoldedOrNothing)
{
    EXPECT_EQ(LocationSearch::foldQuery(u"  Stra\u00DFe "), QByteArray("strasse"));
    EXPECT_EQ(LocationSearch::foldQuery(u"\u00C9T\u00C9"), QByteArray("ete"));
    EXPECT_EQ(LocationSearch::foldQuery(u"   "), std::nullopt);
    EXPECT_EQ(LocationSearch::foldQuery(u""), std::nullopt);
    // No stored text can hold a character outside the code page.
    EXPECT_EQ(LocationSearch::foldQuery(u"\u4E2D"), std::nullopt);
}

class LocationSearchWorld : public ::testing::Test {
protected:
    LocationSearchWorld()
        : world(dir.path(),
                {
                    place("Harrowmere", "Ashen Vale", "town", "bought a map here"),
                    place("Old Mere Tower", "Ashen Vale", "ruin"),
                    place("Kirchstra\xDF"
                          "e",
                          "Ost Marches", "village"),
                    place("\xC9"
                          "cluse",
                          "Gr\xFCn Weald", "castle", "the MERE key is in the cellar"),
                    place("Meresby", "Salt Reach", "port"),
                },
                {})
    {}
    QTemporaryDir dir;
    World world;
    LocationSearch search;
};

TEST_F(LocationSearchWorld, MatchesEachPartIgnoringCaseAndAccents)
{
    const struct {
        const char16_t* query;
        std::vector<int> hits;
        std::vector<Field> fields;
    } rows[] = {
        {u"arrow", {0}, {Field::Name}},        // a name part
        {u"HARROW", {0}, {Field::Name}},       // case
        {u"ecluse", {3}, {Field::Name}},       // accent in the name, plain query
        {u"\u00E9CLUSE", {3}, {Field::Name}},  // accent in both
        {u"kirchstrasse", {2}, {Field::Name}}, // ß as ss
        {u"stra\u00DF", {2}, {Field::Name}},   // and the other way
        {u"gruen", {}, {}},                    // ü folds to u, not ue
        {u"grun weald", {3}, {Field::Region}}, // the first line after the name
        {u"ruin", {1}, {Field::Kind}},         // the second
        {u"bought a MAP", {0}, {Field::Note}}, // the note
        {u"cellar", {3}, {Field::Note}},
        {u"nowhere", {}, {}},
        {u"vale\ntown", {}, {}}, // never across two fields
    };
    for (const auto& r : rows) {
        const LocationSearch::Result result = search.find(world, r.query, 10);
        EXPECT_EQ(indices(result), r.hits) << QString::fromUtf16(r.query).toStdString();
        EXPECT_EQ(result.total, int(r.hits.size()));
        for (std::size_t i = 0; i < r.fields.size() && i < result.hits.size(); ++i)
            EXPECT_EQ(result.hits[i].field, r.fields[i]) << QString::fromUtf16(r.query).toStdString();
    }
}

TEST_F(LocationSearchWorld, NameStartsFirstThenNamesThenLinesThenNotes)
{
    // "mere": Meresby starts with it; Harrowmere and Old Mere Tower hold it; Écluse's note.
    const LocationSearch::Result all = search.find(world, u"mere", 10);
    EXPECT_EQ(indices(all), (std::vector<int>{4, 0, 1, 3}));
    EXPECT_EQ(all.hits.back().field, Field::Note);
    EXPECT_EQ(all.total, 4);

    const LocationSearch::Result two = search.find(world, u"mere", 2);
    EXPECT_EQ(indices(two), (std::vector<int>{4, 0}));
    EXPECT_EQ(two.total, 4); // the count says how many more there are
}

TEST(LocationSearch, HitsOfOneGroupComeInTheLocationListsOrder)
{
    QTemporaryDir dir;
    const World world(dir.path(),
                      {place("Mere Zeta", "", ""), place("Mere Alpha", "", ""), place("M\xE8re Beta", "", ""),
                       place("Amere", "", "")},
                      {});
    LocationSearch search;
    // Three names start with it, listed as the list lists them (the accent beside its
    // letter); the name that holds it further in comes after them all.
    EXPECT_EQ(indices(search.find(world, u"mere", 10)), (std::vector<int>{1, 2, 0, 3}));
    EXPECT_EQ(indices(search.find(world, u"mere", 2)), (std::vector<int>{1, 2}));
}

TEST_F(LocationSearchWorld, FollowsNoteChangesAndReplacedLists)
{
    EXPECT_TRUE(indices(search.find(world, u"dragon", 10)).empty());
    world.setLocationNote(1, "a dragon sleeps here");
    EXPECT_EQ(indices(search.find(world, u"dragon", 10)), std::vector<int>{1});
    // Changed again: the old text no longer matches, the new one does.
    world.setLocationNote(1, "the wyrm left");
    EXPECT_TRUE(indices(search.find(world, u"dragon", 10)).empty());
    EXPECT_EQ(indices(search.find(world, u"wyrm", 10)), std::vector<int>{1});
    // Many changes: the buffer is rebuilt and every location still found once.
    for (int round = 0; round < 20; ++round)
        for (int i = 0; i < 5; ++i)
            world.setLocationNote(i, "round " + QByteArray::number(round));
    // (in the list's order: Écluse, Harrowmere, Kirchstraße, Meresby, Old Mere Tower)
    EXPECT_EQ(indices(search.find(world, u"round 19", 10)), (std::vector<int>{3, 0, 2, 4, 1}));
    EXPECT_TRUE(indices(search.find(world, u"round 18", 10)).empty());

    // Another world in its place is indexed afresh.
    world = World(dir.path(), {place("Zed")}, {});
    EXPECT_EQ(indices(search.find(world, u"zed", 10)), std::vector<int>{0});
    EXPECT_TRUE(indices(search.find(world, u"round", 10)).empty());
}

TEST_F(LocationSearchWorld, EmptyOrForeignQueryFindsNothing)
{
    for (const char16_t* q : {u"", u"  ", u"\u4E2D"}) {
        const LocationSearch::Result r = search.find(world, q, 10);
        EXPECT_TRUE(r.hits.empty());
        EXPECT_EQ(r.total, 0);
    }
}

} // namespace
} // namespace vdm
