#include "device/dev2127a.h"

namespace {
constexpr qint64 MaxRate = 100000000LL;
}

Dev2127A::Dev2127A()
{
    initModel(DevModel2127A, "VX2127", 134217728, 16, {DevFuncVth, DevFuncPWM});
    initGenericModes(MaxRate);
}

void Dev2127A::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 0, 7, 50000000LL, 3);
}
