#include "device/dev6127a.h"

namespace {
constexpr qint64 MaxRate = 500000000LL;
}

Dev6127A::Dev6127A()
{
    initModel(DevModel6127A, "VX6127", 268435456, 16, {DevFuncVth, DevFuncPWM});
    initGenericModes(MaxRate);
}

void Dev6127A::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 1, 8, 100000000LL, 3);
}
