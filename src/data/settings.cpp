// SPDX-License-Identifier: MIT
#include "data/settings.h"

#include "data/inifile.h"

#include <algorithm>
#include <climits>

namespace vdm {
namespace {

const QString Map = QStringLiteral("Map");
const QString Hints = QStringLiteral("Hints");
const QString General = QStringLiteral("General");
const QString Window = QStringLiteral("Window");
const QString Toolbars = QStringLiteral("Toolbars");

/** The zoom table has eight levels, indices 0 to 7. */
constexpr int HighestZoomIndex = 7;

/** The band layout was stored as 16-bit positions; higher bits are noise. */
int low16(int v)
{
    return v & 0xFFFF;
}

/** 100 minus v without overflow: a hostile stored value must not wrap around. */
int hundredMinus(int v)
{
    return int(std::clamp<qint64>(100 - qint64(v), INT_MIN, INT_MAX));
}

} // namespace

void readSettings(const IniFile& ini, Settings& s)
{
    const Settings d;
    s.ShowText = ini.ReadBool(Map, QStringLiteral("ShowText"), d.ShowText);
    s.ShowHint = ini.ReadBool(Hints, QStringLiteral("ShowHint"), d.ShowHint);
    s.ShowSkarnels = ini.ReadBool(Map, QStringLiteral("Skarnels"), d.ShowSkarnels);
    s.ShowShips = ini.ReadBool(Map, QStringLiteral("Ships"), d.ShowShips);
    s.ShowMagesGuild = ini.ReadBool(Map, QStringLiteral("MagesGuild"), d.ShowMagesGuild);
    s.ShowActive = ini.ReadBool(Map, QStringLiteral("ShowActive"), d.ShowActive);
    s.ShowVisited = ini.ReadBool(Map, QStringLiteral("ShowVisited"), d.ShowVisited);
    s.ShowUnvisited = ini.ReadBool(Map, QStringLiteral("ShowUnvisited"), d.ShowUnvisited);

    s.MapFontName = ini.ReadString(Map, QStringLiteral("FontName"), d.MapFontName);
    s.HintFontName = ini.ReadString(Hints, QStringLiteral("FontName"), d.HintFontName);
    s.MapFontSize = ini.ReadInteger(Map, QStringLiteral("FontSize"), d.MapFontSize);
    s.HintFontSize = ini.ReadInteger(Hints, QStringLiteral("FontSize"), d.HintFontSize);

    s.ColorVisited = ini.ReadInteger(Map, QStringLiteral("ColorVisited"), d.ColorVisited);
    s.ColorActive = ini.ReadInteger(Map, QStringLiteral("ColorActive"), d.ColorActive);
    s.ColorUnvisited = ini.ReadInteger(Map, QStringLiteral("ColorUnvisited"), d.ColorUnvisited);
    s.ColorMarker = ini.ReadInteger(Map, QStringLiteral("ColorMarker"), d.ColorMarker);
    s.ColorSkarnels = ini.ReadInteger(Map, QStringLiteral("ColorSkarnels"), d.ColorSkarnels);
    s.ColorShips = ini.ReadInteger(Map, QStringLiteral("ColorShips"), d.ColorShips);
    s.ColorMagesGuild = ini.ReadInteger(Map, QStringLiteral("ColorMagesGuild"), d.ColorMagesGuild);

    s.TextLength = ini.ReadInteger(Map, QStringLiteral("TextLength"), d.TextLength);
    s.MarkerLength = ini.ReadInteger(Map, QStringLiteral("MarkerLength"), d.MarkerLength);
    // The file keeps the translucency, the member the opacity.
    s.HintOpacity = hundredMinus(ini.ReadInteger(Hints, QStringLiteral("Transparency"), hundredMinus(d.HintOpacity)));
    s.ConstantHints = ini.ReadBool(Hints, QStringLiteral("Constant"), d.ConstantHints);
    s.HintDelay = ini.ReadInteger(Hints, QStringLiteral("Delay"), d.HintDelay);

    s.RestoreWindow = ini.ReadBool(General, QStringLiteral("RestoreWindow"), d.RestoreWindow);
    s.KeepZoom = ini.ReadBool(General, QStringLiteral("KeepZoom"), d.KeepZoom);
    s.Autosave = ini.ReadBool(General, QStringLiteral("Autosave"), d.Autosave);
    s.MapAA = ini.ReadBool(General, QStringLiteral("MapAA"), d.MapAA);
    s.ZoomLevelAA = ini.ReadInteger(General, QStringLiteral("ZoomLevelAA"), d.ZoomLevelAA);
}

StoredView readStoredView(const IniFile& ini, const Settings& s)
{
    StoredView v;
    const int state = ini.ReadInteger(General, QStringLiteral("State"), 0);
    v.State = state >= 0 && state <= 2 ? state : 0;
    if (!s.RestoreWindow)
        return v;
    // The restore steps the zoom up one level at a time; it must stop at the table's end.
    v.Zoom = qBound(0, ini.ReadInteger(Window, QStringLiteral("Zoom"), v.Zoom), HighestZoomIndex);
    v.CenterX = ini.ReadInteger(Window, QStringLiteral("CenterX"), v.CenterX);
    v.CenterY = ini.ReadInteger(Window, QStringLiteral("CenterY"), v.CenterY);
    if (v.State == 2)
        return v;
    v.Width = ini.ReadInteger(Window, QStringLiteral("Width"), v.Width);
    v.Height = ini.ReadInteger(Window, QStringLiteral("Height"), v.Height);
    v.Left = ini.ReadInteger(Window, QStringLiteral("Left"), v.Left);
    v.Top = ini.ReadInteger(Window, QStringLiteral("Top"), v.Top);
    v.geometryRead = true;
    return v;
}

BandPositions readBandPositions(const IniFile& ini)
{
    BandPositions b;
    b.MapLeft = low16(ini.ReadInteger(Toolbars, QStringLiteral("MapLeft"), b.MapLeft));
    b.MapTop = low16(ini.ReadInteger(Toolbars, QStringLiteral("MapTop"), b.MapTop));
    b.LocationLeft = low16(ini.ReadInteger(Toolbars, QStringLiteral("LocationLeft"), b.LocationLeft));
    b.LocationTop = low16(ini.ReadInteger(Toolbars, QStringLiteral("LocationTop"), b.LocationTop));
    b.MarkerLeft = low16(ini.ReadInteger(Toolbars, QStringLiteral("MarkerLeft"), b.MarkerLeft));
    b.MarkerTop = low16(ini.ReadInteger(Toolbars, QStringLiteral("MarkerTop"), b.MarkerTop));
    b.OptionsLeft = low16(ini.ReadInteger(Toolbars, QStringLiteral("OptionsLeft"), b.OptionsLeft));
    b.OptionsTop = low16(ini.ReadInteger(Toolbars, QStringLiteral("OptionsTop"), b.OptionsTop));
    return b;
}

void writeSettings(IniFile& ini, const Settings& s, const WindowSnapshot& w)
{
    ini.WriteBool(Map, QStringLiteral("ShowText"), s.ShowText);
    ini.WriteBool(Hints, QStringLiteral("ShowHint"), s.ShowHint);
    ini.WriteBool(Map, QStringLiteral("Skarnels"), s.ShowSkarnels);
    ini.WriteBool(Map, QStringLiteral("Ships"), s.ShowShips);
    ini.WriteBool(Map, QStringLiteral("MagesGuild"), s.ShowMagesGuild);
    ini.WriteBool(Map, QStringLiteral("ShowActive"), s.ShowActive);
    ini.WriteBool(Map, QStringLiteral("ShowVisited"), s.ShowVisited);
    ini.WriteBool(Map, QStringLiteral("ShowUnvisited"), s.ShowUnvisited);

    if (s.RestoreWindow) {
        ini.WriteInteger(Window, QStringLiteral("Zoom"), w.Zoom);
        ini.WriteInteger(Window, QStringLiteral("Width"), w.Width);
        ini.WriteInteger(Window, QStringLiteral("Height"), w.Height);
        ini.WriteInteger(Window, QStringLiteral("CenterX"), w.CenterX);
        ini.WriteInteger(Window, QStringLiteral("CenterY"), w.CenterY);
        ini.WriteInteger(Toolbars, QStringLiteral("MapLeft"), w.bands.MapLeft);
        ini.WriteInteger(Toolbars, QStringLiteral("MapTop"), w.bands.MapTop);
        ini.WriteInteger(Toolbars, QStringLiteral("LocationLeft"), w.bands.LocationLeft);
        ini.WriteInteger(Toolbars, QStringLiteral("LocationTop"), w.bands.LocationTop);
        ini.WriteInteger(Toolbars, QStringLiteral("MarkerLeft"), w.bands.MarkerLeft);
        ini.WriteInteger(Toolbars, QStringLiteral("MarkerTop"), w.bands.MarkerTop);
        ini.WriteInteger(Toolbars, QStringLiteral("OptionsLeft"), w.bands.OptionsLeft);
        ini.WriteInteger(Toolbars, QStringLiteral("OptionsTop"), w.bands.OptionsTop);
        ini.WriteInteger(Window, QStringLiteral("Left"), w.Left);
        ini.WriteInteger(Window, QStringLiteral("Top"), w.Top);
    }

    ini.WriteBool(General, QStringLiteral("RestoreWindow"), s.RestoreWindow);
    ini.WriteBool(General, QStringLiteral("KeepZoom"), s.KeepZoom);
    ini.WriteBool(General, QStringLiteral("Autosave"), s.Autosave);
    ini.WriteInteger(General, QStringLiteral("State"), w.State);
    ini.WriteBool(General, QStringLiteral("MapAA"), s.MapAA);
    ini.WriteInteger(General, QStringLiteral("ZoomLevelAA"), s.ZoomLevelAA);

    ini.WriteString(Map, QStringLiteral("FontName"), s.MapFontName);
    ini.WriteString(Hints, QStringLiteral("FontName"), s.HintFontName);
    ini.WriteInteger(Map, QStringLiteral("FontSize"), s.MapFontSize);
    ini.WriteInteger(Hints, QStringLiteral("FontSize"), s.HintFontSize);

    ini.WriteInteger(Map, QStringLiteral("ColorVisited"), s.ColorVisited);
    ini.WriteInteger(Map, QStringLiteral("ColorActive"), s.ColorActive);
    ini.WriteInteger(Map, QStringLiteral("ColorUnvisited"), s.ColorUnvisited);
    ini.WriteInteger(Map, QStringLiteral("ColorMarker"), s.ColorMarker);
    ini.WriteInteger(Map, QStringLiteral("ColorSkarnels"), s.ColorSkarnels);
    ini.WriteInteger(Map, QStringLiteral("ColorShips"), s.ColorShips);
    ini.WriteInteger(Map, QStringLiteral("ColorMagesGuild"), s.ColorMagesGuild);
    ini.WriteInteger(Map, QStringLiteral("TextLength"), s.TextLength);
    ini.WriteInteger(Map, QStringLiteral("MarkerLength"), s.MarkerLength);

    ini.WriteInteger(Hints, QStringLiteral("Transparency"), hundredMinus(s.HintOpacity));

    ini.UpdateFile();
}

} // namespace vdm
