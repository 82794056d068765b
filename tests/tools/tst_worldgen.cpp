// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "common/testutils.h"
#include "data/codepage.h"
#include "data/errors.h"
#include "data/locationsdb.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "data/routesdb.h"
#include "data/textconv.h"
#include "map/jpegdecoder.h"
#include "worldgen/readmetexts.h"
#include "worldgen/settlementplanner.h"
#include "worldgen/terrain.h"
#include "worldgen/worldpainter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

using namespace vdm;
using namespace vdm::worldgen;
using vdm::test::readFile;

namespace {

const QStringList AllFiles{"bigmap_hi.jpg", "bigmap.jpg",    "vdmain.gdb",  "routes.gdb",
                           "readme.txt",    "readmerus.txt", "readmefr.txt"};
const QStringList TextFiles{"vdmain.gdb", "routes.gdb", "readme.txt", "readmerus.txt", "readmefr.txt"};

Options textOnly(std::uint64_t seed = 1)
{
    Options o;
    o.seed = seed;
    o.pictures = false;
    return o;
}

/** One default world (pictures included) generated once for the whole suite. */
/** A world generated once for its suite with the options `Make` gives, its lists read back. */
template <Options (*Make)()> class GeneratedWorld : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<QTemporaryDir>();
        generate(s_dir->path(), Make());
        s_locations = std::make_unique<LocationList>();
        readLocations(readFile(path("vdmain.gdb")), *s_locations);
        readRoutes(readFile(path("routes.gdb")), *s_locations);
    }
    static void TearDownTestSuite()
    {
        s_locations.reset();
        s_dir.reset();
    }
    static QString path(const QString& name) { return QDir(s_dir->path()).filePath(name); }
    static const LocationList& locations() { return *s_locations; }

    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::unique_ptr<LocationList> s_locations;
};

Options defaultOptions()
{
    return Options{};
}

class DefaultWorld : public GeneratedWorld<defaultOptions> {};

} // namespace

TEST_F(DefaultWorld, SameSeedGivesTheSameBytesForEveryFile)
{
    QTemporaryDir again;
    generate(again.path(), Options{});
    for (const QString& name : AllFiles) {
        const QByteArray first = readFile(path(name));
        EXPECT_FALSE(first.isEmpty()) << name.toStdString();
        EXPECT_EQ(first, readFile(QDir(again.path()).filePath(name))) << name.toStdString();
    }
}

TEST_F(DefaultWorld, PicturesDecodeAtTheirExactSizesAndTheSmallOneIsTheBigOneReduced)
{
    const QImage big = JpegDecoder::decodeFile(path("bigmap_hi.jpg"));
    const QImage small = JpegDecoder::decodeFile(path("bigmap.jpg"));
    EXPECT_EQ(big.size(), QSize(3300, 3800));
    EXPECT_EQ(small.size(), QSize(660, 760));
    const QImage reduced = WorldPainter::downscale(big, 5).convertToFormat(QImage::Format_RGB32);
    // Both went through JPEG, which smears thin rivers and coasts: compare the mean error,
    // and make sure a mirrored picture would fail the same measure.
    auto meanError = [](const QImage& a, const QImage& b) {
        double sum = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            }
        return sum / (3.0 * a.width() * a.height());
    };
    const QImage smallRgb = small.convertToFormat(QImage::Format_RGB32);
    EXPECT_LT(meanError(reduced, smallRgb), 3.0);
    EXPECT_GT(meanError(reduced.mirrored(true, false), smallRgb), 15.0);
    // Not a blank sheet: the picture holds both sea (blue above red) and land.
    int sea = 0, land = 0;
    for (int y = 0; y < small.height(); y += 4)
        for (int x = 0; x < small.width(); x += 4)
            (qBlue(small.pixel(x, y)) > qRed(small.pixel(x, y)) + 20 ? sea : land)++;
    EXPECT_GT(sea, land / 4);
    EXPECT_GT(land, sea / 4);
}

TEST_F(DefaultWorld, FullSizePictureHasTextureDownToSinglePixels)
{
    // An enlarged smooth picture changes little from one pixel to the next; brush marks,
    // grain and tree crowns make neighbours differ even after JPEG. Measured on land.
    const QImage big = JpegDecoder::decodeFile(path("bigmap_hi.jpg")).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    long count = 0;
    for (int y = 0; y < big.height(); y += 2)
        for (int x = 0; x + 1 < big.width(); x += 2) {
            const QRgb p = big.pixel(x, y), q = big.pixel(x + 1, y);
            if (qBlue(p) > qRed(p) + 20)
                continue;
            sum += std::abs(qGreen(p) - qGreen(q));
            ++count;
        }
    ASSERT_GT(count, 100000);
    EXPECT_GT(sum / double(count), 5.5);
}

TEST_F(DefaultWorld, RiversAreDrawnWiderDownstreamThanAtTheirSources)
{
    const QImage big = JpegDecoder::decodeFile(path("bigmap_hi.jpg")).convertToFormat(QImage::Format_RGB32);
    const Terrain terrain(1);
    // Water-coloured pixels in a window around a point of a course, counted only inland
    // and away from lakes, where nothing else is blue.
    auto waterAround = [&](QPoint cell) {
        if (terrain.seaDistanceAt(float(cell.x()), float(cell.y())) < 8.0f)
            return -1;
        const int cx = cell.x() * Terrain::CellPixels + 2, cy = cell.y() * Terrain::CellPixels + 2;
        int n = 0;
        for (int y = cy - 10; y <= cy + 10; ++y)
            for (int x = cx - 10; x <= cx + 10; ++x) {
                if (terrain.lakeAt(float(x) / Terrain::CellPixels - 0.5f, float(y) / Terrain::CellPixels - 0.5f) > 0.3f)
                    return -1;
                const QRgb p = big.pixel(x, y);
                n += qBlue(p) > qRed(p) + 40 && qBlue(p) > qGreen(p) + 10;
            }
        return n;
    };
    int upstream = 0, downstream = 0, pairs = 0;
    for (const std::vector<QPoint>& course : terrain.rivers()) {
        if (course.size() < 200)
            continue;
        const int up = waterAround(course[course.size() / 10]), down = waterAround(course[course.size() * 8 / 10]);
        if (up < 0 || down < 0)
            continue;
        upstream += up;
        downstream += down;
        ++pairs;
    }
    ASSERT_GE(pairs, 3) << upstream << ' ' << downstream;
    EXPECT_GT(upstream, 0);
    EXPECT_GT(downstream, upstream * 3 / 2) << pairs;
}

TEST_F(DefaultWorld, LocationsAreUniqueOnLandInsideTheMapWithTheLevelSkew)
{
    ASSERT_EQ(locations().size(), 640u);
    const Terrain terrain(1);
    QSet<QByteArray> names;
    std::map<int, int> perLevel;
    for (const Location& l : locations()) {
        EXPECT_FALSE(names.contains(l.Name)) << l.Name.toStdString();
        names.insert(l.Name);
        EXPECT_EQ(Trim(l.Name).size(), l.Name.size());
        EXPECT_GE(l.X, -125000);
        EXPECT_LE(l.X, 175000);
        EXPECT_GE(l.Y, -130000);
        EXPECT_LE(l.Y, 220000);
        EXPECT_TRUE(terrain.isLand(l.X, l.Y)) << l.Name.toStdString();
        EXPECT_GT(terrain.height(l.X, l.Y), 0.0);
        perLevel[l.Level]++;
    }
    ASSERT_EQ(perLevel.size(), 6u);
    EXPECT_EQ(perLevel.begin()->first, 0);
    EXPECT_EQ(perLevel.rbegin()->first, 5);
    EXPECT_GE(perLevel[0], 5);
    EXPECT_LE(perLevel[0], 15);
    EXPECT_GE(perLevel[1], 20);
    EXPECT_LE(perLevel[1], 60);
    EXPECT_LT(perLevel[1], perLevel[2]);
    EXPECT_LT(perLevel[2], perLevel[3]);
    EXPECT_GT(perLevel[3] + perLevel[4] + perLevel[5], 640 / 2);
}

TEST_F(DefaultWorld, LocationsFileIsCrLfCodePageTextWithAFewAccentedNames)
{
    const QByteArray bytes = readFile(path("vdmain.gdb"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(CodePage::encode(CodePage::decode(bytes)), bytes);
    int accented = 0;
    for (const Location& l : locations())
        accented
            += std::any_of(l.Name.begin(), l.Name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    EXPECT_GT(accented, 0);
    EXPECT_LT(accented, 640 / 4);
}

TEST_F(DefaultWorld, EveryRouteResolvesAndTheNetworksJoinTheRightPlaces)
{
    const QByteArray bytes = readFile(path("routes.gdb"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    // The reader silently drops a route whose target is unknown: every written line must survive.
    int lines = 0;
    for (const QByteArray& line : bytes.split('\n'))
        lines += line.size() > 2 && line[0] >= '1' && line[0] <= '3' && line[1] == ' ';
    const Terrain terrain(1);
    std::map<int, int> perKind;
    std::set<std::pair<int, int>> directed;
    int read = 0;
    for (int from = 0; from < int(locations().size()); ++from) {
        for (const Route& r : locations()[from].Routes) {
            ++read;
            ASSERT_GE(r.Target, 0);
            ASSERT_LT(r.Target, int(locations().size()));
            EXPECT_NE(r.Target, from);
            perKind[r.Kind]++;
            directed.insert({from, r.Target});
            const Location& a = locations()[from];
            const Location& b = locations()[r.Target];
            if (r.Kind == MagesGuild) {
                EXPECT_EQ(a.Level, 0);
                EXPECT_EQ(b.Level, 0);
            } else if (r.Kind == Ship) {
                EXPECT_LT(terrain.seaDistance(a.X, a.Y), 2600) << a.Name.toStdString();
                EXPECT_LT(terrain.seaDistance(b.X, b.Y), 2600) << b.Name.toStdString();
            } else {
                ASSERT_EQ(r.Kind, Skarnel);
                EXPECT_GT(terrain.seaDistance(a.X, a.Y), 5000) << a.Name.toStdString();
                EXPECT_GT(terrain.seaDistance(b.X, b.Y), 5000) << b.Name.toStdString();
            }
        }
    }
    EXPECT_EQ(read, lines);
    EXPECT_GT(perKind[Skarnel], 30);
    EXPECT_GT(perKind[Ship], 15);
    EXPECT_GE(perKind[MagesGuild], 10);
    int bothEnds = 0, oneEnd = 0;
    for (const auto& [from, to] : directed)
        (directed.count({to, from}) ? bothEnds : oneEnd)++;
    EXPECT_GT(bothEnds, 0);
    EXPECT_GT(oneEnd, 0);
}

TEST_F(DefaultWorld, ReadmesAreCrLfInTheirEncodingsAndNameTheKeptFiles)
{
    const QByteArray english = readFile(path("readme.txt"));
    const QByteArray french = readFile(path("readmefr.txt"));
    const QByteArray russian = readFile(path("readmerus.txt"));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString russianText = utf8(russian);
    EXPECT_FALSE(utf8.hasError());
    EXPECT_TRUE(russianText.contains(QStringLiteral("Велдамар")));
    const QString frenchText = CodePage::decode(french);
    EXPECT_TRUE(frenchText.contains(QStringLiteral("sanctuaire")));
    EXPECT_TRUE(french.contains('\xE9')); // é as one code-page byte
    for (const QString& text : {CodePage::decode(english), frenchText, russianText}) {
        for (const char* kept : {"user.gdb", "markers.gdb", "qor.ini", "25 %", "Go"})
            EXPECT_TRUE(text.contains(QLatin1String(kept))) << kept;
        EXPECT_EQ(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
        for (const QString& line : text.split(QStringLiteral("\r\n")))
            EXPECT_LE(line.size(), ReadmeTexts::Columns) << line.toStdString();
    }
}

TEST(Terrain, RiversAreFourConnectedCoursesOfWaterFromHighGround)
{
    const Terrain terrain(1);
    ASSERT_GE(terrain.rivers().size(), 5u);
    for (const std::vector<QPoint>& course : terrain.rivers()) {
        ASSERT_GE(course.size(), 80u);
        EXPECT_GE(terrain.heightAt(float(course.front().x()), float(course.front().y())), 0.25f);
        for (std::size_t i = 0; i < course.size(); ++i) {
            const QPoint p = course[i];
            EXPECT_EQ(terrain.waterAt(float(p.x()), float(p.y())), 1.0f) << i;
            if (i > 0) {
                EXPECT_EQ((p - course[i - 1]).manhattanLength(), 1) << i;
            }
        }
    }
}

TEST(WorldGenerator, DifferentSeedsGiveDifferentWorlds)
{
    QTemporaryDir one, two;
    generate(one.path(), textOnly(1));
    generate(two.path(), textOnly(2));
    EXPECT_NE(readFile(QDir(one.path()).filePath("vdmain.gdb")), readFile(QDir(two.path()).filePath("vdmain.gdb")));
    EXPECT_NE(readFile(QDir(one.path()).filePath("routes.gdb")), readFile(QDir(two.path()).filePath("routes.gdb")));
    EXPECT_FALSE(QFileInfo::exists(QDir(one.path()).filePath("bigmap.jpg")));
}

TEST(WorldGenerator, SmallPicturesShowTheSameWorldAtTheChosenDivisor)
{
    QTemporaryDir dir;
    Options o = textOnly(5);
    o.pictures = true;
    o.pictureDivisor = 10;
    o.readmes = false;
    generate(dir.path(), o);
    EXPECT_EQ(JpegDecoder::decodeFile(QDir(dir.path()).filePath("bigmap_hi.jpg")).size(), QSize(330, 380));
    EXPECT_EQ(JpegDecoder::decodeFile(QDir(dir.path()).filePath("bigmap.jpg")).size(), QSize(66, 76));
    EXPECT_FALSE(QFileInfo::exists(QDir(dir.path()).filePath("readme.txt")));
}

TEST(WorldGenerator, CountsFromOneToManyAreHonoured)
{
    for (int count : {1, 7, 1500}) {
        QTemporaryDir dir;
        Options o = textOnly(3);
        o.locations = count;
        generate(dir.path(), o);
        LocationList list;
        readLocations(readFile(QDir(dir.path()).filePath("vdmain.gdb")), list);
        readRoutes(readFile(QDir(dir.path()).filePath("routes.gdb")), list);
        ASSERT_EQ(int(list.size()), count);
        EXPECT_EQ(list[0].Level, 0);
    }
}

TEST(WorldGenerator, LevelCountsAddUpAndKeepTheSkew)
{
    struct Row {
        int count;
        std::array<int, 6> expected;
    };
    for (const Row& row :
         {Row{640, {10, 36, 84, 150, 170, 190}}, Row{1, {1, 0, 0, 0, 0, 0}}, Row{3, {1, 1, 1, 0, 0, 0}},
          Row{6, {1, 1, 1, 1, 2, 0}}, Row{1280, {20, 72, 168, 300, 340, 380}}}) {
        const auto counts = SettlementPlanner::levelCounts(row.count);
        EXPECT_EQ(counts, row.expected) << row.count;
    }
}

TEST(WorldGenerator, BadRequestsFailClearlyAndLeaveFilesAlone)
{
    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath("taken");
    test::writeFile(file, "keep me");
    EXPECT_THROW(generate(file, textOnly()), Error);
    EXPECT_EQ(readFile(file), QByteArray("keep me"));

    Options zero = textOnly();
    zero.locations = 0;
    EXPECT_THROW(generate(QDir(dir.path()).filePath("w"), zero), Error);
    Options odd;
    odd.pictureDivisor = 3;
    try {
        generate(QDir(dir.path()).filePath("w"), odd);
        FAIL() << "a divisor of 3 was accepted";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("divisor"))) << e.what();
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(dir.path()).filePath("w")));
}

TEST(WorldGenerator, CreatesMissingDirectories)
{
    QTemporaryDir dir;
    const QString nested = QDir(dir.path()).filePath("a/b/world");
    generate(nested, textOnly());
    EXPECT_TRUE(QFileInfo::exists(QDir(nested).filePath("vdmain.gdb")));
}

TEST(WorldGeneratorArguments, AcceptsTheDocumentedForms)
{
    Options o;
    QString error;
    auto dir = parseArguments({"out"}, o, error);
    ASSERT_TRUE(dir);
    EXPECT_EQ(*dir, "out");
    EXPECT_EQ(o.locations, 640);
    EXPECT_EQ(o.seed, 1u);
    EXPECT_TRUE(o.pictures);

    dir = parseArguments({"--seed", "18446744073709551615", "w", "--locations", "700", "--no-pictures"}, o, error);
    ASSERT_TRUE(dir);
    EXPECT_EQ(*dir, "w");
    EXPECT_EQ(o.locations, 700);
    EXPECT_EQ(o.seed, 18446744073709551615ULL);
    EXPECT_FALSE(o.pictures);
}

TEST(WorldGeneratorArguments, RejectsWrongArgumentsWithAReasonAndKeepsTheOptions)
{
    const std::vector<std::pair<QStringList, QString>> rows{
        {{}, "no directory"},
        {{"--no-pictures"}, "no directory"},
        {{"w", "--frobnicate"}, "Unknown option 'frobnicate'"},
        {{"w", "--locations"}, "Missing value after '--locations'"},
        {{"w", "--locations", "many"}, "many"},
        {{"w", "--locations", "0"}, "'0'"},
        {{"w", "--locations", "-5"}, "'-5'"},
        {{"w", "--locations", "1000001"}, "1000001"},
        {{"w", "--locations", "12x"}, "12x"},
        {{"w", "--seed", "-1"}, "'-1'"},
        {{"w", "--seed", "abc"}, "abc"},
        {{"w", "--seed", "99999999999999999999"}, "99999999999999999999"},
        {{"w", "other"}, "only one directory"},
        {{""}, "empty"},
    };
    for (const auto& [arguments, reason] : rows) {
        Options o;
        o.locations = 123;
        QString error;
        EXPECT_FALSE(parseArguments(arguments, o, error)) << arguments.join(' ').toStdString();
        EXPECT_TRUE(error.contains(reason)) << error.toStdString();
        EXPECT_EQ(o.locations, 123);
    }
}

TEST_F(DefaultWorld, DatabasesKeepTheirKnownBytes)
{
    // The sample world others have annotated: larger worlds must not move a byte of it.
    const auto sha = [](const QByteArray& bytes) {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toStdString();
    };
    EXPECT_EQ(sha(readFile(path("vdmain.gdb"))), "ada902a633b1e4b56f485842d429231e6023479ede1ddf200dfc52395dce40ed");
    EXPECT_EQ(sha(readFile(path("routes.gdb"))), "8093e6717f1dc5a672253e63a3a6d72353061b9af5a8d46d745027afa258270a");
    EXPECT_FALSE(QFileInfo::exists(path("user.gdb")));
    EXPECT_FALSE(QFileInfo::exists(path("markers.gdb")));
}

/** Beyond the roomy count, with the user's files. */
constexpr int kCrowdedCount = 12000;

Options crowdedOptions()
{
    Options o = textOnly(7);
    o.locations = kCrowdedCount;
    o.userData = true;
    o.readmes = false;
    return o;
}

/** A crowded world (beyond the roomy count) with the user's files, generated once. */
class CrowdedWorld : public GeneratedWorld<crowdedOptions> {
protected:
    static constexpr int Count = kCrowdedCount;
};

TEST_F(CrowdedWorld, NamesStayUniqueAndReadable)
{
    ASSERT_EQ(int(locations().size()), Count);
    QSet<QString> seen;
    for (const Location& l : locations()) {
        const QString name = CodePage::decode(l.Name);
        EXPECT_FALSE(seen.contains(name.toLower())) << name.toStdString();
        seen.insert(name.toLower());
        // Letters and blanks only, and never three of a letter in a row.
        for (qsizetype i = 0; i < name.size(); ++i) {
            EXPECT_TRUE(name[i].isLetter() || name[i] == u' ') << name.toStdString();
            if (i >= 2) {
                EXPECT_FALSE(name[i] == name[i - 1] && name[i] == name[i - 2]) << name.toStdString();
            }
        }
    }
    EXPECT_EQ(seen.size(), Count);
}

TEST_F(CrowdedWorld, RoutesJoinNearNeighboursOnly)
{
    const double scale = SettlementPlanner::crowding(Count);
    ASSERT_LT(scale, 1.0);
    int routes = 0;
    for (const Location& from : locations()) {
        for (const Route& r : from.Routes) {
            ++routes;
            const Location& to = locations()[size_t(r.Target)];
            const double d = std::hypot(double(from.X - to.X), double(from.Y - to.Y));
            const double reach = r.Kind == Skarnel ? 40000 : r.Kind == Ship ? 90000 : 240000;
            EXPECT_LE(d, reach * scale) << from.Name.toStdString() << " " << int(r.Kind);
        }
    }
    EXPECT_GT(routes, Count / 4);
}

TEST_F(CrowdedWorld, UserFilesReadBackWithEveryStatusNotesAndMarkersOnLand)
{
    LocationList locs = locations();
    EXPECT_EQ(readUserData(readFile(path("user.gdb")), locs), locs.size());
    std::map<int, int> statuses;
    int notes = 0;
    for (const Location& l : locs) {
        ++statuses[l.Status];
        notes += l.Note.isEmpty() ? 0 : 1;
    }
    EXPECT_EQ(statuses.size(), 3u);
    EXPECT_GT(statuses[Unvisited], statuses[Active]);
    EXPECT_GT(statuses[Active], statuses[Visited]);
    EXPECT_GT(notes, Count / 20);
    EXPECT_LT(notes, Count / 4);

    LocationList markers;
    readMarkers(readFile(path("markers.gdb")), markers);
    EXPECT_EQ(int(markers.size()), Count / 50);
    const Terrain terrain(7);
    for (const Location& m : markers) {
        EXPECT_EQ(m.Level, 1);
        EXPECT_TRUE(terrain.isLand(m.X, m.Y));
    }
}

TEST_F(CrowdedWorld, SameSeedGivesTheSameBytes)
{
    QTemporaryDir again;
    Options o = textOnly(7);
    o.locations = Count;
    o.userData = true;
    o.readmes = false;
    generate(again.path(), o);
    for (const QString name : {"vdmain.gdb", "routes.gdb", "user.gdb", "markers.gdb"})
        EXPECT_EQ(readFile(path(name)), readFile(QDir(again.path()).filePath(name))) << name.toStdString();
}

TEST(WorldGeneratorArguments, UserDataIsAskedForAndNamedAmongTheWorldFiles)
{
    Options o;
    QString error;
    ASSERT_TRUE(parseArguments({"w", "--user-data", "--locations", "1000000"}, o, error)) << error.toStdString();
    EXPECT_TRUE(o.userData);
    EXPECT_EQ(o.locations, 1000000);
    EXPECT_TRUE(worldFiles(o).contains("user.gdb"));
    EXPECT_TRUE(worldFiles(o).contains("markers.gdb"));
    EXPECT_FALSE(worldFiles(Options{}).contains("user.gdb"));
}
