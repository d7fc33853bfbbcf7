// The oscilloscope view's redraw after a new record of 40,960 samples (two
// channels of 20,480): the trace generator's columns, measurements and math
// trace, then the trace item painting both channels and the math trace over
// the graticule into a 1000 x 600 grid. "memcpy_MB" is how many megabytes
// memcpy copies, in the same run, in the time one redraw takes.

#include "common/memcpybaseline.h"

#include "oscrecord.h"

#include "core/config.h"
#include "device/dev7329.h"
#include "device/smpdataosc.h"
#include "scope/wavebackgroundosc.h"
#include "scope/wavelineosc.h"
#include "scope/wavedatagenosc.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

constexpr int GridW = 1000;
constexpr int GridH = 600;

struct Scope {
    std::unique_ptr<Dev7329> dev;
    std::unique_ptr<WaveDataGenOsc> gen;
    std::unique_ptr<WaveLineOsc> trace;
    std::unique_ptr<WaveBackgroundOsc> grid;
    QImage image{GridW + 3, GridH + 3, QImage::Format_ARGB32_Premultiplied};

    explicit Scope(int timeDivIndex)
    {
        Config::cfgDoc.setContent(Config::defaultDocument());
        Config::fillLists();
        dev = std::make_unique<Dev7329>();
        devUsing = dev.get();
        gen = std::make_unique<WaveDataGenOsc>();
        gen->devModelChanged();
        fillOscRecord(dev->displayedSmpDataOsc().get());
        dev->setAVoltDivIndex(0, 5);
        dev->setAVoltDivIndex(1, 4);
        dev->aMathEna = true;
        dev->aMathOperator = 1;
        dev->setATimeDivIndex(timeDivIndex);
        gen->setViewWidth(GridW);
        trace = std::make_unique<WaveLineOsc>(gen.get());
        trace->setSize(GridW + 1, GridH + 1);
        grid = std::make_unique<WaveBackgroundOsc>(gen.get());
        grid->setSize(GridW + 3, GridH + 3);
    }
    ~Scope() { devUsing = nullptr; }

    void redraw()
    {
        // A new record: the math cache of the old one goes, the view starts
        // again from the trigger.
        for (MathChnBuf*& m : dev->displayedSmpDataOsc()->mathData) {
            std::free(m);
            m = nullptr;
        }
        gen->zoomFirst();
        image.fill(Qt::black);
        QPainter p(&image);
        QStyleOptionGraphicsItem opt;
        grid->paint(&p, &opt, nullptr);
        p.translate(1, 1);
        trace->paint(&p, &opt, nullptr);
    }
};

// range(0): time/div index. 14 (500 us) shows the whole record, 11 (50 us) a
// tenth of it, 8 (5 us) one sample every few columns.
void BM_Redraw(benchmark::State& state)
{
    Scope s(int(state.range(0)));
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        s.redraw();
        benchmark::DoNotOptimize(s.image.constBits());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double per = seconds / std::max<double>(1.0, double(state.iterations()));
    state.counters["memcpy_MB"] = per * tavbench::memcpyBandwidth(size_t(16) << 20) / 1e6;
}

// The paint alone, for the share of the item.
void BM_PaintOnly(benchmark::State& state)
{
    Scope s(int(state.range(0)));
    s.redraw();
    for (auto _ : state) {
        QPainter p(&s.image);
        QStyleOptionGraphicsItem opt;
        s.trace->paint(&p, &opt, nullptr);
        benchmark::DoNotOptimize(s.image.constBits());
    }
}

} // namespace

BENCHMARK(BM_Redraw)->Arg(14)->Arg(11)->Arg(8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintOnly)->Arg(14)->Arg(11)->Arg(8)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
