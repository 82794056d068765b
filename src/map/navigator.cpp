// SPDX-License-Identifier: MIT
#include "map/navigator.h"

#include "map/resampler.h"

#include <algorithm>
#include <cmath>

namespace vdm {
namespace {

/** The whole picture at the view's zoom, in picture pixels (fractions kept). */
QSizeF zoomedPicture(const Viewport& view)
{
    const double k = double(view.factor()) / view.mapScale();
    return {view.picture().width() * k, view.picture().height() * k};
}

/** The scroll `view` takes for `target` (the viewport's clamp decides). */
QPoint clamped(const Viewport& view, QPointF target)
{
    Viewport v = view;
    v.scrollTo(QPoint(int(std::lround(std::clamp(target.x(), -1e9, 1e9))),
                      int(std::lround(std::clamp(target.y(), -1e9, 1e9)))));
    return v.scroll();
}

} // namespace

QSize Navigator::overviewSize(QSize picture, int mapScale)
{
    if (picture.isEmpty() || mapScale <= 0)
        return {};
    // The 10 % picture: zoom factor 1 over the map scale.
    const double w = double(picture.width()) / mapScale, h = double(picture.height()) / mapScale;
    const double k = std::min(1.0, LongSide / std::max(w, h));
    return {std::max(1, int(std::lround(w * k))), std::max(1, int(std::lround(h * k)))};
}

QImage Navigator::overviewImage(const QImage& picture, int mapScale, qreal ratio)
{
    const QSize size = overviewSize(picture.size(), mapScale);
    if (size.isEmpty())
        return {};
    const QSize device(std::max(1, int(std::lround(size.width() * ratio))),
                       std::max(1, int(std::lround(size.height() * ratio))));
    QImage image = Resampler::scaled(picture, device, Resampler::Mode::Smooth);
    image.setDevicePixelRatio(ratio);
    return image;
}

QSizeF Navigator::scale(const Viewport& view)
{
    const QSizeF zoomed = zoomedPicture(view);
    if (zoomed.isEmpty())
        return {};
    const QSize overview = overviewSize(view.picture(), view.mapScale());
    return {overview.width() / zoomed.width(), overview.height() / zoomed.height()};
}

QRectF Navigator::frame(const Viewport& view)
{
    const QSizeF k = scale(view);
    const QSizeF zoomed = zoomedPicture(view);
    // The picture points at the panel's corners, cut to the picture (a smaller picture shows whole).
    const double x0 = std::max(0.0, double(view.scrollX() - view.marginX()));
    const double y0 = std::max(0.0, double(view.scrollY() - view.marginY()));
    const double x1 = std::min(zoomed.width(), double(view.scrollX()) - view.marginX() + view.panel().width());
    const double y1 = std::min(zoomed.height(), double(view.scrollY()) - view.marginY() + view.panel().height());
    return QRectF(x0 * k.width(), y0 * k.height(), std::max(0.0, x1 - x0) * k.width(),
                  std::max(0.0, y1 - y0) * k.height());
}

QPoint Navigator::centredScroll(const Viewport& view, QPointF at)
{
    const QSizeF k = scale(view);
    if (k.isEmpty())
        return view.scroll();
    return clamped(view, QPointF(at.x() / k.width() - view.panel().width() / 2.0,
                                 at.y() / k.height() - view.panel().height() / 2.0));
}

QPoint Navigator::press(const Viewport& view, QPointF at)
{
    m_pressed = true;
    m_pressAt = at;
    m_scrollAtPress = frame(view).contains(at) ? view.scroll() : centredScroll(view, at);
    return m_scrollAtPress;
}

std::optional<QPoint> Navigator::move(const Viewport& view, QPointF at) const
{
    const QSizeF k = scale(view);
    if (!m_pressed || k.isEmpty())
        return std::nullopt;
    const QPointF by((at.x() - m_pressAt.x()) / k.width(), (at.y() - m_pressAt.y()) / k.height());
    return clamped(view, QPointF(m_scrollAtPress) + by);
}

std::optional<ZoomCommand> Navigator::wheel(int angleDelta)
{
    if (angleDelta > 0)
        return ZoomCommand::In;
    if (angleDelta < 0)
        return ZoomCommand::Out;
    return std::nullopt;
}

} // namespace vdm
