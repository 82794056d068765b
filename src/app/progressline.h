// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>

#include <optional>

class QLabel;

namespace vdm {

class MapHover;
class Viewport;
class World;

/**
 * The strip under the map: the status counts, and the map point and the place under the
 * pointer. It works the text out afresh each time it shows, so a zoom or a scroll under a
 * still pointer shows the map point that is under it now.
 */
class ProgressLine {
public:
    ProgressLine(QLabel& label, const World& world, const Viewport& view, const MapHover& hover);

    /** The pointer moved over the map to panel point `at`. */
    void pointerMoved(QPoint at);
    /** Shows the counts and the pointer's line as they are now; the label is set only on a change. */
    void show();

private:
    QLabel& m_label;
    const World& m_world;
    const Viewport& m_view;
    const MapHover& m_hover;
    std::optional<QPoint> m_pointerAt; // the pointer's last panel position, once it has moved over the map
};

} // namespace vdm
