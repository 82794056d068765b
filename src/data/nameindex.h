// SPDX-License-Identifier: MIT
#pragma once

#include "data/linereader.h"
#include "data/location.h"
#include "data/zeroedpages.h"

#include <QByteArrayView>

#include <cstdint>
#include <cstring>

namespace vdm {

/**
 * First location of each name, in one open-addressed table: a million names cost one
 * allocation instead of one node each, and a look-up mostly reads one slot and the name
 * it points at. The slots point into the locations' own names, so the index lives no
 * longer than the list it was made of, unchanged.
 *
 * At a million places the table and the names are far larger than the caches, so each
 * look-up waits for memory twice (the slot, then the name). Callers with many names to
 * find ask for them ahead (prefetchSlot as each name is read, prefetchName for a run of
 * them before they are looked up), so those waits overlap instead of adding up. The
 * table lies in zeroed pages asked for in large pages: a random slot then rarely costs a
 * walk of the page tables besides its own fetch.
 */
class NameIndex {
public:
    explicit NameIndex(const LocationList& locations);

    /**
     * A hash of the bytes, read eight at a time (the last word overlapping the one before
     * it, so nothing past the name is read): names are short, and a byte at a time made
     * hashing a large part of a look-up.
     */
    static std::uint64_t hashOf(QByteArrayView name);

    /** Index of the first location of that name, or -1. */
    std::int32_t find(QByteArrayView name) const { return find(name, hashOf(name)); }
    std::int32_t find(QByteArrayView name, std::uint64_t hash) const
    {
        return name.size() > kLongestName ? -1 : std::int32_t(m_slots[slotOf(name, hash)].place) - 1;
    }

    /** The first slot a name of that hash is looked for in, on its way into the cache. */
    void prefetchSlot(std::uint64_t hash) const { __builtin_prefetch(&m_slots[homeOf(hash)]); }
    /** The name that slot points at, once the slot itself has arrived. */
    void prefetchName(std::uint64_t hash) const
    {
        const Slot& slot = m_slots[homeOf(hash)];
        if (slot.place != 0)
            __builtin_prefetch(slot.data);
    }

    /**
     * Where a name is first looked for in an index of `names` names, and the bits of its
     * hash compared before its bytes: names alike in both (and in length) are told apart
     * by their bytes alone.
     */
    struct Fingerprint {
        std::size_t home;
        std::uint16_t tag;
        bool operator==(const Fingerprint&) const = default;
    };
    static Fingerprint fingerprintOf(QByteArrayView name, std::size_t names)
    {
        const std::uint64_t hash = hashOf(name);
        return {homeOf(hash, capacityFor(names) - 1), tagOf(hash)};
    }

private:
    /** Equal bytes, read a word at a time and never outside the `n` bytes of either side. */
    static bool sameBytes(const char* a, const char* b, std::size_t n)
    {
        if (n >= 8) {
            for (std::size_t at = 0; at + 8 < n; at += 8)
                if (load64(a + at) != load64(b + at))
                    return false;
            return load64(a + n - 8) == load64(b + n - 8); // the last word overlaps the one before
        }
        if (n >= 4)
            return load32(a) == load32(b) && load32(a + n - 4) == load32(b + n - 4);
        for (std::size_t at = 0; at < n; ++at)
            if (a[at] != b[at])
                return false;
        return true;
    }

    // A line of the file holds far fewer characters: no route could name a longer name.
    static constexpr qsizetype kLongestName = 0xFFFF;
    static_assert(LineReader::ClassicLimit < kLongestName);
    // Sixteen bytes: a million places' table is 32 MB, not 48, beside the file being read.
    // All zeros is an empty slot, so fresh zeroed pages need no filling.
    struct Slot {
        const char* data;
        std::uint32_t place; // index + 1; 0: empty
        std::uint16_t size;
        std::uint16_t tag;
    };
    static_assert(sizeof(Slot) == 16);

    /** The 128-bit product of two words, folded to 64 bits: every input bit reaches every output bit. */
    static std::uint64_t fold(std::uint64_t a, std::uint64_t b)
    {
        const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
        return std::uint64_t(product) ^ std::uint64_t(product >> 64);
    }
    static std::uint64_t load64(const char* p)
    {
        std::uint64_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static std::uint64_t load32(const char* p)
    {
        std::uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }

    static std::size_t capacityFor(std::size_t names)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * names) // at most half full: probe runs stay short
            capacity *= 2;
        return capacity;
    }
    static std::size_t homeOf(std::uint64_t hash, std::size_t mask) { return std::size_t(hash) & mask; }
    std::size_t homeOf(std::uint64_t hash) const { return homeOf(hash, m_mask); }
    static std::uint16_t tagOf(std::uint64_t hash) { return std::uint16_t(hash >> 48); }

    /** The place of the slot holding that name, or of the empty slot where it would go. */
    std::size_t slotOf(QByteArrayView name, std::uint64_t hash) const
    {
        const std::uint16_t tag = tagOf(hash);
        for (std::size_t at = homeOf(hash);; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.place == 0
                || (slot.tag == tag && slot.size == name.size()
                    && sameBytes(name.data(), slot.data, std::size_t(name.size()))))
                return at;
        }
    }

    ZeroedPages<Slot> m_slots;
    std::size_t m_mask;
};

// Inline: the reader hashes every name it reads.
inline std::uint64_t NameIndex::hashOf(QByteArrayView name)
{
    constexpr std::uint64_t k0 = 0xa0761d6478bd642full, k1 = 0xe7037ed1a0b428dbull, k2 = 0x8ebc6af09c88c6e3ull;
    const char* p = name.data();
    const std::size_t n = std::size_t(name.size());
    std::uint64_t a = 0, b = 0, seed = k0 ^ n;
    if (n <= 16) {
        if (n >= 4) {
            const std::size_t middle = (n >> 3) << 2; // 0 below 8 bytes, else 4
            a = (load32(p) << 32) | load32(p + middle);
            b = (load32(p + n - 4) << 32) | load32(p + n - 4 - middle);
        } else if (n > 0) {
            a = (std::uint64_t(std::uint8_t(p[0])) << 16) | (std::uint64_t(std::uint8_t(p[n >> 1])) << 8)
                | std::uint8_t(p[n - 1]);
        }
    } else {
        std::size_t left = n;
        for (; left > 16; left -= 16, p += 16)
            seed = fold(load64(p) ^ k1, load64(p + 8) ^ seed);
        a = load64(p + left - 16);
        b = load64(p + left - 8);
    }
    return fold(k2 ^ n, fold(a ^ k1, b ^ seed));
}

} // namespace vdm
