// SPDX-License-Identifier: MIT
#include "edit/locationsearch.h"

#include "data/codepage.h"
#include "map/cpufeatures.h"
#include "world/world.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VDM_SEARCH_SIMD 1
#endif

namespace vdm {
namespace {

/** Separates the fields of a record; folding turns every control character into a blank,
 *  so no folded text and no query contains it, and a match never spans two fields. */
constexpr char kSeparator = '\n';

/** What each code-page byte folds to: one or two bytes. */
struct FoldTable {
    std::array<std::array<char, 2>, 256> to{};
    std::array<unsigned char, 256> length{};

    constexpr FoldTable()
    {
        for (int b = 0; b < 256; ++b)
            set(b, char(b));
        for (int b = 0; b < 0x20; ++b)
            set(b, ' ');
        set(0x7F, ' ');
        for (int b = 'A'; b <= 'Z'; ++b)
            set(b, char(b - 'A' + 'a'));
        // Windows-1252's letters above 0x7F.
        set(0x83, 'f');
        set(0x8A, 's');
        set(0x8C, 'o', 'e');
        set(0x8E, 'z');
        set(0x9A, 's');
        set(0x9C, 'o', 'e');
        set(0x9E, 'z');
        set(0x9F, 'y');
        for (int base : {0xC0, 0xE0}) {
            for (int b = 0; b <= 5; ++b)
                set(base + b, 'a');
            set(base + 0x06, 'a', 'e');
            set(base + 0x07, 'c');
            for (int b = 0x08; b <= 0x0B; ++b)
                set(base + b, 'e');
            for (int b = 0x0C; b <= 0x0F; ++b)
                set(base + b, 'i');
            set(base + 0x10, 'd');
            set(base + 0x11, 'n');
            for (int b = 0x12; b <= 0x16; ++b)
                set(base + b, 'o');
            set(base + 0x18, 'o');
            for (int b = 0x19; b <= 0x1C; ++b)
                set(base + b, 'u');
            set(base + 0x1D, 'y');
            set(base + 0x1E, 't', 'h');
        }
        set(0xDF, 's', 's');
        set(0xFF, 'y');
        // 0xD7 and 0xF7 (the multiplication and division signs) stay as they are.
        set(0xD7, char(0xD7));
        set(0xF7, char(0xF7));
    }
    constexpr void set(int byte, char a, char b = 0)
    {
        to[std::size_t(byte)] = {a, b};
        length[std::size_t(byte)] = b ? 2 : 1;
    }
};

constexpr FoldTable kFold;

void appendFolded(QByteArray& out, QByteArrayView text)
{
    for (char c : text) {
        const auto b = std::size_t(static_cast<unsigned char>(c));
        out.append(kFold.to[b].data(), kFold.length[b]);
    }
}

#if VDM_SEARCH_SIMD
// The first occurrence of `needle` (n >= 1 bytes) in text[pos, size), or size. A block of
// bytes is compared with the needle's first and last byte at once; only where both agree
// is the rest compared, so even common letters cost little. 16-byte blocks with SSE2
// (every x86-64), 32 with AVX2 where the processor has it; the tail goes to memmem.

std::size_t checkCandidates(unsigned mask, std::size_t pos, const char* text, const char* needle, std::size_t n)
{
    while (mask) {
        const std::size_t at = pos + std::size_t(__builtin_ctz(mask));
        if (n <= 2 || std::memcmp(text + at + 1, needle + 1, n - 2) == 0)
            return at;
        mask &= mask - 1;
    }
    return std::size_t(-1);
}

std::size_t findTail(const char* text, std::size_t size, std::size_t pos, const char* needle, std::size_t n)
{
    if (pos >= size)
        return size;
    const void* found = memmem(text + pos, size - pos, needle, n);
    return found ? std::size_t(static_cast<const char*>(found) - text) : size;
}

std::size_t findSse2(const char* text, std::size_t size, std::size_t pos, const char* needle, std::size_t n)
{
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[n - 1]);
    for (; pos + n - 1 + 16 <= size; pos += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos + n - 1));
        const auto mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        if (const std::size_t at = checkCandidates(mask, pos, text, needle, n); at != std::size_t(-1))
            return at;
    }
    return findTail(text, size, pos, needle, n);
}

__attribute__((target("avx2"))) std::size_t findAvx2(const char* text, std::size_t size, std::size_t pos,
                                                     const char* needle, std::size_t n)
{
    const __m256i first = _mm256_set1_epi8(needle[0]);
    const __m256i last = _mm256_set1_epi8(needle[n - 1]);
    for (; pos + n - 1 + 32 <= size; pos += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + pos));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + pos + n - 1));
        const auto mask
            = unsigned(_mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
        if (const std::size_t at = checkCandidates(mask, pos, text, needle, n); at != std::size_t(-1))
            return at;
    }
    return findSse2(text, size, pos, needle, n);
}

#endif

/** The first occurrence of `needle` in text[pos, size), or size. */
std::size_t findFrom(const char* text, std::size_t size, std::size_t pos, const char* needle, std::size_t n)
{
#if VDM_SEARCH_SIMD
    return useAvx2() ? findAvx2(text, size, pos, needle, n) : findSse2(text, size, pos, needle, n);
#else
    if (pos >= size)
        return size;
    const void* found = memmem(text + pos, size - pos, needle, n);
    return found ? std::size_t(static_cast<const char*>(found) - text) : size;
#endif
}

} // namespace

QByteArray LocationSearch::fold(QByteArrayView codePageText)
{
    QByteArray out;
    out.reserve(codePageText.size());
    appendFolded(out, codePageText);
    return out;
}

std::optional<QByteArray> LocationSearch::foldQuery(QStringView query)
{
    const QStringView trimmed = query.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (QChar ch : trimmed)
        if (!CodePage::canEncode(ch))
            return std::nullopt;
    return fold(CodePage::encode(trimmed));
}

void LocationSearch::append(int index, const World& world)
{
    const Location& l = world.locations()[std::size_t(index)];
    Span span{m_text.size(), index, {}};
    int f = 0;
    for (QByteArrayView field : {QByteArrayView(l.Name), l.Region.view(), l.Kind.view(), QByteArrayView(l.Note)}) {
        appendFolded(m_text, field);
        if (f < 3)
            span.fieldEnd[std::size_t(f++)] = m_text.size();
        m_text.append(kSeparator);
    }
    m_spans.push_back(span);
    m_spanOf[std::size_t(index)] = m_spans.size() - 1;
}

void LocationSearch::rebuild(const World& world)
{
    const LocationList& list = world.locations();
    m_text.clear();
    qsizetype bytes = 0;
    for (const Location& l : list)
        bytes += l.Name.size() + l.Region.size() + l.Kind.size() + l.Note.size() + 4;
    m_text.reserve(bytes + bytes / 8);
    m_spans.clear();
    m_spans.reserve(list.size());
    m_spanOf.assign(list.size(), 0);
    for (int i = 0; i < int(list.size()); ++i)
        append(i, world);
    // Hits are listed as the location list lists them.
    const std::vector<ListedLocation>& listed = world.listedLocations();
    m_listPosition.assign(list.size(), 0);
    for (std::size_t at = 0; at < listed.size(); ++at)
        m_listPosition[std::size_t(listed[at].index)] = int(at);
    m_deadBytes = 0;
    m_stale = false;
    m_indexed = list.data();
    m_changedNotes.clear();
    m_noteChanged.assign(list.size(), 0);
}

void LocationSearch::follow(const World& world)
{
    if (m_followed == &world.events())
        return;
    m_connections.clear();
    m_followed = &world.events();
    m_stale = true;
    const auto startOver = [this] { m_stale = true; };
    m_connections.connect(world.events(), &WorldEvents::placesRead, startOver);
    m_connections.connect(world.events(), &WorldEvents::replaced, startOver);
    m_connections.connect(world.events(), &WorldEvents::noteChanged, [this](int index) {
        if (index >= 0 && std::size_t(index) < m_noteChanged.size()
            && !std::exchange(m_noteChanged[std::size_t(index)], 1))
            m_changedNotes.push_back(index);
    });
}

void LocationSearch::update(const World& world)
{
    follow(world);
    // A list moved in without a notice (a world assigned over another) is indexed afresh too.
    if (m_stale || m_spanOf.size() != world.locations().size() || m_indexed != world.locations().data()) {
        rebuild(world);
        return;
    }
    if (m_changedNotes.empty())
        return;
    // Notes changed since the last search: fold those records again at the end.
    for (const int i : m_changedNotes) {
        const std::size_t old = m_spanOf[std::size_t(i)];
        const qsizetype end = old + 1 < m_spans.size() ? m_spans[old + 1].start : m_text.size();
        m_deadBytes += end - m_spans[old].start;
        m_spans[old].index = -1;
        append(i, world);
        m_noteChanged[std::size_t(i)] = 0;
    }
    m_changedNotes.clear();
    if (m_deadBytes > m_text.size() / 2)
        rebuild(world);
}

LocationSearch::Result LocationSearch::find(const World& world, QStringView query, std::size_t limit)
{
    update(world);
    Result result;
    const std::optional<QByteArray> needle = foldQuery(query);
    if (!needle)
        return result;

    // Four groups: the name's start, the rest of the name, the two lines, the note.
    for (std::vector<Hit>& g : m_groups)
        g.clear();
    const char* const text = m_text.constData();
    const std::size_t size = std::size_t(m_text.size());
    const std::size_t n = std::size_t(needle->size());
    std::size_t pos = 0;
    std::size_t span = 0;
    while (pos < size) {
        const std::size_t at = findFrom(text, size, pos, needle->constData(), n);
        if (at >= size)
            break;
        while (span + 1 < m_spans.size() && std::size_t(m_spans[span + 1].start) <= at)
            ++span;
        const Span& s = m_spans[span];
        const std::size_t end = span + 1 < m_spans.size() ? std::size_t(m_spans[span + 1].start) : size;
        if (s.index >= 0) {
            const auto in = qsizetype(at);
            if (in < s.fieldEnd[0])
                m_groups[in == s.start ? 0 : 1].push_back({s.index, Field::Name});
            else if (in < s.fieldEnd[2])
                m_groups[2].push_back({s.index, in < s.fieldEnd[1] ? Field::Region : Field::Kind});
            else
                m_groups[3].push_back({s.index, Field::Note});
        }
        pos = end; // one hit per record: its first match is its best
    }

    const auto byList = [this](const Hit& a, const Hit& b) {
        return m_listPosition[std::size_t(a.index)] < m_listPosition[std::size_t(b.index)];
    };
    for (std::vector<Hit>& g : m_groups) {
        result.total += int(g.size());
        const std::size_t room = limit - std::min(limit, result.hits.size());
        const std::size_t take = std::min(room, g.size());
        std::partial_sort(g.begin(), g.begin() + std::ptrdiff_t(take), g.end(), byList);
        result.hits.insert(result.hits.end(), g.begin(), g.begin() + std::ptrdiff_t(take));
    }
    return result;
}

} // namespace vdm
