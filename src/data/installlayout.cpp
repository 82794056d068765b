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
