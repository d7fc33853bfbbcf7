#pragma once
// Simulated signal of one channel, handed to the demo generator as run
// lengths: GetData() holds the lengths (in samples) of consecutive runs of
// alternating level since the data was last emptied; the last run has the
// level GetCurrentBitState(). A run cut at the end of one batch continues with
// the same level in the next, so the reader joins them when the level matches.
// The reader empties the data after each batch (GetData().clear()); the
// descriptor keeps its level and its sample count.

#include "libanalyzer/analyzertypes.h"
#include "libanalyzer/channel.h"

#include <vector>

enum BitState : U8 { BitLow = 0, BitHigh = 1 };

class SimulationChannelDescriptor {
public:
    SimulationChannelDescriptor() = default;

    // ---- set-up, by the analyzer ----
    void SetChannel(const Channel& channel) { channel_ = channel; }
    void SetSampleRate(U32 rate) { rate_ = rate; }
    // Level at sample 0; also resets the sample count and the data.
    void SetInitialBitState(BitState state);

    // ---- generation ----
    // Adds `samples` at the current level.
    void Advance(U64 samples);
    // Changes the level; the next Advance starts a new run.
    void Transition() { level_ = BitState(level_ ^ 1); }
    void TransitionIfNeeded(BitState state)
    {
        if (state != level_)
            Transition();
    }
    // Advances to an absolute sample (no-op when already there or beyond).
    void AdvanceTo(U64 sample)
    {
        if (sample > samples_)
            Advance(sample - samples_);
    }
    U64 GetCurrentSampleNumber() const { return samples_; }

    // ---- read by the demo generator ----
    Channel GetChannel() const { return channel_; }
    U32 GetSampleRate() const { return rate_; }
    BitState GetInitialBitState() const { return initial_; }
    // Level of the last run in the data (the current level when empty).
    BitState GetCurrentBitState() const { return runs_.empty() ? level_ : runLevel_; }
    std::vector<U32>& GetData() { return runs_; }
    const std::vector<U32>& GetData() const { return runs_; }

private:
    Channel channel_;
    U32 rate_ = 0;
    BitState initial_ = BitLow;
    BitState level_ = BitLow;     // level of the next samples
    BitState runLevel_ = BitLow;  // level of runs_.back()
    U64 samples_ = 0;
    std::vector<U32> runs_;
};
