// SPDX-License-Identifier: MIT
// Any bytes as "qor.ini": every read yields a value or its default; a full settings write
// over the contents succeeds, and reading them again gives exactly the settings that were
// written. The contents stay in memory (the file layer is swapped out), so each input
// costs the parsing and nothing else.
#include "data/inifile.h"
#include "data/settings.h"
#include "data/errors.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

/** Says which property broke, so a crash report needs no debugger. */
[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_inifile: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vdm::IniFile ini(QStringLiteral("qor.ini"), std::make_unique<vdm::MemoryIniStorage>(
                                                    QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))));
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
        fail("contents that could be read refused the write");
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
