#include "device/dev2113.h"

Dev2113::Dev2113()
{
    initModel(DevModel2113, "VX2113", 0, 8, {});
    chnFrequMapStream.append({4, 24000000LL});
    chnFrequMapStream.append({8, 24000000LL});
    setSmpMode(SmpModeStream);
}

int Dev2113::devConnect(unsigned char* ident, double)
{
    // One clock byte; the PWM counter runs at five times the sample clock.
    const qint64 m = ident ? ident[DevIdentSmpClock] : 0;
    smpClock = m * 1000000;
    pwmClock = 5 * m * 1000000;
    const int r = getDeviceID();
    if (r != 0)
        return r;
    setAutoReadBuf();
    isConnected = true;
    return 0;
}

void Dev2113::setSmpMode(DevSmpMode)
{
    static const QVector<qint64> rates = {24000000LL, 16000000LL, 12000000LL, 8000000LL, 4000000LL, 2000000LL,
                                          1000000LL,  500000LL,   200000LL,   100000LL,  50000LL};
    setSmpModeFixed(SmpModeStream, rates, 2, 5, -1);
}
