// SPDX-License-Identifier: MIT
// User files left by other programs, through the real window: a file the program cannot
// read back byte for byte is never replaced silently.
#include "app/mainformfixture.h"
#include "data/markersdb.h"
#include "data/userdb.h"

#include <QFileInfo>

namespace vdm::test {
namespace {

class ForeignFilesTest : public MainFormTest {
protected:
    void SetUp() override
    {
        writeLocations({locationRecord("Alpha", 0, 0, 0), locationRecord("Beta", 0, 20000, 20000)});
    }

    static QByteArray utf16(const QByteArray& latin1)
    {
        QByteArray out("\xFF\xFE");
        for (char c : latin1)
            out.append(c).append('\0');
        return out;
    }
    static QByteArray userData()
    {
        Location alpha, beta;
        alpha.Name = "Alpha";
        alpha.Status = Visited;
        alpha.Note = "harbour";
        beta.Name = "Beta";
        return writeUserData({alpha, beta});
    }
    static QByteArray markers()
    {
        Location camp;
        camp.Name = "Camp";
        camp.Level = 1;
        camp.X = 100;
        camp.Y = -200;
        return writeMarkers({camp});
    }

    /** Sets the first location's status as the user does: double click, then a status button. */
    void setStatusActive()
    {
        const Location& alpha = form->world().locations()[0];
        doubleClickAt(form->view().mapToPanel(alpha.X, alpha.Y));
        QTest::mouseClick(ui().SBA, Qt::LeftButton);
    }
    /** The first location's status as a user file holds it. */
    static std::int32_t statusOf(const QByteArray& file)
    {
        LocationList read(2);
        readUserData(file, read);
        return read[0].Status;
    }
    bool exists(const char* name) const { return QFileInfo::exists(world.path(QLatin1String(name))); }
};

TEST_F(ForeignFilesTest, Utf16UserDataSurvivesARunWithoutEditsAndSaysSo)
{
    const QByteArray user = utf16(userData());
    world.write(QStringLiteral("user.gdb"), user);
    world.write(QStringLiteral("markers.gdb"), markers());
    open();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(QStringLiteral("Veldamar Interactive Map|The file ")));
    EXPECT_TRUE(prompts.messages[0].contains(QFileInfo(world.path(QStringLiteral("user.gdb"))).absoluteFilePath()));
    EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("UTF-16")));
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(form->world().markers().size(), 1u); // the other files still load
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb")), user);
    EXPECT_FALSE(exists("user.gdb.bak"));
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), markers());
}

TEST_F(ForeignFilesTest, Utf16UserDataIsKeptAsBackupWhenEdited)
{
    const QByteArray user = utf16(userData());
    world.write(QStringLiteral("user.gdb"), user);
    open();
    setStatusActive();
    close();
    EXPECT_EQ(world.read(QStringLiteral("user.gdb.bak")), user);
    EXPECT_EQ(statusOf(world.read(QStringLiteral("user.gdb"))), Active);
}

TEST_F(ForeignFilesTest, CrOnlyMarkersSurviveARunWithoutEditsAndAreKeptAsBackupWhenEdited)
{
    const QByteArray crOnly = QByteArray(markers()).replace("\r\n", "\r");
    world.write(QStringLiteral("markers.gdb"), crOnly);
    open();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("markers.gdb holds no record")));
    close();
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), crOnly);
    EXPECT_FALSE(exists("markers.gdb.bak"));

    open();
    addMarkerAt(QPoint(200, 120));
    ASSERT_EQ(form->world().markers().size(), 1u);
    const QByteArray edited = writeMarkers(form->world().markers());
    close();
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb.bak")), crOnly);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), edited);
}

TEST_F(ForeignFilesTest, ProgramWrittenFilesGetNoBackup)
{
    world.write(QStringLiteral("user.gdb"), userData());
    world.write(QStringLiteral("markers.gdb"), markers());
    open();
    EXPECT_TRUE(prompts.messages.isEmpty());
    setStatusActive();
    close();
    EXPECT_FALSE(exists("user.gdb.bak"));
    EXPECT_FALSE(exists("markers.gdb.bak"));
    EXPECT_EQ(statusOf(world.read(QStringLiteral("user.gdb"))), Active);
    EXPECT_EQ(world.read(QStringLiteral("markers.gdb")), markers());
}

} // namespace
} // namespace vdm::test
