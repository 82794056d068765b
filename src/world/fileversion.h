// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <sys/types.h>

namespace vdm {

/**
 * What a path named when it was looked at: which file (device and inode), its size and
 * its last change, or nothing. Any write or replacement of the file changes it, as far
 * as the file system's clock can tell two changes apart.
 */
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0, changed = 0; // nanoseconds
    /**
     * How close together two changes may come and still carry the same time: a tick of
     * the kernel's clock on a local file system that keeps nanoseconds, two seconds on
     * any other (FAT, network shares, whole-second times).
     */
    std::int64_t resolution = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& path);

/**
 * The version of a file this program last read or wrote: its stamp and a hash of its
 * bytes, so that another program's change is seen before a write would overwrite it.
 * The stamp alone answers when it cannot be fooled; a file changed within the clock's
 * resolution of the recorded moment (a "racy" stamp) is hashed again to be sure.
 */
class FileVersion {
public:
    /** Nothing recorded: every question answers "unchanged" (the file is not followed). */
    FileVersion() = default;
    /**
     * The file at `path` holds `bytes` (nothing there: empty bytes and `stamp.exists`
     * false); `stamp` was taken before the bytes were read or after they were written.
     */
    FileVersion(const FileStamp& stamp, const QByteArray& bytes);

    bool known() const { return m_known; }
    bool existed() const { return m_stamp.exists; }

    enum class Change { None, Changed, Gone };
    /**
     * Whether `path` still holds this version. On Changed, `current` receives the bytes
     * it holds now and `currentVersion` their version (both as read at this call), so a
     * merge works on exactly what was compared. Same bytes under a new stamp (a copy
     * put back, a touch) count as unchanged and the new stamp is kept. Throws when the
     * file cannot be read.
     */
    Change compare(const QString& path, QByteArray* current = nullptr, FileVersion* currentVersion = nullptr);

    /**
     * compare() for a caller that still has this version's bytes: a stamp that cannot be
     * trusted is settled by comparing the file with `bytes` piece by piece, without a copy
     * of the file or a hash of it. Nothing is handed back on Changed.
     */
    Change compareHeld(const QString& path, QByteArrayView bytes);

    /** The same bytes as `other` (the stamps may differ). */
    bool sameBytes(const FileVersion& other) const { return m_known && other.m_known && m_hash == other.m_hash; }

private:
    FileStamp m_stamp;
    QByteArray m_hash;
    bool m_known = false;
    bool m_racy = false; // cleared once a later look proves the stamp trustworthy
};

} // namespace vdm
