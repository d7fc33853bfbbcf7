// Cost of one generator frame (runs of every channel for the current view)
// and of painting the rows. Each case also reports "memcpy_MB": how many
// megabytes memcpy copies, in the same run, in the time one iteration takes,
// a figure that holds across machines.
//
// Sizes: captures of 1e9 samples with 1e7 edges per channel, views 1920
// pixels wide; 16 channels for the frame cases, 32 rows of 1920 x 30 pixels
// for painting. --tav_smoke (the CTest smoke run) shrinks the captures a
// hundredfold.

#include "core/config.h"
#include "waveview/itemwaveline.h"
#include "waveview/wavedatagen.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "common/deepcapture.h"
#include "common/memcpybaseline.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace {

bool g_smoke = false;
constexpr int viewWidth = 1920;

long long sampleCount()
{
    return g_smoke ? 10000000LL : 1000000000LL;
}

// Bytes per second memcpy moves over a 16 MB buffer (best of a few).
double memcpyBandwidth()
{
    return tavbench::memcpyBandwidth(size_t(16) << 20, g_smoke ? 3 : 20);
}

void reportMemcpy(benchmark::State& state, double seconds)
{
    const double per = seconds / std::max<double>(1, double(state.iterations()));
    state.counters["memcpy_MB"] = per * memcpyBandwidth() / 1e6;
}

// `chns` channels of the deep capture.
std::unique_ptr<SmpData> makeCapture(int chns)
{
    std::unique_ptr<SmpData> s(new SmpData(chns));
    tavbench::fillDeepCapture(s.get(), sampleCount());
    return s;
}

SmpData* capture16()
{
    static std::unique_ptr<SmpData> s;
    if (!s)
        s = makeCapture(16);
    return s.get();
}

// A generator over the capture, showing `chns` channels.
std::unique_ptr<WaveDataGen> generator(SmpData* s, int chns)
{
    std::unique_ptr<WaveDataGen> g(new WaveDataGen());
    g->setDataSource([s] { return s; });
    g->setChannelCount(chns);
    g->setViewWidth(viewWidth);
    g->setReboundEnable(false);
    return g;
}

// One frame: all channels over the whole capture, or zoomed into the middle
// at 64 samples a pixel (a typical animation frame); on one thread or spread
// over up to eight. Real time, since helper threads do the work.
void BM_Frame(benchmark::State& state)
{
    const int chns = int(state.range(0));
    const bool whole = state.range(1) != 0;
    SmpData* s = capture16();
    auto g = generator(s, chns);
    g->setMaxGenThreads(int(state.range(2)));
    if (whole)
        g->zoomAll();
    else
        g->zoomFixed(64), g->moveTo(double(s->smpCount) / 2);
    g->genData();   // warm
    double busy = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        g->genData();
        busy += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const WaveFramePtr f = g->frame();
    long long records = 0;
    for (int c = 0; c < chns; ++c)
        records += std::max(0, f->counts[size_t(c)]);
    state.counters["records"] = double(records);
    state.counters["edges_per_chn"] = double(tavEntryCount(s->chnData[0]));
    reportMemcpy(state, busy);
}
BENCHMARK(BM_Frame)->Args({1, 1, 1})->Args({16, 1, 1})->Args({16, 1, 8})->Args({1, 0, 1})
    ->Args({16, 0, 1})->Args({16, 0, 8})->ArgNames({"chns", "whole", "threads"})
    ->Unit(benchmark::kMicrosecond)->UseRealTime();

// 32 rows of 1920 x 30 pixels painted into one image, one drawLines batch a
// row: the whole capture (every pixel an edge column) or zoomed in.
void BM_PaintRows(benchmark::State& state)
{
    const bool whole = state.range(0) != 0;
    const QImage::Format format = state.range(1) ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    SmpData* s = capture16();
    auto g = generator(s, 16);
    if (whole)
        g->zoomAll();
    else
        g->zoomFixed(64), g->moveTo(double(s->smpCount) / 2);
    const int rows = 32, rowH = 30;
    std::vector<std::unique_ptr<ItemWaveLine>> items;
    for (int r = 0; r < rows; ++r) {
        items.emplace_back(new ItemWaveLine(r % 16, g.get()));
        items.back()->setSize(viewWidth, rowH);
    }
    QImage img(viewWidth, rows * rowH, format);
    double busy = 0;
    for (auto _ : state) {
        img.fill(QColor("#2f2f2f"));
        auto t0 = std::chrono::steady_clock::now();
        QPainter p(&img);
        for (int r = 0; r < rows; ++r) {
            p.save();
            p.translate(0, r * rowH);
            items[size_t(r)]->paint(&p, nullptr, nullptr);
            p.restore();
        }
        p.end();
        busy += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(img.constBits());
    }
    state.counters["records_row"] = double(std::max(0, g->frame()->counts[0]));
    reportMemcpy(state, busy);
}
BENCHMARK(BM_PaintRows)->Args({1, 1})->Args({0, 1})->Args({1, 0})->ArgNames({"whole", "premul"})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tav_smoke") == 0)
            g_smoke = true;
        else
            args.push_back(argv[i]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    QGuiApplication app(qargc, argv);
    Config::fillLists();
    int n = int(args.size());
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
