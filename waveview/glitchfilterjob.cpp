#include "waveview/glitchfilterjob.h"

#include <algorithm>

std::function<void()> GlitchFilterJob::workerStartHook;

GlitchFilterJob::GlitchFilterJob(const SmpData* s, std::vector<unsigned int> widths) : store(s)
{
    if (!store)
        return;
    for (int i = 0; i < store->chnNum; ++i) {
        const unsigned int w = size_t(i) < widths.size() ? widths[size_t(i)] : 0;
        if (w == store->filterWidth[size_t(i)])
            continue;
        const DigitalChnData* src = w ? store->filterSource(i) : nullptr;
        const long long n = src ? tavEntryCount(src) : 0;
        // A list to build counts as failed until it is built.
        tasks.push_back(Task{i, w, src, n, src == nullptr, {}});
        totalEntries += n;
    }
    // Longest first, so that no worker starts a long channel last.
    std::stable_sort(tasks.begin(), tasks.end(), [](const Task& a, const Task& b) { return a.entries > b.entries; });
}

GlitchFilterJob::~GlitchFilterJob()
{
    cancel();
    wait();
    for (Task& t : tasks)
        SmpData::clearOneChn(t.result.list);
}

void GlitchFilterJob::start(int threads, std::function<void()> done)
{
    if (!workers.empty() || doneFlag.load())
        return;
    onDone = std::move(done);
    const int build = int(std::count_if(tasks.begin(), tasks.end(), [](const Task& t) { return t.source; }));
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::min(threads, build);
    if (threads == 0) {
        doneFlag.store(true, std::memory_order_release);
        if (onDone)
            onDone();
        return;
    }
    running = threads;
    workers.reserve(size_t(threads));
    for (int k = 0; k < threads; ++k)
        workers.emplace_back(&GlitchFilterJob::work, this);
}

void GlitchFilterJob::work()
{
    if (workerStartHook)
        workerStartHook();
    for (;;) {
        const int k = nextTask.fetch_add(1);
        if (k >= int(tasks.size()) || abortFlag.load())
            break;
        Task& t = tasks[size_t(k)];
        if (t.source)
            t.ok = SmpData::buildFiltered(t.source, t.width, &t.result, &abortFlag, &passed);
    }
    if (running.fetch_sub(1) == 1) {
        doneFlag.store(true, std::memory_order_release);
        if (onDone)
            onDone();
    }
}

void GlitchFilterJob::cancel()
{
    abortFlag = true;
}

void GlitchFilterJob::wait()
{
    for (std::thread& t : workers)
        if (t.joinable())
            t.join();
}

int GlitchFilterJob::percent() const
{
    if (totalEntries <= 0)
        return isDone() ? 100 : 0;
    return int(std::min<long long>(100, passed.load() * 100 / totalEntries));
}

bool GlitchFilterJob::install(SmpData& s)
{
    if (&s != store || installed || !isDone() || isCancelled())
        return false;
    wait();
    installed = true;
    bool ok = true;
    for (Task& t : tasks) {
        if (t.source && !t.ok) {
            ok = false;
            continue;
        }
        s.installFiltered(t.chn, t.width, std::move(t.result));
    }
    return ok;
}
