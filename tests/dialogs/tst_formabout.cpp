// SPDX-License-Identifier: MIT
#include "dialogs/formabout.h"

#include "common/fakeprompts.h"
#include "common/testutils.h"
#include "cli/commandline.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace vdm {
namespace {

using test::FakePrompts;
using test::writeFile;

const QString Russian = QStringLiteral("Карта мира Вельдамара");

class FormAboutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        appDir = dir.path() + QLatin1Char('/');
        writeFile(appDir + "readme.txt", "Veldamar map\r\nSecond line\r\n");
        writeFile(appDir + "readmerus.txt", Russian.toUtf8() + "\r\n");
        writeFile(appDir + "readmefr.txt", "Carte du monde de Veldamar, \xE9"
                                           "dition fran\xE7"
                                           "aise\r\n"); // code page
        dialog = std::make_unique<TFormAbout>(appDir, prompts, nullptr);
    }

    template <class T> T* child(const char* name) const
    {
        T* w = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString shown() const { return child<QPlainTextEdit>("MemoAbout")->toPlainText(); }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    /** Runs the dialog modally; `whileOpen` acts as the user and must close it. */
    int run(const std::function<void()>& whileOpen) { return test::runModal(dialog.get(), whileOpen); }

    QTemporaryDir dir;
    QString appDir;
    FakePrompts prompts;
    std::unique_ptr<TFormAbout> dialog;
};

TEST_F(FormAboutTest, FormCarriesItsCaptionsFlagsAndFixedPitchBox)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(dialog->minimumSize(), QSize(492, 466));
    EXPECT_EQ(dialog->maximumSize(), QSize(492, 466));

    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {{"ButtonEng", "English"}, {"ButtonRus", "Russian"}, {"ButtonFra", "French"}};
    for (const auto& b : buttons) {
        QPushButton* button = child<QPushButton>(b.name);
        EXPECT_EQ(button->text(), QLatin1String(b.caption));
        const QPixmap flag = button->icon().pixmap(QSize(24, 15));
        ASSERT_FALSE(flag.isNull()) << b.name;
        const QImage image = flag.toImage();
        EXPECT_EQ(image.size(), QSize(24, 15));
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black)) << b.name; // the frame
        EXPECT_EQ(image.pixelColor(23, 13), QColor(Qt::black)) << b.name;
        EXPECT_EQ(image.pixelColor(5, 14).alpha(), 0) << b.name; // bottom row shows through
    }
    EXPECT_TRUE(child<QPushButton>("ButtonOk")->isDefault());
    // The version sits in the free corner left of Ok, clear of every described control.
    QLabel* version = child<QLabel>("LabelVersion");
    EXPECT_EQ(version->text(), QStringLiteral("Version ") + cli::version());
    // A screen reader reads the label's name: the number too, not "Version" alone.
    QAccessibleInterface* versionRead = QAccessible::queryAccessibleInterface(version);
    ASSERT_NE(versionRead, nullptr);
    EXPECT_EQ(versionRead->text(QAccessible::Name).toStdString(), version->text().toStdString());
    for (const char* other : {"ButtonEng", "ButtonRus", "ButtonFra", "ButtonOk", "MemoAbout"})
        EXPECT_FALSE(version->geometry().intersects(child<QWidget>(other)->geometry())) << other;

    QPlainTextEdit* memo = child<QPlainTextEdit>("MemoAbout");
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(memo->wordWrapMode(), QTextOption::WordWrap);
    EXPECT_EQ(memo->font().pixelSize(), 11);
    // Measured rather than asked: some monospaced faces do not declare their pitch.
    const QFontMetrics metrics(memo->font());
    EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
}

TEST_F(FormAboutTest, FirstShowingShowsEnglishWithFocusOnOk)
{
    const int result = run([this] {
        EXPECT_EQ(shown(), QStringLiteral("Veldamar map\nSecond line"));
        EXPECT_EQ(dialog->focusWidget(), child<QPushButton>("ButtonOk"));
        QTest::keyClick(dialog.get(), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(FormAboutTest, ChosenLanguageStaysAcrossShowings)
{
    run([this] {
        click("ButtonRus");
        EXPECT_EQ(shown(), Russian);
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    });
    // A changed English file must not be read back in: the box is not empty.
    writeFile(appDir + "readme.txt", "changed");
    run([this] {
        EXPECT_EQ(shown(), Russian);
        EXPECT_EQ(dialog->focusWidget(), child<QPushButton>("ButtonOk"));
        click("ButtonFra");
        EXPECT_EQ(shown(), QStringLiteral("Carte du monde de Veldamar, \u00E9dition fran\u00E7aise"));
        click("ButtonEng");
        EXPECT_EQ(shown(), QStringLiteral("changed"));
        click("ButtonOk");
    });
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(FormAboutTest, TheReadmeBoxIsNamedAfterTheLanguageItHolds)
{
    QPlainTextEdit* memo = child<QPlainTextEdit>("MemoAbout");
    const auto heard = [memo] {
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(memo);
        return read ? read->text(QAccessible::Name).toStdString() : std::string("(none)");
    };
    EXPECT_EQ(heard(), "Read-me, English");
    EXPECT_EQ(memo->verticalScrollBar()->accessibleName(), QStringLiteral("Scroll the read-me"));
    ASSERT_TRUE(QFile::remove(appDir + "readmefr.txt"));
    run([&] {
        EXPECT_EQ(heard(), "Read-me, English");
        click("ButtonRus");
        EXPECT_EQ(heard(), "Read-me, Russian");
        click("ButtonFra"); // missing: the box is empty, and says whose text it lacks
        EXPECT_TRUE(shown().isEmpty());
        EXPECT_EQ(heard(), "Read-me, French");
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    });
    // The empty box is filled with English at the next showing, and says so.
    run([&] {
        EXPECT_EQ(shown(), QStringLiteral("Veldamar map\nSecond line"));
        EXPECT_EQ(heard(), "Read-me, English");
        click("ButtonOk");
    });
}

TEST_F(FormAboutTest, MissingFileIsNamedAndLeavesTheBoxEmpty)
{
    ASSERT_TRUE(QFile::remove(appDir + "readmefr.txt"));
    run([this] {
        ASSERT_FALSE(shown().isEmpty());
        click("ButtonFra");
        EXPECT_TRUE(shown().isEmpty());
        click("ButtonOk");
    });
    EXPECT_EQ(prompts.errors,
              QStringList{QStringLiteral("Cannot open file ") + appDir + QStringLiteral("readmefr.txt")});
}

TEST_F(FormAboutTest, SpecialFileCannotBeOpenedAndNeverBlocks)
{
    ASSERT_TRUE(QFile::remove(appDir + "readmerus.txt"));
    const test::Fifo fifo(appDir + "readmerus.txt");
    run([this] {
        click("ButtonRus");
        EXPECT_TRUE(shown().isEmpty());
        click("ButtonOk");
    });
    EXPECT_EQ(prompts.errors,
              QStringList{QStringLiteral("Cannot open file ") + appDir + QStringLiteral("readmerus.txt")});
    EXPECT_FALSE(fifo.blocked());
}

TEST_F(FormAboutTest, MissingEnglishFileStillOpensTheDialogAndIsTriedAgain)
{
    ASSERT_TRUE(QFile::remove(appDir + "readme.txt"));
    for (int showing = 1; showing <= 2; ++showing) {
        const int result = run([this] {
            EXPECT_TRUE(shown().isEmpty());
            EXPECT_EQ(dialog->focusWidget(), child<QPushButton>("ButtonOk"));
            click("ButtonOk");
        });
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(prompts.errors.size(), showing);
    }
    EXPECT_EQ(prompts.errors.last(), QStringLiteral("Cannot open file ") + appDir + QStringLiteral("readme.txt"));
}

// An installed program lies in PREFIX/bin; its read-me files in PREFIX/share/veldamar-map.
TEST(FormAboutInstalled, ReadsTheInstalledReadmesAndNamesTheFolderBesideTheProgram)
{
    const test::InstalledPrefix installed;
    ASSERT_TRUE(installed.made());
    const QString& bin = installed.bin();
    const QString& share = installed.share();
    writeFile(share + "readme.txt", "Installed English\r\n");
    writeFile(share + "readmerus.txt", Russian.toUtf8() + "\r\n");
    FakePrompts prompts;
    TFormAbout dialog(bin, prompts, nullptr);
    test::runModal(&dialog, [&] {
        QPlainTextEdit* memo = dialog.findChild<QPlainTextEdit*>(QStringLiteral("MemoAbout"));
        ASSERT_NE(memo, nullptr);
        EXPECT_EQ(memo->toPlainText(), QStringLiteral("Installed English"));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ButtonRus")), Qt::LeftButton);
        EXPECT_EQ(memo->toPlainText(), Russian);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ButtonFra")), Qt::LeftButton);
        EXPECT_TRUE(memo->toPlainText().isEmpty());
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ButtonOk")), Qt::LeftButton);
    });
    EXPECT_EQ(prompts.errors, QStringList{QStringLiteral("Cannot open file ") + bin + QStringLiteral("readmefr.txt")});
}

TEST_F(FormAboutTest, EmptyReadmeIsLoadedAgainAtEveryShowing)
{
    writeFile(appDir + "readme.txt", QByteArray());
    run([this] {
        EXPECT_TRUE(shown().isEmpty());
        click("ButtonOk");
    });
    writeFile(appDir + "readme.txt", "Filled in later\n");
    run([this] {
        EXPECT_EQ(shown(), QStringLiteral("Filled in later"));
        click("ButtonOk");
    });
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST(FormAboutDecode, ShowsEveryByteOfEitherEncoding)
{
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"plain\r\ntext", QStringLiteral("plain\ntext")},
        {"\xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0", QStringLiteral("Карта")}, // valid UTF-8
        {"caf\xE9", QStringLiteral("caf\u00E9")},                              // code page
        {"end \xD0", QStringLiteral("end \u00D0")},                            // UTF-8 cut short
        {"\x81\x8D\x80", QStringLiteral("\u0081\u008D\u20AC")},                // undefined bytes too
        {"mac\rlines\n", QStringLiteral("mac\nlines\n")},
        {"\xEF\xBB\xBFwith mark", QStringLiteral("with mark")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TFormAbout::decodeReadme(c.bytes), c.text) << c.bytes.toHex().constData();
}

} // namespace
} // namespace vdm
