// SPDX-License-Identifier: MIT
#include "app/viewbinding.h"

#include "data/settings.h"

#include <QScrollBar>
#include <QWidget>

namespace vdm {

ViewBinding::ViewBinding(QWidget& window, const Widgets& widgets, const Settings& settings)
    : m_window(window), m_widgets(widgets), m_settings(settings)
{}

void ViewBinding::followPanel()
{
    m_view.setPanel(m_widgets.panel->size());
}

void ViewBinding::showScrollBars()
{
    const auto show = [](QScrollBar* bar, int maximum, int position) {
        bar->setMaximum(maximum);
        bar->setEnabled(maximum >= 1);
        bar->setValue(position);
    };
    show(m_widgets.horizontal, m_view.scrollMaximum().x(), m_view.scrollX());
    show(m_widgets.vertical, m_view.scrollMaximum().y(), m_view.scrollY());
}

void ViewBinding::showTitle()
{
    m_window.setWindowTitle(titleWithZoom(m_view.zoomIndex()));
}

void ViewBinding::applySizeLimit()
{
    if (m_settings.KeepZoom)
        m_window.setMaximumSize(Viewport::sizeLimit(m_view.zoomIndex()));
}

void ViewBinding::repaint()
{
    m_widgets.panel->repaint();
}

void ViewBinding::takePicture(QSize size, int mapScale)
{
    m_view.setPicture(size, mapScale);
}

void ViewBinding::updateScrollRanges()
{
    followPanel();
    m_view.UpdateScrollRanges();
    showScrollBars();
}

void ViewBinding::updateMargins()
{
    followPanel();
    m_view.UpdateMargins();
}

void ViewBinding::panelResized()
{
    updateScrollRanges();
    updateMargins();
    repaint();
}

bool ViewBinding::zoom(ZoomCommand command, std::optional<QPoint> anchor)
{
    const std::optional<int> target
        = Viewport::zoomTarget(command, m_view.zoomIndex(), m_settings.KeepZoom, m_window.size());
    if (!target)
        return false;
    followPanel();
    m_view.zoomTo(*target, anchor.value_or(QPoint(m_view.panel().width() / 2, m_view.panel().height() / 2)));
    showScrollBars();
    emit levelShown();
    showTitle();
    applySizeLimit();
    repaint();
    return true;
}

void ViewBinding::scroll(const ScrollStep& step)
{
    followPanel();
    m_view.scrollStep(step);
    showScrollBars();
    repaint();
}

void ViewBinding::scrollBy(QPoint delta)
{
    m_view.scrollBy(delta);
    showScrollBars();
    repaint();
}

void ViewBinding::followScrollBar(Qt::Orientation bar)
{
    if (bar == Qt::Horizontal)
        m_view.scrollTo(QPoint(m_widgets.horizontal->sliderPosition(), m_view.scrollY()));
    else
        m_view.scrollTo(QPoint(m_view.scrollX(), m_widgets.vertical->sliderPosition()));
    repaint();
}

void ViewBinding::goTo(int x, int y, int level)
{
    followPanel();
    m_view.goTo(x, y, level);
    showScrollBars();
    emit levelShown();
}

void ViewBinding::scrollTo(QPoint scroll)
{
    followPanel();
    m_view.scrollTo(scroll);
    showScrollBars();
    repaint();
}

void ViewBinding::show(const ViewBookmark& bookmark)
{
    followPanel();
    bookmark.showIn(m_view);
    showScrollBars();
    emit levelShown();
}

void ViewBinding::restore(int zoomIndex, QPoint scroll)
{
    // The level is reached one step at a time; the margins follow with the panel's first size.
    followPanel();
    m_view.stepUpTo(zoomIndex);
    applySizeLimit();
    m_view.scrollTo(scroll);
    showScrollBars();
    emit levelShown();
    repaint();
    showTitle();
}

} // namespace vdm
