// SPDX-License-Identifier: MIT
// Location selection, status and notes, and marker editing: the edit controls carry them out.
#include "app/mainform.h"

#include "app/editcontrols.h"
#include "ui_mainform.h"

#include <QRect>
#include <QScopeGuard>

namespace vdm {

void TMainForm::CBLocChange()
{
    m_editControls->listChosen();
}

void TMainForm::PanelMapClick()
{
    m_editControls->mapClicked();
}

void TMainForm::PanelMapDblClick()
{
    m_editControls->mapDoubleClicked();
}

void TMainForm::SetStatus(QAbstractButton* sender)
{
    m_editControls->statusClicked(sender);
}

void TMainForm::MemoNotesChange()
{
    m_editControls->notesChanged();
}

void TMainForm::MarkerToolButtonClick(QToolButton* sender)
{
    m_editControls->toolClicked(sender);
}

void TMainForm::UndoClick()
{
    walkHistory(true);
}

void TMainForm::RedoClick()
{
    walkHistory(false);
}

void TMainForm::walkHistory(bool back)
{
    const auto shown = qScopeGuard([this] {
        if (const std::optional<EditTarget>& change = m_edit.lastChange()) {
            const bool marker = change->kind == EditTarget::Kind::Marker;
            const Location& l = (marker ? m_world.markers() : m_world.locations())[size_t(change->index)];
            const Viewport& v = view();
            if (!v.LevelVisible(l.Level) || !QRect(QPoint(), v.panel()).contains(v.mapToPanel(l.X, l.Y))) {
                mapView().goTo(l.X, l.Y, l.Level); // as Go centres, with its one paint
                return;
            }
        }
        RepaintMap(); // the frame, the markers and the progress line
    });
    m_editControls->walkHistory(back);
}

void TMainForm::OpenBoxClick()
{
    m_editControls->openSelected();
}

void TMainForm::PanelMapEnter()
{
    m_editControls->mapEnter();
}

} // namespace vdm
