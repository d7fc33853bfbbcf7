#include "widgets/smpprogress.h"

#include "core/lang.h"

#include <QtGlobal>

SmpProgress SmpProgress::of(int state, int value)
{
    static const char* const phases[] = {"Pre-sampling", "Waiting for trigger", "Sampling", "Data reading"};
    SmpProgress s;
    if (state < 0 || state > 4)
        return s;
    value = qBound(0, value, 100);
    s.running = true;
    if (state == 0)
        return s;
    s.phase = Lang::tr(QLatin1String(phases[state - 1])) + QStringLiteral("...");
    if (state == 4) {
        s.capture = 100;
        s.reading = value;
    } else {
        s.capture = value;
    }
    return s;
}
