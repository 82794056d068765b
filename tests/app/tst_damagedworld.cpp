// SPDX-License-Identifier: MIT
// Hand-damaged worlds and a failing disk on the real main window: what the user is shown,
// and that no stored file changes behind the user's back.
#include "app/mainformfixture.h"
#include "data/inifile.h"
#include "app/program.h"
#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/errors.h"
#include "data/markersdb.h"
#include "data/userdb.h"
#include "world/worldchoice.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>

#include <map>
#include <string>
#include <vector>
#include <unistd.h>

namespace vdm::test {
namespace {

/**
 * Every file under a directory (hidden ones too) by its name relative to the directory:
 * its size and a digest of its bytes; directories and links by what they are.
 */
std::map<std::string, std::string> snapshot(const QString& dir)
{
    std::map<std::string, std::string> files;
    const QDir base(dir);
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        std::string& entry = files[base.relativeFilePath(path).toStdString()];
        if (info.isSymLink()) {
            entry = "link to " + info.symLinkTarget().toStdString();
        } else if (info.isDir()) {
            entry = "directory";
        } else {
            const QByteArray bytes = readFile(path);
            entry = std::to_string(bytes.size()) + " bytes, md5 "
                    + QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toStdString();
        }
    }
    return files;
}

struct UserBlock {
    QByteArray name;
    int status;
    QByteArray note;
};

/** A user database as the program writes it, so a rewrite of the same data is byte-identical. */
QByteArray userFile(std::initializer_list<UserBlock> blocks)
{
    LocationList list;
    for (const auto& [name, status, note] : blocks) {
        Location l;
        l.Name = name;
        l.Status = status;
        l.Note = note;
        list.push_back(l);
    }
    return writeUserData(list);
}

QByteArray markerFile()
{
    Location m;
    m.Name = "old camp";
    m.Level = 1;
    m.X = 1200;
    m.Y = -3400;
    return writeMarkers({m});
}

/** Offset of the frame header that holds the picture's height and width. */
qsizetype frameHeader(const QByteArray& jpeg)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i)
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) == 0xC0 || uchar(jpeg[i + 1]) == 0xC2))
            return i;
    return -1;
}

class DamagedWorldTest : public MainFormTest {
protected:
    /** A small world the user has worked in: three places, statuses, a note, a marker. */
    void writeWorld()
    {
        writeLocations({locationRecord("Alpha", 0, 0, 0), locationRecord("Beta", 0, 40000, 60000),
                        locationRecord("Gamma", 0, -50000, 120000)});
        world.write(QStringLiteral("user.gdb"),
                    userFile({{"Alpha", 3, "the old well"}, {"Beta", 2, ""}, {"Gamma", 1, "ferry"}}));
        world.write(QStringLiteral("markers.gdb"), markerFile());
    }
    QString picture() const { return world.path(QStringLiteral("bigmap.jpg")); }

    /**
     * The whole program on a world whose picture cannot be used: the error box shows
     * `expected`, the window is never built and no file anywhere is written.
     */
    void expectPictureRefused(const QString& expected)
    {
        writeWorld();
        const auto worldBefore = snapshot(world.dir());
        EXPECT_EQ(runProgram(prompts, world.appDir()), 0);
        ASSERT_EQ(prompts.errors.size(), 1);
        EXPECT_EQ(prompts.errors[0].toStdString(), expected.toStdString());
        EXPECT_THROW(TMainForm(prompts, world.appDir()), Error);
        EXPECT_EQ(snapshot(world.dir()), worldBefore);
        EXPECT_TRUE(snapshot(world.appDir()).empty()) << "a settings file was written";
    }
};

// --- the map picture ---------------------------------------------------------------------

TEST_F(DamagedWorldTest, TruncatedPictureIsRefusedWithTheDecoderText)
{
    // Cut in the middle of the picture data: painting grey where the map should be would
    // hide the damage.
    const QByteArray whole = readFile(picture());
    writeFile(picture(), whole.left(whole.size() / 2));
    expectPictureRefused(QStringLiteral("Premature end of JPEG file"));
}

TEST_F(DamagedWorldTest, PictureCutInsideItsHeaderIsRefused)
{
    const QByteArray whole = readFile(picture());
    writeFile(picture(), whole.left(frameHeader(whole) + 4));
    writeWorld();
    EXPECT_EQ(runProgram(prompts, world.appDir()), 0);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(prompts.errors[0].isEmpty());
    EXPECT_TRUE(snapshot(world.appDir()).empty());
}

TEST_F(DamagedWorldTest, PngUnderAJpegNameIsRefused)
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&png, "PNG"));
    writeFile(picture(), png.data());
    expectPictureRefused(QStringLiteral("Not a JPEG file: starts with 0x89 0x50"));
}

TEST_F(DamagedWorldTest, HugeHeaderIsRefusedBeforeAnyPixelMemory)
{
    QByteArray jpeg = readFile(picture());
    const qsizetype sof = frameHeader(jpeg);
    ASSERT_GT(sof, 0);
    // Height and width 60000 each (the most the decoder library takes is 65500): 14 GB of pixels.
    for (int i : {5, 7}) {
        jpeg[sof + i] = char(0xEA);
        jpeg[sof + i + 1] = char(0x60);
    }
    writeFile(picture(), jpeg);
    expectPictureRefused(
        QStringLiteral("The map picture is too large (60000 x 60000 pixels; at most 67108864 pixels are accepted)"));
}

// --- the locations database --------------------------------------------------------------

TEST_F(DamagedWorldTest, CarriageReturnLineEndsStopTheShowAndKeepTheUsersFiles)
{
    // A file saved with classic Mac line ends is one long line to a text-mode reader: no
    // record comes out, the user's three blocks do not fit, and the user is told so.
    QByteArray locations = locationRecord("Alpha", 0, 0, 0) + locationRecord("Beta", 0, 40000, 60000);
    writeWorld();
    world.write(QStringLiteral("vdmain.gdb"), locations.replace("\r\n", "\r"));
    const auto before = snapshot(world.dir());
    open();
    EXPECT_EQ(texts(prompts.errors), texts({QStringLiteral("List index out of bounds (0)")}));
    EXPECT_TRUE(form->world().locations().empty());
    close();
    EXPECT_EQ(snapshot(world.dir()), before);
}

TEST_F(DamagedWorldTest, NulByteInANameIsKeptAndShown)
{
    writeLocations({locationRecord(QByteArray("Al\0pha", 6), 0, 0, 0), locationRecord("Beta", 0, 40000, 60000)});
    open();
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(form->world().locations().size(), 2u);
    EXPECT_EQ(form->world().locations()[0].Name, QByteArray("Al\0pha", 6));
    EXPECT_EQ(ui().CBLoc->count(), 2);
    EXPECT_EQ(ui().CBLoc->itemText(0), QString::fromLatin1("Al\0pha", 6));
    close();
    // The user database written at the close reads back with the name whole.
    LocationList back(2);
    readUserData(world.read(QStringLiteral("user.gdb")), back);
    EXPECT_TRUE(world.read(QStringLiteral("user.gdb")).contains(QByteArray("nm = Al\0pha\r\n", 13)))
        << world.read(QStringLiteral("user.gdb")).toHex(' ').toStdString();
}

TEST_F(DamagedWorldTest, TenMegabyteLineBetweenRecordsIsSkipped)
{
    QByteArray junk(10 * 1024 * 1024, 'x');
    junk += "\r\n";
    world.write(QStringLiteral("vdmain.gdb"),
                locationRecord("Alpha", 0, 0, 0) + junk + locationRecord("Beta", 0, 40000, 60000));
    open();
    EXPECT_EQ(texts(prompts.errors), texts({}));
    ASSERT_EQ(form->world().locations().size(), 2u);
    EXPECT_EQ(form->world().locations()[1].Name, "Beta");
}

TEST_F(DamagedWorldTest, TenMegabyteNameStopsTheShowWithAConversionError)
{
    // The name line comes in pieces of 254 characters; the pieces take the places of the
    // following lines, and the level line, a piece of 254 letters less its six-character
    // label and its last character, is then no number.
    writeWorld();
    const QByteArray huge = locationRecord(QByteArray(10 * 1024 * 1024, 'n'), 0, 0, 0);
    world.write(QStringLiteral("vdmain.gdb"), locationRecord("Alpha", 0, 0, 0) + huge);
    const auto before = snapshot(world.dir());
    open();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors[0].toStdString(), "'" + std::string(247, 'n') + "' is not a valid integer value");
    close();
    EXPECT_EQ(snapshot(world.dir()), before);
}

// --- directories and unreadable files where databases should be --------------------------

TEST_F(DamagedWorldTest, LocationsDatabaseThatIsADirectoryClosesTheWindow)
{
    writeWorld();
    QFile::remove(world.path(QStringLiteral("vdmain.gdb")));
    ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("vdmain.gdb")));
    const auto before = snapshot(world.dir());
    build().show();
    // As with a missing file the file is named and the window closes. The close is
    // queued, so the rest of the first show still runs on the empty list: the user's
    // three blocks do not fit it and say so, and the user's files are kept.
    QTRY_VERIFY(!form->isVisible());
    EXPECT_EQ(texts(prompts.errors),
              texts({locationsMissingMessage(QFileInfo(world.path(QStringLiteral("vdmain.gdb"))).absoluteFilePath()),
                     QStringLiteral("List index out of bounds (0)")}));
    close();
    EXPECT_EQ(snapshot(world.dir()), before);
}

TEST_F(DamagedWorldTest, UserDatabaseThatIsADirectoryCannotBeSavedAndSaysSo)
{
    writeWorld();
    QFile::remove(world.path(QStringLiteral("user.gdb")));
    ASSERT_TRUE(QDir(world.dir()).mkdir(QStringLiteral("user.gdb")));
    const auto before = snapshot(world.dir());
    open();
    EXPECT_EQ(texts(prompts.errors), texts({}));
    close();
    // Nothing can replace a directory; the user is told at the save, and nothing else moved.
    EXPECT_EQ(texts(prompts.errors), texts({QStringLiteral("Unable to write to ")
                                            + QFileInfo(world.path(QStringLiteral("user.gdb"))).absoluteFilePath()}));
    EXPECT_EQ(snapshot(world.dir()), before);
}

TEST_F(DamagedWorldTest, UnreadableDatabasesAreReportedAndNeverOverwritten)
{
    // Without read permission; the superuser reads everything, so there the file is a link
    // to a file whose reading fails with an I/O error.
    for (const char* name : {"vdmain.gdb", "user.gdb", "markers.gdb"}) {
        SCOPED_TRACE(name);
        prompts.errors.clear();
        writeWorld();
        const QString path = world.path(QLatin1String(name));
        const QByteArray old = readFile(path);
        if (::geteuid() == 0) {
            QFile::remove(path);
            ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), path));
        } else {
            QFile::setPermissions(path, QFileDevice::WriteOwner);
        }
        const auto before = snapshot(world.dir());
        open();
        EXPECT_EQ(texts(prompts.errors),
                  texts({QStringLiteral("Cannot open file ") + QFileInfo(path).absoluteFilePath()}));
        close();
        EXPECT_EQ(snapshot(world.dir()), before);
        QFile::remove(path);
        writeFile(path, old);
    }
}

// --- the settings file ---------------------------------------------------------------

TEST_F(DamagedWorldTest, NulInsideASettingsValueEndsTheValue)
{
    // Found by fuzzing: the value was read with its NUL and written back with a blank in
    // its place, so the font changed at every run.
    writeWorld();
    world.writeSettings(QByteArray("[Map]\r\nFontName=\"Fi\0\0 Sys\"\r\n", 28));
    open();
    EXPECT_EQ(form->session().settings().MapFontName.toStdString(), "\"Fi");
    close();
    EXPECT_TRUE(readFile(world.appPath(QStringLiteral("qor.ini"))).contains("FontName=\"Fi\r\n"));
}

TEST(SettingsRoundTrip, ValuesWithBlanksOrQuotesAtTheirEndsReadBackAsWritten)
{
    // Found by fuzzing: the reader trims blanks and takes one pair of quotes off.
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("qor.ini")));
    for (const char* value : {" Serif", "Serif ", "\"Serif\"", "'Serif'", "\"", "\"Serif", "  ", "a\"b\"c", ""}) {
        SCOPED_TRACE(value);
        ini.WriteString(QStringLiteral("Map"), QStringLiteral("FontName"), QString::fromLatin1(value));
        EXPECT_EQ(
            ini.ReadString(QStringLiteral("Map"), QStringLiteral("FontName"), QStringLiteral("default")).toStdString(),
            value);
    }
    ini.WriteString(QStringLiteral("Map"), QStringLiteral("FontName"), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(readFile(ini.fileName()), "[Map]\r\nFontName=MS Sans Serif\r\n"); // plain values stay plain
}

TEST_F(DamagedWorldTest, LoneCarriageReturnInsideASettingsValueEndsTheValue)
{
    // Found by fuzzing, like the NUL: the writer turns a CR into a blank.
    writeWorld();
    world.writeSettings("[Hints]\r\nFontName=Serif\rps=0xFF\r\n");
    open();
    EXPECT_EQ(form->session().settings().HintFontName.toStdString(), "Serif");
    close();
    EXPECT_TRUE(readFile(world.appPath(QStringLiteral("qor.ini"))).contains("FontName=Serif\r\n"));
}

// --- a failing disk ----------------------------------------------------------------------

class FailingDiskTest : public DamagedWorldTest {
protected:
    void TearDown() override { AtomicFile::setFaultInjector({}); }
    void doubleClickAt(QPoint p)
    {
        QMouseEvent move(QEvent::MouseMove, p, ui().PanelMap->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(ui().PanelMap, &move);
        QTest::mouseClick(ui().PanelMap, Qt::LeftButton, {}, p);
        QTest::mouseDClick(ui().PanelMap, Qt::LeftButton, {}, p);
        QTest::mouseRelease(ui().PanelMap, Qt::LeftButton, {}, p);
    }
};

TEST_F(FailingDiskTest, AutosaveFailureIsShownAndTheNextSaveSucceeds)
{
    writeWorld();
    open();
    ASSERT_TRUE(prompts.errors.isEmpty());
    const QString full = QFileInfo(world.path(QStringLiteral("user.gdb"))).absoluteFilePath();
    doubleClickAt(form->view().mapToPanel(0, 0)); // Alpha, visited
    ASSERT_TRUE(ui().GBLoc->isEnabled());

    for (const AtomicFile::Step failing :
         {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Sync, AtomicFile::Step::Rename}) {
        SCOPED_TRACE(int(failing));
        prompts.errors.clear();
        const QByteArray stored = world.read(QStringLiteral("user.gdb"));
        AtomicFile::setFaultInjector([failing](AtomicFile::Step s) { return s != failing; });
        QTest::mouseClick(ui().SBA, Qt::LeftButton);
        EXPECT_EQ(form->world().locations()[0].Status, Active); // the change stays in memory
        EXPECT_EQ(texts(prompts.errors), texts({QStringLiteral("Unable to write to ") + full}));
        EXPECT_EQ(world.read(QStringLiteral("user.gdb")), stored);
        EXPECT_EQ(QDir(world.dir()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".user.gdb.")),
                  QStringList());
        // While the disk keeps failing the user has been told: the next change stays quiet.
        QTest::mouseClick(ui().SBU, Qt::LeftButton);
        EXPECT_EQ(prompts.errors.size(), 1);
        // Back, for the next round: a write that succeeds ends the streak, so the next
        // failure is told again.
        AtomicFile::setFaultInjector({});
        QTest::mouseClick(ui().SBV, Qt::LeftButton);
        EXPECT_EQ(prompts.errors.size(), 1);
        prompts.errors.clear();
    }

    AtomicFile::setFaultInjector({});
    QTest::mouseClick(ui().SBA, Qt::LeftButton);
    EXPECT_EQ(texts(prompts.errors), texts({}));
    LocationList back(3);
    readUserData(world.read(QStringLiteral("user.gdb")), back);
    EXPECT_EQ(back[0].Status, Active);
    EXPECT_EQ(back[0].Note, "the old well");
}

TEST_F(FailingDiskTest, ShutDownWithAFailingDiskReportsEachFileAndKeepsThem)
{
    writeWorld();
    world.writeSettings("[General]\r\nAutosave=0\r\n"); // every edit waits for the close
    open();
    const auto before = snapshot(world.dir());
    const auto settingsBefore = snapshot(world.appDir());
    // A change of every file, so each save has something to write.
    doubleClickAt(form->view().mapToPanel(0, 0)); // Alpha, visited
    QTest::mouseClick(ui().SBA, Qt::LeftButton);
    addMarkerAt(QPoint(200, 120));
    QTest::mouseClick(ui().ToolButtonText, Qt::LeftButton);
    ASSERT_EQ(form->world().locations()[0].Status, Active);
    ASSERT_EQ(form->world().markers().size(), 2u);
    ASSERT_EQ(snapshot(world.dir()), before); // nothing written yet
    AtomicFile::setFaultInjector([](AtomicFile::Step s) { return s != AtomicFile::Step::Rename; });
    close();
    AtomicFile::setFaultInjector({});
    ASSERT_EQ(prompts.errors.size(), 3);
    EXPECT_TRUE(prompts.errors[0].endsWith(QStringLiteral("/user.gdb")));
    EXPECT_TRUE(prompts.errors[1].endsWith(QStringLiteral("/markers.gdb")));
    EXPECT_TRUE(prompts.errors[2].endsWith(QStringLiteral("/qor.ini")));
    EXPECT_EQ(snapshot(world.dir()), before);
    EXPECT_EQ(snapshot(world.appDir()), settingsBefore);
}

} // namespace
} // namespace vdm::test
