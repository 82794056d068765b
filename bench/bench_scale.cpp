// SPDX-License-Identifier: MIT
// The map at scale: worlds of 640, 20 000, 100 000 and 1 000 000 places (routes between
// near neighbours, a user's statuses, notes and markers), made by the world generator and
// read back through World, all on the sample world's picture. VDM_BENCH_WORLDS names a
// folder that keeps the worlds between runs (a million places take minutes to make);
// without it they are made in a temporary folder.
//
//   Paint       a warm 1920 x 1080 paint at each zoom level (the middle of the map, every
//               overlay on), the same view painted over and over;
//   PaintHidden the same with "Hide overlapping captions" on;
//   FirstVisit  the first paint of a level by a painter that has painted nothing (no
//               caption, no shrunken picture): the program's very first paint. The painter
//               starts from the caption font learned ahead from the world's names, as the
//               window's does (it learns the font while the world loads, on a thread of its
//               own: FontAhead); what that learning cost, untimed here, is ahead_cpu_us.
//               VDM_BENCH_COLD_FONT=1 paints without it, as the program did before. Up
//               to 100 000 places it starts from the first view's captions rendered on
//               that thread after the font as well, as the window's does (untimed here,
//               rendered anew for each sample: ahead_wall_us, ahead_captions; taken: how
//               many the paint took instead of rendering them);
//   FirstVisitNoCaptions  the same paint from the font learned ahead alone, without
//               the first view's captions (FirstVisit as it was before they were rendered
//               ahead);
//   FirstVisitStep  the first paint of a level right after a paint of the level below (a
//               zoom step about the panel's centre before the window rendered anything
//               ahead): the painter has learned its font (pairs laid out, glyphs
//               rasterised) and holds the captions of the view below, as the window's
//               painter does, and renders the captions only this level shows (rendered:
//               how many, a mean over the samples);
//   FirstVisitAhead  the first paint of a level after a paint of the level below and the
//               captions rendered ahead for it, as the window does in its idle time;
//   DragOnward  the same steps on in one direction (a kept paint is then a few steps back);
//   ZoomStep    the first paint after a zoom step: from the level below to this one, both
//               views visited before (the painter's caches as a user leaves them);
//   ZoomAhead   a zoom step from the level below to this one after the window painted the
//               view ahead in its idle time (FramesAhead, a band of rows a slice): the swap
//               that shows the frame (each_us), beside a memcpy of the frame (floor_us) and
//               the whole paint of the same step without it (whole_us, whole_wall_us),
//               alternated; what painting the frame ahead cost: its slices' wall time
//               (slice_wall_us, the longest slice_max_us), all of it (ahead_wall_us,
//               ahead_cpu_us over every thread) and how many slices (slices);
//   DragStep    one step of a drag: the view scrolled by (+7, +5) (then back) and painted as
//               the window paints it, moving the last paint and painting the uncovered strips
//               where that gives the same pixels, or moving a kept paint of a step before
//               (moved = the share of steps that did);
//   StatusEdit  the repaint after one place near the panel's centre changes status (visited
//               and active in turn), as the window paints it: only what the place's frame
//               and caption can touch; whole_us (whole_wall_us) is a whole repaint of the
//               same view, alternated with it;
//   HoverEmpty  the hit tests of one pointer move over empty map (locations, then markers);
//   Convert     one MapToScreen, over every place of the world in turn;
//   IndexBuild  building the world's spatial index, as its load does, and its size.
//
// Every sample of a row is taken right after a sample of its floor, so both see the same
// machine; both are reported as medians (each_us, floor_us) with their ratio (x_floor).
// The floor of the paints is a memcpy of one 1920 x 1080 frame; that of a hover, 64
// conversions of map points (what looking at one crowded cell of the index costs); that
// of a conversion, the same long double arithmetic without truncating (plain_ns beside it:
// the conversion with the compiler's own truncation, as it was written before). Times are
// the thread's CPU time. A paint of the whole panel shares its drawing with a second core,
// so the paint rows also give the median wall time (wall_us) and the CPU time of every
// thread (cpu_us); VDM_BENCH_ONE_CORE=1 paints without the second core, and
// VDM_BENCH_WHOLE=1 paints a huge world's views whole instead of a few rows at a time
// (MapPainter::paintInPartsAbove), as the program did before.
// VDM_BENCH_FULL_SCAN=1 runs the same rows without the spatial index.
#include "benchsupport.h"
#include "map/captionrender.h"
#include "map/fontahead.h"
#include "map/framesahead.h"
#include "map/hittest.h"
#include "map/mappainter.h"
#include "map/scrollreuse.h"
#include "world/world.h"
#include "worldgen/worldgen.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <thread>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

using namespace vdm;
using bench::median;
using bench::Samples;

namespace {

const QSize Panel(1920, 1080);
const int Counts[] = {640, 20000, 100000, 1000000};
constexpr int CountsSize = int(sizeof Counts / sizeof Counts[0]);

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

double microsecondsOf(const std::function<void()>& work)
{
    const auto t0 = Clock::now();
    work();
    benchmark::ClobberMemory();
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

double processMicroseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

/**
 * What a paint costs beyond the calling thread's CPU time, now that a crowded paint
 * shares its drawing with the second core: the wall time and the CPU time of every
 * thread, each a median over the samples (wall_us, cpu_us).
 */
struct SharedCost {
    std::vector<double> wall, cpu;
    double measure(const std::function<void()>& work)
    {
        const double cpu0 = processMicroseconds();
        const auto t0 = std::chrono::steady_clock::now();
        const double own = microsecondsOf(work);
        wall.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
        cpu.push_back(processMicroseconds() - cpu0);
        return own;
    }
    void report(benchmark::State& state) const
    {
        state.counters["wall_us"] = median(wall);
        state.counters["cpu_us"] = median(cpu);
    }
};

/** VDM_BENCH_FULL_SCAN=1: paint and hit-test without the world's index (the figures before it). */
bool fullScan()
{
    static const bool scan = qEnvironmentVariableIntValue("VDM_BENCH_FULL_SCAN") == 1;
    return scan;
}

/**
 * VDM_BENCH_ONE_CORE=1: paint without the second core (the figures before it shared the
 * drawing); VDM_BENCH_WHOLE=1: paint every view whole, however many places.
 */
std::unique_ptr<MapPainter> newPainter()
{
    static const bool oneCore = qEnvironmentVariableIntValue("VDM_BENCH_ONE_CORE") == 1;
    static const bool whole = qEnvironmentVariableIntValue("VDM_BENCH_WHOLE") == 1;
    auto painter = std::make_unique<MapPainter>();
    painter->useSecondCore(!oneCore);
    if (whole)
        painter->paintInPartsAbove(SIZE_MAX);
    return painter;
}

/** The floor of every paint: one frame copied. */
struct FrameCopy {
    std::vector<std::uint32_t> a = std::vector<std::uint32_t>(size_t(Panel.width()) * Panel.height(), 0x123456u);
    std::vector<std::uint32_t> b = std::vector<std::uint32_t>(a.size());
    double operator()()
    {
        return microsecondsOf([&] {
            std::memcpy(b.data(), a.data(), a.size() * 4);
            benchmark::DoNotOptimize(b.data());
        });
    }
};

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

QString worldsFolder()
{
    static QTemporaryDir temporary;
    const QString kept = qEnvironmentVariable("VDM_BENCH_WORLDS");
    return kept.isEmpty() ? temporary.path() : kept;
}

ScaledWorld& scaledWorld(int count)
{
    static std::map<int, std::unique_ptr<ScaledWorld>> worlds;
    auto& slot = worlds[count];
    if (!slot) {
        const QString dir = QDir(worldsFolder()).filePath(QString::number(count));
        if (!QFileInfo::exists(QDir(dir).filePath(QStringLiteral("user.gdb")))) {
            worldgen::Options o;
            o.locations = count;
            o.pictures = false;
            o.readmes = false;
            o.userData = true;
            worldgen::generate(dir, o);
        }
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

/** The view a zoom step to `level` reaches from `below`: about the panel's centre, as the zoom commands take it. */
Viewport steppedView(const Viewport& below, int level)
{
    Viewport v = below;
    v.zoomTo(level, QPoint(Panel.width() / 2, Panel.height() / 2));
    return v;
}

Settings everyOverlay(bool hide = false)
{
    Settings s;
    s.ShowText = true;
    s.ShowSkarnels = s.ShowShips = s.ShowMagesGuild = true;
    s.ShowActive = s.ShowVisited = s.ShowUnvisited = true;
    s.HideOverlappingCaptions = hide;
    return s;
}

/** Paints through one painter, keeping the highlight bookkeeping as the window does. */
struct PaintRig {
    explicit PaintRig(ScaledWorld& w, bool hide = false)
        : world(w), settings(everyOverlay(hide)), objects(DrawingObjects::fromSettings(settings)), painter(newPainter())
    {}
    MapScene scene(const Viewport& v)
    {
        return MapScene{v,
                        world.picture,
                        world.world->locations(),
                        world.world->markers(),
                        settings,
                        objects,
                        highlight,
                        fullScan() ? nullptr : &world.world->index()};
    }
    double paintMicroseconds(const Viewport& v)
    {
        const MapScene s = scene(v);
        return cost.measure([&] {
            painter->paint(buffer, s);
            benchmark::DoNotOptimize(buffer.constBits());
        });
    }

    ScaledWorld& world;
    Settings settings;
    DrawingObjects objects;
    std::unique_ptr<MapPainter> painter;
    QImage buffer{Panel, QImage::Format_RGB32};
    GoHighlight highlight;
    SharedCost cost;
};

void reportCache(benchmark::State& state, const PaintRig& rig)
{
    rig.cost.report(state);
    state.counters["cacheMB"] = double(rig.painter->cacheBytes()) / (1024.0 * 1024.0);
    state.counters["captions"] = rig.painter->cachedCaptions();
    // The caption pixels the last paint blended: what bounds a crowded paint from below.
    state.counters["ink_Mpx"] = double(rig.painter->lastInk()) / 1e6;
}

/** The locations whose point lies on the panel at this level (counted outside the timing). */
void countVisible(benchmark::State& state, const PaintRig& rig, const Viewport& v)
{
    const QRect panel(QPoint(0, 0), v.panel());
    double places = 0;
    for (const Location& l : rig.world.world->locations())
        places += v.LevelVisible(l.Level) && panel.contains(v.mapToPanel(l.X, l.Y));
    state.counters["places"] = places;
}

void paintRow(benchmark::State& state, bool hide)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]), hide);
    const Viewport v = middleView(int(state.range(1)));
    rig.paintMicroseconds(v); // caches made once, as by the program's first paint
    rig.paintMicroseconds(v); // and what it leaves to the window's idle time (a shrinking level's copy)
    rig.cost = {};
    FrameCopy floor;
    Samples samples;
    for (auto _ : state)
        samples.add(rig.paintMicroseconds(v), floor());
    samples.report(state);
    reportCache(state, rig);
    countVisible(state, rig, v);
}

void BM_Paint(benchmark::State& state)
{
    paintRow(state, false);
}

void BM_PaintHidden(benchmark::State& state)
{
    paintRow(state, true);
}

/**
 * The caption font learned ahead from the world's places as the window learns it while the
 * world loads (none with VDM_BENCH_COLD_FONT=1, or for a world too small to learn it), and
 * the CPU time that took (0 without).
 */
std::pair<std::shared_ptr<const LearnedFont>, double> fontAhead(const PaintRig& rig)
{
    static const bool cold = qEnvironmentVariableIntValue("VDM_BENCH_COLD_FONT") == 1;
    const LocationList& places = rig.world.world->locations();
    if (cold || places.size() < ManyCaptionsFrom)
        return {nullptr, 0};
    // On a thread of its own, as the window's: a font's engines (and what they cache) stay
    // with the thread that used them, so the paint meets none of them warm.
    std::shared_ptr<const LearnedFont> learned;
    double us = 0;
    std::thread learning([&] {
        us = microsecondsOf([&] {
            learned = CaptionRenderer::learnAhead(
                rig.objects.MapFont, 1, captionsToLearn(places, rig.settings.TextLength, FontAhead::LookedAt));
        });
    });
    learning.join();
    return {learned, us};
}

/** What the window's FontAhead learned and rendered for the first view `v`, taken as its first paint takes it. */
struct StartAhead {
    std::shared_ptr<const LearnedFont> learned;
    std::unique_ptr<CaptionsAhead> captions;
    double wallUs = 0; // from the places handed over until the captions were rendered
};

/**
 * The font learned and the first view's captions rendered as the window does while the
 * world loads: a FontAhead given the view, the places handed to it, its thread waited
 * for. The window knows the window's size, not the panel's yet: the view it renders for
 * is the panel grown by what the window needs beyond it.
 */
StartAhead startAhead(const PaintRig& rig, const Viewport& v)
{
    const FirstView first{v.zoomIndex(), v.scroll(), v.panel() + QSize(Viewport::FrameWidth, Viewport::FrameHeight)};
    FontAhead ahead(rig.objects.MapFont, rig.settings.TextLength, 1, first);
    StartAhead got;
    const auto t0 = std::chrono::steady_clock::now();
    ahead.learnFrom(rig.world.world->locations());
    while (!ahead.captionsDone())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    got.wallUs = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    got.learned = ahead.takeIfDone();
    got.captions = ahead.takeCaptionsIfDone();
    return got;
}

/**
 * The program's very first paint. With `captionsAhead`, as the window paints it now: its
 * painter starts from the font learned and the captions of the first view rendered while
 * the world loads (rendered anew for each sample, untimed; ahead_wall_us: how long that
 * took, ahead_captions: how many, taken: how many the paint took). Without, the font
 * alone (the row as it was before the captions were rendered ahead).
 */
void firstVisitRow(benchmark::State& state, bool captionsAhead)
{
    static const bool cold = qEnvironmentVariableIntValue("VDM_BENCH_COLD_FONT") == 1;
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const Viewport v = middleView(int(state.range(1)));
    const auto [learned, aheadUs] = fontAhead(rig);
    FrameCopy floor;
    Samples samples;
    double aheadWall = 0, aheadCaptions = 0, taken = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.painter = newPainter(); // nothing cached
        if (captionsAhead && !cold) {
            StartAhead ahead = startAhead(rig, v);
            aheadWall += ahead.wallUs;
            aheadCaptions += ahead.captions ? double(ahead.captions->size()) : 0;
            rig.painter->startFontFrom(ahead.learned);
            rig.painter->takeCaptionsAhead(std::move(ahead.captions));
        } else {
            rig.painter->startFontFrom(learned);
        }
        state.ResumeTiming();
        samples.add(rig.paintMicroseconds(v), floor());
        taken += rig.painter->lastTakenAhead();
    }
    samples.report(state);
    reportCache(state, rig);
    state.counters["ahead_cpu_us"] = aheadUs;
    if (captionsAhead) {
        const double n = double(std::max<std::int64_t>(1, std::int64_t(state.iterations())));
        state.counters["ahead_wall_us"] = aheadWall / n;
        state.counters["ahead_captions"] = aheadCaptions / n;
        state.counters["taken"] = taken / n;
    }
}

void BM_FirstVisit(benchmark::State& state)
{
    firstVisitRow(state, true);
}

void BM_FirstVisitNoCaptions(benchmark::State& state)
{
    firstVisitRow(state, false);
}

void BM_FirstVisitStep(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const int level = int(state.range(1));
    const Viewport below = middleView(level - 1);
    const Viewport here = steppedView(below, level);
    const std::shared_ptr<const LearnedFont> learned = fontAhead(rig).first; // as the window's painter starts
    FrameCopy floor;
    Samples samples;
    double rendered = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.painter = newPainter();
        rig.painter->startFontFrom(learned);
        rig.paintMicroseconds(below); // where the step starts: the font learned, the view below cached
        rig.cost.wall.pop_back();     // only the visit counts
        rig.cost.cpu.pop_back();
        const int held = rig.painter->cachedCaptions();
        state.ResumeTiming();
        samples.add(rig.paintMicroseconds(here), floor());
        rendered += rig.painter->cachedCaptions() - held;
    }
    samples.report(state);
    reportCache(state, rig);
    state.counters["rendered"] = rendered / double(std::max<std::int64_t>(1, std::int64_t(state.iterations())));
}

void BM_FirstVisitAhead(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const int level = int(state.range(1));
    const Viewport below = middleView(level - 1);
    FrameCopy floor;
    Samples samples;
    for (auto _ : state) {
        state.PauseTiming();
        rig.painter = newPainter();
        rig.paintMicroseconds(below);
        // The window renders ahead in idle slices; here all at once, untimed. The view
        // ahead is the level above, as the window zooms.
        const Viewport ahead = steppedView(below, level);
        const MapScene s = rig.scene(ahead); // nothing highlighted, as nothing was gone to
        rig.painter->renderCaptionsAhead(s, 1, std::chrono::steady_clock::now() + std::chrono::minutes(5));
        rig.cost.wall.pop_back(); // only the visit counts
        rig.cost.cpu.pop_back();
        state.ResumeTiming();
        samples.add(rig.paintMicroseconds(ahead), floor());
    }
    samples.report(state);
    reportCache(state, rig);
}

/** The steps of a drag: each one's paint beside a frame copy, and how many moved a kept paint. */
struct DragSteps {
    FrameCopy floor;
    Samples samples;
    double moved = 0;

    template <class Paint> void add(PaintRig& rig, const Paint& paint)
    {
        samples.add(rig.cost.measure([&] {
            const ScrollReuse::Kind kind = paint();
            moved += kind == ScrollReuse::Kind::Moved || kind == ScrollReuse::Kind::Kept;
            benchmark::DoNotOptimize(rig.buffer.constBits());
        }),
                    floor());
    }
    void report(benchmark::State& state, PaintRig& rig) const
    {
        const double count = double(samples.figure.size());
        samples.report(state);
        reportCache(state, rig);
        state.counters["moved"] = count > 0 ? moved / count : 0;
    }
};

void BM_StatusEdit(benchmark::State& state)
{
    ScaledWorld& w = scaledWorld(Counts[state.range(0)]);
    PaintRig rig(w);
    const Viewport v = middleView(int(state.range(1)));
    World& world = *w.world;
    const LocationList& locs = world.locations();
    const QPoint centre(Panel.width() / 2, Panel.height() / 2);
    int place = -1;
    int nearest = INT_MAX;
    for (int i = 0; i < int(locs.size()); ++i) {
        if (!v.LevelVisible(locs[size_t(i)].Level))
            continue;
        const int d = (v.mapToPanel(locs[size_t(i)].X, locs[size_t(i)].Y) - centre).manhattanLength();
        if (d < nearest) {
            nearest = d;
            place = i;
        }
    }
    if (place < 0) {
        state.SkipWithError("no place shows at this level");
        return;
    }
    const std::int32_t original = locs[size_t(place)].Status;
    ScrollReuse reuse;
    QImage buffer;
    fitBackBuffer(buffer, Panel, 1);
    std::uint64_t revision = 1;
    reuse.paint(*rig.painter, buffer, rig.scene(v), revision, false); // caches made once
    rig.cost = {};
    FrameCopy floor;
    Samples samples;
    std::vector<double> whole;
    SharedCost wholeCost;
    bool regional = true;
    for (auto _ : state) {
        const MapScene s = rig.scene(v);
        whole.push_back(wholeCost.measure([&] { reuse.paint(*rig.painter, buffer, s, revision, false); }));
        world.setLocationStatus(place, locs[size_t(place)].Status == Visited ? Active : Visited);
        const std::uint64_t from = revision++;
        ScrollReuse::Kind kind{};
        const double edit = rig.cost.measure([&] {
            const std::optional<QRect> area = rig.painter->statusReach(s, place);
            kind = reuse.paint(*rig.painter, buffer, s, revision, true,
                               area ? std::optional(ScrollReuse::BoundedChange{from, *area}) : std::nullopt);
            benchmark::DoNotOptimize(buffer.constBits());
        });
        regional = regional && kind == ScrollReuse::Kind::Region;
        samples.add(edit, floor());
    }
    world.setLocationStatus(place, original);
    if (!regional)
        state.SkipWithError("a status edit was painted whole");
    samples.report(state);
    rig.cost.report(state);
    state.counters["whole_us"] = median(whole);
    state.counters["whole_wall_us"] = median(wholeCost.wall);
}

void BM_DragStep(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    Viewport v = middleView(int(state.range(1)));
    ScrollReuse reuse;
    const std::uint64_t revision = 1; // the world stays as it is through the drag
    const auto paint = [&] { return reuse.paint(*rig.painter, rig.buffer, rig.scene(v), revision); };
    paint(); // the view the drag starts from, as the window last painted it
    DragSteps steps;
    bool forth = true;
    for (auto _ : state) {
        v.scrollBy(forth ? QPoint(7, 5) : QPoint(-7, -5));
        forth = !forth;
        steps.add(rig, paint);
    }
    steps.report(state, rig);
}

/**
 * A drag on in one direction: steps of (+7, +5), started again from the middle where the
 * scroll reaches its end. Where the picture moves with the scroll only every few pixels,
 * each step moves a kept paint of a few steps back and paints more of the panel.
 */
void BM_DragOnward(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const Viewport start = middleView(int(state.range(1)));
    Viewport v = start;
    ScrollReuse reuse;
    const auto paint = [&] { return reuse.paint(*rig.painter, rig.buffer, rig.scene(v), 1); };
    paint();
    DragSteps steps;
    for (auto _ : state) {
        state.PauseTiming();
        if (v.scroll() + QPoint(7, 5)
            != QPoint(std::min(v.scrollX() + 7, v.scrollMaximum().x()),
                      std::min(v.scrollY() + 5, v.scrollMaximum().y()))) {
            v = start;
            paint();
        }
        state.ResumeTiming();
        v.scrollBy(QPoint(7, 5));
        steps.add(rig, paint);
    }
    steps.report(state, rig);
}

void BM_ZoomStep(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const int level = int(state.range(1));
    const Viewport below = middleView(level - 1), here = middleView(level);
    rig.paintMicroseconds(here);
    rig.cost = {};
    FrameCopy floor;
    Samples samples;
    for (auto _ : state) {
        rig.paintMicroseconds(below); // where the step starts, not timed
        rig.cost.wall.pop_back();
        rig.cost.cpu.pop_back();
        samples.add(rig.paintMicroseconds(here), floor());
    }
    samples.report(state);
    reportCache(state, rig);
}

void BM_ZoomAhead(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const int level = int(state.range(1));
    const Viewport below = middleView(level - 1);
    const Viewport here = steppedView(below, level);
    FrameCopy floor;
    Samples samples;
    std::vector<double> whole, wholeWall, sliceWall, sliceMax, aheadWall, aheadCpu, slices;
    SharedCost wholeCost;
    const MapScene ahead = rig.scene(here);
    for (auto _ : state) {
        // The step without a frame: the view below painted, then the view above whole.
        ScrollReuse reuse;
        reuse.paint(*rig.painter, rig.buffer, rig.scene(below), 1, false);
        whole.push_back(wholeCost.measure([&] { reuse.paint(*rig.painter, rig.buffer, rig.scene(here), 1); }));
        wholeWall.push_back(wholeCost.wall.back());
        // The same step with the frame painted ahead, slice by slice as the idle time goes.
        reuse.paint(*rig.painter, rig.buffer, rig.scene(below), 1, false);
        FramesAhead frames;
        const FramesAhead::Key key = FramesAhead::Key::of(ahead, 1, 1);
        SharedCost sliceCost;
        bool done = false;
        while (!done)
            sliceCost.measure([&] {
                done = frames.paintSome(*rig.painter, ahead, key,
                                        std::chrono::steady_clock::now() + std::chrono::milliseconds(6));
            });
        double wall = 0, cpu = 0;
        for (std::size_t i = 0; i < sliceCost.wall.size(); ++i) {
            wall += sliceCost.wall[i];
            cpu += sliceCost.cpu[i];
        }
        sliceWall.push_back(median(sliceCost.wall));
        sliceMax.push_back(*std::max_element(sliceCost.wall.begin(), sliceCost.wall.end()));
        aheadWall.push_back(wall);
        aheadCpu.push_back(cpu);
        slices.push_back(double(sliceCost.wall.size()));
        const MapScene now = rig.scene(here);
        const double swap = microsecondsOf([&] {
            if (!frames.take(key, rig.buffer, std::nullopt))
                state.SkipWithError("no frame ready");
            rig.painter->tookAhead(now, 1);
            reuse.adopt(rig.buffer, now, 1);
            benchmark::DoNotOptimize(rig.buffer.constBits());
        });
        samples.add(swap, floor());
    }
    samples.report(state);
    state.counters["whole_us"] = median(whole);
    state.counters["whole_wall_us"] = median(wholeWall);
    state.counters["slice_wall_us"] = median(sliceWall);
    state.counters["slice_max_us"] = median(sliceMax);
    state.counters["ahead_wall_us"] = median(aheadWall);
    state.counters["ahead_cpu_us"] = median(aheadCpu);
    state.counters["slices"] = median(slices);
}

/**
 * A zoom step of a huge world before any frame was painted ahead, shown in steps as the
 * window shows it: the figure is what shows at once (the view's picture alone, beside a
 * frame copy); the counters give the idle slices that paint the rest a band at a time
 * (their median and longest wall time, how many, and the wall time till the view is
 * whole) and, for comparison, the same step painted whole.
 */
void BM_ShowInSteps(benchmark::State& state)
{
    PaintRig rig(scaledWorld(Counts[state.range(0)]));
    const int level = int(state.range(1));
    const Viewport below = middleView(level - 1);
    const Viewport here = steppedView(below, level);
    FrameCopy floor;
    Samples samples;
    std::vector<double> whole, sliceWall, sliceMax, shownWall, slices;
    SharedCost wholeCost;
    for (auto _ : state) {
        rig.paintMicroseconds(below);
        const MapScene now = rig.scene(here);
        samples.add(microsecondsOf([&] {
                        rig.painter->paintPicture(rig.buffer, now, rig.buffer.rect());
                        rig.painter->tookAhead(now, 1);
                        benchmark::DoNotOptimize(rig.buffer.constBits());
                    }),
                    floor());
        FramesAhead frames;
        const FramesAhead::Key key = FramesAhead::Key::of(now, 1, 1);
        SharedCost sliceCost;
        bool done = false;
        int shown = 0;
        while (!done)
            sliceCost.measure([&] {
                done = frames.paintSome(*rig.painter, now, key,
                                        std::chrono::steady_clock::now() + std::chrono::milliseconds(6));
                shown = frames.copyPainted(key, rig.buffer, shown);
            });
        sliceWall.push_back(median(sliceCost.wall));
        sliceMax.push_back(*std::max_element(sliceCost.wall.begin(), sliceCost.wall.end()));
        shownWall.push_back(std::accumulate(sliceCost.wall.begin(), sliceCost.wall.end(), 0.0));
        slices.push_back(double(sliceCost.wall.size()));
        rig.paintMicroseconds(below);
        whole.push_back(wholeCost.measure([&] { rig.painter->paint(rig.buffer, now); }));
    }
    samples.report(state);
    state.counters["slice_wall_us"] = median(sliceWall);
    state.counters["slice_max_us"] = median(sliceMax);
    state.counters["slices"] = median(slices);
    state.counters["whole_shown_wall_us"] = median(shownWall);
    state.counters["whole_paint_wall_us"] = median(wholeCost.wall);
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
    const LocationList& locs = w.locations();
    const size_t n = std::min<size_t>(64, locs.size());
    Samples samples;
    for (auto _ : state) {
        const double figure = microsecondsOf([&] {
            const SpatialIndex* index = fullScan() ? nullptr : &w.index();
            benchmark::DoNotOptimize(locationAt(v, locs, filter, spot, index));
            benchmark::DoNotOptimize(markerAt(v, w.markers(), spot, index));
        });
        const double floor = microsecondsOf([&] {
            for (size_t i = 0; i < n; ++i)
                benchmark::DoNotOptimize(v.mapToPanel(locs[i].X, locs[i].Y));
        });
        samples.add(figure, floor);
    }
    samples.report(state);
}

/** The truncation every conversion made before: the compiler's own, switching the rounding mode twice. */
int plainTrunc(long double v)
{
    return v >= 2147483647.0L ? 2147483647 : v <= -2147483648.0L ? -2147483647 - 1 : static_cast<int>(v);
}

/** MapToScreen as it was written before, for the plain_ns column. */
QPoint plainMapToScreen(const Viewport& v, int x, int y)
{
    const long double f = v.factor();
    const long double s = v.mapScale();
    const long double ix = plainTrunc(static_cast<long double>(x) + 125000);
    const long double iy = plainTrunc(static_cast<long double>(y) + 130000);
    return {plainTrunc(ix * Viewport::kx(v.mapScale()) * f / s),
            plainTrunc(380 * f - iy * Viewport::ky(v.mapScale()) * f / s)};
}

void BM_Convert(benchmark::State& state)
{
    const World& w = *scaledWorld(Counts[state.range(0)]).world;
    const Viewport v = middleView(int(state.range(1)));
    const LocationList& locs = w.locations();
    const size_t batch = std::min<size_t>(1000, locs.size());
    size_t from = 0;
    Samples samples;
    std::vector<double> plain;
    const long double f = v.factor();
    for (auto _ : state) {
        const size_t to = from + batch;
        const double figure = microsecondsOf([&] {
            for (size_t i = from; i < to; ++i)
                benchmark::DoNotOptimize(v.MapToScreen(locs[i].X, locs[i].Y));
        });
        // The floor: the same points through the same long double arithmetic, untruncated.
        const double floor = microsecondsOf([&] {
            long double sum = 0;
            for (size_t i = from; i < to; ++i)
                sum += (static_cast<long double>(locs[i].X) + 125000) * f
                       + (static_cast<long double>(locs[i].Y) + 130000) * f;
            benchmark::DoNotOptimize(sum);
        });
        plain.push_back(microsecondsOf([&] {
                            for (size_t i = from; i < to; ++i)
                                benchmark::DoNotOptimize(plainMapToScreen(v, locs[i].X, locs[i].Y));
                        })
                        * 1000 / double(batch));
        samples.add(figure * 1000 / double(batch), floor * 1000 / double(batch)); // nanoseconds per point
        from = to + batch <= locs.size() ? to : 0;
    }
    samples.report(state, "ns");
    state.counters["plain_ns"] = median(plain);
}

/** Building the index as a load does (locations with their routes, then markers); its size. */
void BM_IndexBuild(benchmark::State& state)
{
    const World& w = *scaledWorld(Counts[state.range(0)]).world;
    std::vector<double> times;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        times.push_back(microsecondsOf([&] {
            const SpatialIndex index(w.locations(), w.markers());
            bytes = index.bytes();
        }));
    }
    state.counters["each_us"] = median(times);
    state.counters["indexMB"] = double(bytes) / (1024.0 * 1024.0);
}

void placesLevels(benchmark::internal::Benchmark* b, int firstLevel)
{
    b->ArgNames({"places", "level"});
    for (int places = 0; places < CountsSize; ++places)
        for (int level = firstLevel; level < Viewport::LevelCount; ++level)
            b->Args({places, level});
    b->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_Paint)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_PaintHidden)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_FirstVisit)->Apply([](auto* b) { placesLevels(b, 0); }) -> Iterations(5);
BENCHMARK(BM_FirstVisitNoCaptions)->Apply([](auto* b) { placesLevels(b, 0); }) -> Iterations(5);
BENCHMARK(BM_FirstVisitStep)->Apply([](auto* b) { placesLevels(b, 1); }) -> Iterations(5);
BENCHMARK(BM_FirstVisitAhead)->Apply([](auto* b) { placesLevels(b, 1); }) -> Iterations(5);
BENCHMARK(BM_ZoomStep)->Apply([](auto* b) { placesLevels(b, 1); });
BENCHMARK(BM_ZoomAhead)->Apply([](auto* b) { placesLevels(b, 1); }) -> Iterations(5);
BENCHMARK(BM_ShowInSteps)->Apply([](auto* b) { placesLevels(b, 1); }) -> Iterations(5);
BENCHMARK(BM_DragStep)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_DragOnward)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_StatusEdit)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_HoverEmpty)->Apply([](auto* b) { placesLevels(b, 0); });
BENCHMARK(BM_Convert)->Apply([](auto* b) { placesLevels(b, 0); }) -> Unit(benchmark::kNanosecond);
BENCHMARK(BM_IndexBuild)->ArgName("places")->DenseRange(0, CountsSize - 1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts need a GUI application, not a screen
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
