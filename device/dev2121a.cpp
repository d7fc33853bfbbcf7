#include "device/dev2121a.h"

Dev2121A::Dev2121A()
{
    initModel(DevModel2121A, "VX2121", 0, 16, {DevFuncVth, DevFuncPWM});
    chnFrequMapStream.append({3, 100000000LL});
    chnFrequMapStream.append({6, 50000000LL});
    chnFrequMapStream.append({9, 32000000LL});
    chnFrequMapStream.append({12, 25000000LL});
    chnFrequMapStream.append({16, 16000000LL});
    setSmpMode(SmpModeStream);
}

void Dev2121A::setSmpMode(DevSmpMode)
{
    static const QVector<qint64> rates = {100000000LL, 80000000LL, 50000000LL, 40000000LL, 32000000LL,
                                          25000000LL,  20000000LL, 16000000LL, 12500000LL, 10000000LL,
                                          8000000LL,   5000000LL,  4000000LL,  2000000LL,  1000000LL,
                                          500000LL,    200000LL,   100000LL,   50000LL,    20000LL};
    setSmpModeFixed(SmpModeStream, rates, 9, 4, -1);
}
