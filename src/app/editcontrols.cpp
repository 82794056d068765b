// SPDX-License-Identifier: MIT
#include "app/editcontrols.h"

#include "app/locationlistmodel.h"
#include "app/mappanel.h"
#include "app/noteedit.h"
#include "data/codepage.h"
#include "dialogs/prompts.h"
#include "edit/mapeditor.h"
#include "edit/notetext.h"
#include "map/viewport.h"
#include "session/maphover.h"
#include "world/world.h"
#include "ui_mainform.h"

#include <QScopeGuard>
#include <QSignalBlocker>

namespace vdm {

EditControls::EditControls(const Ui::TMainForm& ui, MapEditor& editor, const World& world, const MapHover& hover,
                           const Viewport& view, Prompts& prompts, QWidget* window)
    : m_ui(ui), m_editor(editor), m_world(world), m_hover(hover), m_view(view), m_prompts(prompts), m_window(window)
{}

std::array<std::pair<std::int32_t, QAbstractButton*>, 3> EditControls::statusButtons() const
{
    return {{{Unvisited, m_ui.SBU}, {Active, m_ui.SBA}, {Visited, m_ui.SBV}}};
}

void EditControls::mirror()
{
    const MapEditor& e = m_editor;
    m_ui.GBLoc->setTitle(e.boxCaption());
    for (const auto& [status, button] : statusButtons())
        button->setEnabled(!e.showsMarker());
    m_ui.GBLoc->setEnabled(e.EditMarkerMode());
    m_ui.ToolButtonAddM->setChecked(e.AddMarkerMode());
    m_ui.ToolButtonDelM->setChecked(e.DeleteMarkerMode());
    m_ui.PanelMap->setCursor(e.markerToolActive() ? Qt::CrossCursor : Qt::PointingHandCursor);
}

void EditControls::showTools()
{
    m_ui.ToolButtonAddM->setEnabled(m_tools.addEnabled());
    m_ui.ToolButtonDelM->setEnabled(m_tools.deleteEnabled());
    m_ui.ToolButtonClearM->setEnabled(m_tools.clearEnabled());
}

void EditControls::listChosen()
{
    const QVariant entry = m_ui.CBLoc->currentData(Qt::UserRole);
    const bool shown = entry.isValid() && m_editor.showLocation(entry.toInt());
    mirror();
    if (!shown)
        return;
    const Location& l = m_world.locations()[size_t(m_editor.SelectedIndex())];
    for (const auto& [status, button] : statusButtons()) {
        if (l.Status == status)
            button->setChecked(true); // no status: the buttons stay as they are
    }
    m_ui.MemoNotes->setNoteText(CodePage::decode(l.Note));
}

void EditControls::fillList()
{
    const QSignalBlocker blocker(m_ui.CBLoc);
    static_cast<LocationListModel*>(m_ui.CBLoc->model())->fill(m_world.listedLocations());
}

void EditControls::selectFirst()
{
    if (m_ui.CBLoc->count() > 0)
        m_ui.CBLoc->setCurrentIndex(0);
    listChosen();
}

bool EditControls::selectLocation(int index)
{
    const int row = m_ui.CBLoc->findData(index, Qt::UserRole);
    if (row < 0)
        return false;
    m_ui.CBLoc->setCurrentIndex(row);
    listChosen();
    return true;
}

void EditControls::mapDoubleClicked()
{
    if (m_hover.dragging() || m_editor.AddMarkerMode())
        return;
    const int location = m_hover.locationAt(m_hover.lastPointer());
    if (location >= 0) {
        m_ui.CBLoc->setCurrentIndex(m_ui.CBLoc->findData(location, Qt::UserRole));
        listChosen();
        m_editor.open();
        mirror();
        m_ui.MemoNotes->setFocus();
        return;
    }
    const int marker = m_hover.markerAt(m_hover.lastPointer());
    if (!m_editor.showMarker(marker))
        return;
    mirror();
    m_ui.MemoNotes->setNoteText(CodePage::decode(m_world.markers()[size_t(marker)].Name));
    m_editor.open();
    mirror();
    m_ui.MemoNotes->setFocus();
}

void EditControls::statusClicked(QAbstractButton* sender)
{
    for (const auto& [status, button] : statusButtons()) {
        if (button == sender)
            m_editor.setStatus(status);
    }
}

void EditControls::notesChanged()
{
    m_editor.editText(m_ui.MemoNotes->toPlainText());
}

void EditControls::toolClicked(QToolButton* sender)
{
    if (sender == m_ui.ToolButtonAddM) {
        m_editor.toggleAddMode();
    } else if (sender == m_ui.ToolButtonDelM) {
        m_editor.toggleDeleteMode();
    } else if (sender == m_ui.ToolButtonClearM) {
        if (!m_prompts.askYesNo(m_window, QStringLiteral("Warning!"),
                                QStringLiteral("All markers will be deleted. Are you sure?")))
            return;
        m_tools.cleared();
        showTools();
        m_editor.clearMarkers();
    }
    mirror();
}

void EditControls::mapClicked()
{
    m_ui.PanelMap->setFocus();
    const int hit = m_hover.markerAt(m_hover.lastPointer());
    const QPoint picture = m_view.panelToPicture(m_hover.lastPointer());
    const size_t before = m_world.markers().size();
    const bool deleting = m_editor.DeleteMarkerMode();
    // The tools follow what the click did, even when writing the markers failed.
    const auto shown = qScopeGuard([&] {
        m_tools.clicked(before, m_world.markers().size(), deleting);
        showTools();
        mirror();
    });
    m_editor.click(hit, m_view.ScreenToMap(picture.x(), picture.y()));
}

void EditControls::levelShown()
{
    m_tools.levelShown(m_view.zoomIndex(), m_world.markers().size());
    showTools();
}

void EditControls::markersLoaded()
{
    m_tools.markersLoaded(m_view.zoomIndex(), m_world.markers().size());
    showTools();
}

void EditControls::worldOpened()
{
    m_tools.worldOpened(m_view.zoomIndex(), m_world.markers().size());
    showTools();
}

void EditControls::imported()
{
    m_tools.imported(m_view.zoomIndex(), m_world.markers().size());
    showTools();
    // A marker open in the box shows the text the import gave it; with the old text still
    // there, the next key would write it back over the imported one.
    const int marker = m_editor.target().index;
    if (m_editor.showsMarker() && marker >= 0 && size_t(marker) < m_world.markers().size()) {
        const QSignalBlocker blocker(m_ui.MemoNotes); // showing the text is no edit of it
        m_ui.MemoNotes->setNoteText(CodePage::decode(m_world.markers()[size_t(marker)].Name));
    }
}

void EditControls::walkHistory(bool back)
{
    const size_t before = m_world.markers().size();
    const auto shown = qScopeGuard([&] {
        m_tools.markersChanged(before, m_world.markers().size());
        showTools();
        const std::optional<EditTarget>& change = m_editor.lastChange();
        if (change && change->kind == EditTarget::Kind::Location && selectLocation(change->index))
            return;
        if (change && change->kind == EditTarget::Kind::Marker && m_editor.showMarker(change->index)) {
            mirror();
            const QSignalBlocker blocker(m_ui.MemoNotes); // showing the text is no edit of it
            m_ui.MemoNotes->setNoteText(CodePage::decode(m_world.markers()[size_t(change->index)].Name));
            return;
        }
        mirror();
        showBoxData();
    });
    if (back)
        m_editor.undo();
    else
        m_editor.redo();
}

void EditControls::otherChangesTaken()
{
    imported(); // the marker tools and an open marker's text
    mirror();   // a box whose marker is gone has closed
    showBoxData();
}

void EditControls::showBoxData()
{
    if (m_editor.showsMarker()) {
        const int marker = m_editor.target().index;
        if (marker >= 0 && size_t(marker) < m_world.markers().size()
            && storedNote(m_ui.MemoNotes->toPlainText()) != m_world.markers()[size_t(marker)].Name) {
            const QSignalBlocker blocker(m_ui.MemoNotes);
            m_ui.MemoNotes->setNoteText(CodePage::decode(m_world.markers()[size_t(marker)].Name));
        }
        return;
    }
    const int index = m_editor.SelectedIndex();
    if (index < 0 || size_t(index) >= m_world.locations().size())
        return;
    const Location& l = m_world.locations()[size_t(index)];
    for (const auto& [status, button] : statusButtons()) {
        if (l.Status == status)
            button->setChecked(true);
    }
    if (storedNote(m_ui.MemoNotes->toPlainText()) != l.Note) {
        const QSignalBlocker blocker(m_ui.MemoNotes); // showing the note is no edit of it
        m_ui.MemoNotes->setNoteText(CodePage::decode(l.Note));
    }
}

} // namespace vdm
