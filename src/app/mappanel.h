// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <functional>

class QImage;

namespace vdm {

/**
 * The map panel. It draws the image its owner hands it after asking for a paint, and
 * reports mouse and resize events as signals. Click and double click follow the
 * desktop's order: press, release and click; then double click (with its press) and a
 * release without a click.
 */
class TMapPanel : public QWidget {
    Q_OBJECT
public:
    explicit TMapPanel(QWidget* parent = nullptr);
    /** Where the panel finds the image to draw, once paintRequested() has returned. */
    void setImageSource(std::function<const QImage&()> source) { m_image = std::move(source); }
    /** The point a keyboard's marker click takes: the middle of the panel. */
    QPoint centre() const { return {width() / 2, height() / 2}; }
    /**
     * A cross over the panel's centre (drawn over the map's image, never into it), where
     * Enter places or deletes a marker while a marker tool is on.
     */
    void showCentreMark(bool shown);
    bool centreMarkShown() const { return m_centreMark; }

signals:
    void pressed(Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at);
    void moved(Qt::MouseButtons buttons, QPoint at);
    void released(Qt::MouseButton button, QPoint at);
    void clicked();
    void doubleClicked();
    void resized();
    // Emitted inside the paint, before the image is drawn: a direct connection brings the
    // image up to date.
    void paintRequested();

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
    std::function<const QImage&()> m_image;
    bool m_afterDoubleClick = false;
    bool m_centreMark = false;
};

} // namespace vdm
