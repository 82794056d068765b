// SPDX-License-Identifier: MIT
#include "hint/ddghintwindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace vdm {
namespace {

const QString kW2 = QStringLiteral("WW");
const QString kW4 = QStringLiteral("WWWW");
const QString kW11 = QStringLiteral("WWWWWWWWWWW");
const QString kW15 = QStringLiteral("WWWWWWWWWWWWWWW");
const QRgb kBackground = qRgb(0, 0, 0);
const QRgb kSentinel = qRgb(255, 0, 255);

class DdgHintWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = std::make_unique<QWidget>();
        owner->resize(300, 200);
        hint = new TddgHintWindow(owner.get());
        hint->setCanvasFontName(QStringLiteral("DejaVu Sans"));
        hint->setCanvasFontSize(8);
        hint->setColor(Qt::black);
        const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();
        inside = QRect(desk.topLeft() + QPoint(40, 40), QSize(1, 1));
    }

    void show(const QString& title, const QString& note, QRect at)
    {
        hint->SetExText(note);
        hint->SetText(title);
        hint->ActivateHint(at, title);
    }
    void show(const QString& title, const QString& note) { show(title, note, inside); }

    int w(const QString& s) const { return hint->textWidth(s); }
    int h() const { return hint->textHeight(); }

    // What the window shows: its own painting on a sentinel colour, clipped to its shape.
    QImage rendered() const
    {
        QImage image(hint->size(), QImage::Format_RGB32);
        image.fill(kSentinel);
        // render() puts the top-left of what it paints (the shape's, when there is one) at
        // the offset it is given.
        const QPoint origin = hint->mask().isEmpty() ? QPoint() : hint->mask().boundingRect().topLeft();
        hint->render(&image, origin, QRegion(), QWidget::DrawChildren);
        return image;
    }

    // A text of exactly `target` pixels, grown from `base` by appending the widest piece
    // that still fits; widths do not add up exactly, so several bases are tried.
    QString grownTo(const QString& base, int target) const
    {
        const QStringList pieces{QStringLiteral(" sea"), QStringLiteral("W"), QStringLiteral("m"),
                                 QStringLiteral("e"),    QStringLiteral("r"), QStringLiteral("i"),
                                 QStringLiteral("."),    QStringLiteral("'"), QStringLiteral(" ")};
        const QStringList starts{QString(),
                                 QStringLiteral("o"),
                                 QStringLiteral("mo"),
                                 QStringLiteral("Wo"),
                                 QStringLiteral("Ro"),
                                 QStringLiteral("ko"),
                                 QStringLiteral("fo")};
        QString best = base;
        for (const QString& start : starts) {
            QString text = base + start;
            for (bool grew = true; grew && w(text) < target;) {
                grew = false;
                for (const QString& p : pieces) {
                    if (w(text + p) <= target) {
                        text += p;
                        grew = true;
                        break;
                    }
                }
            }
            if (w(text) == target)
                return text;
            if (w(text) <= target && w(text) > w(best))
                best = text;
        }
        return best;
    }

    std::unique_ptr<QWidget> owner;
    TddgHintWindow* hint = nullptr; // owned by `owner`
    QRect inside;
};

TEST_F(DdgHintWindowTest, StartsEmptyHiddenAndUnshaped)
{
    TddgHintWindow fresh(nullptr);
    EXPECT_TRUE(fresh.text().isEmpty());
    EXPECT_TRUE(fresh.exText().isEmpty());
    EXPECT_FALSE(fresh.currentRegion().has_value());
    EXPECT_FALSE(fresh.isVisible());
    EXPECT_EQ(fresh.color(), QColor(255, 255, 128));
}

TEST_F(DdgHintWindowTest, WithoutNoteTheBoxFitsTheTitle)
{
    show(QStringLiteral("Karsh Harbour"), QString());
    EXPECT_EQ(hint->boxSize(), QSize(w(QStringLiteral("Karsh Harbour")) + w(kW4), h() + 2));
    EXPECT_EQ(hint->size(), QSize(hint->boxSize().width(), h() + 2 + 4));
    EXPECT_EQ(hint->extraLines(), 0);
    EXPECT_EQ(hint->pos(), inside.topLeft());
    EXPECT_TRUE(hint->isVisible());

    // No separator: the row where it would be lies outside the box anyway, and nothing
    // between title and outline is drawn in the ink colour but the title.
    const QImage image = rendered();
    EXPECT_EQ(image.pixel(5, h() + 1), qRgb(255, 241, 155)) << "outline's bottom row";
}

TEST_F(DdgHintWindowTest, EmptyTextsGiveABoxOnlyAsWideAsItsMargins)
{
    show(QString(), QString());
    EXPECT_EQ(hint->boxSize(), QSize(w(kW4), h() + 2));
    EXPECT_TRUE(hint->currentRegion().has_value());
}

TEST_F(DdgHintWindowTest, ANarrowNoteAddsOneLineUnderTheTitle)
{
    show(QStringLiteral("The Old Watchtower"), QStringLiteral("ruins"));
    EXPECT_EQ(hint->boxSize(), QSize(w(QStringLiteral("The Old Watchtower")) + w(kW4), h() + 2 + h() + 6));
    EXPECT_EQ(hint->extraLines(), 0);
}

TEST_F(DdgHintWindowTest, ANoteTwoAndAHalfTimesElevenWGivesFifteenWAndTwoMoreLines)
{
    const int target = int(std::ceil(2.5 * w(kW11))) - w(kW2);
    const QString note = grownTo(QStringLiteral("Tolls at the bridge"), target);
    const double ratio = double(w(note) + w(kW2)) / w(kW11);
    ASSERT_GE(ratio, 2.5);
    ASSERT_LT(ratio, 2.5 + 1.0 / w(kW11)) << "could not build the note to the width asked for";

    show(QStringLiteral("Ferry"), note);
    EXPECT_EQ(hint->extraLines(), 2);
    EXPECT_EQ(hint->boxSize(), QSize(w(kW15), h() + 2 + h() + 6 + 2 * h()));
}

TEST_F(DdgHintWindowTest, WholePartOfTheRatioCountsTheExtraLines)
{
    // Just below and at a whole multiple of w(11 W).
    const int below = 3 * w(kW11) - 1 - w(kW2);
    const int at = 3 * w(kW11) - w(kW2);
    const QString shortNote = grownTo(QStringLiteral("a b c"), below);
    const QString exactNote = grownTo(QStringLiteral("a b c"), at);
    ASSERT_EQ(w(shortNote), below);
    ASSERT_EQ(w(exactNote), at);
    show(QStringLiteral("X"), shortNote);
    EXPECT_EQ(hint->extraLines(), 2);
    show(QStringLiteral("X"), exactNote);
    EXPECT_EQ(hint->extraLines(), 3);
}

TEST_F(DdgHintWindowTest, AVeryLongNoteStillFitsInsideTheBox)
{
    QString note;
    while (double(w(note) + w(kW2)) / w(kW11) < 14.2)
        note += QStringLiteral("the causeway floods at high tide, wait for the ebb; ");
    note = note.trimmed();
    show(QStringLiteral("Causeway"), note);
    EXPECT_GE(hint->extraLines(), 14);
    EXPECT_LE(hint->noteLineCount(hint->width()), hint->extraLines() + 1);

    const QImage image = rendered();
    if (!qEnvironmentVariableIsEmpty("VDM_HINT_DUMP"))
        image.save(qEnvironmentVariable("VDM_HINT_DUMP"));
    const int boxHeight = hint->boxSize().height();
    int inkBelowSeparator = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (px == kBackground || px == kSentinel)
                continue;
            ASSERT_TRUE(x >= 5 && x <= image.width() - 6 && y < boxHeight)
                << "ink at " << x << "," << y << " outside the visible box";
            if (y > h() + 4 && y < boxHeight - 1 && x > 5 && x < image.width() - 6)
                ++inkBelowSeparator;
        }
    }
    EXPECT_GT(inkBelowSeparator, 0);
    // The note's last line is drawn whole, above the outline.
    const int lastLineTop = 1 + h() + 4 + (hint->noteLineCount(hint->width()) - 1) * h();
    EXPECT_LE(lastLineTop + h(), boxHeight - 1);
    bool lastLineInked = false;
    for (int y = lastLineTop; y < lastLineTop + h() && y < boxHeight - 1; ++y)
        for (int x = 6; x < image.width() - 6; ++x)
            lastLineInked = lastLineInked || image.pixel(x, y) != kBackground;
    EXPECT_TRUE(lastLineInked);
}

TEST_F(DdgHintWindowTest, ANoteJustWithinTheTitleWidthThatWrapsGetsItsSecondLine)
{
    // The title box is w(title) + w(4 W) but the note is wrapped 21 pixels narrower; a note
    // between the two fits the ratio rule's single line yet wraps into two.
    hint->setCanvasFontSize(6);
    const QString title = QStringLiteral("Mill");
    const int wrapWidth = w(title) + w(kW4) - 21;
    const int widest = w(title) + w(kW4) - w(kW2);
    if (widest <= wrapWidth)
        GTEST_SKIP() << "this font's W is too wide for the case";
    const QString note = grownTo(QStringLiteral("a b"), widest);
    ASSERT_GT(w(note), wrapWidth);
    ASSERT_LE(w(note) + w(kW2), w(title) + w(kW4));
    show(title, note);
    EXPECT_EQ(hint->boxSize().width(), w(title) + w(kW4)) << "the title still sets the width";
    EXPECT_GE(hint->extraLines(), 1);
    EXPECT_LE(hint->noteLineCount(hint->width()), hint->extraLines() + 1);
}

TEST_F(DdgHintWindowTest, TheShapeHidesFivePixelsOnEachSideAndTheFourBottomRows)
{
    show(QStringLiteral("Greywater"), QStringLiteral("fish market"));
    const int width = hint->width();
    const int box = hint->boxSize().height();
    ASSERT_TRUE(hint->currentRegion().has_value());
    EXPECT_EQ(*hint->currentRegion(), QRegion(5, 0, width - 10, box));
    EXPECT_EQ(hint->mask(), *hint->currentRegion());
    EXPECT_FALSE(hint->mask().contains(QPoint(4, 3)));
    EXPECT_TRUE(hint->mask().contains(QPoint(5, 3)));
    EXPECT_TRUE(hint->mask().contains(QPoint(width - 6, 3)));
    EXPECT_FALSE(hint->mask().contains(QPoint(width - 5, 3)));
    EXPECT_TRUE(hint->mask().contains(QPoint(8, box - 1)));
    EXPECT_FALSE(hint->mask().contains(QPoint(8, box)));
    EXPECT_EQ(hint->height(), box + 4);

    hint->FreeCurrentRegion();
    EXPECT_FALSE(hint->currentRegion().has_value());
    EXPECT_TRUE(hint->mask().isEmpty());
}

TEST_F(DdgHintWindowTest, PaintsOutlineSeparatorAndTitleInTheInkColour)
{
    show(QStringLiteral("Greywater"), QStringLiteral("fish market"));
    const QImage image = rendered();
    const QRgb ink = qRgb(255, 241, 155);
    const int width = image.width();
    const int box = hint->boxSize().height();
    EXPECT_EQ(image.pixel(5, box / 2), ink);
    EXPECT_EQ(image.pixel(width - 6, box / 2), ink);
    EXPECT_EQ(image.pixel(width / 2, 0), ink);
    EXPECT_EQ(image.pixel(width / 2, box - 1), ink);
    EXPECT_EQ(image.pixel(6, box / 2), kBackground) << "the inside is the background colour";
    const int separatorY = 1 + h() + 2;
    EXPECT_EQ(image.pixel(11, separatorY), ink);
    EXPECT_EQ(image.pixel(width - 12, separatorY), ink);
    EXPECT_EQ(image.pixel(10, separatorY), kBackground);
    EXPECT_EQ(image.pixel(width - 11, separatorY), kBackground) << "the end point is not drawn";
}

TEST_F(DdgHintWindowTest, AnAmpersandInTheTitleIsDrawnAsItself)
{
    auto inkExtent = [this](const QString& title) {
        show(title, QString());
        const QImage image = rendered();
        int first = image.width(), last = -1;
        for (int y = 1; y < hint->boxSize().height() - 1; ++y)
            for (int x = 6; x < image.width() - 6; ++x)
                if (image.pixel(x, y) != kBackground) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        return last - first + 1;
    };
    const int withAmpersand = inkExtent(QStringLiteral("A&B"));
    const int without = inkExtent(QStringLiteral("AB"));
    EXPECT_GT(withAmpersand, without + w(QStringLiteral("&")) / 2);
    EXPECT_EQ(hint->hintText(), QStringLiteral("AB"));
}

struct EdgeCase {
    const char* name;
    QPoint offset; // from the available area's corner named by `fromRight`/`fromBottom`
    bool fromRight;
    bool fromBottom;
};

class DdgHintWindowEdgeTest : public DdgHintWindowTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(DdgHintWindowEdgeTest, StaysOnTheScreensAvailableArea)
{
    const EdgeCase c = GetParam();
    const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint base(c.fromRight ? desk.x() + desk.width() : desk.x(),
                      c.fromBottom ? desk.y() + desk.height() : desk.y());
    show(QStringLiteral("Lighthouse of the Northern Reach"), QStringLiteral("keeper sells maps"),
         QRect(base + c.offset, QSize(1, 1)));
    const QRect g = hint->geometry();
    EXPECT_TRUE(desk.contains(g)) << c.name << ": " << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
    if (c.fromRight) {
        EXPECT_EQ(g.right(), desk.right()) << c.name;
    }
    if (c.fromBottom) {
        EXPECT_EQ(g.bottom(), desk.bottom()) << c.name;
    }
    if (!c.fromRight && c.offset.x() < 0) {
        EXPECT_EQ(g.left(), desk.left()) << c.name;
    }
    if (!c.fromBottom && c.offset.y() < 0) {
        EXPECT_EQ(g.top(), desk.top()) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, DdgHintWindowEdgeTest,
                         ::testing::Values(EdgeCase{"right edge", {-10, 50}, true, false},
                                           EdgeCase{"bottom edge", {50, -3}, false, true},
                                           EdgeCase{"bottom-right corner", {-1, -1}, true, true},
                                           EdgeCase{"left of the screen", {-60, 50}, false, false},
                                           EdgeCase{"above the screen", {50, -80}, false, false}));

TEST_F(DdgHintWindowTest, HidingReleasesTheNativeWindowAndTheNextHintMakesANewOne)
{
    show(QStringLiteral("Oakfold"), QStringLiteral("inn"));
    ASSERT_NE(hint->windowHandle(), nullptr);
    const QRegion first = *hint->currentRegion();

    hint->ReleaseHandle();
    EXPECT_FALSE(hint->isVisible());
    EXPECT_FALSE(hint->testAttribute(Qt::WA_WState_Created));

    show(QStringLiteral("Oakfold"), QStringLiteral("inn"));
    EXPECT_TRUE(hint->isVisible());
    ASSERT_NE(hint->windowHandle(), nullptr);
    EXPECT_TRUE(hint->windowHandle()->isVisible());
    ASSERT_TRUE(hint->currentRegion().has_value());
    EXPECT_EQ(*hint->currentRegion(), first);
    EXPECT_EQ(hint->mask(), first);
}

TEST_F(DdgHintWindowTest, NeverTakesActivationAndLetsThePointerThrough)
{
    owner->show();
    owner->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(owner.get()));

    show(QStringLiteral("Oakfold"), QStringLiteral("inn"));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), owner.get());
    EXPECT_FALSE(hint->isActiveWindow());
    EXPECT_TRUE(hint->testAttribute(Qt::WA_ShowWithoutActivating));
    ASSERT_NE(hint->windowHandle(), nullptr);
    const Qt::WindowFlags flags = hint->windowHandle()->flags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(hint->windowType(), Qt::ToolTip);
}

TEST_F(DdgHintWindowTest, TranslucencyIsKeptAcrossARelease)
{
    hint->setAlpha(70 * 255 / 100);
    show(QStringLiteral("Oakfold"), QString());
    EXPECT_NEAR(hint->windowOpacity(), 178 / 255.0, 1e-2);
    hint->ReleaseHandle();
    show(QStringLiteral("Oakfold"), QString());
    ASSERT_NE(hint->windowHandle(), nullptr);
    EXPECT_NEAR(hint->windowHandle()->opacity(), 178 / 255.0, 1e-2);

    hint->setAlpha(400);
    EXPECT_EQ(hint->alpha(), 255);
}

} // namespace
} // namespace vdm
