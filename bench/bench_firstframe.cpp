// SPDX-License-Identifier: MIT
// From exec to the first frame, as a user meets it: the whole program started as a process
// on a private X server (Xvfb, 1920 x 1080), timed until the screen shows the map it goes on
// showing, beside the floor: a bare Qt program that decodes the same picture and shows it
// in a window of the same size and place (vdm-bareviewer). Worlds of 640, 20 000, 100 000
// and 1 000 000 places with the user's own files; every sample of the program is taken
// right after a sample of the floor, and both are reported as medians in milliseconds.
//
// "The map it goes on showing" is read from the screen: a first start is left running until
// a square in the middle of its window has not changed for two seconds; the timed starts
// end when that square first shows those pixels again (looked at every 2 ms, so the looking
// leaves both cores to the program). So a frame without the map (an
// empty panel, the map still being read) does not count, and nothing in the program is
// told it is being measured. Each start gets empty settings folders and is killed after
// its frame, so no start sees what another one left. Beside the times, the peak resident
// memory of both programs' first starts, from exec until their screens were still.
// VDM_BENCH_WORLDS names a folder that keeps the generated worlds between runs.
#include "benchsupport.h"
#include "worldgen/worldgen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

using namespace vdm;

constexpr int kProbeSide = 192;
constexpr int kStarts = 5;
constexpr unsigned long kProbePauseUs = 2000;

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> reply(T* r)
{
    return Reply<T>(r, &std::free);
}

/** A private Xvfb and a connection to it, for the whole run. */
class Screen {
public:
    Screen()
    {
        // With -displayfd 1 the server picks a free display and says its number on stdout.
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        if (!m_server.waitForReadyRead(60000)) {
            std::fprintf(stderr, "Xvfb did not start\n");
            std::exit(1);
        }
        m_display = QStringLiteral(":") + QString::fromLatin1(m_server.readLine().trimmed());
        m_connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_connection)) {
            std::fprintf(stderr, "cannot reach %s\n", qPrintable(m_display));
            std::exit(1);
        }
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        // The pointer rests in a corner, away from every place whose hint it could open.
        xcb_warp_pointer(m_connection, XCB_NONE, m_root, 0, 0, 0, 0, 1919, 1079);
        xcb_flush(m_connection);
    }
    ~Screen()
    {
        xcb_disconnect(m_connection);
        m_server.kill();
        m_server.waitForFinished();
    }

    const QString& display() const { return m_display; }

    /** The largest viewable top-level window (this server runs nothing else); empty for none. */
    QRect largestWindow() const
    {
        QRect best;
        auto tree = reply(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
        if (!tree)
            return best;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            auto a = reply(xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr));
            auto g = reply(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, children[i]), nullptr));
            if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            const QRect r(g->x, g->y, g->width, g->height);
            if (r.width() * r.height() > best.width() * best.height())
                best = r;
        }
        return best;
    }

    /** What the screen shows in `rect`. */
    QImage grab(QRect rect) const
    {
        auto img = reply(
            xcb_get_image_reply(m_connection,
                                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(rect.x()),
                                              int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height()), ~0u),
                                nullptr));
        if (!img || xcb_get_image_data_length(img.get()) < rect.width() * rect.height() * 4)
            return {};
        return QImage(xcb_get_image_data(img.get()), rect.width(), rect.height(), rect.width() * 4,
                      QImage::Format_RGB32)
            .copy();
    }

private:
    QProcess m_server;
    QString m_display;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
};

std::unique_ptr<Screen>& screenSlot()
{
    static std::unique_ptr<Screen> s;
    return s;
}

Screen& screen()
{
    if (!screenSlot())
        screenSlot() = std::make_unique<Screen>();
    return *screenSlot();
}

/** A program and its arguments, started with settings folders of its own. */
struct Start {
    QString program;
    QStringList arguments;

    void launch(QProcess& p, const QTemporaryDir& home) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("DISPLAY"), screen().display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        const QString runtime = home.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(program, arguments);
    }
};

void stop(QProcess& p)
{
    p.kill();
    p.waitForFinished(30000);
}

/** The screen a start settles on: its window and the middle square of it. */
struct Settled {
    QRect window;
    QRect probe;
    QImage pixels;
    double peakMiB = -1; // the process's peak resident memory until then (-1: not known)
};

/** The peak resident memory of process `pid` so far (VmHWM), in MiB; -1 where the system does not tell. */
double peakResidentMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

Settled settle(const Start& start)
{
    QTemporaryDir home;
    QProcess p;
    start.launch(p, home);
    Settled s;
    QElapsedTimer total, still;
    total.start();
    while (total.elapsed() < 120000 && p.state() != QProcess::NotRunning) {
        QThread::msleep(20);
        const QRect window = screen().largestWindow();
        if (window.isEmpty())
            continue;
        const QRect probe(window.center() - QPoint(kProbeSide / 2, kProbeSide / 2), QSize(kProbeSide, kProbeSide));
        const QImage pixels = screen().grab(probe);
        if (window != s.window || pixels != s.pixels) {
            s = {window, probe, pixels};
            still.start();
        } else if (still.elapsed() >= 2000) {
            s.peakMiB = peakResidentMiB(p.processId());
            stop(p);
            return s;
        }
    }
    std::fprintf(stderr, "%s never settled\n", qPrintable(start.program));
    std::exit(1);
}

/** Milliseconds from exec until the probe shows the settled pixels. */
double timeToFrame(const Start& start, const Settled& settled)
{
    QTemporaryDir home;
    QProcess p;
    QElapsedTimer t;
    t.start();
    start.launch(p, home);
    while (t.elapsed() < 120000 && p.state() != QProcess::NotRunning) {
        if (screen().grab(settled.probe) == settled.pixels) {
            const double ms = double(t.nsecsElapsed()) / 1e6;
            stop(p);
            return ms;
        }
        // Grabbing without a pause keeps a core busy (this loop and the server answering
        // it): on a machine of two cores the program under test would start on one. The
        // pause costs the figure at most its own length.
        QThread::usleep(kProbePauseUs);
    }
    std::fprintf(stderr, "%s did not show its frame again\n", qPrintable(start.program));
    std::exit(1);
}

QString worldsFolder()
{
    static QTemporaryDir temporary;
    const QString kept = qEnvironmentVariable("VDM_BENCH_WORLDS");
    return kept.isEmpty() ? temporary.path() : kept;
}

/** A world of `count` places with both pictures and the user's own files. */
QString worldOf(int count)
{
    const QString dir = QDir(worldsFolder()).filePath(QStringLiteral("firstframe-%1").arg(count));
    if (!QFileInfo::exists(QDir(dir).filePath(QStringLiteral("user.gdb")))) {
        worldgen::Options o;
        o.locations = count;
        o.readmes = false;
        o.userData = true;
        worldgen::generate(dir, o);
    }
    return dir;
}

void BM_ExecToFirstFrame(benchmark::State& state)
{
    const QString world = worldOf(int(state.range(0)));
    const Start program{QStringLiteral(VDM_PROGRAM), {world}};
    const Settled programFrame = settle(program);
    const QRect w = programFrame.window;
    // The floor's window takes the program's size and place, so both fill the same pixels.
    const Start bare{QStringLiteral(VDM_BAREVIEWER),
                     {QDir(world).filePath(QStringLiteral("bigmap_hi.jpg")), QStringLiteral("-geometry"),
                      QStringLiteral("%1x%2+%3+%4").arg(w.width()).arg(w.height()).arg(w.x()).arg(w.y())}};
    const Settled bareFrame = settle(bare);
    bench::Samples samples;
    for (auto _ : state) {
        for (int i = 0; i < kStarts; ++i) {
            const double floor = timeToFrame(bare, bareFrame);
            samples.add(timeToFrame(program, programFrame), floor);
        }
        state.SetIterationTime(bench::median(samples.figure) / 1000);
    }
    samples.report(state, "ms");
    // From exec until the screen has been still for two seconds (the first start's).
    state.counters["peakMiB"] = programFrame.peakMiB;
    state.counters["floorPeakMiB"] = bareFrame.peakMiB;
}
BENCHMARK(BM_ExecToFirstFrame)
    ->Arg(640)
    ->Arg(20000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
        std::fprintf(stderr, "Xvfb is not installed: run scripts/install-deps\n");
        return 1;
    }
    // The server goes before the application object its process belongs to.
    return bench::runBenchmarks(argc, argv, [] { screenSlot().reset(); });
}
