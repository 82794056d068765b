// SPDX-License-Identifier: MIT
#include "data/mappedfile.h"

#include "data/databasefile.h"
#include "data/errors.h"
#include "data/regularfile.h"

#include <QFileInfo>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

#include <sys/mman.h>
#include <unistd.h>

namespace vdm {
namespace {

/**
 * The mappings a read past a shortened file's end may hit. The system tells of such a
 * read by a bus error on the reading thread; the handler puts a page of zeros where the
 * file's page was, notes it, and the read goes on. Slots are claimed and read without
 * locks, as a signal handler must.
 */
struct Guarded {
    std::atomic<bool> claimed{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0}; // 0: the slot guards nothing
    std::atomic<bool> hit{false};
};
constexpr int kGuarded = 64;
Guarded g_guarded[kGuarded];
struct sigaction g_previous {};
std::uintptr_t g_page = 4096;

void onBusError(int signal, siginfo_t* info, void* context)
{
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Guarded& g : g_guarded) {
        if (at < g.begin.load() || at >= g.end.load())
            continue;
        void* page = reinterpret_cast<void*>(at & ~(g_page - 1));
        if (mmap(page, g_page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
            break;
        g.hit = true;
        return;
    }
    // Not a read of ours: as if this handler were not there.
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) {
            g_previous.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    // The default: the same read faults again at once and ends the program, as without us.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(SIGBUS, &fallback, nullptr);
}

void installGuard()
{
    static std::once_flag once;
    std::call_once(once, [] {
        g_page = std::uintptr_t(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previous);
    });
}

/** A slot guarding [begin, end); -1 when all are taken (the mapping is then not used). */
int guard(const void* begin, std::size_t length)
{
    installGuard();
    for (int i = 0; i < kGuarded; ++i) {
        Guarded& g = g_guarded[i];
        if (g.claimed.exchange(true))
            continue;
        g.hit = false;
        g.begin = reinterpret_cast<std::uintptr_t>(begin);
        g.end = reinterpret_cast<std::uintptr_t>(begin) + length;
        return i;
    }
    return -1;
}

void unguard(int slot)
{
    Guarded& g = g_guarded[slot];
    g.end = 0;
    g.begin = 0;
    g.claimed = false;
}

} // namespace

MappedFile::MappedFile(const QString& path) : m_path(path)
{
    RegularFile file(path);
    if (file.isOpen())
        checkDatabaseSize(path, file.size());
    if (file.isOpen() && file.size() > 0) {
        const auto length = std::size_t(file.size());
        void* map = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, file.handle(), 0);
        if (map != MAP_FAILED) {
            m_slot = guard(map, length);
            if (m_slot >= 0) {
                m_map = map;
                m_length = length;
                madvise(map, length, MADV_SEQUENTIAL);
                m_bytes = QByteArray::fromRawData(static_cast<const char*>(map), qsizetype(length));
                return;
            }
            munmap(map, length);
        }
    }
    // Not to be mapped: read as a copy (an empty file, one reporting no size, no room).
    m_bytes = readDatabaseFile(path);
}

MappedFile::~MappedFile()
{
    if (!m_map)
        return;
    m_bytes = QByteArray();
    unguard(m_slot); // no read of it is left
    munmap(m_map, m_length);
}

bool MappedFile::cutShort() const
{
    return m_map && g_guarded[m_slot].hit.load();
}

void MappedFile::checkWhole() const
{
    if (cutShort())
        throwCannotOpen(QFileInfo(m_path).absoluteFilePath());
}

} // namespace vdm
