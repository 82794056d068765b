// SPDX-License-Identifier: MIT
#include "app/displaytoggles.h"

#include "data/settings.h"
#include "ui_mainform.h"

namespace vdm {
namespace {

// Each toggle's tool button, the member it switches, and whether a click repaints the map.
struct DisplayToggle {
    QToolButton* Ui::TMainForm::*button;
    bool Settings::*field;
    bool repaint;
};
constexpr DisplayToggle kToggles[] = {
    {&Ui::TMainForm::ToolButtonSR, &Settings::ShowSkarnels, true},
    {&Ui::TMainForm::ToolButtonSS, &Settings::ShowShips, true},
    {&Ui::TMainForm::ToolButtonSM, &Settings::ShowMagesGuild, true},
    {&Ui::TMainForm::ToolButtonText, &Settings::ShowText, true},
    {&Ui::TMainForm::ToolButtonHint, &Settings::ShowHint, false},
    {&Ui::TMainForm::ToolButtonSU, &Settings::ShowUnvisited, true},
    {&Ui::TMainForm::ToolButtonSA, &Settings::ShowActive, true},
    {&Ui::TMainForm::ToolButtonSV, &Settings::ShowVisited, true},
};

} // namespace

void DisplayToggles::showStates() const
{
    for (const DisplayToggle& t : kToggles)
        (m_ui.*t.button)->setChecked(m_settings.*t.field);
}

bool DisplayToggles::click(QToolButton* sender) const
{
    for (const DisplayToggle& t : kToggles) {
        if (m_ui.*t.button != sender)
            continue;
        m_settings.*t.field = !(m_settings.*t.field);
        sender->setChecked(m_settings.*t.field);
        return t.repaint;
    }
    return false;
}

} // namespace vdm
