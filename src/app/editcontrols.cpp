// SPDX-License-Identifier: MIT
#include "app/editcontrols.h"

#include "app/accessibility.h"
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

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QToolButton>

#include <utility>

namespace vdm {

EditControls::EditControls(const Widgets& widgets, MapEditor& editor, const World& world, const MapHover& hover,
                           const Viewport& view, Prompts& prompts, QWidget* window)
    : m_widgets(widgets), m_editor(editor), m_world(world), m_hover(hover), m_view(view), m_prompts(prompts),
      m_window(window)
{
    QComboBox* list = widgets.list;
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setModel(new LocationListModel(list));
    // Long lists must not measure every name: the list keeps its stored width.
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (auto* rows = qobject_cast<QListView*>(list->view()))
        rows->setUniformItemSizes(true);
    // The list's label where its band's header stands: assistive technology reads it as
    // the list's label, and Alt+L takes the list (the header itself is painted).
    auto* label = new QLabel(QStringLiteral("&Location"), list->parentWidget());
    label->setObjectName(QStringLiteral("LabelLocationList"));
    label->setBuddy(list);
    label->setGeometry(0, 0, 0, 0);
    widgets.note->setFocusPolicy(Qt::StrongFocus);
    m_connections.connect(world.events(), &WorldEvents::listOrdered, [this] { ensureListed(); });
}

EditControls::~EditControls()
{
    QObject::disconnect(m_orderAfterPaint);
}

std::array<std::pair<std::int32_t, QAbstractButton*>, 3> EditControls::statusButtons() const
{
    return {{{Unvisited, m_widgets.unvisited}, {Active, m_widgets.active}, {Visited, m_widgets.visited}}};
}

void EditControls::mirror()
{
    const MapEditor& e = m_editor;
    m_widgets.box->setTitle(e.boxCaption());
    // Assistive technology reads the caption (the place's name, or "Edit marker") as the
    // box's name, and hears it change.
    const QString caption = e.boxCaption().trimmed();
    setAccessibleNameIfChanged(*m_widgets.box, caption.isEmpty() ? QStringLiteral("Selected location") : caption);
    for (const auto& [status, button] : statusButtons())
        button->setEnabled(!e.showsMarker());
    m_widgets.box->setEnabled(e.EditMarkerMode());
    m_widgets.addMarker->setChecked(e.AddMarkerMode());
    m_widgets.deleteMarker->setChecked(e.DeleteMarkerMode());
    m_widgets.mapPanel->setCursor(e.markerToolActive() ? Qt::CrossCursor : Qt::PointingHandCursor);
    m_widgets.mapPanel->showCentreMark(e.markerToolActive());
}

void EditControls::showTools()
{
    m_widgets.addMarker->setEnabled(m_tools.addEnabled());
    m_widgets.deleteMarker->setEnabled(m_tools.deleteEnabled());
    m_widgets.clearMarkers->setEnabled(m_tools.clearEnabled());
}

void EditControls::listChosen()
{
    ensureListed();
    const QVariant entry = m_widgets.list->currentData(Qt::UserRole);
    const bool shown = entry.isValid() && m_editor.showLocation(entry.toInt());
    mirror();
    if (!shown)
        return;
    const Location& l = m_world.locations()[size_t(m_editor.SelectedIndex())];
    for (const auto& [status, button] : statusButtons()) {
        if (l.Status == status)
            button->setChecked(true); // no status: the buttons stay as they are
    }
    m_widgets.note->setNoteText(CodePage::decode(l.Note));
}

void EditControls::fillList()
{
    m_listWaiting = m_world.ordersListAside();
    m_firstWanted = false;
    QObject::disconnect(m_orderAfterPaint);
    // Queued: the painted frame goes to the screen before the names for the order are read
    // (a few dozen milliseconds of this thread at a million places).
    if (m_listWaiting)
        m_orderAfterPaint = QObject::connect(
            m_widgets.mapPanel, &TMapPanel::painted, m_widgets.list, [this] { m_world.orderListAside(); },
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    m_widgets.list->setEnabled(!m_listWaiting);
    const QSignalBlocker blocker(m_widgets.list);
    static_cast<LocationListModel*>(m_widgets.list->model())
        ->fill(m_listWaiting ? nullptr : m_world.sharedListedLocations());
}

void EditControls::ensureListed()
{
    if (!std::exchange(m_listWaiting, false))
        return;
    {
        const QSignalBlocker blocker(m_widgets.list);
        static_cast<LocationListModel*>(m_widgets.list->model())->fill(m_world.sharedListedLocations());
    }
    m_widgets.list->setEnabled(true);
    if (std::exchange(m_firstWanted, false))
        selectFirst();
}

void EditControls::selectFirst()
{
    if (m_listWaiting) {
        m_firstWanted = true;
        mirror();
        return;
    }
    if (m_widgets.list->count() > 0)
        m_widgets.list->setCurrentIndex(0);
    listChosen();
}

bool EditControls::selectLocation(int index)
{
    ensureListed();
    const int row = m_widgets.list->findData(index, Qt::UserRole);
    if (row < 0)
        return false;
    m_widgets.list->setCurrentIndex(row);
    listChosen();
    return true;
}

void EditControls::mapDoubleClicked()
{
    if (m_hover.dragging() || m_editor.AddMarkerMode())
        return;
    ensureListed();
    const int location = m_hover.locationAt(m_hover.lastPointer());
    if (location >= 0) {
        m_widgets.list->setCurrentIndex(m_widgets.list->findData(location, Qt::UserRole));
        openSelected();
        return;
    }
    const int marker = m_hover.markerAt(m_hover.lastPointer());
    if (!m_editor.showMarker(marker))
        return;
    mirror();
    m_widgets.note->setNoteText(CodePage::decode(m_world.markers()[size_t(marker)].Name));
    m_editor.open();
    mirror();
    m_widgets.note->setFocus();
}

void EditControls::openSelected()
{
    ensureListed();
    const QVariant entry = m_widgets.list->currentData(Qt::UserRole);
    if (!entry.isValid())
        return; // nothing listed, nothing to open
    listChosen();
    if (m_editor.showsMarker() || m_editor.SelectedIndex() != entry.toInt())
        return;
    m_editor.open();
    mirror();
    m_widgets.note->setFocus();
}

void EditControls::mapEnter()
{
    if (m_editor.markerToolActive())
        clickAt(m_widgets.mapPanel->centre());
    else
        openSelected();
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
    m_editor.editText(m_widgets.note->toPlainText());
}

void EditControls::toolClicked(QToolButton* sender)
{
    if (sender == m_widgets.addMarker) {
        m_editor.toggleAddMode();
    } else if (sender == m_widgets.deleteMarker) {
        m_editor.toggleDeleteMode();
    } else if (sender == m_widgets.clearMarkers) {
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
    m_widgets.mapPanel->setFocus();
    clickAt(m_hover.lastPointer());
}

void EditControls::closeBox()
{
    m_widgets.mapPanel->setFocus(Qt::OtherFocusReason);
    m_editor.close();
    mirror();
}

void EditControls::clickAt(QPoint at)
{
    const int hit = m_hover.markerAt(at);
    const QPoint picture = m_view.panelToPicture(at);
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
        const QSignalBlocker blocker(m_widgets.note); // showing the text is no edit of it
        m_widgets.note->setNoteText(CodePage::decode(m_world.markers()[size_t(marker)].Name));
    }
}

void EditControls::walkHistory(bool back)
{
    // Last, whatever happened: the map shows the change, a place or marker outside the
    // view centred as Go centres it, with one paint (the frame, the markers, the counts).
    const auto painted = qScopeGuard([this] {
        if (const std::optional<EditTarget>& change = m_editor.lastChange()) {
            const bool marker = change->kind == EditTarget::Kind::Marker;
            const Location& l = (marker ? m_world.markers() : m_world.locations())[size_t(change->index)];
            if (!m_view.shows(l.X, l.Y, l.Level)) {
                m_widgets.mapPanel->goTo(l.X, l.Y, l.Level);
                return;
            }
        }
        m_widgets.mapPanel->repaint();
    });
    const size_t before = m_world.markers().size();
    const auto shown = qScopeGuard([&] {
        m_tools.markersChanged(before, m_world.markers().size());
        showTools();
        const std::optional<EditTarget>& change = m_editor.lastChange();
        if (change && change->kind == EditTarget::Kind::Location && selectLocation(change->index))
            return;
        if (change && change->kind == EditTarget::Kind::Marker && m_editor.showMarker(change->index)) {
            mirror();
            const QSignalBlocker blocker(m_widgets.note); // showing the text is no edit of it
            m_widgets.note->setNoteText(CodePage::decode(m_world.markers()[size_t(change->index)].Name));
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
            && storedNote(m_widgets.note->toPlainText()) != m_world.markers()[size_t(marker)].Name) {
            const QSignalBlocker blocker(m_widgets.note);
            m_widgets.note->setNoteText(CodePage::decode(m_world.markers()[size_t(marker)].Name));
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
    if (storedNote(m_widgets.note->toPlainText()) != l.Note) {
        const QSignalBlocker blocker(m_widgets.note); // showing the note is no edit of it
        m_widgets.note->setNoteText(CodePage::decode(l.Note));
    }
}

} // namespace vdm
