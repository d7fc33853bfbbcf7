#pragma once
// Shared set-up of the demo capture tests: a device object whose capture
// worker is the demo generator.

#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "device/smpsimulate.h"

#include <QtTest>

namespace demotest {

inline QThread* makeWorker(DevBase* d, int kind)
{
    return kind == SmpWorkerSimulate ? new SmpSimulate(d) : nullptr;
}

// Records the device object's run reports. The reports come from the demo
// thread, so they are received queued in the test's thread (a signal spy
// would append on the emitting thread while the test reads).
class DevRecorder : public QObject
{
public:
    explicit DevRecorder(DevBase* d)
    {
        connect(d, &DevBase::sigSmpSta, this, [this](int s, int e, int v) { sta.append({s, e, v}); });
        connect(d, &DevBase::sigSmpDataReady, this, [this](int r) { ready.append(r); });
    }
    QVector<QVector<int>> sta;
    QVector<int> ready;
};

inline void resetSettings()
{
    Config::cfgDoc.setContent(Config::defaultDocument());
}

// Selects a rate and a depth of the device's lists; false when either is missing.
inline bool setRateDepth(DevBase* d, qint64 rate, qint64 depth)
{
    const int r = d->smpFrequList.indexOf(rate);
    const int n = d->smpDepthList.indexOf(depth);
    return r >= 0 && n >= 0 && d->setSmpFrequ(r) && d->setSmpDepth(n) && d->getSmpFrequ() == rate
        && d->getExpectDepth() == depth;
}

// Edge positions of a channel of a store (the end entry left out).
inline QVector<long long> edges(const SmpData* s, int chn)
{
    QVector<long long> out;
    const DigitalChnData* d = s->chnData[size_t(chn)];
    if (!d)
        return out;
    const long long n = tavEntryCount(d);
    for (long long k = 0; k + 1 < n; ++k)
        out.append(tavEntryAt(d, k));
    return out;
}

inline QVector<long long> edges(const SmpDataPtr& s, int chn)
{
    return edges(s.get(), chn);
}

} // namespace demotest
