// SPDX-License-Identifier: MIT
#include "data/atomicfile.h"

#include "data/errors.h"
#include "data/regularfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vdm::AtomicFile {
namespace {

std::function<bool(Step)>& injector()
{
    static std::function<bool(Step)> f;
    return f;
}

bool allowed(Step step)
{
    return !injector() || injector()(step);
}

bool writeAll(int fd, const char* p, qsizetype n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, size_t(n));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= w;
    }
    return true;
}

// A save killed between creating its temporary file and the rename leaves that file
// behind. It holds nothing the target lacks, so later saves of the same file sweep such
// leftovers once they are clearly abandoned.
void removeAbandonedTemporaries(const QString& full)
{
    const QFileInfo info(full);
    QDir dir = info.absoluteDir();
    const QStringList pattern{QStringLiteral(".") + info.fileName() + QStringLiteral(".??????")};
    const QDateTime abandoned = QDateTime::currentDateTimeUtc().addSecs(-60);
    for (const QFileInfo& leftover : dir.entryInfoList(pattern, QDir::Files | QDir::Hidden | QDir::System))
        if (leftover.lastModified().toUTC() < abandoned)
            QFile::remove(leftover.absoluteFilePath());
}

/**
 * The file a write to `full` lands on: the end of its chain of symbolic links, which need
 * not exist yet (a dangling link creates its target, as writing through it always did).
 * Empty for a chain too long to be anything but a loop.
 */
QString followLinks(const QString& full)
{
    QString current = full;
    for (int hop = 0; hop < 40; ++hop) {
        char buf[4096];
        const ssize_t n = ::readlink(QFile::encodeName(current).constData(), buf, sizeof buf);
        if (n < 0)
            return current; // not a link, or nothing there yet
        if (size_t(n) >= sizeof buf)
            return {};
        // A relative link is relative to the folder that holds it.
        current = QDir(QFileInfo(current).absolutePath()).absoluteFilePath(QFile::decodeName(QByteArray(buf, n)));
    }
    return {};
}

/**
 * Whether the user may write the existing file. The kernel's answer covers ACLs and
 * read-only mounts, but the superuser passes it for every file; so the mode bits decide
 * as well: a file without a write bit for its owner is read-only by the owner's choice,
 * and that holds for the superuser too.
 */
bool userMayWrite(const QByteArray& path, const struct stat& st)
{
    if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return false;
    const uid_t uid = ::geteuid();
    if (uid == st.st_uid)
        return (st.st_mode & S_IWUSR) != 0;
    if (uid == 0)
        return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return true;
}

/** Whether the file at `path` holds exactly `bytes`; false when it cannot be read. */
bool holds(const QString& path, const QByteArray& bytes)
{
    RegularFile file(path);
    const std::optional<QByteArray> stored = file.readAll(bytes.size());
    return stored && *stored == bytes;
}

} // namespace

bool userMayWrite(const QString& path)
{
    const QByteArray native = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return false;
    return userMayWrite(native, st);
}

void setFaultInjector(std::function<bool(Step)> f)
{
    injector() = std::move(f);
}

void write(const QString& path, const QByteArray& bytes)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    // A link stays a link: the file it leads to is replaced, in its own folder (a rename
    // cannot cross file systems), and the link goes on pointing at the new contents.
    const QString real = followLinks(full);
    if (real.isEmpty())
        throwUnableToWrite(full);
    const QByteArray target = QFile::encodeName(real);
    const QString folder = QFileInfo(real).absolutePath();
    QByteArray temp
        = QFile::encodeName(folder + QStringLiteral("/.") + QFileInfo(real).fileName() + QStringLiteral(".XXXXXX"));

    struct stat st {};
    const bool replacing = ::stat(target.constData(), &st) == 0;
    // A file that already holds exactly these bytes is left as it is: nothing would change,
    // so even a read-only one is no failure.
    if (replacing && S_ISREG(st.st_mode) && qint64(st.st_size) == bytes.size() && holds(real, bytes))
        return;
    // A FIFO, device or folder of that name is not ours to replace, nor is a file its
    // owner made read-only.
    if (replacing && (!S_ISREG(st.st_mode) || !userMayWrite(target, st)))
        throwUnableToWrite(full);

    // A folder without write bits is read-only by its owner's choice, as a file is: the
    // superuser, whom the kernel lets through, does not write there either.
    if (!userMayWrite(folder))
        throwUnableToWrite(full);

    int fd = -1;
    if (allowed(Step::Create))
        fd = ::mkstemp(temp.data());
    if (fd < 0)
        throwUnableToWrite(full);

    // The new file is the old one with other bytes: same owner where this process may set
    // it, same permissions (set after the owner, which may clear set-id bits).
    if (replacing) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        ::fchmod(fd, 0644);
    }

    const bool ok = allowed(Step::Write) && writeAll(fd, bytes.constData(), bytes.size()) && allowed(Step::Flush)
                    && allowed(Step::Sync) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed || !allowed(Step::Rename) || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        throwUnableToWrite(full);
    }
    // Make the rename itself durable.
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    removeAbandonedTemporaries(real);
}

} // namespace vdm::AtomicFile
