// SPDX-License-Identifier: MIT
// Choosing locations, statuses and notes on the real main window, and what reaches the disk.
#include "app/mainformfixture.h"
#include "app/noteedit.h"
#include "app/typingpause.h"
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/codepage.h"
#include "data/userdb.h"
#include "map/mappainter.h"
#include "world/datalocations.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QToolButton>

namespace vdm::test {
namespace {

QByteArray userBlock(const QByteArray& name, int status, const QByteArray& note)
{
    return "loc\r\n   nm = " + name + "\r\n   status = " + QByteArray::number(status) + "\r\n   note = " + note
           + "\r\nend\r\n";
}

/** The note lines of a user database, in block order, without their label. */
QList<QByteArray> notesIn(const QByteArray& file)
{
    QList<QByteArray> notes;
    for (const QByteArray& line : file.split('\n'))
        if (line.startsWith("   note = "))
            notes << line.mid(10).chopped(1); // the CR of the line end
    return notes;
}

QList<int> statusesIn(const QByteArray& file)
{
    QList<int> statuses;
    for (const QByteArray& line : file.split('\n'))
        if (line.startsWith("   status = "))
            statuses << line.mid(12, 1).toInt();
    return statuses;
}

class EditTest : public MainFormTest {
protected:
    TNoteEdit* memo() { return ui().MemoNotes; }

    /** Panel point of a location (where its frame is centred). */
    QPoint at(int location) const
    {
        const Location& l = form->world().locations()[size_t(location)];
        return form->view().mapToPanel(l.X, l.Y);
    }
    /** Types into the note editor; characters beyond ASCII arrive as a key event's text. */
    void type(const QString& text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.unicode() < 128) {
                QTest::keyClick(memo(), char(c.unicode()));
                continue;
            }
            QString unit(c);
            if (c.isHighSurrogate() && i + 1 < text.size())
                unit += text[++i];
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, unit);
            QApplication::sendEvent(memo(), &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, unit);
            QApplication::sendEvent(memo(), &release);
        }
    }
    void paste(const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(memo(), Qt::Key_V, Qt::ControlModifier);
    }
    QColor frameColour(int location) const
    {
        const QPoint q = at(location);
        return form->canvas().backBuffer().pixelColor(q.x() - 3, q.y() - 3);
    }
    bool exists(const QString& name) const { return QFileInfo::exists(world.path(name)); }
    void setAutosave(bool on) const
    {
        world.writeSettings(on ? QByteArray("[General]\r\nAutosave=1\r\n") : QByteArray("[General]\r\nAutosave=0\r\n"));
    }

    /** Three locations well apart at 10 %, and their user data. */
    void writeTrees()
    {
        writeLocations({locationRecord("Cedar", 0, 0, 0), locationRecord("Birch", 0, 40000, 60000),
                        locationRecord("Aspen", 0, -50000, 120000)});
        world.write(QStringLiteral("user.gdb"),
                    userBlock("Cedar", 1, "") + userBlock("Birch", 2, "bee hive") + userBlock("Aspen", 3, "old well"));
    }
};

// --- selection -------------------------------------------------------------------------

TEST_F(EditTest, ChoosingFromTheListShowsTheLocationWithTheBoxClosed)
{
    writeTrees();
    open();
    // The alphabetically first entry is shown at start.
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Aspen "));
    EXPECT_TRUE(ui().SBV->isChecked());
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("old well"));

    ui().CBLoc->setFocus();
    QTest::keyClick(ui().CBLoc, Qt::Key_Down);
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Birch "));
    EXPECT_EQ(form->editor().SelectedIndex(), 1);
    EXPECT_TRUE(ui().SBA->isChecked());
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("bee hive"));
    EXPECT_FALSE(ui().GBLoc->isEnabled());
    EXPECT_FALSE(form->editor().EditMarkerMode());

    ui().CBLoc->setCurrentIndex(2);
    form->CBLocChange();
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Cedar "));
    EXPECT_EQ(form->editor().SelectedIndex(), 0);
    EXPECT_TRUE(ui().SBU->isChecked());
    EXPECT_TRUE(memo()->toPlainText().isEmpty());

    // The box is closed: its status buttons cannot be pressed.
    const QByteArray before = world.read(QStringLiteral("user.gdb"));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    EXPECT_EQ(form->world().locations()[0].Status, Unvisited);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), before);
}

TEST_F(EditTest, DoubleClickOpensTheBoxAndASingleClickClosesIt)
{
    writeTrees();
    open();
    doubleClickAt(at(1));
    EXPECT_EQ(ui().CBLoc->currentText(), QStringLiteral("Birch"));
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Birch "));
    EXPECT_EQ(form->editor().SelectedIndex(), 1);
    EXPECT_TRUE(ui().GBLoc->isEnabled());
    EXPECT_EQ(form->focusWidget(), memo());
    EXPECT_TRUE(form->editor().EditMarkerMode());
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("bee hive"));

    // Choosing from the list moves the open box.
    ui().CBLoc->setCurrentIndex(0);
    form->CBLocChange();
    EXPECT_TRUE(ui().GBLoc->isEnabled());
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Aspen "));

    clickAt(QPoint(5, 5));
    EXPECT_FALSE(ui().GBLoc->isEnabled());
    EXPECT_FALSE(form->editor().EditMarkerMode());
    EXPECT_EQ(form->editor().SelectedIndex(), 2);

    // A double click on empty map opens nothing.
    doubleClickAt(QPoint(5, 5));
    EXPECT_FALSE(ui().GBLoc->isEnabled());
}

TEST_F(EditTest, FilteredOutLocationCannotBeDoubleClickedButTheGoHighlightedOneCan)
{
    writeTrees();
    open();
    QTest::mouseClick(ui().ToolButtonSV, Qt::LeftButton); // hide visited locations: Aspen
    ASSERT_FALSE(form->session().settings().ShowVisited);
    ui().CBLoc->setCurrentIndex(1); // Birch
    form->CBLocChange();

    doubleClickAt(at(2));
    EXPECT_FALSE(ui().GBLoc->isEnabled());
    EXPECT_EQ(form->editor().SelectedIndex(), 1);

    ui().CBLoc->setCurrentIndex(0); // Aspen
    form->CBLocChange();
    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    ASSERT_EQ(form->highlight().index(), 2);
    ui().CBLoc->setCurrentIndex(1);
    form->CBLocChange();
    doubleClickAt(at(2));
    EXPECT_TRUE(ui().GBLoc->isEnabled());
    EXPECT_EQ(form->editor().SelectedIndex(), 2);
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Aspen "));
}

TEST_F(EditTest, OfTwoLocationsWithinReachTheEarlierInFileOrderIsSelected)
{
    writeLocations({locationRecord("Zulu", 0, 0, 0), locationRecord("Alpha", 0, 1800, 0)});
    open();
    const QPoint pointer = at(0) + QPoint(1, 0);
    for (int i : {0, 1}) {
        ASSERT_LT(qAbs(at(i).x() - pointer.x()), 5);
        ASSERT_LT(qAbs(at(i).y() - pointer.y()), 5);
    }
    ASSERT_EQ(ui().CBLoc->itemText(0), QStringLiteral("Alpha"));
    doubleClickAt(pointer);
    EXPECT_EQ(form->editor().SelectedIndex(), 0);
    EXPECT_EQ(ui().CBLoc->currentText(), QStringLiteral("Zulu"));
}

TEST_F(EditTest, EmptyLocationListLeavesTheCaptionTwoBlanks)
{
    world.write(QStringLiteral("vdmain.gdb"), QByteArray());
    open();
    EXPECT_EQ(ui().CBLoc->count(), 0);
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral("  "));
    doubleClickAt(QPoint(165, 190));
    EXPECT_FALSE(ui().GBLoc->isEnabled());
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(EditTest, AfterADatabaseErrorTheListAndTheBoxShowTheSameFirstLocation)
{
    struct Case {
        const char* what;
        QByteArray locations, user;
        QString error, first, note;
        int index;
    };
    const QByteArray trees = locationRecord("Cedar", 0, 0, 0) + locationRecord("Birch", 0, 40000, 60000)
                             + locationRecord("Aspen", 0, -50000, 120000);
    QByteArray badLevel = locationRecord("Alder", 0, 0, 0);
    badLevel.replace("lv= 0", "lv= x");
    const Case cases[] = {
        {"a user block too many", trees,
         userBlock("Cedar", 1, "") + userBlock("Birch", 2, "bee hive") + userBlock("Aspen", 3, "old well")
             + userBlock("Extra", 1, ""),
         QStringLiteral("List index out of bounds (3)"), QStringLiteral("Aspen"), QStringLiteral("old well"), 2},
        {"a location record without a level",
         locationRecord("Zeta", 0, 0, 0) + locationRecord("Beta", 0, 100, 0) + badLevel, QByteArray(),
         QStringLiteral("'x' is not a valid integer value"), QStringLiteral("Beta"), QString(), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world.write(QStringLiteral("vdmain.gdb"), c.locations);
        world.write(QStringLiteral("user.gdb"), c.user);
        prompts.errors.clear();
        open();
        ASSERT_EQ(prompts.errors, QStringList{c.error});
        EXPECT_EQ(ui().CBLoc->currentText(), c.first);
        EXPECT_EQ(ui().GBLoc->title(), QLatin1Char(' ') + c.first + QLatin1Char(' '));
        EXPECT_EQ(form->editor().SelectedIndex(), c.index);
        EXPECT_EQ(memo()->toPlainText(), c.note);
        EXPECT_FALSE(ui().GBLoc->isEnabled());
        close();
    }
}

TEST_F(EditTest, ALocationNamedEditMarkerIsEditedAsALocation)
{
    // Its caption reads exactly as the box's caption for a marker does.
    writeLocations({locationRecord("Edit marker", 0, 0, 0), locationRecord("Birch", 0, -100000, -100000)});
    const QByteArray markers = "marker\r\n   text = Camp\r\n   pos = 20000,0\r\nend\r\n";
    world.write(QStringLiteral("markers.gdb"), markers);
    open();
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    const Location& camp = form->world().markers()[0];
    moveTo(form->view().mapToPanel(camp.X, camp.Y)); // the marker last hovered
    ASSERT_EQ(form->editor().EditedMarker(), 0);

    doubleClickAt(at(0));
    ASSERT_EQ(ui().GBLoc->title(), QStringLiteral(" Edit marker "));
    EXPECT_TRUE(ui().SBU->isEnabled());
    type(QStringLiteral("ruined tower"));
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray("ruined tower"));
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb"))), (QList<QByteArray>{"ruined tower", ""}));
    EXPECT_EQ(form->world().markers()[0].Name, QByteArray("Camp"));
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), markers);

    // Deleting all markers leaves a box open on a location as it is.
    prompts.answers = {true};
    QTest::mouseClick(ui().ToolButtonClearM, Qt::LeftButton);
    EXPECT_TRUE(ui().GBLoc->isEnabled());
    EXPECT_TRUE(form->editor().EditMarkerMode());
    close();
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb"))), (QList<QByteArray>{"ruined tower", ""}));
}

TEST_F(EditTest, ABigWorldsKeystrokeLeavesTheWriteToTheWriterAndTheCloseWaitsForIt)
{
    // Cedar where a double click finds it, and enough places hidden at 10 % that
    // "user.gdb" is too big to be written within a frame.
    QByteArray locations = locationRecord("Cedar", 0, 0, 0);
    LocationList user(1);
    user[0].Name = "Cedar";
    for (int i = 0; i < 20000; ++i) {
        const QByteArray name = "Hamlet " + QByteArray::number(i);
        locations += locationRecord(name, 7, 100000, 150000);
        Location l;
        l.Name = name;
        l.Note = "a note long enough to make the file big " + QByteArray::number(i);
        user.push_back(l);
    }
    world.write(QStringLiteral("vdmain.gdb"), locations);
    world.write(QStringLiteral("user.gdb"), writeUserData(user));
    open();
    doubleClickAt(at(0));
    ASSERT_TRUE(form->editor().EditMarkerMode());

    // The handler returns before the file holds the key; the window's loop takes the
    // writer's news and the file follows within moments.
    type(QStringLiteral("moss"));
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray("moss"));
    QElapsedTimer waited;
    waited.start();
    while (notesIn(world.read(QStringLiteral("user.gdb")))[0] != "moss" && waited.elapsed() < 10000)
        QTest::qWait(5);
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray("moss"));

    // A failing write is told once, however many keys follow it.
    bool diskFull = true;
    AtomicFile::setFaultInjector(
        [&](AtomicFile::Step step) { return !(diskFull && step == AtomicFile::Step::Rename); });
    const auto restore = qScopeGuard([] { AtomicFile::setFaultInjector({}); });
    for (const char* key : {"y", "e", "s"}) {
        type(QLatin1String(key));
        waited.restart();
        while (form->world().userDataWritePending() && waited.elapsed() < 10000)
            QTest::qWait(5);
        QTest::qWait(20); // the news reaches the window's loop
    }
    // Its box waits for a pause in the typing.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !prompts.errors.isEmpty(); }, 10000));
    EXPECT_EQ(prompts.errors.size(), 1) << prompts.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray("moss"));

    // The close waits for the writer and writes the newest note itself.
    diskFull = false;
    type(QStringLiteral("!"));
    close();
    const QList<QByteArray> notes = notesIn(world.read(QStringLiteral("user.gdb")));
    EXPECT_EQ(notes[0], QByteArray("mossyes!"));
    EXPECT_EQ(notes[20000], QByteArray("a note long enough to make the file big 19999"));
    EXPECT_EQ(prompts.errors.size(), 1);
}

// --- statuses ------------------------------------------------------------------------

TEST_F(EditTest, StatusButtonsRecolourTheFrameAtOnceAndAutosave)
{
    writeTrees();
    open();
    doubleClickAt(at(0));
    const Settings& c = form->session().settings();
    EXPECT_EQ(frameColour(0), packedToColor(c.ColorUnvisited));

    struct Step {
        QAbstractButton* button;
        int status;
        PackedColor colour;
    };
    const Step steps[] = {{ui().SBV, Visited, c.ColorVisited},
                          {ui().SBA, Active, c.ColorActive},
                          {ui().SBU, Unvisited, c.ColorUnvisited}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.status);
        // Straight after the handler, without any event processing: the repaint is done.
        QTest::mouseClick(s.button, Qt::LeftButton);
        EXPECT_EQ(form->world().locations()[0].Status, s.status);
        EXPECT_EQ(frameColour(0), packedToColor(s.colour));
        EXPECT_EQ(statusesIn(world.read(QStringLiteral("user.gdb"))), (QList<int>{s.status, 2, 3}));
    }
}

TEST_F(EditTest, WithoutAutosaveStatusesAndNotesWaitForTheClose)
{
    writeLocations({locationRecord("Cedar", 0, 0, 0)});
    setAutosave(false);
    open();
    doubleClickAt(at(0));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    EXPECT_EQ(frameColour(0), packedToColor(form->session().settings().ColorVisited));
    type(QStringLiteral("moss"));
    EXPECT_FALSE(exists(QStringLiteral("user.gdb")));
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), userBlock("Cedar", 3, "moss"));
}

// --- notes ---------------------------------------------------------------------------

TEST_F(EditTest, EachKeystrokeRewritesTheUserDatabase)
{
    writeTrees();
    open();
    doubleClickAt(at(0));
    const QString typed = QStringLiteral("ab c ");
    const QByteArray stored[] = {"a", "ab", "ab", "ab c", "ab c"};
    for (int i = 0; i < typed.size(); ++i) {
        SCOPED_TRACE(i);
        // Removed before each key, so only a rewrite brings it back.
        ASSERT_TRUE(QFile::remove(world.path(QStringLiteral("user.gdb"))));
        type(typed.mid(i, 1));
        ASSERT_TRUE(exists(QStringLiteral("user.gdb")));
        EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb"))),
                  (QList<QByteArray>{stored[i], "bee hive", "old well"}));
    }
    // A trailing blank is stored trimmed while the editor keeps it.
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("ab c "));
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray("ab c"));
}

TEST_F(EditTest, OnlyBlanksStoreAnEmptyNote)
{
    writeTrees();
    open();
    doubleClickAt(at(1));
    memo()->selectAll();
    type(QStringLiteral("   "));
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("   "));
    EXPECT_EQ(form->world().locations()[1].Note, QByteArray());
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[1], QByteArray());
}

TEST_F(EditTest, PastedLineBreaksBecomeBlanksOnOneLine)
{
    writeTrees();
    open();
    doubleClickAt(at(0));
    paste(QStringLiteral("first line\r\nsecond\nthird\r"));
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("first line second third "));
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray("first line second third"));
    const QByteArray file = world.read(QStringLiteral("user.gdb"));
    EXPECT_EQ(file.count('\n'), 15); // still three blocks of five lines
    EXPECT_EQ(notesIn(file), (QList<QByteArray>{"first line second third", "bee hive", "old well"}));
}

TEST_F(EditTest, CharactersOutsideTheCodePageAreRefused)
{
    writeTrees();
    open();
    doubleClickAt(at(0));
    type(QString::fromUtf16(u"\u041a\u0438\u0435\u0432")); // Cyrillic
    type(QString::fromUtf16(u"\U0001F600"));               // an emoji, one surrogate pair
    EXPECT_TRUE(memo()->toPlainText().isEmpty());
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray());

    type(QString::fromUtf16(u"\u00e9t\u00e9 \u20ac"));
    paste(QString::fromUtf16(u" \u0416x\U0001F600y"));
    EXPECT_EQ(memo()->toPlainText(), QString::fromUtf16(u"\u00e9t\u00e9 \u20ac xy"));
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray("\xE9t\xE9 \x80 xy"));
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray("\xE9t\xE9 \x80 xy"));
}

TEST_F(EditTest, TheEditorHoldsAtMost255Characters)
{
    writeTrees();
    open();
    doubleClickAt(at(0));
    QTest::keyClicks(memo(), QString(260, QLatin1Char('k')));
    EXPECT_EQ(memo()->toPlainText(), QString(255, QLatin1Char('k')));
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray(255, 'k'));

    paste(QStringLiteral("more"));
    EXPECT_EQ(memo()->toPlainText().size(), 255);

    // A paste over a selection takes only what fits.
    memo()->selectAll();
    paste(QString(300, QLatin1Char('p')));
    EXPECT_EQ(form->world().locations()[0].Note, QByteArray(255, 'p'));
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray(255, 'p'));
}

TEST_F(EditTest, StatusesAndNotesSurviveCloseAndReopen)
{
    writeLocations({locationRecord("One", 0, -90000, 0), locationRecord("Two", 0, -30000, 0),
                    locationRecord("Three", 0, 30000, 0), locationRecord("Four", 0, 90000, 0)});
    setAutosave(false);
    QString full;
    for (int i = 0; i < 255; ++i)
        full += QChar(u"loc, end\u00e9 note = "[i % 17]);
    full[0] = QLatin1Char('[');
    full[254] = QLatin1Char(']');
    const QString notes[] = {QString(), QStringLiteral("x"), full.left(244), full};
    open();
    QAbstractButton* const statusButtons[] = {ui().SBA, ui().SBV, ui().SBU, ui().SBV};
    for (int i = 0; i < 4; ++i) {
        doubleClickAt(at(i));
        ASSERT_EQ(form->editor().SelectedIndex(), i);
        QTest::mouseClick(statusButtons[i], Qt::LeftButton);
        if (!notes[i].isEmpty())
            paste(notes[i]);
    }
    close();
    open();
    const int statuses[] = {Active, Visited, Unvisited, Visited};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(form->world().locations()[size_t(i)].Status, statuses[i]);
        EXPECT_EQ(form->world().locations()[size_t(i)].Note, CodePage::encode(notes[i]).trimmed());
    }
    ui().CBLoc->setCurrentIndex(ui().CBLoc->findText(QStringLiteral("Four")));
    form->CBLocChange();
    EXPECT_EQ(memo()->toPlainText(), full);
    EXPECT_TRUE(ui().SBV->isChecked());
}

// --- data safety ---------------------------------------------------------------------

class DataSafetyTest : public EditTest {
protected:
    const QByteArray markers = "marker\r\n   text = Camp, north\r\n   pos = 1000,2000\r\nend\r\n"
                               "marker\r\n   text = Ford\r\n   pos = -3000,4000\r\nend\r\n";
    /** Four locations and a user database whose third block has no status digit. */
    QByteArray writeBrokenUserData()
    {
        writeLocations({locationRecord("One", 0, -90000, 0), locationRecord("Two", 0, -30000, 0),
                        locationRecord("Three", 0, 30000, 0), locationRecord("Four", 0, 90000, 0)});
        QByteArray third = userBlock("Three", 2, "third");
        third.replace("status = 2", "status = x");
        const QByteArray user = userBlock("One", 3, "first") + userBlock("Two", 2, "second") + third
                                + userBlock("Four", 3, "fourth, kept only on disk");
        world.write(QStringLiteral("user.gdb"), user);
        world.write(QStringLiteral("markers.gdb"), markers);
        return user;
    }
    void addMarkerAt(QPoint p)
    {
        if (form->view().zoomIndex() == 0)
            QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
        if (!form->editor().AddMarkerMode())
            QTest::mouseClick(ui().ToolButtonAddM, Qt::LeftButton);
        clickAt(p);
    }
    QStringList filesInWorld() const
    {
        return QDir(world.dir()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
    }
};

TEST_F(DataSafetyTest, MalformedUserDataIsKeptWhenClosedWithoutEdits)
{
    const QByteArray user = writeBrokenUserData();
    open();
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("'x' is not a valid integer value")});
    EXPECT_EQ(form->world().locations()[1].Note, QByteArray("second"));
    EXPECT_TRUE(form->world().markers().empty()); // the markers' loading was skipped
    const QStringList before = filesInWorld();
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), markers);
    EXPECT_EQ(filesInWorld(), before);
}

TEST_F(DataSafetyTest, EditingAfterMalformedUserDataKeepsTheOldFilesAsBackups)
{
    const QByteArray user = writeBrokenUserData();
    open();
    // Choosing from the list with the box open is no edit: nothing is replaced yet.
    doubleClickAt(at(0));
    ui().CBLoc->setCurrentIndex(ui().CBLoc->findText(QStringLiteral("Two")));
    form->CBLocChange();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_FALSE(exists(QStringLiteral("user.gdb.bak")));

    doubleClickAt(at(0));
    QTest::mouseClick(ui().SBA, Qt::LeftButton);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.bak")), user);
    EXPECT_EQ(statusesIn(world.read(QStringLiteral("user.gdb"))), (QList<int>{2, 2, 1, 1}));
    QTest::keyClick(memo(), Qt::Key_End);
    type(QStringLiteral("!"));
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.bak")), user); // the backup is taken once
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray("first!"));

    addMarkerAt(QPoint(100, 100));
    ASSERT_EQ(form->world().markers().size(), 1u);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb.bak")), markers);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")).count("marker\r\n"), 1);
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.bak")), user);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb.bak")), markers);
    EXPECT_FALSE(exists(QStringLiteral("user.gdb.bak.2")));
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray("first!"));
}

TEST_F(DataSafetyTest, AnEarlierBackupIsNeverReplaced)
{
    const QByteArray user = writeBrokenUserData();
    const QByteArray older = userBlock("One", 3, "from an earlier run");
    world.write(QStringLiteral("user.gdb.bak"), older);
    open();
    doubleClickAt(at(0));
    QTest::mouseClick(ui().SBU, Qt::LeftButton);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.bak")), older);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.bak.2")), user);
}

TEST_F(DataSafetyTest, MissingLocationsKeepTheUserFilesUnlessEditedAnyway)
{
    const QByteArray user = userBlock("A", 3, "kept");
    world.write(QStringLiteral("user.gdb"), user);
    world.write(QStringLiteral("markers.gdb"), markers);
    build().show(); // the first show runs; the window closes at the loop's next turn
    ASSERT_TRUE(form->world().locations().empty());
    // Before that turn comes, the user still places a marker.
    addMarkerAt(QPoint(100, 100));
    ASSERT_EQ(form->world().markers().size(), 1u);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb.bak")), markers);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000));
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_FALSE(exists(QStringLiteral("user.gdb.bak")));
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb.bak")), markers);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")).count("marker\r\n"), 1);
}

TEST_F(DataSafetyTest, UnwritableUserDatabaseSaysSoAndLosesNothingElse)
{
    writeLocations({locationRecord("Cedar", 0, 0, 0)});
    world.write(QStringLiteral("markers.gdb"), markers);
    ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("user.gdb")));
    open();
    EXPECT_TRUE(prompts.errors.isEmpty());
    doubleClickAt(at(0));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    // Until the file can be written, the status is kept in the user's own folder.
    const QString refused = QStringLiteral("Unable to write to ") + world.path(QStringLiteral("user.gdb")) + '.';
    const QString own = QDir(DataLocations::userDataFolder(world.dir())).filePath(QStringLiteral("user.gdb"));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors[0],
              refused + QStringLiteral(" Until it can be written again, this window's statuses and notes are kept in ")
                  + own + '.');
    EXPECT_TRUE(test::readFile(own).contains("   status = 3\r\n"));
    // The change itself is kept and shown.
    EXPECT_EQ(form->world().locations()[0].Status, Visited);
    EXPECT_EQ(frameColour(0), packedToColor(form->session().settings().ColorVisited));

    addMarkerAt(QPoint(100, 100));
    EXPECT_EQ(prompts.errors.size(), 1);
    close();
    // The close tried once more, then kept the status in the user's own folder and said so.
    ASSERT_EQ(prompts.errors.size(), 2);
    EXPECT_EQ(prompts.errors[1], refused
                                     + QStringLiteral(" This window's statuses and notes are saved in %1 instead, and "
                                                      "the next start reads them from there.")
                                           .arg(own));
    EXPECT_TRUE(test::readFile(own).contains("   status = 3\r\n"));
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")).count("marker\r\n"), 3);
    EXPECT_TRUE(QFileInfo::exists(world.appPath(QStringLiteral("qor.ini"))));
    EXPECT_TRUE(QFileInfo(world.path(QStringLiteral("user.gdb"))).isDir());
    for (const QString& f : filesInWorld())
        EXPECT_FALSE(f.startsWith(QLatin1Char('.'))) << qPrintable(f); // no temporary file left behind
}

TEST_F(DataSafetyTest, AFailureWaitingForAPauseInTheTypingIsToldAtTheClose)
{
    writeLocations({locationRecord("Cedar", 0, 0, 0)});
    ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("user.gdb")));
    open();
    doubleClickAt(at(0));
    type(QStringLiteral("moss"));
    EXPECT_TRUE(prompts.errors.isEmpty());
    close(); // before the pause: its box comes first, then the close's own
    ASSERT_EQ(prompts.errors.size(), 2) << prompts.errors.join(QLatin1Char('\n')).toStdString();
    const QString refused = QStringLiteral("Unable to write to ")
                            + QFileInfo(world.path(QStringLiteral("user.gdb"))).absoluteFilePath() + '.';
    EXPECT_TRUE(prompts.errors[0].startsWith(refused + QStringLiteral(" Until it can be written again")));
    EXPECT_TRUE(prompts.errors[1].startsWith(refused + QStringLiteral(" This window's statuses")));
}

TEST_F(DataSafetyTest, ReadOnlyUserFilesWithoutAnEditGiveNoErrorAtClose)
{
    writeTrees();
    world.write(QStringLiteral("markers.gdb"), markers);
    open();
    close(); // the files now stand as this program writes them
    const QByteArray user = world.read(QStringLiteral("user.gdb")), stored = world.read(QStringLiteral("markers.gdb"));
    for (const char* name : {"user.gdb", "markers.gdb"})
        ASSERT_TRUE(QFile::setPermissions(world.path(QLatin1String(name)), QFile::ReadOwner | QFile::ReadGroup));
    prompts.errors.clear();
    open();
    close();
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), stored);

    // An edit is a change: the close says it cannot be written.
    open();
    doubleClickAt(at(0));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    close();
    EXPECT_FALSE(prompts.errors.isEmpty());
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
}

TEST_F(DataSafetyTest, AReadOnlyWorldIsToldOnceWhileTypingAndSavedOnceWritableAgain)
{
    // No folder of the user's to fall back on either: a file stands where it would be made.
    ScopedXdgHome xdg;
    writeFile(xdg.data(), "not a folder");
    writeTrees();
    open();
    doubleClickAt(at(0));
    {
        // The file too: the folder's mode bits alone do not stop the superuser.
        const QString user = world.path(QStringLiteral("user.gdb"));
        const auto mode = QFile::permissions(user);
        ScopedReadOnlyFolder lockedWorld(world.dir());
        ASSERT_TRUE(QFile::setPermissions(user, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const auto unlock = qScopeGuard([&] { QFile::setPermissions(user, mode); });
        // The box waits until the typing pauses: a key meant for the note never answers it.
        type(QStringLiteral("we"));
        type(QStringLiteral("ll"));
        EXPECT_TRUE(prompts.errors.isEmpty());
        EXPECT_EQ(form->world().locations()[0].Note, QByteArray("well"));
        QElapsedTimer sinceKey;
        sinceKey.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.errors.isEmpty(); }, 10000));
        EXPECT_GE(sinceKey.elapsed(), TypingPause::kPause.count() - 20); // no key came meanwhile
        ASSERT_EQ(prompts.errors.size(), 1);
        EXPECT_EQ(prompts.errors[0], QStringLiteral("Unable to write to ")
                                         + QFileInfo(world.path(QStringLiteral("user.gdb"))).absoluteFilePath());
        EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray(""));
    }
    type(QStringLiteral("s"));
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray("wells"));
}

TEST_F(DataSafetyTest, AFailedRenameKeepsTheOldFileAndTheNextWriteSucceeds)
{
    writeTrees();
    const QByteArray user = world.read(QStringLiteral("user.gdb"));
    open();
    doubleClickAt(at(0));
    AtomicFile::setFaultInjector([](AtomicFile::Step s) { return s != AtomicFile::Step::Rename; });
    const auto restore = qScopeGuard([] { AtomicFile::setFaultInjector({}); });
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].endsWith(QStringLiteral("/user.gdb")));
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    for (const QString& f : filesInWorld())
        EXPECT_FALSE(f.startsWith(QLatin1Char('.'))) << qPrintable(f);

    AtomicFile::setFaultInjector({});
    type(QStringLiteral("z"));
    EXPECT_EQ(statusesIn(world.read(QStringLiteral("user.gdb"))), (QList<int>{3, 2, 3}));
    EXPECT_EQ(notesIn(world.read(QStringLiteral("user.gdb")))[0], QByteArray("z"));
}

} // namespace
} // namespace vdm::test
