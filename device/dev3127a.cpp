#include "device/dev3127a.h"

namespace {
constexpr qint64 MaxRate = 200000000LL;
}

Dev3127A::Dev3127A()
{
    initModel(DevModel3127A, "VX3127", 134217728, 16, {DevFuncVth, DevFuncPWM});
    initGenericModes(MaxRate);
}

void Dev3127A::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 1, 7, 50000000LL, 3);
}
