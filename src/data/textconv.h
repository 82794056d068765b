// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace vdm {

/**
 * Reads a decimal integer the way every database does: optional leading blanks, an
 * optional sign, digits, nothing after them; it must fit 32 bits. Anything else throws
 * the conversion error "'%s' is not a valid integer value" naming the whole text.
 */
std::int32_t StrToInt(QByteArrayView text);
/** Same rules, returning false instead of throwing. */
bool tryStrToInt(QByteArrayView text, std::int32_t* value);
/** Decimal text of an integer, with a minus sign when negative and no blanks. */
QByteArray IntToStr(std::int64_t value);
/** Removes every character with a code of 32 or less from both ends. */
inline QByteArrayView Trim(QByteArrayView text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32)
        --e;
    return text.sliced(b, e - b);
}

} // namespace vdm
