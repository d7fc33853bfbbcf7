#include "analyzers/spi/spianalyzer.h"

#include "analyzers/pluginexport.h"

SpiAnalyzer::SpiAnalyzer()
{
    SetAnalyzerSettings(&settings_);
    SetAnalyzerResults(&results_);
}

SpiAnalyzer::~SpiAnalyzer() = default;

SpiAnalyzer::Config SpiAnalyzer::configFrom(const SpiSettings& s)
{
    Config c;
    c.mosi = s.mosi.Value();
    c.miso = s.miso.Value();
    c.clock = s.clock.Value();
    c.enable = s.enable.Value();
    c.cpol = int(s.cpol.Value());
    c.cpha = int(s.cpha.Value());
    c.bits = U32(s.bits.Value());
    c.lsbFirst = s.lsbFirst.Value() != 0;
    c.enableHigh = s.enableHigh.Value() != 0;
    return c;
}

void SpiAnalyzer::SetupResults()
{
    run_ = configFrom(settings_);
    results_.SetChannels(run_.mosi, run_.miso, run_.bits);
    results_.AddChannelBubblesWillAppearOn(run_.mosi);
    results_.AddChannelBubblesWillAppearOn(run_.miso);
}

void SpiAnalyzer::WorkerThread()
{
    const Config c = run_;
    EdgeIterator clk, mosi, miso, en;
    if (!OpenChannel(c.clock, &clk))
        return;
    const bool hasMosi = OpenChannel(c.mosi, &mosi);
    const bool hasMiso = OpenChannel(c.miso, &miso);
    if (!hasMosi && !hasMiso)
        return;
    const bool hasEn = c.enable.IsDefined();
    if (hasEn && !OpenChannel(c.enable, &en))
        return;
    const int idleClk = c.cpol;
    const int sampleLevel = c.cpol == c.cpha ? 1 : 0;  // clock level just after a sampling edge
    const int active = c.enableHigh ? 1 : 0;
    const S64 end = clk.End();
    const MarkerType arrow = sampleLevel ? MarkerUpArrow : MarkerDownArrow;

    while (!StopRequested()) {
        S64 segStart = 0, segEnd = end;
        if (hasEn) {
            if (en.Level() != active) {
                if (!en.HasNextEdge())
                    break;
                en.AdvanceToNextEdge();
                results_.AddMarker(en.Sample(), MarkerStart, c.enable);
            }
            segStart = en.Sample();
            segEnd = en.NextEdge();
            if (segEnd < end)
                results_.AddMarker(segEnd, MarkerStop, c.enable);
        }
        clk.AdvanceTo(segStart);

        U32 n = 0;
        U64 wMosi = 0, wMiso = 0;
        S64 wordStart = segStart, lastLeading = segStart;
        while (clk.HasNextEdge() && clk.NextEdge() < segEnd) {
            clk.AdvanceToNextEdge();
            const S64 e = clk.Sample();
            const int lvl = clk.Level();
            if (lvl != idleClk)
                lastLeading = e;
            if (lvl != sampleLevel)
                continue;
            if (n == 0) {
                wordStart = c.cpha == 0 ? e : lastLeading;
            }
            U64 bm = hasMosi ? U64(mosi.LevelAt(e)) : 0;
            U64 bs = hasMiso ? U64(miso.LevelAt(e)) : 0;
            if (c.lsbFirst) {
                wMosi |= bm << n;
                wMiso |= bs << n;
            } else {
                wMosi = (wMosi << 1) | bm;
                wMiso = (wMiso << 1) | bs;
            }
            results_.AddMarker(e, arrow, c.clock);
            if (++n == c.bits) {
                S64 fend = (c.cpha == 0 && clk.NextEdge() < segEnd) ? clk.NextEdge() : e + 1;
                Frame f;
                f.startSample = wordStart;
                f.endSample = fend;
                f.data1 = wMosi;
                f.data2 = wMiso;
                f.type = U8(c.bits);
                results_.AddFrame(f);
                n = 0;
                wMosi = wMiso = 0;
                ReportProgress(e);
                if (StopRequested())
                    break;
            }
        }
        // Enable released in the middle of a word: keep what came, as an error.
        if (n > 0 && hasEn && segEnd < end && !StopRequested()) {
            Frame f;
            f.startSample = wordStart;
            f.endSample = segEnd > wordStart ? segEnd : wordStart + 1;
            f.data1 = wMosi;
            f.data2 = wMiso;
            f.type = U8(n);
            f.flags = SpiResults::kIncomplete | Frame::kError;
            results_.AddFrame(f);
        }
        if (!hasEn || segEnd >= end)
            break;
        en.AdvanceTo(segEnd);
        ReportProgress(segEnd);
    }
}

void SpiAnalyzer::simSet(SimulationChannelDescriptor* d, int level)
{
    if (!d)
        return;
    d->AdvanceTo(simTime_);
    d->TransitionIfNeeded(BitState(level));
}

U32 SpiAnalyzer::MakeSimulationData(U64 newestSample, U32 sampleRate,
                                    SimulationChannelDescriptor** descriptors)
{
    if (descriptors)
        *descriptors = sims_;
    if (!simReady_) {
        simCfg_ = configFrom(settings_);
        U32 n = 0;
        auto setup = [&](const Channel& ch, int level) -> SimulationChannelDescriptor* {
            if (!ch.IsDefined())
                return nullptr;
            SimulationChannelDescriptor* d = &sims_[n++];
            d->SetChannel(ch);
            d->SetSampleRate(sampleRate);
            d->SetInitialBitState(BitState(level));
            return d;
        };
        simClk_ = setup(simCfg_.clock, simCfg_.cpol);
        simMosi_ = setup(simCfg_.mosi, 0);
        simMiso_ = setup(simCfg_.miso, 0);
        simEn_ = setup(simCfg_.enable, simCfg_.enableHigh ? 0 : 1);
        simHalf_ = sampleRate / 2000000u;  // a 1 MHz clock where the rate allows it
        if (simHalf_ < 2)
            simHalf_ = 2;
        simTime_ = simHalf_ * 4;
        simReady_ = true;
    }
    U32 count = U32((simClk_ != nullptr) + (simMosi_ != nullptr) + (simMiso_ != nullptr) + (simEn_ != nullptr));
    if (!simClk_)
        return count;
    while (simClk_->GetCurrentSampleNumber() < newestSample)
        simulateTransfer();
    return count;
}

void SpiAnalyzer::simulateTransfer()
{
    const Config& c = simCfg_;
    const int active = c.enableHigh ? 1 : 0;
    simSet(simEn_, active);
    simTime_ += simHalf_ * 2;
    for (int w = 0; w < 4; ++w) {
        U64 vMosi = simWord_ * 0x9Du + 0x31u;
        U64 vMiso = ~simWord_;
        ++simWord_;
        for (U32 k = 0; k < c.bits; ++k) {
            U32 bit = c.lsbFirst ? k : c.bits - 1 - k;
            int bm = int((vMosi >> bit) & 1), bs = int((vMiso >> bit) & 1);
            if (c.cpha == 0) {
                simSet(simMosi_, bm);
                simSet(simMiso_, bs);
            }
            simTime_ += simHalf_;
            simSet(simClk_, 1 - c.cpol);  // leading edge
            if (c.cpha == 1) {
                simSet(simMosi_, bm);
                simSet(simMiso_, bs);
            }
            simTime_ += simHalf_;
            simSet(simClk_, c.cpol);  // trailing edge
        }
        simTime_ += simHalf_ * 2;
    }
    simSet(simEn_, 1 - active);
    simTime_ += simHalf_ * 8;
    for (SimulationChannelDescriptor* d : {simClk_, simMosi_, simMiso_, simEn_})
        if (d)
            d->AdvanceTo(simTime_);
}

TAV_DEFINE_ANALYZER_PLUGIN(SpiAnalyzer, "SPI")
