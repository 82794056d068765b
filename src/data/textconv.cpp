// SPDX-License-Identifier: MIT
#include "data/textconv.h"

#include "data/errors.h"

namespace vdm {

bool tryStrToInt(QByteArrayView text, std::int32_t* value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == n)
        return false;
    std::int64_t v = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
        if (v > std::int64_t(INT32_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    *value = std::int32_t(v);
    return true;
}

std::int32_t StrToInt(QByteArrayView text)
{
    std::int32_t v = 0;
    if (!tryStrToInt(text, &v))
        throwConvertError(text);
    return v;
}

QByteArray IntToStr(std::int64_t value)
{
    return QByteArray::number(qlonglong(value));
}

} // namespace vdm
