#include "device/smpcnvtstream.h"

#include "core/percent.h"
#include "device/devbase.h"
#include "device/smpctrlstream.h"

#include <mutex>

#include <cstdlib>

SmpCnvtStream::SmpCnvtStream(DevBase* d)
    : dev(d)
{
}

SmpCnvtStream::~SmpCnvtStream()
{
    if (isRunning()) {
        exitFlag = true;
        dev->semCnvtStart.release();
        dev->semBlockReady.release();
        if (!wait(10000))
            wait();
    }
}

void SmpCnvtStream::run()
{
    for (;;) {
        // Short waits, so an exit request is seen even without a permit.
        while (!dev->semCnvtStart.tryAcquire(1, 100))
            if (exitFlag)
                return;
        if (exitFlag)
            return;
        long long converted = 0;
        bool ok = true;
        bool first = true;
        bool converting = false;
        for (;;) {
            bool got = false;
            while (!(got = dev->semBlockReady.tryAcquire(1, 100)))
                if (exitFlag)
                    break;
            if (!got)
                break;
            if (dev->smpStopReq)
                dev->runSta = SmpStaReading;
            unsigned char* buf = nullptr;
            int size = 0;
            {
                std::lock_guard<std::mutex> lock(dev->blockMutex);
                if (dev->blockSizes.isEmpty())
                    break;
                buf = dev->blockQueue.takeFirst();
                size = dev->blockSizes.takeFirst();
            }
            const int start = first && ctrl ? ctrl->cycleOffset : -1;
            first = false;
            const bool single = dev->smpStartMode == SmpStartSingle;
            const bool discard = (ctrl && ctrl->discardPass) || (dev->smpStopReq && !single);
            if (ok && !discard) {
                converting = true;
                ok = dev->dataConvertStream(buf, size, start, &converted);
                if (!ok)
                    dev->reqSmpStop();
            }
            std::free(buf);
            if (dev->runSta == SmpStaReading && !discard && ctrl && ctrl->expectDepth > 0) {
                const int pct = percentOf(converted, ctrl->expectDepth);
                if (pct <= 99)
                    emit dev->sigSmpSta(SmpStaReading, 0, pct);
            }
        }
        if (!ok)
            dev->smpError = 4;
        if (converting && converted > 0) {
            const bool keep = !dev->smpStopReq || dev->smpStartMode == SmpStartSingle;
            dev->dataConvertComplete(keep);
            emit dev->sigSmpDataReady(0);
        }
        dev->semCnvtDone.release();
    }
}
