// SPDX-License-Identifier: MIT
// "Save view as image..." on the real main window: the panel as it shows, or the whole
// map as veldamar-render paints it.
#include "app/mainformfixture.h"
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "session/settingssession.h"
#include "world/ownfiles.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QToolButton>

namespace vdm::test {
namespace {

class SaveImageTest : public MainFormTest {
protected:
    void SetUp() override
    {
        writeLocations({locationRecord("Aldmoor Keep", 0, -60000, 150000), locationRecord("Brennhold", 0, 20000, 40000),
                        locationRecord("Corvath", 1, 100000, -100000)});
        world.write("markers.gdb", "marker\r\n   text = camp\r\n   pos = 50000,60000\r\nend\r\n");
        open();
    }
    void save(std::optional<int> choice, const QString& path)
    {
        prompts.choices.push_back(choice);
        prompts.filesToSave.push_back(path);
        QAction* action = form->findChild<QAction*>(QStringLiteral("ActionSaveImage"));
        ASSERT_NE(action, nullptr);
        action->trigger();
    }
    static QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }
};

TEST_F(SaveImageTest, ThePanelIsSavedAsItShows)
{
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    const QString path = world.path("panel.png");
    save(0, path);
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_TRUE(prompts.questions[0].endsWith("|Visible panel|Whole map"));
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), form->canvas().backBuffer().size());
    EXPECT_TRUE(rgb(saved) == rgb(form->canvas().backBuffer()));
}

TEST_F(SaveImageTest, TheWholeMapIsWhatTheRendererPaints)
{
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    const QString path = world.path("whole.png");
    save(1, path);
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());

    const QString rendered = world.path("rendered.png");
    QProcess p;
    p.start(QStringLiteral(VDM_RENDER_PROGRAM),
            {world.dir(), rendered, QStringLiteral("--zoom"), QString::number(form->view().zoomIndex()),
             QStringLiteral("--size"), QStringLiteral("%1x%2").arg(saved.width()).arg(saved.height()),
             QStringLiteral("--scroll"), QStringLiteral("0,0")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(rgb(saved) == rgb(QImage(rendered)));
    // Larger than the panel: the whole map, not the view.
    EXPECT_GT(saved.height(), form->canvas().backBuffer().height());
}

TEST_F(SaveImageTest, AnotherSuffixOrCancelWritesNothing)
{
    save(0, world.path("map.bmp"));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].contains(QFileInfo(world.path("map.bmp")).absoluteFilePath()));
    EXPECT_FALSE(QFileInfo::exists(world.path("map.bmp")));

    prompts.filesToSave.clear();
    save(std::nullopt, world.path("map.png")); // Cancel at the question: no file is asked for
    EXPECT_EQ(prompts.fileStarts.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(world.path("map.png")));
}

TEST_F(SaveImageTest, AFailedSaveSaysSoAndKeepsTheEarlierPicture)
{
    const Fifo fifo(world.path("fifo.png"));
    for (const int choice : {0, 1}) {
        for (const char* name : {"earlier.png", "earlier.jpg", "fifo.png"}) {
            SCOPED_TRACE(::testing::Message() << name << " choice " << choice);
            const QString path = world.path(QLatin1String(name));
            const bool fifoTarget = QByteArray(name) == "fifo.png";
            if (!fifoTarget)
                writeFile(path, "an earlier picture");
            prompts.errors.clear();
            // The disk fails at the last step; a FIFO is refused before any.
            AtomicFile::setFaultInjector([](AtomicFile::Step s) { return s != AtomicFile::Step::Rename; });
            save(choice, path);
            AtomicFile::setFaultInjector({});
            ASSERT_EQ(prompts.errors.size(), 1);
            EXPECT_TRUE(prompts.errors[0].contains("Unable to write to " + QFileInfo(path).absoluteFilePath()))
                << prompts.errors[0].toStdString();
            if (!fifoTarget) {
                EXPECT_EQ(readFile(path), "an earlier picture");
            }
        }
    }
    EXPECT_FALSE(fifo.blocked());
}

TEST_F(SaveImageTest, TheWorldsOwnFileIsRefusedAndAnotherNameCanBePicked)
{
    const QString locations = world.path("vdmain.gdb");
    const QByteArray before = readFile(locations);
    const QString folderBefore = form->session().settings().ImageFolder;
    // Picked through another spelling of the world's folder: still the same file.
    const QString picked = world.path("../") + QDir(world.dir()).dirName() + QStringLiteral("/vdmain.gdb");
    const QString elsewhere = world.path("panel.png");
    prompts.filesToSave.push_back(picked);
    save(0, elsewhere); // the second pick, in the chooser opened again

    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors[0], OwnFiles::refusal(picked, QFileInfo(locations).canonicalFilePath()));
    EXPECT_TRUE(prompts.errors[0].contains(QStringLiteral("vdmain.gdb")));
    EXPECT_EQ(readFile(locations), before) << "not a byte of the world's file changes";
    ASSERT_EQ(prompts.fileStarts.size(), 2);
    EXPECT_EQ(QFileInfo(prompts.fileStarts[1]).absolutePath(), QFileInfo(locations).absolutePath());
    EXPECT_EQ(QFileInfo(prompts.fileStarts[1]).fileName(), QFileInfo(prompts.fileStarts[0]).fileName())
        << "the name first proposed";
    EXPECT_FALSE(QImage(elsewhere).isNull()) << "the other name is saved";
    EXPECT_NE(form->session().settings().ImageFolder, folderBefore);

    // Cancelled after a refusal: nothing written, the folder remembered stays.
    prompts.errors.clear();
    const QString link = world.path("view.png");
    ASSERT_TRUE(QFile::link(locations, link));
    const QString remembered = form->session().settings().ImageFolder;
    prompts.filesToSave.clear();
    save(1, link); // the chooser opened again is cancelled
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].contains(QFileInfo(link).absoluteFilePath()));
    EXPECT_EQ(readFile(locations), before);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(form->session().settings().ImageFolder, remembered);
}

} // namespace
} // namespace vdm::test
