// SPDX-License-Identifier: MIT
#include "data/settings.h"

#include "data/inifile.h"
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/errors.h"

#include <QPoint>
#include <QRect>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vdm {
namespace {

using test::readFile;
using test::writeFile;

class SettingsTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::setFaultInjector(nullptr); }

    QString path() const { return m_dir.filePath(QStringLiteral("qor.ini")); }
    void put(const QByteArray& bytes) const { writeFile(path(), bytes); }
    QByteArray contents() const { return readFile(path()); }

    Settings read() const
    {
        Settings s;
        readSettings(m_ini, s);
        return s;
    }

    /** The lines of one section, header included, as they stand in the file. */
    static QByteArray section(const QByteArray& file, const QByteArray& name)
    {
        const qsizetype begin = file.indexOf("[" + name + "]");
        if (begin < 0)
            return {};
        const qsizetype end = file.indexOf("\r\n[", begin);
        return file.mid(begin, end < 0 ? -1 : end + 2 - begin);
    }

    QTemporaryDir m_dir;
    IniFile m_ini{path()};
};

TEST_F(SettingsTest, FirstRunReadsEveryDefault)
{
    EXPECT_EQ(read(), Settings());
    const StoredView v = readStoredView(m_ini, Settings());
    EXPECT_EQ(v.State, 0);
    EXPECT_EQ(v.Zoom, 0);
    EXPECT_EQ(v.CenterX, 0);
    EXPECT_EQ(v.CenterY, 0);
    EXPECT_TRUE(v.geometryRead);
    EXPECT_EQ(QRect(v.Left, v.Top, v.Width, v.Height), QRect(300, 60, 378, 644));
    EXPECT_EQ(readBandPositions(m_ini), BandPositions());
    EXPECT_EQ(read().HintOpacity, 70); // a translucency of 30 %
}

TEST_F(SettingsTest, FreshFileHasTheDocumentedLayout)
{
    writeSettings(m_ini, Settings(), WindowSnapshot());
    EXPECT_EQ(contents(), readFile(test::fixturePath(QStringLiteral("app/fresh_qor.ini"))));
    EXPECT_EQ(read(), Settings());
}

TEST_F(SettingsTest, EverySettingSurvivesAWriteAndARead)
{
    Settings s;
    s.ShowText = false;
    s.ShowHint = true;
    s.ShowSkarnels = true;
    s.ShowShips = true;
    s.ShowMagesGuild = true;
    s.ShowActive = false;
    s.ShowVisited = false;
    s.ShowUnvisited = false;
    s.MapFontName = QStringLiteral("Gar\u00e7on");
    s.HintFontName = QStringLiteral("Serif");
    s.MapFontSize = 11;
    s.HintFontSize = 12;
    s.ColorVisited = 1;
    s.ColorUnvisited = 2;
    s.ColorActive = 3;
    s.ColorMarker = 4;
    s.ColorSkarnels = 5;
    s.ColorShips = 6;
    s.ColorMagesGuild = 7;
    s.TextLength = 8;
    s.MarkerLength = 9;
    s.ZoomLevelAA = 3;
    s.RestoreWindow = true;
    s.KeepZoom = true;
    s.Autosave = false;
    s.MapAA = false;
    s.HintOpacity = 1;
    WindowSnapshot w;
    w.Zoom = 4;
    w.Width = 800;
    w.Height = 900;
    w.CenterX = 120;
    w.CenterY = 130;
    int position = 0;
    for (int* p : {&w.bands.MapLeft, &w.bands.MapTop, &w.bands.LocationLeft, &w.bands.LocationTop, &w.bands.MarkerLeft,
                   &w.bands.MarkerTop, &w.bands.OptionsLeft, &w.bands.OptionsTop})
        *p = ++position;
    w.Left = -20;
    w.Top = 40;
    w.State = 1;
    writeSettings(m_ini, s, w);

    EXPECT_EQ(read(), s);
    const StoredView v = readStoredView(m_ini, s);
    EXPECT_EQ(v.State, 1);
    EXPECT_EQ(v.Zoom, 4);
    EXPECT_EQ(QPoint(v.CenterX, v.CenterY), QPoint(120, 130));
    EXPECT_EQ(QRect(v.Left, v.Top, v.Width, v.Height), QRect(-20, 40, 800, 900));
    EXPECT_EQ(readBandPositions(m_ini), w.bands);
    // Nothing is written that the program did not put there itself.
    EXPECT_FALSE(contents().contains("Constant"));
    EXPECT_FALSE(contents().contains("Delay"));
}

TEST_F(SettingsTest, HandEditedConstantAndDelayTakeEffectAndSurviveWrites)
{
    put("[Hints]\r\nConstant=0\r\nDelay=3000\r\n");
    const Settings s = read();
    EXPECT_FALSE(s.ConstantHints);
    EXPECT_EQ(s.HintDelay, 3000);

    Settings changed = s;
    changed.ConstantHints = true; // no writer touches these two
    changed.HintDelay = 10;
    writeSettings(m_ini, changed, WindowSnapshot());
    writeSettings(m_ini, changed, WindowSnapshot());
    EXPECT_TRUE(section(contents(), "Hints").startsWith("[Hints]\r\nConstant=0\r\nDelay=3000\r\nShowHint=0\r\n"));
    EXPECT_FALSE(read().ConstantHints);
    EXPECT_EQ(read().HintDelay, 3000);
}

TEST_F(SettingsTest, TransparencyIsStoredAsOneHundredMinusTheOpacity)
{
    put("[Hints]\r\nTransparency=45\r\n");
    const Settings s = read();
    EXPECT_EQ(s.HintOpacity, 55);
    writeSettings(m_ini, s, WindowSnapshot());
    EXPECT_TRUE(contents().contains("\r\nTransparency=45\r\n"));

    put("[Hints]\r\nTransparency=-2147483648\r\n"); // must not wrap around
    EXPECT_EQ(read().HintOpacity, INT_MAX);
}

TEST_F(SettingsTest, TogglesReadAsIntegersWithTheirOwnDefaults)
{
    put("[Map]\r\nShowText=2\r\nShowVisited=0\r\n[Hints]\r\nShowHint=yes\r\n");
    EXPECT_TRUE(read().ShowText);
    EXPECT_FALSE(read().ShowVisited);
    EXPECT_FALSE(read().ShowHint); // a word is no integer: the default, false

    put("[Map]\r\nShowText=yes\r\n[Hints]\r\nShowHint=1\r\n");
    EXPECT_TRUE(read().ShowText); // the default, true
    EXPECT_TRUE(read().ShowHint);
}

TEST_F(SettingsTest, HexColourReadsAndIsWrittenBackInDecimal)
{
    put("[Map]\r\nColorShips=0xFF\r\nColorVisited=banana\r\n");
    const Settings s = read();
    EXPECT_EQ(s.ColorShips, 255);
    EXPECT_EQ(s.ColorVisited, Settings().ColorVisited);
    writeSettings(m_ini, s, WindowSnapshot());
    EXPECT_TRUE(contents().startsWith("[Map]\r\nColorShips=255\r\nColorVisited=4235519\r\n"));
}

TEST_F(SettingsTest, StoredMaximisedStateLeavesTheGeometryUnread)
{
    put("[General]\r\nState=2\r\n[Window]\r\nZoom=3\r\nCenterX=77\r\nWidth=999\r\nHeight=888\r\nLeft=5\r\nTop=6\r\n");
    const StoredView v = readStoredView(m_ini, Settings());
    EXPECT_EQ(v.State, 2);
    EXPECT_EQ(v.Zoom, 3);
    EXPECT_EQ(v.CenterX, 77);
    EXPECT_FALSE(v.geometryRead);
    EXPECT_EQ(QRect(v.Left, v.Top, v.Width, v.Height), QRect(300, 60, 378, 644));
}

TEST_F(SettingsTest, StoredZoomAndStateAreBounded)
{
    const struct {
        const char* zoom;
        const char* state;
        int expectedZoom;
        int expectedState;
    } cases[] = {
        {"3", "1", 3, 1},   {"7", "0", 7, 0},     {"9", "2", 7, 2},      {"2147483647", "3", 7, 0},
        {"-4", "-1", 0, 0}, {"0x5", "0x2", 5, 2}, {"many", "max", 0, 0},
    };
    for (const auto& c : cases) {
        put(QByteArray("[Window]\r\nZoom=") + c.zoom + "\r\n[General]\r\nState=" + c.state + "\r\n");
        const StoredView v = readStoredView(m_ini, Settings());
        EXPECT_EQ(v.Zoom, c.expectedZoom) << c.zoom;
        EXPECT_EQ(v.State, c.expectedState) << c.state;
    }
}

TEST_F(SettingsTest, RestoreWindowOffReadsOnlyTheStateAndLeavesWindowAndToolbarsAlone)
{
    const QByteArray window = "[Window]\r\nzoom = 5\r\n; mine\r\nCenterX=400\r\nWidth=1000\r\nHeight=900\r\n"
                              "Left=10\r\nTop=20\r\nCenterY=300\r\n\r\n";
    const QByteArray toolbars = "[Toolbars]\r\nMapLeft=65591\r\nMapTop=-1\r\nOptionsTop=9\r\n";
    put("[General]\r\nRestoreWindow=0\r\nState=1\r\n" + window + toolbars);
    Settings s = read();
    ASSERT_FALSE(s.RestoreWindow);
    const StoredView v = readStoredView(m_ini, s);
    EXPECT_EQ(v.State, 1);
    EXPECT_EQ(v.Zoom, 0);
    EXPECT_EQ(QPoint(v.CenterX, v.CenterY), QPoint(0, 0));
    EXPECT_FALSE(v.geometryRead);

    WindowSnapshot w;
    w.Zoom = 6;
    w.State = 2;
    w.bands.MapLeft = 1;
    writeSettings(m_ini, s, w);
    const QByteArray after = contents();
    EXPECT_EQ(section(after, "Window"), window);
    EXPECT_EQ(section(after, "Toolbars"), toolbars);
    EXPECT_TRUE(section(after, "General").contains("\r\nState=2\r\n")); // the state is kept either way
}

TEST_F(SettingsTest, BandPositionsKeepTheLowSixteenBits)
{
    put("[Toolbars]\r\nMapLeft=65591\r\nMapTop=-1\r\nLocationLeft=0x10030\r\nOptionsTop=oops\r\n");
    const BandPositions b = readBandPositions(m_ini);
    EXPECT_EQ(b.MapLeft, 55);
    EXPECT_EQ(b.MapTop, 65535);
    EXPECT_EQ(b.LocationLeft, 48);
    EXPECT_EQ(b.LocationTop, 24);
    EXPECT_EQ(b.OptionsTop, 48);
}

TEST(BandPositionsTest, EachBandReachesItsOwnPairOfKeys)
{
    struct Case {
        int band;
        int BandPositions::*left;
        int BandPositions::*top;
        QPoint defaults;
    };
    const Case cases[] = {
        {0, &BandPositions::MapLeft, &BandPositions::MapTop, {55, 0}},
        {1, &BandPositions::LocationLeft, &BandPositions::LocationTop, {54, 24}},
        {2, &BandPositions::MarkerLeft, &BandPositions::MarkerTop, {55, 48}},
        {3, &BandPositions::OptionsLeft, &BandPositions::OptionsTop, {201, 48}},
    };
    for (const Case& c : cases) {
        BandPositions b;
        EXPECT_EQ(b.of(c.band), c.defaults) << c.band;
        b.set(c.band, {7 + c.band, 90 + c.band});
        EXPECT_EQ(b.*c.left, 7 + c.band) << c.band;
        EXPECT_EQ(b.*c.top, 90 + c.band) << c.band;
        for (int other = 0; other < BandPositions::Count; ++other) {
            if (other != c.band) {
                EXPECT_EQ(b.of(other), BandPositions().of(other)) << c.band << " moved " << other;
            }
        }
    }
}

TEST_F(SettingsTest, LayoutNeverAppliedIsWrittenBackAsStored)
{
    const QByteArray toolbars
        = "[Toolbars]\r\nMapLeft=65591\r\nMapTop=-1\r\nLocationLeft=0x10030\r\n"
          "LocationTop=24\r\nMarkerLeft=55\r\nMarkerTop=48\r\nOptionsLeft=352\r\nOptionsTop=0\r\n";
    put("[General]\r\nState=7\r\n" + toolbars);
    EXPECT_EQ(readWindowState(m_ini), 0);
    WindowSnapshot w;
    w.State = 2;
    w.bands.OptionsLeft = 1;
    keepStoredLayout(m_ini, w);
    writeSettings(m_ini, read(), w);
    EXPECT_TRUE(section(contents(), "General").contains("\r\nState=7\r\n"));
    // Every stored value stays but the one in hexadecimal, written back as the same number.
    QByteArray decimal = toolbars;
    EXPECT_EQ(section(contents(), "Toolbars"), decimal.replace("0x10030", "65584"));
}

TEST_F(SettingsTest, FailedWriteStopsTheRestAndSaysWhichFile)
{
    put("[Map]\r\nShowText=1\r\n");
    int creates = 0;
    AtomicFile::setFaultInjector(
        [&creates](AtomicFile::Step step) { return step != AtomicFile::Step::Create || ++creates <= 2; });
    Settings s;
    s.ShowText = false;
    s.ShowHint = true;
    s.ShowSkarnels = true;
    try {
        writeSettings(m_ini, s, WindowSnapshot());
        FAIL() << "the write succeeded";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + path());
    }
    EXPECT_EQ(creates, 3); // nothing was tried after the failure
    EXPECT_EQ(contents(), "[Map]\r\nShowText=0\r\n[Hints]\r\nShowHint=1\r\n");
}

/** The snapshot of a window that shows exactly what the file holds. */
WindowSnapshot asStored(const IniFile& ini, const Settings& s)
{
    WindowSnapshot w;
    static_cast<WindowGeometry&>(w) = readStoredView(ini, s);
    w.bands = readBandPositions(ini);
    return w;
}

TEST_F(SettingsTest, RewritingWhatWasReadKeepsEveryByte)
{
    // The expected files are what the writer produced before the keys table drove it.
    for (const char* name : {"handedited", "norestore"}) {
        const QString fixture = test::fixturePath(QStringLiteral("data/settings_rewrite/%1").arg(QLatin1String(name)));
        put(readFile(fixture + QStringLiteral(".ini")));
        const QByteArray expected = readFile(fixture + QStringLiteral(".expected.ini"));
        const Settings s = read();
        writeSettings(m_ini, s, asStored(m_ini, s));
        EXPECT_EQ(contents(), expected) << name;
        // A second round with no change leaves the file exactly as it is.
        const Settings again = read();
        EXPECT_EQ(again, s) << name;
        writeSettings(m_ini, again, asStored(m_ini, again));
        EXPECT_EQ(contents(), expected) << name;
    }
}

/** The value a key's member holds, as text. */
QString memberValue(const SettingKey& k, const Settings& s, const WindowGeometry& g, const BandPositions& b)
{
    return std::visit(
        [&](auto member) -> QString {
            if constexpr (std::is_same_v<decltype(member), QString Settings::*>)
                return s.*member;
            else if constexpr (std::is_same_v<decltype(member), bool Settings::*>)
                return QString::number(int(s.*member));
            else if constexpr (std::is_same_v<decltype(member), int Settings::*>)
                return QString::number(s.*member);
            else if constexpr (std::is_same_v<decltype(member), int WindowGeometry::*>)
                return QString::number(g.*member);
            else
                return QString::number(b.*member);
        },
        k.member);
}

/** A stored value unlike the key's default, and what its member then holds. */
std::pair<QString, QString> unlikeTheDefault(const SettingKey& k)
{
    switch (k.type) {
    case SettingType::Bool:
        return {QString::number(k.number == 0 ? 1 : 0), QString::number(k.number == 0 ? 1 : 0)};
    case SettingType::String:
    case SettingType::Path:
        return {QStringLiteral("Face ") + k.key.toString(), QStringLiteral("Face ") + k.key.toString()};
    case SettingType::Complement:
        return {QStringLiteral("45"), QStringLiteral("55")};
    default: {
        const QString v = QString::number(k.member == SettingMember(&WindowGeometry::State) ? 1 : k.number + 3);
        return {v, v};
    }
    }
}

QByteArray keyLine(const SettingKey& k, const QString& value)
{
    return (k.key.toString() + QLatin1Char('=') + value + QStringLiteral("\r\n")).toLatin1();
}

TEST_F(SettingsTest, TheLastWorldComesBackWholeWhateverItsName)
{
    const struct {
        const char* what;
        QString path;
        bool asItIs; // stored as it stands, as every earlier version stored it
    } cases[] = {
        {"plain", QStringLiteral("/home/user/worlds/Veldamar"), true},
        {"code page letters and a percent sign", QStringLiteral("/srv/caf\u00e9/100%/w\u00f6rld"), true},
        {"Cyrillic", QStringLiteral("/home/\u041c\u0438\u0440/\u041a\u0430\u0440\u0442\u0430"), false},
        {"a line break", QStringLiteral("/tmp/two\nlines"), false},
        {"a tab and a DEL", QStringLiteral("/tmp/a\tb\x7f"), false},
        {"4000 characters", QStringLiteral("/") + QString(3999, u'w'), false},
        {"blanks at the ends", QStringLiteral(" /tmp/padded "), false},
        {"in quotes", QStringLiteral("\"/tmp/quoted\""), false},
        {"looking escaped", QStringLiteral("bytes:%41"), false},
        {"an emoji", QStringLiteral("/tmp/\U0001F5FA"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put("");
        writeLastWorld(m_ini, c.path);
        EXPECT_EQ(read().LastWorld, c.path);
        const QByteArray stored = m_ini.ReadRaw("General", "LastWorld").value_or("absent");
        EXPECT_EQ(stored.startsWith("bytes:"), !c.asItIs) << stored.left(60).constData();
        EXPECT_FALSE(stored.contains('\n'));
    }
}

TEST_F(SettingsTest, AStoredLastWorldOfAnEarlierVersionReadsAsBefore)
{
    const struct {
        QByteArray stored;
        QString read;
    } cases[] = {
        {"/srv/100%/world", QStringLiteral("/srv/100%/world")},
        {"\"/srv/quoted\"", QStringLiteral("/srv/quoted")},
        {"/srv/caf\xe9", QStringLiteral("/srv/caf\u00e9")},
        {"bytes:/srv/%D0%9C", QStringLiteral("/srv/\u041c")},
    };
    for (const auto& c : cases) {
        put("[General]\r\nLastWorld=" + c.stored + "\r\n");
        EXPECT_EQ(read().LastWorld, c.read) << c.stored.constData();
    }
}

TEST_F(SettingsTest, EveryKeyFillsItsOwnMemberAndNoOther)
{
    const Settings defaultSettings;
    const WindowGeometry defaultGeometry;
    const BandPositions defaultBands;
    for (const SettingKey& k : settingKeys()) {
        SCOPED_TRACE(qPrintable(k.section.toString() + QLatin1Char('/') + k.key.toString()));
        const auto [stored, held] = unlikeTheDefault(k);
        put("[" + k.section.toLatin1() + "]\r\n" + keyLine(k, stored));
        const Settings s = read();
        const StoredView v = readStoredView(m_ini, s);
        const BandPositions b = readBandPositions(m_ini);
        for (const SettingKey& other : settingKeys()) {
            const QString expected
                = &other == &k ? held : memberValue(other, defaultSettings, defaultGeometry, defaultBands);
            EXPECT_EQ(memberValue(other, s, v, b), expected) << qPrintable(other.key.toString());
        }
    }
}

TEST_F(SettingsTest, EveryKeyIsWrittenBackAsItWasRead)
{
    // Every key at once, each unlike its default but RestoreWindow, which must stay on for
    // the window's keys to be read and written at all.
    const auto storedValue = [](const SettingKey& k) {
        return k.member == SettingMember(&Settings::RestoreWindow) ? QStringLiteral("1") : unlikeTheDefault(k).first;
    };
    std::vector<std::pair<QByteArray, QByteArray>> sections;
    for (const SettingKey& k : settingKeys()) {
        const QByteArray name = k.section.toLatin1();
        auto it = std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == name; });
        if (it == sections.end())
            it = sections.insert(sections.end(), {name, "[" + name + "]\r\n"});
        it->second += keyLine(k, storedValue(k));
    }
    QByteArray file;
    for (const auto& [name, lines] : sections)
        file += lines;
    put(file);
    const Settings s = read();
    EXPECT_TRUE(s.ShowHint);
    writeSettings(m_ini, s, asStored(m_ini, s));
    EXPECT_EQ(contents(), file);
    EXPECT_EQ(read(), s);
}

TEST_F(SettingsTest, OptionsOffByDefaultAreWrittenOnlyOnceTouched)
{
    const struct {
        const char* key;
        bool Settings::*member;
    } options[] = {{"ZoomAtPointer", &Settings::ZoomAtPointer},
                   {"HideOverlappingCaptions", &Settings::HideOverlappingCaptions}};
    for (const auto& option : options) {
        // A file that never held the option keeps every byte through a write.
        const Settings before = read();
        writeSettings(m_ini, before, asStored(m_ini, before));
        const QByteArray untouched = contents();
        EXPECT_FALSE(untouched.contains(option.key));
        EXPECT_FALSE(read().*option.member) << option.key;
        const QByteArray on = QByteArray(option.key) + "=1\r\n", off = QByteArray(option.key) + "=0\r\n";
        const struct {
            bool on;
            const QByteArray line; // in [General] after the write; empty: absent
        } steps[] = {{false, {}}, {true, on}, {false, off}, {false, off}};
        for (const auto& step : steps) {
            Settings s = read();
            s.*option.member = step.on;
            writeSettings(m_ini, s, asStored(m_ini, s));
            if (!step.line.isEmpty())
                EXPECT_TRUE(section(contents(), "General").contains(step.line)) << step.line.constData();
            else
                EXPECT_EQ(contents(), untouched) << option.key;
            EXPECT_EQ(read().*option.member, step.on) << option.key;
        }
    }
}

TEST_F(SettingsTest, SaveFoldersAreWrittenOnlyOnceUsed)
{
    writeSettings(m_ini, Settings(), asStored(m_ini, Settings()));
    const QByteArray untouched = contents();
    const struct {
        QString Settings::*member;
        const char* key;
    } folders[] = {{&Settings::ImageFolder, "ImageFolder"}, {&Settings::ExportFolder, "ExportFolder"}};
    for (const auto& f : folders) {
        SCOPED_TRACE(f.key);
        EXPECT_FALSE(untouched.contains(f.key));
        Settings s = read();
        EXPECT_TRUE((s.*f.member).isEmpty());
        s.*f.member = QStringLiteral("/home/user/My Maps");
        writeSettings(m_ini, s, asStored(m_ini, s));
        EXPECT_TRUE(section(contents(), "General").contains(QByteArray(f.key) + "=/home/user/My Maps\r\n"));
        EXPECT_EQ(read().*f.member, QStringLiteral("/home/user/My Maps"));
    }
}

TEST_F(SettingsTest, KeysTableNamesEveryKeyAndMemberOnce)
{
    const auto keys = settingKeys();
    for (auto a = keys.begin(); a != keys.end(); ++a) {
        for (auto b = a + 1; b != keys.end(); ++b) {
            EXPECT_FALSE(a->section.compare(b->section, Qt::CaseInsensitive) == 0
                         && a->key.compare(b->key, Qt::CaseInsensitive) == 0)
                << qPrintable(a->key.toString());
            EXPECT_FALSE(a->member == b->member) << qPrintable(a->key.toString());
            EXPECT_FALSE(!a->editor.isEmpty() && a->editor == b->editor) << qPrintable(a->editor.toString());
        }
    }
    EXPECT_EQ(keys.size(), std::size_t(51)); // 35 settings members, 8 of the window, 8 of the bands
}

} // namespace
} // namespace vdm
