#include "files/smptimeexport.h"

#include <cstring>

namespace {

constexpr long long TenPow12 = 1000000000000LL;

constexpr char Pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                        "8081828384858687888990919293949596979899";

// Decimal digits of v, most significant first, into out; returns the count.
int writeU64(unsigned long long v, char* out)
{
    char tmp[20];
    int i = 20;
    while (v >= 100) {
        const unsigned r = unsigned(v % 100);
        v /= 100;
        tmp[--i] = Pairs[2 * r + 1];
        tmp[--i] = Pairs[2 * r];
    }
    if (v >= 10) {
        tmp[--i] = Pairs[2 * v + 1];
        tmp[--i] = Pairs[2 * v];
    } else {
        tmp[--i] = char('0' + v);
    }
    const int n = 20 - i;
    std::memcpy(out, tmp + i, size_t(n));
    return n;
}

int writeU128(unsigned __int128 v, char* out)
{
    if (v <= ~0ULL)
        return writeU64((unsigned long long)v, out);
    // Peel 19 digits at a time so the wide division runs at most twice.
    constexpr unsigned long long P19 = 10000000000000000000ULL;
    unsigned long long parts[3];
    int np = 0;
    while (v > ~0ULL) {
        parts[np++] = (unsigned long long)(v % P19);
        v /= P19;
    }
    int n = writeU64((unsigned long long)v, out);
    while (np > 0) {
        unsigned long long p = parts[--np];
        for (int i = 18; i >= 0; --i) {
            out[n + i] = char('0' + p % 10);
            p /= 10;
        }
        n += 19;
    }
    return n;
}

} // namespace

SmpTimeExport::SmpTimeExport(long long rate, long long trg)
    : trgPoint(trg), scale(TenPow12), frequ(rate), decimals(12), valid(rate >= 1 && rate <= TenPow12)
{
    if (!valid) {
        // Both reductions below would never end (or divide by zero).
        scale = 1;
        frequ = 1;
        decimals = 0;
        return;
    }
    long long q = TenPow12 / rate;
    while (q % 10 == 0) {
        --decimals;
        scale /= 10;
        q /= 10;
    }
    while (frequ % 10 == 0) {
        scale /= 10;
        frequ /= 10;
    }
}

int SmpTimeExport::toString(long long position, char* out) const
{
    // The product of a 41-bit difference and a scale of up to 10^12 needs
    // more than 64 bits; take the wide path only when it does.
    long long diff = 0;
    bool neg = false;
    unsigned __int128 v;
    long long prod;
    if (!__builtin_sub_overflow(position, trgPoint, &diff) && !__builtin_mul_overflow(diff, scale, &prod)) {
        // Rates of 10^k Hz reduce to a divisor of 1.
        const long long q = frequ == 1 ? prod : prod / frequ;
        neg = q < 0;
        v = neg ? (unsigned __int128)(-(__int128)q) : (unsigned __int128)q;
    } else {
        __int128 p = ((__int128)position - (__int128)trgPoint) * (__int128)scale;
        __int128 q = p / frequ;
        neg = q < 0;
        v = neg ? (unsigned __int128)(-q) : (unsigned __int128)q;
    }
    return fixedText(neg, v, decimals, out);
}

int SmpTimeExport::fixedText(bool negative, unsigned __int128 v, int decimals, char* out)
{
    int n = 0;
    if (negative)
        out[n++] = '-';
    char digits[40];
    const int nd = writeU128(v, digits);
    const int d = decimals;
    if (nd > d) {
        std::memcpy(out + n, digits, size_t(nd - d));
        n += nd - d;
    } else {
        out[n++] = '0';
    }
    out[n++] = '.';
    if (nd >= d) {
        std::memcpy(out + n, digits + (nd - d), size_t(d));
    } else {
        std::memset(out + n, '0', size_t(d - nd));
        std::memcpy(out + n + (d - nd), digits, size_t(nd));
    }
    return n + d;
}
