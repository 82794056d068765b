// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QSize>

#include <climits>
#include <optional>

namespace vdm {

/** The three zoom commands of the zoom buttons, their keys and the Ctrl+wheel. */
enum class ZoomCommand { In, Out, ActualSize };

/**
 * One scroll of the keys or the wheel: one wheel step (`parts` 0) or a `parts`-th of the
 * panel, towards the start when `back`.
 */
struct ScrollStep {
    Qt::Orientation direction = Qt::Vertical;
    bool back = false;
    int parts = 0;
    friend bool operator==(const ScrollStep&, const ScrollStep&) = default;
};

/**
 * The geometry of the map view, free of widgets.
 *
 * Three coordinate spaces: map units (x right, y up; the picture covers x -125000..175000
 * and y -130000..220000), picture pixels of the whole zoomed picture (origin top-left,
 * y down) and panel pixels of the map panel. A picture point (px, py) is drawn at panel
 * point (px - scrollX + marginX, py - scrollY + marginY).
 *
 * Every formula runs in long double (the x87 80-bit format), left to right, and truncates
 * toward zero; only the zoom factors and the scale constants kx, ky are single floats.
 * These rounding rules are part of the behaviour: overlays land on exact pixels.
 */
class Viewport {
public:
    static constexpr int LevelCount = 8;
    /** The highest zoom index (the 300 % level). */
    static constexpr int HighestZoom = LevelCount - 1;
    static constexpr float ZoomFactors[LevelCount] = {1.0f, 2.0f, 2.5f, 3.3333333f, 5.0f, 10.0f, 20.0f, 30.0f};
    static constexpr int MapLeft = -125000, MapRight = 175000, MapBottom = -130000, MapTop = 220000;
    /** Panel size at which the design-size picture exactly fills the panel at level 0. */
    static constexpr int DesignWidth = 330, DesignHeight = 380;
    /** What the window needs beyond the map panel, for the KeepZoom size limits. */
    static constexpr int FrameWidth = 48, FrameHeight = 264;
    /** Pixels one wheel notification scrolls, whatever its size. */
    static constexpr int WheelStep = 5;

    Viewport() = default;
    /**
     * A view of a picture of `picture` bitmap pixels (`mapScale` 10 for the high-resolution
     * picture, 2 for the normal one) on a panel of `panel` at `zoomIndex`, with scroll
     * ranges and margins computed and `scroll` clamped into the ranges.
     */
    static Viewport showing(QSize picture, int mapScale, QSize panel, int zoomIndex, QPoint scroll = {});

    // --- the state, read ---
    int zoomIndex() const { return m_zoomIndex; }
    int mapScale() const { return m_mapScale; }
    QSize picture() const { return m_picture; }
    QSize panel() const { return m_panel; }
    /** The picture point at the panel's top-left corner (beyond the margins). */
    QPoint scroll() const { return m_scroll; }
    int scrollX() const { return m_scroll.x(); }
    int scrollY() const { return m_scroll.y(); }
    /** The highest scroll positions, at least 0 (what the scroll bars show as their maximum). */
    QPoint scrollMaximum() const { return m_scrollMaximum; }
    int marginX() const { return m_margin.x(); }
    int marginY() const { return m_margin.y(); }
    bool mapCoversPanel() const { return m_mapCoversPanel; }

    float factor() const { return ZoomFactors[m_zoomIndex]; }
    static float factorOf(int index) { return ZoomFactors[index]; }

    // --- conversions ---
    /** Map point to picture point. */
    QPoint MapToScreen(int x, int y) const;
    /** Its x, which follows from the map x alone, and its y, from the map y alone. */
    int mapToScreenX(int x) const;
    int mapToScreenY(int y) const;
    /** Picture point to map point. */
    QPoint ScreenToMap(int px, int py) const;
    /** Whether a location or marker of this detail level shows at the current zoom. */
    bool LevelVisible(int level) const;

    /** Panel point of a map point (MapToScreen plus the view offset and margins). */
    QPoint mapToPanel(int x, int y) const;
    /** Its x and its y, each of one map coordinate (see mapToScreenX). */
    int mapToPanelX(int x) const { return mapToScreenX(x) - m_scroll.x() + m_margin.x(); }
    int mapToPanelY(int y) const { return mapToScreenY(y) - m_scroll.y() + m_margin.y(); }
    /** Whether a place of detail `level` at map point (x, y) is on the panel now. */
    bool shows(int x, int y, int level) const;
    /** Picture point shown at a panel point. */
    QPoint panelToPicture(QPoint panel) const;

    /** The scroll ranges rx, ry before clamping at 0 (negative when the picture is smaller). */
    QPoint scrollRanges() const;

    // --- operations: every scroll position they leave lies in 0..scrollMaximum() ---
    void setPicture(QSize picture, int mapScale);
    /** Records the panel's size; ranges and margins follow only when recomputed. */
    void setPanel(QSize panel);
    /** Recomputes the scroll maxima from picture, zoom and panel, and clamps the scroll into them. */
    void UpdateScrollRanges();
    /** Recomputes mapCoversPanel() and the margins that centre a smaller picture. */
    void UpdateMargins();

    /** Scrolls to a picture point (clamped). */
    void scrollTo(QPoint position);
    /** Scrolls by a number of pixels (clamped). */
    void scrollBy(QPoint delta);
    /** One wheel step: towards the start when `back` (wheel turned away from the user). */
    void wheelStep(Qt::Orientation direction, bool back);
    /**
     * One `parts`-th of the panel's width or height (a whole panel when 1; at least one
     * pixel): towards the start when `back`. The keyboard's page and quarter-page steps.
     */
    void panelStep(Qt::Orientation direction, bool back, int parts = 1);
    /** A wheel step or a panel step, as `step` says. */
    void scrollStep(const ScrollStep& step);

    /**
     * Changes to zoom index `index` (0..HighestZoom): ranges and margins follow, and the
     * picture point that was at panel point `anchor` (counted without the new margins)
     * comes back to it as far as the ranges allow.
     */
    void zoomTo(int index, QPoint anchor);
    /** Zooms in to `index` one level at a time, only the ranges following (the stored view's restore). */
    void stepUpTo(int index);
    /** Scrolls so the map point lies at the panel's centre (as far as the ranges allow). */
    void centreOn(int x, int y);
    /**
     * Go: zooms in one level at a time up to the location's target level, centring the map
     * point at each; never zooms out, but centres all the same.
     */
    void goTo(int x, int y, int level);

    /** trunc(10 x f): the percent in the title. */
    int zoomPercent() const { return zoomPercentOf(m_zoomIndex); }
    static int zoomPercentOf(int zoomIndex);
    /** The KeepZoom size limit for the window at this zoom index. */
    static QSize sizeLimit(int zoomIndex);
    /** A window of this size is no larger than level `zoomIndex`'s limit (KeepZoom zooms out only then). */
    static bool fitsSizeLimit(QSize window, int zoomIndex);

    /**
     * The zoom index `command` reaches from `current`, or none when it does nothing. In
     * stops at the highest level and Out at the lowest; with KeepZoom, Out waits until the
     * window (`window`) fits the lower level's size limit. The actual size is always
     * reached, even from itself (the view is recomputed all the same).
     */
    static std::optional<int> zoomTarget(ZoomCommand command, int current, bool keepZoom, QSize window);

    /** Go's target zoom index for a location's detail level. */
    static int goTargetIndex(int level);

    static float kx(int mapScale);
    static float ky(int mapScale);

private:
    int m_zoomIndex = 0;
    int m_mapScale = 10;
    float m_kx = kx(10), m_ky = ky(10); // of m_mapScale, formed once
    QSize m_picture;                    // MapInfo width and height, in bitmap pixels
    QSize m_panel;                      // client size of the map panel
    QPoint m_scroll;
    QPoint m_scrollMaximum;
    QPoint m_margin;
    bool m_mapCoversPanel = false;
};

namespace detail {
/**
 * Whether the processor has the x87 store that truncates whatever the rounding mode
 * (`fisttp`, SSE3). Without it a conversion to int saves, changes and restores the
 * control word twice, about 200 ns per map point; with it a few. Before it is set at
 * start-up it reads false and the plain conversion runs: the results are the same.
 */
extern const bool x87TruncatingStore;
} // namespace detail

/** Truncates toward zero, saturating at the ends of int (hostile coordinates stay defined). */
inline int truncToInt(long double v)
{
    if (v < static_cast<long double>(INT_MAX) && v > static_cast<long double>(INT_MIN)) {
#if defined(__x86_64__) && defined(__GNUC__)
        if (detail::x87TruncatingStore) {
            int r;
            asm("fisttpl %0" : "=m"(r) : "t"(v) : "st"); // pops v
            return r;
        }
#endif
        return static_cast<int>(v);
    }
    if (v != v) // NaN
        return 0;
    return v > 0 ? INT_MAX : INT_MIN;
}

/** "Veldamar Interactive Map (Zoom N%)". */
QString titleWithZoom(int zoomIndex);

} // namespace vdm
