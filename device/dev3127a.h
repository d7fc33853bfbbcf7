#pragma once

#include "device/devbase.h"

// Revision A of the VX3127: adds threshold selection; shares the VX3127 settings.
class Dev3127A : public DevBase
{
    Q_OBJECT

public:
    Dev3127A();
    bool isSmpModeSelectable() override { return true; }
    void setSmpMode(DevSmpMode mode) override;
};
