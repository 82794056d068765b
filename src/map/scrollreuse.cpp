// SPDX-License-Identifier: MIT
#include "map/scrollreuse.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>

namespace vdm {

SceneSignature SceneSignature::of(const MapScene& scene, std::uint64_t dataRevision, qreal ratio)
{
    const Viewport& v = scene.view;
    SceneSignature s;
    s.zoomIndex = v.zoomIndex();
    s.mapScale = v.mapScale();
    s.picture = v.picture();
    s.panel = v.panel();
    s.margin = QPoint(v.marginX(), v.marginY());
    s.mapCoversPanel = v.mapCoversPanel();
    s.pictureKey = scene.picture.cacheKey();
    s.locations = scene.locations.data();
    s.locationCount = scene.locations.size();
    s.markers = scene.markers.data();
    s.markerCount = scene.markers.size();
    s.dataRevision = dataRevision;
    s.settings = scene.settings;
    s.objects = scene.objects;
    GoHighlight next = scene.highlight; // a copy: the prediction must not advance it
    s.highlighted = next.visitAll(scene.locations.size());
    s.index = scene.index;
    if (scene.places)
        s.places = *scene.places;
    s.indexCoversLocations = scene.index && scene.index->coversLocations(scene.locations);
    s.indexCoversMarkers = scene.index && scene.index->coversMarkers(scene.markers);
    s.ratio = ratio;
    return s;
}

ScrollReuse::Plan ScrollReuse::plan(const SceneSignature& before, QPoint scrollBefore, const SceneSignature& now,
                                    QPoint scrollNow, bool pictureMoves)
{
    Plan p;
    if (!(before == now) || !pictureMoves || now.ratio != std::floor(now.ratio))
        return p;
    // A map point moves on the panel by as much as the scroll moves the other way.
    const int ratio = int(now.ratio);
    p.shift = (scrollBefore - scrollNow) * ratio;
    const QRect buffer(QPoint(0, 0), backBufferSize(now.panel, now.ratio));
    if (std::abs(p.shift.x()) >= buffer.width() || std::abs(p.shift.y()) >= buffer.height())
        return p; // nothing would be kept
    // Which captions a paint leaves out when overlapping ones are hidden follows all the
    // panel shows, so a kept paint moved by the scroll is not what the new view gives.
    if (!p.shift.isNull() && now.settings.ShowText && now.settings.HideOverlappingCaptions)
        return Plan{};
    p.kind = p.shift.isNull() ? Kind::Unchanged : Kind::Moved;
    p.exposed = QRegion(buffer) - QRegion(buffer.translated(p.shift) & buffer);
    return p;
}

void ScrollReuse::moveImage(QImage& image, QPoint shift)
{
    const int W = image.width(), H = image.height();
    const int dx = shift.x(), dy = shift.y();
    if (std::abs(dx) >= W || std::abs(dy) >= H || (dx == 0 && dy == 0))
        return;
    const int bytes = (W - std::abs(dx)) * 4;
    const int fromX = std::max(0, -dx), toX = std::max(0, dx);
    // Rows moving down are copied from the bottom up, so none is overwritten before it moves.
    const auto moveRow = [&](int y) {
        std::memmove(image.scanLine(y + dy) + toX * 4, image.constScanLine(y) + fromX * 4, size_t(bytes));
    };
    if (dy > 0) {
        for (int y = H - 1 - dy; y >= 0; --y)
            moveRow(y);
    } else {
        for (int y = -dy; y < H; ++y)
            moveRow(y);
    }
}

bool ScrollReuse::bufferKept(const QImage& backBuffer, const MapScene& scene, qreal ratio) const
{
    return m_last && ratio == std::floor(ratio) && backBuffer.cacheKey() == m_last->bufferKey
           && backBuffer.constBits() == m_last->bufferBits
           && backBuffer.size() == backBufferSize(scene.view.panel(), ratio)
           && backBuffer.format() == QImage::Format_RGB32;
}

ScrollReuse::Plan ScrollReuse::planFor(const QImage& backBuffer, const MapScene& scene, const SceneSignature& now,
                                       bool mayReuse, const std::optional<BoundedChange>& change) const
{
    const qreal ratio = now.ratio;
    Plan p;
    if (!mayReuse || !bufferKept(backBuffer, scene, ratio))
        return p;
    if (change && now.dataRevision != m_last->signature.dataRevision) {
        // The last paint at the revision the change started from, of the same view and
        // scene in all else: outside the change's area it is what a whole paint gives.
        SceneSignature before = m_last->signature;
        before.dataRevision = now.dataRevision;
        if (m_last->signature.dataRevision == change->from && before == now
            && m_last->view.scroll() == scene.view.scroll()) {
            const int r = int(ratio);
            const QRect& a = change->area;
            p.kind = Kind::Region;
            if (!a.isEmpty())
                p.exposed = QRegion(QRect(a.x() * r, a.y() * r, a.width() * r, a.height() * r));
        }
        return p;
    }
    const QPoint shift = (m_last->view.scroll() - scene.view.scroll()) * int(ratio);
    const bool pictureMoves
        = MapPainter::pictureMovesWith(m_last->view, scene.view, shift, scene.picture.size(), scene.settings, ratio);
    return plan(m_last->signature, m_last->view.scroll(), now, scene.view.scroll(), pictureMoves);
}

ScrollReuse::Kind ScrollReuse::nextKind(const QImage& backBuffer, const MapScene& scene, std::uint64_t dataRevision,
                                        bool mayReuse, const std::optional<BoundedChange>& change) const
{
    const qreal ratio = backBuffer.isNull() ? 1.0 : backBuffer.devicePixelRatio();
    return planFor(backBuffer, scene, SceneSignature::of(scene, dataRevision, ratio), mayReuse, change).kind;
}

ScrollReuse::KeptPlan ScrollReuse::planFromKept(const QImage& backBuffer, const MapScene& scene,
                                                const SceneSignature& now) const
{
    const qreal ratio = now.ratio;
    if (ratio != std::floor(ratio) || backBuffer.size() != backBufferSize(scene.view.panel(), ratio)
        || backBuffer.format() != QImage::Format_RGB32)
        return {};
    // The newest first: the nearest, so the least to paint.
    for (auto k = m_kept.rbegin(); k != m_kept.rend(); ++k) {
        if (!(k->signature == now) || k->image.size() != backBuffer.size())
            continue;
        const QPoint shift = (k->view.scroll() - scene.view.scroll()) * int(ratio);
        const bool pictureMoves
            = MapPainter::pictureMovesWith(k->view, scene.view, shift, scene.picture.size(), scene.settings, ratio);
        const Plan p = plan(k->signature, k->view.scroll(), now, scene.view.scroll(), pictureMoves);
        if (p.kind != Kind::Whole)
            return {&k->image, p};
    }
    return {};
}

void ScrollReuse::keep(const QImage& backBuffer, const SceneSignature& now, const Viewport& view)
{
    const qint64 bytes = backBuffer.sizeInBytes();
    const int room = int(std::min<qint64>(KeptPaints, bytes > 0 ? KeptBytes / bytes : 0));
    if (room <= 0)
        return;
    while (int(m_kept.size()) >= room)
        m_kept.erase(m_kept.begin());
    m_kept.push_back({now, view, backBuffer.copy()});
}

/** Copies `from` into `to` (the same size) moved by `shift`; what the move uncovers keeps its pixels. */
static void copyMoved(QImage& to, const QImage& from, QPoint shift)
{
    const int W = to.width(), H = to.height(), dx = shift.x(), dy = shift.y();
    const int x0 = std::max(0, dx), x1 = std::min(W, W + dx);
    for (int y = std::max(0, dy), end = std::min(H, H + dy); y < end && x0 < x1; ++y)
        std::memcpy(to.scanLine(y) + x0 * 4, from.constScanLine(y - dy) + (x0 - dx) * 4, size_t(x1 - x0) * 4);
}

ScrollReuse::Kind ScrollReuse::paint(MapPainter& painter, QImage& backBuffer, const MapScene& scene,
                                     std::uint64_t dataRevision, bool mayReuse,
                                     const std::optional<BoundedChange>& change)
{
    const qreal ratio = backBuffer.isNull() ? 1.0 : backBuffer.devicePixelRatio();
    const SceneSignature now = SceneSignature::of(scene, dataRevision, ratio);
    const bool sameScene = m_last && m_last->signature == now;
    if (!sameScene || !mayReuse)
        m_kept.clear();
    Plan p = planFor(backBuffer, scene, now, mayReuse, change);
    Kind kind = p.kind;
    if (p.kind == Kind::Whole && sameScene && mayReuse) {
        if (const KeptPlan k = planFromKept(backBuffer, scene, now); k.image) {
            copyMoved(backBuffer, *k.image, k.plan.shift);
            p = k.plan;
            kind = Kind::Kept;
        }
    }
    if (p.kind == Kind::Whole) {
        painter.paint(backBuffer, scene);
    } else {
        if (kind == Kind::Moved)
            moveImage(backBuffer, p.shift);
        painter.paint(backBuffer, scene, p.exposed);
    }
    // A repaint of the same scene that the last paint could not give by a move: a drag
    // where the picture lands on whole bitmap pixels of several panel pixels.
    if (sameScene && mayReuse && (kind == Kind::Whole || kind == Kind::Kept)
        && (kind == Kind::Kept || painter.lastInk() >= m_keepFromInk))
        keep(backBuffer, now, scene.view);
    m_last = Last{now, scene.view, backBuffer.cacheKey(), backBuffer.constBits()};
    m_lastKind = kind;
    return kind;
}

void ScrollReuse::adopt(const QImage& backBuffer, const MapScene& scene, std::uint64_t dataRevision)
{
    m_kept.clear(); // of another scene
    const qreal ratio = backBuffer.isNull() ? 1.0 : backBuffer.devicePixelRatio();
    m_last = Last{SceneSignature::of(scene, dataRevision, ratio), scene.view, backBuffer.cacheKey(),
                  backBuffer.constBits()};
    m_lastKind = Kind::Ahead;
}

} // namespace vdm
