#pragma once
// Helpers shared by the analog store tests: a store with blocks of a chosen
// range, filled with given codes.

#include "device/smpdataosc.h"

#include <memory>
#include <vector>

struct OscRange {
    int voltDiv = 1000;
    int halfScreenCodes = 480;
    int offset = 0;
};

// Code to millivolts, written out as the documented formula.
inline double refMv(const OscRange& r, double code)
{
    return (code * 0.5 / r.halfScreenCodes - r.offset / 1000.0) * r.voltDiv * 10;
}

// A two-channel store whose enabled channels hold the given codes.
inline std::unique_ptr<SmpDataOsc> makeStore(const std::vector<short>* ch0,
                                             const std::vector<short>* ch1,
                                             OscRange r0 = OscRange(), OscRange r1 = OscRange(),
                                             long long rate = 1000000)
{
    auto s = std::make_unique<SmpDataOsc>(2, 16);
    const int vd[2] = {r0.voltDiv, r1.voltDiv};
    const int hs[2] = {r0.halfScreenCodes, r1.halfScreenCodes};
    const int off[2] = {r0.offset, r1.offset};
    const bool ena[2] = {ch0 != nullptr, ch1 != nullptr};
    s->dataConvertStart(0, rate, vd, hs, off, ena);
    const std::vector<short>* src[2] = {ch0, ch1};
    for (int c = 0; c < 2; ++c) {
        if (!src[c])
            continue;
        AnalogChnData* d = s->chnData[size_t(c)];
        d->smpCount = int(src[c]->size());
        std::copy(src[c]->begin(), src[c]->end(), d->data);
    }
    return s;
}
