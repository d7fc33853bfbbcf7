#pragma once

#include "device/devbase.h"

// The demo device: a 200 MHz, 16-channel model that never connects, so every
// capture runs on the demo generator.
class DevNone : public DevBase
{
    Q_OBJECT

public:
    DevNone();
    // Keeps the clocks for display but never connects.
    int devConnect(unsigned char* ident, double vrefIn) override;
    bool isSmpModeSelectable() override { return true; }
    void setSmpMode(DevSmpMode mode) override;
};
