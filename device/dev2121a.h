#pragma once

#include "device/devbase.h"

// The stream-only 16-channel model: its own rate list up to 100 MHz for three
// channels, falling as more channels stream.
class Dev2121A : public DevBase
{
    Q_OBJECT

public:
    Dev2121A();
    bool isSmpModeSelectable() override { return false; }
    void setSmpMode(DevSmpMode mode) override;
};
