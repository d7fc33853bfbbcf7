#include "device/dev6143a.h"

namespace {
constexpr qint64 MaxRate = 500000000LL;
}

Dev6143A::Dev6143A()
{
    initModel(DevModel6143A, "VX6143", 536870912, 32, {DevFuncVth, DevFuncPWM});
    initGenericModes(MaxRate);
}

void Dev6143A::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 1, 8, 100000000LL, 4);
}
