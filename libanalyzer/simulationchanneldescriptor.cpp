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
        // A run longer than 32 bits continues as a zero-length opposite run
        // would not be representable; such lengths never occur in practice,
        // so one run simply saturates and the next piece joins it below.
        if (!runs_.empty() && runLevel_ == level_ && runs_.back() <= 0xFFFFFFFFu - step) {
            runs_.back() += step;
        } else if (!runs_.empty() && runLevel_ == level_) {
            runs_.back() = 0xFFFFFFFFu;  // saturate rather than break the level parity
        } else {
            runs_.push_back(step);
            runLevel_ = level_;
        }
    }
}
