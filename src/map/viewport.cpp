// SPDX-License-Identifier: MIT
#include "map/viewport.h"

#include <QRect>
#include <QString>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace vdm {

namespace detail {
#if defined(__x86_64__) && defined(__GNUC__)
const bool x87TruncatingStore = [] {
    __builtin_cpu_init(); // static initialisers may run before the library's own
    return __builtin_cpu_supports("sse3") != 0;
}();
#else
const bool x87TruncatingStore = false;
#endif
} // namespace detail

float Viewport::kx(int mapScale)
{
    return static_cast<float>(static_cast<long double>(mapScale) * 330 * (1.0L / 300000));
}

float Viewport::ky(int mapScale)
{
    return static_cast<float>(static_cast<long double>(mapScale) * 380 * (1.0L / 350000));
}

QPoint Viewport::MapToScreen(int x, int y) const
{
    return {mapToScreenX(x), mapToScreenY(y)};
}

int Viewport::mapToScreenX(int x) const
{
    const long double f = factor();
    const long double s = m_mapScale;
    const long double ix = truncToInt(static_cast<long double>(x) + 125000);
    return truncToInt(ix * m_kx * f / s);
}

int Viewport::mapToScreenY(int y) const
{
    const long double f = factor();
    const long double s = m_mapScale;
    const long double iy = truncToInt(static_cast<long double>(y) + 130000);
    return truncToInt(380 * f - iy * m_ky * f / s);
}

QPoint Viewport::ScreenToMap(int px, int py) const
{
    const long double f = factor();
    const long double s = m_mapScale;
    const int ax = truncToInt(static_cast<long double>(px) / m_kx / f * s);
    const int ay = truncToInt((380 * f - py) * s / m_ky / f);
    return {truncToInt(static_cast<long double>(ax) - 125000), truncToInt(static_cast<long double>(ay) - 130000)};
}

bool Viewport::LevelVisible(int level) const
{
    const int z = static_cast<int>(factor());
    if (z < 2)
        return level == 0;
    if (z < 4)
        return level <= 1;
    if (z < 8)
        return level <= 2;
    if (z < 15)
        return level <= 3;
    if (z < 25)
        return level <= 4;
    return true;
}

QPoint Viewport::mapToPanel(int x, int y) const
{
    return {mapToPanelX(x), mapToPanelY(y)};
}

bool Viewport::shows(int x, int y, int level) const
{
    return LevelVisible(level) && QRect(QPoint(), m_panel).contains(mapToPanel(x, y));
}

QPoint Viewport::panelToPicture(QPoint panel) const
{
    return panel + m_scroll - m_margin;
}

QPoint Viewport::scrollRanges() const
{
    const long double f = factor();
    const long double s = m_mapScale;
    const int rx = truncToInt(static_cast<long double>(m_picture.width()) * f / s - m_panel.width());
    const int ry = truncToInt(static_cast<long double>(m_picture.height()) * f / s - m_panel.height());
    return {rx, ry};
}

Viewport Viewport::showing(QSize picture, int mapScale, QSize panel, int zoomIndex, QPoint scroll)
{
    Viewport v;
    v.setPicture(picture, mapScale);
    v.setPanel(panel);
    v.m_zoomIndex = std::clamp(zoomIndex, 0, HighestZoom);
    v.UpdateScrollRanges();
    v.UpdateMargins();
    v.scrollTo(scroll);
    return v;
}

void Viewport::setPicture(QSize picture, int mapScale)
{
    m_picture = picture;
    m_mapScale = mapScale;
    m_kx = kx(mapScale);
    m_ky = ky(mapScale);
}

void Viewport::setPanel(QSize panel)
{
    m_panel = panel;
}

void Viewport::UpdateScrollRanges()
{
    // A range below 1 leaves nothing to scroll: the bar shows 0 and is disabled.
    const QPoint r = scrollRanges();
    m_scrollMaximum = QPoint(r.x() >= 1 ? r.x() : 0, r.y() >= 1 ? r.y() : 0);
    scrollTo(m_scroll);
}

void Viewport::UpdateMargins()
{
    const long double f = factor();
    const long double s = m_mapScale;
    const long double w = static_cast<long double>(m_picture.width()) * f / s;
    const long double h = static_cast<long double>(m_picture.height()) * f / s;
    m_mapCoversPanel = m_panel.width() < w && m_panel.height() < h;
    m_margin.setX(m_panel.width() > w ? truncToInt((m_panel.width() - w) * 0.5L) : 0);
    m_margin.setY(m_panel.height() > h ? truncToInt((m_panel.height() - h) * 0.5L) : 0);
}

void Viewport::scrollTo(QPoint position)
{
    // The one place a scroll position is clamped: 0 to the maximum, as the scroll bars do.
    m_scroll
        = QPoint(std::clamp(position.x(), 0, m_scrollMaximum.x()), std::clamp(position.y(), 0, m_scrollMaximum.y()));
}

void Viewport::scrollBy(QPoint delta)
{
    // Summed in 64 bits: a hostile delta saturates instead of wrapping.
    const auto add = [](int a, int b) { return int(std::clamp<std::int64_t>(std::int64_t(a) + b, INT_MIN, INT_MAX)); };
    scrollTo(QPoint(add(m_scroll.x(), delta.x()), add(m_scroll.y(), delta.y())));
}

void Viewport::wheelStep(Qt::Orientation direction, bool back)
{
    const int step = back ? -WheelStep : WheelStep;
    scrollBy(direction == Qt::Horizontal ? QPoint(step, 0) : QPoint(0, step));
}

void Viewport::panelStep(Qt::Orientation direction, bool back, int parts)
{
    const int extent = direction == Qt::Horizontal ? m_panel.width() : m_panel.height();
    const int step = std::max(1, extent / std::max(1, parts));
    scrollBy(direction == Qt::Horizontal ? QPoint(back ? -step : step, 0) : QPoint(0, back ? -step : step));
}

void Viewport::scrollStep(const ScrollStep& step)
{
    if (step.parts == 0)
        wheelStep(step.direction, step.back);
    else
        panelStep(step.direction, step.back, step.parts);
}

void Viewport::zoomTo(int index, QPoint anchor)
{
    // The anchor's picture point, in the old zoom's pixels, scaled to the new zoom.
    const long double cx = static_cast<long double>(m_scroll.x()) + anchor.x() - m_margin.x();
    const long double cy = static_cast<long double>(m_scroll.y()) + anchor.y() - m_margin.y();
    const long double oldFactor = factor();
    m_zoomIndex = std::clamp(index, 0, HighestZoom);
    UpdateScrollRanges();
    UpdateMargins();
    const long double newFactor = factor();
    scrollTo(QPoint(truncToInt(cx / oldFactor * newFactor - anchor.x()),
                    truncToInt(cy / oldFactor * newFactor - anchor.y())));
}

void Viewport::stepUpTo(int index)
{
    // The margins stay as they are: they follow with the panel's first size.
    while (m_zoomIndex < std::min(index, HighestZoom)) {
        ++m_zoomIndex;
        UpdateScrollRanges();
    }
}

void Viewport::centreOn(int x, int y)
{
    const QPoint p = MapToScreen(x, y);
    scrollTo(QPoint(truncToInt(static_cast<long double>(p.x()) - m_panel.width() / 2),
                    truncToInt(static_cast<long double>(p.y()) - m_panel.height() / 2)));
}

void Viewport::goTo(int x, int y, int level)
{
    const int target = goTargetIndex(level);
    if (m_zoomIndex >= target)
        centreOn(x, y);
    while (m_zoomIndex < target) {
        ++m_zoomIndex;
        UpdateScrollRanges();
        UpdateMargins();
        centreOn(x, y);
    }
}

int Viewport::zoomPercentOf(int zoomIndex)
{
    return truncToInt(static_cast<long double>(factorOf(zoomIndex)) * 10);
}

QSize Viewport::sizeLimit(int zoomIndex)
{
    // Formed in double from the single factor, as the window limits always were.
    const double f = ZoomFactors[zoomIndex];
    return {static_cast<int>(f * DesignWidth + FrameWidth), static_cast<int>(f * DesignHeight + FrameHeight)};
}

bool Viewport::fitsSizeLimit(QSize window, int zoomIndex)
{
    const long double g = factorOf(zoomIndex);
    return window.width() <= g * DesignWidth + FrameWidth && window.height() <= g * DesignHeight + FrameHeight;
}

std::optional<int> Viewport::zoomTarget(ZoomCommand command, int current, bool keepZoom, QSize window)
{
    switch (command) {
    case ZoomCommand::In:
        if (current < HighestZoom)
            return current + 1;
        break;
    case ZoomCommand::Out:
        if (current > 0 && (!keepZoom || fitsSizeLimit(window, current - 1)))
            return current - 1;
        break;
    case ZoomCommand::ActualSize:
        return 0;
    }
    return std::nullopt;
}

int Viewport::goTargetIndex(int level)
{
    switch (level) {
    case 0:
    case 1:
        return 2;
    case 2:
        return 4;
    case 3:
        return 5;
    case 4:
        return 6;
    default:
        return HighestZoom;
    }
}

QString titleWithZoom(int zoomIndex)
{
    return QStringLiteral("Veldamar Interactive Map (Zoom %1%)").arg(Viewport::zoomPercentOf(zoomIndex));
}

} // namespace vdm
