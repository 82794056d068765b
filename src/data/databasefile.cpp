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

void checkDatabaseSize(const QString& path, qint64 size)
{
    if (size > kMaxDatabaseSize)
        throw Error(QStringLiteral("The file %1 is too large to be read (%2 bytes; at most %3).")
                        .arg(QFileInfo(path).absoluteFilePath())
                        .arg(size)
                        .arg(kMaxDatabaseSize));
}

QByteArray readDatabaseFile(const QString& path)
{
    RegularFile file(path);
    if (file.isOpen())
        checkDatabaseSize(path, file.size());
    std::optional<QByteArray> bytes = file.readAll(kMaxDatabaseSize);
    if (!bytes)
        throwCannotOpen(QFileInfo(path).absoluteFilePath());
    return std::move(*bytes);
}

QString unicodeEncoding(const QByteArray& bytes)
{
    // UTF-32 first: its little-endian mark begins with UTF-16's.
    if (bytes.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)) || bytes.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return QStringLiteral("UTF-32");
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringLiteral("UTF-16");
    return {};
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
