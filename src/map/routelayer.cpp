// SPDX-License-Identifier: MIT
#include "map/routelayer.h"

#include "map/linewalk.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace vdm {

bool RouteLayer::reset(const QRect& area, Edges edges)
{
    if (area.isEmpty()
        || std::int64_t(area.width()) * area.height() > (edges == Edges::Cut ? MaxCutPixels : MaxPixels)) {
        clear();
        return false;
    }
    m_area = area;
    m_edges = edges;
    m_stride = (std::size_t(area.width()) + 31) / 32;
    m_words.assign(m_stride * std::size_t(area.height()), 0);
    m_beyond.clear();
    return true;
}

void RouteLayer::clear()
{
    m_area = {};
    m_edges = Edges::Kept;
    m_stride = 0;
    m_words = {};
    m_beyond = {};
}

void RouteLayer::set(int x, int y, std::uint64_t pen)
{
    const std::size_t column = std::size_t(x - m_area.left()), row = std::size_t(y - m_area.top());
    std::uint64_t& word = m_words[row * m_stride + column / 32];
    const unsigned shift = unsigned(column % 32) * 2;
    word = (word & ~(std::uint64_t(3) << shift)) | (pen << shift);
}

bool RouteLayer::line(QPoint a, QPoint b, int width, int pen)
{
    const auto far = [](QPoint p) { return std::abs(p.x()) > MaxReach || std::abs(p.y()) > MaxReach; };
    if (m_area.isEmpty() || far(a) || far(b))
        return false;
    // Every pixel lies in the line's box grown by its width to the right and down. A layer
    // whose edges are cut holds only the pixels of its area.
    if (m_edges == Edges::Kept
        && (std::min(a.x(), b.x()) < m_area.left() || std::min(a.y(), b.y()) < m_area.top()
            || std::max(a.x(), b.x()) + width > m_area.left() + m_area.width()
            || std::max(a.y(), b.y()) + width > m_area.top() + m_area.height())) {
        if (m_beyond.size() >= MaxBeyond)
            return false;
        m_beyond.push_back({a, b, width, pen & 3});
    }
    const std::uint64_t p = std::uint64_t(pen) & 3;
    walkLine(
        a, b, width, m_area,
        [this, p](int x, int y0, int y1) {
            for (int y = y0; y < y1; ++y)
                set(x, y, p);
        },
        [this, p](int y, int x0, int x1) {
            for (int x = x0; x < x1; ++x)
                set(x, y, p);
        });
    return true;
}

void RouteLayer::layOver(uchar* bits, qsizetype bytesPerLine, const QRect& clip, QPoint offset,
                         const std::uint32_t pens[4]) const
{
    const QRect inside = clip.translated(-offset) & m_area;
    if (!m_beyond.empty()) {
        // Beyond the area only the lines kept land: each is drawn there through the parts
        // of the clip around the area, in their order.
        const QRect shown = inside.translated(offset);
        QRect around[4] = {clip, {}, {}, {}};
        if (!shown.isEmpty()) {
            around[0] = QRect(clip.left(), clip.top(), clip.width(), shown.top() - clip.top());
            around[1] = QRect(clip.left(), shown.bottom() + 1, clip.width(), clip.bottom() - shown.bottom());
            around[2] = QRect(clip.left(), shown.top(), shown.left() - clip.left(), shown.height());
            around[3] = QRect(shown.right() + 1, shown.top(), clip.right() - shown.right(), shown.height());
        }
        for (const QRect& part : around) {
            if (part.isEmpty())
                continue;
            for (const Beyond& l : m_beyond) {
                const std::uint32_t c = pens[l.pen];
                walkLine(
                    l.a + offset, l.b + offset, l.width, part,
                    [bits, bytesPerLine, c](int x, int y0, int y1) {
                        for (int y = y0; y < y1; ++y)
                            reinterpret_cast<std::uint32_t*>(bits + qsizetype(y) * bytesPerLine)[x] = c;
                    },
                    [bits, bytesPerLine, c](int y, int x0, int x1) {
                        auto* row = reinterpret_cast<std::uint32_t*>(bits + qsizetype(y) * bytesPerLine);
                        std::fill(row + x0, row + x1, c);
                    });
            }
        }
    }
    if (inside.isEmpty())
        return;
    const std::size_t first = std::size_t(inside.left() - m_area.left());
    const std::size_t end = first + std::size_t(inside.width());
    const std::size_t firstWord = first / 32, lastWord = (end - 1) / 32;
    // The pixels of the first and last words that lie outside the clip are masked off.
    const std::uint64_t headMask = ~std::uint64_t(0) << (2 * (first % 32));
    const std::size_t tail = end - lastWord * 32; // 1 to 32 pixels of the last word
    const std::uint64_t tailMask = tail == 32 ? ~std::uint64_t(0) : (std::uint64_t(1) << (2 * tail)) - 1;
    const int left = m_area.left() + offset.x();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        const std::uint64_t* words = m_words.data() + std::size_t(y - m_area.top()) * m_stride;
        auto* out = reinterpret_cast<std::uint32_t*>(bits + qsizetype(y + offset.y()) * bytesPerLine) + left;
        for (std::size_t w = firstWord; w <= lastWord; ++w) {
            std::uint64_t word = words[w];
            if (w == firstWord)
                word &= headMask;
            if (w == lastWord)
                word &= tailMask;
            while (word != 0) {
                const int at = std::countr_zero(word) & ~1;
                out[w * 32 + std::size_t(at / 2)] = pens[(word >> at) & 3];
                word &= ~(std::uint64_t(3) << at);
            }
        }
    }
}

} // namespace vdm
