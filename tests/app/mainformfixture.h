// SPDX-License-Identifier: MIT
#pragma once

#include "app/mainform.h"
#include "common/fakeprompts.h"
#include "common/testworld.h"
#include "ui_mainform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace vdm::test {

/** Counts the paints a widget receives. */
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) : m_widget(w) { w->installEventFilter(this); }
    ~PaintCounter() override { m_widget->removeEventFilter(this); }
    /** Lets pending paints happen, then starts counting from 0. */
    void reset()
    {
        QCoreApplication::processEvents();
        count = 0;
    }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint)
            ++count;
        return false;
    }

private:
    QWidget* m_widget;
};

/** A world with a handful of locations and the real main window opened on it. */
class MainFormTest : public ::testing::Test {
protected:
    explicit MainFormTest(TestWorld::Picture picture = TestWorld::Picture::Normal) : world(picture) {}

    /** Builds the window (construction only). */
    TMainForm& build()
    {
        form = std::make_unique<TMainForm>(prompts, world.appDir());
        return *form;
    }
    /** Builds and shows the window; the first show loads the databases. */
    TMainForm& open()
    {
        build();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return *form;
    }
    /** Two level-0 locations, "Alpha" at the map's origin and "Beta" further east, in an active window. */
    TMainForm& openAlphaAndBeta()
    {
        writeLocations({locationRecord("Alpha", 0, 0, 0), locationRecord("Beta", 0, 60000, 100000)});
        open();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return *form;
    }
    void close() { form.reset(); }
    const Ui::TMainForm& ui() { return form->ui(); }
    QWidget* panel() { return ui().PanelMap; }

    /** A pointer move over the map panel with no button held. */
    void moveTo(QPoint p)
    {
        QMouseEvent e(QEvent::MouseMove, p, panel()->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(panel(), &e);
    }
    void clickAt(QPoint p)
    {
        moveTo(p);
        QTest::mouseClick(panel(), Qt::LeftButton, {}, p);
    }
    /** As a user's double click arrives: press, release, double click, release. */
    void doubleClickAt(QPoint p)
    {
        moveTo(p);
        QTest::mouseClick(panel(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(panel(), Qt::LeftButton, {}, p);
        QTest::mouseRelease(panel(), Qt::LeftButton, {}, p);
    }

    /** Places a marker at panel point `p` as the user does: the add tool (zooming in until it is offered), a click, the
     * tool released. */
    void addMarkerAt(QPoint p)
    {
        for (int i = 0; i < 8 && !ui().ToolButtonAddM->isEnabled(); ++i)
            QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
        QTest::mouseClick(ui().ToolButtonAddM, Qt::LeftButton);
        clickAt(p);
        QTest::mouseClick(ui().ToolButtonAddM, Qt::LeftButton);
    }

    void writeLocations(std::initializer_list<QByteArray> records)
    {
        QByteArray all;
        for (const QByteArray& r : records)
            all += r;
        world.write(QStringLiteral("vdmain.gdb"), all);
    }

    TestWorld world;
    FakePrompts prompts;
    std::unique_ptr<TMainForm> form;
};

} // namespace vdm::test
