#pragma once
#include "libanalyzer/analyzerresults.h"

// Frame types below. Address and data frames: data1 = the byte, data2 bit 0 =
// the transaction reads; kNak when the ninth bit was not acknowledged.
// Incomplete frames: data1 = the bits seen, data2 = their number.
class I2cResults : public AnalyzerResults {
public:
    enum Type : U8 { Start = 0, RepeatedStart = 1, Stop = 2, Address = 3, Data = 4, Incomplete = 5 };
    static constexpr U8 kNak = 0x01;

protected:
    void GenerateBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base) override;
    void GenerateTabularText(U64 frameIndex, DisplayBase base) override;
    void GenerateExportHeader(unsigned exportId) override;
    void GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned exportId) override;
};
