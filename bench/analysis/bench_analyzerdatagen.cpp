// The decoded-results list on 4 analyzers of 2.5 million frames each: a
// restart to the first page, one page step down and up, a jump to the end
// and back to the top, a search through all 10^7 frames, and the host's
// handshake while the list idles and while it searches. Each case times a
// request until the list thread has answered it, and reports "memcpy_MB":
// how many megabytes memcpy copies, in the same run, in that time.
// --tav_smoke (the CTest smoke run) shrinks the analyzers a hundredfold.

#include "tests/analysis/fakeanalyzer.h"

#include "analysis/analyzerdatagen.h"
#include "analysis/analyzermanager.h"

#include "common/benchmain.h"
#include "common/memcpybaseline.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

using namespace fakeanly;

namespace {

bool g_smoke = false;
constexpr int kRows = 40;
constexpr int kAnalyzers = 4;

long long framesPerAnalyzer()
{
    return g_smoke ? 25000 : 2500000;
}

void reportMemcpy(benchmark::State& state, double seconds)
{
    const double per = seconds / std::max<double>(1, double(state.iterations()));
    state.counters["memcpy_MB"] = per * tavbench::memcpyBandwidth(size_t(16) << 20, g_smoke ? 3 : 20) / 1e6;
}

// Four analyzers whose frames interleave, two pairs starting on equal samples.
struct Lists {
    Lists()
    {
        for (int a = 0; a < kAnalyzers; ++a) {
            an.emplace_back(new FakeAnalyzer("A" + std::to_string(a)));
            for (long long k = 0; k < framesPerAnalyzer(); ++k)
                an.back()->add(k * 8 + (a / 2) * 3, 2, (unsigned long long)(k * 7 + a));
        }
        source.analyzers = [this] {
            QVector<Analyzer*> v;
            for (auto& a : an)
                v.append(a.get());
            return v;
        };
        source.displayFormat = [](Analyzer*) { return int(DisplayHex); };
        gen.reset(new AnalyzerDataGen(&mgr, nullptr, source));
        gen->slotRowNumChanged(kRows);
        restart(QString());
    }
    ~Lists() { gen.reset(); }
    long long total() const { return framesPerAnalyzer() * kAnalyzers; }
    void wait() const
    {
        while (!gen->isIdle())
            std::this_thread::yield();
    }
    // Leaves the processor to the list thread while it works long.
    void waitSleeping() const
    {
        while (!gen->isIdle())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    void restart(QString const& text)
    {
        gen->reStart(text, 0, 1e15);
        wait();
    }
    void move(long long index)
    {
        gen->begFrameChanged(index);
        wait();
    }
    AnalyzerManager mgr;
    std::vector<std::unique_ptr<FakeAnalyzer>> an;
    AnalyzerDataGen::Source source;
    std::unique_ptr<AnalyzerDataGen> gen;
};

Lists& lists()
{
    static Lists l;
    return l;
}

using Clock = std::chrono::steady_clock;

template <typename F>
void timed(benchmark::State& state, F request)
{
    double total = 0;
    long long i = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        request(i++);
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        total += s;
    }
    reportMemcpy(state, total);
}

void BM_RestartFirstPage(benchmark::State& state)
{
    Lists& l = lists();
    timed(state, [&l](long long) { l.restart(QString()); });
}
BENCHMARK(BM_RestartFirstPage)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PageStep(benchmark::State& state)
{
    Lists& l = lists();
    l.restart(QString());
    const long long mid = l.total() / 2;
    l.move(mid);
    // Down one page, then up one page: each a whole new page.
    timed(state, [&l, mid](long long i) { l.move(i % 2 ? mid : mid + kRows); });
}
BENCHMARK(BM_PageStep)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_JumpToEndAndTop(benchmark::State& state)
{
    Lists& l = lists();
    l.restart(QString());
    timed(state, [&l](long long i) { l.move(i % 2 ? 0 : l.total() - kRows); });
}
BENCHMARK(BM_JumpToEndAndTop)->UseManualTime()->Unit(benchmark::kMillisecond);

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Every frame's text is made and matched. "X5": the values written 0x5...;
// the first page fills early, the count then runs through the rest. "zz":
// no frame matches, so the page is filled from the whole list in time order.
// The waiting thread sleeps, so the process's processor time is the list
// thread's: what the search costs on a core of its own, whatever else the
// machine runs.
void search(benchmark::State& state, QString const& text)
{
    Lists& l = lists();
    const long long before = l.an[0]->results.texts;
    double total = 0, cpu = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double c0 = processCpuSeconds();
        l.gen->reStart(text, 0, 1e15);
        l.waitSleeping();
        cpu += processCpuSeconds() - c0;
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        total += s;
    }
    reportMemcpy(state, total);
    const double n = std::max<double>(1, double(state.iterations()));
    state.counters["cpu_ms"] = cpu / n * 1e3;
    state.counters["texts_per_search"] = double(l.an[0]->results.texts - before) * kAnalyzers / n;
    l.restart(QString());
}

void BM_SearchAllFrames(benchmark::State& state)
{
    search(state, QStringLiteral("X5"));
}
BENCHMARK(BM_SearchAllFrames)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SearchNoMatch(benchmark::State& state)
{
    search(state, QStringLiteral("zz"));
}
BENCHMARK(BM_SearchNoMatch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The host's handshake with the list idle, and in the middle of a search.
void BM_HandshakeIdle(benchmark::State& state)
{
    Lists& l = lists();
    l.restart(QString());
    timed(state, [&l](long long) { l.mgr.startDecode(); });
    l.wait();
}
BENCHMARK(BM_HandshakeIdle)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_HandshakeDuringSearch(benchmark::State& state)
{
    Lists& l = lists();
    double total = 0;
    for (auto _ : state) {
        l.gen->reStart(QStringLiteral("zz"), 0, 1e15);
        // The pass has begun: the fourth analyzer's texts are being made.
        const long long made = l.an[3]->results.texts;
        while (l.an[3]->results.texts == made)
            std::this_thread::yield();
        const auto t0 = Clock::now();
        l.mgr.startDecode();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        total += s;
        l.wait();
    }
    reportMemcpy(state, total);
}
BENCHMARK(BM_HandshakeDuringSearch)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    return tavbench::runMain(argc, argv, &g_smoke);
}
