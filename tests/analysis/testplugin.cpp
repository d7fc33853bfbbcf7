// A small analyzer plug-in for the host tests. Its settings: an input
// channel, a second channel (may be none), the number of runs after which it
// stops asking for a restart, and how many milliseconds a run works (-1:
// until stopped). Each millisecond of work adds `burst` frames. Counters are
// exported so a test can see what the host did.

#include "libanalyzer/analyzer.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<int> runs{0};
std::atomic<int> lastLimit{0};
std::atomic<int> liveInstances{0};
std::atomic<long long> lastNewest{0};

class TstSettings : public AnalyzerSettings {
public:
    TstSettings() : AnalyzerSettings("TST"), input("input"), clock("clock"), restarts("restarts"), work("work"), burst("burst")
    {
        input.SetTitleAndTooltip("Data", "");
        input.SetChannel(Channel(0, 0));
        clock.SetTitleAndTooltip("Clock", "");
        clock.SetSelectionOfNoneIsAllowed(true);
        clock.SetChannel(Channel());
        restarts.SetTitleAndTooltip("Restarts", "");
        restarts.SetMin(0);
        restarts.SetMax(1000);
        work.SetTitleAndTooltip("Work", "");
        work.SetMin(-1);
        work.SetMax(1000000);
        burst.SetTitleAndTooltip("Burst", "");
        burst.SetMin(1);
        burst.SetMax(100000);
        burst.SetInteger(1);
        AddInterface(&input);
        AddInterface(&clock);
        AddInterface(&restarts);
        AddInterface(&work);
        AddInterface(&burst);
        ApplyInterfaces();
        AddExportOption(0, "Frames");
        AddExportExtension(0, "Text file", "txt");
#ifdef TST_TWO_EXPORTS
        AddExportOption(1, "Values");
        AddExportExtension(1, "Value list", "lst");
        AddExportExtension(1, "CSV file", "csv");
#endif
    }
    AnalyzerSettingInterfaceChannel input;
    AnalyzerSettingInterfaceChannel clock;
    AnalyzerSettingInterfaceInteger restarts;
    AnalyzerSettingInterfaceInteger work;
    AnalyzerSettingInterfaceInteger burst;
};

class TstResults : public AnalyzerResults {
protected:
    void GenerateBubbleText(U64 i, const Channel&, DisplayBase) override
    {
        AddResultString(std::to_string(GetFrame(i).data1).c_str());
    }
    void GenerateTabularText(U64 i, DisplayBase) override
    {
        AddTabularText("F", std::to_string(GetFrame(i).data1).c_str());
    }
    void GenerateExportHeader(unsigned) override { AddExportField("Value"); }
    void GenerateExportRow(U64 i, DisplayBase, unsigned) override
    {
        AddExportField(std::to_string(GetFrame(i).data1).c_str());
    }
};

class TstAnalyzer : public Analyzer {
public:
    TstAnalyzer()
    {
        SetAnalyzerSettings(&settings_);
        SetAnalyzerResults(&results_);
        ++liveInstances;
    }
    ~TstAnalyzer() override { --liveInstances; }
    const char* GetProtocolName() const override { return "TST"; }
    U32 MakeSimulationData(U64 newest, U32, SimulationChannelDescriptor** d) override
    {
        *d = &sim_;
        lastNewest = (long long)newest;
        if (!simReady_) {
            sim_.SetChannel(settings_.input.Value());
            sim_.SetInitialBitState(BitLow);
            simReady_ = true;
        }
        while (sim_.GetCurrentSampleNumber() < newest) {
            sim_.Advance(100);
            sim_.Transition();
        }
        return 1;
    }
    bool WantsRestart() override { return done_ <= restarts_; }

protected:
    void SetupResults() override
    {
        lastLimit = int(settings_.GetChannelLimit());
        restarts_ = settings_.restarts.Value();
        work_ = settings_.work.Value();
        burst_ = settings_.burst.Value();
    }
    void WorkerThread() override
    {
        ++runs;
        // A later Init puts the capture's channel count back; a restart
        // without Init keeps this.
        settings_.SetChannelLimit(64);
        for (int ms = 0; work_ < 0 || ms < work_; ++ms) {
            if (StopRequested())
                break;
            for (int b = 0; b < burst_; ++b) {
                const S64 k = S64(ms) * burst_ + b;
                Frame f;
                f.startSample = 2 * k;
                f.endSample = 2 * k + 1;
                f.data1 = U64(k);
                results_.AddFrame(f);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ++done_;
    }

private:
    TstSettings settings_;
    TstResults results_;
    SimulationChannelDescriptor sim_;
    bool simReady_ = false;
    int restarts_ = 0;
    int work_ = 0;
    int burst_ = 1;
    int done_ = 0;
};

}  // namespace

TAV_ANALYZER_EXPORT const char* GetAnalyzerName() { return TST_NAME; }
TAV_ANALYZER_EXPORT Analyzer* CreateAnalyzer() { return new TstAnalyzer; }
#ifndef TST_NO_DESTROY
TAV_ANALYZER_EXPORT void DestroyAnalyzer(Analyzer* a) { delete a; }
#endif
#ifdef TST_PARA
TAV_ANALYZER_EXPORT const char* GetParaInfoList() { return TST_PARA; }
#endif
TAV_ANALYZER_EXPORT int TstRuns() { return runs.load(); }
TAV_ANALYZER_EXPORT int TstLastLimit() { return lastLimit.load(); }
TAV_ANALYZER_EXPORT int TstLiveInstances() { return liveInstances.load(); }
TAV_ANALYZER_EXPORT long long TstLastNewest() { return lastNewest.load(); }
