// SPDX-License-Identifier: MIT
#include "data/textarena.h"

#include <cstring>
#include <new>

namespace vdm {

QByteArray TextArena::copy(QByteArrayView text)
{
    const qsizetype n = text.size();
    if (n == 0)
        return QByteArray();
    if (n + 1 > kBlockSize / 16)
        return text.toByteArray();
    if (!m_block.d || m_block.d->alloc - m_used < n + 1) {
        auto [header, data] = QTypedArrayData<char>::allocate(kBlockSize);
        if (!header)
            throw std::bad_alloc();
        m_block = QByteArray::DataPointer(header, data, 0);
        m_used = 0;
    }
    char* at = m_block.ptr + m_used;
    std::memcpy(at, text.data(), std::size_t(n));
    at[n] = '\0';
    m_used += n + 1;
    // The text shares the block: one more reference, released when the text goes.
    m_block.d->ref();
    return QByteArray(QByteArray::DataPointer(m_block.d, at, n));
}

} // namespace vdm
