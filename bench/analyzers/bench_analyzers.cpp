// Decode throughput of the four analyzer plug-ins, in capture edges per
// second, on dense captures made by each plug-in's simulator; and how long a
// running decode takes to end after StopWorkerThread. The "vs_memcpy" counter
// compares the edge-list bytes decoded per second (5 bytes an edge) with
// memcpy bandwidth measured in the same run.
// TAV_BENCH_LARGE=1 decodes captures ten times longer.
#include "tests/analyzers/analyzertesthelpers.h"

#include "common/memcpybaseline.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <thread>

namespace {

struct Plugin {
    Analyzer* (*create)() = nullptr;
    void (*destroy)(Analyzer*) = nullptr;
};

Plugin plugin(const std::string& name)
{
    static std::map<std::string, Plugin> cache;
    auto it = cache.find(name);
    if (it != cache.end())
        return it->second;
    std::string path = std::string(TAV_ANALYZER_DIR) + "lib" + name + ".so";
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    Plugin p;
    if (h) {
        p.create = reinterpret_cast<Analyzer* (*)()>(dlsym(h, "CreateAnalyzer"));
        p.destroy = reinterpret_cast<void (*)(Analyzer*)>(dlsym(h, "DestroyAnalyzer"));
    }
    cache[name] = p;
    return p;
}

struct Dense {
    const char* plugin;
    const char* settings;
    int64_t rate;
};

// Bit times of a few samples: about the densest traffic an instrument sees.
const Dense kDense[] = {
    {"UART", "UART,1,rx=0,baud=10000000", 100000000},      // 10 samples a bit
    {"SPI", "SPI,1,mosi=0,miso=1,clk=2,en=3", 4000000},     // 2 samples a half clock
    {"I2C", "I2C,1,sda=0,scl=1", 800000},                   // 2 samples a quarter clock
    {"CAN", "CAN,1,can=0,rate=1000000", 10000000},          // 10 samples a bit
};

int64_t capSamples(const Dense& d)
{
    const char* large = std::getenv("TAV_BENCH_LARGE");
    int64_t base = std::strcmp(d.plugin, "CAN") == 0 ? 20000000 : 8000000;
    return large && *large == '1' ? base * 10 : base;
}

struct Prepared {
    std::unique_ptr<TestCapture> cap;
    int64_t edges = 0;
};

Prepared& prepared(int i)
{
    static std::map<int, Prepared> cache;
    Prepared& p = cache[i];
    if (!p.cap) {
        const Dense& d = kDense[i];
        Plugin pl = plugin(d.plugin);
        Analyzer* sim = pl.create();
        sim->GetAnalyzerSettings()->LoadFromText(d.settings);
        p.cap = captureFromSimulation(sim, 4, capSamples(d), d.rate, 1000000);
        pl.destroy(sim);
        DataForAnly* rec = p.cap->record();
        for (int c = 0; c < rec->chnNum; ++c)
            if (rec->chnData[c])
                p.edges += tavEntryCount(rec->chnData[c]) - 1;
    }
    return p;
}

double memcpyBytesPerSecond()
{
    return tavbench::memcpyBandwidth(size_t(64) << 20, 8);
}

void BM_Decode(benchmark::State& state)
{
    const int i = int(state.range(0));
    const Dense& d = kDense[i];
    Plugin pl = plugin(d.plugin);
    if (!pl.create) {
        state.SkipWithError("plug-in not found");
        return;
    }
    Prepared& p = prepared(i);
    Analyzer* a = pl.create();
    a->GetAnalyzerSettings()->LoadFromText(d.settings);
    U64 frames = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        a->Init(p.cap->record(), nullptr, nullptr);
        a->ResetResults();
        a->InitialWorkerThread();
        a->StartProcessing();
        AnalyzerResults* r = nullptr;
        a->GetAnalyzerResults(&r);
        frames = r->GetNumFrames();
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    pl.destroy(a);
    const double bw = memcpyBytesPerSecond();
    state.SetLabel(d.plugin);
    state.counters["edges"] = double(p.edges);
    state.counters["frames"] = double(frames);
    state.counters["edges/s"] =
        benchmark::Counter(double(p.edges) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["vs_memcpy"] = secs > 0 ? 5.0 * double(p.edges) * double(state.iterations()) / secs / bw : 0;
}
BENCHMARK(BM_Decode)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Time from StopWorkerThread to the library's stopWorkThread on the worker.
class StopTimer : public ProgressManager {
public:
    explicit StopTimer(Analyzer* a) : a_(a) {}
    void startWorkThread() override { t_ = std::thread([this] { a_->DecodeLoop(); }); }
    void stopWorkThread() override
    {
        std::lock_guard<std::mutex> l(m_);
        stoppedAt = std::chrono::steady_clock::now();
        stopped = true;
        cv_.notify_all();
    }
    void reportProgress(double) override
    {
        std::lock_guard<std::mutex> l(m_);
        started = true;
        cv_.notify_all();
    }
    double run()
    {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [this] { return started || stopped; });
        auto t0 = std::chrono::steady_clock::now();
        l.unlock();
        a_->StopWorkerThread();
        l.lock();
        cv_.wait(l, [this] { return stopped; });
        l.unlock();
        t_.join();
        return std::chrono::duration<double>(stoppedAt - t0).count();
    }

private:
    Analyzer* a_;
    std::thread t_;
    std::mutex m_;
    std::condition_variable cv_;
    bool started = false, stopped = false;
    std::chrono::steady_clock::time_point stoppedAt;
};

void BM_StopLatency(benchmark::State& state)
{
    const int i = int(state.range(0));
    const Dense& d = kDense[i];
    Plugin pl = plugin(d.plugin);
    if (!pl.create) {
        state.SkipWithError("plug-in not found");
        return;
    }
    Prepared& p = prepared(i);
    Analyzer* a = pl.create();
    a->GetAnalyzerSettings()->LoadFromText(d.settings);
    double worst = 0;
    for (auto _ : state) {
        StopTimer st(a);
        a->Init(p.cap->record(), nullptr, &st);
        a->ResetResults();
        a->InitialWorkerThread();
        a->StartProcessing();
        double s = st.run();
        worst = std::max(worst, s);
        state.SetIterationTime(s);
    }
    pl.destroy(a);
    state.SetLabel(d.plugin);
    state.counters["worst_ms"] = worst * 1e3;
}
BENCHMARK(BM_StopLatency)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
