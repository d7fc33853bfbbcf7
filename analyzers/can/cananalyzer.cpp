#include "analyzers/can/cananalyzer.h"

#include "analyzers/pluginexport.h"

#include <cmath>
#include <vector>

namespace {

// Bit-level decoder of one bus line; bits arrive with the sample at which
// each begins. Results go to the results object as field frames.
class CanDecoder {
public:
    CanDecoder(AnalyzerResults* results, const Channel& ch, double spb)
        : results_(results), ch_(ch), spb_(spb)
    {
    }

    enum State { WaitIdle, WaitSof, InFrame };
    State state() const { return state_; }

    // Start of capture: a recessive line counts as idle.
    void begin(int level) { state_ = level ? WaitSof : WaitIdle; }

    // Dominant bits while waiting for the bus to go idle.
    void busy() { idle_ = 0; }

    // Recessive bits seen while waiting: only their number matters.
    void idleBits(S64 n)
    {
        idle_ += n;
        if (state_ == WaitIdle && idle_ >= 11)
            state_ = WaitSof;
    }

    void bit(int level, S64 pos)
    {
        if (state_ != InFrame) {
            if (level) {
                idleBits(1);
                return;
            }
            if (state_ == WaitIdle) {
                idle_ = 0;
                return;
            }
            startFrame(pos);
        }
        closePending(pos);
        if (stuffCheck_ && same_ == 5) {
            if (level == last_)
                return error(CanResults::ErrorStuff, pos);
            results_->AddMarker(pos, MarkerX, ch_);
            last_ = level;
            same_ = 1;
            stuffCheck_ = inStuffed();
            return;
        }
        if (inStuffed()) {
            if (level == last_)
                ++same_;
            else {
                last_ = level;
                same_ = 1;
            }
            stuffCheck_ = true;
            stuffedBit(level, pos);
        } else {
            stuffCheck_ = false;
            tailBit(level, pos);
        }
    }

    // End of capture inside a frame: close what is open.
    void finish(S64 end)
    {
        if (pendingOpen_) {
            pending_.endSample = end > pending_.startSample ? end : pending_.startSample + 1;
            results_->AddFrame(pending_);
            pendingOpen_ = false;
        }
    }

private:
    void startFrame(S64 pos)
    {
        state_ = InFrame;
        idx_ = 0;
        idA_ = idB_ = 0;
        ide_ = rtr_ = false;
        srr_ = 0;
        dlc_ = 0;
        crc_ = 0;
        crcRecv_ = 0;
        same_ = 0;
        last_ = -1;
        stuffCheck_ = false;
        tail_ = 0;
        data_ = 0;
        phase_ = 0;
        dlcKnown_ = false;
        crcStart_ = 0;
        results_->AddMarker(pos, MarkerStart, ch_);
    }

    // Bits from SOF to the end of the CRC sequence are stuffed.
    bool inStuffed() const { return phase_ == 0; }

    void open(U8 type, S64 pos, U64 d1 = 0, U64 d2 = 0)
    {
        pending_ = Frame();
        pending_.type = type;
        pending_.startSample = pos;
        pending_.data1 = d1;
        pending_.data2 = d2;
        pendingOpen_ = true;
        pendingDone_ = false;
    }
    // The field ends where the next bit begins.
    void done() { pendingDone_ = true; }
    void closePending(S64 pos)
    {
        if (pendingOpen_ && pendingDone_) {
            pending_.endSample = pos;
            results_->AddFrame(pending_);
            pendingOpen_ = false;
        }
    }

    void stuffedBit(int b, S64 pos)
    {
        const U32 i = idx_++;
        if (!dlcKnown_ || i < crcStart_)
            crc_ = CanAnalyzer::Crc15(crc_, b);
        if (i == 0) {
            open(CanResults::Identifier, pos);
            return;
        }
        if (i <= 11) {
            idA_ = (idA_ << 1) | U32(b);
            return;
        }
        if (i == 12) {
            srr_ = b;
            return;
        }
        if (i == 13) {
            ide_ = b;
            if (!ide_)
                rtr_ = srr_;
            return;
        }
        const U32 ctrlStart = ide_ ? 35 : 15;  // first DLC bit
        if (ide_ && i <= 31) {
            idB_ = (idB_ << 1) | U32(b);
            return;
        }
        if (ide_ && i == 32) {
            rtr_ = b;
            return;
        }
        if (i < ctrlStart) {  // reserved bits
            if (i == ctrlStart - 1) {
                pending_.data1 = ide_ ? (U64(idA_) << 18 | idB_) : idA_;
                pending_.data2 = (ide_ ? 1 : 0) | (rtr_ ? 2 : 0);
                done();
            }
            return;
        }
        if (i < ctrlStart + 4) {
            if (i == ctrlStart)
                open(CanResults::Control, pos);
            dlc_ = (dlc_ << 1) | U32(b);
            if (i == ctrlStart + 3) {
                pending_.data1 = dlc_;
                done();
                dataBytes_ = rtr_ ? 0 : (dlc_ > 8 ? 8 : dlc_);
                crcStart_ = ctrlStart + 4 + 8 * dataBytes_;
                dlcKnown_ = true;
            }
            return;
        }
        const U32 dataStart = ctrlStart + 4;
        const U32 crcStart = crcStart_;
        if (i < crcStart) {
            const U32 k = i - dataStart;
            if (k % 8 == 0) {
                open(CanResults::Data, pos, 0, k / 8);
                data_ = 0;
            }
            data_ = (data_ << 1) | U32(b);
            if (k % 8 == 7) {
                pending_.data1 = data_;
                done();
            }
            return;
        }
        if (i == crcStart)
            open(CanResults::Crc, pos);
        crcRecv_ = U16((crcRecv_ << 1) | b);
        if (i == crcStart + 14) {
            phase_ = 1;  // the CRC sequence ends the stuffed part
            pending_.data1 = crcRecv_;
        }
    }

    void tailBit(int b, S64 pos)
    {
        const U32 t = tail_++;
        if (t == 0) {  // CRC delimiter
            pending_.data2 = crc_;
            if (crcRecv_ != crc_)
                pending_.flags = Frame::kError;
            if (!b)
                return error(CanResults::ErrorForm, pos);
            done();
            return;
        }
        if (t == 1) {  // ACK slot
            open(CanResults::Ack, pos, b ? 0 : 1, 0);
            if (b)
                pending_.flags = Frame::kError;
            return;
        }
        if (t == 2) {  // ACK delimiter
            if (!b)
                return error(CanResults::ErrorForm, pos);
            done();
            return;
        }
        if (t == 3)
            open(CanResults::EndOfFrame, pos);
        if (!b)
            return error(CanResults::ErrorForm, pos);
        if (t == 9) {
            done();
            closePending(pos + S64(spb_ + 0.5));
            state_ = WaitSof;
            phase_ = 0;
            idle_ = 0;
        }
    }

    void error(U8 kind, S64 pos)
    {
        if (pendingOpen_) {
            pending_.endSample = pos > pending_.startSample ? pos : pending_.startSample + 1;
            results_->AddFrame(pending_);
            pendingOpen_ = false;
        }
        Frame f;
        f.type = CanResults::Error;
        f.startSample = pos;
        f.endSample = pos + (spb_ >= 1 ? S64(spb_) : 1);
        f.data1 = kind;
        f.flags = Frame::kError;
        results_->AddFrame(f);
        results_->AddMarker(pos, MarkerErrorX, ch_);
        state_ = WaitIdle;
        phase_ = 0;
        idle_ = 0;
    }

private:
    AnalyzerResults* results_;
    Channel ch_;
    double spb_;
    State state_ = WaitIdle;
    S64 idle_ = 0;
    int phase_ = 0;
    U32 idx_ = 0, tail_ = 0;
    U32 idA_ = 0, idB_ = 0, dlc_ = 0, dataBytes_ = 0, data_ = 0;
    int srr_ = 0;
    bool ide_ = false, rtr_ = false;
    U16 crc_ = 0, crcRecv_ = 0;
    U32 crcStart_ = 0;
    bool dlcKnown_ = false;
    int same_ = 0, last_ = -1;
    bool stuffCheck_ = false;
    Frame pending_;
    bool pendingOpen_ = false, pendingDone_ = false;
};

}  // namespace

CanAnalyzer::CanAnalyzer()
{
    SetAnalyzerSettings(&settings_);
    SetAnalyzerResults(&results_);
}

CanAnalyzer::~CanAnalyzer() = default;

void CanAnalyzer::SetupResults()
{
    channel_ = settings_.input.Value();
    bitRate_ = settings_.bitRate.Value();
    results_.AddChannelBubblesWillAppearOn(channel_);
}

void CanAnalyzer::WorkerThread()
{
    EdgeIterator it;
    if (!OpenChannel(channel_, &it) || bitRate_ <= 0)
        return;
    const double spb = double(SampleRate()) / double(bitRate_);
    if (!(spb >= 2.0))
        return;
    const S64 end = it.End();
    CanDecoder dec(&results_, channel_, spb);
    dec.begin(it.Level());
    while (!StopRequested()) {
        const int level = it.Level();
        const S64 runStart = it.Sample();
        const bool last = !it.HasNextEdge();
        const S64 runEnd = last ? end : it.NextEdge();
        const double len = double(runEnd - runStart) / spb;
        S64 n = last ? S64(std::floor(len)) : S64(std::llround(len));
        if (!last && n < 1)
            n = 1;  // a glitch still counts as a bit: it breaks what it hits
        for (S64 j = 0; j < n; ++j) {
            if (dec.state() != CanDecoder::InFrame) {
                if (level) {
                    dec.idleBits(n - j);
                    break;
                }
                if (dec.state() == CanDecoder::WaitIdle) {
                    dec.busy();  // the rest of a dominant run holds nothing to decode
                    break;
                }
            }
            dec.bit(level, runStart + S64(std::llround(double(j) * spb)));
        }
        if (last)
            break;
        it.AdvanceToNextEdge();
        ReportProgress(runStart);
    }
    dec.finish(end);
}

U32 CanAnalyzer::MakeSimulationData(U64 newestSample, U32 sampleRate,
                                    SimulationChannelDescriptor** descriptors)
{
    if (descriptors)
        *descriptors = &sim_;
    if (!simReady_) {
        sim_.SetChannel(settings_.input.Value());
        sim_.SetSampleRate(sampleRate);
        sim_.SetInitialBitState(BitHigh);
        const int rate = settings_.bitRate.Value();
        simSpb_ = rate > 0 ? double(sampleRate) / rate : 0;
        simTime_ = simSpb_ * 12;
        simReady_ = true;
    }
    if (!(simSpb_ >= 2.0)) {
        sim_.AdvanceTo(newestSample);
        return 1;
    }
    while (sim_.GetCurrentSampleNumber() < newestSample)
        simulateMessage();
    return 1;
}

void CanAnalyzer::simulateMessage()
{
    const U32 n = simCount_++;
    const bool ext = n % 3 == 1;
    const bool remote = n % 7 == 5;
    const bool acked = n % 11 != 10;
    const U32 id = ext ? (0x18DAF110u + n % 16) : (0x123u + (n % 8) * 0x10);
    const U32 dlc = remote ? 2 : n % 9;

    std::vector<int> bits;  // unstuffed, SOF to the end of the CRC
    auto put = [&bits](U32 v, int count) {
        for (int k = count - 1; k >= 0; --k)
            bits.push_back(int((v >> k) & 1));
    };
    put(0, 1);  // SOF
    if (ext) {
        put(id >> 18, 11);
        put(1, 1);  // SRR
        put(1, 1);  // IDE
        put(id & 0x3FFFF, 18);
        put(remote ? 1 : 0, 1);
        put(0, 2);  // r1, r0
    } else {
        put(id, 11);
        put(remote ? 1 : 0, 1);
        put(0, 2);  // IDE, r0
    }
    put(dlc, 4);
    if (!remote)
        for (U32 k = 0; k < dlc; ++k)
            put((n * 7 + k * 0x11) & 0xFF, 8);
    U16 crc = 0;
    for (int b : bits)
        crc = Crc15(crc, b);
    put(crc, 15);

    auto emit = [this](int level) {
        sim_.AdvanceTo(U64(simTime_ + 0.5));
        sim_.TransitionIfNeeded(BitState(level));
        simTime_ += simSpb_;
    };
    int last = -1, same = 0;
    for (int b : bits) {
        emit(b);
        if (b == last)
            ++same;
        else {
            last = b;
            same = 1;
        }
        if (same == 5) {
            emit(1 - b);
            last = 1 - b;
            same = 1;
        }
    }
    emit(1);             // CRC delimiter
    emit(acked ? 0 : 1); // ACK slot
    for (int k = 0; k < 1 + 7 + 3; ++k)
        emit(1);         // ACK delimiter, EOF, intermission
    simTime_ += simSpb_ * (n % 4) * 4;
    sim_.AdvanceTo(U64(simTime_ + 0.5));
}

TAV_DEFINE_ANALYZER_PLUGIN(CanAnalyzer, "CAN")
