#pragma once
// Shared set-up of the device-object tests: a fresh in-memory settings
// document and stand-in sampling workers that only count their runs.

#include "core/config.h"
#include "device/devbase.h"
#include "device/devsupport.h"
#include "usbemu.h"

#include <QThread>

#include <atomic>
#include <cstdlib>

namespace devtest {

// Empty settings document: every key reads as missing.
inline void resetSettings()
{
    Config::cfgDoc.setContent(Config::defaultDocument());
}

// Counts its runs; with hold set it runs until the device asks it to stop,
// then ends the run the way a sampling worker does. With poll set it reads
// the run status meanwhile, as a buffer-mode worker does.
class FakeWorker : public QThread, public InterfaceDevCallback
{
public:
    FakeWorker(DevBase* d, int k) : dev(d), kind(k) {}

    static std::atomic<int> starts[4];
    static std::atomic<bool> hold;
    static std::atomic<bool> poll;
    static void resetCounts()
    {
        for (auto& s : starts)
            s = 0;
        hold = false;
        poll = false;
    }
    static QThread* make(DevBase* d, int kind) { return new FakeWorker(d, kind); }
    void devCbAutoBulkRead(unsigned char* buf, int) override { std::free(buf); }

protected:
    void run() override
    {
        ++starts[kind];
        while (hold && !dev->smpStopReq) {
            if (poll)
                dev->getRunSta(nullptr);
            QThread::msleep(1);
        }
        dev->runSta = SmpStaDone;
        dev->smpRunning = false;
    }

private:
    DevBase* dev;
    int kind;
};

inline std::atomic<int> FakeWorker::starts[4];
inline std::atomic<bool> FakeWorker::hold{false};
inline std::atomic<bool> FakeWorker::poll{false};

// A device object's surroundings against the emulator: fresh settings,
// counting workers, one plugged instrument opened by a new transport (which
// becomes devSupport) and an empty request log. Null when the open fails.
inline DevSupport* openEmulated()
{
    resetSettings();
    FakeWorker::resetCounts();
    DevBase::smpWorkerFactory = &FakeWorker::make;
    emu_reset();
    emu_plug();
    auto* ds = new DevSupport;
    devSupport = ds;
    if (ds->devRetrieve() != 1) {
        devSupport = nullptr;
        delete ds;
        return nullptr;
    }
    emu_log_clear();
    return ds;
}

inline void closeEmulated(DevSupport*& ds)
{
    devSupport = nullptr;
    delete ds;
    ds = nullptr;
    DevBase::smpWorkerFactory = nullptr;
}

} // namespace devtest
