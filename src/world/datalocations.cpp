// SPDX-License-Identifier: MIT
#include "world/datalocations.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "data/errors.h"
#include "data/installlayout.h"
#include "world/backupfile.h"

#include <QCoreApplication>
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

/** How `place` may settle a file's place: also by writing (making the own folder, copying, settling two copies), or only by looking. */
enum class Settle { MayWrite, LookOnly };

/** What the home folder is to a file. */
enum class Home {
    Used,       // the file lives there whenever the user may write there
    Reconciled, // the same, and a copy in the own folder is settled with it first
    Never,      // an installation: the file lives in the own folder always
};

/**
 * Two copies of a user file: `home` in a writable world folder, `own` in the own folder.
 * The newer one by modification time (the world folder's on a tie) ends up in the world
 * folder and the other is kept as a backup; the own folder's copy goes. Returns the path
 * to use: `own` as before when anything fails, so nothing is lost either way.
 */
QString reconcile(const QString& home, const QString& own, QString* notice)
{
    const QFileInfo homeInfo(home), ownInfo(own);
    // Anything but two regular files is left as it is: the loaders name what is wrong.
    if (!ownInfo.isFile() || (homeInfo.exists() && !homeInfo.isFile()))
        return own;
    try {
        const QByteArray ownBytes = readDatabaseFile(own);
        if (!homeInfo.exists()) {
            AtomicFile::write(home, ownBytes);
        } else {
            const QByteArray homeBytes = readDatabaseFile(home);
            if (homeBytes != ownBytes) {
                const bool ownNewer = ownInfo.lastModified() > homeInfo.lastModified();
                QString kept;
                if (ownNewer) {
                    kept = keepBackup(home, homeBytes);
                    AtomicFile::write(home, ownBytes);
                } else {
                    kept = keepBackup(own, ownBytes);
                }
                if (notice)
                    *notice = QStringLiteral("There were two copies of %1: %2 and %3. The newer one is used, in %4; "
                                             "the older one is kept as %5.")
                                  .arg(homeInfo.fileName(), homeInfo.absoluteFilePath(), ownInfo.absoluteFilePath(),
                                       homeInfo.absolutePath(), QFileInfo(kept).absoluteFilePath());
            }
        }
    } catch (const Error&) {
        return own;
    }
    // Its bytes are in the world folder now, or kept beside it: the copy itself may go.
    QFile::remove(own);
    return home;
}

QString place(const QString& homeFolder, const QString& ownFolder, const QString& name, Home rule,
              Settle settle = Settle::MayWrite, QString* notice = nullptr)
{
    // An empty home folder is the working directory: the bare name, as always.
    const QString home = homeFolder.isEmpty() ? name : QDir(homeFolder).filePath(name);
    if (ownFolder.isEmpty())
        return home;
    const QString own = QDir(ownFolder).filePath(name);
    const bool ownExists = QFileInfo::exists(own);
    if (rule != Home::Never && AtomicFile::userMayWrite(homeFolder.isEmpty() ? QStringLiteral(".") : homeFolder)) {
        if (!ownExists || rule == Home::Used)
            return home;
        if (settle == Settle::LookOnly)
            return {};
        return reconcile(home, own, notice);
    }
    if (ownExists)
        return own;
    if (settle == Settle::LookOnly)
        return {};
    if (!QDir().mkpath(ownFolder))
        return home;
    if (QFileInfo::exists(home) && !copyFile(home, own))
        return home;
    return own;
}

/** The rule for the user files of the world in `worldFolder`, run from `installPrefix`. */
Home userFileRule(const QString& installPrefix, const QString& worldFolder)
{
    return InstallLayout::isInside(worldFolder, installPrefix) ? Home::Never : Home::Reconciled;
}

} // namespace

QString settingsFolder()
{
    return xdgFolder(QStandardPaths::GenericConfigLocation);
}

QString runningInstallPrefix()
{
    // The program's folder does not move during a run: looked up once.
    static const QString prefix = QCoreApplication::instance()
                                      ? InstallLayout::installPrefix(QCoreApplication::applicationDirPath()
                                                                     + QLatin1Char('/'))
                                      : QString();
    return prefix;
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
    const Home rule = InstallLayout::installPrefix(applicationDirectory).isEmpty() ? Home::Used : Home::Never;
    return place(applicationDirectory, settingsFolder(), QStringLiteral("qor.ini"), rule);
}

QString userFileFor(const QString& installPrefix, const QString& worldFolder, const QString& name, QString* notice)
{
    return place(worldFolder, userDataFolder(worldFolder), name, userFileRule(installPrefix, worldFolder),
                 Settle::MayWrite, notice);
}

QString userFile(const QString& worldFolder, const QString& name, QString* notice)
{
    return userFileFor(runningInstallPrefix(), worldFolder, name, notice);
}

QString settledUserFile(const QString& worldFolder, const QString& name)
{
    return place(worldFolder, userDataFolder(worldFolder), name, userFileRule(runningInstallPrefix(), worldFolder),
                 Settle::LookOnly);
}

} // namespace vdm::DataLocations
