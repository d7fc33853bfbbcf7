// Throughput of the stream path: the software trigger search the bulk
// callback runs on every buffer, the conversion the converter thread runs,
// and both in turn on one core. Input: recorded 16-bit word cycles of a
// capture with busy and quiet channels, fed in 1 MiB buffers as the USB
// reader delivers them. Each case reports "x_memcpy": its input bandwidth
// over memcpy's on the same number of bytes in the same run.
//
// 64 MiB of stream by default; --tav_smoke (the CTest smoke run) uses 2 MiB;
// TAV_BENCH_STREAM_MB overrides.

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpctrlfactory.h"
#include "device/smpctrlstream.h"
#include "device/smpdata.h"

#include "common/memcpybaseline.h"

#include "common/benchmain.h"
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

bool g_smoke = false;
constexpr size_t BufBytes = 1 << 20;

size_t streamBytes()
{
    if (const char* e = std::getenv("TAV_BENCH_STREAM_MB"))
        return size_t(std::max(1, std::atoi(e))) << 20;
    return g_smoke ? (size_t(2) << 20) : (size_t(64) << 20);
}

double memcpyBandwidth(size_t n)
{
    return tavbench::memcpyBandwidth(n, g_smoke ? 3 : 20);
}

// Word cycles of `chn` channels: channel c toggles after a random run of
// about base x step^(c mod 6) samples. Busy: 40 x 3^k (every channel a
// fast serial line or clock-like); typical: 400 x 8^k (one or two busy
// lines beside slow control lines).
std::vector<unsigned char> recordWords(int chn, size_t bytes, bool busy)
{
    const long long first = busy ? 40 : 400;
    const long long factor = busy ? 3 : 8;
    std::mt19937_64 rng(12345);
    std::vector<long long> next(static_cast<size_t>(chn)), mean(static_cast<size_t>(chn));
    std::vector<int> level(static_cast<size_t>(chn), 0);
    for (int c = 0; c < chn; ++c) {
        long long m = first;
        for (int k = 0; k < c % 6; ++k)
            m *= factor;
        mean[size_t(c)] = m;
        next[size_t(c)] = 1 + static_cast<long long>(rng() % uint64_t(2 * m));
    }
    std::vector<unsigned char> out;
    const size_t cycleBytes = size_t(2 * chn);
    out.reserve(bytes);
    long long base = 0;
    while (out.size() + cycleBytes <= bytes) {
        for (int c = 0; c < chn; ++c) {
            unsigned w = 0;
            for (int k = 0; k < 16; ++k) {
                while (base + k >= next[size_t(c)]) {
                    level[size_t(c)] ^= 1;
                    next[size_t(c)] += 1 + static_cast<long long>(rng() % uint64_t(2 * mean[size_t(c)]));
                }
                if (level[size_t(c)])
                    w |= 1u << k;
            }
            out.push_back(static_cast<unsigned char>(w));
            out.push_back(static_cast<unsigned char>(w >> 8));
        }
        base += 16;
    }
    return out;
}

// A stream-mode device object with the first `chn` channels on and a
// trigger that never holds (rising on 0 while 1 is high; 1 stays low
// because its level is forced low in the data), so every byte is searched.
struct Setup {
    std::unique_ptr<DevBase> dev;
    SmpCtrlStream* ctrl = nullptr;
    std::vector<unsigned char> data;

    Setup(int chn, bool busy)
    {
        Config::cfgDoc.setContent(Config::defaultDocument());
        SmpCtrlFactory::install();
        dev.reset(DevBase::createDevice(DevModel2127));
        dev->setSmpMode(SmpModeStream);
        QVector<bool> ena(dev->dChnEna.size(), false);
        for (int i = 0; i < chn; ++i)
            ena[i] = true;
        dev->setDChnEna(ena);
        dev->setDChnTrg(0, TrgRise);
        dev->setDChnTrg(1, TrgHigh);
        ctrl = dynamic_cast<SmpCtrlStream*>(dev->smpWorker(SmpWorkerStream));
        data = recordWords(chn, streamBytes(), busy);
        for (size_t i = 2; i + 1 < data.size(); i += size_t(2 * chn)) {
            data[i] = 0;
            data[i + 1] = 0;
        }
    }
    void search()
    {
        ctrl->prepareRun();
        ctrl->resetRun();
        const int n = ctrl->wordsPerCycle;
        for (size_t off = 0; off < data.size(); off += BufBytes) {
            const int len = int(std::min(BufBytes, data.size() - off));
            const int r = ctrl->getTrgIndex(data.data() + off, len, int((off / 2) % size_t(n)));
            benchmark::DoNotOptimize(r);
        }
    }
    void convert()
    {
        long long count = 0;
        for (size_t off = 0; off < data.size(); off += BufBytes) {
            const int len = int(std::min(BufBytes, data.size() - off));
            dev->dataConvertStream(data.data() + off, len, off == 0 ? 0 : -1, &count);
        }
        benchmark::DoNotOptimize(count);
    }
};

template <class Prepare, class Work>
void run(benchmark::State& state, size_t bytes, Prepare prepare, Work work)
{
    double best = 1e30;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
    state.counters["best_MBps"] = double(bytes) / std::max(best, 1e-12) / 1e6;
    state.counters["x_memcpy"] = double(bytes) / std::max(best, 1e-12) / memcpyBandwidth(bytes);
}

void BM_StreamTriggerSearch(benchmark::State& state)
{
    Setup s(int(state.range(0)), state.range(1) != 0);
    run(state, s.data.size(), [] {}, [&s] { s.search(); });
}

void BM_StreamConvert(benchmark::State& state)
{
    Setup s(int(state.range(0)), state.range(1) != 0);
    run(state, s.data.size(), [&s] { s.dev->dataConvertStart(0); }, [&s] { s.convert(); });
}

// What one core does for the stream: search and convert every buffer.
void BM_StreamPath(benchmark::State& state)
{
    Setup s(int(state.range(0)), state.range(1) != 0);
    run(state, s.data.size(), [&s] { s.dev->dataConvertStart(0); },
        [&s] {
            s.search();
            s.convert();
        });
}

void BM_Memcpy(benchmark::State& state)
{
    const size_t n = streamBytes();
    std::vector<unsigned char> a(n, 1), b(n, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

} // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
// Arguments: enabled channels, busy (1) or typical (0) activity.
#define STREAM_ARGS ArgsProduct({{3, 16}, {0, 1}})->ArgNames({"chn", "busy"})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_StreamTriggerSearch)->STREAM_ARGS;
BENCHMARK(BM_StreamConvert)->STREAM_ARGS;
BENCHMARK(BM_StreamPath)->STREAM_ARGS;

int main(int argc, char** argv)
{
    return tavbench::runMain(argc, argv, &g_smoke);
}
