// The waveform area on a deep capture: one drag step (the move, the frame
// and the paint of the whole wave view), zooming all the way out, moving a
// timing marker while eight pulse counters follow it, the measure texts
// under the mouse, and the glitch filter of all channels (alone, and applied
// while the window keeps painting). Each case also reports "memcpy_MB": how many megabytes
// memcpy copies, in the same run, in the time one iteration takes.
//
// Sizes: 16 channels, 1e9 samples with 1e7 edges per channel, a wave view of
// 1920 x 1080 pixels. --tav_smoke (the CTest smoke run) shrinks the capture
// a hundredfold.

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "waveview/cursorbody.h"
#include "waveview/glitchfilterjob.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/mainview.h"
#include "waveview/wavedatagen.h"
#include "waveview/waveview.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "common/benchmain.h"
#include "common/deepcapture.h"
#include "common/memcpybaseline.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <memory>

namespace {

bool g_smoke = false;
constexpr int viewW = 1920, viewH = 1080;

class EightCounters : public PulseCounterSource
{
public:
    QStringList getChnAndTimeSet() const override { return {}; }
    QStringList getChnSet(int pair) const override
    {
        return pair == 0 ? QStringList({"0", "1", "2", "3", "4", "5", "6", "7"}) : QStringList();
    }
};

// The device object with the capture displayed, the area showing it, and
// what the main window does after each frame.
struct Area {
    std::unique_ptr<DevBase> dev;
    std::unique_ptr<WaveDataGen> gen;
    std::unique_ptr<MainView> view;
    EightCounters counters;
    QImage image{viewW, viewH, QImage::Format_ARGB32_Premultiplied};

    Area()
    {
        dev.reset(DevBase::createDevice(0));
        devUsing = dev.get();
        const long long n = g_smoke ? 10000000LL : 1000000000LL;
        tavbench::fillDeepCapture(dev->fillingSmpData().get(), n);
        dev->toggleSmpData();

        gen.reset(new WaveDataGen());
        gen->devModelChanged();
        gen->setReboundEnable(false);
        view.reset(new MainView(gen.get(), nullptr, nullptr));
        MainView::setPulseCounterSource(&counters);
        view->resize(Config::pixel(196) + viewW, viewH);
        view->show();
        QApplication::processEvents();
        view->init();
        fitWaveView();
        QObject::connect(gen.get(), &WaveDataGen::sigViewRefresh, view.get(), [this](bool) {
            gen->setRefreshDone();
            view->updateViewDisplay();
        });
        gen->zoomFixed(64);
        gen->moveTo(double(n) / 2);
        paint();   // fonts and caches of the first paint
    }
    ~Area()
    {
        MainView::setPulseCounterSource(nullptr);
        view.reset();
        gen.reset();
        devUsing = nullptr;
    }

    // Sizes the window so that the wave view itself is viewW x viewH.
    void fitWaveView()
    {
        QApplication::processEvents();
        const QWidget* wv = view->getWaveView();
        view->resize(view->width() + viewW - wv->width(), view->height() + viewH - wv->height());
        QApplication::processEvents();
    }

    // Pixel for pixel, as the window paints it: a render scaled to the image
    // would time the paint engine's transformed paths instead.
    void paint()
    {
        QPainter p(&image);
        view->getWaveView()->render(&p, QRectF(0, 0, viewW, viewH), QRect(0, 0, viewW, viewH));
    }

    void mouseAt(QPoint pos)
    {
        QWidget* vp = view->getWaveView()->viewport();
        QMouseEvent e(QEvent::MouseMove, pos, vp->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    }
};

// Built on first use, torn down before the application object.
std::unique_ptr<Area> g_area;

Area& area()
{
    if (!g_area)
        g_area.reset(new Area());
    return *g_area;
}

void reportMemcpy(benchmark::State& state, double seconds)
{
    const double per = seconds / std::max<double>(1, double(state.iterations()));
    state.counters["memcpy_MB"] = per * tavbench::memcpyBandwidth(size_t(16) << 20, g_smoke ? 3 : 20) / 1e6;
}

using Clock = std::chrono::steady_clock;

// A drag by one pixel, left and right in turn: move, frame, paint; the
// frame on the GUI thread alone or spread over up to eight threads.
void BM_DragStep(benchmark::State& state)
{
    Area& a = area();
    a.gen->zoomFixed(double(state.range(0)));
    a.gen->setMaxGenThreads(int(state.range(1)));
    int dir = 1;
    double busy = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        a.view->slotMouseDraged(dir);
        a.paint();
        busy += std::chrono::duration<double>(Clock::now() - t0).count();
        dir = -dir;
    }
    state.counters["spp"] = a.gen->getSmpPerPixel();
    a.gen->setMaxGenThreads(8);
    reportMemcpy(state, busy);
}
BENCHMARK(BM_DragStep)->Args({64, 1})->Args({64, 8})->Args({4096, 1})->Args({4096, 8})->Args({520834, 1})
    ->Args({520834, 8})->ArgNames({"spp", "threads"})->Unit(benchmark::kMillisecond)->UseRealTime();

// The paint alone, and the move with its frame (on the GUI thread) alone, of the drag step.
void BM_DragParts(benchmark::State& state)
{
    Area& a = area();
    a.gen->zoomFixed(double(state.range(0)));
    a.gen->setMaxGenThreads(1);
    const bool paintOnly = state.range(1) != 0;
    int dir = 1;
    double busy = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (paintOnly)
            a.paint();
        else
            a.view->slotMouseDraged(dir);
        busy += std::chrono::duration<double>(Clock::now() - t0).count();
        dir = -dir;
    }
    a.gen->setMaxGenThreads(8);
    reportMemcpy(state, busy);
}
BENCHMARK(BM_DragParts)->Args({64, 0})->Args({64, 1})->Args({520834, 0})->Args({520834, 1})
    ->ArgNames({"spp", "paint"})->Unit(benchmark::kMillisecond)->UseRealTime();

// Zoom all the way out from a zoomed-in view, with its paint.
void BM_ZoomAll(benchmark::State& state)
{
    Area& a = area();
    a.gen->setMaxGenThreads(int(state.range(0)));
    double busy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        a.gen->zoomFixed(64);
        state.ResumeTiming();
        const auto t0 = Clock::now();
        a.gen->zoomAll();
        a.paint();
        busy += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    a.gen->setMaxGenThreads(8);
    reportMemcpy(state, busy);
}
BENCHMARK(BM_ZoomAll)->Arg(1)->Arg(8)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

// Times `move(k)` for k = 0, 1, 2 ... with the view zoomed in or out whole.
template <class Move>
void timeMoves(benchmark::State& state, Move move)
{
    int k = 0;
    double busy = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        move(k++);
        busy += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    reportMemcpy(state, busy);
}

void zoomCase(Area& a, bool whole)
{
    if (whole)
        a.gen->zoomAll();
    else
        a.gen->zoomFixed(64);
}

// A following marker moved by the mouse over a row: snapping, time texts,
// eight counters between the pair, and the measure texts under the mouse.
void BM_MarkerMove(benchmark::State& state)
{
    Area& a = area();
    zoomCase(a, state.range(0) != 0);
    MainView* v = a.view.get();
    v->slotTimingMarkerPairClicked(0, 0);
    v->setLogTimeMarkerSmpPoint(v->findCursorBody(0), 3, viewW / 5);
    v->slotTimingMarkerPairClicked(2, 1);   // A2 follows the mouse
    const int y = v->getChnSidebars()[3]->y() + 10;
    timeMoves(state, [&](int k) { a.mouseAt(QPoint(300 + k % 1200, y)); });
    state.counters["A2"] = double(v->getCursorBodies()[v->findCursorBody(1)]->smpPoint);
    v->slotTimingMarkerPairClicked(1, 0);
}
BENCHMARK(BM_MarkerMove)->Arg(0)->Arg(1)->ArgName("whole")->Unit(benchmark::kMicrosecond)->UseRealTime();

// Width, period, duty and frequency under the mouse.
void BM_MeasureTexts(benchmark::State& state)
{
    Area& a = area();
    zoomCase(a, state.range(0) != 0);
    MainView* v = a.view.get();
    const int y = v->getChnSidebars()[5]->y() + 10;
    timeMoves(state, [&](int k) { v->updatePeriodMark(QPoint(100 + k % 1700, y)); });
}
BENCHMARK(BM_MeasureTexts)->Arg(0)->Arg(1)->ArgName("whole")->Unit(benchmark::kMicrosecond)->UseRealTime();

// User and system time of all threads of the process.
double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// The filter of all 16 channels (1e7 edges each) on one thread or on every
// core: building the new lists, without installing them.
void BM_GlitchFilter(benchmark::State& state)
{
    Area& a = area();
    auto s = a.dev->displayedSmpData();
    const std::vector<unsigned int> widths(size_t(s->chnNum), 3u);
    long long edges = 0;
    for (int c = 0; c < s->chnNum; ++c)
        edges += tavEntryCount(s->filterSource(c));
    double busy = 0, cpu = 0;
    for (auto _ : state) {
        auto job = std::make_unique<GlitchFilterJob>(&*s, widths);
        const double c0 = processCpuSeconds();
        const auto t0 = Clock::now();
        job->start(int(state.range(0)));
        job->wait();
        busy += std::chrono::duration<double>(Clock::now() - t0).count();
        cpu += processCpuSeconds() - c0;
        state.PauseTiming();
        job.reset();
        state.ResumeTiming();
    }
    state.counters["edges"] = double(edges);
    // Processor time of all workers: on a machine shared with other work the
    // wall time only tells how much of it this run got.
    state.counters["cpu_ms"] = cpu * 1e3 / std::max<double>(1, double(state.iterations()));
    reportMemcpy(state, busy);
}
BENCHMARK(BM_GlitchFilter)->Arg(1)->Arg(0)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

// The filter applied from the view (widths 3 and 5 in turn, so every pass
// filters all channels again) while a timer paints the wave view every 5 ms,
// as the window repaints: "paints" counts the paints during one filter and
// "gap_ms" is the longest time between two of them.
void BM_FilterWhilePainting(benchmark::State& state)
{
    Area& a = area();
    const int n = a.dev->dChnEna.size();
    a.view->setFilterProgressDelay(60000);   // no dialog in the benchmark
    QTimer painter;
    painter.setTimerType(Qt::PreciseTimer);
    int paints = 0;
    double gap = 0;
    auto last = Clock::now();
    QObject::connect(&painter, &QTimer::timeout, [&] {
        a.paint();
        const auto now = Clock::now();
        gap = std::max(gap, std::chrono::duration<double>(now - last).count());
        last = now;
        ++paints;
    });
    unsigned int w = 3;
    double busy = 0;
    for (auto _ : state) {
        painter.start(5);
        last = Clock::now();
        const auto t0 = last;
        a.view->applyFilter(QVector<unsigned int>(n, w));
        busy += std::chrono::duration<double>(Clock::now() - t0).count();
        gap = std::max(gap, std::chrono::duration<double>(Clock::now() - last).count());
        painter.stop();
        w = w == 3 ? 5 : 3;
    }
    a.view->applyFilter(QVector<unsigned int>(n, 0u));
    state.counters["paints"] = double(paints) / std::max<double>(1, double(state.iterations()));
    state.counters["gap_ms"] = gap * 1e3;
    reportMemcpy(state, busy);
}
BENCHMARK(BM_FilterWhilePainting)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    QApplication app(qargc, argv);
    Config::fillLists();
    Config::createFont();
    Config::disAnimate = true;
    Config::cfgDoc.setContent(Config::defaultDocument());
    const int r = tavbench::runMain(argc, argv, &g_smoke);
    g_area.reset();
    return r;
}
