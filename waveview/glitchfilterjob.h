#pragma once
// The glitch filter of a whole capture on worker threads. Each task builds
// one channel's new list beside the capture, which stays displayed and
// readable meanwhile; the GUI thread then installs all lists in one short
// edit of the store. A cancelled or abandoned job leaves the store as it was.

#include "device/smpdata.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class GlitchFilterJob
{
public:
    // widths: one per channel of the store (missing ones are 0). Only the
    // channels whose width differs from the store's are touched. The store
    // must stay alive and unedited until the job is installed or destroyed.
    GlitchFilterJob(const SmpData* store, std::vector<unsigned int> widths);
    ~GlitchFilterJob();
    GlitchFilterJob(const GlitchFilterJob&) = delete;
    GlitchFilterJob& operator=(const GlitchFilterJob&) = delete;

    // Starts up to `threads` workers (0: one per core, never more than
    // tasks). onDone runs once when the last task has ended, on the worker
    // that ended it, or at once in start() when there is nothing to build.
    void start(int threads = 0, std::function<void()> onDone = {});
    // Workers give up within one block of their current channel.
    void cancel();
    bool isCancelled() const { return abortFlag.load(); }
    bool isDone() const { return doneFlag.load(std::memory_order_acquire); }
    // Joins the workers: returns once the work is done or given up.
    void wait();
    // Raw entries passed so far, in percent of all to filter.
    int percent() const;
    int taskCount() const { return int(tasks.size()); }

    // Once done and not cancelled, in the GUI thread inside the store edit:
    // gives the store its new lists and widths. False when a list could not
    // be built; that channel keeps what it showed and its old width.
    bool install(SmpData& store);

    // Tests: run by every worker before its first task.
    static std::function<void()> workerStartHook;

private:
    struct Task {
        int chn;
        unsigned int width;
        const DigitalChnData* source;   // null: only the width changes
        long long entries;
        bool ok;
        SmpData::FilteredChn result;
    };

    void work();

    const SmpData* store;
    std::vector<Task> tasks;
    long long totalEntries = 0;
    std::vector<std::thread> workers;
    std::function<void()> onDone;
    std::atomic<int> nextTask{0};
    std::atomic<int> running{0};
    std::atomic<long long> passed{0};
    std::atomic<bool> abortFlag{false};
    std::atomic<bool> doneFlag{false};
    bool installed = false;
};
