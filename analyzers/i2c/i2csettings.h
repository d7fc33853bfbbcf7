#pragma once
#include "libanalyzer/analyzersettings.h"

class I2cSettings : public AnalyzerSettings {
public:
    I2cSettings();

    AnalyzerSettingInterfaceChannel sda{"sda"};
    AnalyzerSettingInterfaceChannel scl{"scl"};
};
