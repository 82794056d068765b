// SPDX-License-Identifier: MIT
// The display toggles: which member each button switches and which clicks repaint.
#include "app/displaytoggles.h"

#include "data/settings.h"
#include "session/settingssession.h"
#include "app/mainformfixture.h" // the generated form class

#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace vdm {
namespace {

TEST(DisplayTogglesTest, EachButtonSwitchesItsMemberAndShowsIt)
{
    QWidget form;
    Ui::TMainForm ui;
    ui.setupUi(&form);
    const struct {
        QToolButton* button;
        bool Settings::*field;
        bool repaints;
    } rows[] = {
        {ui.ToolButtonSR, &Settings::ShowSkarnels, true},   {ui.ToolButtonSS, &Settings::ShowShips, true},
        {ui.ToolButtonSM, &Settings::ShowMagesGuild, true}, {ui.ToolButtonText, &Settings::ShowText, true},
        {ui.ToolButtonHint, &Settings::ShowHint, false}, // later pointer moves only
        {ui.ToolButtonSU, &Settings::ShowUnvisited, true},  {ui.ToolButtonSA, &Settings::ShowActive, true},
        {ui.ToolButtonSV, &Settings::ShowVisited, true},
    };
    SettingsSession session;
    const Settings& settings = session.settings();
    std::vector<Settings> told; // what the settings were before each change told
    QObject::connect(&session, &SettingsSession::changed, [&](const Settings& before) { told.push_back(before); });
    DisplayToggles toggles({ui.ToolButtonSR, ui.ToolButtonSS, ui.ToolButtonSM, ui.ToolButtonText, ui.ToolButtonHint,
                            ui.ToolButtonSU, ui.ToolButtonSA, ui.ToolButtonSV},
                           session);
    toggles.showStates();
    for (const auto& r : rows) {
        const bool before = settings.*r.field;
        const std::size_t toldBefore = told.size();
        EXPECT_EQ(r.button->isChecked(), before) << qPrintable(r.button->objectName());
        EXPECT_EQ(toggles.click(r.button), r.repaints) << qPrintable(r.button->objectName());
        EXPECT_EQ(settings.*r.field, !before);
        EXPECT_EQ(r.button->isChecked(), !before);
        // Through the settings' owner, which tells what they were.
        ASSERT_EQ(told.size(), toldBefore + 1);
        EXPECT_EQ(told.back().*r.field, before);
    }
    const Settings switched = settings;
    EXPECT_FALSE(toggles.click(ui.ToolButtonZoomIn)); // no toggle: nothing changes
    EXPECT_TRUE(settings == switched);
    EXPECT_EQ(told.size(), std::size(rows));
}

} // namespace
} // namespace vdm
