// One redraw of the oscilloscope traces through the generator: columns and
// measurements of both channels of a full record plus the math trace, on a
// 1000-pixel grid, at the time base that shows the whole record and at one
// that shows a tenth of it.

#include "oscrecord.h"

#include "core/config.h"
#include "device/dev7329.h"
#include "device/smpdataosc.h"
#include "scope/wavedatagenosc.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

struct Setup {
    std::unique_ptr<Dev7329> dev;
    std::unique_ptr<WaveDataGenOsc> gen;

    explicit Setup(int timeDivIndex)
    {
        Config::cfgDoc.setContent(Config::defaultDocument());
        dev = std::make_unique<Dev7329>();
        devUsing = dev.get();
        gen = std::make_unique<WaveDataGenOsc>();
        gen->devModelChanged();
        fillOscRecord(dev->displayedSmpDataOsc().get());
        dev->aMathEna = true;
        dev->aMathOperator = 1;
        dev->setATimeDivIndex(timeDivIndex);
        gen->setViewWidth(1000);
        gen->zoomFirst();
    }
    ~Setup()
    {
        gen.reset();
        devUsing = nullptr;
    }
};

// range(0): time/div index; 14 (500 us) shows all 20480 samples at 2 MHz, 11 a tenth.
void BM_GenData(benchmark::State& state)
{
    Setup s(int(state.range(0)));
    SmpDataOsc* store = s.dev->displayedSmpDataOsc().get();
    for (auto _ : state) {
        // A new capture drops the math cache; time the redraw that rebuilds it.
        for (MathChnBuf*& m : store->mathData) {
            std::free(m);
            m = nullptr;
        }
        s.gen->genData();
        benchmark::DoNotOptimize(s.gen->mathLineCount);
    }
}

} // namespace

BENCHMARK(BM_GenData)->Arg(14)->Arg(11)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
