#pragma once
#include "analyzers/spi/spiresults.h"
#include "analyzers/spi/spisettings.h"
#include "libanalyzer/analyzer.h"

// SPI: MOSI and MISO sampled on the clock edge that CPOL/CPHA select, words of
// 1-64 bits, optional enable line that frames the words.
class SpiAnalyzer : public Analyzer {
public:
    SpiAnalyzer();
    ~SpiAnalyzer() override;

    const char* GetProtocolName() const override { return "SPI"; }
    U32 MakeSimulationData(U64 newestSample, U32 sampleRate,
                           SimulationChannelDescriptor** descriptors) override;

protected:
    void SetupResults() override;
    void WorkerThread() override;

private:
    struct Config {
        Channel mosi, miso, clock, enable;
        int cpol = 0, cpha = 0;
        U32 bits = 8;
        bool lsbFirst = false;
        bool enableHigh = false;
    };
    static Config configFrom(const SpiSettings& s);
    void simulateTransfer();
    void simSet(SimulationChannelDescriptor* d, int level);

    SpiSettings settings_;
    SpiResults results_;
    Config run_;

    SimulationChannelDescriptor sims_[4];
    SimulationChannelDescriptor* simMosi_ = nullptr;
    SimulationChannelDescriptor* simMiso_ = nullptr;
    SimulationChannelDescriptor* simClk_ = nullptr;
    SimulationChannelDescriptor* simEn_ = nullptr;
    U32 simCount_ = 0;
    U64 simTime_ = 0;
    U64 simHalf_ = 0;
    U64 simWord_ = 0;
    Config simCfg_;
    bool simReady_ = false;
};
