// SPDX-License-Identifier: MIT
// The display toggles: which member each button switches and which clicks repaint.
#include "app/displaytoggles.h"

#include "data/settings.h"
#include "app/mainformfixture.h" // the generated form class

#include <QWidget>

#include <gtest/gtest.h>

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
    Settings settings;
    DisplayToggles toggles({ui.ToolButtonSR, ui.ToolButtonSS, ui.ToolButtonSM, ui.ToolButtonText, ui.ToolButtonHint,
                            ui.ToolButtonSU, ui.ToolButtonSA, ui.ToolButtonSV},
                           settings);
    toggles.showStates();
    for (const auto& r : rows) {
        const bool before = settings.*r.field;
        EXPECT_EQ(r.button->isChecked(), before) << qPrintable(r.button->objectName());
        EXPECT_EQ(toggles.click(r.button), r.repaints) << qPrintable(r.button->objectName());
        EXPECT_EQ(settings.*r.field, !before);
        EXPECT_EQ(r.button->isChecked(), !before);
    }
    const Settings switched = settings;
    EXPECT_FALSE(toggles.click(ui.ToolButtonZoomIn)); // no toggle: nothing changes
    EXPECT_TRUE(settings == switched);
}

} // namespace
} // namespace vdm
