#include "device/dev6127.h"

Dev6127::Dev6127()
{
    initModel(DevModel6127, "VX6127", 67108864, 16, {DevFuncPWM});
    chnFrequMapBuf.append({4, 500000000LL});
    chnFrequMapBuf.append({8, 500000000LL});
    chnFrequMapBuf.append({16, 500000000LL});
    setSmpMode(SmpModeBuffer);
}

int Dev6127::devConnect(unsigned char* ident, double vrefIn)
{
    if (vrefIn > 0)
        vref = vrefIn;
    smpClock = qint64(identWord(ident, DevIdentSmpClock)) * 1000000;
    pwmClock = 250000000LL;
    int r = checkMemorySta();
    if (r != 0)
        return r;
    r = getDeviceID();
    if (r != 0)
        return r;
    isConnected = true;
    return 0;
}

void Dev6127::setSmpMode(DevSmpMode)
{
    static const QVector<qint64> rates = {500000000LL, 250000000LL, 125000000LL, 62500000LL, 25000000LL,
                                          12500000LL,  5000000LL,   2500000LL,   1000000LL,  500000LL,
                                          200000LL,    100000LL,    50000LL,     20000LL};
    setSmpModeFixed(SmpModeBuffer, rates, 3, 6, 30000000LL);
}
