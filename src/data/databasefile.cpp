// SPDX-License-Identifier: MIT
#include "data/databasefile.h"

#include "data/errors.h"

#include <QFile>
#include <QFileInfo>

namespace vdm {

bool databaseExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

QByteArray readDatabaseFile(const QString& path)
{
    const QFileInfo info(path);
    const QString full = info.absoluteFilePath();
    // QFile happily opens a directory on some platforms and then reads nothing.
    if (!info.isFile())
        throwCannotOpen(full);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throwCannotOpen(full);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throwCannotOpen(full);
    return bytes;
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
