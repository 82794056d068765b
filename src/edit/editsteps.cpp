// SPDX-License-Identifier: MIT
#include "edit/editsteps.h"

#include "world/world.h"

#include <type_traits>
#include <utility>

namespace vdm {
namespace {

bool validIndex(const LocationList& list, int index)
{
    return index >= 0 && index < int(list.size());
}

// Whether the world still holds `value` where a step set it. A step walks a value from one
// of its ends to the other only then: a value another program's change brought in since
// (a merge) is newer than both ends, and a step taken back or forth leaves it as it is.
bool holds(const World& w, const EditTarget& target, std::int32_t status)
{
    return validIndex(w.locations(), target.index) && w.locations()[size_t(target.index)].Status == status;
}

bool holds(const World& w, const EditTarget& target, const QByteArray& text)
{
    if (target.kind == EditTarget::Kind::Marker)
        return validIndex(w.markers(), target.index) && w.markers()[size_t(target.index)].Name == text;
    return validIndex(w.locations(), target.index) && w.locations()[size_t(target.index)].Note == text;
}

} // namespace

Autosave::Rule MapEditor::Step::rule(bool) const
{
    return Autosave::Rule::EachFile;
}

void MapEditor::Step::redo()
{
    if (std::exchange(m_recorded, false))
        return;
    apply(false);
}

template <typename T> void MapEditor::ValueStep<T>::apply(bool back)
{
    const T& value = back ? m_before : m_after;
    if (!holds(world(), m_target, back ? m_after : m_before))
        return;
    if constexpr (std::is_same_v<T, std::int32_t>)
        world().setLocationStatus(m_target.index, value);
    else if (m_target.kind == EditTarget::Kind::Marker)
        world().setMarkerName(m_target.index, value);
    else
        world().setLocationNote(m_target.index, value);
}

template class MapEditor::ValueStep<std::int32_t>;
template class MapEditor::ValueStep<QByteArray>;

MapEditor::StatusStep::StatusStep(MapEditor& editor, int index, std::int32_t before, std::int32_t after)
    : ValueStep(editor, QStringLiteral("Set status of %1").arg(editor.locationName(index)),
                {EditTarget::Kind::Location, index}, before, after)
{}

MapEditor::TypingStep::TypingStep(MapEditor& editor, EditTarget target, QByteArray before, QByteArray after,
                                  int session)
    : ValueStep(editor,
                target.kind == EditTarget::Kind::Marker
                    ? QStringLiteral("Edit marker")
                    : QStringLiteral("Edit note of %1").arg(editor.locationName(target.index)),
                target, std::move(before), std::move(after)),
      m_session(session)
{}

bool MapEditor::TypingStep::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const TypingStep*>(other);
    if (next->m_session != m_session || next->m_target != m_target)
        return false;
    m_after = next->m_after;
    // Typed and taken back again: nothing is left to undo.
    setObsolete(m_after == m_before);
    return true;
}

MapEditor::MarkerStep::MarkerStep(MapEditor& editor, bool added, int index, Location marker)
    : Step(editor, added ? QStringLiteral("Add marker") : QStringLiteral("Delete marker")), m_added(added),
      m_index(index), m_marker(std::move(marker)), m_present(added)
{}

void MapEditor::MarkerStep::apply(bool back)
{
    m_present = m_added != back;
    if (m_present) {
        world().insertMarkers({{m_index, m_marker}});
        editor().markerInserted(m_index);
    } else if (validIndex(world().markers(), m_index)) {
        world().removeMarker(m_index);
        editor().markerRemoved(m_index);
    }
}

std::optional<EditTarget> MapEditor::MarkerStep::shown() const
{
    if (!m_present)
        return std::nullopt;
    return EditTarget{EditTarget::Kind::Marker, m_index};
}

MapEditor::MarkersClearedStep::MarkersClearedStep(MapEditor& editor, LocationList markers)
    : Step(editor, QStringLiteral("Delete all markers")), m_markers(std::move(markers))
{}

void MapEditor::MarkersClearedStep::apply(bool back)
{
    if (!back) {
        world().clearMarkers();
        editor().markersGone();
        return;
    }
    std::vector<std::pair<int, Location>> markers;
    markers.reserve(m_markers.size());
    for (size_t i = 0; i < m_markers.size(); ++i)
        markers.emplace_back(int(i), m_markers[i]);
    world().insertMarkers(markers);
}

Autosave::Rule MapEditor::MarkersClearedStep::rule(bool back) const
{
    // Deleting all markers writes nothing until the close; taking it back brings them
    // back on disk too, as any other change of the markers would.
    return back ? Autosave::Rule::EachFile : Autosave::Rule::Never;
}

MapEditor::BatchStep::BatchStep(MapEditor& editor, const QString& text, Changes changes, bool together)
    : Step(editor, text), m_changes(std::move(changes)), m_together(together)
{}

void MapEditor::BatchStep::apply(bool back)
{
    World& w = world();
    const auto value = [back](const auto& change) -> const auto&
    {
        return back ? change.before : change.after;
    };
    const auto walks = [&](EditTarget::Kind kind, const auto& change) {
        return holds(w, EditTarget{kind, change.index}, back ? change.after : change.before);
    };
    if (back && !m_changes.added.empty()) {
        const int count = int(m_changes.added.size());
        w.removeMarkers(m_changes.firstAdded, count);
        for (int i = m_changes.firstAdded + count - 1; i >= m_changes.firstAdded; --i)
            editor().markerRemoved(i);
    }
    std::vector<std::pair<int, QByteArray>> texts;
    texts.reserve(m_changes.markerTexts.size());
    for (const auto& change : m_changes.markerTexts)
        if (walks(EditTarget::Kind::Marker, change))
            texts.emplace_back(change.index, value(change));
    w.setMarkerNames(texts);
    for (const auto& change : m_changes.notes)
        if (walks(EditTarget::Kind::Location, change))
            w.setLocationNote(change.index, value(change));
    for (const auto& change : m_changes.statuses)
        if (walks(EditTarget::Kind::Location, change))
            w.setLocationStatus(change.index, value(change));
    if (!back)
        w.addMarkers(m_changes.added);
}

Autosave::Rule MapEditor::BatchStep::rule(bool) const
{
    return m_together ? Autosave::Rule::Together : Autosave::Rule::EachFile;
}

} // namespace vdm
