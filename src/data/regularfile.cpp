// SPDX-License-Identifier: MIT
#include "data/regularfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vdm {

RegularFile::RegularFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (native.isEmpty() || ::stat(native.constData(), &st) != 0) {
        m_status = (errno == ENOENT || errno == ENOTDIR || native.isEmpty()) ? Status::Missing : Status::Unreadable;
        return;
    }
    // A special file is never opened at all: opening some devices already acts on them.
    if (!S_ISREG(st.st_mode)) {
        m_status = Status::NotRegular;
        return;
    }
    // Without O_NONBLOCK, a FIFO put in the file's place since the stat would hold the open
    // until some writer came along.
    m_fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) {
        m_status = Status::Unreadable;
        return;
    }
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_status = S_ISREG(st.st_mode) ? Status::Unreadable : Status::NotRegular;
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
    m_size = qint64(st.st_size);
    m_status = Status::Open;
}

RegularFile::~RegularFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int RegularFile::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

std::optional<QByteArray> RegularFile::readAll(qint64 limit)
{
    if (m_fd < 0)
        return std::nullopt;
    constexpr qint64 Chunk = 64 * 1024;
    QByteArray data;
    // The size is a hint: the buffer grows past it when the file has grown (or is one of
    // those that report 0), and never beyond one byte over the limit. A sparse file may
    // claim far more than it is worth reserving up front.
    constexpr qint64 MaxReserve = 64 * 1024 * 1024;
    qint64 expected = qMin(m_size + 1, MaxReserve);
    if (limit >= 0)
        expected = qMin(expected, limit + 1);
    data.reserve(qsizetype(qMax<qint64>(expected, 1)));
    for (;;) {
        qint64 want = Chunk;
        if (limit >= 0)
            want = qMin(want, limit + 1 - qint64(data.size()));
        if (want <= 0)
            return std::nullopt; // more than the limit
        const qsizetype old = data.size();
        data.resize(old + qsizetype(want));
        const ssize_t got = ::read(m_fd, data.data() + old, size_t(want));
        if (got < 0) {
            data.resize(old);
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        data.resize(old + qsizetype(got));
        if (got == 0)
            break;
    }
    if (limit >= 0 && data.size() > limit)
        return std::nullopt;
    return data;
}

bool RegularFile::isRegular(const QString& path)
{
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    return !native.isEmpty() && ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace vdm
