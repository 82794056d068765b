// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdint>

namespace vdm {

class IniFile;

/** Packed colour 0x00BBGGRR (red in the low byte), as stored in the settings file. */
using PackedColor = std::int32_t;

/**
 * The settings members of the main window with their defaults. Every part reads them
 * directly; the options dialog and the tool-bar toggles change them. Names are those of
 * the main window's fields.
 */
struct Settings {
    // Display toggles, in the order of their tool buttons' reads.
    bool ShowText = true;
    bool ShowHint = false;
    bool ShowSkarnels = false;
    bool ShowShips = false;
    bool ShowMagesGuild = false;
    bool ShowActive = true;
    bool ShowVisited = true;
    bool ShowUnvisited = true;

    QString MapFontName = QStringLiteral("MS Sans Serif");
    QString HintFontName = QStringLiteral("Arial");
    int MapFontSize = 8;  // character-cell height in pixels
    int HintFontSize = 8; // points

    PackedColor ColorVisited = 4235519;     // 0x40A0FF
    PackedColor ColorUnvisited = 10220031;  // 0x9BF1FF
    PackedColor ColorActive = 16744703;     // 0xFF80FF
    PackedColor ColorMarker = 4259648;      // 0x40FF40
    PackedColor ColorSkarnels = 65535;      // 0x00FFFF
    PackedColor ColorShips = 16711680;      // 0xFF0000
    PackedColor ColorMagesGuild = 15846846; // 0xF1CDBE

    int TextLength = 0;
    int MarkerLength = 10;
    int ZoomLevelAA = 5;

    bool RestoreWindow = true;
    bool KeepZoom = false;
    bool Autosave = true;
    bool MapAA = true;

    int HintOpacity = 70; // 100 minus the stored "Transparency"
    bool ConstantHints = true;
    int HintDelay = 1000;

    bool operator==(const Settings&) const = default;
};

/** The fixed colour around a picture smaller than the panel. */
constexpr PackedColor BackgroundColor = 0x0042484F;

/**
 * Reads the settings members from the file, in the file's classic order: the eight
 * toggles, fonts, sizes, the seven colours, caption lengths, hint and behaviour
 * settings. Missing or unparsable values give the defaults of `Settings`.
 */
void readSettings(const IniFile& ini, Settings& s);

/**
 * The stored view of "General" and "Window", read once the drawing objects exist.
 * Zoom is an index into the zoom table, CenterX/CenterY are scroll positions in picture
 * pixels, Width/Height/Left/Top the window's outer geometry in screen pixels.
 */
struct StoredView {
    int State = 0; // 0 normal, 1 minimised, 2 maximised; anything else reads as 0
    int Zoom = 0;  // 0..7
    int CenterX = 0;
    int CenterY = 0;
    int Width = 378;
    int Height = 644;
    int Left = 300;
    int Top = 60;
    bool geometryRead = false; // Width/Height/Left/Top came from the file
};

/**
 * Reads "General" "State" always; "Window" "Zoom", "CenterX", "CenterY" and, unless the
 * window was stored maximised, "Width", "Height", "Left", "Top" only when
 * `s.RestoreWindow` is on. The zoom is bounded to the table, a state outside 0..2 is 0.
 */
StoredView readStoredView(const IniFile& ini, const Settings& s);

/** Left and top of each tool bar in the band container's client area, in pixels. */
struct BandPositions {
    int MapLeft = 55, MapTop = 0;
    int LocationLeft = 54, LocationTop = 24;
    int MarkerLeft = 55, MarkerTop = 48;
    int OptionsLeft = 201, OptionsTop = 48;

    bool operator==(const BandPositions&) const = default;
};

/** The eight "Toolbars" keys; only the low 16 bits of each value are kept (65591 is 55). */
BandPositions readBandPositions(const IniFile& ini);

/** What the settings writer takes from the live window. */
struct WindowSnapshot {
    int Zoom = 0;                 // ZoomIndex
    int Width = 378, Height = 644; // outer size
    int CenterX = 0, CenterY = 0;  // scroll bar positions
    BandPositions bands;
    int Left = 300, Top = 60; // outer position
    int State = 0;            // 0 normal, 1 minimised, 2 maximised
};

/**
 * Writes every setting in the classic order ("Window" and "Toolbars" only when
 * `s.RestoreWindow` is on; "Constant" and "Delay" never), then flushes. A write that
 * fails throws "Unable to write to <path>" and the remaining writes are skipped.
 */
void writeSettings(IniFile& ini, const Settings& s, const WindowSnapshot& w);

} // namespace vdm
