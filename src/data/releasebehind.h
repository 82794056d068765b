// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <cstdint>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace vdm {

/**
 * Gives the pages of a buffer that a reader has passed back to the system (they read as
 * zeros afterwards), a few megabytes at a time: a big file's bytes then cost a window's
 * worth of memory instead of the whole file's beside what is made of them. Only for a
 * buffer the reader owns alone and never reads behind its position again.
 */
class ReleaseBehind {
public:
    explicit ReleaseBehind(char* data) : m_data(data) {}

    /** `bytes`' pages may be given back: true when the buffer is the caller's alone. */
    static bool mayRelease(const QByteArray& bytes) { return !bytes.isEmpty() && bytes.isDetached(); }

    /**
     * Runs `read(bytes, release)` over a buffer taken from the caller: `release` gives the
     * pages back as the reader passes them when the buffer was the caller's alone, and is
     * null when it is shared (its pages are not ours to give back then).
     */
    template <typename Read> static auto readTaken(QByteArray&& bytes, Read read)
    {
        const QByteArray owned = std::move(bytes);
        if (!mayRelease(owned))
            return read(owned, static_cast<ReleaseBehind*>(nullptr));
        // Taken while the buffer is ours alone; a reader never reads behind its position.
        ReleaseBehind release(const_cast<char*>(owned.constData()));
        return read(owned, &release);
    }

    /** Nothing before `position` will be read again. */
    void passed(qsizetype position)
    {
        static const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
        const auto from = (reinterpret_cast<std::uintptr_t>(m_data + m_released) + page - 1) & ~(page - 1);
        const auto to = reinterpret_cast<std::uintptr_t>(m_data + position) & ~(page - 1);
        if (to < from + kStep)
            return;
        // A refusal only leaves the pages where they are.
        madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
        m_released = position;
    }

private:
    static constexpr std::uintptr_t kStep = 4 * 1024 * 1024;
    char* m_data;
    qsizetype m_released = 0;
};

} // namespace vdm
