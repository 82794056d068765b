// SPDX-License-Identifier: MIT
#include "map/captioncache.h"

namespace vdm {
namespace {

/** What one entry costs beyond its mask's pixels: the image header, the text twice, the links. */
std::int64_t footprint(const QByteArray& text, const QImage& mask)
{
    constexpr std::int64_t Bookkeeping = 160;
    return std::int64_t(mask.sizeInBytes()) + 2 * std::int64_t(text.size()) + Bookkeeping;
}

} // namespace

const CaptionCache::Entry* CaptionCache::find(const QByteArray& text, qreal ratio)
{
    const auto it = m_where.constFind(Key{text, ratio});
    if (it == m_where.constEnd())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, *it);
    return &m_order.front();
}

const CaptionCache::Entry& CaptionCache::insert(const QByteArray& text, QImage mask, QPoint offset, qreal ratio)
{
    const Key key{text, ratio};
    if (const auto it = m_where.constFind(key); it != m_where.constEnd()) {
        m_bytes -= (*it)->bytes;
        m_order.erase(*it);
        m_where.erase(it);
    }
    const std::int64_t bytes = footprint(text, mask);
    m_order.push_front(Entry{text, ratio, std::move(mask), offset, bytes});
    m_where.insert(key, m_order.begin());
    m_bytes += bytes;
    while (m_bytes > m_budget && m_order.size() > 1) {
        const Entry& oldest = m_order.back();
        m_bytes -= oldest.bytes;
        m_where.remove(Key{oldest.text, oldest.ratio});
        m_order.pop_back();
    }
    return m_order.front();
}

void CaptionCache::clear()
{
    m_order.clear();
    m_where.clear();
    m_bytes = 0;
}

} // namespace vdm
