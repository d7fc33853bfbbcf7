#pragma once
#include "analyzers/can/canresults.h"
#include "analyzers/can/cansettings.h"
#include "libanalyzer/analyzer.h"

// Classic CAN (2.0A/B): standard and extended identifiers, remote frames,
// data length, bit stuffing, CRC-15 check, ACK slot, delimiters and end of
// frame. Bit boundaries resynchronise on every edge.
class CanAnalyzer : public Analyzer {
public:
    CanAnalyzer();
    ~CanAnalyzer() override;

    const char* GetProtocolName() const override { return "CAN"; }
    U32 MakeSimulationData(U64 newestSample, U32 sampleRate,
                           SimulationChannelDescriptor** descriptors) override;

    // CRC-15 of the bits (polynomial 0x4599), as the bus computes it.
    static U16 Crc15(U16 crc, int bit)
    {
        int next = bit ^ ((crc >> 14) & 1);
        crc = U16((crc << 1) & 0x7FFF);
        return next ? U16(crc ^ 0x4599) : crc;
    }

protected:
    void SetupResults() override;
    void WorkerThread() override;

private:
    void simulateMessage();

    CanSettings settings_;
    CanResults results_;
    Channel channel_;
    int bitRate_ = 500000;

    SimulationChannelDescriptor sim_;
    double simSpb_ = 0;
    double simTime_ = 0;
    U32 simCount_ = 0;
    bool simReady_ = false;
};
