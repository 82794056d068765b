// SPDX-License-Identifier: MIT
#include "app/mappanel.h"

#include "dialogs/errorguard.h"
#include "app/mainform.h"

#include <QMouseEvent>
#include <QPainter>

namespace vdm {

TMapPanel::TMapPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

void TMapPanel::paintEvent(QPaintEvent*)
{
    if (!m_form)
        return;
    guarded(m_form->prompts(), m_form, [&] { m_form->PanelMapPaint(); });
    QPainter p(this);
    p.drawImage(0, 0, m_form->backBuffer());
}

void TMapPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_form)
        guarded(m_form->prompts(), m_form, [&] { m_form->PanelMapResize(); });
}

void TMapPanel::mousePressEvent(QMouseEvent* event)
{
    m_afterDoubleClick = false;
    if (m_form) {
        const QPoint p = event->position().toPoint();
        guarded(m_form->prompts(), m_form,
                [&] { m_form->ImageMapMouseDown(event->button(), event->buttons(), p.x(), p.y()); });
    }
}

void TMapPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_form)
        return;
    const QPoint p = event->position().toPoint();
    guarded(m_form->prompts(), m_form, [&] { m_form->ImageMapMouseUp(event->button(), p.x(), p.y()); });
    // The release that ends a double click produces no click of its own.
    if (event->button() == Qt::LeftButton && !m_afterDoubleClick && rect().contains(p))
        guarded(m_form->prompts(), m_form, [&] { m_form->PanelMapClick(); });
    m_afterDoubleClick = false;
}

void TMapPanel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_form)
        return;
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_afterDoubleClick = true;
        guarded(m_form->prompts(), m_form, [&] { m_form->PanelMapDblClick(); });
    }
    guarded(m_form->prompts(), m_form,
            [&] { m_form->ImageMapMouseDown(event->button(), event->buttons(), p.x(), p.y()); });
}

void TMapPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_form)
        return;
    const QPoint p = event->position().toPoint();
    guarded(m_form->prompts(), m_form, [&] { m_form->ImageMapMouseMove(event->buttons(), p.x(), p.y()); });
}

void TMapPanel::focusInEvent(QFocusEvent*) {}

void TMapPanel::focusOutEvent(QFocusEvent*) {}

} // namespace vdm
