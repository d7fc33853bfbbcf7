#pragma once
// The arithmetic of the automatic ADC calibration: mean codes of a capture
// and the corrections derived from them, limited to what the instrument's
// calibration record can hold.

class SmpDataOsc;

namespace CalibAdc {

// The record keeps the zero corrections as signed bytes and the scales as
// signed 16-bit values; a scale of 0 or less would divide the trigger level by it.
constexpr int ZeroMin = -128;
constexpr int ZeroMax = 127;
constexpr int SlopeMin = 1;
constexpr int SlopeMax = 32767;

struct Means {
    double a = 0;   // ADC 0
    double b = 0;   // ADC 1
    bool ok = false;
};

// Both channel blocks: the means of channel 0 and channel 1 over the samples
// both hold. Channel 1 absent: the even and the odd samples of channel 0
// (the two ADCs alternate on it). Not ok without channel 0 or samples.
Means adcMeans(const SmpDataOsc& s);

// zero = -trunc(mean - oldZero + 0.5), delta = mean - oldZero. False (nothing
// written) when the result is not finite or not a signed byte.
bool zeroCorrection(double mean, int oldZero, double* delta, int* zero);

// raw = (mean - zeroDual) / (oldSlope / 1000), slope = trunc((384 - zeroDual)
// x 1000 / raw + 0.5). False (nothing written) for a scale of 0 or less, a
// raw mean of 0, or a result outside SlopeMin..SlopeMax.
bool slopeCorrection(double mean, int zeroDual, int oldSlope, double* raw, int* slope);

} // namespace CalibAdc
