#pragma once

#include "device/devbase.h"

// Revision A of the VX6127: 256 Mi samples, buffer or stream mode; shares the VX6127 settings.
class Dev6127A : public DevBase
{
    Q_OBJECT

public:
    Dev6127A();
    bool isSmpModeSelectable() override { return true; }
    void setSmpMode(DevSmpMode mode) override;
};
