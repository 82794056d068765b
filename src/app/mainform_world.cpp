// SPDX-License-Identifier: MIT
// Opening another world while the program runs: the world command loads it, the window
// shows it from its start.
#include "app/mainform.h"

#include "app/journeycommands.h"

#include "app/editcontrols.h"
#include "app/orientationcommands.h"
#include "app/otherchanges.h"
#include "app/worldcommand.h"
#include "ui_mainform.h"

namespace vdm {

void TMainForm::setWorldInstance(WorldInstance* instance)
{
    m_parts->world().setInstance(instance);
}

void TMainForm::worldOpened(const QString& folder)
{
    // The next run started outside a world opens this one.
    rememberWorld(folder);
    // Nothing of the old world's pointer state, hint or highlight reaches the new one.
    mapView().forgetHighlight();
    m_hint.restart();
    m_parts->journey().worldChanged();

    // The zoom level stays (map units are the same in every world); the scroll position
    // is clamped into the new picture's ranges.
    mapView().takePicture(m_world.picture().size(), m_world.mapScale());
    mapView().updateMargins();
    mapView().updateScrollRanges();

    if (m_firstShowDone)
        m_otherChanges->watch(); // the new world's files from now on
    m_editControls->fillList();
    m_editControls->selectFirst();
    m_editControls->mirror();
    m_editControls->worldOpened();
    ApplyWindowSizeLimit();
    m_parts->orientation().worldLoaded();
    RepaintMap();
    reportWorldNotices();
}

} // namespace vdm
