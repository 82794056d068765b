// SPDX-License-Identifier: MIT
// Location selection, status and notes, and marker editing.
#include "app/mainform.h"

#include "app/noteedit.h"
#include "data/codepage.h"
#include "ui_mainform.h"

#include <QScopeGuard>
#include <initializer_list>

namespace vdm {
MapEditor::Hooks TMainForm::editorHooks()
{
    return {[this] { return Config.Autosave; }, [this] { RepaintMap(); }};
}

void TMainForm::mirrorEditor()
{
    Ui::TMainForm& u = *m_ui;
    const MapEditor& e = m_edit;
    u.GBLoc->setTitle(e.boxCaption());
    for (const auto& [status, button] : statusButtons())
        button->setEnabled(!e.showsMarker());
    u.GBLoc->setEnabled(e.EditMarkerMode());
    u.ToolButtonAddM->setChecked(e.AddMarkerMode());
    u.ToolButtonDelM->setChecked(e.DeleteMarkerMode());
    u.PanelMap->setCursor(e.markerToolActive() ? Qt::CrossCursor : Qt::PointingHandCursor);
}

void TMainForm::CBLocChange()
{
    const QVariant entry = m_ui->CBLoc->currentData(Qt::UserRole);
    const bool shown = entry.isValid() && m_edit.showLocation(entry.toInt());
    mirrorEditor();
    if (!shown)
        return;
    const Location& l = m_world.locations()[size_t(m_edit.SelectedIndex())];
    for (const auto& [status, button] : statusButtons()) {
        if (l.Status == status)
            button->setChecked(true); // no status: the buttons stay as they are
    }
    m_ui->MemoNotes->setNoteText(CodePage::decode(l.Note));
}

void TMainForm::selectFirstLocation()
{
    if (m_ui->CBLoc->count() > 0)
        m_ui->CBLoc->setCurrentIndex(0);
    CBLocChange();
}

void TMainForm::PanelMapDblClick()
{
    if (m_hover.dragging() || m_edit.AddMarkerMode())
        return;
    const int location = m_hover.locationAt(m_hover.lastPointer());
    if (location >= 0) {
        QComboBox* list = m_ui->CBLoc;
        list->setCurrentIndex(list->findData(location, Qt::UserRole));
        CBLocChange();
        m_edit.open();
        mirrorEditor();
        m_ui->MemoNotes->setFocus();
        return;
    }
    const int marker = m_hover.markerAt(m_hover.lastPointer());
    if (!m_edit.showMarker(marker))
        return;
    mirrorEditor();
    m_ui->MemoNotes->setNoteText(CodePage::decode(m_world.markers()[size_t(marker)].Name));
    m_edit.open();
    mirrorEditor();
    m_ui->MemoNotes->setFocus();
}

std::array<std::pair<std::int32_t, QAbstractButton*>, 3> TMainForm::statusButtons() const
{
    return {{{Unvisited, m_ui->SBU}, {Active, m_ui->SBA}, {Visited, m_ui->SBV}}};
}

void TMainForm::SetStatus(QAbstractButton* sender)
{
    for (const auto& [status, button] : statusButtons()) {
        if (button == sender)
            m_edit.setStatus(status);
    }
}

void TMainForm::MemoNotesChange()
{
    m_edit.editText(m_ui->MemoNotes->toPlainText());
}

void TMainForm::MarkerToolButtonClick(QToolButton* sender)
{
    Ui::TMainForm& u = *m_ui;
    if (sender == u.ToolButtonAddM) {
        m_edit.toggleAddMode();
    } else if (sender == u.ToolButtonDelM) {
        m_edit.toggleDeleteMode();
    } else if (sender == u.ToolButtonClearM) {
        if (!m_prompts.askYesNo(this, QStringLiteral("Warning!"),
                                QStringLiteral("All markers will be deleted. Are you sure?")))
            return;
        u.ToolButtonClearM->setEnabled(false);
        u.ToolButtonDelM->setEnabled(false);
        m_edit.clearMarkers();
    }
    mirrorEditor();
}

void TMainForm::PanelMapClick()
{
    Ui::TMainForm& u = *m_ui;
    u.PanelMap->setFocus();
    const int hit = m_hover.markerAt(m_hover.lastPointer());
    const QPoint picture = View.panelToPicture(m_hover.lastPointer());
    const size_t before = m_world.markers().size();
    const bool deleting = m_edit.DeleteMarkerMode();
    // The tools follow what the click did, even when writing the markers failed.
    const auto mirror = qScopeGuard([&] {
        if (m_world.markers().size() > before) {
            u.ToolButtonClearM->setEnabled(true);
            u.ToolButtonDelM->setEnabled(true);
        } else if (deleting && m_world.markers().empty()) {
            u.ToolButtonClearM->setEnabled(false);
            u.ToolButtonDelM->setEnabled(false);
        }
        mirrorEditor();
    });
    m_edit.click(hit, View.ScreenToMap(picture.x(), picture.y()));
}

} // namespace vdm
