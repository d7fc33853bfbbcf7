#include "core/modeltable.h"

bool ModelTable::isSupported(int code)
{
    // 0 is the demo device, 1..9 the logic models, 49 the mixed-signal model, 65 the newest logic model.
    return (code >= 0 && code <= 9) || code == 49 || code == 65;
}
