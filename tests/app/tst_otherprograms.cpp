// SPDX-License-Identifier: MIT
// The real window while another program changes the user's files: what it shows, and
// what the files hold after the close. The other program writes as a careful one does,
// a new file renamed over the old.
#include "app/mainformfixture.h"
#include "app/noteedit.h"
#include "data/atomicfile.h"
#include "data/location.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "edit/progresstext.h"

#include <QFileInfo>

namespace vdm::test {
namespace {

const QString kUserNotice = QStringLiteral("user.gdb was changed by another program; both changes are kept");
const QString kMarkerNotice = QStringLiteral("markers.gdb was changed by another program; both changes are kept");
/** Long enough for the watcher, the settling and a busy machine; a pass is much quicker. */
constexpr int kShownWithinMs = 10000;

struct Place {
    const char* name;
    std::int32_t status;
    const char* note;
};

QByteArray userData(std::initializer_list<Place> places)
{
    LocationList list;
    for (const Place& p : places) {
        Location l;
        l.Name = p.name;
        l.Status = p.status;
        l.Note = p.note;
        list.push_back(l);
    }
    return writeUserData(list);
}

class OtherProgramTest : public MainFormTest {
protected:
    /** Cedar, Birch and Aspen, well apart at 10 %. */
    void openTrees(bool autosave)
    {
        world.writeSettings(autosave ? QByteArray("[General]\r\nAutosave=1\r\n")
                                     : QByteArray("[General]\r\nAutosave=0\r\n"));
        writeLocations({locationRecord("Cedar", 0, 0, 0), locationRecord("Birch", 0, 40000, 60000),
                        locationRecord("Aspen", 0, -50000, 120000)});
        world.write(QStringLiteral("user.gdb"),
                    userData({{"Cedar", Unvisited, ""}, {"Birch", Active, "bee hive"}, {"Aspen", Unvisited, ""}}));
        open();
    }
    void otherProgramWrites(const QString& name, const QByteArray& bytes) const
    {
        AtomicFile::write(world.path(name), bytes);
    }
    /** Opens the location box on a place, as the user does: a double click on its frame. */
    void openBoxOn(int index)
    {
        const Location& l = form->world().locations()[size_t(index)];
        doubleClickAt(form->view().mapToPanel(l.X, l.Y));
        ASSERT_TRUE(form->editor().EditMarkerMode());
        ASSERT_EQ(form->editor().SelectedIndex(), index);
    }
    QString progressLine() { return ui().LabelProgress->text().section(QLatin1Char('\n'), 0, 0); }
    QStringList notices() const
    {
        QStringList texts;
        for (const QString& m : prompts.messages)
            texts << m.section(QLatin1Char('|'), 1);
        return texts;
    }
};

TEST_F(OtherProgramTest, AStatusSetElsewhereAndOneSetHereAreBothInTheFileAfterTheClose)
{
    struct Case {
        const char* what;
        bool autosave;
        bool windowFirst; // this window's change comes before the other program's
        QStringList notices;
    };
    const Case cases[] = {
        {"autosave, the other program first", true, false, {}},
        {"autosave, this window first", true, true, {}},
        {"no autosave, the other program first", false, false, {}},
        // The unwritten change meets the other program's when the window reads its file.
        {"no autosave, this window first", false, true, {kUserNotice}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompts = FakePrompts();
        openTrees(c.autosave);
        openBoxOn(2);
        const auto windowChange = [&] { QTest::mouseClick(ui().SBA, Qt::LeftButton); };
        if (c.windowFirst)
            windowChange();
        // The other program changes Birch in the file as it finds it.
        QByteArray theirs = world.read(QStringLiteral("user.gdb"));
        theirs.replace("status = 2\r\n   note = bee hive", "status = 3\r\n   note = bee hive, honey taken");
        otherProgramWrites(QStringLiteral("user.gdb"), theirs);
        // The map's counts follow the other program's change while the window idles.
        const QString shown = progressText({1, c.windowFirst ? 1 : 0, c.windowFirst ? 1 : 2, 3});
        EXPECT_TRUE(QTest::qWaitFor([&] { return progressLine() == shown; }, kShownWithinMs))
            << progressLine().toStdString() << " instead of " << shown.toStdString();
        if (!c.windowFirst)
            windowChange();
        EXPECT_EQ(progressLine(), progressText({1, 1, 1, 3}));
        close();
        EXPECT_EQ(
            world.read(QStringLiteral("user.gdb")),
            userData({{"Cedar", Unvisited, ""}, {"Birch", Visited, "bee hive, honey taken"}, {"Aspen", Active, ""}}));
        EXPECT_EQ(notices(), c.notices);
        EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(QFileInfo::exists(world.path(QStringLiteral("user.gdb.bak"))));
    }
}

TEST_F(OtherProgramTest, TheOpenBoxShowsTheOtherProgramsNoteAndTypingKeepsIt)
{
    openTrees(true);
    openBoxOn(1);
    QTest::mouseClick(ui().SBV, Qt::LeftButton); // written at once: nothing unwritten here
    otherProgramWrites(QStringLiteral("user.gdb"),
                       userData({{"Cedar", Unvisited, ""}, {"Birch", Visited, "swarmed"}, {"Aspen", Unvisited, ""}}));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return ui().MemoNotes->toPlainText() == QStringLiteral("swarmed"); }, kShownWithinMs));
    EXPECT_TRUE(ui().SBV->isChecked());
    EXPECT_TRUE(notices().isEmpty());
    QTest::keyClick(ui().MemoNotes, Qt::Key_End);
    QTest::keyClicks(ui().MemoNotes, QStringLiteral(" twice"));
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")),
              userData({{"Cedar", Unvisited, ""}, {"Birch", Visited, "swarmed twice"}, {"Aspen", Unvisited, ""}}));
}

TEST_F(OtherProgramTest, MarkersPlacedElsewhereAndHereAreAllInTheFileAfterTheClose)
{
    openTrees(false);
    addMarkerAt(QPoint(40, 40));
    ASSERT_EQ(form->world().markers().size(), 1u);
    const Location ours = form->world().markers()[0];
    Location well;
    well.Name = "Well";
    well.Level = 1;
    well.X = 1234;
    well.Y = -5678;
    otherProgramWrites(QStringLiteral("markers.gdb"), writeMarkers({well}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !notices().isEmpty(); }, kShownWithinMs));
    EXPECT_EQ(notices(), QStringList{kMarkerNotice});
    EXPECT_EQ(form->world().markers().size(), 2u);
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
    close();
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), writeMarkers({well, ours}));
    EXPECT_EQ(notices(), QStringList{kMarkerNotice}); // one notice per merge
}

TEST_F(OtherProgramTest, AFileThatCannotBeReadWholeIsKeptAndTheWindowsDataGoesBesideIt)
{
    openTrees(false);
    openBoxOn(2);
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    QByteArray theirs = userData({{"Cedar", Active, ""}, {"Birch", Active, "bee hive"}, {"Aspen", Unvisited, ""}});
    theirs.replace("\r\n", "\n"); // line ends this program would not write back
    otherProgramWrites(QStringLiteral("user.gdb"), theirs);
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), theirs);
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.unmerged")),
              userData({{"Cedar", Unvisited, ""}, {"Birch", Active, "bee hive"}, {"Aspen", Visited, ""}}));
    ASSERT_EQ(notices().size(), 1);
    EXPECT_TRUE(notices()[0].contains(QFileInfo(world.path(QStringLiteral("user.gdb.unmerged"))).absoluteFilePath()));
}

} // namespace
} // namespace vdm::test
