#pragma once
#include "libanalyzer/analyzerresults.h"

// Frames: one word; data1 = MOSI, data2 = MISO, type = bits in the word,
// kIncomplete when the enable line ended the word early.
class SpiResults : public AnalyzerResults {
public:
    static constexpr U8 kIncomplete = 0x01;

    void SetChannels(const Channel& mosi, const Channel& miso, U32 bits)
    {
        mosi_ = mosi;
        miso_ = miso;
        bits_ = bits;
    }

protected:
    void GenerateBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base) override;
    void GenerateTabularText(U64 frameIndex, DisplayBase base) override;
    void GenerateExportHeader(unsigned exportId) override;
    void GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned exportId) override;

private:
    Channel mosi_, miso_;
    U32 bits_ = 8;
};
