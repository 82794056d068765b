// SPDX-License-Identifier: MIT
#include "world/locationnames.h"

#include "data/codepage.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vdm {
namespace {

/** Whether the collator counts x and y as one letter (they differ by accent at most). */
bool sameLetter(const QCollator& collator, QChar x, QChar y)
{
    const QString a(QLatin1Char('a')), b(QLatin1Char('b'));
    return collator.compare(QString(x) + b, QString(y) + a) > 0 && collator.compare(QString(y) + b, QString(x) + a) > 0;
}

/**
 * Each byte's case-folded text, in UTF-16 units, and the order of those units for the
 * list. Folding goes character by character, so a name's folded text is its bytes' folded
 * texts one after another.
 *
 * The order is the user's locale's, with the plain characters (ASCII) keeping the order of
 * their codes among themselves, so names of plain letters sort as they always have. Every
 * other unit the collator counts as a plain letter with an accent ("\u00FC" as "u") takes
 * that letter's letter rank, and the accent decides only between names of equal letter
 * ranks; one it counts as a letter of its own (Swedish "\u00E4" after "z") gets a letter
 * rank of its own where the collator puts it among the plain ones.
 *
 * Letter ranks below 256 (the code page folds to fewer units) let a name's first sixteen
 * ranks fit in two numbers.
 */
struct FoldTable {
    std::array<std::array<char16_t, 4>, 256> letters{}; // letter rank of each folded unit
    std::array<std::array<char16_t, 4>, 256> accents{}; // full rank: letter, then accent
    std::array<std::uint8_t, 256> length{};
    bool ranked = false; // every letter rank fits in one byte

    explicit FoldTable(const QLocale& locale)
    {
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::array<std::array<char16_t, 4>, 256> units{};
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

        // Letter groups in order; each holds the units of one letter rank.
        std::vector<std::vector<char16_t>> groups;
        std::vector<char16_t> plain, others;
        for (const char16_t u : all)
            (u < 0x80 ? plain : others).push_back(u);
        for (const char16_t u : plain)
            groups.push_back({u});
        const auto groupOf = [&](char16_t u) {
            for (std::size_t i = 0; i < groups.size(); ++i)
                if (std::find(groups[i].begin(), groups[i].end(), u) != groups[i].end())
                    return i;
            return groups.size();
        };
        std::stable_sort(others.begin(), others.end(), [&](char16_t x, char16_t y) {
            return collator.compare(QString(QChar(x)), QString(QChar(y))) < 0;
        });
        std::vector<char16_t> ignorable;
        for (const char16_t u : others) {
            const QChar c(u);
            if (collator.compare(QString(c), QString()) == 0) {
                ignorable.push_back(u); // control characters and the soft hyphen: after the rest, by code
                continue;
            }
            // A plain letter or digit with an accent: that letter's rank.
            const auto base = std::find_if(plain.begin(), plain.end(), [&](char16_t p) {
                return QChar(p).isLetterOrNumber() && sameLetter(collator, c, QChar(p));
            });
            if (base != plain.end()) {
                groups[groupOf(*base)].push_back(u);
                continue;
            }
            // A letter of its own: after the last plain unit the collator puts before it, and
            // after the units of its own kind placed there before it (they come in order).
            std::size_t after = 0; // the slot it follows, plus one; 0: first of all
            const char16_t* lastBelow = nullptr;
            for (const char16_t& p : plain) {
                if (collator.compare(QString(QChar(p)), QString(c)) < 0
                    && (!lastBelow || collator.compare(QString(QChar(*lastBelow)), QString(QChar(p))) <= 0))
                    lastBelow = &p;
            }
            if (lastBelow)
                after = groupOf(*lastBelow) + 1;
            while (after < groups.size() && groups[after].front() >= 0x80)
                ++after;
            if (after > 0 && groups[after - 1].front() >= 0x80
                && sameLetter(collator, c, QChar(groups[after - 1].front())))
                groups[after - 1].push_back(u);
            else
                groups.insert(groups.begin() + std::ptrdiff_t(after), std::vector<char16_t>{u});
        }
        for (const char16_t u : ignorable)
            groups.push_back({u});

        // Within a letter: the plain unit first, then the accented ones in the collator's order.
        std::vector<char16_t> fullOrder;
        for (const std::vector<char16_t>& slot : groups)
            fullOrder.insert(fullOrder.end(), slot.begin(), slot.end());
        std::vector<char16_t> letterOf(0x10000), fullOf(0x10000);
        for (std::size_t i = 0; i < groups.size(); ++i)
            for (const char16_t u : groups[i])
                letterOf[u] = char16_t(i);
        for (std::size_t i = 0; i < fullOrder.size(); ++i)
            fullOf[fullOrder[i]] = char16_t(i);
        for (std::size_t b = 0; b < 256; ++b)
            for (std::size_t k = 0; k < length[b]; ++k) {
                letters[b][k] = letterOf[units[b][k]];
                accents[b][k] = fullOf[units[b][k]];
            }
        ranked = groups.size() <= 256;
    }
};

/** The table of the user's locale, made once; another locale's, made anew. */
std::shared_ptr<const FoldTable> foldTable(const std::optional<QLocale>& locale)
{
    static const auto users = std::make_shared<const FoldTable>(QLocale());
    if (!locale || locale->name() == QLocale().name())
        return users;
    return std::make_shared<const FoldTable>(*locale);
}

} // namespace

namespace {

/**
 * -1, 0 or 1 as `a` sorts before, with or after `b` by the ranks of `table` (letters or
 * accents): the texts the two names fold to, unit by unit, a shorter one before a longer
 * one it begins. Folded from the bytes as it goes, so no name's ranks are kept anywhere.
 */
int compareFolded(const FoldTable& fold, const std::array<std::array<char16_t, 4>, 256>& table, QByteArrayView a,
                  QByteArrayView b)
{
    // The same byte folds to the same units: the common beginning is skipped whole.
    const auto [pa, pb] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    qsizetype ia = pa - a.begin(), ib = pb - b.begin();
    std::size_t ka = 0, kb = 0; // the unit within the byte at ia, ib
    while (true) {
        while (ia < a.size() && ka >= fold.length[static_cast<unsigned char>(a[ia])]) {
            ++ia;
            ka = 0;
        }
        while (ib < b.size() && kb >= fold.length[static_cast<unsigned char>(b[ib])]) {
            ++ib;
            kb = 0;
        }
        const bool endA = ia == a.size(), endB = ib == b.size();
        if (endA || endB)
            return endA && endB ? 0 : endA ? -1 : 1;
        const char16_t ua = table[static_cast<unsigned char>(a[ia])][ka];
        const char16_t ub = table[static_cast<unsigned char>(b[ib])][kb];
        if (ua != ub)
            return ua < ub ? -1 : 1;
        ++ka;
        ++kb;
    }
}

} // namespace

// Beside each location the letter ranks of its first twelve units, packed into two
// numbers: the sort moves these small entries, and most comparisons end at the first or
// second number. Only names equal that far are folded again, from their bytes; keeping
// every name's ranks took a hundred megabytes at a million places. An entry is 16 bytes
// (a million of them are made while the first frame's captions are being rendered, when
// the program holds the most it ever does at start-up): sixteen ranks made it 24.
struct NamesToSort::Data {
    struct Entry {
        std::uint64_t head; // ranks 1 to 8, the first in the highest byte
        std::uint32_t tail; // ranks 9 to 12
        std::int32_t index;
    };
    static constexpr std::size_t Packed = 12;
    static_assert(sizeof(Entry) == 16);
    std::shared_ptr<const FoldTable> fold;
    std::vector<Entry> entries;
    // The list's entries in file order, sorted in place at the end: no second list beside
    // them (32 MB at a million places). The names are shared with the locations.
    std::vector<ListedLocation> listed;
};

NamesToSort::NamesToSort(const LocationList& locations) : NamesToSort(locations, std::nullopt)
{}

NamesToSort::NamesToSort(const LocationList& locations, const std::optional<QLocale>& locale)
    : m_data(std::make_unique<Data>())
{
    m_data->fold = foldTable(locale);
    // Only the names are taken here (shared, no copy): the sort keys are made by sorted(),
    // so a sort held back for a while holds no memory of its own meanwhile.
    std::vector<ListedLocation>& listed = m_data->listed;
    listed.reserve(locations.size());
    for (std::size_t i = 0; i < locations.size(); ++i)
        listed.push_back({locations[i].Name, int(i)});
}

NamesToSort::NamesToSort(NamesToSort&&) noexcept = default;
NamesToSort& NamesToSort::operator=(NamesToSort&&) noexcept = default;
NamesToSort::~NamesToSort() = default;

std::vector<ListedLocation> NamesToSort::sorted() &&
{
    using Entry = Data::Entry;
    const FoldTable& fold = *m_data->fold;
    std::vector<Entry>& entries = m_data->entries;
    std::vector<ListedLocation>& listed = m_data->listed;
    const std::size_t n = listed.size();
    // Each name is visited once, in file order, as the entries lie in memory.
    entries.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const QByteArray& name = listed[i].name;
        std::array<char16_t, Data::Packed + 4> ranks{}; // the first twelve, and room to overrun
        std::size_t ranked = 0;
        for (const char c : name) {
            if (ranked >= Data::Packed)
                break;
            const auto b = std::size_t(static_cast<unsigned char>(c));
            std::copy_n(fold.letters[b].data(), 4, ranks.data() + ranked);
            ranked += fold.length[b];
        }
        // A padding zero past the name's end, as a shorter head has.
        const auto rank
            = [&](std::size_t k) -> std::uint64_t { return k < ranked && fold.ranked ? std::uint8_t(ranks[k]) : 0u; };
        Entry& e = entries[i];
        e.index = std::int32_t(i);
        e.head = 0;
        for (std::size_t k = 0; k < 8; ++k)
            e.head = e.head << 8 | rank(k);
        e.tail = 0;
        for (std::size_t k = 8; k < Data::Packed; ++k)
            e.tail = std::uint32_t(e.tail << 8 | rank(k));
    }
    // A shorter head padded with zeros never sorts after a longer text it begins, so a head
    // that is smaller means a name that is smaller; equal heads compare the whole text by
    // letters, then by accents. Equal names keep file order.
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.head != b.head)
            return a.head < b.head;
        if (a.tail != b.tail)
            return a.tail < b.tail;
        const QByteArray& na = listed[std::size_t(a.index)].name;
        const QByteArray& nb = listed[std::size_t(b.index)].name;
        if (const int byLetters = compareFolded(fold, fold.letters, na, nb))
            return byLetters < 0;
        if (const int byAccents = compareFolded(fold, fold.accents, na, nb))
            return byAccents < 0;
        return a.index < b.index;
    });
    // Entry k names the entry that belongs at k: each cycle of that permutation is walked
    // once, an entry's index set to -1 once its place is filled.
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (entries[k].index < 0)
            continue;
        ListedLocation held = std::move(listed[k]);
        std::size_t at = k;
        while (true) {
            const auto from = std::size_t(std::exchange(entries[at].index, -1));
            if (from == k) {
                listed[at] = std::move(held);
                break;
            }
            listed[at] = std::move(listed[from]);
            at = from;
        }
    }
    std::vector<ListedLocation> sorted = std::move(listed);
    m_data.reset();
    return sorted;
}

std::vector<ListedLocation> sortedLocationNames(const LocationList& locations)
{
    return NamesToSort(locations).sorted();
}

std::vector<ListedLocation> sortedLocationNames(const LocationList& locations, const QLocale& locale)
{
    return NamesToSort(locations, locale).sorted();
}

} // namespace vdm
