#include "device/smpctrlstream.h"

#include "core/percent.h"
#include "device/devbase.h"
#include "device/smpcnvtstream.h"
#include "device/wordquiet.h"

#include <mutex>

#include <algorithm>
#include <cstdlib>
#include <type_traits>

namespace {

struct Tables {
    uint8_t rising[512];
    uint32_t falling[512];
    int8_t lowest[256];
    Tables()
    {
        // Index: 8 samples shifted left by one, the sample before them in bit 0.
        for (int i = 0; i < 512; ++i) {
            unsigned r = 0, f = 0;
            for (int k = 0; k < 8; ++k) {
                const int now = (i >> (k + 1)) & 1;
                const int before = (i >> k) & 1;
                if (now && !before)
                    r |= 1u << k;
                if (!now && before)
                    f |= 1u << k;
            }
            rising[i] = uint8_t(r);
            falling[i] = f;
        }
        lowest[0] = -1;
        for (int i = 1; i < 256; ++i) {
            int k = 0;
            while (!((i >> k) & 1))
                ++k;
            lowest[i] = int8_t(k);
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

} // namespace

const uint8_t* SmpCtrlStream::risingEdgeTable() { return tables().rising; }
const uint32_t* SmpCtrlStream::fallingEdgeTable() { return tables().falling; }
const int8_t* SmpCtrlStream::lowestBitTable() { return tables().lowest; }

SmpCtrlStream::SmpCtrlStream(DevBase* d)
    : dev(d)
{
    tables();
    setChnNum(d->dChnEna.size());
}

SmpCtrlStream::~SmpCtrlStream()
{
    if (isRunning()) {
        dev->smpStopReq = true;
        if (!wait(10000))
            wait();
    }
}

void SmpCtrlStream::setChnNum(int n)
{
    trgTypes.clear();
    trgTypes.reserve(size_t(std::max(n, 0)));
}

long long SmpCtrlStream::droppedCycles() const
{
    const int r = 2 * wordsPerCycle;
    if (r <= 0 || bytesDropped <= 0)
        return 0;
    return (bytesDropped + r - 1) / r;
}

long long SmpCtrlStream::getSampledDepth() const
{
    const int r = 2 * wordsPerCycle;
    if (r <= 0)
        return 0;
    return std::max<long long>(bytesReceived / r - droppedCycles(), 0) * 16;
}

void SmpCtrlStream::prepareRun()
{
    const int n = dev->dChnEna.size();
    wordsPerCycle = dev->devModel == DevModel2113 ? 8 : dev->getDChnEnaNum();
    expectDepth = dev->getExpectDepth();
    preTrgDepth = dev->getPreTrgDepth();
    edgeMask = fallMask = levelMask = levelValue = 0;
    setChnNum(n);
    for (int i = 0; i < n && i < 32; ++i) {
        const uint32_t bit = 1u << i;
        const int t = i < dev->dChnTrg.size() ? int(dev->dChnTrg[i]) : 0;
        switch (t) {
        case TrgLow: levelMask |= bit; break;
        case TrgHigh: levelMask |= bit; levelValue |= bit; break;
        case TrgRise: edgeMask |= bit; break;
        case TrgFall: edgeMask |= bit; fallMask |= bit; break;
        default: break;
        }
        if (dev->dChnEna[i])
            trgTypes.push_back(t);
    }
}

void SmpCtrlStream::resetRun()
{
    cycleOffset = 0;
    bytesDropped = 0;
    bytesReceived = 0;
    forceTrigger = false;
    firstBuffer = true;
    headStart = 0;
    startError = 0;
    discardPass = false;
    std::fill(std::begin(prevSample), std::end(prevSample), uint16_t(0));
    cycleMask = 0xFFFF;
    oddPending = false;
    trgCount = 0;
    prevByte = 0;
}

void SmpCtrlStream::removeQueueHead()
{
    unsigned char* b = nullptr;
    int len = 0;
    {
        std::lock_guard<std::mutex> lock(dev->blockMutex);
        if (dev->blockQueue.isEmpty())
            return;
        b = dev->blockQueue.takeFirst();
        len = dev->blockSizes.takeFirst();
    }
    std::free(b);
    headStart += len;
    bytesDropped = std::max(bytesDropped, headStart);
    const int r = 2 * wordsPerCycle;
    const long long keptStart = r > 0 ? droppedCycles() * r : bytesDropped;
    cycleOffset = int(keptStart - headStart);
}

int SmpCtrlStream::queuedBlocks() const
{
    std::lock_guard<std::mutex> lock(dev->blockMutex);
    return dev->blockQueue.size();
}

int SmpCtrlStream::releasedBlocks() const
{
    return dev->semBlockReady.available();
}

template <typename CanDrop>
void SmpCtrlStream::dropHeadsWhile(CanDrop canDrop)
{
    for (;;) {
        int headLen = 0;
        {
            std::lock_guard<std::mutex> lock(dev->blockMutex);
            if (dev->blockSizes.size() < 2)
                return;
            headLen = dev->blockSizes.first();
        }
        if (!canDrop(headLen))
            return;
        removeQueueHead();
    }
}

void SmpCtrlStream::trimToKeptStart()
{
    const int r = 2 * wordsPerCycle;
    const long long keptStart = r > 0 ? droppedCycles() * r : bytesDropped;
    dropHeadsWhile([&](int headLen) { return keptStart >= headStart + headLen; });
    cycleOffset = int(keptStart - headStart);
}

int SmpCtrlStream::getTrgIndex(const unsigned char* buf, int len, int firstOrdinal)
{
    const int n = wordsPerCycle;
    if (n <= 0 || n > 32 || len <= 0 || int(trgTypes.size()) < n)
        return -1;
    const Tables& t = tables();
    if (firstBuffer) {
        firstBuffer = false;
        // A capture has no sample before its first: an edge cannot be there.
        for (int j = 0; j < n && 2 * j + 1 < len; ++j)
            prevSample[(firstOrdinal + j) % n] = buf[2 * j] & 1;
        // A cycle begun before the capture cannot hold its trigger.
        cycleMask = firstOrdinal % n == 0 ? 0xFFFF : 0;
        oddPending = false;
        trgCount = 0;
        for (int o = 0; o < n; ++o) {
            const int k = trgTypes[size_t(o)];
            if (k >= TrgLow && k <= TrgFall) {
                trgOrdinals[trgCount] = o;
                trgKinds[trgCount] = k;
                ++trgCount;
            }
        }
    }
    auto hitOf = [&t, this](int kind, int o, uint32_t w) -> uint32_t {
        switch (kind) {
        case TrgLow: return ~w & 0xFFFF;
        case TrgHigh: return w;
        case TrgRise: {
            const uint32_t x = (w << 1) | prevSample[o];
            return uint32_t(t.rising[x >> 8]) << 8 | t.rising[x & 0x1FF];
        }
        default: {
            const uint32_t x = (w << 1) | prevSample[o];
            return t.falling[x >> 8] << 8 | t.falling[x & 0x1FF];
        }
        }
    };
    auto found = [&t](uint32_t m, long long cycles) {
        const int bit = (m & 0xFF) ? t.lowest[m & 0xFF] : 8 + t.lowest[m >> 8];
        return int(bit + (cycles - 1) * 16);
    };
    const int* types = trgTypes.data();
    // One word at ordinal o through the general path; true when it closed
    // a cycle whose conditions all hold.
    long long cycles = 0;
    int o = firstOrdinal % n;
    auto step = [&](uint32_t w) {
        const int k = types[o];
        if (k >= TrgLow && k <= TrgFall)
            cycleMask &= hitOf(k, o, w);
        prevSample[o] = uint16_t(w >> 15);
        if (++o < n)
            return false;
        o = 0;
        ++cycles;
        const bool hit = cycleMask != 0;
        if (!hit)
            cycleMask = 0xFFFF;
        return hit;
    };

    int pos = 0;
    if (oddPending) {
        oddPending = false;
        pos = 1;
        if (step(uint32_t(oddByte) | uint32_t(buf[0]) << 8))
            return found(cycleMask, cycles);
    }
    const int firstWhole = pos;   // words of this buffer start here
    // Up to the first cycle boundary word by word.
    while (o != 0 && pos + 1 < len) {
        const uint32_t w = uint32_t(buf[pos]) | uint32_t(buf[pos + 1]) << 8;
        pos += 2;
        if (step(w))
            return found(cycleMask, cycles);
    }
    // Whole cycles: only the ordinals with a condition are looked at.
    const int cycleBytes = 2 * n;
    if (o == 0) {
        const int tc = trgCount;
        // A cycle cannot hold the trigger when one of its condition words
        // cannot: a high condition on a word of zeros, a low one on a word of
        // ones, an edge on a word that repeats its channel's level. Stretches
        // of such cycles are passed whole: `per` cycles (at most 32 words) at
        // a time, once the cycle before lies in this buffer.
        const int per = n <= 16 ? 16 / n : 1;
        const int winBytes = cycleBytes * per;
        const int winWords = winBytes / 2;   // at most 32
        const int readBytes = winWords > 16 ? 64 : 32;
        const int skipFrom = firstWhole + cycleBytes;
        // Words of the window (bit k: word k) under each kind of condition.
        uint32_t highWords = 0, lowWords = 0, edgeWords = 0;
        for (int i = 0; i < tc; ++i) {
            for (int c = 0; c < per; ++c) {
                const uint32_t bit = 1u << (c * n + trgOrdinals[i]);
                const int k = trgKinds[i];
                (k == TrgHigh ? highWords : k == TrgLow ? lowWords : edgeWords) |= bit;
            }
        }
        const uint32_t cycleWords = n >= 32 ? ~0u : (1u << n) - 1;
        const bool skipping = tc > 0;
        // Each condition as (w ^ flipNow) & ((x ^ flipBefore) | anyBefore),
        // x being the samples before w's: rising w & ~x, falling ~w & x,
        // high w, low ~w (16 bits each).
        int off[32];
        uint32_t flipNow[32], flipBefore[32], anyBefore[32], prev[32];
        for (int i = 0; i < tc; ++i) {
            const int k = trgKinds[i];
            off[i] = 2 * trgOrdinals[i];
            flipNow[i] = k == TrgLow || k == TrgFall ? 0xFFFFu : 0u;
            flipBefore[i] = k == TrgRise ? 0xFFFFu : 0u;
            anyBefore[i] = k == TrgLow || k == TrgHigh ? 0xFFFFu : 0u;
            prev[i] = prevSample[trgOrdinals[i]];
        }
        // After a window that was not quiet the next check waits a growing
        // number of windows, so busy streams do not pay for it on every cycle.
        int checked = 0;   // cycles before the next check
        int backoff = 0;
        // Whole cycles until one holds the trigger (its mask returned) or the
        // buffer ends (0). TC > 0: that many conditions, kept in registers.
        auto scan = [&](auto tcTag) -> uint32_t {
            constexpr int TC = decltype(tcTag)::value;
            const int count = TC > 0 ? TC : tc;
            constexpr int Cap = TC > 0 ? TC : 32;
            uint32_t pv[Cap], fn[Cap], fb[Cap], ab[Cap];
            int of[Cap];
            for (int i = 0; i < count; ++i) {
                pv[i] = prev[i];
                fn[i] = flipNow[i];
                fb[i] = flipBefore[i];
                ab[i] = anyBefore[i];
                of[i] = off[i];
            }
            uint32_t hit = 0;
            bool skipped = false;
            while (pos + cycleBytes <= len) {
                if (skipping && checked == 0 && pos >= skipFrom) {
                    while (pos + readBytes <= len) {
                        wordquiet::WordMasks w = wordquiet::wordMasks16(buf + pos, size_t(cycleBytes));
                        if (readBytes > 32) {
                            const wordquiet::WordMasks u = wordquiet::wordMasks16(buf + pos + 32, size_t(cycleBytes));
                            w.changed |= u.changed << 16;
                            w.zero |= u.zero << 16;
                            w.ones |= u.ones << 16;
                        }
                        const uint32_t cannot = (highWords & w.zero) | (lowWords & w.ones) | (edgeWords & ~w.changed);
                        bool all = true;
                        for (int c = 0; c < per; ++c)
                            all = all && ((cannot >> (c * n)) & cycleWords) != 0;
                        if (!all) {
                            checked = per * (backoff + 1);
                            backoff = std::min(2 * backoff + 1, 255);
                            break;
                        }
                        backoff /= 2;
                        pos += winBytes;
                        cycles += per;
                        skipped = true;
                    }
                    if (skipped) {
                        // Levels may have changed in the stretch passed.
                        for (int i = 0; i < count; ++i)
                            pv[i] = uint32_t(buf[pos - cycleBytes + of[i] + 1]) >> 7;
                        skipped = false;
                    }
                    if (pos + cycleBytes > len)
                        break;
                }
                if (checked > 0)
                    --checked;
                const unsigned char* c = buf + pos;
                uint32_t m = 0xFFFF;
                for (int i = 0; i < count; ++i) {
                    const uint32_t w = uint32_t(c[of[i]]) | uint32_t(c[of[i] + 1]) << 8;
                    const uint32_t x = (w << 1) | pv[i];
                    m &= (w ^ fn[i]) & ((x ^ fb[i]) | ab[i]);
                    pv[i] = w >> 15;
                }
                pos += cycleBytes;
                ++cycles;
                if (m != 0) {
                    hit = m;
                    break;
                }
            }
            for (int i = 0; i < count; ++i)
                prevSample[trgOrdinals[i]] = uint16_t(pv[i]);
            return hit;
        };
        uint32_t hit;
        switch (tc) {
        case 1: hit = scan(std::integral_constant<int, 1>()); break;
        case 2: hit = scan(std::integral_constant<int, 2>()); break;
        case 3: hit = scan(std::integral_constant<int, 3>()); break;
        default: hit = scan(std::integral_constant<int, 0>()); break;
        }
        if (hit)
            return found(hit, cycles);
    }
    // The cycle cut by the buffer end: completed by the next buffer.
    while (pos + 1 < len) {
        const uint32_t w = uint32_t(buf[pos]) | uint32_t(buf[pos + 1]) << 8;
        pos += 2;
        if (step(w))
            return found(cycleMask, cycles);
    }
    if (pos < len) {
        oddPending = true;
        oddByte = buf[pos];
    }
    return -1;
}

int SmpCtrlStream::getTrgIndex(const unsigned char* buf, int len)
{
    if (len <= 0)
        return -1;
    if (firstBuffer) {
        firstBuffer = false;
        prevByte = buf[0];
    }
    uint8_t prev = prevByte;
    const uint8_t em = uint8_t(edgeMask), fm = uint8_t(fallMask), lm = uint8_t(levelMask), lv = uint8_t(levelValue);
    for (int i = 0; i < len; ++i) {
        const uint8_t b = buf[i];
        const uint8_t changed = (b ^ prev) & em;
        const bool edgeOk = changed == 0 ? em == 0 : ((changed & prev) ^ fm) == 0;
        if ((b & lm) == lv && edgeOk) {
            prevByte = b;
            return i;
        }
        prev = b;
    }
    prevByte = prev;
    return -1;
}

void SmpCtrlStream::devCbPostSmpStart()
{
    // The instrument starts streaming only once the transfers are posted.
    startError = dev->reqSmpStart();
    if (startError == 0)
        startError = dev->reqAutoBulkRead();
}

void SmpCtrlStream::devCbAutoBulkRead(unsigned char* buf, int len)
{
    const int sta = dev->runSta;
    const int r = 2 * wordsPerCycle;
    if (sta >= SmpStaReading || r <= 0 || len <= 0) {
        std::free(buf);
        return;
    }
    const long long before = bytesReceived;
    const int firstOrdinal = int((before / 2) % wordsPerCycle);
    const long long cyclesBefore = before / r - droppedCycles();
    bytesReceived += len;
    long long kept = getSampledDepth();
    {
        std::lock_guard<std::mutex> lock(dev->blockMutex);
        dev->blockQueue.append(buf);
        dev->blockSizes.append(len);
    }
    auto depthReached = [this]() {
        emit dev->sigSmpSta(SmpStaSampling, 0, 100);
        dev->reqSmpStop();
        dev->runSta = SmpStaReading;
    };
    if (sta == SmpStaSampling) {
        if (kept >= expectDepth)
            depthReached();
        else
            emit dev->sigSmpSta(SmpStaSampling, 0, percentOf(kept, expectDepth));
        dev->semBlockReady.release();
        return;
    }
    if (sta != SmpStaPre && sta != SmpStaWaitTrg)
        return;
    const bool bytes = dev->devModel == DevModel2113;
    int index = bytes ? getTrgIndex(buf, len) : getTrgIndex(buf, len, firstOrdinal);
    if (index < 0 && !forceTrigger) {
        if (kept < preTrgDepth) {
            emit dev->sigSmpSta(sta, 0, percentOf(kept, expectDepth));
            return;
        }
        // Keep the pre-trigger window, not the whole stream: drop head
        // buffers whose loss still leaves the window full before this one.
        dropHeadsWhile([&](int headLen) {
            const long long droppedAfter = (std::max(bytesDropped, headStart + headLen) + r - 1) / r;
            return (before / r - droppedAfter) * 16 >= preTrgDepth;
        });
        dev->runSta = SmpStaWaitTrg;
        emit dev->sigSmpSta(SmpStaWaitTrg, 0, std::clamp(dev->getTrgPosition(), 0, 100));
        if (dev->smpStartMode == SmpStartRepeat)
            forceTrigger = true;
        return;
    }
    if (index < 0)
        index = 0;
    // Sample of the trigger counted from the first kept sample.
    long long trgSample = bytes ? before + index - droppedCycles() * 16 : index + cyclesBefore * 16;
    const long long excess = trgSample - preTrgDepth;
    if (excess >= 16) {
        const long long skipCycles = excess / 16;
        trgSample -= skipCycles * 16;
        bytesDropped = std::max(bytesDropped, headStart) + skipCycles * r;
    }
    if (bytesDropped > 0)
        bytesDropped = ((bytesDropped + r - 1) / r) * r;
    trimToKeptStart();
    dev->runSta = SmpStaSampling;
    kept = getSampledDepth();
    emit dev->sigSmpSta(SmpStaSampling, 0, percentOf(kept, expectDepth));
    dev->dataSetTrgPosition(trgSample);
    const int queued = queuedBlocks();
    if (kept >= expectDepth)
        depthReached();
    dev->semBlockReady.release(queued);
}

void SmpCtrlStream::run()
{
    emit dev->sigSmpSta(SmpStaIdle, 0, 0);
    auto* cnvt = dynamic_cast<SmpCnvtStream*>(dev->smpWorker(SmpWorkerConvert));
    prepareRun();
    int err = 0;
    if (wordsPerCycle <= 0) {
        // Nothing to stream: refuse rather than divide by a zero cycle.
        err = ErrNoChannel;
    } else if (!cnvt || !devSupport) {
        err = 1;
    }
    if (err == 0) {
        cnvt->ctrl = this;
        cnvt->exitFlag = false;
        dev->semCnvtStart.tryAcquire(dev->semCnvtStart.available());
        dev->semCnvtDone.tryAcquire(dev->semCnvtDone.available());
        cnvt->start(QThread::InheritPriority);
        for (;;) {
            resetRun();
            err = dev->reqAutoBulkReadPrepare();
            if (err != 0)
                break;
            {
                std::lock_guard<std::mutex> lock(dev->blockMutex);
                for (unsigned char* b : dev->blockQueue)
                    std::free(b);
                dev->blockQueue.clear();
                dev->blockSizes.clear();
            }
            dev->semBlockReady.tryAcquire(dev->semBlockReady.available());
            dev->runSta = SmpStaPre;
            dev->smpError = 0;
            const bool started = dev->dataConvertStart(0);
            dev->semCnvtStart.release();
            err = devSupport->autoBulkRead(0);
            if (startError != 0) {
                err = startError;
                dev->reqSmpStop();
            } else if (getSampledDepth() >= expectDepth)
                err = 0;   // the stop at the depth ends the transfer
            else if (dev->smpStopReq)
                err = 0;
            else if (err != 0)
                dev->reqSmpStop();
            else {
                err = 14;
                dev->reqSmpStop();
            }
            const int sta = dev->runSta;
            const int queued = queuedBlocks();
            if (sta == SmpStaPre || sta == SmpStaWaitTrg) {
                discardPass = true;
                dev->semBlockReady.release(queued + 1);
            } else {
                dev->semBlockReady.release(1);
            }
            while (!dev->semCnvtDone.tryAcquire(1, 100))
                if (!cnvt->isRunning())
                    break;
            if (!started || dev->smpError == 4)
                err = 4;
            if (dev->smpStopReq || dev->smpStartMode == SmpStartSingle || err != 0)
                break;
        }
        cnvt->exitFlag = true;
        dev->semCnvtStart.release();
        cnvt->wait();
    }
    dev->smpRunEnded(err);
}
