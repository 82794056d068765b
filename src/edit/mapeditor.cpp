// SPDX-License-Identifier: MIT
#include "edit/mapeditor.h"

#include "data/codepage.h"
#include "data/errors.h"
#include "edit/editsteps.h"
#include "edit/notetext.h"
#include "map/viewport.h"
#include "world/progressfile.h"
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

MapEditor::MapEditor(World& world, Clock clock) : m_world(world), m_autosave(world), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return std::chrono::steady_clock::now(); };
    connect(&world.events(), &WorldEvents::markersRenumbered, this,
            [this](const std::vector<int>& newIndexOf) { markersRenumbered(newIndexOf); });
    connect(&world.events(), &WorldEvents::replaced, this, [this] { restart(); });
}

MapEditor::~MapEditor() = default;

bool MapEditor::inPlacementArea(QPoint p)
{
    return p.x() >= Viewport::MapLeft && p.x() <= Viewport::MapRight && p.y() >= Viewport::MapBottom
           && p.y() <= Viewport::MapTop;
}

void MapEditor::tellMapAfter(Autosave::Edit& edit)
{
    // The map shows the change even when the write fails and the error box says so.
    const auto shown = qScopeGuard([this] { emit mapChanged(); });
    edit.write();
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
    m_history.clear();
    m_lastChange.reset();
    m_typing.reset();
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
    Autosave::Edit edit(m_autosave);
    edit.includeUserData(); // a status button writes even when the status stays
    const std::int32_t before = m_world.locations()[size_t(m_selected)].Status;
    if (m_world.setLocationStatus(m_selected, status))
        record(std::make_unique<StatusStep>(*this, m_selected, before, status));
    tellMapAfter(edit);
}

void MapEditor::editText(const QString& editorText)
{
    if (!m_open)
        return;
    const QByteArray text = storedNote(editorText);
    Autosave::Edit edit(m_autosave);
    if (showsMarker()) {
        if (!validIndex(m_world.markers(), m_target.index))
            return; // the marker is gone; no typing may reach another one
        const QByteArray before = m_world.markers()[size_t(m_target.index)].Name;
        const QByteArray after = text.isEmpty() ? kNewMarkerText : text;
        if (m_world.setMarkerName(m_target.index, after))
            typed(m_target, before, after);
        edit.includeMarkers(); // each keystroke writes, as the note's do
        tellMapAfter(edit);
        return;
    }
    if (!validIndex(m_world.locations(), m_target.index))
        return;
    // The same note shown again (the list moving the open box) records no edit, but with
    // autosave on the file is written all the same.
    const QByteArray before = m_world.locations()[size_t(m_target.index)].Note;
    if (m_world.setLocationNote(m_target.index, text))
        typed(m_target, before, text);
    edit.includeUserData();
    edit.write();
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
    // The steps name markers by their places in the list, which another program's
    // changes have just moved.
    if (m_walking)
        m_historyStale = true;
    else
        m_history.clear();
    endTyping();
    if (m_lastChange && m_lastChange->kind == EditTarget::Kind::Marker)
        m_lastChange.reset();
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
    Autosave::Edit edit(m_autosave);
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
        record(std::make_unique<MarkerStep>(*this, true, int(m_world.markers().size()) - 1, marker));
        tellMapAfter(edit);
    }
    if (m_deleting) {
        if (validIndex(m_world.markers(), markerUnderPointer)) {
            const Location marker = m_world.markers()[size_t(markerUnderPointer)];
            m_world.removeMarker(markerUnderPointer);
            markerRemoved(markerUnderPointer);
            record(std::make_unique<MarkerStep>(*this, false, markerUnderPointer, marker));
        }
        if (m_world.markers().empty())
            m_deleting = false;
        // Written and repainted even when nothing was under the pointer.
        edit.includeMarkers();
        tellMapAfter(edit);
    }
}

void MapEditor::markersGone()
{
    // A box still open on a marker's text would edit a marker that no longer exists.
    if (showsMarker()) {
        close();
        m_target.index = -1;
    }
    m_editedMarker = -1;
}

void MapEditor::clearMarkers()
{
    // Written at the close, never at once, even with autosave on.
    Autosave::Edit edit(m_autosave, Autosave::Rule::Never);
    LocationList before = m_world.markers();
    m_world.clearMarkers();
    markersGone();
    if (!before.empty())
        record(std::make_unique<MarkersClearedStep>(*this, std::move(before)));
    emit mapChanged();
}

void MapEditor::markerInserted(int index)
{
    const auto follow = [index](int& i) {
        if (i >= index)
            ++i;
    };
    follow(m_editedMarker);
    if (showsMarker())
        follow(m_target.index);
}

QString MapEditor::locationName(int index) const
{
    return validIndex(m_world.locations(), index) ? CodePage::decode(m_world.locations()[size_t(index)].Name)
                                                  : QString();
}

void MapEditor::record(std::unique_ptr<Step> step)
{
    m_typing.reset();
    m_history.push(step.release());
}

void MapEditor::typed(EditTarget target, QByteArray before, QByteArray after)
{
    const auto now = m_clock();
    if (!m_typing || m_typing->target != target || now - m_typing->last >= kTypingPause)
        m_typing = Typing{target, now, ++m_typingSession};
    m_typing->last = now;
    m_history.push(new TypingStep(*this, target, std::move(before), std::move(after), m_typing->session));
}

void MapEditor::endTyping()
{
    m_typing.reset();
}

void MapEditor::resetPlaces(PlaceReset what)
{
    BatchStep::Changes changes;
    for (int i = 0; i < int(m_world.locations().size()); ++i) {
        const Location& l = m_world.locations()[size_t(i)];
        if (what == PlaceReset::AllUnvisited) {
            const std::int32_t before = l.Status;
            if (m_world.setLocationStatus(i, Unvisited))
                changes.statuses.push_back({i, before, Unvisited});
        } else {
            QByteArray before = l.Note;
            if (m_world.setLocationNote(i, QByteArray()))
                changes.notes.push_back({i, std::move(before), QByteArray()});
        }
    }
    if (changes.empty())
        return;
    const QString text = what == PlaceReset::AllUnvisited ? QStringLiteral("Set status of all locations to Unvisited")
                                                          : QStringLiteral("Clear notes of all locations");
    record(std::make_unique<BatchStep>(*this, text, std::move(changes), false));
}

void MapEditor::importProgress(const ProgressPlan& plan)
{
    BatchStep::Changes changes;
    const LocationList& places = m_world.locations();
    const LocationList& markers = m_world.markers();
    for (const ProgressPlan::StatusChange& c : plan.statuses)
        if (validIndex(places, c.index))
            changes.statuses.push_back({c.index, places[size_t(c.index)].Status, c.status});
    for (const ProgressPlan::NoteChange& c : plan.notes)
        if (validIndex(places, c.index))
            changes.notes.push_back({c.index, places[size_t(c.index)].Note, c.note});
    for (const ProgressPlan::MarkerText& c : plan.markerTexts)
        if (validIndex(markers, c.index))
            changes.markerTexts.push_back({c.index, markers[size_t(c.index)].Name, c.text});
    changes.firstAdded = int(markers.size());
    changes.added = plan.newMarkers;
    // Recorded before the write, which may fail (the lists have changed all the same) or
    // merge another program's markers (which starts the history afresh).
    if (!changes.empty())
        record(std::make_unique<BatchStep>(*this, QStringLiteral("Import progress"), std::move(changes), true));
    Autosave::Edit edit(m_autosave, Autosave::Rule::TogetherAlways);
    applyProgressPlan(m_world, plan);
    edit.write();
}

void MapEditor::undo()
{
    travel(true);
}

void MapEditor::redo()
{
    travel(false);
}

void MapEditor::travel(bool back)
{
    endTyping();
    m_lastChange.reset();
    if (back ? !m_history.canUndo() : !m_history.canRedo())
        return;
    auto* step = static_cast<const Step*>(m_history.command(m_history.index() - (back ? 1 : 0)));
    // A write below may merge another program's markers, which ends this history: only
    // once the step is done with.
    m_walking = true;
    Autosave::Edit edit(m_autosave, step->rule(back));
    const auto walked = qScopeGuard([this] {
        m_walking = false;
        if (std::exchange(m_historyStale, false))
            m_history.clear();
    });
    if (back)
        m_history.undo();
    else
        m_history.redo();
    // Back where the files stand: nothing of the user's is left to keep.
    m_world.settleEdits();
    m_lastChange = step->shown();
    if (m_lastChange && m_lastChange->kind == EditTarget::Kind::Marker
        && !validIndex(m_world.markers(), m_lastChange->index))
        m_lastChange.reset();
    edit.write();
}

} // namespace vdm
