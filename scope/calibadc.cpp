#include "scope/calibadc.h"

#include "device/smpdataosc.h"

#include <algorithm>
#include <cmath>

namespace CalibAdc {

Means adcMeans(const SmpDataOsc& s)
{
    Means m;
    if (s.chnNum < 2 || s.chnData.size() < 2)
        return m;
    const AnalogChnData* d0 = s.chnData[0];
    const AnalogChnData* d1 = s.chnData[1];
    if (!d0)
        return m;
    const int cnt0 = std::clamp(d0->smpCount, 0, int(AnalogChnData::Capacity));
    long long sumA = 0;
    long long sumB = 0;
    int n = 0;
    if (d1) {
        // Past its own count a block holds the previous capture's samples.
        n = std::min(cnt0, std::clamp(d1->smpCount, 0, int(AnalogChnData::Capacity)));
        for (int i = 0; i < n; ++i) {
            sumA += d0->data[i];
            sumB += d1->data[i];
        }
    } else {
        n = cnt0 / 2;
        for (int i = 0; i < n; ++i) {
            sumA += d0->data[2 * i];
            sumB += d0->data[2 * i + 1];
        }
    }
    if (n <= 0)
        return m;
    m.a = double(sumA) / n;
    m.b = double(sumB) / n;
    m.ok = true;
    return m;
}

bool zeroCorrection(double mean, int oldZero, double* delta, int* zero)
{
    const double d = mean - oldZero;
    const double z = -std::trunc(d + 0.5);
    if (!std::isfinite(z) || z < ZeroMin || z > ZeroMax)
        return false;
    *delta = d;
    *zero = int(z);
    return true;
}

bool slopeCorrection(double mean, int zeroDual, int oldSlope, double* raw, int* slope)
{
    if (oldSlope <= 0)
        return false;
    const double r = (mean - zeroDual) / (oldSlope / 1000.0);
    if (!std::isfinite(r) || r == 0)
        return false;
    const long long full = (384LL - zeroDual) * 1000;
    const double v = std::trunc(double(full) / r + 0.5);
    if (!std::isfinite(v) || v < SlopeMin || v > SlopeMax)
        return false;
    *raw = r;
    *slope = int(v);
    return true;
}

} // namespace CalibAdc
