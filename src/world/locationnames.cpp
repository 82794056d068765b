// SPDX-License-Identifier: MIT
#include "world/locationnames.h"

#include "data/codepage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>

namespace vdm {
namespace {

/**
 * Each byte's case-folded text, in UTF-16 units. Folding goes character by character, so
 * a name's folded text is its bytes' folded texts one after another: sorting by that is
 * sorting by QString::toCaseFolded() without building a QString per name.
 */
struct FoldTable {
    std::array<std::array<char16_t, 4>, 256> units{};
    std::array<std::uint8_t, 256> length{};
    FoldTable()
    {
        for (int b = 0; b < 256; ++b) {
            const QString folded = QString(CodePage::toUnicode(static_cast<unsigned char>(b))).toCaseFolded();
            const qsizetype n = std::min<qsizetype>(folded.size(), 4);
            for (qsizetype k = 0; k < n; ++k)
                units[std::size_t(b)][std::size_t(k)] = folded[k].unicode();
            length[std::size_t(b)] = std::uint8_t(n);
        }
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
    // Every folded name in one buffer; the first four units of each also packed into one
    // number, so most comparisons are one integer comparison.
    std::vector<std::size_t> begin(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t units = 0;
        for (const char c : locations[i].Name)
            units += fold.length[static_cast<unsigned char>(c)];
        begin[i + 1] = begin[i] + units;
    }
    std::vector<char16_t> keys(begin[n]);
    std::vector<std::uint64_t> head(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        char16_t* out = keys.data() + begin[i];
        for (const char c : locations[i].Name) {
            const auto b = std::size_t(static_cast<unsigned char>(c));
            out = std::copy_n(fold.units[b].data(), fold.length[b], out);
        }
        std::uint64_t packed = 0;
        const std::size_t size = begin[i + 1] - begin[i];
        for (std::size_t k = 0; k < 4; ++k)
            packed = packed << 16 | (k < size ? keys[begin[i] + k] : 0u);
        head[i] = packed;
    }
    // A shorter head padded with zeros never sorts after a longer text it begins, so a head
    // that is smaller means a name that is smaller; equal heads compare the whole text.
    // Equal names keep file order.
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const auto ua = std::size_t(a), ub = std::size_t(b);
        if (head[ua] != head[ub])
            return head[ua] < head[ub];
        const char16_t* ka = keys.data() + begin[ua];
        const char16_t* ea = keys.data() + begin[ua + 1];
        const char16_t* kb = keys.data() + begin[ub];
        const char16_t* eb = keys.data() + begin[ub + 1];
        const auto [pa, pb] = std::mismatch(ka, ea, kb, eb);
        if (pa == ea || pb == eb)
            return pa == ea && pb == eb ? a < b : pa == ea;
        return *pa < *pb;
    });

    std::vector<ListedLocation> sorted;
    sorted.reserve(n);
    for (const int i : order)
        sorted.push_back({CodePage::decode(locations[std::size_t(i)].Name), i});
    return sorted;
}

} // namespace vdm
