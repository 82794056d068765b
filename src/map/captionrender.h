// SPDX-License-Identifier: MIT
#pragma once

#include "map/captioncache.h"
#include "map/captionshape.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRawFont>
#include <QRect>

#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace vdm {

/** The caption font and the metrics every caption of it shares. */
struct CaptionFont {
    QFont font;
    int ascent = 0, descent = 0, lineHeight = 0, maxCharWidth = 1;

    CaptionFont() = default;
    explicit CaptionFont(const QFont& f);
};

/** One caption rendered: its coverage mask and where it lies from the caption's top-left. */
struct RenderedCaption {
    QImage mask;     // Format_Alpha8, in device pixels, blended pixel for pixel; only the ink's box (null: no ink)
    QPoint offset;   // of the mask's top-left from the caption's top-left, in device pixels
    int advance = 0; // how far the text reaches to the right, in panel pixels
};

/** One caption rendered with its mask packed as the caption cache keeps it (RenderedCaption's mask, row by row). */
struct PackedCaption {
    CaptionCache::Mask mask;
    QPoint offset;
    int advance = 0;
};

/**
 * One caption's ink in rows its caller keeps (see CaptionRenderer::renderInto): width x
 * height bytes, no padding, its top-left `offset` device pixels from the caption's.
 */
struct CaptionInk {
    const uchar* bits = nullptr; // null: no ink
    int width = 0, height = 0;
    QPoint offset;
};

/**
 * What a caption renderer learned of its font, for renderers made later to start from:
 * its shaper's pairs and the glyphs it rasterised of the font captions are put together
 * in (see CaptionRenderer::learnAhead). Never changed once made, so renderers on any
 * thread may start from it.
 */
struct LearnedFont {
    QString fontKey; // the font's QFont::key(): a renderer of another font starts from nothing
    std::shared_ptr<const CaptionShaper::Learned> pairs;
    struct Glyphs;
    std::shared_ptr<const Glyphs> glyphs;
    /** How many glyph rasters it holds (one per glyph and subpixel place). */
    int glyphCount() const;
};

/**
 * Captions rendered before the paint that draws them (the first view's, on a thread of
 * its own while the world loads): each text once, its mask packed as the caption cache
 * keeps it, for that paint to take in place of rendering it (see
 * MapPainter::takeCaptionsAhead). A caption is the same whichever renderer of the font
 * made it, so the cache ends as if the paint had rendered them all.
 */
class CaptionsAhead {
public:
    /**
     * Renders `texts` (each once) at `ratio` as a renderer of `font` that starts from
     * `learned` does (a crowded paint's renderers start from the same). Stops early,
     * keeping what it rendered, once `stop` is set.
     */
    static std::unique_ptr<CaptionsAhead> render(const QFont& font, qreal ratio,
                                                 std::shared_ptr<const LearnedFont> learned,
                                                 std::vector<QByteArray> texts,
                                                 const std::atomic<bool>* stop = nullptr);

    /** The key of the font they were rendered with (QFont::key()): another font's paint takes none. */
    const QString& fontKey() const { return m_fontKey; }
    qreal ratio() const { return m_ratio; }
    /** How many captions it holds, taken or not. */
    std::size_t size() const { return m_texts.size(); }
    /** Where the caption of `text` lies (`hash` being CaptionCache::hashOf(text, ratio())); -1: none, or taken. */
    std::ptrdiff_t find(const QByteArray& text, std::uint32_t hash) const;
    /** The caption found at `at`, moved out to the caller: it is taken, and find() no longer gives it. */
    PackedCaption take(std::ptrdiff_t at);

private:
    QString m_fontKey;
    qreal m_ratio = 1;
    std::vector<QByteArray> m_texts;
    std::vector<PackedCaption> m_captions; // by text
    std::vector<std::uint32_t> m_hashes;   // by text
    std::vector<bool> m_taken;             // by text
    std::vector<std::uint32_t> m_slots;    // an open table of index + 1 by hash (0: empty)
};

/**
 * Renders a caption (code-page bytes) as a coverage mask at a device pixel ratio: the
 * font's glyphs drawn at that resolution, not enlarged, with room for ink that overhangs
 * the advance box. Touches nothing shared, so any thread may call it.
 */
RenderedCaption renderCaption(const CaptionFont& font, const QByteArray& text, qreal ratio);

/**
 * Renders captions as renderCaption does, pixel for pixel, drawing each glyph only once:
 * a glyph is rasterised alone the first time it shows at a subpixel place, and captions
 * are composed from those rasters with the painter's own blend of white ink (its coverage
 * plus what it leaves of the coverage beneath). Each caption is laid out by a CaptionShaper,
 * from pairs of characters laid out before where it can be.
 * At device pixel ratios other than 1 and 2, or for glyphs rasterised with coverage per
 * colour channel, it paints whole captions as renderCaption does. Not shared between
 * threads: it keeps the glyphs it drew.
 */
class CaptionRenderer {
public:
    /**
     * A renderer of `font`; with `learned` it shares what its shaper learns (see
     * CaptionShaper::Learned). With `ahead` learned of the same font it starts from that:
     * its pairs (copied, unless `learned` is given: then that is expected to start from
     * them) and its glyphs, which it renders with as if it had rasterised them itself.
     * What was learned of another font is not used.
     */
    explicit CaptionRenderer(const CaptionFont& font, std::shared_ptr<CaptionShaper::Learned> learned = {},
                             std::shared_ptr<const LearnedFont> ahead = {});
    /**
     * Learns `font` as a renderer does that renders `captions` at `ratio` among many (each
     * glyph rasterised at every subpixel place): what the first paint of a crowded view
     * would otherwise learn before it draws. Touches nothing shared, so any thread may
     * call it, while a paint's renderers of the font start from the result on theirs.
     */
    static std::shared_ptr<const LearnedFont> learnAhead(const QFont& font, qreal ratio,
                                                         const std::vector<QByteArray>& captions);
    /** What its shaper learns, for another renderer of the font. */
    std::shared_ptr<CaptionShaper::Learned> learned() const { return m_shaper.learned(); }
    const CaptionFont& font() const { return m_font; }
    RenderedCaption render(const QByteArray& text, qreal ratio);
    /**
     * What render() gives, its mask packed: a caption composed from glyphs goes straight
     * into the packed rows, with no image between (a first visit renders thousands).
     */
    PackedCaption renderPacked(const QByteArray& text, qreal ratio);
    /**
     * The mask renderPacked() gives, byte for byte, composed into `rows` (grown as it
     * needs, kept by the caller from caption to caption): a caption blended at once and
     * not kept costs no allocation. The ink lies in `rows` until the next call. Only ink
     * reaching device rows [fromRow, toRow) from the caption's top-left is wanted: a
     * caption whose ink lies wholly beyond them comes back without ink, not composed.
     */
    CaptionInk renderInto(const QByteArray& text, qreal ratio, std::vector<uchar>& rows, int fromRow = INT_MIN,
                          int toRow = INT_MAX);
    /**
     * The advance render() gives `text` at any ratio, without rendering it: what deciding
     * where a caption fits needs. Laid out from learned pairs where it can be, so it costs
     * a few table reads.
     */
    int advance(const QByteArray& text);
    /** Whether captions at `ratio` are composed from single glyphs (else painted whole). */
    bool composes(qreal ratio) const;
    /**
     * Whether many captions follow (those a crowded paint lacks): a glyph is then
     * rasterised at all its subpixel places, together, the first time it is needed, so
     * hardly a caption is painted whole. Otherwise a glyph waits until it is needed twice.
     */
    void expectMany(bool many) { m_many = many; }
    /** How many glyphs needed again wait to be rasterised together. */
    static constexpr int PendingBatch = 16;
    /** The glyph rasters kept: one per glyph, font, ratio and subpixel place drawn. */
    int glyphCount() const { return m_glyphCount; }

private:
    struct GlyphKey {
        int font;
        quint32 index;
        int ratio, fx, fy; // fx, fy: the subpixel place in 64ths of a device pixel
        bool operator==(const GlyphKey&) const = default;
    };
    struct GlyphKeyHash {
        size_t operator()(const GlyphKey& k) const noexcept
        {
            return qHashMulti(0, k.font, k.index, k.ratio, k.fx, k.fy);
        }
    };
    /**
     * One glyph's coverage: width x height bytes (no padding) in the renderer's store, its
     * top-left (left, top) device pixels from the glyph's whole-pixel origin. Sixteen
     * bytes, kept in the tables themselves and copied where a caption places it: composing
     * reads each glyph's record and rows, and a trip to memory for each cost more than the
     * blend (a rasterised glyph bigger than sixteen bits allow is not kept: whole captions
     * are painted instead).
     */
    struct Glyph {
        const uchar* coverage = nullptr;                        // null: no ink
        std::int16_t width = -1, height = 0, left = 0, top = 0; // width below 0: not held
        bool held() const { return width >= 0; }
    };
    /** A glyph drawn at a whole device pixel (x, y) of the mask and a subpixel place. */
    struct Placed {
        GlyphKey key;
        long long x, y;
        Glyph glyph; // once rasterised
    };
    /**
     * Rasterises the glyphs of `keys` (all of `font`, none held yet) in one painter, each
     * in a cell of `cell` device pixels with its origin at `origin` in it; those that
     * reach beyond their cells again in bigger ones.
     */
    void rasterise(const QRawFont& font, const std::vector<GlyphKey>& keys, int ratio, QSize cell, QPoint origin);
    /**
     * Keeps the glyph `key` drawn in `cell` of `img` with its origin at `origin`; false
     * (keeping nothing) when its ink touches the cell's edge and may go on beyond it.
     */
    bool readGlyph(const QImage& img, const QRect& cell, QPoint origin, const GlyphKey& key);
    int fontIdOf(const QRawFont& font);
    /**
     * The glyph of `key` (not held when it was not rasterised): looked up in a table by
     * glyph and subpixel place (a caption's every glyph is looked up, and hashing keys
     * cost more than composing).
     */
    Glyph find(const GlyphKey& key);
    /** The table slot of `key`; the glyph's index must be below MaxTableGlyph. */
    Glyph& slot(const GlyphKey& key);
    /** Room for `bytes` of coverage in the store, where it stays as long as the renderer. */
    uchar* storeBytes(size_t bytes);
    /** Where the glyphs of the laid-out caption go (false: one is not held; some may be rasterised now). */
    bool placeGlyphs(const QPointF& origin, qreal ratio, const QList<QGlyphRun>& runs);
    /** Places one glyph at (x64, y64), in 64ths of a device pixel of the mask; false when it is not held. */
    bool placeGlyph(int fontId, quint32 index, long long x64, long long y64, int ratio);
    /** The ink's box in the caption's device pixels, [left, right) x [top, bottom), with the caption's offset and
     * advance. */
    struct InkBox {
        long long left = 0, top = 0, right = 0, bottom = 0;
        QPoint offset;
        int advance = 0;
    };
    /**
     * Lays `text` out and places its glyphs (m_placed), the ink's box in `box`; false
     * when it is painted whole instead, into `whole` (see render()). A caption whose box
     * lies beyond device rows [fromRow, toRow) from its top-left gets an empty box, its
     * glyphs not placed.
     */
    bool placeInk(const QByteArray& text, qreal ratio, InkBox& box, PackedCaption& whole, int fromRow = INT_MIN,
                  int toRow = INT_MAX);
    /** Composes the placed glyphs into `bits`, the box's rows, without ink yet. */
    void composeInk(const InkBox& box, uchar* bits) const;
    static constexpr quint32 MaxTableGlyph = 4096; // a table of at most 4 MB per plane

    CaptionFont m_font;
    CaptionShaper m_shaper;
    CaptionLine m_line;         // the caption under way's
    CaptionGlyphs m_pairGlyphs; // its glyphs when put together from pairs
    int m_pairFontId = -1;      // the shaper's font's id (see fontIdOf), once asked
    bool m_composes = true;
    bool m_many = false;
    std::vector<QRawFont> m_fonts;
    /** The glyphs beyond the tables' indexes. */
    std::unordered_map<GlyphKey, Glyph, GlyphKeyHash> m_farGlyphs;
    int m_glyphCount = 0;
    /**
     * The glyphs' coverage, in blocks that never move: a glyph's rows at its 64 subpixel
     * places, rasterised together, lie together.
     */
    std::vector<std::unique_ptr<uchar[]>> m_store;
    uchar* m_storeNext = nullptr; // the first byte free in the last block
    size_t m_storeLeft = 0;       // how many are free there
    static constexpr size_t StoreBlock = 64 * 1024;
    /** The glyphs of one font, ratio and vertical subpixel place, by index x 64 + fx. */
    struct Plane {
        int font, ratio, fy;
        std::vector<Glyph> glyphs;
        std::vector<bool> seen; // needed by a caption before, by the same index
    };
    Plane& plane(const GlyphKey& key);
    /** The index in m_planes of each plane, by (font x 2 + ratio - 1) x 64 + fy: every glyph of a caption asks. */
    std::vector<int> m_planeAt;
    /** Whether a caption needed the glyph `key` before; marks it needed. */
    bool seenBefore(const GlyphKey& key);
    /** Rasterises the pending glyphs, a painter for those of one font and ratio. */
    void rasterisePending();
    /** Holds the glyphs learned ahead as its shaper's font's, once that font is known (see m_ahead). */
    void takeAheadGlyphs();

    /** What it started from, learned ahead; its glyphs' rows stay there. */
    std::shared_ptr<const LearnedFont> m_ahead;
    bool m_aheadTaken = false; // its glyphs are held

    std::vector<Plane> m_planes;
    CaptionCache::MaskStash m_masks; // the rows of the masks it composes
    std::vector<Placed> m_placed;    // the caption under way's, kept for its capacity
    std::vector<GlyphKey> m_pending; // needed again, not rasterised yet
};

} // namespace vdm
