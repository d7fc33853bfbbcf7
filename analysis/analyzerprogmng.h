#pragma once
// The worker thread of one analyzer in use. The analyzer library starts it
// through the ProgressManager interface; the thread runs the decode and, at
// its end, reports once and parks until the host joins it.
//
// Every run carries a generation number unique in the process, so the host
// can tell a late end-of-run report from the report of the run under way.
// A stop on request is acknowledged by this worker alone: it never emits
// the end-of-run report, and a parked worker is simply released.

#include "libanalyzer/progressmanager.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

class Analyzer;

class AnalyzerProgMng : public QThread, public ProgressManager
{
    Q_OBJECT

public:
    explicit AnalyzerProgMng(Analyzer* analyzer);
    // Ends a running or parked worker first.
    ~AnalyzerProgMng() override;

    Analyzer* analyzer;

    // ProgressManager, called by the analyzer library.
    void startWorkThread() override;   // user-interface thread
    void stopWorkThread() override;    // this worker's thread, end of the decode
    void reportProgress(double progress) override;
    double getReportProgress() const { return progress.load(std::memory_order_relaxed); }

    // User-interface thread.
    quint64 generation() const { return gen.load(); }
    bool isParked() const { return parked.load(); }
    // Asks the decode to end, releases the park and joins the thread.
    // Returns at once when the thread does not run.
    void stopAndJoin();
    // Joins a worker that reported the end of its run.
    void joinFinished();

signals:
    void sigStopWorkThread(AnalyzerProgMng* me, Analyzer* anly, quint64 generation);

protected:
    void run() override;

private:
    void release();
    void afterJoin();

    std::atomic<double> progress{0.0};
    std::atomic<quint64> gen{0};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> parked{false};
    std::mutex parkMutex;
    std::condition_variable parkCond;
    bool released = false;   // guarded by parkMutex
};
