// Analog store hot paths: converting a full dual-channel ADC record, and one
// redraw of the analog traces (columns, measurements and math of both
// channels over a 1000-pixel grid). The conversion also reports "x_memcpy":
// its input bandwidth over memcpy's on the same number of bytes, in this run.
// BM_ConvertPath compares the vector path with the portable table path (what
// a CPU without AVX2 runs) for dual and single-channel records.

#include "device/smpdataosc.h"
#include "device/smpdataosc_p.h"

#include "common/memcpybaseline.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

double memcpyBandwidth(size_t n)
{
    return tavbench::memcpyBandwidth(n, 50);
}

std::unique_ptr<SmpDataOsc> dualStore()
{
    auto s = std::make_unique<SmpDataOsc>(2, 16);
    const int vd[2] = {1000, 500};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 100};
    const bool ena[2] = {true, true};
    s->dataConvertStart(1000, 1000000, vd, hs, off, ena);
    return s;
}

// Sine on channel 0 and a square on channel 1, as ADC bytes.
std::vector<unsigned char> record(size_t bytes)
{
    std::vector<unsigned char> raw(bytes);
    std::mt19937 gen(7);
    for (size_t i = 0; i < bytes / 2; ++i) {
        const double s = std::sin(double(i) * 0.01) * 100 + int(gen() % 5) - 2;
        raw[2 * i] = static_cast<unsigned char>(static_cast<signed char>(s));
        raw[2 * i + 1] = static_cast<unsigned char>((i / 500) % 2 ? 90 : -90);
    }
    return raw;
}

// range(1) = 1: each capture starts from a cleared store, as the double
// buffer does, so fresh blocks are faulted in; 0: the blocks are reused.
void BM_ConvertDual(benchmark::State& state)
{
    const size_t bytes = size_t(state.range(0));
    const bool cold = state.range(1) != 0;
    const std::vector<unsigned char> raw = record(bytes);
    CalibAdcData cal = {};
    cal.zeroDual[0] = 3;
    cal.zeroDual[1] = -2;
    cal.slope[0] = 1012;
    cal.slope[1] = 991;
    auto s = dualStore();
    const int vd[2] = {1000, 500};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {true, true};
    for (auto _ : state) {
        // Pausing the clock costs microseconds of its own on some machines, so
        // the reused-block case times the (cheap) start of the capture too.
        if (cold) {
            state.PauseTiming();
            s->clearData();
            s->dataConvertStart(1000, 1000000, vd, hs, off, ena);
            state.ResumeTiming();
        } else {
            s->dataConvertStart(1000, 1000000, vd, hs, off, ena);
        }
        int used = 0;
        s->dataConvertM2_16(&cal, raw.data(), int(bytes), &used);
        benchmark::DoNotOptimize(s->chnData[0]->data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * long(bytes));
    const double mc = memcpyBandwidth(bytes);
    // Divided by the elapsed time this is the conversion's bandwidth over memcpy's.
    state.counters["x_memcpy"] = benchmark::Counter(
        double(bytes) * double(state.iterations()) / mc, benchmark::Counter::kIsRate);
}

// range(0): 1 dual record of 102,400 bytes, 0 single-channel record of
// 51,200 bytes (a full block each); range(1): 1 forces the table path.
void BM_ConvertPath(benchmark::State& state)
{
    const bool dual = state.range(0) != 0;
    const bool table = state.range(1) != 0;
    const size_t bytes = dual ? 102400 : 51200;
    const std::vector<unsigned char> raw = record(bytes);
    CalibAdcData cal = {};
    cal.zeroDual[0] = cal.zeroSingle[0] = 3;
    cal.zeroDual[1] = cal.zeroSingle[1] = -2;
    cal.slope[0] = 1012;
    cal.slope[1] = 991;
    auto s = std::make_unique<SmpDataOsc>(2, 16);
    const int vd[2] = {1000, 500};
    const int hs[2] = {480, 480};
    const int off[2] = {0, 0};
    const bool ena[2] = {true, dual};
    SmpDataOscPath::forceTable(table);
    if (!table && !SmpDataOscPath::vectorActive())
        state.SetLabel("no vector path on this CPU");
    for (auto _ : state) {
        s->dataConvertStart(1000, 1000000, vd, hs, off, ena);
        int used = 0;
        s->dataConvertM2_16(&cal, raw.data(), int(bytes), &used);
        benchmark::DoNotOptimize(s->chnData[0]->data);
        benchmark::ClobberMemory();
    }
    SmpDataOscPath::forceTable(false);
    state.SetBytesProcessed(state.iterations() * long(bytes));
}

void BM_Redraw(benchmark::State& state)
{
    const int width = 1000;
    const std::vector<unsigned char> raw = record(40960);
    CalibAdcData cal = {};
    cal.slope[0] = cal.slope[1] = 1000;
    auto s = dualStore();
    int used = 0;
    s->dataConvertM2_16(&cal, raw.data(), int(raw.size()), &used);
    const int n = s->chnData[0]->smpCount;
    const double spp = double(n) / width;
    std::vector<WaveLineA> lines(width);
    std::vector<WaveLineA> math(width);
    double values[SmpDataOsc::ParamNum];
    bool valid[SmpDataOsc::ParamNum];
    const int pair[2] = {0, 1};
    bool firstMath = true;
    for (auto _ : state) {
        for (int ch = 0; ch < 2; ++ch) {
            benchmark::DoNotOptimize(s->getAWaveLineData(ch, 0, spp, width, lines.data()));
            s->getAParameterValues(ch, 0, width * spp, values, valid);
            benchmark::DoNotOptimize(values);
        }
        // The math cache is rebuilt on every capture; time the cold case.
        if (!firstMath) {
            std::free(s->mathData[0]);
            std::free(s->mathData[1]);
            s->mathData[0] = s->mathData[1] = nullptr;
        }
        firstMath = false;
        benchmark::DoNotOptimize(s->getAMathWaveLineData(1, pair, 0, spp, width, math.data()));
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_ConvertDual)
    ->Args({102400, 0})
    ->Args({40960, 0})
    ->Args({102400, 1})
    ->ArgNames({"bytes", "cold"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertPath)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({0, 1})
    ->ArgNames({"dual", "table"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Redraw)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
