#pragma once
#include "analyzers/i2c/i2cresults.h"
#include "analyzers/i2c/i2csettings.h"
#include "libanalyzer/analyzer.h"

// I2C: start, repeated start and stop conditions, 7-bit address with R/W,
// data bytes, ACK/NAK in the ninth bit.
class I2cAnalyzer : public Analyzer {
public:
    I2cAnalyzer();
    ~I2cAnalyzer() override;

    const char* GetProtocolName() const override { return "I2C"; }
    U32 MakeSimulationData(U64 newestSample, U32 sampleRate,
                           SimulationChannelDescriptor** descriptors) override;

protected:
    void SetupResults() override;
    void WorkerThread() override;

private:
    void simulateTransaction();
    void simSda(int level);
    void simScl(int level);
    void simBit(int bit);
    void simByte(U8 value, bool ack);

    I2cSettings settings_;
    I2cResults results_;
    Channel sda_, scl_;

    SimulationChannelDescriptor sims_[2];
    U64 simTime_ = 0;
    U64 simQ_ = 0;
    U32 simCount_ = 0;
    bool simReady_ = false;
};
