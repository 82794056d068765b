// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

namespace vdm {

/**
 * A database file's bytes mapped into memory rather than copied: the system hands the
 * file's cached pages over as they are read, where a copy first cleared a page of its own
 * for every 4 KB and then copied into it (a tenth of a second for a million places'
 * locations). The pages may be given back behind a reader and read again later (they
 * come back from the file), so several readers may share one file.
 *
 * A file made shorter by another program while it is mapped would end the program on
 * the first read past its new end; here those pages read as zeros instead, and
 * cutShort() says so: the caller then takes the read as failed, as a copy that could not
 * read the file to its end is. A file that cannot be mapped (empty, or one of those that
 * report no size) is read into memory instead, with the same results.
 */
class MappedFile {
public:
    /**
     * The bytes of `path`; throws as readDatabaseFile does: "Cannot open file <absolute
     * path>" when it cannot be opened, and an Error for a file larger than kMaxDatabaseSize.
     */
    explicit MappedFile(const QString& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    /** The file's bytes, valid while this lives (a QByteArray that does not own them when mapped). */
    const QByteArray& bytes() const { return m_bytes; }
    /** The bytes are the file's own pages: given back, they are read again from the file. */
    bool mapped() const { return m_map != nullptr; }
    /** The file became shorter while mapped: what lay past its new end read as zeros. */
    bool cutShort() const;
    /** Throws "Cannot open file <absolute path>" when cutShort(). */
    void checkWhole() const;

private:
    QString m_path;
    QByteArray m_bytes;
    void* m_map = nullptr;
    std::size_t m_length = 0;
    int m_slot = -1; // where the guard against a shortened file keeps this mapping
};

} // namespace vdm
