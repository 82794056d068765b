// SPDX-License-Identifier: MIT
#include "data/linereader.h"

namespace vdm {

LineReader::LineReader(QByteArray data, qsizetype limit) : m_data(std::move(data)), m_limit(limit)
{}

bool LineReader::skipToHeader(QByteArrayView keyword)
{
    while (true) {
        const Line header = read();
        if (header.metEnd)
            return false;
        if (header.text.contains(keyword))
            return true;
    }
}

} // namespace vdm
