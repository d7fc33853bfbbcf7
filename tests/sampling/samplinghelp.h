#pragma once
// Fixture of the capture tests: a transport over the emulator, the FPGA
// loaded and running, a connected 16-channel device object with the real
// sampling workers, and a recorder of what the workers report.

#include "core/config.h"
#include "device/devbase.h"
#include "device/devsupport.h"
#include "device/smpctrlfactory.h"
#include "device/smpdata.h"
#include "usbemu.h"

#include <QObject>
#include <QVector>
#include <QtTest>

#include <memory>

namespace sampling {

struct Report {
    int kind;   // 0 sigSmpSta, 1 sigSmpDataReady
    int a, b, c;
};

// Collects the device's signals in the test's thread (queued), so the
// workers never touch the list.
class Recorder : public QObject
{
public:
    explicit Recorder(DevBase* dev)
    {
        connect(dev, &DevBase::sigSmpSta, this,
                [this](int s, int e, int v) { log.append({0, s, e, v}); }, Qt::QueuedConnection);
        connect(dev, &DevBase::sigSmpDataReady, this, [this](int d) { log.append({1, d, 0, 0}); },
                Qt::QueuedConnection);
    }
    bool finished() const
    {
        for (const Report& r : log)
            if (r.kind == 1 && r.a == 1)
                return true;
        return false;
    }
    QVector<Report> errors() const
    {
        QVector<Report> out;
        for (const Report& r : log)
            if (r.kind == 0 && r.b != 0)
                out.append(r);
        return out;
    }
    QVector<int> states() const
    {
        QVector<int> out;
        for (const Report& r : log)
            if (r.kind == 0 && r.b == 0 && (out.isEmpty() || out.last() != r.a))
                out.append(r.a);
        return out;
    }
    QVector<Report> log;
};

inline void loadFpga(DevSupport* ds)
{
    unsigned char size[4] = {4, 0, 0, 0};
    ds->ctrlWrite(0x50, 0, size, 4);
    QByteArray block(4096, '\0');
    int done = 0;
    ds->manuBulkWrite(reinterpret_cast<unsigned char*>(block.data()), block.size(), &done);
    unsigned char result = 255;
    ds->ctrlRead(0x50, 0, &result, 1);
    ds->ctrlWrite(0x10, 1, nullptr, 0);
}

class Rig
{
public:
    explicit Rig(DevSmpMode mode, int form = EMU_FORM_16)
    {
        Config::cfgDoc.setContent(Config::defaultDocument());
        SmpCtrlFactory::install();
        emu_reset();
        emu_set_raw_form(form);
        emu_set_ids(TAV_VENDOR_ID, 0x01A2);
        emu_plug();
        ds = new DevSupport;
        devSupport = ds;
        ok = ds->devRetrieve() == 1;
        loadFpga(ds);
        dev.reset(DevBase::createDevice(form == EMU_FORM_8 ? DevModel2113 : DevModel2127));
        if (form != EMU_FORM_8)
            dev->setSmpMode(mode);
        unsigned char ident[DevIdentSize] = {200, 0, 250, 0};
        ok = ok && dev->devConnect(ident, 0) == 0;
        rec.reset(new Recorder(dev.get()));
        emu_log_clear();
    }
    ~Rig()
    {
        rec.reset();
        dev.reset();
        devSupport = nullptr;
        delete ds;
        DevBase::smpWorkerFactory = nullptr;
    }
    void enable(std::initializer_list<int> chns)
    {
        QVector<bool> ena(dev->dChnEna.size(), false);
        for (int c : chns)
            ena[c] = true;
        dev->setDChnEna(ena);
    }
    // Starts a run and waits until its end has been reported.
    bool run(SmpStartMode mode, int ms = 60000)
    {
        dev->smpStart(mode);
        return waitEnd(ms);
    }
    bool waitEnd(int ms = 60000)
    {
        QElapsedTimer t;
        t.start();
        while (!rec->finished() && t.elapsed() < ms)
            QTest::qWait(5);
        return rec->finished() && !dev->smpRunning;
    }

    DevSupport* ds = nullptr;
    std::unique_ptr<DevBase> dev;
    std::unique_ptr<Recorder> rec;
    bool ok = false;
};

} // namespace sampling
