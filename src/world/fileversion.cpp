// SPDX-License-Identifier: MIT
#include "world/fileversion.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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

/** Rotates left by `r` bits (0 < r < 64). */
constexpr std::uint64_t rotl(std::uint64_t v, int r)
{
    return v << r | v >> (64 - r);
}

std::uint64_t load64(const char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

/**
 * A 64-bit hash of `n` bytes from `seed`: four lanes of multiply and rotate over 32 bytes a
 * step, so the lanes' multiplications overlap and a million places' "user.gdb" (67 MB)
 * hashes in a few milliseconds where Qt's byte hash, which runs a keyed hash of eight bytes a
 * round without hardware help, took a quarter of a second on the way to the first frame.
 */
std::uint64_t fastHash(const char* p, std::size_t n, std::uint64_t seed)
{
    constexpr std::uint64_t k1 = 0x9E3779B185EBCA87ull, k2 = 0xC2B2AE3D27D4EB4Full, k3 = 0x165667B19E3779F9ull,
                            k4 = 0x85EBCA77C2B2AE63ull, k5 = 0x27D4EB2F165667C5ull;
    const auto round = [](std::uint64_t acc, std::uint64_t input) { return rotl(acc + input * k2, 31) * k1; };
    const auto merge = [&](std::uint64_t acc, std::uint64_t lane) { return (acc ^ round(0, lane)) * k1 + k4; };
    const char* const end = p + n;
    std::uint64_t h;
    if (n >= 32) {
        std::uint64_t v1 = seed + k1 + k2, v2 = seed + k2, v3 = seed, v4 = seed - k1;
        for (; end - p >= 32; p += 32) {
            v1 = round(v1, load64(p));
            v2 = round(v2, load64(p + 8));
            v3 = round(v3, load64(p + 16));
            v4 = round(v4, load64(p + 24));
        }
        h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        h = merge(merge(merge(merge(h, v1), v2), v3), v4);
    } else {
        h = seed + k5;
    }
    h += std::uint64_t(n);
    for (; end - p >= 8; p += 8)
        h = rotl(h ^ round(0, load64(p)), 27) * k1 + k4;
    for (; p < end; ++p)
        h = rotl(h ^ (std::uint64_t(static_cast<unsigned char>(*p)) * k5), 11) * k1;
    h ^= h >> 33;
    h *= k2;
    h ^= h >> 29;
    h *= k3;
    h ^= h >> 32;
    return h;
}

/**
 * The size and a fast hash of the bytes, seeded afresh in each run: it only tells this
 * run's versions of a file apart (never stored, never shown to another program). A
 * cryptographic hash of a million places' "user.gdb" took over a second, and even a second
 * fast run doubled the cost of every load and write; the run's own seed keeps the hash of
 * a file from being known before the run starts.
 */
QByteArray hashOf(const QByteArray& bytes)
{
    static const std::uint64_t seed = QRandomGenerator::system()->generate64();
    const std::array<std::uint64_t, 2> halves{std::uint64_t(bytes.size()),
                                              fastHash(bytes.constData(), std::size_t(bytes.size()), seed)};
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
