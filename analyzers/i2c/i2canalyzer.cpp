#include "analyzers/i2c/i2canalyzer.h"

#include "analyzers/pluginexport.h"

I2cAnalyzer::I2cAnalyzer()
{
    SetAnalyzerSettings(&settings_);
    SetAnalyzerResults(&results_);
}

I2cAnalyzer::~I2cAnalyzer() = default;

void I2cAnalyzer::SetupResults()
{
    sda_ = settings_.sda.Value();
    scl_ = settings_.scl.Value();
    results_.AddChannelBubblesWillAppearOn(sda_);
}

void I2cAnalyzer::WorkerThread()
{
    const Channel sdaCh = sda_, sclCh = scl_;
    EdgeIterator sda, scl;
    if (!OpenChannel(sdaCh, &sda) || !OpenChannel(sclCh, &scl))
        return;

    bool inTransfer = false;
    bool expectAddress = false;
    bool reading = false;
    U32 bits = 0;       // SCL rises since the byte began
    U64 byte = 0;
    S64 byteStart = 0;
    S64 lastFall = 0;   // last SCL falling edge
    S64 lastRise = 0;   // last SCL rising edge
    bool nak = false;
    // A start frame ends at the following SCL fall, not yet seen.
    bool condPending = false;
    U8 condType = 0;
    S64 condStart = 0;

    auto addFrame = [this](S64 start, S64 end, U8 type, U64 d1, U64 d2, U8 flags) {
        Frame f;
        f.startSample = start;
        f.endSample = end > start ? end : start + 1;
        f.type = type;
        f.data1 = d1;
        f.data2 = d2;
        f.flags = flags;
        results_.AddFrame(f);
    };
    auto flushCond = [&](S64 end) {
        if (condPending)
            addFrame(condStart, end, condType, 0, 0, 0);
        condPending = false;
    };
    // A condition inside a byte: the SCL rise that belongs to the condition
    // itself counts one bit; more bits mean the byte was cut short.
    auto cutByte = [&](S64 at) {
        // The cut byte ends where the condition's own clock pulse began.
        if (lastRise > byteStart && lastRise < at)
            at = lastRise;
        if (inTransfer && bits > 1 && bits <= 9)
            addFrame(byteStart, at, I2cResults::Incomplete, byte >> 1, bits - 1,
                     Frame::kError);
    };

    while (!StopRequested()) {
        const bool sdaMore = sda.HasNextEdge(), sclMore = scl.HasNextEdge();
        if (!sdaMore && !sclMore)
            break;
        bool takeScl;
        if (!sdaMore)
            takeScl = true;
        else if (!sclMore)
            takeScl = false;
        else if (scl.NextEdge() != sda.NextEdge())
            takeScl = scl.NextEdge() < sda.NextEdge();
        else
            // Same sample: treat the SDA change as made while SCL is low, so
            // a data change at a clock edge is never read as a condition.
            takeScl = scl.Level() == 1;

        if (takeScl) {
            scl.AdvanceToNextEdge();
            const S64 e = scl.Sample();
            if (scl.Level() == 1) {
                lastRise = e;
                if (!inTransfer)
                    continue;
                const int bit = sda.LevelAt(e);
                if (bits < 8) {
                    if (bits == 0) {
                        byteStart = lastFall;
                        byte = 0;
                    }
                    byte = (byte << 1) | U64(bit);
                    results_.AddMarker(e, MarkerUpArrow, sclCh);
                } else if (bits == 8) {
                    nak = bit != 0;
                    results_.AddMarker(e, MarkerUpArrow, sclCh);
                    results_.AddMarker(e, nak ? MarkerErrorDot : MarkerDot, sdaCh);
                }
                ++bits;
            } else {
                lastFall = e;
                flushCond(e);
                if (inTransfer && bits >= 9) {
                    U8 flags = 0;
                    if (nak)
                        flags = I2cResults::kNak | (expectAddress ? Frame::kError : Frame::kWarning);
                    if (expectAddress) {
                        reading = byte & 1;
                        addFrame(byteStart, e, I2cResults::Address, byte, 0, flags);
                        expectAddress = false;
                    } else {
                        addFrame(byteStart, e, I2cResults::Data, byte, reading ? 1 : 0, flags);
                    }
                    bits = 0;
                    ReportProgress(e);
                }
            }
        } else {
            sda.AdvanceToNextEdge();
            const S64 e = sda.Sample();
            if (scl.Level() != 1)
                continue;  // data changes while SCL is low
            if (sda.Level() == 0) {
                cutByte(e);
                flushCond(e);
                condType = inTransfer ? I2cResults::RepeatedStart : I2cResults::Start;
                condStart = e;
                condPending = true;
                results_.AddMarker(e, MarkerStart, sdaCh);
                inTransfer = true;
                expectAddress = true;
                bits = 0;
            } else {
                cutByte(e);
                flushCond(lastRise > condStart ? lastRise : e);
                if (inTransfer)
                    addFrame(lastRise, e + 1, I2cResults::Stop, 0, 0, 0);
                results_.AddMarker(e, MarkerStop, sdaCh);
                inTransfer = false;
                bits = 0;
            }
            ReportProgress(e);
        }
    }
    flushCond(scl.End());
}

void I2cAnalyzer::simSda(int level)
{
    sims_[0].AdvanceTo(simTime_);
    sims_[0].TransitionIfNeeded(BitState(level));
}

void I2cAnalyzer::simScl(int level)
{
    sims_[1].AdvanceTo(simTime_);
    sims_[1].TransitionIfNeeded(BitState(level));
}

void I2cAnalyzer::simBit(int bit)
{
    simSda(bit);
    simTime_ += simQ_;
    simScl(1);
    simTime_ += 2 * simQ_;
    simScl(0);
    simTime_ += simQ_;
}

void I2cAnalyzer::simByte(U8 value, bool ack)
{
    for (int k = 7; k >= 0; --k)
        simBit((value >> k) & 1);
    simBit(ack ? 0 : 1);
}

void I2cAnalyzer::simulateTransaction()
{
    // Start
    simSda(0);
    simTime_ += 2 * simQ_;
    simScl(0);
    simTime_ += simQ_;
    const U32 n = simCount_++;
    if (n % 5 == 4) {
        // Nobody answers this address.
        simByte(0x3C << 1, false);
    } else {
        const U8 reg = U8(n * 4);
        simByte(0x50 << 1, true);
        simByte(reg, true);
        // Repeated start, then read two bytes (the last one not acknowledged).
        simSda(1);
        simTime_ += simQ_;
        simScl(1);
        simTime_ += simQ_;
        simSda(0);
        simTime_ += simQ_;
        simScl(0);
        simTime_ += simQ_;
        simByte((0x50 << 1) | 1, true);
        simByte(U8(0x30 + (n % 10)), true);
        simByte(U8(0x41 + (n % 26)), false);
    }
    // Stop
    simSda(0);
    simTime_ += simQ_;
    simScl(1);
    simTime_ += simQ_;
    simSda(1);
    simTime_ += 8 * simQ_;
    sims_[0].AdvanceTo(simTime_);
    sims_[1].AdvanceTo(simTime_);
}

U32 I2cAnalyzer::MakeSimulationData(U64 newestSample, U32 sampleRate,
                                    SimulationChannelDescriptor** descriptors)
{
    if (descriptors)
        *descriptors = sims_;
    if (!simReady_) {
        sims_[0].SetChannel(settings_.sda.Value());
        sims_[1].SetChannel(settings_.scl.Value());
        for (SimulationChannelDescriptor& d : sims_) {
            d.SetSampleRate(sampleRate);
            d.SetInitialBitState(BitHigh);
        }
        simQ_ = sampleRate / 400000u;  // a 100 kHz clock where the rate allows it
        if (simQ_ < 2)
            simQ_ = 2;
        simTime_ = 8 * simQ_;
        simReady_ = true;
    }
    while (sims_[1].GetCurrentSampleNumber() < newestSample)
        simulateTransaction();
    return 2;
}

TAV_DEFINE_ANALYZER_PLUGIN(I2cAnalyzer, "I2C")
