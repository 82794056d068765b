// SPDX-License-Identifier: MIT
// Start-up of the main window on the sample world: JPEG decode, database loading and the
// whole way from constructing the window to the end of its first show, beside the bare
// libjpeg decode of the same picture; and the way to the painted window on worlds of
// 640, 20 000 and 100 000 places with the user's own files.
#include "benchsupport.h"
#include "app/mainform.h"
#include "app/locationlistmodel.h"
#include "data/location.h"
#include "data/routesdb.h"
#include "map/jpegdecoder.h"
#include "world/locationnames.h"
#include "worldgen/worldgen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <map>
#include <memory>
#include <vector>

namespace {

struct World {
    QTemporaryDir dir;
    QTemporaryDir app;
    World()
    {
        vdm::worldgen::Options options;
        vdm::worldgen::generate(dir.path(), options);
        QDir::setCurrent(dir.path());
    }
};

World& world()
{
    static World w;
    return w;
}

QByteArray pictureBytes()
{
    QFile f(world().dir.filePath(QStringLiteral("bigmap_hi.jpg")));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The reference: libjpeg's own decode of the same bytes into a fresh 32-bit buffer.
void BM_BareLibjpegDecode(benchmark::State& state)
{
    const QByteArray bytes = pictureBytes();
    for (auto _ : state) {
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr err{};
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&cinfo);
        std::unique_ptr<unsigned char[]> pixels(
            new unsigned char[size_t(cinfo.output_width) * cinfo.output_height * 4]);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.get() + size_t(cinfo.output_scanline) * cinfo.output_width * 4;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.get());
    }
}
BENCHMARK(BM_BareLibjpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JpegDecoderFile(benchmark::State& state)
{
    const QString path = world().dir.filePath(QStringLiteral("bigmap_hi.jpg"));
    for (auto _ : state)
        benchmark::DoNotOptimize(vdm::JpegDecoder::decodeFile(path));
}
BENCHMARK(BM_JpegDecoderFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Constructing the window and its first show (which loads every database).
void BM_StartupToFirstShow(benchmark::State& state)
{
    world();
    vdm::bench::CountingPrompts prompts;
    for (auto _ : state) {
        auto form = std::make_unique<vdm::TMainForm>(prompts, world().app.path() + QLatin1Char('/'));
        form->show();
        state.PauseTiming();
        form->hide();
        // The shut-down writes files; that is not start-up.
        form.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToFirstShow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The database part of the first show alone.
void BM_LoadSampleDatabases(benchmark::State& state)
{
    world();
    std::size_t count = 0;
    for (auto _ : state) {
        vdm::World loaded(world().dir.path());
        loaded.LoadLocations();
        loaded.LoadRoutes();
        count = loaded.locations().size();
    }
    state.counters["locations"] = double(count);
}
BENCHMARK(BM_LoadSampleDatabases)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100 000 locations read as the first show reads them, location list included.
void BM_LoadLocations100k(benchmark::State& state)
{
    world();
    QTemporaryDir big;
    QByteArray file;
    file.reserve(100000 * 96);
    for (int i = 0; i < 100000; ++i) {
        file += "loc\r\n  nm= Place " + QByteArray::number(i * 7919 % 100000)
                + "\r\n  rg= Bench\r\n  ty= town\r\n  lv= " + QByteArray::number(i % 6)
                + "\r\n  pp= 0\r\n  dd= none\r\n  ps= " + QByteArray::number(i % 300000 - 125000) + ","
                + QByteArray::number(i % 350000 - 130000) + "\r\n";
    }
    QFile::copy(world().dir.filePath(QStringLiteral("bigmap.jpg")), big.filePath(QStringLiteral("bigmap.jpg")));
    QFile out(big.filePath(QStringLiteral("vdmain.gdb")));
    out.open(QIODevice::WriteOnly);
    out.write(file);
    out.close();
    vdm::LocationListModel list;
    std::size_t read = 0;
    for (auto _ : state) {
        // A fresh world each time; the old one is freed outside the measurement.
        auto loaded = std::make_unique<vdm::World>(big.path());
        loaded->LoadLocations();
        list.fill(loaded->listedLocations());
        state.PauseTiming();
        read = loaded->locations().size();
        loaded.reset();
        state.ResumeTiming();
    }
    state.counters["locations"] = double(read);
}
BENCHMARK(BM_LoadLocations100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

/** Counts the paints a widget receives. */
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget* w) : m_widget(w) { w->installEventFilter(this); }
    ~PaintCount() override { m_widget->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint)
            ++count;
        return false;
    }

private:
    QWidget* m_widget;
};

/**
 * A generated world of `places` places with statuses, notes and markers, and the sample's
 * pictures (the same for every size: the generator paints them from the seed alone).
 */
const QString& scaledWorld(int places)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> worlds;
    std::unique_ptr<QTemporaryDir>& dir = worlds[places];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        vdm::worldgen::Options options;
        options.locations = places;
        options.userData = true;
        options.pictures = false;
        vdm::worldgen::generate(dir->path(), options);
        for (const char* picture : {"bigmap_hi.jpg", "bigmap.jpg"})
            QFile::copy(world().dir.filePath(QLatin1String(picture)), dir->filePath(QLatin1String(picture)));
    }
    static QString path;
    path = dir->path();
    return path;
}

// From constructing the window to the end of its first paint: the picture decoded, every
// database read, the window shown and its map painted once. Beside BM_BareLibjpegDecode.
void BM_StartupToPaintedWindow(benchmark::State& state)
{
    const QString folder = scaledWorld(int(state.range(0)));
    const QString old = QDir::currentPath();
    QDir::setCurrent(folder);
    vdm::bench::CountingPrompts prompts;
    std::size_t places = 0;
    for (auto _ : state) {
        auto form = std::make_unique<vdm::TMainForm>(prompts, world().app.path() + QLatin1Char('/'));
        {
            PaintCount paints(form->findChild<QWidget*>(QStringLiteral("PanelMap")));
            form->show();
            while (paints.count == 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.PauseTiming();
        places = form->world().locations().size();
        form->hide();
        form.reset(); // the shut-down writes files; that is not start-up
        state.ResumeTiming();
    }
    state.counters["locations"] = double(places);
    QDir::setCurrent(old);
}
BENCHMARK(BM_StartupToPaintedWindow)
    ->Arg(640)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// What the worker does while the picture decodes, alone: the four databases of the same
// worlds read, indexed and checked, and the location list's order made. Start-up to the
// painted window cannot be shorter than the longer of this and the decode.
void BM_WorkerDatabases(benchmark::State& state)
{
    const QString folder = scaledWorld(int(state.range(0)));
    std::size_t places = 0;
    for (auto _ : state) {
        auto loaded = std::make_unique<vdm::World>(folder);
        loaded->LoadDatabases();
        benchmark::DoNotOptimize(loaded->listedLocations().data());
        places = loaded->locations().size();
        state.PauseTiming();
        loaded.reset();
        state.ResumeTiming();
    }
    state.counters["locations"] = double(places);
}
BENCHMARK(BM_WorkerDatabases)->Arg(640)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The location list's order alone, on the locations of the same worlds: made on the
// window's thread once its decode is done, while the worker reads the other files.
void BM_ListOrder(benchmark::State& state)
{
    vdm::World loaded(scaledWorld(int(state.range(0))));
    loaded.LoadLocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(vdm::sortedLocationNames(loaded.locations()).data());
    state.counters["locations"] = double(loaded.locations().size());
}
BENCHMARK(BM_ListOrder)->Arg(640)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The routes alone, read again and again into the same locations (each read replaces
// what the one before gave): the worker's second step without the file and the index.
void BM_ReadRoutes(benchmark::State& state)
{
    const QString folder = scaledWorld(int(state.range(0)));
    vdm::World loaded(folder);
    loaded.LoadLocations();
    vdm::LocationList locations = loaded.locations();
    const QByteArray bytes = vdm::bench::readBytes(QDir(folder).filePath(QStringLiteral("routes.gdb")));
    for (auto _ : state) {
        vdm::readRoutes(bytes, locations);
        benchmark::DoNotOptimize(locations.data());
    }
    state.counters["locations"] = double(locations.size());
}
BENCHMARK(BM_ReadRoutes)->Arg(640)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return vdm::bench::runBenchmarks(argc, argv);
}
