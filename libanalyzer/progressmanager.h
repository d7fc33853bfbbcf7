#pragma once

// Implemented by the host: runs an analyzer's decode on a thread of its own.
// startWorkThread() must start a thread that calls Analyzer::DecodeLoop();
// DecodeLoop() calls stopWorkThread() on that thread as its last action, with
// every result published and no lock held, so the host may park or end the
// thread there. reportProgress() gets the decoded share of the capture (0..1)
// from the worker thread. The slot order of the three operations is fixed.
class ProgressManager {
public:
    virtual void startWorkThread() = 0;
    virtual void stopWorkThread() = 0;
    virtual void reportProgress(double progress) = 0;

protected:
    ~ProgressManager() = default;  // never deleted through this interface
};
