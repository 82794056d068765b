// SPDX-License-Identifier: MIT
#pragma once

#include "app/mainform.h"
#include "common/fakeprompts.h"
#include "common/testworld.h"
#include "ui_mainform.h"

#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace vdm::test {

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
    void close() { form.reset(); }
    Ui::TMainForm& ui() { return form->ui(); }

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
