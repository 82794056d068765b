// SPDX-License-Identifier: MIT
// The map at scale: worlds of 640, 20 000 and 100 000 places (routes between near
// neighbours, a user's statuses, notes and markers), made by the world generator into a
// temporary folder and read back through World, all on the sample world's picture.
//
//   Paint      a warm 1920 x 1080 paint at each zoom level (the middle of the map, every
//              overlay on), the same view painted over and over;
//   ZoomStep   the first paint after a zoom step: from the level below to this one, both
//              views visited before (the painter's caches as a user leaves them);
//   DragStep   one step of a drag: the view scrolled by (+7, +5) (then back) and painted as
//              the window paints it, moving the last paint and painting the uncovered strips
//              where that gives the same pixels (moved = the share of steps that did);
//   HoverEmpty the hit tests of one pointer move over empty map (locations, then markers);
//   IndexBuild building the world's spatial index, as its load does, and its size.
//
// Beside each row: its floor measured in the same run, a memcpy of one 1920 x 1080 frame
// (floor_us, the best of many), and the row's median time (each_us) as a multiple of it
// (x_floor); both in the thread's CPU time. VDM_BENCH_FULL_SCAN=1 runs
// the same rows without the world's spatial index.
#include "map/hittest.h"
#include "map/mappainter.h"
#include "map/scrollreuse.h"
#include "world/world.h"
#include "worldgen/worldgen.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

using namespace vdm;

namespace {

const QSize Panel(1920, 1080);
const int Counts[] = {640, 20000, 100000};

/**
 * The calling thread's CPU time: on a shared machine the time a thread spends waiting
 * for a core is not the code's, and wall-clock samples swing with the load.
 */
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static time_point now()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(duration(std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec));
    }
};

/** VDM_BENCH_FULL_SCAN=1: paint and hit-test without the world's index (the figures before it). */
bool fullScan()
{
    static const bool scan = qEnvironmentVariableIntValue("VDM_BENCH_FULL_SCAN") == 1;
    return scan;
}

/** Best of many memcpys of one frame, in microseconds: the floor of every row. */
double frameFloorMicroseconds()
{
    static const double floor = [] {
        std::vector<std::uint32_t> a(size_t(Panel.width()) * Panel.height(), 0x123456u), b(a.size());
        double best = 1e9;
        for (int i = 0; i < 200; ++i) {
            const auto t0 = Clock::now();
            std::memcpy(b.data(), a.data(), a.size() * 4);
            benchmark::DoNotOptimize(b.data());
            benchmark::ClobberMemory();
            best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        return best;
    }();
    return floor;
}

/** One generated world, loaded as the program loads it. */
struct ScaledWorld {
    std::unique_ptr<World> world;
    QImage picture;
};

const QImage& samplePicture()
{
    static const QImage picture = [] {
        QTemporaryDir dir;
        worldgen::Options o;
        o.readmes = false;
        worldgen::generate(dir.path(), o);
        World w(dir.path());
        w.LoadPicture();
        return w.picture();
    }();
    return picture;
}

ScaledWorld& scaledWorld(int count)
{
    static std::map<int, std::unique_ptr<ScaledWorld>> worlds;
    auto& slot = worlds[count];
    if (!slot) {
        static QTemporaryDir root;
        const QString dir = root.filePath(QString::number(count));
        worldgen::Options o;
        o.locations = count;
        o.pictures = false;
        o.readmes = false;
        o.userData = true;
        worldgen::generate(dir, o);
        slot = std::make_unique<ScaledWorld>();
        slot->world = std::make_unique<World>(dir);
        slot->world->LoadDatabases();
        slot->picture = samplePicture();
        std::fprintf(stderr, "world of %zu places, %zu markers\n", slot->world->locations().size(),
                     slot->world->markers().size());
    }
    return *slot;
}

Viewport middleView(int level)
{
    Viewport v = Viewport::showing(samplePicture().size(), 10, Panel, level);
    v.scrollTo(QPoint(v.scrollMaximum().x() / 2, v.scrollMaximum().y() / 2));
    return v;
}

Settings everyOverlay()
{
    Settings s;
    s.ShowText = true;
    s.ShowSkarnels = s.ShowShips = s.ShowMagesGuild = true;
    s.ShowActive = s.ShowVisited = s.ShowUnvisited = true;
    return s;
}

/** Paints through one painter, keeping the highlight bookkeeping as the window does. */
struct PaintRig {
    explicit PaintRig(ScaledWorld& w) : world(w), settings(everyOverlay()), objects(DrawingObjects::fromSettings(settings))
    {}
    double paintMicroseconds(const Viewport& v)
    {
        const MapScene scene{v,        world.picture, world.world->locations(), world.world->markers(),
                             settings, objects,       highlight,                fullScan() ? nullptr : &world.world->index()};
        const auto t0 = Clock::now();
        painter.paint(buffer, scene);
        benchmark::DoNotOptimize(buffer.constBits());
        benchmark::ClobberMemory();
        return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    }

    ScaledWorld& world;
    Settings settings;
    DrawingObjects objects;
    MapPainter painter;
    QImage buffer{Panel, QImage::Format_RGB32};
    GoHighlight highlight;
};

/** The median of the timed samples: on a shared machine a preempted sample says nothing about the code. */
void report(benchmark::State& state, std::vector<double>& samples, const PaintRig* rig = nullptr)
{
    const double floor = frameFloorMicroseconds();
    std::nth_element(samples.begin(), samples.begin() + std::ptrdiff_t(samples.size() / 2), samples.end());
    const double each = samples.empty() ? 0 : samples[samples.size() / 2];
    state.counters["floor_us"] = floor;
    state.counters["x_floor"] = each / floor;
    state.counters["each_us"] = each;
    if (rig)
        state.counters["cacheMB"] = double(rig->painter.cacheBytes()) / (1024.0 * 1024.0);
}

/**
 * What the panel shows of a world: the locations whose point lies on it at this level,
 * the frames drawn there and the captions that reach it. Counted outside the timing.
 */
void countVisible(benchmark::State& state, const PaintRig& rig, const Viewport& v)
{
    const QRect panel(QPoint(0, 0), v.panel());
    const QFontMetrics fm(rig.objects.MapFont);
    double places = 0, frames = 0, captions = 0;
    for (const Location& l : rig.world.world->locations()) {
        if (!v.LevelVisible(l.Level))
            continue;
        const QPoint q = v.mapToPanel(l.X, l.Y);
        places += panel.contains(q);
        const bool shown = l.Status >= Unvisited && l.Status <= Visited; // every toggle is on
        if (!shown)
            continue;
        frames += panel.intersects(QRect(q.x() - 3, q.y() - 3, 6, 6));
        if (!l.Name.isEmpty() && q.y() + 1 < panel.height() && q.y() + 1 + fm.height() > 0 && q.x() + 4 < panel.width()
            && q.x() + 4 + fm.horizontalAdvance(QString::fromLatin1(l.Name)) > 0)
            ++captions;
    }
    state.counters["places"] = places;
    state.counters["frames"] = frames;
    state.counters["captions"] = captions;
}

void BM_Paint(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const Viewport v = middleView(int(state.range(1)));
    rig.paintMicroseconds(v); // caches made once, as by the program's first paint
    std::vector<double> samples;
    for (auto _ : state)
        samples.push_back(rig.paintMicroseconds(v));
    report(state, samples, &rig);
    countVisible(state, rig, v);
}

void BM_DragStep(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    Viewport v = middleView(int(state.range(1)));
    ScrollReuse reuse;
    const std::uint64_t revision = rig.world.world->revision();
    const auto paint = [&] {
        const MapScene scene{v,            rig.world.picture, rig.world.world->locations(), rig.world.world->markers(),
                             rig.settings, rig.objects,       rig.highlight,
                             fullScan() ? nullptr : &rig.world.world->index()};
        return reuse.paint(rig.painter, rig.buffer, scene, revision);
    };
    paint(); // the view the drag starts from, as the window last painted it
    std::vector<double> samples;
    double moved = 0;
    bool forth = true;
    for (auto _ : state) {
        v.scrollBy(forth ? QPoint(7, 5) : QPoint(-7, -5));
        forth = !forth;
        const auto t0 = Clock::now();
        moved += paint() == ScrollReuse::Kind::Moved;
        benchmark::DoNotOptimize(rig.buffer.constBits());
        benchmark::ClobberMemory();
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    const double steps = double(samples.size());
    report(state, samples, &rig);
    state.counters["moved"] = steps > 0 ? moved / steps : 0;
}

void BM_ZoomStep(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const int level = int(state.range(1));
    const Viewport below = middleView(level - 1), here = middleView(level);
    rig.paintMicroseconds(here);
    std::vector<double> samples;
    for (auto _ : state) {
        rig.paintMicroseconds(below); // where the step starts, not timed
        samples.push_back(rig.paintMicroseconds(here));
    }
    report(state, samples, &rig);
}

/** A panel point near the middle with no location or marker within reach at this level. */
QPoint emptySpot(const Viewport& v, const World& w, const LocationFilter& filter)
{
    for (int r = 0; r < 400; r += 7)
        for (int dx = -r; dx <= r; dx += 7) {
            const QPoint p(Panel.width() / 2 + dx, Panel.height() / 2 + r - 2 * (dx & 1) * r);
            if (locationAt(v, w.locations(), filter, p) < 0 && markerAt(v, w.markers(), p) < 0)
                return p;
        }
    return {Panel.width() / 2, Panel.height() / 2};
}

void BM_HoverEmpty(benchmark::State& state)
{
    const World& w = *scaledWorld(Counts[state.range(0)]).world;
    const Viewport v = middleView(int(state.range(1)));
    const LocationFilter filter;
    const QPoint spot = emptySpot(v, w, filter);
    std::vector<double> samples;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const SpatialIndex* index = fullScan() ? nullptr : &w.index();
        benchmark::DoNotOptimize(locationAt(v, w.locations(), filter, spot, index));
        benchmark::DoNotOptimize(markerAt(v, w.markers(), spot, index));
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    report(state, samples);
}

/** Building the index as a load does (locations with their routes, then markers); its size. */
void BM_IndexBuild(benchmark::State& state)
{
    const World& w = *scaledWorld(Counts[state.range(0)]).world;
    std::vector<double> samples;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const SpatialIndex index(w.locations(), w.markers());
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        bytes = index.bytes();
    }
    report(state, samples);
    state.counters["indexMB"] = double(bytes) / (1024.0 * 1024.0);
}

void placesLevels(benchmark::internal::Benchmark* b, int firstLevel)
{
    b->ArgNames({"places", "level"});
    for (int places = 0; places < 3; ++places)
        for (int level = firstLevel; level < Viewport::LevelCount; ++level)
            b->Args({places, level});
    b->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_Paint)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_ZoomStep)->Apply([](auto* b) { placesLevels(b, 1); });
BENCHMARK(BM_DragStep)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_HoverEmpty)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_IndexBuild)->ArgName("places")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts need a GUI application, not a screen
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
