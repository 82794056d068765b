// SPDX-License-Identifier: MIT
// The tool-bar toggles and commands, the options and about dialogs and the clipboard,
// driven through the real main window.
#include "data/inifile.h"
#include "app/mainformfixture.h"
#include "data/settings.h"
#include "common/testutils.h"
#include "dialogs/formabout.h"
#include "dialogs/formoptions.h"
#include "map/mappainter.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace vdm::test {
namespace {

struct Place {
    const char* name;
    int level, x, y;
    char status;
    const char* note;
};
// A square of places around Alpha, small enough to share the panel at the zoom Go picks
// for level 0 (25 %), where the level-1 places and the markers show as well.
constexpr Place kPlaces[] = {
    {"Alpha", 0, 20000, 40000, '1', "harbour"},
    {"Bravo", 0, 35000, 40000, '2', ""},
    {"Charlie", 1, 20000, 25000, '3', "done"},
    {"Delta", 1, 35000, 25000, '1', ""},
};
enum { AlphaIndex, BravoIndex, CharlieIndex, DeltaIndex };

QByteArray userBlock(const Place& p, char status)
{
    return QByteArray("loc\r\n   nm = ") + p.name + "\r\n   status = " + status + "\r\n   note = " + p.note
           + "\r\nend\r\n";
}

QByteArray userData(char forcedStatus = 0)
{
    QByteArray all;
    for (const Place& p : kPlaces)
        all += userBlock(p, forcedStatus ? forcedStatus : p.status);
    return all;
}

// One route of each kind; a closed ring, so every place has a line.
const QByteArray kRoutes = "routes\r\n   nm = Alpha\r\n1 Bravo\r\nend\r\n"
                           "routes\r\n   nm = Bravo\r\n2 Charlie\r\nend\r\n"
                           "routes\r\n   nm = Charlie\r\n3 Delta\r\nend\r\n"
                           "routes\r\n   nm = Delta\r\n3 Alpha\r\nend\r\n";
const QByteArray kMarkers = "marker\r\n   text = Camp\r\n   pos = 27000,32000\r\nend\r\n"
                            "marker\r\n   text = Well\r\n   pos = 10000,50000\r\nend\r\n";
// Everything on, so each toggle is first switched off. Only the toggles are stored: any
// write of the settings adds the other keys and so changes the bytes.
const QByteArray kSettings = "[Map]\r\nShowText=1\r\nSkarnels=1\r\nShips=1\r\nMagesGuild=1\r\n"
                             "ShowActive=1\r\nShowVisited=1\r\nShowUnvisited=1\r\n[Hints]\r\nShowHint=1\r\n";

QRgb rgbOf(PackedColor c)
{
    return packedToColor(c).rgb();
}

int countColour(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu);
    return n;
}

/** The smallest rectangle holding every pixel of the colour (null when there is none). */
QRect colourBounds(const QImage& image, QRgb colour)
{
    QRect r;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu))
                r |= QRect(x, y, 1, 1);
    return r;
}

bool sameObjects(const DrawingObjects& a, const DrawingObjects& b)
{
    return a.MapFont == b.MapFont && a.BrushVisited == b.BrushVisited && a.BrushActive == b.BrushActive
           && a.BrushUnvisited == b.BrushUnvisited && a.PenSkarnels == b.PenSkarnels && a.PenShips == b.PenShips
           && a.PenMagesGuild == b.PenMagesGuild && a.PenMarker == b.PenMarker;
}

class CommandsTest : public MainFormTest {
protected:
    void SetUp() override
    {
        QByteArray locations;
        for (const Place& p : kPlaces)
            locations += locationRecord(p.name, p.level, p.x, p.y);
        world.write(QStringLiteral("vdmain.gdb"), locations);
        world.write(QStringLiteral("routes.gdb"), kRoutes);
        world.write(QStringLiteral("user.gdb"), userData());
        world.write(QStringLiteral("markers.gdb"), kMarkers);
        world.writeSettings(kSettings);
    }

    /** Opens the window with its dialogs, then Go on Alpha (selected at start). */
    TMainForm& openAtMarkerZoom()
    {
        open();
        form->createDialogs();
        EXPECT_EQ(form->editor().SelectedIndex(), AlphaIndex);
        QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
        EXPECT_EQ(form->view().zoomIndex(), 2);
        // Go forces Alpha into the next paint as well; spend that paint so every picture
        // below shows only what the toggles say.
        form->RepaintMap();
        return *form;
    }

    QImage panel() const { return form->canvas().backBuffer().copy(); }
    QPoint panelPoint(int index) const
    {
        const Location& l = form->world().locations()[size_t(index)];
        return form->view().mapToPanel(l.X, l.Y);
    }
    QString iniPath() const { return world.appPath(QStringLiteral("qor.ini")); }
    QByteArray iniBytes() const { return readFile(iniPath()); }

    template <class T> T* child(QWidget* parent, const char* name)
    {
        T* w = parent->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    /**
     * Clicks `opener` on the main window and, once its modal dialog runs, acts as the user
     * through `whileOpen`, which must close it. Returns whether `whileOpen` ran.
     */
    bool runDialog(QDialog* dialog, QToolButton* opener, const std::function<void()>& whileOpen)
    {
        bool ran = false;
        QTimer::singleShot(0, dialog, [&] {
            ran = true;
            EXPECT_TRUE(dialog->isVisible());
            whileOpen();
        });
        QTimer safety;
        safety.setSingleShot(true);
        QObject::connect(&safety, &QTimer::timeout, dialog, [dialog] { dialog->done(-1); });
        safety.start(10000);
        QTest::mouseClick(opener, Qt::LeftButton);
        EXPECT_TRUE(safety.isActive()) << "the dialog had to be closed by force";
        EXPECT_FALSE(dialog->isVisible());
        return ran;
    }
    bool runOptions(const std::function<void(QDialog&)>& whileOpen)
    {
        QDialog* d = form->formOptions();
        return runDialog(d, ui().ToolButtonOptions, [&] { whileOpen(*d); });
    }
    bool runAbout(const std::function<void(QDialog&)>& whileOpen)
    {
        QDialog* d = form->formAbout();
        return runDialog(d, ui().ToolButtonAbout, [&] { whileOpen(*d); });
    }
    void click(QWidget* parent, const char* name)
    {
        QTest::mouseClick(child<QAbstractButton>(parent, name), Qt::LeftButton);
    }
    void showMiscPage(QWidget& dialog)
    {
        auto* pages = child<QTabWidget>(&dialog, "PageControlMain");
        pages->setCurrentWidget(child<QWidget>(&dialog, "TabSheetMisc"));
    }
    /** Dates the settings file back, so that any rewrite shows in its time stamp. */
    void ageSettingsFile()
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), QFileDevice::FileModificationTime));
    }
    QDateTime iniTime() const { return QFileInfo(iniPath()).lastModified(); }
    Settings storedSettings() const
    {
        Settings s;
        readSettings(IniFile(iniPath()), s);
        return s;
    }
};

// --- display toggles ---

TEST_F(CommandsTest, EachToggleOffAndOnRestoresTheMap)
{
    TMainForm& f = openAtMarkerZoom();
    struct Row {
        const char* button;
        bool Settings::*field;
        bool repaints;
    };
    const Row rows[] = {
        {"ToolButtonSR", &Settings::ShowSkarnels, true},   {"ToolButtonSS", &Settings::ShowShips, true},
        {"ToolButtonSM", &Settings::ShowMagesGuild, true}, {"ToolButtonText", &Settings::ShowText, true},
        {"ToolButtonHint", &Settings::ShowHint, false},    {"ToolButtonSU", &Settings::ShowUnvisited, true},
        {"ToolButtonSA", &Settings::ShowActive, true},     {"ToolButtonSV", &Settings::ShowVisited, true},
    };
    PaintCounter paints(ui().PanelMap);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.button);
        auto* button = child<QToolButton>(&f, r.button);
        ASSERT_TRUE(f.session().settings().*r.field);
        EXPECT_TRUE(button->isChecked());
        const QImage before = panel();

        paints.count = 0;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(f.session().settings().*r.field);
        EXPECT_FALSE(button->isChecked());
        if (r.repaints) {
            EXPECT_GE(paints.count, 1); // at once, before the click returned
            EXPECT_GT(differingPixels(before, panel()), 0);
        }

        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(f.session().settings().*r.field);
        EXPECT_TRUE(button->isChecked());
        if (!r.repaints) {
            QCoreApplication::processEvents();
            EXPECT_EQ(paints.count, 0);
        }
        EXPECT_EQ(differingPixels(before, panel()), 0);
    }
}

TEST_F(CommandsTest, RouteTogglesRemoveOnlyTheirOwnLines)
{
    TMainForm& f = openAtMarkerZoom();
    const QRgb pens[] = {rgbOf(f.session().settings().ColorSkarnels), rgbOf(f.session().settings().ColorShips),
                         rgbOf(f.session().settings().ColorMagesGuild)};
    QToolButton* buttons[] = {ui().ToolButtonSR, ui().ToolButtonSS, ui().ToolButtonSM};
    for (QRgb pen : pens)
        EXPECT_GT(countColour(panel(), pen), 0);

    for (int off = 0; off < 3; ++off) {
        SCOPED_TRACE(off);
        QTest::mouseClick(buttons[off], Qt::LeftButton);
        const QImage now = panel();
        for (int k = 0; k < 3; ++k) {
            if (k <= off)
                EXPECT_EQ(countColour(now, pens[k]), 0) << k;
            else
                EXPECT_GT(countColour(now, pens[k]), 0) << k;
        }
    }
    // The places and markers stay.
    EXPECT_GT(countColour(panel(), rgbOf(f.session().settings().ColorUnvisited)), 0);
    EXPECT_GT(countColour(panel(), rgbOf(f.session().settings().ColorMarker)), 0);
}

TEST_F(CommandsTest, StatusTogglesOffLeaveOnlyThePlaceGoCentred)
{
    TMainForm& f = openAtMarkerZoom();
    const QRgb u = rgbOf(f.session().settings().ColorUnvisited), a = rgbOf(f.session().settings().ColorActive),
               v = rgbOf(f.session().settings().ColorVisited);
    for (QRgb c : {u, a, v})
        EXPECT_GT(countColour(panel(), c), 0);

    for (QToolButton* b : {ui().ToolButtonSU, ui().ToolButtonSA, ui().ToolButtonSV})
        QTest::mouseClick(b, Qt::LeftButton);
    for (QRgb c : {u, a, v})
        EXPECT_EQ(countColour(panel(), c), 0);
    // Markers do not belong to any status, and routes are drawn whatever their ends show.
    EXPECT_GT(countColour(panel(), rgbOf(f.session().settings().ColorMarker)), 0);
    EXPECT_GT(countColour(panel(), rgbOf(f.session().settings().ColorShips)), 0);

    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    const QImage now = panel();
    EXPECT_EQ(countColour(now, a), 0);
    EXPECT_EQ(countColour(now, v), 0);
    // Alpha's frame (6 x 6 around its point) and its caption to the right, nothing at Delta.
    const QPoint alpha = panelPoint(AlphaIndex);
    EXPECT_EQ(alpha, QPoint(165, 190)); // centred in the 330 x 380 panel
    EXPECT_EQ(now.pixel(alpha.x() - 3, alpha.y() - 3) & 0xFFFFFFu, u & 0xFFFFFFu);
    const QRect shown = colourBounds(now, u);
    EXPECT_EQ(shown.left(), alpha.x() - 3);
    EXPECT_EQ(shown.top(), alpha.y() - 3);
    EXPECT_LT(shown.bottom(), panelPoint(DeltaIndex).y() - 3);
}

// --- options ---

TEST_F(CommandsTest, OptionsCancelChangesAndWritesNothing)
{
    TMainForm& f = openAtMarkerZoom();
    ageSettingsFile();
    const QByteArray ini = iniBytes();
    const QDateTime stamp = iniTime();
    const Settings config = f.session().settings();
    const DrawingObjects objects = f.session().objects();
    const QImage before = panel();
    const QSize maximum = f.maximumSize();

    prompts.colors.push_back(QColor(255, 0, 128));
    prompts.fonts.push_back(QFont(QStringLiteral("DejaVu Serif"), 14));
    EXPECT_TRUE(runOptions([&](QDialog& d) {
        click(&d, "ButtonSelectMapFont");
        child<QLineEdit>(&d, "EditLL")->setText(QStringLiteral("12"));
        child<QSlider>(&d, "TrackBarTrans")->setValue(45);
        child<QCheckBox>(&d, "CBKeepZoom")->setChecked(true);
        child<QCheckBox>(&d, "CBAutosave")->setChecked(false);
        showMiscPage(d);
        click(&d, "ButtonU");
        click(&d, "ButtonCancel");
    }));
    EXPECT_EQ(f.session().settings(), config);
    EXPECT_TRUE(sameObjects(f.session().objects(), objects));
    EXPECT_EQ(iniBytes(), ini);
    EXPECT_EQ(iniTime(), stamp);
    EXPECT_EQ(differingPixels(before, panel()), 0);
    EXPECT_EQ(f.maximumSize(), maximum);
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(CommandsTest, OptionsOkWithoutChangesRewritesTheSameValues)
{
    TMainForm& f = openAtMarkerZoom();
    ageSettingsFile();
    const QByteArray ini = iniBytes();
    const Settings config = f.session().settings();
    const DrawingObjects objects = f.session().objects();
    const QImage before = panel();

    EXPECT_TRUE(runOptions([&](QDialog& d) { click(&d, "ButtonOk"); }));
    EXPECT_EQ(f.session().settings(), config);
    EXPECT_TRUE(sameObjects(f.session().objects(), objects));
    EXPECT_EQ(differingPixels(before, panel()), 0);
    // Written at once, while the window is still open: every key, with the same values.
    EXPECT_NE(iniBytes(), ini);
    EXPECT_GT(iniTime(), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
    EXPECT_EQ(storedSettings(), config);
    EXPECT_EQ(IniFile(iniPath()).ReadInteger(QStringLiteral("Window"), QStringLiteral("Zoom"), -1), 2);
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(CommandsTest, OptionsOkWithANewColourRepaintsAndStoresAtOnce)
{
    TMainForm& f = openAtMarkerZoom();
    const QRgb oldColour = rgbOf(f.session().settings().ColorUnvisited);
    const int framed = countColour(panel(), oldColour);
    ASSERT_GT(framed, 0);

    prompts.colors.push_back(QColor(255, 0, 128));
    PaintCounter paints(ui().PanelMap);
    EXPECT_TRUE(runOptions([&](QDialog& d) {
        showMiscPage(d);
        click(&d, "ButtonU");
        click(&d, "ButtonOk");
    }));
    const PackedColor chosen = 0x008000FF;
    EXPECT_EQ(f.session().settings().ColorUnvisited, chosen);
    EXPECT_EQ(f.session().objects().BrushUnvisited, QColor(255, 0, 128));
    EXPECT_GE(paints.count, 1);
    const QImage now = panel();
    EXPECT_EQ(countColour(now, oldColour), 0);
    EXPECT_EQ(countColour(now, qRgb(255, 0, 128)), framed);
    EXPECT_EQ(IniFile(iniPath()).ReadInteger(QStringLiteral("Map"), QStringLiteral("ColorUnvisited"), -1), chosen);
    ASSERT_EQ(prompts.colorPresets.size(), 1);
    EXPECT_EQ(prompts.colorPresets[0], QColor::fromRgb(oldColour));
}

TEST_F(CommandsTest, OptionsOkHandsTheSettingsToTheirOwnerWhomTheEditorFollows)
{
    TMainForm& f = openAtMarkerZoom();
    ASSERT_TRUE(f.editor().autosave());
    const Settings config = f.session().settings();
    EXPECT_TRUE(runOptions([&](QDialog& d) {
        showMiscPage(d);
        child<QCheckBox>(&d, "CBAutosave")->setChecked(false);
        click(&d, "ButtonOk");
    }));
    Settings expected = config;
    expected.Autosave = false;
    EXPECT_EQ(f.session().settings(), expected);
    EXPECT_FALSE(f.editor().autosave()); // a status click now writes nothing before the close
    const QByteArray user = world.read(QStringLiteral("user.gdb"));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(CommandsTest, OptionsSetAllUnvisitedStaysAfterCancel)
{
    struct Case {
        bool autosave;
    };
    for (const Case c : {Case{true}, Case{false}}) {
        SCOPED_TRACE(c.autosave ? "autosave" : "no autosave");
        world.writeSettings(kSettings + (c.autosave ? "" : "[General]\r\nAutosave=0\r\n"));
        world.write(QStringLiteral("user.gdb"), userData());
        TMainForm& f = openAtMarkerZoom();
        ASSERT_EQ(f.world().locations()[BravoIndex].Status, Active);
        ageSettingsFile();
        const QByteArray ini = iniBytes();
        const QRgb active = rgbOf(f.session().settings().ColorActive),
                   visited = rgbOf(f.session().settings().ColorVisited);

        prompts.answers = {false, true};
        EXPECT_TRUE(runOptions([&](QDialog& d) {
            showMiscPage(d);
            click(&d, "ButtonSetAllU"); // No: nothing changes
            EXPECT_EQ(f.world().locations()[CharlieIndex].Status, Visited);
            click(&d, "ButtonSetAllU"); // Yes: at once, before the dialog closes
            EXPECT_EQ(countColour(panel(), active), 0);
            EXPECT_EQ(countColour(panel(), visited), 0);
            click(&d, "ButtonCancel");
        }));
        const QString warning = QStringLiteral("Warning!|There is no undo. Are you sure?");
        EXPECT_EQ(prompts.questions, QStringList({warning, warning}));
        for (const Location& l : f.world().locations())
            EXPECT_EQ(l.Status, Unvisited) << l.Name.constData();
        EXPECT_EQ(f.world().locations()[AlphaIndex].Note, QByteArray("harbour")); // notes untouched
        EXPECT_EQ(world.read(QStringLiteral("user.gdb")), c.autosave ? userData('1') : userData());
        EXPECT_EQ(iniBytes(), ini);
        close();
        EXPECT_EQ(world.read(QStringLiteral("user.gdb")), userData('1'));
        prompts.questions.clear();
    }
}

TEST_F(CommandsTest, OptionsBulkEditWithoutAutosaveKeepsAPartlyLoadedFileAsBackup)
{
    // The last block's status is no digit: loading stops there, so the file counts as not
    // loaded completely. Setting every place unvisited is still the user's edit to keep.
    QByteArray broken = userData();
    broken.replace(broken.lastIndexOf("status = 1"), 10, "status = x");
    world.write(QStringLiteral("user.gdb"), broken);
    world.writeSettings(kSettings + "[General]\r\nAutosave=0\r\n");
    TMainForm& f = open();
    f.createDialogs();
    ASSERT_EQ(prompts.errors, QStringList{QStringLiteral("'x' is not a valid integer value")});
    ASSERT_EQ(f.world().locations()[CharlieIndex].Status, Visited);

    prompts.answers = {true};
    EXPECT_TRUE(runOptions([&](QDialog& d) {
        showMiscPage(d);
        click(&d, "ButtonSetAllU");
        click(&d, "ButtonCancel");
    }));
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), broken);
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.bak")), broken);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), userData('1'));
}

TEST_F(CommandsTest, OptionsBadCaptionLengthStopsAtItsFieldAndStillWrites)
{
    TMainForm& f = openAtMarkerZoom();
    const Settings config = f.session().settings();
    const QSize maximum = f.maximumSize();
    prompts.fonts.push_back(QFont(QStringLiteral("DejaVu Serif"), 12));
    prompts.colors.push_back(QColor(200, 0, 100));
    EXPECT_TRUE(runOptions([&](QDialog& d) {
        click(&d, "ButtonSelectMapFont");
        auto* length = child<QLineEdit>(&d, "EditLL");
        length->setFocus();
        length->selectAll();
        QTest::keyClicks(length, QStringLiteral("abc"));
        EXPECT_EQ(length->text(), QStringLiteral("abc"));
        child<QLineEdit>(&d, "EditLM")->setText(QStringLiteral("3"));
        child<QSlider>(&d, "TrackBarTrans")->setValue(45);
        child<QCheckBox>(&d, "CBAutosave")->setChecked(false);
        child<QCheckBox>(&d, "CBKeepZoom")->setChecked(true);
        showMiscPage(d);
        click(&d, "ButtonM");
        click(&d, "ButtonOk");
    }));
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("'abc' is not a valid integer value")});

    // Fonts and colours come before the lengths and stay applied; nothing after them does.
    Settings expected = config;
    expected.MapFontName = QStringLiteral("DejaVu Serif");
    expected.MapFontSize = 12;
    expected.ColorMarker = 0x006400C8;
    EXPECT_EQ(f.session().settings(), expected);
    EXPECT_EQ(f.maximumSize(), maximum);
    EXPECT_EQ(f.session().objects().MapFont.family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(f.session().objects().MapFont.pixelSize(), 12);
    EXPECT_EQ(f.session().objects().PenMarker, QColor(200, 0, 100));
    EXPECT_GT(countColour(panel(), qRgb(200, 0, 100)), 0);
    EXPECT_EQ(storedSettings(), expected);
}

TEST_F(CommandsTest, OptionsKeepZoomSetsAndClearsTheSizeLimit)
{
    TMainForm& f = openAtMarkerZoom();
    ASSERT_FALSE(f.session().settings().KeepZoom);
    const QSize unlimited(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    EXPECT_EQ(f.maximumSize(), unlimited);

    EXPECT_TRUE(runOptions([&](QDialog& d) {
        child<QCheckBox>(&d, "CBKeepZoom")->setChecked(true);
        click(&d, "ButtonOk");
    }));
    EXPECT_TRUE(f.session().settings().KeepZoom);
    EXPECT_EQ(f.maximumSize(), Viewport::sizeLimit(2));
    EXPECT_EQ(f.maximumSize(), QSize(873, 1214));
    EXPECT_TRUE(IniFile(iniPath()).ReadBool(QStringLiteral("General"), QStringLiteral("KeepZoom"), false));

    EXPECT_TRUE(runOptions([&](QDialog& d) {
        EXPECT_TRUE(child<QCheckBox>(&d, "CBKeepZoom")->isChecked());
        child<QCheckBox>(&d, "CBKeepZoom")->setChecked(false);
        click(&d, "ButtonOk");
    }));
    EXPECT_FALSE(f.session().settings().KeepZoom);
    EXPECT_EQ(f.maximumSize(), unlimited);
}

// --- about ---

TEST_F(CommandsTest, AboutShowsEnglishFirstAndKeepsTheChosenLanguage)
{
    const QString english = QStringLiteral("Veldamar Interactive Map\nThe English read-me.");
    const QString russian = QString::fromUtf8("Интерактивная карта Велдамара\nПрочти меня.");
    writeFile(world.appPath(QStringLiteral("readme.txt")), english.toLatin1().replace("\n", "\r\n") + "\r\n");
    writeFile(world.appPath(QStringLiteral("readmerus.txt")), russian.toUtf8().replace("\n", "\r\n") + "\r\n");
    TMainForm& f = open();
    f.createDialogs();

    EXPECT_TRUE(runAbout([&](QDialog& d) {
        auto* memo = child<QPlainTextEdit>(&d, "MemoAbout");
        EXPECT_EQ(memo->toPlainText(), english);
        EXPECT_EQ(d.focusWidget(), child<QWidget>(&d, "ButtonOk"));
        click(&d, "ButtonRus");
        EXPECT_EQ(memo->toPlainText(), russian);
        click(&d, "ButtonOk");
    }));
    EXPECT_TRUE(runAbout([&](QDialog& d) {
        EXPECT_EQ(child<QPlainTextEdit>(&d, "MemoAbout")->toPlainText(), russian);
        click(&d, "ButtonOk");
    }));
    EXPECT_TRUE(prompts.errors.isEmpty());
}

// --- clipboard ---

class ClipboardTest : public CommandsTest {
protected:
    /** Copies with the tool button and checks the clipboard against what the panel shows. */
    QImage copyAndCheck()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("what was there before"));
        QTest::mouseClick(ui().ToolButtonClip, Qt::LeftButton);

        const QMimeData* data = clipboard->mimeData();
        EXPECT_NE(data, nullptr);
        if (!data)
            return {};
        EXPECT_TRUE(data->hasImage());
        EXPECT_FALSE(data->hasText());
        const QImage copy = clipboard->image().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(copy.size(), ui().PanelMap->size());
        EXPECT_EQ(differingPixels(copy, form->canvas().backBuffer()), 0);
        EXPECT_EQ(differingPixels(copy, ui().PanelMap->grab().toImage().convertToFormat(QImage::Format_RGB32)), 0);
        // Only the copy's own paint reaches the clipboard; later paints leave it alone.
        clipboard->setText(QStringLiteral("after the copy"));
        ui().PanelMap->repaint();
        EXPECT_EQ(clipboard->text(), QStringLiteral("after the copy"));
        return copy;
    }
};

TEST_F(ClipboardTest, CopyHoldsThePanelWithItsOverlays)
{
    TMainForm& f = openAtMarkerZoom();
    const QImage copy = copyAndCheck();
    EXPECT_EQ(copy.size(), QSize(330, 380));
    for (PackedColor c : {f.session().settings().ColorUnvisited, f.session().settings().ColorMarker,
                          f.session().settings().ColorSkarnels})
        EXPECT_GT(countColour(copy, rgbOf(c)), 0);
}

TEST_F(ClipboardTest, CopyOfASmallPictureKeepsTheMargins)
{
    TMainForm& f = open();
    ASSERT_EQ(f.view().zoomIndex(), 0);
    f.resize(560, 900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui().PanelMap->width() > 330 && ui().PanelMap->height() > 380; }, 2000));
    const QSize panelSize = ui().PanelMap->size();

    const QImage copy = copyAndCheck();
    ASSERT_EQ(copy.size(), panelSize);
    const QRgb background = rgbOf(BackgroundColor);
    // The 330 x 380 picture sits centred; the corners are background.
    for (QPoint corner : {QPoint(0, 0), QPoint(copy.width() - 1, 0), QPoint(0, copy.height() - 1),
                          QPoint(copy.width() - 1, copy.height() - 1)})
        EXPECT_EQ(copy.pixel(corner) & 0xFFFFFFu, background & 0xFFFFFFu) << corner.x() << "," << corner.y();
    EXPECT_NE(copy.pixel(copy.width() / 2, copy.height() / 2) & 0xFFFFFFu, background & 0xFFFFFFu);
    EXPECT_GE(countColour(copy, background), panelSize.width() * panelSize.height() - 330 * 380);
}

} // namespace
} // namespace vdm::test
