// SPDX-License-Identifier: MIT
// Database reading and saving, each timed beside a floor measured in the same run: a
// plain memchr line count over the same bytes for the readers, a plain write + fsync
// of the same bytes for the save. Goals: readLocations and readUserData of 100 000
// records under 0.3 s; writeUserData + AtomicFile::write of 20 000 locations under
// 20 ms median.
//
// The World rows read the generated worlds' own files (640, 20 000 and 100 000 places
// with a user's statuses, notes and markers; the locations and the routes also at
// 1 000 000 places, whose world takes minutes to make: VDM_BENCH_WORLDS names a folder
// that keeps it). Each iteration times the reader and then
// the floor over the same bytes, both in the thread's CPU time; the row's time is the
// reader's, with floor_ms (the floor's median) and x_floor (the reader's median over
// the floor's) beside it. Goal: every reader within 5 x its floor. The save rows time
// writeUserData + AtomicFile::write and a plain write + fsync of the same bytes into one
// file in turn, in wall time (the disk is most of it). Goal: within 1.5 x.
#include "benchsupport.h"
#include "data/atomicfile.h"
#include "data/locationsdb.h"
#include "data/userdb.h"
#include "data/markersdb.h"
#include "data/routesdb.h"
#include "world/world.h"
#include "worldgen/worldgen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <memory>
#include <vector>
#include <unistd.h>

namespace {

using namespace vdm;
using bench::median;

constexpr int kReadCount = 100000;
constexpr int kSaveCount = 20000;

QByteArray locationsFile(int count)
{
    QByteArray out;
    out.reserve(qsizetype(count) * 120);
    for (int i = 0; i < count; ++i) {
        out += "loc\r\nname: Settlement " + QByteArray::number(i) + "\r\nkind: town\r\n---\r\nlevl: "
               + QByteArray::number(i % 6) + "\r\n---\r\n---\r\npos:  " + QByteArray::number(i * 3 % 300000 - 125000)
               + ',' + QByteArray::number(i * 7 % 350000 - 130000) + "\r\n";
    }
    return out;
}

LocationList locationsWithNotes(int count)
{
    LocationList list(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Location& l = list[std::size_t(i)];
        l.Name = "Settlement " + QByteArray::number(i);
        l.Status = 1 + i % 3;
        if (i % 4 == 0)
            l.Note = "Remember the ferry toll, and the innkeeper's cousin " + QByteArray::number(i);
    }
    return list;
}

void BM_ReadLocations(benchmark::State& state)
{
    const QByteArray bytes = locationsFile(kReadCount);
    for (auto _ : state) {
        LocationList list;
        readLocations(bytes, list);
        benchmark::DoNotOptimize(list.data());
        if (list.size() != kReadCount)
            state.SkipWithError("wrong record count");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_ReadLocations_MemchrFloor(benchmark::State& state)
{
    const QByteArray bytes = locationsFile(kReadCount);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::memchrLines(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_ReadUserData(benchmark::State& state)
{
    const QByteArray bytes = writeUserData(locationsWithNotes(kReadCount));
    LocationList list = locationsWithNotes(kReadCount);
    for (auto _ : state) {
        readUserData(bytes, list);
        benchmark::DoNotOptimize(list.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The world's one check at load that the file reads back byte for byte: the writer's
// output for what was read, compared with the file as it is formatted. Beside
// BM_ReadUserData, it is what a user file of 100 000 locations adds to the start-up.
void BM_UserDataReadBackCheck(benchmark::State& state)
{
    const QByteArray bytes = writeUserData(locationsWithNotes(kReadCount));
    LocationList list = locationsWithNotes(kReadCount);
    readUserData(bytes, list);
    for (auto _ : state)
        benchmark::DoNotOptimize(userDataWritesBack(list, bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The whole user-data step of the world: read, apply and check, from the file.
void BM_WorldLoadUserData(benchmark::State& state)
{
    QTemporaryDir dir;
    bench::writeBytes(dir.filePath(QStringLiteral("vdmain.gdb")), locationsFile(kReadCount));
    bench::writeBytes(dir.filePath(QStringLiteral("user.gdb")), writeUserData(locationsWithNotes(kReadCount)));
    World world(dir.path());
    world.LoadLocations();
    for (auto _ : state)
        world.LoadUserData();
    if (!world.userDataSafe())
        state.SkipWithError("the user data did not read back");
}

void BM_ReadUserData_MemchrFloor(benchmark::State& state)
{
    const QByteArray bytes = writeUserData(locationsWithNotes(kReadCount));
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::memchrLines(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_SaveUserData(benchmark::State& state)
{
    const LocationList list = locationsWithNotes(kSaveCount);
    QTemporaryDir dir;
    const QString path = dir.filePath("user.gdb");
    for (auto _ : state)
        AtomicFile::write(path, writeUserData(list));
}

// The in-memory part of the save alone, to tell formatting from the disk's share.
void BM_WriteUserDataInMemory(benchmark::State& state)
{
    const LocationList list = locationsWithNotes(kSaveCount);
    for (auto _ : state)
        benchmark::DoNotOptimize(writeUserData(list).size());
}

void BM_SaveUserData_WriteFsyncFloor(benchmark::State& state)
{
    const QByteArray bytes = writeUserData(locationsWithNotes(kSaveCount));
    QTemporaryDir dir;
    const QString path = dir.filePath("user.gdb");
    for (auto _ : state)
        if (!vdm::bench::plainWriteAndSync(path, bytes))
            state.SkipWithError("plain write failed");
}

/** The generated world's files, and its places as the program reads them. */
struct WorldFiles {
    QByteArray locations, routes, userData, markers;
    LocationList places;
};

const WorldFiles& worldFiles(int count)
{
    static std::map<int, std::unique_ptr<WorldFiles>> worlds;
    auto& slot = worlds[count];
    if (!slot) {
        QTemporaryDir temporary;
        const QString kept = qEnvironmentVariable("VDM_BENCH_WORLDS");
        const QDir dir(kept.isEmpty() ? temporary.path()
                                      : QDir(kept).filePath(QStringLiteral("databases-%1").arg(count)));
        if (!QFileInfo::exists(dir.filePath(QStringLiteral("user.gdb")))) {
            worldgen::Options o;
            o.locations = count;
            o.pictures = false;
            o.readmes = false;
            o.userData = true;
            worldgen::generate(dir.path(), o);
        }
        slot = std::make_unique<WorldFiles>();
        slot->locations = bench::readBytes(dir.filePath(QStringLiteral("vdmain.gdb")));
        slot->routes = bench::readBytes(dir.filePath(QStringLiteral("routes.gdb")));
        slot->userData = bench::readBytes(dir.filePath(QStringLiteral("user.gdb")));
        slot->markers = bench::readBytes(dir.filePath(QStringLiteral("markers.gdb")));
        readLocations(slot->locations, slot->places);
    }
    return *slot;
}

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

/** Reports the row's median beside its floor's. */
void reportAgainstFloor(benchmark::State& state, const std::vector<double>& times, const std::vector<double>& floors)
{
    const double t = median(times), f = median(floors);
    state.counters["floor_ms"] = f * 1e3;
    state.counters["x_floor"] = f > 0 ? t / f : 0;
}

/**
 * One reader over one of the world's files: `read` runs the reader (and anything it
 * must make first, outside the timing, through `prepare`).
 */
template <typename Prepare, typename Read>
void readAgainstFloor(benchmark::State& state, const QByteArray& bytes, Prepare prepare, Read read)
{
    std::vector<double> times, floors;
    for (auto _ : state) {
        decltype(auto) list = prepare();
        const double t0 = threadSeconds();
        read(list);
        const double t1 = threadSeconds();
        benchmark::DoNotOptimize(bench::memchrLines(bytes));
        const double t2 = threadSeconds();
        state.SetIterationTime(t1 - t0);
        times.push_back(t1 - t0);
        floors.push_back(t2 - t1);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    reportAgainstFloor(state, times, floors);
}

void BM_World_ReadLocations(benchmark::State& state)
{
    const WorldFiles& w = worldFiles(int(state.range(0)));
    readAgainstFloor(
        state, w.locations, [] { return LocationList(); },
        [&w](LocationList& list) { readLocations(w.locations, list); });
}

void BM_World_ReadUserData(benchmark::State& state)
{
    const WorldFiles& w = worldFiles(int(state.range(0)));
    LocationList places = w.places;
    readAgainstFloor(
        state, w.userData, [&places]() -> LocationList& { return places; },
        [&w](LocationList& list) { readUserData(w.userData, list); });
}

// The load's whole user-data step: read, then the check that the file was read whole.
void BM_World_ReadUserDataChecked(benchmark::State& state)
{
    const WorldFiles& w = worldFiles(int(state.range(0)));
    LocationList places = w.places;
    readAgainstFloor(
        state, w.userData, [&places]() -> LocationList& { return places; },
        [&w, &state](LocationList& list) {
            readUserData(w.userData, list);
            if (!userDataWritesBack(list, w.userData))
                state.SkipWithError("the user data did not read back");
        });
}

// Each round reads into places without routes, as the program's start does: the lists the
// round before made are freed outside the timing, so each origin's list is allocated anew.
void BM_World_ReadRoutes(benchmark::State& state)
{
    const WorldFiles& w = worldFiles(int(state.range(0)));
    LocationList places = w.places;
    readAgainstFloor(
        state, w.routes,
        [&places]() -> LocationList& {
            for (Location& place : places)
                place.Routes.clear();
            return places;
        },
        [&w](LocationList& list) { readRoutes(w.routes, list); });
}

void BM_World_ReadMarkers(benchmark::State& state)
{
    const WorldFiles& w = worldFiles(int(state.range(0)));
    readAgainstFloor(
        state, w.markers, [] { return LocationList(); }, [&w](LocationList& list) { readMarkers(w.markers, list); });
}

// The save of the user file as the world makes it, against a plain write + fsync of the
// same bytes, in turn, both in wall time.
void BM_World_SaveUserData(benchmark::State& state)
{
    const WorldFiles& w = worldFiles(int(state.range(0)));
    LocationList places = w.places;
    readUserData(w.userData, places);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("user.gdb"));
    const QString plain = dir.filePath(QStringLiteral("plain.gdb"));
    std::vector<double> times, floors;
    using Wall = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Wall::now();
        AtomicFile::write(path, writeUserData(places));
        const auto t1 = Wall::now();
        if (!bench::plainWriteAndSync(plain, w.userData))
            state.SkipWithError("plain write failed");
        const auto t2 = Wall::now();
        const double save = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(save);
        times.push_back(save);
        floors.push_back(std::chrono::duration<double>(t2 - t1).count());
    }
    reportAgainstFloor(state, times, floors);
    state.counters["format_ms"] = [&places] {
        const double t0 = threadSeconds();
        benchmark::DoNotOptimize(writeUserData(places).size());
        return (threadSeconds() - t0) * 1e3;
    }();
}

void worldSizes(benchmark::internal::Benchmark* b)
{
    b->Arg(640)->Arg(20000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_World_ReadLocations)->Apply(worldSizes)->Arg(1000000);
BENCHMARK(BM_World_ReadUserData)->Apply(worldSizes);
BENCHMARK(BM_World_ReadUserDataChecked)->Apply(worldSizes);
BENCHMARK(BM_World_ReadRoutes)->Apply(worldSizes)->Arg(1000000);
BENCHMARK(BM_World_ReadMarkers)->Apply(worldSizes);
BENCHMARK(BM_World_SaveUserData)->Apply(worldSizes);
BENCHMARK(BM_ReadLocations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLocations_MemchrFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadUserData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UserDataReadBackCheck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorldLoadUserData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadUserData_MemchrFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveUserData)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_WriteUserDataInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveUserData_WriteFsyncFloor)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
