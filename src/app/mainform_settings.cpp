// SPDX-License-Identifier: MIT
// The main window's side of the settings file: reading into the members, restoring the
// stored view and band layout, and writing everything back.
#include "app/mainform.h"

#include "app/coolbar.h"
#include "world/datalocations.h"
#include "ui_mainform.h"

#include <QGuiApplication>
#include <QScreen>

namespace vdm {
namespace {

// Where each band's tool bar sits in the stored layout: the start of its restoring drag.
constexpr QPoint kBandStart[] = {{55, 0}, {54, 24}, {55, 48}, {55, 48}};

} // namespace

std::array<QWidget*, BandPositions::Count> TMainForm::bandToolBars() const
{
    return {m_ui->ToolBarMap, m_ui->ToolBarLoc, m_ui->ToolBarMarker, m_ui->ToolBarOptions};
}

void TMainForm::ReadSettings()
{
    m_session.open(DataLocations::settingsFile(m_appDir));
    showToggleStates();
}

void TMainForm::RestoreView()
{
    const StoredView& stored = m_session.readStoredView();
    if (!Config.RestoreWindow)
        return;
    if (stored.geometryRead) {
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        move(reachablePosition(stored, screens));
        resize(stored.Width, stored.Height);
        layoutPanels();
    }
    m_view.restore(stored.Zoom, QPoint(stored.CenterX, stored.CenterY));
    CBLocChange();
}

void TMainForm::WriteSettings()
{
    if (!m_session.isOpen())
        return;
    WindowSnapshot w;
    w.Zoom = view().zoomIndex();
    w.Width = width();
    w.Height = height();
    w.CenterX = view().scrollX();
    w.CenterY = view().scrollY();
    for (int band = 0; band < BandPositions::Count; ++band)
        w.bands.set(band, bandToolBars()[band]->pos());
    w.Left = x();
    w.Top = y();
    w.State = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    m_session.write(w);
}

void TMainForm::RestoreBandLayout()
{
    const BandPositions saved = m_session.storedBands();
    CoolBar* bar = m_ui->CoolBarMain;
    // The layout is rebuilt by the cool bar's own drag rules, as if the user dragged each
    // band from where its tool bar sits in the stored layout to where it was saved.
    bar->setBandBreak(3, true);
    for (int band = 0; band < BandPositions::Count; ++band) {
        bar->beginDrag(band, kBandStart[band]);
        bar->dragMove(saved.of(band));
        bar->endDrag();
    }
    layoutPanels();
}

void TMainForm::ApplyStoredWindowState()
{
    const int state = m_session.applyStoredWindowState();
    if (state == 1)
        setWindowState(windowState() | Qt::WindowMinimized);
    else if (state == 2)
        setWindowState(windowState() | Qt::WindowMaximized);
}

} // namespace vdm
