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
    QByteArrayView text = line.text;
    // A piece cut at the limit has no line end of its own: its last character is taken
    // for one.
    if (!line.lineEnd && !line.metEnd && !text.isEmpty())
        text.chop(1);
    if (text.size() <= labelWidth)
        return {};
    return text.sliced(labelWidth);
}

} // namespace vdm
