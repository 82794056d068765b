// SPDX-License-Identifier: MIT
#include "app/navigatorview.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace vdm {

NavigatorView::NavigatorView(QWidget* mapPanel, const Viewport& view)
    : QWidget(mapPanel), m_panel(mapPanel), m_view(view)
{
    setObjectName(QStringLiteral("Navigator"));
    setAccessibleName(QStringLiteral("Navigator"));
    setAccessibleDescription(QStringLiteral("The whole map with the visible part framed"));
    setToolTip(QStringLiteral("Navigator: click or drag to move the view, wheel to zoom"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setProperty("keepsWheel", true); // the wheel over the overview zooms, not scrolls the map
    m_panel->installEventFilter(this);
    hide();
}

void NavigatorView::followPanel()
{
    const QSize size = Navigator::overviewSize(m_view.picture(), m_view.mapScale()) + QSize(2, 2); // a border
    QRect place(QPoint(m_panel->width() - size.width() - Margin, Margin), size);
    // The bar and the panel are siblings: the bar's place in the panel's coordinates.
    if (m_clearOf && !m_clearOf->isHidden() && m_clearOf->parentWidget() == m_panel->parentWidget()) {
        const QRect bar = m_clearOf->geometry().translated(-m_panel->pos());
        // Below it, as far as the panel lets the whole overview show.
        if (bar.intersects(place))
            place.moveTop(
                std::max(Margin, std::min(bar.bottom() + 1 + Margin, m_panel->height() - size.height() - Margin)));
    }
    setGeometry(place);
}

void NavigatorView::keepClearOf(const QWidget* bar)
{
    m_clearOf = bar;
    // Watching the bar's showing, hiding and resizing changes nothing of it.
    const_cast<QWidget*>(bar)->installEventFilter(this);
    followPanel();
}

const QImage& NavigatorView::overview()
{
    const qreal ratio = devicePixelRatioF();
    if (m_pictureSource
        && (m_overview.isNull() || m_overviewKey != m_pictureSource->cacheKey()
            || m_overview.devicePixelRatio() != ratio)) {
        m_overview = Navigator::overviewImage(*m_pictureSource, m_view.mapScale(), ratio);
        m_overviewKey = m_pictureSource->cacheKey();
    }
    return m_overview;
}

void NavigatorView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QImage& image = overview();
    if (!image.isNull())
        p.drawImage(QPoint(1, 1), image);
    // The frame of what the panel shows, in the selection colour so it stands out on any map.
    const QRectF frame = Navigator::frame(m_view).translated(1, 1);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.drawRect(frame.adjusted(0.5, 0.5, -0.5, -0.5));
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::HighlightedText), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void NavigatorView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    emit scrollRequested(m_navigator.press(m_view, event->position() - QPointF(1, 1)));
}

void NavigatorView::mouseMoveEvent(QMouseEvent* event)
{
    if (const auto scroll = m_navigator.move(m_view, event->position() - QPointF(1, 1)))
        emit scrollRequested(*scroll);
}

void NavigatorView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_navigator.release();
}

void NavigatorView::wheelEvent(QWheelEvent* event)
{
    // One zoom step per notch; a touchpad's small steps add up to one.
    m_wheelRest += event->angleDelta().y();
    while (std::abs(m_wheelRest) >= 120) {
        const int notch = m_wheelRest > 0 ? 120 : -120;
        m_wheelRest -= notch;
        if (const auto command = Navigator::wheel(notch))
            emit zoomRequested(*command);
    }
    event->accept();
}

void NavigatorView::keyPressEvent(QKeyEvent* event)
{
    const QRectF frame = Navigator::frame(m_view);
    QPointF by;
    switch (event->key()) {
    case Qt::Key_Left:
        by = QPointF(-frame.width() / 4, 0);
        break;
    case Qt::Key_Right:
        by = QPointF(frame.width() / 4, 0);
        break;
    case Qt::Key_Up:
        by = QPointF(0, -frame.height() / 4);
        break;
    case Qt::Key_Down:
        by = QPointF(0, frame.height() / 4);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        emit zoomRequested(ZoomCommand::In);
        return;
    case Qt::Key_Minus:
        emit zoomRequested(ZoomCommand::Out);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    emit scrollRequested(Navigator::centredScroll(m_view, frame.center() + by));
}

bool NavigatorView::event(QEvent* event)
{
    // Plus and minus zoom here before the window's table sees them as its keys.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::ShiftModifier)
            switch (key->key()) {
            case Qt::Key_Plus:
            case Qt::Key_Equal:
            case Qt::Key_Minus:
                key->accept();
                return true;
            default:
                break;
            }
    }
    return QWidget::event(event);
}

bool NavigatorView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panel && event->type() == QEvent::Resize)
        followPanel();
    else if (watched == m_clearOf)
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::Move:
        case QEvent::Resize:
            followPanel();
            break;
        default:
            break;
        }
    return QWidget::eventFilter(watched, event);
}

} // namespace vdm
