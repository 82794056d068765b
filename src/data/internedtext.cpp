// SPDX-License-Identifier: MIT
#include "data/internedtext.h"

#include "data/textarena.h"

#include <QHashFunctions>
#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

namespace vdm {
namespace {

// The texts lie in chunks that never move, so a reader finds one by its number without a
// lock while another thread adds texts. A chunk is zeroed memory from the system: only
// the pages written hold memory, so the sample world's few texts cost a page, not a chunk.
constexpr unsigned kChunkBits = 16;
constexpr std::uint32_t kChunkSize = 1u << kChunkBits;
constexpr std::size_t kChunks = std::size_t(1) << (32 - kChunkBits);
// Zero before the program starts (no page of it is written until a chunk is made).
std::array<std::atomic<QByteArray*>, kChunks> g_chunks;

class Table {
public:
    std::uint32_t intern(QByteArrayView text)
    {
        const auto hash = std::uint32_t(qHash(text));
        const std::lock_guard hold(m_lock);
        Slot& slot = m_slots[slotOf(text, hash)];
        if (slot.id != 0)
            return slot.id;
        if (m_count == UINT32_MAX)
            throw std::length_error("too many distinct texts");
        const std::uint32_t id = ++m_count;
        QByteArray* chunk = g_chunks[id >> kChunkBits].load(std::memory_order_relaxed);
        if (!chunk) {
            chunk = static_cast<QByteArray*>(std::calloc(kChunkSize, sizeof(QByteArray)));
            if (!chunk)
                throw std::bad_alloc();
            g_chunks[id >> kChunkBits].store(chunk, std::memory_order_release);
        }
        new (chunk + (id & (kChunkSize - 1))) QByteArray(m_arena.copy(text));
        slot = Slot{id, hash};
        if (std::size_t(m_count) * 2 > m_slots.size())
            grow();
        return id;
    }

    const QByteArray& text(std::uint32_t id) const
    {
        return g_chunks[id >> kChunkBits].load(std::memory_order_acquire)[id & (kChunkSize - 1)];
    }

private:
    struct Slot {
        std::uint32_t id = 0; // 0: empty
        std::uint32_t hash = 0;
    };

    /** The slot holding `text`, or the empty one where it would go (open addressing, at most half full). */
    std::size_t slotOf(QByteArrayView text, std::uint32_t hash) const
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = m_slots[at];
            if (slot.id == 0 || (slot.hash == hash && QByteArrayView(this->text(slot.id)) == text))
                return at;
        }
    }

    void grow()
    {
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(m_slots.size() * 2));
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.id == 0)
                continue;
            std::size_t at = slot.hash & mask;
            while (m_slots[at].id != 0)
                at = (at + 1) & mask;
            m_slots[at] = slot;
        }
    }

    std::mutex m_lock;
    TextArena m_arena;
    std::vector<Slot> m_slots = std::vector<Slot>(64);
    std::uint32_t m_count = 0;
};

Table& table()
{
    // Never destroyed: a text may be read by a thread still running at exit.
    static Table* const t = new Table;
    return *t;
}

} // namespace

InternedText::InternedText(QByteArrayView text) : m_id(text.isEmpty() ? 0 : table().intern(text))
{}

QByteArrayView InternedText::view() const
{
    return m_id == 0 ? QByteArrayView() : QByteArrayView(table().text(m_id));
}

QByteArray InternedText::bytes() const
{
    return m_id == 0 ? QByteArray() : table().text(m_id);
}

} // namespace vdm
