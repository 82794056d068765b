// SPDX-License-Identifier: MIT
#include "map/coverageblend.h"

#include "map/cpufeatures.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VDM_BLEND_AVX2 1
#endif

namespace vdm {

void blendCoverageScalar(std::uint32_t* out, const unsigned char* mask, int n, std::uint32_t c)
{
    const std::uint32_t rb = c & 0xFF00FFu, g = c & 0x00FF00u;
    for (int i = 0; i < n; ++i) {
        const std::uint32_t a = mask[i];
        if (a == 0)
            continue;
        if (a == 255) {
            out[i] = c;
            continue;
        }
        const std::uint32_t w = a + (a >> 7); // 0..256
        const std::uint32_t d = out[i];
        const std::uint32_t orb = (((d & 0xFF00FFu) * (256 - w) + rb * w) >> 8) & 0xFF00FFu;
        const std::uint32_t og = (((d & 0x00FF00u) * (256 - w) + g * w) >> 8) & 0x00FF00u;
        out[i] = 0xFF000000u | orb | og;
    }
}

namespace {

#if defined(VDM_BLEND_AVX2)
/**
 * Eight pixels at a time, the same arithmetic as the four-pixel path below in lanes twice
 * as wide. Runs of no ink are skipped and runs of full ink written, eight bytes of mask
 * read at once: a caption's mask is mostly one or the other. A row of eight pixels or
 * more ends with the eight that end it, those blended already taken as without ink (so
 * they stay as they are): a caption's row is a few dozen pixels, and its last few one at
 * a time cost about as much as the rest.
 */
__attribute__((target("avx2"))) int blendCoverageAvx2(std::uint32_t* out, std::ptrdiff_t outStride,
                                                      const unsigned char* mask, std::ptrdiff_t maskStride, int n,
                                                      int rows, std::uint32_t c)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i rbMask = _mm256_set1_epi32(0x00FF00FF), lowByte = _mm256_set1_epi32(0x000000FF);
    const __m256i gMask = _mm256_set1_epi32(0x0000FF00), opaque = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i rbC = _mm256_set1_epi32(int(c & 0x00FF00FFu)), gC = _mm256_set1_epi32(int((c >> 8) & 0xFFu));
    const __m256i w256 = _mm256_set1_epi16(256);
    const __m256i full = _mm256_or_si256(opaque, _mm256_set1_epi32(int(c))); // coverage 255 everywhere
    int i = 0;
    for (int row = 0; row < rows; ++row, out += outStride, mask += maskStride) {
        i = 0;
        for (;;) {
            std::uint64_t eight;
            int at = i;
            if (i + 8 <= n) {
                std::memcpy(&eight, mask + i, 8);
                i += 8;
            } else if (i < n && n >= 8) {
                const int done = 8 - (n - i); // of the last eight, those blended already
                at = n - 8;
                std::memcpy(&eight, mask + at, 8);
                eight &= ~std::uint64_t(0) << (8 * done);
                i = n;
            } else {
                break;
            }
            if (eight == 0)
                continue;
            if (eight == ~std::uint64_t(0)) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), full);
                continue;
            }
            const __m256i a = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(eight)));
            const __m256i w32 = _mm256_add_epi32(a, _mm256_srli_epi32(a, 7));
            const __m256i w = _mm256_or_si256(w32, _mm256_slli_epi32(w32, 16)); // the weight in both halves
            const __m256i iw = _mm256_sub_epi16(w256, w);
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + at));
            const __m256i rb = _mm256_srli_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(d, rbMask), iw), _mm256_mullo_epi16(rbC, w)), 8);
            const __m256i gd = _mm256_and_si256(_mm256_srli_epi32(d, 8), lowByte);
            const __m256i g
                = _mm256_and_si256(_mm256_add_epi16(_mm256_mullo_epi16(gd, iw), _mm256_mullo_epi16(gC, w)), gMask);
            const __m256i mixed = _mm256_or_si256(opaque, _mm256_or_si256(rb, g));
            const __m256i untouched = _mm256_cmpeq_epi32(a, zero);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), _mm256_blendv_epi8(mixed, d, untouched));
        }
    }
    return i;
}
#endif

} // namespace

void blendCoverage(std::uint32_t* out, const unsigned char* mask, int n, std::uint32_t c)
{
    int i = 0;
#if defined(VDM_BLEND_AVX2)
    static const bool avx2 = useAvx2();
    if (avx2)
        i = blendCoverageAvx2(out, 0, mask, 0, n, 1, c);
#endif
#if defined(__SSE2__)
    // Per 32-bit pixel, red and blue sit in the two 16-bit halves and green in the low
    // one: each weighted sum stays below 65 536, so 16-bit lanes hold it exactly. With
    // coverage 255 the weight is 256 and the sum is c itself, so only 0 needs a select.
    const __m128i zero = _mm_setzero_si128();
    const __m128i rbMask = _mm_set1_epi32(0x00FF00FF), lowByte = _mm_set1_epi32(0x000000FF);
    const __m128i gMask = _mm_set1_epi32(0x0000FF00), opaque = _mm_set1_epi32(int(0xFF000000u));
    const __m128i rbC = _mm_set1_epi32(int(c & 0x00FF00FFu)), gC = _mm_set1_epi32(int((c >> 8) & 0xFFu));
    const __m128i w256 = _mm_set1_epi16(256);
    for (; i + 4 <= n; i += 4) {
        std::uint32_t four;
        std::memcpy(&four, mask + i, 4);
        if (four == 0)
            continue;
        const __m128i a = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(four)), zero), zero);
        const __m128i w32 = _mm_add_epi32(a, _mm_srli_epi32(a, 7));
        const __m128i w = _mm_or_si128(w32, _mm_slli_epi32(w32, 16)); // the weight in both halves
        const __m128i iw = _mm_sub_epi16(w256, w);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
        const __m128i rb
            = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(d, rbMask), iw), _mm_mullo_epi16(rbC, w)), 8);
        const __m128i gd = _mm_and_si128(_mm_srli_epi32(d, 8), lowByte);
        const __m128i g = _mm_and_si128(_mm_add_epi16(_mm_mullo_epi16(gd, iw), _mm_mullo_epi16(gC, w)), gMask);
        const __m128i mixed = _mm_or_si128(opaque, _mm_or_si128(rb, g));
        const __m128i untouched = _mm_cmpeq_epi32(a, zero);
        const __m128i result = _mm_or_si128(_mm_and_si128(untouched, d), _mm_andnot_si128(untouched, mixed));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), result);
    }
#endif
    blendCoverageScalar(out + i, mask + i, n - i, c);
}

void blendCoverageRows(std::uint32_t* out, std::ptrdiff_t outStride, const unsigned char* mask,
                       std::ptrdiff_t maskStride, int n, int rows, std::uint32_t c)
{
#if defined(VDM_BLEND_AVX2)
    static const bool avx2 = useAvx2();
    if (avx2 && n >= 8) {
        blendCoverageAvx2(out, outStride, mask, maskStride, n, rows, c);
        return;
    }
#endif
    for (int row = 0; row < rows; ++row)
        blendCoverage(out + row * outStride, mask + row * maskStride, n, c);
}

} // namespace vdm
