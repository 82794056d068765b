// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vdm {

/**
 * Many short texts (names, notes) copied into shared blocks instead of one allocation
 * each: a million places cost a few hundred blocks, not a million small allocations with
 * their headers. Each text is an ordinary QByteArray that holds a reference to its block,
 * so it stays valid after the arena is gone, copies share the block, and a change to one
 * text copies that text out first (as any shared QByteArray does). Every text ends with
 * a '\0' as QByteArray's own do. A text too long to be worth sharing a block gets an
 * allocation of its own.
 */
class TextArena {
public:
    /** `text` as a QByteArray in the current block (an empty text: an empty QByteArray). */
    QByteArray copy(QByteArrayView text);

    /** The bytes of a block. */
    static constexpr qsizetype kBlockSize = 64 * 1024;

private:
    QByteArray::DataPointer m_block; // holds one reference to the block being filled
    qsizetype m_used = 0;
};

} // namespace vdm
