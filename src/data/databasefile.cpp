// SPDX-License-Identifier: MIT
#include "data/databasefile.h"

#include "data/errors.h"
#include "data/regularfile.h"

#include <QFileInfo>

namespace vdm {

bool databaseExists(const QString& path)
{
    return RegularFile::isRegular(path);
}

QByteArray readDatabaseFile(const QString& path)
{
    RegularFile file(path);
    std::optional<QByteArray> bytes = file.readAll();
    if (!bytes)
        throwCannotOpen(QFileInfo(path).absoluteFilePath());
    return std::move(*bytes);
}

QByteArrayView labelledValue(const LineReader::Line& line, qsizetype labelWidth)
{
    QByteArrayView text(line.text);
    const bool hasLineEnd = !line.metEnd || text.endsWith('\n');
    if (hasLineEnd && !text.isEmpty())
        text.chop(1);
    if (text.size() <= labelWidth)
        return {};
    return text.sliced(labelWidth);
}

} // namespace vdm
