#pragma once

#include "device/devbase.h"

// Revision A of the VX2127: adds threshold selection; shares the VX2127 settings.
class Dev2127A : public DevBase
{
    Q_OBJECT

public:
    Dev2127A();
    bool isSmpModeSelectable() override { return true; }
    void setSmpMode(DevSmpMode mode) override;
};
