// SPDX-License-Identifier: MIT
// Export and import of the progress file at 100 000 locations, each beside a floor
// measured in the same run: a plain write + fsync of the same bytes for the export, a
// read of the file and a memchr line count for the import. Goal: each under 0.5 s.
// An import of 100 000 new markers beside the same kind of floor. Goal: under 1 s.
#include "benchsupport.h"
#include "data/databasefile.h"
#include "world/progressfile.h"
#include "world/world.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

namespace {

using namespace vdm;

constexpr int kCount = 100000;
constexpr int kMarkers = 500;

/** Places with statuses and some notes, named as a large world names them (some names twice). */
LocationList places(int count)
{
    LocationList list(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Location& l = list[std::size_t(i)];
        l.Name = "Settlement " + QByteArray::number(i % (count - count / 20)); // every 20th name shared
        l.X = i * 3 % 300000 - 125000;
        l.Y = i * 7 % 350000 - 130000;
        l.Status = 1 + i % 3;
        if (i % 4 == 0)
            l.Note = "Remember the ferry toll, and the \"innkeeper's\" cousin " + QByteArray::number(i);
    }
    return list;
}

LocationList markers()
{
    LocationList list;
    for (int i = 0; i < kMarkers; ++i) {
        Location m;
        m.Name = "Camp " + QByteArray::number(i);
        m.Level = 1;
        m.X = i * 97;
        m.Y = -i * 89;
        list.push_back(m);
    }
    return list;
}

/** The same places with no progress, listed in another order. */
LocationList freshReordered(LocationList list)
{
    std::reverse(list.begin(), list.end());
    for (Location& l : list) {
        l.Status = Unvisited;
        l.Note.clear();
    }
    return list;
}

void BM_ExportProgress(benchmark::State& state)
{
    QTemporaryDir dir;
    const World world(dir.path(), places(kCount), markers());
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    for (auto _ : state)
        saveProgressFile(path, world);
}

void BM_ExportProgress_WriteFsyncFloor(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray bytes = writeProgress(places(kCount), markers());
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    for (auto _ : state)
        if (!bench::plainWriteAndSync(path, bytes))
            state.SkipWithError("plain write failed");
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// The whole import as the window runs it: read the file, plan against a world that lists
// the places in another order, apply and write user.gdb and markers.gdb.
void BM_ImportProgress(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    bench::writeBytes(path, writeProgress(places(kCount), markers()));
    const LocationList fresh = freshReordered(places(kCount));
    for (auto _ : state) {
        state.PauseTiming();
        World world(dir.path(), fresh, {});
        state.ResumeTiming();
        const Progress progress = loadProgressFile(path);
        const ProgressPlan plan = planProgressImport(progress, world.locations(), world.markers());
        applyProgressImport(world, plan);
        if (world.statusCounts().unvisited != kCount / 3 + 1 || int(world.markers().size()) != kMarkers)
            state.SkipWithError("the import did not place everything");
    }
}

void BM_ImportProgress_ReadLineCountFloor(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    const QByteArray bytes = writeProgress(places(kCount), markers());
    bench::writeBytes(path, bytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::memchrLines(readDatabaseFile(path)));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

constexpr int kManyMarkers = 100000;

LocationList manyMarkers()
{
    LocationList list;
    list.reserve(kManyMarkers);
    for (int i = 0; i < kManyMarkers; ++i) {
        Location m;
        m.Name = "Cache " + QByteArray::number(i);
        m.Level = 1;
        m.X = i * 37 % 300000 - 125000;
        m.Y = i * 53 % 350000 - 130000;
        list.push_back(m);
    }
    return list;
}

// The markers join a world of a few places: each is added to the spatial index, once.
void BM_ImportManyMarkers(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    bench::writeBytes(path, writeProgress(places(50), manyMarkers()));
    for (auto _ : state) {
        state.PauseTiming();
        World world(dir.path(), places(50), {});
        state.ResumeTiming();
        const ProgressPlan plan = planProgressImport(loadProgressFile(path), world.locations(), world.markers());
        applyProgressImport(world, plan);
        if (int(world.markers().size()) != kManyMarkers)
            state.SkipWithError("the import did not add every marker");
    }
}

void BM_ImportManyMarkers_ReadLineCountFloor(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("progress.txt"));
    const QByteArray bytes = writeProgress(places(50), manyMarkers());
    bench::writeBytes(path, bytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::memchrLines(readDatabaseFile(path)));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

BENCHMARK(BM_ExportProgress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportProgress_WriteFsyncFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportProgress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportProgress_ReadLineCountFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportManyMarkers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportManyMarkers_ReadLineCountFloor)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
