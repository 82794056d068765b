// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>

#include <sys/mman.h>

namespace vdm {

/**
 * A fixed number of all-zero elements for a table read at random (hash tables of a
 * million entries): from 2 MB up they lie in pages of their own, asked for as large pages,
 * so a random read costs its own fetch and rarely a walk of the page tables besides (on a
 * virtual machine such a walk costs several fetches more). The pages come zeroed from the
 * system, so nothing is filled; the elements must be usable as all-zero bytes.
 */
template <typename T> class ZeroedPages {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    explicit ZeroedPages(std::size_t count) : m_count(count)
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kLargePage) {
            m_data = static_cast<T*>(std::calloc(count ? count : 1, sizeof(T)));
            if (!m_data)
                throw std::bad_alloc();
            return;
        }
        // One large page more than needed, so that the elements can start on a boundary.
        m_mapped = (bytes + kLargePage - 1) / kLargePage * kLargePage + kLargePage;
        m_mapping = mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m_mapping == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = (reinterpret_cast<std::uintptr_t>(m_mapping) + kLargePage - 1) & ~(kLargePage - 1);
        m_data = reinterpret_cast<T*>(start);
        // A refusal (no large pages on this system) leaves ordinary pages: only slower.
        madvise(m_data, m_mapped - kLargePage, MADV_HUGEPAGE);
    }
    ~ZeroedPages()
    {
        if (m_mapping)
            munmap(m_mapping, m_mapped);
        else
            std::free(m_data);
    }
    ZeroedPages(const ZeroedPages&) = delete;
    ZeroedPages& operator=(const ZeroedPages&) = delete;

    std::size_t size() const { return m_count; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }

private:
    static constexpr std::size_t kLargePage = std::size_t(2) << 20;
    T* m_data = nullptr;
    std::size_t m_count;
    void* m_mapping = nullptr;
    std::size_t m_mapped = 0;
};

} // namespace vdm
