#pragma once
// Word streams (one 16-bit word per enabled channel in turn): a word carries
// no edge when all its bits repeat the last bit of the same channel's
// previous word, one cycle back. Four words are tested at once.

#include <cstddef>
#include <cstdint>
#include <cstring>

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

} // namespace wordquiet
