// The program in demo mode (no instrument on the bus): from the start of the
// settings to the first paint of the main window's waveform area, and one
// capture of the default depth and rate from F5 until the waveform area has
// painted it. Start-up runs in the program's order (settings, language,
// fonts, USB transport, device object, start-up controller, window); the
// QApplication itself is built once. --tav_smoke (the CTest smoke run) takes
// the same steps.

#include "core/config.h"
#include "app/mainwindow.h"
#include "app/processobjects.h"
#include "device/devbase.h"
#include "tests/common/tempenv.h"
#include "waveview/mainview.h"
#include "waveview/wavedatagen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QShortcut>
#include <QTimer>

#include "common/benchmain.h"

#include <benchmark/benchmark.h>

namespace {

bool g_smoke = false;

// Counts paint events of one widget and everything inside it.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget* w)
        : target(w)
    {
        qApp->installEventFilter(this);
    }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && o->isWidgetType() &&
            (o == target || target->isAncestorOf(static_cast<QWidget*>(o))))
            ++paints;
        return false;
    }
    QWidget* target;
    int paints = 0;
};

// Runs the event loop until pred holds; false after 20 s (a broken run,
// reported as an error, never as a time).
template <class Pred>
bool spin(Pred pred)
{
    QElapsedTimer t;
    t.start();
    QTimer wake;   // waiting for events stays bounded
    wake.start(10);
    while (!pred()) {
        if (t.elapsed() > 20000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct Program {
    TempEnv env;
    MainWindow* window = nullptr;

    Program()
    {
        QDir().mkpath(env.dataHome() + QStringLiteral("/vormel"));
        QFile f(env.settingsFile());
        // No update request leaves the machine; the demo model.
        if (f.open(QIODevice::WriteOnly))
            f.write("<?xml version=\"1.0\"?><settings><global><version>3.5.0</version><devModel>0</devModel>"
                    "<disAutoUpdate>1</disAutoUpdate><windowPosition>0,0,1400,860</windowPosition>"
                    "</global><devices/><analyzers/></settings>");
    }
    void start()
    {
        Config::dataFile.clear();
        Config::init();
        ProcessObjects::initLanguageAndFonts();
        ProcessObjects::createDevices();
        window = new MainWindow(nullptr);
        window->show();
    }
    ~Program()
    {
        delete window;
        ProcessObjects::deleteDevices();
    }
};

void BM_StartToFirstPaint(benchmark::State& state)
{
    double built = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto* p = new Program;
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        p->start();
        built += double(t.nsecsElapsed()) / 1e6;
        PaintWatch watch(p->window->getMainView());
        if (!spin([&] { return watch.paints > 0; })) {
            state.SkipWithError("the window never painted");
            delete p;
            break;
        }
        state.PauseTiming();
        // The start-up timer's device search finds an empty bus.
        spin([&] { return !p->window->startupPending(); });
        delete p;
        state.ResumeTiming();
    }
    // Of that, building the objects and the window up to show().
    state.counters["built_ms"] = benchmark::Counter(built, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StartToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_F5ToDrawn(benchmark::State& state)
{
    Program p;
    p.start();
    MainWindow* w = p.window;
    if (!spin([&] { return !w->startupPending(); })) {
        state.SkipWithError("start-up did not finish");
        return;
    }
    QShortcut* f5 = nullptr;
    for (QShortcut* s : w->getShortcuts())
        if (s->key() == QKeySequence(Qt::Key_F5))
            f5 = s;
    PaintWatch watch(w->getMainView());
    bool dataReady = false;
    int paintsAtData = 0;
    QElapsedTimer clock;
    double toData = 0, total = 0;
    // A start clears the display and says so: the capture is the data
    // announced with samples in it. The window's own slot has placed and
    // generated its frame when this one runs; the next paint shows it.
    QObject::connect(devUsing, &DevBase::sigSmpDataReady, w, [&](int decode) {
        auto shown = devUsing->displayedSmpData();
        if (decode == 0 && !dataReady && shown && shown->smpCount > 0) {
            dataReady = true;
            paintsAtData = watch.paints;
            toData += double(clock.nsecsElapsed()) / 1e6;
        }
    });
    long long samples = 0;
    for (auto _ : state) {
        dataReady = false;
        clock.start();
        emit f5->activated();
        if (!spin([&] { return dataReady && watch.paints > paintsAtData; })) {
            state.SkipWithError("the capture was never drawn");
            break;
        }
        total += double(clock.nsecsElapsed()) / 1e6;
        samples = devUsing->displayedSmpData() ? devUsing->displayedSmpData()->smpCount : 0;
        state.PauseTiming();
        spin([&] { return !devUsing->smpRunning; });
        state.ResumeTiming();
    }
    state.counters["samples"] = double(samples);
    state.counters["rate_Hz"] = double(devUsing->getSmpFrequ());
    // The demo paces a capture as an instrument takes it (depth / rate):
    // F5 to its data, and from there to the painted waveform.
    state.counters["toData_ms"] = benchmark::Counter(toData, benchmark::Counter::kAvgIterations);
    state.counters["drawn_ms"] = benchmark::Counter(total - toData, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_F5ToDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return tavbench::runMain(argc, argv, &g_smoke);
}
