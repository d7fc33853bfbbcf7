#pragma once
// Shared set-up of the analyzer host tests: a private environment with the
// chosen plug-ins in its resource tree, a device object with a capture in
// its displayed store, and a stand-in for the decoded-results list thread.

#include "../common/tempenv.h"
#include "analysis/analyzermanager.h"
#include "core/config.h"
#include "device/devbase.h"
#include "libanalyzer/analyzer.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <dlfcn.h>
#include <mutex>

namespace anlytest {

inline QString testPluginDir() { return QStringLiteral(TST_PLUGIN_DIR) + QLatin1Char('/'); }
inline QString shippedPluginDir()
{
    return QString::fromLocal8Bit(qgetenv("TAV_BIN_DIR")) + QStringLiteral("/../Resources/Analyzer/");
}

// Links plug-in files (from the test or the shipped folder) into the
// environment's Analyzer folder.
inline void installPlugins(TempEnv const& env, QStringList const& testFiles, QStringList const& shipped = {})
{
    const QString dst = env.resources() + QStringLiteral("Analyzer/");
    for (QString const& f : testFiles)
        QVERIFY2(QFile::link(testPluginDir() + f, dst + f), qPrintable(f));
    for (QString const& f : shipped)
        QVERIFY2(QFile::link(shippedPluginDir() + f, dst + f), qPrintable(f));
}

inline void resetSettings()
{
    Config::cfgDoc.setContent(Config::defaultDocument());
}

// An exported counter of a test plug-in.
inline int pluginCounter(QString const& file, const char* fn)
{
    void* h = dlopen(QFile::encodeName(testPluginDir() + file).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return -1;
    auto f = reinterpret_cast<int (*)()>(dlsym(h, fn));
    const int v = f ? f() : -1;
    dlclose(h);
    return v;
}

// A device object as the current one; deleted with the guard.
struct DeviceGuard {
    explicit DeviceGuard(int model)
    {
        devUsing = DevBase::createDevice(model);
    }
    ~DeviceGuard()
    {
        delete devUsing;
        devUsing = nullptr;
    }
};

// Puts a capture into the displayed store of devUsing: every enabled
// channel toggles every `period` samples.
inline void putCapture(long long depth, int period)
{
    DevBase* d = devUsing;
    d->smpDepth = depth;
    QVERIFY(d->dataConvertStart(0));
    for (int ch = 0; ch < d->dChnEna.size(); ++ch) {
        long long pos = 0;
        QVector<int> runs(int(depth / period) + 1, period);
        d->dataSetInitLevel(ch, 0);
        QVERIFY(d->dataConvertSimu(runs.constData(), runs.size(), ch, &pos));
    }
    d->dataSetSmpDepth(depth);
    QVERIFY(d->dataConvertComplete(true));
}

// Sets a test analyzer's settings from text; false when refused.
inline bool setText(Analyzer* a, QByteArray const& text)
{
    return a->GetAnalyzerSettings()->LoadFromText(text.constData());
}

// Adds a new analyzer of plug-in `index` with the given settings text.
inline Analyzer* addAnalyzer(AnalyzerManager& m, int index, QByteArray const& text, bool start = false)
{
    Analyzer* a = m.getNewAnalyzer(index);
    if (!a)
        return nullptr;
    if (!text.isEmpty() && !setText(a, text)) {
        m.files()[index].destroyAnalyzer(a);
        return nullptr;
    }
    m.addUsing(a, start);
    return a;
}

// Stands in for the decoded-results list thread: between requests it keeps
// reading the shown analyzers' results and holds their pointers; on the
// host's request it drops them all and clears the busy flag.
class ListThread : public QThread
{
public:
    explicit ListThread(AnalyzerManager* m) : mgr(m)
    {
        QObject::connect(m, &AnalyzerManager::modifyPrepared, this, [this]() { sem.release(); },
                         Qt::DirectConnection);
        start();
    }
    ~ListThread() override
    {
        exit = true;
        sem.release();
        wait();
        // run() holds this while it runs: the order shows to thread checkers.
        std::lock_guard<std::mutex> joined(endMutex);
    }
    std::atomic<int> handshakes{0};
    std::atomic<long long> framesSeen{0};
    // A list thread stuck in a long step: it answers nothing meanwhile.
    std::atomic<bool> stalled{false};
    // The panel's restart: read the shown analyzers again (user-interface thread).
    void request()
    {
        readReq = true;
        sem.release();
    }

protected:
    void run() override
    {
        std::lock_guard<std::mutex> running(endMutex);
        QVector<AnalyzerResults*> held;
        while (!exit) {
            sem.tryAcquire(1, 1);
            if (exit)
                break;
            if (stalled)
                continue;
            if (AnalyzerManager::isModifyBusy()) {
                held.clear();
                readReq = false;
                ++handshakes;
                AnalyzerManager::clearModifyBusy();
                continue;
            }
            // After a handshake nothing is read until the next request.
            if (readReq.exchange(false)) {
                held.clear();
                for (Analyzer* a : AnalyzerManager::getEnaAnalyzers()) {
                    AnalyzerResults* r = nullptr;
                    if (a->GetAnalyzerResults(&r) && r) {
                        AnalyzerManager::getAnalyzerDisplayFormat(a);
                        held.append(r);
                    }
                }
            }
            for (AnalyzerResults* r : held) {
                const U64 n = r->GetNumFrames();
                if (n > 0) {
                    const Frame f = r->GetFrame(n - 1);
                    framesSeen += f.endSample > f.startSample ? 1 : 0;
                    r->MakeTabularText(n - 1, DisplayHex);
                }
            }
        }
    }

private:
    AnalyzerManager* mgr;
    QSemaphore sem;
    std::mutex endMutex;
    std::atomic<bool> exit{false};
    std::atomic<bool> readReq{false};
};

} // namespace anlytest
