// SPDX-License-Identifier: MIT
#include "session/maphover.h"

#include "data/settings.h"
#include "edit/mapeditor.h"
#include "map/highlight.h"
#include "world/world.h"

#include <QtGlobal>

namespace vdm {

MapHover::MapHover(const World& world, const Viewport& view, const Settings& settings, const GoHighlight& highlight,
                   MapEditor& editor)
    : m_world(world), m_view(view), m_settings(settings), m_highlight(highlight), m_editor(editor)
{}

int MapHover::hintDelay() const
{
    return qMax(0, m_settings.HintDelay);
}

LocationFilter MapHover::locationFilter() const
{
    return {m_settings.ShowUnvisited, m_settings.ShowActive, m_settings.ShowVisited, m_highlight.index(), m_places};
}

bool MapHover::locationShown(int index) const
{
    return vdm::locationShown(m_view, m_world.locations(), index, locationFilter());
}

int MapHover::locationAt(QPoint pointer) const
{
    return vdm::locationAt(m_view, m_world.locations(), locationFilter(), pointer, &m_world.index());
}

int MapHover::markerAt(QPoint pointer) const
{
    return vdm::markerAt(m_view, m_world.markers(), pointer, &m_world.index());
}

void MapHover::keyDown(int key)
{
    if (key == Qt::Key_Shift)
        m_shiftDown = true;
}

void MapHover::keyUp(int key)
{
    if (key == Qt::Key_Shift)
        m_shiftDown = false;
}

Qt::Orientation MapHover::wheelDirection(Qt::Orientation wheel) const
{
    return m_shiftDown || wheel == Qt::Horizontal ? Qt::Horizontal : Qt::Vertical;
}

MapHover::Wheel MapHover::wheel(Qt::KeyboardModifiers modifiers, int delta, Qt::Orientation wheel,
                                std::optional<QPoint> pointer) const
{
    Wheel turn;
    if (modifiers & Qt::ControlModifier) {
        turn.zoom = delta > 0 ? ZoomCommand::In : ZoomCommand::Out;
        if (m_settings.ZoomAtPointer)
            turn.anchor = pointer;
    } else {
        turn.scroll = ScrollStep{wheelDirection(wheel), delta > 0, 0};
    }
    return turn;
}

bool MapHover::press(Qt::MouseButton button, QPoint at)
{
    if (button == Qt::LeftButton && m_view.zoomIndex() != 0) {
        m_dragging = true; // at 10 % the map cannot be dragged
        m_dragStart = at;
    }
    if (button == Qt::RightButton && m_view.zoomIndex() > 1) {
        m_editor.enterAddMode();
        return true;
    }
    return false;
}

void MapHover::release(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_dragging = false;
}

MapHover::Move MapHover::move(Qt::MouseButtons buttons, QPoint at)
{
    m_lastPointer = at;
    Move result;
    if (m_dragging && (buttons & Qt::LeftButton) && !m_editor.AddMarkerMode()) {
        // The picture follows the pointer pixel for pixel and stops at the bounds; the
        // start moves on even at a bound, so turning back moves the map at once.
        result.scrollBy = m_dragStart - at;
        m_dragStart = at;
    }
    if (m_dragging)
        return result; // no hover test during a drag

    const int location = locationAt(at);
    if (location >= 0) {
        const Location& l = m_world.locations()[size_t(location)];
        result.hint = offer(l.Name, l.Name, l.Note);
        return result;
    }
    // A marker under the pointer takes EditedMarker; when markers show but none is under
    // it, EditedMarker clears. While the box edits a marker, it keeps editing that one.
    const int marker = markerAt(at);
    if (marker >= 0) {
        const Location& m = m_world.markers()[size_t(marker)];
        m_editor.pointerOnMarker(marker);
        result.hint = offer(m.Name, QByteArrayLiteral("Marker"), m.Name);
        return result;
    }
    if (anyMarkerShown(m_view, m_world.markers()))
        m_editor.pointerOnMarker(-1);
    if (m_shown) {
        m_shown = false;
        result.hint = Move::Hint::Hide;
    }
    m_lastName.clear();
    return result;
}

MapHover::Move::Hint MapHover::offer(const QByteArray& name, const QByteArray& title, const QByteArray& text)
{
    if (m_shown || !m_settings.ShowHint)
        return Move::Hint::Keep; // a hint already showing stays, even one of another item
    if (!m_settings.ConstantHints && name == m_lastName)
        return Move::Hint::Keep;
    m_title = title;
    m_text = text;
    m_shown = true;
    m_lastName = name;
    return Move::Hint::Show;
}

bool MapHover::timerFired()
{
    if (m_settings.ConstantHints)
        return false;
    m_shown = false;
    return true;
}

void MapHover::restart()
{
    m_dragging = false;
    m_shown = false;
    m_title.clear();
    m_text.clear();
    m_lastName.clear();
}

} // namespace vdm
