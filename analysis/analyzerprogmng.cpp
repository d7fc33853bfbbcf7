#include "analysis/analyzerprogmng.h"

#include "libanalyzer/analyzer.h"

#include <QMutexLocker>

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
        QMutexLocker lock(&parkMutex);
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
    QMutexLocker lock(&parkMutex);
    parked = true;
    while (!released)
        parkCond.wait(&parkMutex);
    parked = false;
}

void AnalyzerProgMng::reportProgress(double p)
{
    progress.store(p, std::memory_order_relaxed);
}

void AnalyzerProgMng::release()
{
    QMutexLocker lock(&parkMutex);
    released = true;
    parkCond.wakeAll();
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
}

void AnalyzerProgMng::joinFinished()
{
    if (!isRunning())
        return;
    release();
    wait();
}
