#include "device/smpctrlfactory.h"

#include "device/devbase.h"
#include "device/smpcnvtstream.h"
#include "device/smpctrlnormal.h"
#include "device/smpctrlstream.h"

SmpCtrlFactory::Maker SmpCtrlFactory::simulateMaker = nullptr;

QThread* SmpCtrlFactory::create(DevBase* dev, int kind)
{
    switch (kind) {
    case SmpWorkerNormal: return new SmpCtrlNormal(dev);
    case SmpWorkerStream: return new SmpCtrlStream(dev);
    case SmpWorkerConvert: return new SmpCnvtStream(dev);
    case SmpWorkerSimulate: return simulateMaker ? simulateMaker(dev) : nullptr;
    default: return nullptr;
    }
}

void SmpCtrlFactory::install(Maker simulate)
{
    if (simulate)
        simulateMaker = simulate;
    DevBase::smpWorkerFactory = &SmpCtrlFactory::create;
}
