// SPDX-License-Identifier: MIT
// Database reading and saving, each timed beside a floor measured in the same run: a
// plain memchr line count over the same bytes for the readers, a plain write + fsync
// of the same bytes for the save. Goals: readLocations and readUserData of 100 000
// records under 0.3 s; writeUserData + AtomicFile::write of 20 000 locations under
// 20 ms median.
#include "benchsupport.h"
#include "data/atomicfile.h"
#include "data/locationsdb.h"
#include "data/userdb.h"
#include "world/world.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace vdm;

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
// output for what was read, compared with the file. Beside BM_ReadUserData, it is what a
// user file of 100 000 locations adds to the start-up.
void BM_UserDataReadBackCheck(benchmark::State& state)
{
    const QByteArray bytes = writeUserData(locationsWithNotes(kReadCount));
    LocationList list = locationsWithNotes(kReadCount);
    readUserData(bytes, list);
    for (auto _ : state)
        benchmark::DoNotOptimize(writeUserData(list) == bytes);
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

} // namespace

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
