// SPDX-License-Identifier: MIT
// The display toggles and the commands of the tools band.
#include "app/mainform.h"

#include "dialogs/formabout.h"
#include "dialogs/formoptions.h"
#include "ui_mainform.h"

#include <utility>
#include <vector>

namespace vdm {
namespace {

// The eight display toggles: the tool button that shows each, the member it switches, and
// whether a click repaints the map. The hint toggle only changes what later pointer moves
// do, so it never repaints.
struct DisplayToggle {
    QToolButton* Ui::TMainForm::*button;
    bool Settings::*field;
    bool repaint;
};
constexpr DisplayToggle DisplayToggles[] = {
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

void TMainForm::createDialogs()
{
    FormAbout = new TFormAbout(m_appDir, m_prompts, this);
    TFormOptions::Hooks hooks;
    hooks.repaintMap = [this] { RepaintMap(); };
    hooks.saveUserData = [this] { m_world.SaveUserData(); };
    hooks.applyWindowSizeLimit = [this] { ApplyWindowSizeLimit(); };
    hooks.clearWindowSizeLimit = [this] { setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); };
    FormOptions = new TFormOptions(Config, m_world, m_prompts, std::move(hooks), this);
}

void TMainForm::showToggleStates()
{
    for (const DisplayToggle& t : DisplayToggles)
        (m_ui.get()->*t.button)->setChecked(Config.*t.field);
}

void TMainForm::ToolButtonShowClick(QToolButton* sender)
{
    for (const DisplayToggle& t : DisplayToggles) {
        if (m_ui.get()->*t.button != sender)
            continue;
        Config.*t.field = !(Config.*t.field);
        sender->setChecked(Config.*t.field);
        if (t.repaint)
            RepaintMap();
        return;
    }
}

void TMainForm::OptionsToolButtonClick(QToolButton* sender)
{
    if (sender == m_ui->ToolButtonAbout) {
        if (FormAbout)
            FormAbout->exec();
    } else if (sender == m_ui->ToolButtonOptions) {
        if (!FormOptions)
            return;
        // The database buttons act at once, whichever button closes the dialog; the world
        // records them as the user's edits.
        const int result = FormOptions->exec();
        showProgressLine(); // the bulk edits count however the dialog closed
        if (result != QDialog::Accepted)
            return;
        RecreateDrawingObjects();
        RepaintMap();
        WriteSettings();
    } else if (sender == m_ui->ToolButtonClip) {
        CopyingToClipboard = true;
        RepaintMap();
        CopyingToClipboard = false;
    }
}

} // namespace vdm
