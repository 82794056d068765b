// SPDX-License-Identifier: MIT
#include "app/coolbar.h"
#include "data/errors.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <memory>

// Readable failures: gtest would print a QPoint as raw bytes.
inline void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << '(' << p.x() << ", " << p.y() << ')';
}

namespace vdm {
namespace {

using Positions = std::array<QPoint, 4>;

constexpr int kBarWidth = 370;
const Positions kStoredPositions = {QPoint(55, 0), QPoint(54, 24), QPoint(55, 48), QPoint(201, 48)};
// Where each band's restoring drag starts: its tool bar's place in the stored layout.
const Positions kRestoreStarts = {QPoint(55, 0), QPoint(54, 24), QPoint(55, 48), QPoint(55, 48)};

/** A bar built the way the main window's form builds it: tool bars placed, then bands added. */
std::unique_ptr<CoolBar> makeDefaultBar()
{
    auto bar = std::make_unique<CoolBar>();
    bar->resize(kBarWidth, 74);
    struct Row {
        const char* label;
        int minWidth, width;
        bool breakBefore;
    };
    const Row rows[] = {
        {"Map       ", 290, 370, true},
        {"Location", 290, 370, true},
        {"Marker   ", 75, 141, true},
        {"Tools     ", 75, 227, false},
    };
    for (int i = 0; i < 4; ++i) {
        auto* toolBar = new QWidget(bar.get());
        toolBar->setGeometry(QRect(kStoredPositions[i], QSize(100, 22)));
        bar->addBand(QString::fromLatin1(rows[i].label), toolBar, rows[i].minWidth, rows[i].width, rows[i].breakBefore);
    }
    bar->show();
    return bar;
}

Positions toolBarPositions(const CoolBar& bar)
{
    Positions p;
    for (int i = 0; i < 4; ++i)
        p[i] = bar.bandChild(i)->pos();
    return p;
}

/** The start-up restore: band 4 on a row of its own, then each band dragged to its saved point. */
void replay(CoolBar& bar, const Positions& saved)
{
    bar.setBandBreak(3, true);
    for (int i = 0; i < 4; ++i) {
        bar.beginDrag(i, kRestoreStarts[i]);
        bar.dragMove(saved[i]);
        bar.endDrag();
    }
}

/** Drags a band by the middle of its header so that its tool bar's left follows to `toolBarLeft`. */
void mouseDragBand(CoolBar& bar, int band, QPoint toolBarLeft)
{
    const QPoint grab = bar.bandHeaderRect(band).center();
    const QPoint hold = grab - bar.bandChild(band)->pos();
    const QPoint end = toolBarLeft + hold;
    QTest::mousePress(&bar, Qt::LeftButton, {}, grab);
    constexpr int kSteps = 6;
    for (int s = 1; s <= kSteps; ++s)
        QTest::mouseMove(&bar, grab + (end - grab) * s / kSteps);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, end);
}

void mouseDoubleClickHeader(CoolBar& bar, int band)
{
    const QPoint at = bar.bandHeaderRect(band).center();
    QTest::mouseDClick(&bar, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, at);
}

TEST(CoolBar, StoredLayoutPutsToolBarsAtTheirStoredPoints)
{
    auto bar = makeDefaultBar();
    EXPECT_EQ(toolBarPositions(*bar), kStoredPositions);
    EXPECT_EQ(bar->rowCount(), 3);
    EXPECT_EQ(bar->height(), 74);
    EXPECT_EQ(bar->sizeHint().height(), 74);
    const int rows[] = {0, 1, 2, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bar->bandRow(i), rows[i]) << i;
        EXPECT_EQ(bar->bandChild(i)->parentWidget(), bar.get());
        EXPECT_EQ(bar->bandChild(i)->height(), 22);
    }
    EXPECT_EQ(bar->bandRect(2), QRect(0, 48, 141, 22));
    // The last band of a row fills it, and so does its tool bar.
    EXPECT_EQ(bar->bandRect(3), QRect(141, 48, 229, 22));
    EXPECT_EQ(bar->bandChild(3)->geometry(), QRect(201, 48, 169, 22));
    EXPECT_EQ(bar->bandRect(0).width(), kBarWidth);
}

TEST(CoolBar, HeaderOfAnUnplacedToolBarIsSizedToItsLabel)
{
    CoolBar bar;
    bar.resize(kBarWidth, 26);
    QWidget outside;
    auto* toolBar = new QWidget(&outside);
    toolBar->move(200, 0);
    bar.addBand(QStringLiteral("Somewhere"), toolBar, 100, 200, true);
    EXPECT_EQ(toolBar->parentWidget(), &bar);
    const int header = bar.bandHeaderWidth(0);
    EXPECT_GT(header, bar.fontMetrics().horizontalAdvance(QStringLiteral("Somewhere")) + CoolBar::kGripperWidth);
    EXPECT_EQ(toolBar->pos(), QPoint(header, 0));
}

TEST(CoolBar, HeightFollowsRowsAndIsAnnounced)
{
    auto bar = makeDefaultBar();
    QSignalSpy heights(bar.get(), &CoolBar::heightChanged);
    bar->setBandBreak(3, true);
    EXPECT_EQ(bar->rowCount(), 4);
    EXPECT_EQ(bar->height(), 98);
    ASSERT_EQ(heights.count(), 1);
    EXPECT_EQ(heights.at(0).at(0).toInt(), 98);
    EXPECT_EQ(bar->bandChild(3)->pos(), QPoint(55, 72));

    // Joining the row above again puts it back where it was.
    bar->setBandBreak(3, false);
    EXPECT_EQ(bar->rowCount(), 3);
    EXPECT_EQ(bar->height(), 74);
    EXPECT_EQ(toolBarPositions(*bar), kStoredPositions);
    EXPECT_EQ(heights.count(), 2);
}

TEST(CoolBar, MouseDragWithinARowMovesAndClampsTheBand)
{
    auto bar = makeDefaultBar();
    struct Case {
        const char* what;
        QPoint toolBarTo;
        QPoint toolsAt, markerAt;
    };
    const Case cases[] = {
        {"right by 50", {251, 48}, {251, 48}, {55, 48}},
        {"past the right edge", {900, 48}, {355, 48}, {55, 48}},  // 370 - 75 + 5 + 55
        {"onto the marker band", {100, 48}, {135, 48}, {55, 48}}, // marker keeps its 75
        {"to the row's start", {-40, 48}, {55, 48}, {135, 48}},   // the two change order
    };
    for (const Case& c : cases) {
        mouseDragBand(*bar, 3, c.toolBarTo);
        EXPECT_EQ(bar->bandChild(3)->pos(), c.toolsAt) << c.what;
        EXPECT_EQ(bar->bandChild(2)->pos(), c.markerAt) << c.what;
        EXPECT_EQ(bar->rowCount(), 3) << c.what;
        EXPECT_FALSE(bar->isDragging());
    }
    // The marker band is now last and fills the row.
    EXPECT_EQ(bar->bandRect(2).right(), kBarWidth - 1);
}

TEST(CoolBar, MouseDragBetweenRowsAndToANewRow)
{
    auto bar = makeDefaultBar();
    QSignalSpy layouts(bar.get(), &CoolBar::layoutChanged);

    mouseDragBand(*bar, 3, {350, 0});
    EXPECT_EQ(bar->bandRow(3), 0);
    EXPECT_EQ(bar->bandChild(3)->pos(), QPoint(350, 0));
    EXPECT_EQ(bar->bandRect(0).width(), 290); // the map band shrank to make room
    EXPECT_EQ(bar->bandRect(2).width(), kBarWidth);
    EXPECT_GT(layouts.count(), 0);

    // Below the last row: a row of its own.
    mouseDragBand(*bar, 3, {200, 90});
    EXPECT_EQ(bar->rowCount(), 4);
    EXPECT_EQ(bar->bandChild(3)->pos(), QPoint(55, 72));
    EXPECT_EQ(bar->bandRect(0).width(), kBarWidth);
    EXPECT_EQ(bar->height(), 98);

    // A band alone on its row leaves no empty row behind.
    mouseDragBand(*bar, 1, {54, 90});
    EXPECT_EQ(bar->rowCount(), 4);
    EXPECT_EQ(bar->bandRow(1), 3);
    EXPECT_EQ(bar->bandRow(2), 1);
    EXPECT_EQ(bar->bandRow(3), 2);
    mouseDragBand(*bar, 3, {250, 24});
    EXPECT_EQ(bar->rowCount(), 3);
    EXPECT_EQ(bar->bandChild(3)->pos(), QPoint(250, 24));
    EXPECT_EQ(bar->bandChild(1)->pos(), QPoint(54, 48));
    EXPECT_EQ(bar->height(), 74);
}

TEST(CoolBar, RowsCrossedDuringADragAreLeftAsTheyWere)
{
    auto bar = makeDefaultBar();
    // On its way down the map band passes over the marker row, which it would crowd.
    mouseDragBand(*bar, 0, {55, 80});
    EXPECT_EQ(toolBarPositions(*bar), (Positions{QPoint(55, 48), QPoint(54, 0), QPoint(55, 24), QPoint(201, 24)}));

    // Back where it started before the button is let go: nothing changed at all.
    const QPoint grab = bar->bandHeaderRect(3).center();
    QTest::mousePress(bar.get(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(bar.get(), QPoint(20, 5));
    EXPECT_EQ(bar->bandRow(3), 0);
    QTest::mouseMove(bar.get(), grab);
    QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, grab);
    EXPECT_EQ(toolBarPositions(*bar), (Positions{QPoint(55, 48), QPoint(54, 0), QPoint(55, 24), QPoint(201, 24)}));
}

TEST(CoolBar, PressOutsideAHeaderStartsNoDrag)
{
    auto bar = makeDefaultBar();
    QTest::mousePress(bar.get(), Qt::LeftButton, {}, QPoint(250, 58)); // on the tools tool bar
    QTest::mouseMove(bar.get(), QPoint(300, 5));
    QTest::mouseRelease(bar.get(), Qt::LeftButton, {}, QPoint(300, 5));
    EXPECT_FALSE(bar->isDragging());
    EXPECT_EQ(toolBarPositions(*bar), kStoredPositions);
}

TEST(CoolBar, DoubleClickMaximisesABandInItsRow)
{
    auto bar = makeDefaultBar();
    mouseDoubleClickHeader(*bar, 2);
    EXPECT_EQ(bar->bandRect(2), QRect(0, 48, 295, 22));
    EXPECT_EQ(bar->bandRect(3), QRect(295, 48, 75, 22));
    EXPECT_EQ(bar->bandChild(3)->pos(), QPoint(355, 48));

    mouseDoubleClickHeader(*bar, 3);
    EXPECT_EQ(bar->bandRect(2).width(), 75);
    EXPECT_EQ(bar->bandChild(3)->pos(), QPoint(135, 48));

    // Alone on its row a band already has all of it.
    mouseDoubleClickHeader(*bar, 0);
    EXPECT_EQ(bar->bandChild(0)->pos(), QPoint(55, 0));
    EXPECT_EQ(bar->bandRect(0).width(), kBarWidth);
}

TEST(CoolBar, DefaultRestoreGivesTheStoredLayoutBack)
{
    auto bar = makeDefaultBar();
    replay(*bar, kStoredPositions);
    EXPECT_EQ(toolBarPositions(*bar), kStoredPositions);
    EXPECT_EQ(bar->rowCount(), 3);
    EXPECT_EQ(bar->bandRow(3), 2);
}

TEST(CoolBar, UserLayoutsComeBackWhenReplayed)
{
    using Arrange = std::function<void(CoolBar&)>;
    const std::pair<const char*, Arrange> layouts[] = {
        {"tools on the first row",
         [](CoolBar& b) {
             mouseDragBand(b, 3, {352, 0});
         }},
        {"marker above location",
         [](CoolBar& b) {
             mouseDragBand(b, 1, {54, 80});
         }},
        {"map at the bottom",
         [](CoolBar& b) {
             mouseDragBand(b, 0, {55, 80});
         }},
        {"tools further right",
         [](CoolBar& b) {
             mouseDragBand(b, 3, {280, 48});
         }},
        {"tools on a row of its own",
         [](CoolBar& b) {
             mouseDragBand(b, 3, {100, 80});
         }},
        {"marker below tools",
         [](CoolBar& b) {
             mouseDragBand(b, 2, {55, 80});
         }},
        {"tools before marker",
         [](CoolBar& b) {
             mouseDragBand(b, 3, {0, 48});
         }},
        {"marker maximised", [](CoolBar& b) { mouseDoubleClickHeader(b, 2); }},
        {"tools beside location",
         [](CoolBar& b) {
             mouseDragBand(b, 3, {330, 24});
             mouseDragBand(b, 2, {55, 0});
         }},
        {"location squeezed beside map",
         [](CoolBar& b) {
             mouseDragBand(b, 1, {300, 0});
         }},
        {"everything on one row",
         [](CoolBar& b) {
             mouseDragBand(b, 2, {360, 0});
             mouseDragBand(b, 3, {360, 0});
         }},
        {"map below location, marker with it",
         [](CoolBar& b) {
             mouseDragBand(b, 0, {55, 80});
             mouseDragBand(b, 2, {320, 24});
         }},
    };
    for (const auto& [what, arrange] : layouts) {
        auto user = makeDefaultBar();
        arrange(*user);
        const Positions saved = toolBarPositions(*user);
        ASSERT_NE(saved, kStoredPositions) << what << ": the arrangement moved nothing";

        auto fresh = makeDefaultBar();
        replay(*fresh, saved);
        EXPECT_EQ(toolBarPositions(*fresh), saved) << what;
        EXPECT_EQ(fresh->rowCount(), user->rowCount()) << what;
    }
}

TEST(CoolBar, SavedPointsFarOutsideLandSomewhereSensible)
{
    const Positions farAway[] = {
        {QPoint(65535, 65535), QPoint(65535, 65535), QPoint(65535, 65535), QPoint(65535, 65535)},
        {QPoint(-32768, -32768), QPoint(-32768, -32768), QPoint(-32768, -32768), QPoint(-32768, -32768)},
        {QPoint(55, 0), QPoint(54, 24), QPoint(55, 48), QPoint(60000, 48)},
    };
    for (const Positions& saved : farAway) {
        auto bar = makeDefaultBar();
        replay(*bar, saved);
        ASSERT_GE(bar->rowCount(), 1);
        EXPECT_EQ(bar->height(), bar->rowCount() * 24 + 2);
        for (int i = 0; i < 4; ++i) {
            // Every header stays inside the bar, where the user can grab it again.
            const QRect header = bar->bandHeaderRect(i);
            EXPECT_GE(header.left(), 0);
            EXPECT_LE(header.right(), kBarWidth - 1);
            EXPECT_EQ(bar->bandChild(i)->pos(), QPoint(header.right() + 1, bar->bandRow(i) * 24));
            EXPECT_LT(bar->bandRow(i), bar->rowCount());
        }
    }
    // Far right on its own row's height: beside the marker band, as far right as its minimum allows.
    auto bar = makeDefaultBar();
    replay(*bar, farAway[2]);
    EXPECT_EQ(bar->bandChild(3)->pos(), QPoint(355, 48));
}

TEST(CoolBar, BadBandIndexIsAnErrorAndChangesNothing)
{
    auto bar = makeDefaultBar();
    for (int band : {-1, 4, 7}) {
        try {
            bar->beginDrag(band, QPoint(55, 48));
            ADD_FAILURE() << "no error for band " << band;
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), QStringLiteral("List index out of bounds (%1)").arg(band));
        }
        EXPECT_THROW(bar->setBandBreak(band, true), Error);
        EXPECT_THROW(bar->bandRect(band), Error);
    }
    EXPECT_FALSE(bar->isDragging());
    bar->dragMove(QPoint(300, 0)); // no drag begun: ignored
    bar->endDrag();
    EXPECT_EQ(toolBarPositions(*bar), kStoredPositions);
}

TEST(CoolBar, NarrowingTheBarLosesNoLayout)
{
    auto bar = makeDefaultBar();
    bar->resize(200, bar->height());
    EXPECT_EQ(bar->bandRect(3).left(), 200 - 75); // pulled in to keep its minimum
    bar->resize(kBarWidth, bar->height());
    EXPECT_EQ(toolBarPositions(*bar), kStoredPositions);
}

} // namespace
} // namespace vdm
