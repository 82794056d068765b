// SPDX-License-Identifier: MIT
// Any bytes as "qor.ini": every read yields a value or its default; a full settings write
// over the file succeeds, and reading it again gives exactly the settings that were
// written. The file lives on tmpfs when there is one, so the syncs of each write are cheap.
#include "data/inifile.h"
#include "data/settings.h"
#include "data/errors.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString scratchPath()
{
    static const QString path = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        QByteArray templ = QFile::encodeName(base + QStringLiteral("/vdm-fuzz-ini.XXXXXX"));
        if (!::mkdtemp(templ.data()))
            std::abort();
        return QFile::decodeName(templ) + QStringLiteral("/qor.ini");
    }();
    return path;
}

/** Says which property broke, so a crash report needs no debugger. */
[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_inifile: %s\n", what);
    std::abort();
}

void writeRaw(const QString& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = scratchPath();
    writeRaw(path, data, size);

    vdm::IniFile ini(path);
    vdm::Settings s;
    vdm::readSettings(ini, s);
    const vdm::StoredView view = vdm::readStoredView(ini, s);
    const vdm::BandPositions bands = vdm::readBandPositions(ini);
    if (view.Zoom < 0 || view.Zoom > 7 || view.State < 0 || view.State > 2)
        fail("stored view out of range");
    if (ini.ReadString(QStringLiteral("Map"), QStringLiteral("FontName"), QString()).size()
        > vdm::IniFile::MaxStringLength)
        fail("string longer than the limit");

    vdm::WindowSnapshot w;
    w.Zoom = view.Zoom;
    w.Width = view.Width;
    w.Height = view.Height;
    w.CenterX = view.CenterX;
    w.CenterY = view.CenterY;
    w.bands = bands;
    w.Left = view.Left;
    w.Top = view.Top;
    w.State = view.State;
    try {
        vdm::writeSettings(ini, s, w);
    } catch (const vdm::Error&) {
        fail("a readable file in a writable directory refused the write");
    }

    vdm::Settings again;
    vdm::readSettings(ini, again);
    if (!(again == s)) {
        std::fprintf(stderr, "fonts '%s' '%s' -> '%s' '%s'\n", qPrintable(s.MapFontName), qPrintable(s.HintFontName),
                     qPrintable(again.MapFontName), qPrintable(again.HintFontName));
        fail("settings read back differ from those written");
    }
    const vdm::StoredView viewAgain = vdm::readStoredView(ini, again);
    if (viewAgain.Zoom != view.Zoom || viewAgain.State != view.State || viewAgain.CenterX != view.CenterX
        || viewAgain.CenterY != view.CenterY)
        fail("stored view read back differs");
    if (!(vdm::readBandPositions(ini) == bands))
        fail("band positions read back differ");
    return 0;
}
