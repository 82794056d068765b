// SPDX-License-Identifier: MIT
#include "world/fileversion.h"

#include "data/databasefile.h"

#include <QFile>
#include <QHashFunctions>

#include <array>
#include <ctime>
#include <sys/stat.h>

namespace vdm {
namespace {

/**
 * Two changes closer together than this may carry the same time on coarse file systems
 * (two seconds on FAT, one on older network shares); finer clocks only make it safer.
 */
constexpr std::int64_t kClockResolutionNs = 2'000'000'000;

std::int64_t nanoseconds(const timespec& t)
{
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t nowNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return nanoseconds(t);
}

/** A later change could still carry this stamp's time. */
bool racy(const FileStamp& stamp)
{
    return stamp.exists && nowNs() - stamp.modified < kClockResolutionNs;
}

/**
 * 128 bits of two seeded runs of Qt's fast byte hash: it only tells this run's versions of
 * a file apart (never stored, never shown to another program), and a cryptographic hash
 * of a million places' "user.gdb" took over a second, at every load and every write.
 */
QByteArray hashOf(const QByteArray& bytes)
{
    const std::array<std::size_t, 2> halves{qHashBits(bytes.constData(), std::size_t(bytes.size()), 0x9e3779b97f4a7c15u),
                                            qHashBits(bytes.constData(), std::size_t(bytes.size()), 0xc2b2ae3d27d4eb4fu)};
    return QByteArray(reinterpret_cast<const char*>(halves.data()), qsizetype(sizeof halves));
}

} // namespace

FileStamp stampOf(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

FileVersion::FileVersion(const FileStamp& stamp, const QByteArray& bytes)
    : m_stamp(stamp), m_hash(hashOf(bytes)), m_known(true), m_racy(racy(stamp))
{}

FileVersion::Change FileVersion::compare(const QString& path, QByteArray* current, FileVersion* currentVersion)
{
    if (!m_known)
        return Change::None;
    const FileStamp now = stampOf(path);
    if (!now.exists || !databaseExists(path)) // a folder or a device there is no version of it
        return m_stamp.exists ? Change::Gone : Change::None;
    if (now == m_stamp && !m_racy)
        return Change::None;
    QByteArray bytes = readDatabaseFile(path);
    FileVersion read(now, bytes);
    if (m_stamp.exists && read.m_hash == m_hash) {
        m_stamp = now; // the same bytes: only the stamp moved on (or a racy one is now proven)
        m_racy = racy(now);
        return Change::None;
    }
    if (current)
        *current = std::move(bytes);
    if (currentVersion)
        *currentVersion = std::move(read);
    return Change::Changed;
}

} // namespace vdm
