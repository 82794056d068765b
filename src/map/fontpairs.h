// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <utility>
#include <vector>

class QRawFont;

namespace vdm {

/** A font's tables that decide how its text is shaped (empty: the font has none). */
struct FontTables {
    QByteArray gsub, gpos, gdef, kern;
    bool stateMachines = false; // tables of another shaping model (morx, mort, kerx, Silf)

    static FontTables of(const QRawFont& font);
};

/**
 * What a font's tables let a shaper assume about text made of some of its glyphs. When
 * `byPairs` holds, no rule of the font that can meet a sequence of those glyphs looks at
 * more than one glyph and the one after it, except ligatures of three or more glyphs,
 * whose first two are listed: a text's glyphs and positions then follow from how each
 * glyph and each adjacent pair are shaped alone. Any table that cannot be read, and any
 * rule that cannot be shown harmless, clears `byPairs`.
 */
struct FontPairs {
    bool byPairs = false;
    std::vector<std::pair<quint32, quint32>> longLigatureStarts; // sorted
};

/** The pairs `tables` allow for text made of `glyphs` (each a glyph index of the font). */
FontPairs fontPairs(const FontTables& tables, const std::vector<quint32>& glyphs);

} // namespace vdm
