#pragma once
#include "analyzers/uart/uartresults.h"
#include "analyzers/uart/uartsettings.h"
#include "libanalyzer/analyzer.h"

// Asynchronous serial: start bit, 5-9 data bits, optional parity, 1/1.5/2
// stop bits, either bit order, optionally inverted.
class UartAnalyzer : public Analyzer {
public:
    UartAnalyzer();
    ~UartAnalyzer() override;

    const char* GetProtocolName() const override { return "UART"; }
    U32 MakeSimulationData(U64 newestSample, U32 sampleRate,
                           SimulationChannelDescriptor** descriptors) override;

protected:
    void SetupResults() override;
    void WorkerThread() override;

private:
    struct Config {
        Channel channel;
        double baud = 0;
        U32 bits = 8;
        int parity = 0;
        double stopBits = 1;
        bool msbFirst = false;
        bool inverted = false;
    };
    static Config configFrom(const UartSettings& s);
    void simulateByte(U32 value);

    UartSettings settings_;
    UartResults results_;
    Config run_;

    // Simulation state.
    SimulationChannelDescriptor sim_;
    Config simCfg_;
    bool simReady_ = false;
    double simSpb_ = 0;
    double simTime_ = 0;
    U32 simCount_ = 0;
};
