// SPDX-License-Identifier: MIT
#pragma once

// The steps of the map editor's history. Each is recorded after its change was made, so
// pushing it does nothing; undo and redo then apply it through the world's mutators, and
// the editor writes what the world told changed, by the rule of that kind of change.

#include "data/location.h"
#include "edit/mapeditor.h"

#include <QByteArray>
#include <QUndoCommand>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace vdm {

class MapEditor::Step : public QUndoCommand {
public:
    Step(MapEditor& editor, const QString& text) : QUndoCommand(text), m_editor(editor) {}

    void redo() final;
    void undo() final { apply(true); }
    /** How what the step changed is written; `back`: it was just undone. */
    virtual Autosave::Rule rule(bool back) const;
    /** What the step changed, once applied, to be shown; nothing when many or gone. */
    virtual std::optional<EditTarget> shown() const { return std::nullopt; }

protected:
    virtual void apply(bool back) = 0;
    World& world() const { return m_editor.m_world; }
    MapEditor& editor() const { return m_editor; }

private:
    MapEditor& m_editor;
    bool m_recorded = true; // the change is already made when the step is pushed
};

/**
 * One value of one place changed: a location's status, or the text of a note or a marker.
 * Walking it sets the value back or forth through the world's mutator for that value and
 * writes the file that holds it.
 */
template <typename T> class MapEditor::ValueStep : public Step {
public:
    ValueStep(MapEditor& editor, const QString& text, EditTarget target, T before, T after)
        : Step(editor, text), m_target(target), m_before(std::move(before)), m_after(std::move(after))
    {}
    std::optional<EditTarget> shown() const override { return m_target; }

protected:
    void apply(bool back) override;

    EditTarget m_target;
    T m_before;
    T m_after;
};

class MapEditor::StatusStep : public ValueStep<std::int32_t> {
public:
    StatusStep(MapEditor& editor, int index, std::int32_t before, std::int32_t after);
};

/** Keystrokes in one note or one marker text: merged while the typing goes on. */
class MapEditor::TypingStep : public ValueStep<QByteArray> {
public:
    TypingStep(MapEditor& editor, EditTarget target, QByteArray before, QByteArray after, int session);
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    int m_session; // keystrokes of one typing session merge, never two sessions
};

/** One marker added (at the end) or deleted, at `index`. */
class MapEditor::MarkerStep : public Step {
public:
    MarkerStep(MapEditor& editor, bool added, int index, Location marker);
    std::optional<EditTarget> shown() const override;

protected:
    void apply(bool back) override;

private:
    bool m_added;
    int m_index;
    Location m_marker;
    bool m_present = false; // the marker is in the list after the last apply
};

/** "Delete all markers": written when undone (the markers come back), never when done. */
class MapEditor::MarkersClearedStep : public Step {
public:
    MarkersClearedStep(MapEditor& editor, LocationList markers);
    Autosave::Rule rule(bool back) const override;

protected:
    void apply(bool back) override;

private:
    LocationList m_markers;
};

/** Many statuses, notes and marker texts, and markers appended: a bulk edit or an import. */
class MapEditor::BatchStep : public Step {
public:
    template <typename T> struct Change {
        int index;
        T before;
        T after;
    };
    struct Changes {
        std::vector<Change<std::int32_t>> statuses;
        std::vector<Change<QByteArray>> notes;
        std::vector<Change<QByteArray>> markerTexts;
        int firstAdded = 0; // where the appended markers begin
        LocationList added;
        bool empty() const { return statuses.empty() && notes.empty() && markerTexts.empty() && added.empty(); }
    };
    /** `together`: both files as one, as an import writes them; otherwise the user data alone. */
    BatchStep(MapEditor& editor, const QString& text, Changes changes, bool together);
    Autosave::Rule rule(bool back) const override;

protected:
    void apply(bool back) override;

private:
    Changes m_changes;
    bool m_together;
};

} // namespace vdm
