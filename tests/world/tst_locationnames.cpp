// SPDX-License-Identifier: MIT
// The location list's order: names sorted without regard to case, equal names in file
// order; in the C locale the same order as sorting the case-folded names one QString at a
// time, in the user's locale with accented letters beside their plain letters.
#include "data/codepage.h"
#include "world/locationnames.h"

#include <QLocale>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vdm {
namespace {

/** The plain rule: fold each decoded name, then a stable sort of the folded texts. */
std::vector<ListedLocation> foldedOneByOne(const LocationList& locations)
{
    std::vector<std::pair<QString, ListedLocation>> keyed;
    for (std::size_t i = 0; i < locations.size(); ++i) {
        const QString name = CodePage::decode(locations[i].Name);
        keyed.push_back({name.toCaseFolded(), {locations[i].Name, int(i)}});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ListedLocation> out;
    for (auto& k : keyed)
        out.push_back(k.second);
    return out;
}

LocationList named(const std::vector<QByteArray>& names)
{
    LocationList list(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        list[i].Name = names[i];
    return list;
}

std::vector<int> indexes(const std::vector<ListedLocation>& listed)
{
    std::vector<int> out;
    for (const ListedLocation& l : listed)
        out.push_back(l.index);
    return out;
}

struct Case {
    const char* what;
    std::vector<QByteArray> names;
    std::vector<int> order;
};

TEST(LocationNames, SortsByFoldedNameKeepingFileOrderForEqualNames)
{
    const std::vector<Case> cases = {
        {"empty list", {}, {}},
        {"case does not count", {"beta", "Alpha", "ALPHA", "alpha"}, {1, 2, 3, 0}},
        {"equal names keep file order", {"Ost", "Ost", "ost", "OST"}, {0, 1, 2, 3}},
        {"empty names first", {"a", "", "B", ""}, {1, 3, 0, 2}},
        {"a name before the longer names it begins", {"Abcdefgh", "Abcd", "abcde", "ABC"}, {3, 1, 2, 0}},
        {"differences past the first four letters", {"Kellingrad", "Kellinbrad", "kellingraa"}, {1, 2, 0}},
        {"accents fold with their case", {"\xC9vra", "\xE9vra", "Evra", "Zorn"}, {2, 3, 0, 1}},
        {"letters of the code page's upper half",
         {"\x8A"
          "a",
          "\x9A"
          "a",
          "Sa", "\xFF", "\x9F"},
         {2, 3, 4, 0, 1}},
        {"sharp s and micro sign",
         {"Stra\xDF"
          "e",
          "strasse", "\xB5m", "Mm"},
         {}},
        {"a zero byte sorts before every letter", {QByteArray("a\0b", 3), "a", QByteArray("a\0", 2)}, {1, 2, 0}},
        {"differences past the first sixteen letters",
         {"Abcdefghijklmnopqz", "abcdefghijklmnopqa", "ABCDEFGHIJKLMNOPQ", "abcdefghijklmnopqa"},
         {2, 1, 3, 0}},
        {"a sixteenth letter that unfolds to two",
         {"abcdefghijklmno\xDF"
          "b",
          "abcdefghijklmnossa"},
         {}},
        {"zero bytes past the sixteenth letter", {QByteArray("abcdefghijklmnop\0", 17), "abcdefghijklmnop"}, {1, 0}},
        {"differences past the first twelve letters",
         {"Abcdefghijklm", "abcdefghijklz", "ABCDEFGHIJKL", "abcdefghijkla", "abcdefghijklM"},
         {2, 3, 0, 4, 1}},
        {"a twelfth letter that unfolds to two",
         {"abcdefghijk\xDF"
          "b",
          "abcdefghijkssa"},
         {}},
        {"zero bytes past the twelfth letter", {QByteArray("abcdefghijkl\0", 13), "abcdefghijkl"}, {1, 0}},
        {"a difference in the eighth or ninth letter",
         {"abcdefgz", "abcdefgha", "abcdefgaz", "abcdefghA"},
         {2, 1, 3, 0}},
    };
    for (const Case& c : cases) {
        const LocationList list = named(c.names);
        const std::vector<ListedLocation> sorted = sortedLocationNames(list, QLocale::c());
        EXPECT_EQ(sorted, foldedOneByOne(list)) << c.what;
        if (!c.order.empty() || c.names.empty()) { // else how far a letter unfolds is Qt's to say
            EXPECT_EQ(indexes(sorted), c.order) << c.what;
        }
    }
}

TEST(LocationNames, ManyGeneratedNamesSortAsTheFoldedNames)
{
    // Names from a small alphabet of mixed case and accents, up to about half and up to
    // twice the twelve packed letters: many equal and many sharing their first letters,
    // so every branch of the comparison is taken.
    const QByteArray alphabet("aAbB\xE9\xC9\x9A\x8A\xDFsS\xB5 -");
    for (const int longest : {8, 24}) {
        QRandomGenerator random(17);
        std::vector<QByteArray> names(100000);
        for (QByteArray& name : names) {
            const int length = int(random.bounded(longest + 1));
            for (int k = 0; k < length; ++k)
                name += alphabet[int(random.bounded(int(alphabet.size())))];
        }
        const LocationList list = named(names);
        EXPECT_EQ(sortedLocationNames(list, QLocale::c()), foldedOneByOne(list)) << longest;
    }
}

struct LocaleCase {
    const char* locale;
    const char* what;
    std::vector<QByteArray> names;
    std::vector<int> order;
};

TEST(LocationNames, AccentedLettersSortBesideTheirPlainLettersByTheLocale)
{
    const std::vector<LocaleCase> cases = {
        {"en_US",
         "u with diaeresis beside u",
         {"Audven Mine",
          "A\xFC"
          "desh Camp",
          "Azor"},
         {1, 0, 2}},
        {"en_US",
         "the accent decides between equal letters",
         {"\xC9"
          "vra",
          "Evra",
          "\xE9"
          "vra",
          "evra"},
         {1, 3, 0, 2}},
        {"en_US",
         "accents of every kind",
         {"Zorn",
          "\xC5"
          "sa",
          "\xE7"
          "a",
          "Ob",
          "\xD8"
          "c",
          "Ca"},
         {1, 5, 2, 3, 4, 0}},
        {"de_DE",
         "German umlauts",
         {"Ost",
          "\xD6"
          "l",
          "Nord", "Oz"},
         {2, 1, 0, 3}},
        {"fr_FR",
         "French accents",
         {"\xE9"
          "t\xE9",
          "ete", "Etre",
          "\xE9"
          "tage"},
         {3, 1, 0, 2}},
        {"sv_SE",
         "Swedish letters after z",
         {"\xC4"
          "lv",
          "Zeta", "Alv",
          "\xC5"
          "s"},
         {2, 1, 3, 0}},
        {"C",
         "no locale: by code",
         {"\xC4"
          "lv",
          "Zeta", "Alv"},
         {2, 1, 0}},
    };
    for (const LocaleCase& c : cases) {
        const std::vector<ListedLocation> sorted
            = sortedLocationNames(named(c.names), QLocale(QLatin1String(c.locale)));
        EXPECT_EQ(indexes(sorted), c.order) << c.locale << ": " << c.what;
    }
}

TEST(LocationNames, PlainNamesKeepTheirOrderInEveryLocale)
{
    // Letters, digits, blanks and the punctuation of plain text, mixed in case: the order
    // by their codes, whatever the locale says of punctuation.
    const QByteArray alphabet("aAbBzZ09 -'.(_~");
    QRandomGenerator random(23);
    std::vector<QByteArray> names(5000);
    for (QByteArray& name : names) {
        const int length = int(random.bounded(10));
        for (int k = 0; k < length; ++k)
            name += alphabet[int(random.bounded(int(alphabet.size())))];
    }
    const LocationList list = named(names);
    const std::vector<ListedLocation> expected = foldedOneByOne(list);
    for (const char* locale : {"en_US", "de_DE", "sv_SE", "lt_LT", "C"})
        EXPECT_EQ(sortedLocationNames(list, QLocale(QLatin1String(locale))), expected) << locale;
}

} // namespace
} // namespace vdm
