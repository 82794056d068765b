// SPDX-License-Identifier: MIT
#include "session/proposedfile.h"

#include <QDir>
#include <QFileInfo>

namespace vdm {

QString proposedFile(const QString& remembered, QStandardPaths::StandardLocation standard, const QString& worldFolder,
                     const QString& what, const QDate& date, const QString& suffix)
{
    QString folder = remembered;
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QStandardPaths::writableLocation(standard);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
    }
    const QString world
        = QDir::cleanPath(QFileInfo(worldFolder.isEmpty() ? QDir::currentPath() : worldFolder).absoluteFilePath());
    QString name = QFileInfo(world).fileName();
    if (name.isEmpty()) // the root folder
        name = QStringLiteral("world");
    const QString file = QStringLiteral("%1-%2-%3.%4").arg(name, what, date.toString(Qt::ISODate), suffix);
    return QDir(folder).filePath(file);
}

QString rememberedFolder(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

} // namespace vdm
