// SPDX-License-Identifier: MIT
// Location selection, status and notes, and marker editing.
#include "app/mainform.h"

#include "app/mainform_databases.h"
#include "app/noteedit.h"
#include "data/codepage.h"
#include "edit/notetext.h"
#include "ui_mainform.h"

#include <QScopeGuard>
#include <initializer_list>

namespace vdm {
namespace {

const QString kEditMarkerCaption = QStringLiteral(" Edit marker ");

} // namespace

/**
 * The window's lists and save flags as the editor changes them: each change of the user's
 * data is recorded as an edit, so a file this run did not load completely may be
 * replaced (keeping the old one) only after such a change.
 */
class TMainForm::EditedData final : public EditableWorld {
public:
    explicit EditedData(TMainForm& form) : m_form(form) {}
    const LocationList& locations() const override { return m_form.Locations; }
    const LocationList& markers() const override { return m_form.Markers; }
    bool setLocationStatus(int index, std::int32_t status) override
    {
        return change(m_form.Locations[size_t(index)].Status, status, m_form.UserDataEdited);
    }
    bool setLocationNote(int index, const QByteArray& note) override
    {
        return change(m_form.Locations[size_t(index)].Note, note, m_form.UserDataEdited);
    }
    void addMarker(const Location& marker) override
    {
        m_form.Markers.push_back(marker);
        m_form.MarkersEdited = true;
    }
    bool setMarkerName(int index, const QByteArray& name) override
    {
        return change(m_form.Markers[size_t(index)].Name, name, m_form.MarkersEdited);
    }
    void removeMarker(int index) override
    {
        m_form.Markers.erase(m_form.Markers.begin() + index);
        m_form.MarkersEdited = true;
    }
    void clearMarkers() override
    {
        m_form.Markers.clear();
        m_form.MarkersEdited = true;
    }
    void SaveUserData() override { vdm::SaveUserData(m_form); }
    void SaveMarkers() override { vdm::SaveMarkers(m_form); }

private:
    template <typename T> static bool change(T& field, const T& value, bool& edited)
    {
        if (field == value)
            return false;
        field = value;
        edited = true;
        return true;
    }
    TMainForm& m_form;
};

std::unique_ptr<EditableWorld> TMainForm::makeEditedData()
{
    return std::make_unique<EditedData>(*this);
}

MapEditor::Hooks TMainForm::editorHooks()
{
    return {[this] { return Config.Autosave; }, [this] { RepaintMap(); }};
}

void TMainForm::mirrorEditor()
{
    Ui::TMainForm& u = *m_ui;
    const MapEditor& e = m_edit;
    if (e.showsMarker()) {
        u.GBLoc->setTitle(kEditMarkerCaption);
    } else {
        const int index = e.SelectedIndex();
        const bool known = index >= 0 && index < int(Locations.size());
        u.GBLoc->setTitle(QLatin1Char(' ') + (known ? CodePage::decode(Locations[size_t(index)].Name) : QString())
                          + QLatin1Char(' '));
    }
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{u.SBU, u.SBV, u.SBA})
        b->setEnabled(!e.showsMarker());
    u.GBLoc->setEnabled(e.EditMarkerMode());
    u.ToolButtonAddM->setChecked(e.AddMarkerMode());
    u.ToolButtonDelM->setChecked(e.DeleteMarkerMode());
    u.PanelMap->setCursor(e.markerToolActive() ? Qt::CrossCursor : Qt::PointingHandCursor);
}

void TMainForm::CBLocChange()
{
    const QVariant data = m_ui->CBLoc->currentData(Qt::UserRole);
    const bool shown = data.isValid() && m_edit.showLocation(data.toInt());
    mirrorEditor();
    if (!shown)
        return;
    const Location& l = Locations[size_t(m_edit.SelectedIndex())];
    switch (l.Status) {
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
    m_ui->MemoNotes->setNoteText(CodePage::decode(l.Note));
}

void TMainForm::PanelMapDblClick()
{
    if (Dragging || m_edit.AddMarkerMode())
        return;
    const int location = locationAt(LastMouse);
    if (location >= 0) {
        QComboBox* list = m_ui->CBLoc;
        list->setCurrentIndex(list->findData(location, Qt::UserRole));
        CBLocChange();
        m_edit.open();
        mirrorEditor();
        m_ui->MemoNotes->setFocus();
        return;
    }
    const int marker = markerAt(LastMouse);
    if (!m_edit.showMarker(marker))
        return;
    mirrorEditor();
    m_ui->MemoNotes->setNoteText(CodePage::decode(Markers[size_t(marker)].Name));
    m_edit.open();
    mirrorEditor();
    m_ui->MemoNotes->setFocus();
}

void TMainForm::SetStatus(QAbstractButton* sender)
{
    m_edit.setStatus(sender == m_ui->SBU ? Unvisited : sender == m_ui->SBA ? Active : Visited);
}

void TMainForm::MemoNotesChange()
{
    m_edit.editText(m_ui->MemoNotes->toPlainText());
}

void TMainForm::MemoNotesKeyPress(char)
{
    // Bound, and nothing to do: the editor itself refuses Enter.
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
    const int hit = markerAt(LastMouse);
    const QPoint picture = View.panelToPicture(LastMouse);
    const size_t before = Markers.size();
    const bool deleting = m_edit.DeleteMarkerMode();
    // The tools follow what the click did, even when writing the markers failed.
    const auto mirror = qScopeGuard([&] {
        if (Markers.size() > before) {
            u.ToolButtonClearM->setEnabled(true);
            u.ToolButtonDelM->setEnabled(true);
        } else if (deleting && Markers.empty()) {
            u.ToolButtonClearM->setEnabled(false);
            u.ToolButtonDelM->setEnabled(false);
        }
        mirrorEditor();
    });
    m_edit.click(hit, View.ScreenToMap(picture.x(), picture.y()));
}

} // namespace vdm
