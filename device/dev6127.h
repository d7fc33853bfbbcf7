#pragma once

#include "device/devbase.h"

// The first 500 MHz model: buffer mode only, 64 Mi samples, a fixed 250 MHz
// PWM clock.
class Dev6127 : public DevBase
{
    Q_OBJECT

public:
    Dev6127();
    int devConnect(unsigned char* ident, double vrefIn) override;
    bool isSmpModeSelectable() override { return false; }
    void setSmpMode(DevSmpMode mode) override;
};
