// SPDX-License-Identifier: MIT
// Location selection, status and notes, and marker editing: the edit controls carry them out.
#include "app/mainform.h"

#include "app/editcontrols.h"
#include "ui_mainform.h"

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

void TMainForm::FindChosen(int index)
{
    // As a user would: the list selects the place, then Go takes the view there.
    if (m_editControls->selectLocation(index))
        GoButtonClick();
}

void TMainForm::PanelMapEnter()
{
    m_editControls->mapEnter();
}

} // namespace vdm
