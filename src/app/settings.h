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

} // namespace vdm
