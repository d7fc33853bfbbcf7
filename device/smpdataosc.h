#pragma once
// The analog captures of the oscilloscope work mode: per channel one block of
// calibrated 16-bit sample codes, filled by the buffer-mode run (raw ADC bytes)
// or the demo generator, then read by the analog trace generator. The device
// object keeps two stores as a double buffer; a store is written by one thread
// while it is not displayed, and the displayed one is only read (GUI thread).

#include "device/analogchndata.h"

#include <QRandomGenerator>
#include <QVector>
#include <QtGlobal>

#include <vector>

class SmpDataOsc {
public:
    // chnNum analog channels; the second count (logic channels) is not used.
    SmpDataOsc(int chnNum, int);
    ~SmpDataOsc();
    SmpDataOsc(const SmpDataOsc&) = delete;
    SmpDataOsc& operator=(const SmpDataOsc&) = delete;

    std::vector<AnalogChnData*> chnData;   // null = channel not captured
    long long smpFrequ = 0;                // rate given to the last dataConvertStart
    int trgPosition = 0;                   // trigger sample index of the capture
    // The device object's run that filled the store; 0 for anything else
    // (file loads, a cleared store).
    quint32 runSerial = 0;
    const int chnNum;
    std::vector<MathChnBuf*> mathData;     // math work buffers, null until needed
    QVector<double> levelHigh;             // mV of the highest populated histogram bin
    QVector<double> levelLow;              // mV of the lowest populated histogram bin

    void clearData();
    // Frees the old capture and makes an empty block for each enabled channel;
    // each array has chnNum entries. False when a block could not be allocated
    // (that channel stays without data).
    bool dataConvertStart(int trgPosition, qint64 smpFrequ, const int* voltDiv,
                          const int* halfScreenCodes, const int* offset, const bool* chnEna);
    // Converts raw ADC bytes (signed 8-bit). Successive calls append, so a
    // record may arrive in several buffers; bytes beyond a block's capacity,
    // and all bytes when no channel block exists, are consumed and dropped.
    bool dataConvertM2_16(const CalibAdcData* cal, const uchar* raw, int len, int* consumed);
    // Demo capture of one channel: channel 0 a sine, others the levels played
    // back 5.2 times. smpNum is limited to the block capacity.
    bool dataConvertSimu(const int* levels, int levelNum, int chn, int trgPercent, int smpNum);
    void dataConvertComplete() {}

    // 0 when the channel has no block, else its sample count.
    int getAnalogData(int chn, short** data) const;
    bool hasValidDataA(int chn) const;
    // One record per pixel column (at most width) of a channel, values in mV.
    int getAWaveLineData(int chn, double startSmp, double smpPerPixel, int width,
                         WaveLineA* out) const;
    // Math trace of chns[0] (A) and chns[1] (B): op 0 A + B, 1 A - B, 2 A x B,
    // 3 A / B. Caches the rescaled channels until the capture changes.
    int getAMathWaveLineData(int op, const int* chns, double startSmp, double smpPerPixel,
                             int width, WaveLineA* out);

    // Measurements (aparameter.cpp): the 13 values of one channel over a window
    // of samples, in the order "Vtop", "Vbase", "Vamp", "Vpp", "Vavg", "Vrms",
    // "Period" (ps), "Frequency", "RiseTime", "FallTime", "+PulseWidth",
    // "-PulseWidth" (ps), "DutyCycle" (%). Also sets levelHigh/levelLow[chn].
    static constexpr int ParamNum = 13;
    void getAParameterValues(int chn, double startSmp, double smpLen, double* values,
                             bool* valid);
    // Threshold crossings of n codes with hysteresis: pairs alternating
    // between rising (the sample where the signal last reached lowThr coming
    // from below it, then the first at or above highThr) and falling (the
    // same from highThr down to lowThr); a rise counts only after the signal
    // was at or below lowThr, a fall only after it was at or above highThr.
    // A record that ends inside an edge gives a last pair ending at n.
    static QVector<qint64> getPeriodSubA(const short* data, qint64 n, int highThr, int lowThr);

    // Code to millivolts with a block's own range.
    static double codeToMv(const AnalogChnData* d, double code);

private:
    const AnalogChnData* block(int chn) const;
    void freeAll();

    // Byte-to-code tables of the two ADC halves, kept while the calibration
    // pair they were made for stays the same (every bulk transfer converts).
    struct CodeTable {
        int zero = 0;
        int slope = 0;
        bool valid = false;
        short code[256];
    };
    const short* codeTable(int half, int zero, int slope);
    CodeTable tables[2];

    int trgRecord = 0;        // trigger index as given to dataConvertStart
    long long rawBytes = 0;   // raw bytes converted since dataConvertStart
    std::vector<double> mathResult;   // scratch of the math trace
    QRandomGenerator rng;
};
