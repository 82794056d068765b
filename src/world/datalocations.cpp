// SPDX-License-Identifier: MIT
#include "world/datalocations.h"

#include "data/atomicfile.h"
#include "data/databasefile.h"
#include "data/errors.h"
#include "data/inifile.h"
#include "data/installlayout.h"
#include "data/regularfile.h"
#include "world/backupfile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <mutex>
#include <unistd.h>

namespace vdm::DataLocations {
namespace {

const QString kProgramFolder = QStringLiteral("veldamar-map");

/**
 * An XDG base folder: the variable when it holds an absolute path (a relative one is
 * ignored, as the XDG rules ask), else `fallback` under $HOME; empty when HOME is not an
 * absolute path either, so nothing is ever written relative to some other folder.
 */
QString xdgBase(const char* variable, const char* fallback)
{
    const QString value = QFile::decodeName(qgetenv(variable));
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    const QString home = QFile::decodeName(qgetenv("HOME"));
    if (QDir::isAbsolutePath(home))
        return QDir::cleanPath(QDir(home).filePath(QLatin1String(fallback)));
    return {};
}

/** What the places decided this run could not honour; each said once. */
struct Notices {
    std::mutex mutex;
    QStringList pending;
    QSet<QString> said;

    void add(const QString& text)
    {
        const std::lock_guard lock(mutex);
        if (!said.contains(text)) {
            said.insert(text);
            pending << text;
        }
    }
};

Notices& notices()
{
    static Notices n;
    return n;
}

/**
 * A copy of `from` at `to`, unchanged; false when it could not be read or written. Only
 * a regular file is read, never more than its own reader takes (`limit`), and never one
 * with holes: none of this program's writers makes such a file, and copying one would
 * fill the user's folder with the zeros it only claims to hold.
 */
bool copyFile(const QString& from, const QString& to, qint64 limit)
{
    RegularFile in(from);
    if (!in.isOpen() || in.size() > limit)
        return false;
    const off_t hole = ::lseek(in.handle(), 0, SEEK_HOLE);
    if (hole >= 0 && hole < off_t(in.size()))
        return false;
    if (::lseek(in.handle(), 0, SEEK_SET) != 0)
        return false;
    const std::optional<QByteArray> bytes = in.readAll(limit);
    if (!bytes)
        return false;
    try {
        AtomicFile::write(to, *bytes);
    } catch (const Error&) {
        return false;
    }
    return true;
}

/** How `place` may settle a file's place: also by writing (making the own folder, copying, settling two copies), or
 * only by looking. */
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
 * to use. When the settling fails part way (no room for the backup or the new file, a
 * copy that cannot be read), both copies stay as they are, the newer one is used (the
 * loader names what is wrong with it, if anything) and the user is told; a later write
 * or start settles them once it can. The older one is never used then: what this run
 * writes would pass for the newer at the next start, and the other copy's newer changes
 * would end up only in a backup.
 */
QString reconcile(const QString& home, const QString& own, QString* notice)
{
    const QFileInfo homeInfo(home), ownInfo(own);
    // Anything but two regular files is left as it is: the loaders name what is wrong.
    if (!ownInfo.isFile() || (homeInfo.exists() && !homeInfo.isFile()))
        return own;
    const bool ownNewer = !homeInfo.exists() || ownInfo.lastModified() > homeInfo.lastModified();
    try {
        const QByteArray ownBytes = readDatabaseFile(own);
        if (!homeInfo.exists()) {
            AtomicFile::write(home, ownBytes);
        } else {
            const QByteArray homeBytes = readDatabaseFile(home);
            if (homeBytes != ownBytes) {
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
    } catch (const Error& error) {
        const QString& used = ownNewer ? own : home;
        if (notice)
            *notice = QStringLiteral("There are two copies of %1: %2 and %3, and they could not be settled (%4). The "
                                     "newer one, %5, is used, and both are kept as they are until they can be.")
                          .arg(homeInfo.fileName(), homeInfo.absoluteFilePath(), ownInfo.absoluteFilePath(),
                               error.message(), QFileInfo(used).absoluteFilePath());
        return used;
    }
    // Its bytes are in the world folder now, or kept beside it: the copy itself may go.
    QFile::remove(own);
    return home;
}

/** The largest file each kind of file's reader takes. */
qint64 readLimit(const QString& name)
{
    return name == u"qor.ini" ? IniFile::MaxFileSize : kMaxDatabaseSize;
}

/** With Settle::LookOnly: empty when the place cannot be settled without writing. */
QString place(const QString& homeFolder, const QString& ownFolder, const QString& name, Home rule,
              Settle settle = Settle::MayWrite, QString* notice = nullptr)
{
    // An empty home folder is the working directory: the bare name, as always.
    const QString home = homeFolder.isEmpty() ? name : QDir(homeFolder).filePath(name);
    const QString own = ownFolder.isEmpty() ? QString() : QDir(ownFolder).filePath(name);
    const bool ownExists = !own.isEmpty() && QFileInfo::exists(own);
    const QString homeShown = QDir::toNativeSeparators(QFileInfo(home).absoluteFilePath());
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
        return own.isEmpty() ? home : QString();
    // From here on the home folder is read-only: the home file is read, and every write to
    // it refuses, which is better than writing where the user did not want it.
    if (ownFolder.isEmpty()) {
        notices().add(QStringLiteral("The folder of %1 is read-only and no folder of your own is known (HOME is not "
                                     "set): changes to it cannot be saved in this run.")
                          .arg(homeShown));
        return home;
    }
    if (!QDir().mkpath(ownFolder) || !QFileInfo(ownFolder).isDir()) {
        notices().add(QStringLiteral("The folder %1 cannot be made: changes to %2 cannot be saved in this run.")
                          .arg(QDir::toNativeSeparators(ownFolder), homeShown));
        return home;
    }
    if (QFileInfo::exists(home) && !copyFile(home, own, readLimit(name))) {
        notices().add(QStringLiteral("%1 cannot be copied into %2: it is read from where it is, and changes to it "
                                     "cannot be saved in this run.")
                          .arg(homeShown, QDir::toNativeSeparators(ownFolder)));
        return home;
    }
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
    const QString base = xdgBase("XDG_CONFIG_HOME", ".config");
    return base.isEmpty() ? QString() : QDir(base).filePath(kProgramFolder);
}

QString runningInstallPrefix()
{
    // The program's folder does not move during a run: looked up once.
    static const QString prefix
        = QCoreApplication::instance()
              ? InstallLayout::installPrefix(QCoreApplication::applicationDirPath() + QLatin1Char('/'))
              : QString();
    return prefix;
}

QString userDataFolder(const QString& worldFolder)
{
    const QString base = xdgBase("XDG_DATA_HOME", ".local/share");
    if (base.isEmpty())
        return {};
    const QString data = QDir(base).filePath(kProgramFolder);
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

QStringList takeNotices()
{
    Notices& n = notices();
    const std::lock_guard lock(n.mutex);
    return std::exchange(n.pending, {});
}

QString settledUserFile(const QString& worldFolder, const QString& name)
{
    return place(worldFolder, userDataFolder(worldFolder), name, userFileRule(runningInstallPrefix(), worldFolder),
                 Settle::LookOnly);
}

} // namespace vdm::DataLocations
