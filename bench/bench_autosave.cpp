// SPDX-License-Identifier: MIT
// One keystroke in the note editor with Autosave on, through the real main window with
// 640, 20 000, 100 000 and 1 000 000 locations: how long the keystroke blocks the window, how
// long until the editor's next frame shows it, and how long until "user.gdb" holds it. Each
// figure is taken beside its floor in the same run, the two alternating, and both are
// printed as medians:
// - the keystroke's and the frame's floor is the same key typed into a bare plain-text
//   editor, shown in a window of its own;
// - the file's floor is one plain write of the same bytes and an fsync.
// The file holds a key once the writer has renamed its file into place; the window takes
// the writer's news after the timing.
// Goals: the keystroke blocks under 5 ms at every size, and the file holds it within 250 ms.
#include "benchsupport.h"
#include "app/mainform.h"
#include "app/noteedit.h"
#include "data/userdb.h"
#include "worldgen/jpegwriter.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace {

using namespace vdm;
using bench::median;

/**
 * The end of a widget's next frame: its next paint event, and the window's whole frame
 * around it, handled. A note posted from the paint arrives once the frame is done.
 */
class NextFrame : public QObject {
public:
    explicit NextFrame(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~NextFrame() override { m_widget->removeEventFilter(this); }

    /** Milliseconds from `start` to the end of the frame; aborts after 10 s without one. */
    double waitFrom(const QElapsedTimer& start)
    {
        m_start = &start;
        while (m_doneMs < 0) {
            if (start.elapsed() > 10000) {
                std::fprintf(stderr, "no frame came within 10 s\n");
                std::abort();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return m_doneMs;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint && !std::exchange(m_painted, true))
            QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return false;
    }
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        m_doneMs = double(m_start->nsecsElapsed()) / 1e6;
        return true;
    }

private:
    QWidget* m_widget;
    const QElapsedTimer* m_start = nullptr;
    bool m_painted = false;
    double m_doneMs = -1;
};

/** A world of `places` locations, a third of them with notes, and the window open on it. */
class Session {
public:
    explicit Session(int count) : places(count), m_oldDir(QDir::currentPath())
    {
        QImage picture(660, 760, QImage::Format_RGB32);
        picture.fill(QColor(60, 110, 70));
        bench::writeBytes(m_world.filePath(QStringLiteral("bigmap.jpg")), worldgen::JpegWriter::encode(picture));

        QByteArray locations;
        LocationList notes(static_cast<std::size_t>(places));
        for (int i = 0; i < places; ++i) {
            const QByteArray name = "Settlement " + QByteArray::number(i);
            locations += "loc\r\n  nm= " + name + "\r\n  rg= North\r\n  ty= town\r\n  lv= " + QByteArray::number(i % 6)
                         + "\r\n  pp= 0\r\n  dd= none\r\n  ps= " + QByteArray::number(i * 13 % 300000 - 125000) + ','
                         + QByteArray::number(i * 17 % 350000 - 130000) + "\r\n";
            notes[size_t(i)].Name = name;
            notes[size_t(i)].Status = 1 + i % 3;
            if (i % 3 == 0)
                notes[size_t(i)].Note = "Remember the ferry toll, and the innkeeper's cousin " + QByteArray::number(i);
        }
        bench::writeBytes(m_world.filePath(QStringLiteral("vdmain.gdb")), locations);
        bench::writeBytes(m_world.filePath(QStringLiteral("user.gdb")), writeUserData(notes));
        QDir::setCurrent(m_world.path());

        form = std::make_unique<TMainForm>(prompts, m_app.path() + QLatin1Char('/'));
        form->show();
        QApplication::processEvents();
        if (form->world().locations().size() != size_t(places) || !form->session().settings().Autosave)
            std::abort();
        // The box opens on the first location shown at 10 %, as a double click opens it.
        for (size_t i = 0; i < form->world().locations().size(); ++i) {
            if (form->hover().locationShown(int(i))) {
                const Location& l = form->world().locations()[i];
                const QPoint p = form->view().mapToPanel(l.X, l.Y);
                form->ImageMapMouseMove(Qt::NoButton, p.x(), p.y());
                break;
            }
        }
        form->PanelMapDblClick();
        if (!form->editor().EditMarkerMode())
            std::abort();
        memo = form->findChild<TNoteEdit*>(QStringLiteral("MemoNotes"));
        if (!memo)
            std::abort();
        memo->moveCursor(QTextCursor::End);
        bare.setPlainText(memo->toPlainText());
        bare.moveCursor(QTextCursor::End);
        bare.show();
        QApplication::processEvents();
    }
    ~Session()
    {
        form.reset();
        QDir::setCurrent(m_oldDir);
    }

    /**
     * One key typed into `editor` (or the editor whose viewport it is); alternating a letter
     * and Backspace keeps the note short.
     */
    static void keystroke(QWidget* editor, bool& typed)
    {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(editor->parentWidget()); area && area->viewport() == editor)
            editor = area;
        typed = !typed;
        QKeyEvent press(QEvent::KeyPress, typed ? Qt::Key_A : Qt::Key_Backspace, Qt::NoModifier,
                        typed ? QStringLiteral("a") : QString());
        QApplication::sendEvent(editor, &press);
    }
    /** Microseconds the window's keystroke took to return. */
    double timedKeystroke()
    {
        QElapsedTimer t;
        t.start();
        keystroke(memo, m_typed);
        return double(t.nsecsElapsed()) / 1000;
    }
    /** The floor: the same key into an editor that nothing listens to. */
    double timedBareKeystroke()
    {
        QElapsedTimer t;
        t.start();
        keystroke(&bare, m_bareTyped);
        return double(t.nsecsElapsed()) / 1000;
    }
    /** Milliseconds from the start of `key` until the editor's next frame has been shown. */
    double timedFrame(QWidget* editor, bool& typed) const
    {
        NextFrame frame(editor);
        QElapsedTimer t;
        t.start();
        keystroke(editor, typed);
        return frame.waitFrom(t);
    }
    double timedFrame() { return timedFrame(memo->viewport(), m_typed); }
    double timedBareFrame() { return timedFrame(bare.viewport(), m_bareTyped); }
    /**
     * Lets the window's loop run until the writer has written everything it was given;
     * returns when the file held it, as `since` counts. The window takes the writer's news
     * after that.
     */
    double waitForTheFile(const QElapsedTimer& since = {}) const
    {
        while (form->world().userDataWritePending())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double held = since.isValid() ? double(since.nsecsElapsed()) / 1e6 : 0;
        QCoreApplication::processEvents(); // the writer's news
        return held;
    }
    QString userData() const { return m_world.filePath(QStringLiteral("user.gdb")); }

    const int places;
    bench::CountingPrompts prompts;
    std::unique_ptr<TMainForm> form;
    TNoteEdit* memo = nullptr;
    QPlainTextEdit bare;

private:
    QTemporaryDir m_world, m_app;
    QString m_oldDir;
    bool m_typed = false;
    bool m_bareTyped = false;
};

// Made on first use and torn down in main(), while the application object still lives.
std::unique_ptr<Session> g_session;

Session& session(const benchmark::State& state)
{
    const int places = int(state.range(0));
    if (!g_session || g_session->places != places) {
        g_session.reset();
        g_session = std::make_unique<Session>(places);
    }
    return *g_session;
}

// Lets the event loop run for `ms`, as the gap between two keys of a typist.
void typistPause(int ms)
{
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Every figure of a run counts only if no write failed on the way.
void requireCleanWrites(benchmark::State& state, const Session& s)
{
    if (s.prompts.errors != 0)
        state.SkipWithError("a write failed");
}

// What the user feels at the key: the handler's time, beside a bare editor's.
void BM_KeystrokeBlocking(benchmark::State& state)
{
    Session& s = session(state);
    bench::Samples samples;
    for (auto _ : state) {
        const double us = s.timedKeystroke();
        state.SetIterationTime(us / 1e6);
        samples.add(us, s.timedBareKeystroke());
        // Typed at a quick typist's pace, so the writer is as busy as it would be.
        typistPause(30);
    }
    s.waitForTheFile();
    requireCleanWrites(state, s);
    samples.report(state, "us");
}

// What the user sees: from the key to the end of the editor's next frame, beside the same
// key into the bare editor, typed at a quick typist's pace while the writer works.
void BM_KeystrokeToFrame(benchmark::State& state)
{
    Session& s = session(state);
    s.waitForTheFile();
    bench::Samples samples;
    for (auto _ : state) {
        const double ms = s.timedFrame();
        state.SetIterationTime(ms / 1e3);
        samples.add(ms, s.timedBareFrame());
        typistPause(30);
    }
    s.waitForTheFile();
    requireCleanWrites(state, s);
    samples.report(state, "ms");
}

// From the key to the file holding it, beside a plain write and fsync of the same bytes.
void BM_KeystrokeToFile(benchmark::State& state)
{
    Session& s = session(state);
    s.waitForTheFile();
    QTemporaryDir dir;
    const QString floorPath = dir.filePath(QStringLiteral("user.gdb"));
    bench::Samples samples;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        s.timedKeystroke();
        const double ms = s.waitForTheFile(t);
        state.SetIterationTime(ms / 1e3);
        state.PauseTiming();
        const QByteArray bytes = bench::readBytes(s.userData());
        QElapsedTimer f;
        f.start();
        if (!bench::plainWriteAndSync(floorPath, bytes))
            state.SkipWithError("plain write failed");
        samples.add(ms, double(f.nsecsElapsed()) / 1e6);
        state.ResumeTiming();
    }
    requireCleanWrites(state, s);
    samples.report(state, "ms");
    state.counters["file_KiB"] = double(QFile(s.userData()).size()) / 1024;
}

// Ten keys 50 ms apart, as a user types a word: how long after the last key the file holds it.
void BM_TenKeysThenFile(benchmark::State& state)
{
    Session& s = session(state);
    s.waitForTheFile();
    std::vector<double> ours, blocked;
    for (auto _ : state) {
        for (int k = 0; k < 10; ++k) {
            if (k > 0)
                typistPause(50);
            blocked.push_back(s.timedKeystroke());
        }
        QElapsedTimer t;
        t.start();
        const double ms = s.waitForTheFile(t);
        state.SetIterationTime(ms / 1e3);
        ours.push_back(ms);
    }
    requireCleanWrites(state, s);
    state.counters["after_last_key_median_ms"] = median(ours);
    state.counters["key_blocking_median_us"] = median(blocked);
}

} // namespace

// Size by size, so each world is made once.
const bool g_registered = [] {
    for (const int places : {640, 20000, 100000, 1000000}) {
        const auto at = [places](benchmark::internal::Benchmark* b) {
            b->ArgName("places")->Arg(places)->Unit(benchmark::kMillisecond)->UseManualTime();
        };
        at(benchmark::RegisterBenchmark("BM_KeystrokeBlocking", BM_KeystrokeBlocking)->Iterations(40));
        at(benchmark::RegisterBenchmark("BM_KeystrokeToFrame", BM_KeystrokeToFrame)->Iterations(40));
        at(benchmark::RegisterBenchmark("BM_KeystrokeToFile", BM_KeystrokeToFile)->Iterations(15));
        at(benchmark::RegisterBenchmark("BM_TenKeysThenFile", BM_TenKeysThenFile)->Iterations(4));
    }
    return true;
}();

int main(int argc, char** argv)
{
    return vdm::bench::runBenchmarks(argc, argv, [] { g_session.reset(); });
}
