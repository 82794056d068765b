// SPDX-License-Identifier: MIT
#include "app/mappanel.h"

#include "app/mapcanvas.h"
#include "data/settings.h"
#include "dialogs/errorguard.h"
#include "session/settingssession.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>

#include <utility>

namespace vdm {

TMapPanel::TMapPanel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

TMapPanel::~TMapPanel() = default;

void TMapPanel::attach(const World& world, const SettingsSession& session, Prompts& prompts)
{
    m_session = &session;
    m_prompts = &prompts;
    m_canvas = std::make_unique<MapCanvas>(world, m_view, session, m_highlight);
    connect(m_canvas.get(), &MapCanvas::morePainted, this, qOverload<>(&QWidget::update));
}

std::shared_ptr<FontAhead> TMapPanel::learnFontAhead(const Settings& settings, const FirstView& view)
{
    return m_canvas->learnFontAhead(DrawingObjects::fromSettings(settings).MapFont, settings.TextLength,
                                    devicePixelRatioF(),
                                    view.panel.isEmpty() ? std::nullopt : std::optional<FirstView>(view));
}

void TMapPanel::repaintWhole()
{
    repaint();
    if (m_canvas && m_canvas->finishShown())
        repaint();
}

void TMapPanel::setScrollBars(QScrollBar* horizontal, QScrollBar* vertical)
{
    m_horizontal = horizontal;
    m_vertical = vertical;
}

void TMapPanel::setPlaceFilter(const PlaceFilter* filter)
{
    m_canvas->setPlaceFilter(filter);
}

void TMapPanel::setJourney(const JourneySession* journey)
{
    m_canvas->setJourney(journey);
}

bool TMapPanel::keepZoom() const
{
    return m_session && m_session->settings().KeepZoom;
}

// --- painting ---

void TMapPanel::paintEvent(QPaintEvent*)
{
    if (!m_canvas)
        return;
    guarded(*m_prompts, window(), [this] { paintMap(); });
    QPainter p(this);
    p.drawImage(0, 0, m_canvas->backBuffer());
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

void TMapPanel::paintMap()
{
    followPanel();
    emit aboutToPaint();
    if (m_canvas->paint(devicePixelRatioF()))
        emit painted();
}

void TMapPanel::showCentreMark(bool shown)
{
    if (m_centreMark == shown)
        return;
    m_centreMark = shown;
    update();
}

// --- following the panel and the picture ---

void TMapPanel::followPanel()
{
    m_view.setPanel(size());
}

void TMapPanel::showScrollBars()
{
    const auto show = [](QScrollBar* bar, int maximum, int position) {
        if (!bar)
            return;
        bar->setMaximum(maximum);
        bar->setEnabled(maximum >= 1);
        bar->setValue(position);
    };
    show(m_horizontal, m_view.scrollMaximum().x(), m_view.scrollX());
    show(m_vertical, m_view.scrollMaximum().y(), m_view.scrollY());
}

void TMapPanel::takePicture(QSize size, int mapScale)
{
    m_view.setPicture(size, mapScale);
}

void TMapPanel::updateScrollRanges()
{
    followPanel();
    m_view.UpdateScrollRanges();
    showScrollBars();
}

void TMapPanel::updateMargins()
{
    followPanel();
    m_view.UpdateMargins();
}

void TMapPanel::panelResized()
{
    updateScrollRanges();
    updateMargins();
    repaint();
}

// --- view commands ---

bool TMapPanel::zoom(ZoomCommand command, std::optional<QPoint> anchor)
{
    const std::optional<int> target = Viewport::zoomTarget(command, m_view.zoomIndex(), keepZoom(), window()->size());
    if (!target)
        return false;
    followPanel();
    m_view.zoomTo(*target, anchor.value_or(centre()));
    showScrollBars();
    emit levelShown();
    emit zoomShown();
    repaint();
    return true;
}

void TMapPanel::scroll(const ScrollStep& step)
{
    followPanel();
    m_view.scrollStep(step);
    showScrollBars();
    repaint();
}

void TMapPanel::scrollBy(QPoint delta)
{
    m_view.scrollBy(delta);
    showScrollBars();
    repaint();
}

void TMapPanel::followScrollBar(Qt::Orientation bar)
{
    if (bar == Qt::Horizontal && m_horizontal)
        m_view.scrollTo(QPoint(m_horizontal->sliderPosition(), m_view.scrollY()));
    else if (bar == Qt::Vertical && m_vertical)
        m_view.scrollTo(QPoint(m_view.scrollX(), m_vertical->sliderPosition()));
    repaint();
}

void TMapPanel::scrollTo(QPoint scroll)
{
    followPanel();
    m_view.scrollTo(scroll);
    showScrollBars();
    repaint();
}

void TMapPanel::goTo(int x, int y, int level, std::optional<int> highlighted)
{
    followPanel();
    m_view.goTo(x, y, level);
    showScrollBars();
    emit levelShown();
    // The paint clears the highlight once drawn; setting it again keeps the location
    // forced visible for the next paint and for the hover test.
    if (highlighted)
        m_highlight.set(*highlighted);
    repaint();
    if (highlighted)
        m_highlight.set(*highlighted);
    emit zoomShown();
}

void TMapPanel::showBookmark(const ViewBookmark& bookmark)
{
    followPanel();
    bookmark.showIn(m_view);
    showScrollBars();
    emit levelShown();
    repaint();
    emit zoomShown();
}

void TMapPanel::restore(int zoomIndex, QPoint scroll)
{
    // The level is reached one step at a time; the margins follow with the panel's first size.
    followPanel();
    m_view.stepUpTo(zoomIndex);
    emit zoomShown(); // the size limit first: the scroll is clamped within what the window allows
    m_view.scrollTo(scroll);
    showScrollBars();
    emit levelShown();
    repaint();
}

// --- the panel's own events ---

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
