// SPDX-License-Identifier: MIT
#include "world/worldchoice.h"

#include <QDir>
#include <QFileInfo>

namespace vdm {

WorldChoice chooseWorld(const WorldCandidates& c, const std::function<bool(const QString&)>& holdsPicture)
{
    if (!c.argument.isEmpty())
        return {WorldSource::Argument, c.argument};
    if (!c.workingDirectory.isEmpty() && holdsPicture(c.workingDirectory))
        return {WorldSource::WorkingDirectory, c.workingDirectory};
    // A remembered world may have been moved or deleted since; the next candidate then.
    if (!c.lastWorld.isEmpty() && holdsPicture(c.lastWorld))
        return {WorldSource::LastWorld, c.lastWorld};
    if (!c.sample.isEmpty() && holdsPicture(c.sample))
        return {WorldSource::Sample, c.sample};
    return {WorldSource::Chooser, {}};
}

QString sampleWorldFolder(const QString& applicationDirectory)
{
    return QDir::cleanPath(applicationDirectory + QStringLiteral("/../share/veldamar-map/world"));
}

QString worldChooserCaption()
{
    return QStringLiteral("Choose a world folder");
}

QString worldNotFoundMessage(const QString& folder)
{
    return QStringLiteral("Map file not found. Please reinstall application.\n"
                          "No map picture (bigmap_hi.jpg or bigmap.jpg) in %1. "
                          "Start veldamar-map with a world folder: veldamar-map WORLD_DIR")
        .arg(QDir::toNativeSeparators(QDir(folder).absolutePath()));
}

QString locationsMissingMessage(const QString& path)
{
    return QStringLiteral("The locations database %1 is missing or not a regular file, so this world cannot be "
                          "shown. Start veldamar-map with a complete world folder: veldamar-map WORLD_DIR")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

} // namespace vdm
