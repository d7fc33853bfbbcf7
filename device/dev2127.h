#pragma once

#include "device/devbase.h"

// 16 channels, 128 Mi samples, up to 100 MHz; first revision without threshold selection.
class Dev2127 : public DevBase
{
    Q_OBJECT

public:
    Dev2127();
    bool isSmpModeSelectable() override { return true; }
    void setSmpMode(DevSmpMode mode) override;
};
