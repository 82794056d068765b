// SPDX-License-Identifier: MIT
#include "journey/journeypainter.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace vdm {

namespace {

/** Whether the segment from `a` to `b` meets `box` (Liang-Barsky: the segment clipped to each edge in turn). */
bool meets(QPointF a, QPointF b, const QRectF& box)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const auto edge = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    return edge(-dx, a.x() - box.left()) && edge(dx, box.right() - a.x()) && edge(-dy, a.y() - box.top())
           && edge(dy, box.bottom() - a.y());
}

} // namespace

void JourneyPainter::paint(QImage& image, const Viewport& view, const LocationList& locations, const Journey& journey,
                           int current)
{
    JourneyLayer layer;
    layer.drawOver(image, view, locations, journey, current);
}

QPointF JourneyPainter::numberAt(const JourneyLayer::Segment& segment)
{
    const QPointF a(segment.from), b(segment.to);
    const QPointF mid = (a + b) / 2;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    if (std::hypot(dx, dy) >= ShortLeg)
        return mid;
    // A place's hint opens to the right of and below it, so a disc above both places
    // (for a lying leg) or left of both (for a standing one) stays clear of the hints.
    constexpr double Apart = DiscRadius + 6;
    if (std::abs(dx) >= std::abs(dy))
        return {mid.x(), std::min(a.y(), b.y()) - Apart};
    return {std::min(a.x(), b.x()) - Apart, mid.y()};
}

std::vector<bool> JourneyPainter::numbered(const std::vector<JourneyLayer::Segment>& segments, int current)
{
    // Two discs touch closer than this: each reaches its radius and half its outline out,
    // and the antialiased edge a little further.
    constexpr double Apart = 2 * DiscRadius + 2;
    std::vector<bool> chosen(segments.size(), false);
    // The discs chosen so far, by cells of the side Apart: a disc can touch only those in
    // its own cell and the eight around it, so a tour of thousands of legs stays cheap.
    std::unordered_map<std::uint64_t, std::vector<QPointF>> cells;
    const auto cellOf = [](double v) { return std::int64_t(std::floor(v / Apart)); };
    const auto key
        = [](std::int64_t x, std::int64_t y) { return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y); };
    const auto choose = [&](std::size_t k) {
        const QPointF at = numberAt(segments[k]);
        const std::int64_t cx = cellOf(at.x()), cy = cellOf(at.y());
        for (std::int64_t x = cx - 1; x <= cx + 1; ++x)
            for (std::int64_t y = cy - 1; y <= cy + 1; ++y) {
                const auto found = cells.find(key(x, y));
                if (found == cells.end())
                    continue;
                for (const QPointF& other : found->second)
                    if (std::hypot(other.x() - at.x(), other.y() - at.y()) < Apart)
                        return;
            }
        cells[key(cx, cy)].push_back(at);
        chosen[k] = true;
    };
    if (current >= 0 && std::size_t(current) < segments.size())
        choose(std::size_t(current));
    for (std::size_t k = 0; k < segments.size(); ++k)
        if (int(k) != current)
            choose(k);
    return chosen;
}

bool JourneyPainter::reaches(const JourneyLayer::Segment& segment, const QRectF& area)
{
    const QRectF reach = area.adjusted(-Reach, -Reach, Reach, Reach);
    return meets(QPointF(segment.from), QPointF(segment.to), reach) || reach.contains(numberAt(segment));
}

void JourneyPainter::draw(QPainter& p, const std::vector<JourneyLayer::Segment>& segments, int current,
                          const std::vector<bool>& numbered, const QRectF& area)
{
    const QRectF reach = area.adjusted(-Reach, -Reach, Reach, Reach);
    const int count = int(segments.size());
    std::vector<char> near(segments.size());
    bool any = false;
    for (int k = 0; k < count; ++k) {
        near[std::size_t(k)] = reaches(segments[std::size_t(k)], area);
        any = any || near[std::size_t(k)];
    }
    if (!any)
        return;

    p.setRenderHint(QPainter::Antialiasing);
    const auto stroke = [&](int k, qreal width, QRgb colour) {
        const JourneyLayer::Segment& s = segments[std::size_t(k)];
        if (!near[std::size_t(k)])
            return;
        QPen pen{QColor::fromRgba(colour), width};
        pen.setCapStyle(Qt::RoundCap);
        // A guild jump is a teleport, not a way over the land: dashed.
        if (s.mode == TravelMode::Guild)
            pen.setDashPattern({2.0, 1.5});
        p.setPen(pen);
        p.drawLine(QPointF(s.from), QPointF(s.to));
    };
    // Casings first, so no leg's casing covers another leg's core.
    for (int k = 0; k < count; ++k)
        stroke(k, k == current ? 9 : 7, Casing);
    for (int k = 0; k < count; ++k)
        if (k != current)
            stroke(k, 4, Core);
    if (current >= 0 && current < count)
        stroke(current, 6, Current);

    // Leg numbers in small discs beside each leg (so a leg far from the area has its
    // disc far too), those that would touch another's left out.
    QFont font;
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    for (int k = 0; k < count; ++k) {
        if (!near[std::size_t(k)] || std::size_t(k) >= numbered.size() || !numbered[std::size_t(k)])
            continue;
        const JourneyLayer::Segment& s = segments[std::size_t(k)];
        const QPointF at = numberAt(s);
        if (!reach.contains(at))
            continue;
        const QRectF disc(at.x() - DiscRadius, at.y() - DiscRadius, 2 * DiscRadius, 2 * DiscRadius);
        p.setPen(QPen(QColor::fromRgba(Casing), 1.5));
        p.setBrush(QColor::fromRgba(k == current ? Current : Core));
        p.drawEllipse(disc);
        p.setPen(QColor::fromRgba(Casing));
        p.drawText(disc, Qt::AlignCenter, QString::number(k + 1));
    }
}

} // namespace vdm
