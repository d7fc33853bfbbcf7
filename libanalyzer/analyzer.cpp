#include "libanalyzer/analyzer.h"

#include <cxxabi.h>

Analyzer::Analyzer() = default;

Analyzer::~Analyzer() = default;

void Analyzer::Init(DeviceCollection* capture, ConditionManager* sampleRate, ProgressManager* progress)
{
    capture_ = capture;
    manager_ = progress;
    simRate_ = sampleRate ? *sampleRate : 0;
    // From now on settings texts naming channels the capture lacks are refused.
    if (capture && settings_ && capture->chnNum > 0)
        settings_->SetChannelLimit(U32(capture->chnNum));
}

void Analyzer::ResetResults()
{
    if (results_)
        results_->ClearResults();
    progress_.store(0.0, std::memory_order_relaxed);
}

void Analyzer::InitialWorkerThread()
{
    stop_.store(false);
    nextReport_ = 0;
    progress_.store(0.0, std::memory_order_relaxed);
    if (results_) {
        results_->ClearBubbleChannels();
        if (capture_)
            results_->SetTimeBase(capture_->smpFrequ, capture_->trgPosition);
    }
    SetupResults();
}

void Analyzer::StartProcessing()
{
    if (manager_)
        manager_->startWorkThread();
    else
        DecodeLoop();
}

void Analyzer::DecodeLoop()
{
    // A capture record without samples decodes to nothing.
    if (capture_ && capture_->chnData && capture_->smpCount > 0 && capture_->smpFrequ > 0
        && !StopRequested()) {
        try {
            WorkerThread();
        } catch (abi::__forced_unwind&) {
            throw;
        } catch (...) {
            // Out of memory while storing results: keep what was decoded.
        }
    }
    progress_.store(1.0, std::memory_order_relaxed);
    // Last action: the host may never return from here.
    if (manager_)
        manager_->stopWorkThread();
}

void Analyzer::StopWorkerThread()
{
    stop_.store(true);
}

bool Analyzer::WantsRestart()
{
    return false;
}

bool Analyzer::GetAnalyzerResults(AnalyzerResults** results)
{
    if (results)
        *results = results_;
    return results_ != nullptr;
}

bool Analyzer::OpenChannel(const Channel& channel, EdgeIterator* it) const
{
    if (!channel.IsDefined() || channel.index >= kAnalyzerMaxChannels)
        return false;
    return it->Attach(capture_, channel.index);
}

void Analyzer::reportProgressSlow(S64 sample)
{
    S64 count = SampleCount();
    if (count <= 0)
        return;
    double p = double(sample) / double(count);
    if (p > 1.0)
        p = 1.0;
    progress_.store(p, std::memory_order_relaxed);
    if (manager_)
        manager_->reportProgress(p);
    // About a thousand reports per capture.
    S64 step = count / 1000;
    nextReport_ = sample + (step > 0 ? step : 1);
}
