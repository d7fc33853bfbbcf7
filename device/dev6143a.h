#pragma once

#include "device/devbase.h"

// 32 channels in two threshold groups, 512 Mi samples, up to 500 MHz.
class Dev6143A : public DevBase
{
    Q_OBJECT

public:
    Dev6143A();
    bool isSmpModeSelectable() override { return true; }
    void setSmpMode(DevSmpMode mode) override;
};
