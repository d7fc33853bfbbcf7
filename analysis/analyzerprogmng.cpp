#include "analysis/analyzerprogmng.h"

#include "libanalyzer/analyzer.h"


namespace {
std::atomic<quint64> runCounter{0};
}

AnalyzerProgMng::AnalyzerProgMng(Analyzer* a) : analyzer(a) {}

AnalyzerProgMng::~AnalyzerProgMng()
{
    stopAndJoin();
}

void AnalyzerProgMng::startWorkThread()
{
    // The host joins every run before it starts the next one.
    if (isRunning())
        return;
    {
        std::lock_guard<std::mutex> lock(parkMutex);
        released = false;
    }
    stopRequested = false;
    parked = false;
    progress = 0.0;
    gen = ++runCounter;
    start(QThread::InheritPriority);
}

void AnalyzerProgMng::run()
{
    if (analyzer)
        analyzer->DecodeLoop();
}

void AnalyzerProgMng::stopWorkThread()
{
    if (QThread::currentThread() != this)
        return;
    // A stop on request is acknowledged by not reporting: the requester joins.
    if (!stopRequested.load())
        emit sigStopWorkThread(this, analyzer, gen.load());
    std::unique_lock<std::mutex> lock(parkMutex);
    parked = true;
    parkCond.wait(lock, [this]() { return released; });
    parked = false;
}

void AnalyzerProgMng::reportProgress(double p)
{
    progress.store(p, std::memory_order_relaxed);
}

void AnalyzerProgMng::release()
{
    std::lock_guard<std::mutex> lock(parkMutex);
    released = true;
    parkCond.notify_all();
}

void AnalyzerProgMng::stopAndJoin()
{
    if (!isRunning())
        return;
    stopRequested = true;
    if (analyzer)
        analyzer->StopWorkerThread();
    release();
    wait();
    afterJoin();
}

void AnalyzerProgMng::joinFinished()
{
    if (!isRunning())
        return;
    release();
    wait();
    afterJoin();
}

void AnalyzerProgMng::afterJoin()
{
    // The worker's last touch of this object is its unlock when it leaves
    // the park; taking the lock makes that visible to thread checkers that
    // do not see the join itself.
    std::lock_guard<std::mutex> lock(parkMutex);
}
