// SPDX-License-Identifier: MIT
#include "hint/shadowedhintwindow.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vdm {
namespace {

class ShadowedHintWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TShadowedHintWindow::installForApplication();
        tip = TShadowedHintWindow::instance();
        ASSERT_NE(tip, nullptr);
        tip->hideText();
        tip->setHideDelay(10000);

        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        button = new QToolButton;
        button->setToolTip(QStringLiteral("Zoom In"));
        plain = new QLabel(QStringLiteral("no tip here"));
        layout->addWidget(button);
        layout->addWidget(plain);
        window->move(QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(50, 50));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override
    {
        if (tip)
            tip->hideText();
    }

    // What the application sends a widget when the pointer rests on it.
    bool askForTip(QWidget* widget, QPoint local = QPoint(4, 4))
    {
        QHelpEvent help(QEvent::ToolTip, local, widget->mapToGlobal(local));
        QApplication::sendEvent(widget, &help);
        return help.isAccepted();
    }

    TShadowedHintWindow* tip = nullptr;
    std::unique_ptr<QWidget> window;
    QToolButton* button = nullptr; // owned by window
    QLabel* plain = nullptr;       // owned by window
};

TEST_F(ShadowedHintWindowTest, InstallingTwiceKeepsOneWindow)
{
    TShadowedHintWindow::installForApplication();
    EXPECT_EQ(TShadowedHintWindow::instance(), tip);
    EXPECT_TRUE(tip->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(tip->windowType(), Qt::ToolTip);
}

TEST_F(ShadowedHintWindowTest, AToolButtonsTipIsShownByOurWindowNotTheStandardOne)
{
    askForTip(button);
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->text(), QStringLiteral("Zoom In"));
    EXPECT_EQ(tip->source(), button);
    EXPECT_FALSE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().isEmpty());

    const QPoint pointer = button->mapToGlobal(QPoint(4, 4));
    EXPECT_EQ(tip->pos(), pointer + QPoint(2, 16)) << "just below and right of the pointer";
}

TEST_F(ShadowedHintWindowTest, AButtonsShortcutFollowsItsOwnTip)
{
    button->setProperty("shortcutText", QStringLiteral("Ctrl++"));
    askForTip(button);
    EXPECT_EQ(tip->text(), QStringLiteral("Zoom In (Ctrl++)"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Zoom In"));
}

TEST_F(ShadowedHintWindowTest, AWidgetWithoutATipGetsNone)
{
    askForTip(plain);
    EXPECT_FALSE(tip->isVisible());
}

TEST_F(ShadowedHintWindowTest, MovingToAnotherButtonChangesTheText)
{
    auto* other = new QToolButton(window.get());
    other->setToolTip(QStringLiteral("Show skarnel routes"));
    other->show();
    askForTip(button);
    askForTip(other);
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->text(), QStringLiteral("Show skarnel routes"));
    EXPECT_GT(tip->boxRect().width(), QFontMetrics(tip->font()).horizontalAdvance(QStringLiteral("Show skarnel")));
}

struct HideCase {
    const char* name;
    std::function<void(QWidget* source)> act;
};

class ShadowedHintWindowHideTest : public ShadowedHintWindowTest, public ::testing::WithParamInterface<HideCase> {};

TEST_P(ShadowedHintWindowHideTest, Hides)
{
    askForTip(button);
    ASSERT_TRUE(tip->isVisible());
    GetParam().act(button);
    EXPECT_FALSE(tip->isVisible()) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Causes, ShadowedHintWindowHideTest,
                         ::testing::Values(HideCase{"leave",
                                                    [](QWidget* w) {
                                                        QEvent leave(QEvent::Leave);
                                                        QApplication::sendEvent(w, &leave);
                                                    }},
                                           HideCase{"mouse press",
                                                    [](QWidget* w) { QTest::mousePress(w, Qt::LeftButton); }},
                                           HideCase{"key press", [](QWidget* w) { QTest::keyPress(w, Qt::Key_A); }},
                                           HideCase{"source hidden", [](QWidget* w) { w->hide(); }},
                                           HideCase{"source deleted", [](QWidget* w) { delete w; }}));

TEST_F(ShadowedHintWindowTest, HidesAfterItsDelay)
{
    tip->setHideDelay(50);
    askForTip(button);
    ASSERT_TRUE(tip->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !tip->isVisible(); }, 2000));
}

TEST_F(ShadowedHintWindowTest, TheBoxCastsASoftShadowRightAndDown)
{
    askForTip(button);
    QImage image(tip->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    tip->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    const QRect box = tip->boxRect();

    EXPECT_EQ(qAlpha(image.pixel(box.center())), 255);
    EXPECT_EQ(QColor(image.pixel(box.left() + 2, box.top() + 2)).rgb(),
              tip->palette().color(QPalette::ToolTipBase).rgb());

    const int besideRight = qAlpha(image.pixel(box.right() + 2, box.center().y()));
    const int belowBottom = qAlpha(image.pixel(box.center().x(), box.bottom() + 2));
    EXPECT_GT(besideRight, 20);
    EXPECT_LT(besideRight, 255) << "the shadow is translucent";
    EXPECT_GT(belowBottom, 20);
    // Soft: it fades towards the window's edge, and there is none above-right of the box.
    EXPECT_LT(qAlpha(image.pixel(image.width() - 1, box.center().y())), besideRight);
    EXPECT_LT(qAlpha(image.pixel(box.right() + 2, 0)), besideRight / 2);
}

TEST_F(ShadowedHintWindowTest, StaysOnTheScreenNearTheBottomRightCorner)
{
    const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint pointer(desk.right() - 3, desk.bottom() - 3);
    tip->showText(pointer, QStringLiteral("Copy map to clipboard"), button);
    const QRect box = tip->boxRect().translated(tip->pos());
    EXPECT_TRUE(desk.contains(box));
    EXPECT_LT(box.bottom(), pointer.y()) << "moved above the pointer";
}

} // namespace
} // namespace vdm
