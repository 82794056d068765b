// SPDX-License-Identifier: MIT
#include "edit/mapeditor.h"

#include "data/codepage.h"
#include "data/errors.h"
#include "edit/notetext.h"
#include "map/viewport.h"
#include "world/world.h"

#include <QScopeGuard>

namespace vdm {
namespace {

const QByteArray kNewMarkerText = QByteArrayLiteral("Marker");

bool validIndex(const LocationList& list, int index)
{
    return index >= 0 && index < int(list.size());
}

} // namespace

MapEditor::MapEditor(World& world, Hooks hooks) : m_world(world), m_hooks(std::move(hooks))
{}

bool MapEditor::inPlacementArea(QPoint p)
{
    return p.x() >= Viewport::MapLeft && p.x() <= Viewport::MapRight && p.y() >= Viewport::MapBottom
           && p.y() <= Viewport::MapTop;
}

void MapEditor::autosaveUserData()
{
    if (m_hooks.autosave && m_hooks.autosave())
        m_world.autosaveUserData();
}

void MapEditor::autosaveMarkers()
{
    if (m_hooks.autosave && m_hooks.autosave())
        m_world.autosaveMarkers();
}

void MapEditor::repaintAfterwards(const std::function<void()>& write)
{
    // The map shows the change even when the write fails and the error box says so.
    const auto repaint = qScopeGuard([this] {
        if (m_hooks.repaintMap)
            m_hooks.repaintMap();
    });
    write();
}

QString MapEditor::boxCaption() const
{
    if (showsMarker())
        return QStringLiteral(" Edit marker ");
    const bool known = m_selected >= 0 && m_selected < int(m_world.locations().size());
    return QLatin1Char(' ') + (known ? CodePage::decode(m_world.locations()[size_t(m_selected)].Name) : QString())
           + QLatin1Char(' ');
}

const Location& MapEditor::selectedLocation() const
{
    if (m_selected < 0 || m_selected >= int(m_world.locations().size()))
        throwListIndexError(m_selected);
    return m_world.locations()[size_t(m_selected)];
}

void MapEditor::restart()
{
    m_target = {};
    m_selected = 0;
    m_open = false;
    m_editedMarker = -1;
    m_adding = false;
    m_deleting = false;
}

bool MapEditor::showLocation(int index)
{
    if (!validIndex(m_world.locations(), index))
        return false;
    m_selected = index;
    m_target = {EditTarget::Kind::Location, index};
    return true;
}

bool MapEditor::showMarker(int index)
{
    if (!validIndex(m_world.markers(), index))
        return false;
    // Closed until the editor holds the marker's text, so showing it is no edit.
    m_open = false;
    m_editedMarker = index;
    m_target = {EditTarget::Kind::Marker, index};
    return true;
}

void MapEditor::open()
{
    m_open = true;
}

void MapEditor::close()
{
    m_open = false;
}

void MapEditor::setStatus(std::int32_t status)
{
    if (!validIndex(m_world.locations(), m_selected))
        return;
    m_world.setLocationStatus(m_selected, status);
    repaintAfterwards([this] { autosaveUserData(); });
}

void MapEditor::editText(const QString& editorText)
{
    if (!m_open)
        return;
    const QByteArray text = storedNote(editorText);
    if (showsMarker()) {
        if (!validIndex(m_world.markers(), m_target.index))
            return; // the marker is gone; no typing may reach another one
        m_world.setMarkerName(m_target.index, text.isEmpty() ? kNewMarkerText : text);
        repaintAfterwards([this] { autosaveMarkers(); });
        return;
    }
    if (!validIndex(m_world.locations(), m_target.index))
        return;
    // The same note shown again (the list moving the open box) records no edit, but with
    // autosave on the file is written all the same.
    m_world.setLocationNote(m_target.index, text);
    autosaveUserData();
}

void MapEditor::pointerOnMarker(int index)
{
    if (!m_open)
        m_editedMarker = index;
}

void MapEditor::toggleAddMode()
{
    m_deleting = false;
    m_adding = !m_adding;
}

void MapEditor::toggleDeleteMode()
{
    m_adding = false;
    m_deleting = !m_deleting;
}

void MapEditor::enterAddMode()
{
    m_deleting = false;
    m_adding = true;
}

void MapEditor::markerRemoved(int index)
{
    const auto follow = [index](int& i) {
        if (i == index)
            i = -1;
        else if (i > index)
            --i;
    };
    follow(m_editedMarker);
    if (showsMarker())
        follow(m_target.index);
}

void MapEditor::markersRenumbered(const std::vector<int>& newIndexOf)
{
    const auto follow = [&newIndexOf](int& i) {
        if (i >= 0)
            i = i < int(newIndexOf.size()) ? newIndexOf[size_t(i)] : -1;
    };
    follow(m_editedMarker);
    if (!showsMarker())
        return;
    follow(m_target.index);
    if (m_target.index < 0)
        close();
}

void MapEditor::click(int markerUnderPointer, QPoint mapPoint)
{
    close();
    if (m_adding) {
        if (!inPlacementArea(mapPoint))
            return; // nothing added, and the mode stays on
        Location marker;
        marker.Name = kNewMarkerText;
        marker.Level = 1;
        marker.X = mapPoint.x();
        marker.Y = mapPoint.y();
        marker.Status = Unvisited;
        m_world.addMarker(marker);
        repaintAfterwards([this] { autosaveMarkers(); });
    }
    if (m_deleting) {
        if (validIndex(m_world.markers(), markerUnderPointer)) {
            m_world.removeMarker(markerUnderPointer);
            markerRemoved(markerUnderPointer);
        }
        if (m_world.markers().empty())
            m_deleting = false;
        // Written and repainted even when nothing was under the pointer.
        repaintAfterwards([this] { autosaveMarkers(); });
    }
}

void MapEditor::clearMarkers()
{
    m_world.clearMarkers();
    // A box still open on a marker's text would edit a marker that no longer exists.
    if (showsMarker()) {
        close();
        m_target.index = -1;
    }
    m_editedMarker = -1;
    if (m_hooks.repaintMap)
        m_hooks.repaintMap();
}

} // namespace vdm
