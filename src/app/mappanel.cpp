// SPDX-License-Identifier: MIT
#include "app/mappanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <utility>

namespace vdm {

TMapPanel::TMapPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

void TMapPanel::paintEvent(QPaintEvent*)
{
    emit paintRequested();
    if (!m_image)
        return;
    QPainter p(this);
    p.drawImage(0, 0, m_image());
    if (!m_centreMark)
        return;
    // Dark under light, so the cross shows on any part of the picture.
    const QPoint c = centre();
    constexpr int arm = 6;
    for (const auto& [colour, width] : {std::pair{Qt::black, 3}, std::pair{Qt::white, 1}}) {
        p.setPen(QPen(colour, width));
        p.drawLine(c.x() - arm, c.y(), c.x() + arm, c.y());
        p.drawLine(c.x(), c.y() - arm, c.x(), c.y() + arm);
    }
}

void TMapPanel::showCentreMark(bool shown)
{
    if (m_centreMark == shown)
        return;
    m_centreMark = shown;
    update();
}

void TMapPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

void TMapPanel::mousePressEvent(QMouseEvent* event)
{
    m_afterDoubleClick = false;
    emit pressed(event->button(), event->buttons(), event->position().toPoint());
}

void TMapPanel::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit released(event->button(), p);
    // The release that ends a double click produces no click of its own.
    if (event->button() == Qt::LeftButton && !m_afterDoubleClick && rect().contains(p))
        emit clicked();
    m_afterDoubleClick = false;
}

void TMapPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_afterDoubleClick = true;
        emit doubleClicked();
    }
    emit pressed(event->button(), event->buttons(), event->position().toPoint());
}

void TMapPanel::mouseMoveEvent(QMouseEvent* event)
{
    emit moved(event->buttons(), event->position().toPoint());
}

void TMapPanel::focusInEvent(QFocusEvent*)
{}

void TMapPanel::focusOutEvent(QFocusEvent*)
{}

} // namespace vdm
