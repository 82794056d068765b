// SPDX-License-Identifier: MIT
#pragma once

#include "map/viewport.h"
#include "world/viewbookmarks.h"

#include <QObject>
#include <QPoint>

#include <optional>

class QScrollBar;
class QWidget;

namespace vdm {

struct Settings;

/**
 * The window's view: it owns the viewport and shows it in the widgets that mirror it --
 * the scroll bars, the zoom percent in the title and the window's KeepZoom size limit;
 * it tells each level change (`levelShown`). Each command
 * changes the viewport, then mirrors and repaints in the order the window has always
 * done it, so a command paints the map exactly once.
 */
class ViewBinding : public QObject {
    Q_OBJECT

public:
    /** The map panel and the scroll bars that mirror the view. */
    struct Widgets {
        QWidget* panel;
        QScrollBar* horizontal;
        QScrollBar* vertical;
    };

    ViewBinding(QWidget& window, const Widgets& widgets, const Settings& settings);

    /** Zoom level, panel size and scroll position. */
    const Viewport& view() const { return m_view; }

    // --- mirroring ---
    /** The viewport takes the map panel's current size (it may be laid out while hidden). */
    void followPanel();
    /** The scroll bars show the viewport's ranges and position. */
    void showScrollBars();
    /** The title shows the zoom percent. */
    void showTitle();
    /** With KeepZoom the window grows no larger than the zoom level's limit. */
    void applySizeLimit();
    /** Invalidates the whole map panel and paints it before returning. */
    void repaint();

    // --- commands ---
    /** A picture of `size` bitmap pixels at `mapScale` took over (ranges and margins follow when asked). */
    void takePicture(QSize size, int mapScale);
    /** The ranges follow the panel and the picture; the scroll bars show them. */
    void updateScrollRanges();
    /** The margins that centre a picture smaller than the panel follow it. */
    void updateMargins();
    /** The map panel changed its size: ranges, margins, then a paint. */
    void panelResized();
    /**
     * A zoom command: when it reaches a level, the picture point at `anchor` (the panel's
     * centre when none) stays there; the mirrors follow and the map paints. False when
     * the command does nothing.
     */
    bool zoom(ZoomCommand command, std::optional<QPoint> anchor = {});
    /** A scroll of the keys or the wheel, then a paint. */
    void scroll(const ScrollStep& step);
    /** A drag step of the pointer, then a paint. */
    void scrollBy(QPoint delta);
    /** A scroll bar moved (arrow, track or thumb): the view follows it, then a paint. */
    void followScrollBar(Qt::Orientation bar);
    /**
     * Go: up to the location's level, centred on it; the scroll bars and marker tools
     * follow. The paint, the title and the size limit are the caller's, after it has
     * marked the location to show.
     */
    void goTo(int x, int y, int level);
    /** The navigator: straight to a scroll position (clamped), then a paint. */
    void scrollTo(QPoint scroll);
    /**
     * A bookmark: its level, its point centred; the scroll bars and marker tools follow.
     * The paint, the title and the size limit are the caller's, as after Go.
     */
    void show(const ViewBookmark& bookmark);
    /** The stored view: up to the stored level one step at a time, then the stored scroll. */
    void restore(int zoomIndex, QPoint scroll);

signals:
    /** The view shows another zoom level (the marker tools follow it). */
    void levelShown();

private:
    QWidget& m_window;
    Widgets m_widgets;
    const Settings& m_settings;
    Viewport m_view;
};

} // namespace vdm
