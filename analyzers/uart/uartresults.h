#pragma once
#include "libanalyzer/analyzerresults.h"

class UartSettings;

// Frames: data1 = character value, flags = error bits below (plus Frame::kError).
class UartResults : public AnalyzerResults {
public:
    static constexpr U8 kParityError = 0x01;
    static constexpr U8 kFramingError = 0x02;

    explicit UartResults(const UartSettings* settings) : settings_(settings) {}
    // Width of the values, taken at the start of a run.
    void SetDataBits(U32 bits) { bits_ = bits; }

protected:
    void GenerateBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base) override;
    void GenerateTabularText(U64 frameIndex, DisplayBase base) override;
    void GenerateExportHeader(unsigned exportId) override;
    void GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned exportId) override;

private:
    static const char* errorText(U8 flags);
    const UartSettings* settings_;
    U32 bits_ = 8;
};
