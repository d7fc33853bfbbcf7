#include "device/dev9151.h"

namespace {
constexpr qint64 MaxRate = 500000000LL;
}

Dev9151::Dev9151()
{
    initModel(DevModel9151, "VX9151", 268435456, 16, {DevFuncVth, DevFuncPWM});
    initGenericModes(MaxRate);
}

void Dev9151::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 1, 8, 100000000LL, 3);
}
