// SPDX-License-Identifier: MIT
#include "data/installlayout.h"

#include "data/regularfile.h"

#include <QDir>
#include <QFileInfo>

namespace vdm::InstallLayout {

QString dataFolder(const QString& applicationDirectory)
{
    return QDir::cleanPath(applicationDirectory + QStringLiteral("../share/veldamar-map")) + QLatin1Char('/');
}

QString installPrefix(const QString& applicationDirectory)
{
    const QString bin = QFileInfo(applicationDirectory).canonicalFilePath();
    if (bin.isEmpty() || QFileInfo(bin).fileName() != QStringLiteral("bin"))
        return {};
    const QString prefix = QFileInfo(bin).path();
    if (!QFileInfo(QDir(prefix).filePath(QStringLiteral("share/veldamar-map"))).isDir())
        return {};
    return prefix;
}

bool isInside(const QString& path, const QString& prefix)
{
    if (prefix.isEmpty())
        return false;
    const QFileInfo info(path.isEmpty() ? QDir::currentPath() : path);
    // A file not made yet lies where its folder lies.
    QString resolved = info.canonicalFilePath();
    if (resolved.isEmpty())
        resolved = QDir(QFileInfo(info.absolutePath()).canonicalFilePath()).filePath(info.fileName());
    const QString root = QFileInfo(prefix).canonicalFilePath();
    if (root.isEmpty())
        return false;
    return resolved == root || resolved.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
}

QString readmeFile(const QString& applicationDirectory, const QString& fileName)
{
    const QString beside = applicationDirectory + fileName;
    // Only a stat: a FIFO of that name is found here and reported by the reader, never opened.
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = dataFolder(applicationDirectory) + fileName;
    return RegularFile::isRegular(installed) ? installed : beside;
}

} // namespace vdm::InstallLayout
