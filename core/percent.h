#pragma once

#include <cstdint>

// Whole percent of part in total, truncated, within 0..100; an empty total
// is 0 %. Exact over the whole 64-bit range: part x 100 is never formed.
inline int percentOf(long long part, long long total)
{
    if (total <= 0 || part <= 0)
        return 0;
    if (part >= total)
        return 100;
    // 100 x part = q x total + r, built bit by bit of 100 with r < total, so
    // nothing exceeds 2 x total.
    const std::uint64_t t = std::uint64_t(total);
    const std::uint64_t p = std::uint64_t(part);
    std::uint64_t q = 0;
    std::uint64_t r = 0;
    for (int bit = 6; bit >= 0; --bit) {
        q <<= 1;
        r <<= 1;
        if (r >= t) {
            r -= t;
            ++q;
        }
        if ((100 >> bit) & 1) {
            r += p;
            if (r >= t) {
                r -= t;
                ++q;
            }
        }
    }
    return int(q);
}
