// Data file save/load and sample exports on a temporary folder, each also as
// a ratio to memcpy bandwidth measured in the same run. Set TAV_BENCH_LARGE=1
// for full-size captures; the default sizes keep the smoke run short. Times
// include committing the file (QSaveFile syncs it to disk before the rename).
#include "core/config.h"
#include "device/smpdata.h"
#include "files/datafile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "common/memcpybaseline.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace {

bool large()
{
    const char* e = std::getenv("TAV_BENCH_LARGE");
    return e && *e && *e != '0';
}

// The folder to write in: TAV_BENCH_DIR (for example a RAM-backed one, to
// leave the disk out of the figures), else the system's temporary folder.
QTemporaryDir& tmp()
{
    static QTemporaryDir d = [] {
        const QByteArray where = qgetenv("TAV_BENCH_DIR");
        return where.isEmpty() ? QTemporaryDir() : QTemporaryDir(QString::fromLocal8Bit(where) + "/tavbench-XXXXXX");
    }();
    return d;
}

QString tmpPath(const char* name)
{
    return tmp().filePath(QString::fromLatin1(name));
}

// memcpy bandwidth in bytes/s over 64 MB, best of five.
double memcpyRate()
{
    return tavbench::memcpyBandwidth(size_t(64) << 20, 5);
}

// Channels 0..chn-1, each with an edge every `gap` samples, staggered so
// that no two channels change at one position.
std::unique_ptr<SmpData> makeStore(int chnNum, int chn, long long count, long long gap)
{
    auto s = std::make_unique<SmpData>(chnNum);
    bool ena[64] = {};
    for (int c = 0; c < chn; ++c)
        ena[c] = true;
    s->dataConvertStart(0, 100000000, ena);
    for (int c = 0; c < chn; ++c)
        for (long long p = 1 + c; p < count; p += gap)
            SmpData::appendEntry(s->chnData[size_t(c)], p);
    s->smpCount = count;
    s->dataConvertComplete(count);
    s->trgPosition = count / 10;
    return s;
}

struct Sel {
    bool f[64];
    Sel() { std::fill(std::begin(f), std::end(f), true); }
};

// Wall time and the CPU time of the whole process (the data-file thread
// included), so that figures from a busy machine can be read either way.
struct Clock {
    std::chrono::steady_clock::time_point wall0 = std::chrono::steady_clock::now();
    double cpu0 = cpuNow();
    static double cpuNow()
    {
        timespec t;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    double wall() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count(); }
    double cpu() const { return cpuNow() - cpu0; }
};

void setRatio(benchmark::State& state, double bytes, double seconds, double cpuSeconds)
{
    state.counters["bytes_per_s"] = bytes / seconds;
    state.counters["x_memcpy"] = (bytes / seconds) / memcpyRate();
    state.counters["x_memcpy_cpu"] = (bytes / cpuSeconds) / memcpyRate();
}

void BM_Memcpy(benchmark::State& state)
{
    const size_t n = size_t(64) << 20;
    std::vector<char> a(n, 1), b(n, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n);
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// 4 channels, an edge every 4 samples: records = count.
long long saveCount()
{
    return large() ? 100000000 : 4000000;
}

void BM_Save(benchmark::State& state)
{
    const long long count = saveCount();
    auto s = makeStore(16, 4, count, 4);
    Sel sel;
    const QString p = tmpPath("save.vtdat");
    long long records = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        // Freeing the previous file is not part of a save.
        QFile::remove(p);
        DataFile df;
        df.smpData = s.get();
        const Clock clk;
        if (!df.saveData(p, QByteArray("<settings/>"), sel.f, 0, count, true))
            state.SkipWithError("save failed");
        seconds += clk.wall();
        cpuSeconds += clk.cpu();
        records += df.totalRecordNum;
    }
    state.counters["records_per_s"] = double(records) / seconds;
    state.counters["records_per_cpu_s"] = double(records) / cpuSeconds;
    setRatio(state, double(records) * 5, seconds, cpuSeconds);
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Load(benchmark::State& state)
{
    const long long count = saveCount();
    const QString p = tmpPath("load.vtdat");
    {
        auto s = makeStore(16, 4, count, 4);
        Sel sel;
        DataFile df;
        df.smpData = s.get();
        df.saveData(p, QByteArray(), sel.f, 0, count, true);
    }
    const double bytes = double(QFileInfo(p).size());
    const double records = (bytes - 40) / 5;
    SmpData s(16);
    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        DataFile df;
        df.smpData = &s;
        df.useDialog = false;
        const Clock clk;
        if (!df.loadData(p, 0))
            state.SkipWithError("load failed");
        seconds += clk.wall();
        cpuSeconds += clk.cpu();
    }
    state.counters["records_per_s"] = records * double(state.iterations()) / seconds;
    state.counters["records_per_cpu_s"] = records * double(state.iterations()) / cpuSeconds;
    setRatio(state, bytes * double(state.iterations()), seconds, cpuSeconds);
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();

// A row at every sample: each of the channels changes in turn.
void BM_ExportCsv(benchmark::State& state)
{
    const int chn = int(state.range(0));
    const long long count = large() ? 50000000 : 2000000;
    auto s = makeStore(16, chn, count, chn);
    Sel sel;
    for (int c = chn; c < 64; ++c)
        sel.f[c] = false;
    const QString p = tmpPath("export.csv");
    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        QFile::remove(p);
        DataFile df;
        df.smpData = s.get();
        const Clock clk;
        if (!df.exportCSV(p, sel.f, 0, count, true))
            state.SkipWithError("export failed");
        seconds += clk.wall();
        cpuSeconds += clk.cpu();
    }
    const double bytes = double(QFileInfo(p).size()) * double(state.iterations());
    state.counters["rows_per_s"] = double(count) * double(state.iterations()) / seconds;
    state.counters["rows_per_cpu_s"] = double(count) * double(state.iterations()) / cpuSeconds;
    setRatio(state, bytes, seconds, cpuSeconds);
}
BENCHMARK(BM_ExportCsv)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// 16 channels, an edge every 100,000 samples on each: long runs to fill.
void BM_ExportBinSparse(benchmark::State& state)
{
    const long long count = large() ? 500000000 : 20000000;
    auto s = makeStore(16, 16, count, 100000);
    Sel sel;
    const QString p = tmpPath("export.bin");
    double seconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        QFile::remove(p);
        DataFile df;
        df.smpData = s.get();
        const Clock clk;
        if (!df.exportBin(p, sel.f, 0, count, true))
            state.SkipWithError("export failed");
        seconds += clk.wall();
        cpuSeconds += clk.cpu();
    }
    setRatio(state, double(count) * 2 * double(state.iterations()), seconds, cpuSeconds);
}
BENCHMARK(BM_ExportBinSparse)->Unit(benchmark::kMillisecond)->UseRealTime();

// Threaded jobs: the number of progress reports, and the time from a Cancel
// (given at the first report) until the call has returned.
void BM_ThreadedCancel(benchmark::State& state)
{
    const int job = int(state.range(0));   // 0 save, 1 load, 2 text, 3 binary
    // 12,000,000 edges on channel 0; 30,000,000 samples for the binary export.
    auto s = job == 3 ? makeStore(16, 1, 30000000, 1000) : makeStore(16, 1, 12000001, 1);
    Sel sel;
    const QString p = tmpPath("cancel.dat");
    if (job == 1) {
        DataFile df;
        df.smpData = s.get();
        df.saveData(p, QByteArray(), sel.f, 0, s->smpCount, true);
    }
    SmpData target(16);
    double worstMs = 0;
    long long reports = 0;
    for (auto _ : state) {
        DataFile df;
        df.smpData = job == 1 ? &target : s.get();
        df.useDialog = false;
        std::atomic<long long> cancelAt{0};
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&df, &DataFile::sigReportProgress, &df, [&](int v) {
            if (v < 100 && cancelAt.load() == 0) {
                cancelAt.store(clock.nsecsElapsed());
                df.cancel();
            }
        }, Qt::DirectConnection);
        bool ok = false;
        switch (job) {
        case 0:
            ok = df.saveData(p, QByteArray(), sel.f, 0, s->smpCount, false);
            break;
        case 1:
            ok = df.loadData(p, 0);
            break;
        case 2:
            ok = df.exportCSV(tmpPath("cancel.csv"), sel.f, 0, s->smpCount, false);
            break;
        default:
            ok = df.exportBin(tmpPath("cancel.bin"), sel.f, 0, s->smpCount * 4, false);
            break;
        }
        const long long end = clock.nsecsElapsed();
        if (ok || cancelAt.load() == 0 || !df.inThread)
            state.SkipWithError("the job was not cancelled in its thread");
        worstMs = std::max(worstMs, double(end - cancelAt.load()) / 1e6);
    }
    state.counters["cancel_ms_worst"] = worstMs;
    // A whole job without Cancel: its progress reports.
    DataFile df;
    df.smpData = job == 1 ? &target : s.get();
    df.useDialog = false;
    QObject::connect(&df, &DataFile::sigReportProgress, &df, [&](int) { ++reports; }, Qt::DirectConnection);
    switch (job) {
    case 0:
        df.saveData(p + "2", QByteArray(), sel.f, 0, s->smpCount, false);
        break;
    case 1:
        df.loadData(p, 0);
        break;
    case 2:
        df.exportCSV(tmpPath("full.csv"), sel.f, 0, s->smpCount, false);
        break;
    default:
        df.exportBin(tmpPath("full.bin"), sel.f, 0, s->smpCount * 4, false);
        break;
    }
    state.counters["progress_reports"] = double(reports);
}
BENCHMARK(BM_ThreadedCancel)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Channel names of the text header come from the settings document.
    Config::cfgDoc.setContent(QStringLiteral("<settings><global/><devices/><analyzers/></settings>"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    memcpyRate();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
