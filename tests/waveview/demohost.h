#pragma once
// A demo device object whose captures come from the demo generator, with
// the analyzer host decoding UART on channel 0 (the real plug-in, which also
// simulates the channel's traffic). Declared before the views that show it,
// so the views go first, then the host, then the device object.

#include "../common/tempenv.h"
#include "analysis/analyzermanager.h"
#include "core/config.h"
#include "device/devbase.h"
#include "device/smpsimulate.h"
#include "libanalyzer/analyzer.h"

#include <QFile>

#include <memory>

namespace WaveTest {

inline QThread* demoWorker(DevBase* d, int kind)
{
    return kind == SmpWorkerSimulate ? new SmpSimulate(d) : nullptr;
}

class DemoHost
{
public:
    DemoHost()
    {
        Config::cfgDoc.setContent(Config::defaultDocument());
        DevBase::smpWorkerFactory = &demoWorker;
        dev.reset(DevBase::createDevice(0));
        devUsing = dev.get();
    }
    ~DemoHost()
    {
        if (dev)
            dev->smpStopAndWait();
        mgr.reset();
        devUsing = nullptr;
        dev.reset();
        DevBase::smpWorkerFactory = nullptr;
    }

    // The UART plug-in bound to channel 0; false when it cannot be loaded.
    bool addUart()
    {
        const QString src = QString::fromLocal8Bit(qgetenv("TAV_BIN_DIR"))
            + QStringLiteral("/../Resources/Analyzer/libUART.so");
        if (!QFile::link(src, env.resources() + QStringLiteral("Analyzer/libUART.so")))
            return false;
        mgr.reset(new AnalyzerManager());
        int idx = -1;
        for (int i = 0; i < mgr->files().size(); ++i)
            if (mgr->files()[i].fileName == QStringLiteral("libUART.so"))
                idx = i;
        Analyzer* a = idx >= 0 ? mgr->getNewAnalyzer(idx) : nullptr;
        if (!a)
            return false;
        AnalyzerSettings* s = a->GetAnalyzerSettings();
        for (unsigned i = 0; i < s->GetSettingsInterfacesCount(); ++i) {
            AnalyzerSettingInterface* si = s->GetSettingsInterface(i);
            if (si->GetKind() == AnalyzerSettingInterface::KindChannel) {
                static_cast<AnalyzerSettingInterfaceChannel*>(si)->SetChannel(Channel(0, 0));
                break;
            }
        }
        if (!s->ApplyInterfaces())
            return false;
        mgr->addUsing(a, false);
        return true;
    }

    // Selects a rate and a depth of the device's lists.
    bool setRateDepth(qint64 rate, qint64 depth)
    {
        const int r = dev->smpFrequList.indexOf(rate);
        const int n = dev->smpDepthList.indexOf(depth);
        return r >= 0 && n >= 0 && dev->setSmpFrequ(r) && dev->setSmpDepth(n);
    }

    // Frames the UART analyzer decoded.
    QVector<Frame> uartFrames() const
    {
        QVector<Frame> out;
        AnalyzerResults* r = nullptr;
        if (!mgr || mgr->usingCount() < 1 || !mgr->getUsingAnalyzer(0)->GetAnalyzerResults(&r) || !r)
            return out;
        for (U64 i = 0; i < r->GetNumFrames(); ++i)
            out.append(r->GetFrame(i));
        return out;
    }

    TempEnv env;
    std::unique_ptr<DevBase> dev;
    std::unique_ptr<AnalyzerManager> mgr;
};

} // namespace WaveTest
