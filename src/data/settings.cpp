// SPDX-License-Identifier: MIT
#include "data/settings.h"
#include <QFile>
#include "data/codepage.h"

#include "data/inifile.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace vdm {
namespace {

using T = SettingType;
using W = Written;
using S = Settings;
using G = WindowGeometry;
using B = BandPositions;

// Every key of the file once: section, key, type, member, default, when it is written and
// the options dialog's control. The order is the writer's.
constexpr SettingKey Keys[] = {
    {u"Map", u"ShowText", T::Bool, &S::ShowText, 1, {}, W::Always, {}},
    {u"Hints", u"ShowHint", T::Bool, &S::ShowHint, 0, {}, W::Always, {}},
    {u"Map", u"Skarnels", T::Bool, &S::ShowSkarnels, 0, {}, W::Always, {}},
    {u"Map", u"Ships", T::Bool, &S::ShowShips, 0, {}, W::Always, {}},
    {u"Map", u"MagesGuild", T::Bool, &S::ShowMagesGuild, 0, {}, W::Always, {}},
    {u"Map", u"ShowActive", T::Bool, &S::ShowActive, 1, {}, W::Always, {}},
    {u"Map", u"ShowVisited", T::Bool, &S::ShowVisited, 1, {}, W::Always, {}},
    {u"Map", u"ShowUnvisited", T::Bool, &S::ShowUnvisited, 1, {}, W::Always, {}},

    {u"Window", u"Zoom", T::Integer, &G::Zoom, 0, {}, W::WithWindow, {}},
    {u"Window", u"Width", T::Integer, &G::Width, 378, {}, W::WithWindow, {}},
    {u"Window", u"Height", T::Integer, &G::Height, 644, {}, W::WithWindow, {}},
    {u"Window", u"CenterX", T::Integer, &G::CenterX, 0, {}, W::WithWindow, {}},
    {u"Window", u"CenterY", T::Integer, &G::CenterY, 0, {}, W::WithWindow, {}},
    {u"Toolbars", u"MapLeft", T::Integer, &B::MapLeft, 55, {}, W::WithWindow, {}},
    {u"Toolbars", u"MapTop", T::Integer, &B::MapTop, 0, {}, W::WithWindow, {}},
    {u"Toolbars", u"LocationLeft", T::Integer, &B::LocationLeft, 54, {}, W::WithWindow, {}},
    {u"Toolbars", u"LocationTop", T::Integer, &B::LocationTop, 24, {}, W::WithWindow, {}},
    {u"Toolbars", u"MarkerLeft", T::Integer, &B::MarkerLeft, 55, {}, W::WithWindow, {}},
    {u"Toolbars", u"MarkerTop", T::Integer, &B::MarkerTop, 48, {}, W::WithWindow, {}},
    {u"Toolbars", u"OptionsLeft", T::Integer, &B::OptionsLeft, 201, {}, W::WithWindow, {}},
    {u"Toolbars", u"OptionsTop", T::Integer, &B::OptionsTop, 48, {}, W::WithWindow, {}},
    {u"Window", u"Left", T::Integer, &G::Left, 300, {}, W::WithWindow, {}},
    {u"Window", u"Top", T::Integer, &G::Top, 60, {}, W::WithWindow, {}},

    {u"General", u"RestoreWindow", T::Bool, &S::RestoreWindow, 1, {}, W::Always, u"CBRestore"},
    {u"General", u"KeepZoom", T::Bool, &S::KeepZoom, 0, {}, W::Always, u"CBKeepZoom"},
    {u"General", u"Autosave", T::Bool, &S::Autosave, 1, {}, W::Always, u"CBAutosave"},
    {u"General", u"State", T::Integer, &G::State, 0, {}, W::Always, {}},
    {u"General", u"MapAA", T::Bool, &S::MapAA, 1, {}, W::Always, u"CBAnti"},
    {u"General", u"ZoomLevelAA", T::Integer, &S::ZoomLevelAA, 5, {}, W::Always, u"ListZoomAA"},
    {u"General", u"ZoomAtPointer", T::Bool, &S::ZoomAtPointer, 0, {}, W::WhenChanged, u"CBZoomAtPointer"},
    {u"General",
     u"HideOverlappingCaptions",
     T::Bool,
     &S::HideOverlappingCaptions,
     0,
     {},
     W::WhenChanged,
     u"CBHideOverlappingCaptions"},
    {u"General", u"Navigator", T::Bool, &S::ShowNavigator, 0, {}, W::WhenChanged, {}},
    // Written on its own by writeLastWorld, only by a run that chose its world.
    {u"General", u"LastWorld", T::Path, &S::LastWorld, 0, {}, W::Never, {}},
    // The save dialogs' folders: a run that never saved an image or an export writes neither.
    {u"General", u"ImageFolder", T::Path, &S::ImageFolder, 0, {}, W::WhenChanged, {}},
    {u"General", u"ExportFolder", T::Path, &S::ExportFolder, 0, {}, W::WhenChanged, {}},

    {u"Map", u"FontName", T::String, &S::MapFontName, 0, u"MS Sans Serif", W::Always, u"STMapFontName"},
    {u"Hints", u"FontName", T::String, &S::HintFontName, 0, u"Arial", W::Always, u"STHintFontName"},
    {u"Map", u"FontSize", T::Integer, &S::MapFontSize, 8, {}, W::Always, u"STMapFontSize"},
    {u"Hints", u"FontSize", T::Integer, &S::HintFontSize, 8, {}, W::Always, u"STHintFontSize"},

    {u"Map", u"ColorVisited", T::Colour, &S::ColorVisited, 0x40A0FF, {}, W::Always, u"ShapeV"},
    {u"Map", u"ColorActive", T::Colour, &S::ColorActive, 0xFF80FF, {}, W::Always, u"ShapeA"},
    {u"Map", u"ColorUnvisited", T::Colour, &S::ColorUnvisited, 0x9BF1FF, {}, W::Always, u"ShapeU"},
    {u"Map", u"ColorMarker", T::Colour, &S::ColorMarker, 0x40FF40, {}, W::Always, u"ShapeM"},
    {u"Map", u"ColorSkarnels", T::Colour, &S::ColorSkarnels, 0x00FFFF, {}, W::Always, u"ShapeSR"},
    {u"Map", u"ColorShips", T::Colour, &S::ColorShips, 0xFF0000, {}, W::Always, u"ShapeHR"},
    {u"Map", u"ColorMagesGuild", T::Colour, &S::ColorMagesGuild, 0xF1CDBE, {}, W::Always, u"ShapeMR"},
    {u"Map", u"TextLength", T::Integer, &S::TextLength, 0, {}, W::Always, u"EditLL"},
    {u"Map", u"MarkerLength", T::Integer, &S::MarkerLength, 10, {}, W::Always, u"EditLM"},

    // A translucency of 30 %.
    {u"Hints", u"Transparency", T::Complement, &S::HintOpacity, 70, {}, W::Always, u"TrackBarTrans"},
    // Hand-edited only: a file the program created itself has neither.
    {u"Hints", u"Constant", T::Bool, &S::ConstantHints, 1, {}, W::Never, {}},
    {u"Hints", u"Delay", T::Integer, &S::HintDelay, 1000, {}, W::Never, {}},
};

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

/** The key that fills `member`; every member of the three records has one. */
template <typename M> const SettingKey& keyOf(M member)
{
    const SettingMember wanted = member;
    return *std::find_if(std::begin(Keys), std::end(Keys), [&](const SettingKey& k) { return k.member == wanted; });
}

int readNumber(const IniFile& ini, const SettingKey& k)
{
    const QString section = k.section.toString();
    const QString key = k.key.toString();
    switch (k.type) {
    case T::Bool:
        return ini.ReadBool(section, key, k.number);
    case T::Complement:
        return hundredMinus(ini.ReadInteger(section, key, hundredMinus(k.number)));
    default:
        return ini.ReadInteger(section, key, k.number);
    }
}

/** The member of `s` that `k` fills holds the key's default. */
bool atDefault(const SettingKey& k, const Settings& s)
{
    if (const auto* m = std::get_if<QString Settings::*>(&k.member))
        return s.**m == k.text;
    if (const auto* b = std::get_if<bool Settings::*>(&k.member))
        return s.**b == (k.number != 0);
    if (const auto* i = std::get_if<int Settings::*>(&k.member))
        return s.**i == k.number;
    return false;
}

template <typename M> int readNumber(const IniFile& ini, M member)
{
    return readNumber(ini, keyOf(member));
}

} // namespace

std::span<const SettingKey> settingKeys()
{
    return Keys;
}

Settings::Settings()
{
    for (const SettingKey& k : Keys) {
        if (const auto* m = std::get_if<QString Settings::*>(&k.member))
            this->** m = k.text.toString();
        else if (const auto* b = std::get_if<bool Settings::*>(&k.member))
            this->** b = k.number != 0;
        else if (const auto* i = std::get_if<int Settings::*>(&k.member))
            this->** i = k.number;
    }
}

WindowGeometry::WindowGeometry()
{
    for (const SettingKey& k : Keys) {
        if (const auto* m = std::get_if<int WindowGeometry::*>(&k.member))
            this->** m = k.number;
    }
}

namespace {

// Each band's left and top members, in the bands' stored order.
constexpr std::pair<int BandPositions::*, int BandPositions::*> BandMembers[BandPositions::Count] = {
    {&BandPositions::MapLeft, &BandPositions::MapTop},
    {&BandPositions::LocationLeft, &BandPositions::LocationTop},
    {&BandPositions::MarkerLeft, &BandPositions::MarkerTop},
    {&BandPositions::OptionsLeft, &BandPositions::OptionsTop},
};

} // namespace

QPoint BandPositions::of(int index) const
{
    const auto& [left, top] = BandMembers[index];
    return {this->*left, this->*top};
}

void BandPositions::set(int index, QPoint at)
{
    const auto& [left, top] = BandMembers[index];
    this->*left = at.x();
    this->*top = at.y();
}

BandPositions::BandPositions()
{
    for (const SettingKey& k : Keys) {
        if (const auto* m = std::get_if<int BandPositions::*>(&k.member))
            this->** m = k.number;
    }
}

void readSettings(const IniFile& ini, Settings& s)
{
    for (const SettingKey& k : Keys) {
        if (const auto* m = std::get_if<QString Settings::*>(&k.member)) {
            const std::optional<QByteArray> raw
                = k.type == SettingType::Path ? ini.ReadRaw(k.section.toString(), k.key.toString()) : std::nullopt;
            const std::optional<QString> path = raw ? pathFromStored(*raw) : std::nullopt;
            s.** m = path ? *path : ini.ReadString(k.section.toString(), k.key.toString(), k.text.toString());
        } else if (const auto* b = std::get_if<bool Settings::*>(&k.member))
            s.** b = readNumber(ini, k) != 0;
        else if (const auto* i = std::get_if<int Settings::*>(&k.member))
            s.** i = readNumber(ini, k);
    }
}

int readWindowState(const IniFile& ini)
{
    const int state = readNumber(ini, &WindowGeometry::State);
    return state >= 0 && state <= 2 ? state : 0;
}

StoredView readStoredView(const IniFile& ini, const Settings& s)
{
    StoredView v;
    v.State = readWindowState(ini);
    if (!s.RestoreWindow)
        return v;
    // The restore steps the zoom up one level at a time; it must stop at the table's end.
    v.Zoom = qBound(0, readNumber(ini, &WindowGeometry::Zoom), HighestZoomIndex);
    v.CenterX = readNumber(ini, &WindowGeometry::CenterX);
    v.CenterY = readNumber(ini, &WindowGeometry::CenterY);
    if (v.State == 2)
        return v;
    for (int WindowGeometry::*m :
         {&WindowGeometry::Width, &WindowGeometry::Height, &WindowGeometry::Left, &WindowGeometry::Top})
        v.*m = readNumber(ini, m);
    v.geometryRead = true;
    return v;
}

BandPositions readBandPositions(const IniFile& ini)
{
    BandPositions b;
    for (const SettingKey& k : Keys) {
        if (const auto* m = std::get_if<int BandPositions::*>(&k.member))
            b.** m = low16(readNumber(ini, k));
    }
    return b;
}

void keepStoredLayout(const IniFile& ini, WindowSnapshot& w)
{
    w.State = readNumber(ini, &WindowGeometry::State);
    for (const SettingKey& k : Keys) {
        if (const auto* m = std::get_if<int BandPositions::*>(&k.member))
            w.bands.** m = readNumber(ini, k);
    }
}

WindowSnapshot storedWindow(const IniFile& ini)
{
    WindowSnapshot w;
    for (const SettingKey& k : Keys) {
        if (const auto* g = std::get_if<int WindowGeometry::*>(&k.member))
            w.** g = readNumber(ini, k);
        else if (const auto* p = std::get_if<int BandPositions::*>(&k.member))
            w.bands.** p = readNumber(ini, k);
    }
    return w;
}

void keepStoredPosition(const IniFile& ini, WindowSnapshot& w)
{
    w.Left = readNumber(ini, &WindowGeometry::Left);
    w.Top = readNumber(ini, &WindowGeometry::Top);
}

void writeSettings(IniFile& ini, const Settings& s, const WindowSnapshot& w)
{
    for (const SettingKey& k : Keys) {
        if (k.written == Written::Never || (k.written == Written::WithWindow && !s.RestoreWindow))
            continue;
        const QString section = k.section.toString();
        const QString key = k.key.toString();
        if (k.written == Written::WhenChanged) {
            // A value no file can hold tells whether the key is there at all.
            const QString absent = QStringLiteral("\n");
            if (atDefault(k, s) && ini.ReadString(section, key, absent) == absent)
                continue;
        }
        if (const auto* m = std::get_if<QString Settings::*>(&k.member))
            ini.WriteString(section, key, k.type == SettingType::Path ? CodePage::decode(storedPath(s.**m)) : s.**m);
        else if (const auto* b = std::get_if<bool Settings::*>(&k.member))
            ini.WriteBool(section, key, s.**b);
        else if (const auto* i = std::get_if<int Settings::*>(&k.member))
            ini.WriteInteger(section, key, k.type == SettingType::Complement ? hundredMinus(s.**i) : s.**i);
        else if (const auto* g = std::get_if<int WindowGeometry::*>(&k.member))
            ini.WriteInteger(section, key, w.**g);
        else if (const auto* p = std::get_if<int BandPositions::*>(&k.member))
            ini.WriteInteger(section, key, w.bands.**p);
    }
    ini.UpdateFile();
}

namespace {

const QByteArray kBytesPrefix = QByteArrayLiteral("bytes:");

bool storedAsItIs(const QString& path)
{
    if (path.isEmpty())
        return true;
    if (path.size() > IniFile::MaxStringLength || path.startsWith(QLatin1String(kBytesPrefix)))
        return false;
    const QChar first = path.front(), last = path.back();
    if (first == u' ' || last == u' ' || first == u'"' || first == u'\'' || last == u'"' || last == u'\'')
        return false;
    for (const QChar c : path)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || !CodePage::canEncode(c))
            return false;
    return true;
}

} // namespace

QByteArray storedPath(const QString& path)
{
    if (storedAsItIs(path))
        return CodePage::encode(path);
    return kBytesPrefix + QFile::encodeName(path).toPercentEncoding("/");
}

std::optional<QString> pathFromStored(const QByteArray& value)
{
    if (!value.startsWith(kBytesPrefix))
        return std::nullopt;
    return QFile::decodeName(QByteArray::fromPercentEncoding(value.mid(kBytesPrefix.size())));
}

void writeLastWorld(IniFile& ini, const QString& folder)
{
    const SettingKey& k = keyOf(&Settings::LastWorld);
    ini.WriteString(k.section.toString(), k.key.toString(), CodePage::decode(storedPath(folder)));
    ini.UpdateFile();
}

} // namespace vdm
