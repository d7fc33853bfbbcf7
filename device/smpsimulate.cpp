#include "device/smpsimulate.h"

#include "core/percent.h"
#include "device/devbase.h"
#include "device/simuanalyzers.h"
#include "libanalyzer/simulationchanneldescriptor.h"

#include <QElapsedTimer>
#include <QTime>

#include <algorithm>
#include <atomic>
#include <random>
#include <vector>

namespace {

// Selects the period growth of the next pattern; shared by every run since
// program start, so successive channels and passes get varied periods.
std::atomic<int> patternCounter{0};

thread_local std::minstd_rand patternRng(1u);

// Even analog channels: 128 entries.
const int analogEven[128] = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0,     // 0-15
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0,     // 16-31
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 90,    // 32-47
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,     // 48-63
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,     // 64-79
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,     // 80-95
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, -90,   // 96-111
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0,     // 112-127
};

// Odd analog channels: 64 entries.
const int analogOdd[64] = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0,            // 0-15
    5, 45, 85, 90, 90, 90, 90, 90, 89, 89, 90, 90, 90, 90, 90, 90,  // 16-31
    90, 90, 90, 90, 90, 90, 90, 90, 89, 89, 90, 90, 90, 90, 90, 90, // 32-47
    85, 45, 5, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0,          // 48-63
};

// Number of leading runs that take a channel from pos to or past depth;
// the rest would only be trimmed when the capture is completed.
int runsUpToDepth(const int* runs, int n, long long pos, long long depth)
{
    for (int i = 0; i < n; ++i) {
        pos += std::max(runs[i], 0);
        if (pos >= depth)
            return i + 1;
    }
    return n;
}

}  // namespace

SmpSimulate::SmpSimulate(DevBase* d, QObject* parent) : QThread(parent), dev(d) {}

int SmpSimulate::getBlockTime(qint64 depth, qint64 rate)
{
    if (depth <= 0 || rate <= 0)
        return 100;
    const double total = double(depth) / double(rate) * 1000.0;
    int t = 100;
    double blocks = std::max(1.0, total / 100.0);
    if (blocks > 100) {
        do {
            t += 100;
            blocks = total / t;
        } while (t < 2000 && blocks > 100);
    }
    if (t < 500 && double(depth) / blocks < 20000) {
        do {
            t += 100;
            blocks = total / t;
        } while (t < 500 && double(depth) / blocks < 20000);
    }
    return t;
}

int SmpSimulate::getPeriodPoints(qint64 depth, qint64 blockSamples)
{
    int p;
    if (depth > 199999) {
        p = 200;
    } else {
        p = 180;
        while (p > 20 && depth / p < 1000)
            p -= 20;
    }
    if (depth / p > 1000000) {
        while (depth / p > 1000000 && p <= 1999)
            p += 100;
    }
    while (p <= 1999 && blockSamples / p > 50000)
        p += 100;
    return p;
}

int SmpSimulate::genSimuData(int** out, qint64 blockSamples, int period)
{
    int steps = patternCounter.load();
    int next;
    do {
        next = steps >= 5 ? 0 : steps + 1;
    } while (!patternCounter.compare_exchange_weak(steps, next));
    long long p = std::max(period, 4);
    for (int s = 0; s < steps; ++s)
        p += p / 4;
    const long long k = std::max<long long>(1, (blockSamples + p - 1) / p);
    int* data = new int[size_t(2 * k)];
    for (long long i = 0; i < k; ++i) {
        const int r = int(patternRng() % 1024);
        long long h = (long long)(double(r) / 1024.0 * double(p));
        h = std::min(std::max(h, 2LL), p - 2);
        data[2 * i] = int(h);
        data[2 * i + 1] = int(p - h);
    }
    *out = data;
    return int(2 * k);
}

const int* SmpSimulate::analogTable(int chn, int* count)
{
    if (chn % 2 == 0) {
        *count = 128;
        return analogEven;
    }
    *count = 64;
    return analogOdd;
}

void SmpSimulate::report(int state, int error, int value)
{
    dev->runSta = state;
    // Whoever hears "finished" may start the next run or query the state
    // right away: the run is over before it is announced.
    if (state == SmpStaDone)
        dev->smpRunning = false;
    emit dev->sigSmpSta(state, error, value);
}

void SmpSimulate::pauseMs(int ms)
{
    QElapsedTimer t;
    t.start();
    while (!dev->smpStopReq) {
        const qint64 left = ms - t.elapsed();
        if (left <= 0)
            break;
        QThread::msleep(ulong(std::min<qint64>(left, 10)));
    }
}

void SmpSimulate::run()
{
    dev->smpError = 0;
    patternRng.seed(unsigned(QTime::currentTime().msecsSinceStartOfDay()) + 1u);
    if (dev->workMode == WorkModeOsc)
        threadOsc();
    else
        threadLA();
    dev->runSta = SmpStaDone;
    dev->smpRunning = false;
}

void SmpSimulate::threadLA()
{
    report(SmpStaIdle, 0, 0);
    const long long rate = dev->getSmpFrequ();
    const long long depth = dev->getExpectDepth();
    const int chnNum = dev->dChnEna.size();
    const QVector<bool> ena = dev->dChnEna;
    if (rate <= 0 || depth <= 0 || chnNum <= 0) {
        // Nothing to generate: an empty capture, reported like any other.
        dev->dataConvertStart(0);
        dev->dataSetSmpDepth(0);
        dev->dataConvertComplete(true);
        emit dev->sigSmpDataReady(0);
        dev->smpRunEnded(0);
        return;
    }
    const int blockTime = getBlockTime(depth, rate);
    const long long blockSamples = std::max<long long>(1, (long long)(double(rate) * blockTime / 1000.0));
    const int period = getPeriodPoints(depth, blockSamples);
    const int pause = int(std::min<long long>(blockTime, depth * 1000 / rate));

    std::vector<int*> pattern(size_t(chnNum), nullptr);
    std::vector<int> patternLen(size_t(chnNum), 0);
    std::vector<long long> pos(size_t(chnNum), 0);
    std::vector<int> held(size_t(chnNum), 0);

    do {
        std::fill(pos.begin(), pos.end(), 0);
        bool goOn = dev->dataConvertStart(0);
        for (int ch = 0; ch < chnNum; ++ch) {
            if (!ena[ch])
                continue;
            patternLen[size_t(ch)] = genSimuData(&pattern[size_t(ch)], blockSamples, period);
            dev->dataSetInitLevel(ch, ch % 2);
        }
        QVector<SimuAnalyzer> sims = getSimuAnalyzers(rate);

        long long generated = 0;
        long long progress = 0;
        bool first = true;
        // The descriptor that drives each channel, chosen in the first block:
        // the first one in list order, so its start level and its data agree.
        std::vector<SimulationChannelDescriptor*> drive(size_t(chnNum), nullptr);
        std::vector<SimulationChannelDescriptor*> all;
        while (goOn && progress < 100) {
            if (dev->smpStopReq)
                break;
            QElapsedTimer took;
            took.start();
            // Simulators are asked no further than the depth: the rest
            // would be cut off when the capture is completed.
            const long long newest = std::min(generated + blockSamples, depth);
            all.clear();
            for (const SimuAnalyzer& s : sims) {
                SimulationChannelDescriptor* desc = nullptr;
                const U32 n = s.simulate ? s.simulate(s.analyzer, U64(newest), U32(rate), &desc) : 0;
                for (U32 j = 0; desc && j < n; ++j) {
                    SimulationChannelDescriptor* d = desc + j;
                    all.push_back(d);
                    if (!first)
                        continue;
                    const Channel c = d->GetChannel();
                    if (!c.IsDefined() || c.index >= U32(chnNum) || drive[c.index])
                        continue;  // a channel this device does not have, or taken
                    const int init = d->GetInitialBitState() == BitHigh ? 1 : 0;
                    dev->dataSetInitLevel(int(c.index), init);
                    held[c.index] = 1 - init;
                    drive[c.index] = d;
                }
            }
            first = false;

            for (int ch = 0; ch < chnNum && goOn; ++ch) {
                if (!ena[ch] || pos[size_t(ch)] >= depth)
                    continue;
                if (SimulationChannelDescriptor* d = drive[size_t(ch)]) {
                    std::vector<U32>& data = d->GetData();
                    if (data.empty())
                        continue;
                    const int k = int(std::min<size_t>(data.size(), size_t(1) << 30));
                    const int cur = d->GetCurrentBitState() == BitHigh ? 1 : 0;
                    const int firstLevel = (k % 2) ? cur : 1 - cur;
                    const int* runs = reinterpret_cast<const int*>(data.data());
                    const int use = runsUpToDepth(runs, k, pos[size_t(ch)], depth);
                    goOn = dev->dataConvertSimu(runs, use, ch, &pos[size_t(ch)], held[size_t(ch)] == firstLevel);
                    held[size_t(ch)] = cur;
                } else {
                    const int* runs = pattern[size_t(ch)];
                    const int use = runsUpToDepth(runs, patternLen[size_t(ch)], pos[size_t(ch)], depth);
                    goOn = dev->dataConvertSimu(runs, use, ch, &pos[size_t(ch)]);
                }
            }
            for (SimulationChannelDescriptor* d : all)
                d->GetData().clear();

            generated += blockSamples;
            progress = percentOf(generated, depth);
            report(SmpStaSampling, 0, int(progress));

            long long wait = pause - took.elapsed() - 2;
            if (wait < 1 || wait > pause)
                wait = 1;
            pauseMs(int(wait));
        }

        for (int*& p : pattern) {
            delete[] p;
            p = nullptr;
        }
        freeSimuAnalyzers(sims);

        dev->dataSetSmpDepth(std::min(generated, depth));
        if (!dev->dataConvertComplete(!dev->smpStopReq || dev->smpStartMode == SmpStartSingle))
            goOn = false;
        emit dev->sigSmpDataReady(0);
        if (!goOn) {
            // The store could not grow: what was converted is shown, and the
            // run counts as failed.
            dev->smpError = 4;
            report(SmpStaSampling, 4, 0);
            break;
        }
    } while (!dev->smpStopReq && dev->smpStartMode != SmpStartSingle);

    dev->smpRunEnded(0);
}

void SmpSimulate::threadOsc()
{
    report(SmpStaIdle, 0, 0);
    // Each pass converts the channels enabled in its own copy of the
    // settings; the store has no block for the others and skips them.
    const int chnNum = dev->analogPassSet().ena.size();
    for (;;) {
        dev->dataConvertStart(0);
        for (int i = 0; i < chnNum; ++i) {
            int n = 0;
            const int* table = analogTable(i, &n);
            dev->dataConvertSimu(table, n, i, nullptr);
        }
        dev->dataConvertComplete(true);
        emit dev->sigSmpDataReady(0);
        pauseMs(50);
        if (dev->smpStopReq || dev->smpStartMode == SmpStartSingle)
            break;
    }
    report(SmpStaDone, 0, 0);
}
