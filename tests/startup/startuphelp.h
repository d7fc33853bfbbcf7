#pragma once
// Fixture of the start-up tests: a transport over the emulator, a device
// object and a start-up controller wired the way the program wires them.

#include "core/config.h"
#include "device/devbase.h"
#include "device/devinit.h"
#include "device/devsupport.h"
#include "usbemu.h"

#include <QObject>
#include <QVector>
#include <QtTest>

namespace startup {

struct Sta {
    int stage, error, value;
    bool operator==(const Sta& o) const { return stage == o.stage && error == o.error && value == o.value; }
};

inline void hotplug()
{
    if (devInit)
        devInit->init();
}

inline void preConnect(int model)
{
    if (devUsing && int(devUsing->devModel) == model)
        return;
    delete devUsing;
    devUsing = DevBase::createDevice(model);
}

class Rig
{
public:
    Rig()
    {
        Config::cfgDoc.setContent(Config::defaultDocument());
        devSupport = new DevSupport;
        devUsing = DevBase::createDevice(0);
        devInit = new DevInit;
        QObject::connect(devInit, &DevInit::sigDevPreConnect, devInit, &preConnect);
        // Queued into this thread: the start-up threads emit too, and a
        // recorder written from their side would race with the test reading it.
        recorder = new QObject;
        QObject::connect(
            devInit, &DevInit::sigInitSta, recorder,
            [this](int stage, int error, int value) { recorded.append({stage, error, value}); },
            Qt::QueuedConnection);
        devSupport->registerNotification(reinterpret_cast<void*>(&hotplug));
    }
    ~Rig()
    {
        delete devInit;
        devInit = nullptr;
        delete devUsing;
        devUsing = nullptr;
        delete devSupport;
        devSupport = nullptr;
        delete recorder;
    }

    QVector<Sta> stages() const { return recorded; }
    int count() const { return recorded.size(); }
    bool seen(int stage, int error) const
    {
        for (const Sta& s : stages())
            if (s.stage == stage && s.error == error)
                return true;
        return false;
    }
    // Waits until a stage/error pair has been reported (or time runs out).
    bool waitFor(int stage, int error, int ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (!seen(stage, error)) {
            if (t.elapsed() > ms)
                return false;
            QTest::qWait(10);
        }
        return true;
    }
    // Waits until both start-up threads have ended, then lets the queued
    // signals arrive.
    void settle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!devInit->thrDevAttach->isRunning() && !devInit->thrRenumDone->isRunning(), 20000);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    QObject* recorder = nullptr;
    QVector<Sta> recorded;
};

} // namespace startup
