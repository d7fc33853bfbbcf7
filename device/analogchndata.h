#pragma once
// Plain records of the analog sample store. The data file reader fills
// AnalogChnData blocks directly, so their layout is part of the file code's
// contract: keep the field order.

// One analog channel of one capture, with the range in use at capture time.
// Codes become millivolts as
//   (code * 0.5 / halfScreenCodes - offset / 1000) * voltDiv * 10.
struct AnalogChnData {
    static constexpr int Capacity = 51200;   // samples per channel

    short data[Capacity];   // sample codes
    int smpCount;           // valid samples
    int trgPosition;        // sample index of the trigger
    int halfScreenCodes;    // codes per half screen (5 divisions) at the capture's volts/div
    int offset;             // vertical offset, per mille of the screen height, -500..500
    int voltDiv;            // millivolts per division
    long long smpFrequ;     // sample rate of this channel in Hz
};

// Calibration the device object hands to the converter; only entries 0 and 1
// of each array are used.
struct CalibAdcData {
    int zeroDual[10];       // code offset per channel while both channels capture
    int zeroSingle[10];     // code offset per ADC half while one channel captures
    int slope[10];          // gain per ADC in thousandths
};

// Work buffer of one channel for the math trace: the samples rescaled to a
// common scale, in units of 1/200 division of voltDiv millivolts.
struct MathChnBuf {
    double values[AnalogChnData::Capacity];
    long long smpCount;
    int voltDiv;
};

// One drawing column of an analog trace. A single sample has single = true and
// its value in low; otherwise high/low are the column's extremes. Values in mV.
struct WaveLineA {
    int x;
    double high;
    double low;
    bool single;
};
