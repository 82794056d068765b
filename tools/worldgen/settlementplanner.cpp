// SPDX-License-Identifier: MIT
#include "worldgen/settlementplanner.h"

#include "data/errors.h"
#include "worldgen/namegenerator.h"
#include "worldgen/pointgrid.h"
#include "worldgen/random.h"
#include "worldgen/terrain.h"

#include <algorithm>
#include <cmath>

namespace vdm::worldgen::SettlementPlanner {
namespace {

constexpr int Left = -125000, Right = 175000, Bottom = -130000, Top = 220000;
constexpr double Bucket = 4000;
constexpr double CoastReach = 2500.0; // map units from the sea that still count as on the coast

// Shares of each level per 640 places: a handful of great cities, most places small.
constexpr std::array<int, 6> Shares{10, 36, 84, 150, 170, 190};
// How far apart places of each level like to be, and the least gap allowed.
constexpr std::array<double, 6> Spread{60000, 30000, 16000, 9000, 9000, 9000};
constexpr double MinGap = 1200;

/** Places already put, bucketed so that nearness checks stay cheap. */
class Neighbourhood {
public:
    explicit Neighbourhood(double bucket) : m_grid(bucket) {}
    void add(int x, int y) { m_grid.add(0, x, y); }
    /** Distance to the nearest place, or `reach` when none is that close. */
    double nearest(int x, int y, double reach) const
    {
        double best = reach;
        m_grid.forEachNear(x, y, reach, [&](int, int px, int py) {
            best = std::min(best, std::hypot(double(px - x), double(py - y)));
        });
        return best;
    }

private:
    PointGrid m_grid;
};

QString kindFor(int level, Random& random)
{
    static const std::array<std::vector<const char16_t*>, 6> kinds{{
        {u"city"},
        {u"city", u"city", u"port"},
        {u"town", u"town", u"port", u"fortress"},
        {u"village", u"village", u"village", u"port", u"keep", u"abbey"},
        {u"village", u"tower", u"shrine", u"mine", u"ruins", u"lighthouse"},
        {u"cave", u"ruins", u"shrine", u"camp", u"barrow", u"grove", u"farmstead", u"tower"},
    }};
    const auto& table = kinds[std::size_t(level)];
    return QString::fromUtf16(table[std::size_t(random.below(int(table.size())))]);
}

bool needsCoast(const QString& kind)
{
    return kind == u"port" || kind == u"lighthouse";
}

/** What a place of `level` becomes when the coasts are full. */
QString inlandKind(int level)
{
    return level <= 2 ? QStringLiteral("town") : QStringLiteral("tower");
}

/** How well the ground suits a kind of place: 0 rules the spot out. */
double suitability(const QString& kind, double height, double seaDistance)
{
    if (needsCoast(kind))
        return seaDistance < CoastReach ? 1.0 : 0.0;
    if (kind == u"mine" || kind == u"cave" || kind == u"tower" || kind == u"barrow")
        return height > 0.25 ? 1.0 : 0.35;
    if (kind == u"city" || kind == u"town" || kind == u"village" || kind == u"farmstead")
        return height < 0.45 ? 1.0 : 0.15;
    return 0.8;
}

QString groundAt(const Terrain& terrain, int x, int y)
{
    const QPointF g = Terrain::mapToGrid(x, y);
    const double h = terrain.heightAt(g.x(), g.y());
    if (terrain.seaDistance(x, y) < CoastReach)
        return QStringLiteral("coast");
    if (h > 0.6)
        return QStringLiteral("mountains");
    if (h > 0.3)
        return QStringLiteral("hills");
    if (terrain.moistureAt(g.x(), g.y()) > 0.6)
        return QStringLiteral("woodland");
    return QStringLiteral("plains");
}

int folkFor(int level, Random& random)
{
    static constexpr std::array<std::pair<int, int>, 6> ranges{
        {{20000, 60000}, {6000, 20000}, {1500, 6000}, {200, 1500}, {20, 200}, {0, 30}}};
    const auto [lo, hi] = ranges[std::size_t(level)];
    return lo + random.below(hi - lo + 1);
}

} // namespace

double crowding(int count)
{
    return count <= RoomyCount ? 1.0 : std::sqrt(double(RoomyCount) / count);
}

std::array<int, 6> levelCounts(int count)
{
    std::array<int, 6> counts{};
    int given = 0;
    // Coarse levels first, each at least one place while places remain.
    for (int level = 0; level < 5; ++level) {
        counts[level] = std::min(count - given, std::max(1, int(std::lround(double(count) * Shares[level] / 640.0))));
        given += counts[level];
    }
    counts[5] = count - given;
    return counts;
}

std::vector<Place> plan(const Terrain& terrain, std::uint64_t seed, int count)
{
    Random random(Random::hash(seed, 30));
    // Beyond a few thousand places the short names run out: longer ones take over.
    NameGenerator names(Random::hash(seed, 31), count > RoomyCount);
    // Distances shrink with the square root of the count, so a crowded world keeps
    // the look of a roomy one at a finer scale and each place weighs as many neighbours.
    const double scale = crowding(count);
    Neighbourhood placed(Bucket * scale);
    bool coastsFull = false;
    std::vector<Place> places;
    places.reserve(std::size_t(count));
    const std::array<int, 6> counts = levelCounts(count);

    for (int level = 0; level < 6; ++level) {
        for (int n = 0; n < counts[level]; ++n) {
            QString kind = kindFor(level, random);
            bool found = false;
            double bestScore = 0;
            int bestX = 0, bestY = 0;
            const auto search = [&] {
                // Best of a few candidates; more rounds only when the land is getting full.
                for (int round = 0; round < 200 && !found; ++round) {
                    for (int candidate = 0; candidate < 24; ++candidate) {
                        const int x = Left + 1000 + random.below(Right - Left - 2000);
                        const int y = Bottom + 1000 + random.below(Top - Bottom - 2000);
                        if (!terrain.isLand(x, y))
                            continue;
                        const double fit = suitability(kind, terrain.height(x, y), terrain.seaDistance(x, y));
                        const double gap = placed.nearest(x, y, Spread[level] * scale);
                        if (fit <= 0 || gap < MinGap * scale)
                            continue;
                        const double score = gap * fit;
                        if (!found || score > bestScore) {
                            found = true;
                            bestScore = score;
                            bestX = x;
                            bestY = y;
                        }
                    }
                }
            };
            // A crowded world fills its coasts long before its land: once they are full,
            // the places that would want them go inland.
            if (coastsFull && needsCoast(kind))
                kind = inlandKind(level);
            search();
            if (!found && count > RoomyCount && needsCoast(kind)) {
                coastsFull = true;
                kind = inlandKind(level);
                search();
            }
            if (!found)
                throw Error(QStringLiteral("There is no room left on land for %1 locations").arg(count));
            Place place;
            place.name = names.placeName(kind);
            place.level = level;
            place.x = bestX;
            place.y = bestY;
            place.kind = kind;
            place.ground = groundAt(terrain, bestX, bestY);
            place.folk = folkFor(level, random);
            place.coastal = terrain.seaDistance(bestX, bestY) < CoastReach;
            placed.add(bestX, bestY);
            places.push_back(std::move(place));
        }
    }

    // Each great city gives its name to a region; every place belongs to the nearest one.
    std::vector<QString> regions;
    PointGrid capitals(Spread[0] * scale);
    for (int i = 0; i < counts[0]; ++i) {
        regions.push_back(names.regionName());
        capitals.add(i, places[std::size_t(i)].x, places[std::size_t(i)].y);
    }
    for (Place& place : places) {
        const int nearest = capitals.nearest(place.x, place.y);
        if (nearest >= 0)
            place.region = regions[std::size_t(nearest)];
    }
    return places;
}

} // namespace vdm::worldgen::SettlementPlanner
