// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QPoint>

#include <cstdint>
#include <list>

namespace vdm {

/**
 * Captions rendered once as coverage masks, one per text and device pixel ratio (a caption
 * for a ratio-2 screen is rendered at twice the resolution, so it is another mask), kept within a memory budget: when an insert
 * goes over it, the captions used longest ago go first, one by one, so a view with more
 * captions than fit keeps most of them and a paint never starts over from nothing. The
 * caption just inserted always stays, so what insert() returns can be drawn at once.
 */
class CaptionCache {
public:
    /** Enough for every caption of several full-screen views of a crowded world. */
    static constexpr std::int64_t DefaultBudget = 32 * 1024 * 1024;

    struct Entry {
        QByteArray text;
        qreal ratio = 1; // the device pixel ratio the mask was rendered for
        QImage mask; // Format_Alpha8, in device pixels
        QPoint offset; // of the mask's top-left from the caption's top-left, in device pixels
        std::int64_t bytes = 0;
    };

    explicit CaptionCache(std::int64_t budget = DefaultBudget) : m_budget(budget) {}

    /** The caption of `text` at `ratio`, now the most recently used; null when absent. */
    const Entry* find(const QByteArray& text, qreal ratio = 1);
    /** Adds a caption (replacing one of the same text and ratio) and evicts down to the budget. */
    const Entry& insert(const QByteArray& text, QImage mask, QPoint offset, qreal ratio = 1);
    void clear();

    int size() const { return int(m_order.size()); }
    /** What the captions hold: their masks, texts and bookkeeping. */
    std::int64_t bytes() const { return m_bytes; }
    std::int64_t budget() const { return m_budget; }
    bool contains(const QByteArray& text, qreal ratio = 1) const { return m_where.contains(Key{text, ratio}); }

private:
    struct Key {
        QByteArray text;
        qreal ratio;
        bool operator==(const Key& o) const { return ratio == o.ratio && text == o.text; }
        friend size_t qHash(const Key& k, size_t seed = 0) { return qHashMulti(seed, k.text, k.ratio); }
    };

    std::int64_t m_budget;
    std::int64_t m_bytes = 0;
    std::list<Entry> m_order; // most recently used first
    QHash<Key, std::list<Entry>::iterator> m_where;
};

} // namespace vdm
