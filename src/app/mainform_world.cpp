// SPDX-License-Identifier: MIT
// Opening another world while the program runs: the world command loads it, the window
// shows it from its start.
#include "app/mainform.h"

#include "app/editcontrols.h"
#include "app/mainform_databases.h"
#include "app/worldcommand.h"
#include "ui_mainform.h"


namespace vdm {

QAction* TMainForm::openWorldAction() const
{
    return m_worldCommand->action();
}

void TMainForm::OpenWorldClick()
{
    m_worldCommand->openWorld();
}

void TMainForm::worldOpened(const QString& folder)
{
    // The next run started outside a world opens this one.
    rememberWorld(folder);
    showNewWorld();
    reportWorldNotices();
}

void TMainForm::showNewWorld()
{
    // Nothing of the old world's pointer state, hint or highlight reaches the new one.
    m_highlight = GoHighlight();
    m_hint.restart();

    // The zoom level stays (map units are the same in every world); the scroll position
    // is clamped into the new picture's ranges.
    m_view.takePicture(m_world.picture().size(), m_world.mapScale());
    UpdateMargins();
    UpdateScrollRanges();

    m_edit.restart();
    FillLocationList(*this);
    m_editControls->selectFirst();
    m_editControls->mirror();
    m_editControls->worldOpened();
    SetTitleWithZoom();
    RepaintMap();
}

} // namespace vdm
