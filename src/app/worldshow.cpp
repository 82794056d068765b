// SPDX-License-Identifier: MIT
#include "app/worldshow.h"

#include "app/commandparts.h"
#include "app/editcontrols.h"
#include "app/formlayout.h"
#include "app/journeycommands.h"
#include "app/maphintpresenter.h"
#include "app/mappanel.h"
#include "app/orientationcommands.h"
#include "app/otherchanges.h"
#include "app/typingpause.h"
#include "dialogs/errorguard.h"
#include "dialogs/prompts.h"
#include "session/settingssession.h"
#include "world/datalocations.h"
#include "world/world.h"
#include "world/worldchoice.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QScopeGuard>

namespace vdm {

WorldShow::WorldShow(const Window& window)
    : m_w(window), m_otherChanges(new OtherChanges(window.window, window.world, window.prompts, window.typing))
{
    // The map, the box, the progress line and the messages follow another program's changes.
    QObject::connect(m_otherChanges, &OtherChanges::taken, &m_w.window, [this] {
        m_w.edit.otherChangesTaken();
        repaint(); // and with it the progress line
        m_w.typing.tellNotices();
    });
    QObject::connect(&m_w.typing, &TypingPause::noticesDue, &m_w.window, [this] { reportNotices(); });
}

bool WorldShow::firstShow()
{
    if (m_shown)
        return false;
    m_shown = true;
    return true;
}

void WorldShow::load()
{
    // A database error stops the rest of the first show, but the list and the box still
    // show the same first location.
    auto selectFirst = qScopeGuard([this] { m_w.edit.selectFirst(); });
    // From now on another program's changes of the user's files are shown, also after a
    // loader error (what loaded is shown and written back all the same).
    const auto watch = qScopeGuard([this] { m_otherChanges->watch(); });
    loadLocations();
    m_w.commands.orientation().worldLoaded(); // the user's filter and bookmarks of this world
    m_w.world.LoadRoutes();
    m_w.world.LoadUserData();
    reportNotices();
    m_w.world.LoadMarkers();
    reportNotices();
    m_w.edit.markersLoaded();
    selectFirst.dismiss();
    m_w.edit.selectFirst();
    m_w.map.forgetHighlight();
    if (m_w.session.settings().RestoreWindow)
        m_w.layout.restoreBands(m_w.session.storedBands());
    m_w.layout.applyWindowState(m_w.session.applyStoredWindowState());
}

void WorldShow::loadLocations()
{
    bool found = false;
    try {
        found = m_w.world.LoadLocations();
    } catch (...) {
        m_w.edit.fillList(); // the records read before the error stay listed
        throw;
    }
    if (!found) {
        // Told before the run ends, while the first show still runs: the box belongs to
        // the start, so the program cannot end before it (or wait on it after its window
        // has gone). The close is queued after the box, so the box stays until answered.
        const QString path = QFileInfo(m_w.world.filePath(World::locationsFileName())).absoluteFilePath();
        m_w.prompts.showError(&m_w.window, locationsMissingMessage(path));
        endRun();
        return;
    }
    m_w.edit.fillList();
}

void WorldShow::endRun()
{
    QMetaObject::invokeMethod(
        &m_w.window,
        [this] {
            m_runEnded = true;
            // A box of the first show may be open in a loop of its own, before the main
            // loop runs: the end of the run ends it too, so the program never waits on a
            // box over a closed window (the main loop's quit would not reach it).
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QDialog*>(w); box && box->isModal() && box->isVisible())
                    box->reject();
            m_w.window.close();
        },
        Qt::QueuedConnection);
}

void WorldShow::opened(const QString& folder)
{
    // The next run started outside a world opens this one.
    m_w.session.rememberWorld(folder);
    // Nothing of the old world's pointer state, hint or highlight reaches the new one.
    m_w.map.forgetHighlight();
    m_w.hint.restart();
    m_w.commands.journey().worldChanged();

    // The zoom level stays (map units are the same in every world); the scroll position
    // is clamped into the new picture's ranges.
    m_w.map.takePicture(m_w.world.picture().size(), m_w.world.mapScale());
    m_w.map.updateMargins();
    m_w.map.updateScrollRanges();

    if (m_shown)
        m_otherChanges->watch(); // the new world's files from now on
    m_w.edit.fillList();
    m_w.edit.selectFirst();
    m_w.edit.mirror();
    m_w.edit.worldOpened();
    m_w.layout.showZoom(m_w.map.view().zoomIndex(), m_w.session.settings().KeepZoom);
    m_w.commands.orientation().worldLoaded();
    repaint();
    reportNotices();
}

bool WorldShow::close()
{
    if (m_closed)
        return false;
    m_closed = true;
    m_w.typing.flush(); // what waited for a pause in the typing is told before the files go
    const bool mergeUntold = m_otherChanges->stop();
    // Each step on its own: a write that fails says so and the others still run.
    if (m_shown) {
        if (mergeUntold)
            reportNotices();     // a merge read while idle, its notice still on its way
        m_w.world.takeNotices(); // what a first show cut short by an error never told stays untold
        guarded(m_w.prompts, &m_w.window, [this] { m_w.world.SaveUserDataLast(); });
        guarded(m_w.prompts, &m_w.window, [this] { m_w.world.SaveMarkersLast(); });
        reportNotices(); // a merge of the last writes is told before the window goes
    }
    m_w.world.releasePicture();
    return true;
}

void WorldShow::reportNotices()
{
    if (m_runEnded)
        return;
    for (const QString& notice : DataLocations::takeNotices() + m_w.session.takeNotices() + m_w.world.takeNotices())
        m_w.prompts.showMessage(&m_w.window, QApplication::applicationName(), notice, Prompts::Icon::Warning);
}

void WorldShow::repaint()
{
    m_w.map.repaint();
}

} // namespace vdm
