// SPDX-License-Identifier: MIT
#pragma once

#include "edit/autosave.h"

#include <QObject>
#include <QPoint>
#include <QString>
#include <QUndoStack>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vdm {

class World;
struct Location;
struct ProgressPlan;

/** What the location box shows and, while it is open, edits: a location or a marker. */
struct EditTarget {
    enum class Kind { Location, Marker };
    Kind kind = Kind::Location;
    int index = 0; // into the locations or the markers
    bool operator==(const EditTarget&) const = default;
};

/**
 * Location selection, status and notes, and marker editing, without any widget. The
 * window tells it what the user did (a location chosen, a double click that hit a
 * location or a marker, a click, a tool pressed, the note editor's new text) and shows
 * its state: what the location box shows and whether it is open, the marker modes, the
 * marker under the pointer.
 *
 * The box edits `target()`, an explicit location or marker index: never a caption read
 * back from the screen, so a location may carry any name.
 *
 * Every change goes through the world's mutators, which record the edit and tell it;
 * with autosave on, the file the world told changed is written once the user's action is
 * done, by the world's save rules (see Autosave). A change the map shows is told
 * (mapChanged), even when the write fails (the error still reaches the caller).
 *
 * Every change of the user's data is also one step of the history, which undo() and
 * redo() walk through the same mutators and the same writes (with autosave off, nothing
 * is written before the close). Keystrokes in one note or marker text make one step,
 * ended by a pause, endTyping() (the editor lost the focus) or another place. The
 * history belongs to this world: restart() and another program's renumbering of the
 * markers start it afresh.
 */
class MapEditor : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    /** Keystrokes further apart than this start a new step. */
    static constexpr std::chrono::milliseconds kTypingPause{1500};

    /**
     * `clock` times the keystrokes (tests pass their own); empty: the steady clock. The
     * editor follows the world's events: a merge's renumbering of the markers, another
     * world in this one's place (restart).
     */
    explicit MapEditor(World& world, Clock clock = {});
    ~MapEditor() override;
    MapEditor(const MapEditor&) = delete;
    MapEditor& operator=(const MapEditor&) = delete;

    const EditTarget& target() const { return m_target; }
    /** The location the box shows; kept while the box shows a marker. */
    int SelectedIndex() const { return m_selected; }
    /** The box is open for editing (on a location or on a marker). */
    bool EditMarkerMode() const { return m_open; }
    /** The marker under the pointer, or the one the open box edits; -1 for none. */
    int EditedMarker() const { return m_editedMarker; }
    bool AddMarkerMode() const { return m_adding; }
    bool DeleteMarkerMode() const { return m_deleting; }
    /** The map takes clicks as marker placements or deletions (the cross-hair pointer). */
    bool markerToolActive() const { return m_adding || m_deleting; }
    bool showsMarker() const { return m_target.kind == EditTarget::Kind::Marker; }
    /** The box's caption: " Edit marker " on a marker, else the shown location's name in blanks. */
    QString boxCaption() const;
    /** The location the box shows, for Go; "List index out of bounds" when there is none. */
    const Location& selectedLocation() const;

    // --- the location box ---
    /**
     * The box shows location `index`, and edits it if it is open (the list moves an open
     * box). False, and nothing changes, when there is no such location.
     */
    bool showLocation(int index);
    /** The box shows marker `index`, closed until open(); false when there is no such marker. */
    bool showMarker(int index);
    void open();
    void close();
    /** The shown location's status (the status buttons). */
    void setStatus(std::int32_t status);
    /**
     * The note editor's text changed. With the box open it becomes the location's note or
     * the marker's text (trimmed; a marker's empty text becomes "Marker").
     */
    void editText(const QString& editorText);

    // --- markers ---
    /** The hover found `index` under the pointer (-1: none); ignored while the box is open. */
    void pointerOnMarker(int index);
    void toggleAddMode();
    void toggleDeleteMode();
    /** The right button's entry into add mode; it ends delete mode, so one click never does both. */
    void enterAddMode();
    /**
     * A left click on the map: closes the box, then adds a marker at `mapPoint` (add mode,
     * inside the placement area) or deletes `markerUnderPointer` (delete mode, -1 for
     * none; found before anything was added). Deleting the last marker ends delete mode.
     */
    void click(int markerUnderPointer, QPoint mapPoint);
    /** Deletes every marker without writing; a box open on a marker closes. */
    void clearMarkers();

    /**
     * A merge with another program's markers gave them new places: `newIndexOf[i]` is
     * where marker i is now, -1 when it is gone. The box follows its marker, and closes
     * when that marker is gone, so no typing ever reaches another one.
     */
    void markersRenumbered(const std::vector<int>& newIndexOf);

    /**
     * The world was replaced by another: the box shows its first location, closed, and
     * every marker mode is off, so no index of the old world reaches the new one.
     */
    void restart();

    /** Each change is written at once (by the world's save rules); off: nothing before the close. */
    void setAutosave(bool on) { m_autosave.setOn(on); }
    bool autosave() const { return m_autosave.on(); }

    /** Whether a marker may be placed at this map point. */
    static bool inPlacementArea(QPoint mapPoint);

    // --- the bulk edits and the import, each one step ---
    enum class PlaceReset { AllUnvisited, NoNotes };
    /**
     * Every location unvisited, or every note cleared (the options dialog's buttons).
     * Writes nothing: the dialog writes as it always has, every failure told.
     */
    void resetPlaces(PlaceReset what);
    /**
     * Applies an import the user agreed to and writes both files as one (see
     * applyProgressImport); the step is recorded even when the write fails, since the
     * lists changed. A marker open in the box keeps its index (an import only appends).
     */
    void importProgress(const ProgressPlan& plan);

    // --- undo and redo ---
    /** The steps, for their texts and their signals; walk them with undo() and redo(). */
    const QUndoStack& history() const { return m_history; }
    /**
     * Takes back the last step: the lists as before it, written as that step was (with
     * autosave on; an import's files together; a "delete all" written back at once, since
     * its markers come back). A write that fails throws after the lists changed.
     */
    void undo();
    /** Does the step undo() took back again, written as the step itself was. */
    void redo();
    /**
     * What the last undo or redo changed, to show it: one location, or one marker still
     * there; nothing when it changed many or its marker is gone.
     */
    const std::optional<EditTarget>& lastChange() const { return m_lastChange; }
    /** The keystrokes so far are a step of their own: the next one starts another. */
    void endTyping();

signals:
    /**
     * A change the map shows (a status, a marker) is done, also when its write failed:
     * the map must show it before the handler goes on. Told once per user action.
     */
    void mapChanged();

private:
    class Step;
    template <typename T> class ValueStep;
    class TypingStep;
    class StatusStep;
    class MarkerStep;
    class MarkersClearedStep;
    class BatchStep;
    /** Records a change already made; it is not done again. */
    void record(std::unique_ptr<Step> step);
    void travel(bool back);
    void typed(EditTarget target, QByteArray before, QByteArray after);
    void markerInserted(int index);
    /** Every marker was deleted: a box open on one closes, so no typing reaches a marker that is gone. */
    void markersGone();
    QString locationName(int index) const;
    /** Writes what `edit` was told, then tells the map of the change, also when the write fails. */
    void tellMapAfter(Autosave::Edit& edit);
    void markerRemoved(int index);

    World& m_world;
    Autosave m_autosave;
    EditTarget m_target;
    int m_selected = 0;
    bool m_open = false;
    int m_editedMarker = -1;
    bool m_adding = false;
    bool m_deleting = false;
    Clock m_clock;
    QUndoStack m_history;
    std::optional<EditTarget> m_lastChange;
    /** The text being typed: whose, and when its last keystroke came; none after endTyping. */
    struct Typing {
        EditTarget target;
        std::chrono::steady_clock::time_point last;
        int session;
    };
    std::optional<Typing> m_typing;
    int m_typingSession = 0;
    bool m_walking = false;      // an undo or redo is under way
    bool m_historyStale = false; // and the steps must go once it is done
};

} // namespace vdm
