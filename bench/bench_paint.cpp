// SPDX-License-Identifier: MIT
// One paint of the map panel per iteration, at every zoom level, in pixel and smooth
// mode, for the smallest window's panel and a full-HD panel, and the full-HD panel on a
// screen of device pixel ratio 2 (3840 x 2160 device pixels), each also with the picture
// alone, so the overlays' share shows as the difference. References measured in the
// same run: a memcpy of one frame of that size, and QPainter::drawImage of the same
// source rectangle with SmoothPixmapTransform. With a route drawn, the window's paint lays
// the route's kept tiles over each band of the map as it finishes it: BM_PaintWithRoute,
// beside the same view painted without the route in the same iterations (goal: within
// 10 %); BM_PaintWithNewRoute draws every tile afresh, and BM_PaintStepToNextLeg only
// those of the two legs a step to another leg changes.
#include "journey/journeylayer.h"
#include "journey/journeypainter.h"
#include "map/mappainter.h"
#include "map/resampler.h"
#include "world/world.h"
#include "worldgen/worldgen.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <exception>
#include <functional>
#include <numeric>

using namespace vdm;

namespace {

const QSize Panels[] = {{330, 380}, {1920, 1080}};
/** The full-HD panel at device pixel ratio 2, and the frame its back buffer fills. */
constexpr qreal Ratio2 = 2.0;
const QSize Ratio2Frame(3840, 2160);

/** A world with every overlay: the sample world when the generator works, else a synthetic one. */
struct BenchWorld {
    QImage picture;
    LocationList locations, markers;
    /** Where they lie, as the window's world keeps it: a paint visits only what is near the panel. */
    SpatialIndex index;
    QString source;

    BenchWorld()
    {
        try {
            QTemporaryDir dir;
            worldgen::Options o;
            o.locations = 700;
            o.readmes = false;
            worldgen::generate(dir.path(), o);
            World world(dir.path());
            world.LoadPicture();
            world.LoadLocations();
            world.LoadRoutes();
            picture = world.picture();
            locations = world.locations();
            source = QStringLiteral("sample world");
        } catch (const std::exception& e) {
            std::fprintf(stderr, "sample world unavailable (%s); synthesising one\n", e.what());
            synthesise();
        }
        if (picture.size() != QSize(3300, 3800) || locations.empty())
            synthesise();
        for (size_t i = 0; i < locations.size(); ++i)
            locations[i].Status = int(i % 3) + 1; // every status class on show
        QRandomGenerator rng(7);
        for (int i = 0; i < 40; ++i) {
            Location m;
            m.Name = "Marker " + QByteArray::number(i);
            m.Level = 1;
            m.X = rng.bounded(-125000, 175000);
            m.Y = rng.bounded(-130000, 220000);
            markers.push_back(m);
        }
        index = SpatialIndex(locations, markers);
    }

    void synthesise()
    {
        source = QStringLiteral("synthetic world");
        picture = QImage(3300, 3800, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                line[x] = qRgb((x * 7 + y) & 0xFF, (x ^ y) & 0xFF, (x * y >> 6) & 0xFF);
        }
        locations.clear();
        QRandomGenerator rng(1);
        for (int i = 0; i < 700; ++i) {
            Location l;
            l.Name = "Settlement " + QByteArray::number(i);
            l.Level = int(rng.bounded(6));
            l.X = rng.bounded(-125000, 175000);
            l.Y = rng.bounded(-130000, 220000);
            for (int r = 0; r < 3; ++r)
                l.Routes.push_back({std::int32_t(rng.bounded(700)), std::uint8_t(r + 1)});
            locations.push_back(l);
        }
    }
};

BenchWorld& world()
{
    static BenchWorld w;
    return w;
}

Viewport viewFor(QSize panel, int level)
{
    Viewport v = Viewport::showing(world().picture.size(), 10, panel, level);
    v.scrollTo(QPoint(v.scrollMaximum().x() / 2, v.scrollMaximum().y() / 2)); // the middle of the map
    return v;
}

Settings settingsFor(bool smooth, bool overlays)
{
    Settings s;
    s.MapAA = smooth;
    s.ZoomLevelAA = smooth ? 0 : Viewport::LevelCount;
    s.ShowText = overlays;
    s.ShowSkarnels = s.ShowShips = s.ShowMagesGuild = overlays;
    s.ShowActive = s.ShowVisited = s.ShowUnvisited = overlays;
    return s;
}

void runPaint(benchmark::State& state, bool overlays, qreal ratio = 1)
{
    const QSize panel = Panels[state.range(0)];
    const int level = int(state.range(1));
    const bool smooth = state.range(2) != 0;
    const Viewport v = viewFor(panel, level);
    const Settings s = settingsFor(smooth, overlays);
    const DrawingObjects o = DrawingObjects::fromSettings(s);
    const LocationList none;
    GoHighlight highlight;
    MapPainter painter;
    const MapScene scene{v, world().picture, overlays ? world().locations : none, overlays ? world().markers : none, s,
                         o, highlight};
    QImage buffer(backBufferSize(panel, ratio), QImage::Format_RGB32);
    buffer.setDevicePixelRatio(ratio);
    painter.paint(buffer, scene); // caches are made once, as in the program's first paint
    for (auto _ : state) {
        painter.paint(buffer, scene);
        benchmark::DoNotOptimize(buffer.constBits());
        benchmark::ClobberMemory();
    }
    state.counters["cacheMB"] = double(painter.cacheBytes()) / (1024.0 * 1024.0);
}

void BM_Paint(benchmark::State& state)
{
    runPaint(state, true);
}

/** This thread's processor time, in nanoseconds. */
std::int64_t threadNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (std::int64_t(t.tv_sec) * 1000000000) + t.tv_nsec;
}

/** A journey of up to twelve legs through places on the panel, every way of travelling among them. */
Journey journeyOn(const Viewport& v)
{
    Journey j;
    const LocationList& places = world().locations;
    int last = -1;
    for (int i = 0; i < int(places.size()) && j.legs.size() < 12; ++i) {
        const QPoint at = v.mapToPanel(places[std::size_t(i)].X, places[std::size_t(i)].Y);
        if (!QRect(QPoint(), v.panel()).contains(at))
            continue;
        if (last >= 0)
            j.legs.push_back({last, i, TravelMode(j.legs.size() % TravelModeCount), 1000, 1});
        else
            j.start = i;
        last = i;
    }
    j.end = j.target = last;
    j.reached = true;
    return j;
}

/**
 * The view a route benchmark paints: the map of one panel size, level and route setting,
 * with a route over it and the back buffer it is painted into.
 */
struct RouteView {
    explicit RouteView(const benchmark::State& state)
        : panel(Panels[state.range(0)]), v(viewFor(panel, int(state.range(1)))),
          s(settingsFor(state.range(2) != 0, true)),
          o(DrawingObjects::fromSettings(s)), scene{v, world().picture, world().locations, world().markers, s,
                                                    o, highlight,       &world().index},
          journey(journeyOn(v)), buffer(backBufferSize(panel, 1), QImage::Format_RGB32)
    {
        painter.paint(buffer, scene);
    }

    void paintMap() { painter.paint(buffer, scene); }
    /** The map with `layer`, aimed at the route with `currentLeg` emphasised, laid over it. */
    void paintWithRoute(JourneyLayer& layer, int currentLeg)
    {
        layer.aim(v, 1, world().locations, journey, currentLeg);
        MapScene routed = scene;
        routed.top = &layer;
        painter.paint(buffer, routed);
    }
    void done()
    {
        benchmark::DoNotOptimize(buffer.constBits());
        benchmark::ClobberMemory();
    }

    const QSize panel;
    const Viewport v;
    const Settings s;
    const DrawingObjects o;
    GoHighlight highlight;
    MapPainter painter;
    const MapScene scene;
    const Journey journey;
    QImage buffer;
};

/**
 * BM_Paint's view with a route over it, as the window paints one: the route's kept tiles
 * laid over each band of the map as the paint finishes it. Each iteration paints the
 * view without the route too, so the route's share comes from the same run.
 */
void BM_PaintWithRoute(benchmark::State& state)
{
    RouteView view(state);
    JourneyLayer layer;
    view.paintMap();
    const QImage bare = view.buffer.copy();
    view.paintWithRoute(layer, 1); // the tiles are drawn once, at the first paint
    // How much of the panel the route covers: what its laying must touch at least.
    qint64 covered = 0;
    for (int y = 0; y < bare.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(bare.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(view.buffer.constScanLine(y));
        covered += std::inner_product(a, a + bare.width(), b, qint64(0), std::plus<>(),
                                      [](QRgb u, QRgb v) { return qint64(u != v); });
    }
    state.counters["cover%"] = 100.0 * double(covered) / (double(bare.width()) * bare.height());
    // Both paints timed in this thread's processor time, so another program on the
    // machine inflates neither.
    std::int64_t mapNs = 0, routedNs = 0;
    for (auto _ : state) {
        const std::int64_t start = threadNs();
        view.paintMap();
        const std::int64_t painted = threadNs();
        view.paintWithRoute(layer, 1);
        routedNs += threadNs() - painted;
        mapNs += painted - start;
        view.done();
    }
    state.counters["mapMs"] = benchmark::Counter(double(mapNs) / 1e6, benchmark::Counter::kAvgIterations);
    state.counters["routeMs"] = benchmark::Counter(double(routedNs - mapNs) / 1e6, benchmark::Counter::kAvgIterations);
    state.counters["route%"] = mapNs > 0 ? 100.0 * double(routedNs - mapNs) / double(mapNs) : 0.0;
    state.counters["legs"] = double(view.journey.legs.size());
    state.counters["layerKB"] = double(layer.bytes()) / 1024.0;
}

/**
 * The route's kept tiles laid over a painted frame band by band and nothing else: what
 * laying costs per pixel it covers (ns/px), beside BM_MemcpyFrame's cost per pixel
 * copied. The frame is not in the cache here, as it is in the paint's bands.
 */
void BM_LayRoute(benchmark::State& state)
{
    RouteView view(state);
    JourneyLayer layer;
    view.paintMap();
    const QImage bare = view.buffer.copy();
    view.paintWithRoute(layer, 1);
    qint64 covered = 0;
    for (int y = 0; y < bare.height(); ++y)
        for (int x = 0; x < bare.width(); ++x)
            covered += bare.pixel(x, y) != view.buffer.pixel(x, y);
    std::int64_t ns = 0;
    for (auto _ : state) {
        const std::int64_t start = threadNs();
        for (int y = 0; y < view.buffer.height(); y += 64)
            layer.layOver(view.buffer, QRect(0, y, view.buffer.width(), 64));
        ns += threadNs() - start;
        view.done();
    }
    state.counters["ns/px"]
        = benchmark::Counter(covered > 0 ? double(ns) / double(covered) : 0.0, benchmark::Counter::kAvgIterations);
}

/**
 * The first paint of a route (or of another level): every tile it crosses drawn, beside
 * BM_PaintWithRoute's laying of kept tiles. A scroll draws only the tiles it uncovers.
 */
void BM_PaintWithNewRoute(benchmark::State& state)
{
    RouteView view(state);
    for (auto _ : state) {
        view.paintMap();
        JourneyPainter::paint(view.buffer, view.v, world().locations, view.journey, 1);
        view.done();
    }
}

/**
 * A step to the next leg (N, P, the legs list): the map painted and the route laid with
 * another leg emphasised, only the tiles the two legs reach drawn again. Beside
 * BM_PaintWithRoute (nothing drawn again) and BM_PaintWithNewRoute (everything).
 */
void BM_PaintStepToNextLeg(benchmark::State& state)
{
    RouteView view(state);
    JourneyLayer layer;
    view.paintWithRoute(layer, 0);
    const int legs = std::max<int>(1, int(view.journey.legs.size()));
    int current = 0;
    for (auto _ : state) {
        current = (current + 1) % legs;
        view.paintWithRoute(layer, current);
        view.done();
    }
    state.counters["legs"] = double(view.journey.legs.size());
}

/** The full-HD panel on a ratio-2 screen: 3840 x 2160 device pixels, every overlay. */
void BM_PaintRatio2(benchmark::State& state)
{
    runPaint(state, true, Ratio2);
}

/** The picture alone at ratio 2: what BM_PaintRatio2 costs before any overlay. */
void BM_ResampleRatio2(benchmark::State& state)
{
    runPaint(state, false, Ratio2);
}

/** The floor of BM_PaintRatio2: copying one 3840 x 2160 frame. */
void BM_MemcpyFrameRatio2(benchmark::State& state)
{
    std::vector<std::uint32_t> a(size_t(Ratio2Frame.width()) * Ratio2Frame.height(), 0x123456u), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 4);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}

/** The picture alone: background fill and resampling, no overlays. */
void BM_Resample(benchmark::State& state)
{
    runPaint(state, false);
}

/** Reference: copying one frame of the panel's size. */
void BM_MemcpyFrame(benchmark::State& state)
{
    const QSize panel = Panels[state.range(0)];
    std::vector<std::uint32_t> a(size_t(panel.width()) * panel.height(), 0x123456u), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 4);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}

/** Reference: QPainter's smooth drawImage of the same source rectangle onto the same target. */
void BM_DrawImageSmooth(benchmark::State& state)
{
    const QSize panel = Panels[state.range(0)];
    const Viewport v = viewFor(panel, int(state.range(1)));
    const QImage& pic = world().picture;
    const long double f = v.factor(), s = v.mapScale();
    const int W = panel.width(), H = panel.height(), PW = pic.width(), PH = pic.height();
    const int sx = truncToInt(v.scrollX() / f * s), sy = truncToInt(v.scrollY() / f * s);
    const int sw = truncToInt((W - 330) / f * s + PW / f), sh = truncToInt((H - 380) / f * s + PH / f);
    QRect to(0, 0, W, H);
    QRectF from(sx, sy, sw, sh);
    if (!v.mapCoversPanel()) {
        to = QRect(v.marginX(), v.marginY(), truncToInt(PW * f / s), truncToInt(PH * f / s));
        if (!(sw < PW && sh < PH))
            from = QRectF(sx, sy, PW, PH);
    }
    QImage buffer(panel, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&buffer);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(QRectF(to), pic, from);
        p.end();
        benchmark::DoNotOptimize(buffer.constBits());
    }
}

/** The one-off cost of a shrinking level's averaged copy (every source pixel read). */
void BM_AveragedCopy(benchmark::State& state)
{
    const QImage& pic = world().picture;
    const double k = Viewport::factorOf(int(state.range(0))) / 10.0;
    const QSize size(int(pic.width() * k + 0.5), int(pic.height() * k + 0.5));
    for (auto _ : state)
        benchmark::DoNotOptimize(Resampler::scaled(pic, size).constBits());
}

void levelsModes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"panel", "level", "smooth"});
    for (int panel = 0; panel < 2; ++panel)
        for (int level = 0; level < Viewport::LevelCount; ++level)
            for (int smooth = 0; smooth < 2; ++smooth)
                b->Args({panel, level, smooth});
    b->Unit(benchmark::kMillisecond);
}

void fullHdLevelsModes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"panel", "level", "smooth"});
    for (int level = 0; level < Viewport::LevelCount; ++level)
        for (int smooth = 0; smooth < 2; ++smooth)
            b->Args({1, level, smooth});
    b->Unit(benchmark::kMillisecond);
}

void levels(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"panel", "level"});
    for (int panel = 0; panel < 2; ++panel)
        for (int level = 0; level < Viewport::LevelCount; ++level)
            b->Args({panel, level});
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_MemcpyFrame)->ArgName("panel")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Resample)->Apply(levelsModes);
BENCHMARK(BM_DrawImageSmooth)->Apply(levels);
BENCHMARK(BM_Paint)->Apply(levelsModes);
BENCHMARK(BM_PaintWithRoute)->Apply(levelsModes);
BENCHMARK(BM_PaintWithNewRoute)->Apply(fullHdLevelsModes);
BENCHMARK(BM_LayRoute)->Apply(levelsModes);
BENCHMARK(BM_PaintStepToNextLeg)->Apply(fullHdLevelsModes);
BENCHMARK(BM_MemcpyFrameRatio2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleRatio2)->Apply(fullHdLevelsModes);
BENCHMARK(BM_PaintRatio2)->Apply(fullHdLevelsModes);
BENCHMARK(BM_AveragedCopy)->ArgName("level")->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts need a GUI application, not a screen
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::fprintf(stderr, "world: %s, %zu locations\n", qPrintable(world().source), world().locations.size());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
