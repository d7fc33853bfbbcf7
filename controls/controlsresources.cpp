#include "controls/controlsresources.h"

#include <QtGlobal>

static void initOnce()
{
    Q_INIT_RESOURCE(controls);
}

void initControlsResources()
{
    static bool done = false;
    if (!done) {
        done = true;
        initOnce();
    }
}
