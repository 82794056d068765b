// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace vdm {

/**
 * Which of the three marker tools (add, delete, delete all) may be pressed. The window
 * tells it what happened and shows the result; no widget is involved.
 *
 * The tools follow events rather than one formula, because the user sees the difference:
 * a marker added at 10 % (add mode kept while zooming out) enables Delete there until the
 * level next changes, and markers read before a damaged file's error leave Delete all off.
 */
class MarkerTools {
public:
    bool addEnabled() const { return m_add; }
    bool deleteEnabled() const { return m_delete; }
    bool clearEnabled() const { return m_clear; }

    /** The level changed (zoom, Go, the stored view): markers are placed and deleted only zoomed in. */
    void levelShown(int zoomIndex, std::size_t markers);
    /** The first show read the markers file. */
    void markersLoaded(int zoomIndex, std::size_t markers);
    /** A click on the map in add or delete mode (`deleting`) left `after` of `before` markers. */
    void clicked(std::size_t before, std::size_t after, bool deleting);
    /**
     * An undo or redo left `after` of `before` markers: as a click that added, or that
     * deleted the last one.
     */
    void markersChanged(std::size_t before, std::size_t after);
    /** The user agreed to delete every marker. */
    void cleared();
    /** Another world was opened: its markers alone count. */
    void worldOpened(int zoomIndex, std::size_t markers);
    /** A progress import ran (it adds and replaces markers, never removes one). */
    void imported(int zoomIndex, std::size_t markers);

    bool operator==(const MarkerTools&) const = default;

private:
    bool m_add = false;
    bool m_delete = false;
    bool m_clear = false;
};

} // namespace vdm
