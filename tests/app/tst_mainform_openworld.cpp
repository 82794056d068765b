// SPDX-License-Identifier: MIT
// "Open world..." while the program runs: the chooser, the switch, and a folder that is
// no world leaving the current one as it was.
#include "app/mainformfixture.h"
#include "app/windowcommands.h"
#include "app/worldcommand.h"
#include "session/worldinstance.h"
#include "common/testutils.h"
#include "world/worldchoice.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QLockFile>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

namespace vdm::test {
namespace {

class OpenWorldTest : public MainFormTest {
protected:
    void SetUp() override
    {
        writeLocations({locationRecord("Alpha", 0, 0, 0), locationRecord("Amber", 0, 20000, 20000)});
        TestWorld::writePicture(other.filePath(QStringLiteral("bigmap_hi.jpg")), QSize(330, 380));
        writeFile(other.filePath(QStringLiteral("vdmain.gdb")),
                  locationRecord("Zeta", 0, 0, 0) + locationRecord("Beta", 0, 40000, 40000));
        writeFile(other.filePath(QStringLiteral("markers.gdb")),
                  "marker\r\n   text = Camp\r\n   pos = 10,20\r\nend\r\n");
    }
    /** Ctrl+O on the window, the chooser answering `folder` (nullopt: cancelled). */
    void pressCtrlO(std::optional<QString> folder)
    {
        prompts.folders.push_back(std::move(folder));
        // As the keyboard delivers it: to the control with the focus, the window's own key
        // handling sees it there first.
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && focus->window() == form.get() ? focus : form.get(), Qt::Key_O, Qt::ControlModifier);
    }
    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < form->ui().CBLoc->count(); ++i)
            names << form->ui().CBLoc->itemText(i);
        return names;
    }

    QTemporaryDir other;
};

TEST_F(OpenWorldTest, TheCommandIsOnTheWindowWithItsShortcut)
{
    open();
    QAction* action = form->command(Command::OpenWorld);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->objectName(), QStringLiteral("ActionOpenWorld"));
    EXPECT_EQ(action->text(), QStringLiteral("Open &world..."));
    EXPECT_EQ(action->toolTip(), QStringLiteral("Open world"));
    EXPECT_EQ(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
}

TEST_F(OpenWorldTest, CtrlOSavesThisWorldAndShowsTheChosenOneFromItsStart)
{
    open();
    ASSERT_EQ(listed(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Amber")}));
    // Alpha's box open and its status changed: a change this world's file must get.
    doubleClickAt(form->view().mapToPanel(0, 0));
    ASSERT_TRUE(ui().GBLoc->isEnabled());
    QTest::mouseClick(ui().SBA, Qt::LeftButton);

    pressCtrlO(other.path());
    ASSERT_EQ(prompts.folderStarts.size(), 1);
    EXPECT_TRUE(prompts.errors.isEmpty()) << qPrintable(prompts.errors.join(QLatin1Char('\n')));
    EXPECT_TRUE(prompts.messages.isEmpty()) << qPrintable(prompts.messages.join(QLatin1Char('\n')));
    EXPECT_TRUE(world.read(QStringLiteral("user.gdb")).contains("status = 2"));

    // The other world, from its start: its list and first entry, its markers, its picture.
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Zeta")}));
    EXPECT_EQ(ui().GBLoc->title(), QStringLiteral(" Beta "));
    EXPECT_FALSE(ui().GBLoc->isEnabled());
    EXPECT_EQ(form->world().markers().size(), 1u);
    EXPECT_TRUE(ui().ToolButtonClearM->isEnabled());
    EXPECT_EQ(form->world().picture().size(), QSize(330, 380));
    EXPECT_EQ(form->view().mapScale(), 10);
    EXPECT_EQ(form->highlight().index(), -1);
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(), QFileInfo(other.path()).canonicalFilePath());

    // Its files are its own, and the next run started outside a world opens it.
    doubleClickAt(form->view().mapToPanel(40000, 40000));
    ASSERT_EQ(ui().GBLoc->title(), QStringLiteral(" Beta "));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    EXPECT_TRUE(readFile(other.filePath(QStringLiteral("user.gdb"))).contains("nm = Beta\r\n   status = 3"));
    close();
    EXPECT_TRUE(readFile(world.appPath(QStringLiteral("qor.ini")))
                    .contains("LastWorld=" + QFileInfo(other.path()).canonicalFilePath().toUtf8()))
        << readFile(world.appPath(QStringLiteral("qor.ini"))).constData();
}

TEST_F(OpenWorldTest, AFolderWithoutAPictureIsNamedAndTheWorldStays)
{
    QTemporaryDir empty;
    open();
    const QString before = QDir::currentPath();
    pressCtrlO(empty.path());
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], QStringLiteral("Error!|") + worldNotFoundMessage(empty.path()));
    EXPECT_EQ(prompts.messages[0].split(QLatin1Char('\n')).size(), 2);
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Amber")}));
    EXPECT_EQ(form->world().locations().size(), 2u);
    EXPECT_FALSE(form->world().picture().isNull());
    EXPECT_EQ(QDir::currentPath(), before);

    // A cancelled chooser changes nothing and says nothing.
    pressCtrlO(std::nullopt);
    EXPECT_EQ(prompts.folderStarts.size(), 2);
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Amber")}));
    close();
    EXPECT_FALSE(readFile(world.appPath(QStringLiteral("qor.ini"))).contains("LastWorld"));
}

TEST_F(OpenWorldTest, FindShowsThePlacesOfTheWorldOpenedUnderIt)
{
    open();
    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    auto* field = form->findChild<QLineEdit*>(QStringLiteral("FindEdit"));
    auto* hits = form->findChild<QListWidget*>(QStringLiteral("FindHits"));
    QTest::keyClicks(field, "a");
    ASSERT_EQ(hits->count(), 2); // Alpha, Amber
    pressCtrlO(other.path());
    // The hits still shown are the old world's: Enter searches the new one instead of
    // taking an index that now names another place.
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(hits->count(), 2); // in the location list's order
    EXPECT_TRUE(hits->item(0)->text().startsWith(QStringLiteral("Beta")));
    EXPECT_TRUE(hits->item(1)->text().startsWith(QStringLiteral("Zeta")));
    EXPECT_EQ(form->highlight().index(), -1);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(form->editor().SelectedIndex(), 1);
    EXPECT_EQ(form->highlight().index(), 1);
}

// Another program (here a thread with a loop of its own) shows the chosen world: its
// window comes up instead and this one keeps its world; a world no one shows opens here
// and is held in place of the old one.
TEST_F(OpenWorldTest, AWorldAnotherWindowShowsIsBroughtUpThereNotOpenedTwice)
{
    QTemporaryDir runtime;
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QThread elsewhere;
    elsewhere.start();
    auto* holder = new WorldInstance;
    holder->moveToThread(&elsewhere);
    std::atomic<int> raised = 0;
    QObject::connect(
        holder, &WorldInstance::raiseRequested, holder, [&] { ++raised; }, Qt::DirectConnection);
    QMetaObject::invokeMethod(
        holder,
        [&] {
            holder->claim(other.path());
            holder->setReady();
        },
        Qt::BlockingQueuedConnection);

    open();
    WorldInstance mine;
    ASSERT_EQ(mine.claim(world.dir()), WorldInstance::Claim::Held);
    form->setWorldInstance(&mine);
    pressCtrlO(other.path());
    EXPECT_TRUE(QTest::qWaitFor([&] { return raised.load() == 1; }, 5000));
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Amber")})) << "this world stays";
    EXPECT_EQ(prompts.messages.value(0), QStringLiteral("Open world|") + worldShownElsewhereMessage(other.path()));

    // Once the other window lets its world go, the world opens here and is held here.
    QMetaObject::invokeMethod(
        holder, [&] { delete holder; }, Qt::BlockingQueuedConnection);
    elsewhere.quit();
    elsewhere.wait();
    pressCtrlO(other.path());
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("Beta"), QStringLiteral("Zeta")}));
    const auto lockOf = [](const QString& folder) {
        return QDir(WorldInstance::runtimeFolder()).filePath(WorldInstance::nameFor(folder)) + QStringLiteral(".lock");
    };
    QLockFile oldWorld(lockOf(world.dir())), newWorld(lockOf(other.path()));
    EXPECT_TRUE(oldWorld.tryLock(0)) << "the old world is let go";
    EXPECT_FALSE(newWorld.tryLock(0)) << "the new one is held";
    form.reset();
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
}

} // namespace
} // namespace vdm::test
