#include "analyzers/uart/uartanalyzer.h"

#include "analyzers/pluginexport.h"
#include "libanalyzer/analyzerhelpers.h"

namespace {
const char kDemoText[] = "Hello from the demo capture 0123456789\r\n";
}

UartAnalyzer::UartAnalyzer() : results_(&settings_)
{
    SetAnalyzerSettings(&settings_);
    SetAnalyzerResults(&results_);
}

UartAnalyzer::~UartAnalyzer() = default;

UartAnalyzer::Config UartAnalyzer::configFrom(const UartSettings& s)
{
    Config c;
    c.channel = s.input.Value();
    c.baud = s.bitRate.Value();
    c.bits = U32(s.dataBits.Value());
    c.parity = int(s.parity.Value());
    c.stopBits = s.stopBits.Value();
    c.msbFirst = s.msbFirst.Value() != 0;
    c.inverted = s.inverted.Value();
    return c;
}

void UartAnalyzer::SetupResults()
{
    run_ = configFrom(settings_);
    results_.SetDataBits(run_.bits);
    results_.AddChannelBubblesWillAppearOn(run_.channel);
}

void UartAnalyzer::WorkerThread()
{
    const Config c = run_;
    EdgeIterator it;
    if (!OpenChannel(c.channel, &it) || c.baud <= 0)
        return;
    const double spb = double(SampleRate()) / c.baud;
    if (!(spb >= 2.0))
        return;  // under two samples a bit: nothing can be sampled reliably
    const int idle = c.inverted ? 0 : 1;
    const int flip = 1 - idle;  // level XOR flip = bit value
    const S64 end = it.End();
    const U32 firstStop = 1 + c.bits + (c.parity ? 1 : 0);
    auto at = [spb](S64 start, double bit) { return start + S64(bit * spb + 0.5); };

    // A frame is stored once the next start is known, so that a character
    // that starts early (short stop bit) cuts the previous bubble instead of
    // overlapping it.
    Frame pending;
    bool havePending = false;

    while (!StopRequested()) {
        if (it.Level() != idle) {
            if (!it.HasNextEdge())
                break;
            it.AdvanceToNextEdge();
            continue;
        }
        if (!it.HasNextEdge())
            break;
        it.AdvanceToNextEdge();
        const S64 s = it.Sample();
        S64 p = at(s, 0.5);
        if (p >= end)
            break;
        if (it.LevelAt(p) == idle)
            continue;  // a glitch, not a start bit

        U64 value = 0;
        bool complete = true;
        for (U32 k = 0; k < c.bits; ++k) {
            p = at(s, 1.5 + k);
            if (p >= end) {
                complete = false;
                break;
            }
            U64 bit = U64(it.LevelAt(p) ^ flip);
            if (c.msbFirst)
                value = (value << 1) | bit;
            else
                value |= bit << k;
            results_.AddMarker(p, MarkerDot, c.channel);
        }
        if (!complete)
            break;

        U8 flags = 0;
        if (c.parity) {
            p = at(s, 1.5 + c.bits);
            if (p >= end)
                break;
            int bit = it.LevelAt(p) ^ flip;
            int ones = AnalyzerHelpers::Parity(value) ^ bit;
            bool ok = c.parity == UartSettings::ParityEven ? ones == 0 : ones == 1;
            if (!ok)
                flags |= UartResults::kParityError;
            results_.AddMarker(p, ok ? MarkerDot : MarkerErrorDot, c.channel);
        }

        // The middle of the stop bit (of the first one with two stop bits).
        p = at(s, firstStop + (c.stopBits == 1.5 ? 0.75 : 0.5));
        if (p >= end)
            break;
        if (it.LevelAt(p) != idle) {
            flags |= UartResults::kFramingError;
            results_.AddMarker(p, MarkerErrorX, c.channel);
        } else if (c.stopBits == 2.0) {
            p = at(s, firstStop + 1.5);
            if (p < end && it.LevelAt(p) != idle) {
                flags |= UartResults::kFramingError;
                results_.AddMarker(p, MarkerErrorX, c.channel);
            }
        }
        if (flags)
            flags |= Frame::kError;

        S64 fend = at(s, firstStop + c.stopBits);
        if (fend > end)
            fend = end;
        if (havePending) {
            if (pending.endSample > s)
                pending.endSample = s;
            results_.AddFrame(pending);
        }
        pending = Frame();
        pending.startSample = s;
        pending.endSample = fend;
        pending.data1 = value;
        pending.flags = flags;
        havePending = true;
        ReportProgress(s);
    }
    if (havePending)
        results_.AddFrame(pending);
}

U32 UartAnalyzer::MakeSimulationData(U64 newestSample, U32 sampleRate,
                                     SimulationChannelDescriptor** descriptors)
{
    if (descriptors)
        *descriptors = &sim_;
    if (!simReady_) {
        simCfg_ = configFrom(settings_);
        sim_.SetChannel(simCfg_.channel);
        sim_.SetSampleRate(sampleRate);
        sim_.SetInitialBitState(simCfg_.inverted ? BitLow : BitHigh);
        simSpb_ = simCfg_.baud > 0 ? double(sampleRate) / simCfg_.baud : 0;
        simTime_ = simSpb_ * 4;  // some idle line first
        simCount_ = 0;
        simReady_ = true;
    }
    if (!simCfg_.channel.IsDefined())
        return 0;
    if (!(simSpb_ >= 2.0)) {
        sim_.AdvanceTo(newestSample);
        return 1;
    }
    while (sim_.GetCurrentSampleNumber() < newestSample)
        simulateByte(U8(kDemoText[simCount_++ % (sizeof kDemoText - 1)]));
    return 1;
}

void UartAnalyzer::simulateByte(U32 value)
{
    const Config& c = simCfg_;
    const int idle = c.inverted ? 0 : 1;
    const int flip = 1 - idle;
    auto bit = [this](int level) {
        sim_.AdvanceTo(U64(simTime_ + 0.5));
        sim_.TransitionIfNeeded(BitState(level));
        simTime_ += simSpb_;
    };
    value &= (1u << c.bits) - 1;
    bit(1 - idle);  // start
    for (U32 k = 0; k < c.bits; ++k) {
        U32 b = c.msbFirst ? (value >> (c.bits - 1 - k)) & 1 : (value >> k) & 1;
        bit(int(b) ^ flip);
    }
    if (c.parity) {
        int p = AnalyzerHelpers::Parity(value);
        if (c.parity == UartSettings::ParityOdd)
            p ^= 1;
        bit(p ^ flip);
    }
    sim_.AdvanceTo(U64(simTime_ + 0.5));
    sim_.TransitionIfNeeded(BitState(idle));
    simTime_ += simSpb_ * c.stopBits;
    // A pause of 0-2 bit times between characters.
    simTime_ += simSpb_ * (simCount_ % 3);
    sim_.AdvanceTo(U64(simTime_ + 0.5));
}

TAV_DEFINE_ANALYZER_PLUGIN(UartAnalyzer, "UART")
