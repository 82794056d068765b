// SPDX-License-Identifier: MIT
#include "world/locationnames.h"

#include "data/codepage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace vdm {
namespace {

/**
 * Each byte's case-folded text, in UTF-16 units. Folding goes character by character, so
 * a name's folded text is its bytes' folded texts one after another: sorting by that is
 * sorting by QString::toCaseFolded() without building a QString per name.
 *
 * The code page folds to fewer than 256 different units, so each unit also has a rank of
 * one byte that sorts as the unit does: a name's first sixteen ranks fit in two numbers.
 */
struct FoldTable {
    std::array<std::array<char16_t, 4>, 256> units{};
    std::array<std::array<std::uint8_t, 4>, 256> ranks{};
    std::array<std::uint8_t, 256> length{};
    bool ranked = false; // every unit has a rank of its own
    FoldTable()
    {
        std::vector<char16_t> all;
        for (int b = 0; b < 256; ++b) {
            const QString folded = QString(CodePage::toUnicode(static_cast<unsigned char>(b))).toCaseFolded();
            const qsizetype n = std::min<qsizetype>(folded.size(), 4);
            for (qsizetype k = 0; k < n; ++k) {
                units[std::size_t(b)][std::size_t(k)] = folded[k].unicode();
                all.push_back(folded[k].unicode());
            }
            length[std::size_t(b)] = std::uint8_t(n);
        }
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        ranked = all.size() <= 256;
        if (!ranked)
            return; // no head then: every comparison looks at the whole text
        for (std::size_t b = 0; b < 256; ++b)
            for (std::size_t k = 0; k < length[b]; ++k)
                ranks[b][k] = std::uint8_t(std::lower_bound(all.begin(), all.end(), units[b][k]) - all.begin());
    }
};

const FoldTable& foldTable()
{
    static const FoldTable table;
    return table;
}

} // namespace

std::vector<ListedLocation> sortedLocationNames(const LocationList& locations)
{
    const FoldTable& fold = foldTable();
    const std::size_t n = locations.size();
    // Every folded name in one buffer, and beside each location the ranks of its first
    // sixteen units packed into two numbers: the sort moves these small entries, and most
    // comparisons end at the first or second number without looking at the buffer.
    struct Entry {
        std::uint64_t head[2];
        int index;
    };
    // Each record is visited once, in file order, where the records lie one after another
    // in memory: its name folded and decoded at once. Reaching the records in list order
    // instead would wait on memory for almost every one of them.
    std::vector<std::size_t> begin(n + 1, 0);
    std::vector<char16_t> keys;
    keys.reserve(n * 16);
    std::vector<Entry> entries(n);
    std::vector<QString> decoded;
    decoded.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        decoded.push_back(CodePage::decode(locations[i].Name));
        Entry& e = entries[i];
        e.head[0] = e.head[1] = 0;
        e.index = int(i);
        std::size_t units = 0;
        for (const char c : locations[i].Name) {
            const auto b = std::size_t(static_cast<unsigned char>(c));
            keys.insert(keys.end(), fold.units[b].data(), fold.units[b].data() + fold.length[b]);
            for (std::size_t k = 0; k < fold.length[b] && fold.ranked; ++k, ++units)
                if (units < 16)
                    e.head[units / 8] |= std::uint64_t(fold.ranks[b][k]) << (56 - 8 * (units % 8));
        }
        begin[i + 1] = keys.size();
    }
    // A shorter head padded with zeros never sorts after a longer text it begins, so a head
    // that is smaller means a name that is smaller; equal heads compare the whole text.
    // Equal names keep file order.
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.head[0] != b.head[0])
            return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1])
            return a.head[1] < b.head[1];
        const auto ua = std::size_t(a.index), ub = std::size_t(b.index);
        const char16_t* ka = keys.data() + begin[ua];
        const char16_t* ea = keys.data() + begin[ua + 1];
        const char16_t* kb = keys.data() + begin[ub];
        const char16_t* eb = keys.data() + begin[ub + 1];
        const auto [pa, pb] = std::mismatch(ka, ea, kb, eb);
        if (pa == ea || pb == eb)
            return pa == ea && pb == eb ? a.index < b.index : pa == ea;
        return *pa < *pb;
    });

    std::vector<ListedLocation> sorted;
    sorted.reserve(n);
    for (const Entry& e : entries)
        sorted.push_back({std::move(decoded[std::size_t(e.index)]), e.index});
    return sorted;
}

} // namespace vdm
