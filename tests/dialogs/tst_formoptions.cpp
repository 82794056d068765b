// SPDX-License-Identifier: MIT
#include "dialogs/formoptions.h"
#include "world/world.h"

#include "common/fakeprompts.h"
#include "common/testutils.h"
#include "data/errors.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace vdm {
namespace {

using test::FakePrompts;

Location place(const char* name, std::int32_t status, const char* note)
{
    Location l;
    l.Name = QByteArray(name);
    l.Status = status;
    l.Note = QByteArray(note);
    return l;
}

class FormOptionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings.MapFontName = QStringLiteral("Caption Face");
        settings.MapFontSize = 12;
        settings.HintFontName = QStringLiteral("Hint Face");
        settings.HintFontSize = 9;
        settings.ColorMarker = 0x00332211;
        settings.ColorShips = 0x01FF0000; // a stray top byte read from a hand-edited file
        settings.TextLength = 7;
        settings.MarkerLength = 4;
        settings.HintOpacity = 70;
        settings.ZoomLevelAA = 3;
        original = settings;
        originalLocations
            = {place("Ardel", Visited, "first"), place("Brem", Active, "second"), place("Cosk", Unvisited, "")};
        world = World(folder.path(), originalLocations, {});
        dialog = make(true);
    }

    std::unique_ptr<TFormOptions> make(bool extendedGraphics)
    {
        auto made = std::make_unique<TFormOptions>(settings, editor, world, prompts, nullptr, extendedGraphics);
        QObject::connect(made.get(), &TFormOptions::mapChanged, [this] { ++repaints; });
        // The dialog edits a copy; what it hands back on Ok is what its owner applies.
        QObject::connect(made.get(), &TFormOptions::settingsEdited, [this](const Settings& edited) {
            settings = edited;
            ++handedBack;
        });
        return made;
    }

    template <class T> T* child(const char* name) const
    {
        T* w = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    /** Runs the dialog modally; `whileOpen` acts as the user and must close it. */
    int run(const std::function<void()>& whileOpen) { return test::runModal(dialog.get(), whileOpen); }

    void click(const char* name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }
    void showPage(int index)
    {
        QTabBar* bar = child<QTabWidget>("PageControlMain")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    void typeInto(const char* name, const QString& text)
    {
        QLineEdit* edit = child<QLineEdit>(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    QColor swatchColor(const char* name)
    {
        QWidget* swatch = child<QWidget>(name);
        return swatch->grab().toImage().pixelColor(swatch->width() / 2, swatch->height() / 2);
    }

    Settings settings;
    Settings original;
    int handedBack = 0;
    World world;
    MapEditor editor{world};
    LocationList originalLocations;
    FakePrompts prompts;
    /** Where the world's user file goes; written only by a database button with autosave on. */
    QString userFile() const { return QDir(folder.path()).filePath(QStringLiteral("user.gdb")); }

    QTemporaryDir folder;
    int repaints = 0;
    std::unique_ptr<TFormOptions> dialog;
};

TEST_F(FormOptionsTest, FormCarriesItsCaptionsAndFixedSize)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Options"));
    EXPECT_EQ(dialog->minimumSize(), QSize(392, 417));
    EXPECT_EQ(dialog->maximumSize(), QSize(392, 417));
    EXPECT_TRUE(dialog->ExtendedGraphics());

    QTabWidget* pages = child<QTabWidget>("PageControlMain");
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(pages->tabText(1), QStringLiteral("Miscellaneous"));
    EXPECT_EQ(pages->currentIndex(), 0);

    EXPECT_EQ(child<QCheckBox>("CBAnti")->text(), QStringLiteral("Use map antialiasing for zoom level from")
                                                      + QString(25, QLatin1Char(' ')) + QStringLiteral("and above"));
    QComboBox* list = child<QComboBox>("ListZoomAA");
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    EXPECT_EQ(items, QStringList({"10 %", "20 %", "25 %", "33 %", "50 %", "100%", "200 %", "300 %"}));
    EXPECT_EQ(child<QPushButton>("ButtonSetAllU")->text(),
              QStringLiteral("Set status for all locations to \"Unvisited\""));
    EXPECT_TRUE(child<QPushButton>("ButtonOk")->isDefault());

    QSlider* track = child<QSlider>("TrackBarTrans");
    EXPECT_EQ(track->minimum(), 0);
    EXPECT_EQ(track->maximum(), 100);
    EXPECT_EQ(track->tickInterval(), 10);
    EXPECT_EQ(child<QWidget>("ShapeMR")->geometry(), QRect(176, 176, 97, 17));
}

TEST_F(FormOptionsTest, EverythingShowsWholeAtThePlatformFontAndAtOneAndAHalfTimesIt)
{
    for (const double scale : {1.0, 1.5}) {
        SCOPED_TRACE(scale);
        std::unique_ptr<TFormOptions> form = make(true);
        QFont font = form->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        form->setFont(font);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QTabWidget* pages = form->findChild<QTabWidget*>(QStringLiteral("PageControlMain"));
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            QCoreApplication::processEvents();
            for (QWidget* w : form->findChildren<QWidget*>()) {
                QWidget* parent = w->parentWidget();
                const bool placed
                    = parent == form.get() || qobject_cast<QGroupBox*>(parent) || (pages->indexOf(parent) >= 0);
                if (!placed || !w->isVisibleTo(form.get()))
                    continue;
                SCOPED_TRACE(w->objectName().toStdString());
                EXPECT_TRUE(parent->rect().contains(w->geometry()))
                    << "at " << w->geometry().x() << "," << w->geometry().y() << " " << w->width() << "x" << w->height()
                    << " in " << parent->width() << "x" << parent->height();
                if (auto* button = qobject_cast<QPushButton*>(w)) {
                    // Its text and a frame; the style's own padding is more than the form ever had.
                    EXPECT_GT(w->width(), w->fontMetrics().horizontalAdvance(button->text()));
                    EXPECT_GT(w->height(), w->fontMetrics().height());
                } else if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
                    EXPECT_GE(w->width(), w->sizeHint().width());
                    EXPECT_GE(w->height(), w->sizeHint().height());
                } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) {
                    EXPECT_GT(w->height(), w->fontMetrics().height());
                }
            }
        }
        // Each page whole inside the tab widget, the buttons below it.
        for (int i = 0; i < pages->count(); ++i)
            EXPECT_TRUE(pages->rect().contains(
                pages->widget(i)->geometry().translated(pages->widget(i)->parentWidget()->pos())));
        EXPECT_GE(form->findChild<QWidget*>(QStringLiteral("ButtonOk"))->y(), pages->geometry().bottom());
        form->reject();
    }
}

TEST_F(FormOptionsTest, EveryEditedKeyNamesOneOfTheDialogsControls)
{
    int edited = 0;
    for (const SettingKey& key : settingKeys()) {
        if (key.editor.isEmpty())
            continue;
        ++edited;
        EXPECT_NE(dialog->findChild<QWidget*>(key.editor.toString()), nullptr) << qPrintable(key.editor.toString());
    }
    EXPECT_EQ(edited, 21); // four font labels, seven swatches, two fields, six boxes, the zoom list, the track bar
}

TEST_F(FormOptionsTest, ShowingLoadsTheControlsFromTheSettings)
{
    const int result = run([this] {
        EXPECT_EQ(child<QLabel>("STMapFontName")->text(), QStringLiteral("Caption Face"));
        EXPECT_EQ(child<QLabel>("STMapFontSize")->text(), QStringLiteral("12"));
        EXPECT_EQ(child<QLabel>("STHintFontName")->text(), QStringLiteral("Hint Face"));
        EXPECT_EQ(child<QLabel>("STHintFontSize")->text(), QStringLiteral("9"));
        EXPECT_EQ(child<QLineEdit>("EditLL")->text(), QStringLiteral("7"));
        EXPECT_EQ(child<QLineEdit>("EditLM")->text(), QStringLiteral("4"));
        EXPECT_EQ(child<QLabel>("STTrans")->text(), QStringLiteral("30 %"));
        EXPECT_EQ(child<QComboBox>("ListZoomAA")->currentText(), QStringLiteral("33 %"));
        // Packed 0x00BBGGRR: red is the low byte.
        EXPECT_EQ(swatchColor("ShapeM"), QColor(0x11, 0x22, 0x33));
        EXPECT_EQ(swatchColor("ShapeHR"), QColor(0, 0, 0xFF));
        dialog->reject();
    });
    EXPECT_EQ(result, QDialog::Rejected);

    // Every showing reloads, whatever the controls were left holding.
    settings.TextLength = 15;
    settings.HintOpacity = 100;
    run([this] {
        EXPECT_EQ(child<QLineEdit>("EditLL")->text(), QStringLiteral("15"));
        EXPECT_EQ(child<QLabel>("STTrans")->text(), QStringLiteral("0 %"));
        dialog->reject();
    });
}

TEST_F(FormOptionsTest, CancelChangesNothing)
{
    prompts.colors.push_back(QColor(1, 2, 3));
    prompts.fonts.push_back(QFont(QStringLiteral("Other Face"), 20));
    const int result = run([this] {
        typeInto("EditLL", QStringLiteral("99"));
        click("CBRestore");
        click("CBAnti");
        click("ButtonSelectMapFont");
        child<QSlider>("TrackBarTrans")->setValue(80);
        showPage(1);
        click("ButtonU");
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(settings, original);
    EXPECT_EQ(handedBack, 0); // nothing handed back for the owner to apply
    EXPECT_EQ(world.locations(), originalLocations);
}

TEST_F(FormOptionsTest, OkWithoutChangesKeepsEverySettingExactly)
{
    for (const bool byEnter : {false, true}) {
        const int result = run([this, byEnter] {
            if (byEnter) {
                QTest::keyClick(dialog.get(), Qt::Key_Return);
            } else
                click("ButtonOk");
        });
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(settings, original) << "by Enter: " << byEnter;
    }
    EXPECT_EQ(handedBack, 2); // once per Ok
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(FormOptionsTest, AntialiasingBoxDrivesTheZoomList)
{
    run([this] {
        QCheckBox* anti = child<QCheckBox>("CBAnti");
        QComboBox* list = child<QComboBox>("ListZoomAA");
        ASSERT_TRUE(anti->isChecked());
        ASSERT_EQ(list->currentIndex(), 3);

        click("CBAnti");
        EXPECT_FALSE(list->isEnabled());
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_EQ(list->currentText(), QString());

        click("CBAnti");
        EXPECT_TRUE(list->isEnabled());
        EXPECT_EQ(list->currentText(), QStringLiteral("100%"));
        click("ButtonOk");
    });
    EXPECT_TRUE(settings.MapAA);
    EXPECT_EQ(settings.ZoomLevelAA, 5);
}

TEST_F(FormOptionsTest, AScreenReaderReadsWhatTheZoomListIsFor)
{
    // The list's own name is the entry it shows; what it sets is told by the labels it is
    // labelled by, the first of them a label of its own (the box it stands in comes after).
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(child<QComboBox>("ListZoomAA"));
    ASSERT_NE(list, nullptr);
    const auto labels = list->relations(QAccessible::Label);
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.first().first->text(QAccessible::Name).toStdString(), "Antialiasing from zoom level");
    // The label is not shown: the dialog looks as it did.
    const QLabel* label = child<QLabel>("LabelZoomAA");
    EXPECT_TRUE(label->isHidden());
    EXPECT_EQ(label->buddy(), child<QComboBox>("ListZoomAA"));
}

TEST_F(FormOptionsTest, AntialiasingOffAtShowingKeepsTheStoredLevel)
{
    settings.MapAA = false;
    run([this] {
        QComboBox* list = child<QComboBox>("ListZoomAA");
        EXPECT_FALSE(child<QCheckBox>("CBAnti")->isChecked());
        EXPECT_FALSE(list->isEnabled());
        EXPECT_EQ(list->currentText(), QString());
        click("ButtonOk");
    });
    EXPECT_FALSE(settings.MapAA);
    EXPECT_EQ(settings.ZoomLevelAA, 3);
}

TEST_F(FormOptionsTest, TrackBarShowsTransparencyAndOkStoresOpacity)
{
    run([this] {
        child<QSlider>("TrackBarTrans")->setValue(45);
        EXPECT_EQ(child<QLabel>("STTrans")->text(), QStringLiteral("45 %"));
        click("ButtonOk");
    });
    EXPECT_EQ(settings.HintOpacity, 55);
}

TEST_F(FormOptionsTest, ChosenColourFillsTheSwatchAndIsStoredPacked)
{
    prompts.colors.push_back(QColor(0x10, 0x80, 0xF0));
    prompts.colors.push_back(std::nullopt); // the second chooser is cancelled
    run([this] {
        showPage(1);
        click("ButtonV");
        EXPECT_EQ(swatchColor("ShapeV"), QColor(0x10, 0x80, 0xF0));
        click("ButtonM");
        EXPECT_EQ(swatchColor("ShapeM"), QColor(0x11, 0x22, 0x33));
        click("ButtonOk");
    });
    ASSERT_EQ(prompts.colorPresets.size(), 2);
    EXPECT_EQ(prompts.colorPresets[0], QColor(0xFF, 0xA0, 0x40)); // the default visited colour
    EXPECT_EQ(settings.ColorVisited, 0x00F08010);
    EXPECT_EQ(settings.ColorMarker, 0x00332211);
    EXPECT_EQ(settings.ColorShips, 0x01FF0000);
}

TEST_F(FormOptionsTest, BoldFontIsStoredByFaceAndSizeOnly)
{
    QFont bold(QStringLiteral("DejaVu Sans"), 14, QFont::Bold);
    bold.setItalic(true);
    prompts.fonts.push_back(bold);
    prompts.fonts.push_back(std::nullopt);
    run([this] {
        click("ButtonSelectMapFont");
        EXPECT_EQ(child<QLabel>("STMapFontName")->text(), QStringLiteral("DejaVu Sans"));
        EXPECT_EQ(child<QLabel>("STMapFontSize")->text(), QStringLiteral("14"));
        click("ButtonSelectHintFont"); // cancelled: the labels stay
        EXPECT_EQ(child<QLabel>("STHintFontName")->text(), QStringLiteral("Hint Face"));
        click("ButtonOk");
    });
    ASSERT_EQ(prompts.fontPresets.size(), 2);
    EXPECT_EQ(prompts.fontPresets[0].family(), QStringLiteral("Caption Face"));
    EXPECT_EQ(prompts.fontPresets[0].pointSize(), 12);
    EXPECT_EQ(prompts.fontPresets[1].family(), QStringLiteral("Hint Face"));
    EXPECT_EQ(prompts.fontPresets[1].pointSize(), 9);
    EXPECT_EQ(settings.MapFontName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(settings.MapFontSize, 14);
    EXPECT_EQ(settings.HintFontName, QStringLiteral("Hint Face"));
    EXPECT_EQ(settings.HintFontSize, 9);
}

// The real chooser offers a face that is not installed as the one drawn in its place, and
// a size it cannot show as its own default; Ok there without picking anything is no choice.
TEST_F(FormOptionsTest, FontChooserAcceptedUntouchedKeepsTheStoredFonts)
{
    settings.MapFontName = QStringLiteral("MS Sans Serif");
    settings.MapFontSize = 8;
    settings.HintFontName = QStringLiteral("Arial");
    settings.HintFontSize = 0;
    const Settings before = settings;
    WidgetPrompts real;
    TFormOptions form(settings, editor, world, real, nullptr, true);
    QTimer pressOk; // presses the chooser's Ok as soon as it is up
    QObject::connect(&pressOk, &QTimer::timeout, [] {
        if (auto* chooser = qobject_cast<QFontDialog*>(QApplication::activeModalWidget()))
            chooser->accept();
    });
    pressOk.start(10);
    test::runModal(&form, [&form] {
        for (const char* button : {"ButtonSelectMapFont", "ButtonSelectHintFont"})
            QTest::mouseClick(form.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("STMapFontName"))->text(), QStringLiteral("MS Sans Serif"));
        EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("STHintFontSize"))->text(), QStringLiteral("0"));
        form.findChild<QPushButton*>(QStringLiteral("ButtonOk"))->click();
    });
    EXPECT_EQ(settings, before);
}

TEST_F(FormOptionsTest, BadCaptionLengthStopsAtThatFieldButStillCloses)
{
    prompts.fonts.push_back(QFont(QStringLiteral("Chosen Face"), 11));
    prompts.colors.push_back(QColor(0, 0, 0));
    const int result = run([this] {
        click("ButtonSelectHintFont");
        typeInto("EditLL", QStringLiteral("12a"));
        typeInto("EditLM", QStringLiteral("33"));
        child<QSlider>("TrackBarTrans")->setValue(10);
        click("CBRestore");
        click("CBKeepZoom");
        showPage(1);
        click("ButtonA");
        click("ButtonOk");
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("'12a' is not a valid integer value")});

    Settings expected = original;
    expected.HintFontName = QStringLiteral("Chosen Face");
    expected.HintFontSize = 11;
    expected.ColorActive = 0;
    EXPECT_EQ(settings, expected);
}

TEST_F(FormOptionsTest, OptionBoxesTurnTheirOptionsOnAndOff)
{
    const struct {
        const char* box;
        int page; // the tab it stands on
        bool Settings::*member;
    } options[] = {{"CBZoomAtPointer", 0, &Settings::ZoomAtPointer},
                   {"CBHideOverlappingCaptions", 1, &Settings::HideOverlappingCaptions}};
    for (const auto& option : options) {
        EXPECT_FALSE(settings.*option.member) << option.box;
        EXPECT_FALSE(child<QCheckBox>(option.box)->accessibleName().isEmpty()) << option.box;
        for (const bool expected : {true, false}) {
            run([this, &option] {
                showPage(option.page);
                // On the box itself: a short label leaves the rest of the row unclickable.
                QCheckBox* box = child<QCheckBox>(option.box);
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
                click("ButtonOk");
            });
            EXPECT_EQ(settings.*option.member, expected) << option.box;
        }
    }
}

TEST_F(FormOptionsTest, SignedIntegersAndKeepZoomLimitTheWindow)
{
    run([this] {
        typeInto("EditLL", QStringLiteral(" -3"));
        typeInto("EditLM", QStringLiteral("+25"));
        click("CBKeepZoom");
        click("ButtonOk");
    });
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(settings.TextLength, -3);
    EXPECT_EQ(settings.MarkerLength, 25);
    EXPECT_TRUE(settings.KeepZoom);
}

TEST_F(FormOptionsTest, EditsDropCharactersTheCodePageCannotHold)
{
    run([this] {
        typeInto("EditLL", QStringLiteral("1"));
        // QTest types only ASCII; a character beyond the code page comes as a raw key event.
        QKeyEvent han(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x4E00)));
        QApplication::sendEvent(child<QLineEdit>("EditLL"), &han);
        QTest::keyClicks(child<QLineEdit>("EditLL"), QStringLiteral("2"));
        EXPECT_EQ(child<QLineEdit>("EditLL")->text(), QStringLiteral("12"));
        click("ButtonOk");
    });
    EXPECT_EQ(settings.TextLength, 12);
}

TEST_F(FormOptionsTest, AnsweringNoToTheWarningChangesNoLocation)
{
    run([this] {
        showPage(1);
        click("ButtonSetAllU");
        click("ButtonClearNotes");
        click("ButtonCancel");
    });
    EXPECT_EQ(prompts.questions, QStringList(2, QStringLiteral("Warning!|There is no undo. Are you sure?")));
    EXPECT_EQ(world.locations(), originalLocations);
    EXPECT_FALSE(QFileInfo::exists(userFile()));
    EXPECT_EQ(repaints, 2);
}

TEST_F(FormOptionsTest, BulkEditsActAtOnceAndSurviveCancel)
{
    struct Case {
        const char* button;
        bool autosave;
    };
    for (const Case c : {Case{"ButtonSetAllU", true}, Case{"ButtonSetAllU", false}, Case{"ButtonClearNotes", true}}) {
        SCOPED_TRACE(c.button);
        QFile::remove(userFile());
        world = World(folder.path(), originalLocations, {});
        settings.Autosave = c.autosave;
        repaints = 0;
        prompts.answers = {true};
        const int result = run([this, c] {
            showPage(1);
            click(c.button);
            click("ButtonCancel");
        });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_EQ(QFileInfo::exists(userFile()), c.autosave);
        EXPECT_EQ(repaints, 1);
        for (std::size_t i = 0; i < world.locations().size(); ++i) {
            if (QByteArray(c.button) == "ButtonSetAllU") {
                EXPECT_EQ(world.locations()[i].Status, Unvisited);
                EXPECT_EQ(world.locations()[i].Note, originalLocations[i].Note);
            } else {
                EXPECT_EQ(world.locations()[i].Status, originalLocations[i].Status);
                EXPECT_TRUE(world.locations()[i].Note.isEmpty());
            }
        }
        // The whole bulk edit is one step of the editor's history.
        editor.undo();
        EXPECT_EQ(world.locations(), originalLocations);
        editor.redo();
        EXPECT_NE(world.locations(), originalLocations);
    }
}

TEST_F(FormOptionsTest, FailedAutosaveIsReportedAfterTheMapIsRepainted)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("user.gdb"))); // no file can replace a folder
    prompts.answers = {true};
    run([this] {
        showPage(1);
        click("ButtonClearNotes");
        click("ButtonCancel");
    });
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("Unable to write to %1").arg(userFile())});
    EXPECT_EQ(repaints, 1);
    for (const Location& l : world.locations())
        EXPECT_TRUE(l.Note.isEmpty());
}

TEST_F(FormOptionsTest, WithoutExtendedGraphicsHintsStayOpaqueAndMapUnsmoothed)
{
    dialog = make(false);
    EXPECT_FALSE(dialog->ExtendedGraphics());
    run([this] {
        EXPECT_FALSE(child<QSlider>("TrackBarTrans")->isEnabled());
        EXPECT_FALSE(child<QCheckBox>("CBAnti")->isEnabled());
        EXPECT_FALSE(child<QCheckBox>("CBAnti")->isChecked());
        EXPECT_FALSE(child<QComboBox>("ListZoomAA")->isEnabled());
        EXPECT_EQ(child<QComboBox>("ListZoomAA")->currentIndex(), -1);
        EXPECT_EQ(child<QLabel>("STTrans")->text(), QStringLiteral("0 %"));
        click("ButtonOk");
    });
    EXPECT_EQ(settings.HintOpacity, 100);
    EXPECT_FALSE(settings.MapAA);
    EXPECT_EQ(settings.ZoomLevelAA, 3);
}

} // namespace
} // namespace vdm
