#include "device/dev2127.h"

namespace {
constexpr qint64 MaxRate = 100000000LL;
}

Dev2127::Dev2127()
{
    initModel(DevModel2127, "VX2127", 134217728, 16, {DevFuncPWM});
    initGenericModes(MaxRate);
}

void Dev2127::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 0, 7, 50000000LL, 3);
}
