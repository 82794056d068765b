// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vdm {

/**
 * The one way every reader opens a file it was given by name: settings, databases,
 * pictures, read-me files. Only a regular file, or a link to one, is ever read. The open
 * itself never blocks (a FIFO or a device would wait for a writer, a modem line or a
 * tape), and what was opened is checked on the open descriptor, so a file swapped
 * between a check and the open is caught too. Anything else counts as unreadable.
 */
class RegularFile {
public:
    enum class Status {
        Open,       // a regular file, open for reading
        Missing,    // nothing of that name (a dangling link included)
        NotRegular, // a directory, FIFO, device or socket
        Unreadable, // exists but cannot be opened (no permission, I/O error)
    };

    /** A limit for readAll() that no file reaches. */
    static constexpr qint64 NoLimit = -1;

    explicit RegularFile(const QString& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    Status status() const { return m_status; }
    bool isOpen() const { return m_status == Status::Open; }
    /** The descriptor while open; the object closes it unless release() handed it on. */
    int handle() const { return m_fd; }
    /** The size the file had when it was opened; files under /proc report 0 and are longer. */
    qint64 size() const { return m_size; }
    /** Hands the descriptor to the caller, who closes it from now on. */
    int release();

    /**
     * The file's bytes from where the descriptor stands to the end; nullopt on a read error
     * or when the file holds more than `limit` bytes. The reported size is only a hint.
     */
    std::optional<QByteArray> readAll(qint64 limit = NoLimit);

    /** True when `path` names a regular file or a link to one; never blocks. */
    static bool isRegular(const QString& path);

private:
    int m_fd = -1;
    qint64 m_size = 0;
    Status m_status = Status::Missing;
};

} // namespace vdm
