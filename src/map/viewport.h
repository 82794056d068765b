// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QSize>

namespace vdm {

/**
 * The geometry of the map view, free of widgets.
 *
 * Three coordinate spaces: map units (x right, y up; the picture covers x -125000..175000
 * and y -130000..220000), picture pixels of the whole zoomed picture (origin top-left,
 * y down) and panel pixels of the map panel. A picture point (px, py) is drawn at panel
 * point (px - LastScrollX + MarginX, py - LastScrollY + MarginY).
 *
 * Every formula runs in long double (the x87 80-bit format), left to right, and truncates
 * toward zero; only the zoom factors and the scale constants kx, ky are single floats.
 * These rounding rules are part of the behaviour: overlays land on exact pixels.
 */
class Viewport {
public:
    static constexpr int LevelCount = 8;
    static constexpr float ZoomFactors[LevelCount] = {1.0f, 2.0f, 2.5f, 3.3333333f, 5.0f, 10.0f, 20.0f, 30.0f};
    static constexpr int MapLeft = -125000, MapRight = 175000, MapBottom = -130000, MapTop = 220000;
    /** Panel size at which the design-size picture exactly fills the panel at level 0. */
    static constexpr int DesignWidth = 330, DesignHeight = 380;
    /** What the window needs beyond the map panel, for the KeepZoom size limits. */
    static constexpr int FrameWidth = 48, FrameHeight = 264;

    int ZoomIndex = 0;
    int MapScale = 10;     // 10 for the high-resolution picture, 2 for the normal one
    QSize Picture;         // MapInfo width and height, in bitmap pixels
    QSize Panel;           // client size of the map panel
    int LastScrollX = 0, LastScrollY = 0;
    int MarginX = 0, MarginY = 0;
    bool MapCoversPanel = false;

    float factor() const { return ZoomFactors[ZoomIndex]; }
    static float factorOf(int index) { return ZoomFactors[index]; }

    /** Map point to picture point. */
    QPoint MapToScreen(int x, int y) const;
    /** Picture point to map point. */
    QPoint ScreenToMap(int px, int py) const;
    /** Whether a location or marker of this detail level shows at the current zoom. */
    bool LevelVisible(int level) const;

    /** Panel point of a map point (MapToScreen plus the view offset and margins). */
    QPoint mapToPanel(int x, int y) const;
    /** Picture point shown at a panel point. */
    QPoint panelToPicture(QPoint panel) const;

    /** The scroll ranges rx, ry before clamping at 0 (UpdateScrollRanges step 1). */
    QPoint scrollRanges() const;
    /** Recomputes MapCoversPanel, MarginX and MarginY. */
    void UpdateMargins();

    /** trunc(10 x f): the percent in the title. */
    int zoomPercent() const;
    /** The KeepZoom size limit for the window at this zoom index. */
    static QSize sizeLimit(int zoomIndex);

    /** Go's target zoom index for a location's detail level. */
    static int goTargetIndex(int level);

    static float kx(int mapScale);
    static float ky(int mapScale);
};

/** Truncates toward zero, saturating at the ends of int (hostile coordinates stay defined). */
int truncToInt(long double v);

/** "Veldamar Interactive Map (Zoom N%)". */
QString titleWithZoom(int zoomIndex);

} // namespace vdm
