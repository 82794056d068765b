// SPDX-License-Identifier: MIT
#include "world/datalocations.h"

#include "data/atomicfile.h"
#include "data/errors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vdm::DataLocations {
namespace {

const QString kProgramFolder = QStringLiteral("veldamar-map");

QString xdgFolder(QStandardPaths::StandardLocation location)
{
    const QString base = QStandardPaths::writableLocation(location);
    return base.isEmpty() ? QString() : QDir(base).filePath(kProgramFolder);
}

/** A copy of `from` at `to`, unchanged; false when it could not be read or written. */
bool copyFile(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    try {
        AtomicFile::write(to, bytes);
    } catch (const Error&) {
        return false;
    }
    return true;
}

/** How `place` may settle a file's place: also by making the own folder and copying into it, or only by looking. */
enum class Settle { MayWrite, LookOnly };

/** With Settle::LookOnly: empty when the place cannot be settled without writing. */
QString place(const QString& homeFolder, const QString& ownFolder, const QString& name,
              Settle settle = Settle::MayWrite)
{
    // An empty home folder is the working directory: the bare name, as always.
    const QString home = homeFolder.isEmpty() ? name : QDir(homeFolder).filePath(name);
    if (ownFolder.isEmpty())
        return home;
    const QString own = QDir(ownFolder).filePath(name);
    if (QFileInfo::exists(own))
        return own;
    if (AtomicFile::userMayWrite(homeFolder.isEmpty() ? QStringLiteral(".") : homeFolder))
        return home;
    if (settle == Settle::LookOnly)
        return {};
    if (!QDir().mkpath(ownFolder))
        return home;
    if (QFileInfo::exists(home) && !copyFile(home, own))
        return home;
    return own;
}

} // namespace

QString settingsFolder()
{
    return xdgFolder(QStandardPaths::GenericConfigLocation);
}

QString userDataFolder(const QString& worldFolder)
{
    const QString data = xdgFolder(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    const QFileInfo info(worldFolder.isEmpty() ? QDir::currentPath() : worldFolder);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = info.absoluteFilePath();
    QString name = QFileInfo(path).fileName();
    if (name.isEmpty())
        name = QStringLiteral("world");
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return QDir(data).filePath(name + QLatin1Char('-') + QString::fromLatin1(hash));
}

QString settingsFile(const QString& applicationDirectory)
{
    return place(applicationDirectory, settingsFolder(), QStringLiteral("qor.ini"));
}

QString userFile(const QString& worldFolder, const QString& name)
{
    return place(worldFolder, userDataFolder(worldFolder), name);
}

QString settledUserFile(const QString& worldFolder, const QString& name)
{
    return place(worldFolder, userDataFolder(worldFolder), name, Settle::LookOnly);
}

} // namespace vdm::DataLocations
