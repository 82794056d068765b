// SPDX-License-Identifier: MIT
#include "world/fileversion.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QHashFunctions>

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace vdm {
namespace {

/**
 * Two changes closer together than this may carry the same time on coarse file systems
 * (two seconds on FAT, one on older network shares and whole-second inodes).
 */
constexpr std::int64_t kCoarseResolutionNs = 2'000'000'000;
/**
 * On a local file system that keeps nanoseconds a change takes the kernel's clock, which
 * moves on at least every 10 ms (one tick at the lowest tick rate); five ticks of margin.
 */
constexpr std::int64_t kFineResolutionNs = 50'000'000;

/** The file systems whose times come from the kernel's clock in nanoseconds. */
bool keepsFineTimes(const struct statfs& fs)
{
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0x01021994: // tmpfs
    case 0xF2F52010: // f2fs
    case 0x2FC12FC1: // zfs
    case 0x794C7630: // overlay (the times of the file system beneath)
        return true;
    default:
        return false;
    }
}

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
    return stamp.exists && nowNs() - stamp.modified < (stamp.resolution > 0 ? stamp.resolution : kCoarseResolutionNs);
}

/**
 * The size and one run of Qt's fast byte hash, seeded afresh in each run: it only tells this
 * run's versions of a file apart (never stored, never shown to another program). A
 * cryptographic hash of a million places' "user.gdb" took over a second, and even a second
 * fast run doubled the cost of every load and write; a seed no other program can know
 * keeps a file made to match a version's hash out of reach.
 */
QByteArray hashOf(const QByteArray& bytes)
{
    static const std::size_t seed = std::size_t(QRandomGenerator::system()->generate64());
    const std::array<std::uint64_t, 2> halves{
        std::uint64_t(bytes.size()), std::uint64_t(qHashBits(bytes.constData(), std::size_t(bytes.size()), seed))};
    return QByteArray(reinterpret_cast<const char*>(halves.data()), qsizetype(sizeof halves));
}

/** Whether the file at `path` holds exactly `bytes`, read a piece at a time. Throws when it cannot be read. */
bool holdsBytes(const QString& path, QByteArrayView bytes)
{
    RegularFile file(path);
    if (!file.isOpen())
        throwCannotOpen(QFileInfo(path).absoluteFilePath());
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qsizetype at = 0;
    while (true) {
        const ssize_t n = ::read(file.handle(), piece.data(), std::size_t(kPiece));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throwCannotOpen(QFileInfo(path).absoluteFilePath());
        }
        if (n == 0)
            return at == bytes.size();
        if (n > bytes.size() - at || std::memcmp(piece.constData(), bytes.data() + at, std::size_t(n)) != 0)
            return false;
        at += n;
    }
}

} // namespace

FileStamp stampOf(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (path.isEmpty() || ::stat(native.constData(), &st) != 0)
        return {};
    // A time without a fraction of a second is most likely a whole-second inode (ext3's
    // small ones) on a file system that otherwise keeps nanoseconds.
    struct statfs fs {};
    const bool fine = st.st_mtim.tv_nsec != 0 && ::statfs(native.constData(), &fs) == 0 && keepsFineTimes(fs);
    return {true,
            st.st_dev,
            st.st_ino,
            st.st_size,
            nanoseconds(st.st_mtim),
            nanoseconds(st.st_ctim),
            fine ? kFineResolutionNs : kCoarseResolutionNs};
}

FileVersion::FileVersion(const FileStamp& stamp, const QByteArray& bytes)
    : m_stamp(stamp), m_hash(hashOf(bytes)), m_known(true), m_racy(racy(stamp))
{}

FileVersion::Change FileVersion::compareHeld(const QString& path, QByteArrayView bytes)
{
    if (!m_known)
        return Change::None;
    const FileStamp now = stampOf(path);
    if (!now.exists || !databaseExists(path))
        return m_stamp.exists ? Change::Gone : Change::None;
    if (now == m_stamp && !m_racy)
        return Change::None;
    if (!m_stamp.exists || !holdsBytes(path, bytes))
        return Change::Changed;
    m_stamp = now;
    m_racy = racy(now);
    return Change::None;
}

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
