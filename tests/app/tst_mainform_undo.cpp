// SPDX-License-Identifier: MIT
// Undo and redo on the real main window: what the map, the box, the progress line and the
// disk show afterwards.
#include "app/mainformfixture.h"
#include "app/windowcommands.h"
#include "app/noteedit.h"
#include "common/testutils.h"
#include "data/codepage.h"
#include "data/markersdb.h"
#include "world/progressfile.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>

namespace vdm::test {
namespace {

QByteArray userBlock(const QByteArray& name, int status, const QByteArray& note)
{
    return "loc\r\n   nm = " + name + "\r\n   status = " + QByteArray::number(status) + "\r\n   note = " + note
           + "\r\nend\r\n";
}

class UndoTest : public MainFormTest {
protected:
    /** Three locations well apart, each with its status and note on disk. */
    void openTrees()
    {
        writeLocations({locationRecord("Cedar", 0, 0, 0), locationRecord("Birch", 0, 40000, 60000),
                        locationRecord("Aspen", 0, -50000, 120000)});
        world.write(QStringLiteral("user.gdb"), userFile());
        open();
    }
    static QByteArray userFile()
    {
        return userBlock("Cedar", 1, "") + userBlock("Birch", 2, "bee hive") + userBlock("Aspen", 3, "old well");
    }
    QPoint at(int location) const
    {
        const Location& l = form->world().locations()[size_t(location)];
        return form->view().mapToPanel(l.X, l.Y);
    }
    QColor frameColour(int location) const
    {
        const QPoint q = at(location);
        return form->canvas().backBuffer().pixelColor(q.x() - 3, q.y() - 3);
    }
    QString counts() { return ui().LabelProgress->text().section(QLatin1Char('\n'), 0, 0); }
    void choose(const char* name)
    {
        ui().CBLoc->setCurrentIndex(ui().CBLoc->findText(QLatin1String(name)));
        form->CBLocChange();
    }
};

TEST_F(UndoTest, UndoAfterAStatusClickRestoresTheFrameTheCountsAndTheFile)
{
    openTrees();
    doubleClickAt(at(0));
    const Settings& c = form->session().settings();
    const QString before = counts();
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    EXPECT_EQ(frameColour(0), packedToColor(c.ColorVisited));
    const QString visited = counts();
    EXPECT_NE(visited, before);

    auto* undo = form->findChild<QAction*>(QStringLiteral("ActionUndo"));
    auto* redo = form->findChild<QAction*>(QStringLiteral("ActionRedo"));
    ASSERT_TRUE(undo && redo);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo Set status of Cedar"));
    EXPECT_FALSE(redo->isEnabled());

    panel()->setFocus();
    QTest::keyClick(panel(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->world().locations()[0].Status, Unvisited);
    EXPECT_EQ(frameColour(0), packedToColor(c.ColorUnvisited));
    EXPECT_EQ(counts(), before);
    EXPECT_TRUE(ui().SBU->isChecked());
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), userFile());
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text(), QStringLiteral("&Redo Set status of Cedar"));
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo"));

    QTest::keyClick(panel(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(frameColour(0), packedToColor(c.ColorVisited));
    EXPECT_EQ(counts(), visited);
    EXPECT_TRUE(ui().SBV->isChecked());
    QTest::keyClick(panel(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(panel(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->world().locations()[0].Status, Visited);
}

TEST_F(UndoTest, InTheNoteEditorCtrlZTakesBackItsOwnTyping)
{
    openTrees();
    doubleClickAt(at(1));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    ui().MemoNotes->setFocus();
    QTest::keyClick(ui().MemoNotes, Qt::Key_End);
    QTest::keyClick(ui().MemoNotes, 'x');
    ASSERT_EQ(form->world().locations()[1].Note, QByteArray("bee hivex"));
    QTest::keyClick(ui().MemoNotes, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui().MemoNotes->toPlainText(), QStringLiteral("bee hive"));
    EXPECT_EQ(form->world().locations()[1].Note, QByteArray("bee hive"));
    EXPECT_EQ(form->world().locations()[1].Status, Visited); // the window's step stays
    EXPECT_EQ(form->editor().history().undoText(), QStringLiteral("Set status of Birch"));
}

TEST_F(UndoTest, ATextFieldWithNothingOfItsOwnToTakeBackLeavesTheKeysToTheWindow)
{
    // The keyboard's way: F2 puts the focus in the note editor, Alt+3 marks the place.
    openTrees();
    choose("Birch");
    form->command(Command::OpenBox)->trigger();
    ASSERT_TRUE(ui().MemoNotes->hasFocus());
    QTest::keyClick(ui().MemoNotes, Qt::Key_3, Qt::AltModifier);
    ASSERT_EQ(form->world().locations()[1].Status, Visited);

    const struct {
        QKeyCombination key;
        int status;
    } steps[] = {
        {QKeyCombination(Qt::ControlModifier, Qt::Key_Z), Active},
        {QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z), Visited},
        {QKeyCombination(Qt::ControlModifier, Qt::Key_Z), Active},
        {QKeyCombination(Qt::ControlModifier, Qt::Key_Y), Visited},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(QKeySequence(s.key).toString().toStdString());
        QTest::keyClick(ui().MemoNotes, s.key.key(), s.key.keyboardModifiers());
        EXPECT_EQ(form->world().locations()[1].Status, s.status);
        EXPECT_TRUE(ui().MemoNotes->hasFocus());
    }

    // Typed text is the editor's own again: its Ctrl+Z takes that back first, then the window's.
    QTest::keyClick(ui().MemoNotes, Qt::Key_End);
    QTest::keyClick(ui().MemoNotes, 'x');
    QTest::keyClick(ui().MemoNotes, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui().MemoNotes->toPlainText(), QStringLiteral("bee hive"));
    EXPECT_EQ(form->world().locations()[1].Status, Visited);
    QTest::keyClick(ui().MemoNotes, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ui().MemoNotes->toPlainText(), QStringLiteral("bee hivex")) << "the editor's own redo";
    EXPECT_EQ(form->world().locations()[1].Status, Visited);

    // The same in the find bar's field: empty, its Ctrl+Z is the window's.
    form->command(Command::Find)->trigger();
    QWidget* field = QApplication::focusWidget();
    ASSERT_NE(field, nullptr);
    ASSERT_NE(field, ui().MemoNotes);
    ASSERT_EQ(form->editor().history().undoText().toStdString(), "Edit note of Birch");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->world().locations()[1].Note, QByteArray("bee hive"));
    EXPECT_EQ(form->editor().history().undoText().toStdString(), "Set status of Birch");
}

TEST_F(UndoTest, TheUndoneStepIsShownInTheBoxAndCentredWhenOutOfView)
{
    openTrees();
    doubleClickAt(at(2));
    QTest::mouseClick(ui().SBU, Qt::LeftButton);
    ASSERT_EQ(form->world().locations()[2].Status, Unvisited);
    // Far in, on Cedar: Aspen is off the panel.
    for (int i = 0; i < 5; ++i)
        QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    choose("Cedar");
    QTest::mouseClick(ui().ToolButtonGo, Qt::LeftButton);
    const QRect panelRect(QPoint(), form->view().panel());
    ASSERT_FALSE(panelRect.contains(at(2)));

    form->command(Command::Undo)->trigger();
    EXPECT_EQ(form->world().locations()[2].Status, Visited);
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Aspen "));
    EXPECT_EQ(ui().CBLoc->currentText(), QStringLiteral("Aspen"));
    EXPECT_TRUE(ui().SBV->isChecked());
    EXPECT_TRUE(panelRect.contains(at(2)));
}

TEST_F(UndoTest, ANoteTypedUntilTheFocusLeavesIsOneStep)
{
    openTrees();
    doubleClickAt(at(1));
    ui().MemoNotes->setFocus();
    for (const char c : QByteArray(" and moss"))
        QTest::keyClick(ui().MemoNotes, c);
    clickAt(at(0)); // the focus goes to the map, and the box closes
    EXPECT_EQ(form->editor().history().count(), 1);
    EXPECT_EQ(form->editor().history().undoText(), QStringLiteral("Edit note of Birch"));

    form->command(Command::Undo)->trigger();
    EXPECT_EQ(form->world().locations()[1].Note, QByteArray("bee hive"));
    EXPECT_EQ(ui().MemoNotes->toPlainText(), QStringLiteral("bee hive"));
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), userFile());
    EXPECT_FALSE(form->editor().history().canUndo());
}

TEST_F(UndoTest, UndoOfDeleteAllBringsTheMarkersAndTheirToolsBack)
{
    openTrees();
    addMarkerAt(at(0) + QPoint(30, 30));
    ASSERT_EQ(form->world().markers().size(), 1u);
    const QByteArray markers = world.read(QStringLiteral("markers.gdb"));
    prompts.answers = {true};
    QTest::mouseClick(ui().ToolButtonClearM, Qt::LeftButton);
    ASSERT_TRUE(form->world().markers().empty());
    EXPECT_FALSE(ui().ToolButtonClearM->isEnabled());

    form->command(Command::Undo)->trigger();
    EXPECT_EQ(form->world().markers().size(), 1u);
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonDelM->isEnabled());
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), markers);
}

TEST_F(UndoTest, AWrongImportIsTakenBackByCtrlZOnDiskToo)
{
    const QByteArray markers = writeMarkers({marker("ford", 10, 20)});
    world.write(QStringLiteral("markers.gdb"), markers);
    openTrees();
    LocationList imported = form->world().locations();
    for (Location& l : imported) {
        l.Status = Visited;
        l.Note = "wrong " + l.Name;
    }
    const QString file = world.path(QStringLiteral("wrong.txt"));
    writeFile(file, writeProgress(imported, {marker("ford", 10, 20), marker("camp", 100, 200)}));
    prompts.filesToOpen.push_back(file);
    prompts.answers.push_back(true);
    const QString before = counts();
    form->command(Command::ImportProgress)->trigger();
    ASSERT_EQ(form->world().statusCounts().visited, 3);
    ASSERT_EQ(form->world().markers().size(), 2u);
    EXPECT_EQ(form->command(Command::Undo)->text(), QStringLiteral("&Undo Import progress"));

    panel()->setFocus();
    QTest::keyClick(panel(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), userFile());
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), markers);
    EXPECT_EQ(form->world().markers().size(), 1u);
    EXPECT_EQ(counts(), before);
    EXPECT_EQ(frameColour(0), packedToColor(form->session().settings().ColorUnvisited));
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
}

TEST_F(UndoTest, WithAutosaveOffUndoWritesNothingAndTheCloseAsksNothingNew)
{
    world.writeSettings("[General]\r\nAutosave=0\r\n");
    openTrees();
    doubleClickAt(at(0));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    QTest::mouseClick(ui().SBA, Qt::LeftButton);
    form->command(Command::Undo)->trigger();
    EXPECT_EQ(form->world().locations()[0].Status, Visited);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), userFile()); // nothing before the close
    close();
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")),
              userBlock("Cedar", 3, "") + userBlock("Birch", 2, "bee hive") + userBlock("Aspen", 3, "old well"));
}

TEST_F(UndoTest, OpeningAnotherWorldStartsANewHistory)
{
    openTrees();
    doubleClickAt(at(0));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    ASSERT_TRUE(form->editor().history().canUndo());
    QTemporaryDir other;
    TestWorld::writePicture(other.filePath(QStringLiteral("bigmap.jpg")), QSize(330, 380));
    writeFile(other.filePath(QStringLiteral("vdmain.gdb")), locationRecord("Oak", 0, 0, 0));
    prompts.folders.push_back(other.path());
    panel()->setFocus(); // keys go to the control with the focus, as a keyboard sends them
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel()->hasFocus(); }, 2000));
    QTest::keyClick(panel(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(form->world().locations().size(), 1u);
    EXPECT_FALSE(form->editor().history().canUndo());
    QTest::keyClick(panel(), Qt::Key_Z, Qt::ControlModifier); // nothing to undo: nothing happens
    EXPECT_EQ(form->world().locations()[0].Status, Unvisited);
}

} // namespace
} // namespace vdm::test
