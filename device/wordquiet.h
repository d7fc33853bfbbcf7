#pragma once
// Word streams (one 16-bit word per enabled channel in turn): a word carries
// no edge when all its bits repeat the last bit of the same channel's
// previous word, one cycle back. Four words are tested at once.

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the word compares below assume a little-endian host"
#endif

namespace wordquiet {

constexpr uint64_t LaneLow = 0x0001000100010001ULL;

inline uint64_t load64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Zero in each 16-bit lane whose word at p repeats its channel's level;
// `back` is the cycle length in bytes.
inline uint64_t changed(const unsigned char* p, size_t back)
{
    const uint64_t prev = load64(p - back);
    return load64(p) ^ (((prev >> 15) & LaneLow) * 0xFFFFu);
}

// Bit k set for every nonzero lane k of changed().
inline uint32_t laneBits(uint64_t e)
{
    uint64_t t = e | (e >> 8);
    t |= t >> 4;
    t |= t >> 2;
    t |= t >> 1;
    // Lane bits 0, 16, 32, 48 to bits 48..51; the other products miss them.
    constexpr uint64_t Gather = (1ULL << 48) | (1ULL << 33) | (1ULL << 18) | (1ULL << 3);
    return uint32_t(((t & LaneLow) * Gather) >> 48) & 0xFu;
}

// Bit k set for each of the 16 words at p (k = 0..15) that does not repeat
// its channel's level: the portable form.
inline uint32_t changedWords16Swar(const unsigned char* p, size_t back)
{
    return laneBits(changed(p, back)) | laneBits(changed(p + 8, back)) << 4
        | laneBits(changed(p + 16, back)) << 8 | laneBits(changed(p + 24, back)) << 12;
}

#ifdef __SSE2__
// The same on 16-bit lanes: an arithmetic shift broadcasts the last bit.
inline uint32_t changedWords16Sse2(const unsigned char* p, size_t back)
{
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i q0 = _mm_srai_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p - back)), 15);
    const __m128i q1 = _mm_srai_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 - back)), 15);
    const __m128i same = _mm_packs_epi16(_mm_cmpeq_epi16(v0, q0), _mm_cmpeq_epi16(v1, q1));
    return ~uint32_t(_mm_movemask_epi8(same)) & 0xFFFFu;
}
#endif

// Of the 16 words at p (bit k for word k): those that do not repeat their
// channel's level, those that are 0 and those that are 0xFFFF.
struct WordMasks {
    uint32_t changed;
    uint32_t zero;
    uint32_t ones;
};

inline WordMasks wordMasks16Swar(const unsigned char* p, size_t back)
{
    WordMasks m{changedWords16Swar(p, back), 0, 0};
    for (int q = 0; q < 4; ++q) {
        const uint64_t v = load64(p + 8 * q);
        m.zero |= (~laneBits(v) & 0xFu) << (4 * q);
        m.ones |= (~laneBits(~v) & 0xFu) << (4 * q);
    }
    return m;
}

#ifdef __SSE2__
inline WordMasks wordMasks16Sse2(const unsigned char* p, size_t back)
{
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_cmpeq_epi16(zero, zero);
    auto bits = [](__m128i a, __m128i b) {
        return uint32_t(_mm_movemask_epi8(_mm_packs_epi16(a, b)));
    };
    return WordMasks{changedWords16Sse2(p, back),
                     bits(_mm_cmpeq_epi16(v0, zero), _mm_cmpeq_epi16(v1, zero)),
                     bits(_mm_cmpeq_epi16(v0, ones), _mm_cmpeq_epi16(v1, ones))};
}
#endif

inline WordMasks wordMasks16(const unsigned char* p, size_t back)
{
#ifdef __SSE2__
    return wordMasks16Sse2(p, back);
#else
    return wordMasks16Swar(p, back);
#endif
}

inline uint32_t changedWords16(const unsigned char* p, size_t back)
{
#ifdef __SSE2__
    return changedWords16Sse2(p, back);
#else
    return changedWords16Swar(p, back);
#endif
}

} // namespace wordquiet
