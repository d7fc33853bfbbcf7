#pragma once
// Base class of every protocol analyzer (one instance per analyzer in use).
//
// Host side, one decode run:
//   Init(capture, nullptr, progress)   capture: the host's DataForAnly record
//   ResetResults()                     drops earlier results (also alone)
//   InitialWorkerThread()              takes the settings for this run
//   StartProcessing()                  calls progress->startWorkThread(); the
//                                      host's thread then calls DecodeLoop()
// DecodeLoop() decodes and, as its last action, calls
// progress->stopWorkThread() on the worker thread, with every result already
// published and no lock held (the host may park and end the thread there).
// StopWorkerThread() (any thread) makes a running decode end within
// milliseconds; stopWorkThread() follows as usual. Without a progress
// manager StartProcessing() runs the decode on the calling thread.
//
// Init with a capture also limits the channels the settings accept to the
// capture's channel count.
// Demo side: Init(nullptr, &sampleRate, nullptr), where ConditionManager is
// the 64-bit sample rate, then MakeSimulationData() per block.
//
// Plug-in side: derive, create settings and results objects in the
// constructor (SetAnalyzerSettings / SetAnalyzerResults), implement
// SetupResults(), WorkerThread(), MakeSimulationData() and GetProtocolName().
// WorkerThread() reads the capture with EdgeIterator (OpenChannel), checks
// StopRequested() in every loop, and reports progress with ReportProgress().

#include "libanalyzer/analyzerdata.h"
#include "libanalyzer/analyzerresults.h"
#include "libanalyzer/analyzersettings.h"
#include "libanalyzer/analyzertypes.h"
#include "libanalyzer/edgeiterator.h"
#include "libanalyzer/progressmanager.h"
#include "libanalyzer/simulationchanneldescriptor.h"

#include <atomic>

typedef DataForAnly DeviceCollection;
typedef long long ConditionManager;  // sample rate in Hz, for simulation runs

class Analyzer {
public:
    Analyzer();
    virtual ~Analyzer();
    Analyzer(const Analyzer&) = delete;
    Analyzer& operator=(const Analyzer&) = delete;

    void Init(DeviceCollection* capture, ConditionManager* sampleRate, ProgressManager* progress);
    void ResetResults();
    void InitialWorkerThread();
    void StartProcessing();
    void DecodeLoop();
    void StopWorkerThread();
    // After a run: true asks the host for another run without Init.
    virtual bool WantsRestart();

    virtual const char* GetProtocolName() const = 0;
    AnalyzerSettings* GetAnalyzerSettings() { return settings_; }
    // True with the results object when there is one (it may hold no frames).
    bool GetAnalyzerResults(AnalyzerResults** results);

    // Simulated traffic up to at least `newestSample` at `sampleRate`;
    // *descriptors points at the analyzer's descriptors (the same array on
    // every call). Returns their number.
    virtual U32 MakeSimulationData(U64 newestSample, U32 sampleRate,
                                   SimulationChannelDescriptor** descriptors) = 0;

    // Decoded share of the capture of the last run (0..1).
    double GetProgress() const { return progress_.load(std::memory_order_relaxed); }

protected:
    void SetAnalyzerSettings(AnalyzerSettings* settings) { settings_ = settings; }
    void SetAnalyzerResults(AnalyzerResults* results) { results_ = results; }

    // Host thread, before the worker starts: take the applied settings into
    // plain members and register bubble channels on the results.
    virtual void SetupResults() = 0;
    // Worker thread: decode the capture; return when done or StopRequested().
    virtual void WorkerThread() = 0;

    bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }
    const DataForAnly* Capture() const { return capture_; }
    S64 SampleRate() const { return capture_ ? capture_->smpFrequ : simRate_; }
    S64 SampleCount() const { return capture_ ? capture_->smpCount : 0; }
    // Binds an iterator to a capture channel; false when the channel is not
    // defined, outside the capture or not captured.
    bool OpenChannel(const Channel& channel, EdgeIterator* it) const;
    // Progress as the sample the decode has reached; cheap to call per frame.
    void ReportProgress(S64 sample)
    {
        if (sample >= nextReport_)
            reportProgressSlow(sample);
    }

private:
    void reportProgressSlow(S64 sample);

    AnalyzerSettings* settings_ = nullptr;
    AnalyzerResults* results_ = nullptr;
    const DataForAnly* capture_ = nullptr;
    ProgressManager* manager_ = nullptr;
    S64 simRate_ = 0;
    S64 nextReport_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<double> progress_{0.0};
};

// Exports of every plug-in, with C linkage.
#define TAV_ANALYZER_EXPORT extern "C" __attribute__((visibility("default")))
