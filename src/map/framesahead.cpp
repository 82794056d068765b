// SPDX-License-Identifier: MIT
#include "map/framesahead.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vdm {

FramesAhead::Key FramesAhead::Key::of(const MapScene& scene, std::uint64_t dataRevision, qreal ratio)
{
    return Key{SceneSignature::of(scene, dataRevision, ratio), scene.view.scroll()};
}

FramesAhead::Frame* FramesAhead::find(const Key& key)
{
    const auto found = std::find_if(m_frames.begin(), m_frames.end(), [&](const Frame& f) { return f.key == key; });
    return found == m_frames.end() ? nullptr : &*found;
}

const FramesAhead::Frame* FramesAhead::find(const Key& key) const
{
    return const_cast<FramesAhead*>(this)->find(key);
}

void FramesAhead::keepOnly(const std::vector<Key>& wanted)
{
    std::erase_if(m_frames,
                  [&](const Frame& f) { return std::find(wanted.begin(), wanted.end(), f.key) == wanted.end(); });
}

bool FramesAhead::paintSome(MapPainter& painter, const MapScene& scene, const Key& key,
                            std::chrono::steady_clock::time_point deadline)
{
    const qreal ratio = key.signature.ratio;
    Frame* frame = find(key);
    if (!frame) {
        if (int(m_frames.size()) >= MostFrames)
            m_frames.erase(m_frames.begin()); // the oldest: a frame not wanted any more
        m_frames.push_back(Frame{key, {}, 0});
        frame = &m_frames.back();
        fitBackBuffer(frame->image, scene.view.panel(), ratio);
    }
    QImage& image = frame->image;
    const int height = image.height();
    // A ratio like 1.25 has edges only a whole paint gets right, and a paint that decides
    // for the whole panel what it draws would decide it again for each band: such a
    // frame goes at once.
    const bool banded = ratio == std::floor(ratio) && !MapPainter::decidesForWholePanel(scene.settings);
    const int band = banded ? BandRows * int(ratio) : height;
    do {
        if (frame->rowsDone >= height)
            break;
        const int rows = std::min(band, height - frame->rowsDone);
        painter.paintAhead(image, scene, QRegion(0, frame->rowsDone, image.width(), rows));
        frame->rowsDone += rows;
    } while (std::chrono::steady_clock::now() < deadline);
    return frame->rowsDone >= height;
}

bool FramesAhead::has(const Key& key) const
{
    return std::any_of(m_frames.begin(), m_frames.end(), [&](const Frame& f) { return f.key == key; });
}

bool FramesAhead::ready(const Key& key) const
{
    return std::any_of(m_frames.begin(), m_frames.end(), [&](const Frame& f) {
        return f.key == key && !f.image.isNull() && f.rowsDone >= f.image.height();
    });
}

bool FramesAhead::take(const Key& key, QImage& backBuffer, const std::optional<Key>& held)
{
    if (!ready(key))
        return false;
    Frame& frame = *find(key);
    backBuffer.swap(frame.image);
    if (held && !frame.image.isNull() && !find(*held)) {
        frame.key = *held;
        frame.rowsDone = frame.image.height();
    } else {
        drop(key);
    }
    return true;
}

bool FramesAhead::repaint(const Key& from, const Key& to, MapPainter& painter, const MapScene& scene,
                          const QRegion& area)
{
    Frame* frame = find(from);
    if (!frame || has(to))
        return false;
    // Rows not painted yet are painted from the scene of `to` when their turn comes.
    painter.paintAhead(frame->image, scene, area);
    frame->key = to;
    return true;
}

int FramesAhead::copyPainted(const Key& key, QImage& target, int from) const
{
    const Frame* frame = find(key);
    if (!frame || frame->image.size() != target.size() || frame->image.format() != target.format())
        return -1;
    const qsizetype row = frame->image.bytesPerLine();
    for (int y = std::max(from, 0); y < frame->rowsDone; ++y)
        std::memcpy(target.scanLine(y), frame->image.constScanLine(y), std::size_t(row));
    return frame->rowsDone;
}

void FramesAhead::drop(const Key& key)
{
    std::erase_if(m_frames, [&](const Frame& f) { return f.key == key; });
}

qint64 FramesAhead::bytes() const
{
    qint64 sum = 0;
    for (const Frame& f : m_frames)
        sum += f.image.sizeInBytes();
    return sum;
}

} // namespace vdm
