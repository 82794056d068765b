// SPDX-License-Identifier: MIT
// One keystroke in the note editor with Autosave on, through the real main window with
// 20 000 and 100 000 locations: the key event, the note stored, "user.gdb" formatted,
// written to a temporary file, synced and renamed over the old one. Timed beside a plain
// write + fsync of the same bytes into one file, measured in the same run. Goal: median
// under 10 ms.
#include "benchsupport.h"
#include "app/mainform.h"
#include "app/noteedit.h"
#include "data/userdb.h"
#include "worldgen/jpegwriter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

using namespace vdm;

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
    }
    ~Session()
    {
        form.reset();
        QDir::setCurrent(m_oldDir);
    }

    /** One key typed into the note editor; alternating a letter and Backspace keeps it short. */
    void keystroke()
    {
        m_typed = !m_typed;
        QKeyEvent press(QEvent::KeyPress, m_typed ? Qt::Key_A : Qt::Key_Backspace, Qt::NoModifier,
                        m_typed ? QStringLiteral("a") : QString());
        QApplication::sendEvent(memo, &press);
    }
    QString userData() const { return m_world.filePath(QStringLiteral("user.gdb")); }
    QString folder() const { return m_world.path(); }

    const int places;
    bench::CountingPrompts prompts;
    std::unique_ptr<TMainForm> form;
    TNoteEdit* memo = nullptr;

private:
    QTemporaryDir m_world, m_app;
    QString m_oldDir;
    bool m_typed = false;
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

void BM_NoteKeystrokeAutosave(benchmark::State& state)
{
    Session& s = session(state);
    QFile::remove(s.userData()); // only the keystrokes' saves can bring it back
    for (auto _ : state)
        s.keystroke();
    if (s.prompts.errors != 0 || !QFile::exists(s.userData()))
        state.SkipWithError("the keystrokes did not save");
    state.counters["file_KiB"] = double(QFile(s.userData()).size()) / 1024;
}

// The save alone, of a world read from the same files as the window's.
void BM_SaveUserData(benchmark::State& state)
{
    Session& s = session(state);
    World world(s.folder());
    world.LoadLocations();
    world.LoadUserData();
    for (auto _ : state)
        world.SaveUserData();
}

void BM_WriteFsyncFloor(benchmark::State& state)
{
    Session& s = session(state);
    const QByteArray bytes = writeUserData(s.form->world().locations());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("user.gdb"));
    for (auto _ : state)
        if (!vdm::bench::plainWriteAndSync(path, bytes))
            state.SkipWithError("plain write failed");
    state.counters["file_KiB"] = double(bytes.size()) / 1024;
}

} // namespace

void sizes(benchmark::internal::Benchmark* b)
{
    b->ArgName("places")->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Repetitions(15);
    b->ReportAggregatesOnly(true);
}
BENCHMARK(BM_NoteKeystrokeAutosave)->Apply(sizes);
BENCHMARK(BM_SaveUserData)->Apply(sizes);
BENCHMARK(BM_WriteFsyncFloor)->Apply(sizes);

int main(int argc, char** argv)
{
    return vdm::bench::runBenchmarks(argc, argv, [] { g_session.reset(); });
}
