// SPDX-License-Identifier: MIT
#pragma once

#include "map/hittest.h"
#include "map/viewport.h"

#include <QByteArray>
#include <QPoint>

#include <optional>

namespace vdm {

class GoHighlight;
class MapEditor;
class Viewport;
class World;
struct Settings;

/**
 * The pointer over the map, without any widget: the left button's drag, the right
 * button's entry into add mode, the Shift key as the key handlers track it, and the
 * hover hint with its timer. The window forwards its events here and carries out what
 * comes back (scroll the view, show or hide the hint window, start or stop the timer).
 *
 * The hover asks the hit tests of map/hittest.h over the world's items at the window's
 * view, so what shows a hint is what a click or a double click finds. A marker under the
 * pointer becomes the editor's EditedMarker, hints on or off.
 */
class MapHover {
public:
    /** What a pointer move asks of the window. */
    struct Move {
        /** Scroll the view by this many pixels (a drag step), then repaint. */
        std::optional<QPoint> scrollBy;
        enum class Hint { Keep, Show, Hide };
        /** Show: the hint window comes up with hintTitle() and hintText(); Hide: it goes. */
        Hint hint = Hint::Keep;
    };

    MapHover(const World& world, const Viewport& view, const Settings& settings, const GoHighlight& highlight,
             MapEditor& editor);

    // --- what the pointer is doing ---
    bool dragging() const { return m_dragging; }
    /** Where the drag last moved the map from (the press, then each move). */
    QPoint dragStart() const { return m_dragStart; }
    /** The pointer's last position over the panel. */
    QPoint lastPointer() const { return m_lastPointer; }
    bool shiftDown() const { return m_shiftDown; }

    // --- the hint ---
    bool shown() const { return m_shown; }
    /** The hint's caption: a location's name, or "Marker". */
    const QByteArray& hintTitle() const { return m_title; }
    /** The text under the caption: the location's note or the marker's text. */
    const QByteArray& hintText() const { return m_text; }
    /** The item the last hint was shown for; empty once the pointer reached empty map. */
    const QByteArray& lastHintName() const { return m_lastName; }
    /** How long a hint stays up, in milliseconds, before the timer ends it. */
    int hintDelay() const;

    // --- the hit tests at the current view ---
    /** The kinds and regions the user chose to see (none: every place); the window keeps it. */
    void setPlaceFilter(const PlaceFilter* filter) { m_places = filter; }
    LocationFilter locationFilter() const;
    bool locationShown(int index) const;
    /** The first shown location under the panel point, or -1. */
    int locationAt(QPoint pointer) const;
    /** The first shown marker under the panel point, or -1. */
    int markerAt(QPoint pointer) const;

    // --- events ---
    /** A key went down or up; only Shift counts (it turns the wheel sideways). */
    void keyDown(int key);
    void keyUp(int key);
    /** The wheel scrolls sideways: Shift held, or a tilted wheel. */
    Qt::Orientation wheelDirection(Qt::Orientation wheel) const;
    /** What one notification of the wheel asks of the map. */
    struct Wheel {
        /** With Ctrl: a zoom step, keeping the map point at `anchor` (none: the panel's centre). */
        std::optional<ZoomCommand> zoom;
        std::optional<QPoint> anchor;
        /** Otherwise one scroll step, whatever the notification's size. */
        ScrollStep scroll;
    };
    /**
     * `delta` is the notification's signed size, `wheel` Qt::Horizontal for a tilted
     * wheel or a sideways swipe, `pointer` the panel point under the pointer when it is
     * over the map: a Ctrl+wheel zooms there when the ZoomAtPointer option is on.
     */
    Wheel wheel(Qt::KeyboardModifiers modifiers, int delta, Qt::Orientation wheel, std::optional<QPoint> pointer) const;

    /**
     * A button went down at `at`. The left button starts a drag (except at the lowest
     * level, where the map cannot be dragged); the right one enters add mode when zoomed
     * in beyond the first step. True when the editor's state changed.
     */
    bool press(Qt::MouseButton button, QPoint at);
    void release(Qt::MouseButton button);
    /**
     * The pointer moved. A drag scrolls pixel for pixel (not in add mode); no hover test
     * happens during a drag. Otherwise the item under the pointer decides the hint: a
     * hint already up stays, even over another item; with timed hints, the same item
     * shows again only after the pointer has been on empty map.
     */
    Move move(Qt::MouseButtons buttons, QPoint at);
    /** The hint's timer ran out: true when the hint goes (timed hints only). */
    bool timerFired();
    /** The world was replaced: no drag goes on, no hint is up, no item was hinted last. */
    void restart();

private:
    /** Shows a hint for the item named `name` unless the rules keep the present state. */
    Move::Hint offer(const QByteArray& name, const QByteArray& title, const QByteArray& text);

    const World& m_world;
    const Viewport& m_view;
    const Settings& m_settings;
    const GoHighlight& m_highlight;
    MapEditor& m_editor;

    bool m_shiftDown = false;
    bool m_dragging = false;
    QPoint m_dragStart;
    QPoint m_lastPointer;
    bool m_shown = false;
    QByteArray m_title;
    QByteArray m_text;
    QByteArray m_lastName;
    const PlaceFilter* m_places = nullptr;
};

} // namespace vdm
