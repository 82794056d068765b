// SPDX-License-Identifier: MIT
#include "world/backupfile.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "data/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vdm {

QString keepBackup(const QString& path, const QByteArray& bytes)
{
    const QString base = path + QStringLiteral(".bak");
    QString backup = base;
    for (int n = 2; QFileInfo::exists(backup); ++n) {
        if (QFileInfo(backup).isFile() && readDatabaseFile(backup) == bytes)
            return backup;
        backup = base + QLatin1Char('.') + QString::number(n);
    }
    AtomicFile::write(backup, bytes);
    return backup;
}

void writeRescueCopy(const QString& path, const QByteArray& bytes, bool replacesOwn)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throwUnableToWrite(path);
    if (!replacesOwn && info.isFile()) // not left by this run: kept
        keepBackup(path, readDatabaseFile(path));
    AtomicFile::write(path, bytes);
}

void removeRescueCopy(const QString& path)
{
    // One that cannot go is settled by the next start (the newer copy is used): no error.
    QFile::remove(path);
}

} // namespace vdm
