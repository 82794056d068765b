// SPDX-License-Identifier: MIT
#include "world/ownfiles.h"

#include "world/world.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <sys/stat.h>

namespace vdm {
namespace {

// More links than this in a row are a loop; the path is then taken as it stands.
constexpr int kMaxLinks = 40;

struct Identity {
    dev_t device;
    ino_t inode;
    bool operator==(const Identity&) const = default;
};

/** The file `path` names, its links followed; none when there is no such file. */
std::optional<Identity> identity(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

/**
 * Where a write to `path` lands, spelt one way: the canonical path of a file that exists;
 * for one not there yet, its folder's canonical path and its name (a dangling link is
 * followed first, as a write through it would be).
 */
QString canonical(const QString& path)
{
    QString p = QFileInfo(path).absoluteFilePath();
    for (int links = 0; links < kMaxLinks; ++links) {
        const QFileInfo info(p);
        const QString real = info.canonicalFilePath();
        if (!real.isEmpty())
            return real;
        if (info.isSymLink()) {
            p = info.symLinkTarget();
            continue;
        }
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        return folder.isEmpty() ? QDir::cleanPath(p) : QDir(folder).filePath(info.fileName());
    }
    return QDir::cleanPath(p);
}

/** True when `path` is one of the backups keepBackup makes of `own`: "<own>.bak", "<own>.bak.N". */
bool isBackupOf(const QString& path, const QString& own)
{
    const QString base = own + QStringLiteral(".bak");
    if (!path.startsWith(base))
        return false;
    const QStringView rest = QStringView(path).mid(base.size());
    if (rest.isEmpty())
        return true;
    if (rest.size() < 2 || rest.front() != QLatin1Char('.'))
        return false;
    for (const QChar c : rest.mid(1))
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

OwnFiles::OwnFiles(const World& world, const QString& settingsFile) : m_paths(world.ownFiles())
{
    if (!settingsFile.isEmpty())
        m_paths << settingsFile;
}

QString OwnFiles::clash(const QString& path) const
{
    const QString target = canonical(path);
    const std::optional<Identity> id = identity(path);
    for (const QString& own : m_paths) {
        const QString real = canonical(own);
        if (real == target || (id && identity(own) == id))
            return real;
        if (isBackupOf(target, real))
            return target;
    }
    return {};
}

QString OwnFiles::refusal(const QString& path, const QString& own)
{
    const QString picked = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const QString file = QDir::toNativeSeparators(own);
    if (picked == file)
        return QStringLiteral("%1 is a file of the open world and is never replaced. Choose another name.").arg(picked);
    return QStringLiteral("%1 is the open world's file %2, which is never replaced. Choose another name.")
        .arg(picked, file);
}

} // namespace vdm
