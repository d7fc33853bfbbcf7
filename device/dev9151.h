#pragma once

#include "device/devbase.h"

// 16 channels, 256 Mi samples, up to 500 MHz.
class Dev9151 : public DevBase
{
    Q_OBJECT

public:
    Dev9151();
    bool isSmpModeSelectable() override { return true; }
    void setSmpMode(DevSmpMode mode) override;
};
