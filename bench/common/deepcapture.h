#pragma once
// The deep capture the waveform benchmarks read: every channel its own list
// of edges 1..199 samples apart (1e-2 of the samples on average), filled
// into a store as a finished capture leaves it.

#include "device/smpdata.h"

#include <vector>

namespace tavbench {

inline void fillDeepCapture(SmpData* s, long long n, long long rate = 100000000)
{
    std::vector<char> ena(size_t(s->chnNum), 1);
    s->dataConvertStart(0, rate, reinterpret_cast<const bool*>(ena.data()));
    unsigned long long x = 88172645463325252ULL;
    for (int c = 0; c < s->chnNum; ++c) {
        DigitalChnData* d = s->chnData[size_t(c)];
        long long p = 0;
        for (;;) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            p += 1 + (long long)(x % 199);
            if (p >= n)
                break;
            SmpData::appendEntry(d, p);
        }
        s->setInitLevel(c, c & 1);
    }
    s->smpCount = n;
    s->dataConvertComplete(n);
}

} // namespace tavbench
