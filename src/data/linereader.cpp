// SPDX-License-Identifier: MIT
#include "data/linereader.h"

namespace vdm {

LineReader::LineReader(QByteArray data, qsizetype limit) : m_data(std::move(data)), m_limit(limit)
{}

} // namespace vdm
