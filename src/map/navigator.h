// SPDX-License-Identifier: MIT
#pragma once

#include "map/viewport.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include <optional>

namespace vdm {

/**
 * The navigator: the whole map as a small overview (the 10 % picture, scaled down to at
 * most LongSide pixels on its long side) with the visible part of the view framed. A
 * click centres the view on the point clicked, a drag moves the frame and the view with
 * it, the wheel zooms as the zoom buttons do. Positions on the overview are in its own
 * (logical) pixels, fractions kept, so the frame follows the view at every level; the
 * scroll positions it asks for go through the viewport's clamp like any other scroll.
 */
class Navigator {
public:
    static constexpr int LongSide = 200;

    /** The overview's size for a picture of `picture` bitmap pixels at `mapScale`. */
    static QSize overviewSize(QSize picture, int mapScale);
    /** The overview's picture at a device pixel ratio (smooth, made once per picture). */
    static QImage overviewImage(const QImage& picture, int mapScale, qreal ratio);

    /** Overview pixels per picture pixel of the view's zoom, across (width) and down (height). */
    static QSizeF scale(const Viewport& view);
    /** The part of the picture the panel shows, on the overview. */
    static QRectF frame(const Viewport& view);
    /** The scroll position that centres the view on overview point `at`, clamped as every scroll is. */
    static QPoint centredScroll(const Viewport& view, QPointF at);

    /**
     * The button went down on overview point `at`: inside the frame the view stays (a
     * drag may follow), elsewhere it is centred there. Returns the scroll to take.
     */
    QPoint press(const Viewport& view, QPointF at);
    /** The pointer moved to `at` with the button down: the frame follows it. Nothing when not pressed. */
    std::optional<QPoint> move(const Viewport& view, QPointF at) const;
    void release() { m_pressed = false; }
    bool pressed() const { return m_pressed; }

    /** What a turn of the wheel over the overview does: away from the user zooms in. */
    static std::optional<ZoomCommand> wheel(int angleDelta);

private:
    bool m_pressed = false;
    QPointF m_pressAt;
    QPoint m_scrollAtPress;
};

} // namespace vdm
