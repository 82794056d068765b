// SPDX-License-Identifier: MIT
// Location selection, status and notes, and marker editing.
#include "app/mainform.h"

#include "app/mainform_databases.h"
#include "app/noteedit.h"
#include "data/codepage.h"
#include "edit/notetext.h"
#include "ui_mainform.h"

#include <QScopeGuard>
#include <QScrollBar>

namespace vdm {
namespace {

const QString kEditMarkerCaption = QStringLiteral(" Edit marker ");

} // namespace

void TMainForm::CBLocChange()
{
    QComboBox* list = m_ui->CBLoc;
    m_ui->GBLoc->setTitle(QLatin1Char(' ') + list->currentText() + QLatin1Char(' '));
    const QVariant data = list->currentData(Qt::UserRole);
    if (!data.isValid())
        return;
    const int index = data.toInt();
    if (index < 0 || index >= int(Locations.size()))
        return;
    SelectedIndex = index;
    m_ui->SBU->setEnabled(true);
    m_ui->SBV->setEnabled(true);
    m_ui->SBA->setEnabled(true);
    switch (Locations[size_t(index)].Status) {
    case Unvisited:
        m_ui->SBU->setChecked(true);
        break;
    case Active:
        m_ui->SBA->setChecked(true);
        break;
    case Visited:
        m_ui->SBV->setChecked(true);
        break;
    default:
        break; // no status: the buttons stay as they are
    }
    m_ui->MemoNotes->setNoteText(CodePage::decode(Locations[size_t(index)].Note));
}

void TMainForm::PanelMapDblClick()
{
    if (Dragging || AddMarkerMode)
        return;
    const int location = locationAt(LastMouse);
    if (location >= 0) {
        QComboBox* list = m_ui->CBLoc;
        const int entry = list->findData(location, Qt::UserRole);
        list->setCurrentIndex(entry);
        CBLocChange();
        m_ui->GBLoc->setEnabled(true);
        m_ui->MemoNotes->setFocus();
        EditMarkerMode = true;
        return;
    }
    const int marker = markerAt(LastMouse);
    if (marker < 0)
        return;
    EditedMarker = marker;
    m_ui->GBLoc->setTitle(kEditMarkerCaption);
    m_ui->SBU->setEnabled(false);
    m_ui->SBV->setEnabled(false);
    m_ui->SBA->setEnabled(false);
    m_ui->GBLoc->setEnabled(true);
    // The box opens before the text is set, so the change below is not stored yet.
    EditMarkerMode = false;
    m_ui->MemoNotes->setNoteText(CodePage::decode(Markers[size_t(marker)].Name));
    m_ui->MemoNotes->setFocus();
    EditMarkerMode = true;
}

void TMainForm::SetStatus(QAbstractButton* sender)
{
    if (SelectedIndex < 0 || SelectedIndex >= int(Locations.size()))
        return;
    Location& l = Locations[size_t(SelectedIndex)];
    const std::int32_t status = sender == m_ui->SBU ? Unvisited : sender == m_ui->SBA ? Active : Visited;
    if (l.Status != status)
        UserDataEdited = true;
    l.Status = status;
    // The map shows the new colour even when the write fails and the error box says so.
    const auto repaint = qScopeGuard([this] { RepaintMap(); });
    if (Config.Autosave)
        SaveUserData(*this);
}

void TMainForm::MemoNotesChange()
{
    if (!EditMarkerMode)
        return;
    const QByteArray text = storedNote(m_ui->MemoNotes->toPlainText());
    if (m_ui->GBLoc->title() == kEditMarkerCaption) {
        if (EditedMarker < 0 || EditedMarker >= int(Markers.size()))
            return; // the marker is gone; no typing may reach another one
        QByteArray& name = Markers[size_t(EditedMarker)].Name;
        const QByteArray newName = text.isEmpty() ? QByteArray("Marker") : text;
        if (name != newName)
            MarkersEdited = true;
        name = newName;
        const auto repaint = qScopeGuard([this] { RepaintMap(); });
        if (Config.Autosave)
            SaveMarkers(*this);
        return;
    }
    if (SelectedIndex < 0 || SelectedIndex >= int(Locations.size()))
        return;
    QByteArray& note = Locations[size_t(SelectedIndex)].Note;
    // Showing a note again (the list moving the open box) is no edit of the user's: only a
    // real change may lead to replacing a file this run did not load completely.
    if (note != text)
        UserDataEdited = true;
    note = text;
    if (Config.Autosave)
        SaveUserData(*this);
}

void TMainForm::MemoNotesKeyPress(char)
{
    // Bound, and nothing to do: the editor itself refuses Enter.
}

void TMainForm::setMapCursor(bool crosshair)
{
    m_ui->PanelMap->setCursor(crosshair ? Qt::CrossCursor : Qt::PointingHandCursor);
}

void TMainForm::closeLocationBox()
{
    EditMarkerMode = false;
    m_ui->GBLoc->setEnabled(false);
}

void TMainForm::MarkerToolButtonClick(QToolButton* sender)
{
    Ui::TMainForm& u = *m_ui;
    if (sender == u.ToolButtonAddM) {
        DeleteMarkerMode = false;
        u.ToolButtonDelM->setChecked(false);
        AddMarkerMode = !AddMarkerMode;
        u.ToolButtonAddM->setChecked(AddMarkerMode);
        setMapCursor(AddMarkerMode);
    } else if (sender == u.ToolButtonDelM) {
        AddMarkerMode = false;
        u.ToolButtonAddM->setChecked(false);
        DeleteMarkerMode = !DeleteMarkerMode;
        u.ToolButtonDelM->setChecked(DeleteMarkerMode);
        setMapCursor(DeleteMarkerMode);
    } else if (sender == u.ToolButtonClearM) {
        if (!m_prompts.askYesNo(this, QStringLiteral("Warning!"),
                                QStringLiteral("All markers will be deleted. Are you sure?")))
            return;
        Markers.clear();
        MarkersEdited = true;
        u.ToolButtonClearM->setEnabled(false);
        u.ToolButtonDelM->setEnabled(false);
        // A box still open on a marker's text would edit a marker that no longer exists.
        if (EditMarkerMode && u.GBLoc->title() == kEditMarkerCaption)
            closeLocationBox();
        EditedMarker = -1;
        RepaintMap();
    }
}

void TMainForm::PanelMapClick()
{
    Ui::TMainForm& u = *m_ui;
    u.PanelMap->setFocus();
    closeLocationBox();
    const int hit = markerAt(LastMouse);

    if (AddMarkerMode) {
        const QPoint picture = View.panelToPicture(LastMouse);
        const QPoint p = View.ScreenToMap(picture.x(), picture.y());
        if (p.x() < Viewport::MapLeft || p.x() > Viewport::MapRight || p.y() < Viewport::MapBottom
            || p.y() > Viewport::MapTop)
            return; // outside the placement area: nothing added, the mode stays on
        Location marker;
        marker.Name = QByteArray("Marker");
        marker.Level = 1;
        marker.X = p.x();
        marker.Y = p.y();
        marker.Status = Unvisited;
        Markers.push_back(marker);
        MarkersEdited = true;
        u.ToolButtonClearM->setEnabled(true);
        u.ToolButtonDelM->setEnabled(true);
        const auto repaint = qScopeGuard([this] { RepaintMap(); });
        if (Config.Autosave)
            SaveMarkers(*this);
    }
    if (DeleteMarkerMode) {
        if (hit >= 0) {
            Markers.erase(Markers.begin() + hit);
            MarkersEdited = true;
            if (EditedMarker == hit)
                EditedMarker = -1;
            else if (EditedMarker > hit)
                --EditedMarker;
        }
        if (Markers.empty()) {
            DeleteMarkerMode = false;
            setMapCursor(false);
            u.ToolButtonDelM->setChecked(false);
            u.ToolButtonClearM->setEnabled(false);
            u.ToolButtonDelM->setEnabled(false);
        }
        const auto repaint = qScopeGuard([this] { RepaintMap(); });
        if (Config.Autosave)
            SaveMarkers(*this);
    }
}

} // namespace vdm
