// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

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
    /**
     * Gives a mask's rows back to the shelf of rows let go (see Mask::blank) when their
     * owner lets go of them: a crowded paint of a huge world lets go of thousands of
     * captions in every part and renders as many, on two threads, and the allocator spent
     * about a tenth of the paint handing one thread's blocks back to the other's heap.
     */
    struct MaskRelease {
        std::size_t capacity; // the bytes the rows were given (none when made empty)
        void operator()(uchar* rows) const noexcept;
    };
    /** A mask's rows: one byte a pixel, no padding between them. */
    using MaskRows = std::unique_ptr<uchar[], MaskRelease>;

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
        MaskRows pixels;

    private:
        friend class CaptionCache;
        std::uint32_t index = 0; // of its record (see Use), for reuse()
    };

    /**
     * A mask's rows as an entry keeps them: one byte a pixel, no padding. Made from a
     * rendered QImage on any thread (a crowded paint packs its captions' masks on the
     * threads that rendered them), then moved into the cache.
     */
    struct Mask {
        MaskRows pixels; // null: no ink
        int width = 0, height = 0;
        static Mask of(const QImage& image);
        /**
         * A mask of `width` x `height` pixels, all without ink, its rows taken from those
         * let go of before where the shelf holds some of the size (any thread may call it).
         */
        static Mask blank(int width, int height);
    };

    /**
     * Mask rows for one thread that makes many masks in a row (a renderer of a crowded
     * paint's captions): taken from the shelf a few of a size at a time, so two threads
     * rendering side by side do not meet on its lock for every caption. It holds at most
     * Bytes, given back to the shelf when it is let go of. Not shared between threads.
     */
    class MaskStash {
    public:
        static constexpr std::size_t Bytes = 64 * 1024, Batch = 8;
        MaskStash();
        ~MaskStash();
        MaskStash(const MaskStash&) = delete;
        MaskStash& operator=(const MaskStash&) = delete;
        /** What Mask::blank gives, its rows from this stash where it holds some of the size. */
        Mask blank(int width, int height);

    private:
        std::vector<std::vector<uchar*>> m_rows; // by the shelf's sizes
        std::size_t m_bytes = 0;
    };

    explicit CaptionCache(std::int64_t floor = DefaultBudget, std::int64_t cap = MaxBudget);

    /**
     * Opens a paint at zoom level `zoom` whose panel centre shows map point `centre`. With
     * `half` (half the view's width and height in map units) the captions of this level
     * go by their distance from the view's edges, inside or out, instead of from its
     * centre: for a view of more captions than the cache holds (a crowded view of a huge
     * world), whose zoom steps show frames painted ahead, what comes next is a drag, and
     * its strips lie along the edges while the inner captions are on the panel already.
     */
    void beginPaint(int zoom, QPoint centre, QPoint half = {});
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
    /** The same, `hash` being hashOf(text, ratio). */
    const Entry* find(const QByteArray& text, qreal ratio, QPoint where, std::uint32_t hash);
    /** What a caption is looked up by; its low bits are where its look-up starts. */
    static std::uint32_t hashOf(const QByteArray& text, qreal ratio);
    /**
     * Asks for what a look-up of `hash` reads first (its slot in the table), and with
     * `andEntry` (the slot asked for a while before) the entry that slot holds too, so a
     * look-up of many captions a little later finds them at hand instead of waiting for
     * memory each time.
     */
    void prefetch(std::uint32_t hash, bool andEntry) const;
    /**
     * Asks for `e`, so a walk over many entries found before finds them at hand; with
     * `andUse` (the entry asked for a while before) for what reuse(e) touches as well.
     */
    void prefetch(const Entry& e, bool andUse) const;
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
    void reserve(int more);

    int size() const { return m_count; }
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
     * Where an entry was last used, beside the others' in one array, so an eviction reads
     * 32 bytes an entry one after the other instead of the entries themselves.
     */
    struct Use {
        std::uint64_t pass = 0;  // the pass (see beginPass) that last used it; 0: none. Paints' passes only grow.
        std::int64_t bytes = -1; // what it counts (see footprint); below 0: no entry holds this index
        int zoom = 0;            // the zoom level it was last used (or rendered ahead) for
        int x = 0, y = 0;        // the map point it captioned then
        /** Of an entry: its hash (hashOf). Of a free index: the next free one, plus one (0: none). */
        std::uint32_t link = 0;
    };
    /**
     * An entry that may be evicted: how far off it lies (see evictFurthest), when it was
     * last used, where it is and its hash (where its slot is).
     */
    struct Candidate {
        std::uint64_t far;
        std::uint64_t pass;
        std::uint32_t index, hash;
    };
    /** How many entries one block of the slab holds; blocks never move, so neither do entries. */
    static constexpr std::uint32_t BlockEntries = 1024;

    Entry& entry(std::uint32_t index) { return m_blocks[index / BlockEntries][index % BlockEntries]; }
    const Entry& entry(std::uint32_t index) const { return m_blocks[index / BlockEntries][index % BlockEntries]; }
    /** The index of the entry of `text` at `ratio`, or -1. */
    std::int64_t lookUp(const QByteArray& text, qreal ratio, std::uint32_t hash) const;
    /** Makes the table of slots `size` long (a power of two) and puts every entry back in it. */
    void rehash(std::size_t size);
    /** Removes the entry at `index`: its slot, its mask and text, its bytes. */
    void remove(std::uint32_t index);
    /** Asks for what removing the entry at `index` of hash `hash` reads, ahead of it. */
    void prefetchRemoval(std::uint32_t index, std::uint32_t hash) const;
    /** Whether the paint under way has used the entry of `u`. */
    bool ownUse(const Use& u) const { return u.pass >= m_firstPass; }
    void use(std::uint32_t index, QPoint where);
    /** Adds an entry in place of any of the same text and ratio; returns it, not yet used. */
    Entry& add(const QByteArray& text, Mask mask, std::int64_t bytes, QPoint offset, qreal ratio, QPoint where,
               int advance);
    /** insertAhead's own: `bytes` is what the caption counts. */
    const Entry& addAhead(const QByteArray& text, Mask mask, QPoint offset, qreal ratio, QPoint where, int advance,
                          int zoom, std::int64_t bytes);
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
    std::uint64_t m_pass = 1;      // counts every paint's passes, so a later paint's are higher
    std::uint64_t m_firstPass = 1; // the first pass of the paint under way
    std::uint64_t m_generation = 0;
    int m_zoom = 0;
    QPoint m_centre;
    QPoint m_half; // of the view, in map units: null to go by the distance from the centre
    /**
     * The entries, in blocks that never move (a found entry stays where it is while it is
     * held), and beside them, by the same index, where each was last used. Indexes freed
     * by removals are taken again first (m_free: the first free one, plus one; 0: none).
     */
    std::vector<std::unique_ptr<Entry[]>> m_blocks;
    std::vector<Use> m_uses;
    std::uint32_t m_free = 0;
    int m_count = 0;
    /**
     * The table: open addressing, probed one slot after another, at most half full. A
     * slot holds its entry's hash (hashOf) in its high half, so most probes compare no
     * text, and its entry's index plus one in its low half (0: an empty slot). A removal
     * moves the slots after it back to where their probes look, so no slot ever stands
     * for a removed entry, and a table that grows moves slots, never entries.
     */
    std::vector<std::uint64_t> m_slots;
    /** Reused by every eviction, so a paint in passes allocates nothing for its evictions. */
    std::vector<Candidate> m_candidates;
};

} // namespace vdm
