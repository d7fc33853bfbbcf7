#include "device/devnone.h"

namespace {
constexpr qint64 MaxRate = 200000000LL;
}

DevNone::DevNone()
{
    initModel(DevModelNone, "Demo", 134217728, 16, {DevFuncVth, DevFuncPWM});
    initGenericModes(MaxRate);
}

int DevNone::devConnect(unsigned char* ident, double)
{
    smpClock = qint64(identWord(ident, DevIdentSmpClock)) * 1000000;
    pwmClock = qint64(identWord(ident, DevIdentPwmClock)) * 1000000;
    return 1;
}

void DevNone::setSmpMode(DevSmpMode mode)
{
    setSmpModeGeneric(mode, MaxRate, 1, 7, 50000000LL, 3);
}
