// SPDX-License-Identifier: MIT
// Quick find over 100 000 locations, each with a region, a kind and a note.
//
// One keystroke: LocationSearch::find for queries of one to eight letters, an accented
// query and a word that only notes hold, asking for the first 100 hits as the hit list
// does. Goal: under 2 ms. Floors, measured in the same run over the same bytes (the raw
// name, lines and note of every location, about as long as the folded index): memchr for
// a byte that never occurs (the bare cost of reading the bytes once) and memmem for the
// same query, which finds but neither folds, ranks nor maps a hit to its location.
//
// Status counts: a status change through World::setLocationStatus and the read of the
// counts the progress line shows, alone and with the line's text. Goal: under 0.1 ms.
#include "benchsupport.h"
#include "edit/locationsearch.h"
#include "edit/progresstext.h"
#include "world/world.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

namespace {

using namespace vdm;

constexpr int kLocations = 100000;

const std::array<const char*, 12> kSyllables{"har",
                                             "row",
                                             "mere",
                                             "ost",
                                             "val",
                                             "dun",
                                             "kir",
                                             "stra\xDF"
                                             "e",
                                             "\xE9"
                                             "cl",
                                             "bro",
                                             "wyn",
                                             "tor"};
const std::array<const char*, 6> kRegions{"Ashen Vale",  "Salt Reach", "Gr\xFCn Weald",
                                          "Ost Marches", "Iron Downs", "Misty Fen"};
const std::array<const char*, 5> kKinds{"town", "village", "ruin", "castle", "port"};
const std::array<const char*, 8> kWords{"bought", "map", "cellar", "key", "dragon", "guard", "sold", "quest"};

World& world()
{
    static QTemporaryDir dir;
    static World w = [] {
        QRandomGenerator random(7);
        LocationList list(kLocations);
        for (Location& l : list) {
            const int parts = 2 + int(random.bounded(2));
            for (int p = 0; p < parts; ++p)
                l.Name += kSyllables[random.bounded(int(kSyllables.size()))];
            l.Name[0] = char(std::toupper(static_cast<unsigned char>(l.Name[0])));
            l.Region = kRegions[random.bounded(int(kRegions.size()))];
            l.Kind = kKinds[random.bounded(int(kKinds.size()))];
            for (int words = 0; words < 6; ++words)
                l.Note += QByteArray(kWords[random.bounded(int(kWords.size()))]) + ' ';
        }
        return World(dir.path(), std::move(list), {});
    }();
    return w;
}

const QByteArray& rawBytes()
{
    static const QByteArray bytes = [] {
        QByteArray out;
        for (const Location& l : world().locations())
            out += l.Name + '\n' + l.Region.bytes() + '\n' + l.Kind.bytes() + '\n' + l.Note + '\n';
        return out;
    }();
    return bytes;
}

const std::array<const char16_t*, 7> kQueries{u"h", u"ha", u"har", u"harrow", u"harrowme", u"STRASSE", u"zzz"};

void BM_FindKeystroke(benchmark::State& state)
{
    LocationSearch search;
    search.update(world());
    const char16_t* query = kQueries[std::size_t(state.range(0))];
    state.SetLabel(QString::fromUtf16(query).toStdString());
    int total = 0;
    for (auto _ : state) {
        const LocationSearch::Result r = search.find(world(), query, 100);
        total = r.total;
        benchmark::DoNotOptimize(r.hits.data());
    }
    state.counters["hits"] = total;
}
BENCHMARK(BM_FindKeystroke)->DenseRange(0, int(kQueries.size()) - 1)->Unit(benchmark::kMillisecond);

void BM_FindNoteWord(benchmark::State& state)
{
    LocationSearch search;
    search.update(world());
    for (auto _ : state)
        benchmark::DoNotOptimize(search.find(world(), u"dragon guard", 100).total);
}
BENCHMARK(BM_FindNoteWord)->Unit(benchmark::kMillisecond);

void BM_FindAfterANoteChange(benchmark::State& state)
{
    LocationSearch search;
    search.update(world());
    int i = 0;
    for (auto _ : state) {
        world().setLocationNote(i % kLocations, "a dragon note " + QByteArray::number(i));
        ++i;
        benchmark::DoNotOptimize(search.find(world(), u"harrow", 100).total);
    }
}
BENCHMARK(BM_FindAfterANoteChange)->Unit(benchmark::kMillisecond);

void BM_FloorMemchr(benchmark::State& state)
{
    const QByteArray& bytes = rawBytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(std::memchr(bytes.constData(), '\x01', std::size_t(bytes.size())));
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_FloorMemchr)->Unit(benchmark::kMillisecond);

void BM_FloorMemmem(benchmark::State& state)
{
    const QByteArray& bytes = rawBytes();
    const QByteArray needle = QByteArray("harrow");
    for (auto _ : state) {
        int found = 0;
        const char* p = bytes.constData();
        const char* end = p + bytes.size();
        while (const void* hit = memmem(p, std::size_t(end - p), needle.constData(), std::size_t(needle.size()))) {
            ++found;
            p = static_cast<const char*>(hit) + 1;
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FloorMemmem)->Unit(benchmark::kMillisecond);

void BM_StatusChangeAndCounts(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state) {
        world().setLocationStatus(i % kLocations, (i / kLocations) % 2 ? Unvisited : Visited);
        ++i;
        benchmark::DoNotOptimize(world().statusCounts().visited);
    }
}
BENCHMARK(BM_StatusChangeAndCounts);

// What the progress line does on a status change: the change, then its text from the counts.
void BM_StatusChangeAndProgressText(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state) {
        world().setLocationStatus(i % kLocations, (i / kLocations) % 2 ? Unvisited : Active);
        ++i;
        benchmark::DoNotOptimize(progressText(world().statusCounts()).size());
    }
}
BENCHMARK(BM_StatusChangeAndProgressText);

} // namespace

int main(int argc, char** argv)
{
    return vdm::bench::runBenchmarks(argc, argv);
}
