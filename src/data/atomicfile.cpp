// SPDX-License-Identifier: MIT
#include "data/atomicfile.h"

#include "data/errors.h"
#include "data/regularfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <optional>
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

namespace {

/** A new version written whole and synced beside its file, waiting for its rename. */
struct Prepared {
    QString full;      // the path as the caller named it, for the message
    QString real;      // the file the link chain ends at
    QByteArray temp;   // the synced temporary file
    QByteArray target; // `real`, encoded
};

void syncFolder(const QString& folder)
{
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

/**
 * Writes and syncs the temporary file; nothing when the file already holds `bytes`, which
 * is looked at only when `mayHold`.
 */
std::optional<Prepared> prepare(const QString& path, const QByteArray& bytes, bool mayHold = true)
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
    if (mayHold && replacing && S_ISREG(st.st_mode) && qint64(st.st_size) == bytes.size() && holds(real, bytes))
        return std::nullopt;
    // A FIFO, device or folder of that name is not ours to replace, nor is a file its
    // owner made read-only.
    if (replacing && (!S_ISREG(st.st_mode) || !userMayWrite(target, st)))
        throwUnableToWrite(full);

    // A folder without write bits is read-only by its owner's choice, as a file is: the
    // superuser, whom the kernel lets through, does not write there either.
    if (!AtomicFile::userMayWrite(folder))
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
    if (!ok || !closed) {
        ::unlink(temp.constData());
        throwUnableToWrite(full);
    }
    return Prepared{full, real, temp, target};
}

/** Renames the prepared file over its target and makes the rename durable. */
void commit(const Prepared& p)
{
    if (!allowed(Step::Rename) || ::rename(p.temp.constData(), p.target.constData()) != 0) {
        ::unlink(p.temp.constData());
        throwUnableToWrite(p.full);
    }
    syncFolder(QFileInfo(p.real).absolutePath());
    removeAbandonedTemporaries(p.real);
}

// The journal of a replacement of several files: its first line, then one line per file,
// "<temporary> <target>", each path's bytes in hex so that any name comes back whole.
const QByteArray kJournalHeader = QByteArrayLiteral("veldamar-map replaces together 1");

} // namespace

void write(const QString& path, const QByteArray& bytes)
{
    if (const std::optional<Prepared> p = prepare(path, bytes))
        commit(*p);
}

void replace(const QString& path, const QByteArray& bytes)
{
    if (const std::optional<Prepared> p = prepare(path, bytes, false))
        commit(*p);
}

void writeTogether(const std::vector<std::pair<QString, QByteArray>>& files, const QString& journal)
{
    std::vector<Prepared> prepared;
    try {
        for (const auto& [path, bytes] : files)
            if (std::optional<Prepared> p = prepare(path, bytes))
                prepared.push_back(std::move(*p));
    } catch (...) {
        for (const Prepared& p : prepared)
            ::unlink(p.temp.constData());
        throw;
    }
    if (prepared.size() == 1)
        commit(prepared.front());
    if (prepared.size() <= 1)
        return;

    // Every new version is whole and synced: from the moment the journal exists, the
    // replacement is done, by this run or, should it die, by the next.
    QByteArray text = kJournalHeader + '\n';
    for (const Prepared& p : prepared)
        text += p.temp.toHex() + ' ' + p.target.toHex() + '\n';
    try {
        write(journal, text);
    } catch (...) {
        for (const Prepared& p : prepared)
            ::unlink(p.temp.constData());
        throw;
    }
    // A rename failing in this run (it does not when the temporaries could be made) stops
    // the others: the files renamed so far keep their new bytes, the rest their old.
    std::exception_ptr failure;
    for (const Prepared& p : prepared) {
        if (failure) {
            ::unlink(p.temp.constData());
            continue;
        }
        try {
            commit(p);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    ::unlink(QFile::encodeName(journal).constData());
    syncFolder(QFileInfo(journal).absolutePath());
    if (failure)
        std::rethrow_exception(failure);
}

bool finishTogether(const QString& journal)
{
    RegularFile file(journal);
    if (!file.isOpen())
        return false;
    const std::optional<QByteArray> text = file.readAll(1024 * 1024);
    const QList<QByteArray> lines = text ? text->split('\n') : QList<QByteArray>();
    if (!lines.isEmpty() && lines.front() == kJournalHeader) {
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> names = lines[i].split(' ');
            if (names.size() != 2)
                continue;
            const QByteArray temp = QByteArray::fromHex(names[0]), target = QByteArray::fromHex(names[1]);
            struct stat st {};
            // A temporary already renamed is gone: that file is done.
            if (!temp.isEmpty() && !target.isEmpty() && ::lstat(temp.constData(), &st) == 0 && S_ISREG(st.st_mode)
                && ::rename(temp.constData(), target.constData()) == 0)
                syncFolder(QFileInfo(QFile::decodeName(target)).absolutePath());
        }
    }
    ::unlink(QFile::encodeName(journal).constData());
    syncFolder(QFileInfo(journal).absolutePath());
    return true;
}

} // namespace vdm::AtomicFile
