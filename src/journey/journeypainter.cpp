// SPDX-License-Identifier: MIT
#include "journey/journeypainter.h"

#include "map/viewport.h"

#include <QFont>
#include <QPainter>
#include <QPen>

namespace vdm {

void JourneyPainter::paint(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                           int current)
{
    if (journey.legs.empty() || image.isNull())
        return;
    const auto point = [&](int place) {
        const Location& l = locations[std::size_t(place)];
        return QPointF(view.mapToPanel(l.X, l.Y));
    };
    for (const JourneyLeg& leg : journey.legs)
        if (leg.from < 0 || leg.to < 0 || std::size_t(leg.from) >= locations.size() || std::size_t(leg.to) >= locations.size())
            return; // a journey of another world: nothing of it belongs on this map

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const auto stroke = [&](int k, qreal width, QRgb colour) {
        const JourneyLeg& leg = journey.legs[std::size_t(k)];
        QPen pen{QColor::fromRgba(colour), width};
        pen.setCapStyle(Qt::RoundCap);
        // A guild jump is a teleport, not a way over the land: dashed.
        if (leg.mode == TravelMode::Guild)
            pen.setDashPattern({2.0, 1.5});
        p.setPen(pen);
        p.drawLine(point(leg.from), point(leg.to));
    };
    const int count = int(journey.legs.size());
    // Casings first, so no leg's casing covers another leg's core.
    for (int k = 0; k < count; ++k)
        stroke(k, k == current ? 9 : 7, Casing);
    for (int k = 0; k < count; ++k)
        if (k != current)
            stroke(k, 4, Core);
    if (current >= 0 && current < count)
        stroke(current, 6, Current);

    // Leg numbers in small discs at the middle of each leg.
    QFont font;
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    for (int k = 0; k < count; ++k) {
        const JourneyLeg& leg = journey.legs[std::size_t(k)];
        const QPointF mid = (point(leg.from) + point(leg.to)) / 2;
        const QRectF disc(mid.x() - 8, mid.y() - 8, 16, 16);
        p.setPen(QPen(QColor::fromRgba(Casing), 1.5));
        p.setBrush(QColor::fromRgba(k == current ? Current : Core));
        p.drawEllipse(disc);
        p.setPen(QColor::fromRgba(Casing));
        p.drawText(disc, Qt::AlignCenter, QString::number(k + 1));
    }
}

} // namespace vdm
