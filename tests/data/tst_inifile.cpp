// SPDX-License-Identifier: MIT
#include "data/inifile.h"

#include "common/testutils.h"
#include "data/atomicfile.h"
#include "data/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <unistd.h>

namespace vdm {
namespace {

using test::readFile;
using test::writeFile;

class IniFileTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::setFaultInjector(nullptr); }

    QString path() const { return m_dir.filePath(QStringLiteral("qor.ini")); }
    void put(const QByteArray& bytes) const { writeFile(path(), bytes); }
    QByteArray contents() const { return readFile(path()); }

    /** Runs a write that must fail, checking the message and that the file kept its bytes. */
    template <typename Write> void expectRefused(IniFile& ini, Write write) const
    {
        const bool existed = QFileInfo::exists(ini.fileName()) && QFileInfo(ini.fileName()).isFile();
        const QByteArray before = existed ? readFile(ini.fileName()) : QByteArray();
        try {
            write();
            FAIL() << "the write succeeded";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("Unable to write to ") + QFileInfo(ini.fileName()).absoluteFilePath());
        }
        if (existed) {
            EXPECT_EQ(readFile(ini.fileName()), before);
        }
        // No temporary file is left behind beside it.
        const QDir dir = QFileInfo(ini.fileName()).absoluteDir();
        if (dir.exists()) {
            EXPECT_TRUE(dir.entryList({QStringLiteral(".qor.ini.*")}, QDir::Hidden | QDir::Files).isEmpty());
        }
    }

    QTemporaryDir m_dir;
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsCreatedByTheFirstWrite)
{
    IniFile ini(path());
    EXPECT_EQ(ini.ReadString("Map", "FontName", "Arial"), "Arial");
    EXPECT_EQ(ini.ReadInteger("Map", "FontSize", 8), 8);
    EXPECT_TRUE(ini.ReadBool("Map", "ShowText", true));
    EXPECT_FALSE(QFileInfo::exists(path())); // reading creates nothing
    ini.UpdateFile();                        // nothing written, nothing to flush

    ini.WriteBool("Map", "ShowText", true);
    EXPECT_EQ(contents(), "[Map]\r\nShowText=1\r\n");
    ini.UpdateFile();
}

TEST_F(IniFileTest, ReplacesAValueWhereItStandsKeepingEveryOtherLine)
{
    const QByteArray before = "; my settings\r\n"
                              "\r\n"
                              "[Map]\r\n"
                              "  ShowText = 1  \r\n"
                              "Unknown=keep me\r\n"
                              "FontSize=8\r\n"
                              "\r\n"
                              "[Hints]\r\n"
                              "FontSize=9\r\n";
    put(before);
    IniFile ini(path());
    ini.WriteInteger("MAP", "fontsize", 12); // names match whatever their case
    ini.WriteBool("map", "SHOWTEXT", false);
    EXPECT_EQ(contents(), "; my settings\r\n"
                          "\r\n"
                          "[Map]\r\n"
                          "ShowText=0\r\n"
                          "Unknown=keep me\r\n"
                          "FontSize=12\r\n"
                          "\r\n"
                          "[Hints]\r\n"
                          "FontSize=9\r\n");
}

TEST_F(IniFileTest, NewKeyGoesAfterTheLastKeyOfItsSectionAndNewSectionToTheEnd)
{
    put("[Map]\r\nA=1\r\n; about B\r\nB=2\r\n\r\n; next comes Hints\r\n[Hints]\r\nX=1\r\n\r\n");
    IniFile ini(path());
    ini.WriteInteger("map", "C", 3);
    ini.WriteInteger("Hints", "Y", 2);
    ini.WriteString("General", "Z", "new");
    EXPECT_EQ(contents(), "[Map]\r\nA=1\r\n; about B\r\nB=2\r\nC=3\r\n\r\n; next comes Hints\r\n"
                          "[Hints]\r\nX=1\r\nY=2\r\n\r\n"
                          "[General]\r\nZ=new\r\n");
}

TEST_F(IniFileTest, KeyInAnEmptySectionFollowsItsHeader)
{
    put("[Map]\r\n[Hints]\r\nX=1\r\n");
    IniFile ini(path());
    ini.WriteInteger("Map", "A", 1);
    EXPECT_EQ(contents(), "[Map]\r\nA=1\r\n[Hints]\r\nX=1\r\n");
}

TEST_F(IniFileTest, LfOnlyAndUnterminatedFilesReadAndComeBackWithCrLf)
{
    put("[Map]\nA=1\n[Hints]\nB=two");
    IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 1);
    EXPECT_EQ(ini.ReadString("Hints", "B", ""), "two");
    ini.WriteInteger("Hints", "C", 3);
    EXPECT_EQ(contents(), "[Map]\r\nA=1\r\n[Hints]\r\nB=two\r\nC=3\r\n");
}

TEST_F(IniFileTest, NamesCompareCaseInsensitivelyAndBlanksAreTrimmed)
{
    put("[ map ]\r\n\t fontName =  Times New Roman \t\r\nQuoted=\"  padded  \"\r\nSingle='x'\r\nHalf=\"x\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.ReadString("Map", "FontName", "d"), "Times New Roman");
    EXPECT_EQ(ini.ReadString("MAP", "FONTNAME", "d"), "Times New Roman");
    EXPECT_EQ(ini.ReadString("Map", "Quoted", "d"), "  padded  ");
    EXPECT_EQ(ini.ReadString("Map", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("Map", "Half", "d"), "\"x");
    EXPECT_EQ(ini.ReadString("Hints", "FontName", "d"), "d"); // same key, other section
}

TEST_F(IniFileTest, CommentsAndKeysOutsideTheSectionDoNotMatch)
{
    put("A=outside\r\n[Map]\r\n;A=commented\r\nB\r\n=nameless\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.ReadString("Map", "A", "d"), "d");
    EXPECT_EQ(ini.ReadString("Map", ";A", "d"), "d");
    EXPECT_EQ(ini.ReadString("Map", "B", "d"), "d");
    ini.WriteString("Map", "A", "in"); // the section has no key line yet: right after its header
    EXPECT_EQ(contents(), "A=outside\r\n[Map]\r\nA=in\r\n;A=commented\r\nB\r\n=nameless\r\n");
    EXPECT_EQ(ini.ReadString("Map", "A", "d"), "in");
}

TEST_F(IniFileTest, ReadsTheFirstOccurrenceAndReplacesItEvenInARepeatedSection)
{
    put("[Map]\r\nA=1\r\n[Hints]\r\nH=0\r\n[MAP]\r\nB=2\r\nA=3\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 1);
    EXPECT_EQ(ini.ReadInteger("Map", "B", 0), 2);
    ini.WriteInteger("Map", "B", 20);
    ini.WriteInteger("Map", "C", 30); // a new key joins the first of the two
    EXPECT_EQ(contents(), "[Map]\r\nA=1\r\nC=30\r\n[Hints]\r\nH=0\r\n[MAP]\r\nB=20\r\nA=3\r\n");
}

TEST_F(IniFileTest, WrittenChangesLeaveAnotherWritersKeysAlone)
{
    const QByteArray base = "[A]\r\nx=1\r\ny=2\r\n";
    const QByteArray changed = "[A]\r\nx=1\r\ny=5\r\nz=7\r\ny=8\r\n[B]\r\nw=1\r\n";
    struct Case {
        const char* what;
        QByteArray now, expected;
    };
    const Case cases[] = {
        {"nobody else wrote", base, changed},
        {"emptied meanwhile", "", changed},
        {"another writer's key and comment stay", "v=0\r\n[a]\r\nX=9\r\ny=2\r\n; theirs\r\n",
         "v=0\r\n[a]\r\nX=9\r\ny=5\r\nz=7\r\n; theirs\r\n[B]\r\nw=1\r\n"},
        {"the same key changed by both: this writer's", "[A]\r\nx=1\r\ny=3\r\n[B]\r\nw=4\r\n",
         "[A]\r\nx=1\r\ny=5\r\nz=7\r\n[B]\r\nw=1\r\n"},
    };
    for (const Case& c : cases) {
        put(c.now);
        IniFile ini(path());
        ini.WriteChanges(base, base, changed);
        EXPECT_EQ(contents(), c.expected) << c.what;
    }
}

TEST_F(IniFileTest, IntegerReadsDecimalOrHexAndElseTheDefault)
{
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"42", 42},
        {"  -17  ", -17},
        {"+5", 5},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", -99},
        {"0xFF", 255},
        {"0XfF", 255},
        {"0x0000000001", 1},
        {"0xFFFFFFFF", -1},
        {"0x100000000", -99},
        {"0x", -99},
        {"0x-1", -99},
        {"0xG1", -99},
        {"x10", -99},
        {"12abc", -99},
        {"1 2", -99},
        {"", -99},
        {"yes", -99},
        {"\"7\"", 7},
    };
    QByteArray file = "[S]\r\n";
    for (size_t i = 0; i < std::size(cases); ++i)
        file += "K" + QByteArray::number(qulonglong(i)) + "=" + cases[i].text + "\r\n";
    put(file);
    IniFile ini(path());
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ini.ReadInteger("S", "K" + QString::number(i), -99), cases[i].expected) << cases[i].text;
    EXPECT_EQ(ini.ReadInteger("S", "Missing", -99), -99);
}

TEST_F(IniFileTest, BoolIsAnIntegerAndAnythingElseTheDefault)
{
    put("[S]\r\nZero=0\r\nOne=1\r\nTwo=2\r\nMinus=-1\r\nHex=0x0\r\nWord=yes\r\nEmpty=\r\n");
    IniFile ini(path());
    for (const bool d : {false, true}) {
        EXPECT_FALSE(ini.ReadBool("S", "Zero", d));
        EXPECT_TRUE(ini.ReadBool("S", "One", d));
        EXPECT_TRUE(ini.ReadBool("S", "Two", d));
        EXPECT_TRUE(ini.ReadBool("S", "Minus", d));
        EXPECT_FALSE(ini.ReadBool("S", "Hex", d));
        EXPECT_EQ(ini.ReadBool("S", "Word", d), d);
        EXPECT_EQ(ini.ReadBool("S", "Empty", d), d);
        EXPECT_EQ(ini.ReadBool("S", "Missing", d), d);
    }
}

TEST_F(IniFileTest, IntegerAndBoolWritesAreDecimal)
{
    IniFile ini(path());
    ini.WriteInteger("S", "Neg", -42);
    ini.WriteInteger("S", "Min", INT_MIN);
    ini.WriteBool("S", "T", true);
    ini.WriteBool("S", "F", false);
    EXPECT_EQ(contents(), "[S]\r\nNeg=-42\r\nMin=-2147483648\r\nT=1\r\nF=0\r\n");
}

TEST_F(IniFileTest, StringReadStopsAt2047Characters)
{
    const QByteArray longValue(3000, 'a');
    put("[S]\r\nLong=" + longValue + "\r\nExact=" + QByteArray(2047, 'b') + "\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.ReadString("S", "Long", ""), QString(2047, QLatin1Char('a')));
    EXPECT_EQ(ini.ReadString("S", "Exact", ""), QString(2047, QLatin1Char('b')));
    EXPECT_EQ(ini.ReadString("S", "Missing", QString(2050, QLatin1Char('c'))).size(), 2047);
}

TEST_F(IniFileTest, TextIsInTheCodePage)
{
    IniFile ini(path());
    const QString name = QStringLiteral("Caf\u00e9 \u20ac");
    ini.WriteString("Map", "FontName", name);
    EXPECT_EQ(contents(), QByteArray("[Map]\r\nFontName=Caf\xE9 \x80\r\n"));
    EXPECT_EQ(ini.ReadString("Map", "FontName", ""), name);
}

TEST_F(IniFileTest, AValueCannotAddLines)
{
    IniFile ini(path());
    ini.WriteString("Map", "FontName", QStringLiteral("Evil\r\n[General]\nRestoreWindow=0"));
    EXPECT_EQ(contents(), "[Map]\r\nFontName=Evil  [General] RestoreWindow=0\r\n");
    EXPECT_TRUE(ini.ReadBool("General", "RestoreWindow", true));
}

TEST_F(IniFileTest, HostileContentReadsWithoutHarm)
{
    QByteArray garbage;
    for (int i = 0; i < 70000; ++i)
        garbage += char((i * 7919) % 256);
    QByteArray file = garbage + "\r\n[\r\n]\r\n=\r\n[Map\r\nA=1\r\n";
    file += "Huge=" + QByteArray(1 << 20, 'h') + "\r\n";
    file += QByteArray("Nul=a\0b\r\n", 9);
    file += "[" + QByteArray(100000, '[') + "\r\n";
    put(file);
    IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 1); // an unclosed header still opens its section
    EXPECT_EQ(ini.ReadString("Map", "Huge", "").size(), 2047);
    EXPECT_EQ(ini.ReadString("Map", "Nul", ""), QStringLiteral("a")); // a value ends at a NUL
    EXPECT_EQ(ini.ReadInteger("Nowhere", "A", 5), 5);

    // A write keeps every line it did not touch.
    ini.WriteInteger("Map", "A", 2);
    QByteArray expected = file;
    expected.replace("A=1\r\n", "A=2\r\n");
    // Only line ends may differ: bare LFs of the garbage come back as CR LF.
    EXPECT_EQ(contents().replace("\r\n", "\n"), expected.replace("\r\n", "\n"));
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 2);
    EXPECT_EQ(ini.ReadString("Map", "Huge", "").size(), 2047);
}

TEST_F(IniFileTest, OversizedFileIsNeitherParsedNorReplaced)
{
    QByteArray file = "[Map]\r\nA=1\r\n";
    file += QByteArray(IniFile::MaxFileSize, ';');
    put(file);
    IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Map", "A", 7), 7);
    expectRefused(ini, [&] { ini.WriteInteger("Map", "A", 2); });
}

TEST_F(IniFileTest, FailedWriteThrowsAndKeepsTheOldFile)
{
    put("[Map]\r\nA=1\r\n");
    IniFile ini(path());
    for (const AtomicFile::Step failing :
         {AtomicFile::Step::Create, AtomicFile::Step::Write, AtomicFile::Step::Sync, AtomicFile::Step::Rename}) {
        AtomicFile::setFaultInjector([failing](AtomicFile::Step s) { return s != failing; });
        expectRefused(ini, [&] { ini.WriteInteger("Map", "A", 2); });
        expectRefused(ini, [&] { ini.WriteString("Hints", "B", "x"); });
    }
    AtomicFile::setFaultInjector(nullptr);
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 1);
}

TEST_F(IniFileTest, UnchangedValueLeavesTheFileAlone)
{
    put("[Map]\r\nA=1\r\n");
    IniFile ini(path());
    int steps = 0;
    AtomicFile::setFaultInjector([&steps](AtomicFile::Step) { return ++steps, false; });
    ini.WriteInteger("map", "a", 1);
    EXPECT_EQ(steps, 0);
    expectRefused(ini, [&] { ini.WriteInteger("Map", "A", 2); });

    // A file with bare LFs is rewritten even for an equal value, so it ends up in CR LF.
    AtomicFile::setFaultInjector(nullptr);
    put("[Map]\nA=1\n");
    ini.WriteInteger("Map", "A", 1);
    EXPECT_EQ(contents(), "[Map]\r\nA=1\r\n");
}

TEST_F(IniFileTest, UnwritablePlacesGiveTheFullPath)
{
    IniFile missingDir(m_dir.filePath(QStringLiteral("no/such/dir/qor.ini")));
    expectRefused(missingDir, [&] { missingDir.WriteInteger("Map", "A", 1); });

    put("not a directory");
    IniFile underFile(path() + QStringLiteral("/qor.ini"));
    expectRefused(underFile, [&] { underFile.WriteInteger("Map", "A", 1); });
    EXPECT_EQ(contents(), "not a directory");

    // A directory where the file should be cannot be read, so it is not replaced either.
    const QString dirPath = m_dir.filePath(QStringLiteral("isdir.ini"));
    ASSERT_TRUE(QDir().mkdir(dirPath));
    IniFile isDir(dirPath);
    EXPECT_EQ(isDir.ReadInteger("Map", "A", 3), 3);
    expectRefused(isDir, [&] { isDir.WriteInteger("Map", "A", 1); });
    EXPECT_TRUE(QFileInfo(dirPath).isDir());
}

TEST_F(IniFileTest, SpecialFileGivesDefaultsAndIsNeverReplaced)
{
    // A FIFO would hold the open until a writer came; a device is not a settings file.
    const test::Fifo fifo(path());
    IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Map", "A", 3), 3);
    expectRefused(ini, [&] { ini.WriteInteger("Map", "A", 1); });
    expectRefused(ini, [&] { ini.UpdateFile(); });
    EXPECT_FALSE(QFileInfo(path()).isFile());
    EXPECT_FALSE(fifo.blocked());

    IniFile device(QStringLiteral("/dev/zero"));
    EXPECT_EQ(device.ReadString("Map", "A", "d"), "d");
}

TEST_F(IniFileTest, ReadOnlyFileIsReadButNotReplaced)
{
    put("[Map]\r\nA=1\r\n");
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 1);
    expectRefused(ini, [&] { ini.WriteInteger("Map", "A", 2); });
    EXPECT_FALSE(QFileInfo(path()).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
}

TEST_F(IniFileTest, LinkedFileIsWrittenThroughItsLink)
{
    QDir(m_dir.path()).mkdir(QStringLiteral("synced"));
    const QString target = m_dir.filePath(QStringLiteral("synced/qor.ini"));
    writeFile(target, "[Map]\r\nA=1\r\n");
    ASSERT_TRUE(QFile::link(QStringLiteral("synced/qor.ini"), path()));
    IniFile ini(path());
    ini.WriteInteger("Map", "A", 2);
    ini.UpdateFile();
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readFile(target), "[Map]\r\nA=2\r\n");
}

TEST_F(IniFileTest, ReadOnlyDirectoryRefusesTheWrite)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    put("[Map]\r\nA=1\r\n");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    IniFile ini(path());
    expectRefused(ini, [&] { ini.WriteInteger("Map", "A", 2); });
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(contents(), "[Map]\r\nA=1\r\n");
}

TEST_F(IniFileTest, ReadsSeeChangesMadeBehindTheObjectsBack)
{
    IniFile ini(path());
    put("[Map]\r\nA=1\r\n");
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 1);
    put("[Map]\r\nA=5\r\n");
    EXPECT_EQ(ini.ReadInteger("Map", "A", 0), 5);
    ini.WriteInteger("Map", "B", 6);
    EXPECT_EQ(contents(), "[Map]\r\nA=5\r\nB=6\r\n");
}

TEST_F(IniFileTest, LoneCarriageReturnsStayInsideTheirLines)
{
    // Only CR LF and LF end a line; every other line comes back as it was, with CR LF.
    put("x\ry\r\r\n[S]\nk=1\r");
    IniFile ini(path());
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), -1), 1);
    ini.WriteInteger(QStringLiteral("S"), QStringLiteral("k"), 2);
    EXPECT_EQ(contents(), QByteArray("x\ry\r\r\n[S]\r\nk=2\r\n"));
    ini.WriteInteger(QStringLiteral("S"), QStringLiteral("j"), 3);
    EXPECT_EQ(contents(), QByteArray("x\ry\r\r\n[S]\r\nk=2\r\nj=3\r\n"));
}

// --- contents in memory ----------------------------------------------------------------------

TEST_F(IniFileTest, MemoryContentsFollowTheSameRulesByteForByte)
{
    // The same start and the same writes, once on the file and once in memory.
    const QByteArray starts[] = {
        QByteArray(),
        "; kept\r\n[Map]\r\nZoom=2\r\n\r\n[General]\r\nAutosave=1\r\n",
        "[map]\nzoom = 7\n[Map]\nZoom=3",
        "\r\r=\0[\r\n  Map ]  \r\n fontname = \"  Serif \" \r\n",
    };
    for (const QByteArray& start : starts) {
        SCOPED_TRACE(start.toStdString());
        put(start);
        IniFile onDisk(path());
        auto* memory = new MemoryIniStorage(start);
        IniFile inMemory(QStringLiteral("qor.ini"), std::unique_ptr<IniStorage>(memory));
        for (IniFile* ini : {&onDisk, &inMemory}) {
            ini->WriteInteger(QStringLiteral("Map"), QStringLiteral("Zoom"), 5);
            ini->WriteString(QStringLiteral("Map"), QStringLiteral("FontName"), QStringLiteral(" Sans "));
            ini->WriteBool(QStringLiteral("Window"), QStringLiteral("Maximized"), true);
            ini->UpdateFile();
        }
        EXPECT_EQ(memory->bytes(), contents());
        EXPECT_EQ(inMemory.ReadString(QStringLiteral("MAP"), QStringLiteral("fontname"), QString()),
                  QStringLiteral(" Sans "));
        EXPECT_EQ(inMemory.ReadInteger(QStringLiteral("Map"), QStringLiteral("Zoom"), 0), 5);
    }
}

TEST_F(IniFileTest, OversizedMemoryContentsAreNeitherParsedNorReplaced)
{
    const QByteArray big = "[Map]\r\nZoom=3\r\n" + QByteArray(IniFile::MaxFileSize, ';');
    auto* memory = new MemoryIniStorage(big);
    IniFile ini(QStringLiteral("qor.ini"), std::unique_ptr<IniStorage>(memory));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Map"), QStringLiteral("Zoom"), -1), -1);
    try {
        ini.WriteInteger(QStringLiteral("Map"), QStringLiteral("Zoom"), 4);
        FAIL() << "the write succeeded";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Unable to write to "))) << qPrintable(e.message());
    }
    EXPECT_EQ(memory->bytes(), big);
}

} // namespace
} // namespace vdm
