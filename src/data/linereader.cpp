// SPDX-License-Identifier: MIT
#include "data/linereader.h"

namespace vdm {

LineReader::LineReader(QByteArray data, qsizetype limit) : m_data(std::move(data)), m_limit(limit)
{}

LineReader::Line LineReader::read()
{
    Line line;
    const qsizetype n = m_data.size();
    const char* d = m_data.constData();
    while (true) {
        if (m_limit > 0 && line.text.size() == m_limit)
            return line;
        if (m_pos >= n) {
            line.metEnd = true;
            return line;
        }
        const char c = d[m_pos];
        if (c == '\r' && m_pos + 1 < n && d[m_pos + 1] == '\n') {
            m_pos += 2;
            ++m_line;
            line.text.append('\n');
            return line;
        }
        ++m_pos;
        line.text.append(c);
        if (c == '\n') {
            ++m_line;
            return line;
        }
    }
}

bool LineReader::skipToHeader(QByteArrayView keyword)
{
    while (true) {
        const Line header = read();
        if (header.metEnd)
            return false;
        if (chomp(header.text).contains(keyword))
            return true;
    }
}

QByteArrayView LineReader::chomp(QByteArrayView text)
{
    if (!text.isEmpty() && text.back() == '\n')
        return text.chopped(1);
    return text;
}

} // namespace vdm
