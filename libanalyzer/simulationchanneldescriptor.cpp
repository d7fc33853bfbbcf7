#include "libanalyzer/simulationchanneldescriptor.h"

void SimulationChannelDescriptor::SetInitialBitState(BitState state)
{
    initial_ = level_ = runLevel_ = state;
    samples_ = 0;
    runs_.clear();
}

void SimulationChannelDescriptor::Advance(U64 samples)
{
    if (samples == 0)
        return;
    samples_ += samples;
    while (samples > 0) {
        U32 step = samples > 0xFFFFFFFFull ? 0xFFFFFFFFu : U32(samples);
        samples -= step;
        // Run lengths are 32-bit: a run that would grow past that is cut
        // there (more than four thousand million samples of one level).
        if (!runs_.empty() && runLevel_ == level_ && runs_.back() <= 0xFFFFFFFFu - step) {
            runs_.back() += step;
        } else if (!runs_.empty() && runLevel_ == level_) {
            runs_.back() = 0xFFFFFFFFu;
        } else {
            runs_.push_back(step);
            runLevel_ = level_;
        }
    }
}
