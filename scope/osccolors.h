#pragma once
// Colours of the oscilloscope mode: a channel's trace, tags and labels use
// its colour lightened to 120 %, the trigger position a lightened green, the
// math trace white.

#include "core/config.h"
#include "device/devbase.h"

#include <QColor>

class OscColors
{
public:
    // Number of analog channels of the device object.
    static int chnNum() { return devUsing ? devUsing->aChnEna.size() : 0; }

    // Channel idx's colour, the index taken modulo the channel count (a
    // negative one counted from the end); white without channels.
    static QColor channel(int idx)
    {
        const int n = chnNum();
        if (n <= 0 || Config::chnColorOsc.isEmpty())
            return QColor(Qt::white);
        const int i = ((idx % n) + n) % n;
        return Config::chnColorOsc.value(i, Config::chnColorOsc.first()).lighter(120);
    }

    static QColor trigger() { return QColor(0, 207, 0).lighter(120); }
};
