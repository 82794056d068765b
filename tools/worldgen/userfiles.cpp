// SPDX-License-Identifier: MIT
#include "worldgen/userfiles.h"

#include "data/codepage.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "worldgen/random.h"
#include "worldgen/terrain.h"

#include <array>

namespace vdm::worldgen::UserFiles {
namespace {

constexpr std::array Notes{u"Sold the furs here",        u"Ask for the ferryman",     u"Inn by the gate, good beds",
                           u"Guild contact at the well", u"Closed at night",          u"Bring rope next time",
                           u"Smith repairs armour",      u"Rumours of a hidden cave", u"Buy salt, cheap"};
constexpr std::array MarkerTexts{u"Camp",         u"Herbs",       u"Treasure?", u"Bandits seen",       u"Good fishing",
                                 u"Bridge out",   u"Ore vein",    u"Meet here", u"Old standing stone", u"Ambush!",
                                 u"Spring water", u"Ruined wagon"};

template <typename Table> QByteArray pick(Random& random, const Table& table)
{
    return CodePage::encode(QString::fromUtf16(table[std::size_t(random.below(int(table.size())))]));
}

} // namespace

QByteArray userFile(const std::vector<Place>& places, std::uint64_t seed)
{
    Random random(Random::hash(seed, 40));
    LocationList locations(places.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
        Location& l = locations[i];
        l.Name = CodePage::encode(places[i].name);
        const double draw = random.unit();
        l.Status = draw < 0.7 ? Unvisited : draw < 0.88 ? Active : Visited;
        if (random.chance(0.125))
            l.Note = pick(random, Notes);
    }
    return writeUserData(locations);
}

QByteArray markersFile(const Terrain& terrain, std::uint64_t seed, int placeCount)
{
    constexpr int Left = -125000, Right = 175000, Bottom = -130000, Top = 220000;
    Random random(Random::hash(seed, 41));
    const int wanted = std::max(3, placeCount / 50);
    LocationList markers;
    markers.reserve(std::size_t(wanted));
    // Random spots until enough are on land; the world is about half land, so this ends.
    for (int attempt = 0; int(markers.size()) < wanted && attempt < 100 * wanted; ++attempt) {
        const int x = Left + 1000 + random.below(Right - Left - 2000);
        const int y = Bottom + 1000 + random.below(Top - Bottom - 2000);
        if (!terrain.isLand(x, y))
            continue;
        Location m;
        m.Name = pick(random, MarkerTexts);
        m.Level = 1;
        m.X = x;
        m.Y = y;
        markers.push_back(std::move(m));
    }
    return writeMarkers(markers);
}

} // namespace vdm::worldgen::UserFiles
