// SPDX-License-Identifier: MIT
#pragma once

#include "map/highlight.h"
#include "map/mappainter.h"
#include "map/viewport.h"
#include "world/viewbookmarks.h"

#include <QWidget>

#include <memory>
#include <optional>

class QScrollBar;

namespace vdm {

class FontAhead;
class JourneySession;
class MapCanvas;
class PlaceFilter;
class Prompts;
class SettingsSession;
struct Settings;
class World;

/**
 * The map view: the panel that shows the map. It owns the viewport, the location Go has
 * just centred and the canvas (back buffer, painter, scroll reuse), and paints itself in
 * its own paint event, inside the error guard. Each view command changes the viewport,
 * mirrors it in the scroll bars beside the panel, tells what changed and paints at once
 * (`repaint()`), so the command's next line sees the result: a command paints exactly once.
 *
 * What follows the view listens: the marker tools to `levelShown`, the title and the
 * window's size limit to `zoomShown`, the progress line and the navigator to `painted`.
 * Mouse and resize events leave as signals. Click and double click follow the desktop's
 * order: press, release and click; then double click (with its press) and a release
 * without a click.
 */
class TMapPanel : public QWidget {
    Q_OBJECT
public:
    explicit TMapPanel(QWidget* parent = nullptr);
    ~TMapPanel() override;

    /**
     * The world and the settings the map shows, and the prompts of the paint's error box.
     * Until then the panel paints nothing.
     */
    void attach(const World& world, const SettingsSession& session, Prompts& prompts);
    /** The scroll bars beside the panel that mirror the view. */
    void setScrollBars(QScrollBar* horizontal, QScrollBar* vertical);
    /** The kinds and regions the user chose to see (none: every place); the paint honours them. */
    void setPlaceFilter(const PlaceFilter* filter);
    /** The journey drawn over the map, with its current leg. */
    void setJourney(const JourneySession* journey);

    /** Zoom level, panel size and scroll position. */
    const Viewport& view() const { return m_view; }
    /** The location Go has just centred, shown whatever its status toggle says. */
    const GoHighlight& highlight() const { return m_highlight; }
    /** The back buffer and how its last paint came about; only once attached. */
    const MapCanvas& canvas() const { return *m_canvas; }
    /**
     * A learner of the caption font of `settings` at this panel's device pixel ratio, for
     * World::readDatabasesAhead to hand the places it reads (see MapCanvas::learnFontAhead),
     * that renders the captions of `view` after (none for an empty panel); only once attached.
     */
    std::shared_ptr<FontAhead> learnFontAhead(const Settings& settings, const FirstView& view = {});

    /**
     * Paints and shows the view whole at once, even where a huge world's paint would
     * show it in steps: what an image of the panel takes.
     */
    void repaintWhole();

    /** The point a keyboard's marker click takes: the middle of the panel. */
    QPoint centre() const { return {width() / 2, height() / 2}; }
    /**
     * A cross over the panel's centre (drawn over the map's image, never into it), where
     * Enter places or deletes a marker while a marker tool is on.
     */
    void showCentreMark(bool shown);
    bool centreMarkShown() const { return m_centreMark; }

    // --- following the panel and the picture ---
    /** The viewport takes the panel's current size (it may be laid out while hidden). */
    void followPanel();
    /** A picture of `size` bitmap pixels at `mapScale` took over (ranges and margins follow when asked). */
    void takePicture(QSize size, int mapScale);
    /** The ranges follow the panel and the picture; the scroll bars show them. */
    void updateScrollRanges();
    /** The margins that centre a picture smaller than the panel follow it. */
    void updateMargins();
    /** The panel changed its size: ranges, margins, then a paint. */
    void panelResized();
    /** Another world, or its first show: no location stays highlighted. */
    void forgetHighlight() { m_highlight = GoHighlight(); }

    // --- view commands ---
    /**
     * A zoom command: when it reaches a level, the picture point at `anchor` (the panel's
     * centre when none) stays there; the mirrors follow and the map paints. False when
     * the command does nothing (with KeepZoom the window's size may forbid the level).
     */
    bool zoom(ZoomCommand command, std::optional<QPoint> anchor = {});
    /** A scroll of the keys or the wheel, then a paint. */
    void scroll(const ScrollStep& step);
    /** A drag step of the pointer, then a paint. */
    void scrollBy(QPoint delta);
    /** A scroll bar moved (arrow, track or thumb): the view follows it, then a paint. */
    void followScrollBar(Qt::Orientation bar);
    /** The navigator: straight to a scroll position (clamped), then a paint. */
    void scrollTo(QPoint scroll);
    /**
     * Go: up to the location's level, centred on it, then a paint. With `highlighted`
     * (a location's index) that location shows whatever its toggle for this paint and
     * the next, and the hover finds it meanwhile.
     */
    void goTo(int x, int y, int level, std::optional<int> highlighted = {});
    /** A bookmark: its level, its point centred, then a paint. */
    void showBookmark(const ViewBookmark& bookmark);
    /** The stored view: up to the stored level one step at a time, then the stored scroll. */
    void restore(int zoomIndex, QPoint scroll);

signals:
    void pressed(Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at);
    void moved(Qt::MouseButtons buttons, QPoint at);
    void released(Qt::MouseButton button, QPoint at);
    void clicked();
    void doubleClicked();
    void resized();
    /** The view shows another zoom level: what may be done at a level follows at once. */
    void levelShown();
    /** The zoom level is settled after a command: the title and the size limit follow. */
    void zoomShown();
    /** A paint is about to draw the map: what is drawn over it catches up with the world. */
    void aboutToPaint();
    /** A paint drew the map, before it reaches the screen: what shows the view follows. */
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Nothing on the map shows the focus, so gaining or losing it paints nothing: a paint
    // there would spend the one extra paint Go's highlight is meant to survive.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    /** The scroll bars show the viewport's ranges and position. */
    void showScrollBars();
    /** Paints the map into the back buffer and tells it, unless the panel has nothing to show. */
    void paintMap();
    bool keepZoom() const;

    Viewport m_view;
    GoHighlight m_highlight;
    std::unique_ptr<MapCanvas> m_canvas;
    const SettingsSession* m_session = nullptr;
    Prompts* m_prompts = nullptr;
    QScrollBar* m_horizontal = nullptr;
    QScrollBar* m_vertical = nullptr;
    bool m_afterDoubleClick = false;
    bool m_centreMark = false;
};

} // namespace vdm
