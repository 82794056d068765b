// SPDX-License-Identifier: MIT
#include "world/backupfile.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"

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

} // namespace vdm
