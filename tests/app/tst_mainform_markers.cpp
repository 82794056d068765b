// SPDX-License-Identifier: MIT
// Placing, editing and deleting markers on the real main window.
#include "app/mainformfixture.h"
#include "app/noteedit.h"
#include "common/testutils.h"
#include "data/codepage.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolButton>

namespace vdm::test {
namespace {

QByteArray markerBlock(const QByteArray& text, int x, int y)
{
    return "marker\r\n   text = " + text + "\r\n   pos = " + QByteArray::number(x) + "," + QByteArray::number(y)
           + "\r\nend\r\n";
}

class MarkerTest : public MainFormTest {
protected:
    explicit MarkerTest(TestWorld::Picture picture = TestWorld::Picture::Normal) : MainFormTest(picture) {}

    TNoteEdit* memo() { return ui().MemoNotes; }

    QPoint markerPoint(int marker) const
    {
        const Location& m = form->world().markers()[size_t(marker)];
        return form->view().mapToPanel(m.X, m.Y);
    }
    void press(QToolButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void zoomIn(int steps = 1)
    {
        for (int i = 0; i < steps; ++i)
            press(ui().ToolButtonZoomIn);
    }
    void paste(const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(memo(), Qt::Key_V, Qt::ControlModifier);
    }
    /** Replaces the editor's whole text as a user would: select all, then paste. */
    void replaceText(const QString& text)
    {
        QTest::keyClick(memo(), Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(memo(), Qt::Key_Backspace);
        else
            paste(text);
    }
    QByteArray markersFile() const { return world.read(QStringLiteral("markers.gdb")); }
    int blocksOnDisk() const { return int(markersFile().count("marker\r\n")); }
    void setAutosave(bool on) const
    {
        world.writeSettings(on ? QByteArray("[General]\r\nAutosave=1\r\n") : QByteArray("[General]\r\nAutosave=0\r\n"));
    }
};

// --- tools ---------------------------------------------------------------------------

TEST_F(MarkerTest, ToolsAreDisabledAtTenPercentAndFollowTheZoom)
{
    writeLocations({locationRecord("Harbor", 0, 0, 0)});
    open();
    EXPECT_FALSE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonClearM->isEnabled());
    zoomIn();
    EXPECT_TRUE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled()); // no markers yet
    press(ui().ToolButtonZoomOut);
    EXPECT_FALSE(ui().ToolButtonAddM->isEnabled());
}

TEST_F(MarkerTest, StoredMarkersEnableDeleteAllAtOnceAndDeleteAfterZoomingIn)
{
    writeLocations({locationRecord("Harbor", 0, 0, 0)});
    world.write(QStringLiteral("markers.gdb"), markerBlock("Camp", 1000, 1000));
    open();
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
    zoomIn();
    EXPECT_TRUE(ui().ToolButtonAddM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonDelM->isEnabled());
}

TEST_F(MarkerTest, AddAndDeleteToolsExcludeEachOtherAndTheRightButtonEndsDeleteMode)
{
    writeLocations({locationRecord("Harbor", 0, 0, 0)});
    world.write(QStringLiteral("markers.gdb"), markerBlock("Camp", 1000, 1000));
    open();
    zoomIn(2); // the right button enters add mode above 20 %
    QToolButton* add = ui().ToolButtonAddM;
    QToolButton* del = ui().ToolButtonDelM;

    press(add);
    EXPECT_TRUE(form->editor().AddMarkerMode());
    EXPECT_TRUE(add->isChecked());
    EXPECT_EQ(panel()->cursor().shape(), Qt::CrossCursor);
    press(del);
    EXPECT_TRUE(form->editor().DeleteMarkerMode());
    EXPECT_FALSE(form->editor().AddMarkerMode());
    EXPECT_TRUE(del->isChecked());
    EXPECT_FALSE(add->isChecked());
    press(add);
    EXPECT_TRUE(form->editor().AddMarkerMode());
    EXPECT_FALSE(form->editor().DeleteMarkerMode());
    EXPECT_FALSE(del->isChecked());
    press(add); // released again
    EXPECT_FALSE(form->editor().AddMarkerMode());
    EXPECT_FALSE(add->isChecked());
    EXPECT_EQ(panel()->cursor().shape(), Qt::PointingHandCursor);

    press(del);
    const QPoint camp = markerPoint(0);
    moveTo(camp);
    QTest::mousePress(panel(), Qt::RightButton, {}, camp);
    QTest::mouseRelease(panel(), Qt::RightButton, {}, camp);
    EXPECT_TRUE(form->editor().AddMarkerMode());
    EXPECT_TRUE(add->isChecked());
    EXPECT_FALSE(form->editor().DeleteMarkerMode());
    EXPECT_FALSE(del->isChecked());
    // So a click on a marker adds one and deletes none.
    clickAt(camp);
    EXPECT_EQ(form->world().markers().size(), 2u);
}

// --- adding and deleting -------------------------------------------------------------

TEST_F(MarkerTest, AddModeStaysWhenZoomingOutAndStillAddsAnUndrawnMarker)
{
    writeLocations({locationRecord("Harbor", 0, 0, 0)});
    open();
    zoomIn();
    press(ui().ToolButtonAddM);
    press(ui().ToolButtonZoomActual);
    ASSERT_EQ(form->view().zoomIndex(), 0);
    EXPECT_TRUE(form->editor().AddMarkerMode());
    EXPECT_FALSE(ui().ToolButtonAddM->isEnabled());
    EXPECT_EQ(panel()->cursor().shape(), Qt::CrossCursor);

    const QImage before = form->canvas().backBuffer().copy();
    const QPoint p(200, 120);
    clickAt(p);
    ASSERT_EQ(form->world().markers().size(), 1u);
    const QPoint picture = form->view().panelToPicture(p);
    const QPoint expected = form->view().ScreenToMap(picture.x(), picture.y());
    EXPECT_EQ(form->world().markers()[0].X, expected.x());
    EXPECT_EQ(form->world().markers()[0].Y, expected.y());
    EXPECT_EQ(form->world().markers()[0].Name, QByteArray("Marker"));
    EXPECT_EQ(form->world().markers()[0].Level, 1);
    EXPECT_EQ(differingPixels(before, form->canvas().backBuffer()), 0); // level 1 is not shown at 10 %
    EXPECT_TRUE(form->editor().AddMarkerMode());
    // The new marker may be deleted, even here, until the level next changes.
    EXPECT_TRUE(ui().ToolButtonDelM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
    press(ui().ToolButtonZoomActual);
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
}

TEST_F(MarkerTest, AutosaveFollowsAddEditAndDeleteButNotDeleteAll)
{
    writeLocations({locationRecord("Harbor", 0, -100000, -100000)});
    open();
    zoomIn();
    press(ui().ToolButtonAddM);
    clickAt(QPoint(100, 100));
    EXPECT_EQ(blocksOnDisk(), 1);
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
    EXPECT_TRUE(ui().ToolButtonDelM->isEnabled());
    clickAt(QPoint(200, 250));
    EXPECT_EQ(blocksOnDisk(), 2);
    press(ui().ToolButtonAddM);

    doubleClickAt(markerPoint(0));
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Edit marker "));
    EXPECT_TRUE(ui().GBLoc->isEnabled());
    EXPECT_FALSE(ui().SBU->isEnabled());
    EXPECT_FALSE(ui().SBA->isEnabled());
    EXPECT_FALSE(ui().SBV->isEnabled());
    EXPECT_EQ(form->focusWidget(), memo());
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("Marker"));
    EXPECT_EQ(form->editor().EditedMarker(), 0);
    replaceText(QStringLiteral("Camp"));
    EXPECT_EQ(form->world().markers()[0].Name, QByteArray("Camp"));
    EXPECT_TRUE(
        markersFile().startsWith(markerBlock("Camp", form->world().markers()[0].X, form->world().markers()[0].Y)));
    // Hovering another marker while the box is open does not change which one it edits.
    moveTo(markerPoint(1));
    EXPECT_EQ(form->editor().EditedMarker(), 0);

    press(ui().ToolButtonDelM);
    clickAt(markerPoint(1));
    EXPECT_FALSE(ui().GBLoc->isEnabled()); // the click closed the box
    ASSERT_EQ(form->world().markers().size(), 1u);
    EXPECT_EQ(markersFile(), markerBlock("Camp", form->world().markers()[0].X, form->world().markers()[0].Y));

    press(ui().ToolButtonAddM);
    clickAt(QPoint(150, 300));
    const QByteArray onDisk = markersFile();
    EXPECT_EQ(blocksOnDisk(), 2);
    prompts.answers = {true};
    press(ui().ToolButtonClearM);
    EXPECT_TRUE(form->world().markers().empty());
    EXPECT_FALSE(ui().ToolButtonClearM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
    EXPECT_EQ(markersFile(), onDisk);
    close();
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), QByteArray());
}

TEST_F(MarkerTest, DeletingTheLastMarkerLeavesDeleteMode)
{
    writeLocations({locationRecord("Harbor", 0, -100000, -100000)});
    world.write(QStringLiteral("markers.gdb"), markerBlock("Camp", 0, 0));
    open();
    zoomIn();
    ASSERT_TRUE(panel()->rect().contains(markerPoint(0)));
    press(ui().ToolButtonDelM);
    EXPECT_EQ(panel()->cursor().shape(), Qt::CrossCursor);

    clickAt(markerPoint(0) + QPoint(20, 20)); // nothing there: nothing deleted
    EXPECT_EQ(form->world().markers().size(), 1u);
    EXPECT_TRUE(form->editor().DeleteMarkerMode());

    clickAt(markerPoint(0));
    EXPECT_TRUE(form->world().markers().empty());
    EXPECT_FALSE(form->editor().DeleteMarkerMode());
    EXPECT_FALSE(ui().ToolButtonDelM->isChecked());
    EXPECT_FALSE(ui().ToolButtonDelM->isEnabled());
    EXPECT_FALSE(ui().ToolButtonClearM->isEnabled());
    EXPECT_EQ(panel()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(markersFile(), QByteArray());
}

/** The high-resolution picture: its finer scale reaches the area's corner exactly. */
class HighResMarkerTest : public MarkerTest {
protected:
    HighResMarkerTest() : MarkerTest(TestWorld::Picture::High) {}
};

TEST_F(HighResMarkerTest, AClickOnThePlacementAreasCornerAddsAndOneBeyondDoesNot)
{
    writeLocations({locationRecord("Harbor", 0, 0, 0)});
    open();
    zoomIn();
    press(ui().ToolButtonAddM);
    press(ui().ToolButtonZoomOut);
    // A panel larger than the 10 % picture: the picture is centred with margins around it,
    // so the points just beyond its edges can be clicked too.
    form->resize(520, 820);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->view().marginX() > 5 && form->view().marginY() > 5; }, 2000));

    const Viewport& v = form->view();
    const QPoint corner = v.MapToScreen(Viewport::MapRight, Viewport::MapTop);
    // The last picture column and the first row that still convert into the area.
    int px = corner.x() - 3;
    while (v.ScreenToMap(px + 1, corner.y()).x() <= Viewport::MapRight)
        ++px;
    int py = corner.y() + 3;
    while (v.ScreenToMap(px, py - 1).y() <= Viewport::MapTop)
        --py;
    const QPoint toPanel(v.marginX() - v.scrollX(), v.marginY() - v.scrollY());
    const QPoint inside = QPoint(px, py) + toPanel;
    ASSERT_TRUE(panel()->rect().contains(inside + QPoint(1, -1)));
    EXPECT_EQ(v.ScreenToMap(px, py), QPoint(Viewport::MapRight, Viewport::MapTop));

    clickAt(inside);
    ASSERT_EQ(form->world().markers().size(), 1u);
    EXPECT_EQ(form->world().markers()[0].X, Viewport::MapRight);
    EXPECT_EQ(form->world().markers()[0].Y, Viewport::MapTop);
    clickAt(inside + QPoint(1, 0));
    clickAt(inside + QPoint(0, -1));
    EXPECT_EQ(form->world().markers().size(), 1u);
    EXPECT_TRUE(form->editor().AddMarkerMode()); // a click outside keeps the mode
}

// --- editing -------------------------------------------------------------------------

TEST_F(MarkerTest, ClearingTheTextGivesMarkerWhileTheEditorShowsItEmpty)
{
    writeLocations({locationRecord("Harbor", 0, -100000, -100000)});
    world.write(QStringLiteral("markers.gdb"), markerBlock("Camp", 0, 0));
    open();
    zoomIn();
    doubleClickAt(markerPoint(0));
    replaceText(QString());
    EXPECT_TRUE(memo()->toPlainText().isEmpty());
    EXPECT_EQ(form->world().markers()[0].Name, QByteArray("Marker"));
    EXPECT_EQ(markersFile(), markerBlock("Marker", 0, 0));
    QTest::keyClicks(memo(), QStringLiteral("   "));
    EXPECT_EQ(memo()->toPlainText(), QStringLiteral("   "));
    EXPECT_EQ(form->world().markers()[0].Name, QByteArray("Marker"));
}

TEST_F(MarkerTest, TheCaptionFollowsTheTyping)
{
    writeLocations({locationRecord("Harbor", 0, -100000, -100000)});
    world.write(QStringLiteral("markers.gdb"), markerBlock("M", 0, 0));
    open();
    zoomIn();
    doubleClickAt(markerPoint(0));
    QTest::keyClick(memo(), Qt::Key_End);
    const QPoint q = markerPoint(0);
    const QRect caption(q + QPoint(3, -12), QSize(80, 30));
    const QImage before = form->canvas().backBuffer().copy(caption);
    QTest::keyClicks(memo(), QStringLiteral("WWW"));
    // No event processing in between: the handler itself repainted.
    EXPECT_GT(differingPixels(before, form->canvas().backBuffer().copy(caption)), 20);
    EXPECT_EQ(form->world().markers()[0].Name, QByteArray("MWWW"));
}

TEST_F(MarkerTest, AMarkerBesideAShownLocationDoubleClickedSelectsTheLocation)
{
    writeLocations({locationRecord("Oak", 0, -100000, -100000), locationRecord("Harbor", 0, 0, 0)});
    world.write(QStringLiteral("markers.gdb"), markerBlock("Pier", 900, 0) + markerBlock("Alone", 60000, 0));
    open();
    zoomIn();
    const QPoint harbor = form->view().mapToPanel(0, 0);
    const QPoint pier = markerPoint(0);
    ASSERT_LE(qAbs(pier.x() - harbor.x()), 4);
    doubleClickAt(pier);
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Harbor "));
    EXPECT_EQ(form->editor().SelectedIndex(), 1);
    EXPECT_TRUE(ui().SBU->isEnabled());

    clickAt(QPoint(5, 5));
    doubleClickAt(markerPoint(1));
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Edit marker "));
    EXPECT_EQ(form->editor().EditedMarker(), 1);
    // Back on a location, the status buttons work again.
    clickAt(QPoint(5, 5));
    doubleClickAt(harbor);
    EXPECT_TRUE(ui().SBV->isEnabled());
}

// --- deleting all --------------------------------------------------------------------

TEST_F(MarkerTest, AnsweringNoToDeleteAllKeepsEveryMarker)
{
    writeLocations({locationRecord("Harbor", 0, 0, 0)});
    const QByteArray stored = markerBlock("Camp", 1000, 1000) + markerBlock("Ford", -2000, 3000);
    world.write(QStringLiteral("markers.gdb"), stored);
    open();
    press(ui().ToolButtonClearM);
    EXPECT_EQ(prompts.questions, QStringList{QStringLiteral("Warning!|All markers will be deleted. Are you sure?")});
    EXPECT_EQ(form->world().markers().size(), 2u);
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
    close();
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), stored);
}

TEST_F(MarkerTest, DeletingAllWhileTheBoxEditsAMarkerClosesTheBox)
{
    writeLocations({locationRecord("Harbor", 0, -100000, -100000)});
    world.write(QStringLiteral("markers.gdb"), markerBlock("Camp", 0, 0) + markerBlock("Ford", 20000, 0));
    open();
    zoomIn();
    doubleClickAt(markerPoint(1));
    ASSERT_TRUE(form->editor().EditMarkerMode());
    prompts.answers = {true};
    press(ui().ToolButtonClearM);
    EXPECT_FALSE(form->editor().EditMarkerMode());
    EXPECT_FALSE(ui().GBLoc->isEnabled());

    // A new marker takes the old index; nothing typed or set afterwards reaches it.
    press(ui().ToolButtonAddM);
    clickAt(QPoint(100, 100));
    clickAt(QPoint(200, 100));
    QTest::keyClicks(memo(), QStringLiteral("late"));
    memo()->setNoteText(QStringLiteral("set by the program"));
    ASSERT_EQ(form->world().markers().size(), 2u);
    EXPECT_EQ(form->world().markers()[0].Name, QByteArray("Marker"));
    EXPECT_EQ(form->world().markers()[1].Name, QByteArray("Marker"));
}

// --- round trip ----------------------------------------------------------------------

TEST_F(MarkerTest, TextsWithCommasAndOfFullLengthSurviveCloseAndReopen)
{
    writeLocations({locationRecord("Harbor", 0, -100000, -100000)});
    setAutosave(false);
    open();
    zoomIn();
    press(ui().ToolButtonAddM);
    const QPoint places[] = {{60, 60}, {160, 160}, {260, 260}};
    for (QPoint p : places)
        clickAt(p);
    press(ui().ToolButtonAddM);

    QString full;
    for (int i = 0; i < 255; ++i)
        full += QChar(u"12,-3 marker, \u00e0"[i % 15]);
    full[0] = QLatin1Char('<');
    full[254] = QLatin1Char(',');
    const QString texts[] = {QStringLiteral("Camp, north, 3rd"), full, QStringLiteral("end")};
    for (int i = 0; i < 3; ++i) {
        clickAt(QPoint(5, 5));
        doubleClickAt(markerPoint(i));
        ASSERT_EQ(form->editor().EditedMarker(), i);
        replaceText(texts[i]);
    }
    const LocationList before = form->world().markers();
    EXPECT_EQ(before[1].Name.size(), 255);
    close();
    open();
    ASSERT_EQ(form->world().markers().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(form->world().markers()[size_t(i)].Name, CodePage::encode(texts[i]));
        EXPECT_EQ(form->world().markers()[size_t(i)].X, before[size_t(i)].X);
        EXPECT_EQ(form->world().markers()[size_t(i)].Y, before[size_t(i)].Y);
    }
}

} // namespace
} // namespace vdm::test
