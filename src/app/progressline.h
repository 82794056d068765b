// SPDX-License-Identifier: MIT
#pragma once

#include "map/placefilter.h"
#include "world/worldevents.h"

#include <QPoint>
#include <QString>

#include <optional>

class QLabel;
class QWidget;

namespace vdm {

class MapHover;
class Viewport;
class World;

/**
 * The strip under the map: the status counts, and the map point and the place under the
 * pointer. It works the text out afresh each time it shows, so a zoom or a scroll under a
 * still pointer shows the map point that is under it now. Assistive technology reads the
 * counts as the line's name (a status change is announced) and the pointer's line as its
 * description, which changes too often to be spoken; the map says its zoom and the place
 * under the pointer.
 */
class ProgressLine {
public:
    ProgressLine(QLabel& label, QWidget& map, const World& world, const Viewport& view, const MapHover& hover);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    /** The pointer moved over the map to panel point `at`. */
    void pointerMoved(QPoint at);
    /** Shows the counts and the pointer's line as they are now; the label is set only on a change. */
    void show();
    /** The kinds and regions the user chose to see (none: every place), kept by the window; the counts follow it. */
    void setPlaceFilter(const PlaceFilter* filter) { m_places = filter; }

private:
    /** The counts' half of the line. */
    QString countsText();

    QLabel& m_label;
    QWidget& m_map;
    const World& m_world;
    const Viewport& m_view;
    const MapHover& m_hover;
    std::optional<QPoint> m_pointerAt; // the pointer's last panel position, once it has moved over the map
    const PlaceFilter* m_places = nullptr;
    // The filtered counts, worked out again only when the world (its notices say so) or the filter changed.
    QString m_counts;
    bool m_countsStale = true;
    PlaceFilter m_countsFilter;
    EventConnections m_connections;
};

} // namespace vdm
