#include "device/dev3127.h"

namespace {
constexpr qint64 MaxRate = 200000000LL;
}

Dev3127::Dev3127()
{
    initModel(DevModel3127, "VX3127", 134217728, 16, {DevFuncPWM});
    initGenericModes(MaxRate);
}

void Dev3127::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 1, 7, 50000000LL, 3);
}
