#include "scope/smppause.h"

#include "device/devbase.h"

SmpPause::SmpPause()
{
    if (devUsing)
        devUsing->smpStopForRestart();
}

SmpPause::~SmpPause()
{
    if (devUsing)
        devUsing->smpRestartIfNeed();
}
