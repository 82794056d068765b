// SPDX-License-Identifier: MIT
// The real main window on a screen of device pixel ratio 2 (this program runs with the
// scale factor 2): the map is painted at the screen's resolution, the pointer still works
// in panel pixels, and the copies and saved images carry the screen's pixels.
#include "app/mainformfixture.h"
#include "common/testutils.h"
#include "map/mapimage.h"

#include <QAction>
#include <QClipboard>
#include <QMimeData>

namespace vdm::test {
namespace {

class RatioTest : public MainFormTest {
protected:
    void SetUp() override
    {
        writeLocations(
            {locationRecord("Aldmoor Keep", 0, -60000, 150000), locationRecord("Brennhold", 0, 20000, 40000)});
        open();
        ASSERT_EQ(panel()->devicePixelRatioF(), 2.0) << "run with QT_SCALE_FACTOR=2";
    }
    static QImage rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }
};

TEST_F(RatioTest, BackBufferHasTwiceThePixelsAndShowsAsThePanel)
{
    form->RepaintMap();
    const QImage& buffer = form->canvas().backBuffer();
    EXPECT_EQ(buffer.size(), panel()->size() * 2);
    EXPECT_EQ(buffer.devicePixelRatio(), 2.0);
    // What the panel shows is the buffer, pixel for pixel, not an enlargement of it.
    const QImage shown = rgb(panel()->grab().toImage());
    ASSERT_EQ(shown.size(), buffer.size());
    EXPECT_EQ(differingPixels(shown, rgb(buffer)), 0);
}

TEST_F(RatioTest, ToolButtonsShowTheGlyphsDrawnAtTwiceTheSize)
{
    const QImage drawn2x(QStringLiteral(":/glyphs/glyph00@2x.png"));
    ASSERT_EQ(drawn2x.size(), QSize(32, 32));
    const QPixmap shown = ui().ToolButtonZoomIn->icon().pixmap(QSize(16, 16), panel()->devicePixelRatioF());
    EXPECT_EQ(shown.size(), QSize(32, 32));
    EXPECT_EQ(shown.devicePixelRatio(), 2.0);
    // The twice-size file itself is shown; it was painted on another machine.
    const int shownApart = largestChannelDifference(shown.toImage(), drawn2x);
    EXPECT_GE(shownApart, 0);
    EXPECT_LE(shownApart, PaintedArtTolerance);
    const QPixmap icon = form->windowIcon().pixmap(QSize(48, 48), 2.0);
    const int apart = largestChannelDifference(icon.toImage(), QImage(QStringLiteral(":/glyphs/icon@2x.png")));
    EXPECT_GE(apart, 0);
    EXPECT_LE(apart, PaintedArtTolerance);
}

TEST_F(RatioTest, PointerStillFindsPlacesInPanelPixels)
{
    const World& w = form->world();
    const Location& place = w.locations()[1];
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    const QPoint at = form->view().mapToPanel(place.X, place.Y);
    ASSERT_TRUE(panel()->rect().contains(at));
    doubleClickAt(at);
    EXPECT_EQ(form->editor().SelectedIndex(), 1);
}

TEST_F(RatioTest, ClipboardCopyCarriesTheDevicePixels)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    QTest::mouseClick(ui().ToolButtonClip, Qt::LeftButton);
    const QMimeData* data = clipboard->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasImage());
    const QImage copy = rgb(clipboard->image());
    EXPECT_EQ(copy.size(), panel()->size() * 2);
    EXPECT_EQ(differingPixels(copy, rgb(form->canvas().backBuffer())), 0);
}

TEST_F(RatioTest, SavedImagesCarryTheDevicePixels)
{
    QAction* action = form->findChild<QAction*>(QStringLiteral("ActionSaveImage"));
    ASSERT_NE(action, nullptr);
    struct Case {
        int choice;
        const char* file;
    };
    for (const Case& c : {Case{0, "panel.png"}, Case{1, "whole.png"}}) {
        const QString path = world.path(QString::fromLatin1(c.file));
        prompts.choices.push_back(c.choice);
        prompts.filesToSave.push_back(path);
        action->trigger();
        EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
        const QImage saved(path);
        ASSERT_FALSE(saved.isNull()) << c.file;
        // Twice the screen's resolution, so a viewer can show it at the map's own size.
        EXPECT_NEAR(saved.dotsPerMeterX(), 2 * QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX(), 1) << c.file;
        if (c.choice == 0) {
            EXPECT_EQ(saved.size(), panel()->size() * 2);
            EXPECT_EQ(differingPixels(rgb(saved), rgb(form->canvas().backBuffer())), 0);
        } else {
            const QSize whole = MapImage::wholeMapSize(form->view());
            EXPECT_EQ(saved.size(), whole * 2);
            // The question names the pixels the file will have.
            EXPECT_TRUE(prompts.questions.back().contains(
                QStringLiteral("(%1 x %2 pixels)").arg(whole.width() * 2).arg(whole.height() * 2)))
                << prompts.questions.back().toStdString();
        }
    }
}

} // namespace
} // namespace vdm::test
