// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QString>

#include <optional>
#include <QStringView>

#include <cstdint>
#include <span>
#include <variant>

namespace vdm {

class IniFile;

/** Packed colour 0x00BBGGRR (red in the low byte), as stored in the settings file. */
using PackedColor = std::int32_t;

/**
 * The settings members of the main window. Every part reads them directly; the options
 * dialog and the tool-bar toggles change them. Names are those of the main window's
 * fields. A default-constructed record holds the defaults of the keys table
 * (`settingKeys()`), the same values a missing settings file reads as.
 */
struct Settings {
    Settings();

    // Display toggles, each shown by its tool button.
    bool ShowText;
    bool ShowHint;
    bool ShowSkarnels;
    bool ShowShips;
    bool ShowMagesGuild;
    bool ShowActive;
    bool ShowVisited;
    bool ShowUnvisited;

    QString MapFontName;
    QString HintFontName;
    int MapFontSize;  // character-cell height in pixels
    int HintFontSize; // points

    PackedColor ColorVisited;
    PackedColor ColorUnvisited;
    PackedColor ColorActive;
    PackedColor ColorMarker;
    PackedColor ColorSkarnels;
    PackedColor ColorShips;
    PackedColor ColorMagesGuild;

    int TextLength;
    int MarkerLength;
    int ZoomLevelAA;

    bool RestoreWindow;
    bool KeepZoom;
    bool Autosave;
    bool MapAA;
    /** Ctrl+wheel keeps the map point under the pointer instead of the panel's centre. */
    bool ZoomAtPointer;
    /** A caption that would overlap one drawn before it in the same paint is left out (frames stay). */
    bool HideOverlappingCaptions;
    /** The navigator's overview floats over the map (off until the user turns it on). */
    bool ShowNavigator;

    int HintOpacity; // 100 minus the stored "Transparency"
    bool ConstantHints;
    int HintDelay;

    /** The world folder of the last run that was not started inside its world; empty: none. */
    QString LastWorld;

    /** The folders "Save view as image" and "Export progress" last wrote into; empty: none yet. */
    QString ImageFolder;
    QString ExportFolder;

    bool operator==(const Settings&) const = default;
};

/** The fixed colour around a picture smaller than the panel. */
constexpr PackedColor BackgroundColor = 0x0042484F;

/**
 * The window's place in the settings file, as stored ("Window" and "General" "State").
 * Zoom is an index into the zoom table, CenterX/CenterY are scroll positions in picture
 * pixels, Width/Height/Left/Top the window's outer geometry in screen pixels.
 */
struct WindowGeometry {
    WindowGeometry();

    int Zoom;
    int Width, Height;
    int CenterX, CenterY;
    int Left, Top;
    int State; // 0 normal, 1 minimised, 2 maximised
};

/** Left and top of each tool bar in the band container's client area, in pixels. */
struct BandPositions {
    BandPositions();

    int MapLeft, MapTop;
    int LocationLeft, LocationTop;
    int MarkerLeft, MarkerTop;
    int OptionsLeft, OptionsTop;

    /** The bands in their stored order: Map, Location, Marker, Options. */
    static constexpr int Count = 4;
    /** Where band `index`'s tool bar is (0 <= index < Count). */
    QPoint of(int index) const;
    void set(int index, QPoint at);

    bool operator==(const BandPositions&) const = default;
};

/** How a key's value is kept in the file. */
enum class SettingType {
    Bool,    // an integer: 0 is false, any other true; written as 0 or 1
    Integer, // decimal (hexadecimal after "0x" reads too)
    Colour,  // a packed colour, as an integer
    String,
    Path,       // a folder's name, stored losslessly (see storedPath)
    Complement, // an integer kept as 100 minus the member (the translucency of an opacity)
};

/** When the writer stores a key. */
enum class Written {
    Always,
    WithWindow, // only while RestoreWindow is on; otherwise the last stored values stay
    Never,      // only read: a hand-edited value keeps its place through every write
    /** Once it differs from its default or the file holds it: a file whose owner never
     *  touched the option stays as it was, byte for byte. */
    WhenChanged,
};

/** The member a key fills. */
using SettingMember
    = std::variant<bool Settings::*, int Settings::*, QString Settings::*, int WindowGeometry::*, int BandPositions::*>;

/**
 * One key of the settings file. The keys table names every key once; its order is the
 * order the writer stores them in, so a file created from nothing has its sections and
 * keys in that order. A key missing from the file, or one that does not parse, reads as
 * its default.
 */
struct SettingKey {
    QStringView section;
    QStringView key;
    SettingType type;
    SettingMember member;
    int number;       // the default of every type but String (a switch as 0 or 1)
    QStringView text; // the default of a String
    Written written;
    QStringView editor; // object name of the options dialog's control for it; empty: none
};

/** Every key of the settings file, in the writer's order. */
std::span<const SettingKey> settingKeys();

/**
 * Reads every settings member from the file. Missing or unparsable values give the
 * defaults; no range is checked.
 */
void readSettings(const IniFile& ini, Settings& s);

/** The stored view of "General" and "Window", read once the drawing objects exist. */
struct StoredView : WindowGeometry {
    bool geometryRead = false; // Width/Height/Left/Top came from the file
};

/**
 * Reads "General" "State" always; "Window" "Zoom", "CenterX", "CenterY" and, unless the
 * window was stored maximised, "Width", "Height", "Left", "Top" only when
 * `s.RestoreWindow` is on. The zoom is bounded to the table, a state outside 0..2 is 0.
 */
StoredView readStoredView(const IniFile& ini, const Settings& s);

/** The eight "Toolbars" keys; only the low 16 bits of each value are kept (65591 is 55). */
BandPositions readBandPositions(const IniFile& ini);

/** "General" "State" as the window applies it: a state outside 0..2 is 0. */
int readWindowState(const IniFile& ini);

/** What the settings writer takes from the live window. */
struct WindowSnapshot : WindowGeometry {
    BandPositions bands;
};

/**
 * Puts the file's own "General" "State" and "Toolbars" values, unchanged (no bound, every
 * bit), into `w`: a window that never applied them writes them back as they were.
 */
void keepStoredLayout(const IniFile& ini, WindowSnapshot& w);

/**
 * The window as the file stores it: every "Window", "General" "State" and "Toolbars"
 * value as it stands (no bound, every bit), the default where a key is missing. Written
 * back, it gives those keys back unchanged.
 */
WindowSnapshot storedWindow(const IniFile& ini);

/**
 * Puts the file's own "Window" "Left" and "Top" (their defaults when absent) into `w`: a
 * window system that tells a program no position (Wayland) leaves the stored one as it was.
 */
void keepStoredPosition(const IniFile& ini, WindowSnapshot& w);

/**
 * Writes every key in the table's order ("Window" and "Toolbars" only when
 * `s.RestoreWindow` is on; "Constant" and "Delay" never), then flushes. A write that
 * fails throws "Unable to write to <path>" and the remaining writes are skipped.
 */
void writeSettings(IniFile& ini, const Settings& s, const WindowSnapshot& w);

/**
 * How a folder's name is stored in the 8-bit settings file. A name the file holds as it
 * is (every character in the code page, no control character, no blank or quote at its
 * ends, at most IniFile::MaxStringLength characters, not starting with "bytes:") is
 * stored as it is, as it always was. Any other is stored as "bytes:" followed by the
 * bytes of the name on disk, percent-encoded ("%D0%9C", "%0A"; letters, digits, "/",
 * "-", ".", "_" and "~" stand as they are), so Cyrillic, a line break or a name of any
 * length comes back whole. A value without that prefix reads as any string does.
 */
QByteArray storedPath(const QString& path);
/** The folder a stored value names: the inverse of storedPath for "bytes:" values; nullopt for others. */
std::optional<QString> pathFromStored(const QByteArray& value);

/**
 * Stores "General" "LastWorld". Only a run that opened a world other than its working
 * directory writes it, so a run started inside its world leaves the file as it was.
 */
void writeLastWorld(IniFile& ini, const QString& folder);

} // namespace vdm
