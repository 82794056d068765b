// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace vdm {

/**
 * Captions rendered once as coverage masks, one per text and device pixel ratio (a caption
 * for a ratio-2 screen is rendered at twice the resolution, so it is another mask).
 *
 * A paint opens with beginPaint (its zoom level and the map point at the panel's centre)
 * and closes with endPaint. Whatever a paint uses stays, however much that is: a paint
 * never renders a caption twice. A paint in passes (beginPass, endPass: a band of the
 * panel at a time) keeps only what its passes to come may use. Beyond that the cache keeps captions up to its budget:
 * three times the captions of the fullest of the last RecentPaints whole paints (so a
 * view and those a zoom step in or out fit), from DefaultBudget up to MaxBudget. It
 * follows the views as they come: after a crowded view, sparse ones give the memory
 * back, and a paint of a few strips (a drag) leaves it as it is. When a paint ends over the budget,
 * the captions last used furthest from it go first: another zoom level before the same
 * one, then the furthest from the view's centre; they go down to three quarters of the
 * budget, so the next paints do not sweep again. A view panned or zoomed back to finds
 * its captions; a view far off has them rendered again. Only a paint of more captions than
 * twice the largest budget (a whole-map image of a huge world) gives up some of its own,
 * at once, so the memory stays bounded whatever the paint.
 */
class CaptionCache {
public:
    /** The least the cache keeps: every caption of several full-screen views of a crowded world. */
    static constexpr std::int64_t DefaultBudget = 32 * 1024 * 1024;
    /** The most it keeps beyond the captions of the paint under way (which may hold as much again). */
    static constexpr std::int64_t MaxBudget = 160 * 1024 * 1024;
    /** How many whole paints the budget looks back on. */
    static constexpr int RecentPaints = 32;

    struct Entry {
        QByteArray text;
        qreal ratio = 1; // the device pixel ratio the mask was rendered for
        QPoint offset;   // of the mask's top-left from the caption's top-left, in device pixels
        int advance = 0; // how far the text reaches to the right, in panel pixels
        std::int64_t bytes = 0;
        // Where it was last used: the paint, its pass (see beginPass), its zoom level and
        // the map point captioned.
        std::uint64_t paint = 0;
        std::uint64_t pass = 0;
        int zoom = 0;
        QPoint where;
        /**
         * The mask (coverage bytes in device pixels) as the blend reads it: where its
         * rows lie and its size, kept in the entry, so a crowded paint reaching thousands
         * of entries makes no other trip to memory for each.
         */
        struct Ink {
            const uchar* bits = nullptr; // null: no ink
            int width = 0, height = 0;
            qsizetype bytesPerLine = 0;
        } ink;
        /**
         * The mask's rows, one byte a pixel and no padding between them. A QImage per
         * caption cost 180 bytes more (its header in an allocation of its own, and rows
         * padded to four bytes): at a million places the cache holds tens of thousands.
         */
        std::unique_ptr<uchar[]> pixels;
    };

    /**
     * A mask's rows as an entry keeps them: one byte a pixel, no padding. Made from a
     * rendered QImage on any thread (a crowded paint packs its captions' masks on the
     * threads that rendered them), then moved into the cache.
     */
    struct Mask {
        std::unique_ptr<uchar[]> pixels; // null: no ink
        int width = 0, height = 0;
        static Mask of(const QImage& image);
    };

    explicit CaptionCache(std::int64_t floor = DefaultBudget, std::int64_t cap = MaxBudget);

    /** Opens a paint at zoom level `zoom` whose panel centre shows map point `centre`. */
    void beginPaint(int zoom, QPoint centre);
    /**
     * Closes the paint: a `whole` one (of the whole panel) counts for the budget. When the
     * cache is over its budget, evicts what lies furthest off.
     */
    void endPaint(bool whole = true);

    /**
     * Opens the next pass of the paint under way: a paint of a crowded view of a huge world
     * draws a band of the panel at a time, and a caption the band before the last did not
     * use, no later band needs either (each band looks at every caption that reaches it).
     */
    void beginPass();
    /**
     * Closes a pass: the captions this paint used only in passes before it are let go with
     * those it has not used, furthest first, down to the budget, so the paint holds the
     * captions of two bands beside what the cache keeps. After the `last` pass the captions
     * of this one may go as well.
     */
    void endPass(bool last);

    /** The caption of `text` at `ratio`, now used by this paint for map point `where`; null when absent. */
    const Entry* find(const QByteArray& text, qreal ratio = 1, QPoint where = {});
    /**
     * The caption `e` (found before and still held: see generation()) used again by this
     * paint for `where`, as find() would have found it.
     */
    void reuse(const Entry& e, QPoint where);
    /**
     * Counts the removals: while it stays the same, every entry found or inserted before
     * is still held at the same address, so a caller may keep pointers to them instead
     * of looking their texts up again.
     */
    std::uint64_t generation() const { return m_generation; }
    /**
     * Adds a caption (replacing one of the same text and ratio), used by this paint for
     * `where`. Beyond twice the largest budget it evicts at once, first what this paint
     * has not used, then what it has; the caption just added always stays, so what
     * insert() returns can be drawn at once.
     */
    const Entry& insert(const QByteArray& text, QImage mask, QPoint offset, qreal ratio = 1, QPoint where = {},
                        int advance = 0);
    /** The same with the mask packed already. */
    const Entry& insert(const QByteArray& text, Mask mask, QPoint offset, qreal ratio, QPoint where, int advance);
    /**
     * Adds a caption rendered ahead for a view at zoom level `zoom`, not used by any
     * paint yet: it goes before anything of the paint under way.
     */
    const Entry& insertAhead(const QByteArray& text, QImage mask, QPoint offset, qreal ratio, QPoint where, int advance,
                             int zoom);
    /** The same with the mask packed already. */
    const Entry& insertAhead(const QByteArray& text, Mask mask, QPoint offset, qreal ratio, QPoint where, int advance,
                             int zoom);
    void clear();
    /**
     * Holds what the cache keeps beyond the paint under way to at most `limit` bytes,
     * whatever floor it was made with (a painter of a huge world keeps its memory for the
     * world). The paint under way keeps every caption it uses, as before.
     */
    void setLimit(std::int64_t limit) { m_limit = std::max<std::int64_t>(limit, 0); }
    /**
     * Makes room for `incoming` bytes of captions about to be added for the paint under
     * way: evicts what this paint has not used, furthest first, down to the budget less
     * those bytes, so a crowded view does not hold the view before's captions beside its
     * own while they are added (the end of the paint would evict them then).
     */
    void makeRoom(std::int64_t incoming);
    /** Readies the table for `more` captions about to be added, so it grows once. */
    void reserve(int more) { m_entries.reserve(m_entries.size() + size_t(std::max(more, 0))); }

    int size() const { return int(m_entries.size()); }
    /** What the captions hold: their masks, texts and bookkeeping. */
    std::int64_t bytes() const { return m_bytes; }
    /**
     * What the cache keeps beyond the paint under way: three times the fullest recent paint,
     * within floor and cap, and never above the limit.
     */
    std::int64_t budget() const;
    /** The bytes of the captions the current (or last) paint used. */
    std::int64_t paintBytes() const { return m_paintBytes; }
    bool contains(const QByteArray& text, qreal ratio = 1) const { return peek(text, ratio) != nullptr; }
    /** The caption of `text` at `ratio` as held, not counted as used by any paint; null when absent. */
    const Entry* peek(const QByteArray& text, qreal ratio = 1) const;
    /**
     * Whether inserting a caption of `footprint` bytes now evicts at once (beyond twice
     * the largest budget), which may take captions this paint used.
     */
    bool insertEvicts(std::int64_t footprint) const { return m_bytes + footprint > 2 * m_cap; }

    /** What one entry of this text and mask costs: its mask, its text twice and the bookkeeping. */
    static std::int64_t footprint(const QByteArray& text, const QImage& mask);
    /** The same for a packed mask: what the mask as a QImage of one byte a pixel would count. */
    static std::int64_t footprint(const QByteArray& text, const Mask& mask);

private:
    /**
     * A caption's text and ratio with their hash, computed once: the table's growth and
     * every comparison then use it instead of reading the texts again (a crowded first
     * visit adds thousands at once).
     */
    struct Key {
        QByteArray text;
        qreal ratio;
        size_t hash;
        Key(const QByteArray& t, qreal r) : text(t), ratio(r), hash(qHashMulti(0, t, r)) {}
        bool operator==(const Key& o) const { return hash == o.hash && ratio == o.ratio && text == o.text; }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const noexcept { return k.hash; }
    };

    void use(Entry& e, QPoint where);
    /** Adds an entry in place of any of the same text and ratio; returns it, not yet used. */
    Entry& add(const QByteArray& text, Mask mask, std::int64_t bytes, QPoint offset, qreal ratio, QPoint where,
               int advance);
    /**
     * Evicts entries this paint has not used since pass `usedFrom` (from its first pass
     * by default: not at all), furthest first, down to `target` bytes; then, when `keep`
     * is given, this paint's own but `keep`.
     */
    void evictDownTo(std::int64_t target, const Entry* keep = nullptr, std::uint64_t usedFrom = 0);
    /** The first step of evictDownTo: the entries this paint has not used since `usedFrom`, furthest first. */
    void evictFurthest(std::int64_t target, std::uint64_t usedFrom);
    /** Beyond twice the largest budget: evicts down to that budget at once. */
    void holdToLimit(const Entry& keep);

    std::int64_t m_floor, m_cap;
    std::int64_t m_limit = INT64_MAX;
    std::int64_t m_bytes = 0;
    std::int64_t m_paintBytes = 0;
    std::int64_t m_heldOwn = 0; // the bytes of the entries held that the paint under way used
    /** The bytes of the last RecentPaints whole paints, the newest at m_nextRecent - 1. */
    std::array<std::int64_t, RecentPaints> m_recent{};
    int m_nextRecent = 0;
    std::uint64_t m_paint = 1;
    std::uint64_t m_pass = 1; // counts every paint's passes, so a later paint's are higher
    std::uint64_t m_generation = 0;
    int m_zoom = 0;
    QPoint m_centre;
    std::unordered_map<Key, Entry, KeyHash> m_entries; // nodes stay put: a found entry stays valid
};

} // namespace vdm
