#pragma once

#include "device/devbase.h"

// The 8-channel model: stream mode only, one byte per sample, clocks from
// a single 8-bit value of the identification data.
class Dev2113 : public DevBase
{
    Q_OBJECT

public:
    Dev2113();
    int devConnect(unsigned char* ident, double vrefIn) override;
    bool isSmpModeSelectable() override { return false; }
    void setSmpMode(DevSmpMode mode) override;
};
