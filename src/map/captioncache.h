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
 * Captions rendered once as coverage masks, kept within a memory budget: when an insert
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
        QImage mask; // Format_Alpha8
        QPoint offset; // of the mask's top-left from the caption's top-left
        std::int64_t bytes = 0;
    };

    explicit CaptionCache(std::int64_t budget = DefaultBudget) : m_budget(budget) {}

    /** The caption of `text`, now the most recently used; null when absent. */
    const Entry* find(const QByteArray& text);
    /** Adds a caption (replacing one of the same text) and evicts down to the budget. */
    const Entry& insert(const QByteArray& text, QImage mask, QPoint offset);
    void clear();

    int size() const { return int(m_order.size()); }
    /** What the captions hold: their masks, texts and bookkeeping. */
    std::int64_t bytes() const { return m_bytes; }
    std::int64_t budget() const { return m_budget; }
    bool contains(const QByteArray& text) const { return m_where.contains(text); }

private:
    std::int64_t m_budget;
    std::int64_t m_bytes = 0;
    std::list<Entry> m_order; // most recently used first
    QHash<QByteArray, std::list<Entry>::iterator> m_where;
};

} // namespace vdm
