// SPDX-License-Identifier: MIT
// The pointer over the real main window with 20 000 locations and 1 000 markers.
//
// Hover: one ImageMapMouseMove over empty map (every location and marker looked at, the
// worst case) and over a location late in the list (the hint is already showing, as on
// every move after the first), at 10 %, 50 % and 300 %. Goal: under 0.2 ms. Reference,
// measured in the same run: a loop doing only MapToScreen over the same coordinates.
//
// Drag: one drag step with a 1920 x 1080 map panel, delivered as a mouse move event, which
// must cost one paint of the panel; beside it the map painter's own paint of the same
// view into a back buffer of that size.
#include "benchsupport.h"
#include "app/mainform.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "map/mappainter.h"
#include "worldgen/jpegwriter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QToolButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

using namespace vdm;

// Components are reached by their object names, as the window's own layout names them.
template <typename T> T* component(const QWidget& form, const char* name)
{
    T* w = form.findChild<T*>(QLatin1String(name));
    if (!w)
        std::abort();
    return w;
}

constexpr int kLocations = 20000;
constexpr int kMarkers = 1000;
const QSize kDragPanel(1920, 1080);

/** Counts errors instead of showing boxes: a benchmark must never block on one. */
/** Counts the paints a widget receives. */
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) : m_widget(w) { w->installEventFilter(this); }
    ~PaintCounter() override { m_widget->removeEventFilter(this); }
    long count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }

private:
    QWidget* m_widget;
};

/**
 * The high-resolution picture, 20 000 locations of every level scattered over the whole
 * map (a third of them with a note), 1 000 markers, and the window open on them.
 */
class Session {
public:
    Session() : m_oldDir(QDir::currentPath())
    {
        QImage picture(3300, 3800, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                line[x] = qRgb(40 + 160 * x / picture.width(), 90 + 100 * y / picture.height(), (x ^ y) & 0x3F);
        }
        bench::writeBytes(m_world.filePath(QStringLiteral("bigmap_hi.jpg")), worldgen::JpegWriter::encode(picture));

        QRandomGenerator rng(20000);
        QByteArray locations;
        LocationList user(kLocations);
        for (int i = 0; i < kLocations; ++i) {
            const QByteArray name = "Settlement " + QByteArray::number(i);
            locations += "loc\r\n  nm= " + name + "\r\n  rg= North\r\n  ty= town\r\n  lv= " + QByteArray::number(i % 6)
                         + "\r\n  pp= 0\r\n  dd= none\r\n  ps= " + QByteArray::number(rng.bounded(-125000, 175000))
                         + ',' + QByteArray::number(rng.bounded(-130000, 220000)) + "\r\n";
            user[size_t(i)].Name = name;
            user[size_t(i)].Status = 1 + i % 3;
            if (i % 3 == 0)
                user[size_t(i)].Note = "Remember the ferry toll, and the innkeeper's cousin " + QByteArray::number(i);
        }
        LocationList markers;
        for (int i = 0; i < kMarkers; ++i) {
            Location m;
            m.Name = "Cache " + QByteArray::number(i);
            m.Level = 1;
            m.X = rng.bounded(-125000, 175000);
            m.Y = rng.bounded(-130000, 220000);
            markers.push_back(m);
        }
        bench::writeBytes(m_world.filePath(QStringLiteral("vdmain.gdb")), locations);
        bench::writeBytes(m_world.filePath(QStringLiteral("user.gdb")), writeUserData(user));
        bench::writeBytes(m_world.filePath(QStringLiteral("markers.gdb")), writeMarkers(markers));
        QDir::setCurrent(m_world.path());

        form = std::make_unique<TMainForm>(prompts, m_app.path() + QLatin1Char('/'));
        form->show();
        QApplication::processEvents();
        if (form->world().locations().size() != size_t(kLocations) || form->world().markers().size() != size_t(kMarkers)
            || form->view().mapScale() != 10)
            std::abort();
        form->ToolButtonShowClick(form->findChild<QToolButton*>(QStringLiteral("ToolButtonHint"))); // hints on
        m_designSize = form->size();
    }
    ~Session()
    {
        form.reset();
        QDir::setCurrent(m_oldDir);
    }

    QWidget* panel() const { return component<QWidget>(*form, "PanelMap"); }

    /** The window at its first size or grown until the map panel is `panelSize`. */
    void setPanelSize(std::optional<QSize> panelSize)
    {
        form->resize(m_designSize);
        QApplication::processEvents();
        if (panelSize) {
            form->resize(form->size() + (*panelSize - panel()->size()));
            QApplication::processEvents();
        }
    }
    void setZoom(int index)
    {
        form->ZoomButtonClick(component<QToolButton>(*form, "ToolButtonZoomActual"));
        for (int i = 0; i < index; ++i)
            form->ZoomButtonClick(component<QToolButton>(*form, "ToolButtonZoomIn"));
        QApplication::processEvents();
    }

    bench::CountingPrompts prompts;
    std::unique_ptr<TMainForm> form;

private:
    QTemporaryDir m_world, m_app;
    QString m_oldDir;
    QSize m_designSize;
};

// Made on first use and torn down in main(), while the application object still lives.
std::unique_ptr<Session> g_session;

Session& session()
{
    if (!g_session)
        g_session = std::make_unique<Session>();
    return *g_session;
}

/** A panel point with no location and no marker in reach, scanning from the centre out. */
std::optional<QPoint> emptyPoint(const TMainForm& f)
{
    const QSize s = component<QWidget>(f, "PanelMap")->size();
    for (int r = 0; r < std::max(s.width(), s.height()); r += 3)
        for (int dy : {-r, r})
            for (int dx = -r; dx <= r; dx += 3) {
                const QPoint p(s.width() / 2 + dx, s.height() / 2 + dy);
                if (QRect(QPoint(0, 0), s).contains(p) && f.hover().locationAt(p) < 0 && f.hover().markerAt(p) < 0)
                    return p;
            }
    return std::nullopt;
}

/** The point of the shown location found last in the list among those on the panel. */
std::optional<QPoint> lateLocationPoint(const TMainForm& f, int* hitIndex)
{
    const QRect panel(QPoint(0, 0), component<QWidget>(f, "PanelMap")->size());
    for (int i = int(f.world().locations().size()) - 1; i >= 0; --i) {
        if (!f.hover().locationShown(i))
            continue;
        const QPoint p = f.view().mapToPanel(f.world().locations()[size_t(i)].X, f.world().locations()[size_t(i)].Y);
        if (panel.contains(p)) {
            *hitIndex = f.hover().locationAt(p); // an earlier one in reach would win
            return p;
        }
    }
    return std::nullopt;
}

int visibleItems(const TMainForm& f)
{
    int n = 0;
    for (int i = 0; i < int(f.world().locations().size()); ++i)
        n += f.hover().locationShown(i) ? 1 : 0;
    for (const Location& m : f.world().markers())
        n += f.view().LevelVisible(m.Level) ? 1 : 0;
    return n;
}

void BM_HoverEmptyMap(benchmark::State& state)
{
    Session& s = session();
    s.setPanelSize(std::nullopt);
    s.setZoom(int(state.range(0)));
    TMainForm& f = *s.form;
    const std::optional<QPoint> p = emptyPoint(f);
    if (!p) {
        state.SkipWithError("no empty map point at this zoom");
        return;
    }
    f.ImageMapMouseMove(Qt::NoButton, p->x(), p->y());
    for (auto _ : state)
        f.ImageMapMouseMove(Qt::NoButton, p->x(), p->y());
    if (f.hover().shown() || s.prompts.errors != 0)
        state.SkipWithError("the point was not empty map");
    state.counters["tested"] = visibleItems(f);
}

void BM_HoverLocation(benchmark::State& state)
{
    Session& s = session();
    s.setPanelSize(std::nullopt);
    s.setZoom(int(state.range(0)));
    TMainForm& f = *s.form;
    int hit = -1;
    const std::optional<QPoint> p = lateLocationPoint(f, &hit);
    if (!p || hit < 0) {
        state.SkipWithError("no location on the panel at this zoom");
        return;
    }
    f.ImageMapMouseMove(Qt::NoButton, p->x(), p->y()); // shows the hint once
    if (!f.hover().shown()) {
        state.SkipWithError("the hint did not show");
        return;
    }
    for (auto _ : state)
        f.ImageMapMouseMove(Qt::NoButton, p->x(), p->y());
    state.counters["hit_index"] = hit;
    if (const std::optional<QPoint> away = emptyPoint(f))
        f.ImageMapMouseMove(Qt::NoButton, away->x(), away->y()); // the hint goes again
}

// Reference: only the conversion, for every location and marker, which is what a hover
// test converting each item would spend before comparing anything.
void BM_MapToScreenLoop(benchmark::State& state)
{
    Session& s = session();
    s.setPanelSize(std::nullopt);
    s.setZoom(int(state.range(0)));
    const TMainForm& f = *s.form;
    for (auto _ : state) {
        int sum = 0;
        for (const Location& l : f.world().locations()) {
            const QPoint q = f.view().MapToScreen(l.X, l.Y);
            sum += q.x() ^ q.y();
        }
        for (const Location& m : f.world().markers()) {
            const QPoint q = f.view().MapToScreen(m.X, m.Y);
            sum += q.x() ^ q.y();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["converted"] = kLocations + kMarkers;
}

void BM_DragStep1080p(benchmark::State& state)
{
    Session& s = session();
    s.setPanelSize(kDragPanel);
    s.setZoom(int(state.range(0)));
    TMainForm& f = *s.form;
    QWidget* panel = s.panel();
    if (panel->size() != kDragPanel) {
        state.SkipWithError("the map panel could not be made 1920 x 1080");
        return;
    }
    const QPoint centre(kDragPanel.width() / 2, kDragPanel.height() / 2);
    const auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(p), QPointF(panel->mapToGlobal(p)), button, held, Qt::NoModifier);
        QApplication::sendEvent(panel, &e);
    };
    send(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    if (!f.hover().dragging()) {
        state.SkipWithError("no drag at this zoom");
        return;
    }
    QScrollBar* h = component<QScrollBar>(f, "ScrollBarH");
    const int h0 = h->value();
    PaintCounter paints(panel);
    bool out = false;
    long moves = 0;
    for (auto _ : state) {
        // Eight pixels out and back: the view stays clear of the bounds.
        out = !out;
        send(QEvent::MouseMove, centre + QPoint(out ? 8 : 0, out ? 5 : 0), Qt::NoButton, Qt::LeftButton);
        ++moves;
    }
    send(QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
    // A step that did not move the view would time a paint of an unchanged picture.
    if (h->maximum() < 8)
        state.SkipWithError("the picture does not fill the panel at this zoom");
    else if (!out && h->value() != h0)
        state.SkipWithError("the drag did not follow the pointer back");
    state.counters["paints_per_move"] = moves ? double(paints.count) / double(moves) : 0.0;
    state.counters["scroll_range_x"] = h->maximum();
}

// Reference: the painter alone, the same view into a 1920 x 1080 back buffer.
void BM_PainterPaint1080p(benchmark::State& state)
{
    Session& s = session();
    s.setPanelSize(kDragPanel);
    s.setZoom(int(state.range(0)));
    TMainForm& f = *s.form;
    if (f.view().panel() != kDragPanel) {
        state.SkipWithError("the map panel could not be made 1920 x 1080");
        return;
    }
    MapPainter painter;
    GoHighlight highlight = f.highlight();
    const MapScene scene{f.view(),
                         f.world().picture(),
                         f.world().locations(),
                         f.world().markers(),
                         f.session().settings(),
                         f.session().objects(),
                         highlight};
    QImage buffer(kDragPanel, QImage::Format_RGB32);
    painter.paint(buffer, scene); // its caches are made once, as on the window's first paint
    for (auto _ : state) {
        painter.paint(buffer, scene);
        benchmark::DoNotOptimize(buffer.constBits());
    }
}

void zoomLevels(benchmark::internal::Benchmark* b)
{
    b->ArgName("zoom");
    for (int z : {0, 4, 7})
        b->Arg(z);
    b->Unit(benchmark::kMicrosecond);
}

void dragLevels(benchmark::internal::Benchmark* b)
{
    b->ArgName("zoom");
    for (int z : {5, 6, 7})
        b->Arg(z);
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_HoverEmptyMap)->Apply(zoomLevels);
BENCHMARK(BM_HoverLocation)->Apply(zoomLevels);
BENCHMARK(BM_MapToScreenLoop)->Apply(zoomLevels);
BENCHMARK(BM_DragStep1080p)->Apply(dragLevels);
BENCHMARK(BM_PainterPaint1080p)->Apply(dragLevels);

int main(int argc, char** argv)
{
    return vdm::bench::runBenchmarks(argc, argv, [] { g_session.reset(); });
}
