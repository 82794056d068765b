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

// Every folded name in one buffer, and beside each location the ranks of its first sixteen
// units packed into two numbers: the sort moves these small entries, and most comparisons
// end at the first or second number without looking at the buffer.
struct NamesToSort::Data {
    struct Entry {
        std::uint64_t head[2];
        int index;
    };
    std::vector<std::size_t> begin;
    std::vector<char16_t> keys;
    std::vector<Entry> entries;
    std::vector<QString> decoded;
};

NamesToSort::NamesToSort(const LocationList& locations) : m_data(std::make_unique<Data>())
{
    const FoldTable& fold = foldTable();
    const std::size_t n = locations.size();
    using Entry = Data::Entry;
    // Each record is visited once, in file order, where the records lie one after another
    // in memory: its name folded and decoded at once. Reaching the records in list order
    // instead would wait on memory for almost every one of them.
    std::vector<std::size_t>& begin = m_data->begin;
    std::vector<char16_t>& keys = m_data->keys;
    std::vector<Entry>& entries = m_data->entries;
    std::vector<QString>& decoded = m_data->decoded;
    begin.assign(n + 1, 0);
    keys.resize(n * 16);
    entries.resize(n);
    decoded.reserve(n);
    std::size_t used = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const QByteArray& name = locations[i].Name;
        decoded.push_back(CodePage::decode(name));
        // Every byte writes all four places of its folded text and moves on by its length,
        // so the buffer keeps room for four units a byte.
        if (keys.size() < used + 4 * std::size_t(name.size()))
            keys.resize(std::max(2 * keys.size(), used + 4 * std::size_t(name.size())));
        char16_t* out = keys.data() + used;
        std::array<std::uint8_t, 16 + 4> ranks{}; // the first sixteen, and room to overrun
        std::size_t ranked = 0;
        for (const char c : name) {
            const auto b = std::size_t(static_cast<unsigned char>(c));
            std::copy_n(fold.units[b].data(), 4, out);
            out += fold.length[b];
            if (ranked < 16) {
                std::copy_n(fold.ranks[b].data(), 4, ranks.data() + ranked);
                ranked += fold.length[b];
            }
        }
        used = std::size_t(out - keys.data());
        begin[i + 1] = used;
        Entry& e = entries[i];
        e.index = int(i);
        for (std::size_t word = 0; word < 2; ++word) {
            std::uint64_t packed = 0;
            for (std::size_t k = 0; k < 8; ++k) // a padding zero past the name's end, as a shorter head has
                packed = packed << 8 | (word * 8 + k < ranked && fold.ranked ? ranks[word * 8 + k] : 0u);
            e.head[word] = packed;
        }
    }
}

NamesToSort::NamesToSort(NamesToSort&&) noexcept = default;
NamesToSort& NamesToSort::operator=(NamesToSort&&) noexcept = default;
NamesToSort::~NamesToSort() = default;

std::vector<ListedLocation> NamesToSort::sorted() &&
{
    using Entry = Data::Entry;
    const std::vector<std::size_t>& begin = m_data->begin;
    const std::vector<char16_t>& keys = m_data->keys;
    std::vector<Entry>& entries = m_data->entries;
    std::vector<QString>& decoded = m_data->decoded;
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
    sorted.reserve(entries.size());
    for (const Entry& e : entries)
        sorted.push_back({std::move(decoded[std::size_t(e.index)]), e.index});
    m_data.reset();
    return sorted;
}

std::vector<ListedLocation> sortedLocationNames(const LocationList& locations)
{
    return NamesToSort(locations).sorted();
}

} // namespace vdm
