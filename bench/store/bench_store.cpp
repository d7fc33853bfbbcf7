// Throughput of the logic sample store and the raw converters. Each converter
// case also reports "x_memcpy": its input bandwidth divided by the bandwidth
// of memcpy over a buffer of the same size measured in the same run, a ratio
// that holds across machines.
//
// Sizes: the query cases use a list of 1e8 entries (about 500 MB) and the
// drawing case a capture of 1e9 samples with 1e7 edges. --tav_smoke (used by
// the CTest smoke run) shrinks them a hundredfold; TAV_BENCH_ENTRIES overrides
// the query list size and TAV_BENCH_WAVE_EDGES the drawing capture's edges.

#include "device/smpdata.h"

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

long long queryEntries()
{
    if (const char* e = std::getenv("TAV_BENCH_ENTRIES"))
        return std::max(1000LL, std::atoll(e));
    return g_smoke ? 1000000LL : 100000000LL;
}

// Best-of bandwidth of memcpy over n bytes, bytes per second; cached per size.
double memcpyBandwidth(size_t n)
{
    static std::map<size_t, double> cache;
    auto it = cache.find(n);
    if (it != cache.end())
        return it->second;
    std::vector<unsigned char> a(n, 1), b(n, 2);
    double best = 1e30;
    const int reps = g_smoke ? 3 : 30;
    for (int r = 0; r < reps; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        std::memcpy(b.data(), a.data(), n);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        std::swap(a, b);
    }
    double bw = double(n) / std::max(best, 1e-9);
    cache[n] = bw;
    return bw;
}

// Runs prepare() untimed and work() timed once per iteration; reports the
// input bandwidth and "x_memcpy": the best iteration's bandwidth divided by
// memcpy's best over the same number of bytes (best against best, so other
// load on the machine disturbs the ratio little).
template <class Prepare, class Work>
void runConverter(benchmark::State& state, size_t bytesPerIter, Prepare prepare, Work work)
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
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytesPerIter));
    state.counters["x_memcpy"] = double(bytesPerIter) / std::max(best, 1e-12) / memcpyBandwidth(bytesPerIter);
}

// Raw streams: sparse = an edge on some channel every ~50k samples; dense = a
// change every few samples.
std::vector<unsigned char> byteStream(size_t n, bool dense)
{
    std::mt19937_64 rng(dense ? 2 : 1);
    std::vector<unsigned char> b(n);
    unsigned char cur = 0x5A;
    size_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        if (i == next) {
            cur ^= (unsigned char)(1u << (rng() % 8));
            next = i + (dense ? 1 + rng() % 4 : 20000 + rng() % 60000);
        }
        b[i] = cur;
    }
    return b;
}

std::vector<unsigned char> wordStream(size_t n, int enabled, bool dense)
{
    std::mt19937_64 rng(dense ? 4 : 3);
    std::vector<unsigned char> b(n);
    std::vector<int> level(size_t(enabled), 0);
    size_t words = n / 2;
    for (size_t w = 0; w < words; ++w) {
        const size_t ch = w % size_t(enabled);
        unsigned v = level[ch] ? 0xFFFF : 0;
        if (dense ? rng() % 2 == 0 : rng() % 40000 == 0) {
            // A few level changes inside the word.
            unsigned j = 1 + unsigned(rng() % 15);
            v = (v & ((1u << j) - 1)) | ((~v) & ~((1u << j) - 1) & 0xFFFF);
            if (dense)
                v ^= 0x0F00;
            level[ch] = (v >> 15) & 1;
        }
        b[2 * w] = (unsigned char)v;
        b[2 * w + 1] = (unsigned char)(v >> 8);
    }
    return b;
}

long long countEdges(const SmpData& s)
{
    long long n = 0;
    for (int c = 0; c < s.chnNum; ++c)
        n += tavEntryCount(s.chnData[size_t(c)]);
    return n;
}

const size_t kStreamBytes = 4 << 20;

void BM_Memcpy(benchmark::State& state)
{
    const size_t n = size_t(state.range(0));
    std::vector<unsigned char> a(n, 1), b(n, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}
BENCHMARK(BM_Memcpy)->Arg(kStreamBytes);

template <bool Dense>
void BM_P1_8(benchmark::State& state)
{
    const std::vector<unsigned char> buf = byteStream(kStreamBytes, Dense);
    SmpData s(8);
    bool ena[8] = {true, true, true, true, true, true, true, true};
    long long count = 0;
    runConverter(state, buf.size(), [&] { s.dataConvertStart(0, 1000000, ena); },
                 [&] { s.dataConvertP1_8(buf.data(), int(buf.size()), 0, &count); });
    state.counters["edges"] = benchmark::Counter(double(countEdges(s)),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK_TEMPLATE(BM_P1_8, false)->Name("P1_8/sparse")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_P1_8, true)->Name("P1_8/dense")->Unit(benchmark::kMicrosecond);

template <bool Dense>
void BM_S16_N(benchmark::State& state)
{
    const int enabled = int(state.range(0));
    const std::vector<unsigned char> buf = wordStream(kStreamBytes, enabled, Dense);
    SmpData s(16);
    bool ena[16] = {};
    for (int c = 0; c < enabled; ++c)
        ena[c] = true;
    long long count = 0;
    runConverter(state, buf.size(), [&] { s.dataConvertStart(0, 1000000, ena); },
                 [&] { s.dataConvertS16_N(buf.data(), int(buf.size()), 0, &count); });
    state.counters["edges"] = benchmark::Counter(double(countEdges(s)),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK_TEMPLATE(BM_S16_N, false)->Name("S16_N/sparse")->Arg(16)->Arg(3)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_S16_N, true)->Name("S16_N/dense")->Arg(16)->Arg(3)->Unit(benchmark::kMicrosecond);

template <bool Wide>
void BM_Frames(benchmark::State& state)
{
    const int fb = Wide ? 32 : 16, rec = Wide ? 6 : 5, lb = Wide ? 4 : 2;
    const size_t frames = kStreamBytes / size_t(fb);
    std::vector<unsigned char> buf(frames * size_t(fb));
    std::mt19937_64 rng(5);
    uint32_t level = 0;
    for (size_t f = 0; f < frames; ++f)
        for (int r = 0; r < rec; ++r) {
            level ^= 1u << (rng() % unsigned(lb * 8));   // every run changes one channel
            unsigned char* p = buf.data() + f * size_t(fb) + size_t(r * (lb + 1));
            for (int i = 0; i < lb; ++i)
                p[i] = (unsigned char)(level >> (8 * i));
            p[lb] = (unsigned char)(1 + rng() % 255);
            if (Wide) {
                buf[f * 32 + 30] = 0x5A;
                buf[f * 32 + 31] = 0xA5;
            }
        }
    SmpData s(Wide ? 32 : 16);
    bool ena[32];
    std::fill(ena, ena + 32, true);
    int consumed = 0;
    runConverter(state, buf.size(), [&] { s.dataConvertStart(0, 1000000, ena); },
                 [&] {
                     if (Wide)
                         s.dataConvertP6_32(buf.data(), int(buf.size()), &consumed);
                     else
                         s.dataConvertP5_16(buf.data(), int(buf.size()), &consumed);
                 });
    state.counters["records"] = benchmark::Counter(double(frames * size_t(rec)),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK_TEMPLATE(BM_Frames, false)->Name("P5_16")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frames, true)->Name("P6_32")->Unit(benchmark::kMicrosecond);

// A complete one-channel capture of `entries` entries with gaps of 1..2*gap samples.
std::unique_ptr<SmpData> makeCapture(long long entries, long long gap, long long* count)
{
    std::unique_ptr<SmpData> s(new SmpData(1));
    bool ena[1] = {true};
    s->dataConvertStart(0, 1000000, ena);
    std::mt19937_64 rng(6);
    long long p = 0;
    for (long long k = 0; k + 1 < entries; ++k) {
        p += 1 + (long long)(rng() % (unsigned long long)(2 * gap));
        SmpData::appendEntry(s->chnData[0], p);
    }
    *count = p + gap;
    s->smpCount = *count;
    s->dataConvertComplete(*count);
    return s;
}

struct QueryCapture {
    std::unique_ptr<SmpData> store;
    long long count = 0;
    std::vector<long long> probes;
};

QueryCapture& queryCapture()
{
    static QueryCapture q;
    if (!q.store) {
        q.store = makeCapture(queryEntries(), 50, &q.count);
        std::mt19937_64 rng(7);
        q.probes.resize(1 << 16);
        for (long long& p : q.probes)
            p = (long long)(rng() % (unsigned long long)q.count);
    }
    return q;
}

// Kind 0 level, 1 next edge, 2 edge count. Warm: 64 positions asked over and
// over (as while the mouse hovers), so the searched lines stay in cache.
// Cold: random positions over the whole list, mostly cache misses.
template <int Kind, bool Warm>
void BM_PointQuery(benchmark::State& state)
{
    QueryCapture& q = queryCapture();
    const SmpData& s = *q.store;
    size_t i = 0;
    const size_t mask = Warm ? 63 : q.probes.size() - 1;
    long long sink = 0;
    for (auto _ : state) {
        const long long p = q.probes[i++ & mask];
        if (Kind == 0)
            sink += s.getPointLevel(0, p);
        else if (Kind == 1)
            sink += s.getNextEdgePoint(0, p);
        else
            sink += s.getTwoPointEdgeNum(0, p, q.probes[(i + 7) & mask]);
        benchmark::DoNotOptimize(sink);
    }
    state.counters["entries"] = double(tavEntryCount(s.chnData[0]));
}
BENCHMARK_TEMPLATE(BM_PointQuery, 0, true)->Name("query/getPointLevel/warm");
BENCHMARK_TEMPLATE(BM_PointQuery, 1, true)->Name("query/getNextEdgePoint/warm");
BENCHMARK_TEMPLATE(BM_PointQuery, 2, true)->Name("query/getTwoPointEdgeNum/warm");
BENCHMARK_TEMPLATE(BM_PointQuery, 0, false)->Name("query/getPointLevel/cold");
BENCHMARK_TEMPLATE(BM_PointQuery, 1, false)->Name("query/getNextEdgePoint/cold");
BENCHMARK_TEMPLATE(BM_PointQuery, 2, false)->Name("query/getTwoPointEdgeNum/cold");

void BM_WaveLine(benchmark::State& state)
{
    // 1e9 samples with 1e7 edges (smoke: 1e7 samples, 1e5 edges), whole capture in 1920 px.
    static long long count = 0;
    static std::unique_ptr<SmpData> s;
    long long edges = g_smoke ? 100000 : 10000000;
    if (const char* e = std::getenv("TAV_BENCH_WAVE_EDGES"))
        edges = std::max(1000LL, std::atoll(e));
    if (!s)
        s = makeCapture(edges, 100, &count);
    const int width = 1920;
    std::vector<WaveLine> out(width);
    int n = 0;
    for (auto _ : state) {
        n = s->getWaveLineData(0, 0.0, double(count) / width, width, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["records"] = n;
    state.counters["samples"] = double(count);
    state.counters["entries"] = double(tavEntryCount(s->chnData[0]));
}
BENCHMARK(BM_WaveLine)->Unit(benchmark::kMicrosecond);

void BM_Filter(benchmark::State& state)
{
    static long long count = 0;
    static std::unique_ptr<SmpData> s;
    const long long entries = g_smoke ? 200000 : 20000000;
    if (!s)
        s = makeCapture(entries, 4, &count);   // many steps within the width
    for (auto _ : state) {
        DigitalChnData* out = new DigitalChnData;
        bool ok = SmpData::dataFilter(s->chnData[0], out, 3);
        benchmark::DoNotOptimize(ok);
        state.PauseTiming();
        if (ok)
            SmpData::clearOneChn(out);
        state.ResumeTiming();
    }
    state.counters["entries"] = benchmark::Counter(double(entries), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Filter)->Unit(benchmark::kMillisecond);

void BM_Append(benchmark::State& state)
{
    const long long n = g_smoke ? 100000 : 10000000;
    SmpData s(1);
    bool ena[1] = {true};
    for (auto _ : state) {
        state.PauseTiming();
        s.dataConvertStart(0, 1, ena);
        state.ResumeTiming();
        DigitalChnData* d = s.chnData[0];
        for (long long k = 0; k < n; ++k)
            SmpData::appendEntry(d, 3 * k + 1);
        benchmark::DoNotOptimize(d);
    }
    state.counters["edges"] = benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return tavbench::runMain(argc, argv, &g_smoke);
}
