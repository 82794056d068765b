// SPDX-License-Identifier: MIT
#include "map/resampler.h"

#include "map/cpufeatures.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VDM_RESAMPLER_AVX2 1
#endif

namespace vdm::Resampler {

namespace {

// Filter weights are fixed point: the taps of one destination pixel sum to WeightOne.
constexpr int WeightBits = 14;
constexpr int WeightOne = 1 << WeightBits;

/** Which destination pixels of one axis are drawn, and where each reads the source. */
struct Axis {
    int d0 = 0, d1 = 0; // destination range [d0, d1) that is drawn
    // Pixel mode and the bilinear fast path: one or two source indices and a 0..256 weight.
    std::vector<int> i0, i1, w8;
    // Smooth mode, general taps: first source index, tap count, offset into weights.
    std::vector<int> start, count, offset, weights;
    int maxCount = 1;
    bool enlarging = true; // no destination pixel covers more than one source pixel
    int size() const { return d1 - d0; }
};

/** Where destination pixels of one axis fall in the source: x maps to fromPos + (x - toPos) * r. */
struct AxisMapping {
    long long toPos;
    double fromPos;
    double r; // source pixels per destination pixel

    /** The source position of destination pixel x's centre. */
    double centre(int x) const { return fromPos + (double(x - toPos) + 0.5) * r; }
    /** The source position of destination pixel x's left (top) edge. */
    double begin(int x) const { return fromPos + double(x - toPos) * r; }
};

/**
 * The run [d0, d1) of destination pixels inside [lo, hi) whose centres map inside the
 * source; the mapping is monotone, so the drawn pixels form one run.
 */
void findDrawnRun(Axis& a, const AxisMapping& m, int lo, int hi, int srcLen)
{
    int d0 = lo;
    while (d0 < hi && m.centre(d0) < 0.0)
        ++d0;
    int d1 = d0;
    while (d1 < hi && m.centre(d1) < double(srcLen))
        ++d1;
    a.d0 = d0;
    a.d1 = d1;
}

/** Pixel mode: the source pixel under each destination centre. */
void fillNearestIndices(Axis& a, const AxisMapping& m, int srcLen)
{
    const int n = a.size();
    a.i0.resize(n);
    for (int k = 0; k < n; ++k)
        a.i0[k] = std::clamp(int(std::floor(m.centre(a.d0 + k))), 0, srcLen - 1);
}

/** Enlarging: the two source neighbours of each destination centre and the 0..256 weight of the right one. */
void fillBilinearNeighbours(Axis& a, const AxisMapping& m, int srcLen)
{
    const int n = a.size();
    a.i0.resize(n);
    a.i1.resize(n);
    a.w8.resize(n);
    for (int k = 0; k < n; ++k) {
        const double v = m.centre(a.d0 + k) - 0.5;
        int i = int(std::floor(v));
        int w = int(std::lround((v - i) * 256.0));
        if (i < 0) {
            i = 0;
            w = 0;
        } else if (i >= srcLen - 1) {
            i = srcLen - 1;
            w = 0;
        }
        if (w == 256) {
            ++i;
            w = 0;
        }
        a.i0[k] = i;
        a.i1[k] = std::min(i + 1, srcLen - 1);
        a.w8[k] = w;
    }
}

/**
 * The real-valued taps of destination pixel k into `w`, returning its first source index:
 * the covered interval when shrinking, the two bilinear neighbours otherwise.
 */
int tapsOf(const Axis& a, const AxisMapping& m, int k, int srcLen, std::vector<double>& w)
{
    w.clear();
    if (a.enlarging) {
        w.push_back(256 - a.w8[k]);
        if (a.w8[k] > 0)
            w.push_back(a.w8[k]);
        return a.i0[k];
    }
    const double begin = m.begin(a.d0 + k);
    const double lo = std::max(0.0, begin);
    const double hi = std::min(double(srcLen), begin + m.r);
    const int first = int(std::floor(lo));
    const int last = std::max(first, int(std::ceil(hi)) - 1);
    for (int i = first; i <= last; ++i)
        w.push_back(std::max(0.0, std::min(hi, double(i + 1)) - std::max(lo, double(i))));
    return first;
}

/** Appends destination pixel k's taps in fixed point, summing to exactly WeightOne. */
void appendFixedPointTaps(Axis& a, int k, int first, const std::vector<double>& w)
{
    double total = 0;
    for (double x : w)
        total += x;
    a.start[k] = first;
    a.count[k] = int(w.size());
    a.offset[k] = int(a.weights.size());
    a.maxCount = std::max(a.maxCount, int(w.size()));
    int sum = 0, biggest = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const int q = total > 0 ? int(std::lround(w[i] / total * WeightOne)) : (i == 0 ? WeightOne : 0);
        a.weights.push_back(q);
        sum += q;
        if (q > a.weights[a.offset[k] + biggest])
            biggest = int(i);
    }
    a.weights[a.offset[k] + biggest] += WeightOne - sum; // exact unit sum: flat areas stay flat
}

/** Smooth mode's general taps for every drawn destination pixel. */
void fillFilterTaps(Axis& a, const AxisMapping& m, int srcLen)
{
    const int n = a.size();
    a.start.resize(n);
    a.count.resize(n);
    a.offset.resize(n);
    a.weights.reserve(size_t(n) * (a.enlarging ? 2 : size_t(std::ceil(m.r)) + 1));
    std::vector<double> w;
    for (int k = 0; k < n; ++k) {
        const int first = tapsOf(a, m, k, srcLen, w);
        appendFixedPointTaps(a, k, first, w);
    }
}

/**
 * The drawing of one axis: destination pixels in [clipLo, clipHi) of the target range.
 * Each pixel's taps come from its own position in the mapping alone, so a clipped draw
 * gives the pixels of the whole draw.
 */
Axis buildAxis(long long toPos, long long toLen, int dstLen, double fromPos, double fromLen, int srcLen, Mode mode,
               int clipLo, int clipHi)
{
    Axis a;
    if (toLen <= 0 || fromLen <= 0 || srcLen <= 0 || dstLen <= 0)
        return a;
    const AxisMapping m{toPos, fromPos, fromLen / double(toLen)};
    a.enlarging = m.r <= 1.0;
    const int lo = int(std::clamp<long long>(std::max<long long>(toPos, clipLo), 0, dstLen));
    const int hi = int(std::clamp<long long>(std::min<long long>(toPos + toLen, clipHi), 0, dstLen));
    if (hi <= lo)
        return a;
    findDrawnRun(a, m, lo, hi, srcLen);
    if (a.size() <= 0)
        return a;
    if (mode == Mode::Pixel) {
        fillNearestIndices(a, m, srcLen);
        return a;
    }
    if (a.enlarging)
        fillBilinearNeighbours(a, m, srcLen);
    fillFilterTaps(a, m, srcLen);
    return a;
}

inline std::uint32_t lerp(std::uint32_t a, std::uint32_t b, std::uint32_t w)
{
    const std::uint32_t iw = 256 - w;
    const std::uint32_t rb = (((a & 0xFF00FFu) * iw + (b & 0xFF00FFu) * w) >> 8) & 0xFF00FFu;
    const std::uint32_t ag = (((a >> 8) & 0xFF00FFu) * iw + ((b >> 8) & 0xFF00FFu) * w) & 0xFF00FF00u;
    return rb | ag;
}

struct Target {
    uchar* bits;
    qsizetype bpl;
    std::uint32_t* row(int y) const { return reinterpret_cast<std::uint32_t*>(bits + y * bpl); }
};

struct Source {
    const uchar* bits;
    qsizetype bpl;
    int width;
    const std::uint32_t* row(int y) const { return reinterpret_cast<const std::uint32_t*>(bits + y * bpl); }
};

/** out[k] = in[2 * k] for k in [0, n): every other source pixel, of the `readable` from `in` on. */
void takeEveryOther(const std::uint32_t* __restrict in, int readable, int n, std::uint32_t* __restrict out)
{
    int k = 0;
#if defined(__SSE2__)
    // Eight pixels read for four kept: the last pixel kept may end the row.
    for (; k + 4 <= n && 2 * k + 8 <= readable; k += 4) {
        const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k)));
        const __m128 b = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * k + 4)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                         _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))));
    }
#endif
    for (; k < n; ++k)
        out[k] = in[2 * k];
}

/**
 * out[k] = in[(k + lead) / 2] for k in [0, n), lead 0 or 1: each source pixel written
 * twice, with a lone first one when lead is 1.
 */
void repeatPairs(const std::uint32_t* __restrict in, int lead, int n, std::uint32_t* __restrict out)
{
    int k = 0, i = 0;
    if (lead == 1 && n > 0)
        out[k++] = in[i++];
#if defined(__SSE2__)
    for (; k + 8 <= n; k += 8, i += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_unpacklo_epi32(p, p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k + 4), _mm_unpackhi_epi32(p, p));
    }
#endif
    for (; k < n; ++k)
        out[k] = in[(k + lead) / 2];
}

/** out = a + (b - a) * w / 256 per channel, w in 0..256 the same for the whole row. */
void blendRows(const std::uint32_t* __restrict a, const std::uint32_t* __restrict b, std::uint32_t* __restrict out,
               int n, std::uint32_t w)
{
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i wb = _mm_set1_epi16(short(w));
    const __m128i wa = _mm_set1_epi16(short(256 - w));
    for (; x + 4 <= n; x += 4) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        // a * (256 - w) + b * w stays below 65536 in each unsigned 16-bit lane.
        const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), wa),
                                                        _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wb)),
                                          8);
        const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), wa),
                                                        _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), wb)),
                                          8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; x < n; ++x)
        out[x] = lerp(a[x], b[x], w);
}

/**
 * One source row interpolated horizontally: out[k] between in[i0[k]] and in[i1[k]].
 * `pairs` holds per output pixel the weights (256 - w) four times and w four times, so
 * the vector loop reads each neighbour pair with one 8-byte load; `simdEnd` is where a
 * pair would reach past the row's last pixel.
 */
void interpolateRow(const std::uint32_t* __restrict in, const Axis& h, const std::uint16_t* __restrict pairs,
                    int simdEnd, std::uint32_t* __restrict out)
{
    const int n = h.size();
    const int* __restrict i0 = h.i0.data();
    const int* __restrict i1 = h.i1.data();
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 2 <= simdEnd; x += 2) {
        const __m128i p0 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i0[x])), zero);
        const __m128i p1 = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i0[x + 1])), zero);
        const __m128i m0 = _mm_mullo_epi16(p0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 8 * x)));
        const __m128i m1 = _mm_mullo_epi16(p1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 8 * x + 8)));
        const __m128i s0 = _mm_add_epi16(m0, _mm_srli_si128(m0, 8));
        const __m128i s1 = _mm_add_epi16(m1, _mm_srli_si128(m1, 8));
        const __m128i r = _mm_srli_epi16(_mm_unpacklo_epi64(s0, s1), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(r, r));
    }
#endif
    for (; x < n; ++x)
        out[x] = lerp(in[i0[x]], in[i1[x]], std::uint32_t(h.w8[x]));
}

#if defined(VDM_RESAMPLER_AVX2)
/**
 * A row's horizontal pass eight destination pixels at a time: the eight left neighbours
 * lie within eight consecutive source pixels when enlarging, so one unaligned load of
 * that window and a lane-crossing permute fetch them, and the same for the right
 * neighbours one pixel further on. `w2` holds twice each weight, four times per pixel,
 * in the order unpack and pack use within each 128-bit half (pixels 0,1,4,5 then
 * 2,3,6,7). `blocks` counts the leading groups of eight that fit that window.
 * a + floor((b - a) * w / 256) equals (a * (256 - w) + b * w) >> 8 exactly.
 */
__attribute__((target("avx2"))) void interpolateRowAvx2(const std::uint32_t* __restrict in, const Axis& h,
                                                        const std::uint16_t* __restrict w2, int blocks,
                                                        std::uint32_t* __restrict out)
{
    const int* __restrict i0 = h.i0.data();
    const __m256i zero = _mm256_setzero_si256();
    for (int b = 0; b < blocks; ++b) {
        const int x = b * 8;
        const int base = i0[x];
        const __m256i idx
            = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(i0 + x)), _mm256_set1_epi32(base));
        const __m256i p0
            = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + base)), idx);
        const __m256i p1
            = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + base + 1)), idx);
        const __m256i wl = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w2 + 32 * b));
        const __m256i wh = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w2 + 32 * b + 16));
        const __m256i al = _mm256_unpacklo_epi8(p0, zero), ah = _mm256_unpackhi_epi8(p0, zero);
        const __m256i dl = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpacklo_epi8(p1, zero), al), 7);
        const __m256i dh = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpackhi_epi8(p1, zero), ah), 7);
        const __m256i rl = _mm256_add_epi16(al, _mm256_mulhi_epi16(dl, wl));
        const __m256i rh = _mm256_add_epi16(ah, _mm256_mulhi_epi16(dh, wh));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(rl, rh));
    }
    for (int x = blocks * 8, n = h.size(); x < n; ++x)
        out[x] = lerp(in[i0[x]], in[h.i1[x]], std::uint32_t(h.w8[x]));
}

/** blendRows eight pixels at a time, with the same exact arithmetic as above. */
__attribute__((target("avx2"))) void blendRowsAvx2(const std::uint32_t* __restrict a, const std::uint32_t* __restrict b,
                                                   std::uint32_t* __restrict out, int n, std::uint32_t w)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ww = _mm256_set1_epi16(short(2 * w));
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x));
        const __m256i al = _mm256_unpacklo_epi8(va, zero), ah = _mm256_unpackhi_epi8(va, zero);
        const __m256i dl = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpacklo_epi8(vb, zero), al), 7);
        const __m256i dh = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_unpackhi_epi8(vb, zero), ah), 7);
        const __m256i rl = _mm256_add_epi16(al, _mm256_mulhi_epi16(dl, ww));
        const __m256i rh = _mm256_add_epi16(ah, _mm256_mulhi_epi16(dh, ww));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(rl, rh));
    }
    for (; x < n; ++x)
        out[x] = lerp(a[x], b[x], w);
}
#endif

/*
 * Twice the picture's scale in smooth mode (a 100 % view on a ratio-2 screen) samples
 * every pair of neighbours a, b at the weights 64 and 192 only, and there lerp reduces
 * to floor((3a + b) / 4) and floor((a + 3b) / 4) per channel. With t = floor((a + b) / 2)
 * those are exactly floor((a + t) / 2) and floor((b + t) / 2): byte averages, no
 * multiplies, the same pixels.
 */
constexpr std::uint32_t NearFirst = 64, NearSecond = 192;

#if defined(VDM_RESAMPLER_AVX2)
/** floor((a + b) / 2) per byte. */
__attribute__((target("avx2"))) inline __m256i floorAverageAvx2(__m256i a, __m256i b)
{
    return _mm256_sub_epi8(_mm256_avg_epu8(a, b), _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_set1_epi8(1)));
}

/** quarterRows eight pixels at a time; returns how many pixels it made. */
__attribute__((target("avx2"))) int quarterRowsAvx2(const std::uint32_t* __restrict a,
                                                    const std::uint32_t* __restrict b, std::uint32_t* __restrict nearA,
                                                    std::uint32_t* __restrict nearB, int n)
{
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x));
        const __m256i mid = floorAverageAvx2(va, vb);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(nearA + x), floorAverageAvx2(va, mid));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(nearB + x), floorAverageAvx2(vb, mid));
    }
    return x;
}

/**
 * Half steps eight source pairs at a time: out[2j] and out[2j + 1] from p[j] and
 * p[j + 1]; returns how many pairs it made. The unpacks interleave within each 128-bit
 * half, so the halves are put back in order afterwards.
 */
__attribute__((target("avx2"))) int halfStepsAvx2(const std::uint32_t* __restrict p, int pairs,
                                                  std::uint32_t* __restrict out)
{
    int j = 0;
    for (; j + 8 <= pairs; j += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + j));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + j + 1));
        const __m256i mid = floorAverageAvx2(a, b);
        const __m256i nearA = floorAverageAvx2(a, mid), nearB = floorAverageAvx2(b, mid);
        const __m256i lo = _mm256_unpacklo_epi32(nearA, nearB), hi = _mm256_unpackhi_epi32(nearA, nearB);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * j), _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * j + 8), _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    return j;
}
#endif

/** nearA[x] = lerp(a[x], b[x], 64), nearB[x] = lerp(a[x], b[x], 192). */
void quarterRows(const std::uint32_t* __restrict a, const std::uint32_t* __restrict b, std::uint32_t* __restrict nearA,
                 std::uint32_t* __restrict nearB, int n)
{
    int x = 0;
#if defined(VDM_RESAMPLER_AVX2)
    if (useAvx2())
        x = quarterRowsAvx2(a, b, nearA, nearB, n);
#endif
#if defined(__SSE2__)
    const __m128i one = _mm_set1_epi8(1);
    const auto floorAverage = [&](__m128i p, __m128i q) {
        return _mm_sub_epi8(_mm_avg_epu8(p, q), _mm_and_si128(_mm_xor_si128(p, q), one));
    };
    for (; x + 4 <= n; x += 4) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        const __m128i mid = floorAverage(va, vb);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(nearA + x), floorAverage(va, mid));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(nearB + x), floorAverage(vb, mid));
    }
#endif
    for (; x < n; ++x) {
        nearA[x] = lerp(a[x], b[x], NearFirst);
        nearB[x] = lerp(a[x], b[x], NearSecond);
    }
}

/**
 * How much of a horizontal axis is twice the picture's scale: after `lead` pixels (0 or
 * 1), `pairs` pairs of destination pixels that read the source pixels i and i + 1 at
 * the weights 64 then 192, i growing by one from pair to pair. The rest of the row is
 * drawn pixel by pixel from the tables.
 */
struct HalfSteps {
    int lead = 0, pairs = 0;
};

HalfSteps halfStepsOf(const Axis& h)
{
    HalfSteps hs;
    const int n = h.size();
    if (n < 2 || h.w8.size() != size_t(n))
        return hs;
    hs.lead = h.w8[0] == int(NearFirst) ? 0 : 1;
    for (int k = hs.lead; k + 1 < n; k += 2, ++hs.pairs) {
        const int i = h.i0[k];
        if (h.w8[k] != int(NearFirst) || h.w8[k + 1] != int(NearSecond) || h.i0[k + 1] != i || h.i1[k] != i + 1
            || h.i1[k + 1] != i + 1 || (hs.pairs > 0 && i != h.i0[k - 2] + 1))
            break;
    }
    return hs;
}

/** A source row interpolated horizontally at twice its scale (see halfStepsOf). */
void interpolateHalfSteps(const std::uint32_t* __restrict in, const Axis& h, HalfSteps hs,
                          std::uint32_t* __restrict out)
{
    const int n = h.size();
    for (int k = 0; k < hs.lead; ++k)
        out[k] = lerp(in[h.i0[k]], in[h.i1[k]], std::uint32_t(h.w8[k]));
    const std::uint32_t* __restrict p = in + (hs.pairs > 0 ? h.i0[hs.lead] : 0);
    std::uint32_t* __restrict o = out + hs.lead;
    int j = 0;
#if defined(VDM_RESAMPLER_AVX2)
    if (useAvx2())
        j = halfStepsAvx2(p, hs.pairs, o);
#endif
#if defined(__SSE2__)
    const __m128i one = _mm_set1_epi8(1);
    const auto floorAverage = [&](__m128i a, __m128i b) {
        return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
    };
    for (; j + 4 <= hs.pairs; j += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + j + 1));
        const __m128i mid = floorAverage(a, b);
        const __m128i nearA = floorAverage(a, mid), nearB = floorAverage(b, mid);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2 * j), _mm_unpacklo_epi32(nearA, nearB));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 2 * j + 4), _mm_unpackhi_epi32(nearA, nearB));
    }
#endif
    for (; j < hs.pairs; ++j) {
        o[2 * j] = lerp(p[j], p[j + 1], NearFirst);
        o[2 * j + 1] = lerp(p[j], p[j + 1], NearSecond);
    }
    for (int k = hs.lead + 2 * hs.pairs; k < n; ++k)
        out[k] = lerp(in[h.i0[k]], in[h.i1[k]], std::uint32_t(h.w8[k]));
}

} // namespace

/**
 * Everything a draw needs before its first row: both axes' taps, the kernel that suits
 * them and its tables. Made once, then only read, so two threads may draw bands of it.
 */
struct Drawing::Plan {
    enum Kernel { Nothing, Nearest, Bilinear, General };
    std::uint64_t id = 0; // tells a thread's kept rows which draw they belong to
    Source s{};
    Axis h, v;
    Kernel kernel = Nothing;
    bool shortcuts = true;
    // Nearest: runs of consecutive source pixels, or every source pixel twice after `lead`.
    std::vector<int> runStarts;
    bool fewRuns = true, doubled = false, everyOther = false;
    int lead = 1;
    // Bilinear: rows read in place (`plain`), half steps, or the weights of the vector loops.
    bool plain = true, halves = false, avx2 = false;
    // General: every destination pixel the even average of a 2 x 2 block (see halvedAxis).
    bool halved = false;
    HalfSteps halfSteps;
    std::vector<std::uint16_t> pairs, w2;
    int simdEnd = 0, blocks = 0;

    void prepareNearest();
    void prepareBilinear();
};

void Drawing::Plan::prepareNearest()
{
    const int n = h.size();
    const int* __restrict idx = h.i0.data();
    // Runs of consecutive source pixels: one run at the picture's own scale, a few where
    // the scale is within a hair of it (a shrunken copy shown one to one), one per pixel
    // when enlarging or shrinking.
    const size_t maxRuns = size_t(std::max(1, n / 16));
    runStarts = {0};
    for (int k = 1; k < n && fewRuns; ++k) {
        if (idx[k] != idx[k - 1] + 1)
            runStarts.push_back(k);
        fewRuns = runStarts.size() <= maxRuns;
    }
    runStarts.push_back(n);
    // Twice the picture's scale (a 100 % view on a ratio-2 screen): every source pixel
    // twice, perhaps after a lone first one.
    lead = (n >= 2 && idx[1] == idx[0]) ? 0 : 1;
    doubled = shortcuts && !fewRuns && n >= 16;
    for (int k = 0; k < n && doubled; ++k)
        doubled = idx[k] == idx[0] + (k + lead) / 2;
    // Half the picture's scale (the 50 % level's copy of the whole picture, unsmoothed):
    // every other source pixel.
    everyOther = shortcuts && !fewRuns && !doubled && n >= 16;
    for (int k = 0; k < n && everyOther; ++k)
        everyOther = idx[k] == idx[0] + 2 * k;
}

namespace {

/** Numbers the drawings, so that rows kept for one are never taken for another's. */
std::atomic<std::uint64_t> lastDrawing{0};

/** Rows [y0, y1) of a pixel-mode draw. */
void drawNearestRows(const Target& t, const Drawing::Plan& p, int y0, int y1)
{
    const Axis &h = p.h, &v = p.v;
    const int n = h.size();
    const int* __restrict idx = h.i0.data();
    // Only rows of this band repeat: the row above it may already hold what lies over the map.
    int prevSource = -1;
    std::uint32_t* prevRow = nullptr;
    for (int y = y0; y < y1; ++y) {
        const int sy = v.i0[y - v.d0];
        std::uint32_t* __restrict out = t.row(y) + h.d0;
        if (sy == prevSource) {
            std::memcpy(out, prevRow, size_t(n) * 4); // a repeated source row
        } else {
            const std::uint32_t* __restrict in = p.s.row(sy);
            if (p.doubled)
                repeatPairs(in + idx[0], p.lead, n, out);
            else if (p.everyOther)
                takeEveryOther(in + idx[0], p.s.width - idx[0], n, out);
            else if (p.fewRuns) {
                for (size_t r = 0; r + 1 < p.runStarts.size(); ++r)
                    std::memcpy(out + p.runStarts[r], in + idx[p.runStarts[r]],
                                size_t(p.runStarts[r + 1] - p.runStarts[r]) * 4);
            } else {
                for (int k = 0; k < n; ++k)
                    out[k] = in[idx[k]];
            }
        }
        prevSource = sy;
        prevRow = out;
    }
}

} // namespace

void Drawing::Plan::prepareBilinear()
{
    const int n = h.size();
    // A source row that needs no horizontal work is read in place (the 100 % level).
    for (int k = 0; k < n && plain; ++k)
        plain = h.w8[k] == 0 && h.i0[k] == h.i0[0] + k;
    // At twice the picture's scale nearly every row is pairs of half steps.
    halfSteps = (plain || !shortcuts) ? HalfSteps{} : halfStepsOf(h);
    halves = halfSteps.pairs > 0 && n - halfSteps.lead - 2 * halfSteps.pairs <= 8;
#if defined(VDM_RESAMPLER_AVX2)
    avx2 = useAvx2();
    if (avx2 && !plain && !halves) {
        // Leading groups of eight whose nine-pixel source window lies inside the row and
        // holds all their left neighbours.
        while ((blocks + 1) * 8 <= n) {
            const int first = h.i0[blocks * 8], last = h.i0[blocks * 8 + 7];
            if (first + 9 > s.width || last - first > 7)
                break;
            ++blocks;
        }
        w2.resize(size_t(blocks) * 32);
        static constexpr int order[8] = {0, 1, 4, 5, 2, 3, 6, 7}; // unpack's pixel order
        for (int b = 0; b < blocks; ++b)
            for (int j = 0; j < 8; ++j)
                std::fill_n(w2.begin() + 32 * b + 4 * j, 4, std::uint16_t(2 * h.w8[8 * b + order[j]]));
    }
#endif
    if (!avx2 && !plain && !halves) {
        pairs.resize(size_t(n) * 8);
        for (int k = 0; k < n; ++k) {
            std::fill_n(pairs.begin() + 8 * k, 4, std::uint16_t(256 - h.w8[k]));
            std::fill_n(pairs.begin() + 8 * k + 4, 4, std::uint16_t(h.w8[k]));
            if (h.i0[k] + 1 < s.width) // indices only grow: the safe pixels are a prefix
                simdEnd = k + 1;
        }
    }
}

namespace {

/**
 * Rows [y0, y1) of a bilinear draw. `ring` holds two horizontally interpolated source
 * rows, tagged in `tags` by their source row: consecutive destination rows mostly share
 * them, and so do the last row of a band and the first of the next.
 */
void drawBilinearRows(const Target& t, const Drawing::Plan& p, int y0, int y1, std::vector<std::uint32_t>& ring,
                      std::vector<int>& tags)
{
    const Axis &h = p.h, &v = p.v;
    const Source& s = p.s;
    const int n = h.size();
    if (!p.plain && ring.size() != size_t(n) * 2) {
        ring.assign(size_t(n) * 2, 0);
        tags.assign(2, -1);
    }
    auto row = [&](int sy) -> const std::uint32_t* {
        if (p.plain)
            return s.row(sy) + h.i0[0];
        const int slot = sy & 1;
        std::uint32_t* r = ring.data() + size_t(slot) * n;
        if (tags[size_t(slot)] != sy) {
            if (p.halves)
                interpolateHalfSteps(s.row(sy), h, p.halfSteps, r);
#if defined(VDM_RESAMPLER_AVX2)
            else if (p.avx2)
                interpolateRowAvx2(s.row(sy), h, p.w2.data(), p.blocks, r);
            else
#endif
                interpolateRow(s.row(sy), h, p.pairs.data(), p.simdEnd, r);
            tags[size_t(slot)] = sy;
        }
        return r;
    };
    for (int y = y0; y < y1; ++y) {
        const int k = y - v.d0;
        const std::uint32_t* a = row(v.i0[k]);
        std::uint32_t* out = t.row(y) + h.d0;
        const std::uint32_t w = std::uint32_t(v.w8[k]);
        if (p.shortcuts && y + 1 < y1 && w == NearFirst && v.w8[k + 1] == int(NearSecond) && v.i0[k + 1] == v.i0[k]
            && v.i1[k] == v.i0[k] + 1 && v.i1[k + 1] == v.i1[k]) {
            // Two destination rows between the same two source rows, at twice the scale.
            quarterRows(a, row(v.i1[k]), out, t.row(y + 1) + h.d0, n);
            ++y;
        } else if (w == 0)
            std::memcpy(out, a, size_t(n) * 4);
#if defined(VDM_RESAMPLER_AVX2)
        else if (p.avx2)
            blendRowsAvx2(a, row(v.i1[k]), out, n, w);
#endif
        else
            blendRows(a, row(v.i1[k]), out, n, w);
    }
}

/**
 * Rows [y0, y1) of a draw with general taps. `ring` holds horizontally filtered source
 * rows in 8.8 fixed point, three channels each, as many as the most taps of one
 * destination row (taps only move forward), tagged in `tags`; `acc` sums one row.
 */
void drawGeneralRows(const Target& t, const Drawing::Plan& p, int y0, int y1, std::vector<std::uint16_t>& ring,
                     std::vector<int>& tags, std::vector<std::uint32_t>& acc)
{
    const Axis &h = p.h, &v = p.v;
    const int n = h.size();
    const int depth = v.maxCount;
    if (ring.size() != size_t(n) * 3 * size_t(depth) || tags.size() != size_t(depth)) {
        ring.assign(size_t(n) * 3 * size_t(depth), 0);
        tags.assign(size_t(depth), -1);
    }
    acc.resize(size_t(n) * 3);
    auto row = [&](int sy) -> const std::uint16_t* {
        const int slot = sy % depth;
        std::uint16_t* __restrict r = ring.data() + size_t(slot) * n * 3;
        if (tags[size_t(slot)] != sy) {
            const std::uint32_t* __restrict in = p.s.row(sy);
            for (int k = 0; k < n; ++k) {
                const int* __restrict w = h.weights.data() + h.offset[k];
                const std::uint32_t* __restrict px = in + h.start[k];
                std::uint32_t c0 = 0, c1 = 0, c2 = 0;
                for (int j = 0, m = h.count[k]; j < m; ++j) {
                    const std::uint32_t c = px[j];
                    const std::uint32_t wj = std::uint32_t(w[j]);
                    c0 += (c & 0xFF) * wj;
                    c1 += ((c >> 8) & 0xFF) * wj;
                    c2 += ((c >> 16) & 0xFF) * wj;
                }
                constexpr int down = WeightBits - 8;
                r[k * 3] = std::uint16_t((c0 + (1 << (down - 1))) >> down);
                r[k * 3 + 1] = std::uint16_t((c1 + (1 << (down - 1))) >> down);
                r[k * 3 + 2] = std::uint16_t((c2 + (1 << (down - 1))) >> down);
            }
            tags[size_t(slot)] = sy;
        }
        return r;
    };
    for (int y = y0; y < y1; ++y) {
        const int k = y - v.d0;
        std::fill(acc.begin(), acc.end(), 0u);
        std::uint32_t* __restrict sum = acc.data();
        for (int j = 0; j < v.count[k]; ++j) {
            const std::uint16_t* __restrict r = row(v.start[k] + j);
            const std::uint32_t w = std::uint32_t(v.weights[v.offset[k] + j]);
            for (int i = 0; i < n * 3; ++i)
                sum[i] += r[i] * w;
        }
        std::uint32_t* __restrict out = t.row(y) + h.d0;
        constexpr int down = WeightBits + 8;
        constexpr std::uint32_t half = 1u << (down - 1);
        for (int x = 0; x < n; ++x) {
            const std::uint32_t c0 = (sum[x * 3] + half) >> down;
            const std::uint32_t c1 = (sum[x * 3 + 1] + half) >> down;
            const std::uint32_t c2 = (sum[x * 3 + 2] + half) >> down;
            out[x] = 0xFF000000u | (c2 << 16) | (c1 << 8) | c0;
        }
    }
}

/*
 * Half the picture's scale in smooth mode (the 50 % level's copy of the whole picture,
 * with smoothing on from there) gives each destination pixel two taps of WeightOne / 2 per axis over two source pixels
 * of its own. There the general kernel's fixed point reduces exactly: the horizontal pass
 * keeps (a + b) << 7 (nothing is lost to its rounding), and the vertical one gives
 * floor((a + b + c + d + 2) / 4) per channel, the alpha byte set. Four byte sums of a
 * block fit sixteen bits, so the vector loop sums them there.
 */

/** Whether drawn pixel k of `a` takes source pixels 2k and 2k + 1 after the first, at equal weights. */
bool halvedAxis(const Axis& a)
{
    const int n = a.size();
    if (a.enlarging || n <= 0 || a.count.size() != size_t(n))
        return false;
    for (int k = 0; k < n; ++k) {
        const int* w = a.weights.data() + a.offset[k];
        if (a.count[k] != 2 || a.start[k] != a.start[0] + 2 * k || w[0] != WeightOne / 2 || w[1] != WeightOne / 2)
            return false;
    }
    return true;
}

/** out[x] = the rounded average of in0[2x], in0[2x + 1], in1[2x], in1[2x + 1] per channel, alpha set. */
void averageBlocks(const std::uint32_t* __restrict in0, const std::uint32_t* __restrict in1,
                   std::uint32_t* __restrict out, int n)
{
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    const auto sums = [&](__m128i p) { return std::pair{_mm_unpacklo_epi8(p, zero), _mm_unpackhi_epi8(p, zero)}; };
    for (; x + 4 <= n; x += 4) {
        // Source pixels 2x .. 2x + 7 of both rows, split into even and odd ones.
        const __m128 a0 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in0 + 2 * x)));
        const __m128 a1 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in0 + 2 * x + 4)));
        const __m128 b0 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in1 + 2 * x)));
        const __m128 b1 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in1 + 2 * x + 4)));
        const auto [ae0, ae1] = sums(_mm_castps_si128(_mm_shuffle_ps(a0, a1, _MM_SHUFFLE(2, 0, 2, 0))));
        const auto [ao0, ao1] = sums(_mm_castps_si128(_mm_shuffle_ps(a0, a1, _MM_SHUFFLE(3, 1, 3, 1))));
        const auto [be0, be1] = sums(_mm_castps_si128(_mm_shuffle_ps(b0, b1, _MM_SHUFFLE(2, 0, 2, 0))));
        const auto [bo0, bo1] = sums(_mm_castps_si128(_mm_shuffle_ps(b0, b1, _MM_SHUFFLE(3, 1, 3, 1))));
        const __m128i lo
            = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_add_epi16(ae0, ao0), _mm_add_epi16(be0, bo0)), two), 2);
        const __m128i hi
            = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_add_epi16(ae1, ao1), _mm_add_epi16(be1, bo1)), two), 2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(_mm_packus_epi16(lo, hi), alpha));
    }
#endif
    for (; x < n; ++x) {
        const std::uint32_t p = in0[2 * x], q = in0[2 * x + 1], r = in1[2 * x], s = in1[2 * x + 1];
        std::uint32_t c = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::uint32_t sum
                = ((p >> shift) & 0xFF) + ((q >> shift) & 0xFF) + ((r >> shift) & 0xFF) + ((s >> shift) & 0xFF);
            c |= ((sum + 2) >> 2) << shift;
        }
        out[x] = c;
    }
}

/** Rows [y0, y1) of a general draw at half the scale (see halvedAxis): what drawGeneralRows gives. */
void drawHalvedRows(const Target& t, const Drawing::Plan& p, int y0, int y1)
{
    const Axis &h = p.h, &v = p.v;
    for (int y = y0; y < y1; ++y) {
        const int sy = v.start[y - v.d0];
        averageBlocks(p.s.row(sy) + h.start[0], p.s.row(sy + 1) + h.start[0], t.row(y) + h.d0, h.size());
    }
}

/** Whether destination pixel x of `a` and pixel y of `b` read the same source pixels with the same weights. */
bool sameTaps(const Axis& a, int x, const Axis& b, int y)
{
    const bool drawnA = x >= a.d0 && x < a.d1, drawnB = y >= b.d0 && y < b.d1;
    if (drawnA != drawnB)
        return false;
    if (!drawnA)
        return true; // both keep what the destination holds
    const size_t i = size_t(x - a.d0), j = size_t(y - b.d0);
    const auto same = [&](const std::vector<int>& va, const std::vector<int>& vb) {
        return va.empty() == vb.empty() && (va.empty() || va[i] == vb[j]);
    };
    if (!same(a.i0, b.i0) || !same(a.i1, b.i1) || !same(a.w8, b.w8) || !same(a.start, b.start)
        || !same(a.count, b.count))
        return false;
    if (a.count.empty())
        return true;
    return std::equal(a.weights.begin() + a.offset[i], a.weights.begin() + a.offset[i] + a.count[i],
                      b.weights.begin() + b.offset[j]);
}

/** sameTaps for every pixel of [0, dstLen) whose counterpart `shift` further on is also inside. */
bool sameAxisShifted(const Axis& a, const Axis& b, int dstLen, int shift)
{
    if (a.enlarging != b.enlarging)
        return false;
    for (int x = std::max(0, -shift), end = std::min(dstLen, dstLen - shift); x < end; ++x)
        if (!sameTaps(a, x, b, x + shift))
            return false;
    return true;
}

} // namespace

Drawing::Drawing(QSize dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode, const QRect& clip,
                 bool shortcuts)
    : d(std::make_unique<Plan>())
{
    Plan& p = *d;
    p.id = ++lastDrawing;
    p.shortcuts = shortcuts;
    if (dst.isEmpty() || src.isNull())
        return;
    Q_ASSERT(src.format() == QImage::Format_RGB32);
    p.s = Source{src.constBits(), src.bytesPerLine(), src.width()};
    p.h = buildAxis(to.x(), to.width(), dst.width(), from.x(), from.width(), src.width(), mode, clip.left(),
                    clip.left() + clip.width());
    p.v = buildAxis(to.y(), to.height(), dst.height(), from.y(), from.height(), src.height(), mode, clip.top(),
                    clip.top() + clip.height());
    if (p.h.size() <= 0 || p.v.size() <= 0)
        return;
    if (mode == Mode::Pixel) {
        p.kernel = Plan::Nearest;
        p.prepareNearest();
    } else if (p.h.enlarging && p.v.enlarging) {
        p.kernel = Plan::Bilinear;
        p.prepareBilinear();
    } else {
        p.kernel = Plan::General;
        p.halved = shortcuts && halvedAxis(p.h) && halvedAxis(p.v);
    }
}

Drawing::Drawing(QSize dst, const QRect& to, const QImage& src, QSize copy, const QRectF& from, const QRect& clip)
    : d(std::make_unique<Plan>())
{
    Plan& p = *d;
    p.id = ++lastDrawing;
    if (dst.isEmpty() || src.isNull() || copy.isEmpty())
        return;
    Q_ASSERT(src.format() == QImage::Format_RGB32);
    p.s = Source{src.constBits(), src.bytesPerLine(), src.width()};
    // Where the copy reads the source, as scaled() draws it: every pixel of the copy.
    const Axis ch = buildAxis(0, copy.width(), copy.width(), 0, src.width(), src.width(), Mode::Pixel, 0, copy.width());
    const Axis cv
        = buildAxis(0, copy.height(), copy.height(), 0, src.height(), src.height(), Mode::Pixel, 0, copy.height());
    p.h = buildAxis(to.x(), to.width(), dst.width(), from.x(), from.width(), copy.width(), Mode::Pixel, clip.left(),
                    clip.left() + clip.width());
    p.v = buildAxis(to.y(), to.height(), dst.height(), from.y(), from.height(), copy.height(), Mode::Pixel, clip.top(),
                    clip.top() + clip.height());
    if (p.h.size() <= 0 || p.v.size() <= 0)
        return;
    Q_ASSERT(ch.d0 == 0 && ch.d1 == copy.width() && cv.d0 == 0 && cv.d1 == copy.height());
    for (int& i : p.h.i0)
        i = ch.i0[size_t(i)];
    for (int& i : p.v.i0)
        i = cv.i0[size_t(i)];
    p.kernel = Plan::Nearest;
    p.prepareNearest();
}

Drawing::~Drawing() = default;
Drawing::Drawing(Drawing&&) noexcept = default;
Drawing& Drawing::operator=(Drawing&&) noexcept = default;

QRect Drawing::drawn() const
{
    if (d->kernel == Plan::Nothing)
        return {};
    return QRect(d->h.d0, d->v.d0, d->h.size(), d->v.size());
}

Drawing::Rows::Rows() = default;
Drawing::Rows::~Rows() = default;

void Drawing::drawRows(uchar* bits, qsizetype bytesPerLine, int top, int bottom, Rows& rows) const
{
    const Plan& p = *d;
    const int y0 = std::max(top, p.v.d0), y1 = std::min(bottom, p.v.d1);
    if (p.kernel == Plan::Nothing || y0 >= y1 || !bits)
        return;
    if (rows.m_drawing != p.id) {
        // Rows kept for another draw: none of them is of use here.
        rows.m_drawing = p.id;
        rows.m_tags.clear();
    }
    const Target t{bits, bytesPerLine};
    switch (p.kernel) {
    case Plan::Nearest:
        drawNearestRows(t, p, y0, y1);
        break;
    case Plan::Bilinear:
        if (rows.m_tags.empty())
            rows.m_pixels.clear();
        drawBilinearRows(t, p, y0, y1, rows.m_pixels, rows.m_tags);
        break;
    case Plan::General:
        if (p.halved) {
            drawHalvedRows(t, p, y0, y1);
            break;
        }
        if (rows.m_tags.empty())
            rows.m_filtered.clear();
        drawGeneralRows(t, p, y0, y1, rows.m_filtered, rows.m_tags, rows.m_sums);
        break;
    case Plan::Nothing:
        break;
    }
}

namespace {

QRect drawWith(QImage& dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode, const QRect& clip,
               bool shortcuts)
{
    if (dst.isNull() || src.isNull())
        return {};
    Q_ASSERT(dst.format() == QImage::Format_RGB32 && src.format() == QImage::Format_RGB32);
    const Drawing drawing(dst.size(), to, src, from, mode, clip, shortcuts);
    const QRect drawn = drawing.drawn();
    Drawing::Rows rows;
    if (!drawn.isEmpty())
        drawing.drawRows(dst.bits(), dst.bytesPerLine(), drawn.top(), drawn.top() + drawn.height(), rows);
    return drawn;
}

} // namespace

QRect draw(QImage& dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode)
{
    return draw(dst, to, src, from, mode, dst.rect());
}

QRect draw(QImage& dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode, const QRect& clip)
{
    return drawWith(dst, to, src, from, mode, clip, true);
}

QRect drawWithoutShortcuts(QImage& dst, const QRect& to, const QImage& src, const QRectF& from, Mode mode,
                           const QRect& clip)
{
    return drawWith(dst, to, src, from, mode, clip, false);
}

bool samePixelsShifted(QSize dst, QSize src, Mode mode, const QRect& toA, const QRectF& fromA, const QRect& toB,
                       const QRectF& fromB, QPoint shift)
{
    if (dst.isEmpty() || src.isEmpty())
        return true;
    const auto axis = [&](const QRect& to, const QRectF& from, bool horizontal) {
        return horizontal ? buildAxis(to.x(), to.width(), dst.width(), from.x(), from.width(), src.width(), mode, 0,
                                      dst.width())
                          : buildAxis(to.y(), to.height(), dst.height(), from.y(), from.height(), src.height(), mode, 0,
                                      dst.height());
    };
    const Axis ha = axis(toA, fromA, true), hb = axis(toB, fromB, true);
    const Axis va = axis(toA, fromA, false), vb = axis(toB, fromB, false);
    // The draw picks its kernel from both axes: a pixel-for-pixel match needs the same kernel.
    if (mode == Mode::Smooth && (ha.enlarging && va.enlarging) != (hb.enlarging && vb.enlarging))
        return false;
    // A draw that reaches no pixel on one axis draws nothing at all.
    const bool noneA = ha.size() <= 0 || va.size() <= 0, noneB = hb.size() <= 0 || vb.size() <= 0;
    if (noneA || noneB)
        return noneA && noneB;
    return sameAxisShifted(ha, hb, dst.width(), shift.x()) && sameAxisShifted(va, vb, dst.height(), shift.y());
}

QImage scaled(const QImage& src, QSize size, Mode mode)
{
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    out.fill(0xFF000000u);
    draw(out, QRect(QPoint(0, 0), size), src, QRectF(0, 0, src.width(), src.height()), mode);
    return out;
}

} // namespace vdm::Resampler
