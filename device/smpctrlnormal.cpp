#include "device/smpctrlnormal.h"

#include "core/percent.h"
#include "device/devbase.h"
#include "device/smpdata.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>

namespace {

} // namespace

SmpCtrlNormal::SmpCtrlNormal(DevBase* d)
    : dev(d)
{
}

SmpCtrlNormal::~SmpCtrlNormal()
{
    // The device object stops and joins its workers before deleting them;
    // this is the last guard against deleting a running thread.
    if (isRunning()) {
        dev->smpStopReq = true;
        if (!wait(10000))
            wait();
    }
}

long long SmpCtrlNormal::readLength(bool osc, int chnNum, int records, long long memSize)
{
    long long len;
    if (osc)
        len = memSize;
    else if (chnNum >= 32)
        len = (static_cast<long long>(records) / 6) * 32;
    else
        len = (static_cast<long long>(records) / 5) * 16;
    if (len < 0 || len > memSize)
        return -1;
    return len;
}

int SmpCtrlNormal::monitorSmpProgress()
{
    const qint64 rate = dev->getSmpFrequ();
    const long long depth = dev->getExpectDepth();
    const long long t = std::max<long long>(rate > 0 ? depth * 1000 / rate : 0, 25);
    QElapsedTimer timer;
    timer.start();
    QThread::msleep(26);
    if (dev->smpStopReq)
        return 0;
    long long elapsed = 0;
    qint64 last = timer.elapsed();
    do {
        unsigned word = 0;
        const int r = dev->getRunSta(&word);
        if (r != 0)
            return r;
        const qint64 now = timer.elapsed();
        qint64 step = now - last;
        last = now;
        if (step < 0 || step > 2000)
            step = 50;
        elapsed += step;
        if (word & 0x4) {
            if ((word & 3) == 1) {
                emit dev->sigSmpSta(SmpStaSampling, 0, 100);
                return 0;
            }
            dev->runSta = SmpStaSampling;
            emit dev->sigSmpSta(SmpStaSampling, 0, percentOf(elapsed, t));
        } else if (word & 0x8) {
            dev->runSta = SmpStaWaitTrg;
            const int pos = std::clamp(dev->getTrgPosition(), 0, 100);
            elapsed = pos * t / 100;
            emit dev->sigSmpSta(SmpStaWaitTrg, 0, pos);
        } else {
            dev->runSta = SmpStaPre;
            emit dev->sigSmpSta(SmpStaPre, 0, percentOf(elapsed, t));
        }
        QThread::msleep(50);
    } while (!dev->smpStopReq);
    return 0;
}

void SmpCtrlNormal::devCbAutoBulkRead(unsigned char* buf, int len)
{
    bytesRead += len;
    if (convertOk)
        convertOk = dev->dataConvertNormal(buf, len, &bytesConverted);
    std::free(buf);
    if (bytesRead < readLen)
        emit dev->sigSmpSta(SmpStaReading, 0, percentOf(bytesRead, readLen));
}

void SmpCtrlNormal::run()
{
    emit dev->sigSmpSta(SmpStaIdle, 0, 0);
    int err = 0;
    for (;;) {
        dev->runSta = SmpStaPre;
        err = dev->reqSmpStart();
        if (err != 0)
            break;
        err = monitorSmpProgress();
        if (err != 0)
            break;
        const bool single = dev->smpStartMode == SmpStartSingle;
        if (dev->smpStopReq && !single)
            break;
        dev->runSta = SmpStaReading;
        int trgRecord = 0, records = 0, endAddress = 0;
        err = dev->getSmpResultInfo(&trgRecord, &records, &endAddress);
        if (err != 0 || records < 1)
            break;
        const long long len = readLength(dev->workMode == WorkModeOsc, dev->dChnEna.size(), records, dev->memSize);
        if (len < 0) {
            err = ErrBadResult;
            break;
        }
        // Fewer records than one whole frame: nothing to read. A read of 0
        // would mean "until a short transfer", never this capture.
        if (len > 0) {
            readLen = len;
            long long start = endAddress - len;
            if (start < 0)
                start += dev->memSize;
            err = dev->reqMemReadStart(int(start), int(len));
            if (err != 0)
                break;
            bytesRead = 0;
            bytesConverted = 0;
            convertOk = dev->dataConvertStart(trgRecord);
            err = devSupport ? devSupport->autoBulkRead(int(len)) : 1;
            if (err == 0 && bytesRead != readLen)
                err = 14;
            if (!convertOk)
                err = 4;
            if (bytesConverted > 0) {
                dev->dataConvertComplete(true);
                emit dev->sigSmpDataReady(0);
            }
            const SmpDataPtr shown = dev->displayedSmpData();
            if (shown && shown->badRecordOffset >= 0)
                emit dev->sigSmpSta(dev->runSta, 32, shown->badRecordOffset);
        }
        if (dev->smpStopReq || dev->smpStartMode == SmpStartSingle || err != 0)
            break;
    }
    // The instrument must not sample on: a stop it never got is an error too.
    if (!dev->smpStopReq) {
        const int r = dev->reqSmpStop();
        if (err == 0)
            err = r;
    }
    dev->smpRunEnded(err);
}
