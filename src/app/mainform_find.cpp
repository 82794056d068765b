// SPDX-License-Identifier: MIT
// Quick find, the journey planner's bar and the list of keyboard shortcuts.
#include "app/mainform.h"

#include "app/editcontrols.h"
#include "app/findcommands.h"
#include "app/journeycommands.h"
#include "app/windowcommands.h"
#include "dialogs/formshortcuts.h"

namespace vdm {

void TMainForm::FindClick()
{
    m_find->openBar();
}

void TMainForm::FindChosen(int index)
{
    // As a user would: the list selects the place, then Go takes the view there.
    if (m_editControls->selectLocation(index))
        GoButtonClick();
}

void TMainForm::PlanRouteClick()
{
    m_journey->openRoute();
}

void TMainForm::PlanTourClick()
{
    m_journey->openTour();
}

void TMainForm::ShortcutsClick()
{
    TFormShortcuts::showFor(this, m_commands->shortcutList());
}

} // namespace vdm
