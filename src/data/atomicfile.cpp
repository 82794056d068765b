// SPDX-License-Identifier: MIT
#include "data/atomicfile.h"

#include "data/errors.h"

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

} // namespace

void setFaultInjector(std::function<bool(Step)> f)
{
    injector() = std::move(f);
}

void write(const QString& path, const QByteArray& bytes)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    const QByteArray target = QFile::encodeName(full);
    QByteArray temp = QFile::encodeName(QFileInfo(full).absolutePath() + QStringLiteral("/.")
                                        + QFileInfo(full).fileName() + QStringLiteral(".XXXXXX"));

    int fd = -1;
    if (allowed(Step::Create))
        fd = ::mkstemp(temp.data());
    if (fd < 0)
        throwUnableToWrite(full);

    // Keep the permissions of the file we replace, so a rewrite changes only its bytes.
    struct stat st {};
    if (::stat(target.constData(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else
        ::fchmod(fd, 0644);

    const bool ok = allowed(Step::Write) && writeAll(fd, bytes.constData(), bytes.size())
                    && allowed(Step::Flush) && allowed(Step::Sync) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed || !allowed(Step::Rename) || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        throwUnableToWrite(full);
    }
    // Make the rename itself durable.
    const int dirFd = ::open(QFile::encodeName(QFileInfo(full).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    removeAbandonedTemporaries(full);
}

} // namespace vdm::AtomicFile
