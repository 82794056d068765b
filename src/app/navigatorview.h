// SPDX-License-Identifier: MIT
#pragma once

#include "map/navigator.h"

#include <QImage>
#include <QWidget>

namespace vdm {

/**
 * The navigator as the user sees it: the overview of the whole map floating in the map
 * panel's top-right corner, the visible part framed. A click centres the view there, a
 * drag moves the frame and the view with it, the wheel zooms; from the keyboard the
 * arrows move the frame by a quarter of itself and plus and minus zoom. What each of
 * these does to the view is Navigator's; this widget only asks and shows. A bar floating
 * over the same corner (the journey bar) would hide it: while one is shown there, the
 * overview stands below it.
 */
class NavigatorView : public QWidget {
    Q_OBJECT

public:
    /** Between the panel's edges and the overview. */
    static constexpr int Margin = 6;

    /** `mapPanel`: the overview keeps to its top-right corner; `view` is read at every paint. */
    NavigatorView(QWidget* mapPanel, const Viewport& view);

    /** The picture the overview is made from (the world's, kept by its owner); made again at the next paint. */
    void setPicture(const QImage* picture)
    {
        m_pictureSource = picture;
        m_overview = QImage();
    }
    /** Where the overview sits, in the panel's coordinates. */
    void followPanel();
    /** `bar` floats over the panel's top-right corner: the overview moves below it while it shows. */
    void keepClearOf(const QWidget* bar);

signals:
    /** The view should scroll to this position (the viewport clamps it as always). */
    void scrollRequested(QPoint scroll);
    void zoomRequested(ZoomCommand command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /** The overview's picture at this screen's ratio, made when first needed. */
    const QImage& overview();

    QWidget* m_panel;
    const QWidget* m_clearOf = nullptr; // the bar over the same corner, if any
    const Viewport& m_view;
    const QImage* m_pictureSource = nullptr;
    Navigator m_navigator;
    QImage m_overview;
    qint64 m_overviewKey = 0;
    int m_wheelRest = 0;
};

} // namespace vdm
