#pragma once
// The analog record the oscilloscope benchmarks draw: both channels of a
// full record (20,480 samples each) at 2 MHz, a sine at 1 V per division on
// the first, a square at 500 mV with an offset on the second, the trigger in
// the middle.

#include "device/smpdataosc.h"

#include <cmath>

inline void fillOscRecord(SmpDataOsc* s)
{
    const int vd[2] = {1000, 500};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 100};
    const bool ena[2] = {true, true};
    s->dataConvertStart(10240, 2000000, vd, hs, off, ena);
    for (int c = 0; c < 2; ++c) {
        AnalogChnData* d = s->chnData[size_t(c)];
        d->smpCount = 20480;
        d->trgPosition = 10240;
        for (int i = 0; i < 20480; ++i)
            d->data[i] = c ? short((i / 250) % 2 ? 200 : -200) : short(std::lround(300 * std::sin(i * 0.0031)));
    }
}
