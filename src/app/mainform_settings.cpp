// SPDX-License-Identifier: MIT
// The main window's side of the settings file: reading into the members, restoring the
// stored view and band layout, and writing everything back.
#include "app/mainform.h"

#include "app/displaytoggles.h"
#include "app/formlayout.h"
#include "dialogs/platform.h"
#include "world/datalocations.h"
#include "ui_mainform.h"

#include <QGuiApplication>
#include <QScreen>

namespace vdm {

void TMainForm::ReadSettings()
{
    m_session.open(DataLocations::settingsFile(m_appDir));
    m_session.setWindowPositionsKnown(WindowPositionsKnown());
    m_toggles->showStates();
    m_edit.setAutosave(settings().Autosave);
}

void TMainForm::restoreView()
{
    const StoredView& stored = m_session.readStoredView();
    if (!settings().RestoreWindow)
        return;
    m_layout->restoreGeometry(stored, m_session.windowPositionsKnown());
    mapView().restore(stored.Zoom, QPoint(stored.CenterX, stored.CenterY));
    CBLocChange();
}

FirstView TMainForm::firstView()
{
    FirstView view;
    if (!settings().ShowText)
        return view;
    // restoreView reads the same again, once the picture is there.
    const StoredView& stored = m_session.readStoredView();
    QSize window = size();
    if (settings().RestoreWindow) {
        view.zoom = stored.Zoom;
        view.scroll = QPoint(stored.CenterX, stored.CenterY);
        if (stored.geometryRead)
            window = QSize(stored.Width, stored.Height);
    }
    // A window shown maximised takes the screen.
    if (stored.State == 2)
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            window = window.expandedTo(screen->availableGeometry().size());
    view.panel = window;
    return view;
}

void TMainForm::WriteSettings()
{
    if (m_session.isOpen())
        m_session.write(m_layout->snapshot(view()));
}

} // namespace vdm
